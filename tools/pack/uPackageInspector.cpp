#include "tools/pack/uPackageInspector.h"

#include "package/ZLibEx.h"
#include "package/uExeAdder.h"
#include "package/uPeImage.h"
#include "tools/pack/uCodePage.h"
#include "tools/pack/uItemNames.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zembra {

namespace {

constexpr std::size_t kHeadSize = 80;

struct TFree {
    void operator()(void* p) const noexcept { std::free(p); }
};

std::string Hex32(uint32_t Value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(Value));
    return buf;
}

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Names of a damaged package can be any bytes; show them harmlessly.
std::string PrintableName(const std::string& Name) {
    std::string r;
    for (unsigned char c : Name) {
        if (r.size() >= 40) {
            r += "...";
            break;
        }
        if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            r += buf;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r;
}

// Bytes shows the text as it is (UTF-8) when Utf8 is set, else with every
// byte above 0x7F escaped.
std::string Quoted(const std::string& Bytes, bool Utf8) {
    std::string r = "\"";
    for (unsigned char c : Bytes) {
        if (c == '"' || c == '\\') {
            r += '\\';
            r += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F || (c > 0x7F && !Utf8)) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            r += buf;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r + "\"";
}

std::string QuotedText(const std::vector<unsigned char>& Bytes, const TCodePage* Page) {
    const std::string raw(Bytes.begin(), Bytes.end());
    std::string utf8;
    if (Page != nullptr && Page->ToUtf8(raw, utf8))
        return Quoted(utf8, true);
    return Quoted(raw, false);
}

// Walks the body; returns an empty text or what is wrong.
std::string WalkBody(TStream& Stream, TInspection& Result) {
    int64_t left = Result.BodySize;
    auto take = [&](void* Buffer, int64_t Count, const char* What) -> std::string {
        if (Count > left)
            return std::string(What) + " needs " + std::to_string(Count) + " bytes, only " +
                   std::to_string(left) + " left before the trailer";
        if (!ReadExact(Stream, Buffer, static_cast<int32_t>(Count)))
            return std::string("short read in ") + What;
        left -= Count;
        return std::string();
    };
    unsigned char b4[4];
    std::string err = take(b4, 4, "the name key");
    if (err.empty()) {
        Result.Key = Le32(b4);
        err = take(b4, 4, "the item count");
    }
    if (!err.empty())
        return err;
    Result.Count = static_cast<int32_t>(Le32(b4));
    if (Result.Count < 0)
        return "negative item count " + std::to_string(Result.Count);
    // Every record takes at least 9 bytes (name length, flag, data length).
    if (Result.Count > left / 9)
        return "item count " + std::to_string(Result.Count) + " cannot fit in the " +
               std::to_string(left) + " bytes of the body";
    const uint8_t key = static_cast<uint8_t>(Result.Key & 0xFF);

    for (int32_t i = 0; i < Result.Count; ++i) {
        const std::string at = "item " + std::to_string(i) + ": ";
        if (!(err = take(b4, 4, "the name length")).empty())
            return at + err;
        const int32_t nameLength = static_cast<int32_t>(Le32(b4));
        if (nameLength < 0)
            return at + "negative name length " + std::to_string(nameLength);
        if (nameLength > left)
            return at + "name length " + std::to_string(nameLength) + " runs past the trailer";
        std::string raw(static_cast<std::size_t>(nameLength), '\0');
        if (nameLength > 0 && !(err = take(&raw[0], nameLength, "the name")).empty())
            return at + err;
        TInspectedItem item;
        item.Name = XorString(raw, key);
        const std::string named =
            "item " + std::to_string(i) + " '" + PrintableName(item.Name) + "': ";
        if (!(err = take(&item.Compressed, 1, "the compressed flag")).empty())
            return named + err;
        if (!(err = take(b4, 4, "the data length")).empty())
            return named + err;
        item.StoredSize = static_cast<int32_t>(Le32(b4));
        if (item.StoredSize < 0)
            return named + "negative data length " + std::to_string(item.StoredSize);
        if (item.StoredSize > left)
            return named + "data length " + std::to_string(item.StoredSize) +
                   " runs past the trailer (" + std::to_string(left) + " bytes left)";
        std::unique_ptr<unsigned char, TFree> data;
        if (item.StoredSize > 0) {
            data.reset(static_cast<unsigned char*>(std::malloc(std::size_t(item.StoredSize))));
            if (!data)
                return named + "out of memory";
            if (!(err = take(data.get(), item.StoredSize, "the data")).empty())
                return named + err;
        }
        if (item.Compressed == 0 || item.StoredSize == 0) {
            item.InflatedSize = item.StoredSize;
            item.Head.assign(data.get(), data.get() + std::min<std::size_t>(
                                                          kHeadSize, std::size_t(item.StoredSize)));
        } else {
            try {
                void* out = nullptr;
                int outSize = 0;
                InflateBuffer(data.get(), item.StoredSize, out, outSize);
                std::unique_ptr<unsigned char, TFree> plain(static_cast<unsigned char*>(out));
                item.InflatedSize = outSize;
                item.Head.assign(plain.get(), plain.get() + std::min<std::size_t>(
                                                                kHeadSize, std::size_t(outSize)));
            } catch (const EZDecompressionError& e) {
                item.InflateError = e.what();
            } catch (const std::bad_alloc&) {
                item.InflateError = "out of memory";
            }
        }
        Result.Items.push_back(std::move(item));
    }
    if (left != 0)
        return std::to_string(left) + " bytes after the last record, before the trailer";
    return std::string();
}

} // namespace

TInspection InspectPackage(TStream& Stream) {
    TInspection r;
    r.FileSize = Stream.Size();
    const int64_t end = FindPackageEnd(Stream, r.FileSize);
    if (end < 0) {
        // Only the magic at the very end with too few bytes for a trailer
        // counts as a damaged package; anything else carries none.
        char magic[4];
        if (r.FileSize >= 4 && r.FileSize < kTrailerSize && Stream.Seek(-4, soEnd) >= 0 &&
            ReadExact(Stream, magic, 4) && std::memcmp(magic, kPackageMagic, 4) == 0) {
            r.State = TPackageState::Damaged;
            r.Problem = "the file is too short for the 12-byte trailer";
        }
        return r;
    }
    r.State = TPackageState::Damaged;
    r.PackageEnd = end;
    if (end != r.FileSize) {
        TPeLayout pe;
        if (ReadPeLayout(Stream, pe)) {
            r.SignatureOffset = pe.CertificateOffset;
            r.SignatureSize = pe.CertificateSize;
        }
    }
    unsigned char b8[8];
    if (Stream.Seek(end - kTrailerSize, soBeginning) < 0 || !ReadExact(Stream, b8, 8)) {
        r.Problem = "cannot read the trailer";
        return r;
    }
    uint64_t size = 0;
    for (int i = 7; i >= 0; --i)
        size = size << 8 | b8[i];
    r.BodySize = static_cast<int64_t>(size);
    if (r.BodySize < 0 || r.BodySize > end - kTrailerSize) {
        r.Problem = "package size " + std::to_string(r.BodySize) + " points outside the file (" +
                    std::to_string(r.FileSize) + " bytes)";
        return r;
    }
    r.BodyStart = end - kTrailerSize - r.BodySize;
    if (Stream.Seek(r.BodyStart, soBeginning) < 0) {
        r.Problem = "cannot seek to the package body";
        return r;
    }
    r.Problem = WalkBody(Stream, r);
    if (r.Problem.empty())
        for (const TInspectedItem& item : r.Items)
            if (!item.InflateError.empty()) {
                r.Problem = "item '" + PrintableName(item.Name) +
                            "' does not inflate: " + item.InflateError;
                break;
            }
    if (r.Problem.empty())
        r.State = TPackageState::Ok;
    return r;
}

std::string DescribeValue(const TInspectedItem& Item, const TCodePage* Page) {
    if (Item.InflatedSize < 0)
        return std::string();
    const std::vector<unsigned char>& h = Item.Head;
    switch (ItemFormOf(Item.Name)) {
    case TItemForm::Flag:
        if (h.empty())
            return "(no byte: invalid flag)";
        return h[0] != 0 ? "true" : "false";
    case TItemForm::Number: {
        if (h.size() < 4)
            return "(fewer than 4 bytes: invalid number)";
        const uint32_t v = Le32(h.data());
        if (Item.Name == "BackgroundColor") {
            char buf[16];
            std::snprintf(buf, sizeof buf, "#%02X%02X%02X", v & 0xFF, (v >> 8) & 0xFF,
                          (v >> 16) & 0xFF);
            return Hex32(v) + " (" + buf + ")";
        }
        std::string r = std::to_string(static_cast<int32_t>(v));
        static const char* const quality[] = {"low",      "high",   "autolow",
                                              "autohigh", "medium", "best"};
        static const char* const layout[] = {"whole-desktop", "first-monitor", "per-monitor"};
        if (Item.Name == "Quality" && v < 6)
            r += std::string(" (") + quality[v] + ")";
        // The saver uses the low byte of the layout only.
        if (Item.Name == "Layout" && (v & 0xFF) < 3)
            r += std::string(" (") + layout[v & 0xFF] + ")";
        return r;
    }
    case TItemForm::Text:
        if (Item.InflatedSize > static_cast<int64_t>(kHeadSize))
            return std::string();
        return QuotedText(h, Page);
    default:
        return std::string();
    }
}

std::string FormatInspection(const TInspection& I, const std::string& FileName,
                             const TCodePage* Page) {
    std::string out;
    if (I.State == TPackageState::NoPackage)
        return FileName + ": no package\n";
    char buf[256];
    std::snprintf(
        buf, sizeof buf, "%s: package of %lld bytes at offset %lld, key 0x%02X, %d items\n",
        FileName.c_str(), static_cast<long long>(I.BodySize), static_cast<long long>(I.BodyStart),
        static_cast<unsigned>(I.Key & 0xFF), static_cast<int>(I.Count));
    if (I.State == TPackageState::Damaged && I.Items.empty() && I.Count == 0)
        std::snprintf(buf, sizeof buf, "%s: package trailer found\n", FileName.c_str());
    out += buf;
    if (I.SignatureSize != 0) {
        std::snprintf(buf, sizeof buf,
                      "  signed: certificate table of %lld bytes at offset %lld follows the "
                      "package\n",
                      static_cast<long long>(I.SignatureSize),
                      static_cast<long long>(I.SignatureOffset));
        out += buf;
    }
    for (const TInspectedItem& item : I.Items) {
        std::string inflated = item.InflatedSize >= 0 ? std::to_string(item.InflatedSize)
                                                      : "(" + item.InflateError + ")";
        std::snprintf(buf, sizeof buf, "  %-18s %-10s %10d %12s", PrintableName(item.Name).c_str(),
                      item.Compressed != 0 ? "compressed" : "stored",
                      static_cast<int>(item.StoredSize), inflated.c_str());
        out += buf;
        const std::string value = DescribeValue(item, Page);
        if (!value.empty())
            out += "  " + value;
        out += "\n";
    }
    if (I.State == TPackageState::Damaged)
        out += FileName + ": damaged package: " + I.Problem + "\n";
    return out;
}

} // namespace zembra
