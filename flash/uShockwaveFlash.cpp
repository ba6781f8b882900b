#include "flash/uShockwaveFlash.h"

#include <oleauto.h>

#include <limits>

#include "flash/uFlashIds.h"
#include "framework/uApplication.h"

namespace zembra {

namespace {

// A BSTR owned for the length of one call.
class TBStr {
  public:
    explicit TBStr(const std::wstring& text) {
        if (text.size() > std::numeric_limits<UINT>::max() / sizeof(wchar_t))
            throw EOleError("SysAllocStringLen", E_OUTOFMEMORY);
        value_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!value_)
            throw EOleError("SysAllocStringLen", E_OUTOFMEMORY);
    }
    ~TBStr() { SysFreeString(value_); }
    TBStr(const TBStr&) = delete;
    TBStr& operator=(const TBStr&) = delete;
    BSTR Get() const noexcept { return value_; }

  private:
    BSTR value_ = nullptr;
};

// Frees what a failing Invoke may leave in its exception record.
void ClearExcepInfo(EXCEPINFO& info) noexcept {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    info = EXCEPINFO{};
}

// Argument `index` of an event in declaration order (COM passes them last
// first), converted to `type`; false when it is missing or does not convert.
bool EventArg(const DISPPARAMS& params, UINT index, VARTYPE type, VARIANT& out) noexcept {
    VariantInit(&out);
    if (!params.rgvarg || index >= params.cArgs)
        return false;
    VARIANT& arg = params.rgvarg[params.cArgs - 1 - index];
    return SUCCEEDED(VariantChangeType(&out, &arg, 0, type));
}

std::wstring EventText(const DISPPARAMS& params, UINT index) {
    VARIANT v;
    std::wstring text;
    if (EventArg(params, index, VT_BSTR, v) && v.bstrVal)
        text.assign(v.bstrVal, SysStringLen(v.bstrVal));
    VariantClear(&v);
    return text;
}

long EventLong(const DISPPARAMS& params, UINT index) noexcept {
    VARIANT v;
    long value = 0;
    if (EventArg(params, index, VT_I4, v))
        value = v.lVal;
    VariantClear(&v);
    return value;
}

} // namespace

TShockwaveFlash::TShockwaveFlash(TComponent* AOwner, IOleObject* Player) : TWinControl(AOwner) {
    container_.OnEvent = [this](DISPID id, const DISPPARAMS& params) { HandleEvent(id, params); };
    if (Player)
        container_.CreateObject(Player, DIID_ShockwaveFlashEvents);
    else
        container_.CreateObject(CLSID_ShockwaveFlash, DIID_ShockwaveFlashEvents);
}

TShockwaveFlash::~TShockwaveFlash() {
    // The base destructor cannot reach our DestroyWnd any more, so the
    // player's window goes here, before the player itself.
    DestroyHandle();
    player_.Reset();
    container_.OnEvent = nullptr;
    container_.DestroyObject();
}

void TShockwaveFlash::CreateWnd() {
    HWND parent = Parent() ? Parent()->Handle() : ParentWindow();
    if (!parent)
        throw EOleError("TShockwaveFlash has no parent window", E_HANDLE);
    RECT bounds = BoundsRect();
    HWND window = container_.Activate(parent, bounds);
    try {
        AttachHandle(window);
    } catch (...) {
        container_.Deactivate();
        throw;
    }
    ShowWindow(window, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TShockwaveFlash::DestroyWnd() {
    // The player destroys its own window when it leaves in-place
    // activation; the base then only cleans up (and destroys a window the
    // player left behind).
    container_.Deactivate();
    TWinControl::DestroyWnd();
}

void TShockwaveFlash::BoundsChanged() {
    TWinControl::BoundsChanged();
    if (container_.IsActive())
        container_.SetBounds(BoundsRect());
}

void TShockwaveFlash::SetParent(TWinControl* AParent) {
    // The player was activated for one parent window; merely re-parenting its
    // window would leave it talking to the old one.
    if (AParent != Parent() && HandleAllocated())
        DestroyHandle();
    TWinControl::SetParent(AParent);
}

void TShockwaveFlash::PutProperty(DISPID id, VARIANT& value, const char* name) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    EXCEPINFO info{};
    UINT argError = 0;
    HRESULT hr =
        container_.Dispatch()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                      &params, nullptr, &info, &argError);
    ClearExcepInfo(info);
    OleCheck(hr, name);
}

void TShockwaveFlash::PutBool(DISPID id, bool value, const char* name) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    PutProperty(id, v, name);
}

void TShockwaveFlash::PutInt(DISPID id, int value, const char* name) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    PutProperty(id, v, name);
}

void TShockwaveFlash::PutString(DISPID id, const std::wstring& value, const char* name) {
    TBStr text(value);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = text.Get();
    PutProperty(id, v, name);
}

void TShockwaveFlash::SetLoop(bool value) { PutBool(106, value, "Loop"); }
void TShockwaveFlash::SetMenu(bool value) { PutBool(135, value, "Menu"); }
void TShockwaveFlash::SetQuality(int value) { PutInt(105, value, "Quality"); }
void TShockwaveFlash::SetFlashVars(const std::wstring& value) {
    PutString(170, value, "FlashVars");
}
void TShockwaveFlash::SetBackgroundColor(int value) { PutInt(123, value, "BackgroundColor"); }
void TShockwaveFlash::SetMovie(const std::wstring& value) { PutString(102, value, "Movie"); }
void TShockwaveFlash::SetScale(const std::wstring& value) { PutString(137, value, "Scale"); }

IDispatch* TShockwaveFlash::PlayerInterface() {
    if (!player_) {
        IOleObject* object = container_.Object();
        if (!object)
            throw EOleError("IShockwaveFlash", E_UNEXPECTED);
        OleCheck(object->QueryInterface(IID_IShockwaveFlash,
                                        reinterpret_cast<void**>(player_.Receive())),
                 "IShockwaveFlash");
        if (!player_)
            throw EOleError("IShockwaveFlash", E_NOINTERFACE);
    }
    return player_.Get();
}

void TShockwaveFlash::CallMethod(const wchar_t* name) {
    IDispatch* player = PlayerInterface();
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    OleCheck(player->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info{};
    UINT argError = 0;
    HRESULT hr = player->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                &result, &info, &argError);
    VariantClear(&result);
    ClearExcepInfo(info);
    OleCheck(hr, "Invoke");
}

void TShockwaveFlash::Stop() {
    CallMethod(L"Stop");
}
void TShockwaveFlash::StopPlay() {
    CallMethod(L"StopPlay");
}
void TShockwaveFlash::DisableLocalSecurity() {
    CallMethod(L"DisableLocalSecurity");
}

void TShockwaveFlash::HandleEvent(DISPID id, const DISPPARAMS& params) noexcept {
    try {
        RaiseEvent(id, params);
    } catch (...) {
        // Called from inside the player: nothing may travel back into it.
        HandleCallbackException(this);
    }
}

void TShockwaveFlash::RaiseEvent(DISPID id, const DISPPARAMS& params) {
    switch (id) {
    case DISPID_FSCommand:
        if (OnFSCommand)
            OnFSCommand(this, EventText(params, 0), EventText(params, 1));
        break;
    case DISPID_OnReadyStateChange:
        if (OnReadyStateChange)
            OnReadyStateChange(this, EventLong(params, 0));
        break;
    case DISPID_OnProgress:
        if (OnProgress)
            OnProgress(this, EventLong(params, 0));
        break;
    case DISPID_FlashCall:
        if (OnFlashCall)
            OnFlashCall(this, EventText(params, 0));
        break;
    default:
        break;
    }
}

} // namespace zembra
