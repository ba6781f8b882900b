#include "tools/pack/uManifest.h"

#include "package/ZLibEx.h"
#include "tools/pack/uCodePage.h"
#include "tools/pack/uFileIo.h"
#include "tools/pack/uItemNames.h"
#include "tools/pack/uPackError.h"

#include <cctype>
#include <cstring>
#include <map>
#include <memory>

namespace zembra {

namespace {

constexpr const char* kSectionName = "package";
constexpr const char* kExtraFileKey = "ExtraFile";
// A manifest is a handful of lines; anything this large is not one.
constexpr std::size_t kMaxManifestSize = 1 << 20;

// The keys a manifest may use, in the order the items are written. The
// loader applies items in package order, so GUID and MovieFileName come
// before Movie; the extra files follow the movie.
constexpr const char* kKeyOrder[] = {
    "GUID",
    "Loop",
    "StretchToFit",
    "RightClick",
    "Menu",
    "Quality",
    "FlashVars",
    "BackgroundColor",
    "ThrottlePreview",
    "RequiredVersion",
    "ExitOnMouseMove",
    "ExitOnKeyDown",
    "ShowCursor",
    "Layout",
    "Player",
    "MovieFileName",
    "Movie",
    kExtraFileKey,
    "AboutCaption",
    "AboutLinkText",
    "AboutLinkURL",
    "AboutCloseButton",
    "AboutImage",
};

bool IsKnownKey(const std::string& Key) {
    if (Key == kCodePageKey)
        return true;
    for (const char* k : kKeyOrder)
        if (Key == k)
            return true;
    return false;
}

std::string Lower(std::string Text) {
    for (char& c : Text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return Text;
}

std::string TrimBlanks(const std::string& Text) {
    std::size_t b = 0, e = Text.size();
    while (b < e && (Text[b] == ' ' || Text[b] == '\t'))
        ++b;
    while (e > b && (Text[e - 1] == ' ' || Text[e - 1] == '\t'))
        --e;
    return Text.substr(b, e - b);
}

[[noreturn]] void Fail(const std::string& File, int Line, const std::string& What) {
    std::string where = File;
    if (Line > 0)
        where += ":" + std::to_string(Line);
    throw TPackError(ecInput, where + ": " + What);
}

bool ParseUnsigned(const std::string& Text, int Base, uint64_t Max, uint64_t& Value) {
    if (Text.empty())
        return false;
    uint64_t v = 0;
    for (char c : Text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (Base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (Base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * static_cast<uint64_t>(Base) + static_cast<uint64_t>(d);
        if (v > Max)
            return false;
    }
    Value = v;
    return true;
}

std::vector<unsigned char> Bytes(const std::string& Text) {
    return std::vector<unsigned char>(Text.begin(), Text.end());
}

std::vector<unsigned char> NumberBytes(int32_t Value) {
    const auto v = static_cast<uint32_t>(Value);
    return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
            static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
}

// Characters that can name a folder on every file system the saver meets.
bool IsSafeFolderName(const std::string& Text) {
    if (Text.empty() || Text == "." || Text == "..")
        return false;
    for (unsigned char c : Text)
        if (!(std::isalnum(c) || c == '{' || c == '}' || c == '-' || c == '_' || c == '.'))
            return false;
    return true;
}

bool IsPlainFileName(const std::string& Text) {
    if (Text.empty() || Text == "." || Text == "..")
        return false;
    for (unsigned char c : Text)
        if (c < ' ' || std::strchr("\\/:*?\"<>|", c) != nullptr)
            return false;
    return true;
}

} // namespace

bool ParseFlagValue(const std::string& Text, bool& Value) {
    const std::string t = Lower(Text);
    if (t == "true" || t == "yes" || t == "1") {
        Value = true;
        return true;
    }
    if (t == "false" || t == "no" || t == "0") {
        Value = false;
        return true;
    }
    return false;
}

bool ParseNumberValue(const std::string& Text, int32_t& Value) {
    uint64_t v = 0;
    if (Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) {
        if (!ParseUnsigned(Text.substr(2), 16, 0xFFFFFFFFull, v))
            return false;
        Value = static_cast<int32_t>(static_cast<uint32_t>(v));
        return true;
    }
    const bool negative = !Text.empty() && Text[0] == '-';
    const std::string digits =
        (!Text.empty() && (Text[0] == '-' || Text[0] == '+')) ? Text.substr(1) : Text;
    if (!ParseUnsigned(digits, 10, negative ? 0x80000000ull : 0x7FFFFFFFull, v))
        return false;
    Value = negative ? static_cast<int32_t>(-static_cast<int64_t>(v)) : static_cast<int32_t>(v);
    return true;
}

bool ParseColorValue(const std::string& Text, int32_t& Value) {
    if (!Text.empty() && Text[0] == '#') {
        uint64_t rgb = 0;
        if (Text.size() != 7 || !ParseUnsigned(Text.substr(1), 16, 0xFFFFFF, rgb))
            return false;
        const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
        Value = static_cast<int32_t>(b << 16 | g << 8 | r);
        return true;
    }
    return ParseNumberValue(Text, Value);
}

bool ParseQualityValue(const std::string& Text, int32_t& Value) {
    static const char* const names[] = {"low", "high", "autolow", "autohigh", "medium", "best"};
    const std::string t = Lower(Text);
    for (int i = 0; i < 6; ++i)
        if (t == names[i]) {
            Value = i;
            return true;
        }
    return ParseNumberValue(Text, Value);
}

bool ParsePlayerValue(const std::string& Text) {
    return Text == "auto" || Text == "system" || Text == "builtin";
}

bool ParseLayoutValue(const std::string& Text, int32_t& Value) {
    static const char* const names[] = {"whole-desktop", "first-monitor", "per-monitor"};
    const std::string t = Lower(Text);
    for (int i = 0; i < 3; ++i)
        if (t == names[i] || t == std::to_string(i)) {
            Value = i;
            return true;
        }
    return false;
}

TManifest ParseManifestText(const std::string& Text, const std::string& FileName) {
    TManifest m;
    m.FileName = FileName;
    std::map<std::string, int> seen;
    bool inSection = false, hadSection = false;
    std::size_t pos = 0;
    // A byte-order mark from an editor is not part of the first line.
    const bool bom = Text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (bom)
        pos = 3;
    for (int line = 1; pos < Text.size(); ++line) {
        std::size_t end = Text.find('\n', pos);
        if (end == std::string::npos)
            end = Text.size();
        std::string raw = Text.substr(pos, end - pos);
        pos = end + 1;
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        if (m.InvalidUtf8Line == 0 && !IsValidUtf8(raw)) {
            if (bom)
                Fail(FileName, line,
                     "not UTF-8, though the file starts with a UTF-8 byte-order mark");
            m.InvalidUtf8Line = line;
            m.Utf8 = false;
        }
        const std::string t = TrimBlanks(raw);
        if (t.empty() || t[0] == ';' || t[0] == '#')
            continue;
        if (t[0] == '[') {
            if (t.back() != ']')
                Fail(FileName, line, "section header without closing ']'");
            const std::string name = TrimBlanks(t.substr(1, t.size() - 2));
            if (Lower(name) != kSectionName)
                Fail(FileName, line, "unknown section [" + name + "]; only [package] is allowed");
            if (hadSection)
                Fail(FileName, line, "section [package] given twice");
            inSection = hadSection = true;
            continue;
        }
        const std::size_t eq = t.find('=');
        if (eq == std::string::npos)
            Fail(FileName, line, "expected key=value");
        if (!inSection)
            Fail(FileName, line, "key outside the [package] section");
        TManifestEntry e;
        e.Key = TrimBlanks(t.substr(0, eq));
        e.Value = TrimBlanks(t.substr(eq + 1));
        e.Line = line;
        if (e.Value.size() >= 2 && e.Value.front() == '"' && e.Value.back() == '"')
            e.Value = e.Value.substr(1, e.Value.size() - 2);
        if (e.Key.empty())
            Fail(FileName, line, "empty key");
        if (!IsKnownKey(e.Key)) {
            std::string hint;
            for (const char* k : kKeyOrder)
                if (Lower(e.Key) == Lower(k))
                    hint = std::string(" (did you mean '") + k + "'?)";
            if (Lower(e.Key) == Lower(kCodePageKey))
                hint = std::string(" (did you mean '") + kCodePageKey + "'?)";
            if (e.Key == kExtraFileCountName || IsIndexedName(e.Key, kExtraFileNamePrefix) ||
                IsIndexedName(e.Key, kExtraFileDataPrefix))
                hint = " (extra files are given as ExtraFile=path lines)";
            Fail(FileName, line, "unknown key '" + e.Key + "'" + hint);
        }
        if (e.Key != kExtraFileKey) {
            auto it = seen.find(e.Key);
            if (it != seen.end())
                Fail(FileName, line,
                     "'" + e.Key + "' given twice (first on line " + std::to_string(it->second) +
                         ")");
            seen[e.Key] = line;
        }
        m.Entries.push_back(e);
    }
    if (!hadSection)
        Fail(FileName, 0, "no [package] section");
    return m;
}

TManifest LoadManifest(const std::string& FileName) {
    std::vector<unsigned char> data;
    std::string error;
    if (!ReadWholeFile(FileName, data, kMaxManifestSize, error))
        throw TPackError(ecInput, FileName + ": cannot read manifest: " + error);
    return ParseManifestText(std::string(data.begin(), data.end()), FileName);
}

std::vector<TPackageItem> ManifestItems(const TManifest& Manifest) {
    const std::string& file = Manifest.FileName;
    const std::string folder = FolderOf(file);
    const TManifestEntry* guid = nullptr;
    const TManifestEntry* movie = nullptr;
    const TManifestEntry* movieName = nullptr;
    std::vector<const TManifestEntry*> extras;
    for (const TManifestEntry& e : Manifest.Entries) {
        if (e.Key == "GUID")
            guid = &e;
        else if (e.Key == "Movie")
            movie = &e;
        else if (e.Key == "MovieFileName")
            movieName = &e;
        else if (e.Key == kExtraFileKey)
            extras.push_back(&e);
    }
    // The GUID names the working folder the movie is written to.
    if (guid != nullptr && !guid->Value.empty() && !IsSafeFolderName(guid->Value))
        Fail(file, guid->Line,
             "GUID '" + guid->Value + "' may hold only letters, digits and {}-_.");
    if ((movie != nullptr || !extras.empty()) && (guid == nullptr || guid->Value.empty()))
        Fail(file, movie != nullptr ? movie->Line : extras.front()->Line,
             "a movie or extra files need a non-empty GUID (it names the working folder)");
    if (!extras.empty() && movie == nullptr)
        Fail(file, extras.front()->Line, "extra files need a Movie to be written beside");
    if (movieName != nullptr && !movieName->Value.empty() && !IsPlainFileName(movieName->Value))
        Fail(file, movieName->Line,
             "MovieFileName '" + movieName->Value + "' must be a plain file name");

    // Texts go into the package in the code page the saver will read them
    // in; a manifest that is not UTF-8 already holds them so.
    uint32_t codePage = kDefaultCodePage;
    int codePageLine = 0;
    for (const TManifestEntry& e : Manifest.Entries) {
        if (e.Key != kCodePageKey)
            continue;
        int32_t number = 0;
        if (!ParseNumberValue(e.Value, number) || number <= 0 || number > 0xFFFF)
            Fail(file, e.Line,
                 "'CodePage' must be a code page number such as 932, 1252 or 65001, not '" +
                     e.Value + "'");
        codePage = static_cast<uint32_t>(number);
        codePageLine = e.Line;
    }
    const std::unique_ptr<TCodePage> page = TCodePage::Open(codePage);
    if (!page)
        Fail(file, codePageLine,
             "code page " + std::to_string(codePage) + " cannot be converted on this system");
    if (!Manifest.Utf8 && codePage == kUtf8CodePage)
        Fail(file, Manifest.InvalidUtf8Line, "not UTF-8, but 'CodePage' is 65001 (UTF-8)");
    auto textBytes = [&](const TManifestEntry& e, const std::string& Value) {
        if (!Manifest.Utf8)
            return Bytes(Value);
        std::string converted;
        if (!page->FromUtf8(Value, converted))
            Fail(file, e.Line,
                 "'" + e.Key + "': " + FirstUnrepresentable(*page, Value) +
                     " cannot be written in code page " + std::to_string(codePage));
        return Bytes(converted);
    };

    std::size_t inflatedTotal = 0;
    auto readFile = [&](const TManifestEntry& e, std::vector<unsigned char>& data) {
        if (e.Value.empty())
            Fail(file, e.Line, "'" + e.Key + "' needs a file path");
        std::string error;
        const std::string path = ResolveRelative(folder, e.Value);
        if (!ReadWholeFile(path, data, kMaxInflatedSize, error))
            Fail(file, e.Line, "cannot read '" + path + "': " + error);
        // The saver inflates all items into memory and bounds their total.
        inflatedTotal += data.size();
        if (inflatedTotal > kMaxInflatedSize)
            Fail(file, e.Line,
                 "the files together exceed " + std::to_string(kMaxInflatedSize) +
                     " bytes, more than the saver will inflate");
    };

    std::vector<TPackageItem> items;
    for (const char* key : kKeyOrder) {
        for (const TManifestEntry& e : Manifest.Entries) {
            if (e.Key != key)
                continue;
            if (e.Key == kExtraFileKey)
                continue; // written as a group below
            TPackageItem item;
            item.Name = e.Key;
            int32_t number = 0;
            bool flag = false;
            switch (ItemFormOf(e.Key)) {
            case TItemForm::Flag:
                if (!ParseFlagValue(e.Value, flag))
                    Fail(file, e.Line,
                         "'" + e.Key + "' must be true/false/yes/no/1/0, not '" + e.Value + "'");
                item.Data = {static_cast<unsigned char>(flag ? 1 : 0)};
                break;
            case TItemForm::Number: {
                bool ok;
                std::string accepted;
                if (e.Key == "Quality") {
                    ok = ParseQualityValue(e.Value, number);
                    accepted = "a number or low/high/autolow/autohigh/medium/best";
                } else if (e.Key == "Layout") {
                    ok = ParseLayoutValue(e.Value, number);
                    accepted = "0/1/2 or whole-desktop/first-monitor/per-monitor";
                } else if (e.Key == "BackgroundColor") {
                    ok = ParseColorValue(e.Value, number);
                    accepted = "#RRGGBB or a number";
                } else {
                    ok = ParseNumberValue(e.Value, number);
                    accepted = "a 32-bit number";
                }
                if (!ok)
                    Fail(file, e.Line,
                         "'" + e.Key + "' must be " + accepted + ", not '" + e.Value + "'");
                item.Data = NumberBytes(number);
                break;
            }
            case TItemForm::Text:
                if (e.Key == "Player" && !ParsePlayerValue(e.Value))
                    Fail(file, e.Line,
                         "'Player' must be auto/system/builtin, not '" + e.Value + "'");
                item.Data = textBytes(e, e.Value);
                item.Compress = true;
                break;
            case TItemForm::File:
                readFile(e, item.Data);
                item.Compress = true;
                break;
            case TItemForm::Unknown:
                Fail(file, e.Line, "unknown key '" + e.Key + "'");
            }
            items.push_back(std::move(item));
        }
        if (std::strcmp(key, kExtraFileKey) == 0 && !extras.empty()) {
            TPackageItem count;
            count.Name = kExtraFileCountName;
            count.Data = NumberBytes(static_cast<int32_t>(extras.size()));
            items.push_back(std::move(count));
            std::map<std::string, int> names;
            // The movie lands in the same folder under its own name.
            if (movieName != nullptr && !movieName->Value.empty())
                names[Lower(movieName->Value)] = movieName->Line;
            else
                names[Lower(guid->Value + ".swf")] = guid->Line;
            for (std::size_t i = 0; i < extras.size(); ++i) {
                const TManifestEntry& e = *extras[i];
                const std::string name = FileNameOf(e.Value);
                if (!IsPlainFileName(name))
                    Fail(file, e.Line, "ExtraFile '" + e.Value + "' has no usable file name");
                // Windows file names ignore case: two such names would land
                // on one file beside the movie.
                auto it = names.find(Lower(name));
                if (it != names.end())
                    Fail(file, e.Line,
                         "file name '" + name + "' already used on line " +
                             std::to_string(it->second));
                names[Lower(name)] = e.Line;
                TPackageItem n;
                n.Name = kExtraFileNamePrefix + std::to_string(i);
                n.Data = textBytes(e, name);
                n.Compress = true;
                TPackageItem d;
                d.Name = kExtraFileDataPrefix + std::to_string(i);
                readFile(e, d.Data);
                d.Compress = true;
                items.push_back(std::move(n));
                items.push_back(std::move(d));
            }
        }
    }
    return items;
}

} // namespace zembra
