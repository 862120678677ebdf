// The end of a thread that kept memory of the document model gives it up, from a TLS callback.
// Not a thread-local destructor: the C++ run time keeps a DLL with one loaded for as long as the
// thread lives, and the threads library frees the thread-local variables before it runs them.
// Not DllMain either, for the same reason: the loader runs the TLS callbacks first, ours before
// the threads library's (the callbacks go in the order of their section names). Unloading the
// DLL gives up the unloading thread's memory and the spare chunks; thread notifications must
// stay on (no DisableThreadLibraryCalls) for any of this to run.
#include <windows.h>

#include <atomic>

#include "xml/thread_memory.h"

namespace {

// Marks the threads that keep memory: reading a Win32 slot allocates nothing on the threads that
// never used the model.
std::atomic<DWORD> marked_threads{TLS_OUT_OF_INDEXES};

DWORD MarkSlot() noexcept {
    DWORD slot = marked_threads.load(std::memory_order_acquire);
    if (slot != TLS_OUT_OF_INDEXES) return slot;
    const DWORD fresh = ::TlsAlloc();
    if (fresh == TLS_OUT_OF_INDEXES) return fresh;
    if (marked_threads.compare_exchange_strong(slot, fresh, std::memory_order_acq_rel))
        return fresh;
    ::TlsFree(fresh);
    return slot;
}

void NTAPI ThreadDetach(PVOID, DWORD reason, PVOID reserved) {
    // At process exit (reserved set) the other threads are gone and the heap goes with us.
    const bool unload = reason == DLL_PROCESS_DETACH && reserved == nullptr;
    if (reason != DLL_THREAD_DETACH && !unload) return;
    const DWORD slot = marked_threads.load(std::memory_order_acquire);
    if (slot == TLS_OUT_OF_INDEXES) return;
    if (::TlsGetValue(slot)) zeph::xml::ReleaseThreadMemory();
    if (unload) {
        zeph::xml::ReleaseSpareMemory();
        ::TlsFree(marked_threads.exchange(TLS_OUT_OF_INDEXES));
    }
}

}  // namespace

extern "C" __attribute__((used, section(".CRT$XLE")))
const PIMAGE_TLS_CALLBACK zeph_xml_thread_detach = &ThreadDetach;

namespace zeph::xml::detail {

void ReleaseThreadMemoryAtThreadEnd() noexcept {
    const DWORD slot = MarkSlot();
    if (slot != TLS_OUT_OF_INDEXES) ::TlsSetValue(slot, reinterpret_cast<void*>(1));
}

}  // namespace zeph::xml::detail
