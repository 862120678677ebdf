// Memory the document model keeps per thread between documents: the chunk a thread carves its
// blocks from, and the rest of the group it came from. It is given up when the thread ends. How
// that is arranged is the platform layer's business: a thread-local destructor cannot do it
// everywhere (in a Windows module the C++ run time would keep the module loaded for as long as
// the thread lives, and the thread-local variables may already be gone when it runs).
#pragma once

#include <cstddef>

namespace zeph::xml {

// Gives up what the calling thread keeps. Blocks still in use stay valid, and the thread may use
// the model again afterwards.
void ReleaseThreadMemory() noexcept;
// Returns the emptied chunks kept for reuse to the heap.
void ReleaseSpareMemory() noexcept;

// Groups of chunks taken from the heap and not yet returned to it.
std::size_t PoolGroupCount() noexcept;

namespace detail {
// Provided by the platform layer: arranges ReleaseThreadMemory at the calling thread's end.
// Called once per thread, when it first keeps memory.
void ReleaseThreadMemoryAtThreadEnd() noexcept;
}  // namespace detail

}  // namespace zeph::xml
