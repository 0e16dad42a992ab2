#pragma once
// The one lock the portable code uses. On Windows it is a critical section
// (the C++ runtime of the shipped program is built without a threads
// library, whose imports the oldest supported Windows lacks); elsewhere a
// std::mutex, so that the native tests and ThreadSanitizer see a lock they
// know.

#if defined(_WIN32)
#include <cstddef>
#else
#include <mutex>
#endif

namespace calmirande {

class Mutex {
public:
    Mutex() noexcept;
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() noexcept;
    void unlock() noexcept;

private:
#if defined(_WIN32)
    // A CRITICAL_SECTION, kept opaque so that this header stays free of
    // <windows.h>; sync_win32.cpp checks the size and alignment.
    alignas(void*) unsigned char storage_[sizeof(void*) == 4 ? 24 : 40];
#else
    std::mutex mutex_;
#endif
};

// Scoped ownership of a Mutex.
class LockGuard {
public:
    explicit LockGuard(Mutex& mutex) noexcept : mutex_(mutex) { mutex_.lock(); }
    ~LockGuard() { mutex_.unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    Mutex& mutex_;
};

}  // namespace calmirande
