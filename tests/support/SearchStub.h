#pragma once
// The stand-in desktop search service, loaded into the test process. While a
// SearchStub is installed, the ProgIDs kQueryApiProgId and kRegistrarProgId
// resolve (per user) to it; Uninstall removes them, as on a machine without the
// service. Each SearchStub starts from a clean script and log.

#include <windows.h>

#include <string>
#include <vector>

#include "searchstub/SearchStubApi.h"

namespace qv::test {

class SearchStub {
 public:
  // Loads the stand-in and installs it; throws std::runtime_error when it cannot.
  SearchStub();
  SearchStub(const SearchStub&) = delete;
  SearchStub& operator=(const SearchStub&) = delete;
  // Uninstalls it and forgets its script.
  ~SearchStub();

  void Install();
  void Uninstall();
  void Reset();

  // Appends a result whose "title" is the given text.
  void AddResult(const std::wstring& uri, const std::wstring& title);
  // Appends a result that has no "title" property.
  void AddUntitledResult(const std::wstring& uri);
  // The answers to successive reads of a result set's ready state and available
  // count (the last one repeats); sets already handed out follow a new script.
  void SetReadyStates(const std::vector<LONG>& states);
  void SetAvailableCounts(const std::vector<LONG>& counts);
  void SetNextCookie(LONG cookie);
  // What result sets made afterwards say the query read literally.
  void SetLiteralWarning(const std::wstring& warning);
  // From now on the query object answers IQuorvaneIndexStatus with this state.
  void SetIndexStatus(LONG state, LONG files, LONG folders);
  int IndexStatusCalls() const;
  // After `skip` normal answers the call answers `result`, `times` times (-1: always).
  void ScriptCall(StubCall call, HRESULT result, int skip = 0, int times = -1);

  int CallCount(StubCall call) const;
  std::vector<StubQuery> Queries() const;
  StubRegistrarLog RegistrarLog() const;
  int IssuedCookieCount() const;
  LONG LastIssuedCookie() const;
  LONG LiveObjects() const;

  // The stand-in's file, for messages.
  static std::string Path();

 private:
  template <class Fn>
  Fn Function(const char* name) const;

  HMODULE module_ = nullptr;
};

}  // namespace qv::test
