#pragma once
// Counts the component's live COM objects per class; the module may be unloaded
// only while the total is zero.

#include <windows.h>

namespace qv {

// Fixed class indexes; the order is part of the module's accounting table.
enum class LiveClass : int {
  DropSource = 0,
  ShellFolder,
  ShellView,
  EnumFormatEtc,
  ClassFactory,
  ContextMenu,
  DataObject,
  DropTarget,
  EnumIDList,
  ExtractIcon,
  QueryInfo,
  PidlManager,  // has a name and an index, but is never counted
  Count,
  Uncounted = -1  // objects outside the accounting (helpers of other modules)
};

int CountObject(LiveClass cls);
int UncountObject(LiveClass cls);
const char* ClassName(LiveClass cls);
LONG LiveObjectTotal();
LONG LiveObjectCount(LiveClass cls);

// The module's answer to the host's unload query: S_OK while no counted object
// lives, S_FALSE otherwise. Class factory locks play no part.
HRESULT CanUnloadNow();

}  // namespace qv
