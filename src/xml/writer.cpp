// The writer: the exact byte layout of the files, built without recursion.
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <vector>

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

// Where the writer puts its bytes: a block of its own, written through a pointer, handed on to
// the string or the sink whenever it fills. Every piece asks for room for its longest form
// first, so that the bytes themselves go in without a check each.
class Out {
  public:
    Out(std::string& target, IByteSink* sink) : target_(target), sink_(sink) {}
    Out(const Out&) = delete;
    Out& operator=(const Out&) = delete;

    // Room for `n` more bytes at the returned place; Done(end) takes what was put there.
    [[gnu::always_inline]] char* Room(std::size_t n) {
        if (static_cast<std::size_t>(end_ - p_) < n) MakeRoom(n);
        return p_;
    }
    void Done(char* end) noexcept { p_ = end; }
    void Put(std::string_view s) {
        if (s.empty()) return;  // its data may be null, which memcpy must not get
        char* q = Room(s.size());
        std::memcpy(q, s.data(), s.size());
        p_ = q + s.size();
    }
    // Whether the bytes written so far end in a line break.
    bool EndsInLineBreak() const noexcept {
        if (p_ - block_.get() >= 2) return p_[-2] == '\r' && p_[-1] == '\n';
        const std::size_t n = target_.size();
        return p_ == block_.get() && n >= 2 && target_[n - 2] == '\r' && target_[n - 1] == '\n';
    }
    // Hands everything on to the string (the caller gives it to the sink, if any).
    void Finish() {
        target_.append(block_.get(), static_cast<std::size_t>(p_ - block_.get()));
        p_ = block_.get();
    }

  private:
    void MakeRoom(std::size_t n) {
        const std::size_t used = static_cast<std::size_t>(p_ - block_.get());
        if (used) {
            // Keep the last two bytes in the block: closing an element looks back at them.
            const std::size_t out = used >= 2 ? used - 2 : 0;
            const std::string_view bytes(block_.get(), out);
            if (sink_)
                sink_->Write(bytes);
            else
                target_.append(bytes);
            std::memmove(block_.get(), block_.get() + out, used - out);
            p_ = block_.get() + (used - out);
        }
        const std::size_t kept = static_cast<std::size_t>(p_ - block_.get());
        if (size_ - kept < n) {
            // A piece longer than a block (a long value): a block that holds it.
            const std::size_t size = std::max(size_ * 2, kept + n);
            auto grown = std::make_unique_for_overwrite<char[]>(size);
            std::memcpy(grown.get(), block_.get(), kept);
            block_ = std::move(grown);
            size_ = size;
            p_ = block_.get() + kept;
        }
        end_ = block_.get() + size_;
    }

    std::string& target_;
    IByteSink* sink_;
    std::size_t size_ = kFlushSize;
    std::unique_ptr<char[]> block_ = std::make_unique_for_overwrite<char[]>(kFlushSize);
    char* p_ = block_.get();
    char* end_ = block_.get() + kFlushSize;
};

// The references that replace the four bytes, each padded to eight bytes: copied as one word
// and the pointer moved on by its length.
struct Reference {
    char text[8];
    std::size_t size;
};
constexpr Reference kAmp{"&amp;", 5}, kLt{"&lt;", 4}, kGt{"&gt;", 4}, kQuot{"&quot;", 6};

// The first byte at or after `p` that needs escaping, or `end`. Sixteen bytes at a time where
// the processor has SSE2: the store's values are whole scripts.
[[gnu::always_inline]] inline const char* NextToEscape(const char* p, const char* end) {
#ifdef __SSE2__
    if (end - p >= 16) {
        const __m128i amp = _mm_set1_epi8('&'), lt = _mm_set1_epi8('<'), gt = _mm_set1_epi8('>'),
                      quot = _mm_set1_epi8('"');
        do {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i hit =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, amp), _mm_cmpeq_epi8(x, lt)),
                             _mm_or_si128(_mm_cmpeq_epi8(x, gt), _mm_cmpeq_epi8(x, quot)));
            if (const int mask = _mm_movemask_epi8(hit))
                return p + std::countr_zero(static_cast<unsigned>(mask));
            p += 16;
        } while (end - p >= 16);
    }
#endif
    while (end - p >= 8) {
        const unsigned at = FirstToEscape(p);
        p += at;
        if (at < 8) return p;
    }
    while (p != end && !kEscape[static_cast<unsigned char>(*p)]) ++p;
    return p;
}

// Writes `s` escaped at `q`, which has room for six bytes for each of its bytes and two more.
[[gnu::always_inline]] inline char* PutEscaped(char* q, std::string_view s) {
    const char* p = s.data();
    const char* end = p + s.size();
    for (;;) {
        const char* run = p;
        p = NextToEscape(p, end);
        q = CopyBytes(q, run, static_cast<std::size_t>(p - run));
        if (p == end) return q;
        const char c = *p++;
        const Reference& r = c == '&' ? kAmp : c == '<' ? kLt : c == '>' ? kGt : kQuot;
        std::memcpy(q, r.text, 8);
        q += r.size;
    }
}

void PutEscaped(Out& out, std::string_view s) {
    out.Done(PutEscaped(out.Room(s.size() * 6 + 2), s));
}

void PutAttrs(Out& out, const NodeData& n, const NameTable& names) {
    for (const Attr& a : n.attrs()) {
        const std::string_view name = names.View(a.name);
        const XmlValue& v = a.value;
        // The longest form of the value: six bytes for each of its bytes and two, 20 for a
        // number.
        const std::size_t value_room =
            v.type() == XmlValue::Type::Text ? v.Raw().size() * 6 + 2 : 24;
        char* q = out.Room(name.size() + value_room + 4);
        *q++ = ' ';
        q = CopyBytes(q, name.data(), name.size());
        *q++ = '=';
        *q++ = '"';
        switch (v.type()) {
            case XmlValue::Type::Text:
                q = PutEscaped(q, v.Raw());
                break;
            case XmlValue::Type::Integer:
                q = std::to_chars(q, q + 20, v.AsInt64()).ptr;
                break;
            case XmlValue::Type::Boolean:
                *q++ = v.AsInt64() ? '1' : '0';
                break;
            default:
                out.Done(q);
                PutEscaped(out, v.ToFileText());
                q = out.Room(1);
                break;
        }
        *q++ = '"';
        out.Done(q);
    }
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// Whether an instruction's bytes hold a line break (in its data text or attribute values).
bool InstructionHasLineBreak(const NodeData& n) {
    if (HasLineBreak(n.text())) return true;
    for (const Attr& a : n.attrs())
        if (HasLineBreak(a.value.ToFileText())) return true;
    return false;
}

struct Frame {
    Frame(const NodeData* n, std::string_view element) noexcept
        : node(n),
          name(element),
          next(n->kids().data()),
          end(n->kids().data() + n->kids().size()) {}
    const NodeData* node;
    std::string_view name;  // of an element, for its end tag
    NodeData* const* next;  // the children still to write
    NodeData* const* end;
    bool open_pending = true;  // ">" not yet written: so far the content is empty
    bool multiline = false;    // the content holds a line break
};

// The indentation of `depth` levels; most are shallow, copied without a call.
[[gnu::always_inline]] inline char* PutTabs(char* q, std::size_t depth) {
    static constexpr char kTabs[] = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
    if (depth <= 16) return CopyBytes(q, kTabs, depth);
    std::memset(q, '\t', depth);
    return q + depth;
}

// "\r\n", the indentation, "<" and the name.
void PutElementHead(Out& out, std::size_t depth, std::string_view name) {
    char* q = out.Room(depth + name.size() + 3);
    q[0] = '\r';
    q[1] = '\n';
    q = PutTabs(q + 2, depth);
    *q++ = '<';
    out.Done(CopyBytes(q, name.data(), name.size()));
}

// Writes a tree with an explicit stack of open nodes.
class TreeWriter {
  public:
    TreeWriter(std::string& target, IByteSink* sink) : out_(target, sink) {}

    void Run(const NodeData& root) {
        WriteNode(root);
        while (!stack_.empty()) {
            Frame& top = stack_.back();
            if (top.next == top.end) {
                Close();
                continue;
            }
            const NodeData& child = **top.next++;
            if (child.kind() == kTextNode && child.text().empty()) continue;  // writes nothing
            if (top.open_pending && top.node->kind() == kElementNode) out_.Put(">");
            top.open_pending = false;
            const std::size_t parent = stack_.size() - 1;  // WriteNode may push and move `top`
            if (WriteNode(child)) stack_[parent].multiline = true;
        }
        out_.Finish();
    }

  private:
    // Writes the node or opens its frame; returns whether its bytes hold a line break.
    bool WriteNode(const NodeData& n) {
        const NameTable& names = n.arena().names();
        switch (n.kind()) {
            case kElementNode:
                OpenElement(n, names.View(n.name_id()), names);
                return true;
            case kDocumentNode:
                if (!n.kids().empty()) stack_.emplace_back(&n, std::string_view());
                return false;
            default:
                break;
        }
        const std::string_view text = n.text();
        switch (n.kind()) {
            case kTextNode:
                PutEscaped(out_, text);
                return HasLineBreak(text);
            case kCDataNode:
                PutAround("<![CDATA[", text, "]]>");
                return HasLineBreak(text);
            case kCommentNode:
                PutAround("<!--", text, "-->");
                return HasLineBreak(text);
            default:  // processing instruction
                out_.Put("<?");
                out_.Put(names.View(n.name_id()));
                if (!text.empty()) {
                    out_.Put(" ");
                    out_.Put(text);
                } else {
                    PutAttrs(out_, n, names);
                }
                out_.Put("?>");
                return InstructionHasLineBreak(n);
        }
    }

    void PutAround(std::string_view before, std::string_view text, std::string_view after) {
        out_.Put(before);
        out_.Put(text);
        out_.Put(after);
    }

    void OpenElement(const NodeData& n, std::string_view name, const NameTable& names) {
        PutElementHead(out_, depth_, name);
        PutAttrs(out_, n, names);
        if (n.kids().empty()) {
            out_.Put("/>");
            return;
        }
        if (depth_ >= kMaxWriteDepth)
            throw XmlError(Format(u8"Слишком глубокая вложенность элементов: больше %s уровней"_cp,
                                  std::to_string(kMaxWriteDepth)));
        stack_.emplace_back(&n, name);
        ++depth_;
    }

    // The top node's children are written: its end tag, or only the line break it passes up.
    void Close() {
        const Frame done = stack_.back();
        stack_.pop_back();
        if (done.node->kind() != kElementNode) {
            if (!stack_.empty() && done.multiline) stack_.back().multiline = true;
            return;
        }
        --depth_;
        if (done.open_pending) {
            out_.Put("/>");
            return;
        }
        const std::string_view name = done.name;
        char* q = out_.Room(depth_ + name.size() + 5);
        if (done.multiline) {
            if (!out_.EndsInLineBreak()) {
                *q++ = '\r';
                *q++ = '\n';
            }
            q = PutTabs(q, depth_);
        }
        *q++ = '<';
        *q++ = '/';
        q = CopyBytes(q, name.data(), name.size());
        *q++ = '>';
        out_.Done(q);
    }

    Out out_;
    std::vector<Frame> stack_;
    std::size_t depth_ = 0;  // of the next element to open
};

}  // namespace

void Write(const NodeData& root, std::string& target, IByteSink* sink) {
    TreeWriter(target, sink).Run(root);
}

}  // namespace zeph::xml::detail
