// The file-system share of the loader's host on Windows: the temporary
// directory, new folders, item files. The screen-saver and about-dialog
// share is the main window's (it owns those objects).
#pragma once
#ifdef _WIN32

#include "app/uPackageLoader.h"

namespace zembra {

class TFileLoaderHost : public TLoaderHost {
  public:
    std::string TempFilePath(const std::string& Name) override;
    // CreateDirectoryA: fails on an existing folder, which is what we want.
    bool CreateFolder(const std::string& Path) override;
    // Create or truncate, then write every byte; a short write is a failure.
    bool WriteFile(const std::string& Path, const unsigned char* Data, std::int32_t Size) override;
    unsigned long ProcessId() override;
};

// Deletes every listed file (a missing one is skipped), then the working
// folder when this run created one. Safe to run again: the second run finds
// nothing.
void RemoveWrittenFiles(const TPlaybackSettings& Settings) noexcept;

} // namespace zembra

#endif // _WIN32
