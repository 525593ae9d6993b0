#include "folders/CDocumentLock.h"

#include <cstdint>
#include <cwchar>
#include <vector>

#include "common/ComBase.h"

namespace qv {
namespace {

constexpr wchar_t kMutexPrefix[] = L"Local\\quorvane-document-";

// The tick count by which the thread's outermost DocumentLockDeadline ends; 0
// when none is open.
thread_local ULONGLONG threadDeadline = 0;

std::wstring FullPath(const std::wstring& path) {
  DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::vector<wchar_t> buffer(needed + 1);
  DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (length == 0 || length >= buffer.size()) return path;
  return std::wstring(buffer.data(), length);
}

}  // namespace

std::wstring CDocumentLock::NameFor(const std::wstring& documentPath) {
  std::wstring key = FullPath(documentPath);
  // File names compare without regard to case: fold them the way the file
  // system does (invariant upper case) before hashing.
  if (!key.empty()) {
    std::wstring upper(key.size(), L'\0');
    int length = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, key.c_str(), static_cast<int>(key.size()),
                               upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
    if (length == static_cast<int>(key.size())) key = upper;
  }
  // FNV-1a over the UTF-16 code units: a mutex name cannot hold a backslash and
  // is limited in length, the hash of the path is neither.
  std::uint64_t hash = 14695981039346656037ull;
  for (wchar_t unit : key) {
    hash ^= static_cast<std::uint16_t>(unit);
    hash *= 1099511628211ull;
  }
  wchar_t digits[17] = {};
  std::swprintf(digits, 17, L"%016llx", static_cast<unsigned long long>(hash));
  return std::wstring(kMutexPrefix) + digits;
}

CDocumentLock::CDocumentLock(const std::wstring& documentPath) {
  mutex_.Reset(CreateMutexW(nullptr, FALSE, NameFor(documentPath).c_str()));
  if (!mutex_) throw ComError(HRESULT_FROM_WIN32(GetLastError()));
}

DocumentLockDeadline::DocumentLockDeadline(DWORD milliseconds) : outermost_(threadDeadline == 0) {
  if (outermost_) threadDeadline = GetTickCount64() + milliseconds;
}

DocumentLockDeadline::~DocumentLockDeadline() {
  if (outermost_) threadDeadline = 0;
}

DWORD DocumentLockDeadline::Limit(DWORD wait) {
  if (threadDeadline == 0) return wait;
  ULONGLONG now = GetTickCount64();
  if (now >= threadDeadline) return 0;
  ULONGLONG left = threadDeadline - now;
  return left < wait ? static_cast<DWORD>(left) : wait;
}

bool CDocumentLock::Acquire(DWORD timeoutMilliseconds) {
  DWORD waited = WaitForSingleObject(mutex_.Get(), DocumentLockDeadline::Limit(timeoutMilliseconds));
  if (waited == WAIT_OBJECT_0) return false;
  if (waited == WAIT_ABANDONED) return true;
  throw ComError(waited == WAIT_TIMEOUT ? HRESULT_FROM_WIN32(ERROR_TIMEOUT) : HRESULT_FROM_WIN32(GetLastError()));
}

void CDocumentLock::Release() { ReleaseMutex(mutex_.Get()); }

}  // namespace qv
