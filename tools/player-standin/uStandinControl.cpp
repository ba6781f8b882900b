#include "uStandinControl.h"

#include "uStandinIds.h"
#include "uStandinLog.h"
#include "uStandinModule.h"

#include <new>
#include <string_view>

namespace zembra::standin {
namespace {

// Clears a VARIANT when it goes out of scope.
class VariantHolder {
  public:
    VariantHolder() noexcept { VariantInit(&value_); }
    ~VariantHolder() { VariantClear(&value_); }
    VariantHolder(const VariantHolder&) = delete;
    VariantHolder& operator=(const VariantHolder&) = delete;
    VARIANT* Get() noexcept { return &value_; }

  private:
    VARIANT value_;
};

bool IsFailing(const char* name) {
    return FailList(ReadEnvironment("PLAYER_STANDIN_FAIL")).Contains(name);
}

// Log lines are single lines: line breaks inside a text become spaces.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

std::wstring FileNamePart(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Reads at most kMaxMovieScriptBytes + 1 bytes, so that the caller can tell
// a longer file from one of exactly the limit. Empty when unreadable.
std::string ReadMovieHead(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    std::string content(kMaxMovieScriptBytes + 1, '\0');
    std::size_t filled = 0;
    while (filled < content.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), content.data() + filled,
                      static_cast<DWORD>(content.size() - filled), &got, nullptr) ||
            got == 0)
            break;
        filled += got;
    }
    content.resize(filled);
    return content;
}

} // namespace

StandinControl* StandinControl::CreateNew() noexcept {
    return new (std::nothrow) StandinControl();
}

StandinControl::StandinControl() noexcept : events_(*this), view_(*this) {
    LockModule();
    LogEvent("create");
}

StandinControl::~StandinControl() {
    // Released without InPlaceDeactivate: the window still has to go.
    view_.Destroy();
    LogEvent("destroy");
    UnlockModule();
}

// ---- IUnknown ----

HRESULT STDMETHODCALLTYPE StandinControl::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleObject))
        *ppv = static_cast<IOleObject*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceObject))
        *ppv = static_cast<IOleInPlaceObject*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceActiveObject))
        *ppv = static_cast<IOleInPlaceActiveObject*>(this);
    else if (IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IPersistStreamInit))
        *ppv = static_cast<IPersistStreamInit*>(this);
    else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kIidPlayerDispatch))
        *ppv = static_cast<IDispatch*>(this);
    else if (IsEqualIID(riid, IID_IConnectionPointContainer))
        *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (IsEqualIID(riid, IID_IOleControl))
        *ppv = static_cast<IOleControl*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE StandinControl::AddRef() noexcept {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE StandinControl::Release() noexcept {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) {
        // Calls made while the destructor runs must not reach zero again.
        refs_ = 1;
        delete this;
    }
    return static_cast<ULONG>(n);
}

// ---- IOleObject ----

HRESULT STDMETHODCALLTYPE StandinControl::SetClientSite(IOleClientSite* site) noexcept {
    if (site)
        site->AddRef();
    clientSite_ = ComPtr<IOleClientSite>::Attach(site);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::GetClientSite(IOleClientSite** site) noexcept {
    if (!site)
        return E_POINTER;
    *site = clientSite_.Get();
    if (*site)
        (*site)->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::SetHostNames(LPCOLESTR, LPCOLESTR) noexcept {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::Close(DWORD) noexcept {
    // Nothing to save: closing only leaves the in-place state.
    return InPlaceDeactivate();
}

HRESULT STDMETHODCALLTYPE StandinControl::SetMoniker(DWORD, IMoniker*) noexcept {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) noexcept {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::InitFromData(IDataObject*, BOOL, DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::GetClipboardData(DWORD, IDataObject** data) noexcept {
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG,
                                                 HWND parent, LPCRECT posRect) noexcept {
    try {
        switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_OPEN:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE:
            return ActivateInPlace(activeSite, parent, posRect);
        case OLEIVERB_HIDE:
            view_.Show(false);
            return S_OK;
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
        }
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT StandinControl::ActivateInPlace(IOleClientSite* activeSite, HWND parent, LPCRECT posRect) {
    if (view_.Handle()) {
        if (posRect)
            view_.Move(*posRect);
        view_.Show(true);
        return S_OK;
    }
    IOleClientSite* site = clientSite_ ? clientSite_.Get() : activeSite;
    ComPtr<IOleInPlaceSite> inPlaceSite;
    if (site)
        site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(inPlaceSite.Receive()));
    RECT pos = posRect ? *posRect : RECT{0, 0, 0, 0};
    if (inPlaceSite) {
        if (inPlaceSite->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        HRESULT hr = inPlaceSite->OnInPlaceActivate();
        if (FAILED(hr))
            return hr;
        HWND siteWindow = nullptr;
        if (SUCCEEDED(inPlaceSite->GetWindow(&siteWindow)) && siteWindow)
            parent = siteWindow;
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> document;
        RECT sitePos = {}, siteClip = {};
        OLEINPLACEFRAMEINFO frameInfo = {};
        frameInfo.cb = sizeof frameInfo;
        if (SUCCEEDED(inPlaceSite->GetWindowContext(frame.Receive(), document.Receive(), &sitePos,
                                                    &siteClip, &frameInfo)))
            pos = sitePos;
    }
    if (!parent || !view_.Create(parent, pos)) {
        if (inPlaceSite)
            inPlaceSite->OnInPlaceDeactivate();
        return E_FAIL;
    }
    inPlaceSite_ = std::move(inPlaceSite);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::EnumVerbs(IEnumOLEVERB** verbs) noexcept {
    if (verbs)
        *verbs = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::Update() noexcept {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE StandinControl::IsUpToDate() noexcept {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::GetUserClassID(CLSID* clsid) noexcept {
    if (!clsid)
        return E_POINTER;
    *clsid = kClsidPlayer;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::GetUserType(DWORD, LPOLESTR* userType) noexcept {
    if (!userType)
        return E_POINTER;
    *userType = nullptr;
    return OLE_S_USEREG;
}

HRESULT STDMETHODCALLTYPE StandinControl::SetExtent(DWORD aspect, SIZEL* size) noexcept {
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    extent_ = *size;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::GetExtent(DWORD aspect, SIZEL* size) noexcept {
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_FAIL;
    *size = extent_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::Advise(IAdviseSink*, DWORD* connection) noexcept {
    if (connection)
        *connection = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::Unadvise(DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::EnumAdvise(IEnumSTATDATA** advise) noexcept {
    if (advise)
        *advise = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::GetMiscStatus(DWORD, DWORD* status) noexcept {
    if (!status)
        return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
              OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::SetColorScheme(LOGPALETTE*) noexcept {
    return E_NOTIMPL;
}

// ---- IOleWindow / IOleInPlaceObject / IOleInPlaceActiveObject ----

HRESULT STDMETHODCALLTYPE StandinControl::GetWindow(HWND* hwnd) noexcept {
    if (!hwnd)
        return E_POINTER;
    *hwnd = view_.Handle();
    return *hwnd ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE StandinControl::ContextSensitiveHelp(BOOL) noexcept {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::InPlaceDeactivate() noexcept {
    view_.Destroy();
    // Moved out first: the site's handler may call back into us.
    ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    if (site)
        site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::UIDeactivate() noexcept {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::SetObjectRects(LPCRECT pos, LPCRECT) noexcept {
    if (!pos)
        return E_POINTER;
    view_.Move(*pos);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::ReactivateAndUndo() noexcept {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::TranslateAccelerator(LPMSG) noexcept {
    return S_FALSE;
}
HRESULT STDMETHODCALLTYPE StandinControl::OnFrameWindowActivate(BOOL) noexcept {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE StandinControl::OnDocWindowActivate(BOOL) noexcept {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE StandinControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*,
                                                       BOOL) noexcept {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE StandinControl::EnableModeless(BOOL) noexcept {
    return S_OK;
}

// ---- IPersistStreamInit ----

HRESULT STDMETHODCALLTYPE StandinControl::GetClassID(CLSID* clsid) noexcept {
    if (!clsid)
        return E_POINTER;
    *clsid = kClsidPlayer;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::IsDirty() noexcept {
    return S_FALSE;
}
HRESULT STDMETHODCALLTYPE StandinControl::Load(LPSTREAM) noexcept {
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE StandinControl::Save(LPSTREAM, BOOL) noexcept {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::GetSizeMax(ULARGE_INTEGER* size) noexcept {
    if (!size)
        return E_POINTER;
    size->QuadPart = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::InitNew() noexcept {
    return S_OK;
}

// ---- IDispatch ----

HRESULT STDMETHODCALLTYPE StandinControl::GetTypeInfoCount(UINT* count) noexcept {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE StandinControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                                        LCID, DISPID* ids) noexcept {
    if (!names || !ids)
        return E_POINTER;
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    const MemberInfo* member = names[0] ? FindMemberByName(names[0]) : nullptr;
    if (!member)
        return DISP_E_UNKNOWNNAME;
    ids[0] = member->dispid;
    // None of the members has named parameters.
    return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags,
                                                 DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                                 UINT* argErr) noexcept {
    try {
        if (!IsEqualIID(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        if (!params)
            return E_POINTER;
        if (params->cArgs > 0 && !params->rgvarg)
            return E_POINTER;
        if (params->cNamedArgs > 0 && !params->rgdispidNamedArgs)
            return E_POINTER;
        const MemberInfo* member = FindMemberById(id);
        if (!member)
            return DISP_E_MEMBERNOTFOUND;

        if (member->kind == MemberKind::Method) {
            if (!(flags & DISPATCH_METHOD))
                return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != 0)
                return DISP_E_BADPARAMCOUNT;
            if (result)
                VariantInit(result);
            return CallMethod(*member);
        }
        if (flags & DISPATCH_PROPERTYPUT) {
            if (params->cArgs != 1)
                return DISP_E_BADPARAMCOUNT;
            if (params->cNamedArgs > 1 ||
                (params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
                return DISP_E_PARAMNOTFOUND;
            return PutProperty(*member, &params->rgvarg[0], argErr);
        }
        if (flags & DISPATCH_PROPERTYGET) {
            if (params->cArgs != 0)
                return DISP_E_BADPARAMCOUNT;
            return GetProperty(*member, result);
        }
        return DISP_E_MEMBERNOTFOUND;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT StandinControl::PutProperty(const MemberInfo& member, VARIANT* value, UINT* argErr) {
    VARTYPE type = VT_BSTR;
    if (member.kind == MemberKind::BoolProperty)
        type = VT_BOOL;
    else if (member.kind == MemberKind::IntProperty)
        type = VT_I4;
    VariantHolder converted;
    if (FAILED(VariantChangeType(converted.Get(), value, 0, type))) {
        if (argErr)
            *argErr = 0;
        return DISP_E_TYPEMISMATCH;
    }
    const VARIANT& v = *converted.Get();
    std::wstring text;
    std::string shown;
    if (type == VT_BOOL) {
        shown = v.boolVal ? "-1" : "0";
    } else if (type == VT_I4) {
        shown = std::to_string(v.lVal);
    } else {
        if (v.bstrVal)
            text.assign(v.bstrVal, SysStringLen(v.bstrVal));
        shown = OneLine(Utf8FromWide(text));
    }
    const std::string event = std::string("put ") + member.name + " " + shown;
    if (IsFailing(member.name)) {
        LogEvent("fail " + event);
        return E_FAIL;
    }
    switch (member.dispid) {
    case kDispidLoop:
        loop_ = v.boolVal ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case kDispidMenu:
        menu_ = v.boolVal ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case kDispidQuality:
        quality_ = v.lVal;
        break;
    case kDispidBackgroundColor:
        backgroundColor_ = v.lVal;
        break;
    case kDispidFlashVars:
        flashVars_ = std::move(text);
        break;
    case kDispidScale:
        scale_ = std::move(text);
        break;
    case kDispidMovie:
        movie_ = std::move(text);
        break;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    LogEvent(event);
    if (member.dispid == kDispidMovie)
        LoadMovie();
    UpdateView();
    return S_OK;
}

HRESULT StandinControl::GetProperty(const MemberInfo& member, VARIANT* result) {
    if (!result)
        return E_POINTER;
    VariantInit(result);
    const std::wstring* text = nullptr;
    switch (member.dispid) {
    case kDispidLoop:
        result->vt = VT_BOOL;
        result->boolVal = loop_;
        return S_OK;
    case kDispidMenu:
        result->vt = VT_BOOL;
        result->boolVal = menu_;
        return S_OK;
    case kDispidQuality:
        result->vt = VT_I4;
        result->lVal = quality_;
        return S_OK;
    case kDispidBackgroundColor:
        result->vt = VT_I4;
        result->lVal = backgroundColor_;
        return S_OK;
    case kDispidFlashVars:
        text = &flashVars_;
        break;
    case kDispidScale:
        text = &scale_;
        break;
    case kDispidMovie:
        text = &movie_;
        break;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    BSTR copy = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
    if (!copy)
        return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    result->bstrVal = copy;
    return S_OK;
}

HRESULT StandinControl::CallMethod(const MemberInfo& member) {
    const std::string event = std::string("call ") + member.name;
    if (IsFailing(member.name)) {
        LogEvent("fail " + event);
        return E_FAIL;
    }
    LogEvent(event);
    if (member.dispid == kDispidStop || member.dispid == kDispidStopPlay)
        view_.SetPlaying(false);
    return S_OK;
}

void StandinControl::LoadMovie() {
    script_ = MovieScript{};
    nextEvent_ = 0;
    ++movieGeneration_;
    view_.ResetFrames();
    view_.SetPlaying(true);
    if (movie_.empty())
        return;
    // A missing or unreadable file is not an error: the control just shows
    // the name and plays nothing.
    const std::string head = ReadMovieHead(movie_);
    script_ = ParseMovieScript(head, head.size() > kMaxMovieScriptBytes);
}

void StandinControl::UpdateView() {
    ViewDisplay display;
    display.background = static_cast<COLORREF>(backgroundColor_) & 0x00FFFFFFu;
    display.movieName = FileNamePart(movie_);
    display.flashVars = flashVars_;
    display.scale = scale_;
    view_.SetDisplay(std::move(display));
}

void StandinControl::OnFrameAdvanced(std::uint32_t frames) noexcept {
    try {
        const unsigned long long playedMs =
            static_cast<unsigned long long>(frames) * kFrameIntervalMs;
        const unsigned generation = movieGeneration_;
        // A handler may load another movie or deactivate the control; the
        // caller keeps this object alive, and either ends the loop.
        while (generation == movieGeneration_ && view_.Handle() &&
               nextEvent_ < script_.events.size() &&
               script_.events[nextEvent_].afterMs <= playedMs) {
            const ScriptEvent event = script_.events[nextEvent_++];
            std::string line = "fscommand " + event.command;
            if (!event.args.empty())
                line += " " + event.args;
            LogEvent(line);
            events_.FireFSCommand(WideFromBytes(event.command), WideFromBytes(event.args));
        }
    } catch (...) {
    }
}

// ---- IConnectionPointContainer ----

HRESULT STDMETHODCALLTYPE
StandinControl::EnumConnectionPoints(IEnumConnectionPoints** points) noexcept {
    if (points)
        *points = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE StandinControl::FindConnectionPoint(REFIID riid,
                                                              IConnectionPoint** point) noexcept {
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(riid, kIidPlayerEvents))
        return CONNECT_E_NOCONNECTION;
    *point = &events_;
    events_.AddRef();
    return S_OK;
}

// ---- IOleControl ----

HRESULT STDMETHODCALLTYPE StandinControl::GetControlInfo(CONTROLINFO* info) noexcept {
    if (!info)
        return E_POINTER;
    // No mnemonics.
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE StandinControl::OnMnemonic(LPMSG) noexcept {
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE StandinControl::OnAmbientPropertyChange(DISPID) noexcept {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE StandinControl::FreezeEvents(BOOL) noexcept {
    return S_OK;
}

} // namespace zembra::standin
