#pragma once
// The "Nouvelle Liste" dialog: asks the name of a new list, modally over the
// editor. Main thread only.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace calmirande {

// Called on "Valider" with the typed name, unchanged: true accepts it; false
// keeps the dialog open (the refusal already told), the text still there.
using NewListNameCheck = std::function<bool(std::u16string_view name)>;

// The accepted name, or nothing for "Annuler" (or a dialog that could not be made).
std::optional<std::u16string> askNewListName(HINSTANCE instance, HWND owner, const NewListNameCheck& accept);

}  // namespace calmirande
