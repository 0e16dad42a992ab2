#include "common/sync.h"

namespace calmirande {

Mutex::Mutex() noexcept = default;
Mutex::~Mutex() = default;
void Mutex::lock() noexcept { mutex_.lock(); }
void Mutex::unlock() noexcept { mutex_.unlock(); }

}  // namespace calmirande
