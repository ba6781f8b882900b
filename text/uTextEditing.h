// What typing does to a text field: the caret and selection, inserting
// what the field lets in (restrict, maxChars, one line or many), deleting
// and moving. The field's text model (uTextField) stays unaware of editing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "text/uTextField.h"

namespace zembra::text {

// The selection runs between anchor and caret (UTF-16 units); empty when
// they are equal.
struct EditState {
    size_t anchor = 0;
    size_t caret = 0;
    size_t Begin() const { return anchor < caret ? anchor : caret; }
    size_t End() const { return anchor < caret ? caret : anchor; }
};

// Keeps both ends inside the field's text.
void ClampState(const TextField& field, EditState& s);

// What `restrict` turns a typed character into: itself, the other case of
// it when only that case is allowed, or 0 when it is refused. An empty
// pattern allows everything unless `restrictSet` (then nothing).
char16_t ApplyRestrict(const std::string& restrict, bool restrictSet, char16_t c);

// Typing or pasting `typed` over the selection: characters the field
// refuses are dropped, line breaks only go into multiline fields, and no
// more goes in than maxChars leaves room for. False when nothing changed.
bool InsertTyped(TextField& field, EditState& s, const std::u16string& typed);
// Backspace and Delete: the selection, else the character before (after)
// the caret.
bool DeleteBackward(TextField& field, EditState& s);
bool DeleteForward(TextField& field, EditState& s);
bool DeleteSelection(TextField& field, EditState& s);
// The caret one character left (delta < 0) or right; `extend` keeps the
// anchor (the selection grows), otherwise a selection collapses to its
// end on that side.
void MoveCaret(const TextField& field, EditState& s, int delta, bool extend);
// The caret to the start or end of the text.
void MoveCaretToEnd(const TextField& field, EditState& s, bool toEnd, bool extend);
std::u16string SelectedText(const TextField& field, const EditState& s);

void AppendCodePoint(std::u16string& out, uint32_t cp);

} // namespace zembra::text
