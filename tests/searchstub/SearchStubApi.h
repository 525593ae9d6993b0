#pragma once
// The scripting surface of the stand-in desktop search service (a test helper,
// not part of the product): plain C exports of quorvane_searchstub.dll. Tests load
// the DLL into their own process, register it for the current user, script what
// the service answers and read back what the component sent.

#include <windows.h>

// The calls of the service a test can make answer differently.
enum StubCall {
  kStubCreateQueryApi = 0,          // the class factory of kQueryApiProgId
  kStubCreateRegistrar,             // the class factory of kRegistrarProgId
  kStubStartRegistration,           // registrar slot 7
  kStubGetRegistrationInterface,    // registrar slot 8
  kStubFinishRegistration,          // registrar slot 9
  kStubUnregister,                  // registrar slot 10
  kStubRegisterQueryClient,         // query registration slot 7
  kStubQuery,                       // query component slot 7
  kStubNext,                        // result set slot 7
  kStubReadyState,                  // result set slot 8
  kStubAvailableCount,              // result set slot 10
  kStubUri,                         // property "uri" of a result
  kStubTitle,                       // property "title" of a result
  kStubCallKinds
};

// One query as the service received it.
struct StubQuery {
  LONG cookie;
  WCHAR searchString[512];
  VARTYPE categoryType;
  WCHAR category[64];   // when categoryType is VT_BSTR
  SCODE categoryError;  // when categoryType is VT_ERROR
  VARTYPE rankingType;
  LONG ranking;         // the VT_UI1 byte (or VT_I4 value) as sent
};

// What the registrar received last.
struct StubRegistrarLog {
  WCHAR registeredGuid[64];     // slot 7's component GUID
  VARTYPE descriptionType;      // slot 7's description VARIANT type
  LONG descriptionLowerBound;
  LONG descriptionCount;
  WCHAR description[8][64];     // the elements that are VT_BSTR (others stay empty)
  VARTYPE descriptionElementTypes[8];
  WCHAR registrationType[64];   // slot 8's type name
  WCHAR clientGuid[64];         // the query registration's component GUID
  LONG clientReadAllowed;       // its second argument
  WCHAR unregisteredGuid[64];   // slot 10's component GUID
};

// What the query object's IQuorvaneIndexStatus answers.
struct StubIndexStatus {
  LONG state;    // kIndexReady, kIndexBuilding or kIndexNotBuilt
  LONG files;
  LONG folders;
};

#define SEARCH_STUB_API extern "C" __declspec(dllexport)

// Forgets every script and log; results empty, ready state 2, next cookie 1.
typedef void (WINAPI *StubResetFn)();
// Appends a result; a null title makes its "title" property missing (the call fails).
typedef void (WINAPI *StubAddResultFn)(const WCHAR* uri, const WCHAR* title);
// Ready states a result set reports, one per read, the last one repeated; applies
// to result sets made afterwards.
typedef void (WINAPI *StubSetReadyStatesFn)(const LONG* states, int count);
// Counts of available results, one per read, the last one repeated. Without a
// script a result set reports its number of results.
typedef void (WINAPI *StubSetAvailableCountsFn)(const LONG* counts, int count);
// The cookie the next registration issues; later ones count up from it.
typedef void (WINAPI *StubSetNextCookieFn)(LONG cookie);
// The text result sets made afterwards answer as the bundled service's note of
// what a query read literally (empty: the whole text was understood).
typedef void (WINAPI *StubSetLiteralWarningFn)(const WCHAR* warning);
// After `skip` normal answers, the call answers `result` (doing nothing else)
// `times` times; times -1 means from then on. A success code with no object makes
// the call "succeed" without its out value.
typedef void (WINAPI *StubScriptCallFn)(StubCall call, HRESULT result, int skip, int times);
typedef int (WINAPI *StubCallCountFn)(StubCall call);
typedef int (WINAPI *StubQueryCountFn)();
typedef BOOL (WINAPI *StubGetQueryFn)(int index, StubQuery* query);
typedef void (WINAPI *StubGetRegistrarLogFn)(StubRegistrarLog* log);
// Cookies issued so far, the last one first in `last`.
typedef int (WINAPI *StubIssuedCookiesFn)(LONG* last);
// From now on the query object answers IQuorvaneIndexStatus with the status
// (null: it has no such interface again, as after a reset).
typedef void (WINAPI *StubSetIndexStatusFn)(const StubIndexStatus* status);
// How often IQuorvaneIndexStatus was asked.
typedef int (WINAPI *StubIndexStatusCallsFn)();
// Live objects of the service (class factories aside).
typedef LONG (WINAPI *StubLiveObjectsFn)();
