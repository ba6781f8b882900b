#include "uRegistration.h"

#include "uHandles.h"
#include "uStandinIds.h"
#include "uStandinModule.h"

#include <string>

namespace zembra::standin {
namespace {

const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClsidText;

LSTATUS SetString(HKEY key, const wchar_t* name, const std::wstring& value) noexcept {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Full path of this DLL; empty on failure (also when it does not fit).
std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD n =
            GetModuleFileNameW(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
    return {};
}

} // namespace

HRESULT RegisterServer() noexcept {
    try {
        const std::wstring path = ModulePath();
        if (path.empty())
            return SELFREG_E_CLASS;
        UniqueHKey classKey;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kClassKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            classKey.Receive(), nullptr) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
        SetString(classKey.Get(), nullptr, L"Zembra player stand-in");
        UniqueHKey serverKey;
        if (RegCreateKeyExW(classKey.Get(), L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr,
                            serverKey.Receive(), nullptr) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
        if (SetString(serverKey.Get(), nullptr, path) != ERROR_SUCCESS ||
            SetString(serverKey.Get(), L"ThreadingModel", L"Apartment") != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
        return S_OK;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

HRESULT UnregisterServer() noexcept {
    try {
        LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey.c_str());
        return (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

} // namespace zembra::standin
