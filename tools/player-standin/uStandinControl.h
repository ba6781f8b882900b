// The player stand-in control: an in-process ActiveX control with the
// interfaces the host drives (OLE object, in-place object, persistence,
// automation by dispatch id, one event connection point). It logs what is
// done to it and plays scripted movies on its own frame timer.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "uEventPoint.h"
#include "uHandles.h"
#include "uMovieScript.h"
#include "uPlayerView.h"
#include "uStandinMembers.h"

#include <string>

namespace zembra::standin {

class StandinControl final : public IOleObject,
                             public IOleInPlaceObject,
                             public IOleInPlaceActiveObject,
                             public IPersistStreamInit,
                             public IDispatch,
                             public IConnectionPointContainer,
                             public IOleControl,
                             private PlayerViewOwner {
  public:
    // New object with one reference, or null when out of memory.
    static StandinControl* CreateNew() noexcept;

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

    // IPersist / IPersistStreamInit
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) noexcept override;
    HRESULT STDMETHODCALLTYPE IsDirty() noexcept override;
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM) noexcept override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM, BOOL) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) noexcept override;
    HRESULT STDMETHODCALLTYPE InitNew() noexcept override;

    // IDispatch (also answers as the player's own dual interface)
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

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) noexcept override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(LPMSG) noexcept override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) noexcept override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) noexcept override;

  private:
    StandinControl() noexcept;
    ~StandinControl();
    StandinControl(const StandinControl&) = delete;
    StandinControl& operator=(const StandinControl&) = delete;

    IUnknown* Identity() noexcept { return static_cast<IOleObject*>(this); }

    // PlayerViewOwner
    void HoldOwner() noexcept override { AddRef(); }
    void ReleaseOwner() noexcept override { Release(); }
    void OnFrameAdvanced(std::uint32_t frames) noexcept override;

    HRESULT ActivateInPlace(IOleClientSite* activeSite, HWND parent, LPCRECT posRect);
    HRESULT PutProperty(const MemberInfo& member, VARIANT* value, UINT* argErr);
    HRESULT GetProperty(const MemberInfo& member, VARIANT* result);
    HRESULT CallMethod(const MemberInfo& member);
    void LoadMovie();
    void UpdateView();

    LONG refs_ = 1;
    EventPoint events_;
    PlayerView view_;
    ComPtr<IOleClientSite> clientSite_;
    ComPtr<IOleInPlaceSite> inPlaceSite_; // set while in-place active
    SIZEL extent_ = {2540 * 4, 2540 * 3}; // HIMETRIC, 4 x 3 inches

    VARIANT_BOOL loop_ = VARIANT_TRUE;
    VARIANT_BOOL menu_ = VARIANT_TRUE;
    long quality_ = 1;
    long backgroundColor_ = 0;
    std::wstring flashVars_;
    std::wstring movie_;
    std::wstring scale_;

    MovieScript script_;
    std::size_t nextEvent_ = 0;
    unsigned movieGeneration_ = 0; // changes with every Movie put
};

} // namespace zembra::standin
