#pragma once
// The desktop search service's names and COM interfaces, shared by the component
// that asks and the bundled service that answers: the ProgIDs, the bundled
// service's class IDs, and the interfaces in vtable slot order. Each interface
// derives from IDispatch, so its first own method is slot 7.

#include <windows.h>
#include <oaidl.h>

namespace qv {

// ProgIDs and the registration type the component asks the service for.
constexpr wchar_t kQueryApiProgId[] = L"GoogleDesktop.QueryAPI";
constexpr wchar_t kRegistrarProgId[] = L"GoogleDesktop.Registrar";
constexpr wchar_t kQueryRegistrationType[] = L"GoogleDesktop.QueryRegistration";

// The bundled service's class IDs, one per creatable object.
// kQueryApiProgId
constexpr CLSID kQueryApiClassId = {0x7CFA0974, 0xCC41, 0x46C8, {0x94, 0xFC, 0x53, 0x66, 0x36, 0xD8, 0x0E, 0xDD}};
// kRegistrarProgId
constexpr CLSID kRegistrarClassId = {0x5E08AE69, 0x072D, 0x4A38, {0xB5, 0xE5, 0x48, 0x94, 0xE5, 0xCD, 0x84, 0x9E}};
// kQueryRegistrationType
constexpr CLSID kQueryRegistrationClassId = {0x599FBFE1, 0x2DF3, 0x4FCB, {0xA4, 0xDF, 0x2A, 0x9B, 0x79, 0xFC, 0x68, 0x4E}};

// The service's answer to a query whose registration cookie it does not know.
constexpr HRESULT kRegistrationLost = static_cast<HRESULT>(0x80040002);

// Ready states of a result set.
constexpr LONG kResultSetComplete = 2;
constexpr LONG kResultSetSearching = 3;

// IQuorvaneIndexStatus states.
constexpr LONG kIndexReady = 0;
constexpr LONG kIndexBuilding = 1;
constexpr LONG kIndexNotBuilt = 2;

}  // namespace qv

// One result of a query.
MIDL_INTERFACE("2E7C367B-F2F9-4FC2-81EE-58C3BCB21EBB")
IDesktopSearchResult : public IDispatch {
  // Slot 7: a property by name ("uri", "title").
  virtual HRESULT STDMETHODCALLTYPE GetProperty(BSTR name, VARIANT* value) = 0;
};

// The results of one query, pulled one at a time.
MIDL_INTERFACE("745C5E13-3B8D-43C3-9C84-0BD1BE5B475B")
IDesktopSearchResultSet : public IDispatch {
  // Slot 7: the next result, or S_OK with null at the end.
  virtual HRESULT STDMETHODCALLTYPE Next(IDesktopSearchResult** result) = 0;
  // Slot 8: 3 while searching, 2 when complete.
  virtual HRESULT STDMETHODCALLTYPE get_ReadyState(LONG* state) = 0;
  // Slot 9: not used by the component; declared to keep the slots in place.
  virtual HRESULT STDMETHODCALLTYPE UnusedSlot9() = 0;
  // Slot 10: the number of results available so far.
  virtual HRESULT STDMETHODCALLTYPE get_AvailableCount(LONG* count) = 0;
};

// The query component ("GoogleDesktop.QueryAPI").
MIDL_INTERFACE("CE714D64-8BA7-4C0A-BC7A-B9249731E3F6")
IDesktopSearchQueryApi : public IDispatch {
  // Slot 7: runs a query for a registered client.
  virtual HRESULT STDMETHODCALLTYPE Query(LONG cookie, BSTR searchString, VARIANT category,
                                          VARIANT ranking, IDesktopSearchResultSet** results) = 0;
};

// The registrar ("GoogleDesktop.Registrar").
MIDL_INTERFACE("B7BC8A9B-DC73-42D4-AB7D-17178619C8E4")
IDesktopSearchRegistrar : public IDispatch {
  // Slot 7: starts a component's registration with its description (a SAFEARRAY of
  // alternating key and value BSTR VARIANTs).
  virtual HRESULT STDMETHODCALLTYPE StartComponentRegistration(BSTR componentGuid, VARIANT description) = 0;
  // Slot 8: the registration object for a registration type.
  virtual HRESULT STDMETHODCALLTYPE GetRegistrationInterface(BSTR registrationType, IUnknown** registration) = 0;
  // Slot 9: finishes the registration started by slot 7.
  virtual HRESULT STDMETHODCALLTYPE FinishComponentRegistration() = 0;
  // Slot 10: removes a component's registration.
  virtual HRESULT STDMETHODCALLTYPE UnregisterComponent(BSTR componentGuid) = 0;
};

// The object slot 8 of the registrar returns for "GoogleDesktop.QueryRegistration".
MIDL_INTERFACE("4A2168E6-7128-453C-9F0E-BEE826955266")
IDesktopSearchQueryRegistration : public IDispatch {
  // Slot 7: registers a query client and issues its cookie.
  virtual HRESULT STDMETHODCALLTYPE RegisterQueryClient(BSTR componentGuid, LONG readAllowed, LONG* cookie) = 0;
};

// The bundled service's own addition, asked of its query object with
// QueryInterface (other services do not have it): how far the index is, for a
// view to say that the index is still being built, or that nothing is indexed.
MIDL_INTERFACE("3FA0AB6E-FF2F-4887-BA59-283A9946D41B")
IQuorvaneIndexStatus : public IUnknown {
  // *state: kIndexReady when an index pass has finished, kIndexBuilding while
  // the first pass (or a rebuild) runs, kIndexNotBuilt when none has finished
  // and none runs. *files: the files in the index so far. *folders: how many
  // folders are indexed (0: the user has not chosen any). Each pointer may be
  // null. It opens the service's databases and counts the files in the index:
  // ask it once when a fill ends, or at most once a second, never per row.
  virtual HRESULT STDMETHODCALLTYPE GetIndexStatus(LONG* state, LONG* files, LONG* folders) = 0;
};

__CRT_UUID_DECL(IQuorvaneIndexStatus, 0x3FA0AB6E, 0xFF2F, 0x4887, 0xBA, 0x59, 0x28, 0x3A, 0x99, 0x46, 0xD4, 0x1B)

// The bundled service's own addition to its result sets (other services answer
// E_NOINTERFACE): what the query's text was read as, for a client that shows
// the user a query as it is typed.
MIDL_INTERFACE("4C8D817C-20C4-4DE0-90B4-3B40FE1303FA")
IQuorvaneQueryNotes : public IUnknown {
  // One line naming what was read literally ("size:>>1 (not a size)"), as the
  // index tool's query command writes it after "Warning: "; empty when the
  // whole text was understood.
  virtual HRESULT STDMETHODCALLTYPE GetLiteralWarning(BSTR* warning) = 0;
};

__CRT_UUID_DECL(IDesktopSearchResult, 0x2E7C367B, 0xF2F9, 0x4FC2, 0x81, 0xEE, 0x58, 0xC3, 0xBC, 0xB2, 0x1E, 0xBB)
__CRT_UUID_DECL(IDesktopSearchResultSet, 0x745C5E13, 0x3B8D, 0x43C3, 0x9C, 0x84, 0x0B, 0xD1, 0xBE, 0x5B, 0x47, 0x5B)
__CRT_UUID_DECL(IDesktopSearchQueryApi, 0xCE714D64, 0x8BA7, 0x4C0A, 0xBC, 0x7A, 0xB9, 0x24, 0x97, 0x31, 0xE3, 0xF6)
__CRT_UUID_DECL(IDesktopSearchRegistrar, 0xB7BC8A9B, 0xDC73, 0x42D4, 0xAB, 0x7D, 0x17, 0x17, 0x86, 0x19, 0xC8, 0xE4)
__CRT_UUID_DECL(IDesktopSearchQueryRegistration, 0x4A2168E6, 0x7128, 0x453C, 0x9F, 0x0E, 0xBE, 0xE8, 0x26, 0x95, 0x52, 0x66)
__CRT_UUID_DECL(IQuorvaneQueryNotes, 0x4C8D817C, 0x20C4, 0x4DE0, 0x90, 0xB4, 0x3B, 0x40, 0xFE, 0x13, 0x03, 0xFA)
