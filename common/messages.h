#pragma once
// Every text the user reads, written once, byte for byte. "\r" is a lone
// carriage return: the message box shows it as a line break.

#include <string>
#include <string_view>

namespace calmirande::messages {

inline constexpr std::u16string_view TitleInfo = u"Info";

inline constexpr std::u16string_view FileBusy =
    u"Ce fichier est sans doute ouvert par un autre programme, dans ce cas fermer le !";

inline constexpr std::u16string_view LoadActiveFailed = u"Impossible de charger les abréviations du fichier: ";
inline constexpr std::u16string_view LoadActiveFailedEnd =
    u"ou bien ce fichier n'existe plus, dans ce cas vous avez perdu vos données; relancer le programme !";

inline constexpr std::u16string_view LoadForEditingFailed = u"Impossible d'ouvrir le fichier: ";
inline constexpr std::u16string_view LoadForEditingFailedEnd =
    u"ou bien ce fichier n'existe plus, dans ce cas vous avez perdu vos données; relancer l'application !";

inline constexpr std::u16string_view SaveFailed = u"Impossible d'enregistrer les modifications dans le fichier: ";
inline constexpr std::u16string_view SaveFailedEnd =
    u"ou bien il n'y a pas l'espace nécessaire pour créer ce fichier, libérer de l'espace !";

inline constexpr std::u16string_view CannotCreateListsFolder =
    u"Impossible de créer le dossier 'Listes', le programme va se terminer\rVérifier l'espace disponible !";
inline constexpr std::u16string_view CannotCreatePreferences =
    u"Impossible de créer le fichier 'Preferences.txt', le programme va se terminer\rVérifier l'espace disponible !";

// A message about one file: the first piece, the file name (with ".dat",
// without folder), then the other pieces, each after a carriage return.
inline std::u16string aboutFile(std::u16string_view first, std::u16string_view fileName,
                                std::u16string_view second, std::u16string_view third) {
    std::u16string text;
    text.reserve(first.size() + fileName.size() + second.size() + third.size() + 2);
    text.append(first).append(fileName).append(1, u'\r').append(second).append(1, u'\r').append(third);
    return text;
}

}  // namespace calmirande::messages
