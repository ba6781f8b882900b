#include "uTestContainer.h"

#include <fstream>
#include <sstream>

namespace zembra::standin_test {
namespace {

const wchar_t kContainerClass[] = L"ZembraStandinTestContainer";

void RegisterContainerClass() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    // A grey that no test uses as the player's background.
    wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = kContainerClass;
    RegisterClassExW(&wc);
}

} // namespace

// ---- EventSink ----

HRESULT STDMETHODCALLTYPE EventSink::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, kIidPlayerEvents)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE EventSink::AddRef() noexcept {
    return InterlockedIncrement(&refs);
}
ULONG STDMETHODCALLTYPE EventSink::Release() noexcept {
    return InterlockedDecrement(&refs);
}
HRESULT STDMETHODCALLTYPE EventSink::GetTypeInfoCount(UINT* count) noexcept {
    if (count)
        *count = 0;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                                                   DISPID*) noexcept {
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                            VARIANT*, EXCEPINFO*, UINT*) noexcept {
    try {
        if (id != 150 || !params)
            return DISP_E_MEMBERNOTFOUND;
        FSCommandCall call;
        call.wellFormed = params->cArgs == 2 && params->cNamedArgs == 0 &&
                          params->rgvarg[0].vt == VT_BSTR && params->rgvarg[1].vt == VT_BSTR;
        if (call.wellFormed) {
            // Reverse order: rgvarg[1] is the first argument.
            call.command = params->rgvarg[1].bstrVal ? params->rgvarg[1].bstrVal : L"";
            call.args = params->rgvarg[0].bstrVal ? params->rgvarg[0].bstrVal : L"";
        }
        calls.push_back(call);
        if (onCommand)
            onCommand(call);
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// ---- TestContainer ----

TestContainer::TestContainer(const RECT& frame) {
    RegisterContainerClass();
    window_.Reset(CreateWindowExW(0, kContainerClass, L"standin container",
                                  WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, frame.left, frame.top,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr));
}

TestContainer::~TestContainer() {
    Teardown();
}

HRESULT TestContainer::Create() {
    return CoCreateInstance(kClsidPlayer, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                            IID_IOleObject, reinterpret_cast<void**>(object_.Receive()));
}

HRESULT TestContainer::Activate(const RECT& pos) {
    if (!object_)
        return E_POINTER;
    sitePos = pos;
    DWORD status = 0;
    HRESULT hr = object_->GetMiscStatus(DVASPECT_CONTENT, &status);
    if (FAILED(hr))
        return hr;
    if (status & OLEMISC_SETCLIENTSITEFIRST) {
        hr = object_->SetClientSite(this);
        if (FAILED(hr))
            return hr;
    }
    ComPtr<IPersistStreamInit> persist;
    hr = object_.As(persist, IID_IPersistStreamInit);
    if (FAILED(hr))
        return hr;
    hr = persist->InitNew();
    if (FAILED(hr))
        return hr;
    if (!(status & OLEMISC_SETCLIENTSITEFIRST)) {
        hr = object_->SetClientSite(this);
        if (FAILED(hr))
            return hr;
    }
    return object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, window_.Get(), &pos);
}

HRESULT TestContainer::Advise(EventSink& sink) {
    ComPtr<IConnectionPointContainer> cpc;
    HRESULT hr = object_.As(cpc, IID_IConnectionPointContainer);
    if (FAILED(hr))
        return hr;
    hr = cpc->FindConnectionPoint(kIidPlayerEvents, point_.Receive());
    if (FAILED(hr))
        return hr;
    return point_->Advise(static_cast<IDispatch*>(&sink), &cookie_);
}

void TestContainer::Teardown() {
    if (!object_)
        return;
    ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(object_.As(inPlace, IID_IOleInPlaceObject)))
        inPlace->InPlaceDeactivate();
    inPlace.Reset();
    if (point_ && cookie_)
        point_->Unadvise(cookie_);
    point_.Reset();
    cookie_ = 0;
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_.Reset();
}

HWND TestContainer::PlayerWindow() const {
    ComPtr<IOleInPlaceObject> inPlace;
    HWND hwnd = nullptr;
    if (SUCCEEDED(object_.As(inPlace, IID_IOleInPlaceObject)))
        inPlace->GetWindow(&hwnd);
    return hwnd;
}

HRESULT TestContainer::Put(DISPID id, VARIANT value) {
    ComPtr<IDispatch> dispatch;
    HRESULT hr = object_.As(dispatch, IID_IDispatch);
    if (FAILED(hr))
        return hr;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                            nullptr, nullptr, nullptr);
}

HRESULT TestContainer::PutBool(DISPID id, bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return Put(id, v);
}

HRESULT TestContainer::PutInt(DISPID id, long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return Put(id, v);
}

HRESULT TestContainer::PutText(DISPID id, const std::wstring& value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    HRESULT hr = Put(id, v);
    VariantClear(&v);
    return hr;
}

HRESULT TestContainer::Call(const std::wstring& name) {
    ComPtr<IDispatch> player;
    HRESULT hr = object_.As(player, kIidPlayerDispatch);
    if (FAILED(hr))
        return hr;
    std::wstring copy = name;
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    hr = player->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return player->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                          nullptr, nullptr);
}

HRESULT STDMETHODCALLTYPE TestContainer::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE TestContainer::AddRef() noexcept {
    return InterlockedIncrement(&refs);
}
ULONG STDMETHODCALLTYPE TestContainer::Release() noexcept {
    return InterlockedDecrement(&refs);
}

HRESULT STDMETHODCALLTYPE TestContainer::GetMoniker(DWORD, DWORD, IMoniker** m) noexcept {
    if (m)
        *m = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TestContainer::GetContainer(IOleContainer** c) noexcept {
    if (c)
        *c = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE TestContainer::GetWindow(HWND* hwnd) noexcept {
    if (!hwnd)
        return E_POINTER;
    *hwnd = window_.Get();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestContainer::OnInPlaceActivate() noexcept {
    ++activations;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestContainer::OnInPlaceDeactivate() noexcept {
    ++deactivations;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestContainer::GetWindowContext(IOleInPlaceFrame** frame,
                                                          IOleInPlaceUIWindow** doc, LPRECT pos,
                                                          LPRECT clip,
                                                          LPOLEINPLACEFRAMEINFO info) noexcept {
    if (!frame || !doc || !pos || !clip || !info)
        return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *doc = nullptr;
    *pos = sitePos;
    *clip = sitePos;
    info->fMDIApp = FALSE;
    info->hwndFrame = window_.Get();
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

bool PumpMessages(DWORD ms, const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done && done())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::vector<std::string> ReadLog(const std::wstring& path) {
    std::vector<std::string> lines;
    std::ifstream in(path.c_str(), std::ios::binary);
    const std::string prefix = std::to_string(GetCurrentProcessId()) + " ";
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, prefix.size(), prefix) == 0)
            lines.push_back(line.substr(prefix.size()));
        else
            lines.push_back("?" + line); // a line without our pid is itself a finding
    }
    return lines;
}

} // namespace zembra::standin_test
