#include "view/ViewToolbar.h"

#include <commctrl.h>

#include "common/Holders.h"
#include "common/ModulePaths.h"
#include "resources/resource.h"

namespace qv {
namespace {

enum class Bitmap { Standard, View };

struct ToolbarButton {
  int command;
  UINT tooltip;
  Bitmap bitmap;
  int image;
  BYTE state;
  BYTE style;
};

constexpr ToolbarButton kButtons[] = {
    {IDC_NEW_FOLDER, IDS_NEW_FOLDER_MENU, Bitmap::View, VIEW_NEWFOLDER, TBSTATE_ENABLED, BTNS_BUTTON},
    {IDC_DELETE, IDS_DELETE, Bitmap::Standard, STD_DELETE, TBSTATE_ENABLED, BTNS_BUTTON},
    {IDC_PROPERTIES, IDS_PROPERTIES, Bitmap::Standard, STD_PROPERTIES, TBSTATE_ENABLED, BTNS_BUTTON},
    {IDC_VIEWS_BUTTON, IDS_VIEWS_BUTTON, Bitmap::View, VIEW_LIST, TBSTATE_ENABLED, BTNS_DROPDOWN},
};
constexpr UINT kButtonCount = sizeof kButtons / sizeof kButtons[0];

LRESULT AddBitmap(IShellBrowser* browser, UINT_PTR bitmap) {
  TBADDBITMAP add = {HINST_COMMCTRL, bitmap};
  LRESULT offset = 0;
  browser->SendControlMsg(FCW_TOOLBAR, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&add), &offset);
  return offset;
}

}  // namespace

void AddViewToolbarButtons(IShellBrowser* browser) {
  browser->SetToolbarItems(nullptr, 0, FCT_MERGE);
  LRESULT standardOffset = AddBitmap(browser, IDB_STD_SMALL_COLOR);
  LRESULT viewOffset = AddBitmap(browser, IDB_VIEW_SMALL_COLOR);
  GlobalMemory memory(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, kButtonCount * sizeof(TBBUTTON)));
  if (!memory) return;
  auto* buttons = static_cast<TBBUTTON*>(static_cast<void*>(memory.Get()));
  for (UINT i = 0; i < kButtonCount; ++i) {
    const ToolbarButton& row = kButtons[i];
    LRESULT offset = row.bitmap == Bitmap::Standard ? standardOffset : viewOffset;
    buttons[i].iBitmap = static_cast<int>(row.image + offset);
    buttons[i].idCommand = row.command;
    buttons[i].fsState = row.state;
    buttons[i].fsStyle = row.style;
  }
  browser->SetToolbarItems(buttons, kButtonCount, FCT_MERGE);
}

bool SupplyToolbarTooltip(NMHDR* header) {
  for (const ToolbarButton& row : kButtons) {
    if (static_cast<UINT_PTR>(row.command) != header->idFrom) continue;
    if (header->code == TTN_GETDISPINFOW) {
      auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
      LoadStringW(ModuleInstance(), row.tooltip, info->szText, ARRAYSIZE(info->szText));
    } else {
      // An ANSI tooltip loads the string resource itself, in its own code page.
      auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
      info->hinst = ModuleInstance();
      info->lpszText = MAKEINTRESOURCEA(row.tooltip);
    }
    return true;
  }
  return false;
}

}  // namespace qv
