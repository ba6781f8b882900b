#include "avm1/uInterpreter.h"

#include <cmath>
#include <cstring>

namespace zembra::avm1 {

namespace {

using Context = Interpreter::Context;

// Bounds-checked reader over one action's payload.
class Reader {
  public:
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    bool ok() const { return ok_; }
    bool more() const { return ok_ && i_ < n_; }
    size_t pos() const { return i_; }
    uint8_t U8() {
        if (i_ + 1 > n_) {
            ok_ = false;
            return 0;
        }
        return p_[i_++];
    }
    uint16_t U16() {
        uint16_t lo = U8();
        uint16_t hi = U8();
        return static_cast<uint16_t>(lo | (hi << 8));
    }
    uint32_t U32() {
        uint32_t a = U16();
        uint32_t b = U16();
        return a | (b << 16);
    }
    std::string Str() {
        size_t j = i_;
        while (j < n_ && p_[j] != 0)
            ++j;
        if (j >= n_) {
            ok_ = false;
            i_ = n_;
            return std::string();
        }
        std::string s(reinterpret_cast<const char*>(p_ + i_), j - i_);
        i_ = j + 1;
        return s;
    }

  private:
    const uint8_t* p_;
    size_t n_;
    size_t i_ = 0;
    bool ok_ = true;
};

Value Pop(Context& c) {
    if (c.stack.empty())
        return Value::Undef();
    Value v = std::move(c.stack.back());
    c.stack.pop_back();
    return v;
}

void Push(Runtime& rt, Context& c, Value v) {
    if (c.stack.size() >= rt.limits.stackSize)
        throw ScriptAbort{"stack overflow"};
    c.stack.push_back(std::move(v));
}

// Results of comparisons are booleans; version 4 prints them as 1 and 0.
Value Flag(Runtime&, bool b) {
    return Value::Bool(b);
}

bool Gone(Runtime& rt, ClipId clip) {
    return clip && rt.host().KindOf(clip) == ClipKind::None;
}

// The timeline a script acts on once clips have been removed under it: its
// target, else its own clip, else the main timeline.
ClipId LiveTarget(Runtime& rt, const Context& c) {
    if (!Gone(rt, c.target))
        return c.target;
    if (!Gone(rt, c.originalTarget))
        return c.originalTarget;
    return rt.host().Root();
}

Object* TargetObject(Runtime& rt, Context& c) {
    if (Object* o = rt.ClipObject(LiveTarget(rt, c)))
        return o;
    for (Scope* s = c.scope.get(); s; s = s->parent.get())
        if (s->base)
            return s->obj;
    return rt.global;
}

bool IsLevelName(const std::string& name, int& level) {
    if (name.size() <= 6 || !NamesEqual(name.substr(0, 6), "_level", false))
        return false;
    for (size_t i = 6; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9')
            return false;
    level = std::atoi(name.c_str() + 6);
    return true;
}

// Special names that are not looked up in the scope chain.
bool SpecialName(Runtime& rt, Context& c, const std::string& name, Value& out) {
    if (name == "this" || (!rt.caseSensitive() && NamesEqual(name, "this", false))) {
        out = c.thisObj;
        return true;
    }
    if (name.empty() || name[0] != '_')
        return false;
    // A variable the script stored under one of these names hides it.
    int depth = 0;
    for (Scope* s = c.scope.get(); s && depth < 1024; s = s->parent.get(), ++depth)
        if (Object* o = s->obj; o && o->Find(name))
            return false;
    if (rt.version() >= 6 && NamesEqual(name, "_global", rt.caseSensitive())) {
        out = Value::Obj(rt.global);
        return true;
    }
    if (NamesEqual(name, "_root", rt.caseSensitive())) {
        out = Value::Obj(rt.ClipObject(rt.host().Root()));
        return true;
    }
    int level;
    if (IsLevelName(name, level)) {
        out = Value::Obj(rt.ClipObject(rt.host().Level(level)));
        return true;
    }
    return false;
}

// The scope link to read `name` from; tellTarget swaps the timeline link.
Object* ScopeObject(Runtime& rt, Context& c, Scope* s) {
    if (s->base && c.target != c.originalTarget)
        return TargetObject(rt, c);
    // The variables of a removed clip's script are the main timeline's.
    if (s->base && Gone(rt, c.target))
        return TargetObject(rt, c);
    return s->obj;
}

Value LookupPlain(Runtime& rt, Context& c, const std::string& name, Object** holder = nullptr) {
    Value special;
    if (SpecialName(rt, c, name, special))
        return special;
    int depth = 0;
    for (Scope* s = c.scope.get(); s; s = s->parent.get()) {
        if (++depth > 1024)
            break;
        Object* o = ScopeObject(rt, c, s);
        if (rt.HasProperty(o, name)) {
            if (holder)
                *holder = o;
            return rt.GetMember(o, name);
        }
    }
    return Value::Undef();
}

bool HasPathChars(const std::string& name, bool dots) {
    for (char ch : name)
        if (ch == '/' || ch == ':' || (dots && ch == '.'))
            return true;
    return false;
}

// "a.b.c" -> value of a.b.c through the scope chain for `a`.
Value LookupDotted(Runtime& rt, Context& c, const std::string& name) {
    size_t dot = name.find('.');
    Value cur = LookupPlain(rt, c, name.substr(0, dot));
    size_t i = dot;
    while (i != std::string::npos) {
        size_t j = name.find('.', i + 1);
        std::string seg = name.substr(i + 1, j == std::string::npos ? j : j - i - 1);
        if (seg.empty() && j == std::string::npos)
            break;
        if (seg == "") {
            // ".." is a parent step in dotted paths too.
            Object* o = cur.AsObject();
            cur = (o && o->kind == ObjKind::Clip && o->clip)
                      ? Value::Obj(rt.ClipObject(rt.host().Parent(o->clip)))
                      : Value::Undef();
            i = j;
            continue;
        }
        cur = rt.GetMember(cur, seg);
        i = j;
    }
    return cur;
}

Value GetVariable(Runtime& rt, Context& c, const std::string& name) {
    if (HasPathChars(name, false)) {
        size_t colon = name.rfind(':');
        if (colon != std::string::npos) {
            Object* t = rt.ResolveTarget(name.substr(0, colon), c.target);
            return t ? rt.GetMember(t, name.substr(colon + 1)) : Value::Undef();
        }
        return Value::Obj(rt.ResolveTarget(name, c.target));
    }
    if (rt.version() >= 5 && name.find('.') != std::string::npos && name[0] != '.') {
        // A variable whose name holds a dot wins over the path.
        for (Scope* s = c.scope.get(); s; s = s->parent.get()) {
            Object* o = ScopeObject(rt, c, s);
            if (o && o->Find(name))
                return rt.GetMember(o, name);
        }
        return LookupDotted(rt, c, name);
    }
    return LookupPlain(rt, c, name);
}

void SetVariable(Runtime& rt, Context& c, const std::string& name, const Value& v) {
    if (HasPathChars(name, rt.version() >= 5)) {
        size_t sep = name.find_last_of(":.");
        if (sep == std::string::npos) {
            // "/a/b/var": the last slash segment is the variable.
            sep = name.rfind('/');
        }
        std::string path = name.substr(0, sep);
        std::string var = name.substr(sep + 1);
        Object* t = nullptr;
        if (name[sep] == '.' && !HasPathChars(path, false)) {
            t = (path.find('.') != std::string::npos ? LookupDotted(rt, c, path)
                                                     : LookupPlain(rt, c, path))
                    .AsObject();
        } else {
            t = path.empty() && name[0] == '/' ? rt.ClipObject(rt.host().Root())
                                               : rt.ResolveTarget(path, c.target);
        }
        if (t)
            rt.SetMember(t, var, v);
        return;
    }
    int depth = 0;
    for (Scope* s = c.scope.get(); s; s = s->parent.get()) {
        if (++depth > 1024)
            break;
        Object* o = ScopeObject(rt, c, s);
        if (o == rt.global)
            break; // globals are only written through _global
        if (rt.HasProperty(o, name)) {
            rt.SetMember(o, name, v);
            return;
        }
    }
    rt.SetMember(TargetObject(rt, c), name, v);
}

Object* MakeArguments(Runtime& rt, Args& args, Object* callee, Object* caller) {
    Object* a = rt.MakeArray(args);
    a->Put("callee", Value::Obj(callee), kDontEnum);
    a->Put("caller", caller ? Value::Obj(caller) : Value::Null(), kDontEnum);
    return a;
}

Object* MakeSuper(Runtime& rt, const Value& thisv, Object* homeProto) {
    Object* s = rt.NewObject(homeProto ? homeProto->proto : nullptr);
    s->kind = ObjKind::Super;
    s->extra.push_back(thisv);
    s->extra.push_back(Value::Obj(homeProto));
    return s;
}

std::u16string Units(Runtime& rt, const Value& v) {
    std::string s = rt.ToString(v);
    rt.Charge(s.size() / 256 + 1); // long strings cost in proportion
    return Utf8ToUtf16(s);
}

// Substring by 1-based index and count in code units (StringExtract).
std::string Extract(Runtime& rt, const Value& sv, double index, double count) {
    std::u16string s = Units(rt, sv);
    double len = static_cast<double>(s.size());
    // Both numbers are 32-bit integers to the player: huge ones wrap.
    index = ToInt32(index);
    count = ToInt32(count);
    if (index < 1)
        index = 1;
    if (std::isnan(count) || count < 0 || index - 1 + count > len)
        count = len - (index - 1);
    if (index - 1 >= len || count <= 0)
        return std::string();
    return Utf16ToUtf8(s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count)));
}

Value CallValue(Runtime& rt, const Value& fn, const Value& thisv, Args& args, Object* home) {
    return rt.Call(fn, thisv, args, home);
}

Value DoCallMethod(Runtime& rt, Context& c, const Value& target, const Value& nameV, Args& args) {
    std::string name = nameV.IsUndefined() ? std::string() : rt.ToString(nameV);
    Object* obj = target.AsObject();
    if (name.empty()) {
        // Calling the value itself; on `super` it is the parent constructor.
        if (obj && obj->kind == ObjKind::Super) {
            Object* home = obj->extra.size() > 1 ? obj->extra[1].AsObject() : nullptr;
            Value ctor = home ? rt.GetMember(home, "__constructor__") : Value::Undef();
            Object* homeNext = home ? home->proto : nullptr;
            return rt.Call(ctor, obj->extra[0], args, homeNext);
        }
        return rt.Call(target, c.thisObj, args);
    }
    if (obj && obj->kind == ObjKind::Super) {
        Object* start = obj->proto;
        Object* holder = nullptr;
        for (Object* p = start; p; p = p->proto)
            if (p->Find(name)) {
                holder = p;
                break;
            }
        Value fn = holder ? rt.GetMember(holder, name) : Value::Undef();
        return CallValue(rt, fn, obj->extra[0], args, holder);
    }
    Value fn = rt.GetMember(target, name);
    Object* holder = nullptr;
    for (Object* p = obj; p; p = p->proto)
        if (p->Find(name)) {
            holder = p;
            break;
        }
    if (!fn.AsObject() || !fn.AsObject()->IsFunction())
        return Value::Undef();
    return CallValue(rt, fn, target, args, holder);
}

Args PopArgs(Runtime& rt, Context& c) {
    double n = rt.ToNumber(Pop(c));
    Args args;
    if (!(n > 0))
        return args;
    size_t count =
        n > static_cast<double>(c.stack.size()) ? c.stack.size() : static_cast<size_t>(n);
    args.reserve(count);
    for (size_t i = 0; i < count; ++i)
        args.push_back(Pop(c));
    return args;
}

void DefineLocal(Runtime& rt, Context& c, const std::string& name, const Value& v) {
    if (c.activation)
        c.activation->Put(name, v); // the name as it is, even with a path in it
    else
        SetVariable(rt, c, name, v);
}

Object* NewFunction(Runtime& rt, Context& c, std::shared_ptr<FunctionCode> code) {
    Object* f = rt.NewFunctionObject();
    code->pool = c.pool;
    code->target = c.originalTarget;
    f->code = std::move(code);
    f->scope = c.scope;
    if (rt.version() <= 5) {
        // No closures before version 6: a function sees its timeline and
        // the globals, not the locals of the function that made it.
        for (Scope* s = c.scope.get(); s; s = s->parent.get())
            if (s->base) {
                std::shared_ptr<Scope> keep = c.scope;
                while (keep && keep.get() != s)
                    keep = keep->parent;
                f->scope = keep;
                break;
            }
    }
    return f;
}

// Where the frame actions go. A tellTarget whose target was not found
// sends them to the main timeline of the script's own clip.
ClipId FrameTarget(Runtime& rt, const Context& c) {
    if (c.target)
        return LiveTarget(rt, c);
    if (!c.originalTarget)
        return c.target;
    // A script whose clip was removed reaches no timeline this way.
    if (rt.host().KindOf(c.originalTarget) == ClipKind::None)
        return 0;
    ClipId top = c.originalTarget;
    for (int guard = 0; guard < 64; ++guard) {
        const ClipId up = rt.host().Parent(top);
        if (!up)
            break;
        top = up;
    }
    return top;
}

void GotoFrameValue(Runtime& rt, Context& c, const Value& frame, bool play, int bias) {
    ClipId clip = FrameTarget(rt, c);
    if (frame.IsString()) {
        std::string s = frame.AsString();
        size_t colon = s.rfind(':');
        if (colon != std::string::npos) {
            Object* t = rt.ResolveTarget(s.substr(0, colon), c.target);
            clip = t ? t->clip : 0;
            s = s.substr(colon + 1);
        }
        if (!clip)
            return;
        double n = StringToNumber(s, rt.version());
        if (std::isnan(n)) {
            rt.host().GotoLabel(clip, s, play);
            return;
        }
        rt.host().GotoFrame(clip, ToClampedInt(std::trunc(n) + bias), play);
        return;
    }
    if (!clip)
        return;
    double n = rt.ToNumber(frame);
    if (std::isnan(n))
        return;
    rt.host().GotoFrame(clip, ToClampedInt(std::trunc(n) + bias), play);
}

ClipId ClipOf(Runtime& rt, Context& c, const Value& v) {
    if (Object* o = v.AsObject())
        return o->clip;
    Object* t = rt.ResolveTarget(rt.ToString(v), c.target);
    return t ? t->clip : 0;
}

Value ReadPushValue(Runtime& rt, Context& c, Reader& r, bool& ok) {
    uint8_t type = r.U8();
    switch (type) {
    case 0:
        return Value::Str(r.Str());
    case 1: {
        uint32_t bits = r.U32();
        float f;
        std::memcpy(&f, &bits, 4);
        return Value::Num(f);
    }
    case 2:
        return Value::Null();
    case 3:
        return Value::Undef();
    case 4: {
        uint8_t i = r.U8();
        return i < c.regs.size() ? c.regs[i] : Value::Undef();
    }
    case 5:
        return Value::Bool(r.U8() != 0);
    case 6: {
        uint64_t hi = r.U32();
        uint64_t lo = r.U32();
        uint64_t bits = (hi << 32) | lo;
        double d;
        std::memcpy(&d, &bits, 8);
        return Value::Num(d);
    }
    case 7:
        return Value::Num(static_cast<int32_t>(r.U32()));
    case 8:
    case 9: {
        size_t i = type == 8 ? r.U8() : r.U16();
        return c.pool && i < c.pool->size() ? Value::Str((*c.pool)[i]) : Value::Undef();
    }
    default:
        ok = false;
        return Value::Undef();
    }
    (void)rt;
}

struct ScopeRestore {
    Context& c;
    std::shared_ptr<Scope> saved;
    ~ScopeRestore() { c.scope = saved; }
};

} // namespace

Interpreter::Result Interpreter::Run(Runtime& rt, Context& c, size_t start, size_t end) {
    const std::vector<uint8_t>& code = *c.bytes;
    if (end > code.size())
        end = code.size();
    size_t pc = start;
    const int ver = rt.version();
    while (pc < end) {
        rt.Charge();
        uint8_t op = code[pc];
        if (op == 0)
            return Result{};
        size_t payloadStart = pc + 1;
        size_t len = 0;
        if (op >= 0x80) {
            if (pc + 3 > end)
                return Result{};
            len = code[pc + 1] | (code[pc + 2] << 8);
            payloadStart = pc + 3;
            if (payloadStart + len > end)
                return Result{}; // truncated record: the block ends here
        }
        size_t next = payloadStart + len;
        Reader r(code.data() + payloadStart, len);
        size_t jumpTo = next;

        switch (op) {
        // ---- timeline control
        case 0x04:
            if (ClipId t = FrameTarget(rt, c))
                rt.host().NextFrame(t);
            break;
        case 0x05:
            if (ClipId t = FrameTarget(rt, c))
                rt.host().PrevFrame(t);
            break;
        case 0x06:
            if (ClipId t = FrameTarget(rt, c))
                rt.host().Play(t);
            break;
        case 0x07:
            if (ClipId t = FrameTarget(rt, c))
                rt.host().Stop(t);
            break;
        case 0x08: // toggle quality: nothing to do without a renderer setting
            break;
        case 0x09:
            rt.host().StopSounds();
            break;
        case 0x81: { // GotoFrame
            uint16_t f = r.U16();
            if (ClipId t = FrameTarget(rt, c))
                rt.host().GotoFrame(t, f + 1, false);
            break;
        }
        case 0x8C: { // GotoLabel
            std::string label = r.Str();
            if (ClipId t = FrameTarget(rt, c))
                rt.host().GotoLabel(t, label, false);
            break;
        }
        case 0x9F: { // GotoFrame2
            uint8_t flags = r.U8();
            int bias = (flags & 2) ? r.U16() : 0;
            GotoFrameValue(rt, c, Pop(c), (flags & 1) != 0, bias);
            break;
        }
        case 0x8A: { // WaitForFrame
            uint16_t f = r.U16();
            uint8_t skip = r.U8();
            if (c.target && !rt.host().FrameLoaded(c.target, f + 1)) {
                for (int k = 0; k < skip && jumpTo < end; ++k) {
                    uint8_t o2 = code[jumpTo];
                    size_t l2 = 0;
                    if (o2 >= 0x80) {
                        if (jumpTo + 3 > end)
                            break;
                        l2 = code[jumpTo + 1] | (code[jumpTo + 2] << 8);
                        jumpTo += 2;
                    }
                    jumpTo += 1 + l2;
                }
            }
            break;
        }
        case 0x8D: { // WaitForFrame2
            uint8_t skip = r.U8();
            Value f = Pop(c);
            double fn = rt.ToNumber(f);
            if (c.target && !std::isnan(fn) && !rt.host().FrameLoaded(c.target, ToClampedInt(fn))) {
                for (int k = 0; k < skip && jumpTo < end; ++k) {
                    uint8_t o2 = code[jumpTo];
                    size_t l2 = 0;
                    if (o2 >= 0x80) {
                        if (jumpTo + 3 > end)
                            break;
                        l2 = code[jumpTo + 1] | (code[jumpTo + 2] << 8);
                        jumpTo += 2;
                    }
                    jumpTo += 1 + l2;
                }
            }
            break;
        }
        case 0x8B: { // SetTarget
            std::string t = r.Str();
            if (t.empty()) {
                c.target = c.originalTarget;
            } else if (rt.host().KindOf(c.originalTarget) == ClipKind::None) {
                c.target = 0; // paths lead nowhere from a removed clip
            } else {
                Object* o = rt.ResolveTarget(t, c.originalTarget);
                c.target = o ? o->clip : 0;
            }
            break;
        }
        case 0x20: { // SetTarget2
            Value v = Pop(c);
            if (v.IsString() && v.AsString().empty()) {
                c.target = c.originalTarget;
            } else if (Object* o = v.AsObject(); o && o->kind == ObjKind::Clip) {
                // A clip is found again by its path: of two clips with one
                // name, the first one is the target.
                Object* t = o->clip
                                ? rt.ResolveTarget(rt.ClipPath(o->clip, false), c.originalTarget)
                                : nullptr;
                c.target = t && t->kind == ObjKind::Clip ? t->clip : o->clip;
            } else {
                Object* t = rt.ResolveTarget(rt.ToString(v), c.originalTarget);
                c.target = t ? t->clip : 0;
            }
            break;
        }
        case 0x83: { // GetURL
            std::string url = r.Str();
            std::string target = r.Str();
            rt.GetUrlAction(url, target, 0, c.target);
            break;
        }
        case 0x9A: { // GetURL2
            uint8_t flags = r.U8();
            Value target = Pop(c);
            Value url = Pop(c);
            rt.GetUrlAction(rt.ToString(url), rt.ToString(target), flags, c.target);
            break;
        }
        case 0x9E: { // Call
            Value f = Pop(c);
            std::string s = rt.ToString(f);
            ClipId clip = FrameTarget(rt, c);
            size_t colon = s.rfind(':');
            if (colon != std::string::npos) {
                Object* t = rt.ResolveTarget(s.substr(0, colon), c.target);
                clip = t ? t->clip : 0;
                s = s.substr(colon + 1);
            }
            if (clip)
                rt.host().CallFrame(clip, s);
            break;
        }
        case 0x22: { // GetProperty
            double idx = rt.ToNumber(Pop(c));
            Value t = Pop(c);
            ClipId clip = (t.IsString() && t.AsString().empty()) ? c.target : ClipOf(rt, c, t);
            Object* o = rt.ClipObject(clip);
            int i = std::isnan(idx) ? -1 : ToClampedInt(idx); // NaN names no property
            if (o && i >= 0 && i < static_cast<int>(ClipProp::Count)) {
                static const char* const names[] = {"_x",
                                                    "_y",
                                                    "_xscale",
                                                    "_yscale",
                                                    "_currentframe",
                                                    "_totalframes",
                                                    "_alpha",
                                                    "_visible",
                                                    "_width",
                                                    "_height",
                                                    "_rotation",
                                                    "_target",
                                                    "_framesloaded",
                                                    "_name",
                                                    "_droptarget",
                                                    "_url",
                                                    "_highquality",
                                                    "_focusrect",
                                                    "_soundbuftime",
                                                    "_quality",
                                                    "_xmouse",
                                                    "_ymouse"};
                Push(rt, c, rt.GetMember(o, names[i]));
            } else {
                Push(rt, c, Value::Undef());
            }
            break;
        }
        case 0x23: { // SetProperty
            Value v = Pop(c);
            double idx = rt.ToNumber(Pop(c));
            Value t = Pop(c);
            ClipId clip = (t.IsString() && t.AsString().empty()) ? c.target : ClipOf(rt, c, t);
            int i = std::isnan(idx) ? -1 : ToClampedInt(idx); // NaN names no property
            if (clip && i >= 0 && i < static_cast<int>(ClipProp::Count)) {
                ClipProp p = static_cast<ClipProp>(i);
                bool text = p == ClipProp::Name || p == ClipProp::Target ||
                            p == ClipProp::DropTarget || p == ClipProp::Url ||
                            p == ClipProp::Quality;
                if (p == ClipProp::FocusRect)
                    rt.SetClipProp(clip, p, v);
                else if (text)
                    rt.host().SetProperty(clip, p, 0, rt.ToString(v));
                else
                    rt.host().SetProperty(clip, p,
                                          p == ClipProp::Visible ? (rt.ToBoolean(v) ? 1 : 0)
                                                                 : rt.ToNumber(v),
                                          std::string());
            }
            break;
        }
        case 0x24: { // CloneSprite
            double depth = rt.ToNumber(Pop(c));
            std::string target = rt.ToString(Pop(c));
            Value source = Pop(c);
            ClipId src = ClipOf(rt, c, source);
            if (src && !std::isnan(depth))
                rt.host().Duplicate(src, target, ToClampedInt(std::trunc(depth) - 16384));
            break;
        }
        case 0x25: { // RemoveSprite
            ClipId clip = ClipOf(rt, c, Pop(c));
            if (clip)
                rt.host().Remove(clip);
            break;
        }
        case 0x27: { // StartDrag
            Value t = Pop(c);
            bool lock = rt.ToBoolean(Pop(c));
            bool constrain = rt.ToBoolean(Pop(c));
            double y2 = 0, x2 = 0, y1 = 0, x1 = 0;
            if (constrain) {
                y2 = rt.ToNumber(Pop(c));
                x2 = rt.ToNumber(Pop(c));
                y1 = rt.ToNumber(Pop(c));
                x1 = rt.ToNumber(Pop(c));
            }
            ClipId clip = ClipOf(rt, c, t);
            if (clip)
                rt.host().StartDrag(clip, lock, constrain, x1, y1, x2, y2);
            break;
        }
        case 0x28:
            rt.host().StopDrag();
            break;

        // ---- stack and arithmetic
        case 0x96: { // Push
            while (r.more()) {
                bool ok = true;
                Value v = ReadPushValue(rt, c, r, ok);
                if (!ok || !r.ok())
                    break;
                Push(rt, c, std::move(v));
            }
            break;
        }
        case 0x17:
            Pop(c);
            break;
        case 0x4C: {
            Value v = c.stack.empty() ? Value::Undef() : c.stack.back();
            Push(rt, c, v);
            break;
        }
        case 0x4D: {
            Value a = Pop(c);
            Value b = Pop(c);
            Push(rt, c, a);
            Push(rt, c, b);
            break;
        }
        case 0x0A: // Add
        case 0x0B: // Subtract
        case 0x0C: // Multiply
        case 0x0D: // Divide
        {
            Value bv = Pop(c);
            double a = rt.ToNumber(Pop(c));
            double b = rt.ToNumber(bv);
            double res = 0;
            if (op == 0x0A)
                res = a + b;
            else if (op == 0x0B)
                res = a - b;
            else if (op == 0x0C)
                res = a * b;
            else {
                if (b == 0 && ver < 5) {
                    Push(rt, c, Value::Str("#ERROR#"));
                    break;
                }
                res = a / b;
            }
            Push(rt, c, Value::Num(res));
            break;
        }
        case 0x3F: { // Modulo
            Value bv = Pop(c);
            double a = rt.ToNumber(Pop(c));
            double b = rt.ToNumber(bv);
            Push(rt, c, Value::Num(std::fmod(a, b)));
            break;
        }
        case 0x0E: { // Equals (numbers); the right operand converts first
            double b = rt.ToNumber(Pop(c));
            double a = rt.ToNumber(Pop(c));
            Push(rt, c, Flag(rt, a == b));
            break;
        }
        case 0x0F: { // Less (numbers)
            Value bv = Pop(c);
            double a = rt.ToNumber(Pop(c));
            double b = rt.ToNumber(bv);
            Push(rt, c, Flag(rt, a < b));
            break;
        }
        case 0x10: { // And
            Value bv = Pop(c);
            bool a = rt.ToBoolean(Pop(c));
            bool b = rt.ToBoolean(bv);
            Push(rt, c, Flag(rt, a && b));
            break;
        }
        case 0x11: { // Or
            Value bv = Pop(c);
            bool a = rt.ToBoolean(Pop(c));
            bool b = rt.ToBoolean(bv);
            Push(rt, c, Flag(rt, a || b));
            break;
        }
        case 0x12: // Not
            Push(rt, c, Flag(rt, !rt.ToBoolean(Pop(c))));
            break;
        case 0x13: { // StringEquals
            Value bv = Pop(c);
            std::string a = rt.ToString(Pop(c));
            std::string b = rt.ToString(bv);
            Push(rt, c, Flag(rt, a == b));
            break;
        }
        case 0x29: // StringLess
        case 0x68: // StringGreater
        {
            Value bv = Pop(c);
            std::u16string a = Units(rt, Pop(c));
            std::u16string b = Units(rt, bv);
            Push(rt, c, Flag(rt, op == 0x29 ? a < b : a > b));
            break;
        }
        case 0x14: // StringLength
        case 0x31: // MBStringLength
            Push(rt, c, Value::Num(static_cast<double>(Units(rt, Pop(c)).size())));
            break;
        case 0x15: // StringExtract
        case 0x35: // MBStringExtract
        {
            double count = rt.ToNumber(Pop(c));
            double index = rt.ToNumber(Pop(c));
            Value s = Pop(c);
            Push(rt, c, Value::Str(Extract(rt, s, index, count)));
            break;
        }
        case 0x21: { // StringAdd
            Value bv = Pop(c);
            std::string a = rt.ToString(Pop(c));
            std::string b = rt.ToString(bv);
            a += b;
            rt.CheckString(a);
            Push(rt, c, Value::Str(std::move(a)));
            break;
        }
        case 0x18: // ToInteger
            Push(rt, c, Value::Num(ToInt32(rt.ToNumber(Pop(c)))));
            break;
        case 0x32: // CharToAscii
        case 0x36: // MBCharToAscii
        {
            // A character beyond the basic plane reads as the replacement.
            std::u16string s = Units(rt, Pop(c));
            const bool surrogate = !s.empty() && s[0] >= 0xD800 && s[0] <= 0xDFFF;
            Push(rt, c, s.empty() ? Value::Num(0) : Value::Num(surrogate ? 0xFFFD : s[0]));
            break;
        }
        case 0x33: // AsciiToChar
        case 0x37: // MBAsciiToChar
        {
            double d = rt.ToNumber(Pop(c));
            uint32_t u = ToUint32(d) & 0xFFFF;
            if (u >= 0xD800 && u <= 0xDFFF)
                u = 0xFFFD; // a lone surrogate is no text
            Push(rt, c, Value::Str(u == 0 ? std::string() : CodeUnitToUtf8(u)));
            break;
        }
        case 0x30: { // RandomNumber
            double max = rt.ToNumber(Pop(c));
            rt.randomState ^= rt.randomState << 13;
            rt.randomState ^= rt.randomState >> 17;
            rt.randomState ^= rt.randomState << 5;
            int32_t m = ToInt32(max);
            Push(rt, c,
                 Value::Num(m > 0 ? static_cast<double>(rt.randomState % static_cast<uint32_t>(m))
                                  : 0));
            break;
        }
        case 0x34: // GetTime
            Push(rt, c, Value::Num(std::floor(rt.host().TimeMs())));
            break;
        case 0x26: { // Trace
            Value v = Pop(c);
            rt.host().Trace(v.IsUndefined() ? "undefined" : rt.ToString(v));
            break;
        }
        case 0x47: { // Add2
            Value b = Pop(c);
            Value a = Pop(c);
            Push(rt, c, rt.Add2(a, b));
            break;
        }
        case 0x48: // Less2
        case 0x67: // Greater
        {
            Value b = Pop(c);
            Value a = Pop(c);
            int res = op == 0x48 ? rt.AbstractLess(a, b) : rt.AbstractLess(b, a);
            Push(rt, c, res < 0 ? Value::Undef() : Value::Bool(res == 1));
            break;
        }
        case 0x49: { // Equals2
            Value b = Pop(c);
            Value a = Pop(c);
            Push(rt, c, Value::Bool(rt.AbstractEquals(a, b)));
            break;
        }
        case 0x66: { // StrictEquals
            Value b = Pop(c);
            Value a = Pop(c);
            bool eq = false;
            if (a.type() == b.type()) {
                switch (a.type()) {
                case Type::Undefined:
                case Type::Null:
                    eq = true;
                    break;
                case Type::Boolean:
                    eq = a.AsBool() == b.AsBool();
                    break;
                case Type::Number:
                    // NaN equals itself here, unlike in the language it came from.
                    eq = a.AsNumber() == b.AsNumber() ||
                         (std::isnan(a.AsNumber()) && std::isnan(b.AsNumber()));
                    break;
                case Type::String:
                    eq = a.AsString() == b.AsString();
                    break;
                case Type::Object:
                    eq = a.AsObject() == b.AsObject();
                    break;
                }
            }
            Push(rt, c, Value::Bool(eq));
            break;
        }
        case 0x4A: // ToNumber
            Push(rt, c, Value::Num(rt.ToNumber(Pop(c))));
            break;
        case 0x4B: // ToString
            Push(rt, c, Value::Str(rt.ToString(Pop(c))));
            break;
        case 0x44: // TypeOf
            Push(rt, c, Value::Str(rt.TypeOf(Pop(c))));
            break;
        case 0x50: // Increment
            Push(rt, c, Value::Num(rt.ToNumber(Pop(c)) + 1));
            break;
        case 0x51: // Decrement
            Push(rt, c, Value::Num(rt.ToNumber(Pop(c)) - 1));
            break;
        case 0x60:
        case 0x61:
        case 0x62:
        case 0x63:
        case 0x64:
        case 0x65: {
            Value bv = Pop(c);
            double a = rt.ToNumber(Pop(c));
            double b = rt.ToNumber(bv);
            int32_t x = ToInt32(a);
            int32_t y = ToInt32(b);
            double res = 0;
            switch (op) {
            case 0x60:
                res = x & y;
                break;
            case 0x61:
                res = x | y;
                break;
            case 0x62:
                res = x ^ y;
                break;
            case 0x63:
                res = static_cast<int32_t>(static_cast<uint32_t>(x) << (y & 31));
                break;
            case 0x64:
                res = x >> (y & 31);
                break;
            default:
                // Older players keep the result as a signed 32-bit integer.
                if (ver < 10)
                    res = static_cast<int32_t>(static_cast<uint32_t>(x) >> (y & 31));
                else
                    res = static_cast<uint32_t>(x) >> (y & 31);
                break;
            }
            Push(rt, c, Value::Num(res));
            break;
        }

        // ---- registers and constants
        case 0x87: { // StoreRegister
            uint8_t i = r.U8();
            if (r.ok() && i < c.regs.size())
                c.regs[i] = c.stack.empty() ? Value::Undef() : c.stack.back();
            break;
        }
        case 0x88: { // ConstantPool
            uint16_t n = r.U16();
            auto pool = std::make_shared<std::vector<std::string>>();
            pool->reserve(n);
            for (uint16_t k = 0; k < n && r.more(); ++k)
                pool->push_back(r.Str());
            c.pool = pool;
            break;
        }

        // ---- variables
        case 0x1C: { // GetVariable
            std::string name = rt.ToString(Pop(c));
            Push(rt, c, GetVariable(rt, c, name));
            break;
        }
        case 0x1D: { // SetVariable
            Value v = Pop(c);
            std::string name = rt.ToString(Pop(c));
            SetVariable(rt, c, name, v);
            break;
        }
        case 0x3C: { // DefineLocal
            Value v = Pop(c);
            std::string name = rt.ToString(Pop(c));
            DefineLocal(rt, c, name, v);
            break;
        }
        case 0x41: { // DefineLocal2
            std::string name = rt.ToString(Pop(c));
            if (HasPathChars(name, false)) {
                size_t sep = name.find_last_of(":/");
                Object* t = sep == 0 ? rt.ClipObject(rt.host().Root())
                                     : rt.ResolveTarget(name.substr(0, sep), c.target);
                std::string var = name.substr(sep + 1);
                if (t && !rt.HasProperty(t, var))
                    rt.SetMember(t, var, Value::Undef());
            } else if (c.activation) {
                if (!c.activation->Find(name))
                    c.activation->Put(name, Value::Undef());
            } else {
                Object* t = TargetObject(rt, c);
                if (!rt.HasProperty(t, name))
                    rt.SetMember(t, name, Value::Undef());
            }
            break;
        }
        case 0x3A: { // Delete
            std::string name = rt.ToString(Pop(c));
            Value target = Pop(c);
            Push(rt, c, Value::Bool(rt.DeleteMember(target.AsObject(), name)));
            break;
        }
        case 0x3B: { // Delete2
            std::string name = rt.ToString(Pop(c));
            bool done = false;
            for (Scope* s = c.scope.get(); s && !done; s = s->parent.get()) {
                Object* o = ScopeObject(rt, c, s);
                if (o && o->Find(name)) {
                    done = true;
                    Push(rt, c, Value::Bool(rt.DeleteMember(o, name)));
                }
            }
            if (!done)
                Push(rt, c, Value::Bool(false));
            break;
        }
        case 0x4E: { // GetMember
            Value nameV = Pop(c);
            Value obj = Pop(c);
            Push(rt, c, rt.GetMember(obj, rt.ToString(nameV)));
            break;
        }
        case 0x4F: { // SetMember
            Value v = Pop(c);
            Value nameV = Pop(c);
            Value obj = Pop(c);
            if (Object* o = obj.AsObject())
                rt.SetMember(o, rt.ToString(nameV), v);
            break;
        }
        case 0x45: { // TargetPath
            Value v = Pop(c);
            Object* o = v.AsObject();
            if (o && o->kind == ObjKind::Clip && o->clip)
                Push(rt, c, Value::Str(rt.ClipPath(o->clip, false)));
            else
                Push(rt, c, Value::Undef());
            break;
        }
        case 0x46:   // Enumerate
        case 0x55: { // Enumerate2
            Value v = Pop(c);
            Object* o = op == 0x46 ? GetVariable(rt, c, rt.ToString(v)).AsObject() : v.AsObject();
            Push(rt, c, Value::Undef());
            if (o) {
                std::vector<std::string> names = rt.EnumerableNames(o);
                for (auto it = names.rbegin(); it != names.rend(); ++it)
                    Push(rt, c, Value::Str(*it));
            }
            break;
        }

        // ---- objects and calls
        case 0x3D: { // CallFunction
            Value nameV = Pop(c);
            Args args = PopArgs(rt, c);
            std::string name = rt.ToString(nameV);
            // `this` of a plain call is the scope object the name was found on.
            Object* holder = nullptr;
            Value fn = HasPathChars(name, rt.version() >= 5) ? GetVariable(rt, c, name)
                                                             : LookupPlain(rt, c, name, &holder);
            if (Object* fo = fn.AsObject(); fo && fo->kind == ObjKind::Super) {
                Push(rt, c, DoCallMethod(rt, c, fn, Value::Undef(), args));
                break;
            }
            // ...when that is a function's locals or a clip; otherwise the caller's.
            bool ownThis =
                holder && (holder->kind == ObjKind::Activation || holder->kind == ObjKind::Clip);
            Value thisv = ownThis ? Value::Obj(holder) : c.thisObj;
            Push(rt, c, rt.Call(fn, thisv, args));
            break;
        }
        case 0x52: { // CallMethod
            Value nameV = Pop(c);
            Value obj = Pop(c);
            Args args = PopArgs(rt, c);
            Push(rt, c, DoCallMethod(rt, c, obj, nameV, args));
            break;
        }
        case 0x40: { // NewObject
            std::string name = rt.ToString(Pop(c));
            Args args = PopArgs(rt, c);
            Value ctor = GetVariable(rt, c, name);
            Push(rt, c, rt.Construct(ctor, args));
            break;
        }
        case 0x53: { // NewMethod
            Value nameV = Pop(c);
            Value obj = Pop(c);
            Args args = PopArgs(rt, c);
            std::string name = nameV.IsUndefined() ? std::string() : rt.ToString(nameV);
            Value ctor = name.empty() ? obj : rt.GetMember(obj, name);
            Push(rt, c, rt.Construct(ctor, args));
            break;
        }
        case 0x42: { // InitArray
            double n = rt.ToNumber(Pop(c));
            std::vector<Value> vals;
            if (n > 0) {
                size_t count = n > static_cast<double>(c.stack.size()) ? c.stack.size()
                                                                       : static_cast<size_t>(n);
                for (size_t k = 0; k < count; ++k)
                    vals.push_back(Pop(c));
            }
            Push(rt, c, Value::Obj(rt.MakeArray(vals)));
            break;
        }
        case 0x43: { // InitObject
            double n = rt.ToNumber(Pop(c));
            Object* o = rt.NewPlain();
            if (n > 0) {
                size_t count = n > static_cast<double>(c.stack.size() / 2) ? c.stack.size() / 2
                                                                           : static_cast<size_t>(n);
                std::vector<std::pair<std::string, Value>> pairs;
                for (size_t k = 0; k < count; ++k) {
                    Value v = Pop(c);
                    std::string name = rt.ToString(Pop(c));
                    pairs.emplace_back(std::move(name), std::move(v));
                }
                // Set in the order popped (last pair first), as the player
                // does: for..in then lists them in source order.
                for (auto& p : pairs)
                    rt.SetMember(o, p.first, p.second);
            }
            Push(rt, c, Value::Obj(o));
            break;
        }
        case 0x54: { // InstanceOf
            Value ctor = Pop(c);
            Value obj = Pop(c);
            Object* o = obj.AsObject();
            bool res = false;
            if (o)
                res = rt.InstanceOf(o, ctor.AsObject());
            else if (!obj.IsNullish() && ctor.AsObject()) {
                // Primitives are instances of nothing.
                res = false;
            }
            Push(rt, c, Value::Bool(res));
            break;
        }
        case 0x2B: { // CastOp
            Value obj = Pop(c);
            Value ctor = Pop(c);
            Object* o = obj.AsObject();
            Push(rt, c, (o && rt.InstanceOf(o, ctor.AsObject())) ? obj : Value::Null());
            break;
        }
        case 0x2C: { // ImplementsOp
            Value ctor = Pop(c);
            double n = rt.ToNumber(Pop(c));
            std::vector<Object*> ifaces;
            if (n > 0) {
                size_t count = n > static_cast<double>(c.stack.size()) ? c.stack.size()
                                                                       : static_cast<size_t>(n);
                for (size_t k = 0; k < count; ++k)
                    if (Object* i = Pop(c).AsObject())
                        ifaces.push_back(i);
            }
            if (Object* co = ctor.AsObject())
                if (Object* proto = rt.GetMember(co, "prototype").AsObject())
                    proto->interfaces = ifaces;
            break;
        }
        case 0x69: { // Extends
            Value super = Pop(c);
            Value sub = Pop(c);
            Object* so = super.AsObject();
            Object* sb = sub.AsObject();
            if (so && sb) {
                Object* proto = rt.NewObject(rt.GetMember(so, "prototype").AsObject());
                proto->Put("__constructor__", super, kDontEnum);
                if (ver <= 5)
                    proto->Put("constructor", super, kDontEnum);
                rt.SetMember(sb, "prototype", Value::Obj(proto));
            }
            break;
        }
        case 0x3E: // Return
            c.returnValue = Pop(c);
            return Result{Exit::Return, 0};
        case 0x2A: // Throw
            throw ScriptThrow{Pop(c)};

        case 0x9B:   // DefineFunction
        case 0x8E: { // DefineFunction2
            auto fc = std::make_shared<FunctionCode>();
            fc->bytes = c.bytes;
            fc->name = r.Str();
            uint16_t nparams = r.U16();
            if (op == 0x8E) {
                fc->v2 = true;
                fc->regCount = r.U8();
                fc->flags = r.U16();
                for (uint16_t k = 0; k < nparams && r.ok(); ++k) {
                    fc->paramRegs.push_back(r.U8());
                    fc->params.push_back(r.Str());
                }
            } else {
                for (uint16_t k = 0; k < nparams && r.ok(); ++k)
                    fc->params.push_back(r.Str());
            }
            uint16_t size = r.U16();
            if (!r.ok() || next + size > end)
                return Result{}; // a body past the block: stop here
            fc->start = next;
            fc->end = next + size;
            jumpTo = next + size;
            std::string name = fc->name;
            Object* f = NewFunction(rt, c, std::move(fc));
            if (name.empty())
                Push(rt, c, Value::Obj(f));
            else
                DefineLocal(rt, c, name, Value::Obj(f));
            break;
        }
        case 0x94: { // With
            uint16_t size = r.U16();
            if (!r.ok() || next + size > end)
                return Result{};
            Value v = Pop(c);
            Object* o = rt.ToObject(v);
            if (!o) {
                jumpTo = next + size; // with(undefined/null) skips its body
                break;
            }
            int depth = 0;
            for (Scope* s = c.scope.get(); s; s = s->parent.get())
                ++depth;
            if (depth >= rt.limits.scopeDepth)
                throw ScriptAbort{"scope too deep"};
            Result res;
            {
                ScopeRestore restore{c, c.scope};
                auto s = std::make_shared<Scope>();
                s->obj = o;
                s->parent = c.scope;
                c.scope = s;
                res = Run(rt, c, next, next + size);
            }
            if (res.exit == Exit::Return)
                return res;
            jumpTo = next + size;
            if (res.exit == Exit::JumpOut) {
                if (res.target < start || res.target > end)
                    return res;
                jumpTo = res.target;
            }
            break;
        }
        case 0x8F: { // Try
            uint8_t flags = r.U8();
            uint16_t trySize = r.U16();
            uint16_t catchSize = r.U16();
            uint16_t finSize = r.U16();
            bool catchInReg = (flags & 4) != 0;
            std::string catchName;
            uint8_t catchReg = 0;
            if (catchInReg)
                catchReg = r.U8();
            else
                catchName = r.Str();
            size_t tryStart = next;
            size_t catchStart = tryStart + trySize;
            size_t finStart = catchStart + catchSize;
            size_t after = finStart + finSize;
            if (!r.ok() || after > end)
                return Result{};
            bool hasCatch = (flags & 1) != 0;
            bool hasFinally = (flags & 2) != 0;
            Result res;
            bool pending = false;
            Value thrown;
            size_t stackDepth = c.stack.size();
            try {
                res = Run(rt, c, tryStart, catchStart);
            } catch (ScriptThrow& t) {
                if (c.stack.size() > stackDepth)
                    c.stack.resize(stackDepth);
                if (hasCatch) {
                    if (catchInReg) {
                        if (catchReg < c.regs.size())
                            c.regs[catchReg] = t.value;
                    } else {
                        DefineLocal(rt, c, catchName, t.value);
                    }
                    try {
                        res = Run(rt, c, catchStart, finStart);
                    } catch (ScriptThrow& t2) {
                        if (!hasFinally)
                            throw;
                        pending = true;
                        thrown = t2.value;
                        res = Result{};
                    }
                } else {
                    pending = true;
                    thrown = t.value;
                    res = Result{};
                }
            }
            if (res.exit == Exit::JumpOut && res.target >= catchStart && res.target <= after)
                res = Result{};
            if (hasFinally) {
                Value savedReturn = c.returnValue;
                Result f = Run(rt, c, finStart, after);
                if (f.exit != Exit::End) {
                    pending = false;
                    res = f;
                } else {
                    c.returnValue = savedReturn;
                }
            }
            if (pending)
                throw ScriptThrow{thrown};
            if (res.exit == Exit::Return)
                return res;
            jumpTo = after;
            if (res.exit == Exit::JumpOut) {
                if (res.target < start || res.target > end)
                    return res;
                jumpTo = res.target;
            }
            break;
        }

        // ---- branches
        case 0x99:   // Jump
        case 0x9D: { // If
            int16_t off = static_cast<int16_t>(r.U16());
            if (!r.ok())
                return Result{};
            bool take = true;
            if (op == 0x9D)
                take = rt.ToBoolean(Pop(c));
            if (take) {
                long long t = static_cast<long long>(next) + off;
                if (t < static_cast<long long>(start) || t > static_cast<long long>(end))
                    return Result{Exit::JumpOut,
                                  t < 0 ? static_cast<size_t>(-1) : static_cast<size_t>(t)};
                jumpTo = static_cast<size_t>(t);
            }
            break;
        }
        default:
            // Unknown actions are skipped by their length.
            break;
        }
        pc = jumpTo;
    }
    return Result{};
}

Value Interpreter::Invoke(Runtime& rt, Object* fn, const Value& thisv, Args& args,
                          Object* homeProto) {
    std::shared_ptr<FunctionCode> code = fn->code;
    // The caller is known while the arguments are made and the body runs.
    struct Running {
        Running(Runtime& r, Object* f) : rt(r), saved(r.runningFunction) {
            r.runningFunction = f;
        }
        ~Running() { rt.runningFunction = saved; }
        Runtime& rt;
        Object* saved;
    };
    Object* const caller = rt.runningFunction;
    Running running(rt, fn);
    Context c;
    c.bytes = code->bytes;
    c.pool = code->pool;
    Object* act = rt.NewObject(nullptr);
    act->kind = ObjKind::Activation;
    auto scope = std::make_shared<Scope>();
    scope->obj = act;
    scope->parent = fn->scope ? fn->scope : rt.GlobalScope();
    c.scope = scope;
    c.activation = act;
    c.thisObj = thisv;
    c.target = code->target;
    c.originalTarget = code->target;
    c.callee = fn;
    c.homeProto = homeProto;
    // From version 6 actions in a function work on the timeline it was
    // defined on (unless that is gone); before, on the clip it was called on.
    if (rt.version() <= 5 || (!rt.host().Parent(c.target) && c.target != rt.host().Root())) {
        if (Object* t = thisv.AsObject(); t && t->kind == ObjKind::Clip && t->clip) {
            c.target = t->clip;
            c.originalTarget = t->clip;
        }
    }
    if (rt.version() <= 5) {
        // Without closures the chain is the clip the function runs on.
        if (Object* base = rt.ClipObject(c.target)) {
            auto b = std::make_shared<Scope>();
            b->obj = base;
            b->base = true;
            b->parent = rt.GlobalScope();
            scope->parent = b;
        }
    }
    if (!code->v2) {
        c.regs.resize(4);
        act->Put("this", thisv);
        act->Put("arguments", Value::Obj(MakeArguments(rt, args, fn, caller)));
        if (homeProto)
            act->Put("super", Value::Obj(MakeSuper(rt, thisv, homeProto)));
        for (size_t i = 0; i < code->params.size(); ++i)
            act->Put(code->params[i], i < args.size() ? args[i] : Value::Undef());
    } else {
        c.regs.resize(code->regCount > 0 ? code->regCount : 1);
        uint16_t f = code->flags;
        size_t reg = 1;
        auto put = [&](Value v) {
            if (reg < c.regs.size())
                c.regs[reg] = std::move(v);
            ++reg;
        };
        if (f & 0x01)
            put(thisv);
        else if (!(f & 0x02))
            act->Put("this", thisv);
        if (f & 0x04)
            put(Value::Obj(MakeArguments(rt, args, fn, caller)));
        else if (!(f & 0x08))
            act->Put("arguments", Value::Obj(MakeArguments(rt, args, fn, caller)));
        if (f & 0x10)
            put(Value::Obj(MakeSuper(rt, thisv, homeProto)));
        else if (!(f & 0x20))
            act->Put("super", Value::Obj(MakeSuper(rt, thisv, homeProto)));
        if (f & 0x40)
            put(Value::Obj(rt.ClipObject(rt.host().Root())));
        if (f & 0x80) {
            // No parent takes no register: the next preload moves up.
            ClipId t = c.target ? rt.host().Parent(c.target) : 0;
            if (t)
                put(Value::Obj(rt.ClipObject(t)));
        }
        if (f & 0x100)
            put(Value::Obj(rt.global));
        for (size_t i = 0; i < code->params.size(); ++i) {
            Value v = i < args.size() ? args[i] : Value::Undef();
            uint8_t pr = code->paramRegs[i];
            if (pr != 0 && pr < c.regs.size())
                c.regs[pr] = v;
            else
                act->Put(code->params[i], v);
        }
    }
    Result res = Run(rt, c, code->start, code->end);
    return res.exit == Exit::Return ? c.returnValue : Value::Undef();
}

} // namespace zembra::avm1
