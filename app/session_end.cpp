#include "app/session_end.h"

namespace calmirande {

SessionEndSteps sessionEndSteps(SessionMessage message, bool ending) {
    SessionEndSteps steps;
    switch (message) {
        case SessionMessage::QueryEnd:
            // Some systems end a process soon after its answer, before
            // WM_ENDSESSION comes: the rows must be on disk by then.
            steps.save = true;
            break;
        case SessionMessage::End:
            // Saving again writes only what changed since the query.
            steps.save = ending;
            steps.quit = ending;
            break;
    }
    return steps;
}

}  // namespace calmirande
