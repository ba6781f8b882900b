#include "flash/uFlashUtils.h"

#include <windows.h>
#include <ole2.h>

#include "flash/uFlashIds.h"
#include "util/uHandles.h"
#include "util/uUtils.h"

namespace zembra {

namespace {

// The registration of the player's in-process server; the default value is
// the full path of its module.
const char kPlayerServerKey[] = "CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}\\InprocServer32";

bool FileExists(const std::string& path) noexcept {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

bool CanCreateFlashPlayer() noexcept {
    try {
        ComPtr<IOleObject> probe;
        HRESULT hr = CoCreateInstance(CLSID_ShockwaveFlash, nullptr,
                                      CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IOleObject,
                                      reinterpret_cast<void**>(probe.Receive()));
        return hr == S_OK && probe;
    } catch (...) {
        return false;
    }
}

void GetFlashPlayerVersion(std::string& Version) noexcept {
    try {
        Version = "0.0.0.0";
        std::string path = ReadRegistryDefault(HKEY_CLASSES_ROOT, kPlayerServerKey);
        if (!path.empty() && FileExists(path))
            Version = GetProductVersionText(path);
    } catch (...) {
        // Only an allocation can fail here; the caller then sees "0.0.0.0"
        // or whatever was assigned last, never an exception.
    }
}

bool IsFlashPlayerVersionAtLeast(const std::string& Required) noexcept {
    try {
        if (!CanCreateFlashPlayer())
            return false;
        std::string installed;
        GetFlashPlayerVersion(installed);
        return VersionAtLeast(installed, Required);
    } catch (...) {
        return false;
    }
}

} // namespace zembra
