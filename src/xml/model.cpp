// Nodes and node lists.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml::detail {

using namespace text;

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

NodeList::NodeList(NodeData* owner) noexcept : owner_(owner) {
    if (owner_) owner_->Interface()->AddRef();
}

NodeList::~NodeList() {
    if (owner_) owner_->Interface()->Release();
    for (NodeData* n : own_) n->Interface()->Release();
}

int NodeList::Count() const {
    return static_cast<int>(owner_ ? owner_->kids().size() : own_.size());
}

XmlRef<IXmlNode> NodeList::Item(int index) const {
    std::span<NodeData* const> items = owner_ ? owner_->kids() : std::span<NodeData* const>(own_);
    if (index < 0 || static_cast<std::size_t>(index) >= items.size())
        throw XmlError(
            std::string(u8"Ошибка получения элемента списка: индекс выходит за пределы"_cp));
    return XmlRef<IXmlNode>(items[static_cast<std::size_t>(index)]->Interface());
}

void NodeList::Add(NodeData* node) {
    own_.push_back(node);
    node->Interface()->AddRef();
}

// --- making and freeing nodes -------------------------------------------------------------

Leaf* NodeData::NewLeaf(Arena& arena, NodeKind kind, std::uint32_t name, std::string_view text) {
    auto* leaf = new (arena.Allocate(sizeof(Leaf))) Leaf(kind, name);
    ++arena.nodes;
    try {
        leaf->set_text(arena, text);
    } catch (...) {
        leaf->~Leaf();
        arena.Free(leaf, sizeof(Leaf));
        --arena.nodes;
        throw;
    }
    return leaf;
}

void Leaf::set_text(Arena& arena, std::string_view text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
    char* bytes = nullptr;
    if (!text.empty()) {
        bytes = static_cast<char*>(arena.Allocate(text.size()));
        std::memcpy(bytes, text.data(), text.size());
    }
    DropText(arena);
    text_ = bytes;
    size_ = static_cast<std::uint32_t>(text.size());
}

bool NodeData::Unlink(NodeData* node) noexcept {
    node->bits_ -= kLink;
    if (node->parent_ == this) node->parent_ = nullptr;
    Arena& mine = arena();
    Arena& theirs = Arena::Of(node);
    if (&mine != &theirs) {
        --theirs.held;
        --mine.foreign;
    }
    return node->links() == 0 && node->Interface()->RefCount() == 0;
}

void NodeData::UnlinkKids(NodeData*& dead) noexcept {
    if (!content_) return;
    Array<NodeData*>& kids = content_->kids;
    for (std::uint32_t i = 0; i < kids.size; ++i) {
        NodeData* k = kids.data[i];
        if (Unlink(k)) {
            k->parent_ = dead;
            dead = k;
        }
    }
    kids.size = 0;
}

void NodeData::FreeContent(Arena& arena) noexcept {
    if (!content_) return;
    content_->kids.Release(arena);
    if (!HasInlineAttrs()) content_->attrs.Release(arena);
    arena.Free(content_, ContentSize());
    content_ = nullptr;
    bits_ &= ~kAttrsInline;
}

void NodeData::GrowAttrs(Arena& arena) {
    Array<Attr>& attrs = content_->attrs;
    if (!HasInlineAttrs()) {
        attrs.Grow(arena);
        return;
    }
    // Out of the room in the content block, which stays with the block: its size is kept in
    // its first slot, for freeing the block.
    const std::uint32_t room = attrs.cap;
    const std::size_t want = NextCapacity(attrs.cap);
    auto* grown = static_cast<Attr*>(arena.Allocate(sizeof(Attr) * want));
    for (std::uint32_t i = 0; i < attrs.size; ++i) {
        new (grown + i) Attr(std::move(attrs.data[i]));
        attrs.data[i].~Attr();
    }
    attrs.data = grown;
    attrs.cap = static_cast<std::uint32_t>(want);
    __builtin_memcpy(static_cast<void*>(InlineAttrs()), &room, sizeof room);
}

void NodeData::ClearAttrs() noexcept {
    if (!content_) return;
    Arena& a = arena();
    for (Attr& attr : attrs()) {
        ValueAccess::Drop(a, attr.value);
        attr.~Attr();
    }
    content_->attrs.size = 0;
}

void NodeData::Destroy(NodeData* dead) noexcept {
    // Iterative, so that a deeply nested tree is freed without deep recursion: nodes to free are
    // chained through their parent links, which they no longer need.
    while (dead) {
        NodeData* n = dead;
        dead = n->parent_;
        Arena& a = Arena::Of(n);
        if (n->content_) {
            n->UnlinkKids(dead);
            n->ClearAttrs();
            n->FreeContent(a);
        }
        if (n->kind() == kElementNode) {
            auto* e = static_cast<Element*>(n);
            e->~Element();
            a.Free(e, sizeof(Element));
        } else {
            auto* leaf = static_cast<Leaf*>(n);
            leaf->DropText(a);
            leaf->~Leaf();
            a.Free(leaf, sizeof(Leaf));
        }
        if (--a.nodes == 0 && !a.owned) delete &a;
    }
}

void NodeData::OnHeld() noexcept {
    if (kind() != kDocumentNode) ++Arena::Of(this).held;
}

void NodeData::OnFree() noexcept {
    if (kind() == kDocumentNode) {
        static_cast<Document*>(this)->Gone();
        return;
    }
    --Arena::Of(this).held;
    if (links() == 0) {
        parent_ = nullptr;
        Destroy(this);
    }
}

NodeData* Impl(IXmlNode* node) {
    if (!node) return nullptr;
    auto* n = dynamic_cast<NodeData*>(node);
    if (!n) throw XmlError(std::string(u8"Неизвестная реализация узла XML"_cp));
    return n;
}

// --- children -----------------------------------------------------------------------------

void NodeData::AddChild(NodeData* node) {
    Arena& mine = arena();
    Array<NodeData*>& kids = content(mine).kids;
    if (kids.size == kids.cap) kids.Grow(mine);
    kids.data[kids.size++] = node;
    node->bits_ += kLink;
    node->parent_ = this;
    Arena& theirs = Arena::Of(node);
    if (&mine != &theirs) {
        // A node of another document: it stays in its own arena, which this one now reaches.
        ++theirs.held;
        ++mine.foreign;
    }
}

void NodeData::InsertChild(std::size_t index, NodeData* node) {
    AddChild(node);
    Array<NodeData*>& kids = content_->kids;
    std::rotate(kids.data + index, kids.data + kids.size - 1, kids.data + kids.size);
}

int NodeData::RemoveChildNode(NodeData* node) {
    if (!content_) return -1;
    Array<NodeData*>& kids = content_->kids;
    for (std::uint32_t i = 0; i < kids.size; ++i) {
        if (kids.data[i] != node) continue;
        std::memmove(kids.data + i, kids.data + i + 1, (kids.size - i - 1) * sizeof(NodeData*));
        --kids.size;
        if (Unlink(node)) {
            node->parent_ = nullptr;
            Destroy(node);
        }
        return static_cast<int>(i);
    }
    return -1;
}

void NodeData::ClearChildren() noexcept {
    NodeData* dead = nullptr;
    UnlinkKids(dead);
    Destroy(dead);
}

std::string NodeData::GetXml() const {
    std::string out;
    Write(*this, out, nullptr);
    return out;
}

XmlRef<IXmlNodeList> NodeData::ChildNodes() {
    return XmlRef<IXmlNodeList>(new NodeList(this));
}

void NodeData::AppendChild(const XmlRef<IXmlNode>& node) {
    NodeData* n = Impl(node.get());
    if (!n) throw XmlError(std::string(u8"Не задан добавляемый узел"_cp));
    if (n->kind() == kDocumentNode)
        throw XmlError(std::string(u8"Документ не может быть дочерним узлом"_cp));
    // Adding a node into its own subtree would make a cycle that is never freed and never ends
    // when written. A node may be listed by several parents, so search the whole subtree.
    std::vector<const NodeData*> stack{n};
    while (!stack.empty()) {
        const NodeData* s = stack.back();
        stack.pop_back();
        if (s == this)
            throw XmlError(std::string(u8"Узел не может быть добавлен в собственное поддерево"_cp));
        for (const NodeData* c : s->kids())
            if (!c->kids().empty() || c == this) stack.push_back(c);
    }
    AddChild(n);
}

int NodeData::RemoveChild(const XmlRef<IXmlNode>& node) {
    NodeData* n = Impl(node.get());
    if (!n) return -1;
    return RemoveChildNode(n);
}

XmlRef<IXmlElement> NodeData::AppendElement(std::string_view name) {
    Arena& a = arena();
    Element* e = NewElement(a, a.names().Intern(name));
    XmlRef<IXmlElement> ref(e);
    AddChild(e);
    return ref;
}

namespace {

// Compares the names of children with one text: by id within the parent's arena, by text for a
// child that came from another document.
class NameMatch {
  public:
    NameMatch(const NodeData& parent, std::string_view name)
        : arena_(&parent.arena()), id_(arena_->names().Find(name)), text_(name) {}
    bool operator()(const NodeData& n) const noexcept {
        const Arena& a = Arena::Of(&n);
        return &a == arena_ ? n.name_id() == id_ : a.names().View(n.name_id()) == text_;
    }

  private:
    const Arena* arena_;
    std::uint32_t id_;
    std::string_view text_;
};

}  // namespace

XmlRef<IXmlNodeList> NodeData::ElementsByName(std::string_view name) {
    XmlRef<IXmlNodeList> result(new NodeList(nullptr));
    auto& list = static_cast<NodeList&>(*result);
    const NameMatch match(*this, name);
    for (NodeData* c : kids())
        if (c->kind() == kElementNode && match(*c)) list.Add(c);
    return result;
}

XmlRef<IXmlElement> NodeData::ElementByName(std::string_view name) {
    const NameMatch match(*this, name);
    for (NodeData* c : kids())
        if (c->kind() == kElementNode && match(*c)) return c->AsElement();
    return nullptr;
}

XmlRef<IXmlElement> NodeData::ElementByAttr(std::string_view name, std::string_view attr_name,
                                            const XmlValue& value) {
    const NameMatch match(*this, name);
    const std::uint32_t attr_id = arena().names().Find(attr_name);
    for (NodeData* c : kids()) {
        if (c->kind() != kElementNode || !match(*c)) continue;
        // A child from another document names its attributes in its own table.
        const Arena& ca = Arena::Of(c);
        const Attr* a = c->FindAttrById(&ca == &arena() ? attr_id : ca.names().Find(attr_name));
        if (a && a->value.Matches(value)) return c->AsElement();
    }
    return nullptr;
}

// --- attributes ---------------------------------------------------------------------------

Attr* NodeData::FindAttrById(std::uint32_t id) const noexcept {
    if (id == NameTable::kNone) return nullptr;
    for (Attr& a : attrs())
        if (a.name == id) return &a;
    return nullptr;
}

void NodeData::SetAttrById(std::uint32_t id, XmlValue value) {
    Arena& a = arena();
    ValueAccess::Adopt(a, value);
    if (Attr* attr = FindAttrById(id)) {
        ValueAccess::Drop(a, attr->value);
        attr->value = std::move(value);
        return;
    }
    AppendAttr(id, std::move(value));
}

std::string NodeData::AttrName(int index) const {
    if (index < 0 || index >= AttrCount())
        throw XmlError(std::string(u8"Ошибка получения атрибута: индекс выходит за пределы"_cp));
    return std::string(arena().names().View(attrs()[static_cast<std::size_t>(index)].name));
}

const XmlValue* NodeData::FindAttr(std::string_view name) const {
    if (!content_ || content_->attrs.size == 0) return nullptr;
    const Attr* a = FindAttrById(arena().names().Find(name));
    return a ? &a->value : nullptr;
}

std::string NodeData::GetAttr(std::string_view name, std::string_view default_value) const {
    const XmlValue* v = FindAttr(name);
    return v ? v->ToText() : std::string(default_value);
}

void NodeData::SetAttr(std::string_view name, XmlValue value) {
    SetAttrById(arena().names().Intern(name), std::move(value));
}

std::int32_t NodeData::GetIntAttr(std::string_view name, std::int32_t default_value) const {
    const XmlValue* v = FindAttr(name);
    return v ? v->ToInt() : default_value;
}

bool NodeData::GetBoolAttr(std::string_view name, bool default_value) const {
    const XmlValue* v = FindAttr(name);
    return v ? v->ToBool() : default_value;
}

int NodeData::GetEnumAttr(std::string_view name, std::span<const std::string_view> allowed,
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
    std::string_view args[3] = {name, this->name(), list};
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

}  // namespace zeph::xml::detail
