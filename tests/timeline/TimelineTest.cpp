// The display list in time, frame actions, and the player facade drawing
// through the renderer.
#include <gtest/gtest.h>

#include "tests/swf/uSwfBuilder.h"
#include "timeline/uMovie.h"
#include "timeline/uMoviePlayer.h"

using namespace zembra;
using namespace zembra::testing;

namespace {

// Actions: each op as bytes; ops >= 0x80 get their length.
std::vector<uint8_t> Op(uint8_t code, const std::vector<uint8_t>& body = {}) {
    std::vector<uint8_t> out = {code};
    if (code >= 0x80) {
        out.push_back(static_cast<uint8_t>(body.size() & 0xff));
        out.push_back(static_cast<uint8_t>(body.size() >> 8));
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

std::vector<uint8_t> PushString(const std::string& s) {
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

std::vector<uint8_t> DoAction(std::initializer_list<std::vector<uint8_t>> ops) {
    std::vector<uint8_t> body = Concat(ops);
    body.push_back(0);
    return Tag(12, body);
}

std::vector<uint8_t> Remove(uint16_t depth) {
    return Tag(28, {static_cast<uint8_t>(depth), 0});
}

std::vector<uint8_t> Sprite(uint16_t id, uint16_t frames, const std::vector<uint8_t>& tags) {
    BitWriter w;
    w.U16(id);
    w.U16(frames);
    w.Bytes(tags);
    return Tag(39, w.bytes, true);
}

std::vector<uint8_t> Label(const std::string& name) {
    return Tag(43, Str(name));
}

const timeline::DisplayObject* At(const timeline::SpriteInstance& s, int depth) {
    auto it = s.children.find(depth);
    return it == s.children.end() ? nullptr : &it->second;
}

uint32_t Pixel(const raster::FrameBuffer& fb, int x, int y) {
    return fb.Row(y)[x];
}

} // namespace

TEST(Timeline, PlacementsMovesRemovalsAndRewinds) {
    timeline::Movie movie;
    std::string error;
    const auto tags = Concat({RectShape(1, 1, 0, 0, 100, 100, 0xff0000ff),
                              RectShape(2, 1, 0, 0, 50, 50, 0x00ff00ff), PlaceObject2(1, 1, 0, 0),
                              ShowFrame(),                      // 1
                              PlaceObject2(1, 0, 200, 0, true), // 2: move
                              PlaceObject2(2, 2, 0, 0), ShowFrame(), Remove(1), ShowFrame(), // 3
                              ShowFrame(), End()});                                          // 4
    ASSERT_TRUE(movie.Open(Movie(tags, 8000, 6000, 4), error)) << error;
    movie.Advance();
    ASSERT_TRUE(At(movie.Root(), 1));
    EXPECT_DOUBLE_EQ(At(movie.Root(), 1)->matrix.tx, 0);
    EXPECT_FALSE(At(movie.Root(), 2));
    movie.Advance();
    EXPECT_DOUBLE_EQ(At(movie.Root(), 1)->matrix.tx, 200);
    ASSERT_TRUE(At(movie.Root(), 2));
    movie.Advance();
    EXPECT_FALSE(At(movie.Root(), 1));
    EXPECT_TRUE(At(movie.Root(), 2));
    movie.Advance();
    // Looping back to frame 1 rebuilds: depth 1 as first placed, depth 2 gone.
    movie.Advance();
    EXPECT_EQ(movie.Root().frame, 0);
    ASSERT_TRUE(At(movie.Root(), 1));
    EXPECT_DOUBLE_EQ(At(movie.Root(), 1)->matrix.tx, 0);
    EXPECT_FALSE(At(movie.Root(), 2));
    EXPECT_EQ(movie.FramesRun(), 5u);

    // Without looping the last frame stays.
    timeline::Movie once;
    ASSERT_TRUE(once.Open(Movie(tags, 8000, 6000, 4), error));
    once.SetLoop(false);
    for (int i = 0; i < 7; ++i)
        once.Advance();
    EXPECT_EQ(once.Root().frame, 3);
}

TEST(Timeline, SpritesAdvanceWithTheirParentAndSurviveRewinds) {
    const auto spriteTags =
        Concat({PlaceObject2(1, 1, 0, 0), ShowFrame(), PlaceObject2(1, 0, 10, 0, true), ShowFrame(),
                PlaceObject2(1, 0, 20, 0, true), ShowFrame(), End()});
    const auto tags = Concat({RectShape(1, 1, 0, 0, 100, 100, 0xff0000ff), Sprite(5, 3, spriteTags),
                              PlaceObject2(1, 5, 0, 0), ShowFrame(), ShowFrame(),
                              DoAction({Op(0x81, {0, 0}), Op(0x06)}), ShowFrame(), End()});
    timeline::Movie movie;
    std::string error;
    ASSERT_TRUE(movie.Open(Movie(tags, 8000, 6000, 3), error)) << error;
    movie.Advance();
    const timeline::SpriteInstance* sprite = At(movie.Root(), 1)->sprite.get();
    ASSERT_TRUE(sprite);
    EXPECT_EQ(sprite->frame, 0);
    movie.Advance();
    EXPECT_EQ(sprite->frame, 1);
    EXPECT_DOUBLE_EQ(At(*sprite, 1)->matrix.tx, 10);
    movie.Advance(); // root frame 3 jumps back to frame 1
    EXPECT_EQ(movie.Root().frame, 0);
    // Same character at the same depth: the instance (and its frame) stays.
    ASSERT_TRUE(At(movie.Root(), 1));
    EXPECT_EQ(At(movie.Root(), 1)->sprite.get(), sprite);
    EXPECT_EQ(sprite->frame, 2);
}

TEST(Timeline, ActionsControlFramesTraceAndCommands) {
    const auto tags =
        Concat({Label("start"), DoAction({PushString("hello"), Op(0x26)}), ShowFrame(),
                DoAction({Op(0x83, Concat({Str("FSCommand:quit"), Str("now")})),
                          Op(0x83, Concat({Str("http://example.invalid/"), Str("_blank")})),
                          Op(0x88, Concat({{2, 0}, Str("first"), Str("second")})), Op(0x96, {8, 1}),
                          Op(0x26), Op(0x96, {7, 42, 0, 0, 0}), Op(0x26), Op(0x07)}),
                ShowFrame(), Label("later"), ShowFrame(), End()});
    timeline::Movie movie;
    std::vector<std::string> out;
    movie.onTrace = [&](const std::string& s) { out.push_back("trace " + s); };
    movie.onFSCommand = [&](const std::string& c, const std::string& a) {
        out.push_back("fscommand " + c + " " + a);
    };
    std::string error;
    ASSERT_TRUE(movie.Open(Movie(tags, 8000, 6000, 3), error)) << error;
    for (int i = 0; i < 5; ++i)
        movie.Advance();
    EXPECT_EQ(movie.Root().frame, 1); // stopped on frame 2
    const std::vector<std::string> want = {"trace hello", "fscommand quit now", "trace second",
                                           "trace 42"};
    EXPECT_EQ(out, want);
    EXPECT_EQ(movie.Root().def->FrameOfLabel("LATER"), 2);
}

TEST(Timeline, RunnerGotosAndBoundedLoops) {
    const auto tags =
        Concat({Label("a"), ShowFrame(), Label("b"), ShowFrame(), ShowFrame(), End()});
    timeline::Movie movie;
    std::string error;
    ASSERT_TRUE(movie.Open(Movie(tags, 8000, 6000, 3), error)) << error;
    movie.Advance();
    auto run = [&](std::initializer_list<std::vector<uint8_t>> ops) {
        std::vector<uint8_t> code = Concat(ops);
        code.push_back(0);
        movie.RunActions(code.data(), code.size(), movie.Root());
    };
    run({Op(0x8c, Str("b"))});
    EXPECT_EQ(movie.Root().frame, 1);
    EXPECT_FALSE(movie.Root().playing);
    run({PushString("3"), Op(0x9f, {1})}); // gotoAndPlay("3")
    EXPECT_EQ(movie.Root().frame, 2);
    EXPECT_TRUE(movie.Root().playing);
    run({PushString("a"), Op(0x9f, {0})});
    EXPECT_EQ(movie.Root().frame, 0);
    run({Op(0x04), Op(0x04), Op(0x04), Op(0x04)}); // next frame stops at the end
    EXPECT_EQ(movie.Root().frame, 2);
    run({Op(0x05)});
    EXPECT_EQ(movie.Root().frame, 1);
    // A jump to itself ends after the step bound instead of hanging.
    run({Op(0x99, {0xfb, 0xff})});
    // Jumps out of the block end it.
    run({Op(0x99, {0x00, 0x40}), Op(0x07)});
}

TEST(Timeline, SelfNestingSpritesStayBounded) {
    // Sprite 5 places itself twice: without bounds this doubles forever.
    const auto spriteTags =
        Concat({PlaceObject2(1, 5, 0, 0), PlaceObject2(2, 5, 10, 0), ShowFrame(), End()});
    const auto tags =
        Concat({Sprite(5, 1, spriteTags), PlaceObject2(1, 5, 0, 0), ShowFrame(), End()});
    movie::MoviePlayer player;
    ASSERT_TRUE(player.Load(Movie(tags, 800, 600, 1)));
    player.Advance();
    player.Advance();
    raster::FrameBuffer fb(20, 20);
    player.Render(fb);
}

TEST(Timeline, GotoStormsAndHugeFramesStayBounded) {
    // Frame 3 jumps between frames 1 and 3 in an endless loop: each jump
    // back replays the timeline. The step, goto and replay bounds end it.
    std::vector<uint8_t> many;
    for (int i = 0; i < 2000; ++i) {
        auto p = PlaceObject2(static_cast<uint16_t>(1 + i % 50), 1, i, 0, i >= 50);
        many.insert(many.end(), p.begin(), p.end());
    }
    const auto tags =
        Concat({RectShape(1, 1, 0, 0, 100, 100, 0xff0000ff), many, ShowFrame(), ShowFrame(),
                DoAction({Op(0x81, {0, 0}), Op(0x81, {2, 0}), Op(0x99, {0xf1, 0xff})}), ShowFrame(),
                End()});
    timeline::Movie movie;
    timeline::ScriptBudget budget;
    budget.secondsPerEntry = 0.2; // the saver's kind of limit keeps the test short
    movie.SetScriptBudget(budget);
    std::string error;
    ASSERT_TRUE(movie.Open(Movie(tags, 8000, 6000, 3), error)) << error;
    for (int i = 0; i < 4; ++i)
        movie.Advance();
    EXPECT_EQ(movie.Root().children.size(), 50u);
}

TEST(Player, ButtonsShowOverAndDownStatesAndRunReleaseActions) {
    // Button 10: up = red square (shape 1), over and down = green (shape 2),
    // hit = shape 1; on release it sends an FSCommand.
    BitWriter b;
    b.U16(10);
    b.U8(0);
    std::vector<uint8_t> records;
    auto record = [&](BitWriter& w, uint8_t states, uint16_t id) {
        w.U8(states);
        w.U16(id);
        w.U16(1);
        w.Matrix(0, 0);
        w.UB(0, 1); // colour transform: neither add nor multiply
        w.UB(0, 1);
        w.UB(1, 4);
        w.Align();
    };
    BitWriter recs;
    record(recs, 0x01 | 0x08, 1);
    record(recs, 0x02 | 0x04, 2);
    recs.U8(0);
    b.U16(static_cast<uint16_t>(recs.bytes.size() + 2));
    b.Bytes(recs.bytes);
    const auto action = Op(0x83, Concat({Str("FSCommand:clicked"), Str("yes")}));
    b.U16(0); // last condition record
    b.U16(0x0008);
    b.Bytes(action);
    b.U8(0);
    const auto tags = Concat({RectShape(1, 1, 0, 0, 1000, 1000, 0xff0000ff),
                              RectShape(2, 1, 0, 0, 1000, 1000, 0x00ff00ff), Tag(34, b.bytes),
                              PlaceObject2(1, 10, 0, 0), ShowFrame(), End()});
    movie::MoviePlayer player;
    std::vector<std::string> commands;
    player.OnFSCommand = [&](const std::string& c, const std::string& a) {
        commands.push_back(c + " " + a);
    };
    ASSERT_TRUE(player.Load(Movie(tags, 2000, 1000, 1))) << player.Error();
    player.Advance();
    raster::FrameBuffer fb(100, 50);
    player.Render(fb);
    EXPECT_EQ(Pixel(fb, 25, 25), 0xff0000ffu);
    player.MouseMove(25, 25);
    player.Render(fb);
    EXPECT_EQ(Pixel(fb, 25, 25), 0xff00ff00u);
    player.MouseButton(true);
    EXPECT_TRUE(commands.empty());
    player.MouseButton(false);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], "clicked yes");
    player.MouseMove(80, 25); // off the button: up again, no more commands
    player.MouseButton(true);
    player.MouseButton(false);
    player.Render(fb);
    EXPECT_EQ(Pixel(fb, 25, 25), 0xff0000ffu);
    EXPECT_EQ(commands.size(), 1u);
}

TEST(Player, DrawsTheStageWithScaleModesMasksAndBackground) {
    // Stage 100x50 px, blue background; a red square 0..50 px placed at
    // x = 25 px; a mask (clip depth) at depth 2 covering the left half of
    // a green square at depth 3.
    const auto tags =
        Concat({Tag(9, {0, 0, 255}), RectShape(1, 1, 0, 0, 1000, 1000, 0xff0000ff),
                RectShape(2, 1, 0, 0, 500, 1000, 0xffffffff),
                RectShape(3, 1, 0, 0, 1000, 1000, 0x00ff00ff), PlaceObject2(1, 1, 500, 0),
                [] {
                    BitWriter w;
                    w.U8(0x02 | 0x04 | 0x40);
                    w.U16(2);
                    w.U16(2);
                    w.Matrix(1000, 0);
                    w.U16(3);
                    return Tag(26, w.bytes);
                }(),
                PlaceObject2(3, 3, 1000, 0), ShowFrame(), End()});
    movie::MoviePlayer player;
    ASSERT_TRUE(player.Load(Movie(tags, 2000, 1000, 1))) << player.Error();
    EXPECT_DOUBLE_EQ(player.Info().stageWidth, 100);
    EXPECT_EQ(player.FrameIntervalMs(), 42);
    player.Advance();
    raster::FrameBuffer fb(100, 50);
    player.Render(fb);
    EXPECT_EQ(Pixel(fb, 5, 25), 0xffff0000u);  // background
    EXPECT_EQ(Pixel(fb, 30, 25), 0xff0000ffu); // red square
    EXPECT_EQ(Pixel(fb, 60, 25), 0xff00ff00u); // green, inside the mask
    EXPECT_EQ(Pixel(fb, 90, 25), 0xffff0000u); // green outside the mask: hidden
    // Show all into a wider output: centred with the background around.
    raster::FrameBuffer wide(200, 50);
    player.Render(wide);
    EXPECT_EQ(Pixel(wide, 80, 25), 0xff0000ffu);
    EXPECT_EQ(Pixel(wide, 10, 25), 0xffff0000u);
    player.SetScaleMode(movie::ScaleMode::ExactFit);
    player.Render(wide);
    EXPECT_EQ(Pixel(wide, 60, 25), 0xff0000ffu);
    player.SetBackgroundColor(0x000000);
    player.Render(wide);
    EXPECT_EQ(Pixel(wide, 5, 25), 0xff000000u);

    movie::MoviePlayer bad;
    EXPECT_FALSE(bad.Load({'X', 'W', 'S', 1, 0, 0, 0, 0}));
    EXPECT_NE(bad.Error().find("signature"), std::string::npos);
    EXPECT_FALSE(bad.Loaded());
    bad.Advance();
    bad.Render(fb);
}
