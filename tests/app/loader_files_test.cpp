// The loader with the real file system under Wine: folders it finds are
// left alone, files land in the folder it created, and the cleanup removes
// exactly what it wrote.
#include "app/uLoaderFiles.h"

#include "util/uUtils.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>

namespace zembra {
namespace {

class FileHost : public TFileLoaderHost {
  public:
    void CreateInstanceGuard(const std::string&) override {}
    void SetTerminateOnMouseMove(bool) override {}
    void SetTerminateOnKeyDown(bool) override {}
    void SetShowMouseCursor(bool) override {}
    void SetDialogCaption(const std::string&) override {}
    void SetLinkCaption(const std::string&) override {}
    void SetLinkURL(const std::string&) override {}
    void SetCloseButtonVisible(bool) override {}
    void LoadDialogPicture(const unsigned char*, std::int32_t) override {}
};

bool IsFolder(const std::string& p) {
    const DWORD a = GetFileAttributesA(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
bool Exists(const std::string& p) {
    return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES;
}
std::string Read(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TItemType Item(const char* name, std::string& bytes) {
    TItemType item;
    item.Name = name;
    item.Data = reinterpret_cast<unsigned char*>(bytes.data());
    item.Size = static_cast<std::int32_t>(bytes.size());
    return item;
}

TEST(LoaderFiles, WritesIntoItsOwnFolderAndRemovesOnlyThat) {
    const std::string guid = "zembra-test-" + std::to_string(GetCurrentProcessId());
    std::string guidText = guid, movie = "SWF\0DATA", extraCount = std::string("\1\0\0\0", 4),
                extraName = "..\\x.txt", extraData = "X", hostileName = "..\\..\\escape.swf";
    movie.assign("SWF\0DATA", 8);
    TItemTypes items = {Item("GUID", guidText),
                        Item("MovieFileName", hostileName),
                        Item("Movie", movie),
                        Item("ExtraFileCount", extraCount),
                        Item("ExtraFileName0", extraName),
                        Item("ExtraFileData0", extraData)};
    FileHost host;
    TPlaybackSettings s;
    TPackageLoader(host, s).Load(items);
    const std::string folder = TempFilePath(guid);
    EXPECT_EQ(s.WorkFolder, folder);
    EXPECT_EQ(s.MoviePath, folder + "\\escape.swf");
    EXPECT_EQ(Read(s.MoviePath), movie);
    EXPECT_EQ(Read(folder + "\\x.txt"), "X");
    EXPECT_FALSE(Exists(TempFilePath("escape.swf")));

    RemoveWrittenFiles(s);
    EXPECT_FALSE(Exists(folder));
    RemoveWrittenFiles(s); // a second run finds nothing and raises nothing

    // The same GUID while its folder exists: that folder and what is in it
    // stay; the movie goes to a folder of this run's own.
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string keep = folder + "\\keep.txt";
    std::ofstream(keep) << "user";
    TPlaybackSettings s2;
    TPackageLoader(host, s2).Load(items);
    EXPECT_NE(s2.WorkFolder, folder);
    EXPECT_TRUE(IsFolder(s2.WorkFolder));
    EXPECT_FALSE(Exists(folder + ".swf"));
    RemoveWrittenFiles(s2);
    EXPECT_FALSE(Exists(s2.WorkFolder));
    EXPECT_EQ(Read(keep), "user");
    DeleteFileA(keep.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(LoaderFiles, EmptyFilesAndFailures) {
    FileHost host;
    const std::string folder =
        TempFilePath("zembra-empty-" + std::to_string(GetCurrentProcessId()));
    ASSERT_TRUE(host.CreateFolder(folder));
    EXPECT_FALSE(host.CreateFolder(folder));
    EXPECT_TRUE(host.WriteFile(folder + "\\empty", nullptr, 0));
    EXPECT_TRUE(Exists(folder + "\\empty"));
    EXPECT_EQ(Read(folder + "\\empty"), "");
    EXPECT_FALSE(
        host.WriteFile(folder + "\\missing\\f", reinterpret_cast<const unsigned char*>("a"), 1));
    EXPECT_FALSE(host.WriteFile(folder + "\\neg", nullptr, -1));
    DeleteFileA((folder + "\\empty").c_str());
    RemoveDirectoryA(folder.c_str());
}

} // namespace
} // namespace zembra
