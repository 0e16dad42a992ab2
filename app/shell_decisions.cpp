#include "app/shell_decisions.h"

#include <algorithm>
#include <cstdint>

#include "app/preferences.h"
#include "common/messages.h"

namespace calmirande {

int windowsVersionLevel(const WindowsVersionQuery& query) {
    constexpr int Unknown = 100;
    if (!query.succeeded) return Unknown;
    const std::uint32_t major = query.majorVersion;
    const std::uint32_t minor = query.minorVersion;
    if (query.platformId == PlatformWin9x) {
        switch (minor) {
            case 0: return 10;
            case 10: return 30;
            case 90: return 40;
            default: return Unknown;
        }
    }
    if (query.platformId != PlatformWinNt) return Unknown;
    const bool workstation = query.extendedSucceeded && query.productType == ProductWorkstation;
    if (major == 3) return 5;
    if (major == 4) return minor == 0 ? 20 : Unknown;
    if (major == 5) {
        switch (minor) {
            case 0: return 50;
            case 1: return 60;
            case 2: return workstation ? 60 : 65;
            default: return Unknown;
        }
    }
    if (major == 6) {
        if (minor == 0) return workstation ? 70 : 75;
        if (minor == 1) return workstation ? 80 : 75;
    }
    return Unknown;
}

std::optional<std::u16string_view> refuseWindowsVersion(int level) {
    if (level < MinimumWindowsVersionLevel) return messages::UnsupportedWindows;
    return std::nullopt;
}

std::optional<std::u16string_view> refuseSecondInstance(std::uint32_t lastError) {
    constexpr std::uint32_t ErrorAccessDenied = 5;
    constexpr std::uint32_t ErrorAlreadyExists = 183;
    if (lastError == ErrorAlreadyExists || lastError == ErrorAccessDenied) return messages::AlreadyRunning;
    return std::nullopt;
}

int fontHeightForPoints(int points, int pixelsPerInch) {
    if (pixelsPerInch <= 0) pixelsPerInch = 96;
    // MulDiv's rounding: to the nearest, halves away from zero, in 64 bits.
    const std::int64_t product = static_cast<std::int64_t>(points) * pixelsPerInch;
    const std::int64_t magnitude = ((product < 0 ? -product : product) + 36) / 72;
    const std::int64_t pixels = product < 0 ? -magnitude : magnitude;
    return static_cast<int>(-pixels);
}

std::int32_t findActiveListIndex(const ListCatalogue& catalogue, std::u16string_view activeListFile) {
    if (activeListFile.empty()) return -1;
    const auto& names = catalogue.fileNames;
    const auto found = std::find(names.begin(), names.end(), activeListFile);
    return found == names.end() ? -1 : static_cast<std::int32_t>(found - names.begin());
}

std::int32_t activeListIndexAfterCatalogueChange(const ListCatalogue& catalogue, std::u16string_view activeListFile) {
    if (activeListFile.empty()) return -1;
    const std::int32_t index = findActiveListIndex(catalogue, activeListFile);
    return index != -1 ? index : static_cast<std::int32_t>(catalogue.fileNames.size());
}

FirstRunGuidance firstRunGuidance(const ListCatalogue& catalogue, std::int32_t activeListIndex) {
    if (catalogue.fileNames.empty()) return FirstRunGuidance::NoListCreated;
    if (activeListIndex < 0 || static_cast<std::size_t>(activeListIndex) >= catalogue.fileNames.size()) {
        return FirstRunGuidance::NoListSelected;
    }
    return FirstRunGuidance::LoadActiveList;
}

std::u16string_view guidanceMessage(FirstRunGuidance guidance) {
    switch (guidance) {
        case FirstRunGuidance::NoListCreated: return messages::NoListCreated;
        case FirstRunGuidance::NoListSelected: return messages::NoListSelected;
        case FirstRunGuidance::LoadActiveList: break;
    }
    return {};
}

bool followCatalogueChange(AppState& state, const std::vector<std::u16string>& fileNames, const TrayMenu& shown) {
    state.catalogue.fileNames = fileNames;
    state.activeListIndex = activeListIndexAfterCatalogueChange(state.catalogue, state.activeListFile);
    return !trayMenuShowsCatalogue(shown, state.catalogue);
}

EditorLeftEffects followEditorLeave(AppState& state, FileStore& files, LeaveOutcome& outcome) {
    EditorLeftEffects effects;
    if (outcome.activeListFile) {
        state.activeListFile = *outcome.activeListFile;
        state.activeListIndex = outcome.activeListIndex;
        settingChangedByUser(state);
        savePreferencesOf(state, files);
    }
    if (outcome.activeList) {
        state.tables.publish(std::move(outcome.activeList->table));
        effects.aidRows = std::move(outcome.activeList->aidRows);
    }
    if (outcome.restoreExpansionIfTicked && state.expansionSwitch) state.gate.setExpansionActive(true);
    if (outcome.declined) state.expansionSwitch = state.gate.expansionActive();
    effects.rebuildTrayMenu = outcome.rebuildTrayMenu;
    return effects;
}

bool trayMenuOpens(TrayMouse mouse, bool editorBusy) { return mouse == TrayMouse::RightPress && !editorBusy; }

TrayCommandResult chooseTrayCommand(AppState& state, TrayMenu& menu, FileStore& files, EditorEntry& editor,
                                    std::uint32_t id, bool helpWindowOpen) {
    if (id == tray_command::Quit && !editor.saveBeforeQuit()) return {};
    return runTrayCommand(state, menu, files, id, helpWindowOpen,
                          [&editor](std::u16string_view fileName) { editor.showList(fileName); });
}

}  // namespace calmirande
