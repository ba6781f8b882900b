// Class factory of the stand-in control. One static instance serves the
// whole DLL; its references only count as server locks.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace zembra::standin {

class ClassFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid,
                                             void** ppv) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;
};

ClassFactory& TheClassFactory() noexcept;

} // namespace zembra::standin
