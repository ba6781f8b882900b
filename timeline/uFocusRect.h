// The yellow rectangle around what the keyboard focused: whether an object
// gets one, and the area a button's rectangle surrounds.
#pragma once

#include <cstdint>

#include "chars/uCharacters.h"
#include "swf/uSwfReader.h"

namespace zembra::timeline {

// `own` is the object's _focusrect (-1 when unset), `root` the main
// timeline's. An unset object follows the main timeline.
bool FocusRectEnabled(int8_t own, int8_t root);

// A button's rectangle surrounds its hit area, not what it shows: the
// union of the hit-state characters' bounds in the button's twips. False
// when it has no hit area.
bool ButtonHitBounds(const chars::ButtonChar& button, chars::Dictionary& dict, swf::Rect& out);

} // namespace zembra::timeline
