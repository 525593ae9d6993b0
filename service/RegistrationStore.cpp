#include "service/RegistrationStore.h"

#include <objbase.h>

#include <cstring>

#include "service/ServiceDatabase.h"

namespace qv::service {

std::wstring NormalizeGuid(const wchar_t* text) {
  GUID guid;
  if (!text || std::wcslen(text) != 38 || FAILED(IIDFromString(text, &guid))) return {};
  wchar_t normalized[39] = {};
  StringFromGUID2(guid, normalized, 39);
  return normalized;
}

RegistrationStore::RegistrationStore() : db_(OpenServiceDatabase()) {}

void RegistrationStore::Save(const ComponentRegistration& registration) {
  SqliteTransaction transaction(*db_);
  db_->Prepare(
         "INSERT INTO components(guid, title, description, icon, registered) "
         "VALUES(?1, ?2, ?3, ?4, strftime('%s','now')) ON CONFLICT(guid) DO UPDATE SET "
         "title = excluded.title, description = excluded.description, icon = excluded.icon, "
         "registered = excluded.registered")
      .Bind(1, registration.guid)
      .Bind(2, registration.title)
      .Bind(3, registration.description)
      .Bind(4, registration.icon)
      .Run();
  for (LONG cookie : registration.cookies) AddCookie(registration.guid, cookie);
  transaction.Commit();
}

void RegistrationStore::AddCookie(const std::wstring& guid, LONG cookie) {
  db_->Prepare("INSERT OR REPLACE INTO cookies(cookie, guid, read_allowed) VALUES(?1, ?2, 1)")
      .Bind(1, cookie)
      .Bind(2, guid)
      .Run();
}

bool RegistrationStore::Remove(const std::wstring& guid) {
  SqliteTransaction transaction(*db_);
  db_->Prepare("DELETE FROM cookies WHERE guid = ?1").Bind(1, guid).Run();
  db_->Prepare("DELETE FROM components WHERE guid = ?1").Bind(1, guid).Run();
  bool existed = db_->ScalarInteger("SELECT changes()") > 0;
  transaction.Commit();
  return existed;
}

bool RegistrationStore::IsRegistered(const std::wstring& guid) {
  return db_->Prepare("SELECT 1 FROM components WHERE guid = ?1").Bind(1, guid).Step();
}

bool RegistrationStore::IsKnownCookie(LONG cookie) {
  return db_->Prepare("SELECT 1 FROM cookies WHERE cookie = ?1").Bind(1, cookie).Step();
}

LONG RegistrationStore::NewCookie() {
  for (;;) {
    GUID random;
    if (FAILED(CoCreateGuid(&random))) throw SqliteError(1, "no random source");
    DWORD bits;
    std::memcpy(&bits, random.Data4 + 4, sizeof bits);
    auto cookie = static_cast<LONG>(bits & 0x7FFFFFFF);
    if (cookie != 0 && !IsKnownCookie(cookie)) return cookie;
  }
}

std::vector<ComponentRegistration> RegistrationStore::Components() {
  std::vector<ComponentRegistration> result;
  SqliteStatement components = db_->Prepare("SELECT guid, title, description, icon FROM components ORDER BY title");
  SqliteStatement cookies = db_->Prepare("SELECT cookie FROM cookies WHERE guid = ?1 ORDER BY cookie");
  while (components.Step()) {
    ComponentRegistration registration{components.Text(0), components.Text(1), components.Text(2),
                                       components.Text(3), {}};
    cookies.Bind(1, registration.guid);
    while (cookies.Step()) registration.cookies.push_back(static_cast<LONG>(cookies.Integer(0)));
    cookies.Reset();
    result.push_back(std::move(registration));
  }
  return result;
}

}  // namespace qv::service
