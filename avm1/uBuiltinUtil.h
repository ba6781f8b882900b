// Small helpers shared by the built-in installers.
#pragma once

#include "avm1/uRuntime.h"

namespace zembra::avm1 {

inline Object* Def(Runtime& rt, Object* on, const char* name, NativeFn fn, int tag = 0) {
    Object* f = rt.NewNative(fn, tag);
    on->Put(name, Value::Obj(f), kDontEnum);
    return f;
}

// A constructor with its prototype object wired both ways.
inline Object* DefClass(Runtime& rt, const char* name, NativeFn ctor, NativeFn call,
                        Object* proto) {
    Object* f = rt.NewNative(call ? call : ctor);
    f->nativeCtor = ctor;
    f->Put("prototype", Value::Obj(proto), kDontEnum | kDontDelete);
    proto->Put("constructor", Value::Obj(f), kDontEnum);
    rt.global->Put(name, Value::Obj(f), kDontEnum);
    return f;
}

inline double NumArg(Runtime& rt, const Args& a, size_t i) {
    return rt.ToNumber(Arg(a, i));
}
inline std::string StrArg(Runtime& rt, const Args& a, size_t i) {
    return rt.ToString(Arg(a, i));
}

} // namespace zembra::avm1
