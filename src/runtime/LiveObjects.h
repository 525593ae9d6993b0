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
  Count
};

int CountObject(LiveClass cls);
int UncountObject(LiveClass cls);
const char* ClassName(LiveClass cls);
LONG LiveObjectTotal();
LONG LiveObjectCount(LiveClass cls);

// The counting policy of the component's COM objects (see ComObject).
template <LiveClass Cls>
struct LiveCount {
  static void Created() { CountObject(Cls); }
  static void Destroyed() { UncountObject(Cls); }
};

// IClassFactory::LockServer: a host keeps the module loaded between creations.
void LockModule(bool lock);
LONG ModuleLockCount();

// The module's answer to the host's unload query: S_OK while no counted object
// lives and no class factory lock is held, S_FALSE otherwise.
HRESULT CanUnloadNow();

}  // namespace qv
