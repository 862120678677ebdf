// Internals of the document model shared by the nodes, the writer and the two readers.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/pool.h"
#include "xml/xml.h"

namespace zeph::xml::detail {

// Interned names. Every document has its own table, and each node refers to the table its name
// lives in, so a table lives exactly as long as some node of it: the names of a document are
// given back with its last node. A name is an entry of its table, and within one table equal
// names are the same entry, so names of one table compare by address. A node appended to a
// second document keeps its own table; lookups compare the texts of names from two tables.
class NameTable;

struct Name {
    NameTable* table;
    std::uint32_t size;
    std::uint32_t hash;
    // The bytes follow the entry.
    std::string_view view() const noexcept {
        return {reinterpret_cast<const char*>(this + 1), size};
    }
};

// Names of the same text, in the same table or not.
inline bool SameName(const Name* a, const Name* b) noexcept {
    return a == b || (a->table != b->table && a->view() == b->view());
}

class NameTable {
  public:
    // A new table with the pre-entered names, held by nobody yet.
    static NameTable* Create();
    NameTable(const NameTable&) = delete;
    NameTable& operator=(const NameTable&) = delete;

    // Counted by the nodes whose names it holds; a plain count, because a tree is used by one
    // thread at a time.
    void AddRef() noexcept { ++refs_; }
    void Release() noexcept {
        if (--refs_ == 0) delete this;
    }
    std::uint32_t RefCount() const noexcept { return refs_; }

    // The entry of the name, entering it when it is new. The empty name is an entry too.
    const Name* Intern(std::string_view name);
    // The entry, or nullptr when the name was never entered.
    const Name* Find(std::string_view name) const noexcept;
    std::size_t Size() const noexcept { return entries_.size(); }

    const Name* text_name() const noexcept { return pre_[0]; }
    const Name* cdata_name() const noexcept { return pre_[1]; }
    const Name* comment_name() const noexcept { return pre_[2]; }
    const Name* document_name() const noexcept { return pre_[3]; }
    const Name* xml_name() const noexcept { return pre_[4]; }

  private:
    NameTable();
    ~NameTable();
    const Name* Add(std::string_view name, std::uint32_t hash, std::size_t slot);
    void Grow();

    std::uint32_t refs_ = 0;
    // Open addressing with linear probing, at most half full: a lookup costs the same however
    // many names there are. A slot keeps the hash, so that probing past other names reads
    // none of their entries.
    struct Slot {
        std::uint32_t hash;
        std::uint32_t index;  // in entries_, plus one; 0 for a free slot
    };
    std::vector<Slot> slots_;
    std::vector<const Name*> entries_;
    // Entries with their bytes are carved from blocks that grow with the table and stay in
    // place.
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::array<const Name*, 5> pre_{};
};

// Names in all tables alive, for tests that check that memory is given back.
std::size_t LiveNames() noexcept;

// Capacity growth of attribute arrays and child lists: by 4 while short, by 16 up to 64, then by a
// quarter.
inline std::size_t NextCapacity(std::size_t size) {
    if (size < 9) return size + 4;
    if (size <= 64) return size + 16;
    return size + size / 4;
}
// A growable array of pool blocks in 16 bytes (std::vector takes 24), growing by NextCapacity:
// the attribute arrays and child lists of nodes.
template <class T>
class PoolArray {
  public:
    PoolArray() noexcept = default;
    PoolArray(const PoolArray&) = delete;
    PoolArray& operator=(const PoolArray&) = delete;
    ~PoolArray() {
        clear();
        if (data_) PoolAllocator<T>().deallocate(data_, cap_);
    }

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    T* data() noexcept { return data_; }
    T* begin() noexcept { return data_; }
    T* end() noexcept { return data_ + size_; }
    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + size_; }
    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }

    template <class... Args>
    T& emplace_back(Args&&... args) {
        if (size_ == cap_) Grow();
        T* slot = new (data_ + size_) T(std::forward<Args>(args)...);
        ++size_;
        return *slot;
    }
    void insert(std::size_t index, T value) {
        emplace_back(std::move(value));
        for (std::size_t i = size_ - 1; i > index; --i) std::swap(data_[i], data_[i - 1]);
    }
    void erase(std::size_t index) noexcept {
        for (std::size_t i = index; i + 1 < size_; ++i) data_[i] = std::move(data_[i + 1]);
        data_[--size_].~T();
    }
    // Destroys the items; the storage stays.
    void clear() noexcept {
        for (std::size_t i = size_; i > 0; --i) data_[i - 1].~T();
        size_ = 0;
    }
    void swap(PoolArray& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(cap_, o.cap_);
    }

  private:
    void Grow() {
        std::size_t cap = NextCapacity(cap_);
        if (cap > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
        T* grown = PoolAllocator<T>().allocate(cap);
        for (std::size_t i = 0; i < size_; ++i) {
            new (grown + i) T(std::move(data_[i]));
            data_[i].~T();
        }
        if (data_) PoolAllocator<T>().deallocate(data_, cap_);
        data_ = grown;
        cap_ = static_cast<std::uint32_t>(cap);
    }

    T* data_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t cap_ = 0;
};

struct Attr {
    Attr(const Name* n, XmlValue v) noexcept : name(n), value(std::move(v)) {}
    // A text value made in place, without a move of its text.
    Attr(const Name* n, std::string_view text) : name(n), value(text) {}

    const Name* name;  // of the node's own table
    XmlValue value;
};

class NodeBase;
using AttrArray = PoolArray<Attr>;
using NodeArray = PoolArray<NodeBase*>;

// A child list handed out by ChildNodes (a live view of the node's children, which it keeps
// alive) or a list of its own (ElementsByName).
class NodeList final : public IXmlNodeList, public Pooled {
  public:
    explicit NodeList(NodeBase* owner) noexcept;
    ~NodeList() override;

    int Count() const override { return static_cast<int>(items().size()); }
    XmlRef<IXmlNode> Item(int index) const override;

    // Lists of their own: takes a reference.
    void Add(NodeBase* node);

  private:
    const NodeArray& items() const noexcept;

    NodeBase* owner_;  // holds a reference
    NodeArray own_;    // each holds a reference
};

class NodeBase : public virtual IXmlNode {
  public:
    // The node holds the name's table.
    NodeBase(NodeKind kind, const Name* name) noexcept : kind_(kind), name_(name) {
        name->table->AddRef();
    }
    ~NodeBase() override;

    NodeKind kind() const noexcept { return kind_; }
    const Name* name() const noexcept { return name_; }
    // The table of the node's name and its attributes' names.
    NameTable& table() const noexcept { return *name_->table; }
    NodeBase* parent() const noexcept { return parent_; }
    void set_parent(NodeBase* p) noexcept { parent_ = p; }
    AttrArray& attrs() noexcept { return attrs_; }
    const AttrArray& attrs() const noexcept { return attrs_; }
    // Each child holds a reference; adding one sets its parent link, removing one clears it
    // unless the child was appended to a newer parent since.
    const NodeArray& kids() const noexcept { return kids_; }
    void AddChild(NodeBase* node) {
        kids_.emplace_back(node);
        node->AddRef();
        node->parent_ = this;
    }
    void InsertChild(std::size_t index, NodeBase* node);
    int RemoveChildNode(NodeBase* node);
    void ClearChildren() noexcept;
    // Text of leaves; the data text of an instruction.
    virtual std::string* text() noexcept { return nullptr; }
    const std::string* text() const noexcept { return const_cast<NodeBase*>(this)->text(); }
    IXmlNode* Interface() noexcept { return this; }
    XmlRef<IXmlElement> AsElement() noexcept;

    // By an entry of the node's own table.
    Attr* FindAttrById(const Name* id) noexcept;
    const Attr* FindAttrById(const Name* id) const noexcept;
    void SetAttrById(const Name* id, XmlValue value);

    // IXmlNode
    std::string NodeName() const override;
    int NodeType() const override { return kind_; }
    std::string GetXml() const override;
    XmlRef<IXmlNodeList> ChildNodes() override;
    void AppendChild(const XmlRef<IXmlNode>& node) override;
    int RemoveChild(const XmlRef<IXmlNode>& node) override;
    XmlRef<IXmlElement> AppendElement(std::string_view name) override;
    void RemoveAllChilds() override;
    XmlRef<IXmlNodeList> ElementsByName(std::string_view name) override;
    XmlRef<IXmlElement> ElementByName(std::string_view name) override;
    XmlRef<IXmlElement> ElementByAttr(std::string_view name, std::string_view attr_name,
                                      const XmlValue& value) override;
    int AttrCount() const override { return static_cast<int>(attrs_.size()); }
    std::string AttrName(int index) const override;
    const XmlValue* FindAttr(std::string_view name) const override;
    std::string GetAttr(std::string_view name, std::string_view default_value) const override;
    void SetAttr(std::string_view name, std::string_view value) override;
    std::int32_t GetIntAttr(std::string_view name, std::int32_t default_value) const override;
    void SetIntAttr(std::string_view name, std::int32_t value) override;
    bool GetBoolAttr(std::string_view name, bool default_value) const override;
    void SetBoolAttr(std::string_view name, bool value) override;
    int GetEnumAttr(std::string_view name, std::span<const std::string_view> allowed,
                    int default_index) const override;
    using IXmlNode::GetEnumAttr;
    void SetAttrValue(std::string_view name, XmlValue value) override;
    IXmlNode* ParentNode() const override { return parent_; }
    std::string NodeValue() const override;

  protected:
    void Free() noexcept override;
    // Moves the node, with the names of its attributes, to the table of `name`.
    void Rename(const Name* name);

  private:
    NodeKind kind_;
    const Name* name_;
    NodeBase* parent_ = nullptr;
    NodeArray kids_;
    AttrArray attrs_;
};

class Element final : public NodeBase, public IXmlElement, public Pooled {
  public:
    explicit Element(const Name* name) noexcept : NodeBase(kElementNode, name) {}
};

// Text, CDATA section, comment and processing instruction.
class Leaf final : public NodeBase, public Pooled {
  public:
    Leaf(NodeKind kind, const Name* name, std::string text) noexcept
        : NodeBase(kind, name), text_(std::move(text)) {}
    std::string* text() noexcept override { return &text_; }

  private:
    std::string text_;
};

class Document final : public NodeBase, public IXmlDocument {
  public:
    Document() : NodeBase(kDocumentNode, NameTable::Create()->document_name()) {}

    XmlRef<IXmlElement> DocumentElement() override;
    XmlRef<IXmlElement> NewDocument(std::string_view version, std::string_view encoding,
                                    std::string_view root_name) override;
    void LoadFromStream(IByteSource& source) override;
    void LoadFromBytes(std::string_view bytes) override;
    void LoadFromFile(const std::filesystem::path& name) override;
    void SaveToStream(IByteSink& sink) override;
    void SaveToFile(const std::filesystem::path& name) override;

  private:
    // Empties the document and gives it a new table, so that the names of what it held go
    // with the last of those nodes.
    void Restart();
};

static_assert(alignof(Element) <= kAlign && alignof(Leaf) <= kAlign && alignof(NodeList) <= kAlign);

// The node behind an interface pointer; XmlError for foreign implementations.
NodeBase* Impl(IXmlNode* node);

// Writes the node's XML text; flushes to `sink` (when given) in blocks.
void Write(const NodeBase& node, std::string& out, IByteSink* sink);
// Text parser and binary reader; both fill `doc`, which the caller has cleared.
void ParseText(Document& doc, std::string_view input);
void ReadBinary(Document& doc, std::string_view input);
inline constexpr std::string_view kBinaryMarker = "< binary-xml >";

// Helpers for messages.
std::string Format(std::string_view pattern, std::string_view arg);
std::string FileErrorText(std::string_view pattern, const std::filesystem::path& name,
                          std::string_view reason);
std::string PathText(const std::filesystem::path& name);

}  // namespace zeph::xml::detail
