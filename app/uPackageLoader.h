// Gives the items of the content package their meaning: fills the playback
// settings, writes the movie and its companion files into a working folder
// that this run creates under the temporary directory, and hands the
// screen-saver and about-dialog settings to the host. Every side effect goes
// through TLoaderHost, so the role logic itself is free of Windows calls.
//
// The package is outside data. Whatever it holds, the loader writes only
// inside a folder it created itself, and lists in TempFiles only paths in
// that folder; WorkFolder is set only when this run created it, so shutdown
// may delete exactly TempFiles and WorkFolder.
#pragma once

#include "app/uPlayerChoice.h"
#include "package/uExeAdder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zembra {

// What the loader fills; the main window's playback fields.
struct TPlaybackSettings {
    std::string Guid;
    std::vector<std::string> TempFiles; // written files, in writing order, no repeats
    std::string WorkFolder;             // created by this run; empty when none was
    std::string MoviePath;              // empty when the package has no movie
    bool LoopMovie = false;
    std::string ScaleText;
    bool RightClickEnabled = false;
    bool MenuEnabled = false;
    std::int32_t Quality = 0;
    std::string ExtraFlashVars;
    std::int32_t BackgroundColor = 0;
    std::string RequiredVersion;
    std::string MovieFileName;
    std::uint8_t Layout = 0;
    bool ThrottlePreview = false;
    TPlayerKind Player = TPlayerKind::Auto;
};

// The loader's side effects. The file-system calls report failure by
// result; an exception from the others ends the load (as a damaged package
// would), except from LoadDialogPicture, which only costs the picture.
class TLoaderHost {
  public:
    virtual ~TLoaderHost() = default;
    // The temporary directory (ending in a delimiter) with Name appended.
    virtual std::string TempFilePath(const std::string& Name) = 0;
    // Creates Path as one new folder. False when it exists already or
    // cannot be created; an existing folder is never ours.
    virtual bool CreateFolder(const std::string& Path) = 0;
    // Creates or truncates the file Path and writes Size bytes of Data.
    virtual bool WriteFile(const std::string& Path, const unsigned char* Data,
                           std::int32_t Size) = 0;
    // Makes unique fallback folder names distinct between processes.
    virtual unsigned long ProcessId() = 0;
    virtual void CreateInstanceGuard(const std::string& Name) = 0;
    virtual void SetTerminateOnMouseMove(bool Value) = 0;
    virtual void SetTerminateOnKeyDown(bool Value) = 0;
    virtual void SetShowMouseCursor(bool Value) = 0;
    // The about dialog.
    virtual void SetDialogCaption(const std::string& Text) = 0;
    virtual void SetLinkCaption(const std::string& Text) = 0;
    virtual void SetLinkURL(const std::string& Text) = 0;
    virtual void SetCloseButtonVisible(bool Value) = 0;
    // Data holds a bitmap file image; may throw when it is none.
    virtual void LoadDialogPicture(const unsigned char* Data, std::int32_t Size) = 0;
};

// Value readers. An item too short for its form (or with a negative size,
// or a size without data) is invalid: the reader returns false and leaves
// Value alone, and the loader treats the item as absent.
bool ItemBool(const TItemType& Item, bool& Value);
bool ItemInt(const TItemType& Item, std::int32_t& Value);
bool ItemText(const TItemType& Item, std::string& Value);

// Item's Name equals the plain text of the encoded name, byte for byte.
bool ItemNameIs(const TItemType& Item, const char* EncodedName);

// The entry number after the first occurrence of the encoded prefix in the
// item's name; -1 when the prefix is absent or what follows is no decimal
// number that fits 32 bits.
std::int32_t ItemIndex(const TItemType& Item, const char* EncodedPrefix);

// The Player item of a package (the last valid one), Auto without one. The
// main window asks before anything of the package is applied, since it
// decides whether there is a player at all.
TPlayerKind PackagePlayerKind(const TItemTypes& Items);

class TPackageLoader {
  public:
    TPackageLoader(TLoaderHost& Host, TPlaybackSettings& Settings) noexcept
        : host_(Host), settings_(Settings) {}

    // Applies the items in package order, writes the extra files, then sets
    // ScaleText and (when the package named none) RequiredVersion
    // "0.0.0.0". TempFiles is emptied first. An exception from the host ends
    // the load where it happens.
    void Load(const TItemTypes& Items);

  private:
    struct TExtraFile {
        std::string Name;
        const unsigned char* Data = nullptr;
        std::int32_t Size = 0;
        bool HasData = false;
    };

    void ApplyItem(const TItemType& Item, std::size_t ItemCount);
    void ApplyMovie(const TItemType& Item);
    void WriteExtraFiles();
    bool EnsureWorkFolder();
    std::string DefaultMovieFileName() const;
    void WriteItemFile(const std::string& Path, const unsigned char* Data, std::int32_t Size);

    TLoaderHost& host_;
    TPlaybackSettings& settings_;
    bool scaleChoice_ = false;
    std::vector<TExtraFile> extraFiles_;
};

} // namespace zembra
