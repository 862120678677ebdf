// Fixed-size blocks for node objects. Loading and freeing a document makes and frees one object
// per node; taking them from per-thread free lists instead of the general heap makes both several
// times cheaper. Blocks are carved from 64 KiB slabs that are kept for reuse and never returned.
// Under AddressSanitizer the plain heap is used, so that it still sees every misuse of a node.
#pragma once

#include <cstddef>
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

void* PoolAllocate(std::size_t size);
void PoolFree(void* p, std::size_t size) noexcept;

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
