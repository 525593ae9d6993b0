#pragma once
// The drop source the view hands to DoDragDrop: the drag ends when the left
// button is up and is cancelled by Escape.

#include <windows.h>
#include <oleidl.h>

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"

namespace qv {

class CDropSource final : public ComObject<CDropSource, LiveCount<LiveClass::DropSource>, IDropSource> {
 public:
  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
  STDMETHODIMP GiveFeedback(DWORD effect) override;
};

}  // namespace qv
