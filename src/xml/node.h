// Internals of the document model shared by the nodes, the writer and the two readers.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "xml/pool.h"
#include "xml/xml.h"

namespace zeph::xml::detail {

// Interned names: every distinct name (byte for byte) gets the index of its entry; the empty
// name is -1. Lookups hash into 4096 buckets with h = h * 33 + byte.
class NameTable {
  public:
    static constexpr std::size_t kBuckets = 4096;
    static NameTable& Shared();

    NameTable();
    // The id of the name, entering it when it is new.
    std::int32_t Intern(std::string_view name);
    // The id of the name, or -1 when it was never entered (or is empty).
    std::int32_t Find(std::string_view name) const;
    std::string_view Name(std::int32_t id) const noexcept {
        return id < 0 ? std::string_view() : views_[static_cast<std::size_t>(id)];
    }
    std::size_t Size() const noexcept { return views_.size(); }
    // Forgets every name but the pre-entered ones. Only for a process that holds no node any
    // more (the fuzzers, between inputs).
    void Reset();

    static std::uint32_t Hash(std::string_view name) noexcept {
        std::uint32_t h = 0;
        for (unsigned char c : name) h = h * 33 + c;
        return h;
    }

  private:
    // Lookups repeat the same few names (the attributes a reader asks for on every node): a
    // small cache of recent ids, checked against the table, saves hashing and the bucket walk.
    static constexpr std::size_t kRecent = 64;
    static std::size_t RecentKey(std::string_view name) noexcept {
        return (name.size() * 7 + static_cast<unsigned char>(name.front()) * 3 +
                static_cast<unsigned char>(name.back())) %
               kRecent;
    }
    mutable std::array<std::atomic<std::int32_t>, kRecent> recent_{};

    std::deque<std::string> names_;        // a deque keeps the strings in place as it grows
    std::vector<std::string_view> views_;  // of names_, for quick access by id
    std::array<std::vector<std::int32_t>, kBuckets> buckets_;
};

// Pre-entered ids, in the order the table enters them.
enum : std::int32_t { kTextName = 0, kCDataName, kCommentName, kDocumentName, kXmlName };

// Capacity growth of attribute arrays and child lists: by 4 while short, by 16 up to 64, then by a
// quarter.
inline std::size_t NextCapacity(std::size_t size) {
    if (size < 9) return size + 4;
    if (size <= 64) return size + 16;
    return size + size / 4;
}
template <class V>
inline void Reserve1(V& v) {
    if (v.size() == v.capacity()) v.reserve(NextCapacity(v.capacity()));
}

struct Attr {
    Attr(std::int32_t n, XmlValue v) noexcept : name(n), value(std::move(v)) {}
    // A text value made in place, without a move of its text.
    Attr(std::int32_t n, std::string_view text) : name(n), value(text) {}

    std::int32_t name;
    XmlValue value;
};

class NodeBase;
using AttrArray = std::vector<Attr, PoolAllocator<Attr>>;
using NodeArray = std::vector<NodeBase*, PoolAllocator<NodeBase*>>;

class NodeList final : public IXmlNodeList, public Pooled {
  public:
    explicit NodeList(NodeBase* owner) noexcept : owner_(owner) {}
    ~NodeList() override;

    int Count() const override { return static_cast<int>(items_.size()); }
    XmlRef<IXmlNode> Item(int index) const override;

    // Takes a reference; sets the parent link when the list belongs to a node.
    void Add(NodeBase* node);
    void Insert(std::size_t index, NodeBase* node);
    int Remove(NodeBase* node);
    void Clear() noexcept;
    const NodeArray& items() const noexcept { return items_; }
    void Orphan() noexcept;  // the owner is going away

  private:
    NodeBase* owner_;
    NodeArray items_;  // each holds a reference
};

class NodeBase : public virtual IXmlNode {
  public:
    NodeBase(NodeKind kind, std::int32_t name) noexcept : kind_(kind), name_(name) {}
    ~NodeBase() override;

    NodeKind kind() const noexcept { return kind_; }
    std::int32_t name() const noexcept { return name_; }
    NodeBase* parent() const noexcept { return parent_; }
    void set_parent(NodeBase* p) noexcept { parent_ = p; }
    AttrArray& attrs() noexcept { return attrs_; }
    const AttrArray& attrs() const noexcept { return attrs_; }
    NodeList* children() const noexcept { return children_; }
    NodeList& EnsureChildren();
    // Text of leaves; the data text of an instruction.
    virtual std::string* text() noexcept { return nullptr; }
    const std::string* text() const noexcept { return const_cast<NodeBase*>(this)->text(); }
    IXmlNode* Interface() noexcept { return this; }
    XmlRef<IXmlElement> AsElement() noexcept;

    Attr* FindAttrById(std::int32_t id) noexcept;
    const Attr* FindAttrById(std::int32_t id) const noexcept;
    void SetAttrById(std::int32_t id, XmlValue value);

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

  private:
    NodeKind kind_;
    std::int32_t name_;
    NodeBase* parent_ = nullptr;
    NodeList* children_ = nullptr;  // holds a reference
    AttrArray attrs_;
};

class Element final : public NodeBase, public IXmlElement, public Pooled {
  public:
    explicit Element(std::int32_t name) noexcept : NodeBase(kElementNode, name) {}
};

// Text, CDATA section, comment and processing instruction.
class Leaf final : public NodeBase, public Pooled {
  public:
    Leaf(NodeKind kind, std::int32_t name, std::string text) noexcept
        : NodeBase(kind, name), text_(std::move(text)) {}
    std::string* text() noexcept override { return &text_; }

  private:
    std::string text_;
};

class Document final : public NodeBase, public IXmlDocument {
  public:
    Document() noexcept : NodeBase(kDocumentNode, kDocumentName) {}

    XmlRef<IXmlElement> DocumentElement() override;
    XmlRef<IXmlElement> NewDocument(std::string_view version, std::string_view encoding,
                                    std::string_view root_name) override;
    void LoadFromStream(IByteSource& source) override;
    void LoadFromBytes(std::string_view bytes) override;
    void LoadFromFile(const std::filesystem::path& name) override;
    void SaveToStream(IByteSink& sink) override;
    void SaveToFile(const std::filesystem::path& name) override;
};

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
