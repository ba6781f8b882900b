// TextField, TextFormat and createTextField through the runtime's call
// surface, on a host whose text fields are real models.
#include <gtest/gtest.h>

#include <memory>

#include "avm1/uBuiltinsTextField.h"
#include "tests/avm1/uTestSupport.h"
#include "text/uTextField.h"

using namespace zembra;
using namespace zembra::avm1;
using namespace zembra::avm1::test;

namespace {

class FieldHost : public FakeHost {
  public:
    std::map<ClipId, std::unique_ptr<text::TextField>> fields;
    text::TextField* TextFieldModel(ClipId clip) override {
        auto it = fields.find(clip);
        return it == fields.end() ? nullptr : it->second.get();
    }
    ClipId CreateTextField(ClipId parent, const std::string& name, int, double x, double y,
                           double w, double h) override {
        ClipId id = AddClip(parent, name);
        auto f = std::make_unique<text::TextField>();
        f->x = x;
        f->y = y;
        f->SetSize(w, h);
        fields[id] = std::move(f);
        return id;
    }
    void Remove(ClipId clip) override {
        fields.erase(clip);
        clips.erase(clip);
    }
};

struct Fixture {
    explicit Fixture(int version = 8) : rt(host, version) {}
    FieldHost host;
    Runtime rt;
    Value Global(const char* name) { return rt.GetMember(rt.global, name); }
    Value Root() { return Value::Obj(rt.ClipObject(1)); }
    Value Call(const Value& target, const char* method, Args args = {}) {
        return rt.CallMethod(target, method, args);
    }
    Value New(const char* ctor, Args args = {}) { return rt.Construct(Global(ctor), args); }
    Value Get(const Value& o, const char* name) { return rt.GetMember(o, name); }
    void Set(const Value& o, const char* name, const Value& v) {
        rt.SetMember(o.AsObject(), name, v);
    }
    std::string Str(const Value& v) { return rt.ToString(v); }
    Value Field(const char* name) {
        return Call(Root(), "createTextField",
                    {Value::Str(name), Value::Num(1), Value::Num(10), Value::Num(20),
                     Value::Num(100), Value::Num(30)});
    }
};

Value N(double d) {
    return Value::Num(d);
}
Value S(const char* s) {
    return Value::Str(s);
}

} // namespace

TEST(TextFormatBuiltins, ConstructorTruncatesAndSettersRoundPerVersion) {
    Fixture f8(8);
    Value tf =
        f8.New("TextFormat", {S("font"), N(-10.9), N(-3), Value::Undef(), Value::Undef(),
                              Value::Undef(), Value::Undef(), Value::Undef(), S("middle"), N(-11)});
    EXPECT_EQ(f8.Str(f8.Get(tf, "size")), "-10");
    EXPECT_EQ(f8.Str(f8.Get(tf, "color")), "4294967293");
    EXPECT_TRUE(f8.Get(tf, "bold").IsNull());
    EXPECT_TRUE(f8.Get(tf, "align").IsNull());          // not a known alignment
    EXPECT_EQ(f8.Str(f8.Get(tf, "leftMargin")), "-11"); // the constructor keeps it
    f8.Set(tf, "size", N(2.5));
    EXPECT_EQ(f8.Str(f8.Get(tf, "size")), "2"); // ties to even
    f8.Set(tf, "leftMargin", N(-3));
    EXPECT_EQ(f8.Str(f8.Get(tf, "leftMargin")), "0");
    f8.Set(tf, "indent", N(-3));
    EXPECT_EQ(f8.Str(f8.Get(tf, "indent")), "-3");
    f8.Set(tf, "size", N(1.0 / 0.0));
    EXPECT_EQ(f8.Str(f8.Get(tf, "size")), "-2147483648");
    f8.Set(tf, "align", S("CENTER"));
    f8.Set(tf, "align", S("nowhere"));
    EXPECT_EQ(f8.Str(f8.Get(tf, "align")), "center");

    Fixture f7(7);
    Value t7 = f7.New("TextFormat");
    f7.Set(t7, "size", N(1.9));
    EXPECT_EQ(f7.Str(f7.Get(t7, "size")), "1");
    f7.Set(t7, "indent", N(-3));
    EXPECT_EQ(f7.Str(f7.Get(t7, "indent")), "0");
}

TEST(TextFormatBuiltins, FontNamesAreCutAndObjectsConvertThroughToString) {
    Fixture f;
    std::string longName(100, 'x');
    Value tf = f.New("TextFormat", {Value::Str(longName)});
    EXPECT_EQ(f.Str(f.Get(tf, "font")).size(), 64u);
    EXPECT_TRUE(f.Get(tf, "url").IsNull());
    f.Set(tf, "bold", S("no"));
    EXPECT_EQ(f.Str(f.Get(tf, "bold")), "true"); // any non-empty text is true
}

TEST(TextFieldBuiltins, CreatedFieldsAreObjectsWithTheFieldProperties) {
    Fixture f;
    Value tf = f.Field("t");
    ASSERT_TRUE(tf.IsObject());
    EXPECT_EQ(f.rt.TypeOf(tf), "object");
    EXPECT_EQ(f.Str(tf), "_level0.t");
    f.Set(tf, "text", S("a\nb"));
    EXPECT_EQ(f.Str(f.Get(tf, "text")), "a\rb");
    EXPECT_EQ(f.Str(f.Get(tf, "length")), "3");
    f.Set(tf, "autoSize", S("CeNtEr"));
    EXPECT_EQ(f.Str(f.Get(tf, "autoSize")), "center");
    f.Set(tf, "autoSize", Value::Bool(true));
    EXPECT_EQ(f.Str(f.Get(tf, "autoSize")), "left");
    f.Set(tf, "type", S("INPUT"));
    EXPECT_EQ(f.Str(f.Get(tf, "type")), "input");
    f.Set(tf, "type", S("other"));
    EXPECT_EQ(f.Str(f.Get(tf, "type")), "input");
    EXPECT_TRUE(f.Get(tf, "variable").IsNull());
    EXPECT_TRUE(f.Get(tf, "maxChars").IsNull());
    // Version 6 movies return nothing from createTextField.
    Fixture f6(6);
    EXPECT_TRUE(f6.Field("t").IsUndefined());
    // Properties of something that is no field read as undefined.
    Value plain = f.New("TextField");
    EXPECT_TRUE(f.Get(plain, "text").IsUndefined());
}

TEST(TextFieldBuiltins, FormatRangesAndHtml) {
    Fixture f;
    Value tf = f.Field("t");
    f.Set(tf, "text", S("hello"));
    Value bold = f.New("TextFormat");
    f.Set(bold, "bold", Value::Bool(true));
    f.Call(tf, "setTextFormat", {N(1), N(3), bold});
    EXPECT_EQ(f.Str(f.Get(f.Call(tf, "getTextFormat", {N(1), N(3)}), "bold")), "true");
    EXPECT_TRUE(f.Get(f.Call(tf, "getTextFormat"), "bold").IsNull()); // mixed
    EXPECT_EQ(f.Str(f.Get(f.Call(tf, "getTextFormat", {N(0)}), "bold")), "false");
    f.Call(tf, "replaceText", {N(0), N(1), S("J")});
    EXPECT_EQ(f.Str(f.Get(tf, "text")), "Jello");
    f.Set(tf, "html", Value::Bool(true));
    f.Set(tf, "htmlText", S("<b>x</b>"));
    EXPECT_EQ(f.Str(f.Get(tf, "text")), "x");
    EXPECT_NE(f.Str(f.Get(tf, "htmlText")).find("<B>x</B>"), std::string::npos);
}

TEST(TextFieldBuiltins, VariablesOfTimelinesAreBoundBothWays) {
    Fixture f;
    Value tf = f.Field("t");
    f.Set(tf, "text", S("Hello"));
    f.Set(tf, "variable", S("v"));
    // An undefined variable takes the field's text.
    EXPECT_EQ(f.Str(f.Get(f.Root(), "v")), "Hello");
    f.Set(f.Root(), "v", S("changed"));
    EXPECT_EQ(f.Str(f.Get(tf, "text")), "changed");
    f.Set(tf, "text", S("back"));
    EXPECT_EQ(f.Str(f.Get(f.Root(), "v")), "back");
}

TEST(TextFieldBuiltins, AFieldRemovedWhileASetterConvertsIsLeftAlone) {
    Fixture f;
    Value tf = f.Field("t");
    // valueOf removes the field before the setter stores the number.
    Object* evil = f.rt.NewPlain();
    evil->Put("valueOf", Value::Obj(f.rt.NewNative([](Runtime& rt, Object*, const Value&, Args&) {
                  rt.host().Remove(2);
                  return Value::Num(5);
              })));
    f.Set(tf, "scroll", Value::Obj(evil));
    f.Set(tf, "borderColor", Value::Obj(evil));
    EXPECT_TRUE(f.host.fields.empty());
}

TEST(TextFieldBuiltins, RenderingSettingsKeepKnownNamesAndAnyNumber) {
    Fixture f;
    Value tf = f.Field("t");
    EXPECT_EQ(f.Str(f.Get(tf, "antiAliasType")), "normal");
    f.Set(tf, "antiAliasType", S("advanced"));
    f.Set(tf, "antiAliasType", S("aaaaa"));
    EXPECT_EQ(f.Str(f.Get(tf, "antiAliasType")), "advanced");
    f.Set(tf, "gridFitType", S("subpixel"));
    f.Set(tf, "gridFitType", S("SUBPIXEL"));
    EXPECT_EQ(f.Str(f.Get(tf, "gridFitType")), "subpixel");
    f.Set(tf, "sharpness", N(-539));
    f.Set(tf, "thickness", S("x"));
    EXPECT_EQ(f.Str(f.Get(tf, "sharpness")), "-539");
    EXPECT_EQ(f.Str(f.Get(tf, "thickness")), "NaN");
}

TEST(TextFieldBuiltins, ScrollCountsInThirtyTwoBitsAndAutoSizeMovesTheField) {
    Fixture f;
    Value tf = f.Field("t");
    ClipId id = tf.AsObject()->clip;
    f.host.SetProperty(id, ClipProp::XScale, 100, "");
    f.Set(tf, "text", S("1\r2\r3\r4\r5\r6\r7\r8"));
    const double max = f.rt.ToNumber(f.Get(tf, "maxscroll"));
    ASSERT_GT(max, 1);
    // The lowest 32-bit integer wraps to the end, the next one does not.
    f.Set(tf, "scroll", N(767100486418432.0));
    EXPECT_EQ(f.rt.ToNumber(f.Get(tf, "scroll")), max);
    f.Set(tf, "scroll", N(767100486418433.0));
    EXPECT_EQ(f.rt.ToNumber(f.Get(tf, "scroll")), 1);
    // Growing to the left moves the field by what it grew; its own
    // rectangle stays where it was.
    const double x0 = f.host.GetProperty(id, ClipProp::X);
    const double w0 = f.host.fields[id]->Width();
    f.Set(tf, "autoSize", S("right"));
    const double grown = f.host.fields[id]->Width() - w0;
    EXPECT_DOUBLE_EQ(f.host.GetProperty(id, ClipProp::X), x0 - grown);
    EXPECT_DOUBLE_EQ(f.host.fields[id]->x, 10); // as created
}
