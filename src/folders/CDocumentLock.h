#pragma once
// The lock every process takes before it changes a shared file: a named mutex
// whose name is derived from the file's full path, so every process that loads
// the component and works on the same file meets the same lock. A process that
// ends while holding it does not block the others: the next waiter takes the
// abandoned mutex over (the file is then the old or the new version, since every
// save replaces it in one step).

#include <windows.h>

#include <string>

#include "common/Holders.h"

namespace qv {

// How long a change waits for another process to finish its own before giving up.
constexpr DWORD kDocumentLockTimeout = 10000;

class CDocumentLock {
 public:
  // Throws ComError when the mutex cannot be created or opened.
  explicit CDocumentLock(const std::wstring& documentPath);
  CDocumentLock(const CDocumentLock&) = delete;
  CDocumentLock& operator=(const CDocumentLock&) = delete;

  // Waits for the lock (the calling thread may already hold it: the lock counts),
  // no longer than the thread's DocumentLockDeadline leaves, if one is open.
  // True when the previous owner ended without releasing it. Throws
  // ComError(HRESULT_FROM_WIN32(ERROR_TIMEOUT)) when the wait times out.
  bool Acquire(DWORD timeoutMilliseconds = kDocumentLockTimeout);
  void Release();

  // The mutex's name for a file: the same for every spelling of the path that
  // differs only in letter case.
  static std::wstring NameFor(const std::wstring& documentPath);

 private:
  UniqueHandle mutex_;
};

// One deadline for every wait for the lock that the calling thread makes within
// its scope: an operation that waits in several steps (a look-up that reads a
// changed file again, then the change itself) waits at most this long in all.
// Scopes nest; the outermost one sets the deadline.
class DocumentLockDeadline {
 public:
  explicit DocumentLockDeadline(DWORD milliseconds = kDocumentLockTimeout);
  DocumentLockDeadline(const DocumentLockDeadline&) = delete;
  DocumentLockDeadline& operator=(const DocumentLockDeadline&) = delete;
  ~DocumentLockDeadline();

  // How long a wait of `wait` milliseconds may last under the thread's deadline
  // (0 once it has passed); `wait` itself when no scope is open.
  static DWORD Limit(DWORD wait);

 private:
  bool outermost_;
};

// Holds a document lock for its scope.
class DocumentLockHold {
 public:
  explicit DocumentLockHold(CDocumentLock* lock) : lock_(lock) {
    if (lock_) lock_->Acquire();
  }
  DocumentLockHold(const DocumentLockHold&) = delete;
  DocumentLockHold& operator=(const DocumentLockHold&) = delete;
  ~DocumentLockHold() {
    if (lock_) lock_->Release();
  }

 private:
  CDocumentLock* lock_;
};

}  // namespace qv
