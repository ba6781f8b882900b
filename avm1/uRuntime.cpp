#include "avm1/uRuntime.h"

#include <chrono>
#include <cmath>
#include <cstring>

#include "avm1/uInterpreter.h"

namespace zembra::avm1 {

namespace {

const char* const kPropNames[] = {
    "_x",           "_y",           "_xscale",       "_yscale",       "_currentframe",
    "_totalframes", "_alpha",       "_visible",      "_width",        "_height",
    "_rotation",    "_target",      "_framesloaded", "_name",         "_droptarget",
    "_url",         "_highquality", "_focusrect",    "_soundbuftime", "_quality",
    "_xmouse",      "_ymouse",
};

bool IsTextProp(ClipProp p) {
    return p == ClipProp::Target || p == ClipProp::Name || p == ClipProp::DropTarget ||
           p == ClipProp::Url || p == ClipProp::Quality;
}

// Canonical array index ("0", "17"; not "01" or "-1").
bool ArrayIndex(const std::string& s, uint32_t& out) {
    if (s.empty() || s.size() > 10)
        return false;
    if (s.size() > 1 && s[0] == '0')
        return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v >= 0x80000000ull)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

Runtime::DepthGuard::DepthGuard(Runtime& r) : rt(r) {
    if (rt.depth_ >= rt.limits.callDepth)
        throw ScriptAbort{"call depth"};
    ++rt.depth_;
}
Runtime::DepthGuard::~DepthGuard() {
    --rt.depth_;
}

Runtime::Runtime(Host& host, int swfVersion) : host_(host), version_(swfVersion) {
    stepsLeft_ = limits.stepsPerEntry; // the installers call natives
    objectProto = NewObject(nullptr);
    functionProto = NewObject(objectProto); // a plain object: typeof gives "object"
    global = NewObject(nullptr);            // _global inherits nothing
    globalScope_ = std::make_shared<Scope>();
    globalScope_->obj = global;
    InstallObjectAndFunction(*this);
    InstallGlobals(*this);
    InstallArray(*this);
    InstallString(*this);
    InstallNumberBooleanMath(*this);
    InstallDate(*this);
    InstallMovieClip(*this);
    InstallXml(*this);
    InstallLoadVars(*this);
    InstallContextMenu(*this);
    InstallSound(*this);
    InstallStubs(*this);
    InstallGeom(*this);
    InstallBitmap(*this);
    InstallTextField(*this);
    InstallStage(*this);
    InstallLoading(*this);
    InstallExternalInterface(*this);
    InstallPrintJob(*this);
    InstallSecurity(*this);
    InstallNetConnection(*this);
    InstallSharedObject(*this);
    InstallFileReference(*this);
    InstallXmlSocket(*this);
    InstallTextSnapshot(*this);
    InstallStyleSheet(*this);
    InstallInput(*this);
    heapAtLastCollect_ = heap_.size();
}

Runtime::~Runtime() = default;

std::shared_ptr<Scope> Runtime::GlobalScope() {
    return globalScope_;
}

// ---------------------------------------------------------------- entries

template <class F> bool Runtime::Guarded(F&& f) {
    bool outer = entryDepth_ == 0;
    if (outer) {
        stepsLeft_ = limits.stepsPerEntry;
        lastAbort_ = nullptr;
        deadline_ = limits.secondsPerEntry > 0 ? SteadySeconds() + limits.secondsPerEntry : 0;
    }
    ++entryDepth_;
    bool ok = true;
    try {
        f();
    } catch (const ScriptThrow& t) {
        // An uncaught script exception ends the script; the player says so.
        ok = false;
        if (!outer) {
            --entryDepth_;
            throw;
        }
        std::string text;
        try {
            text = ToString(t.value);
        } catch (...) {
            text = "[object]";
        }
        host_.Warning("Uncaught exception, " + text);
    } catch (const ScriptAbort& a) {
        lastAbort_ = a.why;
        ok = false;
        if (!outer) {
            --entryDepth_;
            throw;
        }
    } catch (const std::bad_alloc&) {
        lastAbort_ = "out of memory";
        ok = false;
    } catch (...) {
        lastAbort_ = "internal error";
        ok = false;
    }
    --entryDepth_;
    if (outer && heap_.size() > heapAtLastCollect_ * 2 + 4096)
        CollectGarbage();
    return ok;
}

bool Runtime::RunGuarded(const std::function<void()>& f) {
    return Guarded([&] { f(); });
}

bool Runtime::RunActions(Bytes code, ClipId target) {
    if (!code)
        return false;
    return Guarded([&] {
        Object* clipObj = ClipObject(target);
        Interpreter::Context ctx;
        ctx.bytes = code;
        ctx.pool = std::make_shared<std::vector<std::string>>();
        auto base = std::make_shared<Scope>();
        base->obj = clipObj ? clipObj : global;
        base->parent = globalScope_;
        base->base = true;
        ctx.scope = base;
        ctx.thisObj = Value::Obj(clipObj);
        ctx.target = target;
        ctx.originalTarget = target;
        ctx.regs.resize(4);
        Interpreter::Run(*this, ctx, 0, code->size());
    });
}

bool Runtime::RunActions(const uint8_t* data, size_t size, ClipId target) {
    if (!data && size)
        return false;
    auto bytes = std::make_shared<std::vector<uint8_t>>(data, data + size);
    return RunActions(Bytes(bytes), target);
}

bool Runtime::CallObjectMethod(Object* obj, const std::string& name,
                               const std::vector<Value>& args) {
    if (!obj)
        return false;
    bool called = false;
    bool ok = Guarded([&] {
        Value fn = GetMember(obj, name);
        if (fn.AsObject() && fn.AsObject()->IsFunction()) {
            called = true;
            Args a = args;
            Call(fn, Value::Obj(obj), a, nullptr);
        }
    });
    return ok && called;
}

bool Runtime::CallClipMethod(ClipId clip, const std::string& name, const std::vector<Value>& args) {
    Object* o = nullptr;
    try {
        o = ClipObject(clip);
    } catch (...) {
        return false;
    }
    return CallObjectMethod(o, name, args);
}

void Runtime::Tick() {
    double now = 0;
    try {
        now = host_.TimeMs();
    } catch (...) {
        return;
    }
    // Timers may add or clear timers while they run: work on ids.
    std::vector<int> due;
    for (auto& t : timers)
        if (t.due <= now)
            due.push_back(t.id);
    for (int id : due) {
        Timer* t = nullptr;
        for (auto& x : timers)
            if (x.id == id)
                t = &x;
        if (!t)
            continue;
        Timer copy = *t;
        if (t->repeat) {
            t->due = now + (t->interval > 1 ? t->interval : 1);
        } else {
            for (size_t i = 0; i < timers.size(); ++i)
                if (timers[i].id == id) {
                    timers.erase(timers.begin() + static_cast<long>(i));
                    break;
                }
        }
        Guarded([&] {
            Args a = copy.args;
            if (!copy.method.empty())
                CallMethod(copy.fn, copy.method, a);
            else
                Call(copy.fn, Value::Undef(), a);
        });
    }
}

bool Runtime::AdoptClass(ClipId clip, const std::string& linkage) {
    return Guarded([&] {
        Object* ctor = RegisteredClass(linkage);
        Object* o = ClipObject(clip);
        if (!ctor || !o)
            return;
        if (Object* proto = GetMember(ctor, "prototype").AsObject())
            o->proto = proto;
        o->Put("__constructor__", Value::Obj(ctor), kDontEnum);
        if (version_ <= 6)
            o->Put("constructor", Value::Obj(ctor), kDontEnum);
    });
}

bool Runtime::ConstructClip(ClipId clip, const std::string& linkage) {
    if (!AdoptClass(clip, linkage))
        return false;
    return Guarded([&] {
        Object* ctor = RegisteredClass(linkage);
        Object* o = ClipObject(clip);
        if (!ctor || !o)
            return;
        Args none;
        Call(Value::Obj(ctor), Value::Obj(o), none, GetMember(ctor, "prototype").AsObject(),
             true);
    });
}

bool Runtime::BroadcastTo(const std::string& object, const std::string& message,
                          const std::vector<Value>& args) {
    return Guarded([&] {
        Object* target = GetMember(global, object).AsObject();
        if (!target)
            return;
        Args a;
        a.push_back(Value::Str(message));
        for (const Value& v : args)
            a.push_back(v);
        CallMethod(Value::Obj(target), "broadcastMessage", a);
    });
}

Object* Runtime::ClipObject(ClipId clip) {
    if (clip == 0)
        return nullptr;
    auto it = clips_.find(clip);
    if (it != clips_.end())
        return it->second;
    Object* o = NewObject(clipProto);
    o->kind = ObjKind::Clip;
    o->clip = clip;
    clips_.emplace(clip, o);
    if (textFieldProto && host_.TextFieldModel(clip)) {
        o->proto = textFieldProto;
        InitTextFieldObject(*this, o);
    }
    return o;
}

bool Runtime::MayHaveMethod(ClipId clip, const std::string& name) {
    if (clips_.count(clip))
        return true;
    int guard = 0;
    for (Object* o = clipProto; o && guard < 64; o = o->proto, ++guard)
        if (o->Find(name))
            return true;
    return false;
}

bool Runtime::HasClipMethod(ClipId clip, const std::string& name) {
    if (!MayHaveMethod(clip, name))
        return false;
    bool found = false;
    Guarded([&] {
        Value fn = GetMember(ClipObject(clip), name);
        found = fn.AsObject() && fn.AsObject()->IsFunction();
    });
    return found;
}

void Runtime::ForgetClip(ClipId clip) {
    auto it = clips_.find(clip);
    if (it == clips_.end())
        return;
    it->second->clip = 0;
    clips_.erase(it);
}

void Runtime::SetClipVariable(ClipId clip, const std::string& name, const std::string& value) {
    Guarded([&] {
        if (Object* o = ClipObject(clip))
            SetMember(o, name, Value::Str(value));
    });
}

Object* Runtime::RegisteredClass(const std::string& linkage) {
    std::string key;
    for (char c : linkage)
        key += static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
    auto it = registeredClasses.find(key);
    return it == registeredClasses.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------- heap

Object* Runtime::NewObject(Object* proto) {
    if (heap_.size() >= limits.objects) {
        if (entryDepth_ == 0)
            CollectGarbage();
        if (heap_.size() >= limits.objects)
            throw ScriptAbort{"too many objects"};
    }
    heap_.push_back(std::make_unique<Object>(caseSensitive()));
    Object* o = heap_.back().get();
    o->proto = proto;
    return o;
}

Object* Runtime::NewArray() {
    Object* o = NewObject(arrayProto);
    o->kind = ObjKind::Array;
    o->primitive = Value::Num(0);
    return o;
}

Object* Runtime::NewNative(NativeFn fn, int tag) {
    Object* o = NewObject(functionProto);
    o->kind = ObjKind::Function;
    o->native = fn;
    o->nativeTag = tag;
    return o;
}

Object* Runtime::NewFunctionObject() {
    Object* f = NewObject(functionProto);
    f->kind = ObjKind::Function;
    Object* proto = NewObject(objectProto);
    proto->Put("constructor", Value::Obj(f), kDontEnum);
    f->Put("prototype", Value::Obj(proto), kDontEnum | kDontDelete);
    return f;
}

Object* Runtime::NewError(const std::string& message) {
    Object* e = NewObject(errorProto);
    e->kind = ObjKind::Error;
    e->Put("message", Value::Str(message));
    return e;
}

void Runtime::MarkValue(const Value& v) {
    if (Object* o = v.AsObject())
        Mark(o);
}

void Runtime::MarkScope(const std::shared_ptr<Scope>& s) {
    for (Scope* p = s.get(); p; p = p->parent.get())
        if (p->obj)
            Mark(p->obj);
}

void Runtime::Mark(Object* root) {
    std::vector<Object*> work{root};
    while (!work.empty()) {
        Object* o = work.back();
        work.pop_back();
        if (!o || o->marked)
            continue;
        o->marked = true;
        auto push = [&](Object* x) {
            if (x && !x->marked)
                work.push_back(x);
        };
        push(o->proto);
        push(o->primitive.AsObject());
        for (Property* p : o->OwnInOrder()) {
            push(p->value.AsObject());
            push(p->getter);
            push(p->setter);
        }
        for (auto& w : o->watches) {
            push(w.second.callback);
            push(w.second.data.AsObject());
        }
        for (auto& v : o->extra)
            push(v.AsObject());
        for (Object* i : o->interfaces)
            push(i);
        for (Scope* s = o->scope.get(); s; s = s->parent.get())
            push(s->obj);
    }
}

void Runtime::CollectGarbage() {
    if (entryDepth_ != 0)
        return;
    for (auto& o : heap_)
        o->marked = false;
    Object* roots[] = {global,      objectProto, functionProto, arrayProto,
                       stringProto, numberProto, booleanProto,  dateProto,
                       errorProto,  clipProto,   arrayCtor,     objectCtor};
    for (Object* r : roots)
        if (r)
            Mark(r);
    for (auto& c : clips_)
        Mark(c.second);
    for (auto& t : timers) {
        MarkValue(t.fn);
        for (auto& a : t.args)
            MarkValue(a);
    }
    for (auto& r : registeredClasses)
        Mark(r.second);
    for (auto* q : {&pendingLoads, &deliveringLoads, &loadInits})
        for (auto& l : *q)
            if (l.obj)
                Mark(l.obj);
    size_t keep = 0;
    for (size_t i = 0; i < heap_.size(); ++i)
        if (heap_[i]->marked)
            heap_[keep++] = std::move(heap_[i]);
    heap_.resize(keep);
    heapAtLastCollect_ = heap_.size();
}

void Runtime::Charge(uint64_t n) {
    if (stepsLeft_ < n) {
        stepsLeft_ = 0;
        throw ScriptAbort{"script ran too long"};
    }
    stepsLeft_ -= n;
    // The clock is read now and then: reading it costs more than a step.
    if (deadline_ > 0 && (++clockChecks_ & 1023) == 0 && SteadySeconds() > deadline_)
        throw ScriptAbort{"script ran too long"};
}

void Runtime::CheckString(const std::string& s) {
    if (s.size() > limits.stringBytes)
        throw ScriptAbort{"string too long"};
}

// ---------------------------------------------------------------- clips

bool Runtime::IsDisplayProp(const std::string& name, ClipProp& prop) const {
    if (name.empty() || name[0] != '_')
        return false;
    for (int i = 0; i < static_cast<int>(ClipProp::Count); ++i)
        if (NamesEqual(name, kPropNames[i], false)) {
            prop = static_cast<ClipProp>(i);
            return true;
        }
    return false;
}

Value Runtime::GetClipProp(ClipId clip, ClipProp prop) {
    if (clip == 0)
        return Value::Undef();
    if (prop == ClipProp::Target)
        return Value::Str(ClipPath(clip, true));
    if (IsTextProp(prop))
        return Value::Str(host_.GetPropertyText(clip, prop));
    double d = host_.GetProperty(clip, prop);
    if (prop == ClipProp::Visible)
        return Value::Bool(d != 0);
    return Value::Num(d);
}

void Runtime::SetClipProp(ClipId clip, ClipProp prop, const Value& v) {
    if (clip == 0)
        return;
    if (IsTextProp(prop)) {
        host_.SetProperty(clip, prop, 0, ToString(v));
        return;
    }
    if (prop == ClipProp::FocusRect) {
        // null and undefined are told apart from false: they unset it.
        // Version 6 on takes a truth value, older movies a number.
        const double d = version() >= 6 ? (ToBoolean(v) ? 1 : 0) : ToNumber(v);
        host_.SetProperty(clip, prop, d, v.IsNullish() ? "null" : std::string());
        return;
    }
    double d = prop == ClipProp::Visible ? (ToBoolean(v) ? 1 : 0) : ToNumber(v);
    host_.SetProperty(clip, prop, d, std::string());
}

std::string Runtime::ClipPath(ClipId clip, bool slashes) {
    std::vector<std::string> names;
    ClipId c = clip;
    for (int guard = 0; c && guard < 256; ++guard) {
        ClipId p = host_.Parent(c);
        if (!p) {
            // A level: find which.
            int level = 0;
            for (int l = 0; l < 64; ++l)
                if (host_.Level(l) == c) {
                    level = l;
                    break;
                }
            if (slashes) {
                std::string out = level == 0 ? "" : "_level" + std::to_string(level);
                for (auto it = names.rbegin(); it != names.rend(); ++it)
                    out += "/" + *it;
                return out.empty() ? "/" : out;
            }
            std::string out = "_level" + std::to_string(level);
            for (auto it = names.rbegin(); it != names.rend(); ++it)
                out += "." + *it;
            return out;
        }
        names.push_back(host_.GetPropertyText(c, ClipProp::Name));
        c = p;
    }
    return std::string();
}

// ---------------------------------------------------------------- members

bool Runtime::AccessorBusy(Object* holder, const std::string& name) const {
    for (auto& a : activeAccessors_)
        if (a.first == holder && NamesEqual(a.second, name, caseSensitive()))
            return true;
    return false;
}

Runtime::AccessorGuard::AccessorGuard(Runtime& r, Object* holder, const std::string& name) : rt(r) {
    rt.activeAccessors_.emplace_back(holder, name);
}
Runtime::AccessorGuard::~AccessorGuard() {
    rt.activeAccessors_.pop_back();
}

Value Runtime::GetMember(const Value& target, const std::string& name) {
    switch (target.type()) {
    case Type::Object:
        return GetMember(target.AsObject(), name);
    case Type::String: {
        if (name == "length")
            return Value::Num(static_cast<double>(Utf8ToUtf16(target.AsString()).size()));
        Object* p = stringProto;
        for (int d = 0; p && d < 256; ++d, p = p->proto)
            if (Property* prop = p->Find(name)) {
                if (prop->getter) {
                    Args none;
                    return Call(Value::Obj(prop->getter), target, none);
                }
                return prop->value;
            }
        return Value::Undef();
    }
    case Type::Number:
    case Type::Boolean: {
        Object* p = target.IsNumber() ? numberProto : booleanProto;
        for (int d = 0; p && d < 256; ++d, p = p->proto)
            if (Property* prop = p->Find(name)) {
                if (prop->getter) {
                    Args none;
                    return Call(Value::Obj(prop->getter), target, none);
                }
                return prop->value;
            }
        return Value::Undef();
    }
    default:
        return Value::Undef();
    }
}

namespace {

// Accessors reached through `super` run on the object `super` stands for.
Value AccessorThis(Object* o) {
    if (o->kind == ObjKind::Super && !o->extra.empty())
        return o->extra[0];
    return Value::Obj(o);
}

} // namespace

Value Runtime::GetMember(Object* o, const std::string& name) {
    if (!o)
        return Value::Undef();
    Charge();
    if (name == "__proto__") {
        // `super` stands for the parent prototype itself.
        Object* p = o->kind == ObjKind::Super && o->proto ? o->proto->proto : o->proto;
        return p ? Value::Obj(p) : Value::Undef();
    }
    if (o->kind == ObjKind::Clip) {
        ClipProp prop;
        if (IsDisplayProp(name, prop))
            return GetClipProp(o->clip, prop);
        // Stored variables of these names hide the clip's own.
        const bool stored = name[0] == '_' && o->Find(name);
        if (!stored && o->clip && NamesEqual(name, "_parent", false))
            return Value::Obj(ClipObject(host_.Parent(o->clip)));
        if (!stored && NamesEqual(name, "_root", false))
            return Value::Obj(ClipObject(host_.Root()));
        if (!stored && version_ >= 6 && NamesEqual(name, "_global", false))
            return Value::Obj(global);
    }
    if (o->kind == ObjKind::Array && name == "length")
        return Value::Num(ArrayLength(o));
    if (o->kind == ObjKind::String && name == "length" && o->primitive.IsString())
        return Value::Num(static_cast<double>(Utf8ToUtf16(o->primitive.AsString()).size()));
    Object* p = o;
    for (int d = 0; p && d < 256; ++d, p = p->proto) {
        if (Property* prop = p->Find(name); prop && !HiddenForVersion(prop->flags, version_)) {
            if (prop->getter && !AccessorBusy(p, name)) {
                AccessorGuard busy(*this, p, name);
                Object* getter = prop->getter;
                Args none;
                return Call(Value::Obj(getter), AccessorThis(o), none, p);
            }
            if (prop->getter || prop->setter)
                return prop->value;
            if (prop->setter)
                return Value::Undef();
            return prop->value;
        }
        if (p == o && o->kind == ObjKind::Clip && o->clip) {
            if (ClipId child = host_.Child(o->clip, name, caseSensitive()))
                return Value::Obj(ClipObject(child));
        }
        if (d == 255)
            throw ScriptAbort{"prototype chain too long"};
    }
    if (name != "__resolve") {
        Value r;
        Object* q = o;
        for (int d = 0; q && d < 256; ++d, q = q->proto)
            if (Property* prop = q->Find("__resolve")) {
                r = prop->value;
                break;
            }
        if (r.AsObject() && r.AsObject()->IsFunction()) {
            Args a{Value::Str(name)};
            return Call(r, Value::Obj(o), a);
        }
    }
    return Value::Undef();
}

bool Runtime::HasProperty(Object* o, const std::string& name) {
    if (!o)
        return false;
    if (o->kind == ObjKind::Clip) {
        ClipProp prop;
        if (IsDisplayProp(name, prop) || NamesEqual(name, "_parent", false) ||
            NamesEqual(name, "_root", false))
            return o->clip != 0;
        if (o->clip && host_.Child(o->clip, name, caseSensitive()))
            return true;
    }
    if ((o->kind == ObjKind::Array || o->kind == ObjKind::String) && name == "length")
        return true;
    Object* p = o;
    for (int d = 0; p && d < 256; ++d, p = p->proto)
        if (Property* prop = p->Find(name); prop && !HiddenForVersion(prop->flags, version_))
            return true;
    return false;
}

void Runtime::SetMember(Object* o, const std::string& name, const Value& vIn) {
    if (!o)
        return;
    Charge();
    if (name == "__proto__") {
        // Anything but an object leaves no prototype.
        o->proto = vIn.AsObject();
        return;
    }
    if (o->kind == ObjKind::Clip) {
        ClipProp prop;
        if (IsDisplayProp(name, prop)) {
            SetClipProp(o->clip, prop, vIn);
            return;
        }
    }
    if (o->kind == ObjKind::Array && name == "length") {
        SetArrayLength(o, ToNumber(vIn));
        return;
    }
    Value v = vIn;
    if (!o->watches.empty()) {
        auto it = o->watches.find(name);
        if (it != o->watches.end()) {
            // The old value is the stored one, inherited when not own;
            // accessors are not run for it.
            Value old;
            Object* q = o;
            for (int d = 0; q && d < 256; ++d, q = q->proto)
                if (Property* found = q->Find(name)) {
                    old = found->value;
                    break;
                }
            Args a{Value::Str(name), old, v, it->second.data};
            try {
                v = Call(Value::Obj(it->second.callback), Value::Obj(o), a);
            } catch (const ScriptThrow&) {
                // A watcher that throws leaves the property undefined.
                Property* p = o->Find(name);
                if (p && !p->getter && !p->setter)
                    p->value = Value::Undef();
                throw;
            }
        }
    }
    Object* p = o;
    for (int d = 0; p && d < 256; ++d, p = p->proto) {
        Property* prop = p->Find(name);
        if (!prop || (p != o && HiddenForVersion(prop->flags, version_)))
            continue;
        if (prop->setter && !HiddenForVersion(prop->flags, version_)) {
            if (AccessorBusy(p, name)) {
                // Inside its own accessor the property is a plain slot.
                prop->value = v;
                return;
            }
            AccessorGuard busy(*this, p, name);
            Object* setter = prop->setter;
            Args a{v};
            Call(Value::Obj(setter), AccessorThis(o), a, p);
            return;
        }
        if (prop->getter)
            return; // read-only virtual property
        if (p == o) {
            if (prop->flags & kReadOnly)
                return;
            prop->value = v;
            prop->flags &= static_cast<uint16_t>(~kVersionMask); // written: visible again
            return;
        }
        break;
    }
    o->Put(name, v);
    if (o->kind == ObjKind::Array) {
        uint32_t idx;
        if (ArrayIndex(name, idx) && idx + 1.0 > ArrayLength(o))
            o->primitive = Value::Num(static_cast<double>(ToInt32(idx + 1.0)));
    }
}

bool Runtime::DeleteMember(Object* o, const std::string& name) {
    if (!o)
        return false;
    Property* p = o->Find(name);
    if (!p || (p->flags & kDontDelete))
        return false;
    return o->Remove(name);
}

std::vector<std::string> Runtime::EnumerableNames(Object* o) {
    std::vector<std::string> out;
    if (!o)
        return out;
    NameEq eq{caseSensitive()};
    std::unordered_map<std::string, bool, NameHash, NameEq> seen(16, NameHash{caseSensitive()}, eq);
    // Nearest object decides whether a name is listed; the list runs from
    // the farthest prototype in, each object's newest name first.
    std::vector<std::vector<std::string>> levels;
    Object* p = o;
    for (int d = 0; p && d < 256; ++d, p = p->proto) {
        levels.emplace_back();
        for (const Property* prop : p->OwnInReverse()) {
            Charge();
            if (seen.count(prop->name))
                continue;
            seen.emplace(prop->name, true);
            if (!(prop->flags & kDontEnum))
                levels.back().push_back(prop->name);
        }
    }
    for (auto it = levels.rbegin(); it != levels.rend(); ++it)
        out.insert(out.end(), it->begin(), it->end());
    // A clip's children come after its variables.
    if (o->kind == ObjKind::Clip && o->clip) {
        std::vector<std::string> children;
        host().ChildNames(o->clip, children);
        for (std::string& name : children) {
            Charge();
            if (!name.empty() && seen.emplace(name, true).second)
                out.push_back(std::move(name));
        }
    }
    return out;
}

// ---------------------------------------------------------------- arrays

double Runtime::ArrayLength(Object* arr) {
    if (!arr)
        return 0;
    if (arr->kind == ObjKind::Array)
        return arr->primitive.IsNumber() ? arr->primitive.AsNumber() : 0;
    double d = ToNumber(GetMember(arr, "length"));
    if (std::isnan(d) || d < 0)
        return 0;
    return std::floor(d);
}

void Runtime::SetArrayLength(Object* arr, double len) {
    if (!(len >= 0))
        len = 0;
    len = std::floor(len);
    if (len > 4294967295.0)
        len = 4294967295.0;
    if (arr->kind != ObjKind::Array) {
        SetMember(arr, "length", Value::Num(len));
        return;
    }
    double old = ArrayLength(arr);
    if (len < old) {
        // Drop the elements past the new end.
        std::vector<std::string> drop;
        for (Property* p : arr->OwnInOrder()) {
            uint32_t idx;
            if (ArrayIndex(p->name, idx) && idx >= len)
                drop.push_back(p->name);
        }
        for (auto& n : drop)
            arr->Remove(n);
    }
    arr->primitive = Value::Num(len);
}

void Runtime::ArrayPush(Object* arr, Value v) {
    double len = ArrayLength(arr);
    SetMember(arr, NumberToString(len), v);
    if (arr->kind == ObjKind::Array)
        arr->primitive = Value::Num(len + 1);
}

std::vector<Value> Runtime::ArrayValues(Object* arr) {
    std::vector<Value> out;
    double len = ArrayLength(arr);
    if (len > limits.arrayLength)
        throw ScriptAbort{"array too long"};
    Charge(static_cast<uint64_t>(len));
    out.reserve(static_cast<size_t>(len));
    for (uint32_t i = 0; i < len; ++i)
        out.push_back(GetMember(arr, std::to_string(i)));
    return out;
}

Object* Runtime::MakeArray(const std::vector<Value>& values) {
    Object* a = NewArray();
    for (size_t i = 0; i < values.size(); ++i)
        a->Put(std::to_string(i), values[i]);
    a->primitive = Value::Num(static_cast<double>(values.size()));
    return a;
}

// ---------------------------------------------------------------- calls

Value Runtime::Call(const Value& fnv, const Value& thisv, Args& args, Object* homeProto,
                    bool construct) {
    Object* fn = fnv.AsObject();
    if (!fn || !fn->IsFunction())
        return Value::Undef();
    DepthGuard guard(*this);
    Charge();
    Object* savedConstructing = constructing;
    constructing = construct ? thisv.AsObject() : nullptr;
    struct Restore {
        Runtime& rt;
        Object* saved;
        ~Restore() { rt.constructing = saved; }
    } restore{*this, savedConstructing};
    if (fn->native) {
        NativeFn f = (construct && fn->nativeCtor) ? fn->nativeCtor : fn->native;
        return f(*this, fn, thisv, args);
    }
    if (fn->code)
        return Interpreter::Invoke(*this, fn, thisv, args, homeProto);
    return Value::Undef();
}

Value Runtime::CallMethod(const Value& target, const std::string& name, Args& args) {
    Value fn = GetMember(target, name);
    Object* holder = nullptr;
    if (Object* o = target.AsObject())
        for (Object* p = o; p; p = p->proto)
            if (p->Find(name)) {
                holder = p;
                break;
            }
    return Call(fn, target, args, holder);
}

Value Runtime::Construct(const Value& ctorv, Args& args) {
    Object* ctor = ctorv.AsObject();
    if (!ctor || !ctor->IsFunction())
        return Value::Undef();
    Value protov = GetMember(ctor, "prototype");
    Object* obj = NewObject(protov.AsObject() ? protov.AsObject() : objectProto);
    obj->Put("__constructor__", ctorv, kDontEnum);
    if (version_ <= 6)
        obj->Put("constructor", ctorv, kDontEnum);
    constructionRefused = false;
    Value r = Call(ctorv, Value::Obj(obj), args, protov.AsObject(), true);
    if (constructionRefused) {
        constructionRefused = false;
        return Value::Undef();
    }
    if (ctor->native && r.IsObject())
        return r;
    return Value::Obj(obj);
}

bool Runtime::InstanceOf(Object* obj, Object* ctor) {
    if (!obj || !ctor)
        return false;
    Object* proto = GetMember(ctor, "prototype").AsObject();
    if (!proto)
        return false;
    int d = 0;
    for (Object* p = obj->proto; p && d < 256; p = p->proto, ++d) {
        if (p == proto)
            return true;
        for (Object* i : p->interfaces)
            if (i == ctor)
                return true;
            else if (Object* ip = GetMember(i, "prototype").AsObject()) {
                for (Object* q = ip; q; q = q->proto)
                    if (q == proto)
                        return true;
            }
    }
    return false;
}

// ---------------------------------------------------------------- conversions

Value Runtime::ToPrimitive(const Value& v, int hint) {
    Object* o = v.AsObject();
    if (!o)
        return v;
    // A clip is its path as text, and no number.
    if (o->kind == ObjKind::Clip)
        return hint == 2 ? Value::Str(ClipPath(o->clip, false)) : v;
    // Dates are text first from version 6.
    if (hint == 0 && o->kind == ObjKind::Date && version_ >= 6)
        hint = 2;
    // One method only: its primitive result, the object itself when it gives
    // an object, undefined when there is nothing to call.
    Value f = GetMember(o, hint == 2 ? "toString" : "valueOf");
    if (f.AsObject() && f.AsObject()->IsFunction()) {
        Args none;
        Value r = Call(f, v, none, nullptr);
        if (!r.IsObject())
            return r;
        if (version_ <= 4 && hint != 2) {
            // Version 4 falls back to the text of the object.
            Value g = GetMember(o, "toString");
            if (g.AsObject() && g.AsObject()->IsFunction()) {
                Value t = Call(g, v, none, nullptr);
                if (!t.IsObject())
                    return t;
            }
        }
        return v;
    }
    return Value::Undef();
}

double Runtime::ToNumber(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
        return version_ >= 7 ? std::nan("") : 0.0;
    case Type::Null:
        return version_ >= 7 ? std::nan("") : 0.0;
    case Type::Boolean:
        return v.AsBool() ? 1 : 0;
    case Type::Number:
        return v.AsNumber();
    case Type::String:
        return StringToNumber(v.AsString(), version_);
    case Type::Object: {
        Object* o = v.AsObject();
        if (o->kind == ObjKind::Clip)
            return std::nan("");
        Value p = ToPrimitive(v, 1);
        if (p.IsObject())
            return std::nan("");
        return ToNumber(p);
    }
    }
    return std::nan("");
}

std::string Runtime::ToString(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
        return version_ >= 7 ? "undefined" : "";
    case Type::Null:
        return "null";
    case Type::Boolean:
        if (version_ <= 4)
            return v.AsBool() ? "1" : "0";
        return v.AsBool() ? "true" : "false";
    case Type::Number:
        return NumberToString(v.AsNumber());
    case Type::String:
        return v.AsString();
    case Type::Object: {
        // Text of an object is what its toString gives, when that is text.
        Object* o = v.AsObject();
        if (o->kind == ObjKind::Clip)
            return ClipPath(o->clip, false);
        if (o->kind == ObjKind::Super)
            return "[type Object]"; // `super` is no object with methods of its own
        Value f = GetMember(o, "toString");
        if (f.AsObject() && f.AsObject()->IsFunction()) {
            Args none;
            Value r = Call(f, v, none, nullptr);
            if (r.IsString())
                return r.AsString();
        }
        return o->IsFunction() ? "[type Function]" : "[type Object]";
    }
    }
    return std::string();
}

bool Runtime::ToBoolean(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
    case Type::Null:
        return false;
    case Type::Boolean:
        return v.AsBool();
    case Type::Number:
        return !(std::isnan(v.AsNumber()) || v.AsNumber() == 0);
    case Type::String: {
        if (version_ >= 7)
            return !v.AsString().empty();
        double d = StringToNumber(v.AsString(), version_);
        return !(std::isnan(d) || d == 0);
    }
    case Type::Object:
        return true;
    }
    return false;
}

Object* Runtime::ToObject(const Value& v) {
    switch (v.type()) {
    case Type::Object:
        return v.AsObject();
    case Type::String: {
        Object* o = NewObject(stringProto);
        o->kind = ObjKind::String;
        o->primitive = v;
        return o;
    }
    case Type::Number: {
        Object* o = NewObject(numberProto);
        o->kind = ObjKind::Number;
        o->primitive = v;
        return o;
    }
    case Type::Boolean: {
        Object* o = NewObject(booleanProto);
        o->kind = ObjKind::Boolean;
        o->primitive = v;
        return o;
    }
    default:
        return nullptr;
    }
}

std::string Runtime::TypeOf(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
        return "undefined";
    case Type::Null:
        return "null";
    case Type::Boolean:
        return "boolean";
    case Type::Number:
        return "number";
    case Type::String:
        return "string";
    case Type::Object:
        if (v.AsObject()->kind == ObjKind::Clip) {
            // Text fields and buttons are display objects but no clips.
            const ClipId c = v.AsObject()->clip;
            if (host_.TextFieldModel(c) || host_.KindOf(c) == ClipKind::Button)
                return "object";
            return "movieclip";
        }
        return v.AsObject()->IsFunction() ? "function" : "object";
    }
    return "undefined";
}

bool Runtime::AbstractEquals(const Value& a, const Value& b) {
    if (a.type() == b.type()) {
        switch (a.type()) {
        case Type::Undefined:
        case Type::Null:
            return true;
        case Type::Boolean:
            return a.AsBool() == b.AsBool();
        case Type::Number:
            return a.AsNumber() == b.AsNumber() ||
                   (std::isnan(a.AsNumber()) && std::isnan(b.AsNumber()));
        case Type::String:
            return a.AsString() == b.AsString();
        case Type::Object:
            if (a.AsObject() == b.AsObject() || version_ > 5)
                return a.AsObject() == b.AsObject();
            // Version 5 compares two objects by their primitive values.
            {
                Value pa = ToPrimitive(a);
                Value pb = ToPrimitive(b);
                if (pa.IsObject() && pb.IsObject())
                    return pa.AsObject() == pb.AsObject();
                return AbstractEquals(pa, pb);
            }
        }
    }
    // An object facing a primitive is compared by its primitive value, even
    // against undefined: an object without valueOf equals undefined.
    if (a.IsObject() && !b.IsObject()) {
        Value p = ToPrimitive(a);
        if (p.IsObject())
            return false;
        return AbstractEquals(p, b);
    }
    if (b.IsObject() && !a.IsObject()) {
        Value p = ToPrimitive(b);
        if (p.IsObject())
            return false;
        return AbstractEquals(a, p);
    }
    if (a.IsNullish() && b.IsNullish())
        return true;
    if (a.IsNullish() || b.IsNullish())
        return false;
    if (a.IsNumber() && b.IsString())
        return a.AsNumber() == StringToNumber(b.AsString(), version_);
    if (a.IsString() && b.IsNumber())
        return StringToNumber(a.AsString(), version_) == b.AsNumber();
    if (a.IsBool())
        return AbstractEquals(Value::Num(a.AsBool() ? 1 : 0), b);
    if (b.IsBool())
        return AbstractEquals(a, Value::Num(b.AsBool() ? 1 : 0));
    if (a.IsObject() && !b.IsObject()) {
        Value p = ToPrimitive(a);
        if (p.IsObject())
            return false;
        return AbstractEquals(p, b);
    }
    if (b.IsObject() && !a.IsObject()) {
        Value p = ToPrimitive(b);
        if (p.IsObject())
            return false;
        return AbstractEquals(a, p);
    }
    return false;
}

int Runtime::AbstractLess(const Value& a, const Value& b) {
    // An operand that stays an object makes the answer false, and the
    // second is not converted once the first failed.
    // (A clip is no number: it makes the answer undefined.)
    Value pa = ToPrimitive(a, 1);
    if (pa.IsObject() && pa.AsObject()->kind != ObjKind::Clip)
        return 0;
    Value pb = ToPrimitive(b, 1);
    if (pb.IsObject() && pb.AsObject()->kind != ObjKind::Clip)
        return 0;
    if (pa.IsString() && pb.IsString()) {
        auto ua = Utf8ToUtf16(pa.AsString());
        auto ub = Utf8ToUtf16(pb.AsString());
        return ua < ub ? 1 : 0;
    }
    double x = ToNumber(pa);
    double y = ToNumber(pb);
    if (std::isnan(x) || std::isnan(y))
        return -1;
    return x < y ? 1 : 0;
}

Value Runtime::Add2(const Value& a, const Value& b) {
    Value pa = ToPrimitive(a);
    Value pb = ToPrimitive(b);
    if (pa.IsString() || pb.IsString()) {
        std::string s = ToString(pa);
        s += ToString(pb);
        CheckString(s);
        return Value::Str(std::move(s));
    }
    return Value::Num(ToNumber(pa) + ToNumber(pb));
}

// ---------------------------------------------------------------- paths

Object* Runtime::ResolveTarget(const std::string& pathIn, ClipId base) {
    std::string path = pathIn;
    Object* cur = ClipObject(base);
    size_t i = 0;
    if (path.empty())
        return cur;
    if (path[0] == '/') {
        cur = ClipObject(host_.Root());
        i = 1;
    }
    int guard = 0;
    while (i < path.size() && cur) {
        if (++guard > 256)
            return nullptr;
        size_t j = i;
        while (j < path.size() && path[j] != '/' && path[j] != '.' && path[j] != ':')
            ++j;
        // ".." is a parent step; a lone "." separates.
        if (path.compare(i, 2, "..") == 0) {
            ClipId c = cur->clip;
            cur = c ? ClipObject(host_.Parent(c)) : nullptr;
            i += 2;
            if (i < path.size() && (path[i] == '/' || path[i] == '.'))
                ++i;
            continue;
        }
        std::string seg = path.substr(i, j - i);
        i = j < path.size() ? j + 1 : j;
        if (seg.empty())
            continue;
        if (NamesEqual(seg, "_root", false)) {
            cur = ClipObject(host_.Root());
        } else if (NamesEqual(seg, "_parent", false)) {
            cur = cur->clip ? ClipObject(host_.Parent(cur->clip)) : nullptr;
        } else if (seg.size() > 6 && NamesEqual(seg.substr(0, 6), "_level", false)) {
            int n = std::atoi(seg.c_str() + 6);
            cur = ClipObject(host_.Level(n));
        } else if (NamesEqual(seg, "_global", false)) {
            cur = global;
        } else if (seg == "this") {
            // stays
        } else {
            Value v = GetMember(cur, seg);
            cur = v.AsObject();
        }
    }
    return cur;
}

} // namespace zembra::avm1
