#pragma once
// Small owning holders for the platform's resources: each frees what it holds
// when it goes out of scope.

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>
#include <commctrl.h>

#include <new>
#include <utility>

namespace qv {

// A handle-like value with a free function; Invalid is the "holds nothing" value.
template <class H, auto Free, H Invalid = H{}>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(H h) : h_(h) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : h_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueResource() { Reset(); }

  H Get() const { return h_; }
  explicit operator bool() const { return h_ != Invalid; }
  H Release() { return std::exchange(h_, Invalid); }
  void Reset(H h = Invalid) {
    H old = std::exchange(h_, h);
    if (old != Invalid) Free(old);
  }
  H* Put() {
    Reset();
    return &h_;
  }

 private:
  H h_ = Invalid;
};

namespace detail {
inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void CloseKernelHandle(HANDLE h) { CloseHandle(h); }
inline void FreeGlobal(HGLOBAL h) { GlobalFree(h); }
inline void FreeMenu(HMENU h) { DestroyMenu(h); }
inline void FreeIcon(HICON h) { DestroyIcon(h); }
inline void FreeImageList(HIMAGELIST h) { ImageList_Destroy(h); }
template <class T>
inline void FreeTaskMemoryAs(T* p) { CoTaskMemFree(p); }
inline void FreeLibraryModule(HMODULE h) { FreeLibrary(h); }
inline void FreeAccelerators(HACCEL h) { DestroyAcceleratorTable(h); }
inline void CloseFindSearch(HANDLE h) { FindClose(h); }
}  // namespace detail

using RegKey = UniqueResource<HKEY, detail::CloseKey>;
using UniqueHandle = UniqueResource<HANDLE, detail::CloseKernelHandle>;
using GlobalMemory = UniqueResource<HGLOBAL, detail::FreeGlobal>;
using MenuHandle = UniqueResource<HMENU, detail::FreeMenu>;
using IconHandle = UniqueResource<HICON, detail::FreeIcon>;
using ImageListHandle = UniqueResource<HIMAGELIST, detail::FreeImageList>;
using LibraryHandle = UniqueResource<HMODULE, detail::FreeLibraryModule>;
using AcceleratorHandle = UniqueResource<HACCEL, detail::FreeAccelerators>;

// CreateFile answers INVALID_HANDLE_VALUE for "no file"; the holder keeps null then.
inline UniqueHandle FileHandle(HANDLE h) { return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h); }

// A directory search of FindFirstFileExW, which answers INVALID_HANDLE_VALUE for
// "nothing found"; the holder keeps null then.
using FindSearch = UniqueResource<HANDLE, detail::CloseFindSearch>;
inline FindSearch FindSearchHandle(HANDLE h) { return FindSearch(h == INVALID_HANDLE_VALUE ? nullptr : h); }

// Memory from the COM task allocator (the shell's allocator hands out the same).
template <class T>
using TaskMemory = UniqueResource<T*, detail::FreeTaskMemoryAs<T>, nullptr>;

// A locked global memory block, unlocked on scope exit.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL h) : h_(h), p_(h ? GlobalLock(h) : nullptr) {}
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  ~GlobalLockGuard() {
    if (p_) GlobalUnlock(h_);
  }
  void* Get() const { return p_; }
  SIZE_T Size() const { return p_ ? GlobalSize(h_) : 0; }

 private:
  HGLOBAL h_;
  void* p_;
};

// A storage medium received from a data object, released on scope exit.
class StorageMedium {
 public:
  StorageMedium() = default;
  StorageMedium(const StorageMedium&) = delete;
  StorageMedium& operator=(const StorageMedium&) = delete;
  ~StorageMedium() { Reset(); }

  void Reset() {
    if (medium_.tymed != TYMED_NULL) ReleaseStgMedium(&medium_);
    medium_ = STGMEDIUM{};
  }
  const STGMEDIUM& Get() const { return medium_; }
  STGMEDIUM* Put() {
    Reset();
    return &medium_;
  }

 private:
  STGMEDIUM medium_{};
};

// COM initialised on the calling thread for the holder's lifetime. A thread that
// is already in an apartment keeps it.
class ComInitialization {
 public:
  ComInitialization() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;
  ~ComInitialization() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

 private:
  HRESULT hr_;
};

// A slim reader/writer lock held exclusively until scope exit.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK& lock_;
};

// A slim reader/writer lock held shared until scope exit.
class SharedLock {
 public:
  explicit SharedLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockShared(&lock_); }
  SharedLock(const SharedLock&) = delete;
  SharedLock& operator=(const SharedLock&) = delete;
  ~SharedLock() { ReleaseSRWLockShared(&lock_); }

 private:
  SRWLOCK& lock_;
};

// An owned BSTR.
class Bstr {
 public:
  Bstr() = default;
  // Throws std::bad_alloc when the string cannot be allocated.
  explicit Bstr(const wchar_t* text) : s_(SysAllocString(text ? text : L"")) {
    if (!s_) throw std::bad_alloc();
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      SysFreeString(s_);
      s_ = std::exchange(other.s_, nullptr);
    }
    return *this;
  }
  ~Bstr() { SysFreeString(s_); }

  BSTR Get() const { return s_; }
  BSTR* Put() {
    SysFreeString(s_);
    s_ = nullptr;
    return &s_;
  }
  BSTR Detach() { return std::exchange(s_, nullptr); }
  UINT Length() const { return s_ ? SysStringLen(s_) : 0; }

 private:
  BSTR s_ = nullptr;
};

// An owned VARIANT, cleared on scope exit.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }

  VARIANT* Get() { return &v_; }
  const VARIANT* Get() const { return &v_; }
  VARIANT* Put() {
    VariantClear(&v_);
    return &v_;
  }
  VARTYPE Type() const { return V_VT(&v_); }

 private:
  VARIANT v_;
};

}  // namespace qv
