// System.security: the saver plays movies from local files, so a movie is
// in one of the two local sandboxes, the one its file header asked for.
// Domain permissions change nothing here: nothing is ever fetched.
#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

Value SandboxType(Runtime& rt, Object*, const Value&, Args&) {
    return Value::Str(rt.host().LocalWithNetwork() ? "localWithNetwork" : "localWithFile");
}

} // namespace

void InstallSecurity(Runtime& rt) {
    Object* sys = rt.GetMember(rt.global, "System").AsObject();
    Object* sec = sys ? rt.GetMember(sys, "security").AsObject() : nullptr;
    if (!sec)
        return;
    // A getter without a setter: scripts cannot change their sandbox.
    Property& p = sec->Put("sandboxType", Value::Undef(), kDontDelete);
    p.getter = rt.NewNative(SandboxType);
}

} // namespace zembra::avm1
