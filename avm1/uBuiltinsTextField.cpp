// TextField, TextFormat, MovieClip.createTextField and Selection: scripts
// read and change the host's text field models (text/) through Host.
#include "avm1/uBuiltinsTextField.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "avm1/uBuiltinUtil.h"
#include "text/uTextField.h"
#include "text/uUtf16.h"

namespace zembra::avm1 {

namespace {

// Marks plain objects made by the TextFormat constructor.
constexpr int kTextFormatTag = 0x5446;

text::TextField* Model(Runtime& rt, const Value& thisv) {
    Object* o = thisv.AsObject();
    if (!o || o->kind != ObjKind::Clip || !o->clip)
        return nullptr;
    return rt.host().TextFieldModel(o->clip);
}

ClipId FieldId(const Value& thisv) {
    Object* o = thisv.AsObject();
    return o && o->kind == ObjKind::Clip ? o->clip : 0;
}

// Script numbers to the integers formats keep: nearest, ties to even;
// what an int cannot hold reads as INT_MIN.
// Constructor arguments and setters before version 8 truncate instead.
int32_t FormatInt(double d, bool truncate = false) {
    if (!std::isfinite(d))
        return INT_MIN;
    double r = truncate ? std::trunc(d) : std::nearbyint(d);
    if (r < INT_MIN || r > INT_MAX)
        return INT_MIN;
    return static_cast<int32_t>(r);
}
int32_t MarginInt(double d, bool truncate) {
    if (std::isnan(d) || d < 0)
        return 0;
    return FormatInt(d, truncate);
}

// ---------------------------------------------------------------- TextFormat

enum FormatField {
    fFont,
    fSize,
    fColor,
    fBold,
    fItalic,
    fUnderline,
    fUrl,
    fTarget,
    fAlign,
    fLeftMargin,
    fRightMargin,
    fIndent,
    fLeading,
    fBlockIndent,
    fTabStops,
    fBullet,
    fKerning,
    fLetterSpacing,
    fCount
};

const char* const kFormatNames[fCount] = {
    "font",    "size",        "color",    "bold",       "italic",      "underline",
    "url",     "target",      "align",    "leftMargin", "rightMargin", "indent",
    "leading", "blockIndent", "tabStops", "bullet",     "kerning",     "letterSpacing"};

std::vector<Value>& Slots(Object* o) {
    if (o->extra.size() < fCount)
        o->extra.resize(fCount, Value::Null());
    return o->extra;
}

// The stored value of a field after the player's conversion.
// The constructor keeps margins below zero; the setters do not.
Value ConvertFormat(Runtime& rt, int field, const Value& v, bool fromCtor = false) {
    if (v.IsNullish())
        return field == fAlign ? Value::Undef() : Value::Null(); // align keeps its value
    switch (field) {
    case fFont: {
        // Font names are cut to 64 units.
        std::u16string name = text::ToUtf16(rt.ToString(v));
        if (name.size() > 64)
            name.resize(64);
        return Value::Str(text::ToUtf8(name));
    }
    case fUrl:
    case fTarget:
        return Value::Str(rt.ToString(v));
    case fBold:
    case fItalic:
    case fUnderline:
    case fBullet:
    case fKerning:
        return Value::Bool(rt.ToBoolean(v));
    case fColor:
        return Value::Num(ToUint32(rt.ToNumber(v)));
    case fLeftMargin:
    case fRightMargin:
        if (fromCtor)
            return Value::Num(FormatInt(rt.ToNumber(v), true));
        return Value::Num(MarginInt(rt.ToNumber(v), rt.version() < 8));
    case fIndent:
    case fLeading:
    case fBlockIndent:
        if (!fromCtor && rt.version() < 8)
            return Value::Num(MarginInt(rt.ToNumber(v), true));
        return Value::Num(FormatInt(rt.ToNumber(v), fromCtor || rt.version() < 8));
    case fLetterSpacing:
        return Value::Num(rt.ToNumber(v));
    case fAlign: {
        auto a = text::AlignFromName(rt.ToString(v));
        return a ? Value::Str(text::AlignName(*a)) : Value::Undef(); // undefined: unchanged
    }
    case fTabStops: {
        Object* arr = v.AsObject();
        if (!arr)
            return Value::Null();
        std::vector<Value> out;
        double len = rt.ArrayLength(arr);
        for (uint32_t i = 0; i < len && i < 1000; ++i)
            out.push_back(Value::Num(FormatInt(rt.ToNumber(rt.ArrayGet(arr, i)), fromCtor)));
        return Value::Obj(rt.MakeArray(out));
    }
    default:
        return Value::Num(FormatInt(rt.ToNumber(v), fromCtor || rt.version() < 8));
    }
}

Value FormatGet(Runtime&, Object* self, const Value& thisv, Args&) {
    Object* o = thisv.AsObject();
    if (!o || o->nativeTag != kTextFormatTag)
        return Value::Undef();
    return Slots(o)[static_cast<size_t>(self->nativeTag)];
}

Value FormatSet(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || o->nativeTag != kTextFormatTag)
        return Value::Undef();
    Value v = ConvertFormat(rt, self->nativeTag, Arg(args, 0));
    if (!v.IsUndefined())
        Slots(o)[static_cast<size_t>(self->nativeTag)] = v;
    return Value::Undef();
}

text::TextFormat ToFormat(Runtime& rt, Object* o) {
    text::TextFormat f;
    if (!o || o->nativeTag != kTextFormatTag)
        return f;
    std::vector<Value> s = Slots(o);
    auto num = [&](int i) { return s[static_cast<size_t>(i)].AsNumber(); };
    auto has = [&](int i) { return !s[static_cast<size_t>(i)].IsNullish(); };
    if (has(fFont))
        f.font = s[fFont].AsString();
    if (has(fSize))
        f.size = num(fSize);
    if (has(fColor))
        f.color = static_cast<uint32_t>(num(fColor));
    if (has(fBold))
        f.bold = s[fBold].AsBool();
    if (has(fItalic))
        f.italic = s[fItalic].AsBool();
    if (has(fUnderline))
        f.underline = s[fUnderline].AsBool();
    if (has(fUrl))
        f.url = s[fUrl].AsString();
    if (has(fTarget))
        f.target = s[fTarget].AsString();
    if (has(fAlign))
        f.align = text::AlignFromName(s[fAlign].AsString());
    if (has(fLeftMargin))
        f.leftMargin = num(fLeftMargin);
    if (has(fRightMargin))
        f.rightMargin = num(fRightMargin);
    if (has(fIndent))
        f.indent = num(fIndent);
    if (has(fLeading))
        f.leading = num(fLeading);
    if (has(fBlockIndent))
        f.blockIndent = num(fBlockIndent);
    if (has(fBullet))
        f.bullet = s[fBullet].AsBool();
    if (has(fKerning))
        f.kerning = s[fKerning].AsBool();
    if (has(fLetterSpacing))
        f.letterSpacing = num(fLetterSpacing);
    if (Object* arr = s[fTabStops].AsObject()) {
        std::vector<double> stops;
        for (const Value& v : rt.ArrayValues(arr))
            stops.push_back(rt.ToNumber(v));
        f.tabStops = stops;
    }
    return f;
}

Object* NewFormatObject(Runtime& rt) {
    Object* ctor = rt.GetMember(rt.global, "TextFormat").AsObject();
    Object* proto = ctor ? rt.GetMember(ctor, "prototype").AsObject() : nullptr;
    Object* o = rt.NewObject(proto ? proto : rt.objectProto);
    o->nativeTag = kTextFormatTag;
    Slots(o);
    return o;
}

Object* FromFormat(Runtime& rt, const text::TextFormat& f) {
    Object* o = NewFormatObject(rt);
    std::vector<Value>& s = Slots(o);
    if (f.font)
        s[fFont] = Value::Str(*f.font);
    if (f.size)
        s[fSize] = Value::Num(*f.size);
    if (f.color)
        s[fColor] = Value::Num(*f.color);
    if (f.bold)
        s[fBold] = Value::Bool(*f.bold);
    if (f.italic)
        s[fItalic] = Value::Bool(*f.italic);
    if (f.underline)
        s[fUnderline] = Value::Bool(*f.underline);
    if (f.url)
        s[fUrl] = Value::Str(*f.url);
    if (f.target)
        s[fTarget] = Value::Str(*f.target);
    if (f.align)
        s[fAlign] = Value::Str(text::AlignName(*f.align));
    if (f.leftMargin)
        s[fLeftMargin] = Value::Num(*f.leftMargin);
    if (f.rightMargin)
        s[fRightMargin] = Value::Num(*f.rightMargin);
    if (f.indent)
        s[fIndent] = Value::Num(*f.indent);
    if (f.leading)
        s[fLeading] = Value::Num(*f.leading);
    if (f.blockIndent)
        s[fBlockIndent] = Value::Num(*f.blockIndent);
    if (f.bullet)
        s[fBullet] = Value::Bool(*f.bullet);
    if (f.kerning)
        s[fKerning] = Value::Bool(*f.kerning);
    if (f.letterSpacing)
        s[fLetterSpacing] = Value::Num(*f.letterSpacing);
    if (f.tabStops) {
        std::vector<Value> v;
        for (double d : *f.tabStops)
            v.push_back(Value::Num(d));
        s[fTabStops] = Value::Obj(rt.MakeArray(v));
    }
    return o;
}

Value FormatCtor(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o)
        return Value::Undef();
    o->nativeTag = kTextFormatTag;
    Slots(o);
    // The constructor's arguments, in order, are the first thirteen fields.
    static const int order[] = {fFont,        fSize,   fColor,  fBold,  fItalic,
                                fUnderline,   fUrl,    fTarget, fAlign, fLeftMargin,
                                fRightMargin, fIndent, fLeading};
    for (size_t i = 0; i < args.size() && i < 13; ++i) {
        Value v = ConvertFormat(rt, order[i], args[i], true);
        if (!v.IsUndefined())
            Slots(o)[static_cast<size_t>(order[i])] = v;
    }
    return thisv;
}

Value GetTextExtent(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    text::TextFormat f = text::TextFormat::Default();
    f.MergeFrom(ToFormat(rt, o));
    text::TextField field;
    field.SetFontSource(rt.host().Fonts());
    field.SetEmbedFonts(rt.host().Fonts() != nullptr);
    field.SetNewTextFormat(f);
    bool wrap = args.size() > 1 && !Arg(args, 1).IsUndefined();
    double width = wrap ? rt.ToNumber(Arg(args, 1)) : 0;
    field.SetSize(wrap ? width : 1e6, 1e6);
    field.SetWordWrap(wrap);
    field.SetMultiline(true);
    field.SetText(text::ToUtf16(StrArg(rt, args, 0)));
    // A bare object: no prototype, so not even Object's methods.
    Object* r = rt.NewPlain();
    r->proto = nullptr;
    double ascent = 0, descent = 0;
    if (!field.Lines().empty()) {
        ascent = field.Lines().front().ascent;
        descent = field.Lines().front().descent;
    }
    // Here each line is its whole-pixel ascent and descent.
    ascent = std::round(ascent);
    descent = std::round(descent);
    double w = field.TextWidth();
    double h = static_cast<double>(field.Lines().size()) * (ascent + descent);
    r->Put("ascent", Value::Num(ascent));
    r->Put("descent", Value::Num(descent));
    r->Put("width", Value::Num(w));
    r->Put("height", Value::Num(h));
    r->Put("textFieldHeight", Value::Num(h + 4));
    r->Put("textFieldWidth", Value::Num(wrap ? width : w + 4));
    return Value::Obj(r);
}

// ---------------------------------------------------------------- variables

// The object and name a field's variable path stands for.
bool VariableSlot(Runtime& rt, ClipId field, const std::string& path, Object*& obj,
                  std::string& name) {
    size_t cut = path.find_last_of(":.");
    std::string target = cut == std::string::npos ? "" : path.substr(0, cut);
    name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.empty())
        return false;
    ClipId parent = rt.host().Parent(field);
    obj = target.empty() ? rt.ClipObject(parent) : rt.ResolveTarget(target, parent);
    return obj != nullptr;
}

void WriteVariable(Runtime& rt, ClipId field, text::TextField& m) {
    Object* obj = nullptr;
    std::string name;
    if (!m.variable.empty() && VariableSlot(rt, field, m.variable, obj, name))
        rt.SetMember(obj, name, Value::Str(m.TextUtf8()));
}

void ReadVariable(Runtime& rt, ClipId field, text::TextField& m, bool bindInitial) {
    Object* obj = nullptr;
    std::string name;
    if (m.variable.empty() || !VariableSlot(rt, field, m.variable, obj, name))
        return;
    if (!rt.HasProperty(obj, name)) {
        if (bindInitial && m.Length() > 0)
            rt.SetMember(obj, name, Value::Str(m.TextUtf8()));
        return;
    }
    // Later changes show only from variables of timelines.
    if (!bindInitial && obj->kind != ObjKind::Clip)
        return;
    Value v = rt.GetMember(obj, name);
    if (v.IsUndefined() && !bindInitial)
        return;
    std::string s = rt.ToString(v);
    if (m.Html())
        m.SetHtmlText(s);
    else if (s != m.TextUtf8())
        m.SetText(text::ToUtf16(s));
}

// ---------------------------------------------------------------- TextField

// Autosizing to the right or the centre moves the field's left edge: the
// move goes to the field's position, where scripts read it.
void KeepAutoSizeMove(Runtime& rt, ClipId id, double xBefore) {
    text::TextField* m = rt.host().TextFieldModel(id);
    if (!m || m->x == xBefore || !std::isfinite(m->x))
        return;
    const double shift = m->x - xBefore;
    m->x = xBefore;
    const double scale = rt.host().GetProperty(id, ClipProp::XScale) / 100;
    const double x = rt.host().GetProperty(id, ClipProp::X);
    if (std::isfinite(scale) && std::isfinite(x))
        rt.host().SetProperty(id, ClipProp::X, x + shift * scale, "");
}

enum FieldProp {
    pGridFitType,
    pAntiAliasType,
    pThickness,
    pSharpness,
    pFilters,
    pScroll,
    pMaxScroll,
    pBorderColor,
    pBackgroundColor,
    pTextColor,
    pTabIndex,
    pAutoSize,
    pText,
    pType,
    pHtmlText,
    pVariable,
    pHScroll,
    pMaxHScroll,
    pMaxChars,
    pEmbedFonts,
    pHtml,
    pBorder,
    pBackground,
    pWordWrap,
    pPassword,
    pMultiline,
    pSelectable,
    pLength,
    pBottomScroll,
    pTextWidth,
    pTextHeight,
    pRestrict,
    pCondenseWhite,
    pMouseWheelEnabled,
    pStyleSheet,
    pCount
};

// Added in this order, so for..in lists them last to first as the player does.
const char* const kFieldNames[pCount] = {"gridFitType",
                                         "antiAliasType",
                                         "thickness",
                                         "sharpness",
                                         "filters",
                                         "scroll",
                                         "maxscroll",
                                         "borderColor",
                                         "backgroundColor",
                                         "textColor",
                                         "tabIndex",
                                         "autoSize",
                                         "text",
                                         "type",
                                         "htmlText",
                                         "variable",
                                         "hscroll",
                                         "maxhscroll",
                                         "maxChars",
                                         "embedFonts",
                                         "html",
                                         "border",
                                         "background",
                                         "wordWrap",
                                         "password",
                                         "multiline",
                                         "selectable",
                                         "length",
                                         "bottomScroll",
                                         "textWidth",
                                         "textHeight",
                                         "restrict",
                                         "condenseWhite",
                                         "mouseWheelEnabled",
                                         "styleSheet"};

Value FieldGet(Runtime& rt, Object* self, const Value& thisv, Args&) {
    text::TextField* m = Model(rt, thisv);
    if (!m)
        return Value::Undef();
    ClipId id = FieldId(thisv);
    if (self->nativeTag == pText && !m->Html()) {
        // A bound field shows its variable; its own text stays for a rebinding.
        Object* obj = nullptr;
        std::string name;
        if (!m->variable.empty() && VariableSlot(rt, id, m->variable, obj, name) &&
            obj->kind == ObjKind::Clip && rt.HasProperty(obj, name))
            return Value::Str(rt.ToString(rt.GetMember(obj, name)));
        m = rt.host().TextFieldModel(id);
        return m ? Value::Str(m->TextUtf8()) : Value::Undef();
    }
    switch (self->nativeTag) {
    case pText:
    case pHtmlText:
    case pLength:
    case pTextWidth:
    case pTextHeight:
    case pMaxScroll:
    case pBottomScroll:
    case pMaxHScroll:
        ReadVariable(rt, id, *m, false);
        m = rt.host().TextFieldModel(id);
        if (!m)
            return Value::Undef();
        break;
    default:
        break;
    }
    switch (self->nativeTag) {
    case pGridFitType:
        return Value::Str(m->gridFitType);
    case pAntiAliasType:
        return Value::Str(m->antiAliasType);
    case pThickness:
        return Value::Num(m->thickness);
    case pSharpness:
        return Value::Num(m->sharpness);
    case pFilters:
        return Value::Obj(rt.NewArray());
    case pScroll:
        return Value::Num(m->Scroll());
    case pMaxScroll:
        return Value::Num(m->MaxScroll());
    case pBottomScroll:
        return Value::Num(m->BottomScroll());
    case pBorderColor:
        return Value::Num(m->borderColor);
    case pBackgroundColor:
        return Value::Num(m->backgroundColor);
    case pTextColor:
        return Value::Num(m->TextColor());
    case pTabIndex:
        return m->tabIndex < 0 ? Value::Undef() : Value::Num(static_cast<double>(m->tabIndex));
    case pAutoSize: {
        static const char* names[] = {"none", "left", "center", "right"};
        return Value::Str(names[static_cast<int>(m->GetAutoSize())]);
    }
    case pText:
        return Value::Str(m->TextUtf8());
    case pType:
        return Value::Str(m->input ? "input" : "dynamic");
    case pHtmlText:
        return Value::Str(m->HtmlText());
    case pVariable:
        return m->variable.empty() ? Value::Null() : Value::Str(m->variable);
    case pHScroll:
        return Value::Num(m->HScroll());
    case pMaxHScroll:
        return Value::Num(m->MaxHScroll());
    case pMaxChars:
        return m->maxChars > 0 ? Value::Num(m->maxChars) : Value::Null();
    case pEmbedFonts:
        return Value::Bool(m->EmbedFonts());
    case pHtml:
        return Value::Bool(m->Html());
    case pBorder:
        return Value::Bool(m->border);
    case pBackground:
        return Value::Bool(m->background);
    case pWordWrap:
        return Value::Bool(m->WordWrap());
    case pPassword:
        return Value::Bool(m->password);
    case pMultiline:
        return Value::Bool(m->Multiline());
    case pSelectable:
        return Value::Bool(m->selectable);
    case pLength:
        return Value::Num(static_cast<double>(m->Length()));
    case pTextWidth:
        return Value::Num(m->TextWidth());
    case pTextHeight:
        return Value::Num(m->TextHeight());
    case pRestrict:
        return m->restrictSet ? Value::Str(m->restrict) : Value::Null();
    case pCondenseWhite:
        return Value::Bool(m->CondenseWhite());
    case pMouseWheelEnabled:
        return Value::Bool(m->mouseWheelEnabled);
    default:
        return Value::Undef();
    }
}

Value SetFieldProperty(Runtime& rt, Object* self, ClipId id, text::TextField* m, const Value& v);

Value FieldSet(Runtime& rt, Object* self, const Value& thisv, Args& args) {
    text::TextField* m = Model(rt, thisv);
    if (!m)
        return Value::Undef();
    ClipId id = FieldId(thisv);
    const double xBefore = m->x;
    Value result = SetFieldProperty(rt, self, id, m, Arg(args, 0));
    KeepAutoSizeMove(rt, id, xBefore);
    return result;
}

Value SetFieldProperty(Runtime& rt, Object* self, ClipId id, text::TextField* m, const Value& v) {
    // Conversions may run script that removes the field: convert first.
    auto boolean = [&] { return rt.ToBoolean(v); };
    auto number = [&] { return rt.ToNumber(v); };
    auto fresh = [&] { return rt.host().TextFieldModel(id); };
    switch (self->nativeTag) {
    case pScroll: {
        double d = number();
        if ((m = fresh()) && std::isfinite(d)) {
            // The line is counted from 0 in 32 bits: the lowest integer
            // wraps round to the highest and scrolls to the end.
            const int32_t fromZero = static_cast<int32_t>(static_cast<uint32_t>(ToInt32(d)) - 1u);
            m->SetScroll(fromZero < 0 ? 1 : std::min(fromZero, INT_MAX - 1) + 1);
        }
        break;
    }
    case pHScroll: {
        // Whole pixels as a 32-bit integer: past its range it wraps below 0.
        double d = number();
        if ((m = fresh()))
            m->SetHScroll(std::isfinite(d) ? ToInt32(d) : 0);
        break;
    }
    case pAntiAliasType:
    case pGridFitType: {
        // Other names leave the setting as it was.
        const std::string s = rt.ToString(v);
        if (!(m = fresh()))
            break;
        if (self->nativeTag == pAntiAliasType && (s == "normal" || s == "advanced"))
            m->antiAliasType = s;
        else if (self->nativeTag == pGridFitType &&
                 (s == "none" || s == "pixel" || s == "subpixel"))
            m->gridFitType = s;
        break;
    }
    case pThickness:
    case pSharpness: {
        const double d = number();
        if ((m = fresh()))
            (self->nativeTag == pThickness ? m->thickness : m->sharpness) = d;
        break;
    }
    case pBorderColor:
    case pBackgroundColor:
    case pTextColor: {
        uint32_t c = ToUint32(number()) & 0xFFFFFFu;
        if (!(m = fresh()))
            break;
        if (self->nativeTag == pBorderColor)
            m->borderColor = c;
        else if (self->nativeTag == pBackgroundColor)
            m->backgroundColor = c;
        else
            m->SetTextColor(c);
        break;
    }
    case pTabIndex: {
        // Any number is kept as an unsigned 32-bit index; undefined unsets.
        int64_t index = v.IsUndefined() ? -1 : static_cast<int64_t>(ToUint32(number()));
        if ((m = fresh()))
            m->tabIndex = index;
        break;
    }
    case pAutoSize: {
        text::AutoSize a = text::AutoSize::None;
        if (v.IsBool()) {
            a = v.AsBool() ? text::AutoSize::Left : text::AutoSize::None;
        } else {
            std::string s = rt.ToString(v);
            for (char& c : s)
                c = static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
            if (s == "left")
                a = text::AutoSize::Left;
            else if (s == "center")
                a = text::AutoSize::Center;
            else if (s == "right")
                a = text::AutoSize::Right;
        }
        if ((m = fresh()))
            m->SetAutoSize(a);
        break;
    }
    case pText:
    case pHtmlText: {
        std::string s = rt.ToString(v);
        if (!(m = fresh()))
            break;
        Object* obj = nullptr;
        std::string name;
        if (self->nativeTag == pText && !m->Html() && !m->variable.empty() &&
            VariableSlot(rt, id, m->variable, obj, name)) {
            // A field bound to a timeline takes the text through its variable.
            rt.SetMember(obj, name, Value::Str(s));
            if (obj->kind == ObjKind::Clip)
                break;
            if (!(m = fresh()))
                break;
            m->SetText(text::ToUtf16(s));
            break;
        }
        if (self->nativeTag == pText)
            m->SetText(text::ToUtf16(s));
        else
            m->SetHtmlText(s);
        WriteVariable(rt, id, *m);
        break;
    }
    case pType: {
        std::string s = rt.ToString(v);
        for (char& c : s)
            c = static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
        if ((m = fresh()) && (s == "input" || s == "dynamic"))
            m->input = s == "input";
        break;
    }
    case pVariable: {
        std::string s = v.IsNullish() ? std::string() : rt.ToString(v);
        if ((m = fresh())) {
            m->variable = s;
            ReadVariable(rt, id, *m, true);
        }
        break;
    }
    case pMaxChars: {
        double d = number();
        if ((m = fresh()))
            m->maxChars = std::isfinite(d) && d > 0 ? static_cast<int>(std::min(d, 2e9)) : 0;
        break;
    }
    case pRestrict: {
        bool set = !v.IsNullish();
        std::string s = set ? rt.ToString(v) : std::string();
        if ((m = fresh())) {
            m->restrictSet = set && !s.empty();
            m->restrict = s;
        }
        break;
    }
    case pEmbedFonts:
    case pHtml:
    case pBorder:
    case pBackground:
    case pWordWrap:
    case pPassword:
    case pMultiline:
    case pSelectable:
    case pCondenseWhite:
    case pMouseWheelEnabled: {
        bool b = boolean();
        if (!(m = fresh()))
            break;
        switch (self->nativeTag) {
        case pEmbedFonts:
            m->SetEmbedFonts(b);
            break;
        case pHtml:
            m->SetHtml(b);
            break;
        case pBorder:
            m->border = b;
            break;
        case pBackground:
            m->background = b;
            break;
        case pWordWrap:
            m->SetWordWrap(b);
            break;
        case pPassword:
            m->password = b;
            break;
        case pMultiline:
            m->SetMultiline(b);
            break;
        case pSelectable:
            m->selectable = b;
            break;
        case pCondenseWhite:
            m->SetCondenseWhite(b);
            break;
        default:
            m->mouseWheelEnabled = b;
        }
        break;
    }
    default:
        break; // read-only
    }
    return Value::Undef();
}

// Index arguments: a missing or negative begin means the whole text.
void Range(Runtime& rt, const Args& args, size_t count, size_t len, size_t& b, size_t& e) {
    b = 0;
    e = len;
    if (count >= 1) {
        double d = NumArg(rt, args, 0);
        if (std::isfinite(d) && d >= 0) {
            b = static_cast<size_t>(std::min(d, 1e12));
            e = b + 1;
        }
    }
    if (count >= 2) {
        double d = NumArg(rt, args, 1);
        if (std::isfinite(d) && d >= 0)
            e = static_cast<size_t>(std::min(d, 1e12));
    }
}

Value GetTextFormat(Runtime& rt, Object*, const Value& thisv, Args& args) {
    text::TextField* m = Model(rt, thisv);
    if (!m)
        return Value::Undef();
    size_t b, e;
    Range(rt, args, std::min<size_t>(args.size(), 2), m->Length(), b, e);
    if (!(m = Model(rt, thisv)))
        return Value::Undef();
    if (b >= m->Length() && args.size() >= 1)
        return Value::Obj(NewFormatObject(rt));
    return Value::Obj(FromFormat(rt, m->GetTextFormat(b, e)));
}

Value SetTextFormat(Runtime& rt, Object*, const Value& thisv, Args& args) {
    text::TextField* m = Model(rt, thisv);
    if (!m || args.empty())
        return Value::Undef();
    // The format is the last argument; numbers before it are the range.
    size_t n = args.size() > 3 ? 3 : args.size();
    Object* fo = args[n - 1].AsObject();
    if (!fo || fo->nativeTag != kTextFormatTag)
        return Value::Undef();
    size_t b, e;
    Range(rt, args, n - 1, m->Length(), b, e);
    text::TextFormat f = ToFormat(rt, fo);
    if ((m = Model(rt, thisv))) {
        const double xBefore = m->x;
        m->SetTextFormat(b, e, f);
        KeepAutoSizeMove(rt, FieldId(thisv), xBefore);
    }
    return Value::Undef();
}

Value GetNewTextFormat(Runtime& rt, Object*, const Value& thisv, Args&) {
    text::TextField* m = Model(rt, thisv);
    return m ? Value::Obj(FromFormat(rt, m->NewTextFormat())) : Value::Undef();
}

Value SetNewTextFormat(Runtime& rt, Object*, const Value& thisv, Args& args) {
    text::TextField* m = Model(rt, thisv);
    Object* fo = Arg(args, 0).AsObject();
    if (m && fo && fo->nativeTag == kTextFormatTag) {
        text::TextFormat f = ToFormat(rt, fo);
        if ((m = Model(rt, thisv)))
            m->SetNewTextFormat(f);
    }
    return Value::Undef();
}

Value ReplaceText(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (!Model(rt, thisv) || args.size() < 3)
        return Value::Undef();
    double b = NumArg(rt, args, 0), e = NumArg(rt, args, 1);
    std::string s = StrArg(rt, args, 2);
    text::TextField* m = Model(rt, thisv);
    if (!m || !(b >= 0) || !(e >= 0) || !std::isfinite(b) || !std::isfinite(e))
        return Value::Undef();
    const double xBefore = m->x;
    m->ReplaceText(static_cast<size_t>(std::min(b, 1e12)), static_cast<size_t>(std::min(e, 1e12)),
                   text::ToUtf16(s));
    WriteVariable(rt, FieldId(thisv), *m);
    KeepAutoSizeMove(rt, FieldId(thisv), xBefore);
    return Value::Undef();
}

Value ReplaceSel(Runtime& rt, Object*, const Value& thisv, Args& args) {
    if (!Model(rt, thisv) || args.empty())
        return Value::Undef();
    std::string s = StrArg(rt, args, 0);
    text::TextField* m = Model(rt, thisv);
    if (!m)
        return Value::Undef();
    // The focused field's selection is replaced; without one the text goes
    // at the end.
    const double xBefore = m->x;
    size_t begin = m->Length(), end = m->Length();
    int b = 0, e = 0, caret = 0;
    const bool focused =
        rt.host().Focus() == FieldId(thisv) && rt.host().TextSelection(b, e, caret);
    if (focused) {
        begin = static_cast<size_t>(b);
        end = static_cast<size_t>(e);
    }
    const std::u16string inserted = text::ToUtf16(s);
    m->ReplaceText(begin, end, inserted);
    if (focused) {
        const int after = static_cast<int>(std::min(begin + inserted.size(), m->Length()));
        rt.host().SetTextSelection(after, after);
    }
    WriteVariable(rt, FieldId(thisv), *m);
    KeepAutoSizeMove(rt, FieldId(thisv), xBefore);
    return Value::Undef();
}

Value FieldDepth(Runtime& rt, Object*, const Value& thisv, Args&) {
    return Model(rt, thisv) ? Value::Num(rt.host().Depth(FieldId(thisv))) : Value::Undef();
}

Value RemoveField(Runtime& rt, Object*, const Value& thisv, Args&) {
    if (Model(rt, thisv))
        rt.host().Remove(FieldId(thisv));
    return Value::Undef();
}

Value FontList(Runtime& rt, Object*, const Value&, Args&) {
    return Value::Obj(rt.MakeArray({Value::Str("_sans"), Value::Str("_serif"),
                                    Value::Str("_typewriter"), Value::Str("Arial"),
                                    Value::Str("Times New Roman"), Value::Str("Courier New")}));
}

Value PlainCtor(Runtime&, Object*, const Value& thisv, Args&) {
    return thisv;
}

Value Nothing(Runtime&, Object*, const Value&, Args&) {
    return Value::Undef();
}

Value CreateTextField(Runtime& rt, Object*, const Value& thisv, Args& args) {
    Object* o = thisv.AsObject();
    if (!o || o->kind != ObjKind::Clip || !o->clip || args.size() < 6)
        return Value::Undef();
    std::string name = StrArg(rt, args, 0);
    double d = NumArg(rt, args, 1), x = NumArg(rt, args, 2), y = NumArg(rt, args, 3);
    double w = NumArg(rt, args, 4), h = NumArg(rt, args, 5);
    // The rectangle is whole pixels, cut toward zero.
    auto fin = [](double v) { return std::isfinite(v) ? std::trunc(v) : 0.0; };
    int depth = std::isfinite(d) ? static_cast<int>(std::max(-2e9, std::min(d, 2e9))) : 0;
    ClipId id = rt.host().CreateTextField(o->clip, name, depth, fin(x), fin(y), fin(w), fin(h));
    if (!id || rt.version() < 8)
        return Value::Undef();
    return Value::Obj(rt.ClipObject(id));
}

// ---------------------------------------------------------------- Selection

Value SelGetFocus(Runtime& rt, Object* self, const Value&, Args&) {
    (void)self;
    Object* sel = rt.GetMember(rt.global, "Selection").AsObject();
    if (!sel || sel->extra.empty())
        return Value::Null();
    Object* f = sel->extra[0].AsObject();
    if (!f || f->kind != ObjKind::Clip || !f->clip)
        return Value::Null();
    return Value::Str(rt.ClipPath(f->clip, false));
}

Value SelSetFocus(Runtime& rt, Object*, const Value&, Args& args) {
    Object* sel = rt.GetMember(rt.global, "Selection").AsObject();
    if (!sel)
        return Value::Bool(false);
    const Value& t = Arg(args, 0);
    Object* target = nullptr;
    if (t.IsString())
        target = rt.ResolveTarget(t.AsString(), rt.host().Root());
    else if (t.IsObject())
        target = t.AsObject();
    else if (!t.IsNullish())
        return Value::Bool(false);
    if (target && (target->kind != ObjKind::Clip || !target->clip))
        return Value::Bool(false);
    if (sel->extra.empty())
        sel->extra.push_back(Value::Null());
    Value old = sel->extra[0];
    Value now = target ? Value::Obj(target) : Value::Null();
    Object* oldObj = old.AsObject();
    if (oldObj == target)
        return Value::Bool(true);
    sel->extra[0] = now;
    if (oldObj)
        rt.CallObjectMethod(oldObj, "onKillFocus", {now});
    if (target)
        rt.CallObjectMethod(target, "onSetFocus", {old});
    Args a{Value::Str("onSetFocus"), old, now};
    rt.CallMethod(Value::Obj(sel), "broadcastMessage", a);
    return Value::Bool(true);
}

Value SelIndex(Runtime& rt, Object*, const Value&, Args&) {
    Object* sel = rt.GetMember(rt.global, "Selection").AsObject();
    if (!sel || sel->extra.empty() || !sel->extra[0].AsObject())
        return Value::Num(-1);
    Object* f = sel->extra[0].AsObject();
    if (f->kind != ObjKind::Clip || !f->clip || !rt.host().TextFieldModel(f->clip))
        return Value::Num(-1);
    return Value::Num(0);
}

} // namespace

void InstallTextField(Runtime& rt) {
    Object* g = rt.global;
    // TextFormat.
    Object* fp = rt.NewPlain();
    DefClass(rt, "TextFormat", FormatCtor, FormatCtor, fp);
    for (int i = 0; i < fCount; ++i) {
        Property& p = fp->Put(kFormatNames[i], Value::Undef());
        p.getter = rt.NewNative(FormatGet, i);
        p.setter = rt.NewNative(FormatSet, i);
    }
    Def(rt, fp, "getTextExtent", GetTextExtent);

    // TextField, keeping the style sheet class a stand-in may have made.
    Object* oldCtor = rt.GetMember(g, "TextField").AsObject();
    Value styleSheet = oldCtor ? rt.GetMember(oldCtor, "StyleSheet") : Value::Undef();
    Object* tp = rt.NewPlain();
    Object* ctor = DefClass(rt, "TextField", PlainCtor, PlainCtor, tp);
    if (!styleSheet.IsUndefined())
        ctor->Put("StyleSheet", styleSheet, kDontEnum);
    Def(rt, ctor, "getFontList", FontList);
    rt.textFieldProto = tp;
    // Movies before version 6 see no TextField.prototype.
    if (Property* p = ctor->Find("prototype"))
        p->flags |= kVersion6;
    for (int i = 0; i < pCount; ++i) {
        // The rendering properties came with version 8.
        uint16_t flags = i <= pFilters ? kVersion8 : 0;
        Property& p = tp->Put(kFieldNames[i], Value::Undef(), flags);
        p.getter = rt.NewNative(FieldGet, i);
        p.setter = rt.NewNative(FieldSet, i);
    }
    Def(rt, tp, "replaceText", ReplaceText);
    Def(rt, tp, "getDepth", FieldDepth);
    Def(rt, tp, "setNewTextFormat", SetNewTextFormat);
    Def(rt, tp, "getNewTextFormat", GetNewTextFormat);
    Def(rt, tp, "removeTextField", RemoveField);
    Def(rt, tp, "setTextFormat", SetTextFormat);
    Def(rt, tp, "getTextFormat", GetTextFormat);
    Def(rt, tp, "replaceSel", ReplaceSel);
    if (rt.clipProto)
        Def(rt, rt.clipProto, "createTextField", CreateTextField);

    if (Object* sel = rt.GetMember(g, "Selection").AsObject()) {
        Def(rt, sel, "getFocus", SelGetFocus);
        Def(rt, sel, "setFocus", SelSetFocus);
        Def(rt, sel, "getBeginIndex", SelIndex);
        Def(rt, sel, "getEndIndex", SelIndex);
        Def(rt, sel, "getCaretIndex", SelIndex);
        Def(rt, sel, "setSelection", Nothing);
    }
}

void BindTextFieldVariable(Runtime& rt, ClipId field) {
    try {
        if (text::TextField* m = rt.host().TextFieldModel(field))
            ReadVariable(rt, field, *m, true);
    } catch (...) {
    }
}

void RefreshTextFieldVariable(Runtime& rt, ClipId field) {
    try {
        if (text::TextField* m = rt.host().TextFieldModel(field))
            ReadVariable(rt, field, *m, false);
    } catch (...) {
    }
}

} // namespace zembra::avm1

namespace zembra::avm1 {

void InitTextFieldObject(Runtime& rt, Object* field) {
    Object* bc = rt.GetMember(rt.global, "AsBroadcaster").AsObject();
    if (!bc)
        return;
    Args a{Value::Obj(field)};
    rt.CallMethod(Value::Obj(bc), "initialize", a);
    for (const char* n : {"broadcastMessage", "addListener", "removeListener", "_listeners"})
        if (Property* p = field->Find(n))
            p->flags |= kDontEnum;
    if (Object* list = rt.GetMember(field, "_listeners").AsObject())
        rt.ArrayPush(list, Value::Obj(field));
}

void StoreTextFieldVariable(Runtime& rt, ClipId field) {
    try {
        if (text::TextField* m = rt.host().TextFieldModel(field))
            WriteVariable(rt, field, *m);
    } catch (...) {
    }
}

} // namespace zembra::avm1
