#pragma once
// The drop target of a view's list: what is dragged over a search-folder row goes
// to that folder's drop target, anything else to the drop target of the folder
// the view shows. The row under the cursor is highlighted while it would take
// the drop.

#include <windows.h>
#include <oleidl.h>
#include <shlobj.h>

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"

namespace qv {

class CViewDropTarget final : public ComObject<CViewDropTarget, LiveCount<LiveClass::DropTarget>, IDropTarget> {
 public:
  // `list` is the view's list control, `folder` the folder it shows.
  CViewDropTarget(HWND list, IShellFolder* folder);
  ~CViewDropTarget() override;

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

 private:
  // The search-folder row at a screen point, or -1.
  int FolderRowAt(POINTL point) const;
  // Makes the target of `row` (-1: the view's folder) the current one and
  // passes it DragEnter, or passes the current one DragOver when it is already.
  void Track(int row, DWORD keyState, POINTL point, DWORD* effect);
  // Leaves the current target and takes the highlight off its row.
  void LeaveCurrent();
  void Highlight(int row, bool on) const;

  HWND list_;
  ComPtr<IShellFolder> folder_;
  ComPtr<IDataObject> data_;
  ComPtr<IDropTarget> current_;
  int currentRow_ = -1;
  bool entered_ = false;
};

}  // namespace qv
