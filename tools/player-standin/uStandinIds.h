// Class and interface ids the host uses to find and drive the player.
#pragma once

#include <windows.h>

namespace zembra::standin {

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
inline constexpr CLSID kClsidPlayer = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6C-AE6D-11CF-96B8-444553540000}: the control's default dual interface.
inline constexpr IID kIidPlayerDispatch = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6D-AE6D-11CF-96B8-444553540000}: the event dispinterface.
inline constexpr IID kIidPlayerEvents = {
    0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

inline constexpr wchar_t kClsidText[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";

} // namespace zembra::standin
