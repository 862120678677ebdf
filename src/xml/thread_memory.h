// Memory the document model keeps per thread between documents: the chunk a thread carves its
// blocks from, and the rest of the group it came from. By default a thread gives it up when it
// ends, through a thread-local destructor. A DLL cannot use that: the C++ run time keeps a module
// loaded for as long as any thread holds one of its thread-local destructors, so the module
// would never unload. A DLL therefore sets a hook of its own before it uses the model, calls
// ReleaseThreadMemory on each thread the hook saw when that thread detaches, and
// ReleaseSpareMemory when it unloads.
#pragma once

#include <cstddef>

namespace zeph::xml {

// Runs once on each thread, on that thread, when it first takes memory it keeps.
using ThreadMemoryHook = void (*)() noexcept;
// Replaces the default hook (which arranges ReleaseThreadMemory at the thread's end); null
// restores it. Threads that already ran a hook keep what that hook arranged.
void SetThreadMemoryHook(ThreadMemoryHook hook) noexcept;

// Gives up what the calling thread keeps. Blocks still in use stay valid, and the thread may use
// the model again afterwards.
void ReleaseThreadMemory() noexcept;
// Returns the emptied chunks kept for reuse to the heap.
void ReleaseSpareMemory() noexcept;

// Groups of chunks taken from the heap and not yet returned to it.
std::size_t PoolGroupCount() noexcept;

}  // namespace zeph::xml
