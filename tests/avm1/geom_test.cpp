// flash.geom Matrix and Rectangle arithmetic, and BitmapData's script face:
// refused sizes, disposed pictures, duck-typed arguments.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/avm1/uTestSupport.h"

using namespace zembra::avm1;
using namespace zembra::avm1::test;

namespace {

struct Geom {
    explicit Geom(int version = 8) : e(version) {}
    Engine e;
    Runtime& rt() { return e.rt; }
    Value Class(const char* pkg, const char* name) {
        Value flash = rt().GetMember(rt().global, "flash");
        return rt().GetMember(rt().GetMember(flash, pkg), name);
    }
    Value New(const char* pkg, const char* name, std::vector<double> nums) {
        Args a;
        for (double n : nums)
            a.push_back(Value::Num(n));
        return rt().Construct(Class(pkg, name), a);
    }
    Value Call(const Value& target, const char* method, Args args = {}) {
        return rt().CallMethod(target, method, args);
    }
    std::string Str(const Value& v) { return rt().ToString(v); }
    double Num(const Value& v, const char* name) { return rt().ToNumber(rt().GetMember(v, name)); }
};

} // namespace

TEST(GeomMatrix, ConcatAppliesTheOtherMatrixAfter) {
    Geom g;
    Value m = g.New("geom", "Matrix", {});
    EXPECT_EQ(g.Str(m), "(a=1, b=0, c=0, d=1, tx=0, ty=0)");
    g.Call(m, "translate", {Value::Num(10), Value::Num(0)});
    g.Call(m, "scale", {Value::Num(2), Value::Num(3)});
    // Translation is scaled too: (10, 0) -> (20, 0).
    EXPECT_EQ(g.Str(m), "(a=2, b=0, c=0, d=3, tx=20, ty=0)");
    Value n = g.New("geom", "Matrix", {0, 1, -1, 0, 5, 7}); // quarter turn, then move
    g.Call(m, "concat", {n});
    EXPECT_EQ(g.Str(m), "(a=0, b=2, c=-3, d=0, tx=5, ty=27)");
    Value p = g.Call(m, "transformPoint", {g.New("geom", "Point", {1, 1})});
    EXPECT_EQ(g.Str(p), "(x=2, y=29)");
    Value dp = g.Call(m, "deltaTransformPoint", {g.New("geom", "Point", {1, 1})});
    EXPECT_EQ(g.Str(dp), "(x=-3, y=2)");
}

TEST(GeomMatrix, InvertRoundTripsAndDegenerateBecomesIdentity) {
    Geom g;
    Value m = g.New("geom", "Matrix", {2, 1, 1, 1, 3, -4});
    Value inv = g.Call(m, "clone");
    g.Call(inv, "invert");
    g.Call(inv, "concat", {m});
    EXPECT_NEAR(g.Num(inv, "a"), 1, 1e-12);
    EXPECT_NEAR(g.Num(inv, "b"), 0, 1e-12);
    EXPECT_NEAR(g.Num(inv, "tx"), 0, 1e-12);
    EXPECT_NEAR(g.Num(inv, "ty"), 0, 1e-12);
    Value flat = g.New("geom", "Matrix", {1, 2, 2, 4, 5, 6});
    g.Call(flat, "invert");
    EXPECT_EQ(g.Str(flat), "(a=1, b=0, c=0, d=1, tx=0, ty=0)");
}

TEST(GeomMatrix, GradientBoxMapsTheGradientSquareOntoTheBox) {
    Geom g;
    Value m = g.New("geom", "Matrix", {});
    g.Call(m, "createGradientBox",
           {Value::Num(200), Value::Num(100), Value::Num(0), Value::Num(10), Value::Num(20)});
    // The square's edges -819.2 and 819.2 land on the box's edges.
    EXPECT_NEAR(g.Num(m, "a") * -819.2 + g.Num(m, "tx"), 10, 1e-9);
    EXPECT_NEAR(g.Num(m, "a") * 819.2 + g.Num(m, "tx"), 210, 1e-9);
    EXPECT_NEAR(g.Num(m, "d") * 819.2 + g.Num(m, "ty"), 120, 1e-9);
    g.Call(m, "createBox",
           {Value::Num(2), Value::Num(3), Value::Num(M_PI / 2), Value::Num(1), Value::Num(1)});
    EXPECT_NEAR(g.Num(m, "a"), 0, 1e-12);
    EXPECT_NEAR(g.Num(m, "b"), 3, 1e-12);
    EXPECT_NEAR(g.Num(m, "c"), -2, 1e-12);
}

TEST(GeomRectangle, EdgesMoveIndependently) {
    Geom g;
    Value r = g.New("geom", "Rectangle", {10, 20, 30, 40});
    EXPECT_EQ(g.Str(r), "(x=10, y=20, w=30, h=40)");
    EXPECT_EQ(g.Num(r, "right"), 40);
    g.rt().SetMember(r.AsObject(), "left", Value::Num(0));
    EXPECT_EQ(g.Str(r), "(x=0, y=20, w=40, h=40)");
    g.rt().SetMember(r.AsObject(), "bottom", Value::Num(100));
    EXPECT_EQ(g.Num(r, "height"), 80);
    EXPECT_EQ(g.Str(g.rt().GetMember(r, "bottomRight")), "(x=40, y=100)");
}

TEST(GeomRectangle, SetOperations) {
    Geom g;
    Value a = g.New("geom", "Rectangle", {0, 0, 10, 10});
    Value b = g.New("geom", "Rectangle", {5, 5, 10, 10});
    Value far = g.New("geom", "Rectangle", {50, 50, 1, 1});
    EXPECT_EQ(g.Str(g.Call(a, "intersection", {b})), "(x=5, y=5, w=5, h=5)");
    EXPECT_EQ(g.Str(g.Call(a, "intersection", {far})), "(x=0, y=0, w=0, h=0)");
    EXPECT_EQ(g.Str(g.Call(a, "union", {b})), "(x=0, y=0, w=15, h=15)");
    EXPECT_FALSE(g.rt().ToBoolean(g.Call(a, "intersects", {far})));
    EXPECT_TRUE(g.rt().ToBoolean(g.Call(a, "contains", {Value::Num(0), Value::Num(9.5)})));
    EXPECT_FALSE(g.rt().ToBoolean(g.Call(a, "contains", {Value::Num(10), Value::Num(0)})));
    g.Call(a, "inflate", {Value::Num(1), Value::Num(2)});
    EXPECT_EQ(g.Str(a), "(x=-1, y=-2, w=12, h=14)");
    Value empty = g.New("geom", "Rectangle", {});
    EXPECT_TRUE(g.rt().ToBoolean(g.Call(empty, "isEmpty")));
    EXPECT_EQ(g.Str(g.Call(empty, "union", {b})), "(x=5, y=5, w=10, h=10)");
}

TEST(ScriptBitmapData, RefusedSizesGiveUndefined) {
    Geom v8(8), v10(10);
    EXPECT_TRUE(v8.New("display", "BitmapData", {2881, 1}).IsUndefined());
    EXPECT_TRUE(v8.New("display", "BitmapData", {-5, 1}).IsUndefined());
    EXPECT_FALSE(v10.New("display", "BitmapData", {8191, 1}).IsUndefined());
    EXPECT_TRUE(v10.New("display", "BitmapData", {4096, 4096}).IsUndefined());
}

TEST(ScriptBitmapData, DisposedPicturesAnswerMinusOne) {
    Geom g;
    Value b = g.New("display", "BitmapData", {2, 2, 1, 0xFF00FF00});
    EXPECT_EQ(g.Num(b, "width"), 2);
    EXPECT_EQ(g.rt().ToNumber(g.Call(b, "getPixel", {Value::Num(0), Value::Num(0)})), 0x00FF00);
    g.Call(b, "dispose");
    EXPECT_EQ(g.Num(b, "width"), -1);
    EXPECT_EQ(g.rt().ToNumber(g.Call(b, "getPixel32", {Value::Num(0), Value::Num(0)})), -1);
    EXPECT_EQ(g.rt().ToNumber(g.Call(b, "clone")), -1);
    // A copy from a disposed source does nothing rather than reading freed pixels.
    Value c = g.New("display", "BitmapData", {2, 2, 1, 0xFF0000FF});
    g.Call(c, "copyPixels",
           {b, g.New("geom", "Rectangle", {0, 0, 2, 2}), g.New("geom", "Point", {0, 0})});
    EXPECT_EQ(g.rt().ToNumber(g.Call(c, "getPixel", {Value::Num(1), Value::Num(1)})), 0xFF);
}

TEST(ScriptBitmapData, HitTestReportsWhichArgumentIsWrong) {
    Geom g;
    Value b = g.New("display", "BitmapData", {5, 5, 1, 0});
    Value origin = g.New("geom", "Point", {0, 0});
    EXPECT_EQ(g.rt().ToNumber(g.Call(b, "hitTest", {})), -2);
    EXPECT_EQ(g.rt().ToNumber(
                  g.Call(b, "hitTest", {origin, Value::Num(0), Value::Obj(g.rt().NewPlain())})),
              -3);
    EXPECT_EQ(g.rt().ToNumber(g.Call(b, "hitTest", {origin, Value::Num(0), b, Value::Null()})), -4);
    g.Call(b, "setPixel32", {Value::Num(2), Value::Num(2), Value::Num(-1)});
    EXPECT_TRUE(g.rt().ToBoolean(
        g.Call(b, "hitTest", {origin, Value::Num(255), g.New("geom", "Point", {2, 2})})));
}

TEST(ScriptBitmapData, ThresholdTakesTheOperatorByName) {
    Geom g;
    Value src = g.New("display", "BitmapData", {2, 2, 1, 0xFF000000});
    Value dst = g.New("display", "BitmapData", {2, 2, 1, 0});
    Value rect = g.New("geom", "Rectangle", {0, 0, 2, 2});
    Value origin = g.New("geom", "Point", {0, 0});
    auto run = [&](const char* op) {
        return g.rt().ToNumber(g.Call(dst, "threshold",
                                      {src, rect, origin, Value::Str(op), Value::Num(0xFF000000),
                                       Value::Num(0xFFFF0000), Value::Num(0xFF000000)}));
    };
    EXPECT_EQ(run("=="), 4);
    EXPECT_EQ(run("!="), 0);
    EXPECT_EQ(run(">="), 4);
    EXPECT_EQ(run("=>"), 0); // no such operator: nothing done
    EXPECT_EQ(g.rt().ToNumber(g.Call(dst, "getPixel32", {Value::Num(1), Value::Num(1)})),
              static_cast<int32_t>(0xFFFF0000u));
}

TEST(ScriptBitmapData, CompareGivesADifferencePicture) {
    Geom g;
    Value a = g.New("display", "BitmapData", {2, 1, 1, 0xFFFFFFFF});
    Value b = g.New("display", "BitmapData", {2, 1, 1, 0xFFFFFFFF});
    EXPECT_EQ(g.rt().ToNumber(g.Call(a, "compare", {b})), 0);
    g.Call(b, "setPixel32", {Value::Num(0), Value::Num(0), Value::Num(0xFF333333)});
    Value diff = g.Call(a, "compare", {b});
    EXPECT_EQ(g.Num(diff, "width"), 2);
    EXPECT_EQ(g.rt().ToNumber(g.Call(diff, "getPixel32", {Value::Num(0), Value::Num(0)})),
              static_cast<int32_t>(0xFFCCCCCCu));
    EXPECT_EQ(g.rt().ToNumber(g.Call(diff, "getPixel32", {Value::Num(1), Value::Num(0)})), 0);
    EXPECT_EQ(g.rt().ToNumber(g.Call(a, "compare", {Value::Num(3)})), -2);
}
