#include "uClassFactory.h"

#include "uStandinControl.h"
#include "uStandinModule.h"

namespace zembra::standin {

HRESULT STDMETHODCALLTYPE ClassFactory::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
        return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

// The factory is static; an outstanding reference keeps the DLL loaded.
ULONG STDMETHODCALLTYPE ClassFactory::AddRef() noexcept {
    LockModule();
    return 2;
}

ULONG STDMETHODCALLTYPE ClassFactory::Release() noexcept {
    UnlockModule();
    return 1;
}

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown* outer, REFIID riid,
                                                       void** ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    StandinControl* control = StandinControl::CreateNew();
    if (!control)
        return E_OUTOFMEMORY;
    HRESULT hr = control->QueryInterface(riid, ppv);
    control->Release(); // frees the object when the interface is unknown
    return hr;
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock) noexcept {
    if (lock)
        LockModule();
    else
        UnlockModule();
    return S_OK;
}

ClassFactory& TheClassFactory() noexcept {
    static ClassFactory factory;
    return factory;
}

} // namespace zembra::standin
