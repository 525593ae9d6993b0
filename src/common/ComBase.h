#pragma once
// COM plumbing shared by every object of the component: errors that carry an
// HRESULT, the guard that keeps exceptions out of the host, a reference-counting
// base whose QueryInterface walks a table, and ComPtr.

#include <windows.h>
#include <objbase.h>
#include <unknwn.h>

#include <cstddef>
#include <new>
#include <utility>

namespace qv {

// A failed call on a platform or service object: the HRESULT and the IID of the
// interface whose call failed.
class ComError {
 public:
  ComError(HRESULT hr, const IID& iid = IID_NULL) : hr_(hr), iid_(iid) {}
  HRESULT Result() const { return hr_; }
  const IID& Interface() const { return iid_; }

 private:
  HRESULT hr_;
  IID iid_;
};

inline void ThrowIfFailed(HRESULT hr, const IID& iid = IID_NULL) {
  if (FAILED(hr)) throw ComError(hr, iid);
}

// Runs the body of a COM method: exceptions end as an HRESULT and never reach
// the caller.
template <class Body>
HRESULT ComBoundary(Body&& body) noexcept {
  try {
    return body();
  } catch (const ComError& e) {
    return FAILED(e.Result()) ? e.Result() : E_FAIL;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// Same guard for code that answers with a plain value instead of an HRESULT.
template <class T, class Body>
T Guarded(T onFailure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return onFailure;
  }
}

// One row of an object's interface table: the IID and where that interface's
// vtable pointer lies inside the object.
struct InterfaceEntry {
  const IID* iid;
  std::ptrdiff_t offset;
};

template <class Class, class Interface, class Via = Interface>
std::ptrdiff_t InterfaceOffset() {
  // The usual QITAB arithmetic on a fake, non-null address.
  auto* object = reinterpret_cast<Class*>(0x1000);
  auto* viaPtr = static_cast<Via*>(object);
  auto* iface = static_cast<Interface*>(viaPtr);
  return reinterpret_cast<char*>(iface) - reinterpret_cast<char*>(object);
}

// Table rows: an interface the class derives from, or a base interface reached
// through one of them (IPersist through IPersistFolder, say).
#define QV_INTERFACE(Class, Interface) \
  qv::InterfaceEntry { &__uuidof(Interface), qv::InterfaceOffset<Class, Interface>() }
#define QV_INTERFACE_VIA(Class, Interface, Via) \
  qv::InterfaceEntry { &__uuidof(Interface), qv::InterfaceOffset<Class, Interface, Via>() }

// Answers QueryInterface from a table ended by an entry with a null IID. IUnknown
// is the first row's interface.
HRESULT QueryInterfaceFromTable(void* object, const InterfaceEntry* table, REFIID riid, void** ppv);

// A counting policy for objects whose module keeps no count of them.
struct NotCounted {
  static void Created() {}
  static void Destroyed() {}
};

// Reference-counted base: Derived lists its interfaces in a static
// InterfaceTable(). Counting::Created and Counting::Destroyed run as each object
// comes and goes, so every module keeps the live-object count its unloading
// rule needs without this header knowing about it.
template <class Derived, class Counting, class... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject() { Counting::Created(); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    return QueryInterfaceFromTable(static_cast<Derived*>(this), Derived::InterfaceTable(), riid, ppv);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(left);
  }

 protected:
  virtual ~ComObject() { Counting::Destroyed(); }

 private:
  volatile LONG refs_ = 1;
};

// Owning interface pointer.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller already owns.
  static ComPtr Attach(T* p) {
    ComPtr result;
    result.p_ = p;
    return result;
  }
  // Adds a reference of its own.
  static ComPtr Share(T* p) {
    if (p) p->AddRef();
    return Attach(p);
  }
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases what is held and gives the slot.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  T* Detach() { return std::exchange(p_, nullptr); }

  template <class U>
  ComPtr<U> As() const {
    ComPtr<U> result;
    if (p_) p_->QueryInterface(__uuidof(U), result.PutVoid());
    return result;
  }
  template <class U>
  ComPtr<U> As(const IID& iid) const {
    ComPtr<U> result;
    if (p_) p_->QueryInterface(iid, result.PutVoid());
    return result;
  }

 private:
  T* p_ = nullptr;
};

// Creates an object with new (std::nothrow), hands out the asked interface and
// drops the creation reference.
template <class T, class... Args>
HRESULT CreateComObject(REFIID riid, void** ppv, Args&&... args) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return ComBoundary([&]() -> HRESULT {
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  });
}

// Same, for code that keeps the object itself.
template <class T, class... Args>
ComPtr<T> MakeComObject(Args&&... args) {
  T* object = new (std::nothrow) T(std::forward<Args>(args)...);
  if (!object) throw std::bad_alloc();
  return ComPtr<T>::Attach(object);
}

}  // namespace qv
