#include "flash/uOleContainer.h"

#include <olectl.h>

#include <cstdio>
#include <utility>

namespace zembra {

EOleError::EOleError(const std::string& what, HRESULT code)
    : std::runtime_error([&] {
          char buf[16];
          std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(code));
          return what + " failed: " + buf;
      }()),
      code_(code) {}

void OleCheck(HRESULT hr, const char* what) {
    if (FAILED(hr))
        throw EOleError(what, hr);
}

namespace {

bool SameIid(REFIID a, REFIID b) noexcept {
    return IsEqualIID(a, b) != FALSE;
}

// The pixel size of one screen inch, for converting to HIMETRIC units.
SIZEL PixelsToHiMetric(LONG cx, LONG cy) noexcept {
    int dpiX = 96, dpiY = 96;
    if (HDC dc = GetDC(nullptr)) {
        dpiX = GetDeviceCaps(dc, LOGPIXELSX);
        dpiY = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
    }
    if (dpiX <= 0)
        dpiX = 96;
    if (dpiY <= 0)
        dpiY = 96;
    return SIZEL{MulDiv(cx, 2540, dpiX), MulDiv(cy, 2540, dpiY)};
}

} // namespace

// The one reference-counted site object the control talks to. Each COM
// interface lives in a small member object that forwards AddRef/Release to
// the site, so every interface the control obtains keeps the whole site
// alive. QueryInterface is forwarded too, except by the event sink, which
// must answer IDispatch with itself rather than with the ambient dispatch.
class TOleSite {
  public:
    explicit TOleSite(TOleContainer* owner) noexcept
        : owner_(owner), client_(this), inPlace_(this), frame_(this), control_(this),
          ambient_(this), sink_(this) {}

    ULONG AddRef() noexcept { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG Release() noexcept {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

    HRESULT QueryInterface(REFIID iid, void** out) noexcept {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (SameIid(iid, IID_IUnknown) || SameIid(iid, IID_IOleClientSite))
            *out = static_cast<IOleClientSite*>(&client_);
        else if (SameIid(iid, IID_IOleInPlaceSite) || SameIid(iid, IID_IOleWindow))
            *out = static_cast<IOleInPlaceSite*>(&inPlace_);
        else if (SameIid(iid, IID_IOleInPlaceFrame) || SameIid(iid, IID_IOleInPlaceUIWindow))
            *out = static_cast<IOleInPlaceFrame*>(&frame_);
        else if (SameIid(iid, IID_IOleControlSite))
            *out = static_cast<IOleControlSite*>(&control_);
        else if (SameIid(iid, IID_IDispatch))
            *out = static_cast<IDispatch*>(&ambient_);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    IOleClientSite* ClientSite() noexcept { return &client_; }
    IDispatch* Sink() noexcept { return &sink_; }
    void SetEventIid(REFIID iid) noexcept { eventIid_ = iid; }
    void SetWindow(HWND parent, const RECT& bounds) noexcept {
        parent_ = parent;
        bounds_ = bounds;
    }
    void SetBounds(const RECT& bounds) noexcept { bounds_ = bounds; }
    // The container goes away: no more events reach it.
    void Detach() noexcept {
        owner_ = nullptr;
        parent_ = nullptr;
    }

  private:
    ~TOleSite() = default;

    // Common IUnknown forwarding of the member objects.
#define ZEMBRA_FORWARD_UNKNOWN                                                                     \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {           \
        return site_->QueryInterface(iid, out);                                                    \
    }                                                                                              \
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {                                           \
        return site_->AddRef();                                                                    \
    }                                                                                              \
    ULONG STDMETHODCALLTYPE Release() noexcept override {                                          \
        return site_->Release();                                                                   \
    }

    class ClientSiteImpl final : public IOleClientSite {
      public:
        explicit ClientSiteImpl(TOleSite* site) noexcept : site_(site) {}
        ZEMBRA_FORWARD_UNKNOWN
        HRESULT STDMETHODCALLTYPE SaveObject() noexcept override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) noexcept override {
            if (out)
                *out = nullptr;
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) noexcept override {
            if (out)
                *out = nullptr;
            return E_NOINTERFACE;
        }
        HRESULT STDMETHODCALLTYPE ShowObject() noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() noexcept override { return E_NOTIMPL; }

      private:
        TOleSite* site_;
    };

    class InPlaceSiteImpl final : public IOleInPlaceSite {
      public:
        explicit InPlaceSiteImpl(TOleSite* site) noexcept : site_(site) {}
        ZEMBRA_FORWARD_UNKNOWN
        HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) noexcept override {
            if (!out)
                return E_POINTER;
            *out = site_->parent_;
            return site_->parent_ ? S_OK : E_FAIL;
        }
        HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE CanInPlaceActivate() noexcept override {
            return site_->parent_ ? S_OK : S_FALSE;
        }
        HRESULT STDMETHODCALLTYPE OnInPlaceActivate() noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE OnUIActivate() noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                                   IOleInPlaceUIWindow** doc, LPRECT pos,
                                                   LPRECT clip,
                                                   LPOLEINPLACEFRAMEINFO info) noexcept override {
            if (!frame || !doc || !pos || !clip || !info)
                return E_POINTER;
            *frame = &site_->frame_;
            site_->AddRef();
            *doc = nullptr;
            *pos = site_->bounds_;
            *clip = site_->bounds_;
            info->cb = sizeof(OLEINPLACEFRAMEINFO);
            info->fMDIApp = FALSE;
            info->hwndFrame = site_->parent_;
            info->haccel = nullptr;
            info->cAccelEntries = 0;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE Scroll(SIZE) noexcept override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE DiscardUndoState() noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE DeactivateAndUndo() noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) noexcept override {
            if (!rect)
                return E_POINTER;
            // The control asks for a new place; we keep the one our layout
            // gives it, so only report success.
            return S_OK;
        }

      private:
        TOleSite* site_;
    };

    class InPlaceFrameImpl final : public IOleInPlaceFrame {
      public:
        explicit InPlaceFrameImpl(TOleSite* site) noexcept : site_(site) {}
        ZEMBRA_FORWARD_UNKNOWN
        HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) noexcept override {
            if (!out)
                return E_POINTER;
            *out = site_->parent_;
            return site_->parent_ ? S_OK : E_FAIL;
        }
        HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) noexcept override {
            return INPLACE_E_NOTOOLSPACE;
        }
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

      private:
        TOleSite* site_;
    };

    class ControlSiteImpl final : public IOleControlSite {
      public:
        explicit ControlSiteImpl(TOleSite* site) noexcept : site_(site) {}
        ZEMBRA_FORWARD_UNKNOWN
        HRESULT STDMETHODCALLTYPE OnControlInfoChanged() noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** out) noexcept override {
            if (out)
                *out = nullptr;
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) noexcept override {
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) noexcept override {
            return S_FALSE;
        }
        HRESULT STDMETHODCALLTYPE OnFocus(BOOL) noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE ShowPropertyFrame() noexcept override { return E_NOTIMPL; }

      private:
        TOleSite* site_;
    };

    // Shared do-nothing parts of the two IDispatch helpers.
    class DispatchBase : public IDispatch {
      public:
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
            if (!count)
                return E_POINTER;
            *count = 0;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override {
            if (out)
                *out = nullptr;
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                                DISPID* ids) noexcept override {
            if (ids)
                for (UINT i = 0; i < count; ++i)
                    ids[i] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
    };

    // Ambient properties: the control runs in user mode, not in a designer.
    class AmbientImpl final : public DispatchBase {
      public:
        explicit AmbientImpl(TOleSite* site) noexcept : site_(site) {}
        ZEMBRA_FORWARD_UNKNOWN
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                         VARIANT* result, EXCEPINFO*, UINT*) noexcept override {
            // Every other ambient property takes the control's own default.
            if (!(flags & DISPATCH_PROPERTYGET) || id != DISPID_AMBIENT_USERMODE)
                return DISP_E_MEMBERNOTFOUND;
            if (!result)
                return E_POINTER;
            VariantInit(result);
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
            return S_OK;
        }

      private:
        TOleSite* site_;
    };

    // The event sink advised on the control's connection point.
    class EventSinkImpl final : public DispatchBase {
      public:
        explicit EventSinkImpl(TOleSite* site) noexcept : site_(site) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
            if (!out)
                return E_POINTER;
            *out = nullptr;
            if (SameIid(iid, IID_IUnknown) || SameIid(iid, IID_IDispatch) ||
                SameIid(iid, site_->eventIid_)) {
                *out = static_cast<IDispatch*>(this);
                AddRef();
                return S_OK;
            }
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return site_->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() noexcept override { return site_->Release(); }
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                         VARIANT*, EXCEPINFO*, UINT*) noexcept override {
            static const DISPPARAMS none{nullptr, nullptr, 0, 0};
            // Keep the site alive even if the handler releases the control.
            site_->AddRef();
            if (TOleContainer* owner = site_->owner_)
                owner->DispatchEvent(id, params ? *params : none);
            site_->Release();
            return S_OK;
        }

      private:
        TOleSite* site_;
    };
#undef ZEMBRA_FORWARD_UNKNOWN

    LONG refs_ = 1;
    TOleContainer* owner_;
    HWND parent_ = nullptr;
    RECT bounds_{};
    IID eventIid_{};
    ClientSiteImpl client_;
    InPlaceSiteImpl inPlace_;
    InPlaceFrameImpl frame_;
    ControlSiteImpl control_;
    AmbientImpl ambient_;
    EventSinkImpl sink_;
};

TOleContainer::TOleContainer() = default;

TOleContainer::~TOleContainer() {
    DestroyObject();
}

void TOleContainer::CreateObject(const CLSID& clsid, const IID& eventIid) {
    ComPtr<IOleObject> object;
    OleCheck(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IOleObject, reinterpret_cast<void**>(object.Receive())),
             "CoCreateInstance");
    if (!object)
        throw EOleError("CoCreateInstance", E_POINTER);
    CreateObject(object.Get(), eventIid);
}

void TOleContainer::CreateObject(IOleObject* object, const IID& eventIid) {
    if (!object)
        throw EOleError("CreateObject", E_POINTER);
    object->AddRef();
    ComPtr<IOleObject> held = ComPtr<IOleObject>::Attach(object);
    DestroyObject();
    eventIid_ = eventIid;
    site_ = new TOleSite(this);
    site_->SetEventIid(eventIid);
    try {
        object_ = std::move(held);
        DWORD status = 0;
        if (FAILED(object_->GetMiscStatus(DVASPECT_CONTENT, &status)))
            status = 0;
        bool siteFirst = (status & OLEMISC_SETCLIENTSITEFIRST) != 0;
        if (siteFirst)
            OleCheck(object_->SetClientSite(site_->ClientSite()), "SetClientSite");
        ComPtr<IPersistStreamInit> persist;
        if (SUCCEEDED(object_.As(persist, IID_IPersistStreamInit)) && persist)
            OleCheck(persist->InitNew(), "InitNew");
        if (!siteFirst)
            OleCheck(object_->SetClientSite(site_->ClientSite()), "SetClientSite");
    } catch (...) {
        DestroyObject();
        throw;
    }
}

HWND TOleContainer::Activate(HWND parent, const RECT& bounds) {
    if (!object_)
        throw EOleError("Activate", E_UNEXPECTED);
    if (inPlace_ && window_)
        return window_;
    site_->SetWindow(parent, bounds);
    try {
        SIZEL extent = PixelsToHiMetric(bounds.right - bounds.left, bounds.bottom - bounds.top);
        // Not every control has a meaningful extent; the object rectangles
        // below are what places it.
        object_->SetExtent(DVASPECT_CONTENT, &extent);
        RECT rect = bounds;
        OleCheck(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_->ClientSite(), 0, parent,
                                 &rect),
                 "DoVerb");
        OleCheck(object_.As(inPlace_, IID_IOleInPlaceObject), "IOleInPlaceObject");
        inPlace_->SetObjectRects(&rect, &rect);
        HWND window = nullptr;
        OleCheck(inPlace_->GetWindow(&window), "IOleInPlaceObject::GetWindow");
        if (!window || !IsWindow(window))
            throw EOleError("IOleInPlaceObject::GetWindow", E_HANDLE);
        window_ = window;
    } catch (...) {
        Deactivate();
        throw;
    }
    if (!cookie_)
        ConnectEvents();
    return window_;
}

void TOleContainer::ConnectEvents() noexcept {
    // A control without events still plays; its events just never arrive.
    ComPtr<IConnectionPointContainer> points;
    if (FAILED(object_.As(points, IID_IConnectionPointContainer)) || !points)
        return;
    ComPtr<IConnectionPoint> point;
    if (FAILED(points->FindConnectionPoint(eventIid_, point.Receive())) || !point)
        return;
    DWORD cookie = 0;
    if (SUCCEEDED(point->Advise(site_->Sink(), &cookie)) && cookie != 0) {
        connection_ = std::move(point);
        cookie_ = cookie;
    }
}

void TOleContainer::Deactivate() noexcept {
    if (inPlace_) {
        inPlace_->InPlaceDeactivate();
        inPlace_.Reset();
    }
    window_ = nullptr;
}

void TOleContainer::DestroyObject() noexcept {
    Deactivate();
    if (connection_) {
        connection_->Unadvise(cookie_);
        connection_.Reset();
    }
    cookie_ = 0;
    dispatch_.Reset();
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_.Reset();
    }
    if (site_) {
        site_->Detach();
        std::exchange(site_, nullptr)->Release();
    }
}

void TOleContainer::SetBounds(const RECT& bounds) noexcept {
    if (site_)
        site_->SetBounds(bounds);
    if (inPlace_) {
        RECT rect = bounds;
        inPlace_->SetObjectRects(&rect, &rect);
    }
}

IDispatch* TOleContainer::Dispatch() {
    if (!object_)
        throw EOleError("IDispatch", E_UNEXPECTED);
    if (!dispatch_)
        OleCheck(object_.As(dispatch_, IID_IDispatch), "IDispatch");
    return dispatch_.Get();
}

void TOleContainer::DispatchEvent(DISPID id, const DISPPARAMS& params) noexcept {
    try {
        if (OnEvent) {
            EventHandler handler = OnEvent; // survives a handler that rebinds OnEvent
            handler(id, params);
        }
    } catch (...) {
        // An event handler's failure must not travel back into the control.
    }
}

} // namespace zembra
