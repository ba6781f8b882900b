#include "util/uCommonUnit.h"
#include "util/uHandles.h"
#include "util/uUtils.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <thread>

using namespace zembra;

namespace {

// A registry key that belongs to this test run alone and goes away with the
// test.
class ScratchKey {
  public:
    explicit ScratchKey(std::string path, HKEY root = HKEY_CURRENT_USER)
        : root_(root), path_(std::move(path)) {
        RegDeleteTreeA(root_, path_.c_str());
    }
    ~ScratchKey() { Delete(); }
    const std::string& Path() const { return path_; }
    void Delete() const { RegDeleteTreeA(root_, path_.c_str()); }

    // Creates Sub (empty: the key itself) and, unless Value is null, sets its
    // default value with the given byte count (default: with the zero).
    void Set(const std::string& Sub, const char* Value, DWORD Type = REG_SZ, int Bytes = -1) const {
        const std::string full = Sub.empty() ? path_ : path_ + "\\" + Sub;
        UniqueHKey key;
        ASSERT_EQ(RegCreateKeyExA(root_, full.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  key.Receive(), nullptr),
                  ERROR_SUCCESS);
        if (Value == nullptr)
            return;
        const DWORD size = Bytes >= 0 ? static_cast<DWORD>(Bytes) : lstrlenA(Value) + 1;
        ASSERT_EQ(
            RegSetValueExA(key.Get(), "", 0, Type, reinterpret_cast<const BYTE*>(Value), size),
            ERROR_SUCCESS);
    }

  private:
    HKEY root_;
    std::string path_;
};

std::string Unique(const char* Prefix) {
    return std::string(Prefix) + std::to_string(GetCurrentProcessId());
}

std::string ExeFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

} // namespace

TEST(UtilsWin, ComInitializerBalancesOnlyWhatItInitialised) {
    // A thread of its own, so that the test program's main-thread COM
    // does not interfere.
    HRESULT outer = E_FAIL, inner = E_FAIL, nested = E_FAIL, after = E_FAIL;
    bool innerInitialized = true;
    std::thread worker([&] {
        {
            TComInitializer com;
            outer = com.Result();
            {
                // Another apartment model is refused and must not undo the
                // outer initialisation when it ends.
                TComInitializer wrongModel(COINIT_MULTITHREADED);
                inner = wrongModel.Result();
                innerInitialized = wrongModel.Initialized();
            }
            nested = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (SUCCEEDED(nested))
                CoUninitialize();
        }
        // The outer scope uninitialised: any model may be chosen again.
        after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(after))
            CoUninitialize();
    });
    worker.join();
    EXPECT_EQ(outer, S_OK);
    EXPECT_EQ(inner, RPC_E_CHANGED_MODE);
    EXPECT_FALSE(innerInitialized);
    EXPECT_EQ(nested, S_FALSE);
    EXPECT_EQ(after, S_OK);
}

TEST(UtilsWin, TestProgramsRunWithComOnTheMainThread) {
    const HRESULT hr = CoInitialize(nullptr);
    EXPECT_EQ(hr, S_FALSE);
    if (SUCCEEDED(hr))
        CoUninitialize();
}

TEST(UtilsWin, ReadRegistryDefault) {
    const ScratchKey root("Software\\ZembraTest\\" + Unique("Read"));
    const std::string c254(254, 'a');
    const std::string c255(255, 'b');
    root.Set("v254", c254.c_str());
    root.Set("v255", c255.c_str());
    root.Set("nodefault", nullptr);
    root.Set("blanks", " \t value with inner blank \r\n");
    root.Set("expand", "%TEMP%\\x", REG_EXPAND_SZ);
    root.Set("unterminated", "abc", REG_SZ, 3);
    root.Set("empty", "");

    const std::string base = root.Path() + "\\";
    EXPECT_EQ(ReadRegistryDefault(HKEY_CURRENT_USER, base + "v254"), c254);
    EXPECT_EQ(ReadRegistryDefault(HKEY_CURRENT_USER, base + "v255"), "");
    EXPECT_EQ(ReadRegistryDefault(HKEY_CURRENT_USER, base + "nodefault"), "");
    EXPECT_EQ(ReadRegistryDefault(HKEY_CURRENT_USER, base + "missing"), "");
    EXPECT_EQ(ReadRegistryDefault(HKEY_CURRENT_USER, base + "blanks"), "value with inner blank");
    EXPECT_EQ(ReadRegistryDefault(HKEY_CURRENT_USER, base + "blanks\\"), "value with inner blank");
    EXPECT_EQ(ReadRegistryDefault(HKEY_CURRENT_USER, base + "expand"), "%TEMP%\\x");
    EXPECT_EQ(ReadRegistryDefault(HKEY_CURRENT_USER, base + "unterminated"), "abc");
    EXPECT_EQ(ReadRegistryDefault(HKEY_CURRENT_USER, base + "empty"), "");
    EXPECT_EQ(ReadRegistryDefault(nullptr, base + "v254"), "");
}

TEST(UtilsWin, GetOpenCommandFollowsTheFileType) {
    const std::string ext = "." + Unique("zt");
    const std::string type = Unique("ZembraTest.File");
    // Wine's classes root is the machine's class key alone; a real system
    // merges the user's in, so registering there serves both.
    const ScratchKey extKey("Software\\Classes\\" + ext, HKEY_LOCAL_MACHINE);
    const ScratchKey typeKey("Software\\Classes\\" + type, HKEY_LOCAL_MACHINE);
    extKey.Set("", type.c_str());
    const auto command = [&](const char* registered) {
        typeKey.Set("shell\\open\\command", registered);
        return GetOpenCommand(ext);
    };

    EXPECT_EQ(command("\"C:\\Program Files\\Web -Tools\\b.exe\" -nohome \"%1\""),
              "\"C:\\Program Files\\Web -Tools\\b.exe\"");
    EXPECT_EQ(GetOpenCommand(ext.substr(1)), "\"C:\\Program Files\\Web -Tools\\b.exe\"");
    EXPECT_EQ(command("C:\\b.exe %1"), "\"C:\\b.exe\"");
    EXPECT_EQ(command("C:\\b.exe -new %1"), "\"C:\\b.exe -new\"");
    EXPECT_EQ(command("\"%1\""), "");

    // No command, then no file type at all.
    typeKey.Delete();
    EXPECT_EQ(GetOpenCommand(ext), "");
    extKey.Delete();
    EXPECT_EQ(GetOpenCommand(ext), "");
}

TEST(UtilsWin, TempFilePath) {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, buffer);
    ASSERT_GT(length, 0u);
    std::string directory(buffer, length);
    if (directory.back() != '\\')
        directory += '\\';
    EXPECT_EQ(TempFilePath("name.swf"), directory + "name.swf");
    EXPECT_EQ(TempFilePath(""), directory);
}

TEST(UtilsWin, GetProductVersionText) {
    // The library's file version is 1.2.3.4; the product version is wanted.
    EXPECT_EQ(GetProductVersionText(ExeFolder() + "util_versioned.dll"), "5.6.700.65535");

    const std::string plain = TempFilePath(Unique("zembra-noversion") + ".txt");
    {
        UniqueHandle file(CreateFileA(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        WriteFile(file.Get(), "MZ no resources here", 20, &written, nullptr);
    }
    EXPECT_EQ(GetProductVersionText(plain), "");
    DeleteFileA(plain.c_str());
    EXPECT_EQ(GetProductVersionText(plain), "");
}

TEST(UtilsWin, ResolveShellPathGivesTheLongForm) {
    const std::string folder = TempFilePath(Unique("Zembra Long Folder Name "));
    const std::string file = folder + "\\A rather long file name.txt";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    {
        UniqueHandle handle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(handle);
    }
    char shortPath[MAX_PATH] = {};
    const DWORD shortLength = GetShortPathNameA(file.c_str(), shortPath, MAX_PATH);
    char longPath[MAX_PATH] = {};
    const DWORD longLength = GetLongPathNameA(file.c_str(), longPath, MAX_PATH);

    EXPECT_GT(shortLength, 0u);
    EXPECT_GT(longLength, 0u);
    EXPECT_NE(std::string(shortPath), std::string(longPath));
    EXPECT_EQ(ResolveShellPath(shortPath), longPath);
    EXPECT_EQ(ResolveShellPath(file), longPath);
    EXPECT_EQ(ResolveShellPath(folder + "\\missing.txt"), "");
    EXPECT_EQ(ResolveShellPath(""), "");

    DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
}
