// A strict, diagnosing walk over a package for `zembra-pack list`: unlike
// the saver's reader it says what is wrong and also insists that the last
// record ends exactly at the trailer.
#pragma once

#include "package/uStreamUtils.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zembra {

struct TInspectedItem {
    std::string Name;
    uint8_t Compressed = 0;
    int32_t StoredSize = 0;
    int64_t InflatedSize = -1;       // -1 when it does not inflate
    std::string InflateError;        // zlib's text when it does not
    std::vector<unsigned char> Head; // the first bytes of the plain value
};

enum class TPackageState { NoPackage, Ok, Damaged };

struct TInspection {
    TPackageState State = TPackageState::NoPackage;
    std::string Problem; // what is wrong, for a damaged package
    int64_t FileSize = 0;
    int64_t BodyStart = 0;
    int64_t BodySize = 0;
    int64_t PackageEnd = 0; // where the trailer ends
    // The certificate table behind the package of a signed file; 0 for none.
    int64_t SignatureOffset = 0;
    int64_t SignatureSize = 0;
    uint32_t Key = 0;
    int32_t Count = 0;
    std::vector<TInspectedItem> Items; // those read before any problem
};

TInspection InspectPackage(TStream& Stream);

class TCodePage;

// The value of flags, numbers and short texts as the saver reads them;
// empty for files, long texts and unknown names. Texts are decoded from
// Page into UTF-8; bytes that do not decode (or all bytes above 0x7F when
// Page is null) are shown as \xNN.
std::string DescribeValue(const TInspectedItem& Item, const TCodePage* Page = nullptr);

// The listing printed by `zembra-pack list`, texts decoded from Page.
std::string FormatInspection(const TInspection& Inspection, const std::string& FileName,
                             const TCodePage* Page = nullptr);

} // namespace zembra
