// TextField.StyleSheet: named styles kept as scripts gave them (_css) and
// as text formats (_styles, made by the overridable transform), CSS text
// read into styles all or nothing.
#include <cmath>

#include "avm1/uBuiltinUtil.h"
#include "text/uUtf16.h"

namespace zembra::avm1 {

namespace {

constexpr size_t kMaxCssSelectors = 4096;
// Properties over all styles read (each selector of a list holds its own).
constexpr size_t kMaxCssProperties = 65536;

bool IsWhite(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string TrimLeft(const std::u16string& s) {
    size_t i = 0;
    while (i < s.size() && IsWhite(s[i]))
        ++i;
    return s.substr(i);
}

std::u16string Trim(const std::u16string& s) {
    std::u16string t = TrimLeft(s);
    while (!t.empty() && IsWhite(t.back()))
        t.pop_back();
    return t;
}

// White space with more text after it.
bool HasInnerWhite(const std::u16string& s) {
    const std::u16string t = Trim(s);
    for (char16_t c : t)
        if (IsWhite(c))
            return true;
    return false;
}

// CSS property names to script names: a dash goes and the next character
// is upper-cased ("font-size" -> "fontSize").
std::u16string ScriptName(const std::u16string& css) {
    std::u16string out;
    for (size_t i = 0; i < css.size(); ++i) {
        if (css[i] == u'-' && i + 1 < css.size()) {
            char16_t c = css[++i];
            out += c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
        } else if (css[i] != u'-') {
            out += css[i];
        }
    }
    return out;
}

struct CssRule {
    std::u16string selector;
    std::vector<std::pair<std::u16string, std::u16string>> properties;
};

// Reads `selectors { name: value; ... }` blocks. False for text that is no
// style sheet; then nothing of it is used.
bool ParseCss(const std::u16string& css, std::vector<CssRule>& out) {
    const size_t n = css.size();
    size_t pos = 0;
    size_t total = 0;
    auto skipWhite = [&] {
        while (pos < n && IsWhite(css[pos]))
            ++pos;
    };
    while (true) {
        skipWhite();
        if (pos >= n)
            return true;
        const size_t selStart = pos;
        while (pos < n && css[pos] != u'{')
            ++pos;
        if (pos >= n)
            return false;
        const std::u16string selectors = css.substr(selStart, pos - selStart);
        ++pos;
        std::vector<std::pair<std::u16string, std::u16string>> props;
        while (true) {
            skipWhite();
            if (pos >= n)
                break; // a block left open at the end still counts
            if (css[pos] == u'}') {
                ++pos;
                break;
            }
            const size_t nameStart = pos;
            while (pos < n && css[pos] != u':')
                ++pos;
            if (pos >= n)
                return false;
            const std::u16string name = css.substr(nameStart, pos - nameStart);
            ++pos;
            skipWhite();
            const size_t valueStart = pos;
            while (pos < n && css[pos] != u';' && css[pos] != u'}')
                ++pos;
            if (pos >= n || HasInnerWhite(name) || props.size() >= kMaxCssProperties)
                return false;
            if (!name.empty())
                props.emplace_back(ScriptName(name), css.substr(valueStart, pos - valueStart));
            if (css[pos++] == u'}')
                break;
        }
        size_t from = 0;
        while (from <= selectors.size()) {
            size_t comma = selectors.find(u',', from);
            if (comma == std::u16string::npos)
                comma = selectors.size();
            const std::u16string sel = Trim(selectors.substr(from, comma - from));
            total += props.size();
            if (sel.empty() || HasInnerWhite(sel) || out.size() >= kMaxCssSelectors ||
                total > kMaxCssProperties)
                return false;
            out.push_back(CssRule{sel, props});
            from = comma + 1;
        }
    }
}

Object* Table(Runtime& rt, Object* sheet, const char* name) {
    Value v = rt.GetMember(sheet, name);
    if (Object* o = v.AsObject())
        return o;
    Object* o = rt.NewPlain();
    rt.SetMember(sheet, name, Value::Obj(o));
    return o;
}

// A new plain object with the enumerable properties of `from`.
Object* ShallowCopy(Runtime& rt, Object* from) {
    Object* o = rt.NewPlain();
    for (const std::string& name : rt.EnumerableNames(from))
        rt.SetMember(o, name, rt.GetMember(from, name));
    return o;
}

// Keeps a style under its name and its text format made by `transform`.
void PutStyle(Runtime& rt, Object* sheet, const std::string& name, Object* style) {
    Object* css = Table(rt, sheet, "_css");
    rt.SetMember(css, name, style ? Value::Obj(style) : Value::Null());
    Args a{style ? Value::Obj(style) : Value::Null()};
    Value format = rt.CallMethod(Value::Obj(sheet), "transform", a);
    rt.SetMember(Table(rt, sheet, "_styles"), name, format);
}

Value SetStyle(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* sheet = thisv.AsObject();
    if (!sheet)
        return Value::Undef();
    const std::string name = StrArg(rt, args, 0);
    Object* style = Arg(args, 1).AsObject();
    PutStyle(rt, sheet, name, style ? ShallowCopy(rt, style) : nullptr);
    return Value::Undef();
}

Value GetStyle(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* sheet = thisv.AsObject();
    if (!sheet)
        return Value::Undef();
    Object* css = rt.GetMember(sheet, "_css").AsObject();
    Object* style = css ? rt.GetMember(css, StrArg(rt, args, 0)).AsObject() : nullptr;
    return style ? Value::Obj(ShallowCopy(rt, style)) : Value::Null();
}

Value GetStyleNames(Runtime& rt, Object*, const Value& thisv, Args&) {
    Object* sheet = thisv.AsObject();
    Object* css = sheet ? rt.GetMember(sheet, "_css").AsObject() : nullptr;
    std::vector<Value> names;
    if (css)
        for (const std::string& n : rt.EnumerableNames(css))
            names.push_back(Value::Str(n));
    return Value::Obj(rt.MakeArray(names));
}

Value Clear(Runtime& rt, Object*, const Value& thisv, Args&) {
    if (Object* sheet = thisv.AsObject()) {
        rt.SetMember(sheet, "_css", Value::Obj(rt.NewPlain()));
        rt.SetMember(sheet, "_styles", Value::Obj(rt.NewPlain()));
    }
    return Value::Undef();
}

Value ParseCssText(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* sheet = thisv.AsObject();
    if (!sheet)
        return Value::Undef();
    std::vector<CssRule> rules;
    if (!ParseCss(text::ToUtf16(StrArg(rt, args, 0)), rules))
        return Value::Bool(false);
    for (const CssRule& r : rules) {
        Object* style = rt.NewPlain();
        for (const auto& [name, value] : r.properties)
            rt.SetMember(style, text::ToUtf8(name), Value::Str(text::ToUtf8(value)));
        PutStyle(rt, sheet, text::ToUtf8(r.selector), style);
    }
    return Value::Bool(true);
}

// ---------------------------------------------------------------- transform

double IntPrefix(Runtime& rt, const Value& v) {
    return ParseIntPrefix(rt.ToString(v), 0);
}

// transform(style): a TextFormat for a style object, null for none.
Value Transform(Runtime& rt, Object*, const Value&, Args& args) {
    const Value style = Arg(args, 0);
    if (style.IsNullish())
        return Value::Null();
    Object* ctor = rt.GetMember(rt.global, "TextFormat").AsObject();
    if (!ctor)
        return Value::Null();
    Args none;
    Object* tf = rt.Construct(Value::Obj(ctor), none).AsObject();
    if (!tf)
        return Value::Null();
    auto get = [&](const char* name) { return rt.GetMember(style, name); };
    auto set = [&](const char* name, const Value& v) { rt.SetMember(tf, name, v); };

    const Value color = get("color");
    if (color.IsString() && color.AsString().size() == 7 && color.AsString()[0] == '#')
        set("color", Value::Num(ParseIntPrefix(color.AsString().substr(1), 16)));

    const std::string display = rt.ToString(get("display"));
    set("display", Value::Str(display == "inline" || display == "none" ? display : "block"));

    const Value family = get("fontFamily");
    if (rt.ToBoolean(family)) {
        // Each name of the list without the white space before it.
        const std::u16string list = text::ToUtf16(rt.ToString(family));
        std::u16string names;
        size_t from = 0;
        while (from <= list.size()) {
            size_t comma = list.find(u',', from);
            if (comma == std::u16string::npos)
                comma = list.size();
            const std::u16string one = TrimLeft(list.substr(from, comma - from));
            if (!one.empty())
                names += (names.empty() ? u"" : u",") + one;
            from = comma + 1;
        }
        set("font", Value::Str(text::ToUtf8(names)));
    }

    const Value fontSize = get("fontSize");
    if (rt.ToBoolean(fontSize)) {
        const double size = IntPrefix(rt, fontSize);
        if (size > 0)
            set("size", Value::Num(size));
    }

    const std::string fontStyle = rt.ToString(get("fontStyle"));
    if (fontStyle == "normal" || fontStyle == "italic")
        set("italic", Value::Bool(fontStyle == "italic"));
    const std::string fontWeight = rt.ToString(get("fontWeight"));
    if (fontWeight == "normal" || fontWeight == "bold")
        set("bold", Value::Bool(fontWeight == "bold"));

    const Value kerning = get("kerning");
    bool kern = kerning.IsString() && kerning.AsString() == "true";
    if (!kern && rt.ToBoolean(kerning)) {
        const double k = IntPrefix(rt, kerning);
        kern = !std::isnan(k) && k != 0;
    }
    set("kerning", Value::Bool(kern));

    const Value leading = get("leading");
    if (rt.ToBoolean(leading)) {
        const double l = IntPrefix(rt, leading);
        set("leading", Value::Num(std::isnan(l) ? 0 : l));
    }
    const Value spacing = get("letterSpacing");
    if (rt.ToBoolean(spacing))
        set("letterSpacing", Value::Num(IntPrefix(rt, spacing)));
    const std::pair<const char*, const char*> margins[] = {{"marginLeft", "leftMargin"},
                                                           {"marginRight", "rightMargin"}};
    for (const auto& [from, to] : margins) {
        const Value m = get(from);
        if (rt.ToBoolean(m)) {
            const double d = IntPrefix(rt, m);
            set(to, Value::Num(std::isnan(d) || d < 0 ? 0 : d));
        }
    }

    std::string align = rt.ToString(get("textAlign"));
    for (char& c : align)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (align == "left" || align == "center" || align == "right" || align == "justify")
        set("align", Value::Str(align));
    const std::string decoration = rt.ToString(get("textDecoration"));
    if (decoration == "none" || decoration == "underline")
        set("underline", Value::Bool(decoration == "underline"));
    return Value::Obj(tf);
}

Value Ctor(Runtime&, Object*, const Value& thisv, Args&) {
    return thisv;
}

// Loading a sheet from a file is the movie loader's; here nothing loads.
Value Load(Runtime&, Object*, const Value&, Args&) {
    return Value::Bool(false);
}

} // namespace

void InstallStyleSheet(Runtime& rt) {
    Object* field = rt.GetMember(rt.global, "TextField").AsObject();
    if (!field)
        return;
    Object* proto = rt.NewPlain();
    Object* ctor = rt.NewNative(Ctor);
    ctor->nativeCtor = Ctor;
    ctor->Put("prototype", Value::Obj(proto), kDontEnum | kDontDelete);
    proto->Put("constructor", Value::Obj(ctor), kDontEnum);
    field->Put("StyleSheet", Value::Obj(ctor), kDontEnum);
    const std::pair<const char*, NativeFn> methods[] = {
        {"clear", Clear},       {"getStyle", GetStyle},  {"getStyleNames", GetStyleNames},
        {"load", Load},         {"parse", ParseCssText}, {"parseCSS", ParseCssText},
        {"setStyle", SetStyle}, {"transform", Transform}};
    for (const auto& [name, fn] : methods)
        proto->Put(name, Value::Obj(rt.NewNative(fn)), kDontEnum | kDontDelete | kReadOnly);
}

} // namespace zembra::avm1
