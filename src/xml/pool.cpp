#include "xml/pool.h"

#include <cstdlib>
#include <mutex>
#include <vector>

namespace zeph::xml::detail {

namespace {

constexpr std::size_t kGranule = 16;
constexpr std::size_t kClasses = 16;  // blocks up to 256 bytes
constexpr std::size_t kSlab = 64 * 1024;

struct FreeBlock {
    FreeBlock* next;
};

// Every slab stays reachable from here, whichever thread made it.
std::mutex slabs_mutex;
std::vector<void*>& Slabs() {
    static auto* slabs = new std::vector<void*>;
    return *slabs;
}

struct ThreadPool {
    FreeBlock* free[kClasses] = {};
};
thread_local ThreadPool pool;

void Refill(std::size_t cls) {
    std::size_t block = (cls + 1) * kGranule;
    void* slab = std::malloc(kSlab);
    if (!slab) throw std::bad_alloc();
    {
        std::lock_guard<std::mutex> lock(slabs_mutex);
        Slabs().push_back(slab);
    }
    auto* bytes = static_cast<char*>(slab);
    for (std::size_t off = 0; off + block <= kSlab; off += block) {
        auto* b = reinterpret_cast<FreeBlock*>(bytes + off);
        b->next = pool.free[cls];
        pool.free[cls] = b;
    }
}

}  // namespace

void* PoolAllocate(std::size_t size) {
    if (size == 0 || size > kClasses * kGranule) return ::operator new(size);
    std::size_t cls = (size - 1) / kGranule;
    if (!pool.free[cls]) Refill(cls);
    FreeBlock* b = pool.free[cls];
    pool.free[cls] = b->next;
    return b;
}

void PoolFree(void* p, std::size_t size) noexcept {
    if (!p) return;
    if (size == 0 || size > kClasses * kGranule) {
        ::operator delete(p);
        return;
    }
    std::size_t cls = (size - 1) / kGranule;
    auto* b = static_cast<FreeBlock*>(p);
    b->next = pool.free[cls];
    pool.free[cls] = b;
}

}  // namespace zeph::xml::detail
