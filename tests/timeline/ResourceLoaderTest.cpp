// Files scripts load: urls confined to the movie's folder, and the order in
// which queued loads reach the scripts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "tests/swf/uSwfBuilder.h"
#include "timeline/uMovie.h"
#include "timeline/uResourceLoader.h"
#include "timeline/uScriptHost.h"

using namespace zembra;
using namespace zembra::testing;
using timeline::ConfineRelativeUrl;
using timeline::FolderResourceLoader;

namespace fs = std::filesystem;

TEST(ResourceUrl, PlainRelativeNamesPass) {
    std::string path, error;
    const std::pair<const char*, const char*> cases[] = {
        {"a.txt", "a.txt"},
        {"sub/b.swf", "sub/b.swf"},
        {"sub\\b.swf", "sub/b.swf"},
        {"./c.xml", "c.xml"},
        {"Shift%20Jis.txt", "Shift Jis.txt"},
        {"Shift Jis.txt", "Shift Jis.txt"},
        {"vars.txt?x=1&y=2", "vars.txt"},
        {"page.xml#top", "page.xml"},
        {"a//b.txt", "a/b.txt"},
    };
    for (const auto& [url, want] : cases) {
        EXPECT_TRUE(ConfineRelativeUrl(url, path, error)) << url << ": " << error;
        EXPECT_EQ(path, want) << url;
    }
}

TEST(ResourceUrl, AnythingThatCouldLeaveTheFolderIsRefused) {
    std::string path, error;
    for (const char* url : {"",
                            "/etc/passwd",
                            "\\windows\\win.ini",
                            "../secret.txt",
                            "sub/../../x",
                            "a/..",
                            "%2e%2e/x.txt",
                            "..%2fx.txt",
                            "..\\x.txt",
                            "C:\\boot.ini",
                            "c:x.txt",
                            "file:///etc/passwd",
                            "http://example.com/a.swf",
                            "FSCommand:quit",
                            "a.txt:stream",
                            "\\\\server\\share\\x",
                            "//server/x",
                            "...",
                            "sub/. ./x",
                            "a\nb.txt",
                            "a%00b.txt",
                            "?only=query",
                            ".",
                            "./"}) {
        error.clear();
        EXPECT_FALSE(ConfineRelativeUrl(url, path, error)) << url << " -> " << path;
        EXPECT_FALSE(error.empty()) << url;
    }
}

class FolderReader : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ =
            fs::temp_directory_path() /
            ("zembra-loader-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "movie" / "sub");
        Write(root_ / "movie" / "a.txt", "x=1");
        Write(root_ / "movie" / "sub" / "b.txt", "deeper");
        Write(root_ / "outside.txt", "secret");
    }
    void TearDown() override { fs::remove_all(root_); }
    static void Write(const fs::path& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    static std::string Text(const std::vector<uint8_t>& b) {
        return std::string(b.begin(), b.end());
    }
    fs::path root_;
};

TEST_F(FolderReader, ReadsFilesInsideTheFolderOnly) {
    FolderResourceLoader loader((root_ / "movie").string());
    std::vector<uint8_t> out;
    std::string error;
    ASSERT_TRUE(loader.Read("a.txt", out, error)) << error;
    EXPECT_EQ(Text(out), "x=1");
    ASSERT_TRUE(loader.Read("sub/b.txt", out, error)) << error;
    EXPECT_EQ(Text(out), "deeper");

    EXPECT_FALSE(loader.Read("../outside.txt", out, error));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(loader.Read((root_ / "outside.txt").string(), out, error));
    EXPECT_FALSE(loader.Read("missing.txt", out, error));
    EXPECT_FALSE(loader.Read("sub", out, error)) << "a folder is no file";
}

TEST_F(FolderReader, LinksLeadingOutsideAreRefused) {
    std::error_code ec;
    fs::create_symlink(root_ / "outside.txt", root_ / "movie" / "link.txt", ec);
    fs::create_directory_symlink(root_, root_ / "movie" / "up", ec);
    if (ec)
        GTEST_SKIP() << "no symbolic links here";
    FolderResourceLoader loader((root_ / "movie").string());
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_FALSE(loader.Read("link.txt", out, error));
    EXPECT_FALSE(loader.Read("up/outside.txt", out, error));
    EXPECT_TRUE(out.empty());
}

TEST_F(FolderReader, FilesOverTheSizeCapAreRefused) {
    Write(root_ / "movie" / "big.txt", std::string(100, 'x'));
    FolderResourceLoader loader((root_ / "movie").string(), 99);
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_FALSE(loader.Read("big.txt", out, error));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(loader.Read("a.txt", out, error)) << error;
}

namespace {

// Files from memory, counting the reads.
class MemoryLoader : public timeline::ResourceLoader {
  public:
    std::map<std::string, std::string> files;
    int reads = 0;
    bool Read(const std::string& url, std::vector<uint8_t>& out, std::string& error) override {
        ++reads;
        out.clear();
        auto it = files.find(url);
        if (it == files.end()) {
            error = "file not found";
            return false;
        }
        out.assign(it->second.begin(), it->second.end());
        return true;
    }
};

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

// trace(name) of a _root variable.
std::vector<uint8_t> TraceVar(const std::string& name) {
    return Concat({Push(name), Op(0x1C), Op(0x26)});
}

// A frame action tracing "inner frame".
std::vector<uint8_t> DoTraceFrame() {
    return Tag(12, Concat({Push("inner frame"), Op(0x26), {0}}));
}

// loadVariablesNum(url, 0)
std::vector<uint8_t> LoadVariablesNum(const std::string& url) {
    return Concat({Push(url), Push("_level0"), Op(0x9A, {0x80})});
}

struct LoadRun {
    timeline::Movie movie;
    std::shared_ptr<MemoryLoader> files = std::make_shared<MemoryLoader>();
    std::vector<std::string> lines;

    LoadRun(const std::vector<uint8_t>& tags, uint16_t frames, uint8_t version = 6) {
        movie.onTrace = [this](const std::string& l) { lines.push_back(l); };
        movie.SetResourceLoader(files);
        std::string error;
        EXPECT_TRUE(movie.Open(Movie(tags, 8000, 6000, frames, 'F', version), error)) << error;
    }
};

} // namespace

TEST(LoadQueue, VariablesArriveAfterTheFrameInTheOrderAsked) {
    // Frame 1 asks for two files that set the same name; frame 2 reads it.
    LoadRun run(Concat({Tag(12, Concat({LoadVariablesNum("one.txt"),
                                        LoadVariablesNum("two.txt"),
                                        TraceVar("v"),
                                        {0}})),
                        ShowFrame(), Tag(12, Concat({TraceVar("v"), TraceVar("w"), {0}})),
                        ShowFrame(), End()}),
                2);
    run.files->files["one.txt"] = "v=first&w=only%20one";
    run.files->files["two.txt"] = "v=second";
    run.movie.Advance();
    EXPECT_EQ(run.files->reads, 2);
    run.movie.Advance();
    EXPECT_EQ(run.lines, (std::vector<std::string>{"undefined", "second", "only one"}));
}

TEST(LoadQueue, WithoutALoaderNothingIsReadAndMissingFilesSetNothing) {
    LoadRun run(Concat({Tag(12, Concat({LoadVariablesNum("one.txt"), {0}})), ShowFrame(),
                        Tag(12, Concat({TraceVar("v"), {0}})), ShowFrame(), End()}),
                2);
    run.movie.SetResourceLoader(nullptr);
    run.movie.Advance();
    run.movie.Advance();
    EXPECT_EQ(run.lines, (std::vector<std::string>{"undefined"}));
}

TEST(LoadQueue, OldMoviesReadTheWindowsCodePageNewerOnesUtf8) {
    const auto tags = Concat({Tag(12, Concat({LoadVariablesNum("t.txt"), {0}})), ShowFrame(),
                              Tag(12, Concat({TraceVar("v"), {0}})), ShowFrame(), End()});
    const std::string file = "v=\xC4\x80\x95";
    LoadRun old(tags, 2, 5);
    old.files->files["t.txt"] = file;
    old.movie.Advance();
    old.movie.Advance();
    // Ä, the euro sign and the bullet of the code page, as UTF-8.
    EXPECT_EQ(old.lines, (std::vector<std::string>{"\xC3\x84\xE2\x82\xAC\xE2\x80\xA2"}));

    LoadRun utf(tags, 2, 6);
    utf.files->files["t.txt"] = "\xEF\xBB\xBFv=\xC3\x84";
    utf.movie.Advance();
    utf.movie.Advance();
    EXPECT_EQ(utf.lines, (std::vector<std::string>{"\xC3\x84"}));
}

namespace {

// One red pixel.
const std::vector<uint8_t> kRedGif = {'G',  'I',  'F',  '8',  '9',  'a',  0x01, 0x00, 0x01,
                                      0x00, 0x80, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00,
                                      0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                      0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

std::vector<uint8_t> Sprite(uint16_t id, const std::vector<uint8_t>& tags) {
    BitWriter w;
    w.U16(id);
    w.U16(1);
    w.Bytes(tags);
    return Tag(39, w.bytes, true);
}

// PlaceObject2 of character `id` named `name` at `depth`.
std::vector<uint8_t> PlaceNamed(uint16_t depth, uint16_t id, const std::string& name) {
    BitWriter w;
    w.U8(0x22);
    w.U16(depth);
    w.U16(id);
    w.Str(name);
    return Tag(26, w.bytes);
}

struct ClipHost {
    LoadRun run;
    avm1::ClipId kid = 0;
    ClipHost()
        : run(Concat({RectShape(6, 1, 0, 0, 100, 100, 0xff00ff00),
                      Sprite(5, Concat({PlaceObject2(1, 6, 0, 0), ShowFrame(), End()})),
                      PlaceNamed(1, 5, "kid"), Tag(12, {0x07, 0}), ShowFrame(), End()}),
              1) {
        run.movie.Advance();
        kid = Scripts().Child(Scripts().Root(), "kid", true);
    }
    timeline::ScriptHost& Scripts() {
        return static_cast<timeline::ScriptHost&>(run.movie.Scripts()->host());
    }
    timeline::SpriteInstance* Kid() { return Scripts().Instance(kid); }
};

} // namespace

TEST(LoadInto, APictureBecomesTheClipsOnlyContentAtItsOwnSize) {
    ClipHost h;
    ASSERT_NE(h.kid, 0u);
    ASSERT_TRUE(h.run.movie.LoadInto(h.kid, kRedGif, "red.gif"));
    timeline::SpriteInstance* s = h.Kid();
    ASSERT_NE(s, nullptr);
    ASSERT_NE(s->loaded, nullptr);
    ASSERT_EQ(s->children.size(), 1u);
    const timeline::DisplayObject& pic = s->children.begin()->second;
    ASSERT_NE(pic.character, nullptr);
    ASSERT_EQ(pic.character->kind, chars::Kind::Shape);
    const swf::Rect& b = static_cast<const chars::ShapeChar*>(pic.character)->geometry.bounds;
    EXPECT_EQ(b.xMin, 0);
    EXPECT_EQ(b.yMin, 0);
    EXPECT_EQ(b.xMax, 20);
    EXPECT_EQ(b.yMax, 20);
    EXPECT_EQ(h.run.movie.FileBytes(h.kid), static_cast<double>(kRedGif.size()));
}

TEST(LoadInto, AMovieBringsItsOwnCharactersAndRunsItsFrame) {
    ClipHost h;
    // Character 6 means something else in the loaded movie.
    const auto inner = Movie(Concat({RectShape(6, 1, 0, 0, 400, 200, 0xff0000ff),
                                     PlaceObject2(1, 6, 0, 0), DoTraceFrame(), ShowFrame(), End()}),
                             400, 200, 1, 'F', 6);
    ASSERT_TRUE(h.run.movie.LoadInto(h.kid, inner, "inner.swf"));
    h.run.movie.Advance();
    EXPECT_EQ(h.run.lines, (std::vector<std::string>{"inner frame"}));
    timeline::SpriteInstance* s = h.Kid();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->children.size(), 1u);
    const auto* shape = static_cast<const chars::ShapeChar*>(s->children.begin()->second.character);
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->geometry.bounds.xMax, 400);
}

TEST(LoadInto, WhatIsNeitherMovieNorPictureLeavesTheClipAlone) {
    ClipHost h;
    const std::string text = "not a movie";
    EXPECT_FALSE(h.run.movie.LoadInto(h.kid, std::vector<uint8_t>(text.begin(), text.end()), "x"));
    const std::vector<uint8_t> badGif(kRedGif.begin(), kRedGif.begin() + 12);
    EXPECT_FALSE(h.run.movie.LoadInto(h.kid, badGif, "bad.gif"));
    timeline::SpriteInstance* s = h.Kid();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->loaded, nullptr);
    EXPECT_EQ(s->children.size(), 1u);
    // The main timeline takes no movie this way.
    EXPECT_FALSE(h.run.movie.LoadInto(h.Scripts().Root(), kRedGif, "red.gif"));
}

TEST(LoadInto, UnloadEmptiesTheClipAndKeepsIt) {
    ClipHost h;
    ASSERT_TRUE(h.run.movie.LoadInto(h.kid, kRedGif, "red.gif"));
    h.run.movie.Unload(h.kid);
    timeline::SpriteInstance* s = h.Kid();
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->children.empty());
    h.run.movie.Advance();
    EXPECT_NE(h.Scripts().Instance(h.kid), nullptr);
}

TEST(LoadInto, LevelsStandBesideTheMainTimelineAndGoAway) {
    ClipHost h;
    timeline::ScriptHost& host = h.Scripts();
    EXPECT_EQ(host.Level(1), 0u);
    EXPECT_FALSE(h.run.movie.LoadLevel(0, kRedGif, "red.gif")) << "the main timeline stays";
    EXPECT_FALSE(h.run.movie.LoadLevel(2, {1, 2, 3}, "junk"));
    EXPECT_EQ(host.Level(2), 0u) << "a failed load leaves no level behind";
    ASSERT_TRUE(h.run.movie.LoadLevel(2, kRedGif, "red.gif"));
    const avm1::ClipId level = host.Level(2);
    ASSERT_NE(level, 0u);
    EXPECT_EQ(host.Parent(level), 0u);
    EXPECT_EQ(h.run.movie.Scripts()->ClipPath(level, false), "_level2");
    h.run.movie.Advance();
    h.run.movie.UnloadLevel(2);
    EXPECT_EQ(host.Level(2), 0u);
    EXPECT_EQ(host.Instance(level), nullptr);
}
