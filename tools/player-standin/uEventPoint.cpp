#include "uEventPoint.h"

#include "uHandles.h"
#include "uStandinIds.h"
#include "uStandinMembers.h"

namespace zembra::standin {
namespace {

// BSTR holder for the event arguments.
class Bstr {
  public:
    explicit Bstr(const std::wstring& text) noexcept
        : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const noexcept { return value_; }

  private:
    BSTR value_;
};

} // namespace

EventPoint::~EventPoint() {
    for (auto& entry : sinks_)
        entry.second->Release();
}

HRESULT STDMETHODCALLTYPE EventPoint::QueryInterface(REFIID riid, void** ppv) noexcept {
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

ULONG STDMETHODCALLTYPE EventPoint::AddRef() noexcept {
    return container_.AddRef();
}
ULONG STDMETHODCALLTYPE EventPoint::Release() noexcept {
    return container_.Release();
}

HRESULT STDMETHODCALLTYPE EventPoint::GetConnectionInterface(IID* piid) noexcept {
    if (!piid)
        return E_POINTER;
    *piid = kIidPlayerEvents;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE
EventPoint::GetConnectionPointContainer(IConnectionPointContainer** ppcpc) noexcept {
    if (!ppcpc)
        return E_POINTER;
    *ppcpc = &container_;
    container_.AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE EventPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
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

HRESULT STDMETHODCALLTYPE EventPoint::Unadvise(DWORD cookie) noexcept {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first == cookie) {
            IDispatch* sink = it->second;
            sinks_.erase(it);
            sink->Release(); // last: the sink's release may call back into us
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT STDMETHODCALLTYPE EventPoint::EnumConnections(IEnumConnections** ppEnum) noexcept {
    if (ppEnum)
        *ppEnum = nullptr;
    return E_NOTIMPL;
}

void EventPoint::FireFSCommand(const std::wstring& command, const std::wstring& args) noexcept {
    try {
        // A sink may unadvise (or advise) while it handles the event: work
        // on a snapshot that owns its references.
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
            // Arguments go in reverse order: rgvarg[0] is the last one.
            VARIANTARG argv[2];
            VariantInit(&argv[0]);
            VariantInit(&argv[1]);
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

} // namespace zembra::standin
