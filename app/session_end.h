#pragma once
// What the program does when Windows ends the session (log off, shut down,
// restart): nobody will answer a question any more, so nothing is asked.
// WM_QUERYENDSESSION saves at once and lets the session end; WM_ENDSESSION
// saves what changed since and ends the program as the tray's "Quitter"
// does; a session that goes on after all changes nothing. Main thread only.

namespace calmirande {

enum class SessionMessage { QueryEnd, End };

struct SessionEndSteps {
    // The editor's changed rows (set aside when they cannot be saved) and the preferences.
    bool save = false;
    // Then as "Quitter": the expansion off, the loop ended, even from a nested one.
    bool quit = false;
    // The answer to WM_QUERYENDSESSION: the program never holds the session up.
    bool mayEnd = true;
};

// `ending`: WM_ENDSESSION's wParam, whether the session really ends.
SessionEndSteps sessionEndSteps(SessionMessage message, bool ending);

}  // namespace calmirande
