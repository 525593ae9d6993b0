#pragma once
// Takes search folders dropped onto a search folder and moves them there. Only
// the component's own format is taken; files and anything else are refused,
// and a result offers nothing to drop on. The effect shown while dragging is
// the one Drop performs, and Drop answers exactly what it did: a move when at
// least one folder moved, otherwise no effect and no change.

#include <windows.h>
#include <oleidl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"
#include "pidl/CItemIdList.h"

namespace qv {

// A drop of more folders than this is refused: moving each one rewrites the
// folder definitions, and no one files hundreds of folders in one gesture.
constexpr std::size_t kMostFoldersPerDrop = 256;

class CDropTarget final : public ComObject<CDropTarget, LiveCount<LiveClass::DropTarget>, IDropTarget> {
 public:
  // The folder that receives the drop and its list from the desktop; throws
  // ComError without them.
  CDropTarget(IShellFolder* folder, LPCITEMIDLIST absoluteList);
  ~CDropTarget() override;

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

 private:
  // What dropping a data object here would do: the folders that would move.
  struct Plan {
    ComPtr<IShellFolder> source;
    std::vector<BYTE> sourceList;
    std::vector<CItemIdList> items;
    std::vector<std::wstring> names;
    bool tooMany = false;
  };

  // Reads the dropped folders and keeps those that would move: search folders
  // of another of the component's folders that still exist there, that are not
  // this folder or one holding it, and that have no namesake here.
  Plan PlanDrop(IDataObject* data) const;
  // The effect a drop with these keys performs: a move, or none (copies and
  // links of search folders are not made).
  static DWORD EffectFor(const Plan& plan, DWORD keyState, DWORD allowed);
  // True when this folder is `list` or lies below it.
  bool IsAtOrBelow(IShellFolder* desktop, LPCITEMIDLIST list) const;
  // Moves the planned folders; how many left the source for this folder.
  std::size_t MoveFolders(const Plan& plan) const;

  ComPtr<IShellFolder> folder_;
  CItemIdList absolute_;
  Plan plan_;
  bool entered_ = false;
};

}  // namespace qv
