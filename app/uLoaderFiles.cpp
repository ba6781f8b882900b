#include "app/uLoaderFiles.h"

#include "util/uFileOperation.h"
#include "util/uHandles.h"
#include "util/uUtils.h"

#include <windows.h>

namespace zembra {

std::string TFileLoaderHost::TempFilePath(const std::string& Name) {
    return zembra::TempFilePath(Name);
}

bool TFileLoaderHost::CreateFolder(const std::string& Path) {
    return CreateDirectoryA(Path.c_str(), nullptr) != FALSE;
}

bool TFileLoaderHost::WriteFile(const std::string& Path, const unsigned char* Data,
                                std::int32_t Size) {
    if (Size < 0 || (Size > 0 && Data == nullptr))
        return false;
    UniqueHandle file(CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::int32_t done = 0;
    while (done < Size) {
        DWORD written = 0;
        if (!::WriteFile(file.Get(), Data + done, static_cast<DWORD>(Size - done), &written,
                         nullptr) ||
            written == 0)
            return false;
        done += static_cast<std::int32_t>(written);
    }
    return true;
}

unsigned long TFileLoaderHost::ProcessId() {
    return GetCurrentProcessId();
}

void RemoveWrittenFiles(const TPlaybackSettings& Settings) noexcept {
    for (const std::string& path : Settings.TempFiles)
        DeleteFileA(path.c_str());
    try {
        // Only a folder this run created is ever set here.
        if (!Settings.WorkFolder.empty())
            DeletePath(Settings.WorkFolder);
    } catch (...) {
    }
}

} // namespace zembra
