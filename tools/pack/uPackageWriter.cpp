#include "tools/pack/uPackageWriter.h"

#include "package/uExeAdder.h"
#include "tools/pack/uFileIo.h"
#include "tools/pack/uPackError.h"
#include "tools/pack/uSignature.h"

#include <zlib.h>

#include <climits>
#include <cstring>

namespace zembra {

namespace {

void PutInt32(std::vector<unsigned char>& Out, uint32_t Value) {
    for (int i = 0; i < 4; ++i)
        Out.push_back(static_cast<unsigned char>(Value >> (8 * i)));
}

void PutInt64(std::vector<unsigned char>& Out, uint64_t Value) {
    for (int i = 0; i < 8; ++i)
        Out.push_back(static_cast<unsigned char>(Value >> (8 * i)));
}

std::vector<unsigned char> Deflate(const TPackageItem& Item) {
    uLongf size = compressBound(static_cast<uLong>(Item.Data.size()));
    std::vector<unsigned char> out(size);
    const int rc = compress2(out.data(), &size, Item.Data.data(),
                             static_cast<uLong>(Item.Data.size()), Z_DEFAULT_COMPRESSION);
    if (rc != Z_OK)
        throw TPackError(ecInput, "item '" + Item.Name + "': cannot compress (zlib code " +
                                      std::to_string(rc) + ")");
    out.resize(size);
    return out;
}

} // namespace

std::vector<unsigned char> EncodePackage(const std::vector<TPackageItem>& Items, uint32_t Key) {
    if (Items.size() > static_cast<std::size_t>(INT32_MAX))
        throw TPackError(ecInput, "too many items");
    const auto keyByte = static_cast<uint8_t>(Key & 0xFF);
    std::vector<unsigned char> out;
    PutInt32(out, Key);
    PutInt32(out, static_cast<uint32_t>(Items.size()));
    for (const TPackageItem& item : Items) {
        if (item.Name.size() > static_cast<std::size_t>(INT32_MAX) ||
            item.Data.size() > static_cast<std::size_t>(INT32_MAX))
            throw TPackError(ecInput, "item '" + item.Name + "' is too large for a package");
        const bool compress = item.Compress && !item.Data.empty();
        std::vector<unsigned char> deflated;
        if (compress)
            deflated = Deflate(item);
        const std::vector<unsigned char>& data = compress ? deflated : item.Data;
        if (data.size() > static_cast<std::size_t>(INT32_MAX))
            throw TPackError(ecInput, "item '" + item.Name + "' is too large for a package");

        const std::string name = XorString(item.Name, keyByte);
        PutInt32(out, static_cast<uint32_t>(name.size()));
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(compress ? 1 : 0);
        PutInt32(out, static_cast<uint32_t>(data.size()));
        out.insert(out.end(), data.begin(), data.end());
    }
    PutInt64(out, static_cast<uint64_t>(out.size()));
    out.insert(out.end(), kPackageMagic, kPackageMagic + 4);
    return out;
}

TPackedSaver WritePackagedSaver(const std::string& SaverPath,
                                const std::vector<unsigned char>& Package,
                                const std::string& OutputPath) {
    std::vector<unsigned char> saver;
    std::string error;
    // The saver is a program of a few megabytes; this only refuses absurd
    // inputs before they are read into memory.
    if (!ReadWholeFile(SaverPath, saver, std::size_t(1) << 30, error))
        throw TPackError(ecInput, SaverPath + ": cannot read saver: " + error);
    // Behind a signature the package would hide the certificate table, and
    // the signature no longer holds once bytes are added anyway.
    const TRemovedSignature removed = RemoveSignature(saver, SaverPath);
    // A second package would hide the first one for good; insist on the
    // bare saver.
    if (saver.size() >= 4 && std::memcmp(saver.data() + saver.size() - 4, kPackageMagic, 4) == 0)
        throw TPackError(ecInput, SaverPath + ": already carries a package; use the bare saver");
    // Zeros before the package make the file a multiple of 8 bytes long, so
    // that signing it adds no padding and the trailer stays right before
    // the certificate table.
    const std::vector<unsigned char> padding((8 - (saver.size() + Package.size()) % 8) % 8, 0);
    if (removed.Removed)
        UpdatePeChecksum(saver, removed.ChecksumOffset, {&padding, &Package});
    WriteFileAtomic(OutputPath, {&saver, &padding, &Package});
    TPackedSaver r;
    r.SignatureRemoved = removed.Removed;
    return r;
}

} // namespace zembra
