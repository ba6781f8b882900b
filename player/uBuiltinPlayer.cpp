#include "player/uBuiltinPlayer.h"

#include "player/uPlayerControl.h"

namespace zembra::player {

HRESULT CreateBuiltinPlayer(REFIID iid, void** out) noexcept {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    PlayerControl* control = PlayerControl::CreateNew();
    if (!control)
        return E_OUTOFMEMORY;
    const HRESULT hr = control->QueryInterface(iid, out);
    control->Release(); // the caller's reference is the one from QueryInterface
    return hr;
}

} // namespace zembra::player
