// The commands of CShellView that change only the presentation: view modes,
// refresh and renaming the selected row. Commands that change folders or files
// belong to the folder and its menus.

#include "resources/resource.h"
#include "view/CShellView.h"

namespace qv {

void CShellView::ExecuteViewCommand(UINT command, UINT, LPARAM) {
  switch (command) {
    case IDC_RENAME_KEY:
      StartRenameOfSelection();
      break;
    case IDC_MODE_LARGE_ICONS:
      ApplyViewMode(kModeLargeIcons);
      break;
    case IDC_MODE_SMALL_ICONS:
      ApplyViewMode(kModeSmallIcons);
      break;
    case IDC_MODE_LIST:
      ApplyViewMode(kModeList);
      break;
    case IDC_MODE_DETAILS:
      ApplyViewMode(kModeDetails);
      break;
    case IDC_MODE_REPORT:
      ApplyViewMode(kModeReport);
      break;
    case IDC_MODE_THUMBNAILS:
      MessageBeep(0);
      break;
    case IDC_REFRESH_KEY:
      Refresh();
      break;
    default:
      break;
  }
}

}  // namespace qv
