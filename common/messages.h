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

inline constexpr std::u16string_view SaveFailedReadOnly =
    u"Ce fichier, son dossier ou ce disque est en lecture seule : enregistrer n'y est pas permis !";
inline constexpr std::u16string_view SaveFailedNameTooLong =
    u"Le chemin de ce fichier est trop long pour Windows : déplacer le programme dans un dossier plus court !";
inline constexpr std::u16string_view ListTooLarge =
    u"La Liste dépasserait la taille maximale de 4 Mo : raccourcir ce texte ou le mettre dans une autre Liste !";

// A list the editor understands too little of.
inline constexpr std::u16string_view ListOpenedReadOnlyStart = u"La Liste ";
inline constexpr std::u16string_view ListOpenedReadOnlyEnd =
    u" n'est pas dans un format que l'éditeur comprend (moins de la moitié de ses lignes sont des "
    u"abréviations, ou elle contient des caractères nuls).\r"
    u"Elle est ouverte en lecture seule : l'éditeur ne l'enregistrera pas.";
inline constexpr std::u16string_view ListIsReadOnly =
    u"Cette Liste est ouverte en lecture seule : elle ne peut pas être modifiée ici !";

// A list another program wrote while the editor held changed rows of it.
inline constexpr std::u16string_view OtherVersionStart = u"La Liste ";
inline constexpr std::u16string_view OtherVersionChanged =
    u" a été modifiée par un autre programme pendant que vous l'éditiez.";
inline constexpr std::u16string_view OtherVersionAdded = u"Abréviations de l'autre version ajoutées aux vôtres : ";
inline constexpr std::u16string_view OtherVersionNotTaken =
    u"Abréviations de l'autre version non reprises (déjà présentes ici avec un autre texte, ou Liste pleine) : ";
inline constexpr std::u16string_view OtherVersionKeptIn = u"L'autre version est gardée dans le fichier: ";
inline constexpr std::u16string_view OtherVersionNotKept = u"L'autre version n'a pas pu être gardée.";

// After a failed save that stops the user, in the same box.
inline constexpr std::u16string_view GoOnWithoutSaving = u"Souhaitez vous quand même continuer sans enregistrer !";
inline constexpr std::u16string_view UnsavedRowsCopiedTo = u"Vos Abréviations ont été copiées dans le fichier: ";
inline constexpr std::u16string_view UnsavedRowsNotCopied =
    u"Vos Abréviations n'ont pu être copiées nulle part : en continuant, vous les perdez !";
// The name of a set-aside copy of text typed in the fields with no list shown.
inline constexpr std::u16string_view FieldsWithoutList = u"Champs de l'éditeur";
// The key of the row that stands for the fields' text when no key was typed.
inline constexpr std::u16string_view FieldsWithoutKey = u"(sans abréviation)";

inline constexpr std::u16string_view CannotCreateListsFolder =
    u"Impossible de créer le dossier 'Listes', le programme va se terminer\rVérifier l'espace disponible !";
inline constexpr std::u16string_view CannotCreatePreferences =
    u"Impossible de créer le fichier 'Preferences.txt', le programme va se terminer\rVérifier l'espace disponible !";

// The shell: start-up refusals and guidance, the tray menu, About and Help.
inline constexpr std::u16string_view ProgramName = u"Calmirande";  // box title, tooltip, mutex name
inline constexpr std::u16string_view UnsupportedWindows =
    u"Calmirande ne fonctionne pas sur cette version de Window !\r\r"
    u"Ce programme est compatible avec XP, Vista et Window 7 (Version 32 Bits)";
inline constexpr std::u16string_view AlreadyRunning = u"Le programme Calmirande est déjà en cours d'exécution !";
inline constexpr std::u16string_view NoListCreated =
    u"Aucune Liste n'est créée, l'éditeur des abréviations va se lancer !";
inline constexpr std::u16string_view NoListSelected =
    u"Aucune Liste n'est sélectionnée, l'éditeur des abréviations va se lancer !";
inline constexpr std::u16string_view RecordsCounterMiddle = u" sur un nombre maximum de ";

inline constexpr std::u16string_view TrayCurrentList = u"Liste Actuelle: ";
inline constexpr std::u16string_view TrayNoList = u"Aucune";
inline constexpr std::u16string_view TrayAbout = u"A propos de ...";
inline constexpr std::u16string_view TrayHelp = u"Aide";
inline constexpr std::u16string_view TrayEditor = u"Editer les Abréviations";
inline constexpr std::u16string_view TrayWritingAid = u"Afficher l'aide à la rédaction";
inline constexpr std::u16string_view TrayExpansion = u"Activer les Abréviations";
inline constexpr std::u16string_view TrayQuit = u"Quitter";

inline constexpr std::u16string_view AboutTitle = u"A propos de Calmirande";
inline constexpr std::u16string_view AboutTabInformations = u"Informations";
inline constexpr std::u16string_view AboutTabLicence = u"Licence";
inline constexpr std::u16string_view AboutQuit = u"Quitter";
inline constexpr std::u16string_view AboutVersion = u"Version: 1.2";
inline constexpr std::u16string_view AboutCompatibility =
    u"Compatibilité: 2000, XP, Vista et Window 7 (Version 32 Bits)";
inline constexpr std::u16string_view AboutAuthor = u"Auteur: le projet Calmirande";
inline constexpr std::u16string_view AboutEmailLabel = u"Email:";
inline constexpr std::u16string_view AboutEmail = u"contact@calmirande.org";
inline constexpr std::u16string_view AboutMailtoPrefix = u"mailto:";
inline constexpr std::u16string_view AboutWebSiteLabel = u"Site Web:";
inline constexpr std::u16string_view AboutWebSite = u"https://www.calmirande.org";
inline constexpr std::u16string_view AboutContact =
    u"N'hésitez pas à me contacter pour me reporter des bugs ou bien me donner vos suggestions d'amélioration.";
inline constexpr std::u16string_view HelpTitle = u"Aide de Calmirande";

// The editor: its window, the lists' creation and deletion, the edits and
// the guards of the key field.
inline constexpr std::u16string_view TitleErreur = u"Erreur";
inline constexpr std::u16string_view TitleAvertissement = u"Avertissement";

inline constexpr std::u16string_view EditorTitle = u"Edition des Abréviations";
inline constexpr std::u16string_view EditorListsCounterLabel = u"Nombre de Listes créées: ";
inline constexpr std::u16string_view EditorRecordsCounterLabel = u"Nombre d'enregistrements pour cette Liste: ";
inline constexpr std::u16string_view EditorSortNotice =
    u"Les Abréviations sont triées automatiquement par ordre alphabétique";
inline constexpr std::u16string_view EditorListsGroup = u"Listes";
inline constexpr std::u16string_view EditorCreateList = u"Créer une Liste";
inline constexpr std::u16string_view EditorDeleteList = u"Supprimer cette Liste";
inline constexpr std::u16string_view EditorKeyColumn = u"Abrévations:";  // sic, without the i
inline constexpr std::u16string_view EditorTextColumn = u"Remplacer par:";
inline constexpr std::u16string_view EditorEntryGroup = u"Création, Modification, Supression d'une Abréviation";  // sic
inline constexpr std::u16string_view EditorKeyLabel = u"Abréviation:";
inline constexpr std::u16string_view EditorTextLabel = u"Remplacer par:";
inline constexpr std::u16string_view EditorAdd = u"Ajouter";
inline constexpr std::u16string_view EditorQuit = u"Quitter";
inline constexpr std::u16string_view EditorModify = u"Modifier";
inline constexpr std::u16string_view EditorReset = u"RAZ";
inline constexpr std::u16string_view EditorDelete = u"Supprimer";

inline constexpr std::u16string_view TextEditorTitle = u"Editeur";
inline constexpr std::u16string_view TextEditorFileMenu = u"Fichier";
inline constexpr std::u16string_view TextEditorQuit = u"Quitter";
inline constexpr std::u16string_view TextEditorEditMenu = u"Edition";
inline constexpr std::u16string_view TextEditorUndo = u"Annuler";
inline constexpr std::u16string_view TextEditorCut = u"Couper";
inline constexpr std::u16string_view TextEditorCopy = u"Copier";
inline constexpr std::u16string_view TextEditorPaste = u"Coller";
inline constexpr std::u16string_view TextEditorClear = u"Supprimer";
inline constexpr std::u16string_view TextEditorSelectAll = u"Sélectionner tout";

inline constexpr std::u16string_view NewListTitle = u"Nouvelle Liste";
inline constexpr std::u16string_view NewListPrompt = u"Veuillez entrer un Nom :";
inline constexpr std::u16string_view NewListAccept = u"Valider";
inline constexpr std::u16string_view NewListCancel = u"Annuler";
inline constexpr std::u16string_view ListNameForbidden = u"Le nom de la Liste comporte des caractères interdits !";
inline constexpr std::u16string_view ListNameTaken = u"Ce nom est déjà créé !";
inline constexpr std::u16string_view ListNameTooLong = u"Le nom de la Liste est trop long !";
inline constexpr std::u16string_view ListFileNotCreated = u"Impossible de créer le Fichier !";
inline constexpr std::u16string_view ListLimitStart = u"La limite des ";
inline constexpr std::u16string_view ListLimitEnd = u" Listes possible est atteinte !";
inline constexpr std::u16string_view NoListToDelete = u"Aucune Liste sélectionnée !";
inline constexpr std::u16string_view DeleteListQuestion = u"Êtes-vous sûr de vouloir supprimer cette Liste ?: ";
inline constexpr std::u16string_view DeleteListKeptIn = u"Ses enregistrements seront gardés dans le fichier: ";
inline constexpr std::u16string_view DeleteListFailed = u"Impossible de supprimer la Liste: ";

inline constexpr std::u16string_view SelectOrCreateList = u"Sélectionner une Liste ou en créer une !";
inline constexpr std::u16string_view EmptyFields = u"Un ou plusieurs champs sont vides !";
inline constexpr std::u16string_view KeyTooShort = u"L'Abréviation doit contenir au moins deux caractères !";
inline constexpr std::u16string_view KeyExists = u"Cette Abréviation existe déjà !";
inline constexpr std::u16string_view ListFull =
    u"Le nombre maximum de création d'Abréviations est atteint pour cette Liste !";
inline constexpr std::u16string_view SelectARow = u"Sélectionner une Abréviation dans le listing !";

inline constexpr std::u16string_view LeaveEmptyList =
    u"Vous quittez l'application sans avoir créer des Abréviations dans cette Liste !\r"
    u"Souhaitez vous quand même quitter l'application !";
inline constexpr std::u16string_view LeaveWithoutSelection =
    u"Vous quittez l'application sans sélectionner une Liste !\rSouhaitez vous quand même quitter l'application !";
inline constexpr std::u16string_view LeaveWithTypedText =
    u"Le texte tapé dans les champs n'a pas été ajouté à la Liste !\r"
    u"Souhaitez vous quand même quitter l'application !";
inline constexpr std::u16string_view LeaveWithoutLists =
    u"Aucune Liste n'est créée!\rSouhaitez vous quand même quitter l'application !";

inline constexpr std::u16string_view SpacesForbidden = u"Les espaces sont interdits !";
inline constexpr std::u16string_view KeyLengthReached = u"La limite du nombre de caractères est atteinte !";

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
