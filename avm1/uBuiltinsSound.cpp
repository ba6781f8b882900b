// Sound: accepted and silent. Volume, pan and the channel transform are
// kept so scripts read back what they set; nothing plays.
//
// A Sound made for a clip holds the clip's target path, not the clip: each
// call finds the clip again by that path (variables count, as in any target
// path), so a renamed clip is out of reach until its name comes back. The
// transform belongs to the clip, shared by every Sound that reaches it.
// A Sound without a clip keeps its own.
#include <cmath>

#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

// State in extra: volume, left-to-left, left-to-right, right-to-right,
// right-to-left; a Sound object has one more slot: its owner's path, or
// undefined when it has none.
enum SoundSlot : size_t { kVolume, kLL, kLR, kRR, kRL, kSlots, kOwner = kSlots };

void InitState(Object* o) {
    o->extra = {Value::Num(100), Value::Num(100), Value::Num(0), Value::Num(100), Value::Num(0)};
}

// Natives keep the table of clip states in extra[0]: a plain object whose
// properties, named by clip handle, hold each clip's state.
Object* ClipStates(Object* self) {
    return self && !self->extra.empty() ? self->extra[0].AsObject() : nullptr;
}

Object* ClipState(Runtime& rt, Object* self, ClipId clip) {
    Object* table = ClipStates(self);
    if (!table || !clip)
        return nullptr;
    const std::string key = std::to_string(clip);
    if (Property* p = table->Find(key))
        if (Object* st = p->value.AsObject())
            return st;
    Object* st = rt.NewPlain();
    InitState(st);
    table->Put(key, Value::Obj(st));
    return st;
}

// The state a call on `this` works on; null when there is none (a plain
// object, or a clip that its path no longer reaches).
Object* SoundOf(Runtime& rt, Object* self, const Value& v) {
    Object* o = v.AsObject();
    if (!o)
        return nullptr;
    // Objects that only inherit the methods (a clip of a class based on
    // Sound) get their own state on first use.
    if (o->extra.empty() && o->kind == ObjKind::Clip)
        InitState(o);
    if (o->extra.size() == kSlots)
        return o;
    if (o->extra.size() != kSlots + 1)
        return nullptr;
    const Value& owner = o->extra[kOwner];
    if (!owner.IsString())
        return o;
    Object* clip = rt.ResolveTarget(owner.AsString(), rt.host().Root());
    if (!clip || clip->kind != ObjKind::Clip || !clip->clip)
        return nullptr;
    return ClipState(rt, self, clip->clip);
}

double Slot(Object* s, size_t i) {
    return s->extra[i].AsNumber();
}

// The owner is named by its target path; anything else given is turned
// into text (which may run its toString) and taken as a path.
Value SoundCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    Value owner;
    const Value& target = Arg(args, 0);
    if (Object* t = target.AsObject(); t && t->kind == ObjKind::Clip)
        owner = t->clip ? Value::Str(rt.ClipPath(t->clip, false)) : Value::Undef();
    else if (!target.IsNullish())
        owner = Value::Str(rt.ToString(target));
    InitState(o);
    o->extra.push_back(owner);
    return Value::Undef();
}

double Whole(Runtime& rt, const Value& v) {
    double d = rt.ToNumber(v);
    return std::isfinite(d) ? std::trunc(d) : 0;
}

Value SetVolume(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    if (Object* s = SoundOf(rt, self, thisv))
        s->extra[kVolume] = Value::Num(Whole(rt, Arg(args, 0)));
    return Value::Undef();
}

Value GetVolume(Runtime& rt, Object* self, const Value& thisv, Args&) {
    Object* s = SoundOf(rt, self, thisv);
    return s ? s->extra[kVolume] : Value::Undef();
}

// A pan turns one side down: positive pans quieten the left channel.
Value SetPan(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* s = SoundOf(rt, self, thisv);
    if (!s)
        return Value::Undef();
    double pan = Whole(rt, Arg(args, 0));
    s->extra[kLL] = Value::Num(pan > 0 ? 100 - pan : 100);
    s->extra[kRR] = Value::Num(pan < 0 ? 100 + pan : 100);
    s->extra[kLR] = Value::Num(0);
    s->extra[kRL] = Value::Num(0);
    return Value::Undef();
}

Value GetPan(Runtime& rt, Object* self, const Value& thisv, Args&) {
    Object* s = SoundOf(rt, self, thisv);
    if (!s)
        return Value::Undef();
    double ll = Slot(s, kLL);
    return Value::Num(ll < 100 ? 100 - ll : Slot(s, kRR) - 100);
}

const char* const kTransformNames[] = {"ll", "lr", "rr", "rl"};

Value SetTransform(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* s = SoundOf(rt, self, thisv);
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

Value GetTransform(Runtime& rt, Object* self, const Value& thisv, Args&) {
    Object* s = SoundOf(rt, self, thisv);
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
    Object* states = rt.NewPlain();
    auto def = [&](const char* name, NativeFn fn) {
        Def(rt, proto, name, fn)->extra.push_back(Value::Obj(states));
    };
    def("getPan", GetPan);
    def("getTransform", GetTransform);
    def("getVolume", GetVolume);
    def("setPan", SetPan);
    def("setTransform", SetTransform);
    def("setVolume", SetVolume);
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
