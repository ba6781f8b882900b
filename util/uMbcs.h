// Double-byte aware searching in 8-bit ANSI texts: a match never starts on
// the second byte of a double-byte character. On Windows the system's
// lead-byte test decides (it follows the ANSI code page); elsewhere the
// code-page-932 rule does, so the portable code is tested natively.
#pragma once

#include <cstddef>
#include <string>

namespace zembra {

// True when C starts a double-byte character in code page 932.
bool IsLeadByte932(unsigned char C) noexcept;

// True when C starts a double-byte character in the system's code page.
bool IsLeadByte(unsigned char C) noexcept;

// Bytes taken by the character starting at Pos: 2 for a lead byte that has a
// byte after it, otherwise 1. Pos must be inside Text.
std::size_t MbcsCharLength(const std::string& Text, std::size_t Pos) noexcept;

// Position of the first occurrence of What starting at a character boundary
// at or after From; npos when there is none. An empty What is found at the
// first boundary at or after From (npos when From is beyond the text).
std::size_t MbcsFind(const std::string& Text, const std::string& What, std::size_t From = 0);

// Position of the first character equal to the single byte Ch at or after
// From; npos when there is none.
std::size_t MbcsFindChar(const std::string& Text, char Ch, std::size_t From = 0);

// Text with every occurrence of What (left to right, not overlapping)
// replaced by With. An empty What changes nothing.
std::string MbcsReplaceAll(const std::string& Text, const std::string& What,
                           const std::string& With);

} // namespace zembra
