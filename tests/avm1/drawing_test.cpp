// The drawing API's gradient calls: which argument lists make a gradient,
// how the box matrix becomes a placement, and which calls are ignored.
#include <gtest/gtest.h>

#include <limits>
#include <optional>

#include "tests/avm1/uTestSupport.h"

using namespace zembra::avm1;
using namespace zembra::avm1::test;

namespace {

// Records the fills scripts ask for.
class DrawHost : public FakeHost {
  public:
    struct Call {
        bool line = false;
        std::optional<DrawFill> fill; // empty: the fill was ended
    };
    std::vector<Call> calls;
    void DrawFillStyle(ClipId, const DrawFill* fill) override {
        calls.push_back({false, fill ? std::optional<DrawFill>(*fill) : std::nullopt});
    }
    void DrawLineFill(ClipId, const DrawFill& fill) override { calls.push_back({true, fill}); }
};

struct Drawer {
    Drawer() : rt(host, 8) {}
    DrawHost host;
    Runtime rt;

    Value Array(std::vector<Value> items) {
        Object* a = rt.NewArray();
        for (const Value& v : items)
            rt.ArrayPush(a, v);
        return Value::Obj(a);
    }
    Value Nums(std::vector<double> nums) {
        std::vector<Value> v;
        for (double n : nums)
            v.push_back(Value::Num(n));
        return Array(v);
    }
    Value Box(double x, double y, double w, double h, double r) {
        Object* m = rt.NewPlain();
        rt.SetMember(m, "matrixType", Value::Str("box"));
        rt.SetMember(m, "x", Value::Num(x));
        rt.SetMember(m, "y", Value::Num(y));
        rt.SetMember(m, "w", Value::Num(w));
        rt.SetMember(m, "h", Value::Num(h));
        rt.SetMember(m, "r", Value::Num(r));
        return Value::Obj(m);
    }
    // type, two colours, alphas and ratios as given, a box matrix, then
    // the extra arguments.
    Args Gradient(const char* type, std::vector<double> alphas, std::vector<double> ratios,
                  Args extra = {}) {
        Args a = {Value::Str(type), Nums({0xFF1419, 0x0E14FF}), Nums(alphas), Nums(ratios),
                  Box(100, 100, 200, 200, 0)};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }
    // Calls `method` on the main timeline; the fills it passed on.
    std::vector<DrawHost::Call> Run(const char* method, Args args) {
        host.calls.clear();
        rt.CallMethod(Value::Obj(rt.ClipObject(1)), method, args);
        return host.calls;
    }
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST(ScriptGradient, ArgumentsBecomeStopsAndAPlacement) {
    Drawer d;
    for (const char* method : {"beginGradientFill", "lineGradientStyle"}) {
        const auto calls = d.Run(
            method, d.Gradient("radial", {80, 40}, {kNaN, 255.9},
                               {Value::Str("reflect"), Value::Str("linearRGB"), Value::Num(0.5)}));
        ASSERT_EQ(calls.size(), 1u) << method;
        ASSERT_TRUE(calls[0].fill);
        const DrawFill& f = *calls[0].fill;
        EXPECT_EQ(calls[0].line, std::string(method) == "lineGradientStyle");
        EXPECT_EQ(f.kind, DrawFill::Kind::Radial);
        EXPECT_EQ(f.colors, (std::vector<uint32_t>{0xFF1419, 0x0E14FF}));
        // Ratios are whole steps; NaN counts as 0.
        EXPECT_EQ(f.ratios, (std::vector<double>{0, 255}));
        EXPECT_EQ(f.spread, 1);
        EXPECT_TRUE(f.linearRgb);
        EXPECT_DOUBLE_EQ(f.focal, 0.5);
        // The box: the gradient square scaled to w x h around its middle.
        EXPECT_DOUBLE_EQ(f.matrix[0], 200 / 1638.4);
        EXPECT_DOUBLE_EQ(f.matrix[3], 200 / 1638.4);
        EXPECT_DOUBLE_EQ(f.matrix[4], 200);
        EXPECT_DOUBLE_EQ(f.matrix[5], 200);
    }
    // Unknown spread and interpolation names fall back to pad and RGB.
    const auto odd = d.Run("beginGradientFill",
                           d.Gradient("linear", {100, 100}, {0, 255},
                                      {Value::Str("???"), Value::Str("???"), Value::Str("???")}));
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].fill->spread, 0);
    EXPECT_FALSE(odd[0].fill->linearRgb);
}

TEST(ScriptGradient, BadArgumentListsAreIgnored) {
    Drawer d;
    const Value pad = Value::Str("pad"), rgb = Value::Str("RGB"), zero = Value::Num(0);
    std::vector<Args> bad = {
        // Too few and too many arguments.
        {Value::Str("linear"), d.Nums({0, 0xff}), d.Nums({100, 100}), d.Nums({0, 255})},
        d.Gradient("linear", {100, 100}, {0, 255}, {pad, rgb, zero, Value::Str("invalid")}),
        // Type names are exact.
        d.Gradient("LINEAR", {100, 100}, {0, 255}),
        // Ratios -1 and 256 are out; -0.99 and 255.9 were still in.
        d.Gradient("linear", {100, 100}, {-1, 255}),
        d.Gradient("linear", {100, 100}, {0, 256}),
        // Arrays of different lengths.
        d.Gradient("linear", {100, 100}, {255}),
        d.Gradient("linear", {100}, {0, 255}),
        // Empty arrays, and no array at all.
        {Value::Str("linear"), d.Nums({}), d.Nums({}), d.Nums({}), d.Box(0, 0, 1, 1, 0)},
        {Value::Str("linear"), Value::Num(1), Value::Num(2), Value::Num(3), Value::Num(4)},
        // null or a number for the type.
        {Value::Null(), Value::Num(1), Value::Num(2), Value::Num(3), Value::Num(4)},
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        EXPECT_TRUE(d.Run("beginGradientFill", bad[i]).empty()) << i;
        EXPECT_TRUE(d.Run("lineGradientStyle", bad[i]).empty()) << i;
    }
    EXPECT_TRUE(d.Run("lineGradientStyle", {}).empty());
    EXPECT_EQ(d.Run("beginGradientFill", d.Gradient("linear", {100, 100}, {-0.99, 255})).size(),
              1u);
}

TEST(ScriptGradient, UndefinedTypeEndsTheFill) {
    Drawer d;
    // Whatever follows it, as beginFill() with no colour does.
    Args a = {Value::Undef(), Value::Num(1), Value::Num(2), Value::Num(3), Value::Num(4),
              Value::Num(5),  Value::Num(6), Value::Num(7), Value::Num(8), Value::Num(9)};
    auto calls = d.Run("beginGradientFill", a);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].fill);
    calls = d.Run("beginGradientFill", {});
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].fill);
}

TEST(ScriptGradient, StopsAreBoundedWhateverTheArraysClaim) {
    Drawer d;
    std::vector<double> many(40, 0), alphas(40, 100), ratios;
    for (int i = 0; i < 40; ++i)
        ratios.push_back(i * 6);
    Args a = {Value::Str("linear"), d.Nums(many), d.Nums(alphas), d.Nums(ratios),
              d.Box(0, 0, 10, 10, 0)};
    auto calls = d.Run("beginGradientFill", a);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].fill->colors.size(), DrawFill::kMaxStops);
    // A huge length claimed by script reads no further than the limit.
    for (int k = 1; k <= 3; ++k)
        d.rt.SetArrayLength(a[k].AsObject(), 4e9);
    calls = d.Run("beginGradientFill", a);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].fill->ratios.size(), DrawFill::kMaxStops);
}
