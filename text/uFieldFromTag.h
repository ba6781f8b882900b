// A text field's starting state from its DefineEditText definition: text
// (read as html when the tag says so), format, flags and size.
#pragma once

#include "text/uTextField.h"

namespace zembra::chars {
struct EditTextChar;
class Dictionary;
} // namespace zembra::chars

namespace zembra::text {

// Sets everything but the field's position; `version` is the movie's.
void InitFromEditText(TextField& field, const chars::EditTextChar& def,
                      const chars::Dictionary& dict, int version);

} // namespace zembra::text
