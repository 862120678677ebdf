// Keyword lookup for the highlighters: an open-addressed table built once, probed without
// allocation.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zeph::editor::detail {

class KeywordTable {
  public:
    // `fold_case`: lookups ignore ASCII letter case.
    explicit KeywordTable(bool fold_case);
    void Add(std::string_view word, std::uint8_t value);
    // The value of the word, or 0 when it is no keyword.
    std::uint8_t Find(std::string_view word) const {
        if (word.size() < min_len_ || word.size() > max_len_) return 0;
        std::uint32_t h = Hash(word);
        for (std::uint32_t i = h & mask_;; i = (i + 1) & mask_) {
            const Slot& s = slots_[i];
            if (s.value == 0) return 0;
            if (s.hash == h && Equal(s.word, word)) return s.value;
        }
    }
    std::size_t size() const { return count_; }

  private:
    struct Slot {
        std::string_view word;
        std::uint32_t hash = 0;
        std::uint8_t value = 0;
    };
    static constexpr unsigned char Fold(unsigned char c) {
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    }
    std::uint32_t Hash(std::string_view w) const {
        std::uint32_t h = 2166136261u;
        if (fold_)
            for (unsigned char c : w) h = (h ^ Fold(c)) * 16777619u;
        else
            for (unsigned char c : w) h = (h ^ c) * 16777619u;
        return h;
    }
    bool Equal(std::string_view a, std::string_view b) const {
        if (a.size() != b.size()) return false;
        if (!fold_) return a == b;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (Fold(a[i]) != Fold(b[i])) return false;
        return true;
    }
    bool fold_;
    std::vector<Slot> slots_;
    std::uint32_t mask_;
    std::size_t count_ = 0;
    std::size_t min_len_ = ~std::size_t{0};
    std::size_t max_len_ = 0;
};

// 1 for a VBScript reserved word (any case).
const KeywordTable& VBScriptKeywords();
// 1 reserved word, 2 non-reserved keyword, 3 event (exact case).
const KeywordTable& JScriptKeywords();

}  // namespace zeph::editor::detail
