#include "common/sync.h"

#include <windows.h>

#include <new>

namespace calmirande {

namespace {
CRITICAL_SECTION* section(unsigned char* storage) { return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage)); }
}  // namespace

Mutex::Mutex() noexcept {
    static_assert(sizeof(storage_) == sizeof(CRITICAL_SECTION));
    static_assert(alignof(Mutex) >= alignof(CRITICAL_SECTION));
    // Cannot fail from Windows Vista on; on 2000 and XP it raises only when
    // memory is exhausted, as any allocation would.
    ::InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}

Mutex::~Mutex() { ::DeleteCriticalSection(section(storage_)); }
void Mutex::lock() noexcept { ::EnterCriticalSection(section(storage_)); }
void Mutex::unlock() noexcept { ::LeaveCriticalSection(section(storage_)); }

}  // namespace calmirande
