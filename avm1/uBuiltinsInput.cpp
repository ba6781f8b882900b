// Key and Selection: scripts read the keyboard and move the focus through
// the host, which owns both (the movie dispatches keys to what has focus).
#include <cmath>

#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

Value KeyIsDown(Runtime& rt, Object*, const Value&, Args& args) {
    const double code = NumArg(rt, args, 0);
    if (!std::isfinite(code) || code < 0 || code > 255)
        return Value::Bool(false);
    return Value::Bool(rt.host().KeyIsDown(static_cast<int>(code)));
}

Value KeyGetCode(Runtime& rt, Object*, const Value&, Args&) {
    return Value::Num(rt.host().LastKeyCode());
}

Value KeyGetAscii(Runtime& rt, Object*, const Value&, Args&) {
    return Value::Num(rt.host().LastKeyAscii());
}

Value KeyIsToggled(Runtime&, Object*, const Value&, Args&) {
    return Value::Bool(false);
}

Value SelGetFocus(Runtime& rt, Object*, const Value&, Args&) {
    const ClipId f = rt.host().Focus();
    if (!f)
        return Value::Null();
    return Value::Str(rt.ClipPath(f, false));
}

Value SelSetFocus(Runtime& rt, Object*, const Value&, Args& args) {
    const Value& t = Arg(args, 0);
    Object* target = nullptr;
    if (t.IsString())
        target = rt.ResolveTarget(t.AsString(), rt.host().Root());
    else if (t.IsObject())
        target = t.AsObject();
    else if (!t.IsNullish())
        return Value::Bool(false);
    if (t.IsNullish())
        return Value::Bool(rt.host().SetFocus(0));
    if (!target || target->kind != ObjKind::Clip || !target->clip)
        return Value::Bool(false);
    return Value::Bool(rt.host().SetFocus(target->clip));
}

// tag: 0 begin, 1 end, 2 caret.
Value SelIndex(Runtime& rt, Object* self, const Value&, Args&) {
    int begin = 0, end = 0, caret = 0;
    if (!rt.host().TextSelection(begin, end, caret))
        return Value::Num(-1);
    const int tag = self ? self->nativeTag : 0;
    return Value::Num(tag == 0 ? begin : tag == 1 ? end : caret);
}

int ClampIndex(double v) {
    if (std::isnan(v) || v < 0)
        return 0;
    if (v > 1e9)
        return 1000000000;
    return static_cast<int>(v);
}

Value SelSetSelection(Runtime& rt, Object*, const Value&, Args& args) {
    if (args.empty())
        return Value::Undef();
    const int begin = ClampIndex(NumArg(rt, args, 0));
    const int end = args.size() > 1 ? ClampIndex(NumArg(rt, args, 1)) : begin;
    rt.host().SetTextSelection(begin, end);
    return Value::Undef();
}

} // namespace

void InstallInput(Runtime& rt) {
    // Clips and buttons answer the pointer and show the hand over them
    // unless told otherwise.
    for (Object* proto :
         {rt.clipProto, rt.GetMember(rt.GetMember(rt.global, "Button"), "prototype").AsObject()}) {
        if (!proto)
            continue;
        proto->Put("enabled", Value::Bool(true)); // for..in lists it
        proto->Put("useHandCursor", Value::Bool(true), kDontEnum);
    }
    if (Object* key = rt.GetMember(rt.global, "Key").AsObject()) {
        Def(rt, key, "isDown", KeyIsDown);
        Def(rt, key, "isToggled", KeyIsToggled);
        Def(rt, key, "getCode", KeyGetCode);
        Def(rt, key, "getAscii", KeyGetAscii);
    }
    if (Object* sel = rt.GetMember(rt.global, "Selection").AsObject()) {
        Def(rt, sel, "getFocus", SelGetFocus);
        Def(rt, sel, "setFocus", SelSetFocus);
        Def(rt, sel, "getBeginIndex", SelIndex, 0);
        Def(rt, sel, "getEndIndex", SelIndex, 1);
        Def(rt, sel, "getCaretIndex", SelIndex, 2);
        Def(rt, sel, "setSelection", SelSetSelection);
    }
}

} // namespace zembra::avm1
