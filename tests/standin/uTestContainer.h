// A minimal ActiveX container for the stand-in tests: a top-level window,
// one site object (client site, in-place site, in-place frame) and an event
// sink that records FSCommand. It drives the control the way the saver
// does: fixed order in, reverse order out.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include "uHandles.h"
#include "uStandinIds.h"

#include <functional>
#include <string>
#include <vector>

namespace zembra::standin_test {

// The ids the stand-in registers and answers to.
using standin::kClsidPlayer;
using standin::kIidPlayerDispatch;
using standin::kIidPlayerEvents;

struct FSCommandCall {
    std::wstring command;
    std::wstring args;
    bool wellFormed = false; // two BSTRs, no named arguments
};

// Event sink; records every FSCommand and runs an optional handler.
class EventSink final : public IDispatch {
  public:
    EventSink() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                                            DISPID*) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) noexcept override;

    std::vector<FSCommandCall> calls;
    std::function<void(const FSCommandCall&)> onCommand;
    LONG refs = 1; // owned by the test on the stack; never deleted through Release
};

class TestContainer final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
  public:
    // Shows a borderless top-level window at `frame` (screen coordinates).
    explicit TestContainer(const RECT& frame);
    ~TestContainer();
    TestContainer(const TestContainer&) = delete;
    TestContainer& operator=(const TestContainer&) = delete;

    HWND Window() const noexcept { return window_.Get(); }

    // CoCreateInstance with the class contexts the saver uses.
    HRESULT Create();
    // GetMiscStatus, SetClientSite, InitNew, DoVerb(OLEIVERB_INPLACEACTIVATE).
    HRESULT Activate(const RECT& pos);
    HRESULT Advise(EventSink& sink);
    // InPlaceDeactivate, Unadvise, Close, SetClientSite(nullptr), release.
    void Teardown();
    // Drops the container's references without any of the teardown calls.
    void ReleaseWithoutTeardown() {
        point_.Reset();
        object_.Reset();
    }

    IOleObject* Object() const noexcept { return object_.Get(); }
    HWND PlayerWindow() const;

    HRESULT Put(DISPID id, VARIANT value);
    HRESULT PutBool(DISPID id, bool value);
    HRESULT PutInt(DISPID id, long value);
    HRESULT PutText(DISPID id, const std::wstring& value);
    // GetIDsOfNames on the player interface, then Invoke(DISPATCH_METHOD).
    HRESULT Call(const std::wstring& name);

    int deactivations = 0;
    int activations = 0;
    RECT sitePos = {};

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** m) noexcept override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** c) noexcept override;
    HRESULT STDMETHODCALLTYPE ShowObject() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() noexcept override { return E_NOTIMPL; }
    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) noexcept override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() noexcept override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT pos, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO info) noexcept override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() noexcept override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) noexcept override { return S_OK; }
    // IOleInPlaceUIWindow / IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) noexcept override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) noexcept override {
        return INPLACE_E_NOTOOLSPACE;
    }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*,
                                              LPCOLESTR) noexcept override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) noexcept override {
        return S_FALSE;
    }

    LONG refs = 1; // owned by the test; the control's references are counted only

  private:
    UniqueWindow window_;
    ComPtr<IOleObject> object_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// Runs the message loop for `ms` milliseconds or until `done` holds.
bool PumpMessages(DWORD ms, const std::function<bool()>& done = {});

// The log lines of this process, without the pid and the CR.
std::vector<std::string> ReadLog(const std::wstring& path);

} // namespace zembra::standin_test
