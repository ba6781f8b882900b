// The control's one connection point, for the player's event dispinterface.
// It lives inside the control and shares the control's reference count.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <utility>
#include <vector>

namespace zembra::standin {

class EventPoint final : public IConnectionPoint {
  public:
    // `container` is the owning control; it outlives this point.
    explicit EventPoint(IConnectionPointContainer& container) noexcept : container_(container) {}
    EventPoint(const EventPoint&) = delete;
    EventPoint& operator=(const EventPoint&) = delete;
    // Releases the sinks that were never unadvised.
    ~EventPoint();

    // IUnknown: reference counting goes to the container.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IConnectionPoint
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* piid) noexcept override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** ppcpc) noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) noexcept override;

    // Raises FSCommand(command, args) on every advised sink. The caller must
    // keep the control alive: a sink may release it.
    void FireFSCommand(const std::wstring& command, const std::wstring& args) noexcept;

  private:
    // Enough for any container; a runaway caller gets CONNECT_E_ADVISELIMIT.
    static constexpr std::size_t kMaxSinks = 16;

    IConnectionPointContainer& container_;
    std::vector<std::pair<DWORD, IDispatch*>> sinks_; // owned references
    DWORD nextCookie_ = 1;
};

} // namespace zembra::standin
