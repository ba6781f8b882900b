#include "player/uPlayerEvents.h"

#include "player/uPlayerIds.h"
#include "util/uHandles.h"

namespace zembra::player {

namespace {

class Bstr {
  public:
    explicit Bstr(const std::wstring& text) noexcept
        : value_(text.size() < 0x7FFFFFFF
                     ? SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))
                     : nullptr) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const noexcept { return value_; }

  private:
    BSTR value_;
};

} // namespace

PlayerEvents::~PlayerEvents() {
    Clear();
}

void PlayerEvents::Clear() noexcept {
    std::vector<std::pair<DWORD, IDispatch*>> sinks;
    sinks.swap(sinks_);
    for (auto& entry : sinks)
        entry.second->Release();
}

HRESULT STDMETHODCALLTYPE PlayerEvents::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE PlayerEvents::AddRef() noexcept {
    return container_.AddRef();
}

ULONG STDMETHODCALLTYPE PlayerEvents::Release() noexcept {
    return container_.Release();
}

HRESULT STDMETHODCALLTYPE PlayerEvents::GetConnectionInterface(IID* piid) noexcept {
    if (!piid)
        return E_POINTER;
    *piid = kIidPlayerEvents;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE
PlayerEvents::GetConnectionPointContainer(IConnectionPointContainer** ppcpc) noexcept {
    if (!ppcpc)
        return E_POINTER;
    *ppcpc = &container_;
    container_.AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PlayerEvents::Advise(IUnknown* sink, DWORD* cookie) noexcept {
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    if (sinks_.size() >= kMaxSinks)
        return CONNECT_E_ADVISELIMIT;
    try {
        // The event interface is a dispinterface: its vtable is IDispatch's.
        IDispatch* dispatch = nullptr;
        if (FAILED(sink->QueryInterface(kIidPlayerEvents, reinterpret_cast<void**>(&dispatch))) ||
            !dispatch) {
            dispatch = nullptr;
            if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) ||
                !dispatch)
                return CONNECT_E_CANNOTCONNECT;
        }
        try {
            sinks_.emplace_back(nextCookie_, dispatch);
        } catch (...) {
            dispatch->Release();
            return E_OUTOFMEMORY;
        }
        *cookie = nextCookie_++;
        if (nextCookie_ == 0)
            nextCookie_ = 1;
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT STDMETHODCALLTYPE PlayerEvents::Unadvise(DWORD cookie) noexcept {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first == cookie) {
            IDispatch* sink = it->second;
            sinks_.erase(it);
            sink->Release(); // last: the release may call back into us
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT STDMETHODCALLTYPE PlayerEvents::EnumConnections(IEnumConnections** ppEnum) noexcept {
    if (ppEnum)
        *ppEnum = nullptr;
    return E_NOTIMPL;
}

void PlayerEvents::FireFSCommand(const std::wstring& command, const std::wstring& args) noexcept {
    try {
        // A sink may unadvise while it handles the event: a snapshot that
        // owns its references.
        std::vector<ComPtr<IDispatch>> targets;
        targets.reserve(sinks_.size());
        for (auto& entry : sinks_) {
            entry.second->AddRef();
            targets.push_back(ComPtr<IDispatch>::Attach(entry.second));
        }
        Bstr commandText(command);
        Bstr argsText(args);
        if (!commandText.Get() || !argsText.Get())
            return;
        for (auto& target : targets) {
            VARIANTARG argv[2];
            VariantInit(&argv[0]);
            VariantInit(&argv[1]);
            // Last argument first.
            argv[0].vt = VT_BSTR;
            argv[0].bstrVal = argsText.Get();
            argv[1].vt = VT_BSTR;
            argv[1].bstrVal = commandText.Get();
            DISPPARAMS params = {argv, nullptr, 2, 0};
            target->Invoke(kDispidFSCommand, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                           &params, nullptr, nullptr, nullptr);
        }
    } catch (...) {
    }
}

} // namespace zembra::player
