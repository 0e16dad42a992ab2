#include "app/rich_text_win32.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>

namespace calmirande {
namespace {

// The class of the first rich-edit library that loads, or null. Loaded once;
// never freed, since the controls' window procedure lives in the library.
const wchar_t* richEditClass() noexcept {
    static const wchar_t* const className = []() noexcept -> const wchar_t* {
        if (::LoadLibraryW(L"riched20.dll")) return RICHEDIT_CLASSW;
        if (::LoadLibraryW(L"riched32.dll")) return L"RichEdit";
        return nullptr;
    }();
    return className;
}

struct StreamSource {
    std::string_view rest;
};

// Called by the control, on this thread, during EM_STREAMIN.
DWORD CALLBACK readChunk(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) noexcept {
    auto* source = reinterpret_cast<StreamSource*>(cookie);
    const std::size_t count = std::min(source->rest.size(), static_cast<std::size_t>(std::max(wanted, LONG{0})));
    std::memcpy(buffer, source->rest.data(), count);
    source->rest.remove_prefix(count);
    *given = static_cast<LONG>(count);
    return 0;
}

}  // namespace

bool streamRtf(HWND field, std::string_view rtf) noexcept {
    if (!field) return false;
    StreamSource source{rtf};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = &readChunk;
    ::SendMessageW(field, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    return stream.dwError == 0;
}

HWND createRichTextField(HWND parent, int x, int y, int width, int height, int id, std::string_view rtf) noexcept {
    const wchar_t* className = richEditClass();
    if (!className) return nullptr;
    const HWND field = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, className, L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, x, y, width,
        height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (!field) return nullptr;
    streamRtf(field, rtf);
    // No target device and a line width of 0: lines wrap at the field's width.
    ::SendMessageW(field, EM_SETTARGETDEVICE, 0, 0);
    return field;
}

}  // namespace calmirande
