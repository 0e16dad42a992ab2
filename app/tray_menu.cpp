#include "app/tray_menu.h"

#include "app/preferences.h"
#include "app/shell_decisions.h"
#include "common/messages.h"
#include "common/text.h"
#include "lists/catalogue.h"

namespace calmirande {
namespace {

TrayMenuItem fixedItem(std::u16string_view text, std::uint32_t id) { return {std::u16string(text), id}; }

bool isListItem(const TrayMenu& menu, const TrayMenuItem& item) {
    return !item.separator && item.id >= tray_command::FirstList &&
           item.id - tray_command::FirstList < menu.listFiles.size();
}

}  // namespace

std::u16string literalMenuText(std::u16string_view text) { return replaceAll(text, u"&", u"&&"); }

std::u16string currentListText(std::u16string_view activeListFile) {
    std::u16string text(messages::TrayCurrentList);
    if (activeListFile.empty()) {
        text.append(messages::TrayNoList);
    } else {
        text.append(replaceAll(activeListFile, u".dat", u""));
    }
    return text;
}

TrayMenu buildTrayMenu(const AppState& state) {
    TrayMenu menu;
    menu.listFiles = state.catalogue.fileNames;
    menu.items.reserve(menu.listFiles.size() + 8);
    menu.items.push_back({u"", tray_command::CurrentList});
    for (std::size_t p = 0; p < menu.listFiles.size(); ++p) {
        menu.items.push_back({literalMenuText(listDisplayName(menu.listFiles[p])),
                              tray_command::FirstList + static_cast<std::uint32_t>(p)});
    }
    TrayMenuItem separator;
    separator.separator = true;
    menu.items.push_back(separator);
    menu.items.push_back(fixedItem(messages::TrayAbout, tray_command::About));
    menu.items.push_back(fixedItem(messages::TrayHelp, tray_command::Help));
    menu.items.push_back(fixedItem(messages::TrayEditor, tray_command::Editor));
    menu.items.push_back(fixedItem(messages::TrayWritingAid, tray_command::WritingAid));
    menu.items.push_back(fixedItem(messages::TrayExpansion, tray_command::Expansion));
    menu.items.push_back(fixedItem(messages::TrayQuit, tray_command::Quit));
    refreshTrayMenu(menu, state);
    return menu;
}

bool trayMenuShowsCatalogue(const TrayMenu& menu, const ListCatalogue& catalogue) {
    return menu.listFiles == catalogue.fileNames;
}

void refreshTrayMenu(TrayMenu& menu, const AppState& state) {
    for (TrayMenuItem& item : menu.items) {
        if (item.separator) continue;
        if (item.id == tray_command::CurrentList) {
            item.text = literalMenuText(currentListText(state.activeListFile));
        } else if (isListItem(menu, item)) {
            // By file name: the menu's lists may be older than the catalogue
            // that activeListIndex counts in.
            item.checked = !state.activeListFile.empty() &&
                           menu.listFiles[item.id - tray_command::FirstList] == state.activeListFile;
        } else if (item.id == tray_command::WritingAid) {
            item.checked = state.writingAidEnabled != 0;
        } else if (item.id == tray_command::Expansion) {
            item.checked = state.expansionSwitch;
        }
    }
}

std::optional<ListSelection> selectListFromMenu(AppState& state, TrayMenu& menu, FileStore& files,
                                                std::size_t position, const ShowListInEditor& showInEditor) {
    if (position >= menu.listFiles.size()) return std::nullopt;
    ListSelection selection;
    selection.fileName = menu.listFiles[position];

    state.activeListFile = selection.fileName;
    state.activeListIndex = findActiveListIndex(state.catalogue, state.activeListFile);
    refreshTrayMenu(menu, state);

    if (showInEditor) showInEditor(selection.fileName);

    ActiveList active;
    const OperationResult loaded = loadActiveList(files, state.activeListFile, active);
    if (!loaded.succeeded) selection.message = loaded.message;
    state.tables.publish(std::move(active.table));
    selection.aidRows = std::move(active.aidRows);

    settingChangedByUser(state);
    savePreferencesOf(state, files);
    return selection;
}

TrayCommandResult runTrayCommand(AppState& state, TrayMenu& menu, FileStore& files, std::uint32_t id,
                                 bool helpWindowOpen, const ShowListInEditor& showInEditor) {
    TrayCommandResult result;
    switch (id) {
        case tray_command::About:
            result.action = TrayAction::ShowAbout;
            break;
        case tray_command::Help:
            if (!helpWindowOpen) result.action = TrayAction::OpenHelp;
            break;
        case tray_command::Editor:
            // Suspended while the editor is open; item 6 keeps the user's choice,
            // which leaving the editor restores.
            state.gate.setExpansionActive(false);
            result.action = TrayAction::OpenEditor;
            break;
        case tray_command::WritingAid:
            settingChangedByUser(state);
            if (state.writingAidEnabled != 0) {
                state.writingAidEnabled = 0;
                result.hideWritingAid = true;
            } else {
                state.writingAidEnabled = 1;
            }
            result.action = TrayAction::WritingAidSwitched;
            break;
        case tray_command::Expansion:
            state.expansionSwitch = !state.expansionSwitch;
            state.gate.setExpansionActive(state.expansionSwitch);
            result.action = TrayAction::ExpansionSwitched;
            break;
        case tray_command::Quit:
            state.gate.setExpansionActive(false);
            savePreferencesOf(state, files);
            state.quitRequested = true;
            result.action = TrayAction::Quit;
            break;
        default:
            if (id >= tray_command::FirstList) {
                result.selection = selectListFromMenu(state, menu, files, id - tray_command::FirstList, showInEditor);
                if (result.selection) result.action = TrayAction::ListSelected;
            }
            break;
    }
    refreshTrayMenu(menu, state);
    return result;
}

}  // namespace calmirande
