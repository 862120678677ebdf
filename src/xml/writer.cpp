// The writer: the exact byte layout of the files, built without recursion.
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml::detail {

namespace {

using text::operator""_cp;

constexpr std::size_t kFlushSize = 64 * 1024;

constexpr std::array<bool, 256> MakeEscapeTable() {
    std::array<bool, 256> t{};
    t['&'] = t['<'] = t['>'] = t['"'] = true;
    return t;
}
constexpr auto kEscape = MakeEscapeTable();

// The offset of the first byte of the 8 at `p` that needs escaping, or 8. Eight bytes are
// tested at once: a byte equal to one of the four gives a zero byte after the exclusive or, and
// (x - 0x01..01) & ~x & 0x80..80 marks the lowest zero byte exactly (marks above it may be
// spurious, which does not matter here).
inline unsigned FirstToEscape(const char* p) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u;
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if constexpr (std::endian::native == std::endian::little) {
        auto zero = [&](unsigned char c) {
            std::uint64_t x = w ^ (kOnes * c);
            return (x - kOnes) & ~x & kHigh;
        };
        std::uint64_t m = zero('&') | zero('<') | zero('>') | zero('"');
        return m ? static_cast<unsigned>(std::countr_zero(m)) / 8 : 8;
    } else {
        for (unsigned i = 0; i < 8; ++i)
            if (kEscape[static_cast<unsigned char>(p[i])]) return i;
        return 8;
    }
}

void AppendEscaped(std::string& out, std::string_view s) {
    const char* p = s.data();
    const char* end = p + s.size();
    const char* run = p;
    for (;;) {
        while (end - p >= 8) {
            unsigned at = FirstToEscape(p);
            p += at;
            if (at < 8) break;
        }
        while (p != end && !kEscape[static_cast<unsigned char>(*p)]) ++p;
        if (p == end) break;
        out.append(run, static_cast<std::size_t>(p - run));
        switch (*p) {
            case '&':
                out.append("&amp;");
                break;
            case '<':
                out.append("&lt;");
                break;
            case '>':
                out.append("&gt;");
                break;
            default:
                out.append("&quot;");
                break;
        }
        run = ++p;
    }
    out.append(run, static_cast<std::size_t>(end - run));
}

void AppendAttrs(std::string& out, const NodeData& n, const NameTable& names) {
    for (const Attr& a : n.attrs()) {
        out += ' ';
        out.append(names.View(a.name));
        out.append("=\"");
        const XmlValue& v = a.value;
        switch (v.type()) {
            case XmlValue::Type::Text:
                AppendEscaped(out, v.Raw());
                break;
            case XmlValue::Type::Integer: {
                char buf[24];
                auto r = std::to_chars(buf, buf + sizeof buf, v.AsInt64());
                out.append(buf, r.ptr);
                break;
            }
            case XmlValue::Type::Boolean:
                out += v.AsInt64() ? '1' : '0';
                break;
            default:
                AppendEscaped(out, v.ToFileText());
                break;
        }
        out += '"';
    }
}

void AppendIndent(std::string& out, std::size_t depth) {
    out.append("\r\n");
    out.append(depth, '\t');
}

struct Frame {
    const NodeData* node;
    std::size_t next = 0;
    bool open_pending = true;  // ">" not yet written: so far the content is empty
    bool multiline = false;    // the content holds a line break
};

}  // namespace

void Write(const NodeData& root, std::string& out, IByteSink* sink) {
    std::vector<Frame> stack;
    std::size_t depth = 0;  // of the next element to open

    // Writes the node or opens its frame; returns whether its bytes hold a line break.
    auto write_node = [&](const NodeData& n) -> bool {
        const NameTable& names = n.arena().names();
        switch (n.kind()) {
            case kElementNode:
                AppendIndent(out, depth);
                out += '<';
                out.append(names.View(n.name_id()));
                AppendAttrs(out, n, names);
                if (!n.kids().empty()) {
                    if (depth >= kMaxWriteDepth)
                        throw XmlError(
                            Format(u8"Слишком глубокая вложенность элементов: больше %s уровней"_cp,
                                   std::to_string(kMaxWriteDepth)));
                    stack.push_back(Frame{&n});
                    ++depth;
                } else {
                    out.append("/>");
                }
                return true;
            case kDocumentNode:
                if (!n.kids().empty()) stack.push_back(Frame{&n});
                return false;
            default:
                break;
        }
        const std::string_view text = n.text();
        std::size_t start = out.size();
        switch (n.kind()) {
            case kTextNode:
                AppendEscaped(out, text);
                break;
            case kCDataNode:
                out.append("<![CDATA[").append(text).append("]]>");
                break;
            case kCommentNode:
                out.append("<!--").append(text).append("-->");
                break;
            default:  // processing instruction
                out.append("<?").append(names.View(n.name_id()));
                if (!text.empty()) {
                    out += ' ';
                    out.append(text);
                } else {
                    AppendAttrs(out, n, names);
                }
                out.append("?>");
                break;
        }
        return out.find_first_of("\r\n", start) != std::string::npos;
    };

    write_node(root);
    while (!stack.empty()) {
        if (sink && out.size() >= kFlushSize) {
            // Keep the last two bytes: closing an element looks back at them.
            sink->Write(std::string_view(out).substr(0, out.size() - 2));
            out.erase(0, out.size() - 2);
        }
        Frame& top = stack.back();
        const auto& items = top.node->kids();
        if (top.next < items.size()) {
            const NodeData& child = *items[top.next++];
            if (child.kind() == kTextNode && child.text().empty()) continue;  // writes nothing
            if (top.open_pending && top.node->kind() == kElementNode) out += '>';
            top.open_pending = false;
            std::size_t parent = stack.size() - 1;  // write_node may push and move `top`
            if (write_node(child)) stack[parent].multiline = true;
            continue;
        }
        Frame done = top;
        stack.pop_back();
        if (done.node->kind() != kElementNode) {
            if (!stack.empty() && done.multiline) stack.back().multiline = true;
            continue;
        }
        --depth;
        if (done.open_pending) {
            out.append("/>");
        } else {
            if (done.multiline) {
                std::size_t n = out.size();
                if (!(n >= 2 && out[n - 2] == '\r' && out[n - 1] == '\n')) out.append("\r\n");
                out.append(depth, '\t');
            }
            out.append("</").append(done.node->name()).append(">");
        }
    }
}

}  // namespace zeph::xml::detail
