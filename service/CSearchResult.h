#pragma once
// One hit of a query as the service hands it out: its properties "uri" (the
// file's full path) and "title" (the file's name).

#include "common/DesktopSearchInterfaces.h"
#include "service/IndexSearch.h"
#include "service/ServiceObject.h"

namespace qv::service {

class CSearchResult final : public ServiceObject<CSearchResult, NoTypeInfoDispatch<IDesktopSearchResult>> {
 public:
  explicit CSearchResult(SearchHit hit) : hit_(std::move(hit)) {}

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP GetProperty(BSTR name, VARIANT* value) override;

 private:
  SearchHit hit_;
};

}  // namespace qv::service
