#pragma once
// The stand-in service's script and log, shared by its objects and its exports.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "searchstub/SearchStubApi.h"

namespace qv::stub {

struct ScriptedResult {
  std::wstring uri;
  std::optional<std::wstring> title;
};

struct CallScript {
  HRESULT result = S_OK;
  int skip = 0;
  int times = 0;  // 0: the call answers normally
};

using ScriptedResults = std::vector<ScriptedResult>;

struct StubState {
  // Shared with the result sets made from them; a result added while a set
  // holds them goes to a copy, so each set keeps what was scripted when it was
  // made (and a large script costs no copy per query).
  std::shared_ptr<ScriptedResults> results = std::make_shared<ScriptedResults>();
  std::vector<LONG> readyStates{2};
  std::vector<LONG> availableCounts;  // empty: the number of results
  LONG nextCookie = 1;
  std::wstring literalWarning;
  std::vector<LONG> issuedCookies;
  CallScript scripts[kStubCallKinds];
  int callCounts[kStubCallKinds] = {};
  std::vector<StubQuery> queries;
  StubRegistrarLog registrar = {};
  LONG liveObjects = 0;
  // Set: the query object answers IQuorvaneIndexStatus with it.
  std::optional<StubIndexStatus> indexStatus;
  int indexStatusCalls = 0;
};

StubState& State();

// Counts a call of the given kind; true (with the scripted answer in `result`)
// when the script says this call answers differently.
bool IsScripted(StubCall call, HRESULT& result);

// Copies wide text into a fixed log buffer, cut to fit.
template <std::size_t N>
void CopyText(WCHAR (&buffer)[N], const WCHAR* text) {
  lstrcpynW(buffer, text ? text : L"", static_cast<int>(N));
}

// The n-th value of a script whose last value repeats.
LONG ScriptValue(const std::vector<LONG>& values, std::size_t index, LONG fallback);

}  // namespace qv::stub
