// The text parser: one pass over the bytes, no recursion, names interned as they are read.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <unordered_set>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml::detail {

using namespace text;

namespace {

enum : std::uint8_t { kNameChar = 8 };

constexpr std::array<std::uint8_t, 256> MakeTable() {
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c)
        if (IsXmlNameChar(static_cast<char>(c))) t[c] |= kNameChar;
    return t;
}
constexpr auto kTable = MakeTable();

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

bool IsBlankOnly(std::string_view s) {
    for (char c : s)
        if (!IsBlank(c)) return false;
    return true;
}

template <class Word>
Word Load(const char* p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Compares names, most of them short, without a call: words from both ends overlap in the middle.
[[gnu::always_inline]] inline bool SameBytes(const char* a, const char* b, std::size_t n) {
    if (n >= 8) {
        if (n > 16 && std::memcmp(a + 8, b + 8, n - 16) != 0) return false;
        return Load<std::uint64_t>(a) == Load<std::uint64_t>(b) &&
               Load<std::uint64_t>(a + n - 8) == Load<std::uint64_t>(b + n - 8);
    }
    if (n >= 4)
        return Load<std::uint32_t>(a) == Load<std::uint32_t>(b) &&
               Load<std::uint32_t>(a + n - 4) == Load<std::uint32_t>(b + n - 4);
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// The first of the three bytes at or after `p`, or `end`. Sixteen bytes at a time where the
// processor has SSE2: attribute values of the store hold whole scripts.
[[gnu::always_inline]] inline const char* FindStop(const char* p, const char* end, char a, char b,
                                                   char c) {
#ifdef __SSE2__
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c);
    while (end - p >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)),
                                         _mm_cmpeq_epi8(x, vc));
        if (const int mask = _mm_movemask_epi8(hit))
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    while (p != end && *p != a && *p != b && *p != c) ++p;
    return p;
}

// The first byte at or after `p` that is not blank (above " "), or `end`.
inline const char* SkipMoreBlanks(const char* p, const char* end) {
#ifdef __SSE2__
    const __m128i space = _mm_set1_epi8(0x20);
    while (end - p >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // Blank where the byte equals its minimum with 0x20 (unsigned).
        const int blank = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(x, space), x));
        if (blank != 0xFFFF) return p + __builtin_ctz(static_cast<unsigned>(~blank));
        p += 16;
    }
#endif
    while (p != end && IsBlank(*p)) ++p;
    return p;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser : ReaderBase {
    struct CacheSlot {
        // The name and the byte that followed it when it was cached (fewer: zeros), and a bit
        // for each of those bytes; kNoQuick when the name is too long for this compare.
        alignas(16) unsigned char quick[16] = {};
        std::uint32_t quick_bits = kNoQuick;
        std::uint32_t size = 0;
        std::uint64_t head = 0;       // the name's first 8 bytes (fewer: zeros)
        std::uint64_t mask = 0;       // of the bytes of `head` that belong to the name
        const char* bytes = nullptr;  // of the name, kept by the table
        std::uint32_t id = 0;
    };
    static constexpr std::uint32_t kNoQuick = 1u << 16;  // beyond the 16 bits of a compare

    static constexpr std::size_t kSequence = 8;
    static constexpr std::size_t kSequences = 64;
    struct Sequence {
        std::uint32_t element = NameTable::kNone;
        std::uint32_t count = 0;
        std::uint32_t kids = 0;  // of the last element of the name that was closed
        CacheSlot names[kSequence];
    };
    // The most room for children taken on a guess: a guess is paid for by the bytes of one
    // earlier element only, so hostile input cannot make it large.
    static constexpr std::uint32_t kMostKidsGuessed = 16;
    Sequence& SequenceOf(std::uint32_t element) { return sequences_[(element >> 2) % kSequences]; }

  public:
    Parser(Document& doc, std::string_view input) : ReaderBase(doc, input) {
        arena_.Follow(&progress_);
    }
    ~Parser() { arena_.Follow(nullptr); }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;
    using ReaderBase::Offset;

    void Run() {
        NodeData* current = &doc_;
        for (;;) {
            if (p_ != end_ && *p_ != '<') TextRun(*current);
            if (p_ == end_) {
                if (current != &doc_) Expected('/');
                return;
            }
            ++p_;  // "<"
            char c = p_ == end_ ? '\0' : *p_;
            if (c == '/') {
                ++p_;
                if (current == &doc_) return;  // a closing tag at document level ends the input
                CloseTag(*current);
                // Nothing else can have taken the element meanwhile: its parent link leads back
                // up, with no stack of open elements (which for deep input is large).
                current = current->parent();
            } else if (c == '?') {
                ++p_;
                Instruction(*current);
            } else if (c == '!') {
                ++p_;
                Markup(*current);
            } else if (NodeData* e = StartTag(*current)) {
                current = e;
            }
        }
    }

  private:
    [[noreturn]] void Fail(std::string_view message) { throw XmlError(std::string(message)); }
    [[noreturn]] void Expected(char c) {
        Fail(Format(u8"Ожидается \"%c\""_cp, std::string_view(&c, 1)));
    }
    [[noreturn]] void ExpectedText(std::string_view s) { Fail(Format(u8"Ожидается \"%s\""_cp, s)); }

    // The scanning loops work on locals: a member pointer would be stored back on every byte.
    [[gnu::always_inline]] void SkipBlanks() { p_ = SkipBlanks(p_, end_); }
    [[gnu::always_inline]] static const char* SkipBlanks(const char* p, const char* end) {
        if (p != end && IsBlank(*p)) {
            // Mostly one blank between attributes; longer runs are a line break and the
            // indentation of the next line.
            ++p;
            if (p != end && IsBlank(*p)) p = SkipMoreBlanks(p + 1, end);
        }
        return p;
    }

    std::string_view ReadName() {
        if (p_ == end_ || !IsXmlNameStart(*p_))
            Fail(u8"Имя должно начинаться с буквы или \"_\""_cp);
        const char* start = p_;
        const char* p = p_ + 1;
        while (p != end_ && (kTable[static_cast<unsigned char>(*p)] & kNameChar)) ++p;
        p_ = p;
        return std::string_view(start, static_cast<std::size_t>(p - start));
    }

    // Reads a name and returns its id. Most names repeat, so a small cache keyed by their first
    // two bytes is tried first: a hit is compared in place, without scanning the name byte by
    // byte, hashing it or looking it up in the table.
    [[gnu::always_inline]] std::uint32_t NameId() {
        auto left = static_cast<std::size_t>(end_ - p_);
        if (left > 8) {
            const CacheSlot& slot = cache_[CacheKey(p_[0], p_[1])];
            if (Quick(slot, p_, left) || Matches(slot, p_, Load<std::uint64_t>(p_), left)) {
                p_ += slot.size;
                return slot.id;
            }
        }
        return NewNameId();
    }
    // Whether the cached name is at `p` followed by the same byte as when it was cached: then
    // that byte is known to end the name, and one compare of 16 bytes does for both.
    [[gnu::always_inline]] static bool Quick([[maybe_unused]] const CacheSlot& slot,
                                             [[maybe_unused]] const char* p,
                                             [[maybe_unused]] std::size_t left) {
#ifdef __SSE2__
        if (left < 16) return false;
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i kept = _mm_load_si128(reinterpret_cast<const __m128i*>(slot.quick));
        const auto same = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, kept)));
        return (same & slot.quick_bits) == slot.quick_bits;
#else
        return false;
#endif
    }
    // Whether the cached name is at `p` (given its first 8 bytes and the bytes left). Names of
    // up to 8 bytes are compared as one masked word.
    [[gnu::always_inline]] static bool Matches(const CacheSlot& slot, const char* p,
                                               std::uint64_t word, std::size_t left) {
        const std::size_t n = slot.size;
        if (((word ^ slot.head) & slot.mask) != 0 || n == 0 || n >= left) return false;
        // The byte after the name: from the word already read while the name is short.
        const unsigned char after = n < 8 && std::endian::native == std::endian::little
                                        ? static_cast<unsigned char>(word >> (n * 8))
                                        : static_cast<unsigned char>(p[n]);
        return (n <= 8 || SameBytes(p + 8, slot.bytes + 8, n - 8)) && !(kTable[after] & kNameChar);
    }
    // Fills the slot for a name just read, with p_ after it; in place, as it is refilled for
    // every new name.
    void Fill(CacheSlot& slot, std::uint32_t id) const {
        std::string_view kept = names_.View(id);
        if (kept.size() < 16 && p_ != end_) {
            // The name, its following byte and zeros: 16 bytes written whole.
            unsigned char quick[16] = {};
            std::memcpy(quick, kept.data(), kept.size());
            quick[kept.size()] = static_cast<unsigned char>(*p_);
            std::memcpy(slot.quick, quick, 16);
            slot.quick_bits = (1u << (kept.size() + 1)) - 1;
        } else {
            slot.quick_bits = kNoQuick;
        }
        slot.bytes = kept.data();
        slot.size = static_cast<std::uint32_t>(kept.size());
        slot.id = id;
        const std::size_t head = std::min<std::size_t>(kept.size(), 8);
        slot.head = 0;
        std::memcpy(&slot.head, kept.data(), head);
        slot.mask = head == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (head * 8)) - 1;
        if constexpr (std::endian::native == std::endian::big)
            slot.mask = __builtin_bswap64(slot.mask);
    }
    std::uint32_t NewNameId() {
        const char* start = p_;
        std::string_view name = ReadName();
        std::uint32_t id;
        if (names_.Capacity() >= kLargeTable) {
            // Names looked ahead that were passed meanwhile (found in the caches) are dropped.
            while (ahead_count_ && ahead_[ahead_first_].at < start) PopAhead();
            if (ahead_count_ && ahead_[ahead_first_].at == start) {
                id = names_.Intern(name, ahead_[ahead_first_].hash);
                PopAhead();
            } else {
                id = names_.Intern(name);
            }
            LookAhead();
        } else {
            id = names_.Intern(name);
        }
        if (name.size() >= 2) Fill(cache_[CacheKey(name[0], name[1])], id);
        return id;
    }
    // In a table too large for the cache, the tags' names a few tags ahead are hashed now and
    // their slots fetched, so that the cache has them when they are interned with that hash.
    // Most names repeat and never get here, so only documents of many distinct names pay.
    void LookAhead() {
        if (scan_ < p_) scan_ = p_;
        while (ahead_count_ < kAhead) {
            const auto left = static_cast<std::size_t>(std::min<std::ptrdiff_t>(end_ - scan_, 256));
            const char* lt = static_cast<const char*>(std::memchr(scan_, '<', left));
            if (!lt || end_ - lt < 2) return;
            const char* p = lt + 1;
            if (*p == '/') {
                scan_ = p;  // a closing tag repeats its element's name
                continue;
            }
            if (!IsXmlNameStart(*p)) return;
            while (p != end_ && (kTable[static_cast<unsigned char>(*p)] & kNameChar)) ++p;
            const std::string_view name(lt + 1, static_cast<std::size_t>(p - lt - 1));
            Ahead& a = ahead_[(ahead_first_ + ahead_count_++) % kAhead];
            a.at = name.data();
            a.hash = NameTable::Hash(name);
            names_.Prefetch(a.hash);
            scan_ = p;
        }
    }
    void PopAhead() {
        ahead_first_ = (ahead_first_ + 1) % kAhead;
        --ahead_count_;
    }
    // The attribute names of an element, read as the last element of its name had them: most
    // elements of one name have the same attributes in the same order, so the name expected
    // next is compared first, found without a lookup. Reads at `p` and moves it on.
    [[gnu::always_inline]] std::uint32_t AttrNameId(Sequence& seq, std::size_t index,
                                                    const char*& p) {
        // Slots past the count hold names of an element read before, still names of this
        // document: a match there is right too.
        auto left = static_cast<std::size_t>(end_ - p);
        if (index < kSequence) {
            const CacheSlot& slot = seq.names[index];
            if (Quick(slot, p, left) ||
                (left > 8 && Matches(slot, p, Load<std::uint64_t>(p), left))) {
                p += slot.size;
                return slot.id;
            }
        }
        p_ = p;
        const std::uint32_t id = NameId();
        p = p_;
        if (index < kSequence) {
            Fill(seq.names[index], id);
            seq.count = static_cast<std::uint32_t>(index + 1);
        }
        return id;
    }
    static std::size_t CacheKey(char a, char b) {
        return (static_cast<unsigned char>(a) * 33u + static_cast<unsigned char>(b)) % kCacheSize;
    }

    // After "&": appends the character the reference stands for.
    void Reference(char*& out) {
        if (p_ == end_) Fail(u8"Ожидается \"#\" или имя упрамляющего символа"_cp);
        if (*p_ == '#') {
            ++p_;
            std::uint32_t code = 0;
            if (p_ != end_ && *p_ == 'x') {
                ++p_;
                if (p_ == end_ || HexDigit(*p_) < 0) Fail(u8"Ожидается шестнадцатеричное число"_cp);
                for (int d; p_ != end_ && (d = HexDigit(*p_)) >= 0; ++p_)
                    code = code * 16 + static_cast<std::uint32_t>(d);
            } else {
                if (p_ == end_ || !IsDigit(*p_)) Fail(u8"Ожидается число"_cp);
                for (; p_ != end_ && IsDigit(*p_); ++p_)
                    code = code * 10 + static_cast<std::uint32_t>(*p_ - '0');
            }
            *out++ = static_cast<char>(code & 0xFF);
        } else {
            std::string_view name = ReadName();
            if (name == "amp")
                *out++ = '&';
            else if (name == "quot")
                *out++ = '"';
            else if (name == "lt")
                *out++ = '<';
            else if (name == "gt")
                *out++ = '>';
            else if (name == "apos")
                *out++ = '\'';
            else
                Fail(u8"Некорректное имя управляющего символа"_cp);
        }
        if (p_ == end_ || *p_ != ';') Expected(';');
        ++p_;
    }

    // Room for `n` bytes of text with its references replaced (never longer than its source).
    char* Scratch(std::size_t n) {
        if (n > scratch_size_ || !scratch_) {
            // Never null, even for nothing: the bytes are copied with memcpy.
            n = std::max<std::size_t>(n, 16);
            scratch_ = std::make_unique_for_overwrite<char[]>(n);
            scratch_size_ = n;
        }
        return scratch_.get();
    }

    // From `start`, where the run in front of p_ holds no stop: the text up to the next `stop`
    // (not consumed) with references replaced. `quote` is the other stop ('<' in text, where the
    // "<" ends the run rather than failing).
    std::string_view Decoded(const char* start, char quote) {
        const char* limit =
            static_cast<const char*>(std::memchr(p_, quote, static_cast<std::size_t>(end_ - p_)));
        char* out = Scratch(static_cast<std::size_t>((limit ? limit : end_) - start));
        char* o = out;
        std::memcpy(o, start, static_cast<std::size_t>(p_ - start));
        o += p_ - start;
        for (;;) {
            if (p_ == end_ || *p_ == quote) break;
            if (*p_ == '<') Fail(u8"Символ \"<\" не может использоваться в значениях атрибутов"_cp);
            ++p_;  // "&"
            Reference(o);
            const char* run = p_;
            p_ = FindStop(p_, end_, quote, '&', '<');
            std::memcpy(o, run, static_cast<std::size_t>(p_ - run));
            o += p_ - run;
        }
        return {out, static_cast<std::size_t>(o - out)};
    }

    void TextRun(NodeData& parent) {
        const char* start = p_;
        const char* p = p_;
        // Most runs are the indentation between tags.
        p = SkipMoreBlanks(p, end_);
        if (p != end_ && *p == '<') {
            p_ = p;
            return;
        }
        p_ = FindStop(p, end_, '<', '&', '<');
        std::string_view text(start, static_cast<std::size_t>(p_ - start));
        if (p_ != end_ && *p_ == '&') text = Decoded(start, '<');
        if (IsBlankOnly(text)) return;
        parent.AppendOwn(NodeData::NewLeaf(arena_, kTextNode, names_.pre(NameTable::kText), text));
    }

    void Attributes(NodeData& node) {
        // Names already on the node, one bit per id: a name whose bit is clear is new without a
        // search, which is nearly always so.
        std::uint64_t present = 0;
        bool indexed = false;
        Sequence& seq = SequenceOf(node.name_id());
        if (seq.element != node.name_id()) {
            seq.element = node.name_id();
            seq.count = 0;
            seq.kids = 0;
        }
        // Room for as many as the last element of the name had (it is read before they are
        // recorded anew).
        const std::uint32_t room = seq.count;
        // The scanning works on a local position, stored back once per attribute: the copies of
        // values write bytes, which the compiler must assume may change a member pointer.
        const char* const end = end_;
        for (std::size_t index = 0;; ++index) {
            const char* p = SkipBlanks(p_, end);
            if (p == end || !IsXmlNameStart(*p)) {
                p_ = p;
                return;
            }
            const std::uint32_t id = AttrNameId(seq, index, p);
            // Mostly `name="value"`, with no blanks around "=".
            if (p == end || *p != '=') {
                p = SkipBlanks(p, end);
                if (p == end || *p != '=') {
                    p_ = p;
                    Expected('=');
                }
            }
            ++p;
            // Mostly double quotes, right after "=". Each quote is searched for on its own: the
            // stops are then constants of the search.
            char quote = '"';
            const char* start;
            if (p != end && *p == '"') {
                start = p + 1;
                p = FindStop(start, end, '"', '&', '<');
            } else {
                p = SkipBlanks(p, end);
                p_ = p;
                if (p == end) Fail(u8"Ожидается значение атрибута"_cp);
                quote = *p;
                if (quote != '"' && quote != '\'') Fail(u8"Ожидается строковая константа"_cp);
                start = p + 1;
                p = quote == '"' ? FindStop(start, end, '"', '&', '<')
                                 : FindStop(start, end, '\'', '&', '<');
            }
            std::string_view value(start, static_cast<std::size_t>(p - start));
            if (p == end || *p != quote) {
                p_ = p;
                value = Decoded(start, quote);
                p = p_;
                if (p == end) ExpectedText(std::string_view(&quote, 1));
            }
            p_ = p + 1;  // after the closing quote
            const std::uint64_t bit = std::uint64_t{1} << ((id >> 2) & 63);
            if ((present & bit) && Repeated(node, id, indexed)) {
                node.SetAttrById(id, XmlValue(value));  // a repeated name keeps its place
            } else {
                present |= bit;
                if (indexed) seen_.insert(id);
                // The value's text is copied once, into the document's memory.
                Attr* a = node.NewAttr(arena_, room);
                a->name = id;
                ValueAccess::SetText(a->value, arena_, value);
            }
        }
    }

    // Whether the node has an attribute of this id already. Found by a linear search while it
    // has few attributes, and through a set once it has many, so hostile input stays linear.
    bool Repeated(const NodeData& node, std::uint32_t id, bool& indexed) {
        if (!indexed && node.AttrCount() >= 16) {
            indexed = true;
            seen_.clear();
            for (const Attr& a : node.attrs()) seen_.insert(a.name);
        }
        if (indexed) return seen_.count(id) != 0;
        for (const Attr& a : node.attrs())
            if (a.name == id) return true;
        return false;
    }

    // After "<": returns the element when its content follows.
    NodeData* StartTag(NodeData& parent) {
        const std::uint32_t id = NameId();
        if (p_ == end_) Fail(u8"Не завершено определение элемента"_cp);
        if (!(IsBlank(*p_) || *p_ == '/' || *p_ == '>'))
            Fail(u8"Некорретный символ в имени элемента"_cp);
        Element* e = NodeData::NewElement(arena_, id);
        parent.AppendOwn(e);
        Attributes(*e);
        if (p_ != end_ && *p_ == '/') {
            if (end_ - p_ < 2 || p_[1] != '>') ExpectedText("/>");
            p_ += 2;
            return nullptr;
        }
        if (p_ == end_ || *p_ != '>') Expected('>');
        ++p_;
        // As many children as the last element of the name had, in one block from the start.
        const Sequence& seq = SequenceOf(id);
        if (seq.element == id && seq.kids)
            e->ReserveKids(arena_, std::min(seq.kids, kMostKidsGuessed));
        return e;
    }

    // After "</".
    void CloseTag(const NodeData& e) {
        Sequence& seq = SequenceOf(e.name_id());
        if (seq.element == e.name_id()) seq.kids = static_cast<std::uint32_t>(e.kids().size());
        std::string_view name = names_.View(e.name_id());
        if (static_cast<std::size_t>(end_ - p_) < name.size() ||
            !SameBytes(p_, name.data(), name.size()))
            ExpectedText(name);
        p_ += name.size();
        SkipBlanks();
        if (p_ == end_ || *p_ != '>') Expected('>');
        ++p_;
    }

    // The text up to `terminator`, which is consumed; the error names it when it is missing.
    std::string_view Until(std::string_view terminator) {
        std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
        std::size_t at = rest.find(terminator);
        if (at == std::string_view::npos) {
            if (terminator.size() == 1) Expected(terminator[0]);
            ExpectedText(terminator);
        }
        p_ += at + terminator.size();
        return rest.substr(0, at);
    }

    bool Follows(std::string_view s) const {
        return static_cast<std::size_t>(end_ - p_) >= s.size() &&
               std::memcmp(p_, s.data(), s.size()) == 0;
    }

    // After "<?".
    void Instruction(NodeData& parent) {
        std::string_view target = ReadName();
        Leaf* pi = NodeData::NewLeaf(arena_, kProcessingInstructionNode, names_.Intern(target), {});
        parent.AppendOwn(pi);
        if (target == "xml") {
            Attributes(*pi);
            if (!Follows("?>")) ExpectedText("?>");
            p_ += 2;
        } else {
            // The blank after the target separates it from the data; the writer puts it back.
            SkipBlanks();
            pi->set_text(arena_, Until("?>"));
        }
    }

    // After "<!".
    void Markup(NodeData& parent) {
        if (p_ != end_ && *p_ == '-') {
            if (!Follows("--")) ExpectedText("--");
            p_ += 2;
            std::string_view text = Until("-->");
            parent.AppendOwn(
                NodeData::NewLeaf(arena_, kCommentNode, names_.pre(NameTable::kComment), text));
        } else if (p_ != end_ && *p_ == '[') {
            if (!Follows("[CDATA[")) ExpectedText("[CDATA[");
            p_ += 7;
            std::string_view text = Until("]]>");
            parent.AppendOwn(
                NodeData::NewLeaf(arena_, kCDataNode, names_.pre(NameTable::kCData), text));
        } else {
            if (!Follows("DOCTYPE")) ExpectedText("DOCTYPE");
            p_ += 7;
            Until(">");
        }
    }

    const Arena::Progress progress_{begin_, &p_, end_};
    std::unique_ptr<char[]> scratch_;  // reused for texts and values with references
    std::size_t scratch_size_ = 0;
    std::unordered_set<std::uint32_t> seen_;  // attribute names of a node with many
    // Slots of a table beyond the cache, where looking ahead pays.
    static constexpr std::size_t kLargeTable = std::size_t{1} << 20;
    // Names hashed ahead, in the order they come in the input.
    struct Ahead {
        const char* at;
        std::uint32_t hash;
    };
    static constexpr std::size_t kAhead = 8;
    Ahead ahead_[kAhead] = {};
    std::size_t ahead_first_ = 0, ahead_count_ = 0;
    const char* scan_ = nullptr;  // where looking ahead goes on
    static constexpr std::size_t kCacheSize = 256;

    std::array<CacheSlot, kCacheSize> cache_{};
    std::unique_ptr<Sequence[]> sequences_ = std::make_unique<Sequence[]>(kSequences);
};

}  // namespace

void ParseText(Document& doc, std::string_view input) {
    Parser parser(doc, input);
    try {
        parser.Run();
    } catch (const XmlError& e) {
        throw XmlParseError(e.what(), parser.Offset());
    }
}

}  // namespace zeph::xml::detail
