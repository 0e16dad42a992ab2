#pragma once
// The one window-procedure trampoline of the program. A window class that
// derives from BaseWindow<T> gets `this` bound to its HWND at WM_NCCREATE
// (from lpCreateParams, kept in GWLP_USERDATA) and every later message
// forwarded to T::handleMessage. Nothing throws out of a window procedure:
// an exception there becomes DefWindowProcW's answer.
//
// The HWND is owned by the object (UniqueWindow): destroying the object
// destroys the window. WM_NCDESTROY unbinds it, so a window destroyed by the
// system first never calls into a dead object.

#include <windows.h>

#include "common/unique_handle_win32.h"

namespace calmirande {

// The frame of a window of `style` whose client area is innerWidth x
// innerHeight, centred on `around` (screen coordinates).
inline RECT centredFrame(DWORD style, int innerWidth, int innerHeight, const RECT& around) noexcept {
    RECT frame{0, 0, innerWidth, innerHeight};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = around.left + (around.right - around.left - width) / 2;
    const int y = around.top + (around.bottom - around.top - height) / 2;
    return RECT{x, y, x + width, y + height};
}

inline RECT primaryScreen() noexcept {
    return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

template <typename T>
class BaseWindow {
public:
    BaseWindow() = default;
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;
    virtual ~BaseWindow() = default;

    HWND hwnd() const noexcept { return window_.get(); }

protected:
    // Registers the class once per process (later calls find it registered).
    static bool registerClass(HINSTANCE instance, const wchar_t* className, UINT style = 0,
                              HBRUSH background = nullptr) noexcept {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = style;
        wc.lpfnWndProc = &BaseWindow::windowProcedure;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = background;
        wc.lpszClassName = className;
        return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }

    // Creates the window bound to this object; false when creation fails.
    bool create(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y, int width,
                int height, HWND parent, HMENU menuOrId, HINSTANCE instance) noexcept {
        const HWND created = ::CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent,
                                               menuOrId, instance, this);
        if (created && !window_) window_.reset(created);
        return created != nullptr;
    }

    // A top-level window whose client area is clientWidth x clientHeight,
    // centred on the primary screen.
    bool createCentred(const wchar_t* className, const wchar_t* title, DWORD style, int clientWidth, int clientHeight,
                       HINSTANCE instance) noexcept {
        const RECT frame = centredFrame(style, clientWidth, clientHeight, primaryScreen());
        return create(0, className, title, style, frame.left, frame.top, frame.right - frame.left,
                      frame.bottom - frame.top, nullptr, nullptr, instance);
    }

    LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        return ::DefWindowProcW(hwnd(), message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        T* self = nullptr;
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            self = static_cast<T*>(static_cast<BaseWindow*>(create->lpCreateParams));
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<BaseWindow*>(self)));
            self->window_.reset(hwnd);
        } else {
            self = static_cast<T*>(reinterpret_cast<BaseWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
        }
        if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->window_.release();  // the system is destroying it already
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        }
        try {
            return self->handleMessage(message, wParam, lParam);
        } catch (...) {
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        }
    }

    UniqueWindow window_;
};

// Replaces a control's window procedure (subclassing), for controls whose
// messages the program watches. The previous procedure is kept in the
// control's "OriginProc" property and the owner object in another; the new
// procedure passes messages on with callPrevious, which also puts the
// previous procedure back when the control is destroyed (WM_NCDESTROY).
// Destroying this object restores it too, if the control still exists.
class ControlSubclass {
public:
    ControlSubclass() = default;
    ControlSubclass(HWND control, WNDPROC procedure, void* owner) noexcept : control_(control) {
        ::SetPropW(control, OwnerProperty, owner);
        const auto previous = ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
        ::SetPropW(control, OriginProperty, reinterpret_cast<HANDLE>(previous));
    }
    ~ControlSubclass() {
        if (control_ && ::IsWindow(control_)) restore(control_);
    }
    ControlSubclass(const ControlSubclass&) = delete;
    ControlSubclass& operator=(const ControlSubclass&) = delete;

    template <typename Owner>
    static Owner* ownerOf(HWND control) noexcept {
        return static_cast<Owner*>(::GetPropW(control, OwnerProperty));
    }
    static LRESULT callPrevious(HWND control, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        const auto previous = reinterpret_cast<WNDPROC>(::GetPropW(control, OriginProperty));
        if (message == WM_NCDESTROY) restore(control);
        if (!previous) return ::DefWindowProcW(control, message, wParam, lParam);
        return ::CallWindowProcW(previous, control, message, wParam, lParam);
    }

private:
    static constexpr const wchar_t* OriginProperty = L"OriginProc";
    static constexpr const wchar_t* OwnerProperty = L"CalmirandeOwner";

    static void restore(HWND control) noexcept {
        const HANDLE previous = ::GetPropW(control, OriginProperty);
        if (!previous) return;
        ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        ::RemovePropW(control, OriginProperty);
        ::RemovePropW(control, OwnerProperty);
    }

    HWND control_ = nullptr;  // we don't own it: its parent window does
};

}  // namespace calmirande
