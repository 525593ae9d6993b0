#pragma once
// Takes search folders dropped onto a search folder and moves them there. File
// lists are accepted for the cursor only: dropping them changes nothing.

#include <windows.h>
#include <oleidl.h>
#include <shlobj.h>

#include "module/ComBase.h"

namespace qv {

class CShellFolder;
struct DroppedLists;

class CDropTarget final : public ComObject<CDropTarget, LiveClass::DropTarget, IDropTarget> {
 public:
  // The folder that receives the drop; throws ComError without one.
  explicit CDropTarget(CShellFolder* folder);
  ~CDropTarget() override;

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

 private:
  // Sets *effect from the keys; true when the drop would be taken.
  bool ChooseEffect(DWORD keyState, DWORD* effect) const;
  // Moves (or, for a copy, leaves) the dropped folders; true when they were
  // handed to the folder.
  bool DropFolders(HGLOBAL block, bool move);
  // The source folder of the dropped items, or nothing when it is this folder
  // or cannot be reached.
  ComPtr<IShellFolder> BindToSourceFolder(const DroppedLists& lists) const;

  ComPtr<CShellFolder> folder_;
  bool accepting_ = false;
};

}  // namespace qv
