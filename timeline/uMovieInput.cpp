// The keyboard and the focus: which object has the focus, what the Tab key
// visits, key events to the focused object, listeners and buttons' key
// conditions, and typing into the focused input field.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "avm1/uBuiltinsTextField.h"
#include "avm1/uObject.h"
#include "text/uTextEditing.h"
#include "text/uUtf16.h"
#include "timeline/uDrawing.h"
#include "timeline/uFocusRect.h"
#include "timeline/uHitTest.h"
#include "timeline/uMovie.h"
#include "timeline/uTabOrder.h"

namespace zembra::timeline {

namespace {

// The key number a button's keyPress condition stores for a key: special
// keys have small numbers, the rest their character.
int ButtonKeyFor(int code, int ascii) {
    switch (code) {
    case 37:
        return 1; // left
    case 39:
        return 2; // right
    case 36:
        return 3; // home
    case 35:
        return 4; // end
    case 45:
        return 5; // insert
    case 46:
        return 6; // delete
    case 8:
        return 8; // backspace
    case 13:
        return 13; // enter
    case 38:
        return 14; // up
    case 40:
        return 15; // down
    case 33:
        return 16; // page up
    case 34:
        return 17; // page down
    case 9:
        return 18; // tab
    case 27:
        return 19; // escape
    default:
        break;
    }
    return ascii >= 32 && ascii < 127 ? ascii : 0;
}

// Key.getAscii for a key and the character it typed.
int AsciiFor(int code, uint32_t ch) {
    if (ch > 0 && ch < 0x10000)
        return static_cast<int>(ch);
    switch (code) {
    case 8:
    case 9:
    case 13:
    case 27:
    case 32:
        return code;
    case 46:
        return 127;
    default:
        return 0;
    }
}

const char* const kButtonHandlers[] = {"onPress",   "onRelease",  "onReleaseOutside", "onRollOver",
                                       "onRollOut", "onDragOver", "onDragOut"};

} // namespace

int Movie::ScriptFlag(avm1::ClipId clip, const char* name) {
    if (!clip)
        return -1;
    avm1::Object* o = rt_->ClipObject(clip);
    int guard = 0;
    for (; o && guard < 64; o = o->proto, ++guard) {
        const avm1::Property* p = o->Find(name);
        if (!p)
            continue;
        // Accessors are not run here: this may be outside any script.
        if (p->getter)
            return -1;
        const avm1::Value& v = p->value;
        if (v.IsUndefined())
            return -1;
        return rt_->ToBoolean(v) ? 1 : 0;
    }
    return -1;
}

bool Movie::ScriptNumber(avm1::ClipId clip, const char* name, double& out) {
    avm1::Object* o = clip ? rt_->ClipObject(clip) : nullptr;
    int guard = 0;
    for (; o && guard < 64; o = o->proto, ++guard) {
        const avm1::Property* p = o->Find(name);
        if (!p)
            continue;
        if (p->getter || !p->value.IsNumber())
            return false;
        out = p->value.AsNumber();
        return std::isfinite(out);
    }
    return false;
}

bool Movie::ActsAsButton(avm1::ClipId clip) {
    // Looked up without running scripts: callers may be walking the
    // display list.
    avm1::Object* self = clip ? rt_->ClipObject(clip) : nullptr;
    for (const char* h : kButtonHandlers) {
        int guard = 0;
        for (avm1::Object* o = self; o && guard < 64; o = o->proto, ++guard) {
            // Present is enough, even when undefined.
            if (o->Find(h))
                return true;
        }
    }
    return false;
}

bool Movie::IsButtonLike(avm1::ClipId clip) {
    ScriptHost::Place place;
    if (!host_->Find(clip, place) || !place.obj)
        return false;
    if (place.obj->character && place.obj->character->kind == chars::Kind::Button)
        return true;
    return place.obj->sprite && ActsAsButton(clip);
}

bool Movie::KeyIsDown(int code) const {
    return code >= 0 && code < 256 && keysDown_[code];
}

bool Movie::Focusable(avm1::ClipId clip) {
    if (!clip || clip == ScriptHost::kRoot)
        return false;
    ScriptHost::Place place;
    if (!host_->Find(clip, place) || !place.obj)
        return false;
    switch (host_->KindOf(clip)) {
    case avm1::ClipKind::Button:
    case avm1::ClipKind::TextField:
        return true;
    case avm1::ClipKind::Clip: {
        // Clips that act as buttons always can.
        return ScriptFlag(clip, "focusEnabled") == 1 || ActsAsButton(clip);
    }
    default:
        return false;
    }
}

avm1::ClipId Movie::Focus() {
    if (!focus_)
        return 0;
    // What the Tab key chose keeps the focus while it exists.
    ScriptHost::Place place;
    if (focusByTab_ ? !host_->Find(focus_, place) || !place.obj : !Focusable(focus_))
        focus_ = 0;
    return focus_;
}

bool Movie::SetFocus(avm1::ClipId clip) {
    if (clip && !Focusable(clip))
        return false;
    ChangeFocus(clip);
    return true;
}

bool Movie::DropFocusInside(avm1::ClipId clip) {
    if (!focus_ || !clip)
        return false;
    avm1::ClipId c = focus_;
    for (int guard = 0; c && c != clip && guard <= kMaxNesting + 2; ++guard)
        c = host_->Parent(c);
    if (c != clip)
        return false;
    ChangeFocus(0);
    return true;
}

void Movie::ChangeFocus(avm1::ClipId clip, bool byTab) {
    const avm1::ClipId old = Focus();
    if (old == clip)
        return;
    // The focus rolls over buttons as the pointer does; from a script the
    // roll events wait in the queue, from the keyboard they come first.
    if (old && IsButtonLike(old))
        ButtonEvent(old, 0x0002, "onRollOut");
    if (clip && IsButtonLike(clip))
        ButtonEvent(clip, 0x0001, "onRollOver");
    if (byTab)
        RunQueue();
    focus_ = clip;
    focusByTab_ = byTab;
    {
        ScriptHost::Place place;
        focusRectOn_ = clip && host_->Find(clip, place) && place.obj &&
                       FocusRectEnabled(place.obj->focusRect, rootProps_.focusRect);
    }
    editState_ = text::EditState();
    if (clip)
        if (text::TextField* f = host_->TextFieldModel(clip)) {
            // A field that takes the focus has all its text selected.
            editState_.anchor = 0;
            editState_.caret = f->Length();
        }
    const avm1::Value oldV = old ? avm1::Value::Obj(rt_->ClipObject(old)) : avm1::Value::Null();
    const avm1::Value newV = clip ? avm1::Value::Obj(rt_->ClipObject(clip)) : avm1::Value::Null();
    if (old)
        rt_->CallClipMethod(old, "onKillFocus", {newV});
    if (clip)
        rt_->CallClipMethod(clip, "onSetFocus", {oldV});
    rt_->BroadcastTo("Selection", "onSetFocus", {oldV, newV});
}

void Movie::CollectTabStops(SpriteInstance& s, std::vector<TabStop>& out, int nesting) {
    if (nesting > kMaxNesting || out.size() >= kMaxDisplayObjects)
        return;
    for (auto& [depth, obj] : s.children) {
        (void)depth;
        if (!obj.visible || !obj.clipId)
            continue;
        const avm1::ClipId id = obj.clipId;
        const int tabEnabled = ScriptFlag(id, "tabEnabled");
        bool stop = false;
        TabStop t;
        t.id = id;
        if (obj.textField) {
            // Only input fields: a dynamic one is never visited.
            stop = tabEnabled != 0 && obj.textField->input;
            if (obj.textField->tabIndex >= 0) {
                t.hasIndex = true;
                t.index = static_cast<double>(obj.textField->tabIndex);
            }
            // Indexes compare as signed 32-bit numbers.
            if (t.hasIndex)
                t.index = static_cast<double>(static_cast<int32_t>(
                    static_cast<uint32_t>(static_cast<int64_t>(t.index) & 0xFFFFFFFF)));
        } else {
            t.hasIndex = ScriptNumber(id, "tabIndex", t.index);
            if (obj.sprite)
                stop = tabEnabled == 1 || (tabEnabled < 0 && (t.hasIndex || ActsAsButton(id)));
            else if (obj.character && obj.character->kind == chars::Kind::Button)
                stop = tabEnabled != 0;
            if (t.hasIndex) {
                // Indexes compare as signed 32-bit numbers.
                const double m = std::fmod(std::trunc(t.index), 4294967296.0);
                const double u = m < 0 ? m + 4294967296.0 : m;
                t.index = u >= 2147483648.0 ? u - 4294967296.0 : u;
            }
        }
        if (stop) {
            double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            if (host_->Bounds(id, ScriptHost::kRoot, x0, y0, x1, y1)) {
                t.x = std::round(x0);
                t.y = std::round(y0);
            }
            out.push_back(t);
            if (getenv("ZDBG"))
                fprintf(stderr, "stop %s %g %g idx %d %g\n", rt_->ClipPath(id, false).c_str(), t.x,
                        t.y, t.hasIndex, t.index);
        }
        if (obj.sprite && ScriptFlag(id, "tabChildren") != 0)
            CollectTabStops(*obj.sprite, out, nesting + 1);
    }
}

void Movie::MoveFocusByTab(bool backward) {
    std::vector<TabStop> stops;
    if (ScriptFlag(ScriptHost::kRoot, "tabChildren") != 0)
        CollectTabStops(root_, stops, 0);
    const avm1::ClipId next = NextTabStop(TabOrder(stops), Focus(), backward);
    if (next)
        ChangeFocus(next, true);
}

void Movie::PressFocused(bool down) {
    const avm1::ClipId focus = Focus();
    if (!focus || ScriptFlag(focus, "enabled") == 0)
        return;
    ScriptHost::Place place;
    if (!host_->Find(focus, place) || !place.obj)
        return;
    if (place.obj->character && place.obj->character->kind == chars::Kind::Button) {
        const auto* button = static_cast<const chars::ButtonChar*>(place.obj->character);
        const avm1::ClipId owner = place.owner ? place.owner->clipId : 0;
        const uint16_t condition = down ? 0x0004 : 0x0008;
        if (owner)
            for (const chars::ButtonAction& a : button->actions)
                if (a.conditions & condition)
                    jobs_.push_back(
                        {Job::Kind::Code, owner, a.actions.data(), a.actions.size(), {}, false});
    } else if (!ActsAsButton(focus)) {
        return;
    }
    jobs_.push_back({Job::Kind::Method, focus, nullptr, 0, down ? "onPress" : "onRelease", false});
}

bool Movie::RunKeyPressButtons(SpriteInstance& s, int buttonKey, int nesting) {
    if (nesting > kMaxNesting)
        return false;
    // One button takes a key: the first that has it.
    for (auto& [depth, obj] : s.children) {
        (void)depth;
        if (obj.sprite) {
            if (RunKeyPressButtons(*obj.sprite, buttonKey, nesting + 1))
                return true;
            continue;
        }
        if (!obj.character || obj.character->kind != chars::Kind::Button || !s.clipId)
            continue;
        const auto* button = static_cast<const chars::ButtonChar*>(obj.character);
        for (const chars::ButtonAction& a : button->actions)
            if ((a.conditions >> 9) == buttonKey) {
                jobs_.push_back(
                    {Job::Kind::Code, s.clipId, a.actions.data(), a.actions.size(), {}, false});
                return true;
            }
    }
    return false;
}

void Movie::KeyEvent(int keyCode, bool down, uint32_t charCode) {
    if (!opened_)
        return;
    const bool repeat = down && KeyIsDown(keyCode);
    if (keyCode >= 0 && keyCode < 256)
        keysDown_[keyCode] = down;
    lastKeyCode_ = keyCode;
    lastKeyAscii_ = AsciiFor(keyCode, charCode);
    if (down)
        highlight_ = true;
    StartTurn();
    const avm1::ClipId focus = Focus();
    if (!down && keyCode == 32 && spacePressed_) {
        spacePressed_ = false;
        PressFocused(false);
        RunQueue();
    }
    if (focus && host_->KindOf(focus) != avm1::ClipKind::TextField) {
        jobs_.push_back(
            {Job::Kind::Method, focus, nullptr, 0, down ? "onKeyDown" : "onKeyUp", false});
        RunQueue();
    }
    BroadcastClipEvent(down ? clipevents::KeyDown : clipevents::KeyUp, nullptr);
    RunQueue();
    rt_->BroadcastTo("Key", down ? "onKeyDown" : "onKeyUp");
    RunQueue();
    if (!down)
        return;
    swallowText_ = false;
    if (keyCode == 9) {
        MoveFocusByTab(KeyIsDown(16));
        swallowText_ = true;
        RunQueue();
        return;
    }
    if (keyCode == 32 && !repeat && Focus() &&
        host_->KindOf(Focus()) != avm1::ClipKind::TextField) {
        spacePressed_ = true;
        PressFocused(true);
        swallowText_ = true;
        RunQueue();
        return;
    }
    const int buttonKey = ButtonKeyFor(keyCode, lastKeyAscii_);
    if (buttonKey) {
        BroadcastClipEvent(clipevents::KeyPress, nullptr, static_cast<uint8_t>(buttonKey));
        if (RunKeyPressButtons(root_, buttonKey, 0))
            swallowText_ = true;
        RunQueue();
    }
}

text::TextField* Movie::FocusedInputField() {
    const avm1::ClipId focus = Focus();
    if (!focus)
        return nullptr;
    text::TextField* f = host_->TextFieldModel(focus);
    return f && f->input ? f : nullptr;
}

void Movie::FieldChanged() {
    const avm1::ClipId focus = Focus();
    if (!focus)
        return;
    StartTurn();
    avm1::StoreTextFieldVariable(*rt_, focus);
    const avm1::Value self = avm1::Value::Obj(rt_->ClipObject(focus));
    // A field is its own first listener.
    avm1::Object* o = rt_->ClipObject(focus);
    if (!o || !rt_->CallObjectMethod(o, "broadcastMessage", {avm1::Value::Str("onChanged"), self}))
        rt_->CallClipMethod(focus, "onChanged", {self});
    RunQueue();
}

void Movie::TextInput(uint32_t codepoint) {
    if (!opened_)
        return;
    if (swallowText_) {
        swallowText_ = false;
        return;
    }
    text::TextField* f = FocusedInputField();
    if (!f || codepoint == '\t' || codepoint == 0 || codepoint > 0x10FFFF)
        return;
    if (codepoint == '\r' || codepoint == '\n') {
        TextControl("Enter");
        return;
    }
    std::u16string typed;
    text::AppendCodePoint(typed, codepoint);
    if (text::InsertTyped(*f, editState_, typed))
        FieldChanged();
}

void Movie::TextControl(const std::string& name) {
    if (!opened_)
        return;
    const avm1::ClipId focus = Focus();
    text::TextField* field = focus ? host_->TextFieldModel(focus) : nullptr;
    if (!field)
        return;
    const bool editable = field->input;
    bool changed = false;
    if (name == "Enter") {
        if (editable && field->Multiline())
            changed = text::InsertTyped(*field, editState_, u"\r");
    } else if (name == "Backspace") {
        changed = editable && text::DeleteBackward(*field, editState_);
    } else if (name == "Delete") {
        changed = editable && text::DeleteForward(*field, editState_);
    } else if (name == "MoveLeft" || name == "MoveRight") {
        text::MoveCaret(*field, editState_, name == "MoveLeft" ? -1 : 1, false);
    } else if (name == "MoveLeftLine" || name == "MoveRightLine") {
        text::MoveCaretToEnd(*field, editState_, name == "MoveRightLine", false);
    } else if (name == "SelectLeft" || name == "SelectRight") {
        text::MoveCaret(*field, editState_, name == "SelectLeft" ? -1 : 1, true);
    } else if (name == "SelectAll") {
        editState_.anchor = 0;
        editState_.caret = field->Length();
    } else if (name == "Copy" || name == "Cut") {
        // A password field never gives its text away.
        if (!field->password)
            clipboard_ = text::SelectedText(*field, editState_);
        if (name == "Cut" && editable && !field->password)
            changed = text::DeleteSelection(*field, editState_);
    } else if (name == "Paste") {
        if (editable && !clipboard_.empty())
            changed = text::InsertTyped(*field, editState_, clipboard_);
    }
    if (changed)
        FieldChanged();
}

bool Movie::TextSelection(int& begin, int& end, int& caret) {
    const avm1::ClipId focus = Focus();
    text::TextField* f = focus ? host_->TextFieldModel(focus) : nullptr;
    if (!f)
        return false;
    text::ClampState(*f, editState_);
    begin = static_cast<int>(std::min(editState_.anchor, editState_.caret));
    end = static_cast<int>(std::max(editState_.anchor, editState_.caret));
    caret = static_cast<int>(editState_.caret);
    return true;
}

void Movie::SetTextSelection(int begin, int end) {
    const avm1::ClipId focus = Focus();
    text::TextField* f = focus ? host_->TextFieldModel(focus) : nullptr;
    if (!f)
        return;
    editState_.anchor = static_cast<size_t>(std::max(0, begin));
    editState_.caret = static_cast<size_t>(std::max(0, end));
    text::ClampState(*f, editState_);
}

void Movie::FocusByPointer(avm1::ClipId textUnderPointer) {
    if (textUnderPointer) {
        text::TextField* f = host_->TextFieldModel(textUnderPointer);
        if (f && f->selectable) {
            ChangeFocus(textUnderPointer);
            return;
        }
    }
    if (Focus())
        ChangeFocus(0);
}

int Movie::TopmostText(SpriteInstance& s, const raster::Matrix& world, avm1::ClipId& out,
                       int nesting) {
    if (nesting > kMaxNesting)
        return -1;
    const HitTester hit(dict_);
    for (auto it = s.children.rbegin(); it != s.children.rend(); ++it) {
        DisplayObject& obj = it->second;
        if (!obj.visible || obj.clipDepth > 0)
            continue;
        if (obj.sprite) {
            const int r = TopmostText(*obj.sprite, world.Concat(obj.matrix), out, nesting + 1);
            if (r >= 0)
                return r;
            continue;
        }
        if (!hit.Object(obj, world, pointer_, true))
            continue;
        if (obj.textField && obj.clipId) {
            out = obj.clipId;
            return 1;
        }
        return 0;
    }
    if (s.drawing && !s.drawing->Empty()) {
        raster::Matrix inv;
        if (world.Invert(inv) && s.drawing->Geometry().HitTest(inv.Apply(pointer_)))
            return 0;
    }
    return -1;
}

avm1::ClipId Movie::TextFieldUnderPointer() {
    avm1::ClipId id = 0;
    return TopmostText(root_, rootProps_.matrix, id, 0) == 1 ? id : 0;
}

// ---------------------------------------------------------------- pointer

namespace {

constexpr uint32_t kButtonClipEvents =
    clipevents::Press | clipevents::Release | clipevents::ReleaseOutside | clipevents::RollOver |
    clipevents::RollOut | clipevents::DragOver | clipevents::DragOut;

uint32_t ClipEventFor(uint16_t condition) {
    switch (condition) {
    case 0x0001:
        return clipevents::RollOver;
    case 0x0002:
        return clipevents::RollOut;
    case 0x0004:
        return clipevents::Press;
    case 0x0008:
        return clipevents::Release;
    case 0x0010:
        return clipevents::DragOut;
    case 0x0020:
        return clipevents::DragOver;
    case 0x0040:
        return clipevents::ReleaseOutside;
    default:
        return 0;
    }
}

} // namespace

bool Movie::FindMouseTarget(SpriteInstance& s, const raster::Matrix& world, avm1::ClipId& out,
                            int nesting) {
    if (nesting > kMaxNesting)
        return false;
    // Each child with the mask that cuts it, if any.
    std::vector<std::pair<DisplayObject*, const DisplayObject*>> order;
    order.reserve(s.children.size());
    const DisplayObject* mask = nullptr;
    int maskTop = 0;
    for (auto& [depth, obj] : s.children) {
        if (mask && depth > maskTop)
            mask = nullptr;
        if (obj.clipDepth > 0) {
            mask = &obj;
            maskTop = obj.clipDepth;
            continue;
        }
        order.emplace_back(&obj, mask);
    }
    const HitTester hit(dict_);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        DisplayObject& obj = *it->first;
        if (!obj.visible || !obj.clipId)
            continue;
        if (it->second && !hit.Object(*it->second, world, pointer_, false))
            continue;
        const avm1::ClipId id = obj.clipId;
        if (obj.sprite) {
            bool button = ActsAsButton(id);
            for (const ClipEventAction& a : obj.clipActions)
                button = button || (a.events & kButtonClipEvents) != 0;
            if (button && ScriptFlag(id, "enabled") != 0) {
                // What lies inside a clip that acts as a button gets no events.
                if (hit.Object(obj, world, pointer_, true)) {
                    out = id;
                    return true;
                }
                continue;
            }
            if (FindMouseTarget(*obj.sprite, world.Concat(obj.matrix), out, nesting + 1))
                return true;
            continue;
        }
        if (obj.character && obj.character->kind == chars::Kind::Button &&
            ScriptFlag(id, "enabled") != 0 &&
            hit.ButtonArea(*static_cast<const chars::ButtonChar*>(obj.character),
                           world.Concat(obj.matrix), pointer_)) {
            out = id;
            return true;
        }
    }
    return false;
}

avm1::ClipId Movie::MouseTarget() {
    if (!pointerKnown_)
        return 0;
    avm1::ClipId id = 0;
    return FindMouseTarget(root_, raster::Matrix(), id, 0) ? id : 0;
}

void Movie::ButtonEvent(avm1::ClipId target, uint16_t condition, const char* method) {
    ScriptHost::Place place;
    if (!target || !host_->Find(target, place) || !place.obj)
        return;
    if (place.obj->character && place.obj->character->kind == chars::Kind::Button) {
        const auto* button = static_cast<const chars::ButtonChar*>(place.obj->character);
        const avm1::ClipId owner = place.owner ? place.owner->clipId : 0;
        // The button's actions live in the dictionary, which outlives any clip.
        if (owner)
            for (const chars::ButtonAction& a : button->actions)
                if (a.conditions & 0x01FF & condition)
                    jobs_.push_back(
                        {Job::Kind::Code, owner, a.actions.data(), a.actions.size(), {}, false});
    } else if (const uint32_t mask = ClipEventFor(condition)) {
        QueueClipEvent(jobs_, target, place.obj, mask, nullptr);
    }
    jobs_.push_back({Job::Kind::Method, target, nullptr, 0, method, false});
}

void Movie::SetButtonStates(SpriteInstance& s, int nesting) {
    if (nesting > kMaxNesting)
        return;
    for (auto& [depth, obj] : s.children) {
        (void)depth;
        if (obj.sprite) {
            SetButtonStates(*obj.sprite, nesting + 1);
            continue;
        }
        const avm1::ClipId id = obj.clipId;
        ButtonState state = ButtonState::Up;
        if (id && id == hoverTarget_)
            state = pointerDown_ ? (id == pressedButton_ ? ButtonState::Down : ButtonState::Up)
                                 : ButtonState::Over;
        obj.buttonState = state;
    }
}

void Movie::RefreshMouseTarget() {
    const avm1::ClipId target = MouseTarget();
    if (pointerDown_ && pressedButton_) {
        const bool was = hoverTarget_ == pressedButton_;
        const bool now = target == pressedButton_;
        if (was && !now)
            ButtonEvent(pressedButton_, 0x0010, "onDragOut");
        else if (!was && now)
            ButtonEvent(pressedButton_, 0x0020, "onDragOver");
    } else if (!pointerDown_ && target != hoverTarget_) {
        if (hoverTarget_)
            ButtonEvent(hoverTarget_, 0x0002, "onRollOut");
        if (target)
            ButtonEvent(target, 0x0001, "onRollOver");
    }
    hoverTarget_ = target;
    SetButtonStates(root_, 0);
    RunQueue();
}

void Movie::PointerMove(raster::Point stagePoint) {
    const bool moved = !pointerKnown_ || stagePoint.x != pointer_.x || stagePoint.y != pointer_.y;
    pointer_ = stagePoint;
    pointerKnown_ = true;
    if (!opened_)
        return;
    // Before version 9 any pointer move hides the focus rectangle.
    if (moved && Header().version <= 8)
        highlight_ = false;
    StartTurn();
    FollowDrag();
    BroadcastClipEvent(clipevents::MouseMove, "onMouseMove");
    RunQueue();
    rt_->BroadcastTo("Mouse", "onMouseMove");
    RunQueue();
    RefreshMouseTarget();
}

void Movie::PointerButton(bool down) {
    if (!opened_ || !pointerKnown_ || down == pointerDown_)
        return;
    StartTurn();
    pointerDown_ = down;
    if (down || Header().version <= 8)
        highlight_ = false;
    BroadcastClipEvent(down ? clipevents::MouseDown : clipevents::MouseUp,
                       down ? "onMouseDown" : "onMouseUp");
    RunQueue();
    rt_->BroadcastTo("Mouse", down ? "onMouseDown" : "onMouseUp");
    RunQueue();
    if (down) {
        FocusByPointer(TextFieldUnderPointer());
        RunQueue();
        const avm1::ClipId target = MouseTarget();
        hoverTarget_ = target;
        pressedButton_ = target;
        if (target)
            ButtonEvent(target, 0x0004, "onPress");
    } else {
        const avm1::ClipId pressed = pressedButton_;
        pressedButton_ = 0;
        const avm1::ClipId target = MouseTarget();
        if (pressed && target == pressed)
            ButtonEvent(pressed, 0x0008, "onRelease");
        else if (pressed)
            ButtonEvent(pressed, 0x0040, "onReleaseOutside");
        // Released elsewhere: whatever is under the pointer is rolled over next.
        hoverTarget_ = pressed && target == pressed ? pressed : 0;
    }
    RunQueue();
    RefreshMouseTarget();
}

bool Movie::FocusHighlight(swf::Rect& stageTwips) {
    // Changing _focusrect later leaves a shown rectangle as it is.
    const avm1::ClipId focus = highlight_ && focusRectOn_ ? Focus() : 0;
    ScriptHost::Place place;
    if (!focus || !host_->Find(focus, place) || !place.obj || place.obj->textField)
        return false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (place.obj->character && place.obj->character->kind == chars::Kind::Button) {
        swf::Rect hit;
        if (!ButtonHitBounds(*static_cast<const chars::ButtonChar*>(place.obj->character), dict_,
                             hit))
            return false;
        // Measured in the main timeline's space, as other objects are.
        raster::Matrix m = host_->WorldMatrix(focus), rootInv;
        if (host_->WorldMatrix(ScriptHost::kRoot).Invert(rootInv))
            m = rootInv.Concat(m);
        const raster::Point corners[4] = {m.Apply({double(hit.xMin), double(hit.yMin)}),
                                          m.Apply({double(hit.xMax), double(hit.yMin)}),
                                          m.Apply({double(hit.xMin), double(hit.yMax)}),
                                          m.Apply({double(hit.xMax), double(hit.yMax)})};
        x0 = x1 = corners[0].x / 20;
        y0 = y1 = corners[0].y / 20;
        for (const raster::Point& c : corners) {
            x0 = std::min(x0, c.x / 20), x1 = std::max(x1, c.x / 20);
            y0 = std::min(y0, c.y / 20), y1 = std::max(y1, c.y / 20);
        }
    } else if (!host_->Bounds(focus, ScriptHost::kRoot, x0, y0, x1, y1)) {
        return false;
    }
    auto twips = [](double px) {
        return static_cast<int32_t>(std::max(-2e9, std::min(2e9, std::round(px * 20))));
    };
    stageTwips.xMin = twips(x0);
    stageTwips.yMin = twips(y0);
    stageTwips.xMax = twips(x1);
    stageTwips.yMax = twips(y1);
    return stageTwips.xMax > stageTwips.xMin && stageTwips.yMax > stageTwips.yMin;
}

avm1::ClipId Movie::InnermostClipAt(SpriteInstance& s, const raster::Matrix& world,
                                    avm1::ClipId excluded, int nesting) {
    if (nesting > kMaxNesting)
        return 0;
    const HitTester hit(dict_);
    for (auto it = s.children.rbegin(); it != s.children.rend(); ++it) {
        DisplayObject& obj = it->second;
        if (!obj.visible || obj.clipDepth > 0 || (excluded && obj.clipId == excluded))
            continue;
        if (obj.sprite) {
            if (const avm1::ClipId id =
                    InnermostClipAt(*obj.sprite, world.Concat(obj.matrix), excluded, nesting + 1))
                return id;
            continue;
        }
        if (hit.Object(obj, world, pointer_, true))
            return s.clipId;
    }
    if (s.drawing && !s.drawing->Empty()) {
        raster::Matrix inv;
        if (world.Invert(inv) && s.drawing->Geometry().HitTest(inv.Apply(pointer_)))
            return s.clipId;
    }
    return 0;
}

avm1::ClipId Movie::ClipUnderPointer(avm1::ClipId excluded) {
    const avm1::ClipId id = InnermostClipAt(root_, raster::Matrix(), excluded, 0);
    return id == ScriptHost::kRoot ? 0 : id;
}

void Movie::PointerOtherButton(int button) {
    // The right button hides the focus rectangle before version 9; the
    // middle one never does. Neither presses anything.
    if (button == 1 && Header().version <= 8)
        highlight_ = false;
}

} // namespace zembra::timeline
