#pragma once
// Detached worker threads without std::thread: the shipped program's C++
// runtime has no threads library (its imports need a newer Windows than the
// oldest one supported). _beginthreadex sets up the C runtime's per-thread
// data, which CreateThread would leave to chance.

#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace calmirande {

namespace thread_detail {
using ThreadEntry = unsigned(__stdcall*)(void*);
// Starts `entry(context)` and closes the thread's handle. False when no
// thread could be made.
bool startThread(ThreadEntry entry, void* context) noexcept;

template <typename Body>
unsigned __stdcall runBody(void* context) {
    const std::unique_ptr<Body> body(static_cast<Body*>(context));
    (*body)();  // must be noexcept: nothing may leave a thread's entry
    return 0;
}
}  // namespace thread_detail

// Runs `body` (a noexcept callable, taken by value) on a new detached thread.
// False when the thread could not be started; `body` has then not run.
template <typename Body>
bool startDetachedThread(Body&& body) noexcept {
    using Stored = std::decay_t<Body>;
    static_assert(std::is_nothrow_invocable_v<Stored&>, "a thread's body must not throw");
    Stored* owned = nullptr;
    try {
        owned = new Stored(std::forward<Body>(body));
    } catch (...) {
        return false;
    }
    if (!thread_detail::startThread(&thread_detail::runBody<Stored>, owned)) {
        delete owned;
        return false;
    }
    return true;
}

}  // namespace calmirande
