#include "common/thread_win32.h"

#include <windows.h>
#include <process.h>

namespace calmirande::thread_detail {

bool startThread(ThreadEntry entry, void* context) noexcept {
    const std::uintptr_t handle = ::_beginthreadex(nullptr, 0, entry, context, 0, nullptr);
    if (handle == 0) return false;
    ::CloseHandle(reinterpret_cast<HANDLE>(handle));
    return true;
}

}  // namespace calmirande::thread_detail
