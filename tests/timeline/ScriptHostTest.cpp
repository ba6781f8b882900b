// The timeline running its scripts: clip handles over the display list,
// display properties, clips made by scripts, event order, limits.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "tests/swf/uSwfBuilder.h"
#include "timeline/uMovie.h"
#include "timeline/uMoviePlayer.h"
#include "timeline/uScriptHost.h"

using namespace zembra;
using namespace zembra::testing;
using avm1::ClipId;
using avm1::ClipProp;
using timeline::ScriptHost;

namespace {

std::vector<uint8_t> Op(uint8_t code, const std::vector<uint8_t>& body = {}) {
    std::vector<uint8_t> out = {code};
    if (code >= 0x80) {
        out.push_back(static_cast<uint8_t>(body.size() & 0xff));
        out.push_back(static_cast<uint8_t>(body.size() >> 8));
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

std::vector<uint8_t> Push(const std::string& s) {
    std::vector<uint8_t> b = {0};
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
    return Op(0x96, b);
}

std::vector<uint8_t> Str(const std::string& s) {
    std::vector<uint8_t> b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

// trace("text") as action bytes, ended.
std::vector<uint8_t> TraceCode(const std::string& text) {
    return Concat({Push(text), Op(0x26), {0}});
}

std::vector<uint8_t> DoTrace(const std::string& text) {
    return Tag(12, TraceCode(text));
}

std::vector<uint8_t> Sprite(uint16_t id, uint16_t frames, const std::vector<uint8_t>& tags) {
    BitWriter w;
    w.U16(id);
    w.U16(frames);
    w.Bytes(tags);
    return Tag(39, w.bytes, true);
}

std::vector<uint8_t> Remove(uint16_t depth) {
    return Tag(28, {static_cast<uint8_t>(depth), 0});
}

// PlaceObject2 of a named character with onClipEvent handlers; the flags
// fields are 4 bytes wide from version 6 on, 2 before.
std::vector<uint8_t> PlaceNamed(uint16_t depth, uint16_t id, const std::string& name,
                                const std::vector<std::pair<uint32_t, std::string>>& events = {},
                                int version = 6) {
    BitWriter w;
    w.U8(static_cast<uint8_t>(0x02 | 0x20 | (events.empty() ? 0 : 0x80)));
    w.U16(depth);
    w.U16(id);
    w.Str(name);
    if (!events.empty()) {
        const bool wide = version >= 6;
        auto flags = [&](uint32_t f) { wide ? w.U32(f) : w.U16(static_cast<uint16_t>(f)); };
        uint32_t all = 0;
        for (const auto& e : events)
            all |= e.first;
        w.U16(0);
        flags(all);
        for (const auto& e : events) {
            const std::vector<uint8_t> code = TraceCode(e.second);
            flags(e.first);
            w.U32(static_cast<uint32_t>(code.size()));
            w.Bytes(code);
        }
        flags(0);
    }
    return Tag(26, w.bytes);
}

struct Played {
    timeline::Movie movie;
    std::vector<std::string> lines;

    explicit Played(const std::vector<uint8_t>& tags, uint16_t frames = 1, uint8_t version = 6) {
        movie.onTrace = [this](const std::string& l) { lines.push_back(l); };
        std::string error;
        EXPECT_TRUE(movie.Open(Movie(tags, 8000, 6000, frames, 'F', version), error)) << error;
    }
    ScriptHost& Host() { return static_cast<ScriptHost&>(movie.Scripts()->host()); }
    void Advance(int n = 1) {
        for (int i = 0; i < n; ++i)
            movie.Advance();
    }
};

const std::vector<uint8_t> kStop = Tag(12, {0x07, 0});

} // namespace

TEST(ScriptHost, HandlesFollowTheDisplayListAndDieWithTheirClips) {
    Played run(
        Concat({Sprite(5, 1, Concat({ShowFrame(), End()})), PlaceNamed(1, 5, "kid"), ShowFrame(),
                Remove(1), ShowFrame(), PlaceNamed(1, 5, "kid"), kStop, ShowFrame(), End()}),
        3);
    ScriptHost& host = run.Host();
    run.Advance();
    const ClipId kid = host.Child(host.Root(), "KID", false);
    ASSERT_NE(kid, 0u);
    EXPECT_EQ(host.Child(host.Root(), "KID", true), 0u);
    EXPECT_EQ(host.Parent(kid), host.Root());
    EXPECT_EQ(host.KindOf(kid), avm1::ClipKind::Clip);
    EXPECT_EQ(host.GetPropertyText(kid, ClipProp::Name), "kid");
    EXPECT_EQ(host.Depth(kid), 1 - timeline::kScriptDepthBase);

    run.Advance(); // removed
    EXPECT_EQ(host.Child(host.Root(), "kid", false), 0u);
    EXPECT_EQ(host.Parent(kid), 0u);
    EXPECT_EQ(host.GetProperty(kid, ClipProp::X), 0);
    host.SetProperty(kid, ClipProp::X, 5, ""); // a dead handle changes nothing

    run.Advance(); // placed again: a new handle, never the old one
    const ClipId again = host.Child(host.Root(), "kid", false);
    EXPECT_NE(again, 0u);
    EXPECT_NE(again, kid);
    EXPECT_EQ(host.KindOf(kid), avm1::ClipKind::None);
}

TEST(ScriptHost, TransformPropertiesKeepWhatScriptsSet) {
    Played run(Concat({RectShape(1, 1, 0, 0, 2000, 1000, 0xff0000ff),
                       Sprite(5, 1, Concat({PlaceObject2(1, 1, 0, 0), ShowFrame(), End()})),
                       PlaceNamed(1, 5, "box"), ShowFrame(), PlaceObject2(1, 0, 400, 400, true),
                       kStop, ShowFrame(), End()}),
               2);
    ScriptHost& host = run.Host();
    run.Advance();
    const ClipId box = host.Child(host.Root(), "box", false);
    ASSERT_NE(box, 0u);
    EXPECT_DOUBLE_EQ(host.GetProperty(box, ClipProp::Width), 100);
    EXPECT_DOUBLE_EQ(host.GetProperty(box, ClipProp::Height), 50);

    // A zero scale loses the rotation in the matrix, not in the clip.
    host.SetProperty(box, ClipProp::XScale, 0, "");
    host.SetProperty(box, ClipProp::Rotation, 30, "");
    host.SetProperty(box, ClipProp::XScale, 50, "");
    EXPECT_DOUBLE_EQ(host.GetProperty(box, ClipProp::Rotation), 30);
    EXPECT_DOUBLE_EQ(host.GetProperty(box, ClipProp::XScale), 50);
    const auto& obj = run.movie.Root().children.at(1);
    EXPECT_NEAR(obj.matrix.a, 0.5 * std::cos(30 * M_PI / 180), 1e-9);
    EXPECT_NEAR(obj.matrix.b, 0.5 * std::sin(30 * M_PI / 180), 1e-9);
    host.SetProperty(box, ClipProp::Rotation, 350, "");
    EXPECT_DOUBLE_EQ(host.GetProperty(box, ClipProp::Rotation), -10);

    host.SetProperty(box, ClipProp::X, 10.55, "");
    EXPECT_DOUBLE_EQ(obj.matrix.tx, 211);
    host.SetProperty(box, ClipProp::Alpha, 50, "");
    EXPECT_DOUBLE_EQ(obj.cxform.aMul, 0.5);
    host.SetProperty(box, ClipProp::Rotation, 0, "");
    host.SetProperty(box, ClipProp::Width, 300, ""); // content 100 wide
    EXPECT_NEAR(host.GetProperty(box, ClipProp::XScale), 300, 1e-9);
    EXPECT_NEAR(host.GetProperty(box, ClipProp::Width), 300, 1e-9);
    host.SetProperty(box, ClipProp::Y, std::nan(""), "");
    EXPECT_DOUBLE_EQ(host.GetProperty(box, ClipProp::Y), 0);

    // The timeline's move of a clip a script has moved no longer applies.
    run.Advance();
    EXPECT_DOUBLE_EQ(obj.matrix.tx, 211);

    // The main timeline has a transform of its own.
    host.SetProperty(host.Root(), ClipProp::X, 100, "");
    EXPECT_DOUBLE_EQ(host.GetProperty(host.Root(), ClipProp::X), 100);
    double x = 0, y = 0;
    host.ConvertPoint(box, x, y, true);
    EXPECT_DOUBLE_EQ(x, 110.55);
}

TEST(ScriptHost, ScriptClipsLiveAtScriptDepths) {
    Played run(Concat({Sprite(5, 1, Concat({ShowFrame(), End()})), PlaceNamed(1, 5, "placed"),
                       Tag(56, Concat({{1, 0, 5, 0}, {'L', 'i', 'n', 'k', 0}})), kStop, ShowFrame(),
                       End()}));
    ScriptHost& host = run.Host();
    run.Advance();
    const ClipId root = host.Root();
    const ClipId placed = host.Child(root, "placed", false);
    const ClipId empty = host.CreateEmpty(root, "e", 5);
    ASSERT_NE(empty, 0u);
    EXPECT_EQ(host.Depth(empty), 5);
    EXPECT_EQ(host.NextHighestDepth(root), 6);
    EXPECT_EQ(host.Child(root, "e", true), empty);

    const ClipId attached = host.Attach(empty, "link", "a", 0);
    ASSERT_NE(attached, 0u);
    EXPECT_EQ(host.Parent(attached), empty);
    EXPECT_EQ(host.Attach(root, "missing", "m", 1), 0u);
    EXPECT_EQ(host.CreateEmpty(root, "far", timeline::kMaxScriptDepth), 0u);
    EXPECT_NE(host.CreateEmpty(root, "near", timeline::kMaxScriptDepth - 1), 0u);

    // Scripts remove only what sits at script depths.
    host.Remove(placed);
    EXPECT_EQ(host.Child(root, "placed", false), placed);
    const ClipId copy = host.Duplicate(placed, "copy", 7);
    ASSERT_NE(copy, 0u);
    host.SwapDepths(copy, 5); // trades places with "e"
    EXPECT_EQ(host.Depth(copy), 5);
    EXPECT_EQ(host.Depth(empty), 7);
    host.SwapWith(copy, empty);
    EXPECT_EQ(host.Depth(copy), 7);

    // A new clip at a taken depth replaces the old one and its children.
    const ClipId replacement = host.CreateEmpty(root, "r", 5);
    EXPECT_NE(replacement, 0u);
    EXPECT_EQ(host.KindOf(copy), avm1::ClipKind::Clip);
    EXPECT_EQ(host.KindOf(empty), avm1::ClipKind::None);
    EXPECT_EQ(host.KindOf(attached), avm1::ClipKind::None);
    host.Remove(copy);
    EXPECT_EQ(host.KindOf(copy), avm1::ClipKind::None);
}

TEST(ScriptEvents, RunInThePlayersOrder) {
    using namespace timeline::clipevents;
    const auto child = Sprite(5, 1, Concat({DoTrace("child frame"), ShowFrame(), End()}));
    Played run(Concat({child, DoTrace("root 1"), ShowFrame(),
                       PlaceNamed(1, 5, "c",
                                  {{Load, "load"},
                                   {EnterFrame, "enter"},
                                   {Unload, "unload"},
                                   {Initialize, "init"},
                                   {Construct, "construct"}}),
                       DoTrace("root 2"), ShowFrame(), DoTrace("root 3"), ShowFrame(), Remove(1),
                       DoTrace("root 4"), kStop, ShowFrame(), End()}),
               4);
    run.Advance(5);
    const std::vector<std::string> want = {"root 1",      "init",  "construct", "root 2", "load",
                                           "child frame", "enter", "root 3",    "unload", "root 4"};
    EXPECT_EQ(run.lines, want);
}

TEST(ScriptEvents, NarrowEventFlagsBeforeVersion6) {
    using namespace timeline::clipevents;
    Played run(Concat({Sprite(5, 1, Concat({ShowFrame(), End()})),
                       PlaceNamed(1, 5, "c", {{Load, "load"}, {EnterFrame, "enter"}}, 5),
                       ShowFrame(), ShowFrame(), End()}),
               2, 5);
    run.Advance(2);
    const std::vector<std::string> want = {"load", "enter"};
    EXPECT_EQ(run.lines, want);
}

TEST(ScriptEvents, InitActionsRunOnceAheadOfFrameActions) {
    const auto init = Tag(59, Concat({{5, 0}, TraceCode("init 5")}));
    Played run(Concat({Sprite(5, 1, Concat({ShowFrame(), End()})), DoTrace("frame"), init,
                       ShowFrame(), ShowFrame(), End()}),
               2);
    run.Advance(4); // loops back over the init actions
    const std::vector<std::string> want = {"init 5", "frame", "frame"};
    EXPECT_EQ(run.lines, want);
}

TEST(ScriptEvents, TraceSplitsLinesAndCommandsReachTheHost) {
    std::vector<std::pair<std::string, std::string>> commands;
    // trace("a\rb\nc"); getURL("FSCommand:quit", "now"); getURL("http://x", "_blank")
    const std::vector<uint8_t> code =
        Concat({Push("a\rb\nc"),
                Op(0x26),
                Op(0x83, Concat({Str("FSCommand:quit"), Str("now")})),
                Op(0x83, Concat({Str("http://example.com/"), Str("_blank")})),
                {0}});
    Played run(Concat({Tag(12, code), ShowFrame(), End()}));
    run.movie.onFSCommand = [&](const std::string& c, const std::string& a) {
        commands.emplace_back(c, a);
    };
    run.Advance();
    const std::vector<std::string> want = {"a", "b", "c"};
    EXPECT_EQ(run.lines, want);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].first, "quit");
    EXPECT_EQ(commands[0].second, "now");
}

TEST(ScriptLimits, FlashVarsAndStoppedScripts) {
    // trace(b); then a loop that never ends; the next frame still runs.
    const std::vector<uint8_t> forever =
        Concat({Push("b"), Op(0x1c), Op(0x26), Op(0x99, {0xfb, 0xff}), {0}});
    movie::MoviePlayer player;
    std::vector<std::string> lines;
    player.OnTrace = [&](const std::string& l) { lines.push_back(l); };
    player.SetFlashVars("a=1&b=x%20y+z");
    player.SetScriptTimeLimit(0.05);
    ASSERT_TRUE(player.Load(Movie(Concat({Tag(12, forever), ShowFrame(), DoTrace("next"),
                                          Tag(12, {0x07, 0}), ShowFrame(), End()}),
                                  8000, 6000, 2)));
    const auto start = std::chrono::steady_clock::now();
    player.Advance();
    player.Advance();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 2.0);
    const std::vector<std::string> want = {"x y z", "next"};
    EXPECT_EQ(lines, want);
}

TEST(ScriptLimits, RecursionIsBounded) {
    // function f() { f(); } f();  Defined with DefineFunction "f", no params.
    const std::vector<uint8_t> body = Concat({Push("0"), Push("f"), Op(0x3d), Op(0x17)});
    const std::vector<uint8_t> define =
        Op(0x9b, Concat({Str("f"), {0, 0}, {static_cast<uint8_t>(body.size()), 0}}));
    const std::vector<uint8_t> code = Concat(
        {define, body, Push("0"), Push("f"), Op(0x3d), Op(0x17), Push("after"), Op(0x26), {0}});
    Played run(Concat({Tag(12, code), DoTrace("went on"), ShowFrame(), End()}));
    run.Advance();
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), "went on");
}

TEST(ScriptEvents, ClipsWithHandlersActAsButtons) {
    // btn.onRelease = function() { trace("released"); }
    const std::vector<uint8_t> body = Concat({Push("released"), Op(0x26)});
    const std::vector<uint8_t> code =
        Concat({Push("btn"),
                Op(0x1c),
                Push("onRelease"),
                Op(0x9b, Concat({Str(""), {0, 0}, {static_cast<uint8_t>(body.size()), 0}})),
                body,
                Op(0x4f),
                Op(0x07),
                {0}});
    movie::MoviePlayer player;
    std::vector<std::string> lines;
    player.OnTrace = [&](const std::string& l) { lines.push_back(l); };
    ASSERT_TRUE(player.Load(
        Movie(Concat({RectShape(1, 1, 0, 0, 2000, 2000, 0xff0000ff),
                      Sprite(5, 1, Concat({PlaceObject2(1, 1, 0, 0), ShowFrame(), End()})),
                      PlaceNamed(1, 5, "btn"), Tag(12, code), ShowFrame(), End()}))));
    player.Advance();
    player.MouseMove(150, 150); // outside
    player.MouseButton(true);
    player.MouseButton(false);
    EXPECT_TRUE(lines.empty());
    player.MouseMove(50, 50);
    player.MouseButton(true);
    player.MouseButton(false);
    const std::vector<std::string> want = {"released"};
    EXPECT_EQ(lines, want);
}

TEST(ScriptHost, GotoActionsPastTheEndGoNowhere) {
    Played run(Concat({kStop, ShowFrame(), ShowFrame(), ShowFrame(), End()}), 3);
    ScriptHost& host = run.Host();
    run.Advance();
    host.GotoFrame(host.Root(), 2, false);
    EXPECT_EQ(host.GetProperty(host.Root(), ClipProp::CurrentFrame), 2);
    host.GotoFrame(host.Root(), 999, false);
    EXPECT_EQ(host.GetProperty(host.Root(), ClipProp::CurrentFrame), 2);
    host.GotoFrame(host.Root(), -5, false); // before the first: the first
    EXPECT_EQ(host.GetProperty(host.Root(), ClipProp::CurrentFrame), 1);
    EXPECT_EQ(host.GetProperty(host.Root(), ClipProp::TotalFrames), 3);
}

TEST(ScriptEvents, NewestClipsStepFirstAndTheMainTimelineLast) {
    auto twoFrames = [](uint16_t id, const std::string& name) {
        return Sprite(id, 2,
                      Concat({DoTrace(name + " 1"), ShowFrame(), DoTrace(name + " 2"),
                              Tag(12, {0x07, 0}), ShowFrame(), End()}));
    };
    Played run(
        Concat({twoFrames(5, "a"), twoFrames(6, "b"), PlaceNamed(1, 5, "a"), PlaceNamed(2, 6, "b"),
                DoTrace("root 1"), ShowFrame(), DoTrace("root 2"), kStop, ShowFrame(), End()}),
        2);
    run.Advance(2);
    // The frame's own actions first, then the clips it placed, in order;
    // on the next frame the clips step newest first, their parent last.
    const std::vector<std::string> want = {"root 1", "a 1", "b 1", "b 2", "a 2", "root 2"};
    EXPECT_EQ(run.lines, want);
}

TEST(ScriptHost, FrameActionsOfALostTargetGoToTheMainTimeline) {
    // tellTarget("missing") { gotoAndStop(3); } from a clip: the main
    // timeline moves; from a removed clip nothing moves.
    const std::vector<uint8_t> lost =
        Concat({Op(0x8B, Str("missing")), Op(0x81, {2, 0}), Op(0x8B, Str("")), {0}});
    Played run(
        Concat({Sprite(5, 1, Concat({Tag(12, lost), ShowFrame(), End()})), PlaceNamed(1, 5, "kid"),
                kStop, ShowFrame(), ShowFrame(), ShowFrame(), End()}),
        3);
    ScriptHost& host = run.Host();
    run.Advance();
    EXPECT_EQ(host.GetProperty(host.Root(), ClipProp::CurrentFrame), 3);

    Played gone(Concat({Sprite(5, 1, Concat({ShowFrame(), End()})), PlaceNamed(1, 5, "kid"), kStop,
                        ShowFrame(), Remove(1), ShowFrame(), ShowFrame(), End()}),
                3);
    ScriptHost& h2 = gone.Host();
    gone.Advance();
    const ClipId kid = h2.Child(h2.Root(), "kid", false);
    ASSERT_NE(kid, 0u);
    // The clip's script removes the clip (the main timeline goes to its
    // second frame, which removes it), then aims at the main timeline.
    const std::vector<uint8_t> code = Concat({Op(0x8B, Str("/")),
                                              Op(0x81, {1, 0}),
                                              Op(0x8B, Str("")),
                                              Op(0x8B, Str("/")),
                                              Op(0x81, {2, 0}),
                                              {0}});
    gone.movie.Scripts()->RunActions(code.data(), code.size(), kid);
    EXPECT_EQ(h2.GetProperty(h2.Root(), ClipProp::CurrentFrame), 2);
}
