// A minimal container for one ActiveX control hosted in place inside a
// parent window: it creates the control, activates it into the parent,
// receives the control's events and tears it down in reverse order.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "util/uHandles.h"

namespace zembra {

// A COM call on the hosted control failed; Code() is its HRESULT.
class EOleError : public std::runtime_error {
  public:
    EOleError(const std::string& what, HRESULT code);
    HRESULT Code() const noexcept { return code_; }

  private:
    HRESULT code_;
};

// Throws EOleError naming `what` when `hr` is a failure code.
void OleCheck(HRESULT hr, const char* what);

class TOleSite;

class TOleContainer {
  public:
    // Receives every event the control fires (DISPID and its arguments,
    // last argument first as COM passes them). Called on the UI thread from
    // inside the control; exceptions are caught before they reach it.
    using EventHandler = std::function<void(DISPID id, const DISPPARAMS& params)>;

    TOleContainer();
    ~TOleContainer();
    TOleContainer(const TOleContainer&) = delete;
    TOleContainer& operator=(const TOleContainer&) = delete;

    // Creates the control (not yet visible) and gives it its client site.
    // Throws EOleError and leaves the container empty on failure.
    void CreateObject(const CLSID& clsid, const IID& eventIid);
    // The same for a control that was made already (the built-in player):
    // the container takes its own reference to `object`.
    void CreateObject(IOleObject* object, const IID& eventIid);
    // Activates the control in place inside `parent` at `bounds` (parent's
    // client coordinates) and returns the control's own window. Connects the
    // event sink on the first activation. Throws EOleError on failure; the
    // object then stays created but inactive.
    HWND Activate(HWND parent, const RECT& bounds);
    // Leaves in-place activation; the control normally destroys its window.
    // A window it keeps is left to whoever adopted it.
    void Deactivate() noexcept;
    // Full teardown: deactivate, disconnect the events, close, drop the site.
    // Safe to call more than once.
    void DestroyObject() noexcept;

    // Moves the active control (parent's client coordinates).
    void SetBounds(const RECT& bounds) noexcept;

    bool HasObject() const noexcept { return static_cast<bool>(object_); }
    bool IsActive() const noexcept { return static_cast<bool>(inPlace_); }
    HWND ControlWindow() const noexcept { return window_; }
    bool EventsConnected() const noexcept { return cookie_ != 0; }

    // Borrowed pointers, valid until DestroyObject; null when not created.
    IOleObject* Object() const noexcept { return object_.Get(); }
    // The control's IDispatch; throws EOleError when it has none.
    IDispatch* Dispatch();

    EventHandler OnEvent;

  private:
    void DispatchEvent(DISPID id, const DISPPARAMS& params) noexcept;
    void ConnectEvents() noexcept;
    friend class TOleSite;

    ComPtr<IOleObject> object_;
    ComPtr<IOleInPlaceObject> inPlace_;
    ComPtr<IDispatch> dispatch_;
    ComPtr<IConnectionPoint> connection_;
    DWORD cookie_ = 0;
    IID eventIid_{};
    HWND window_ = nullptr;
    TOleSite* site_ = nullptr; // holds one reference while the object exists
};

} // namespace zembra

#endif // _WIN32
