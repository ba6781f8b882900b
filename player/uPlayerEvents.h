// The built-in player's one connection point, for the event dispinterface.
// It lives inside the control and shares the control's reference count.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <utility>
#include <vector>

namespace zembra::player {

class PlayerEvents final : public IConnectionPoint {
  public:
    // `container` is the owning control; it outlives this point.
    explicit PlayerEvents(IConnectionPointContainer& container) noexcept : container_(container) {}
    PlayerEvents(const PlayerEvents&) = delete;
    PlayerEvents& operator=(const PlayerEvents&) = delete;
    // Releases the sinks that were never unadvised.
    ~PlayerEvents();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* piid) noexcept override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** ppcpc) noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) noexcept override;

    // Raises FSCommand(command, args) on every advised sink. The caller
    // keeps the control alive: a sink may release it.
    void FireFSCommand(const std::wstring& command, const std::wstring& args) noexcept;
    // Drops every sink (the control is closing).
    void Clear() noexcept;
    std::size_t SinkCount() const noexcept { return sinks_.size(); }

  private:
    static constexpr std::size_t kMaxSinks = 16;

    IConnectionPointContainer& container_;
    std::vector<std::pair<DWORD, IDispatch*>> sinks_; // owned references
    DWORD nextCookie_ = 1;
};

} // namespace zembra::player

#endif // _WIN32
