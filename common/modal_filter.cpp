#include "common/modal_filter.h"

namespace calmirande {
namespace {

// Win32's message numbers, spelled out so that this stays portable.
constexpr std::uint32_t WmClose = 0x0010;
constexpr std::uint32_t WmNcMouseFirst = 0x00A0;  // WM_NCMOUSEMOVE
constexpr std::uint32_t WmNcMouseLast = 0x00AD;   // WM_NCXBUTTONDBLCLK
constexpr std::uint32_t WmKeyFirst = 0x0100;
constexpr std::uint32_t WmKeyLast = 0x0109;
constexpr std::uint32_t WmCommand = 0x0111;
constexpr std::uint32_t WmSysCommand = 0x0112;
constexpr std::uint32_t WmMouseFirst = 0x0200;
constexpr std::uint32_t WmMouseLast = 0x020E;
constexpr std::uint32_t WmContextMenu = 0x007B;

}  // namespace

ModalDisposition modalDisposition(std::uint32_t message, bool forModalChild, std::uint32_t trayCallbackMessage) {
    if (forModalChild) return ModalDisposition::Dispatch;
    const bool input = (message >= WmKeyFirst && message <= WmKeyLast) ||
                       (message >= WmMouseFirst && message <= WmMouseLast) ||
                       (message >= WmNcMouseFirst && message <= WmNcMouseLast) || message == WmContextMenu;
    const bool command = message == WmCommand || message == WmSysCommand || message == WmClose;
    if (input || command || message == trayCallbackMessage) return ModalDisposition::Drop;
    return ModalDisposition::Dispatch;
}

}  // namespace calmirande
