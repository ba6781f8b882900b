// Sound: accepted and silent. Volume, pan and the channel transform are
// kept per Sound object so scripts read back what they set; nothing plays.
#include <cmath>

#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

// State in extra: volume, left-to-left, left-to-right, right-to-right,
// right-to-left.
enum SoundSlot : size_t { kVolume, kLL, kLR, kRR, kRL, kSlots };

void InitState(Object* o) {
    o->extra = {Value::Num(100), Value::Num(100), Value::Num(0), Value::Num(100), Value::Num(0)};
}

// The sound state of `this`; objects that only inherit the methods (a clip
// of a class based on Sound) get theirs on first use; plain objects have none.
Object* SoundOf(const Value& v) {
    Object* o = v.AsObject();
    if (o && o->extra.empty() && o->kind == ObjKind::Clip)
        InitState(o);
    return o && o->extra.size() == kSlots ? o : nullptr;
}

double Slot(Object* s, size_t i) {
    return s->extra[i].AsNumber();
}

Value SoundCtor(Runtime&, Object*, const Value& thisv, Args&) {
    if (Object* o = thisv.AsObject())
        InitState(o);
    return Value::Undef();
}

double Whole(Runtime& rt, const Value& v) {
    double d = rt.ToNumber(v);
    return std::isfinite(d) ? std::trunc(d) : 0;
}

Value SetVolume(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (Object* s = SoundOf(thisv))
        s->extra[kVolume] = Value::Num(Whole(rt, Arg(args, 0)));
    return Value::Undef();
}

Value GetVolume(Runtime&, Object*, const Value& thisv, Args&) {
    Object* s = SoundOf(thisv);
    return s ? s->extra[kVolume] : Value::Undef();
}

// A pan turns one side down: positive pans quieten the left channel.
Value SetPan(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* s = SoundOf(thisv);
    if (!s)
        return Value::Undef();
    double pan = Whole(rt, Arg(args, 0));
    s->extra[kLL] = Value::Num(pan > 0 ? 100 - pan : 100);
    s->extra[kRR] = Value::Num(pan < 0 ? 100 + pan : 100);
    s->extra[kLR] = Value::Num(0);
    s->extra[kRL] = Value::Num(0);
    return Value::Undef();
}

Value GetPan(Runtime&, Object*, const Value& thisv, Args&) {
    Object* s = SoundOf(thisv);
    if (!s)
        return Value::Undef();
    double ll = Slot(s, kLL);
    return Value::Num(ll < 100 ? 100 - ll : Slot(s, kRR) - 100);
}

const char* const kTransformNames[] = {"ll", "lr", "rr", "rl"};

Value SetTransform(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* s = SoundOf(thisv);
    Object* t = Arg(args, 0).AsObject();
    if (!s || !t)
        return Value::Undef();
    for (size_t i = 0; i < 4; ++i) {
        Value v = rt.GetMember(t, kTransformNames[i]);
        if (!v.IsUndefined())
            s->extra[kLL + i] = Value::Num(Whole(rt, v));
    }
    return Value::Undef();
}

Value GetTransform(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* s = SoundOf(thisv);
    if (!s)
        return Value::Undef();
    Object* t = rt.NewPlain();
    for (size_t i = 0; i < 4; ++i)
        t->Put(kTransformNames[i], s->extra[kLL + i]);
    return Value::Obj(t);
}

Value Noop(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}

} // namespace

void InstallSound(Runtime& rt) {
    Object* proto = rt.NewPlain();
    DefClass(rt, "Sound", SoundCtor, SoundCtor, proto);
    Def(rt, proto, "getPan", GetPan);
    Def(rt, proto, "getTransform", GetTransform);
    Def(rt, proto, "getVolume", GetVolume);
    Def(rt, proto, "setPan", SetPan);
    Def(rt, proto, "setTransform", SetTransform);
    Def(rt, proto, "setVolume", SetVolume);
    Def(rt, proto, "stop", Noop);
    Def(rt, proto, "attachSound", Noop);
    Def(rt, proto, "start", Noop);
    // Movies before version 6 do not see these.
    for (const char* n : {"getDuration", "setDuration", "getPosition", "setPosition", "loadSound",
                          "getBytesLoaded", "getBytesTotal"}) {
        Def(rt, proto, n, Noop);
        proto->Find(n)->flags |= kVersion6;
    }
    for (const char* n : {"duration", "position"}) {
        Property& p = proto->Put(n, Value::Undef(), kDontEnum | kVersion6);
        p.getter = rt.NewNative(Noop);
    }
    proto->Put("id3", Value::Undef(), kDontEnum | kVersion6);
}

} // namespace zembra::avm1
