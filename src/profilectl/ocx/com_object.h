#pragma once
// The base of every COM object of the server: QueryInterface generated from the
// interfaces it derives from (by __uuidof), atomic reference counts, and a module lock
// held for the object's lifetime.
//
//   class Foo : public ComObject<Foo, IFoo, IBar> { ... };
//
// An interface that reaches the object only through one of those (IPersist through
// IPersistStreamInit, say) is listed in Derived::Aliases as also<IPersist, IPersistStreamInit>.
#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <new>
#include <tuple>
#include <utility>

#include "module.h"

namespace tesvar {

// Answers QueryInterface for I through the base Via.
template <class I, class Via>
struct also {};

template <class Derived, class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  using Aliases = std::tuple<>;

  // Creates an object and asks it for `iid`; the object dies when that fails.
  template <class... Args>
  static HRESULT Make(REFIID iid, void** out, Args&&... args) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* object = new (std::nothrow) Derived(std::forward<Args>(args)...);
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown) {
      *out = static_cast<IUnknown*>(static_cast<First*>(this));
    } else if (!(Match<First>(iid, out) || (Match<Rest>(iid, out) || ...) ||
                 MatchAliases(iid, out, static_cast<typename Derived::Aliases*>(nullptr)))) {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  STDMETHODIMP_(ULONG) AddRef() noexcept override { return ++references_; }

  STDMETHODIMP_(ULONG) Release() noexcept override {
    const ULONG left = --references_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

 protected:
  ComObject() { module::Lock(); }
  virtual ~ComObject() { module::Unlock(); }

  IUnknown* Identity() { return static_cast<IUnknown*>(static_cast<First*>(this)); }

 private:
  template <class I>
  bool Match(REFIID iid, void** out) {
    if (iid != __uuidof(I)) return false;
    *out = static_cast<I*>(static_cast<Derived*>(this));
    return true;
  }

  template <class I, class Via>
  bool MatchAlias(REFIID iid, void** out, also<I, Via>*) {
    if (iid != __uuidof(I)) return false;
    *out = static_cast<I*>(static_cast<Via*>(static_cast<Derived*>(this)));
    return true;
  }

  template <class... Entries>
  bool MatchAliases([[maybe_unused]] REFIID iid, [[maybe_unused]] void** out, std::tuple<Entries...>*) {
    return (MatchAlias(iid, out, static_cast<Entries*>(nullptr)) || ...);
  }

  std::atomic<ULONG> references_{0};
};

}  // namespace tesvar
