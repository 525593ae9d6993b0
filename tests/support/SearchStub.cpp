#include "support/SearchStub.h"

#include <cstdlib>
#include <stdexcept>

#include "support/TempDirectory.h"

namespace qv::test {

std::string SearchStub::Path() {
  if (const char* path = std::getenv("QUORVANE_SEARCH_STUB")) return HostPathToWindows(path);
#ifdef QUORVANE_SEARCH_STUB_PATH
  return HostPathToWindows(QUORVANE_SEARCH_STUB_PATH);
#else
  return "quorvane_searchstub.dll";
#endif
}

SearchStub::SearchStub() {
  // Loaded once and kept: COM loads the same file for the component, so the
  // script set here is what the component's service objects answer.
  module_ = LoadLibraryA(Path().c_str());
  if (!module_) throw std::runtime_error("cannot load the stand-in search service " + Path());
  Reset();
  Install();
}

SearchStub::~SearchStub() {
  Uninstall();
  Reset();
}

template <class Fn>
Fn SearchStub::Function(const char* name) const {
  auto function = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  if (!function) throw std::runtime_error(std::string("the stand-in search service lacks ") + name);
  return function;
}

void SearchStub::Install() {
  using RegisterFn = HRESULT(WINAPI*)();
  if (FAILED(Function<RegisterFn>("DllRegisterServer")())) throw std::runtime_error("cannot register the stand-in");
}

void SearchStub::Uninstall() {
  using RegisterFn = HRESULT(WINAPI*)();
  Function<RegisterFn>("DllUnregisterServer")();
}

void SearchStub::Reset() { Function<StubResetFn>("StubReset")(); }

void SearchStub::AddResult(const std::wstring& uri, const std::wstring& title) {
  Function<StubAddResultFn>("StubAddResult")(uri.c_str(), title.c_str());
}

void SearchStub::AddUntitledResult(const std::wstring& uri) {
  Function<StubAddResultFn>("StubAddResult")(uri.c_str(), nullptr);
}

void SearchStub::SetReadyStates(const std::vector<LONG>& states) {
  Function<StubSetReadyStatesFn>("StubSetReadyStates")(states.data(), static_cast<int>(states.size()));
}

void SearchStub::SetAvailableCounts(const std::vector<LONG>& counts) {
  Function<StubSetAvailableCountsFn>("StubSetAvailableCounts")(counts.data(), static_cast<int>(counts.size()));
}

void SearchStub::SetNextCookie(LONG cookie) { Function<StubSetNextCookieFn>("StubSetNextCookie")(cookie); }

void SearchStub::SetLiteralWarning(const std::wstring& warning) {
  Function<StubSetLiteralWarningFn>("StubSetLiteralWarning")(warning.c_str());
}

void SearchStub::SetIndexStatus(LONG state, LONG files, LONG folders) {
  StubIndexStatus status{state, files, folders};
  Function<StubSetIndexStatusFn>("StubSetIndexStatus")(&status);
}

int SearchStub::IndexStatusCalls() const {
  return Function<StubIndexStatusCallsFn>("StubIndexStatusCalls")();
}

void SearchStub::ScriptCall(StubCall call, HRESULT result, int skip, int times) {
  Function<StubScriptCallFn>("StubScriptCall")(call, result, skip, times);
}

int SearchStub::CallCount(StubCall call) const { return Function<StubCallCountFn>("StubCallCount")(call); }

std::vector<StubQuery> SearchStub::Queries() const {
  std::vector<StubQuery> queries(static_cast<std::size_t>(Function<StubQueryCountFn>("StubQueryCount")()));
  auto get = Function<StubGetQueryFn>("StubGetQuery");
  for (std::size_t i = 0; i < queries.size(); ++i) get(static_cast<int>(i), &queries[i]);
  return queries;
}

StubRegistrarLog SearchStub::RegistrarLog() const {
  StubRegistrarLog log = {};
  Function<StubGetRegistrarLogFn>("StubGetRegistrarLog")(&log);
  return log;
}

int SearchStub::IssuedCookieCount() const { return Function<StubIssuedCookiesFn>("StubIssuedCookies")(nullptr); }

LONG SearchStub::LastIssuedCookie() const {
  LONG last = 0;
  Function<StubIssuedCookiesFn>("StubIssuedCookies")(&last);
  return last;
}

LONG SearchStub::LiveObjects() const { return Function<StubLiveObjectsFn>("StubLiveObjects")(); }

}  // namespace qv::test
