#pragma once
// The buttons a view adds to the browser's toolbar, and their tooltips.

#include <windows.h>
#include <shlobj.h>

namespace qv {

// Merges the view's buttons into the browser's toolbar.
void AddViewToolbarButtons(IShellBrowser* browser);
// Answers TTN_GETDISPINFOA/W for one of the view's buttons; false, leaving the
// notification untouched, for any other command.
bool SupplyToolbarTooltip(NMHDR* header);

}  // namespace qv
