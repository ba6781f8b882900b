#include "swf/uSwfFile.h"

#include <zlib.h>

#include <cstring>

#include "swf/lzma/uLzmaDecode.h"

namespace zembra::swf {

namespace {

// Inflates a zlib stream into exactly `out.size()` bytes at most; returns
// the count produced. `complete` is false when the stream broke off.
size_t Inflate(const uint8_t* in, size_t inSize, std::vector<uint8_t>& out, bool& complete) {
    z_stream z;
    std::memset(&z, 0, sizeof z);
    complete = false;
    if (inflateInit(&z) != Z_OK)
        return 0;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = static_cast<uInt>(inSize);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int rc = Z_OK;
    while (z.avail_out > 0) {
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK)
            break;
        if (z.avail_in == 0)
            break;
    }
    const size_t produced = out.size() - z.avail_out;
    complete = rc == Z_STREAM_END || z.avail_out == 0;
    inflateEnd(&z);
    return produced;
}

} // namespace

std::vector<Tag> SplitTags(const uint8_t* data, size_t size, bool* truncated) {
    std::vector<Tag> out;
    size_t pos = 0;
    bool cut = false;
    while (true) {
        if (size - pos < 2) {
            cut = true;
            break;
        }
        const uint16_t codeAndLength = static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8));
        pos += 2;
        Tag tag;
        tag.code = codeAndLength >> 6;
        uint32_t length = codeAndLength & 0x3f;
        if (length == 0x3f) {
            if (size - pos < 4) {
                cut = true;
                break;
            }
            length = static_cast<uint32_t>(data[pos]) |
                     (static_cast<uint32_t>(data[pos + 1]) << 8) |
                     (static_cast<uint32_t>(data[pos + 2]) << 16) |
                     (static_cast<uint32_t>(data[pos + 3]) << 24);
            pos += 4;
        }
        if (length > size - pos) {
            cut = true;
            break;
        }
        tag.data = data + pos;
        tag.length = length;
        pos += length;
        if (tag.code == tags::End)
            break;
        if (out.size() >= kMaxTagsPerTimeline) {
            cut = true;
            break;
        }
        out.push_back(tag);
    }
    if (truncated)
        *truncated = cut;
    return out;
}

bool File::Open(std::vector<uint8_t> bytes, std::string& error) {
    header_ = Header();
    body_.clear();
    tags_.clear();
    truncated_ = false;
    if (bytes.size() < 8) {
        error = "truncated: shorter than the 8-byte header";
        return false;
    }
    const uint8_t c0 = bytes[0];
    if ((c0 != 'F' && c0 != 'C' && c0 != 'Z') || bytes[1] != 'W' || bytes[2] != 'S') {
        error = "bad signature: not a movie file";
        return false;
    }
    header_.compression =
        c0 == 'F' ? Compression::None : (c0 == 'C' ? Compression::Zlib : Compression::Lzma);
    header_.version = bytes[3];
    header_.fileLength = static_cast<uint32_t>(bytes[4]) | (static_cast<uint32_t>(bytes[5]) << 8) |
                         (static_cast<uint32_t>(bytes[6]) << 16) |
                         (static_cast<uint32_t>(bytes[7]) << 24);
    if (header_.fileLength > kMaxMovieLength) {
        error = "decompression bomb: declared length " + std::to_string(header_.fileLength) +
                " bytes exceeds the limit of " + std::to_string(kMaxMovieLength);
        return false;
    }
    if (header_.fileLength < 8) {
        error = "bad header: declared length " + std::to_string(header_.fileLength) +
                " is shorter than the header";
        return false;
    }
    const size_t bodyLength = header_.fileLength - 8;
    bool complete = true;
    switch (header_.compression) {
    case Compression::None: {
        const size_t have = bytes.size() - 8;
        const size_t take = have < bodyLength ? have : bodyLength;
        complete = take == bodyLength;
        bytes.erase(bytes.begin(), bytes.begin() + 8);
        bytes.resize(take);
        body_ = std::move(bytes);
        break;
    }
    case Compression::Zlib: {
        body_.resize(bodyLength);
        const size_t n = Inflate(bytes.data() + 8, bytes.size() - 8, body_, complete);
        body_.resize(n);
        break;
    }
    case Compression::Lzma: {
        // Compressed length (4 bytes), then five property bytes.
        if (bytes.size() < 17) {
            error = "truncated: LZMA header incomplete";
            return false;
        }
        body_.resize(bodyLength);
        int done = 0;
        const size_t n = ZembraLzmaDecode(bytes.data() + 12, bytes.data() + 17, bytes.size() - 17,
                                          body_.data(), body_.size(), &done);
        complete = done != 0;
        body_.resize(n);
        break;
    }
    }
    truncated_ = !complete;
    Reader r(body_.data(), body_.size());
    header_.frame = r.ReadRect();
    header_.frameRate = r.U16() / 256.0;
    header_.frameCount = r.U16();
    if (r.Overrun()) {
        error = body_.empty() ? "truncated or damaged: no data after the header"
                              : "truncated: the header's frame record is incomplete";
        return false;
    }
    bool cut = false;
    tags_ = SplitTags(r.Here(), r.Remaining(), &cut);
    truncated_ = truncated_ || cut;
    return true;
}

} // namespace zembra::swf
