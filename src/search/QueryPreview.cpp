#include "search/QueryPreview.h"

#include "common/Holders.h"

namespace qv {

bool QueryPreview::Start(const SearchRequest& request) {
  results_.Reset();
  SearchRequest all = request;
  all.maxResults = 0;
  try {
    results_ = StartSearch(all);
  } catch (const ComError&) {
    results_.Reset();
  }
  deadline_ = GetTickCount64() + kResultWaitLimitMs;
  return static_cast<bool>(results_);
}

bool QueryPreview::Poll(Answer& answer) {
  if (!results_) return false;
  answer = {};
  LONG state = kResultSetComplete;
  if (FAILED(results_->get_ReadyState(&state))) state = kResultSetComplete;
  bool late = GetTickCount64() >= deadline_;
  if (state == kResultSetSearching && !late) return false;
  answer.complete = state != kResultSetSearching;
  if (FAILED(results_->get_AvailableCount(&answer.count)) || answer.count < 0) answer.count = 0;
  if (ComPtr<IQuorvaneQueryNotes> notes = results_.As<IQuorvaneQueryNotes>()) {
    answer.bundledService = true;
    Bstr warning;
    if (SUCCEEDED(notes->GetLiteralWarning(warning.Put())) && warning.Get()) answer.warning = warning.Get();
  }
  results_.Reset();
  return true;
}

}  // namespace qv
