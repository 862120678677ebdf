// Nodes, node lists, the name table and the document operations.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml::detail {

using namespace text;

// --- name table ---------------------------------------------------------------------------

namespace {

std::atomic<std::size_t> live_names{0};

std::uint64_t Mix(std::uint64_t x) noexcept {
    x ^= x >> 32;
    x *= 0xd6e8feb86659fd93u;
    x ^= x >> 32;
    return x;
}

// Keyed per process, so that input cannot be made to collide on purpose.
std::uint64_t HashSeed() noexcept {
    static const std::uint64_t seed = [] {
        int local = 0;
        auto now =
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        return Mix(now ^ reinterpret_cast<std::uintptr_t>(&local) ^
                   reinterpret_cast<std::uintptr_t>(&live_names));
    }();
    return seed;
}

std::uint32_t HashName(std::string_view name) noexcept {
    std::uint64_t h = HashSeed() ^ (name.size() * 0x9e3779b97f4a7c15u);
    const char* p = name.data();
    std::size_t n = name.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        h = Mix(h ^ w) * 0x9e3779b97f4a7c15u;
    }
    if (n) {
        std::uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = Mix(h ^ w) * 0x9e3779b97f4a7c15u;
    }
    return static_cast<std::uint32_t>(Mix(h));
}

constexpr std::size_t kFirstSlots = 16;
constexpr std::size_t kFirstBlock = 512;

}  // namespace

std::size_t LiveNames() noexcept {
    return live_names.load(std::memory_order_relaxed);
}

NameTable* NameTable::Create() {
    return new NameTable;
}

NameTable::NameTable() : slots_(kFirstSlots, Slot{0, 0}) {
    std::size_t i = 0;
    for (std::string_view n : {"#text", "#cdata-section", "#comment", "#document", "xml"})
        pre_[i++] = Intern(n);
}

NameTable::~NameTable() {
    live_names.fetch_sub(entries_.size(), std::memory_order_relaxed);
}

const Name* NameTable::Find(std::string_view name) const noexcept {
    const std::uint32_t h = HashName(name);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const Slot s = slots_[i];
        if (!s.index) return nullptr;
        if (s.hash == h && entries_[s.index - 1]->view() == name) return entries_[s.index - 1];
    }
}

const Name* NameTable::Intern(std::string_view name) {
    const std::uint32_t h = HashName(name);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = h & mask;
    for (;; i = (i + 1) & mask) {
        const Slot s = slots_[i];
        if (!s.index) break;
        if (s.hash == h && entries_[s.index - 1]->view() == name) return entries_[s.index - 1];
    }
    return Add(name, h, i);
}

const Name* NameTable::Add(std::string_view name, std::uint32_t hash, std::size_t slot) {
    if (name.size() > std::numeric_limits<std::uint32_t>::max() ||
        entries_.size() >= std::numeric_limits<std::uint32_t>::max() - 1)
        throw XmlError(std::string(u8"Слишком много имён или слишком длинное имя"_cp));
    constexpr std::size_t kEntryAlign = alignof(Name);
    std::size_t need = (sizeof(Name) + name.size() + kEntryAlign - 1) / kEntryAlign * kEntryAlign;
    // Room first, so that nothing is changed when it cannot be had.
    if (entries_.size() == entries_.capacity()) entries_.reserve(entries_.size() * 2 + 8);
    if (static_cast<std::size_t>(end_ - next_) < need) {
        // Blocks double up to a limit, so a table of many names takes few of them.
        std::size_t size = std::max(need, kFirstBlock << std::min<std::size_t>(blocks_.size(), 11));
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        next_ = blocks_.back().get();
        end_ = next_ + size;
    }
    auto* e = new (next_) Name{this, static_cast<std::uint32_t>(name.size()), hash};
    if (!name.empty()) std::memcpy(reinterpret_cast<char*>(e + 1), name.data(), name.size());
    next_ += need;
    entries_.push_back(e);
    slots_[slot] = Slot{hash, static_cast<std::uint32_t>(entries_.size())};
    live_names.fetch_add(1, std::memory_order_relaxed);
    if (entries_.size() * 2 > slots_.size()) Grow();
    return e;
}

void NameTable::Grow() {
    std::vector<Slot> slots(slots_.size() * 2, Slot{0, 0});
    const std::size_t mask = slots.size() - 1;
    for (const Slot s : slots_) {
        if (!s.index) continue;
        std::size_t i = s.hash & mask;
        while (slots[i].index) i = (i + 1) & mask;
        slots[i] = s;
    }
    slots_.swap(slots);
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

NodeList::NodeList(NodeBase* owner) noexcept : owner_(owner) {
    if (owner_) owner_->AddRef();
}

NodeList::~NodeList() {
    if (owner_) owner_->Release();
    for (NodeBase* n : own_) n->Release();
}

const NodeArray& NodeList::items() const noexcept {
    return owner_ ? owner_->kids() : own_;
}

XmlRef<IXmlNode> NodeList::Item(int index) const {
    const NodeArray& items = this->items();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size())
        throw XmlError(
            std::string(u8"Ошибка получения элемента списка: индекс выходит за пределы"_cp));
    // Lists are mostly read in order, and their nodes lie apart: fetch the ones coming up.
    constexpr std::size_t kAhead = 4;
    if (static_cast<std::size_t>(index) + kAhead < items.size())
        __builtin_prefetch(items[static_cast<std::size_t>(index) + kAhead]);
    return XmlRef<IXmlNode>(items[static_cast<std::size_t>(index)]->Interface());
}

void NodeList::Add(NodeBase* node) {
    own_.emplace_back(node);
    node->AddRef();
}

// --- nodes --------------------------------------------------------------------------------

void NodeBase::InsertChild(std::size_t index, NodeBase* node) {
    kids_.insert(index, node);
    node->AddRef();
    node->set_parent(this);
}

int NodeBase::RemoveChildNode(NodeBase* node) {
    for (std::size_t i = 0; i < kids_.size(); ++i) {
        if (kids_[i] != node) continue;
        kids_.erase(i);
        // A node also listed by a newer parent keeps its link to that one.
        if (node->parent() == this) node->set_parent(nullptr);
        node->Release();
        return static_cast<int>(i);
    }
    return -1;
}

void NodeBase::ClearChildren() noexcept {
    NodeArray items;
    items.swap(kids_);
    // The children of a large document lie apart in memory: asking for several at once lets
    // their fetches overlap.
    constexpr std::size_t kAhead = 16;
    const std::size_t count = items.size();
    for (std::size_t i = 0; i < count && i < kAhead; ++i) __builtin_prefetch(items[i], 1);
    for (std::size_t i = 0; i < count; ++i) {
        if (i + kAhead < count) __builtin_prefetch(items[i + kAhead], 1);
        NodeBase* n = items[i];
        if (n->parent() == this) n->set_parent(nullptr);
        if (n->RefCount() == 1) {
            // It goes next: its own blocks will be read soon.
            if (!n->attrs().empty()) __builtin_prefetch(n->attrs().data());
            if (!n->kids().empty()) __builtin_prefetch(n->kids_.data());
        }
        n->Release();
    }
}

NodeBase::~NodeBase() {
    ClearChildren();
    name_->table->Release();
}

void NodeBase::Free() noexcept {
    // Children are released from a loop here rather than from their parents' destructors, so a
    // deeply nested tree is freed without deep recursion. The list lives on the stack of the
    // outermost call: a thread-local one with a destructor would keep a DLL from unloading.
    static constinit thread_local std::vector<NodeBase*>* draining = nullptr;
    if (draining) {
        draining->push_back(this);
        return;
    }
    std::vector<NodeBase*> pending;
    draining = &pending;
    PoolFreeBatch batch;
    delete this;
    while (!pending.empty()) {
        NodeBase* n = pending.back();
        pending.pop_back();
        delete n;
    }
    draining = nullptr;
}

NodeBase* Impl(IXmlNode* node) {
    auto* n = dynamic_cast<NodeBase*>(node);
    if (!n && node) throw XmlError(std::string(u8"Неизвестная реализация узла XML"_cp));
    return n;
}

void NodeBase::Rename(const Name* name) {
    NameTable& to = *name->table;
    to.AddRef();
    std::vector<const Name*> attr_names;
    try {
        attr_names.reserve(attrs_.size());
        for (const Attr& a : attrs_) attr_names.push_back(to.Intern(a.name->view()));
    } catch (...) {
        to.Release();
        throw;
    }
    for (std::size_t i = 0; i < attrs_.size(); ++i) attrs_[i].name = attr_names[i];
    std::exchange(name_, name)->table->Release();
}

namespace {

// Compares the names of children with one text: by entry within the parent's table, by text for
// a child that came from another document.
class NameMatch {
  public:
    NameMatch(const NameTable& table, std::string_view name)
        : table_(&table), entry_(table.Find(name)), text_(name) {}
    bool operator()(const Name* n) const noexcept {
        return n == entry_ || (n->table != table_ && n->view() == text_);
    }

  private:
    const NameTable* table_;
    const Name* entry_;
    std::string_view text_;
};

}  // namespace

XmlRef<IXmlElement> NodeBase::AsElement() noexcept {
    return XmlRef<IXmlElement>(static_cast<Element*>(this));
}

std::string NodeBase::NodeName() const {
    return std::string(name_->view());
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
    return XmlRef<IXmlNodeList>(new NodeList(this));
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
        for (const NodeBase* c : s->kids())
            if (!c->kids().empty() || c == this) stack.push_back(c);
    }
    AddChild(n);
}

int NodeBase::RemoveChild(const XmlRef<IXmlNode>& node) {
    NodeBase* n = Impl(node.get());
    if (!n) return -1;
    return RemoveChildNode(n);
}

XmlRef<IXmlElement> NodeBase::AppendElement(std::string_view name) {
    auto* e = new Element(table().Intern(name));
    XmlRef<IXmlElement> ref(e);
    AddChild(e);
    return ref;
}

void NodeBase::RemoveAllChilds() {
    ClearChildren();
}

XmlRef<IXmlNodeList> NodeBase::ElementsByName(std::string_view name) {
    XmlRef<IXmlNodeList> result(new NodeList(nullptr));
    auto& list = static_cast<NodeList&>(*result);
    const NameMatch match(table(), name);
    for (NodeBase* c : kids_)
        if (c->kind() == kElementNode && match(c->name())) list.Add(c);
    return result;
}

XmlRef<IXmlElement> NodeBase::ElementByName(std::string_view name) {
    const NameMatch match(table(), name);
    for (NodeBase* c : kids_)
        if (c->kind() == kElementNode && match(c->name())) return c->AsElement();
    return nullptr;
}

XmlRef<IXmlElement> NodeBase::ElementByAttr(std::string_view name, std::string_view attr_name,
                                            const XmlValue& value) {
    const NameMatch match(table(), name);
    const Name* attr_id = table().Find(attr_name);
    for (NodeBase* c : kids_) {
        if (c->kind() != kElementNode || !match(c->name())) continue;
        // A child from another document names its attributes in its own table.
        const Attr* a =
            c->FindAttrById(&c->table() == &table() ? attr_id : c->table().Find(attr_name));
        if (a && a->value.Matches(value)) return c->AsElement();
    }
    return nullptr;
}

Attr* NodeBase::FindAttrById(const Name* id) noexcept {
    if (!id) return nullptr;
    for (Attr& a : attrs_)
        if (a.name == id) return &a;
    return nullptr;
}

const Attr* NodeBase::FindAttrById(const Name* id) const noexcept {
    return const_cast<NodeBase*>(this)->FindAttrById(id);
}

void NodeBase::SetAttrById(const Name* id, XmlValue value) {
    if (Attr* a = FindAttrById(id)) {
        a->value = std::move(value);
        return;
    }
    attrs_.emplace_back(id, std::move(value));
}

std::string NodeBase::AttrName(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= attrs_.size())
        throw XmlError(std::string(u8"Ошибка получения атрибута: индекс выходит за пределы"_cp));
    return std::string(attrs_[static_cast<std::size_t>(index)].name->view());
}

const XmlValue* NodeBase::FindAttr(std::string_view name) const {
    const Attr* a = FindAttrById(table().Find(name));
    return a ? &a->value : nullptr;
}

std::string NodeBase::GetAttr(std::string_view name, std::string_view default_value) const {
    const XmlValue* v = FindAttr(name);
    return v ? v->ToText() : std::string(default_value);
}

void NodeBase::SetAttr(std::string_view name, std::string_view value) {
    SetAttrById(table().Intern(name), XmlValue(value));
}

std::int32_t NodeBase::GetIntAttr(std::string_view name, std::int32_t default_value) const {
    const XmlValue* v = FindAttr(name);
    return v ? v->ToInt() : default_value;
}

void NodeBase::SetIntAttr(std::string_view name, std::int32_t value) {
    SetAttrById(table().Intern(name), XmlValue(value));
}

bool NodeBase::GetBoolAttr(std::string_view name, bool default_value) const {
    const XmlValue* v = FindAttr(name);
    return v ? v->ToBool() : default_value;
}

void NodeBase::SetBoolAttr(std::string_view name, bool value) {
    SetAttrById(table().Intern(name), XmlValue(value));
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
    std::string_view args[3] = {name, name_->view(), list};
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
    SetAttrById(table().Intern(name), std::move(value));
}

// --- documents ----------------------------------------------------------------------------

XmlRef<IXmlElement> Document::DocumentElement() {
    for (NodeBase* n : kids())
        if (n->kind() == kElementNode) return n->AsElement();
    return nullptr;
}

XmlRef<IXmlElement> Document::NewDocument(std::string_view version, std::string_view encoding,
                                          std::string_view root_name) {
    Restart();
    std::string data = "version=\"";
    data += version;
    data += "\" encoding=\"";
    data += encoding.empty() ? std::string_view("windows-1251") : encoding;
    data += '"';
    auto* root = new Element(table().Intern(root_name));
    XmlRef<IXmlElement> ref(root);
    InsertChild(0, new Leaf(kProcessingInstructionNode, table().xml_name(), std::move(data)));
    InsertChild(1, root);
    return ref;
}

void Document::Restart() {
    RemoveAllChilds();
    // Names beyond the pre-entered ones belong to what the document held before.
    constexpr std::size_t kPreEntered = 5;
    if (table().Size() > kPreEntered) Rename(NameTable::Create()->document_name());
}

void Document::LoadFromBytes(std::string_view bytes) {
    attrs().clear();
    Restart();
    if (bytes.size() > kBinaryMarker.size() && bytes.starts_with(kBinaryMarker))
        ReadBinary(*this, bytes.substr(kBinaryMarker.size()));
    else
        ParseText(*this, bytes);
}

void Document::LoadFromStream(IByteSource& source) {
    LoadFromBytes(ReadAll(source));
}

void Document::LoadFromFile(const std::filesystem::path& name) {
    auto source = PlatformFileSystem().OpenRead(name);
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
    WriteSafely(PlatformFileSystem(), name, [this](IByteSink& sink) { SaveToStream(sink); });
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

std::size_t LiveNameCount() noexcept {
    return detail::LiveNames();
}

std::size_t MemorySource::Read(char* buffer, std::size_t size) {
    std::size_t n = std::min(size, bytes_.size());
    if (n) std::memcpy(buffer, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return n;
}

}  // namespace zeph::xml
