#include "app/startup.h"

#include "app/shell_decisions.h"
#include "common/messages.h"
#include "lists/list_file.h"

namespace calmirande {

StartupFiles prepareStartupFiles(FileStore& files, FolderListing& listing) {
    StartupFiles result;
    const std::u16string folder(ListsFolder);
    // Anything named "Listes", even a file, counts as there: the catalogue
    // then simply finds nothing in it.
    if (!files.exists(folder) && !files.createFolder(folder)) {
        result.fatalMessage = messages::CannotCreateListsFolder;
        return result;
    }

    PreferencesRead read = readPreferences(files);
    Preferences& preferences = read.values;
    if (read.status == PreferencesRead::Status::Missing) {
        if (!savePreferences(files, u"", 0)) {
            result.fatalMessage = messages::CannotCreatePreferences;
            return result;
        }
        // The new file says 0, but a first run has the writing aid on.
        preferences = {u"", 1};
    }
    result.preferencesUnread = read.status == PreferencesRead::Status::Unreadable;
    result.writingAidEnabled = preferences.writingAidEnabled;

    EnumeratedLists lists = enumerateLists(listing, preferences.activeListFile);
    result.catalogue = std::move(lists.catalogue);
    result.activeListFile = std::move(lists.activeListFile);
    result.activeListIndex = findActiveListIndex(result.catalogue, result.activeListFile);
    return result;
}

}  // namespace calmirande
