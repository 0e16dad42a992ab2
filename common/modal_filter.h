#pragma once
// Which messages a modal child's own loop lets through while the child is
// open. The child takes everything; every other window of the program keeps
// painting, its timers and the writing aid's follow-up, but loses the user's input,
// its commands and the tray icon's clicks, which are taken from the queue
// and dropped. Message numbers are Win32's; the decision is portable.

#include <cstdint>

namespace calmirande {

enum class ModalDisposition { Dispatch, Drop };

ModalDisposition modalDisposition(std::uint32_t message, bool forModalChild, std::uint32_t trayCallbackMessage);

}  // namespace calmirande
