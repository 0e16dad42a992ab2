// The baseline of the e2e memory figure: as small as a window program gets
// with the product's mandatory start-up (COM, the common controls, the
// rich-edit library that its licence and help need), built like the product
// (GUI subsystem, static runtime). One hidden top-level window of class
// CalmirandeE2eMinimal and a GetMessage loop; it ends when the window gets
// WM_CLOSE.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

namespace {

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    const bool com = SUCCEEDED(CoInitialize(nullptr));
    LoadLibraryW(L"riched20.dll");
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"CalmirandeE2eMinimal";
    if (!RegisterClassW(&windowClass)) return 1;
    if (!CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                         instance, nullptr)) {
        return 1;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (com) CoUninitialize();
    return 0;
}
