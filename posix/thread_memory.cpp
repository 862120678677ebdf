// The end of a thread that kept memory of the document model gives it up: a thread-local
// destructor, made on the thread's first chunk only.
#include "xml/thread_memory.h"

namespace zeph::xml::detail {

namespace {

struct ThreadEnd {
    bool armed = false;
    ~ThreadEnd() {
        if (armed) ReleaseThreadMemory();
    }
};
thread_local ThreadEnd thread_end;

}  // namespace

void ReleaseThreadMemoryAtThreadEnd() noexcept {
    thread_end.armed = true;
}

}  // namespace zeph::xml::detail
