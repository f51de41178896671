#include "connection_point.h"

#include <algorithm>

#include "tesvar_identity.h"

namespace tesvar {

STDMETHODIMP EventsConnectionPoint::GetConnectionInterface(IID* iid) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, iid);
  *iid = kEventsId;
  return S_OK;
}

STDMETHODIMP EventsConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, out);
  *out = owner_;
  RETURN_HR_IF(E_UNEXPECTED, !owner_);
  owner_->AddRef();
  return S_OK;
}

STDMETHODIMP EventsConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, cookie);
  *cookie = 0;
  RETURN_HR_IF_NULL(E_POINTER, sink);
  win::com_ptr<IUnknown> events;
  if (FAILED(sink->QueryInterface(kEventsId, events.put_void())) &&
      FAILED(sink->QueryInterface(IID_IDispatch, events.put_void()))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  try {
    sinks_.emplace_back(++lastCookie_, std::move(events));
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  *cookie = lastCookie_;
  return S_OK;
}

STDMETHODIMP EventsConnectionPoint::Unadvise(DWORD cookie) noexcept {
  const auto found = std::find_if(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s.first == cookie; });
  RETURN_HR_IF(CONNECT_E_NOCONNECTION, found == sinks_.end());
  sinks_.erase(found);
  return S_OK;
}

STDMETHODIMP EventsConnectionPoint::EnumConnections(IEnumConnections** out) noexcept {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ConnectionPointEnumerator::Next(ULONG count, IConnectionPoint** out, ULONG* fetched) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, out);
  RETURN_HR_IF(E_INVALIDARG, count > 1 && !fetched);
  ULONG n = 0;
  if (count > 0 && position_ == 0) {
    point_.copy_to(&out[0]);
    position_ = 1;
    n = 1;
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

STDMETHODIMP ConnectionPointEnumerator::Skip(ULONG count) noexcept {
  const ULONG left = 1 - position_;
  position_ = count >= left ? 1 : position_ + count;
  return count <= left ? S_OK : S_FALSE;
}

STDMETHODIMP ConnectionPointEnumerator::Reset() noexcept {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP ConnectionPointEnumerator::Clone(IEnumConnectionPoints** out) noexcept {
  return Make(IID_IEnumConnectionPoints, reinterpret_cast<void**>(out), point_, position_);
}

}  // namespace tesvar
