// Internals of the document model shared by the nodes, the writer and the two readers.
#pragma once

#include <cstdint>
#include <limits>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/arena.h"
#include "xml/xml.h"

namespace zeph::xml::detail {

// Copies `n` bytes, W <= n <= 2 * W, as two words of W bytes from both ends, overlapping in
// the middle.
template <std::size_t W>
[[gnu::always_inline]] inline void CopyEnds(char* q, const char* s, std::size_t n) {
    char a[W], b[W];
    __builtin_memcpy(a, s, W);
    __builtin_memcpy(b, s + n - W, W);
    __builtin_memcpy(q, a, W);
    __builtin_memcpy(q + n - W, b, W);
}

// Copies `n` bytes, most of them a short name or value, without a call.
[[gnu::always_inline]] inline char* CopyBytes(char* q, const char* s, std::size_t n) {
    if (n > 32) {
        __builtin_memcpy(q, s, n);
    } else if (n > 16) {
        CopyEnds<16>(q, s, n);  // a GUID or a long name
    } else if (n >= 8) {
        CopyEnds<8>(q, s, n);
    } else if (n >= 4) {
        CopyEnds<4>(q, s, n);
    } else {
        for (std::size_t i = 0; i < n; ++i) q[i] = s[i];
    }
    return q + n;
}

// Values kept in a document: their long texts lie in the document's arena.
struct ValueAccess {
    static bool InArena(const XmlValue& v) noexcept {
        return v.in_document_ && v.size_ > XmlValue::kInline;
    }
    // A text (or bytes) value whose long text is copied into the arena.
    static XmlValue Make(Arena& arena, XmlValue::Type type, std::string_view text) {
        if (text.size() <= XmlValue::kInline) {
            XmlValue v(text);
            v.type_ = type;
            return v;
        }
        if (text.size() > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
        auto* bytes = static_cast<char*>(arena.Allocate(text.size()));
        __builtin_memcpy(bytes, text.data(), text.size());
        XmlValue v;
        v.type_ = type;
        v.in_document_ = true;
        v.size_ = static_cast<std::uint32_t>(text.size());
        v.u_.ptr = bytes;
        return v;
    }
    // Makes the empty value `v` a text value in place: the parser's way, without a value on the
    // stack to move from.
    [[gnu::always_inline]] static void SetText(XmlValue& v, Arena& arena, std::string_view text) {
        const std::size_t n = text.size();
        const char* from = text.data();
        v.type_ = XmlValue::Type::Text;
        if (n > XmlValue::kInline) {
            if (n > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
            auto* bytes = static_cast<char*>(arena.Allocate(n));
            CopyBytes(bytes, from, n);
            v.in_document_ = true;
            v.u_.ptr = bytes;
        } else {
            CopyBytes(v.u_.inline_text, from, n);
        }
        v.size_ = static_cast<std::uint32_t>(n);
    }
    // Moves a long text kept elsewhere into the arena.
    static void Adopt(Arena& arena, XmlValue& v) {
        if (v.size_ <= XmlValue::kInline || v.in_document_) return;
        v = Make(arena, v.type_, v.Raw());
    }
    // Gives the value's text back to the arena and empties the value.
    static void Drop(Arena& arena, XmlValue& v) noexcept {
        if (InArena(v)) {
            arena.Free(v.u_.ptr, v.size_);
            v.size_ = 0;
            v.in_document_ = false;
        }
    }
};

struct Attr {
    std::uint32_t name = 0;  // an id of the node's own table
    XmlValue value;
};

class NodeData;

// A growable array in a node's arena, growing by NextCapacity.
template <class T>
struct Array {
    T* data = nullptr;
    std::uint32_t size = 0;
    std::uint32_t cap = 0;

    T* begin() const noexcept { return data; }
    T* end() const noexcept { return data + size; }
    void Grow(Arena& arena);
    void Release(Arena& arena) noexcept {
        if (data) arena.Free(data, sizeof(T) * cap);
        data = nullptr;
        size = cap = 0;
    }
};

// Capacity growth of attribute arrays and child lists: by 4 while short, by 16 up to 64, then by a
// quarter.
inline std::size_t NextCapacity(std::size_t size) {
    if (size < 9) return size + 4;
    if (size <= 64) return size + 16;
    return size + size / 4;
}

template <class T>
void Array<T>::Grow(Arena& arena) {
    std::size_t want = NextCapacity(cap);
    if (want > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
    T* grown = static_cast<T*>(arena.Allocate(sizeof(T) * want));
    for (std::uint32_t i = 0; i < size; ++i) {
        new (grown + i) T(std::move(data[i]));
        data[i].~T();
    }
    if (data) arena.Free(data, sizeof(T) * cap);
    data = grown;
    cap = static_cast<std::uint32_t>(want);
}

// Children and attributes, made on the first of either: most elements of a large document have
// no children, many no attributes.
struct Content {
    Array<NodeData*> kids;  // each is a link of the child
    Array<Attr> attrs;
};

class Element;
class Leaf;
class Document;

// What every node holds besides its interface. The interfaces are implemented over it by
// NodeImpl below; a node's arena is found from its address (documents keep theirs).
class NodeData {
  public:
    NodeData(NodeKind kind, std::uint32_t name) noexcept : bits_(kind), name_(name) {}

    NodeKind kind() const noexcept { return static_cast<NodeKind>(bits_ & 15u); }
    // The parents listing the node.
    std::uint32_t links() const noexcept { return bits_ >> kLinkShift; }
    std::uint32_t name_id() const noexcept { return name_; }
    Arena& arena() const noexcept;
    std::string_view name() const noexcept { return arena().names().View(name_); }
    NodeData* parent() const noexcept { return parent_; }
    std::span<NodeData* const> kids() const noexcept {
        if (!content_) return {};
        return {content_->kids.data, content_->kids.size};
    }
    std::span<Attr> attrs() const noexcept {
        if (!content_) return {};
        return {content_->attrs.data, content_->attrs.size};
    }
    // The text of leaves; empty for elements and documents.
    std::string_view text() const noexcept;
    IXmlNode* Interface() noexcept;
    const IXmlNode* Interface() const noexcept { return const_cast<NodeData*>(this)->Interface(); }
    XmlRef<IXmlElement> AsElement() noexcept;

    // New nodes in the arena, listed by nobody yet.
    static Element* NewElement(Arena& arena, std::uint32_t name);  // below Element
    static Leaf* NewLeaf(Arena& arena, NodeKind kind, std::uint32_t name, std::string_view text);

    // Lists a node of the same arena at the end (the readers' way).
    void AppendOwn(NodeData* node) {
        Array<NodeData*>& kids = content(Arena::Of(node)).kids;
        if (kids.size == kids.cap) kids.Grow(Arena::Of(node));
        kids.data[kids.size++] = node;
        node->bits_ += kLink;
        node->parent_ = this;
    }
    // Room for `n` children before the first is listed (the readers' guess).
    void ReserveKids(Arena& arena, std::uint32_t n) {
        Array<NodeData*>& kids = content(arena).kids;
        if (kids.cap >= n || kids.size) return;
        kids.Release(arena);
        kids.data = static_cast<NodeData**>(arena.Allocate(sizeof(NodeData*) * n));
        kids.cap = n;
    }
    void AddChild(NodeData* node);
    void InsertChild(std::size_t index, NodeData* node);
    int RemoveChildNode(NodeData* node);
    void ClearChildren() noexcept;
    // Drops the attributes.
    void ClearAttrs() noexcept;

    // By an id of the node's own table.
    Attr* FindAttrById(std::uint32_t id) const noexcept;
    void SetAttrById(std::uint32_t id, XmlValue value);
    // A new attribute at the end (the name is not yet set on the node).
    void AppendAttr(std::uint32_t id, XmlValue value) {
        new (NewAttr(arena())) Attr{id, std::move(value)};
    }
    // An empty attribute at the end, its name to be set. `room`: how many attributes the node
    // is expected to have (the readers know it from the last element of the same name).
    [[gnu::always_inline]] Attr* NewAttr(Arena& arena, std::uint32_t room = kInlineAttrs) {
        if (!content_) {
            // The first attribute comes before any child: room for the rest lies in the same
            // block, so most elements take one block for both.
            if (room == 0 || room > kMostInlineAttrs) room = kInlineAttrs;
            content_ = new (arena.Allocate(sizeof(Content) + room * sizeof(Attr))) Content;
            content_->attrs.data = InlineAttrs();
            content_->attrs.cap = room;
            bits_ |= kAttrsInline;
        }
        Array<Attr>& attrs = content_->attrs;
        if (attrs.size == attrs.cap) GrowAttrs(arena);
        Attr* a = new (attrs.data + attrs.size) Attr;
        ++attrs.size;
        return a;
    }

    // The operations of IXmlNode.
    std::string NodeName() const { return std::string(name()); }
    std::string GetXml() const;
    XmlRef<IXmlNodeList> ChildNodes();
    void AppendChild(const XmlRef<IXmlNode>& node);
    int RemoveChild(const XmlRef<IXmlNode>& node);
    XmlRef<IXmlElement> AppendElement(std::string_view name);
    XmlRef<IXmlNodeList> ElementsByName(std::string_view name);
    XmlRef<IXmlElement> ElementByName(std::string_view name);
    XmlRef<IXmlElement> ElementByAttr(std::string_view name, std::string_view attr_name,
                                      const XmlValue& value);
    int AttrCount() const noexcept { return content_ ? static_cast<int>(content_->attrs.size) : 0; }
    std::string AttrName(int index) const;
    const XmlValue* FindAttr(std::string_view name) const;
    std::string GetAttr(std::string_view name, std::string_view default_value) const;
    void SetAttr(std::string_view name, XmlValue value);
    std::int32_t GetIntAttr(std::string_view name, std::int32_t default_value) const;
    bool GetBoolAttr(std::string_view name, bool default_value) const;
    int GetEnumAttr(std::string_view name, std::span<const std::string_view> allowed,
                    int default_index) const;
    IXmlNode* ParentNode() const noexcept { return parent_ ? parent_->Interface() : nullptr; }
    std::string NodeValue() const { return std::string(text()); }

    // The ends of a node's references (IXmlBase::Held and Free).
    void OnHeld() noexcept;
    void OnFree() noexcept;

  protected:
    static constexpr std::uint32_t kAttrsInline = 16;  // the content block has room for attributes
    static constexpr std::uint32_t kLinkShift = 5;
    static constexpr std::uint32_t kLink = 1u << kLinkShift;
    static constexpr std::uint32_t kInlineAttrs = 4;
    static constexpr std::uint32_t kMostInlineAttrs = 16;

    Attr* InlineAttrs() const noexcept { return reinterpret_cast<Attr*>(content_ + 1); }
    // Whether the attributes still lie in the content block's own room.
    bool HasInlineAttrs() const noexcept {
        return (bits_ & kAttrsInline) && content_->attrs.data == InlineAttrs();
    }
    // Forgets the content without freeing it (its arena frees it).
    void ForgetContent() noexcept {
        content_ = nullptr;
        bits_ &= ~kAttrsInline;
    }
    // The room for attributes in the content block: its capacity while they lie there, and
    // kept in its first slot once they have moved out.
    std::uint32_t InlineRoom() const noexcept {
        if (!(bits_ & kAttrsInline)) return 0;
        if (content_->attrs.data == InlineAttrs()) return content_->attrs.cap;
        std::uint32_t room;
        __builtin_memcpy(&room, InlineAttrs(), sizeof room);
        return room;
    }
    std::size_t ContentSize() const noexcept {
        return sizeof(Content) + InlineRoom() * sizeof(Attr);
    }
    // Frees the children's and attributes' arrays and the content block.
    void FreeContent(Arena& arena) noexcept;
    void GrowAttrs(Arena& arena);

    Content& content(Arena& arena) {
        if (!content_) content_ = new (arena.Allocate(sizeof(Content))) Content;
        return *content_;
    }
    // Takes the node off this one's list of children (not off the array); true when nothing
    // refers to it any more.
    bool Unlink(NodeData* node) noexcept;
    // Unlinks all children, chaining those that go into `dead` through their parent links.
    void UnlinkKids(NodeData*& dead) noexcept;
    // Frees the chained nodes and the nodes that go with them.
    static void Destroy(NodeData* dead) noexcept;

    std::uint32_t bits_;  // kind in the low 4 bits, kAttrsInline, links above
    std::uint32_t name_;
    NodeData* parent_ = nullptr;  // the newest parent
    Content* content_ = nullptr;
};

// The interfaces over NodeData: one implementation for the three kinds of node object.
template <class I>
class NodeImpl : public I, public NodeData {
  public:
    using NodeData::NodeData;

    std::string NodeName() const final { return NodeData::NodeName(); }
    int NodeType() const final { return kind(); }
    std::string GetXml() const final { return NodeData::GetXml(); }
    XmlRef<IXmlNodeList> ChildNodes() final { return NodeData::ChildNodes(); }
    void AppendChild(const XmlRef<IXmlNode>& node) final { NodeData::AppendChild(node); }
    int RemoveChild(const XmlRef<IXmlNode>& node) final { return NodeData::RemoveChild(node); }
    XmlRef<IXmlElement> AppendElement(std::string_view name) final {
        return NodeData::AppendElement(name);
    }
    void RemoveAllChilds() final { ClearChildren(); }
    XmlRef<IXmlNodeList> ElementsByName(std::string_view name) final {
        return NodeData::ElementsByName(name);
    }
    XmlRef<IXmlElement> ElementByName(std::string_view name) final {
        return NodeData::ElementByName(name);
    }
    XmlRef<IXmlElement> ElementByAttr(std::string_view name, std::string_view attr_name,
                                      const XmlValue& value) final {
        return NodeData::ElementByAttr(name, attr_name, value);
    }
    int AttrCount() const final { return NodeData::AttrCount(); }
    std::string AttrName(int index) const final { return NodeData::AttrName(index); }
    const XmlValue* FindAttr(std::string_view name) const final { return NodeData::FindAttr(name); }
    std::string GetAttr(std::string_view name, std::string_view default_value) const final {
        return NodeData::GetAttr(name, default_value);
    }
    void SetAttr(std::string_view name, std::string_view value) final {
        NodeData::SetAttr(name, XmlValue(value));
    }
    std::int32_t GetIntAttr(std::string_view name, std::int32_t default_value) const final {
        return NodeData::GetIntAttr(name, default_value);
    }
    void SetIntAttr(std::string_view name, std::int32_t value) final {
        NodeData::SetAttr(name, XmlValue(value));
    }
    bool GetBoolAttr(std::string_view name, bool default_value) const final {
        return NodeData::GetBoolAttr(name, default_value);
    }
    void SetBoolAttr(std::string_view name, bool value) final {
        NodeData::SetAttr(name, XmlValue(value));
    }
    int GetEnumAttr(std::string_view name, std::span<const std::string_view> allowed,
                    int default_index) const final {
        return NodeData::GetEnumAttr(name, allowed, default_index);
    }
    using IXmlNode::GetEnumAttr;
    void SetAttrValue(std::string_view name, XmlValue value) final {
        NodeData::SetAttr(name, std::move(value));
    }
    IXmlNode* ParentNode() const final { return NodeData::ParentNode(); }
    std::string NodeValue() const final { return NodeData::NodeValue(); }

  protected:
    void Held() noexcept final { OnHeld(); }
    void Free() noexcept final { OnFree(); }
};

class Element final : public NodeImpl<IXmlElement> {
  public:
    explicit Element(std::uint32_t name) noexcept : NodeImpl(kElementNode, name) {}
};

// Text, CDATA section, comment and processing instruction. The text lies in the arena.
class Leaf final : public NodeImpl<IXmlNode> {
  public:
    Leaf(NodeKind kind, std::uint32_t name) noexcept : NodeImpl(kind, name) {}
    std::string_view text() const noexcept { return {text_, size_}; }
    void set_text(Arena& arena, std::string_view text);
    void DropText(Arena& arena) noexcept {
        if (size_) arena.Free(const_cast<char*>(text_), size_);
        text_ = nullptr;
        size_ = 0;
    }

  private:
    const char* text_ = nullptr;
    std::uint32_t size_ = 0;
};

class Document final : public NodeImpl<IXmlDocument> {
  public:
    Document();
    ~Document() override;
    Arena& doc_arena() const noexcept { return *arena_; }

    XmlRef<IXmlElement> DocumentElement() override;
    XmlRef<IXmlElement> NewDocument(std::string_view version, std::string_view encoding,
                                    std::string_view root_name) override;
    void LoadFromStream(IByteSource& source) override;
    void LoadFromBytes(std::string_view bytes) override;
    void LoadFromFile(const std::filesystem::path& name) override;
    void SaveToStream(IByteSink& sink) override;
    void SaveToFile(const std::filesystem::path& name) override;

    // The last reference went.
    void Gone() noexcept;

  private:
    // Empties the document. Its arena starts afresh when nothing else reaches into it;
    // otherwise the document leaves it to the nodes still held and takes a new one.
    void Restart();

    Arena* arena_;
    // The size of the text last loaded or saved into a string: a save into a string takes room
    // for about as much at once, rather than growing it (and copying it) step by step.
    std::size_t text_size_ = 0;
};

inline Element* NodeData::NewElement(Arena& arena, std::uint32_t name) {
    auto* e = new (arena.Allocate(sizeof(Element))) Element(name);
    ++arena.nodes;
    return e;
}

inline Arena& NodeData::arena() const noexcept {
    if (kind() == kDocumentNode) return static_cast<const Document*>(this)->doc_arena();
    return Arena::Of(this);
}

inline IXmlNode* NodeData::Interface() noexcept {
    switch (kind()) {
        case kElementNode:
            return static_cast<Element*>(this);
        case kDocumentNode:
            return static_cast<Document*>(this);
        default:
            return static_cast<Leaf*>(this);
    }
}

inline std::string_view NodeData::text() const noexcept {
    if (kind() == kElementNode || kind() == kDocumentNode) return {};
    return static_cast<const Leaf*>(this)->text();
}

inline XmlRef<IXmlElement> NodeData::AsElement() noexcept {
    return XmlRef<IXmlElement>(static_cast<Element*>(this));
}

// A child list handed out by ChildNodes (a live view of the node's children, which it keeps
// alive) or a list of its own (ElementsByName).
class NodeList final : public IXmlNodeList {
  public:
    explicit NodeList(NodeData* owner) noexcept;
    ~NodeList() override;

    int Count() const override;
    XmlRef<IXmlNode> Item(int index) const override;

    // Lists of their own: takes a reference.
    void Add(NodeData* node);

  private:
    NodeData* owner_;             // holds a reference
    std::vector<NodeData*> own_;  // each holds a reference
};

// What both readers hold: the document they fill, their place in the input, the document's
// arena and names (new names are counted once, when the reader goes).
class ReaderBase {
  protected:
    ReaderBase(Document& doc, std::string_view input)
        : doc_(doc),
          begin_(input.data()),
          p_(input.data()),
          end_(input.data() + input.size()),
          arena_(doc.arena()),
          names_(arena_.names()),
          batch_(names_) {}

    // Where reading stopped, for the place of an error.
    std::size_t Offset() const noexcept { return static_cast<std::size_t>(p_ - begin_); }

    Document& doc_;
    const char* begin_;
    const char* p_;
    const char* end_;
    Arena& arena_;
    NameTable& names_;
    NameTable::Batch batch_;
};

// The node behind an interface pointer; XmlError for foreign implementations.
NodeData* Impl(IXmlNode* node);

// Writes the node's XML text; flushes to `sink` (when given) in blocks.
void Write(const NodeData& node, std::string& out, IByteSink* sink);
// Text parser and binary reader; both fill `doc`, which the caller has cleared. Their errors
// are XmlParseError, with the offset in `input`.
void ParseText(Document& doc, std::string_view input);
void ReadBinary(Document& doc, std::string_view input);
inline constexpr std::string_view kBinaryMarker = "< binary-xml >";

// Helpers for messages.
std::string Format(std::string_view pattern, std::string_view arg);
std::string FileErrorText(std::string_view pattern, const std::filesystem::path& name,
                          std::string_view reason);
std::string PathText(const std::filesystem::path& name);

}  // namespace zeph::xml::detail
