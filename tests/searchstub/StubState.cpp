#include "searchstub/StubState.h"

namespace qv::stub {

StubState& State() {
  static StubState state;
  return state;
}

bool IsScripted(StubCall call, HRESULT& result) {
  StubState& state = State();
  int index = state.callCounts[call]++;
  const CallScript& script = state.scripts[call];
  if (script.times == 0 || index < script.skip) return false;
  if (script.times > 0 && index >= script.skip + script.times) return false;
  result = script.result;
  return true;
}

LONG ScriptValue(const std::vector<LONG>& values, std::size_t index, LONG fallback) {
  if (values.empty()) return fallback;
  return index < values.size() ? values[index] : values.back();
}

}  // namespace qv::stub

using qv::stub::State;

SEARCH_STUB_API void WINAPI StubReset() {
  LONG live = State().liveObjects;
  State() = qv::stub::StubState{};
  State().liveObjects = live;
}

SEARCH_STUB_API void WINAPI StubAddResult(const WCHAR* uri, const WCHAR* title) {
  qv::stub::ScriptedResult result{uri ? uri : L"", std::nullopt};
  if (title) result.title = title;
  std::shared_ptr<qv::stub::ScriptedResults>& results = State().results;
  if (results.use_count() > 1) results = std::make_shared<qv::stub::ScriptedResults>(*results);
  results->push_back(std::move(result));
}

SEARCH_STUB_API void WINAPI StubSetReadyStates(const LONG* states, int count) {
  State().readyStates.assign(states, states + count);
}

SEARCH_STUB_API void WINAPI StubSetAvailableCounts(const LONG* counts, int count) {
  State().availableCounts.assign(counts, counts + count);
}

SEARCH_STUB_API void WINAPI StubSetNextCookie(LONG cookie) { State().nextCookie = cookie; }

SEARCH_STUB_API void WINAPI StubSetLiteralWarning(const WCHAR* warning) {
  State().literalWarning = warning ? warning : L"";
}

SEARCH_STUB_API void WINAPI StubSetIndexStatus(const StubIndexStatus* status) {
  if (status) {
    State().indexStatus = *status;
  } else {
    State().indexStatus.reset();
  }
}

SEARCH_STUB_API int WINAPI StubIndexStatusCalls() { return State().indexStatusCalls; }

SEARCH_STUB_API void WINAPI StubScriptCall(StubCall call, HRESULT result, int skip, int times) {
  if (call < 0 || call >= kStubCallKinds) return;
  State().scripts[call] = qv::stub::CallScript{result, skip, times};
}

SEARCH_STUB_API int WINAPI StubCallCount(StubCall call) {
  return call >= 0 && call < kStubCallKinds ? State().callCounts[call] : 0;
}

SEARCH_STUB_API int WINAPI StubQueryCount() { return static_cast<int>(State().queries.size()); }

SEARCH_STUB_API BOOL WINAPI StubGetQuery(int index, StubQuery* query) {
  if (!query || index < 0 || index >= StubQueryCount()) return FALSE;
  *query = State().queries[static_cast<std::size_t>(index)];
  return TRUE;
}

SEARCH_STUB_API void WINAPI StubGetRegistrarLog(StubRegistrarLog* log) {
  if (log) *log = State().registrar;
}

SEARCH_STUB_API int WINAPI StubIssuedCookies(LONG* last) {
  const auto& issued = State().issuedCookies;
  if (last) *last = issued.empty() ? 0 : issued.back();
  return static_cast<int>(issued.size());
}

SEARCH_STUB_API LONG WINAPI StubLiveObjects() { return State().liveObjects; }
