#include "service/RegistrationStore.h"

#include <objbase.h>

#include <algorithm>
#include <cstring>

#include "common/Holders.h"
#include "service/ServiceDatabase.h"
#include "service/ServicePaths.h"

namespace qv::service {
namespace {

// One state of the service database: the file (a database made anew in its
// place differs in its times, where the file system hands out its number
// again), and the change counter SQLite raises with every transaction it
// commits (offset 24 of the header, in the rollback journal mode the database
// is kept in).
struct DatabaseState {
  DWORD volume = 0;
  DWORD fileHigh = 0;
  DWORD fileLow = 0;
  ULONGLONG created = 0;
  ULONGLONG written = 0;
  DWORD changes = 0;

  bool operator==(const DatabaseState&) const = default;
};

bool ReadDatabaseState(const std::wstring& path, DatabaseState* state) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    file.Release();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information;
  unsigned char header[28];
  DWORD read = 0;
  if (!GetFileInformationByHandle(file.Get(), &information) ||
      !ReadFile(file.Get(), header, sizeof header, &read, nullptr) || read != sizeof header) {
    return false;
  }
  state->volume = information.dwVolumeSerialNumber;
  state->fileHigh = information.nFileIndexHigh;
  state->fileLow = information.nFileIndexLow;
  auto value = [](const FILETIME& time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; };
  state->created = value(information.ftCreationTime);
  state->written = value(information.ftLastWriteTime);
  state->changes = (DWORD{header[24]} << 24) | (DWORD{header[25]} << 16) | (DWORD{header[26]} << 8) | header[27];
  return true;
}

// The cookies found valid in one state of one service database.
SRWLOCK g_knownLock = SRWLOCK_INIT;
struct KnownCookies {
  std::wstring path;
  DatabaseState state;
  std::vector<LONG> cookies;
};
KnownCookies* g_known = nullptr;  // under g_knownLock; made on first use, never freed

}  // namespace

bool IsKnownCookieNow(LONG cookie) {
  std::wstring path = ServiceDatabasePath();
  DatabaseState state;
  // Read before the database is asked: a change in between makes the next
  // query ask again.
  bool stateRead = !path.empty() && ReadDatabaseState(path, &state);
  if (stateRead) {
    ExclusiveLock guard(g_knownLock);
    if (g_known && g_known->path == path && g_known->state == state &&
        std::find(g_known->cookies.begin(), g_known->cookies.end(), cookie) != g_known->cookies.end()) {
      return true;
    }
  }
  if (!RegistrationStore().IsKnownCookie(cookie)) return false;
  if (stateRead) {
    ExclusiveLock guard(g_knownLock);
    if (!g_known) g_known = new KnownCookies();
    if (g_known->path != path || !(g_known->state == state)) *g_known = KnownCookies{path, state, {}};
    if (g_known->cookies.size() < 64) g_known->cookies.push_back(cookie);
  }
  return true;
}

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
