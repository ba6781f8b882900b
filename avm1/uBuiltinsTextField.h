// What the timeline calls on text fields from outside scripts: binding a
// field to its timeline variable when it is placed, and refreshing its text
// from that variable before it is drawn.
#pragma once

#include "avm1/uRuntime.h"

namespace zembra::avm1 {

// A field with a variable was placed: an undefined variable takes the
// field's text, a defined one gives the field its text. Never throws.
void BindTextFieldVariable(Runtime& rt, ClipId field);
// The field shows its variable's current value. Never throws.
void RefreshTextFieldVariable(Runtime& rt, ClipId field);
// The user edited the field: its variable takes the new text. Never throws.
void StoreTextFieldVariable(Runtime& rt, ClipId field);

} // namespace zembra::avm1
