// Nodes, node lists, the name table and the document operations.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml::detail {

using namespace text;

// --- name table ---------------------------------------------------------------------------

NameTable& NameTable::Shared() {
    // Lives for the whole process: documents may outlive any static of ours.
    static NameTable* table = new NameTable;
    return *table;
}

NameTable::NameTable() {
    for (std::string_view n : {"#text", "#cdata-section", "#comment", "#document", "xml"})
        Intern(n);
}

void NameTable::Reset() {
    names_.clear();
    views_.clear();
    for (auto& b : buckets_) std::vector<std::int32_t>().swap(b);
    for (auto& r : recent_) r.store(0, std::memory_order_relaxed);
    for (std::string_view n : {"#text", "#cdata-section", "#comment", "#document", "xml"})
        Intern(n);
}

std::int32_t NameTable::Intern(std::string_view name) {
    if (name.empty()) return -1;
    auto& bucket = buckets_[Hash(name) % kBuckets];
    for (std::int32_t id : bucket)
        if (views_[static_cast<std::size_t>(id)] == name) return id;
    auto id = static_cast<std::int32_t>(views_.size());
    names_.emplace_back(name);
    views_.push_back(names_.back());
    Reserve1(bucket);
    bucket.push_back(id);
    return id;
}

std::int32_t NameTable::Find(std::string_view name) const {
    if (name.empty()) return -1;
    auto& recent = recent_[RecentKey(name)];
    // Slot 0 doubles as "nothing cached": id 0 is the pre-entered "#text", found the long way.
    std::int32_t cached = recent.load(std::memory_order_relaxed);
    if (cached > 0 && static_cast<std::size_t>(cached) < views_.size() &&
        views_[static_cast<std::size_t>(cached)] == name)
        return cached;
    for (std::int32_t id : buckets_[Hash(name) % kBuckets]) {
        if (views_[static_cast<std::size_t>(id)] == name) {
            recent.store(id, std::memory_order_relaxed);
            return id;
        }
    }
    return -1;
}

// --- messages -----------------------------------------------------------------------------

std::string Format(std::string_view pattern, std::string_view arg) {
    std::string out;
    std::size_t p = pattern.find('%');
    if (p == std::string_view::npos || p + 1 >= pattern.size()) return std::string(pattern);
    out.append(pattern.substr(0, p));
    out.append(arg);
    out.append(pattern.substr(p + 2));
    return out;
}

// --- node lists ---------------------------------------------------------------------------

NodeList::~NodeList() {
    Clear();
}

XmlRef<IXmlNode> NodeList::Item(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size())
        throw XmlError(
            std::string(u8"Ошибка получения элемента списка: индекс выходит за пределы"_cp));
    // Lists are mostly read in order, and their nodes lie apart: fetch the ones coming up.
    constexpr std::size_t kAhead = 4;
    if (static_cast<std::size_t>(index) + kAhead < items_.size())
        __builtin_prefetch(items_[static_cast<std::size_t>(index) + kAhead]);
    return XmlRef<IXmlNode>(items_[static_cast<std::size_t>(index)]->Interface());
}

void NodeList::Add(NodeBase* node) {
    Reserve1(items_);
    node->AddRef();
    items_.push_back(node);
    if (owner_) node->set_parent(owner_);
}

void NodeList::Insert(std::size_t index, NodeBase* node) {
    Reserve1(items_);
    node->AddRef();
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), node);
    if (owner_) node->set_parent(owner_);
}

int NodeList::Remove(NodeBase* node) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i] != node) continue;
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        // A node also listed by a newer parent keeps its link to that one.
        if (owner_ && node->parent() == owner_) node->set_parent(nullptr);
        node->Release();
        return static_cast<int>(i);
    }
    return -1;
}

void NodeList::Clear() noexcept {
    NodeArray items;
    items.swap(items_);
    // The children of a large document lie apart in memory: asking for several at once lets
    // their fetches overlap.
    constexpr std::size_t kAhead = 16;
    const std::size_t count = items.size();
    for (std::size_t i = 0; i < count && i < kAhead; ++i) __builtin_prefetch(items[i], 1);
    for (std::size_t i = 0; i < count; ++i) {
        if (i + kAhead < count) __builtin_prefetch(items[i + kAhead], 1);
        NodeBase* n = items[i];
        if (owner_ && n->parent() == owner_) n->set_parent(nullptr);
        if (n->RefCount() == 1) {
            // It goes next: its own blocks will be read soon.
            if (!n->attrs().empty()) __builtin_prefetch(n->attrs().data());
            if (n->children()) __builtin_prefetch(n->children());
        }
        n->Release();
    }
}

void NodeList::Orphan() noexcept {
    for (NodeBase* n : items_)
        if (n->parent() == owner_) n->set_parent(nullptr);
    owner_ = nullptr;
}

// --- nodes --------------------------------------------------------------------------------

NodeBase::~NodeBase() {
    if (children_) {
        if (children_->RefCount() == 1)
            children_->Clear();  // nobody else holds the list: one pass over the children
        else
            children_->Orphan();
        children_->Release();
    }
}

void NodeBase::Free() noexcept {
    // Children are released from a loop here rather than from their parents' destructors, so a
    // deeply nested tree is freed without deep recursion.
    static thread_local std::vector<NodeBase*> pending;
    static thread_local bool draining = false;
    pending.push_back(this);
    if (draining) return;
    draining = true;
    PoolFreeBatch batch;
    while (!pending.empty()) {
        NodeBase* n = pending.back();
        pending.pop_back();
        delete n;
    }
    draining = false;
    pending.shrink_to_fit();
}

NodeBase* Impl(IXmlNode* node) {
    auto* n = dynamic_cast<NodeBase*>(node);
    if (!n && node) throw XmlError(std::string(u8"Неизвестная реализация узла XML"_cp));
    return n;
}

NodeList& NodeBase::EnsureChildren() {
    if (!children_) {
        children_ = new NodeList(this);
        children_->AddRef();
    }
    return *children_;
}

XmlRef<IXmlElement> NodeBase::AsElement() noexcept {
    return XmlRef<IXmlElement>(static_cast<Element*>(this));
}

std::string NodeBase::NodeName() const {
    return std::string(NameTable::Shared().Name(name_));
}

std::string NodeBase::NodeValue() const {
    const std::string* t = text();
    return t ? *t : std::string();
}

std::string NodeBase::GetXml() const {
    std::string out;
    Write(*this, out, nullptr);
    return out;
}

XmlRef<IXmlNodeList> NodeBase::ChildNodes() {
    return XmlRef<IXmlNodeList>(&EnsureChildren());
}

void NodeBase::AppendChild(const XmlRef<IXmlNode>& node) {
    NodeBase* n = Impl(node.get());
    if (!n) throw XmlError(std::string(u8"Не задан добавляемый узел"_cp));
    if (n->kind() == kDocumentNode)
        throw XmlError(std::string(u8"Документ не может быть дочерним узлом"_cp));
    // Adding a node into its own subtree would make a cycle that is never freed and never ends
    // when written. A node may be listed by several parents, so search the whole subtree.
    std::vector<const NodeBase*> stack{n};
    while (!stack.empty()) {
        const NodeBase* s = stack.back();
        stack.pop_back();
        if (s == this)
            throw XmlError(std::string(u8"Узел не может быть добавлен в собственное поддерево"_cp));
        if (s->children())
            for (const NodeBase* c : s->children()->items())
                if (c->children() || c == this) stack.push_back(c);
    }
    EnsureChildren().Add(n);
}

int NodeBase::RemoveChild(const XmlRef<IXmlNode>& node) {
    NodeBase* n = Impl(node.get());
    if (!n || !children_) return -1;
    return children_->Remove(n);
}

XmlRef<IXmlElement> NodeBase::AppendElement(std::string_view name) {
    auto* e = new Element(NameTable::Shared().Intern(name));
    XmlRef<IXmlElement> ref(e);
    EnsureChildren().Add(e);
    return ref;
}

void NodeBase::RemoveAllChilds() {
    if (children_) children_->Clear();
}

XmlRef<IXmlNodeList> NodeBase::ElementsByName(std::string_view name) {
    XmlRef<IXmlNodeList> result(new NodeList(nullptr));
    auto& list = static_cast<NodeList&>(*result);
    std::int32_t id = NameTable::Shared().Find(name);
    if (children_ && id >= 0)
        for (NodeBase* c : children_->items())
            if (c->kind() == kElementNode && c->name() == id) list.Add(c);
    return result;
}

XmlRef<IXmlElement> NodeBase::ElementByName(std::string_view name) {
    std::int32_t id = NameTable::Shared().Find(name);
    if (children_ && id >= 0)
        for (NodeBase* c : children_->items())
            if (c->kind() == kElementNode && c->name() == id) return c->AsElement();
    return nullptr;
}

XmlRef<IXmlElement> NodeBase::ElementByAttr(std::string_view name, std::string_view attr_name,
                                            const XmlValue& value) {
    std::int32_t id = NameTable::Shared().Find(name);
    std::int32_t attr_id = NameTable::Shared().Find(attr_name);
    if (!children_ || id < 0 || attr_id < 0) return nullptr;
    for (NodeBase* c : children_->items()) {
        if (c->kind() != kElementNode || c->name() != id) continue;
        const Attr* a = c->FindAttrById(attr_id);
        if (a && a->value.Matches(value)) return c->AsElement();
    }
    return nullptr;
}

Attr* NodeBase::FindAttrById(std::int32_t id) noexcept {
    if (id < 0) return nullptr;
    for (Attr& a : attrs_)
        if (a.name == id) return &a;
    return nullptr;
}

const Attr* NodeBase::FindAttrById(std::int32_t id) const noexcept {
    return const_cast<NodeBase*>(this)->FindAttrById(id);
}

void NodeBase::SetAttrById(std::int32_t id, XmlValue value) {
    if (Attr* a = FindAttrById(id)) {
        a->value = std::move(value);
        return;
    }
    Reserve1(attrs_);
    attrs_.push_back(Attr{id, std::move(value)});
}

std::string NodeBase::AttrName(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= attrs_.size())
        throw XmlError(std::string(u8"Ошибка получения атрибута: индекс выходит за пределы"_cp));
    return std::string(NameTable::Shared().Name(attrs_[static_cast<std::size_t>(index)].name));
}

const XmlValue* NodeBase::FindAttr(std::string_view name) const {
    const Attr* a = FindAttrById(NameTable::Shared().Find(name));
    return a ? &a->value : nullptr;
}

std::string NodeBase::GetAttr(std::string_view name, std::string_view default_value) const {
    const XmlValue* v = FindAttr(name);
    return v ? v->ToText() : std::string(default_value);
}

void NodeBase::SetAttr(std::string_view name, std::string_view value) {
    SetAttrById(NameTable::Shared().Intern(name), XmlValue(value));
}

std::int32_t NodeBase::GetIntAttr(std::string_view name, std::int32_t default_value) const {
    const XmlValue* v = FindAttr(name);
    return v ? v->ToInt() : default_value;
}

void NodeBase::SetIntAttr(std::string_view name, std::int32_t value) {
    SetAttrById(NameTable::Shared().Intern(name), XmlValue(value));
}

bool NodeBase::GetBoolAttr(std::string_view name, bool default_value) const {
    const XmlValue* v = FindAttr(name);
    return v ? v->ToBool() : default_value;
}

void NodeBase::SetBoolAttr(std::string_view name, bool value) {
    SetAttrById(NameTable::Shared().Intern(name), XmlValue(value));
}

int NodeBase::GetEnumAttr(std::string_view name, std::span<const std::string_view> allowed,
                          int default_index) const {
    const XmlValue* v = FindAttr(name);
    if (!v) return default_index;
    std::string value = v->ToText();
    for (std::size_t i = 0; i < allowed.size(); ++i)
        if (EqualsNoCase(value, allowed[i])) return static_cast<int>(i);
    std::string list;
    for (std::size_t i = 0; i < allowed.size(); ++i) {
        if (i) list += "\r\n";
        list += allowed[i];
    }
    const std::string_view msg =
        u8"Неверное значение атрибута \"%s\" элемента \"%s\".\r\nДопустимые значения:\r\n%s"_cp;
    std::string out;
    std::string_view args[3] = {name, NameTable::Shared().Name(name_), list};
    std::size_t arg = 0;
    for (std::size_t i = 0; i < msg.size(); ++i) {
        if (msg[i] == '%' && i + 1 < msg.size() && msg[i + 1] == 's' && arg < 3) {
            out += args[arg++];
            ++i;
        } else {
            out += msg[i];
        }
    }
    throw XmlError(out);
}

void NodeBase::SetAttrValue(std::string_view name, XmlValue value) {
    SetAttrById(NameTable::Shared().Intern(name), std::move(value));
}

// --- documents ----------------------------------------------------------------------------

XmlRef<IXmlElement> Document::DocumentElement() {
    if (NodeList* c = children())
        for (NodeBase* n : c->items())
            if (n->kind() == kElementNode) return n->AsElement();
    return nullptr;
}

XmlRef<IXmlElement> Document::NewDocument(std::string_view version, std::string_view encoding,
                                          std::string_view root_name) {
    RemoveAllChilds();
    std::string data = "version=\"";
    data += version;
    data += "\" encoding=\"";
    data += encoding.empty() ? std::string_view("windows-1251") : encoding;
    data += '"';
    auto* root = new Element(NameTable::Shared().Intern(root_name));
    XmlRef<IXmlElement> ref(root);
    EnsureChildren().Insert(0, new Leaf(kProcessingInstructionNode, kXmlName, std::move(data)));
    EnsureChildren().Insert(1, root);
    return ref;
}

void Document::LoadFromBytes(std::string_view bytes) {
    RemoveAllChilds();
    attrs().clear();
    if (bytes.size() > kBinaryMarker.size() && bytes.starts_with(kBinaryMarker))
        ReadBinary(*this, bytes.substr(kBinaryMarker.size()));
    else
        ParseText(*this, bytes);
}

void Document::LoadFromStream(IByteSource& source) {
    // One read into a buffer of the expected size (plus a byte to see the end) when the source
    // knows it; otherwise, or when the input runs longer, the buffer doubles. It is not
    // zero-filled first: only the bytes read are ever looked at.
    // A hint beyond any file worth reading at once is not trusted for the first buffer.
    constexpr std::size_t kLargestHint = std::size_t{64} << 20;
    std::size_t capacity = std::clamp<std::size_t>(source.SizeHint(), 4095, kLargestHint) + 1;
    auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
    std::size_t used = 0;
    for (;;) {
        if (used == capacity) {
            std::size_t grown = capacity * 2;
            auto larger = std::make_unique_for_overwrite<char[]>(grown);
            std::memcpy(larger.get(), bytes.get(), used);
            bytes = std::move(larger);
            capacity = grown;
        }
        std::size_t n = source.Read(bytes.get() + used, capacity - used);
        if (n == 0) break;
        used += n;
    }
    LoadFromBytes(std::string_view(bytes.get(), used));
}

void Document::LoadFromFile(const std::filesystem::path& name) {
    auto source = CurrentFileSystem().OpenRead(name);
    LoadFromStream(*source);
}

void Document::SaveToStream(IByteSink& sink) {
    // Text for a string goes straight into it rather than through a buffer of blocks.
    if (auto* strings = dynamic_cast<StringSink*>(&sink)) {
        Write(*this, strings->target(), nullptr);
        return;
    }
    std::string buffer;
    Write(*this, buffer, &sink);
    if (!buffer.empty()) sink.Write(buffer);
}

void Document::SaveToFile(const std::filesystem::path& name) {
    IFileSystem& fs = CurrentFileSystem();
    std::filesystem::path temp = TempFileName(name);
    try {
        auto writer = fs.Create(temp);
        SaveToStream(*writer);
        writer->Flush();
        writer->Close();
        writer.reset();
        fs.Replace(temp, name);
    } catch (...) {
        fs.Remove(temp);
        throw;
    }
}

}  // namespace zeph::xml::detail

namespace zeph::xml {

XmlRef<IXmlDocument> CreateXmlDocument(std::string_view root_name, std::string_view version,
                                       std::string_view encoding) {
    XmlRef<IXmlDocument> doc(new detail::Document);
    if (!root_name.empty()) doc->NewDocument(version, encoding, root_name);
    return doc;
}

XmlRef<IXmlDocument> LoadXmlDocument(const std::filesystem::path& name) {
    XmlRef<IXmlDocument> doc(new detail::Document);
    doc->LoadFromFile(name);
    return doc;
}

std::size_t NameTableSize() {
    return detail::NameTable::Shared().Size();
}

std::size_t MemorySource::Read(char* buffer, std::size_t size) {
    std::size_t n = std::min(size, bytes_.size());
    if (n) std::memcpy(buffer, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return n;
}

std::filesystem::path TempFileName(const std::filesystem::path& target) {
    std::filesystem::path temp = target;
    temp += ".tmp";
    return temp;
}

}  // namespace zeph::xml
