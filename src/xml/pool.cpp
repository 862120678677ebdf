#include "xml/pool.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <utility>

#include "xml/thread_memory.h"

namespace zeph::xml::detail {

namespace {

// Chunks are aligned to their size, so a block finds its chunk from its own address. They are
// cut from groups of 16, taken from the heap in one piece and returned when all 16 are free.
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kGroup = 16;
// Keeps a chunk that is still being carved from looking empty however many of its blocks are
// freed; taken off when the chunk is given up.
constexpr std::int64_t kOpen = std::int64_t{1} << 40;

struct Group {
    void* raw;
    std::atomic<std::size_t> chunks{kGroup};  // not yet released
};

struct Chunk {
    std::atomic<std::int64_t> live{kOpen};
    Group* group;
};
constexpr std::size_t kHeader = (sizeof(Chunk) + kAlign - 1) / kAlign * kAlign;

Chunk* ChunkOf(void* block) {
    return reinterpret_cast<Chunk*>(reinterpret_cast<std::uintptr_t>(block) & ~(kChunk - 1));
}

std::atomic<std::size_t> group_count{0};

void ReleaseChunks(Group* g, std::size_t n) noexcept {
    if (g->chunks.fetch_sub(n, std::memory_order_acq_rel) == n) {
        void* raw = g->raw;
        g->~Group();
        ::operator delete(raw);
        group_count.fetch_sub(1, std::memory_order_relaxed);
    }
}

// Emptied chunks wait here for reuse while few, so that the next document is carved from memory
// still in the cache rather than from a new group.
constexpr std::size_t kSpares = 8;
struct Spares {
    std::mutex mutex;
    Chunk* chunks[kSpares];
    std::size_t count = 0;
};
Spares& SpareChunks() {
    static auto* spares = new Spares;  // chunks may be freed by any static's destructor
    return *spares;
}

Chunk* TakeSpare() noexcept {
    Spares& s = SpareChunks();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.count ? s.chunks[--s.count] : nullptr;
}

void Release(Chunk* c) noexcept {
    {
        Spares& s = SpareChunks();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.count < kSpares) {
            s.chunks[s.count++] = c;
            return;
        }
    }
    Group* g = c->group;
    c->~Chunk();
    ReleaseChunks(g, 1);
}

// The chunk a thread carves from. Trivially destructible, so that reaching it costs no guard.
// The bump pointer itself is the cursor of the header, which allocations reach inline.
struct ThreadChunk {
    Chunk* chunk = nullptr;
    Group* group = nullptr;
    char* group_next = nullptr;  // the next chunk of `group` to hand out
    std::size_t group_left = 0;
    bool release_arranged = false;

    void Close() noexcept {
        if (!chunk) return;
        Chunk* c = std::exchange(chunk, nullptr);
        std::int64_t carved = std::exchange(pool_cursor.carved, 0);
        pool_cursor.next = pool_cursor.end = nullptr;
        if (c->live.fetch_add(carved - kOpen, std::memory_order_acq_rel) + (carved - kOpen) == 0)
            Release(c);
    }

    // At the end of the thread: gives up the chunk and the chunks of the group not handed out.
    void Finish() noexcept {
        Close();
        Group* g = std::exchange(group, nullptr);
        std::size_t left = std::exchange(group_left, 0);
        if (g && left) ReleaseChunks(g, left);
    }

    void Open();
};
constinit thread_local ThreadChunk current;

void ThreadChunk::Open() {
    // Arranged on a thread's first chunk only, so that the blocks' own path needs no guard.
    if (!release_arranged) {
        release_arranged = true;
        ReleaseThreadMemoryAtThreadEnd();
    }
    if (Chunk* spare = TakeSpare()) {
        Close();
        spare->live.store(kOpen, std::memory_order_relaxed);
        chunk = spare;
        char* mem = reinterpret_cast<char*>(spare);
        pool_cursor = {mem + kHeader, mem + kChunk, 0};
        return;
    }
    if (group_left == 0) {
        void* raw = ::operator new(sizeof(Group) + (kGroup + 1) * kChunk);
        group = new (raw) Group{raw};
        group_count.fetch_add(1, std::memory_order_relaxed);
        auto first =
            (reinterpret_cast<std::uintptr_t>(raw) + sizeof(Group) + kChunk - 1) & ~(kChunk - 1);
        group_next = reinterpret_cast<char*>(first);
        group_left = kGroup;
    }
    Close();
    char* mem = group_next;
    group_next += kChunk;
    --group_left;
    chunk = new (mem) Chunk{};
    chunk->group = group;
    pool_cursor = {mem + kHeader, mem + kChunk, 0};
}

}  // namespace

constinit thread_local PoolCursor pool_cursor;

void* PoolAllocateSlow(std::size_t size) {
    if (size == 0 || size > kLargest) return ::operator new(size);
    std::size_t need = (size + kAlign - 1) / kAlign * kAlign;
    PoolCursor& t = pool_cursor;
    if (static_cast<std::size_t>(t.end - t.next) < need) current.Open();
    char* block = t.next;
    t.next += need;
    ++t.carved;
    return block;
}

namespace {

// While a batch is open, frees of blocks of one chunk are counted here and taken off the chunk's
// count in one step: a tree is freed in about the order it was carved, so most frees of a large
// document then cost no atomic operation.
struct FreeBatch {
    Chunk* chunk = nullptr;
    std::int64_t freed = 0;
    int depth = 0;

    void Flush() noexcept {
        if (!chunk) return;
        Chunk* c = std::exchange(chunk, nullptr);
        std::int64_t n = std::exchange(freed, 0);
        if (c->live.fetch_sub(n, std::memory_order_acq_rel) == n) Release(c);
    }
};
constinit thread_local FreeBatch batch;

}  // namespace

void PoolFree(void* p, std::size_t size) noexcept {
    if (!p) return;
    if (size == 0 || size > kLargest) {
        ::operator delete(p);
        return;
    }
    Chunk* c = ChunkOf(p);
    FreeBatch& b = batch;
    if (b.depth) {
        if (c != b.chunk) {
            b.Flush();
            b.chunk = c;
        }
        ++b.freed;
        return;
    }
    if (c->live.fetch_sub(1, std::memory_order_acq_rel) == 1) Release(c);
}

PoolFreeBatch::PoolFreeBatch() noexcept {
    ++batch.depth;
}

PoolFreeBatch::~PoolFreeBatch() {
    if (--batch.depth == 0) batch.Flush();
}

}  // namespace zeph::xml::detail

// --- memory kept per thread, released on demand ------------------------------------------------

namespace zeph::xml {

void ReleaseThreadMemory() noexcept {
    detail::current.Finish();
}

void ReleaseSpareMemory() noexcept {
    detail::Spares& s = detail::SpareChunks();
    std::lock_guard<std::mutex> lock(s.mutex);
    while (s.count) {
        detail::Chunk* c = s.chunks[--s.count];
        detail::Group* g = c->group;
        c->~Chunk();
        detail::ReleaseChunks(g, 1);
    }
}

std::size_t PoolGroupCount() noexcept {
    return detail::group_count.load(std::memory_order_relaxed);
}

}  // namespace zeph::xml
