// The Stage object: the movie's size, how it is scaled and aligned, and
// whether it shows full screen. A screen saver owns the whole screen
// anyway, so the display state is only the value scripts set and read, with
// the change event its listeners expect.
#include <cctype>

#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

enum { kWidth, kHeight, kScaleMode, kAlign, kShowMenu, kDisplayState, kCount };

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

Object* StageOf(Runtime& rt) {
    return rt.GetMember(rt.global, "Stage").AsObject();
}

Value StageGet(Runtime& rt, Object* self, const Value&, Args&) {
    const int tag = self->nativeTag;
    if (tag == kWidth || tag == kHeight) {
        double w = 0, h = 0;
        rt.host().StageSize(w, h);
        return Value::Num(tag == kWidth ? w : h);
    }
    Object* stage = StageOf(rt);
    if (!stage || stage->extra.size() < kCount)
        return Value::Undef();
    // The stored values live in the Stage object's own slots.
    return stage->extra[static_cast<size_t>(tag)];
}

Value StageSet(Runtime& rt, Object* self, const Value&, Args& args) {
    Object* stage = StageOf(rt);
    const int tag = self->nativeTag;
    if (!stage || stage->extra.size() < kCount || tag == kWidth || tag == kHeight)
        return Value::Undef();
    Value& slot = stage->extra[static_cast<size_t>(tag)];
    if (tag == kShowMenu) {
        slot = Value::Bool(rt.ToBoolean(Arg(args, 0)));
        return Value::Undef();
    }
    const std::string text = StrArg(rt, args, 0);
    if (tag != kDisplayState) {
        slot = Value::Str(text);
        return Value::Undef();
    }
    // Only the two known states, in any case; others leave it as it is.
    const char* state = EqualsNoCase(text, "fullScreen") ? "fullScreen"
                        : EqualsNoCase(text, "normal")   ? "normal"
                                                         : nullptr;
    if (!state || (slot.IsString() && slot.AsString() == state))
        return Value::Undef();
    slot = Value::Str(state);
    // Listeners hear of the change before the script goes on.
    rt.BroadcastTo("Stage", "onFullScreen", {Value::Bool(state[0] == 'f')});
    return Value::Undef();
}

} // namespace

void InstallStage(Runtime& rt) {
    Object* stage = StageOf(rt);
    if (!stage)
        return;
    stage->extra.assign(kCount, Value::Undef());
    stage->extra[kScaleMode] = Value::Str("showAll");
    stage->extra[kAlign] = Value::Str("");
    stage->extra[kShowMenu] = Value::Bool(true);
    stage->extra[kDisplayState] = Value::Str("normal");
    static const char* const kNames[kCount] = {"width", "height",   "scaleMode",
                                               "align", "showMenu", "displayState"};
    for (int tag = 0; tag < kCount; ++tag) {
        Property& p = stage->Put(kNames[tag], Value::Undef(), kDontEnum);
        p.getter = rt.NewNative(StageGet, tag);
        p.setter = rt.NewNative(StageSet, tag);
    }
}

} // namespace zembra::avm1
