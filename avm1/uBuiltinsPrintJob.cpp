// PrintJob: a screen saver never prints. start() answers as when the user
// cancels the print dialog, so a movie takes its no-printer path; the page
// and paper sizes read 0 as they do before a job has started.
#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

Value PlainCtor(Runtime&, Object*, const Value& thisv, Args&) {
    return thisv;
}
Value False(Runtime&, Object*, const Value&, Args&) {
    return Value::Bool(false);
}
Value Noop(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}
Value Zero(Runtime&, Object*, const Value&, Args&) {
    return Value::Num(0);
}

} // namespace

void InstallPrintJob(Runtime& rt) {
    Object* proto = rt.NewPlain();
    DefClass(rt, "PrintJob", PlainCtor, PlainCtor, proto);
    // Before version 7 the class's prototype stands alone: its objects have
    // no toString and show as bare objects.
    if (rt.version() < 7)
        proto->proto = nullptr;
    for (const char* n : {"start", "addPage", "send"}) {
        Def(rt, proto, n, n[0] == 's' && n[1] == 'e' ? Noop : False);
        proto->Find(n)->flags |= kVersion7b;
    }
    // Read-only sizes: the getters have no setter, so writes are dropped.
    for (const char* n : {"paperHeight", "paperWidth", "pageHeight", "pageWidth", "orientation"}) {
        Property& p = proto->Put(n, Value::Undef(), kDontDelete);
        p.getter = rt.NewNative(Zero);
    }
}

} // namespace zembra::avm1
