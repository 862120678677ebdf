// The reader of the binary form. Every count and length is checked against the bytes that are
// left before anything is allocated, and nesting is followed with an explicit stack.
#include <cstring>

#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml::detail {

using namespace text;

namespace {

class Reader : ReaderBase {
  public:
    Reader(Document& doc, std::string_view input) : ReaderBase(doc, input) {}
    using ReaderBase::Offset;

    void Run() {
        Fixed<std::uint32_t>();  // options, unused
        NameSection();
        Body(doc_);
    }

  private:
    [[noreturn]] static void Truncated() {
        throw XmlError(std::string(u8"Ошибка чтения данных."_cp));
    }

    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }

    void Need(std::size_t n) const {
        if (Left() < n) Truncated();
    }

    template <class T>
    T Fixed() {
        Need(sizeof(T));
        unsigned char b[sizeof(T)];
        std::memcpy(b, p_, sizeof(T));
        p_ += sizeof(T);
        std::uint64_t v = 0;
        for (std::size_t i = sizeof(T); i-- > 0;) v = (v << 8) | b[i];
        T out;
        if constexpr (sizeof(T) == 8) {
            std::memcpy(&out, &v, 8);
        } else {
            auto narrow = static_cast<std::uint32_t>(v);
            if constexpr (sizeof(T) == 4) {
                std::memcpy(&out, &narrow, 4);
            } else if constexpr (sizeof(T) == 2) {
                auto n16 = static_cast<std::uint16_t>(v);
                std::memcpy(&out, &n16, 2);
            } else {
                auto n8 = static_cast<std::uint8_t>(v);
                std::memcpy(&out, &n8, 1);
            }
        }
        return out;
    }

    std::int32_t Packed() {
        auto b = Fixed<std::uint8_t>();
        if (b <= 127) return b;
        if (b == 255) return Fixed<std::int32_t>();
        auto c = Fixed<std::uint8_t>();
        return (b - 128) * 256 + c;
    }

    // A count of items that take at least `item_size` bytes each.
    std::size_t Count(std::size_t item_size) {
        std::int32_t n = Packed();
        if (n < 0) Truncated();
        auto count = static_cast<std::size_t>(n);
        if (count > Left() / item_size) Truncated();
        return count;
    }

    std::string_view Bytes(std::size_t n) {
        Need(n);
        std::string_view s(p_, n);
        p_ += n;
        return s;
    }

    std::string String() { return std::string(Bytes(Count(1))); }

    std::string WideString() {
        std::size_t n = Count(2);
        std::u16string u(n, u'\0');
        for (std::size_t i = 0; i < n; ++i) u[i] = static_cast<char16_t>(Fixed<std::uint16_t>());
        return FromUtf16(u);
    }

    std::uint32_t NameId() {
        std::int32_t id = Packed();
        if (id == -1) return names_.Intern({});
        if (id < 0 || static_cast<std::size_t>(id) >= ids_.size())
            throw XmlError(
                std::string(u8"Ошибка чтения двоичного XML: некорректный номер имени"_cp));
        return ids_[static_cast<std::size_t>(id)];
    }

    // The stored names are entered into the document's table, and ids are translated as they are
    // read.
    void NameSection() {
        std::size_t n = Count(1);
        ids_.reserve(n);
        for (std::size_t i = 0; i < n; ++i) ids_.push_back(names_.Intern(Bytes(Count(1))));
        Packed();  // bucket count
        std::size_t buckets = Count(2);
        for (std::size_t i = 0; i < buckets; ++i) {
            Packed();  // bucket index
            std::size_t k = Count(4);
            Bytes(k * 4);
        }
    }

    XmlValue Value() {
        std::int32_t type = Packed();
        switch (type) {
            case 0:
                return XmlValue();
            case 1:
                return XmlValue::Null();
            case 2:
                return XmlValue::Integer(Fixed<std::int16_t>());
            case 3:
                return XmlValue::Integer(Fixed<std::int32_t>());
            case 4:
                return XmlValue::Float(Fixed<float>());
            case 5:
                return XmlValue::Float(Fixed<double>());
            case 6:
                return XmlValue::Currency(Fixed<std::int64_t>());
            case 7:
                return XmlValue::Date(Fixed<double>());
            case 8:
                return XmlValue(WideString());
            case 11:
                return XmlValue(Fixed<std::uint16_t>() != 0);
            case 16:
                return XmlValue::Integer(Fixed<std::int8_t>());
            case 17:
                return XmlValue::Integer(Fixed<std::uint8_t>());
            case 18:
                return XmlValue::Integer(Fixed<std::uint16_t>());
            case 19:
                return XmlValue::Integer(Fixed<std::uint32_t>());
            case 20:
                return XmlValue::Integer(Fixed<std::int64_t>());
            case 256:
                return XmlValue(String());
            case 8209:
                return XmlValue::Bytes(String());
            default:
                throw XmlError(std::string(u8"Ошибка чтения значения: некорректный тип."_cp));
        }
    }

    struct Frame {
        NodeData* node;
        std::size_t children_left;
    };

    // Attributes of the node, then its child count; the children follow in the input.
    std::size_t Head(NodeData& node) {
        std::size_t attrs = Count(2);  // a name id and a type code at least
        for (std::size_t i = 0; i < attrs; ++i) {
            const std::uint32_t id = NameId();
            XmlValue v = Value();
            if (!names_.View(id).empty()) node.SetAttrById(id, std::move(v));
        }
        return Count(1);
    }

    void Body(NodeData& root) {
        std::vector<Frame> stack{{&root, Head(root)}};
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.children_left == 0) {
                stack.pop_back();
                continue;
            }
            --top.children_left;
            NodeData& parent = *top.node;
            auto kind = Fixed<std::uint8_t>();
            switch (kind) {
                case kElementNode: {
                    Element* e = NodeData::NewElement(arena_, NameId());
                    parent.AppendOwn(e);
                    Value();  // the element's own value: nothing of ours uses it
                    std::size_t n = Head(*e);
                    stack.push_back({e, n});
                    break;
                }
                case kTextNode:
                    parent.AppendOwn(NodeData::NewLeaf(
                        arena_, kTextNode, names_.pre(NameTable::kText), Value().ToFileText()));
                    break;
                case kCDataNode:
                    parent.AppendOwn(NodeData::NewLeaf(arena_, kCDataNode,
                                                       names_.pre(NameTable::kCData), String()));
                    break;
                case kProcessingInstructionNode: {
                    const std::uint32_t target = NameId();
                    Leaf* pi =
                        NodeData::NewLeaf(arena_, kProcessingInstructionNode, target, String());
                    parent.AppendOwn(pi);
                    std::size_t n = Head(*pi);
                    stack.push_back({pi, n});
                    break;
                }
                case kCommentNode:
                    parent.AppendOwn(NodeData::NewLeaf(arena_, kCommentNode,
                                                       names_.pre(NameTable::kComment), String()));
                    break;
                default:
                    throw XmlError(
                        std::string(u8"Ошибка чтения двоичного XML: некорректный тип узла"_cp));
            }
        }
    }

    std::vector<std::uint32_t> ids_;  // by stored id
};

}  // namespace

void ReadBinary(Document& doc, std::string_view input) {
    Reader reader(doc, input);
    try {
        reader.Run();
    } catch (const XmlError& e) {
        throw XmlParseError(e.what(), reader.Offset());
    }
}

}  // namespace zeph::xml::detail
