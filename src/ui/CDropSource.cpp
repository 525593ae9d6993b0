#include "ui/CDropSource.h"

namespace qv {

const InterfaceEntry* CDropSource::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CDropSource, IDropSource), {}};
  return table;
}

STDMETHODIMP CDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
  if (escapePressed) return DRAGDROP_S_CANCEL;
  // A drag begun with the right button ends at once: only the left one carries it.
  if (!(keyState & MK_LBUTTON)) return DRAGDROP_S_DROP;
  return S_OK;
}

STDMETHODIMP CDropSource::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

}  // namespace qv
