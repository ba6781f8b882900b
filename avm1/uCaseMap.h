// Case mapping of String.toUpperCase/toLowerCase: one UTF-16 unit to one,
// by the player's own table (simple mappings of the Latin, Greek, Cyrillic,
// Armenian, Georgian, Latin Extended Additional, Greek Extended, letterlike,
// Roman numeral, circled and fullwidth letters). Units outside it are kept.
#pragma once

namespace zembra::avm1 {

char16_t UpperCaseUnit(char16_t c);
char16_t LowerCaseUnit(char16_t c);

} // namespace zembra::avm1
