// SharedObject: local shared objects live in memory for the run of the
// movie and are never written to disk, so a saver leaves no files behind.
// getLocal gives the same object for the same name and path; flush
// answers as a successful write.
#include "avm1/uAmf0.h"
#include "avm1/uBuiltinUtil.h"

namespace zembra::avm1 {

namespace {

// Bounds the table of objects a movie can open.
constexpr size_t kMaxSharedObjects = 1000;

// Natives keep the table of open objects in extra[0]: its extra holds
// key, object, key, object... (keys compare exactly, in every version).
Object* Table(Object* self) {
    return self && !self->extra.empty() ? self->extra[0].AsObject() : nullptr;
}

// Names the player refuses: empty, or with characters a file name cannot
// carry.
bool ValidName(const std::string& name) {
    if (name.empty())
        return false;
    for (char c : name)
        if (std::string("~%&\\;:\"',<>?# ").find(c) != std::string::npos)
            return false;
    return true;
}

Value GetLocal(Runtime& rt, Object* self, const Value&, Args& args) {
    Object* table = Table(self);
    const std::string name = rt.ToString(Arg(args, 0));
    if (!table || args.empty() || !ValidName(name))
        return Value::Null();
    std::string path = Arg(args, 1).IsNullish() ? std::string() : rt.ToString(Arg(args, 1));
    const std::string key = path + "/" + name;
    std::vector<Value>& open = table->extra;
    for (size_t i = 0; i + 1 < open.size(); i += 2)
        if (open[i].AsString() == key)
            return open[i + 1];
    if (open.size() / 2 >= kMaxSharedObjects)
        return Value::Null();
    Object* ctor = self->extra.size() > 1 ? self->extra[1].AsObject() : nullptr;
    Object* proto = ctor ? rt.GetMember(ctor, "prototype").AsObject() : nullptr;
    Object* so = rt.NewObject(proto ? proto : rt.objectProto);
    so->Put("data", Value::Obj(rt.NewPlain()), kDontDelete);
    open.push_back(Value::Str(key));
    open.push_back(Value::Obj(so));
    return Value::Obj(so);
}

Value Flush(Runtime&, Object*, const Value& thisv, Args&) {
    return Value::Bool(thisv.IsObject());
}

// The size the data takes in the file format, though no file is written.
Value GetSize(Runtime& rt, Object*, const Value& thisv, Args&) {
    Value data = rt.GetMember(thisv, "data");
    Object* d = data.AsObject();
    if (!d)
        return Value::Num(0);
    Amf0Writer w(rt, nullptr);
    size_t size = 0;
    for (const Property* p : d->OwnInOrder()) {
        if (p->flags & kDontEnum)
            continue;
        w.ShortString(p->name);
        w.WriteValue(p->getter ? Value::Undef() : p->value);
        w.U8(0);
    }
    size = w.Bytes().size();
    return Value::Num(static_cast<double>(size));
}

Value Clear(Runtime& rt, Object*, const Value& thisv, Args&) {
    if (Object* so = thisv.AsObject())
        so->Put("data", Value::Obj(rt.NewPlain()), kDontDelete);
    return Value::Undef();
}

Value Noop(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}
Value False(Runtime&, Object*, const Value&, Args&) {
    return Value::Bool(false);
}
Value Null(Runtime&, Object*, const Value&, Args&) {
    return Value::Null();
}
Value PlainCtor(Runtime&, Object*, const Value& thisv, Args&) {
    return thisv;
}

} // namespace

void InstallSharedObject(Runtime& rt) {
    Object* proto = rt.NewPlain();
    Object* ctor = DefClass(rt, "SharedObject", PlainCtor, PlainCtor, proto);
    Object* table = rt.NewPlain();
    Object* get = Def(rt, ctor, "getLocal", GetLocal);
    get->extra = {Value::Obj(table), Value::Obj(ctor)};
    // Remote shared objects need a server: there is none.
    Def(rt, ctor, "getRemote", Null);
    Def(rt, ctor, "deleteAll", Noop);
    Def(rt, ctor, "getDiskUsage", Noop);
    Def(rt, proto, "flush", Flush);
    Def(rt, proto, "getSize", GetSize);
    Def(rt, proto, "clear", Clear);
    Def(rt, proto, "close", Noop);
    Def(rt, proto, "connect", False);
    Def(rt, proto, "send", Noop);
    Def(rt, proto, "setFps", False);
}

} // namespace zembra::avm1
