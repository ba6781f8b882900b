#include "util/uUtils.h"

#include "util/uHandles.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

namespace zembra {

namespace {

// Version resources are at most 64 KiB (their length field is 16 bits);
// anything reported beyond this is not a version resource we can trust.
constexpr DWORD kMaxVersionInfoSize = 1u << 20;

// An item identifier list that the shell allocated; freed with the task
// allocator.
struct ItemIdListHolder {
    LPITEMIDLIST p = nullptr;
    ItemIdListHolder() = default;
    ItemIdListHolder(const ItemIdListHolder&) = delete;
    ItemIdListHolder& operator=(const ItemIdListHolder&) = delete;
    ~ItemIdListHolder() { CoTaskMemFree(p); }
};

} // namespace

std::string ReadRegistryDefault(HKEY Root, const std::string& Key) {
    const std::string key = RemoveTrailing(Key, '\\');
    UniqueHKey handle;
    if (RegOpenKeyExA(Root, key.c_str(), 0, KEY_QUERY_VALUE, handle.Receive()) != ERROR_SUCCESS)
        return std::string();

    // 255 bytes: a value of 254 characters and its terminating zero.
    char buffer[255];
    DWORD type = REG_SZ;
    DWORD size = sizeof(buffer);
    if (RegQueryValueExA(handle.Get(), "", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS ||
        size > sizeof(buffer))
        return std::string();

    // A registry string need not carry its terminating zero: stop at the
    // first zero if there is one, else take every byte returned.
    std::size_t length = 0;
    while (length < size && buffer[length] != '\0')
        ++length;
    return Trim(std::string(buffer, length));
}

std::string GetOpenCommand(const std::string& Extension) {
    std::string extension = Extension;
    if (extension.find('.') == std::string::npos)
        extension.insert(0, ".");
    const std::string fileType = ReadRegistryDefault(HKEY_CLASSES_ROOT, extension);
    // An empty type would name the "\shell\open\command" key at the root.
    if (fileType.empty())
        return std::string();
    const std::string command =
        ReadRegistryDefault(HKEY_CLASSES_ROOT, fileType + "\\shell\\open\\command");
    if (command.empty())
        return std::string();
    return ReduceOpenCommand(command);
}

std::string TempFilePath(const std::string& Name) {
    std::string directory(MAX_PATH, '\0');
    DWORD length = GetTempPathA(MAX_PATH, &directory[0]);
    if (length >= MAX_PATH && length <= 32767) {
        // Longer than the usual buffer: the call reported the size it needs.
        directory.assign(length + 1, '\0');
        length = GetTempPathA(length + 1, &directory[0]);
        if (length >= directory.size())
            length = 0;
    } else if (length >= MAX_PATH) {
        length = 0;
    }
    directory.resize(length);
    if (directory.empty() || directory.back() != '\\')
        directory += '\\';
    return directory + Name;
}

std::string GetProductVersionText(const std::string& FileName) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(FileName.c_str(), &ignored);
    if (size == 0 || size > kMaxVersionInfoSize)
        return std::string();
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(FileName.c_str(), 0, size, block.data()))
        return std::string();
    void* fixed = nullptr;
    UINT fixedLength = 0;
    char root[] = "\\";
    if (!VerQueryValueA(block.data(), root, &fixed, &fixedLength) || fixed == nullptr ||
        fixedLength < sizeof(VS_FIXEDFILEINFO))
        return std::string();
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    if (info->dwSignature != 0xFEEF04BD)
        return std::string();
    return std::to_string(HIWORD(info->dwProductVersionMS)) + "." +
           std::to_string(LOWORD(info->dwProductVersionMS)) + "." +
           std::to_string(HIWORD(info->dwProductVersionLS)) + "." +
           std::to_string(LOWORD(info->dwProductVersionLS));
}

std::string OwnExecutablePath() {
    // Paths may be longer than MAX_PATH; grow until the name fits.
    std::vector<char> buffer(MAX_PATH);
    while (buffer.size() <= 32768) {
        const DWORD n =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return std::string();
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
    return std::string();
}

std::string ResolveShellPath(const std::string& Path) {
    if (Path.empty())
        return std::string();
    const int wideLength =
        MultiByteToWideChar(CP_ACP, 0, Path.data(), static_cast<int>(Path.size()), nullptr, 0);
    if (wideLength <= 0)
        return std::string();
    std::vector<wchar_t> wide(static_cast<std::size_t>(wideLength) + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, Path.data(), static_cast<int>(Path.size()), wide.data(),
                        wideLength);

    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.Receive())) || !desktop)
        return std::string();
    ItemIdListHolder items;
    if (FAILED(
            desktop->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &items.p, nullptr)) ||
        items.p == nullptr)
        return std::string();
    char buffer[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListA(items.p, buffer))
        return std::string();
    buffer[MAX_PATH] = '\0';
    return Trim(buffer);
}

} // namespace zembra
