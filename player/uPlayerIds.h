// The identifiers the built-in player answers to: those of the installed
// player's control, so that the host drives both through one path.
#pragma once
#ifdef _WIN32

#include <windows.h>

namespace zembra::player {

// The control's default dual interface and its event interface.
inline constexpr IID kIidPlayerDispatch = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID kIidPlayerEvents = {
    0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Property dispatch ids as hosts write them.
constexpr DISPID kDispidMovie = 102;
constexpr DISPID kDispidQuality = 105;
constexpr DISPID kDispidLoop = 106;
constexpr DISPID kDispidBackgroundColor = 123;
constexpr DISPID kDispidMenu = 135;
constexpr DISPID kDispidScale = 137;
constexpr DISPID kDispidFlashVars = 170;
// Methods are found by name; their ids are our own.
constexpr DISPID kDispidStop = 0x5B01;
constexpr DISPID kDispidStopPlay = 0x5B02;
constexpr DISPID kDispidDisableLocalSecurity = 0x5B03;
constexpr DISPID kDispidPlay = 0x5B04;
// FSCommand on the event interface.
constexpr DISPID kDispidFSCommand = 150;

} // namespace zembra::player

#endif // _WIN32
