// Blocks for node objects, node lists, attribute arrays and child lists. Loading a document makes
// several of them per node, and they die together when the document goes; taking them from a
// bump pointer in 64 KiB chunks instead of the general heap makes loading and freeing cheaper and
// keeps a tree in the order it was read. Each chunk counts its live blocks: a chunk is given up
// when its last block is freed, from whichever document or thread. A node that outlives its
// document therefore keeps only its chunk alive. Under AddressSanitizer the plain heap is used,
// so that it still sees every misuse of a node.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace zeph::xml::detail {

#if defined(__SANITIZE_ADDRESS__)
#define ZEPH_XML_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEPH_XML_POOL 0
#endif
#endif
#ifndef ZEPH_XML_POOL
#define ZEPH_XML_POOL 1
#endif

inline constexpr std::size_t kLargest = 2048;  // bigger blocks come from the heap directly
// Blocks are aligned to 8 bytes, not to max_align_t's 16: nothing kept in the pool needs more
// (checked where the types are declared), and a node of 88 bytes then takes 88, not 96.
inline constexpr std::size_t kAlign = 8;

// Where this thread carves its next block; allocations that fit are taken here inline.
struct PoolCursor {
    char* next = nullptr;
    char* end = nullptr;
    std::int64_t carved = 0;  // blocks handed out from the thread's chunk
};
extern constinit thread_local PoolCursor pool_cursor;

void* PoolAllocateSlow(std::size_t size);
inline void* PoolAllocate(std::size_t size) {
    std::size_t need = (size + kAlign - 1) / kAlign * kAlign;
    PoolCursor& t = pool_cursor;
    if (size == 0 || size > kLargest || static_cast<std::size_t>(t.end - t.next) < need)
        return PoolAllocateSlow(size);
    char* block = t.next;
    t.next += need;
    ++t.carved;
    return block;
}
void PoolFree(void* p, std::size_t size) noexcept;

// Defers the accounting of the blocks freed on this thread while it lives, so that freeing many
// blocks at once is cheap; at its end the chunks emptied meanwhile are given up. May nest.
class PoolFreeBatch {
  public:
    PoolFreeBatch() noexcept;
    ~PoolFreeBatch();
    PoolFreeBatch(const PoolFreeBatch&) = delete;
    PoolFreeBatch& operator=(const PoolFreeBatch&) = delete;
};

// Storage of attribute arrays and child lists.
template <class T>
struct PoolAllocator {
    using value_type = T;
    PoolAllocator() noexcept = default;
    template <class U>
    PoolAllocator(const PoolAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        static_assert(alignof(T) <= kAlign);
#if ZEPH_XML_POOL
        return static_cast<T*>(PoolAllocate(n * sizeof(T)));
#else
        return static_cast<T*>(::operator new(n * sizeof(T)));
#endif
    }
    void deallocate(T* p, std::size_t n) noexcept {
#if ZEPH_XML_POOL
        PoolFree(p, n * sizeof(T));
#else
        (void)n;
        ::operator delete(p);
#endif
    }
    template <class U>
    bool operator==(const PoolAllocator<U>&) const noexcept {
        return true;
    }
};

// Base for classes whose objects come from the pool.
struct Pooled {
#if ZEPH_XML_POOL
    static void* operator new(std::size_t size) {
        return PoolAllocate(size);
    }
    static void operator delete(void* p, std::size_t size) noexcept {
        PoolFree(p, size);
    }
#endif
};

}  // namespace zeph::xml::detail
