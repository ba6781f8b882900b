// flash.net.FileReference and FileReferenceList: a screen saver shows no
// file dialogs and never reads, uploads or downloads a file. A browse or
// download that would open a dialog answers true, and the dialog is
// cancelled when the frame's timers run (onCancel to the listeners), as
// when the user closes it. Only one dialog is "open" at a time, as in the
// player. Uploads need a selected file, which there never is.
#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

// Natives keep the shared dialog state in extra[0]: an object whose
// extra[0] says whether a dialog is open.
Object* DialogState(Object* self) {
    Object* s = self && !self->extra.empty() ? self->extra[0].AsObject() : nullptr;
    if (s && s->extra.empty())
        s->extra.push_back(Value::Bool(false));
    return s;
}

Value ListenerCtor(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* bc = rt.GetMember(rt.global, "AsBroadcaster").AsObject();
    if (bc && thisv.IsObject()) {
        Args a{thisv};
        rt.CallMethod(Value::Obj(bc), "initialize", a);
    }
    return Value::Undef();
}

// A filter field as the dialog reads it: own members only; a getter that
// throws counts as missing, text that cannot be made throws on.
bool FilterField(Runtime& rt, Object* filter, const char* name, bool required) {
    Property* p = filter->Find(name);
    if (!p)
        return !required;
    Value v = p->value;
    if (p->getter) {
        try {
            Args none;
            v = rt.Call(Value::Obj(p->getter), Value::Obj(filter), none);
        } catch (const ScriptThrow&) {
            return false;
        }
    }
    const std::string text = rt.ToString(v);
    return !required || !text.empty();
}

// No argument: all files. Otherwise an array of filter objects, each with
// a description and an extension.
bool FiltersValid(Runtime& rt, const Args& args) {
    if (args.empty())
        return true;
    Object* list = args[0].AsObject();
    if (!list || list->kind != ObjKind::Array)
        return false;
    const double n = rt.ArrayLength(list);
    if (n < 1)
        return false;
    bool ok = true;
    for (uint32_t i = 0; i < n && i < 0xFFFFFFFFu; ++i) {
        rt.Charge();
        Object* filter = rt.ArrayGet(list, i).AsObject();
        if (!filter) {
            ok = false;
            continue;
        }
        // Every field is read, so a throwing conversion is seen even when
        // an earlier one already failed.
        ok = FilterField(rt, filter, "description", true) && ok;
        ok = FilterField(rt, filter, "extension", true) && ok;
        ok = FilterField(rt, filter, "macType", false) && ok;
    }
    return ok;
}

// Runs from the timers: the dialog closes, cancelled.
Value DialogClosed(Runtime& rt, Object* self, const Value&, Args&) {
    if (!self || self->extra.size() < 2)
        return Value::Undef();
    if (Object* state = self->extra[0].AsObject(); state && !state->extra.empty())
        state->extra[0] = Value::Bool(false);
    Args a{Value::Str("onCancel"), self->extra[1]};
    rt.CallMethod(self->extra[1], "broadcastMessage", a);
    return Value::Undef();
}

bool OpenDialog(Runtime& rt, Object* state, const Value& target) {
    if (!state || state->extra[0].AsBool())
        return false;
    state->extra[0] = Value::Bool(true);
    Object* closer = rt.NewNative(DialogClosed);
    closer->extra = {Value::Obj(state), target};
    Runtime::Timer t{
        rt.nextTimerId++, Value::Obj(closer), std::string(), {}, 0, rt.host().TimeMs(), false};
    rt.timers.push_back(t);
    return true;
}

Value Browse(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    if (!thisv.IsObject() || !FiltersValid(rt, args))
        return Value::Bool(false);
    return Value::Bool(OpenDialog(rt, DialogState(self), thisv));
}

Value Download(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    if (!thisv.IsObject() || args.empty())
        return Value::Bool(false);
    return Value::Bool(OpenDialog(rt, DialogState(self), thisv));
}

Value False(Runtime&, Object*, const Value&, Args&) {
    return Value::Bool(false);
}
Value Noop(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}

Object* Class(Runtime& rt, Object* pkg, const char* name) {
    Object* proto = rt.NewPlain();
    Object* ctor = rt.NewNative(ListenerCtor);
    ctor->nativeCtor = ListenerCtor;
    ctor->Put("prototype", Value::Obj(proto), kDontEnum | kDontDelete);
    proto->Put("constructor", Value::Obj(ctor), kDontEnum);
    pkg->Put(name, Value::Obj(ctor));
    return proto;
}

} // namespace

void InstallFileReference(Runtime& rt) {
    Object* flash = rt.GetMember(rt.global, "flash").AsObject();
    Object* net = flash ? rt.GetMember(flash, "net").AsObject() : nullptr;
    if (!net)
        return; // the package exists from version 8 on
    Object* state = rt.NewPlain();
    auto def = [&](Object* proto, const char* name, NativeFn fn) {
        Def(rt, proto, name, fn)->extra.push_back(Value::Obj(state));
    };
    Object* file = Class(rt, net, "FileReference");
    def(file, "browse", Browse);
    def(file, "download", Download);
    def(file, "upload", False);
    def(file, "cancel", Noop);
    Object* list = Class(rt, net, "FileReferenceList");
    def(list, "browse", Browse);
}

} // namespace zembra::avm1
