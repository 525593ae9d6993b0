#pragma once
// The query component (kQueryApiProgId): runs a registered client's query against the file
// index. A cookie the service did not issue, or issued to a registration since
// removed, is answered with kRegistrationLost. A query also starts the user's
// watcher when none runs (or a background pass when one is due), and the
// object tells how far the index is (IQuorvaneIndexStatus).

#include "common/DesktopSearchInterfaces.h"
#include "service/ServiceObject.h"

namespace qv::service {

class CQueryApi final
    : public ServiceObject<CQueryApi, NoTypeInfoDispatch<IDesktopSearchQueryApi>, IQuorvaneIndexStatus> {
 public:
  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP Query(LONG cookie, BSTR searchString, VARIANT category, VARIANT ranking,
                     IDesktopSearchResultSet** results) override;
  STDMETHODIMP GetIndexStatus(LONG* state, LONG* files, LONG* folders) override;
};

}  // namespace qv::service
