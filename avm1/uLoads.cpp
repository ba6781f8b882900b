// Files scripts load: variables into clips (loadVariables), text to LoadVars
// and XML objects, and movies or pictures into clips and levels (loadMovie,
// MovieClipLoader). Requests wait in the runtime's queue and complete at the
// end of a frame, as the player's do; the host reads the files.
#include <cstring>

#include "avm1/uBuiltinUtil.h"
#include "util/uUtf8.h"
#include "text/uHexDigit.h"

namespace zembra::avm1 {

namespace {

// Loads waiting at once; more are refused, as a failing request would be.
constexpr size_t kMaxPendingLoads = 256;

// Windows-1252 for 0x80..0x9F; the rest of the page is Latin-1.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool SystemUsesCodepage(Runtime& rt) {
    Object* sys = rt.GetMember(rt.global, "System").AsObject();
    return sys && rt.ToBoolean(rt.GetMember(sys, "useCodepage"));
}

std::string FromUtf16(const std::vector<uint8_t>& b, size_t start, bool bigEndian) {
    std::string out;
    for (size_t i = start; i + 1 < b.size(); i += 2) {
        uint32_t u = bigEndian ? (b[i] << 8 | b[i + 1]) : (b[i + 1] << 8 | b[i]);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < b.size()) {
            const uint32_t lo = bigEndian ? (b[i + 2] << 8 | b[i + 3]) : (b[i + 3] << 8 | b[i + 2]);
            if (lo >= 0xDC00 && lo < 0xE000) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            } else {
                u = 0xFFFD;
            }
        } else if (u >= 0xD800 && u < 0xE000) {
            u = 0xFFFD;
        }
        AppendUtf8(out, u);
    }
    return out;
}

// Loaded text as script strings: a byte order mark says UTF-8 or UTF-16;
// otherwise movies from version 6 on read UTF-8 and older ones (or any,
// with System.useCodepage) the system's code page, Windows-1252 here.
std::string DecodeText(Runtime& rt, const std::vector<uint8_t>& b) {
    if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE)
        return FromUtf16(b, 2, false);
    if (b.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF)
        return FromUtf16(b, 2, true);
    if (b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        return std::string(b.begin() + 3, b.end());
    if (rt.version() >= 6 && !SystemUsesCodepage(rt))
        return std::string(b.begin(), b.end());
    std::string out;
    out.reserve(b.size());
    for (uint8_t c : b) {
        if (c >= 0x80 && c < 0xA0)
            AppendUtf8(out, kCp1252High[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    const size_t n = std::strlen(prefix);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (c != prefix[i])
            return false;
    }
    return true;
}

using text::HexDigit;

std::string UrlDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() + 0 && HexDigit(s[i + 1]) >= 0 &&
            HexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i] == '+' ? ' ' : s[i];
        }
    }
    return out;
}

// "_level7" -> 7; -1 for anything else.
int LevelOf(const std::string& target) {
    if (target.size() < 7 || target.size() > 12 || !StartsWithNoCase(target, "_level"))
        return -1;
    int n = 0;
    for (size_t i = 6; i < target.size(); ++i) {
        if (target[i] < '0' || target[i] > '9')
            return -1;
        n = n * 10 + (target[i] - '0');
        if (n > 0xFFFF)
            return -1;
    }
    return n;
}

void Broadcast(Runtime& rt, Object* loader, const char* message, std::vector<Value> args) {
    if (!loader)
        return;
    args.insert(args.begin(), Value::Str(message));
    rt.CallObjectMethod(loader, "broadcastMessage", args);
}

// The target of a MovieClipLoader call: a clip, a path or a level number.
bool LoadTarget(Runtime& rt, const Value& v, ClipId& clip, int& level) {
    clip = 0;
    level = -1;
    if (Object* o = v.AsObject(); o && o->kind == ObjKind::Clip) {
        clip = o->clip;
        return clip != 0;
    }
    if (v.IsNumber()) {
        const double n = rt.ToNumber(v);
        if (!(n >= 0 && n <= 0xFFFF))
            return false;
        level = static_cast<int>(n);
        return true;
    }
    if (!v.IsString())
        return false;
    const std::string path = rt.ToString(v);
    level = LevelOf(path);
    if (level >= 0)
        return true;
    Object* o = rt.ResolveTarget(path, rt.host().Root());
    if (!o || o->kind != ObjKind::Clip || !o->clip)
        return false;
    clip = o->clip;
    return true;
}

Value TargetValue(Runtime& rt, ClipId clip, int level) {
    ClipId c = clip ? clip : rt.host().Level(level);
    Object* o = c ? rt.ClipObject(c) : nullptr;
    return o ? Value::Obj(o) : Value::Undef();
}

// ---- LoadVars and XML

Value DataLoad(Runtime& rt, Object* target, const Value& url) {
    if (!target || url.IsNullish())
        return Value::Bool(false);
    rt.SetMember(target, "loaded", Value::Bool(false));
    rt.SetMember(target, "_bytesLoaded", Value::Num(0));
    Runtime::PendingLoad load;
    load.kind = Runtime::PendingLoad::Kind::Data;
    load.obj = target;
    load.url = rt.ToString(url);
    return Value::Bool(rt.QueueLoad(std::move(load)));
}

Value ObjLoad(Runtime& rt, Object*, const Value& thisv, Args& args) {
    return DataLoad(rt, thisv.AsObject(), Arg(args, 0));
}

// sendAndLoad(url, target): nothing can be sent, the target loads the file.
Value ObjSendAndLoad(Runtime& rt, Object*, const Value&, Args& args) {
    return DataLoad(rt, Arg(args, 1).AsObject(), Arg(args, 0));
}

// unloadMovie and unloadClip: what has not arrived yet never shows (its
// loader hears only that it started), and a loaded movie waiting for its
// first frame is never reported ready.
void Unload(Runtime& rt, ClipId clip, int level) {
    for (auto& l : rt.pendingLoads)
        if (l.kind == Runtime::PendingLoad::Kind::Clip && l.clip == clip && l.level == level)
            l.cancelled = true;
    auto& inits = rt.loadInits;
    for (size_t i = 0; i < inits.size();) {
        if (inits[i].clip == clip && inits[i].level == level)
            inits.erase(inits.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    rt.host().UnloadMovie(clip, level);
}

// ---- MovieClip methods

Value ClipLoadMovie(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || o->kind != ObjKind::Clip || !o->clip || args.empty())
        return Value::Undef();
    const std::string url = StrArg(rt, args, 0);
    if (url.empty()) {
        Unload(rt, o->clip, -1);
        return Value::Undef();
    }
    Runtime::PendingLoad load;
    load.kind = Runtime::PendingLoad::Kind::Clip;
    load.clip = o->clip;
    load.url = url;
    rt.QueueLoad(std::move(load));
    return Value::Undef();
}

Value ClipUnloadMovie(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* o = thisv.AsObject();
    if (o && o->kind == ObjKind::Clip && o->clip)
        Unload(rt, o->clip, -1);
    return Value::Undef();
}

Value ClipLoadVariables(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || args.empty())
        return Value::Undef();
    Runtime::PendingLoad load;
    load.kind = Runtime::PendingLoad::Kind::Variables;
    load.obj = o;
    load.url = StrArg(rt, args, 0);
    rt.QueueLoad(std::move(load));
    return Value::Undef();
}

Value ClipBytes(Runtime& rt, Object*, const Value& thisv, Args&, bool total) {
    Object* o = thisv.AsObject();
    if (!o || o->kind != ObjKind::Clip || !o->clip)
        return Value::Undef();
    return Value::Num(total ? rt.host().BytesTotal(o->clip) : rt.host().BytesLoaded(o->clip));
}

Value ClipBytesLoaded(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    return ClipBytes(rt, self, thisv, args, false);
}

Value ClipSwfVersion(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* o = thisv.AsObject();
    if (!o || o->kind != ObjKind::Clip || !o->clip)
        return Value::Undef();
    return Value::Num(rt.host().SwfVersion(o->clip));
}

Value ClipBytesTotal(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    return ClipBytes(rt, self, thisv, args, true);
}

// ---- MovieClipLoader

Value LoaderCtor(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* bc = rt.GetMember(rt.global, "AsBroadcaster").AsObject();
    if (bc && thisv.IsObject()) {
        Args a{thisv};
        rt.CallMethod(Value::Obj(bc), "initialize", a);
        Args self{thisv};
        rt.CallMethod(thisv, "addListener", self);
    }
    return thisv;
}

Value LoaderLoadClip(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* loader = thisv.AsObject();
    if (args.size() < 2)
        return Value::Undef();
    if (!loader || !args[0].IsString())
        return Value::Bool(false);
    Runtime::PendingLoad load;
    if (!LoadTarget(rt, args[1], load.clip, load.level))
        return Value::Bool(false);
    load.kind = Runtime::PendingLoad::Kind::Clip;
    load.obj = loader;
    load.url = rt.ToString(args[0]);
    // A new load of the same target replaces the one still waiting.
    for (auto it = rt.pendingLoads.begin(); it != rt.pendingLoads.end(); ++it) {
        if (it->kind == Runtime::PendingLoad::Kind::Clip && it->clip == load.clip &&
            it->level == load.level) {
            rt.pendingLoads.erase(it);
            break;
        }
    }
    return Value::Bool(rt.QueueLoad(std::move(load)));
}

Value LoaderUnloadClip(Runtime& rt, Object*, const Value&, Args& args) {
    ClipId clip = 0;
    int level = -1;
    if (args.empty() || !LoadTarget(rt, args[0], clip, level))
        return Value::Bool(false);
    Unload(rt, clip, level);
    return Value::Bool(true);
}

// getProgress(target): a clip, a path or a level; anything else has no
// progress at all, a target that is not there has unknown counts.
Value LoaderGetProgress(Runtime& rt, Object*, const Value&, Args& args) {
    if (args.empty())
        return Value::Undef();
    const Value& v = args[0];
    ClipId clip = 0;
    if (Object* o = v.AsObject()) {
        if (o->kind != ObjKind::Clip)
            return Value::Undef();
        clip = o->clip;
    } else if (v.IsNumber()) {
        const double n = rt.ToNumber(v);
        if (n >= 0 && n < 65536)
            clip = rt.host().Level(static_cast<int>(n));
    } else if (v.IsString()) {
        const std::string path = rt.ToString(v);
        const int level = LevelOf(path);
        if (level >= 0) {
            clip = rt.host().Level(level);
        } else if (Object* o = rt.ResolveTarget(path, rt.host().Root());
                   o && o->kind == ObjKind::Clip) {
            clip = o->clip;
        }
    } else {
        return Value::Undef();
    }
    Object* r = rt.NewPlain();
    rt.SetMember(r, "bytesLoaded", clip ? Value::Num(rt.host().BytesLoaded(clip)) : Value::Undef());
    rt.SetMember(r, "bytesTotal", clip ? Value::Num(rt.host().BytesTotal(clip)) : Value::Undef());
    return Value::Obj(r);
}

// ---- Delivery

// name=value&... pairs, url-encoded, set on the object.
void SetUrlVariables(Runtime& rt, Object* obj, const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        rt.Charge();
        size_t amp = text.find('&', i);
        if (amp == std::string::npos)
            amp = text.size();
        const size_t eq = text.find('=', i);
        if (eq != std::string::npos && eq > i && eq < amp)
            rt.SetMember(obj, UrlDecode(text.substr(i, eq - i)),
                         Value::Str(UrlDecode(text.substr(eq + 1, amp - eq - 1))));
        i = amp + 1;
    }
}

void DeliverVariables(Runtime& rt, const Runtime::PendingLoad& load,
                      const std::vector<uint8_t>& bytes) {
    const std::string text = DecodeText(rt, bytes);
    rt.CheckString(text);
    SetUrlVariables(rt, load.obj, text);
    if (load.obj->kind == ObjKind::Clip && load.obj->clip) {
        Args none;
        Value fn = rt.GetMember(load.obj, "onData");
        if (fn.AsObject() && fn.AsObject()->IsFunction())
            rt.Call(fn, Value::Obj(load.obj), none);
    }
}

void DeliverData(Runtime& rt, const Runtime::PendingLoad& load, bool ok,
                 const std::vector<uint8_t>& bytes) {
    Args args{Value::Undef()};
    if (ok) {
        rt.SetMember(load.obj, "_bytesLoaded", Value::Num(static_cast<double>(bytes.size())));
        rt.SetMember(load.obj, "_bytesTotal", Value::Num(static_cast<double>(bytes.size())));
        std::string text = DecodeText(rt, bytes);
        rt.CheckString(text);
        args[0] = Value::Str(std::move(text));
    }
    rt.CallMethod(Value::Obj(load.obj), "onData", args);
}

// A clip that takes a loaded movie is a new clip to scripts: what was set
// on it is gone, references to it stay.
void ResetClipObject(Runtime& rt, ClipId clip) {
    Object* o = clip ? rt.ClipObject(clip) : nullptr;
    if (!o)
        return;
    std::vector<std::string> names;
    for (Property* p : o->OwnInOrder())
        names.push_back(p->name);
    for (const std::string& name : names)
        o->Remove(name);
    o->watches.clear();
    o->proto = rt.clipProto;
}

void DeliverClip(Runtime& rt, const Runtime::PendingLoad& load, bool ok,
                 std::vector<uint8_t> bytes) {
    double size = static_cast<double>(bytes.size());
    if (load.url.empty()) {
        rt.host().UnloadMovie(load.clip, load.level);
        return;
    }
    // A target clip removed meanwhile takes nothing, and its loader hears nothing.
    if (load.level < 0 && rt.host().KindOf(load.clip) != ClipKind::Clip)
        return;
    if (load.cancelled) {
        if (ok && load.obj)
            Broadcast(rt, load.obj, "onLoadStart", {TargetValue(rt, load.clip, load.level)});
        return;
    }
    if (ok && !rt.host().LoadMovieInto(load.clip, load.level, std::move(bytes), load.url)) {
        // A file that arrived but is no movie or picture leaves the clip empty.
        rt.host().UnloadMovie(load.clip, load.level);
        size = 0;
    }
    if (ok) {
        ResetClipObject(rt, load.clip);
        // Variables in the url's query become the loaded movie's.
        const size_t q = load.url.find('?');
        Object* o = load.clip ? rt.ClipObject(load.clip) : nullptr;
        if (o && q != std::string::npos)
            SetUrlVariables(rt, o, load.url.substr(q + 1));
    }
    if (!load.obj)
        return;
    const Value target = TargetValue(rt, load.clip, load.level);
    if (!ok) {
        Broadcast(rt, load.obj, "onLoadError", {target, Value::Str("URLNotFound")});
        return;
    }
    Broadcast(rt, load.obj, "onLoadStart", {target});
    Broadcast(rt, load.obj, "onLoadProgress", {target, Value::Num(size), Value::Num(size)});
    Broadcast(rt, load.obj, "onLoadComplete", {target, Value::Num(0)});
    // onLoadInit waits until the loaded movie's first frame has run.
    Runtime::PendingLoad init = load;
    rt.loadInits.push_back(std::move(init));
}

} // namespace

bool Runtime::QueueLoad(PendingLoad load) {
    if (pendingLoads.size() >= kMaxPendingLoads)
        return false;
    pendingLoads.push_back(std::move(load));
    return true;
}

void Runtime::DeliverLoads() {
    // Loads queued while these complete wait for the next turn; the ones
    // being delivered stay reachable for the collector meanwhile.
    if (!deliveringLoads.empty() || pendingLoads.empty())
        return;
    deliveringLoads.swap(pendingLoads);
    for (size_t i = 0; i < deliveringLoads.size(); ++i) {
        const PendingLoad load = deliveringLoads[i];
        std::vector<uint8_t> bytes;
        std::string error;
        const bool ok = !load.url.empty() && host_.ReadResource(load.url, bytes, error);
        RunGuarded([&] {
            switch (load.kind) {
            case PendingLoad::Kind::Variables:
                if (ok && load.obj)
                    DeliverVariables(*this, load, bytes);
                break;
            case PendingLoad::Kind::Data:
                if (load.obj)
                    DeliverData(*this, load, ok, bytes);
                break;
            case PendingLoad::Kind::Clip:
                DeliverClip(*this, load, ok, std::move(bytes));
                break;
            }
        });
    }
    deliveringLoads.clear();
}

void Runtime::DeliverLoadInits() {
    // The player tells them latest first.
    std::vector<PendingLoad> inits(loadInits.rbegin(), loadInits.rend());
    loadInits.clear();
    // Reachable while their handlers run.
    deliveringLoads.insert(deliveringLoads.end(), inits.begin(), inits.end());
    for (const PendingLoad& load : inits)
        RunGuarded([&] {
            Broadcast(*this, load.obj, "onLoadInit", {TargetValue(*this, load.clip, load.level)});
        });
    deliveringLoads.clear();
}

void Runtime::GetUrlAction(const std::string& url, const std::string& target, uint8_t flags,
                           ClipId base) {
    // Flags: 0x80 load variables, 0x40 the target is a clip, low bits the method.
    const bool variables = flags & 0x80;
    const bool clipTarget = flags & 0x40;
    const int level = LevelOf(target);
    if (StartsWithNoCase(url, "fscommand:")) {
        host_.GetUrl(url, target, flags & 3);
        return;
    }
    if (variables) {
        Object* obj = level >= 0 ? ClipObject(host_.Level(level)) : ResolveTarget(target, base);
        if (!obj || (level >= 0 && !host_.Level(level)))
            return;
        PendingLoad load;
        load.kind = PendingLoad::Kind::Variables;
        load.obj = obj;
        load.url = url;
        QueueLoad(std::move(load));
        return;
    }
    if (clipTarget || level >= 0) {
        PendingLoad load;
        load.kind = PendingLoad::Kind::Clip;
        load.level = level;
        if (level < 0) {
            Object* o = ResolveTarget(target, base);
            if (!o || o->kind != ObjKind::Clip || !o->clip)
                return;
            load.clip = o->clip;
        }
        if (url.empty() && load.level < 0) {
            Unload(*this, load.clip, load.level);
            return;
        }
        // A level goes at the end of the frame, as a load would come; what
        // was asked for it before never comes.
        if (url.empty()) {
            for (auto& l : pendingLoads)
                if (l.kind == PendingLoad::Kind::Clip && l.clip == 0 && l.level == load.level)
                    l.cancelled = true;
        }
        load.url = url;
        QueueLoad(std::move(load));
        return;
    }
    host_.GetUrl(url, target, flags & 3);
}

void InstallLoading(Runtime& rt) {
    Object* g = rt.global;
    if (Object* clip = rt.clipProto) {
        Def(rt, clip, "loadMovie", ClipLoadMovie);
        Def(rt, clip, "unloadMovie", ClipUnloadMovie);
        Def(rt, clip, "loadVariables", ClipLoadVariables);
        Def(rt, clip, "getBytesLoaded", ClipBytesLoaded);
        Def(rt, clip, "getBytesTotal", ClipBytesTotal);
        Def(rt, clip, "getSWFVersion", ClipSwfVersion);
    }
    for (const char* cls : {"LoadVars", "XML"}) {
        Object* ctor = rt.GetMember(g, cls).AsObject();
        Object* proto = ctor ? rt.GetMember(ctor, "prototype").AsObject() : nullptr;
        if (!proto)
            continue;
        Def(rt, proto, "load", ObjLoad);
        Def(rt, proto, "sendAndLoad", ObjSendAndLoad);
    }
    Object* proto = rt.NewPlain();
    DefClass(rt, "MovieClipLoader", LoaderCtor, LoaderCtor, proto);
    Def(rt, proto, "loadClip", LoaderLoadClip);
    Def(rt, proto, "unloadClip", LoaderUnloadClip);
    Def(rt, proto, "getProgress", LoaderGetProgress);
}

} // namespace zembra::avm1
