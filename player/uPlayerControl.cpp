#include "player/uPlayerControl.h"

#include <windowsx.h>

#include <new>
#include <vector>

#include "player/uPlayerIds.h"

namespace zembra::player {

namespace {

struct Member {
    const wchar_t* name;
    DISPID id;
    VARTYPE type; // VT_EMPTY for methods
};

constexpr Member kMembers[] = {
    {L"Movie", kDispidMovie, VT_BSTR},
    {L"Quality", kDispidQuality, VT_I4},
    {L"Loop", kDispidLoop, VT_BOOL},
    {L"BackgroundColor", kDispidBackgroundColor, VT_I4},
    {L"Menu", kDispidMenu, VT_BOOL},
    {L"Scale", kDispidScale, VT_BSTR},
    {L"FlashVars", kDispidFlashVars, VT_BSTR},
    {L"Stop", kDispidStop, VT_EMPTY},
    {L"StopPlay", kDispidStopPlay, VT_EMPTY},
    {L"DisableLocalSecurity", kDispidDisableLocalSecurity, VT_EMPTY},
    {L"Play", kDispidPlay, VT_EMPTY},
};

bool SameName(const wchar_t* a, const wchar_t* b) noexcept {
    for (; *a && *b; ++a, ++b) {
        wchar_t x = *a, y = *b;
        if (x >= L'A' && x <= L'Z')
            x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z')
            y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y)
            return false;
    }
    return *a == *b;
}

const Member* FindByName(const wchar_t* name) noexcept {
    for (const Member& m : kMembers)
        if (SameName(name, m.name))
            return &m;
    return nullptr;
}

const Member* FindById(DISPID id) noexcept {
    for (const Member& m : kMembers)
        if (m.id == id)
            return &m;
    return nullptr;
}

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

std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty() || text.size() > 0x7FFFFFFF)
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// The whole file, or false when it cannot be read or is larger than any
// movie the engine plays.
bool ReadMovieFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > kMaxMovieFileBytes)
        return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(bytes.size() - filled);
        if (!ReadFile(file.Get(), bytes.data() + filled, want, &got, nullptr) || got == 0)
            break;
        filled += got;
    }
    bytes.resize(filled); // a file that shrank meanwhile plays what was read
    return true;
}

} // namespace

PlayerControl* PlayerControl::CreateNew() noexcept {
    return new (std::nothrow) PlayerControl();
}

PlayerControl::PlayerControl() noexcept : events_(*this), window_(*this) {}

PlayerControl::~PlayerControl() {
    window_.Destroy();
}

// ---- IUnknown ----

HRESULT STDMETHODCALLTYPE PlayerControl::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleObject))
        *ppv = static_cast<IOleObject*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceObject))
        *ppv = static_cast<IOleInPlaceObject*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceActiveObject))
        *ppv = static_cast<IOleInPlaceActiveObject*>(this);
    else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kIidPlayerDispatch))
        *ppv = static_cast<IDispatch*>(this);
    else if (IsEqualIID(riid, IID_IConnectionPointContainer))
        *ppv = static_cast<IConnectionPointContainer*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE PlayerControl::AddRef() noexcept {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE PlayerControl::Release() noexcept {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) {
        // Calls made while the destructor runs must not reach zero again.
        refs_ = 1;
        delete this;
    }
    return static_cast<ULONG>(n);
}

// ---- IOleObject ----

HRESULT STDMETHODCALLTYPE PlayerControl::SetClientSite(IOleClientSite* site) noexcept {
    if (site)
        site->AddRef();
    clientSite_ = ComPtr<IOleClientSite>::Attach(site);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::GetClientSite(IOleClientSite** site) noexcept {
    if (!site)
        return E_POINTER;
    *site = clientSite_.Get();
    if (*site)
        (*site)->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::SetHostNames(LPCOLESTR, LPCOLESTR) noexcept {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::Close(DWORD) noexcept {
    // Nothing to save. After Close no event leaves the control.
    const HRESULT hr = InPlaceDeactivate();
    closed_ = true;
    session_.SetPlaying(false);
    events_.Clear();
    return hr;
}

HRESULT STDMETHODCALLTYPE PlayerControl::SetMoniker(DWORD, IMoniker*) noexcept {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) noexcept {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::InitFromData(IDataObject*, BOOL, DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::GetClipboardData(DWORD, IDataObject** data) noexcept {
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG,
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
            window_.Show(false);
            return S_OK;
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
        }
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT PlayerControl::ActivateInPlace(IOleClientSite* activeSite, HWND parent, LPCRECT posRect) {
    if (closed_)
        return E_UNEXPECTED;
    if (window_.Handle()) {
        if (posRect)
            window_.Move(*posRect);
        window_.Show(true);
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
        RECT sitePos{}, siteClip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        if (SUCCEEDED(inPlaceSite->GetWindowContext(frame.Receive(), document.Receive(), &sitePos,
                                                    &siteClip, &frameInfo)))
            pos = sitePos;
    }
    if (!parent || !window_.Create(parent, pos)) {
        if (inPlaceSite)
            inPlaceSite->OnInPlaceDeactivate();
        return E_FAIL;
    }
    inPlaceSite_ = std::move(inPlaceSite);
    UpdateTimer();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::EnumVerbs(IEnumOLEVERB** verbs) noexcept {
    if (verbs)
        *verbs = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::Update() noexcept {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::IsUpToDate() noexcept {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::GetUserClassID(CLSID* clsid) noexcept {
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_NULL; // never registered
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::GetUserType(DWORD, LPOLESTR* userType) noexcept {
    if (userType)
        *userType = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::SetExtent(DWORD aspect, SIZEL* size) noexcept {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    extent_ = *size;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::GetExtent(DWORD aspect, SIZEL* size) noexcept {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    *size = extent_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::Advise(IAdviseSink*, DWORD* connection) noexcept {
    if (connection)
        *connection = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::Unadvise(DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::EnumAdvise(IEnumSTATDATA** advise) noexcept {
    if (advise)
        *advise = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::GetMiscStatus(DWORD, DWORD* status) noexcept {
    if (!status)
        return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
              OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::SetColorScheme(LOGPALETTE*) noexcept {
    return E_NOTIMPL;
}

// ---- IOleWindow / IOleInPlaceObject ----

HRESULT STDMETHODCALLTYPE PlayerControl::GetWindow(HWND* hwnd) noexcept {
    if (!hwnd)
        return E_POINTER;
    *hwnd = window_.Handle();
    return *hwnd ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::ContextSensitiveHelp(BOOL) noexcept {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::InPlaceDeactivate() noexcept {
    window_.Destroy();
    // The site may release us while it hears of the deactivation.
    ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    if (site)
        site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::UIDeactivate() noexcept {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::SetObjectRects(LPCRECT pos, LPCRECT) noexcept {
    if (!pos)
        return E_POINTER;
    window_.Move(*pos);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::ReactivateAndUndo() noexcept {
    return E_NOTIMPL;
}

// ---- IOleInPlaceActiveObject ----

HRESULT STDMETHODCALLTYPE PlayerControl::TranslateAccelerator(LPMSG) noexcept {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE PlayerControl::OnFrameWindowActivate(BOOL) noexcept {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::OnDocWindowActivate(BOOL) noexcept {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*,
                                                      BOOL) noexcept {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::EnableModeless(BOOL) noexcept {
    return S_OK;
}

// ---- IDispatch ----

HRESULT STDMETHODCALLTYPE PlayerControl::GetTypeInfoCount(UINT* count) noexcept {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE PlayerControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                                       LCID, DISPID* ids) noexcept {
    if (!names || !ids)
        return E_POINTER;
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    const Member* member = names[0] ? FindByName(names[0]) : nullptr;
    if (!member)
        return DISP_E_UNKNOWNNAME;
    ids[0] = member->id;
    // No member has named parameters.
    return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags,
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
        const Member* member = FindById(id);
        if (!member)
            return DISP_E_MEMBERNOTFOUND;
        if (member->type == VT_EMPTY) {
            if (!(flags & DISPATCH_METHOD))
                return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != 0)
                return DISP_E_BADPARAMCOUNT;
            if (result)
                VariantInit(result);
            return CallMethod(id);
        }
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (params->cArgs != 1)
                return DISP_E_BADPARAMCOUNT;
            if (params->cNamedArgs > 1 ||
                (params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
                return DISP_E_PARAMNOTFOUND;
            return PutProperty(id, &params->rgvarg[0], argErr);
        }
        if (flags & DISPATCH_PROPERTYGET) {
            if (params->cArgs != 0)
                return DISP_E_BADPARAMCOUNT;
            return GetProperty(id, result);
        }
        return DISP_E_MEMBERNOTFOUND;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT PlayerControl::PutProperty(DISPID id, VARIANT* value, UINT* argErr) {
    const Member* member = FindById(id);
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    VariantHolder converted;
    if (FAILED(VariantChangeType(converted.Get(), value, 0, member->type))) {
        if (argErr)
            *argErr = 0;
        return DISP_E_TYPEMISMATCH;
    }
    const VARIANT& v = *converted.Get();
    std::wstring text;
    if (member->type == VT_BSTR && v.bstrVal)
        text.assign(v.bstrVal, SysStringLen(v.bstrVal));
    switch (id) {
    case kDispidLoop:
        loop_ = v.boolVal ? VARIANT_TRUE : VARIANT_FALSE;
        session_.SetLoop(loop_ != VARIANT_FALSE);
        break;
    case kDispidMenu:
        // The built-in player has no context menu; the value is only kept.
        menu_ = v.boolVal ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case kDispidQuality:
        quality_ = v.lVal;
        session_.SetQuality(v.lVal);
        break;
    case kDispidBackgroundColor:
        backgroundColor_ = v.lVal;
        session_.SetBackgroundColor(v.lVal);
        break;
    case kDispidFlashVars:
        session_.SetFlashVars(text);
        flashVars_ = std::move(text);
        break;
    case kDispidScale:
        if (!session_.SetScale(text))
            return E_INVALIDARG;
        scale_ = std::move(text);
        break;
    case kDispidMovie:
        movie_ = std::move(text);
        LoadMovie();
        break;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    window_.Invalidate();
    return S_OK;
}

HRESULT PlayerControl::GetProperty(DISPID id, VARIANT* result) {
    if (!result)
        return E_POINTER;
    VariantInit(result);
    const std::wstring* text = nullptr;
    switch (id) {
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

HRESULT PlayerControl::CallMethod(DISPID id) {
    switch (id) {
    case kDispidStop:
    case kDispidStopPlay:
        session_.SetPlaying(false);
        break;
    case kDispidPlay:
        if (closed_)
            return E_UNEXPECTED;
        session_.SetPlaying(true);
        break;
    case kDispidDisableLocalSecurity:
        break; // the built-in player reads nothing but the movie file
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    UpdateTimer();
    return S_OK;
}

void PlayerControl::LoadMovie() {
    std::vector<std::uint8_t> bytes;
    // A movie that cannot be read leaves only the background colour.
    if (movie_.empty() || !ReadMovieFile(movie_, bytes) || !session_.Load(std::move(bytes)))
        session_.Unload();
    if (closed_)
        session_.SetPlaying(false);
    UpdateTimer();
}

void PlayerControl::UpdateTimer() noexcept {
    const bool animate = session_.Playing() && session_.Loaded() && !closed_;
    window_.SetFrameInterval(animate ? static_cast<UINT>(session_.FrameIntervalMs()) : 0);
}

void PlayerControl::OnFrameTimer() noexcept {
    try {
        const std::vector<MovieCommand> commands = session_.Advance();
        window_.Invalidate();
        for (const MovieCommand& c : commands) {
            // A handler may close the control or take its window away;
            // the window keeps this object alive until it returns.
            if (closed_ || !window_.Handle())
                break;
            events_.FireFSCommand(WideFromUtf8(c.command), WideFromUtf8(c.args));
        }
        if (!closed_)
            UpdateTimer();
    } catch (...) {
    }
}

void PlayerControl::OnPaint(HDC dc, int width, int height) noexcept {
    try {
        const std::vector<std::uint32_t>& pixels = session_.Render(width, height);
        BlitPixels(dc, pixels, session_.RenderedWidth(), session_.RenderedHeight());
    } catch (...) {
        // Out of memory for the frame: the window keeps its old picture.
    }
}

void PlayerControl::OnInput(UINT msg, WPARAM wp, LPARAM lp) noexcept {
    try {
        switch (msg) {
        case WM_MOUSEMOVE:
            session_.MouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            session_.MouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            session_.MouseButton(true);
            break;
        case WM_LBUTTONUP:
            session_.MouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            session_.MouseButton(false);
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
            session_.Key(static_cast<int>(wp & 0xFFFF), msg == WM_KEYDOWN);
            break;
        default:
            break;
        }
    } catch (...) {
    }
}

// ---- IConnectionPointContainer ----

HRESULT STDMETHODCALLTYPE
PlayerControl::EnumConnectionPoints(IEnumConnectionPoints** points) noexcept {
    if (points)
        *points = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PlayerControl::FindConnectionPoint(REFIID riid,
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

} // namespace zembra::player
