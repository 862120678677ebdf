#include "xml/arena.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "text/cp1251.h"
#include "xml/xml.h"

namespace zeph::xml::detail {

using text::operator""_cp;

// --- names --------------------------------------------------------------------------------

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
        // The last one to seven bytes, read without a call: two words overlapping in the middle,
        // or first, middle and last byte.
        std::uint64_t w;
        if (n >= 4) {
            std::uint32_t a, b;
            std::memcpy(&a, p, 4);
            std::memcpy(&b, p + n - 4, 4);
            w = a | std::uint64_t{b} << 32;
        } else {
            w = static_cast<unsigned char>(p[0]) |
                std::uint64_t{static_cast<unsigned char>(p[n / 2])} << 8 |
                std::uint64_t{static_cast<unsigned char>(p[n - 1])} << 16;
        }
        h = Mix(h ^ w) * 0x9e3779b97f4a7c15u;
    }
    return static_cast<std::uint32_t>(Mix(h));
}

constexpr std::size_t kFirstSlots = 16;
constexpr std::size_t kNameBlock = 64 * 1024;  // ids keep 16 bits for the offset
// The first block is small: most documents have a few dozen names, and a block this size comes
// and goes with its document without the heap giving pages back and faulting them in again.
constexpr std::size_t kFirstNameBlock = 4 * 1024;
constexpr std::size_t kMaxBlocks = 1u << 16;

[[noreturn]] void TooManyNames() {
    throw XmlError(std::string(u8"Слишком много имён или слишком длинное имя"_cp));
}

}  // namespace

std::size_t LiveNames() noexcept {
    return live_names.load(std::memory_order_relaxed);
}

NameTable::NameTable() {
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(kFirstNameBlock));
    Reset();
}

NameTable::~NameTable() {
    live_names.fetch_sub(reported_, std::memory_order_relaxed);
}

void NameTable::Reset() {
    blocks_.resize(1);
    used_.assign(1, 0);
    current_ = 0;
    live_names.fetch_sub(reported_, std::memory_order_relaxed);
    count_ = reported_ = 0;
    if (capacity_ != kFirstSlots) {
        tags_ = std::make_unique_for_overwrite<std::uint8_t[]>(kFirstSlots);
        ids_ = std::make_unique_for_overwrite<std::uint32_t[]>(kFirstSlots);
        capacity_ = kFirstSlots;
    }
    std::memset(tags_.get(), 0, capacity_);
    std::size_t i = 0;
    for (std::string_view n : {"#text", "#cdata-section", "#comment", "#document", "xml"})
        pre_[i++] = Intern(n);
}

void NameTable::Report() noexcept {
    live_names.fetch_add(count_ - reported_, std::memory_order_relaxed);
    reported_ = count_;
}

namespace {

// The byte a slot keeps of the hash: its top 8 bits (the slot's place comes from the low ones),
// never 0, which marks a free slot.
std::uint8_t Tag(std::uint32_t hash) noexcept {
    const auto t = static_cast<std::uint8_t>(hash >> 24);
    return t ? t : 1;
}

}  // namespace

std::uint32_t NameTable::Find(std::string_view name) const noexcept {
    const std::uint32_t h = HashName(name);
    const std::uint8_t tag = Tag(h);
    const std::size_t mask = capacity_ - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const std::uint8_t t = tags_[i];
        if (!t) return kNone;
        if (t != tag) continue;
        const std::uint32_t id = ids_[i];
        if (HashOf(id) == h && View(id) == name) return id;
    }
}

std::uint32_t NameTable::Hash(std::string_view name) noexcept {
    return HashName(name);
}

std::uint32_t NameTable::Intern(std::string_view name, std::uint32_t h) {
    const std::uint8_t tag = Tag(h);
    const std::size_t mask = capacity_ - 1;
    std::size_t i = h & mask;
    for (;; i = (i + 1) & mask) {
        const std::uint8_t t = tags_[i];
        if (!t) break;
        if (t != tag) continue;
        const std::uint32_t id = ids_[i];
        if (HashOf(id) == h && View(id) == name) return id;
    }
    return Add(name, h, i);
}

std::uint32_t NameTable::Add(std::string_view name, std::uint32_t hash, std::size_t slot) {
    if (name.size() > std::numeric_limits<std::uint32_t>::max() - kHeader - 4) TooManyNames();
    const std::size_t need = EntrySize(name.size());
    std::size_t block, offset;
    if (need > kNameBlock) {
        // A name longer than a block gets a block of its own; the current block goes on.
        if (blocks_.size() >= kMaxBlocks - 1) TooManyNames();
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(need));
        used_.push_back(static_cast<std::uint32_t>(need));
        block = blocks_.size() - 1;
        offset = 0;
    } else {
        if ((current_ == 0 ? kFirstNameBlock : kNameBlock) - used_[current_] < need) {
            if (blocks_.size() >= kMaxBlocks - 1) TooManyNames();
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(kNameBlock));
            used_.push_back(0);
            current_ = blocks_.size() - 1;
        }
        block = current_;
        offset = used_[current_];
        used_[current_] += static_cast<std::uint32_t>(need);
    }
    char* e = blocks_[block].get() + offset;
    auto size = static_cast<std::uint32_t>(name.size());
    std::memcpy(e, &size, 4);
    std::memcpy(e + 4, &hash, 4);
    if (!name.empty()) std::memcpy(e + kHeader, name.data(), name.size());
    const auto id = static_cast<std::uint32_t>(block << 16 | offset);
    tags_[slot] = Tag(hash);
    ids_[slot] = id;
    ++count_;
    if (batches_ == 0) Report();
    if (count_ * 2 > capacity_) Rehash(capacity_ * 2);
    return id;
}

// Walks the entries block by block, in the order they were written: reading them in their
// order is what the memory prefetches, where reading them in the slots' order misses the cache
// once per name in a large table.
void NameTable::Rehash(std::size_t capacity) {
    auto tags = std::make_unique<std::uint8_t[]>(capacity);  // zeroed: all free
    auto ids = std::make_unique_for_overwrite<std::uint32_t[]>(capacity);
    const std::size_t mask = capacity - 1;
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const char* base = blocks_[b].get();
        for (std::uint32_t offset = 0; offset < used_[b];) {
            std::uint32_t size, hash;
            std::memcpy(&size, base + offset, 4);
            std::memcpy(&hash, base + offset + 4, 4);
            std::size_t i = hash & mask;
            while (tags[i]) i = (i + 1) & mask;
            tags[i] = Tag(hash);
            ids[i] = static_cast<std::uint32_t>(b) << 16 | offset;
            offset += static_cast<std::uint32_t>(EntrySize(size));
        }
    }
    tags_ = std::move(tags);
    ids_ = std::move(ids);
    capacity_ = capacity;
}

// --- arena --------------------------------------------------------------------------------

namespace {

// Regions double from one unit up to this many (512 KiB): a large document takes few of them,
// and the unused end of the last one stays small.
constexpr std::size_t kMostUnits = 8;
constexpr std::size_t kUnitHeader = 8;  // the arena pointer

void FreeRegion(void* mem, std::size_t units) noexcept {
#ifdef __cpp_sized_deallocation
    ::operator delete (mem, units* kUnit, std::align_val_t{kUnit});
#else
    (void)units;
    ::operator delete (mem, std::align_val_t{kUnit});
#endif
}

// Regions of documents that went wait here for the next documents, up to kSpareBytes: a
// document loaded again and again then reuses memory already mapped and in the cache instead of
// faulting in fresh pages each time. Shared by all threads under a spin lock; trivially
// destructible, so that it keeps nothing of the module alive (ReleaseSpareMemory empties it).
constexpr std::size_t kSpareBytes = 8u << 20;
constexpr std::size_t kSpareSlots = kSpareBytes / kUnit;

struct Spare {
    void* mem;
    std::size_t units;
};

struct Spares {
    std::atomic_flag busy = ATOMIC_FLAG_INIT;
    Spare slots[kSpareSlots] = {};
    std::size_t count = 0;
    std::size_t units = 0;

    void Lock() noexcept {
        while (busy.test_and_set(std::memory_order_acquire)) {
        }
    }
    void Unlock() noexcept { busy.clear(std::memory_order_release); }
};
constinit Spares spares;

void* TakeSpare(std::size_t units) noexcept {
    void* mem = nullptr;
    spares.Lock();
    for (std::size_t i = spares.count; i-- > 0;) {
        if (spares.slots[i].units != units) continue;
        mem = spares.slots[i].mem;
        spares.slots[i] = spares.slots[--spares.count];
        spares.units -= units;
        break;
    }
    spares.Unlock();
    return mem;
}

// Keeps `count` regions (the newest last) for the next documents, as many as there is room
// for, newest first, under one hold of the lock, and frees the others.
template <class Region>
void GiveBack(const Region* regions, std::size_t count) noexcept {
#if !ZEPH_XML_ASAN
    spares.Lock();
    for (; count && spares.count < kSpareSlots &&
           spares.units + regions[count - 1].units <= kSpareSlots;
         --count) {
        spares.slots[spares.count++] = {regions[count - 1].mem, regions[count - 1].units};
        spares.units += regions[count - 1].units;
    }
    spares.Unlock();
#endif
    // The sanitizer is to see every use of a freed node: it gets every region back.
    for (; count; --count) FreeRegion(regions[count - 1].mem, regions[count - 1].units);
}

}  // namespace

void ReleaseSpareRegions() noexcept {
    for (;;) {
        Spare s{nullptr, 0};
        spares.Lock();
        if (spares.count) {
            s = spares.slots[--spares.count];
            spares.units -= s.units;
        }
        spares.Unlock();
        if (!s.mem) return;
        FreeRegion(s.mem, s.units);
    }
}

Arena::Arena() {
    NewRegion(1);
}

Arena::~Arena() {
    FreeAll();
}

void Arena::NewRegion(std::size_t units) {
    regions_.reserve(regions_.size() + 1);  // before the region, which then cannot leak
    char* mem = static_cast<char*>(TakeSpare(units));
    if (!mem) mem = static_cast<char*>(::operator new (units* kUnit, std::align_val_t{kUnit}));
    for (std::size_t u = 0; u < units; ++u) {
        Arena* self = this;
        std::memcpy(mem + u * kUnit, &self, sizeof self);
    }
    regions_.push_back({mem, units});
    region_units_ = units;
    units_ += units;
    next_ = mem + kUnitHeader;
    end_ = mem + kUnit;
    region_end_ = mem + units * kUnit;
    Poison(next_, static_cast<std::size_t>(end_ - next_));
    for (std::size_t u = 1; u < units; ++u)
        Poison(mem + u * kUnit + kUnitHeader, kUnit - kUnitHeader);
}

void* Arena::TakeFree(void* block, std::size_t need) noexcept {
    Unpoison(block, need);
    void* after;
    std::memcpy(&after, block, sizeof after);
    free_[need / kAlign] = after;
    return block;
}

std::size_t Arena::NextRegionUnits() const noexcept {
    const std::size_t units = std::min(region_units_ * 2, kMostUnits);
    if (!progress_) return units;
    const auto read = static_cast<std::uint64_t>(*progress_->at - progress_->begin) + 1;
    const auto left = static_cast<std::uint64_t>(progress_->end - *progress_->at);
    const std::uint64_t expected = std::uint64_t{units_} * left / read + 1;
    return static_cast<std::size_t>(std::clamp<std::uint64_t>(expected, 1, units));
}

void* Arena::AllocateSlow(std::size_t need) {
    if (need > kLargestSmall) {
        void* raw = ::operator new(need + kLargeHeader);
        auto* l = static_cast<Large*>(raw);
        l->prev = nullptr;
        l->next = large_;
        if (large_) large_->prev = l;
        large_ = l;
        return static_cast<char*>(raw) + kLargeHeader;
    }
    if (end_ != region_end_) {
        // The rest of this unit is too small: go on in the next unit of the region.
        next_ = end_ + kUnitHeader;
        end_ += kUnit;
    } else {
        NewRegion(NextRegionUnits());
    }
    char* p = next_;
    next_ += need;
    Unpoison(p, need);
    return p;
}

void Arena::Free(void* block, std::size_t size) noexcept {
    if (!block) return;
    std::size_t need = Round(size);
    if (need > kLargestSmall) {
        auto* l = reinterpret_cast<Large*>(static_cast<char*>(block) - kLargeHeader);
        if (l->prev)
            l->prev->next = l->next;
        else
            large_ = l->next;
        if (l->next) l->next->prev = l->prev;
        ::operator delete(l);
        return;
    }
    void*& head = free_[need / kAlign];
    std::memcpy(block, &head, sizeof head);
    head = block;
    Poison(block, need);
}

// Gives back the large blocks and the regions but the oldest `keep`.
void Arena::FreeDownTo(std::size_t keep) noexcept {
    for (Large* l = large_; l;) ::operator delete(std::exchange(l, l->next));
    large_ = nullptr;
    for (std::size_t i = keep; i < regions_.size(); ++i)
        Unpoison(regions_[i].mem, regions_[i].units * kUnit);
    GiveBack(regions_.data() + keep, regions_.size() - keep);
    regions_.resize(keep);
}

void Arena::FreeAll() noexcept {
    FreeDownTo(0);
}

void Arena::Reset() {
    // Keep the oldest region (one unit): a document reloaded again and again needs no new one.
    FreeDownTo(1);
    const Region& first = regions_.front();
    region_units_ = units_ = first.units;
    next_ = first.mem + kUnitHeader;
    end_ = first.mem + kUnit;
    region_end_ = first.mem + first.units * kUnit;
    Poison(next_, static_cast<std::size_t>(end_ - next_));
    std::fill(std::begin(free_), std::end(free_), nullptr);
    names_.Reset();
    nodes = held = foreign = 0;
}

}  // namespace zeph::xml::detail
