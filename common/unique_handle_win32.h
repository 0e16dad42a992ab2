#pragma once
// One move-only owner for every kind of Win32 handle, then one alias per kind.
// Copies are deleted: an accidental copy must not close a handle twice.

#include <windows.h>

#include <utility>

namespace calmirande {

template <typename Handle, auto Close, auto Invalid = Handle{}>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != invalid(); }
    Handle release() noexcept { return std::exchange(handle_, invalid()); }
    void reset(Handle handle = invalid()) noexcept {
        const Handle old = std::exchange(handle_, handle);
        if (old != invalid()) Close(old);
    }

private:
    static Handle invalid() noexcept {
        if constexpr (requires { Invalid(); }) {
            return Invalid();
        } else {
            return Invalid;
        }
    }
    Handle handle_ = invalid();
};

namespace handle_detail {
inline void closeKernel(HANDLE h) noexcept { ::CloseHandle(h); }
inline HANDLE invalidFile() noexcept { return INVALID_HANDLE_VALUE; }
inline void destroyWindow(HWND h) noexcept { ::DestroyWindow(h); }
inline void deleteFont(HFONT h) noexcept { ::DeleteObject(h); }
inline void destroyMenu(HMENU h) noexcept { ::DestroyMenu(h); }
inline void destroyIcon(HICON h) noexcept { ::DestroyIcon(h); }
inline void unhook(HHOOK h) noexcept { ::UnhookWindowsHookEx(h); }
inline void findClose(HANDLE h) noexcept { ::FindClose(h); }
}  // namespace handle_detail

using UniqueKernelHandle = UniqueHandle<HANDLE, handle_detail::closeKernel>;
using UniqueFileHandle = UniqueHandle<HANDLE, handle_detail::closeKernel, handle_detail::invalidFile>;
using UniqueWindow = UniqueHandle<HWND, handle_detail::destroyWindow>;
using UniqueFont = UniqueHandle<HFONT, handle_detail::deleteFont>;
using UniqueMenu = UniqueHandle<HMENU, handle_detail::destroyMenu>;
using UniqueIcon = UniqueHandle<HICON, handle_detail::destroyIcon>;
using UniqueHook = UniqueHandle<HHOOK, handle_detail::unhook>;
using UniqueFindHandle = UniqueHandle<HANDLE, handle_detail::findClose, handle_detail::invalidFile>;

}  // namespace calmirande
