#include "app/uPackageLoader.h"

#include "app/uSafeName.h"
#include "util/uEncodedNames.h"
#include "util/uMbcs.h"
#include "util/uUtils.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace zembra {

namespace {

constexpr char kGuidName[] = "GUID";
constexpr char kPathDelimiter = '\\';
constexpr char kUnknownVersion[] = "0.0.0.0";
constexpr char kFallbackMovieName[] = "movie.swf";
constexpr char kFallbackFolderPrefix[] = "ZembraSaver-";
// Enough to step past folders left behind by crashed earlier runs with the
// same process id; beyond that the temporary directory is not usable.
constexpr int kFallbackFolderAttempts = 100;

bool HasValidData(const TItemType& item) {
    return item.Size >= 0 && (item.Size == 0 || item.Data != nullptr);
}

// Decimal integer, optional sign, nothing else; false when it does not fit.
bool ParseDecimal(const std::string& text, std::int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size())
        return false;
    std::int64_t result = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        result = result * 10 + (text[i] - '0');
        if (result > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1)
            return false;
    }
    if (negative)
        result = -result;
    if (result < std::numeric_limits<std::int32_t>::min() ||
        result > std::numeric_limits<std::int32_t>::max())
        return false;
    value = static_cast<std::int32_t>(result);
    return true;
}

} // namespace

bool ItemBool(const TItemType& Item, bool& Value) {
    if (Item.Size < 1 || Item.Data == nullptr)
        return false;
    Value = Item.Data[0] != 0;
    return true;
}

bool ItemInt(const TItemType& Item, std::int32_t& Value) {
    if (Item.Size < 4 || Item.Data == nullptr)
        return false;
    const std::uint32_t raw = static_cast<std::uint32_t>(Item.Data[0]) |
                              static_cast<std::uint32_t>(Item.Data[1]) << 8 |
                              static_cast<std::uint32_t>(Item.Data[2]) << 16 |
                              static_cast<std::uint32_t>(Item.Data[3]) << 24;
    std::int32_t result;
    std::memcpy(&result, &raw, sizeof result);
    Value = result;
    return true;
}

bool ItemText(const TItemType& Item, std::string& Value) {
    if (!HasValidData(Item))
        return false;
    Value.assign(reinterpret_cast<const char*>(Item.Data), static_cast<std::size_t>(Item.Size));
    return true;
}

bool ItemNameIs(const TItemType& Item, const char* EncodedName) {
    return Item.Name == DecodeHexText(EncodedName);
}

std::int32_t ItemIndex(const TItemType& Item, const char* EncodedPrefix) {
    const std::string prefix = DecodeHexText(EncodedPrefix);
    const std::size_t pos = MbcsFind(Item.Name, prefix);
    if (prefix.empty() || pos == std::string::npos)
        return -1;
    std::int32_t index = -1;
    if (!ParseDecimal(Item.Name.substr(pos + prefix.size()), index))
        return -1;
    return index;
}

TPlayerKind PackagePlayerKind(const TItemTypes& Items) {
    TPlayerKind kind = TPlayerKind::Auto;
    std::string text;
    for (const TItemType& item : Items)
        if (ItemNameIs(item, kItemPlayer) && ItemText(item, text))
            ParsePlayerKind(text, kind);
    return kind;
}

void TPackageLoader::Load(const TItemTypes& Items) {
    settings_.TempFiles.clear();
    scaleChoice_ = false;
    extraFiles_.clear();
    for (const TItemType& item : Items)
        ApplyItem(item, Items.size());
    WriteExtraFiles();
    settings_.ScaleText = DecodeHexText(scaleChoice_ ? kScaleExactFit : kScaleShowAll);
    if (settings_.RequiredVersion.empty())
        settings_.RequiredVersion = kUnknownVersion;
}

void TPackageLoader::ApplyItem(const TItemType& Item, std::size_t ItemCount) {
    TPlaybackSettings& s = settings_;
    bool flag = false;
    std::int32_t number = 0;
    std::string text;

    if (Item.Name == kGuidName && ItemText(Item, text)) {
        s.Guid = text;
        if (!s.Guid.empty())
            host_.CreateInstanceGuard(s.Guid);
    }
    if (ItemNameIs(Item, kItemLoop) && ItemBool(Item, flag))
        s.LoopMovie = flag;
    if (ItemNameIs(Item, kItemStretchToFit) && ItemBool(Item, flag))
        scaleChoice_ = flag;
    if (ItemNameIs(Item, kItemRightClick) && ItemBool(Item, flag))
        s.RightClickEnabled = flag;
    if (ItemNameIs(Item, kItemMenu) && ItemBool(Item, flag))
        s.MenuEnabled = flag;
    if (ItemNameIs(Item, kItemQuality) && ItemInt(Item, number))
        s.Quality = number;
    if (ItemNameIs(Item, kItemFlashVars) && ItemText(Item, text))
        s.ExtraFlashVars = text;
    if (ItemNameIs(Item, kItemBackgroundColor) && ItemInt(Item, number))
        s.BackgroundColor = number;
    if (ItemNameIs(Item, kItemMovieFileName) && ItemText(Item, text))
        s.MovieFileName = text;
    if (ItemNameIs(Item, kItemMovie) && HasValidData(Item))
        ApplyMovie(Item);
    if (ItemNameIs(Item, kItemThrottlePreview) && ItemBool(Item, flag))
        s.ThrottlePreview = flag;
    if (ItemNameIs(Item, kItemRequiredVersion) && ItemText(Item, text))
        s.RequiredVersion = text;
    if (ItemNameIs(Item, kItemExtraFileCount) && ItemInt(Item, number) && number >= 0) {
        // No package can fill more entries than it has items.
        const std::size_t count = std::min(static_cast<std::size_t>(number), ItemCount);
        extraFiles_.resize(count);
    }
    const std::int32_t nameIndex = ItemIndex(Item, kItemExtraFileNamePrefix);
    if (nameIndex >= 0 && static_cast<std::size_t>(nameIndex) < extraFiles_.size() &&
        ItemText(Item, text))
        extraFiles_[static_cast<std::size_t>(nameIndex)].Name = text;
    const std::int32_t dataIndex = ItemIndex(Item, kItemExtraFileDataPrefix);
    if (dataIndex >= 0 && static_cast<std::size_t>(dataIndex) < extraFiles_.size() &&
        HasValidData(Item)) {
        // An empty data item leaves the entry without data: it is not written.
        TExtraFile& entry = extraFiles_[static_cast<std::size_t>(dataIndex)];
        entry.Data = Item.Data;
        entry.Size = Item.Size;
        entry.HasData = Item.Data != nullptr;
    }
    if (ItemNameIs(Item, kItemExitOnMouseMove) && ItemBool(Item, flag))
        host_.SetTerminateOnMouseMove(flag);
    if (ItemNameIs(Item, kItemExitOnKeyDown) && ItemBool(Item, flag))
        host_.SetTerminateOnKeyDown(flag);
    if (ItemNameIs(Item, kItemShowCursor) && ItemBool(Item, flag))
        host_.SetShowMouseCursor(flag);
    if (ItemNameIs(Item, kItemPlayer) && ItemText(Item, text))
        ParsePlayerKind(text, s.Player); // an unknown text keeps what was there
    if (ItemNameIs(Item, kItemLayout) && ItemInt(Item, number))
        s.Layout = static_cast<std::uint8_t>(static_cast<std::uint32_t>(number) & 0xFF);

    if (ItemNameIs(Item, kItemAboutCaption) && ItemText(Item, text))
        host_.SetDialogCaption(text);
    if (ItemNameIs(Item, kItemAboutLinkText) && ItemText(Item, text))
        host_.SetLinkCaption(text);
    if (ItemNameIs(Item, kItemAboutLinkURL) && ItemText(Item, text))
        host_.SetLinkURL(text);
    if (ItemNameIs(Item, kItemAboutCloseButton) && ItemBool(Item, flag))
        host_.SetCloseButtonVisible(flag);
    if (ItemNameIs(Item, kItemAboutImage) && HasValidData(Item)) {
        // A broken picture costs the picture, not the settings after it.
        try {
            host_.LoadDialogPicture(Item.Data, Item.Size);
        } catch (...) {
        }
    }
}

bool TPackageLoader::EnsureWorkFolder() {
    if (!settings_.WorkFolder.empty())
        return true;
    // The GUID names the folder only when it is one plain name; a folder of
    // that name that exists already belongs to someone else.
    if (IsPlainName(settings_.Guid)) {
        const std::string path = host_.TempFilePath(settings_.Guid);
        if (host_.CreateFolder(path)) {
            settings_.WorkFolder = path;
            return true;
        }
    }
    const std::string base = kFallbackFolderPrefix + std::to_string(host_.ProcessId()) + "-";
    for (int attempt = 0; attempt < kFallbackFolderAttempts; ++attempt) {
        const std::string path = host_.TempFilePath(base + std::to_string(attempt));
        if (host_.CreateFolder(path)) {
            settings_.WorkFolder = path;
            return true;
        }
    }
    return false;
}

std::string TPackageLoader::DefaultMovieFileName() const {
    const std::string fromGuid = settings_.Guid + ".swf";
    return IsPlainName(settings_.Guid) && IsPlainName(fromGuid) ? fromGuid
                                                                : std::string(kFallbackMovieName);
}

void TPackageLoader::ApplyMovie(const TItemType& Item) {
    if (!EnsureWorkFolder())
        return; // no folder of our own: nothing is written anywhere
    if (settings_.MovieFileName.empty())
        settings_.MovieFileName = DefaultMovieFileName();
    std::string name = SafeFileName(settings_.MovieFileName);
    if (name.empty())
        name = DefaultMovieFileName();
    settings_.MoviePath = settings_.WorkFolder + kPathDelimiter + name;
    WriteItemFile(settings_.MoviePath, Item.Data, Item.Size);
}

void TPackageLoader::WriteExtraFiles() {
    for (const TExtraFile& entry : extraFiles_) {
        if (entry.Name.empty() || !entry.HasData)
            continue;
        const std::string name = SafeFileName(entry.Name);
        if (name.empty() || !EnsureWorkFolder())
            continue;
        WriteItemFile(settings_.WorkFolder + kPathDelimiter + name, entry.Data, entry.Size);
    }
}

void TPackageLoader::WriteItemFile(const std::string& Path, const unsigned char* Data,
                                   std::int32_t Size) {
    try {
        // Listed before writing, so a half-written file is removed too.
        auto& files = settings_.TempFiles;
        if (std::find(files.begin(), files.end(), Path) == files.end())
            files.push_back(Path);
        host_.WriteFile(Path, Data, Size);
    } catch (...) {
    }
}

} // namespace zembra
