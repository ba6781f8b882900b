// The stand-in's event log. When PLAYER_STANDIN_LOG names a file, every event
// appends one line "<pid> <text>" (CR LF) to it at once, so tests in other
// processes can follow along; when it is unset nothing is written.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace zembra::standin {

// Appends one event line. Never reports a failure: a log that cannot be
// written is skipped.
void LogEvent(std::string_view text) noexcept;

// UTF-8 form of a wide text; empty on failure.
std::string Utf8FromWide(std::wstring_view text);
// Wide form of 8-bit text: UTF-8 when it is valid UTF-8, else the ANSI
// code page; empty on failure.
std::wstring WideFromBytes(std::string_view text);
// "0x" followed by lower-case hexadecimal digits.
std::string HexText(std::uint32_t value);

// Value of an environment variable; empty when unset or unreadable.
std::string ReadEnvironment(const char* name);

} // namespace zembra::standin
