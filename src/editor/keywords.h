// Keyword lookup for the highlighters: an open-addressed table built once and probed without
// allocation; the hash mixes the length with the first, middle and last characters.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace zeph::editor::detail {

#if defined(__GNUC__)
#define ZEPH_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ZEPH_ALWAYS_INLINE inline
#endif

class KeywordTable {
  public:
    // `fold_case`: lookups ignore ASCII letter case.
    explicit KeywordTable(bool fold_case);
    void Add(std::string_view word, std::uint8_t value);
    std::size_t size() const { return count_; }

    // The value of the word, or 0 when it is no keyword.
    ZEPH_ALWAYS_INLINE std::uint8_t Find(std::string_view word) const {
        const std::size_t n = word.size();
        if (n < min_len_ || n > max_len_) return 0;
        const auto* p = reinterpret_cast<const unsigned char*>(word.data());
        const std::uint32_t h = Hash(p, n);
        for (std::uint32_t i = h >> 21;; i = (i + 1) & kMask) {
            const Slot& s = slots_[i];
            if (s.value == 0) return 0;
            if (s.len == n && s.check == static_cast<std::uint8_t>(h >> 13) &&
                Same(pool_.data() + s.offset, p, n))
                return s.value;
        }
    }

  private:
    static constexpr std::uint32_t kSize = 2048, kMask = kSize - 1;
    struct Slot {
        std::uint16_t offset = 0;  // into pool_
        std::uint8_t len = 0;
        std::uint8_t value = 0;  // 0: empty
        std::uint8_t check = 0;  // more hash bits
    };
    // Keywords of a table that ignores case are letters only, kept in lower case: a byte of a
    // word with bit 0x20 set equals such a keyword's byte exactly when it is that letter in
    // either case. Other bytes may fold to anything; they never match.
    ZEPH_ALWAYS_INLINE unsigned Fold(unsigned char c) const { return c | fold_; }
    ZEPH_ALWAYS_INLINE std::uint32_t Hash(const unsigned char* p, std::size_t n) const {
        std::uint32_t k = static_cast<std::uint32_t>(n) | Fold(p[0]) << 8 | Fold(p[n / 2]) << 16 |
                          Fold(p[n - 1]) << 24;
        return k * 0x9E3779B1u;
    }
    // Compares a word of n bytes with a keyword, most of them short, without a call: words from
    // both ends, overlapping in the middle.
    ZEPH_ALWAYS_INLINE bool Same(const char* kw, const unsigned char* p, std::size_t n) const {
        if (n >= 8) {
            if (n > 16) return Bytes(kw, p, n);
            return Word<std::uint64_t>(kw, p) && Word<std::uint64_t>(kw + n - 8, p + n - 8);
        }
        if (n >= 4) return Word<std::uint32_t>(kw, p) && Word<std::uint32_t>(kw + n - 4, p + n - 4);
        return Bytes(kw, p, n);
    }
    template <class W>
    ZEPH_ALWAYS_INLINE bool Word(const char* kw, const unsigned char* p) const {
        W a, b;
        std::memcpy(&a, kw, sizeof a);
        std::memcpy(&b, p, sizeof b);
        return a == (b | static_cast<W>(0x0101010101010101u * fold_));
    }
    ZEPH_ALWAYS_INLINE bool Bytes(const char* kw, const unsigned char* p, std::size_t n) const {
        for (std::size_t i = 0; i < n; ++i)
            if (static_cast<unsigned char>(kw[i]) != Fold(p[i])) return false;
        return true;
    }

    unsigned fold_;  // 0x20 when lookups ignore letter case, else 0
    std::array<Slot, kSize> slots_{};
    std::string pool_;
    std::size_t count_ = 0;
    std::size_t min_len_ = ~std::size_t{0};
    std::size_t max_len_ = 0;
};

// 1 for a VBScript reserved word (any case).
const KeywordTable& VBScriptKeywords();
// 1 reserved word, 2 non-reserved keyword, 3 event (exact case).
const KeywordTable& JScriptKeywords();

}  // namespace zeph::editor::detail
