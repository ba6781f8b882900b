#include "package/uStreamUtils.h"

#include <cstring>
#include <limits>

namespace zembra {

int64_t TStream::Size() {
    const int64_t pos = Seek(0, soCurrent);
    if (pos < 0)
        return -1;
    const int64_t end = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return end;
}

int32_t TMemoryStream::Read(void* Buffer, int32_t Count) {
    if (Count <= 0 || pos_ >= size_)
        return 0;
    const int64_t left = size_ - pos_;
    const int32_t n = left < Count ? static_cast<int32_t>(left) : Count;
    std::memcpy(Buffer, data_ + pos_, static_cast<std::size_t>(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t base = 0;
    switch (Origin) {
    case soBeginning:
        base = 0;
        break;
    case soCurrent:
        base = pos_;
        break;
    case soEnd:
        base = size_;
        break;
    }
    // base is never negative, so only a positive offset can overflow.
    if (Offset > 0 && Offset > std::numeric_limits<int64_t>::max() - base)
        return -1;
    const int64_t target = base + Offset;
    if (target < 0)
        return -1;
    pos_ = target;
    return pos_;
}

bool ReadExact(TStream& Stream, void* Buffer, int32_t Count) {
    if (Count < 0)
        return false;
    auto* p = static_cast<unsigned char*>(Buffer);
    int32_t done = 0;
    while (done < Count) {
        const int32_t n = Stream.Read(p + done, Count - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

uint8_t ReadByte(TStream& Stream) {
    unsigned char b[1] = {0};
    ReadExact(Stream, b, 1);
    return b[0];
}

int32_t ReadInteger(TStream& Stream) {
    unsigned char b[4] = {0, 0, 0, 0};
    ReadExact(Stream, b, 4);
    const uint32_t v =
        uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return static_cast<int32_t>(v);
}

int64_t ReadInt64(TStream& Stream) {
    unsigned char b[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    ReadExact(Stream, b, 8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | b[i];
    return static_cast<int64_t>(v);
}

bool ReadString(TStream& Stream, std::string& Text) {
    Text.clear();
    const int32_t n = ReadInteger(Stream);
    if (n == 0)
        return true;
    if (n < 0)
        return false;
    const int64_t pos = Stream.Position();
    const int64_t size = Stream.Size();
    if (pos < 0 || size < 0 || size - pos < n)
        return false;
    Text.resize(static_cast<std::size_t>(n));
    if (!ReadExact(Stream, &Text[0], n)) {
        Text.clear();
        return false;
    }
    return true;
}

} // namespace zembra
