// TextSnapshot: the characters of a clip's static texts as they were when
// the snapshot was taken, to read and search. Selection of static text is
// not drawn, so the selection methods answer as for nothing selected.
#include <algorithm>
#include <cmath>
#include <functional>

#include "avm1/uBuiltinUtil.h"
#include "text/uUtf16.h"

namespace zembra::avm1 {

namespace {

constexpr int kSnapshotTag = 0x5453;

// The snapshot's lines as the object keeps them: one string each.
struct Snapshot {
    std::u16string text;
    std::vector<bool> lineStart; // per character: the first of a line
};

Snapshot Read(Object* o) {
    Snapshot s;
    if (!o || o->nativeTag != kSnapshotTag)
        return s;
    for (const Value& line : o->extra) {
        const std::u16string l = text::ToUtf16(line.AsString());
        for (size_t i = 0; i < l.size(); ++i)
            s.lineStart.push_back(i == 0 && !s.text.empty());
        s.text += l;
    }
    return s;
}

// An index argument: whole numbers toward zero, NaN as 0, held to int range.
double Index(Runtime& rt, const Value& v) {
    const double d = rt.ToNumber(v);
    if (std::isnan(d))
        return 0;
    return std::trunc(std::max(-2147483648.0, std::min(d, 2147483647.0)));
}

void Take(Runtime& rt, Object* o, ClipId clip) {
    o->nativeTag = kSnapshotTag;
    o->extra.clear();
    if (!clip)
        return;
    size_t total = 0;
    for (const std::u16string& line : rt.host().StaticTextLines(clip)) {
        // A snapshot holds at most what a field could.
        if (total + line.size() > (1u << 20))
            break;
        total += line.size();
        o->extra.push_back(Value::Str(text::ToUtf8(line)));
    }
}

ClipId ClipOf(const Value& v) {
    Object* o = v.AsObject();
    return o && o->kind == ObjKind::Clip ? o->clip : 0;
}

Value Ctor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (Object* o = thisv.AsObject())
        Take(rt, o, ClipOf(Arg(args, 0)));
    return thisv;
}

Value GetCount(Runtime&, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || o->nativeTag != kSnapshotTag || !args.empty())
        return Value::Undef();
    return Value::Num(static_cast<double>(Read(o).text.size()));
}

// getText(from, to[, lineEndings]): at least one character from `from`
// (held inside the text), up to `to`; "\n" where a new line starts.
Value GetText(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || o->nativeTag != kSnapshotTag || args.size() < 2 || args.size() > 3)
        return Value::Undef();
    const double from = Index(rt, args[0]), to = Index(rt, args[1]);
    const bool endings = args.size() > 2 && rt.ToBoolean(args[2]);
    const Snapshot s = Read(o);
    if (s.text.empty())
        return Value::Undef();
    const double count = static_cast<double>(s.text.size());
    const size_t b = static_cast<size_t>(std::max(0.0, std::min(from, count - 1)));
    const size_t e = static_cast<size_t>(std::max(static_cast<double>(b) + 1, std::min(to, count)));
    std::u16string out;
    for (size_t i = b; i < e; ++i) {
        if (endings && i > b && s.lineStart[i])
            out += u'\n';
        out += s.text[i];
    }
    return Value::Str(text::ToUtf8(out));
}

char16_t Fold(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

// findText(from, text, caseSensitive): the first index at or after `from`.
Value FindText(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || o->nativeTag != kSnapshotTag || args.size() != 3)
        return Value::Undef();
    const double from = Index(rt, args[0]);
    const std::u16string needle = text::ToUtf16(rt.ToString(args[1]));
    const bool exact = rt.ToBoolean(args[2]);
    const Snapshot s = Read(o);
    if (needle.empty() || from < 0 || from >= static_cast<double>(s.text.size()))
        return Value::Num(-1);
    std::u16string hay = s.text, pattern = needle;
    if (!exact) {
        for (char16_t& c : hay)
            c = Fold(c);
        for (char16_t& c : pattern)
            c = Fold(c);
    }
    // A skip-table search: long texts and patterns stay near linear.
    const auto begin = hay.begin() + static_cast<std::ptrdiff_t>(from);
    const auto at = std::search(begin, hay.end(),
                                std::boyer_moore_horspool_searcher(pattern.begin(), pattern.end()));
    return Value::Num(at == hay.end() ? -1 : static_cast<double>(at - hay.begin()));
}

Value False(Runtime&, Object*, const Value&, Args&) {
    return Value::Bool(false);
}
Value Empty(Runtime&, Object*, const Value&, Args&) {
    return Value::Str("");
}
Value Nothing(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}
Value NoHit(Runtime&, Object*, const Value&, Args&) {
    return Value::Num(-1);
}

Value ClipSnapshot(Runtime& rt, Object*, const Value& thisv, Args&) {
    ClipId clip = ClipOf(thisv);
    if (!clip)
        return Value::Undef();
    Object* ctor = rt.GetMember(rt.global, "TextSnapshot").AsObject();
    Object* proto = ctor ? rt.GetMember(ctor, "prototype").AsObject() : nullptr;
    Object* o = rt.NewObject(proto ? proto : rt.objectProto);
    Take(rt, o, clip);
    return Value::Obj(o);
}

} // namespace

void InstallTextSnapshot(Runtime& rt) {
    Object* proto = rt.NewPlain();
    DefClass(rt, "TextSnapshot", Ctor, Ctor, proto);
    // Enumerable, and only for movies of version 6 on; added in reverse of
    // the order for..in lists them.
    const std::pair<const char*, NativeFn> methods[] = {
        {"getCount", GetCount}, {"setSelected", Nothing},    {"getSelected", False},
        {"getText", GetText},   {"getSelectedText", Empty},  {"hitTestTextNearPos", NoHit},
        {"findText", FindText}, {"setSelectColor", Nothing}, {"getTextRunInfo", Nothing}};
    for (const auto& [name, fn] : methods)
        proto->Put(name, Value::Obj(rt.NewNative(fn)), kVersion6);
    if (rt.clipProto)
        Def(rt, rt.clipProto, "getTextSnapshot", ClipSnapshot);
}

} // namespace zembra::avm1
