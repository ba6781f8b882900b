// The Stage object: the declared size, the values scripts set, and the
// display state with the change its listeners hear of.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/avm1/uTestSupport.h"

using namespace zembra::avm1;
using namespace zembra::avm1::test;

namespace {

struct SizedHost : FakeHost {
    void StageSize(double& w, double& h) override {
        w = 320;
        h = 240;
    }
};

Value StageGet(Runtime& rt, const char* name) {
    Object* stage = rt.GetMember(rt.global, "Stage").AsObject();
    return stage ? rt.GetMember(stage, name) : Value::Undef();
}

void StageSet(Runtime& rt, const char* name, const Value& v) {
    if (Object* stage = rt.GetMember(rt.global, "Stage").AsObject())
        rt.SetMember(stage, name, v);
}

} // namespace

TEST(Stage, SizeComesFromTheHostAndCannotBeSet) {
    SizedHost host;
    Runtime rt(host, 8);
    EXPECT_EQ(rt.ToNumber(StageGet(rt, "width")), 320);
    EXPECT_EQ(rt.ToNumber(StageGet(rt, "height")), 240);
    StageSet(rt, "width", Value::Num(5));
    EXPECT_EQ(rt.ToNumber(StageGet(rt, "width")), 320);
    EXPECT_EQ(rt.ToString(StageGet(rt, "scaleMode")), "showAll");
    StageSet(rt, "scaleMode", Value::Str("noScale"));
    EXPECT_EQ(rt.ToString(StageGet(rt, "scaleMode")), "noScale");
    EXPECT_TRUE(rt.ToBoolean(StageGet(rt, "showMenu")));
}

TEST(Stage, DisplayStateTakesKnownStatesAndTellsListenersOfChanges) {
    Engine e(8);
    Runtime& rt = e.rt;
    // A listener that traces what it hears.
    Asm a;
    a.PushStr("l").PushInt(0).PushStr("Object").Op(0x40).Op(0x1D); // l = new Object
    a.Get("l").PushStr("onFullScreen");
    a.Function2("", {{1, "full"}}, 2, 0);
    a.PushStr("heard ").PushReg(1).Op(0x47).Trace();
    a.EndFunction();
    a.Op(0x4F);
    a.Get("l").PushInt(1).PushStr("Stage").Op(0x1C).PushStr("addListener").Op(0x52).Op(0x17);
    ASSERT_TRUE(e.Run(a));

    EXPECT_EQ(rt.ToString(StageGet(rt, "displayState")), "normal");
    StageSet(rt, "displayState", Value::Str("bogus"));
    EXPECT_EQ(rt.ToString(StageGet(rt, "displayState")), "normal");
    StageSet(rt, "displayState", Value::Str("FULLSCREEN"));
    EXPECT_EQ(rt.ToString(StageGet(rt, "displayState")), "fullScreen");
    StageSet(rt, "displayState", Value::Str("fullscreen")); // no change, no event
    StageSet(rt, "displayState", Value::Str("Normal"));
    EXPECT_EQ(rt.ToString(StageGet(rt, "displayState")), "normal");
    const std::vector<std::string> want = {"heard true", "heard false"};
    EXPECT_EQ(e.host.traces, want);
}

namespace {

// Remembers what the last _focusrect assignment handed the host.
struct FocusRectHost : FakeHost {
    double number = -99;
    std::string text = "?";
    void SetProperty(ClipId c, ClipProp p, double n, const std::string& t) override {
        if (p == ClipProp::FocusRect) {
            number = n;
            text = t;
        }
        FakeHost::SetProperty(c, p, n, t);
    }
};

} // namespace

TEST(Stage, FocusRectAssignmentsTellUnsettingFromFalse) {
    for (int version : {5, 6, 8}) {
        SCOPED_TRACE(version);
        FocusRectHost host;
        Runtime rt(host, version);
        const ClipId clip = host.AddClip(1, "clip");
        Object* obj = rt.ClipObject(clip);
        ASSERT_NE(obj, nullptr);
        // Through a member and through the SetProperty action alike.
        rt.SetMember(obj, "_focusrect", Value::Null());
        EXPECT_EQ(host.text, "null");
        rt.SetMember(obj, "_focusrect", Value::Bool(false));
        EXPECT_EQ(host.text, "");
        EXPECT_EQ(host.number, 0);
        Asm a;
        a.PushStr("clip").PushInt(static_cast<int>(ClipProp::FocusRect)).PushUndef().Op(0x23);
        ASSERT_TRUE(rt.RunActions(a.Finish(), 1));
        EXPECT_EQ(host.text, "null");
        // A non-empty word: a truth value from version 6, no number before.
        rt.SetMember(obj, "_focusrect", Value::Str("test"));
        EXPECT_EQ(host.text, "");
        if (version >= 6)
            EXPECT_EQ(host.number, version >= 7 ? 1 : 0);
        else
            EXPECT_TRUE(std::isnan(host.number));
    }
}
