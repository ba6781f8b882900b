#include "tools/pack/uSignature.h"

#include "package/uPeImage.h"
#include "tools/pack/uPackError.h"

#include <algorithm>

namespace zembra {

namespace {

// Signing pads the file to a multiple of 8 bytes before its table.
constexpr int64_t kMaxPadding = 7;

} // namespace

TRemovedSignature RemoveSignature(std::vector<unsigned char>& Image, const std::string& Name) {
    TRemovedSignature r;
    TMemoryStream stream(Image.data(), Image.size());
    TPeLayout pe;
    if (!ReadPeLayout(stream, pe) || !pe.HasCertificateTable())
        return r;
    const int64_t size = static_cast<int64_t>(Image.size());
    if (!pe.TableEndsAt(size))
        throw TPackError(ecInput, Name + ": its security directory names a certificate table of " +
                                      std::to_string(pe.CertificateSize) + " bytes at offset " +
                                      std::to_string(pe.CertificateOffset) +
                                      ", which is not where signing puts it (behind the image, "
                                      "ending the file of " +
                                      std::to_string(size) + " bytes); use the unsigned saver");
    int64_t end = pe.CertificateOffset;
    const int64_t floor = std::max(pe.ImageEnd, end - kMaxPadding);
    while (end > floor && Image[static_cast<std::size_t>(end - 1)] == 0)
        --end;
    Image.resize(static_cast<std::size_t>(end));
    std::fill_n(Image.begin() + pe.SecurityEntryOffset, 8, 0);
    r.Removed = true;
    r.TableSize = pe.CertificateSize;
    r.ChecksumOffset = pe.ChecksumOffset;
    return r;
}

void UpdatePeChecksum(std::vector<unsigned char>& Image, int64_t ChecksumOffset,
                      const std::vector<const std::vector<unsigned char>*>& Following) {
    if (ChecksumOffset < 0 || ChecksumOffset + 4 > static_cast<int64_t>(Image.size()))
        return;
    TPeChecksum sum(ChecksumOffset);
    sum.Add(Image.data(), Image.size());
    for (const std::vector<unsigned char>* part : Following)
        sum.Add(part->data(), part->size());
    const uint32_t value = sum.Value();
    for (int i = 0; i < 4; ++i)
        Image[static_cast<std::size_t>(ChecksumOffset + i)] =
            static_cast<unsigned char>(value >> (8 * i));
}

} // namespace zembra
