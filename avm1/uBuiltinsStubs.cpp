// Classes and objects of the player that this engine does not run yet (or
// that belong to other layers): they exist with the right shape so scripts
// that look for them, test for them or add listeners to them go on.
#include <cmath>

#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

Value PlainCtor(Runtime&, Object*, const Value& thisv, Args&) {
    return thisv;
}
Value Noop(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}
Value False(Runtime&, Object*, const Value&, Args&) {
    return Value::Bool(false);
}

// Instances of this class are broadcasters from birth.
Value BroadcasterCtor(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* bc = rt.GetMember(rt.global, "AsBroadcaster").AsObject();
    if (bc && thisv.IsObject()) {
        Args a{thisv};
        rt.CallMethod(Value::Obj(bc), "initialize", a);
    }
    return thisv;
}

Object* StubClass(Runtime& rt, Object* on, const char* name, NativeFn ctor = PlainCtor) {
    Object* proto = rt.NewPlain();
    Object* f = rt.NewNative(ctor);
    f->nativeCtor = ctor;
    f->Put("prototype", Value::Obj(proto), kDontEnum | kDontDelete);
    proto->Put("constructor", Value::Obj(f), kDontEnum);
    on->Put(name, Value::Obj(f), kDontEnum);
    return f;
}

// An object with listener support (Key, Mouse, Stage, Selection).
Object* Broadcaster(Runtime& rt, const char* name) {
    Object* o = rt.NewPlain();
    rt.global->Put(name, Value::Obj(o), kDontEnum);
    Object* bc = rt.GetMember(rt.global, "AsBroadcaster").AsObject();
    if (bc) {
        Args a{Value::Obj(o)};
        rt.CallMethod(Value::Obj(bc), "initialize", a);
    }
    return o;
}

Value StageWidth(Runtime& rt, Object*, const Value&, Args&) {
    return Value::Num(rt.host().GetProperty(rt.host().Root(), ClipProp::Width));
}

} // namespace

void InstallStubs(Runtime& rt) {
    Object* g = rt.global;
    Object* acc = rt.NewPlain();
    g->Put("Accessibility", Value::Obj(acc), kDontEnum);
    Def(rt, acc, "isActive", False);
    Def(rt, acc, "updateProperties", Noop);
    for (const char* n : {"Button", "Camera", "Color", "LocalConnection", "Microphone",
                          "NetConnection", "NetStream", "PrintJob", "SharedObject", "TextField",
                          "TextFormat", "TextSnapshot", "Video", "XMLSocket"})
        StubClass(rt, g, n);
    StubClass(rt, g, "MovieClipLoader", BroadcasterCtor);
    if (Object* tf = rt.GetMember(g, "TextField").AsObject())
        StubClass(rt, tf, "StyleSheet");

    Object* key = Broadcaster(rt, "Key");
    const std::pair<const char*, int> keys[] = {
        {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40},
        {"END", 35},      {"ENTER", 13},    {"ESCAPE", 27},  {"HOME", 36},      {"INSERT", 45},
        {"LEFT", 37},     {"PGDN", 34},     {"PGUP", 33},    {"RIGHT", 39},     {"SHIFT", 16},
        {"SPACE", 32},    {"TAB", 9},       {"UP", 38},      {"ALT", 18}};
    for (auto& k : keys)
        key->Put(k.first, Value::Num(k.second), kDontEnum | kDontDelete | kReadOnly);
    Def(rt, key, "isDown", False);
    Def(rt, key, "isToggled", False);
    Def(rt, key, "getCode", Noop);
    Def(rt, key, "getAscii", Noop);

    Object* mouse = Broadcaster(rt, "Mouse");
    Def(rt, mouse, "show", Noop);
    Def(rt, mouse, "hide", Noop);
    Object* stage = Broadcaster(rt, "Stage");
    (void)StageWidth;
    stage->Put("scaleMode", Value::Str("showAll"));
    stage->Put("align", Value::Str(""));
    Object* sel = Broadcaster(rt, "Selection");
    Def(rt, sel, "getFocus", Noop);
    Def(rt, sel, "setFocus", False);

    if (Object* sys = rt.GetMember(g, "System").AsObject()) {
        Object* ime = rt.NewPlain();
        sys->Put("IME", Value::Obj(ime));
        if (Object* bc = rt.GetMember(g, "AsBroadcaster").AsObject()) {
            Args a{Value::Obj(ime)};
            rt.CallMethod(Value::Obj(bc), "initialize", a);
        }
        Object* sec = rt.NewPlain();
        sys->Put("security", Value::Obj(sec));
        Def(rt, sec, "allowDomain", Noop);
        Def(rt, sec, "allowInsecureDomain", Noop);
        Def(rt, sec, "loadPolicyFile", Noop);
    }

    if (rt.version() >= 8) {
        Object* flash = rt.NewPlain();
        g->Put("flash", Value::Obj(flash), kDontEnum);
        auto pkg = [&](const char* name, std::initializer_list<const char*> classes) {
            Object* p = rt.NewPlain();
            flash->Put(name, Value::Obj(p));
            for (const char* c : classes)
                StubClass(rt, p, c);
        };
        pkg("display", {"BitmapData"});
        pkg("external", {"ExternalInterface"});
        pkg("filters", {"BevelFilter", "BitmapFilter", "BlurFilter", "ColorMatrixFilter",
                        "ConvolutionFilter", "DisplacementMapFilter", "DropShadowFilter",
                        "GlowFilter", "GradientBevelFilter", "GradientGlowFilter"});
        pkg("geom", {"ColorTransform", "Matrix", "Point", "Rectangle", "Transform"});
        pkg("net", {"FileReference", "FileReferenceList"});
        pkg("text", {"TextRenderer"});
    }
}

} // namespace zembra::avm1
