#include "service/PendingRegistration.h"

#include "common/Holders.h"

namespace qv::service {
namespace {

bool IsKey(BSTR key, const wchar_t* name) { return CompareStringOrdinal(key, -1, name, -1, TRUE) == CSTR_EQUAL; }

}  // namespace

void PendingRegistration::Start(ComponentRegistration registration) {
  ExclusiveLock guard(lock_);
  registration_ = std::move(registration);
  started_ = true;
}

bool PendingRegistration::IsStarted() {
  ExclusiveLock guard(lock_);
  return started_;
}

bool PendingRegistration::IssueCookie(const std::wstring& guid, RegistrationStore& store, LONG* cookie) {
  ExclusiveLock guard(lock_);
  if (!started_ || guid != registration_.guid) return false;
  *cookie = store.NewCookie();
  registration_.cookies.push_back(*cookie);
  return true;
}

bool PendingRegistration::Finish(RegistrationStore& store) {
  ExclusiveLock guard(lock_);
  if (!started_) return false;
  store.Save(registration_);
  started_ = false;
  registration_ = {};
  return true;
}

bool ReadComponentDescription(const VARIANT& description, ComponentRegistration* registration) {
  VARTYPE type = V_VT(&description);
  if (type == VT_EMPTY || (type == VT_ERROR && V_ERROR(&description) == DISP_E_PARAMNOTFOUND)) return true;
  if ((type & ~VT_BYREF) != (VT_ARRAY | VT_VARIANT)) return false;
  SAFEARRAY* array = (type & VT_BYREF) ? (V_ARRAYREF(&description) ? *V_ARRAYREF(&description) : nullptr)
                                       : V_ARRAY(&description);
  LONG lower = 0;
  LONG upper = -1;
  if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
      FAILED(SafeArrayGetUBound(array, 1, &upper))) {
    return false;
  }
  if ((upper - lower + 1) % 2 != 0) return false;
  for (LONG index = lower; index < upper; index += 2) {
    Variant key;
    Variant value;
    LONG valueIndex = index + 1;
    if (FAILED(SafeArrayGetElement(array, &index, key.Get())) ||
        FAILED(SafeArrayGetElement(array, &valueIndex, value.Get())) || key.Type() != VT_BSTR ||
        value.Type() != VT_BSTR) {
      return false;
    }
    BSTR name = V_BSTR(key.Get());
    const wchar_t* text = V_BSTR(value.Get()) ? V_BSTR(value.Get()) : L"";
    if (IsKey(name, L"Title")) registration->title = text;
    if (IsKey(name, L"Description")) registration->description = text;
    if (IsKey(name, L"Icon")) registration->icon = text;
  }
  return true;
}

}  // namespace qv::service
