// calmirande_e2e_probe: the test-only console program the Wine end-to-end
// scripts drive. It runs the real list loading, expansion planning and
// delivery code against real windows, and reads back what those windows got.
//
//   deliver --workdir DIR --list NAME.dat --word W --trigger space|tab|enter
//           [--plan-out FILE] [--barrier off]
//       Plans the expansion of W from DIR\Listes\NAME.dat and sends it into
//       the input stream in one SendInput call, as the tray program's worker
//       does (without its guards: no hook counts keys here). Exit 0 when
//       planned and sent whole, 3 when W is not in the list, 2 when the list
//       cannot be loaded, 5 when SendInput took fewer events. The plan file
//       holds what a target is dispatched for it. "--barrier off" posts the
//       presses as messages 5 ms apart instead: the old delivery, kept to
//       show that the lagging-target cases catch the reordering it causes.
//   read-notepad --out FILE
//       Writes the text of Wine's notepad edit control to FILE as UTF-8,
//       byte for byte (CR LF kept).
//   read-text --class C --out FILE [--id N]
//       The same for the first child of the top-level window of class C
//       (the key pad below), or for its descendant of control id N.
//   list-rows --class C --id N --out FILE
//       The rows of the list view of control id N, one "column0 TAB
//       column1" line each, as UTF-8; prints "rows N" and "selected S"
//       (-1 for none).
//   column-clicks --class C --id N --while FILE [--every-ms M]
//       While FILE exists, clicks every M ms (default 150) the title of
//       column 0, then 1, then 0... of list view N of window C, as a press
//       and a release posted to its header: the window is not activated and
//       the keyboard focus stays where it is. Prints "clicks N".
//   point --class C --id N [--row R]
//       Prints the screen position "X Y" of the middle of that control, or
//       of row R of that list view (near its left end), for xdotool to click.
//   record --out FILE [--ready FILE] [--stall-first-ms N] [--lag-ms L]
//          [--idle-ms M] [--timeout-ms T]
//       Shows a window whose focused child records every WM_KEYDOWN and
//       WM_CHAR it is dispatched. The first one is held N ms and every one
//       L ms (a lagging target). The sequence is written once no input came
//       for M ms after the first one, on WM_CLOSE, or after T ms in all.
//       "--show-typed 1" adds to each line "typed" or "posted" (whether its
//       lParam holds a scan code) and the milliseconds since the start.
//   keypad [--ready FILE] [--stall-first-ms N] [--lag-ms L]
//       A text field that acts on key presses the way browsers, Scintilla,
//       office suites, Java and Qt do: Backspace, Enter, Tab and the arrows
//       act on WM_KEYDOWN; a WM_CHAR inserts a printable character and a
//       control character is ignored; the WM_CHAR queued behind a key-down is
//       taken as that key's own (as Chromium does), so a burst of posted
//       messages garbles it. Delete empties it (a key that also breaks the
//       word the program captures, as the tests need). Held N ms on its
//       first key message (and on the first after each Delete) and L ms on
//       every one. Its text is read with read-text
//       --class CalmirandeE2eKeyPad; it ends on WM_CLOSE.
//   bare-hook --out FILE [--ready FILE] [--timeout-ms T]
//       A low-level keyboard hook that only makes the calls the program's
//       hook cannot do without (GetKeyState, GetKeyboardState, ToUnicode,
//       CallNextHookEx) and times its body for each key press, as the
//       program times its own. Writes "bare_samples N", "bare_p50_us X" and
//       "bare_p99_us Y" on WM_CLOSE to its hidden window of class
//       CalmirandeE2eBareHook, or after T ms (default 600000). With
//       --sleep-ms S it first sleeps S ms on every event, injected or not.
//   foreground [--out FILE]
//       Prints the class and title of the foreground window and of its focus.
//   window --class C
//       Prints the state of the first top-level window of class C, one
//       "name value" a line: visible, rect (left top right bottom), topmost,
//       layered, alpha (-1 when not layered with LWA_ALPHA), pid. Exit 4 when
//       there is none, 6 when it exists but is hidden (so a script can poll
//       for "shown" with the exit code alone).
//   close-window --class C
//       Posts WM_CLOSE to the first top-level window of class C (the key
//       pad, the bare hook; the program's windows only hide or close).
//   wait-idle --class C [--timeout-ms T]
//       Waits until the process owning the first top-level window of class C
//       waits for input with nothing pending (WaitForInputIdle), then until
//       that window's thread has answered two messages: a command posted to
//       it before is handled by then. The program installs its hooks once its
//       list is loaded. Exit 0 idle, 4 no window, 5 timed out.
//   keylog --out FILE [--ready FILE] [--timeout-ms T]
//       Installs a WH_KEYBOARD_LL hook, as the program does, and writes what
//       it sees after T ms (default 3000): one "DOWN|UP vk scan flags unit
//       extra" line per key, vk/scan/flags in hex, the ToUnicode result of
//       the hook's own thread (the unit in hex, "dead", or "-" for no
//       character) and dwExtraInfo in hex (43414C4D the program's blocks,
//       43414C52 its replays of held keys).
//       Shows what reaches the program's hook on this X keyboard setup.
//   command --class C --id N
//       Posts WM_COMMAND N with no control (lParam 0) to the first top-level
//       window of class C: a tray menu command, as the menu sends it.
//   post --class C --message M [--wparam W] [--lparam L]
//       Posts any message (decimal numbers) to that window; M may also be
//       a registered message's name ("TaskbarCreated", the shell's, or the
//       test build's "CalmirandeE2eLoseHooks").
//   set-text --class C --id N --text T
//       Sends WM_SETTEXT T to control N of that window, as automation and
//       accessibility tools set a field.
//   time-text --expect FILE --out FILE [--ready FILE] [--timeout-ms N]
//       Times, from the user's next Space (this probe's own low-level hook)
//       to notepad holding FILE's text (UTF-8), polling about every
//       millisecond; writes "space_to_text_ms X". Exit 1 on the timeout.
//   clipboard --text T
//       Puts T on the clipboard as Unicode text.
//   tray-icon --class C [--id N] [--delete 1]
//       Whether the notification area holds icon N (default 1) of that
//       window: prints "present" (exit 0) or "absent" (exit 6). With
//       --delete, takes it away as a restarting shell loses it.
//   tree --class C
//       Prints the window and every descendant, one a line, depth-first:
//       "depth class id visible x y width height text" (position in the
//       top-level window's client coordinates), after a "title T" and a
//       "client W H" line.
//       Rich-edit texts are left out (read-rich gives them).
//   read-rich --class C --out FILE [--index N]
//       Writes the plain text (WM_GETTEXT: the control's own rendering of its
//       RTF) of the N-th rich-edit descendant (default 0) as UTF-8.
//   click --class C --id N
//       Posts BM_CLICK to the descendant button with control id N.
//   tab-focus --class C --index N
//       Moves the focus of the window's tab control to tab N, which selects
//       it and notifies the parent as a click does.
//   show --class C --how maximize|restore|minimize
//       ShowWindow on that window.
//   activate --class C
//       SetForegroundWindow on that window (Wine lets any process do so).
//   count --class C
//       Prints how many top-level windows of class C exist.
//   key-state --vk N
//       Prints "async D" (GetAsyncKeyState: 1 when the system sees virtual
//       key N down) for the e2e's checks of what the program let by.
//   inject --vk N [--edge press|down|up] [--after-space 1 --ready FILE]
//          [--timeout-ms T]
//       Another program's key (SendInput, no signature of the tray
//       program's): virtual key N (decimal) pressed and released, or only
//       pressed or released. With --after-space, a hook of its own first
//       waits (T ms at most, default 10000) for the user's next Space, and
//       the key goes in right after it, while the program handles that Space.
//   inject --keys "VKd VKu ..." [--after-space 1 ...]
//       The same for a sequence of key edges (decimal virtual key, d for
//       down, u for up), all in one SendInput call.
//   message-box --title T [--out FILE] [--answer ok|yes|no]
//       Finds a shown message box (dialog class #32770) titled T, prints
//       "pid P" and its message text, and with --answer presses that
//       button. Exit 4 when there is none.
//   memory --class C
//       The private bytes, commit charge and working set of the process
//       owning the window: "private_bytes N", "pagefile_usage N" and
//       "working_set N" (Wine 8 leaves the first at 0 for another process).
//
// Sequence files, one message a line, code in upper-case hex:
//   KEYDOWN 25
//   CHAR 42

#include <windows.h>

#include <cwctype>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <exception>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/text.h"
#include "common/unique_handle_win32.h"
#include "common/wide_win32.h"
#include "engine/delivery_win32.h"
#include "engine/expansion_plan.h"
#include "lists/file_store_win32.h"
#include "lists/list_file.h"

namespace {

// What a target is dispatched, as the sequence files name it.
enum class MessageKind { KeyDown, Char };

constexpr int ExitOk = 0;
constexpr int ExitUsage = 1;
constexpr int ExitLoadFailed = 2;
constexpr int ExitUnknownWord = 3;
constexpr int ExitNoWindow = 4;
constexpr int ExitFailure = 5;
constexpr int ExitHidden = 6;

using calmirande::UniqueWindow;

struct RecordedMessage {
    MessageKind kind;
    std::uint16_t code;
    bool fromKeyboard;  // a key the user typed (its lParam holds a scan code), not a posted one
    DWORD tick;
};

std::string sequenceLine(MessageKind kind, std::uint16_t code) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s %X\n", kind == MessageKind::KeyDown ? "KEYDOWN" : "CHAR",
                  static_cast<unsigned>(code));
    return buffer;
}

// Writes through a temporary file and a rename, so a script polling for FILE
// never reads it half written.
bool writeFileAtomically(const std::wstring& path, const std::string& bytes) {
    const std::wstring temporary = path + L".part";
    {
        std::ofstream out(temporary.c_str(), std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) return false;
    }
    return MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::string toUtf8(std::wstring_view text) { return calmirande::utf16ToUtf8(calmirande::fromWide(text)); }

void printLine(std::wstring_view text) {
    // UTF-8 bytes reach the Unix side unchanged. The program's messages use a
    // lone CR as a line break (message boxes show it so); a terminal would
    // overwrite the line instead.
    std::string bytes = toUtf8(text) + "\n";
    for (char& byte : bytes) {
        if (byte == '\r') byte = '\n';
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

// --name value pairs after the subcommand.
class Options {
public:
    Options(int argc, wchar_t** argv, int first) {
        for (int i = first; i < argc; ++i) {
            std::wstring_view arg = argv[i];
            if (arg.substr(0, 2) != L"--" || i + 1 >= argc) {
                bad_ = true;
                return;
            }
            values_[std::wstring(arg.substr(2))] = argv[++i];
        }
    }
    bool bad() const { return bad_; }
    std::optional<std::wstring> get(const wchar_t* name) const {
        auto it = values_.find(name);
        if (it == values_.end()) return std::nullopt;
        return it->second;
    }
    unsigned number(const wchar_t* name, unsigned fallback) const {
        auto value = get(name);
        return value ? static_cast<unsigned>(std::wcstoul(value->c_str(), nullptr, 10)) : fallback;
    }

private:
    std::map<std::wstring, std::wstring> values_;
    bool bad_ = false;
};

// ---------------------------------------------------------------- deliver

// The old delivery, kept only as the control of the ordering cases: each
// press posted to the focused control as a WM_KEYDOWN (a virtual key) or a
// WM_CHAR (a text unit), 5 ms apart. A target's TranslateMessage queues a
// key-down's character behind the messages already posted, so a stalled
// target sees them out of order.
void postAtPlainPace(const calmirande::ExpansionPlan& plan) {
    const HWND focus = reinterpret_cast<HWND>(calmirande::currentFocus().focus);
    if (!focus) return;
    for (const calmirande::InputEvent& event : plan.events) {
        if (event.keyUp) continue;
        if (event.kind == calmirande::InputKind::Unicode) PostMessageW(focus, WM_CHAR, event.code, 0);
        else PostMessageW(focus, WM_KEYDOWN, event.code, 0);
        Sleep(5);
    }
}

// What a target with a standard loop is dispatched for the plan: a key-down
// for each press (VK_PACKET for a text unit) and the character of a text
// unit; run.sh adds the characters TranslateMessage makes of the virtual
// keys.
std::string planLines(const calmirande::ExpansionPlan& plan) {
    std::string lines;
    for (const calmirande::InputEvent& event : plan.events) {
        if (event.keyUp) continue;
        if (event.kind == calmirande::InputKind::Unicode) {
            lines += sequenceLine(MessageKind::KeyDown, VK_PACKET);
            lines += sequenceLine(MessageKind::Char, event.code);
        } else {
            lines += sequenceLine(MessageKind::KeyDown, event.code);
        }
    }
    return lines;
}

int runDeliver(const Options& options) {
    const auto workdir = options.get(L"workdir");
    const auto list = options.get(L"list");
    const auto word = options.get(L"word");
    const auto trigger = options.get(L"trigger");
    if (!workdir || !list || !word || !trigger) return ExitUsage;

    std::uint32_t triggerKey = 0;
    if (*trigger == L"space") triggerKey = VK_SPACE;
    else if (*trigger == L"tab") triggerKey = VK_TAB;
    else if (*trigger == L"enter") triggerKey = VK_RETURN;
    else return ExitUsage;

    if (!SetCurrentDirectoryW(workdir->c_str())) {
        printLine(L"cannot enter " + *workdir);
        return ExitLoadFailed;
    }
    calmirande::Win32FileStore files;
    calmirande::ActiveList active;
    const calmirande::OperationResult loaded = calmirande::loadActiveList(files, calmirande::fromWide(*list), active);
    if (!loaded.succeeded) {
        printLine(calmirande::toWide(loaded.message));
        return ExitLoadFailed;
    }

    std::optional<calmirande::ExpansionPlan> plan =
        calmirande::planExpansion(calmirande::fromWide(*word), triggerKey, *active.table);
    if (!plan) {
        printLine(L"no expansion for " + *word);
        return ExitUnknownWord;
    }
    const auto barrier = options.get(L"barrier");
    if (barrier && *barrier != L"off") return ExitUsage;

    if (const auto planOut = options.get(L"plan-out")) {
        if (!writeFileAtomically(*planOut, planLines(*plan))) {
            printLine(L"cannot write " + *planOut);
            return ExitUsage;
        }
    }
    if (barrier) {
        postAtPlainPace(*plan);
    } else {
        const std::size_t inserted = calmirande::sendInputBlock(plan->events);
        if (inserted != plan->events.size()) {
            printLine(L"SendInput inserted " + std::to_wstring(inserted) + L" of " + std::to_wstring(plan->events.size()) +
                      L" events");
            return ExitFailure;
        }
    }
    return ExitOk;
}

// ---------------------------------------------------------------- read-notepad

// Runs this thread's messages (its low-level hooks are called inside their
// retrieval) for up to `timeoutMs`, waking at least every `wakeMs`; stops
// early, returning true, once `done` says so.
template <typename Done>
bool pumpMessagesUntil(DWORD timeoutMs, DWORD wakeMs, Done done) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < timeoutMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wakeMs, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (done()) return true;
    }
    return false;
}

// ---------------------------------------------------------------- time-text

// The first Space the user presses (not injected), on the QueryPerformance-
// Counter clock; 0 until then. Written by the hook, on this thread.
LONGLONG gSpaceAt = 0;

LRESULT CALLBACK spaceTimeProc(int nCode, WPARAM wParam, LPARAM lParam) noexcept {
    if (nCode == HC_ACTION && gSpaceAt == 0 && wParam == WM_KEYDOWN) {
        const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if (key.vkCode == VK_SPACE && !(key.flags & LLKHF_INJECTED)) {
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            gSpaceAt = now.QuadPart;
        }
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

// Cross-process WM_GETTEXT: the system copies the text into our buffer.
std::wstring notepadText(HWND edit) {
    const LRESULT length = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

// time-text: from the user's Space (seen by this probe's own low-level hook)
// to notepad holding the expected text, polled every millisecond or so.
int runTimeText(const Options& options) {
    const auto expectPath = options.get(L"expect");
    const auto out = options.get(L"out");
    if (!expectPath || !out) return ExitUsage;
    std::string bytes;
    if (FILE* in = _wfopen(expectPath->c_str(), L"rb")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, got);
        std::fclose(in);
    } else {
        return ExitUsage;
    }
    std::wstring expected(bytes.size(), L'\0');
    expected.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), expected.data(), static_cast<int>(expected.size()))));
    const HWND notepad = FindWindowW(L"Notepad", nullptr);
    const HWND edit = notepad ? FindWindowExW(notepad, nullptr, L"Edit", nullptr) : nullptr;
    if (edit == nullptr) return ExitNoWindow;
    calmirande::UniqueHook hook(SetWindowsHookExW(WH_KEYBOARD_LL, spaceTimeProc, GetModuleHandleW(nullptr), 0));
    if (!hook.get()) return ExitFailure;
    if (const auto ready = options.get(L"ready")) writeFileAtomically(*ready, "ready\n");
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    if (pumpMessagesUntil(options.number(L"timeout-ms", 10000), 1,
                          [&] { return gSpaceAt != 0 && notepadText(edit) == expected; })) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        char line[64];
        std::snprintf(line, sizeof line, "space_to_text_ms %.1f\n",
                      static_cast<double>(now.QuadPart - gSpaceAt) * 1000.0 / static_cast<double>(frequency.QuadPart));
        return writeFileAtomically(*out, line) ? ExitOk : ExitFailure;
    }
    return ExitFailure;
}

int runReadNotepad(const Options& options) {
    const auto out = options.get(L"out");
    if (!out) return ExitUsage;
    const HWND notepad = FindWindowW(L"Notepad", nullptr);
    const HWND edit = notepad ? FindWindowExW(notepad, nullptr, L"Edit", nullptr) : nullptr;
    if (edit == nullptr) {
        printLine(L"notepad's edit control not found");
        return ExitNoWindow;
    }
    return writeFileAtomically(*out, toUtf8(notepadText(edit))) ? ExitOk : ExitUsage;
}

HWND controlWithId(HWND top, int id);

int runReadText(const Options& options) {
    const auto out = options.get(L"out");
    const auto className = options.get(L"class");
    if (!out || !className) return ExitUsage;
    const HWND frame = FindWindowW(className->c_str(), nullptr);
    HWND field = frame ? GetWindow(frame, GW_CHILD) : nullptr;
    if (frame && options.get(L"id")) field = controlWithId(frame, static_cast<int>(options.number(L"id", 0)));
    if (field == nullptr) return ExitNoWindow;
    const LRESULT length = SendMessageW(field, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(field, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return writeFileAtomically(*out, toUtf8(text)) ? ExitOk : ExitUsage;
}

// ---------------------------------------------------------------- foreground

std::wstring describeWindow(HWND hwnd) {
    if (hwnd == nullptr) return L"(none)";
    wchar_t className[256] = L"";
    wchar_t title[256] = L"";
    GetClassNameW(hwnd, className, 256);
    GetWindowTextW(hwnd, title, 256);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return std::wstring(className) + L" \"" + title + L"\" pid " + std::to_wstring(pid);
}

int runForeground(const Options& options) {
    const HWND foreground = GetForegroundWindow();
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    HWND focus = nullptr;
    if (foreground != nullptr && GetGUIThreadInfo(GetWindowThreadProcessId(foreground, nullptr), &info)) {
        focus = info.hwndFocus;
    }
    const std::wstring text = L"foreground: " + describeWindow(foreground) + L"\nfocus: " + describeWindow(focus);
    printLine(text);
    if (const auto out = options.get(L"out")) return writeFileAtomically(*out, toUtf8(text) + "\n") ? ExitOk : ExitUsage;
    return ExitOk;
}

// ---------------------------------------------------------------- window, close-window, wait-idle

HWND findTopLevel(const Options& options) {
    const auto className = options.get(L"class");
    return className ? FindWindowW(className->c_str(), nullptr) : nullptr;
}

int runWindow(const Options& options) {
    if (!options.get(L"class")) return ExitUsage;
    const HWND hwnd = findTopLevel(options);
    if (hwnd == nullptr) {
        printLine(L"no window of class " + *options.get(L"class"));
        return ExitNoWindow;
    }
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    const bool layered = (exStyle & WS_EX_LAYERED) != 0;
    int alpha = -1;
    BYTE alphaByte = 0;
    DWORD flags = 0;
    if (layered && GetLayeredWindowAttributes(hwnd, nullptr, &alphaByte, &flags) && (flags & LWA_ALPHA)) {
        alpha = alphaByte;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    const bool visible = IsWindowVisible(hwnd) != FALSE;
    printLine(L"visible " + std::to_wstring(visible ? 1 : 0) + L"\nrect " + std::to_wstring(rect.left) + L" " +
              std::to_wstring(rect.top) + L" " + std::to_wstring(rect.right) + L" " + std::to_wstring(rect.bottom) +
              L"\ntopmost " + std::to_wstring((exStyle & WS_EX_TOPMOST) ? 1 : 0) + L"\nlayered " +
              std::to_wstring(layered ? 1 : 0) + L"\nalpha " + std::to_wstring(alpha) + L"\npid " +
              std::to_wstring(pid));
    return visible ? ExitOk : ExitHidden;
}

int runCloseWindow(const Options& options) {
    if (!options.get(L"class")) return ExitUsage;
    const HWND hwnd = findTopLevel(options);
    if (hwnd == nullptr) return ExitNoWindow;
    return PostMessageW(hwnd, WM_CLOSE, 0, 0) ? ExitOk : ExitFailure;
}

int runWaitIdle(const Options& options) {
    if (!options.get(L"class")) return ExitUsage;
    const HWND hwnd = findTopLevel(options);
    if (hwnd == nullptr) return ExitNoWindow;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    calmirande::UniqueKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process.get()) return ExitNoWindow;
    const DWORD timeout = options.number(L"timeout-ms", 10000);
    if (WaitForInputIdle(process.get(), timeout) != 0) return ExitFailure;
    // The process is idle as soon as any of its threads waits for input, and
    // the program's hooks thread always does. A message sent to the window is
    // answered only when its own thread next looks at its queue: the first
    // answer comes before the messages already posted to it, the second after
    // the first of them is handled, or once it shows a box.
    for (int round = 0; round < 2; ++round) {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, timeout, &answer)) return ExitFailure;
    }
    return ExitOk;
}

// ---------------------------------------------------------------- keylog

// Lines of the key log. Only the hook's thread (the main thread) touches it.
std::string* gKeyLog = nullptr;

LRESULT CALLBACK keyLogProc(int nCode, WPARAM wParam, LPARAM lParam) noexcept {
    if (nCode == HC_ACTION && gKeyLog) {
        const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
        char unit[16] = "-";
        if (down) {
            BYTE state[256];
            GetKeyState(0);
            GetKeyboardState(state);
            wchar_t units[4];
            const int result = ToUnicode(key.vkCode, key.scanCode, state, units, 4, 0);
            if (result < 0) std::snprintf(unit, sizeof unit, "dead");
            else if (result > 0) std::snprintf(unit, sizeof unit, "%X", static_cast<unsigned>(units[0]));
        }
        char line[112];
        std::snprintf(line, sizeof line, "%s %lX %lX %lX %s %lX\n", down ? "DOWN" : "UP", key.vkCode, key.scanCode,
                      key.flags, unit, static_cast<unsigned long>(key.dwExtraInfo));
        try {
            *gKeyLog += line;
        } catch (...) {
        }
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

int runKeyLog(const Options& options) {
    const auto out = options.get(L"out");
    if (!out) return ExitUsage;
    std::string log;
    gKeyLog = &log;
    calmirande::UniqueHook hook(SetWindowsHookExW(WH_KEYBOARD_LL, keyLogProc, GetModuleHandleW(nullptr), 0));
    if (!hook.get()) return ExitFailure;
    if (const auto ready = options.get(L"ready")) writeFileAtomically(*ready, "ready\n");
    pumpMessagesUntil(options.number(L"timeout-ms", 3000), 20, [] { return false; });
    hook.reset();
    gKeyLog = nullptr;
    return writeFileAtomically(*out, log) ? ExitOk : ExitFailure;
}

// ---------------------------------------------------------------- record

// State of the recorder. Only the process's single GUI thread touches it.
struct Recorder {
    std::wstring outPath;
    std::optional<std::wstring> readyPath;
    unsigned stallFirstMs = 0;
    unsigned lagMs = 0;
    bool showKeyboard = false;
    unsigned idleMs = 1500;
    unsigned timeoutMs = 60000;
    std::vector<RecordedMessage> received;
    DWORD startTick = 0;
    DWORD lastInputTick = 0;
    bool written = false;
    HWND child = nullptr;
};

Recorder* gRecorder = nullptr;

constexpr UINT_PTR IdleTimer = 1;
constexpr wchar_t FrameClass[] = L"CalmirandeE2eRecorder";
constexpr wchar_t ChildClass[] = L"CalmirandeE2eRecorderInput";

// Runs inside the window procedure: nothing may throw out of it. A sequence
// that cannot be written shows up as a missing file in the script.
void writeRecording() noexcept {
    Recorder& recorder = *gRecorder;
    if (recorder.written) return;
    recorder.written = true;
    try {
        std::string lines;
        for (const RecordedMessage& message : recorder.received) {
            std::string line = sequenceLine(message.kind, message.code);
            if (recorder.showKeyboard) {
                line.pop_back();
                line += (message.fromKeyboard ? " typed " : " posted ") + std::to_string(message.tick - recorder.startTick) + "\n";
            }
            lines += line;
        }
        writeFileAtomically(recorder.outPath, lines);
    } catch (...) {
    }
}

LRESULT CALLBACK childProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_CHAR) {
        Recorder& recorder = *gRecorder;
        const bool first = recorder.received.empty();
        try {
            recorder.received.push_back({message == WM_KEYDOWN ? MessageKind::KeyDown : MessageKind::Char,
                                         static_cast<std::uint16_t>(wParam), lParam != 0, GetTickCount()});
        } catch (...) {
            // Out of memory: the sequence comes out short and the comparison fails.
        }
        // A target that is busy when the expansion starts: everything else
        // queues up behind this message meanwhile.
        if (first && recorder.stallFirstMs > 0) Sleep(recorder.stallFirstMs);
        if (recorder.lagMs > 0) Sleep(recorder.lagMs);
        recorder.lastInputTick = GetTickCount();
        return 0;
    }
    if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFOCUS:
            if (gRecorder->child) SetFocus(gRecorder->child);
            return 0;
        case WM_TIMER: {
            Recorder& recorder = *gRecorder;
            const DWORD now = GetTickCount();
            const bool idle = !recorder.received.empty() && now - recorder.lastInputTick >= recorder.idleMs;
            if (idle || now - recorder.startTick >= recorder.timeoutMs) DestroyWindow(hwnd);
            return 0;
        }
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            writeRecording();
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// Makes `hwnd` the foreground window with the focus on its child. A freshly
// started process that shows its first window normally gets the foreground
// by itself; the other calls cover a desktop where something else holds it.
bool takeForeground(HWND hwnd, HWND child) {
    ShowWindow(hwnd, SW_SHOWNORMAL);
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(hwnd);
    SetActiveWindow(hwnd);
    SetFocus(child);
    return GetForegroundWindow() == hwnd && GetFocus() == child;
}

// A top-level frame with one focused child field: the recorder and the key
// pad are both made so.
struct InputWindow {
    UniqueWindow frame;
    HWND field = nullptr;  // destroyed with the frame
};

std::optional<InputWindow> createInputWindow(const wchar_t* frameClassName, WNDPROC frameProcedure,
                                             const wchar_t* fieldClassName, WNDPROC fieldProcedure,
                                             const wchar_t* title, int x, int y, int width, int height) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW frameClass{};
    frameClass.lpfnWndProc = frameProcedure;
    frameClass.hInstance = instance;
    frameClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    frameClass.lpszClassName = frameClassName;
    WNDCLASSW fieldClass = frameClass;
    fieldClass.lpfnWndProc = fieldProcedure;
    fieldClass.lpszClassName = fieldClassName;
    if (!RegisterClassW(&frameClass) || !RegisterClassW(&fieldClass)) return std::nullopt;

    InputWindow window;
    window.frame.reset(CreateWindowExW(0, frameClassName, title, WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr,
                                       nullptr, instance, nullptr));
    if (!window.frame.get()) return std::nullopt;
    window.field = CreateWindowExW(WS_EX_CLIENTEDGE, fieldClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10,
                                   width - 40, height - 80, window.frame.get(), nullptr, instance, nullptr);
    if (!window.field) return std::nullopt;
    return window;
}

// A standard loop (GetMessage, TranslateMessage, DispatchMessage) until
// WM_QUIT. The ready file is written only once the frame is really the
// foreground with the focus on its field: a delivery before that would go
// elsewhere. Until then the loop wakes every 50 ms to try again, after the
// activation messages ran.
void runInputLoop(const InputWindow& window, std::optional<std::wstring> readyPath) {
    bool ready = takeForeground(window.frame.get(), window.field);
    MSG msg;
    while (!ready) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        ready = takeForeground(window.frame.get(), window.field);
    }
    if (readyPath) writeFileAtomically(*readyPath, "ready\n");
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int runRecord(const Options& options) {
    Recorder recorder;
    const auto out = options.get(L"out");
    if (!out) return ExitUsage;
    recorder.outPath = *out;
    recorder.readyPath = options.get(L"ready");
    recorder.stallFirstMs = options.number(L"stall-first-ms", 0);
    recorder.lagMs = options.number(L"lag-ms", 0);
    recorder.showKeyboard = options.number(L"show-typed", 0) != 0;
    recorder.idleMs = options.number(L"idle-ms", recorder.idleMs);
    recorder.timeoutMs = options.number(L"timeout-ms", recorder.timeoutMs);
    recorder.startTick = GetTickCount();
    gRecorder = &recorder;

    std::optional<InputWindow> window = createInputWindow(FrameClass, frameProc, ChildClass, childProc,
                                                          L"Calmirande e2e recorder", 40, 40, 420, 160);
    if (!window) return ExitNoWindow;
    recorder.child = window->field;
    SetTimer(window->frame.get(), IdleTimer, 20, nullptr);
    runInputLoop(*window, recorder.readyPath);
    window->frame.release();  // WM_DESTROY already ran
    writeRecording();
    gRecorder = nullptr;
    return recorder.received.empty() ? ExitNoWindow : ExitOk;
}

// ---------------------------------------------------------------- keypad

// The key pad's state. Only the process's single GUI thread touches it.
struct KeyPad {
    std::wstring text;
    std::size_t caret = 0;
    unsigned stallFirstMs = 0;
    unsigned lagMs = 0;
    bool seenKey = false;
    HWND field = nullptr;
};

KeyPad* gKeyPad = nullptr;

constexpr wchar_t KeyPadClass[] = L"CalmirandeE2eKeyPad";
constexpr wchar_t KeyPadFieldClass[] = L"CalmirandeE2eKeyPadInput";

bool isLineBreakAt(const std::wstring& text, std::size_t at) {
    return at + 1 < text.size() && text[at] == L'\r' && text[at + 1] == L'\n';
}

void keyPadInsert(KeyPad& pad, std::wstring_view what) {
    pad.text.insert(pad.caret, what);
    pad.caret += what.size();
}

// One key message's lag, as a busy application would have it.
void keyPadLag(KeyPad& pad) {
    if (!pad.seenKey && pad.stallFirstMs > 0) Sleep(pad.stallFirstMs);
    pad.seenKey = true;
    if (pad.lagMs > 0) Sleep(pad.lagMs);
}

void keyPadKeyDown(KeyPad& pad, HWND hwnd, WPARAM key) {
    // Like Chromium: the character queued behind a key-down is that key's own.
    MSG queued;
    const bool hasCharacter = PeekMessageW(&queued, hwnd, WM_CHAR, WM_CHAR, PM_REMOVE) != FALSE;
    switch (key) {
        case VK_BACK:
            if (pad.caret >= 2 && isLineBreakAt(pad.text, pad.caret - 2)) {
                pad.text.erase(pad.caret - 2, 2);
                pad.caret -= 2;
            } else if (pad.caret > 0) {
                pad.text.erase(--pad.caret, 1);
            }
            return;
        case VK_RETURN: keyPadInsert(pad, L"\r\n"); return;
        case VK_TAB: keyPadInsert(pad, L"\t"); return;
        case VK_LEFT:
            if (pad.caret >= 2 && isLineBreakAt(pad.text, pad.caret - 2)) pad.caret -= 2;
            else if (pad.caret > 0) --pad.caret;
            return;
        case VK_RIGHT:
            if (isLineBreakAt(pad.text, pad.caret)) pad.caret += 2;
            else if (pad.caret < pad.text.size()) ++pad.caret;
            return;
        case VK_HOME: pad.caret = 0; return;
        case VK_END: pad.caret = pad.text.size(); return;
        case VK_DELETE:
            pad.text.clear();
            pad.caret = 0;
            pad.seenKey = false;  // the next key stalls again: each case meets a busy target
            return;
        default:
            if (hasCharacter && queued.wParam >= 0x20) keyPadInsert(pad, std::wstring(1, static_cast<wchar_t>(queued.wParam)));
            return;
    }
}

LRESULT CALLBACK keyPadFieldProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message == WM_KEYDOWN || message == WM_CHAR) && gKeyPad) {
        KeyPad& pad = *gKeyPad;
        keyPadLag(pad);
        try {
            if (message == WM_KEYDOWN) keyPadKeyDown(pad, hwnd, wParam);
            else if (wParam >= 0x20) keyPadInsert(pad, std::wstring(1, static_cast<wchar_t>(wParam)));
            // Control characters (8, 9, 13 posted as WM_CHAR) are ignored.
            SetWindowTextW(hwnd, pad.text.c_str());
        } catch (...) {
            // Out of memory: the text comes out short and the comparison fails.
        }
        return 0;
    }
    if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK keyPadFrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFOCUS:
            if (gKeyPad && gKeyPad->field) SetFocus(gKeyPad->field);
            return 0;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

int runKeyPad(const Options& options) {
    KeyPad pad;
    pad.stallFirstMs = options.number(L"stall-first-ms", 0);
    pad.lagMs = options.number(L"lag-ms", 0);
    std::optional<std::wstring> readyPath = options.get(L"ready");
    gKeyPad = &pad;

    std::optional<InputWindow> window = createInputWindow(KeyPadClass, keyPadFrameProc, KeyPadFieldClass,
                                                          keyPadFieldProc, L"Calmirande e2e key pad", 60, 120, 520, 200);
    if (!window) return ExitNoWindow;
    pad.field = window->field;
    runInputLoop(*window, readyPath);
    window->frame.release();  // WM_DESTROY already ran
    gKeyPad = nullptr;
    return ExitOk;
}

// ---------------------------------------------------------------- bare-hook

// Samples of the bare hook, in microseconds. Only the hook's thread (the
// main thread) touches them.
std::vector<float>* gBareSamples = nullptr;
// --sleep-ms: the time the hook takes for every event, as a busy program's
// hook does.
unsigned gBareSleepMs = 0;

double microsecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER end, frequency;
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

// The calls a capturing hook cannot do without, timed over the same span as
// the program's hook times its own work: up to, not including, CallNextHookEx.
LRESULT CALLBACK bareHookProc(int nCode, WPARAM wParam, LPARAM lParam) noexcept {
    const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (gBareSleepMs > 0) Sleep(gBareSleepMs);
    // The user's key presses only, as the program's figures count them.
    if (nCode == HC_ACTION && (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) && !(key.flags & LLKHF_INJECTED)) {
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        BYTE state[256];
        GetKeyState(0);
        GetKeyboardState(state);
        wchar_t units[4];
        ToUnicode(key.vkCode, key.scanCode, state, units, 4, 0);
        const double elapsed = microsecondsSince(start);
        if (gBareSamples && gBareSamples->size() < 65536) {
            try {
                gBareSamples->push_back(static_cast<float>(elapsed));
            } catch (...) {
            }
        }
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

LRESULT CALLBACK bareHookWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

double percentileOf(std::vector<float> samples, double p) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<std::size_t>(p / 100.0 * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(index, samples.size() - 1)];
}

int runBareHook(const Options& options) {
    const auto out = options.get(L"out");
    if (!out) return ExitUsage;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = bareHookWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"CalmirandeE2eBareHook";
    if (!RegisterClassW(&windowClass)) return ExitNoWindow;
    UniqueWindow window(CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                        nullptr, instance, nullptr));
    if (!window.get()) return ExitNoWindow;

    std::vector<float> samples;
    samples.reserve(65536);
    gBareSamples = &samples;
    gBareSleepMs = options.number(L"sleep-ms", 0);
    calmirande::UniqueHook hook(SetWindowsHookExW(WH_KEYBOARD_LL, bareHookProc, instance, 0));
    if (!hook.get()) return ExitFailure;
    if (const auto ready = options.get(L"ready")) writeFileAtomically(*ready, "ready\n");

    const DWORD start = GetTickCount();
    const DWORD timeout = options.number(L"timeout-ms", 600000);
    MSG msg;
    bool quit = false;
    while (!quit && GetTickCount() - start < timeout) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) quit = true;
            DispatchMessageW(&msg);
        }
    }
    hook.reset();
    gBareSamples = nullptr;
    char lines[160];
    std::snprintf(lines, sizeof lines, "bare_samples %zu\nbare_p50_us %.2f\nbare_p99_us %.2f\n", samples.size(),
                  percentileOf(samples, 50), percentileOf(samples, 99));
    return writeFileAtomically(*out, lines) ? ExitOk : ExitFailure;
}

// ---------------------------------------------------------------- the shell's windows

int runCommand(const Options& options) {
    const auto id = options.get(L"id");
    if (!id) return ExitUsage;
    const HWND hwnd = findTopLevel(options);
    if (hwnd == nullptr) return ExitNoWindow;
    return PostMessageW(hwnd, WM_COMMAND, options.number(L"id", 0), 0) ? ExitOk : ExitFailure;
}

int runPost(const Options& options) {
    const auto message = options.get(L"message");
    if (!message) return ExitUsage;
    const HWND hwnd = findTopLevel(options);
    if (hwnd == nullptr) return ExitNoWindow;
    // A name (TaskbarCreated, the test build's own) is a registered message.
    const bool named = !message->empty() && !iswdigit((*message)[0]);
    const UINT code = named ? RegisterWindowMessageW(message->c_str()) : options.number(L"message", 0);
    return PostMessageW(hwnd, code, options.number(L"wparam", 0), options.number(L"lparam", 0)) ? ExitOk
                                                                                               : ExitFailure;
}

// Puts a text on the clipboard, as another program's "Copy" does.
int runClipboard(const Options& options) {
    const auto text = options.get(L"text");
    if (!text) return ExitUsage;
    if (!OpenClipboard(nullptr)) return ExitFailure;
    EmptyClipboard();
    const std::size_t bytes = (text->size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool placed = false;
    if (memory) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, text->c_str(), bytes);
            GlobalUnlock(memory);
            placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!placed) GlobalFree(memory);  // the clipboard owns it once placed
    }
    CloseClipboard();
    return placed ? ExitOk : ExitFailure;
}

// The notification area knows an icon by its window and number: the probe
// can ask for the program's own icon (NIM_MODIFY succeeds only when it is
// there) and take it away, as a restarting Explorer does.
int runTrayIcon(const Options& options) {
    const HWND hwnd = findTopLevel(options);
    if (hwnd == nullptr) return ExitNoWindow;
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;
    data.hWnd = hwnd;
    data.uID = static_cast<UINT>(options.number(L"id", 1));
    if (options.get(L"delete")) return Shell_NotifyIconW(NIM_DELETE, &data) ? ExitOk : ExitFailure;
    const bool there = Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
    printLine(there ? L"present" : L"absent");
    return there ? ExitOk : ExitHidden;
}

std::wstring classOf(HWND hwnd) {
    wchar_t name[256] = L"";
    GetClassNameW(hwnd, name, 256);
    return name;
}

bool isRichEdit(HWND hwnd) { return classOf(hwnd).rfind(L"RichEdit", 0) == 0; }

// Cross-process WM_GETTEXT: the system copies the text into our buffer.
std::wstring textOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return L"";
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             5000, &copied)) {
        return L"";
    }
    text.resize(std::min<std::size_t>(copied, text.size() - 1));
    return text;
}

// Every descendant, depth-first, in z-order as GetWindow gives it.
void collectDescendants(HWND parent, int depth, std::vector<std::pair<HWND, int>>& out) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        out.emplace_back(child, depth);
        collectDescendants(child, depth + 1, out);
    }
}

std::vector<std::pair<HWND, int>> descendantsOf(HWND top) {
    std::vector<std::pair<HWND, int>> all;
    collectDescendants(top, 1, all);
    return all;
}

HWND findDescendant(HWND top, bool (*matches)(HWND, int), int wanted) {
    for (const auto& [hwnd, depth] : descendantsOf(top)) {
        if (matches(hwnd, wanted)) return hwnd;
    }
    return nullptr;
}

int runTree(const Options& options) {
    const HWND top = findTopLevel(options);
    if (top == nullptr) return ExitNoWindow;
    RECT client{};
    GetClientRect(top, &client);
    std::wstring lines = L"title " + textOf(top) + L"\nclient " + std::to_wstring(client.right) + L" " +
                         std::to_wstring(client.bottom);
    for (const auto& [hwnd, depth] : descendantsOf(top)) {
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&rect), 2);
        std::wstring text = isRichEdit(hwnd) ? L"(rich text)" : textOf(hwnd);
        for (wchar_t& unit : text) {
            if (unit == L'\r' || unit == L'\n') unit = L' ';
        }
        lines += L"\n" + std::to_wstring(depth) + L" " + classOf(hwnd) + L" " +
                 std::to_wstring(GetDlgCtrlID(hwnd)) + L" " + std::to_wstring(IsWindowVisible(hwnd) ? 1 : 0) + L" " +
                 std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
                 std::to_wstring(rect.right - rect.left) + L" " + std::to_wstring(rect.bottom - rect.top) + L" " +
                 text;
    }
    printLine(lines);
    return ExitOk;
}

int runReadRich(const Options& options) {
    const auto out = options.get(L"out");
    if (!out) return ExitUsage;
    const HWND top = findTopLevel(options);
    if (top == nullptr) return ExitNoWindow;
    unsigned index = options.number(L"index", 0);
    for (const auto& [hwnd, depth] : descendantsOf(top)) {
        if (!isRichEdit(hwnd)) continue;
        if (index-- == 0) return writeFileAtomically(*out, toUtf8(textOf(hwnd))) ? ExitOk : ExitFailure;
    }
    return ExitNoWindow;
}

HWND controlWithId(HWND top, int id) {
    return findDescendant(top, [](HWND hwnd, int wanted) { return GetDlgCtrlID(hwnd) == wanted; }, id);
}

// The first line a rich-text or edit field shows, and its scroll bar's place.
int runScroll(const Options& options) {
    const HWND top = findTopLevel(options);
    if (top == nullptr) return ExitNoWindow;
    HWND field = nullptr;
    if (options.get(L"id")) {
        field = controlWithId(top, static_cast<int>(options.number(L"id", 0)));
    } else {
        for (const auto& [hwnd, depth] : descendantsOf(top)) {
            if (isRichEdit(hwnd)) {
                field = hwnd;
                break;
            }
        }
    }
    if (field == nullptr) return ExitNoWindow;
    const LRESULT first = SendMessageW(field, EM_GETFIRSTVISIBLELINE, 0, 0);
    printLine(L"first_line " + std::to_wstring(first) + L"\nscroll_pos " +
              std::to_wstring(GetScrollPos(field, SB_VERT)));
    return ExitOk;
}

int runClick(const Options& options) {
    if (!options.get(L"id")) return ExitUsage;
    const HWND top = findTopLevel(options);
    if (top == nullptr) return ExitNoWindow;
    const HWND button = controlWithId(top, static_cast<int>(options.number(L"id", 0)));
    if (button == nullptr) return ExitNoWindow;
    // Posted: a click that opens a message box or a dialog returns only when
    // that closes, and the script has to answer it meanwhile.
    return PostMessageW(button, BM_CLICK, 0, 0) ? ExitOk : ExitFailure;
}

// Memory in another process, for the list view messages that take a pointer.
class RemoteBuffer {
public:
    RemoteBuffer(HWND owner, std::size_t size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(owner, &pid);
        process_.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
        if (process_) address_ = VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address_) VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool ready() const { return address_ != nullptr; }
    char* at(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
    bool write(std::size_t offset, const void* data, std::size_t size) const {
        return offset + size <= size_ && WriteProcessMemory(process_.get(), at(offset), data, size, nullptr);
    }
    bool read(std::size_t offset, void* data, std::size_t size) const {
        return offset + size <= size_ && ReadProcessMemory(process_.get(), at(offset), data, size, nullptr);
    }

private:
    calmirande::UniqueKernelHandle process_;
    void* address_ = nullptr;
    std::size_t size_;
};

HWND listViewOf(const Options& options) {
    const HWND top = findTopLevel(options);
    return top ? controlWithId(top, static_cast<int>(options.number(L"id", 0))) : nullptr;
}

int runListRows(const Options& options) {
    const auto out = options.get(L"out");
    if (!out || !options.get(L"id")) return ExitUsage;
    const HWND list = listViewOf(options);
    if (list == nullptr) return ExitNoWindow;
    constexpr std::size_t Units = 2048;
    const RemoteBuffer remote(list, sizeof(LVITEMW) + Units * sizeof(wchar_t));
    if (!remote.ready()) return ExitFailure;
    const LRESULT count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    std::wstring rows;
    for (LRESULT row = 0; row < count; ++row) {
        for (int column = 0; column < 2; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.cchTextMax = static_cast<int>(Units);
            item.pszText = reinterpret_cast<wchar_t*>(remote.at(sizeof(LVITEMW)));
            if (!remote.write(0, &item, sizeof item)) return ExitFailure;
            const LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                                reinterpret_cast<LPARAM>(remote.at(0)));
            std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)), L'\0');
            if (!text.empty() && !remote.read(sizeof(LVITEMW), text.data(), text.size() * sizeof(wchar_t))) {
                return ExitFailure;
            }
            rows += text;
            rows += column == 0 ? L"\t" : L"\n";
        }
    }
    const LRESULT selected = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    printLine(L"rows " + std::to_wstring(count) + L"\nselected " + std::to_wstring(selected));
    return writeFileAtomically(*out, toUtf8(rows)) ? ExitOk : ExitFailure;
}

int runColumnClicks(const Options& options) {
    const HWND top = findTopLevel(options);
    const HWND list = listViewOf(options);
    const auto whileFile = options.get(L"while");
    if (!whileFile) return ExitUsage;
    if (top == nullptr || list == nullptr) return ExitNoWindow;
    // The centres of the first two titles, in the header's coordinates.
    const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const RemoteBuffer remote(list, sizeof(RECT));
    if (header == nullptr || !remote.ready()) return ExitNoWindow;
    LPARAM centres[2]{};
    for (int column = 0; column < 2; ++column) {
        RECT rect{};
        if (!SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(remote.at(0))) ||
            !remote.read(0, &rect, sizeof rect)) {
            return ExitNoWindow;
        }
        centres[column] = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    }
    // A press and a release posted to the header, which answers them as a
    // click (the list view then tells the editor), without the activation a
    // real click brings; then a message sent to the editor, answered once
    // the sort is done.
    const DWORD every = options.number(L"every-ms", 150);
    int clicks = 0;
    while (GetFileAttributesW(whileFile->c_str()) != INVALID_FILE_ATTRIBUTES) {
        const LPARAM at = centres[clicks % 2];
        DWORD_PTR answer = 0;
        if (!PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at) || !PostMessageW(header, WM_LBUTTONUP, 0, at) ||
            !SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer)) {
            break;
        }
        ++clicks;
        Sleep(every);
    }
    printLine(L"clicks " + std::to_wstring(clicks));
    return ExitOk;
}

int runPoint(const Options& options) {
    if (!options.get(L"id")) return ExitUsage;
    const HWND target = listViewOf(options);
    if (target == nullptr) return ExitNoWindow;
    RECT rect{};
    if (const auto row = options.get(L"row")) {
        // A row of a list view, in its client coordinates.
        const RemoteBuffer remote(target, sizeof(RECT));
        RECT wanted{LVIR_BOUNDS, 0, 0, 0};
        if (!remote.ready() || !remote.write(0, &wanted, sizeof wanted)) return ExitFailure;
        if (!SendMessageW(target, LVM_GETITEMRECT, options.number(L"row", 0), reinterpret_cast<LPARAM>(remote.at(0))) ||
            !remote.read(0, &rect, sizeof rect)) {
            return ExitNoWindow;
        }
        rect.left += 10;
        rect.right = rect.left + 20;
    } else {
        GetClientRect(target, &rect);
    }
    POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(target, &centre);
    printLine(std::to_wstring(centre.x) + L" " + std::to_wstring(centre.y));
    return ExitOk;
}

int runTabFocus(const Options& options) {
    if (!options.get(L"index")) return ExitUsage;
    const HWND top = findTopLevel(options);
    if (top == nullptr) return ExitNoWindow;
    const HWND tabs = findDescendant(
        top, [](HWND hwnd, int) { return classOf(hwnd) == WC_TABCONTROLW; }, 0);
    if (tabs == nullptr) return ExitNoWindow;
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(tabs, TCM_SETCURFOCUS, options.number(L"index", 0), 0, SMTO_ABORTIFHUNG, 5000, &result)
               ? ExitOk
               : ExitFailure;
}

// set-text: what automation and accessibility tools do to a field.
int runSetText(const Options& options) {
    const auto text = options.get(L"text");
    if (!text || !options.get(L"id")) return ExitUsage;
    const HWND top = findTopLevel(options);
    if (top == nullptr) return ExitNoWindow;
    const HWND field = controlWithId(top, static_cast<int>(options.number(L"id", 0)));
    if (field == nullptr) return ExitNoWindow;
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text->c_str()), SMTO_ABORTIFHUNG, 5000,
                               &result) && result
               ? ExitOk
               : ExitFailure;
}

int runActivate(const Options& options) {
    const HWND top = findTopLevel(options);
    if (top == nullptr) return ExitNoWindow;
    return SetForegroundWindow(top) ? ExitOk : ExitFailure;
}

int runShow(const Options& options) {
    const auto how = options.get(L"how");
    if (!how) return ExitUsage;
    const HWND top = findTopLevel(options);
    if (top == nullptr) return ExitNoWindow;
    int command = SW_RESTORE;
    if (*how == L"maximize") command = SW_MAXIMIZE;
    else if (*how == L"minimize") command = SW_MINIMIZE;
    else if (*how != L"restore") return ExitUsage;
    ShowWindow(top, command);
    return ExitOk;
}

int runKeyState(const Options& options) {
    const unsigned vk = options.number(L"vk", 0);
    if (vk == 0 || vk > 0xFE) return ExitUsage;
    std::printf("async %d\n", (GetAsyncKeyState(static_cast<int>(vk)) & 0x8000) ? 1 : 0);
    return ExitOk;
}

INPUT injectedKey(unsigned vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(vk);
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, 0 /* MAPVK_VK_TO_VSC */));
    if (up) input.ki.dwFlags = KEYEVENTF_KEYUP;
    return input;
}

int runInject(const Options& options) {
    std::vector<INPUT> inputs;
    if (const auto keys = options.get(L"keys")) {
        // "160d 80d 160u 80u": each a decimal virtual key and its edge.
        std::wistringstream tokens(*keys);
        for (std::wstring token; tokens >> token;) {
            const wchar_t edge = token.back();
            const unsigned vk = static_cast<unsigned>(std::wcstoul(token.c_str(), nullptr, 10));
            if ((edge != L'd' && edge != L'u') || vk == 0 || vk > 0xFE) return ExitUsage;
            inputs.push_back(injectedKey(vk, edge == L'u'));
        }
    } else {
        const unsigned vk = options.number(L"vk", 0);
        const std::wstring edge = options.get(L"edge").value_or(L"press");
        if (vk == 0 || vk > 0xFE || (edge != L"press" && edge != L"down" && edge != L"up")) return ExitUsage;
        if (edge != L"up") inputs.push_back(injectedKey(vk, false));
        if (edge != L"down") inputs.push_back(injectedKey(vk, true));
    }
    if (inputs.empty()) return ExitUsage;
    const UINT count = static_cast<UINT>(inputs.size());
    if (options.number(L"after-space", 0)) {
        calmirande::UniqueHook hook(SetWindowsHookExW(WH_KEYBOARD_LL, spaceTimeProc, GetModuleHandleW(nullptr), 0));
        if (!hook.get()) return ExitFailure;
        if (const auto ready = options.get(L"ready")) writeFileAtomically(*ready, "ready\n");
        if (!pumpMessagesUntil(options.number(L"timeout-ms", 10000), 1, [] { return gSpaceAt != 0; })) return ExitFailure;
    }
    return SendInput(count, inputs.data(), sizeof(INPUT)) == count ? ExitOk : ExitFailure;
}

int runCount(const Options& options) {
    const auto className = options.get(L"class");
    if (!className) return ExitUsage;
    int count = 0;
    for (HWND hwnd = FindWindowExW(nullptr, nullptr, className->c_str(), nullptr); hwnd;
         hwnd = FindWindowExW(nullptr, hwnd, className->c_str(), nullptr)) {
        ++count;
    }
    printLine(std::to_wstring(count));
    return ExitOk;
}

int runMessageBox(const Options& options) {
    const auto title = options.get(L"title");
    if (!title) return ExitUsage;
    HWND box = nullptr;
    for (HWND hwnd = FindWindowExW(nullptr, nullptr, L"#32770", title->c_str()); hwnd;
         hwnd = FindWindowExW(nullptr, hwnd, L"#32770", title->c_str())) {
        if (IsWindowVisible(hwnd)) {
            box = hwnd;
            break;
        }
    }
    if (box == nullptr) return ExitNoWindow;
    // The message is the box's longest static text (the icon is a static too).
    std::wstring message;
    for (const auto& [hwnd, depth] : descendantsOf(box)) {
        if (classOf(hwnd) != L"Static") continue;
        std::wstring text = textOf(hwnd);
        if (text.size() > message.size()) message = std::move(text);
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    printLine(L"pid " + std::to_wstring(pid) + L"\n" + message);
    if (const auto out = options.get(L"out")) {
        if (!writeFileAtomically(*out, toUtf8(message))) return ExitFailure;
    }
    if (const auto answer = options.get(L"answer")) {
        int id = IDOK;
        if (*answer == L"yes") id = IDYES;
        else if (*answer == L"no") id = IDNO;
        else if (*answer != L"ok") return ExitUsage;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    }
    return ExitOk;
}

int runMemory(const Options& options) {
    const HWND top = findTopLevel(options);
    if (top == nullptr) return ExitNoWindow;
    DWORD pid = 0;
    GetWindowThreadProcessId(top, &pid);
    calmirande::UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process.get()) return ExitFailure;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) {
        return ExitFailure;
    }
    printLine(L"private_bytes " + std::to_wstring(counters.PrivateUsage) + L"\npagefile_usage " +
              std::to_wstring(counters.PagefileUsage) + L"\nworking_set " + std::to_wstring(counters.WorkingSetSize));
    return ExitOk;
}

int usage() {
    printLine(
        L"usage: calmirande_e2e_probe deliver --workdir DIR --list NAME.dat --word W --trigger space|tab|enter "
        L"[--plan-out FILE] [--barrier off]\n"
        L"       calmirande_e2e_probe read-notepad --out FILE\n"
        L"       calmirande_e2e_probe read-text --class C --out FILE\n"
        L"       calmirande_e2e_probe record --out FILE [--ready FILE] [--stall-first-ms N] [--lag-ms L] [--idle-ms M] "
        L"[--timeout-ms T]\n"
        L"       calmirande_e2e_probe keypad [--ready FILE] [--stall-first-ms N] [--lag-ms L]\n"
        L"       calmirande_e2e_probe bare-hook --out FILE [--ready FILE] [--timeout-ms T]\n"
        L"       calmirande_e2e_probe foreground [--out FILE]\n"
        L"       calmirande_e2e_probe window --class C\n"
        L"       calmirande_e2e_probe close-window --class C\n"
        L"       calmirande_e2e_probe wait-idle --class C [--timeout-ms T]\n"
        L"       calmirande_e2e_probe keylog --out FILE [--ready FILE] [--timeout-ms T]\n"
        L"       calmirande_e2e_probe command --class C --id N\n"
        L"       calmirande_e2e_probe post --class C --message M [--wparam W] [--lparam L]\n"
        L"       calmirande_e2e_probe set-text --class C --id N --text T\n"
        L"       calmirande_e2e_probe time-text --expect FILE --out FILE [--ready FILE] [--timeout-ms N]\n"
        L"       calmirande_e2e_probe tree --class C\n"
        L"       calmirande_e2e_probe read-rich --class C --out FILE [--index N]\n"
        L"       calmirande_e2e_probe click --class C --id N\n"
        L"       calmirande_e2e_probe tab-focus --class C --index N\n"
        L"       calmirande_e2e_probe show --class C --how maximize|restore|minimize\n"
        L"       calmirande_e2e_probe activate --class C\n"
        L"       calmirande_e2e_probe count --class C\n"
        L"       calmirande_e2e_probe message-box --title T [--out FILE] [--answer ok|yes|no]\n"
        L"       calmirande_e2e_probe memory --class C\n"
        L"       calmirande_e2e_probe scroll --class C [--id N]\n"
        L"       calmirande_e2e_probe column-clicks --class C --id N --while FILE [--every-ms M]");
    return ExitUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return usage();
    const std::wstring_view command = argv[1];
    try {
        const Options options(argc, argv, 2);
        if (options.bad()) return usage();
        int rc = ExitUsage;
        if (command == L"deliver") rc = runDeliver(options);
        else if (command == L"read-notepad") rc = runReadNotepad(options);
        else if (command == L"record") rc = runRecord(options);
        else if (command == L"foreground") rc = runForeground(options);
        else if (command == L"window") rc = runWindow(options);
        else if (command == L"close-window") rc = runCloseWindow(options);
        else if (command == L"wait-idle") rc = runWaitIdle(options);
        else if (command == L"keylog") rc = runKeyLog(options);
        else if (command == L"time-text") rc = runTimeText(options);
        else if (command == L"set-text") rc = runSetText(options);
        else if (command == L"read-text") rc = runReadText(options);
        else if (command == L"keypad") rc = runKeyPad(options);
        else if (command == L"bare-hook") rc = runBareHook(options);
        else if (command == L"command") rc = runCommand(options);
        else if (command == L"post") rc = runPost(options);
        else if (command == L"tree") rc = runTree(options);
        else if (command == L"read-rich") rc = runReadRich(options);
        else if (command == L"click") rc = runClick(options);
        else if (command == L"list-rows") rc = runListRows(options);
        else if (command == L"point") rc = runPoint(options);
        else if (command == L"column-clicks") rc = runColumnClicks(options);
        else if (command == L"tray-icon") rc = runTrayIcon(options);
        else if (command == L"clipboard") rc = runClipboard(options);
        else if (command == L"tab-focus") rc = runTabFocus(options);
        else if (command == L"show") rc = runShow(options);
        else if (command == L"activate") rc = runActivate(options);
        else if (command == L"count") rc = runCount(options);
        else if (command == L"inject") rc = runInject(options);
        else if (command == L"key-state") rc = runKeyState(options);
        else if (command == L"message-box") rc = runMessageBox(options);
        else if (command == L"memory") rc = runMemory(options);
        else if (command == L"scroll") rc = runScroll(options);
        else return usage();
        if (rc == ExitUsage) return usage();
        return rc;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "calmirande_e2e_probe: %s\n", error.what());
        return ExitFailure;
    }
}
