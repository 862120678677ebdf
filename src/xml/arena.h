// The memory of one document: its nodes, child lists, attribute arrays, long texts and names.
// A loaded document is many small objects that live and die together, so they are carved from
// the document's own regions with a bump pointer and given back all at once when the document
// goes. A node removed from a tree while its document lives returns its blocks to the arena's
// free lists, where the next blocks of that size are taken from.
//
// Regions are made of 64 KiB units aligned to their size, each starting with a pointer to its
// arena, so that a node finds its arena from its own address without keeping a pointer to it.
// Blocks larger than kLargestSmall come from the heap, listed so that they go with the arena.
//
// An arena is used by one thread at a time, like the tree it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define ZEPH_XML_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEPH_XML_ASAN 1
#endif
#endif
#ifndef ZEPH_XML_ASAN
#define ZEPH_XML_ASAN 0
#endif
#if ZEPH_XML_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace zeph::xml::detail {

inline constexpr std::size_t kUnit = 64 * 1024;
inline constexpr std::size_t kAlign = 8;
inline constexpr std::size_t kLargestSmall = 4096;

// The interned names of one document. A name's id is where its entry lies in the table's blocks
// (block index in the high 16 bits, byte offset in the low 16), so ids stay small and entries
// never move. Open addressing with linear probing, at most half full: a lookup costs the same
// however many names there are, and hostile input stays linear. The probes read an array of one
// byte per slot (8 bits of the name's hash, 0 for a free slot) and the ids beside it only on a
// match: in a table of millions of names the byte array is what stays in the cache.
class NameTable {
  public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    // Pre-entered in every table, in this order: their ids are the same in all tables.
    enum Pre : std::uint32_t { kText, kCData, kComment, kDocument, kXml, kPreCount };

    NameTable();
    ~NameTable();
    NameTable(const NameTable&) = delete;
    NameTable& operator=(const NameTable&) = delete;

    // The id of the name, entering it when it is new. The empty name is an entry too.
    std::uint32_t Intern(std::string_view name) { return Intern(name, Hash(name)); }
    // The same with the name's Hash worked out before.
    std::uint32_t Intern(std::string_view name, std::uint32_t hash);
    static std::uint32_t Hash(std::string_view name) noexcept;
    // Fetches the slot where a name of this hash is looked up into the cache ahead of its use:
    // in a table too large for the cache, a reader that sees the next new name coming spares
    // the wait.
    void Prefetch(std::uint32_t hash) const noexcept {
        const std::size_t slot = hash & (capacity_ - 1);
        __builtin_prefetch(tags_.get() + slot);
        // The id is written there: a store that misses holds up every later one.
        __builtin_prefetch(ids_.get() + slot, 1);
    }
    // The id, or kNone when the name was never entered.
    std::uint32_t Find(std::string_view name) const noexcept;
    std::string_view View(std::uint32_t id) const noexcept {
        const char* e = blocks_[id >> 16].get() + (id & 0xFFFFu);
        std::uint32_t size;
        __builtin_memcpy(&size, e, 4);
        return {e + kHeader, size};
    }
    std::size_t Size() const noexcept { return count_; }
    // The number of slots (a power of two, at least twice the names).
    std::size_t Capacity() const noexcept { return capacity_; }
    std::uint32_t pre(Pre p) const noexcept { return pre_[p]; }
    // Forgets every name but the pre-entered ones.
    void Reset();

    // While one lives, new names are added to the count of all tables (LiveNames) when it goes
    // rather than one by one: a reader entering many names spares an atomic operation each.
    class Batch {
      public:
        explicit Batch(NameTable& table) noexcept : table_(table) { ++table_.batches_; }
        ~Batch() {
            if (--table_.batches_ == 0) table_.Report();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

      private:
        NameTable& table_;
    };

  private:
    static constexpr std::size_t kHeader = 8;  // size, hash
    // The bytes an entry takes: its header and name, rounded up to keep ids multiples of 4.
    static constexpr std::size_t EntrySize(std::size_t name_size) noexcept {
        return (kHeader + name_size + 3) & ~std::size_t{3};
    }
    std::uint32_t Add(std::string_view name, std::uint32_t hash, std::size_t slot);
    void Rehash(std::size_t capacity);
    // Adds the names entered since the last report to the count of all tables.
    void Report() noexcept;
    std::uint32_t HashOf(std::uint32_t id) const noexcept {
        std::uint32_t h;
        __builtin_memcpy(&h, blocks_[id >> 16].get() + (id & 0xFFFFu) + 4, 4);
        return h;
    }

    std::unique_ptr<std::uint8_t[]> tags_;  // per slot: Tag of the name's hash, 0 when free
    std::unique_ptr<std::uint32_t[]> ids_;  // per slot: the name's id where the tag is set
    std::size_t capacity_ = 0;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t current_ = 0;  // the block new entries go into
    std::size_t count_ = 0;
    std::size_t reported_ = 0;  // of count_, in the count of all tables
    int batches_ = 0;
    std::vector<std::uint32_t> used_;  // bytes of each block taken by entries
    std::uint32_t pre_[kPreCount];
};

// Names in all tables alive, for tests that check that memory is given back.
std::size_t LiveNames() noexcept;

// Frees the regions kept for the next documents.
void ReleaseSpareRegions() noexcept;

class Arena {
  public:
    Arena();
    ~Arena();
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // The arena of a block carved from one of its units (nodes always are).
    static Arena& Of(const void* block) noexcept {
        return **reinterpret_cast<Arena* const*>(reinterpret_cast<std::uintptr_t>(block) &
                                                 ~(kUnit - 1));
    }

    static std::size_t Round(std::size_t size) noexcept {
        return (size + kAlign - 1) & ~(kAlign - 1);
    }

    // Blocks are aligned to 8 bytes; `size` is given back to Free.
    void* Allocate(std::size_t size) {
        std::size_t need = Round(size);
        if (need <= kLargestSmall) {
            if (void* f = free_[need / kAlign]) return TakeFree(f, need);
            if (need <= static_cast<std::size_t>(end_ - next_)) {
                char* p = next_;
                next_ += need;
                Unpoison(p, need);
                return p;
            }
        }
        return AllocateSlow(need);
    }
    void Free(void* block, std::size_t size) noexcept;

    // Gives back everything at once but the first region, and forgets the names and counts.
    void Reset();

    NameTable& names() noexcept { return names_; }
    const NameTable& names() const noexcept { return names_; }

    // Where a reader filling the arena is in its input. While one is followed, a new region is
    // no larger than the rest of the input is expected to need, at the rate the input read so
    // far took: the last region of a large document is then not mostly empty.
    struct Progress {
        const char* begin;
        const char* const* at;
        const char* end;
    };
    void Follow(const Progress* progress) noexcept { progress_ = progress; }

    // Nodes of the arena alive (not counting the document).
    std::uint32_t nodes = 0;
    // Nodes of the arena with callers' references, plus links into the arena from nodes of other
    // arenas: while both this and `foreign` are 0, nothing outside the document reaches into it.
    std::uint32_t held = 0;
    // Links from the arena's nodes to nodes of other arenas.
    std::uint32_t foreign = 0;
    // Whether its document still uses it; an arena left by its document goes with its last node.
    bool owned = true;

  private:
    static void Poison([[maybe_unused]] void* p, [[maybe_unused]] std::size_t n) noexcept {
#if ZEPH_XML_ASAN
        __asan_poison_memory_region(p, n);
#endif
    }
    static void Unpoison([[maybe_unused]] void* p, [[maybe_unused]] std::size_t n) noexcept {
#if ZEPH_XML_ASAN
        __asan_unpoison_memory_region(p, n);
#endif
    }
    void* TakeFree(void* block, std::size_t need) noexcept;
    void* AllocateSlow(std::size_t need);
    std::size_t NextRegionUnits() const noexcept;
    void NewRegion(std::size_t units);
    void FreeAll() noexcept;

    struct Region {
        char* mem;
        std::size_t units;
    };
    struct Large {
        Large* prev;
        Large* next;
    };
    static constexpr std::size_t kLargeHeader = 16;
    void FreeDownTo(std::size_t keep) noexcept;

    char* next_ = nullptr;
    char* end_ = nullptr;  // of the current unit
    char* region_end_ = nullptr;
    // Oldest first. Kept here rather than in the regions, so that freeing them reads no memory
    // that has long left the cache.
    std::vector<Region> regions_;
    Large* large_ = nullptr;
    std::size_t region_units_ = 0;  // of the newest region
    std::size_t units_ = 0;         // of all regions
    const Progress* progress_ = nullptr;
    NameTable names_;
    void* free_[kLargestSmall / kAlign + 1] = {};
};

}  // namespace zeph::xml::detail
