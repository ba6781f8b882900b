// The focus rectangle: which objects get one, when a _focusrect change
// shows, what a button's rectangle surrounds, and how buttons draw sprites.
#include <gtest/gtest.h>

#include <cmath>

#include "avm1/uObject.h"
#include "tests/swf/uSwfBuilder.h"
#include "timeline/uFocusRect.h"
#include "timeline/uMovie.h"
#include "timeline/uMoviePlayer.h"

using namespace zembra;
using namespace zembra::testing;

namespace {

std::vector<uint8_t> NamedPlace(uint16_t depth, uint16_t id, int32_t tx, int32_t ty,
                                const std::string& name) {
    BitWriter w;
    w.U8(0x02 | 0x04 | 0x20);
    w.U16(depth);
    w.U16(id);
    w.Matrix(tx, ty);
    w.Str(name);
    return Tag(26, w.bytes);
}

// A DefineButton2 record: state flags (1 up, 2 over, 4 down, 8 hit),
// character and depth, untransformed.
void ButtonRecord(BitWriter& w, uint8_t states, uint16_t id, uint16_t depth) {
    w.U8(states);
    w.U16(id);
    w.U16(depth);
    w.U8(0); // identity matrix
    w.U8(0); // colour transform with nothing in it
}

// Shape 1: red, 50 px square. Shape 2: green, 100 px square. Sprite 3
// shows shape 2. Button "hit" (at x = 100 px) shows sprite 3 and is hit on
// shape 1; button "shown" (at x = 250 px) shows shape 2 and has no hit
// area. A plain clip "clip" (sprite 3) sits at y = 150 px.
std::vector<uint8_t> ButtonsMovie(uint8_t version) {
    BitWriter sprite;
    sprite.U16(3);
    sprite.U16(1);
    sprite.Bytes(Concat({PlaceObject2(1, 2, 0, 0), ShowFrame(), End()}));
    BitWriter hit;
    hit.U16(4);
    hit.U8(0);
    hit.U16(0);
    ButtonRecord(hit, 0x08, 1, 1);
    ButtonRecord(hit, 0x07, 3, 2);
    hit.U8(0);
    BitWriter shown;
    shown.U16(5);
    shown.U8(0);
    shown.U16(0);
    ButtonRecord(shown, 0x07, 2, 1);
    shown.U8(0);
    return Movie(Concat({RectShape(1, 1, 0, 0, 1000, 1000, 0xff0000ff),
                         RectShape(2, 1, 0, 0, 2000, 2000, 0x00ff00ff), Tag(39, sprite.bytes, true),
                         Tag(34, hit.bytes), Tag(34, shown.bytes), NamedPlace(1, 4, 2000, 0, "hit"),
                         NamedPlace(2, 5, 5000, 0, "shown"), NamedPlace(3, 3, 0, 3000, "clip"),
                         ShowFrame(), End()}),
                 8000, 6000, 1, 'F', version);
}

struct Buttons {
    timeline::Movie movie;
    avm1::ClipId hit = 0, shown = 0, clip = 0;
    explicit Buttons(uint8_t version) {
        std::string error;
        EXPECT_TRUE(movie.Open(ButtonsMovie(version), error)) << error;
        movie.Advance();
        auto& host = movie.Scripts()->host();
        hit = host.Child(timeline::ScriptHost::kRoot, "hit", true);
        shown = host.Child(timeline::ScriptHost::kRoot, "shown", true);
        clip = host.Child(timeline::ScriptHost::kRoot, "clip", true);
        EXPECT_NE(hit, 0u);
        EXPECT_NE(shown, 0u);
        EXPECT_NE(clip, 0u);
    }
    void Set(avm1::ClipId id, const char* name, const avm1::Value& v) {
        movie.Scripts()->ClipObject(id)->Put(name, v);
    }
    void FocusRect(avm1::ClipId id, double number, const char* text = "") {
        movie.Scripts()->host().SetProperty(id, avm1::ClipProp::FocusRect, number, text);
    }
    double RootFocusRect() {
        return movie.Scripts()->host().GetProperty(timeline::ScriptHost::kRoot,
                                                   avm1::ClipProp::FocusRect);
    }
};

} // namespace

TEST(FocusRect, UnsetObjectsFollowTheMainTimeline) {
    EXPECT_TRUE(timeline::FocusRectEnabled(-1, -1));
    EXPECT_TRUE(timeline::FocusRectEnabled(-1, 1));
    EXPECT_FALSE(timeline::FocusRectEnabled(-1, 0));
    EXPECT_TRUE(timeline::FocusRectEnabled(1, 0));
    EXPECT_FALSE(timeline::FocusRectEnabled(0, 1));
}

TEST(FocusRect, AButtonsRectangleSurroundsItsHitAreaOnly) {
    Buttons b(8);
    b.Set(b.hit, "tabIndex", avm1::Value::Num(1));
    b.Set(b.shown, "tabIndex", avm1::Value::Num(2));
    swf::Rect r;
    b.movie.KeyEvent(9, true);
    ASSERT_EQ(b.movie.Focus(), b.hit);
    ASSERT_TRUE(b.movie.FocusHighlight(r));
    // Shape 1 where the button is, not the larger sprite it shows.
    EXPECT_EQ(r.xMin, 2000);
    EXPECT_EQ(r.yMin, 0);
    EXPECT_EQ(r.xMax, 3000);
    EXPECT_EQ(r.yMax, 1000);
    // Without a hit area there is nothing to surround.
    b.movie.KeyEvent(9, true);
    ASSERT_EQ(b.movie.Focus(), b.shown);
    EXPECT_FALSE(b.movie.FocusHighlight(r));
}

TEST(FocusRect, ChangesTakeEffectWhenTheFocusNextMoves) {
    Buttons b(8);
    b.Set(b.clip, "tabIndex", avm1::Value::Num(1));
    b.Set(b.clip, "tabEnabled", avm1::Value::Bool(true));
    swf::Rect r;
    b.movie.KeyEvent(9, true);
    ASSERT_EQ(b.movie.Focus(), b.clip);
    ASSERT_TRUE(b.movie.FocusHighlight(r));
    // Turned off while shown: the rectangle stays, following the clip.
    b.FocusRect(b.clip, 0);
    b.movie.Scripts()->host().SetProperty(b.clip, avm1::ClipProp::X, 10, "");
    ASSERT_TRUE(b.movie.FocusHighlight(r));
    EXPECT_EQ(r.xMin, 200);
    // The next time it takes the focus it has none.
    ASSERT_TRUE(b.movie.SetFocus(0));
    b.movie.KeyEvent(9, true);
    ASSERT_EQ(b.movie.Focus(), b.clip);
    EXPECT_FALSE(b.movie.FocusHighlight(r));
    // null hands the choice back to the main timeline, which says yes.
    b.FocusRect(b.clip, 0, "null");
    ASSERT_TRUE(b.movie.SetFocus(0));
    b.movie.KeyEvent(9, true);
    EXPECT_TRUE(b.movie.FocusHighlight(r));
}

TEST(FocusRect, OlderMoviesHaveOneSettingForEverything) {
    Buttons b(5);
    b.Set(b.clip, "tabIndex", avm1::Value::Num(1));
    b.Set(b.clip, "tabEnabled", avm1::Value::Bool(true));
    EXPECT_EQ(b.RootFocusRect(), 1);
    // Set on a clip, it is the whole movie's; what is no number keeps it.
    b.FocusRect(b.clip, 0);
    EXPECT_EQ(b.RootFocusRect(), 0);
    b.FocusRect(b.clip, 1, "null");
    b.FocusRect(b.hit, std::nan(""));
    EXPECT_EQ(b.RootFocusRect(), 0);
    swf::Rect r;
    b.movie.KeyEvent(9, true);
    ASSERT_EQ(b.movie.Focus(), b.clip);
    EXPECT_FALSE(b.movie.FocusHighlight(r));
    b.FocusRect(b.hit, 2);
    EXPECT_EQ(b.RootFocusRect(), 1);
}

TEST(FocusRect, SpritesInsideButtonsShowTheirFirstFrame) {
    movie::MoviePlayer player;
    ASSERT_TRUE(player.Load(ButtonsMovie(8))) << player.Error();
    player.Advance();
    raster::FrameBuffer fb(400, 300);
    player.Render(fb);
    EXPECT_EQ(fb.Row(50)[150], 0xff00ff00u); // the "hit" button's sprite
    EXPECT_EQ(fb.Row(50)[300], 0xff00ff00u); // the "shown" button's shape
    EXPECT_NE(fb.Row(50)[50], 0xff00ff00u);  // left of both
}

TEST(FocusRect, SpritesNestedManyTimesInsideAButtonStayWithinBounds) {
    // Sprites 10..15 each place the next one 300 times; the last holds a
    // square. Drawn in full that would be 300^5 squares.
    std::vector<uint8_t> tags = RectShape(1, 1, 0, 0, 200, 200, 0x00ff00ff);
    for (uint16_t id = 15; id >= 10; --id) {
        BitWriter sprite;
        sprite.U16(id);
        sprite.U16(1);
        for (uint16_t depth = 1; depth <= (id == 15 ? 1 : 300); ++depth)
            sprite.Bytes(PlaceObject2(depth, id == 15 ? 1 : id + 1, depth, 0));
        sprite.Bytes(Concat({ShowFrame(), End()}));
        tags = Concat({tags, Tag(39, sprite.bytes, true)});
    }
    BitWriter button;
    button.U16(20);
    button.U8(0);
    button.U16(0);
    ButtonRecord(button, 0x0f, 10, 1);
    button.U8(0);
    tags = Concat({tags, Tag(34, button.bytes), NamedPlace(1, 20, 0, 0, "b"), ShowFrame(), End()});
    movie::MoviePlayer player;
    ASSERT_TRUE(player.Load(Movie(tags, 8000, 6000, 1, 'F', 8))) << player.Error();
    player.Advance();
    raster::FrameBuffer fb(400, 300);
    player.Render(fb); // returns: the drawing's budget ends it
    EXPECT_EQ(fb.Row(5)[5], 0xff00ff00u);
}
