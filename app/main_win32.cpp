#include <windows.h>

// The program's entry point. The tray, the hooks and the windows join here as
// they are built; for now the process starts and ends cleanly.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
