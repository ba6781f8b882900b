// The built-in player's COM object: in-place activation into the host's
// window, properties and methods by dispatch id, FSCommand through its
// connection point. The window (PlayerWindow) and the movie (MovieSession)
// are its parts; this class only connects them to the host.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>

#include "player/uMovieSession.h"
#include "player/uPlayerEvents.h"
#include "player/uPlayerWindow.h"
#include "util/uHandles.h"

namespace zembra::player {

class PlayerControl final : public IOleObject,
                            public IOleInPlaceObject,
                            public IOleInPlaceActiveObject,
                            public IDispatch,
                            public IConnectionPointContainer,
                            private PlayerWindowOwner {
  public:
    // New object with one reference, or null when out of memory.
    static PlayerControl* CreateNew() noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) noexcept override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) noexcept override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) noexcept override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) noexcept override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) noexcept override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) noexcept override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) noexcept override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG,
                                     HWND parent, LPCRECT posRect) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) noexcept override;
    HRESULT STDMETHODCALLTYPE Update() noexcept override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() noexcept override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) noexcept override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* userType) noexcept override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) noexcept override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD* connection) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) noexcept override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) noexcept override;

    // IOleWindow (shared by both in-place interfaces)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) noexcept override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override;

    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() noexcept override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() noexcept override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT clip) noexcept override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() noexcept override;

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG) noexcept override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) noexcept override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) noexcept override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) noexcept override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) noexcept override;

    // IDispatch (also answers as the player's dual interface)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* argErr) noexcept override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE
    EnumConnectionPoints(IEnumConnectionPoints** points) noexcept override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid,
                                                  IConnectionPoint** point) noexcept override;

  private:
    PlayerControl() noexcept;
    ~PlayerControl();
    PlayerControl(const PlayerControl&) = delete;
    PlayerControl& operator=(const PlayerControl&) = delete;

    // PlayerWindowOwner
    void HoldOwner() noexcept override { AddRef(); }
    void ReleaseOwner() noexcept override { Release(); }
    void OnFrameTimer() noexcept override;
    void OnPaint(HDC dc, int width, int height) noexcept override;
    void OnInput(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

    HRESULT ActivateInPlace(IOleClientSite* activeSite, HWND parent, LPCRECT posRect);
    HRESULT PutProperty(DISPID id, VARIANT* value, UINT* argErr);
    HRESULT GetProperty(DISPID id, VARIANT* result);
    HRESULT CallMethod(DISPID id);
    void LoadMovie();
    // The frame timer runs at the movie's pace while playing in a window.
    void UpdateTimer() noexcept;

    LONG refs_ = 1;
    PlayerEvents events_;
    PlayerWindow window_;
    MovieSession session_;
    ComPtr<IOleClientSite> clientSite_;
    ComPtr<IOleInPlaceSite> inPlaceSite_; // set while in-place active
    SIZEL extent_ = {2540 * 4, 2540 * 3}; // HIMETRIC
    bool closed_ = false;

    // Property values as put, for reading back.
    VARIANT_BOOL loop_ = VARIANT_TRUE;
    VARIANT_BOOL menu_ = VARIANT_TRUE;
    long quality_ = 1;
    long backgroundColor_ = -1;
    std::wstring flashVars_;
    std::wstring movie_;
    std::wstring scale_ = L"ShowAll";
};

} // namespace zembra::player

#endif // _WIN32
