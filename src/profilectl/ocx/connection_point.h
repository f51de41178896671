#pragma once
// The control's one connection point, for the event interface __Tesvar, and the
// enumerator over it. __Tesvar declares no events, so sinks are only held.
#include <windows.h>
#include <ocidl.h>

#include <utility>
#include <vector>

#include "com_object.h"
#include "win32/raii.h"

namespace tesvar {

class EventsConnectionPoint final : public ComObject<EventsConnectionPoint, IConnectionPoint> {
 public:
  // `owner` is not counted: the owner holds this object and calls Detach before it dies.
  explicit EventsConnectionPoint(IConnectionPointContainer* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }

  STDMETHODIMP GetConnectionInterface(IID* iid) noexcept override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) noexcept override;
  STDMETHODIMP Unadvise(DWORD cookie) noexcept override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) noexcept override;

 private:
  IConnectionPointContainer* owner_;
  std::vector<std::pair<DWORD, win::com_ptr<IUnknown>>> sinks_;
  DWORD lastCookie_ = 0;
};

class ConnectionPointEnumerator final : public ComObject<ConnectionPointEnumerator, IEnumConnectionPoints> {
 public:
  ConnectionPointEnumerator(win::com_ptr<IConnectionPoint> point, ULONG position)
      : point_(std::move(point)), position_(position) {}

  STDMETHODIMP Next(ULONG count, IConnectionPoint** out, ULONG* fetched) noexcept override;
  STDMETHODIMP Skip(ULONG count) noexcept override;
  STDMETHODIMP Reset() noexcept override;
  STDMETHODIMP Clone(IEnumConnectionPoints** out) noexcept override;

 private:
  win::com_ptr<IConnectionPoint> point_;
  ULONG position_;  // 0 before the one point, 1 after it
};

}  // namespace tesvar
