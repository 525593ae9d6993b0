#pragma once
// The components registered with the service as query clients and the cookies
// issued to them. A cookie stays valid until its component is unregistered; a
// component registered again keeps its earlier cookies, so processes that still
// hold one are not cut off.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "service/SqliteDatabase.h"

namespace qv::service {

struct ComponentRegistration {
  std::wstring guid;  // registry form with braces, upper case
  std::wstring title;
  std::wstring description;
  std::wstring icon;
  std::vector<LONG> cookies;
};

class RegistrationStore {
 public:
  RegistrationStore();

  // Adds or updates the component and adds its new cookies.
  void Save(const ComponentRegistration& registration);
  // Removes the component and every cookie issued to it; false when it was not
  // registered.
  bool Remove(const std::wstring& guid);
  // Adds a cookie to a registered component.
  void AddCookie(const std::wstring& guid, LONG cookie);
  bool IsRegistered(const std::wstring& guid);
  bool IsKnownCookie(LONG cookie);
  // A positive cookie that no component holds.
  LONG NewCookie();
  std::vector<ComponentRegistration> Components();

 private:
  std::unique_ptr<SqliteDatabase> db_;
};

// Whether a query's cookie is valid, as IsKnownCookie answers, without opening
// the database while it has not changed since the cookie was last found.
bool IsKnownCookieNow(LONG cookie);

// The registry form of a GUID string ("{...}", upper case); empty when the text is
// not a GUID.
std::wstring NormalizeGuid(const wchar_t* text);

}  // namespace qv::service
