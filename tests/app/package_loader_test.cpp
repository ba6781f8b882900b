#include "app/uPackageLoader.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace zembra {
namespace {

constexpr char kTemp[] = "C:\\T\\";

// An in-memory temporary directory and recorder of every side effect.
class FakeHost : public TLoaderHost {
  public:
    std::set<std::string> folders;
    std::map<std::string, std::string> files;
    std::set<std::string> failingWrites;
    bool foldersFail = false;
    bool pictureThrows = false;
    std::vector<std::string> guards;
    std::vector<std::string> calls;

    std::string TempFilePath(const std::string& Name) override { return kTemp + Name; }
    bool CreateFolder(const std::string& Path) override {
        if (foldersFail || folders.count(Path))
            return false;
        folders.insert(Path);
        return true;
    }
    bool WriteFile(const std::string& Path, const unsigned char* Data, std::int32_t Size) override {
        if (failingWrites.count(Path))
            throw std::runtime_error("disk full");
        files[Path] = Size ? std::string(reinterpret_cast<const char*>(Data), Size) : "";
        return true;
    }
    unsigned long ProcessId() override { return 77; }
    void CreateInstanceGuard(const std::string& Name) override { guards.push_back(Name); }
    void SetTerminateOnMouseMove(bool V) override { Record("mouse", V); }
    void SetTerminateOnKeyDown(bool V) override { Record("key", V); }
    void SetShowMouseCursor(bool V) override { Record("cursor", V); }
    void SetDialogCaption(const std::string& T) override { calls.push_back("caption " + T); }
    void SetLinkCaption(const std::string& T) override { calls.push_back("link " + T); }
    void SetLinkURL(const std::string& T) override { calls.push_back("url " + T); }
    void SetCloseButtonVisible(bool V) override { Record("close", V); }
    void LoadDialogPicture(const unsigned char* Data, std::int32_t Size) override {
        if (pictureThrows)
            throw std::runtime_error("not a bitmap");
        calls.push_back("picture " + std::string(reinterpret_cast<const char*>(Data), Size));
    }

  private:
    void Record(const char* what, bool v) {
        calls.push_back(std::string(what) + (v ? " 1" : " 0"));
    }
};

// Items whose data lives in the package object (not malloc'ed, never freed
// with FreeItems).
class Package {
  public:
    Package& Raw(const std::string& name, const std::string& bytes) {
        storage_.push_back(std::make_unique<std::string>(bytes));
        TItemType item;
        item.Name = name;
        item.Size = static_cast<std::int32_t>(bytes.size());
        item.Data =
            bytes.empty() ? nullptr : reinterpret_cast<unsigned char*>(storage_.back()->data());
        items.push_back(item);
        return *this;
    }
    Package& Text(const std::string& name, const std::string& text) { return Raw(name, text); }
    Package& Flag(const std::string& name, unsigned char v) {
        return Raw(name, std::string(1, static_cast<char>(v)));
    }
    Package& Int(const std::string& name, std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        return Raw(name, std::string{static_cast<char>(u), static_cast<char>(u >> 8),
                                     static_cast<char>(u >> 16), static_cast<char>(u >> 24)});
    }
    TItemTypes items;

  private:
    std::vector<std::unique_ptr<std::string>> storage_;
};

struct LoaderRun {
    FakeHost host;
    TPlaybackSettings s;
    void Load(const Package& p) { TPackageLoader(host, s).Load(p.items); }
    // Every written path and the working folder lie inside what this run created.
    void ExpectConfined() const {
        for (const std::string& f : s.TempFiles) {
            ASSERT_FALSE(s.WorkFolder.empty());
            EXPECT_EQ(f.rfind(s.WorkFolder + "\\", 0), 0u) << f;
            EXPECT_EQ(f.find('\\', s.WorkFolder.size() + 1), std::string::npos) << f;
        }
        for (const auto& [path, bytes] : host.files)
            EXPECT_EQ(path.rfind(s.WorkFolder + "\\", 0), 0u) << path;
    }
};

TEST(ItemReaders, FormsAndInvalidItems) {
    unsigned char bytes[] = {2, 0xFE, 0xFF, 0xFF, 0xFF};
    TItemType item;
    item.Data = bytes;
    item.Size = 1;
    bool b = false;
    EXPECT_TRUE(ItemBool(item, b));
    EXPECT_TRUE(b); // any non-zero byte is true
    std::int32_t n = 5;
    EXPECT_FALSE(ItemInt(item, n)); // fewer than four bytes
    EXPECT_EQ(n, 5);
    item.Data = bytes + 1;
    item.Size = 4;
    EXPECT_TRUE(ItemInt(item, n));
    EXPECT_EQ(n, -2);
    std::string t = "old";
    item.Size = 0;
    item.Data = nullptr;
    EXPECT_FALSE(ItemBool(item, b)); // a flag without data
    EXPECT_TRUE(ItemText(item, t));
    EXPECT_EQ(t, "");
    item.Size = 3; // a size without data
    EXPECT_FALSE(ItemText(item, t));
    item.Data = bytes;
    item.Size = -1;
    EXPECT_FALSE(ItemText(item, t));
    EXPECT_FALSE(ItemBool(item, b));
}

TEST(PackageLoader, EmptyPackageGivesDefaults) {
    LoaderRun r;
    r.s.TempFiles = {"stale"};
    r.Load(Package());
    EXPECT_TRUE(r.s.TempFiles.empty());
    EXPECT_EQ(r.s.RequiredVersion, "0.0.0.0");
    EXPECT_EQ(r.s.ScaleText, "showall");
    EXPECT_EQ(r.s.Player, TPlayerKind::Auto);
    EXPECT_TRUE(r.s.WorkFolder.empty());
    EXPECT_TRUE(r.s.MoviePath.empty());
    EXPECT_TRUE(r.host.folders.empty());
    EXPECT_TRUE(r.host.guards.empty());
    EXPECT_TRUE(r.host.calls.empty());
}

TEST(PackageLoader, SettingRolesLaterItemsWinAndInvalidItemsAreIgnored) {
    Package p;
    p.Flag("Loop", 2)
        .Flag("StretchToFit", 1)
        .Flag("RightClick", 1)
        .Flag("Menu", 1)
        .Int("Quality", 1)
        .Int("Quality", 3)
        .Text("FlashVars", "a=1&b=2")
        .Int("BackgroundColor", 0x00332211)
        .Flag("ThrottlePreview", 1)
        .Text("RequiredVersion", "9.0.115.0")
        .Int("Layout", 258)
        .Text("Player", "builtin")
        .Text("Player", "nonsense")
        .Flag("ExitOnMouseMove", 0)
        .Flag("ExitOnKeyDown", 0)
        .Flag("ShowCursor", 1)
        .Text("AboutCaption", "About")
        .Text("AboutLinkText", "(c) Z")
        .Text("AboutLinkURL", "http://example.invalid/")
        .Flag("AboutCloseButton", 0)
        .Raw("AboutImage", "BMpic")
        // invalid: ignored as if absent
        .Raw("Menu", "")
        .Raw("Layout", "\x01\x02")
        .Raw("Quality", "\x07")
        // names are case-sensitive
        .Flag("loop", 0)
        .Flag("Loop ", 0);
    LoaderRun r;
    r.Load(p);
    EXPECT_TRUE(r.s.LoopMovie);
    EXPECT_EQ(r.s.ScaleText, "exactfit");
    EXPECT_TRUE(r.s.RightClickEnabled);
    EXPECT_TRUE(r.s.MenuEnabled);
    EXPECT_EQ(r.s.Quality, 3);
    EXPECT_EQ(r.s.ExtraFlashVars, "a=1&b=2");
    EXPECT_EQ(r.s.BackgroundColor, 0x00332211);
    EXPECT_TRUE(r.s.ThrottlePreview);
    EXPECT_EQ(r.s.RequiredVersion, "9.0.115.0");
    EXPECT_EQ(r.s.Layout, 2);
    EXPECT_EQ(r.s.Player, TPlayerKind::Builtin);
    EXPECT_EQ(r.host.calls, (std::vector<std::string>{
                                "mouse 0", "key 0", "cursor 1", "caption About", "link (c) Z",
                                "url http://example.invalid/", "close 0", "picture BMpic"}));
    EXPECT_TRUE(r.s.TempFiles.empty());
}

TEST(PackageLoader, BrokenPictureDoesNotStopTheItemsAfterIt) {
    Package p;
    p.Raw("AboutImage", "junk").Text("GUID", "G").Raw("Movie", "SWF").Flag("Loop", 1);
    LoaderRun r;
    r.host.pictureThrows = true;
    r.Load(p);
    EXPECT_TRUE(r.s.LoopMovie);
    EXPECT_EQ(r.s.MoviePath, "C:\\T\\G\\G.swf");
}

TEST(PackageLoader, GuidNamesTheFolderAndTheMovie) {
    Package p;
    p.Text("GUID", "G").Raw("Movie", "SWFDATA");
    LoaderRun r;
    r.Load(p);
    EXPECT_EQ(r.host.guards, std::vector<std::string>{"G"});
    EXPECT_EQ(r.s.WorkFolder, "C:\\T\\G");
    EXPECT_EQ(r.s.MoviePath, "C:\\T\\G\\G.swf");
    EXPECT_EQ(r.s.TempFiles, std::vector<std::string>{"C:\\T\\G\\G.swf"});
    EXPECT_EQ(r.host.files.at("C:\\T\\G\\G.swf"), "SWFDATA");

    Package named;
    named.Text("GUID", "G").Text("MovieFileName", "m.swf").Raw("Movie", "X");
    LoaderRun r2;
    r2.Load(named);
    EXPECT_EQ(r2.s.MoviePath, "C:\\T\\G\\m.swf");
}

TEST(PackageLoader, ExistingFolderIsNeitherUsedNorWrittenBeside) {
    Package p;
    p.Text("GUID", "G").Raw("Movie", "SWF");
    LoaderRun r;
    r.host.folders = {"C:\\T\\G", "C:\\T\\ZembraSaver-77-0"};
    r.Load(p);
    EXPECT_EQ(r.s.WorkFolder, "C:\\T\\ZembraSaver-77-1");
    EXPECT_EQ(r.s.MoviePath, "C:\\T\\ZembraSaver-77-1\\G.swf");
    EXPECT_EQ(r.host.files.count("C:\\T\\G.swf"), 0u);
    r.ExpectConfined();
}

TEST(PackageLoader, HostileGuidsNeverNameTheFolder) {
    for (const char* guid :
         {"..\\..\\x", "C:\\Windows", "CON", "a/b", "..", " x", "x.", "a:b", "nul.swf", "\x01"}) {
        Package p;
        p.Text("GUID", guid).Raw("Movie", "SWF").Text("ExtraFileCount", "").Text("x", "");
        LoaderRun r;
        r.Load(p);
        EXPECT_EQ(r.s.WorkFolder, "C:\\T\\ZembraSaver-77-0") << guid;
        EXPECT_EQ(r.s.MoviePath, "C:\\T\\ZembraSaver-77-0\\movie.swf") << guid;
        EXPECT_EQ(r.host.guards, std::vector<std::string>{guid}); // the guard still uses it
        r.ExpectConfined();
    }
}

TEST(PackageLoader, HostileMovieFileNamesStayInTheWorkFolder) {
    const std::pair<const char*, const char*> cases[] = {
        {"..\\..\\x", "x"},   {"C:\\Windows", "Windows"}, {"CON", "G.swf"},
        {"sub\\..", "G.swf"}, {"a/b/c.swf", "c.swf"},     {"\\\\srv\\s\\m.swf", "m.swf"},
        {"trail.", "G.swf"},  {"AUX.swf", "G.swf"},
    };
    for (const auto& [name, expected] : cases) {
        Package p;
        p.Text("GUID", "G").Text("MovieFileName", name).Raw("Movie", "SWF");
        LoaderRun r;
        r.Load(p);
        EXPECT_EQ(r.s.MoviePath, std::string("C:\\T\\G\\") + expected) << name;
        r.ExpectConfined();
    }
}

TEST(PackageLoader, WithoutGuidTheMovieGetsAFolderOfItsOwn) {
    // No GUID at all, and a GUID that only arrives after the movie.
    for (bool guidAfter : {false, true}) {
        Package p;
        p.Raw("Movie", "SWF");
        if (guidAfter)
            p.Text("GUID", "G");
        LoaderRun r;
        r.Load(p);
        EXPECT_EQ(r.s.MoviePath, "C:\\T\\ZembraSaver-77-0\\movie.swf");
        EXPECT_EQ(r.host.folders.count("C:\\T\\"), 0u);
        EXPECT_EQ(r.host.files.count("C:\\T\\.swf"), 0u);
        r.ExpectConfined();
    }
}

TEST(PackageLoader, ExtraFilesByIndexBesideTheMovie) {
    Package p;
    p.Text("GUID", "G")
        .Raw("Movie", "SWF")
        .Int("ExtraFileCount", 2)
        .Text("ExtraFileName0", "zero.txt") // empty data: not written
        .Raw("ExtraFileData0", "")
        .Text("ExtraFileName1", "..\\deep\\one.xml")
        .Raw("ExtraFileData1", "ONE")
        .Text("ExtraFileName2", "two.txt") // beyond the count
        .Raw("ExtraFileData2", "TWO")
        .Text("ExtraFileName-1", "neg.txt")
        .Raw("ExtraFileDatax", "X");
    LoaderRun r;
    r.Load(p);
    EXPECT_EQ(r.s.TempFiles, (std::vector<std::string>{"C:\\T\\G\\G.swf", "C:\\T\\G\\one.xml"}));
    EXPECT_EQ(r.host.files.at("C:\\T\\G\\one.xml"), "ONE");
    EXPECT_EQ(r.host.files.size(), 2u);
}

TEST(PackageLoader, ExtraFilesWithoutMovieAndInvalidCounts) {
    Package p;
    p.Int("ExtraFileCount", 1)
        .Text("ExtraFileName0", "a.txt")
        .Raw("ExtraFileData0", "A")
        .Int("ExtraFileCount", -5)              // ignored: keeps one entry
        .Raw("ExtraFileCount", "\x01\x00\x00"); // too short: ignored
    LoaderRun r;
    r.Load(p);
    EXPECT_EQ(r.s.TempFiles, std::vector<std::string>{"C:\\T\\ZembraSaver-77-0\\a.txt"});
    EXPECT_TRUE(r.s.MoviePath.empty());
    r.ExpectConfined();

    // An absurd count is capped at the number of items: no huge table, and
    // the entries that fit still work.
    Package big;
    big.Int("ExtraFileCount", 0x7FFFFFFF)
        .Text("ExtraFileName2", "c.txt")
        .Raw("ExtraFileData2", "C")
        .Text("ExtraFileName99", "far.txt")
        .Raw("ExtraFileData99", "F");
    LoaderRun r2;
    r2.Load(big);
    EXPECT_EQ(r2.s.TempFiles, std::vector<std::string>{"C:\\T\\ZembraSaver-77-0\\c.txt"});
}

TEST(PackageLoader, SecondMovieGoesToTheSameFolder) {
    Package p;
    p.Text("GUID", "G").Raw("Movie", "ONE").Text("MovieFileName", "b.swf").Raw("Movie", "TWO");
    LoaderRun r;
    r.Load(p);
    EXPECT_EQ(r.s.MoviePath, "C:\\T\\G\\b.swf");
    EXPECT_EQ(r.s.TempFiles, (std::vector<std::string>{"C:\\T\\G\\G.swf", "C:\\T\\G\\b.swf"}));
    EXPECT_EQ(r.host.folders.size(), 1u);
    r.ExpectConfined();
}

TEST(PackageLoader, WriteAndFolderFailures) {
    // A failed write is still listed, so a partial file is removed later.
    Package p;
    p.Text("GUID", "G").Raw("Movie", "SWF").Flag("Loop", 1);
    LoaderRun r;
    r.host.failingWrites = {"C:\\T\\G\\G.swf"};
    r.Load(p);
    EXPECT_EQ(r.s.TempFiles, std::vector<std::string>{"C:\\T\\G\\G.swf"});
    EXPECT_TRUE(r.s.LoopMovie);

    // No folder can be created: nothing is written anywhere, nothing listed.
    LoaderRun r2;
    r2.host.foldersFail = true;
    r2.Load(p);
    EXPECT_TRUE(r2.s.WorkFolder.empty());
    EXPECT_TRUE(r2.s.MoviePath.empty());
    EXPECT_TRUE(r2.s.TempFiles.empty());
    EXPECT_TRUE(r2.host.files.empty());
}

} // namespace
} // namespace zembra
