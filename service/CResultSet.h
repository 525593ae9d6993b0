#pragma once
// The results of one query. They stream in from the query's worker thread: the
// ready state is 3 while the query runs and 2 once it has finished, the count is
// the number of results available so far, and "next" waits for the next result
// or the end.

#include <memory>
#include <string>

#include "common/DesktopSearchInterfaces.h"
#include "service/ResultStream.h"
#include "service/ServiceObject.h"

namespace qv::service {

class CResultSet final
    : public ServiceObject<CResultSet, NoTypeInfoDispatch<IDesktopSearchResultSet>, IQuorvaneQueryNotes> {
 public:
  explicit CResultSet(std::shared_ptr<ResultStream> stream, std::wstring warning = {})
      : stream_(std::move(stream)), warning_(std::move(warning)) {}

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP Next(IDesktopSearchResult** result) override;
  STDMETHODIMP get_ReadyState(LONG* state) override;
  STDMETHODIMP UnusedSlot9() override { return E_NOTIMPL; }
  STDMETHODIMP get_AvailableCount(LONG* count) override;
  // IQuorvaneQueryNotes
  STDMETHODIMP GetLiteralWarning(BSTR* warning) override;

  // The worker of a query whose results nobody reads any more stops early.
  ~CResultSet() override { stream_->Cancel(); }

 private:

  std::shared_ptr<ResultStream> stream_;
  std::size_t next_ = 0;
  std::wstring warning_;
};

}  // namespace qv::service
