#include "tests/avm1/uSwfStandIn.h"

#include <zlib.h>

#include "swf/uSwfFile.h"

namespace zembra::avm1::standin {

namespace {

struct Bits {
    const uint8_t* p;
    size_t n;
    size_t byte = 0;
    int bit = 0;
    bool ok = true;
    uint32_t U(int count) {
        uint32_t v = 0;
        for (int i = 0; i < count; ++i) {
            if (byte >= n) {
                ok = false;
                return 0;
            }
            v = (v << 1) | ((p[byte] >> (7 - bit)) & 1);
            if (++bit == 8) {
                bit = 0;
                ++byte;
            }
        }
        return v;
    }
    void Align() {
        if (bit) {
            bit = 0;
            ++byte;
        }
    }
    uint8_t U8() {
        Align();
        if (byte >= n) {
            ok = false;
            return 0;
        }
        return p[byte++];
    }
    uint16_t U16() {
        uint16_t a = U8();
        return static_cast<uint16_t>(a | (U8() << 8));
    }
    uint32_t U32() {
        uint32_t a = U16();
        return a | (static_cast<uint32_t>(U16()) << 16);
    }
    std::string Str() {
        Align();
        std::string s;
        while (byte < n && p[byte])
            s += static_cast<char>(p[byte++]);
        if (byte >= n)
            ok = false;
        else
            ++byte;
        return s;
    }
    void SkipRect() {
        int nb = static_cast<int>(U(5));
        U(nb * 4);
        Align();
    }
    void SkipMatrix() {
        Align();
        if (U(1)) {
            int nb = static_cast<int>(U(5));
            U(nb * 2);
        }
        if (U(1)) {
            int nb = static_cast<int>(U(5));
            U(nb * 2);
        }
        int nb = static_cast<int>(U(5));
        U(nb * 2);
        Align();
    }
    // The translation of a matrix, in twips.
    void ReadMatrix(double& tx, double& ty) {
        SkipMatrixScaleRotate();
        int nb = static_cast<int>(U(5));
        tx = Signed(nb);
        ty = Signed(nb);
        Align();
    }
    double Signed(int nb) {
        if (nb == 0)
            return 0;
        uint32_t v = U(nb);
        if (v & (1u << (nb - 1)))
            return static_cast<double>(static_cast<int64_t>(v) - (int64_t(1) << nb));
        return v;
    }
    void SkipMatrixScaleRotate() {
        Align();
        if (U(1)) {
            int nb = static_cast<int>(U(5));
            U(nb * 2);
        }
        if (U(1)) {
            int nb = static_cast<int>(U(5));
            U(nb * 2);
        }
    }
    void SkipCxform() {
        Align();
        bool add = U(1), mult = U(1);
        int nb = static_cast<int>(U(4));
        if (mult)
            U(nb * 4);
        if (add)
            U(nb * 4);
        Align();
    }
};

Bytes Slice(const uint8_t* p, size_t n) {
    return std::make_shared<std::vector<uint8_t>>(p, p + n);
}

void ReadPlace2(const uint8_t* p, size_t n, int version, bool place3, Placement& pl) {
    Bits b{p, n};
    uint8_t flags = b.U8();
    uint8_t flags2 = place3 ? b.U8() : 0;
    pl.depth = b.U16();
    pl.move = flags & 1;
    if (place3 && (flags2 & 0x08 || (flags2 & 0x10 && flags & 2)))
        b.Str(); // class name
    if (flags & 2)
        pl.character = b.U16();
    if (flags & 4) {
        double tx = 0, ty = 0;
        b.ReadMatrix(tx, ty);
        pl.x = tx / 20;
        pl.y = ty / 20;
        pl.hasMatrix = true;
    }
    if (flags & 8)
        b.SkipCxform();
    if (flags & 0x10)
        b.U16();
    if (flags & 0x20)
        pl.name = b.Str();
    if (flags & 0x40)
        b.U16();
    if (place3) {
        // Filters, blend mode and bitmap caching are not needed here; clip
        // actions after them are skipped in that case.
        if (flags2 & 0x07)
            return;
    }
    if ((flags & 0x80) && b.ok) {
        b.U16();
        bool wide = version >= 6;
        if (wide)
            b.U32();
        else
            b.U16();
        while (b.ok) {
            uint32_t ev = wide ? b.U32() : b.U16();
            if (ev == 0 || !b.ok)
                break;
            uint32_t size = b.U32();
            size_t start = b.byte;
            if (start + size > n)
                break;
            size_t codeStart = start;
            if (ev & 0x20000)
                ++codeStart; // key code
            ClipAction a;
            a.events = ev;
            a.code = Slice(p + codeStart, start + size - codeStart);
            pl.actions.push_back(a);
            b.byte = start + size;
        }
    }
}

bool ReadTags(const uint8_t* p, size_t n, int version, Timeline& tl, Movie& m, int depth) {
    size_t i = 0;
    Frame cur;
    while (i + 2 <= n) {
        uint16_t h = static_cast<uint16_t>(p[i] | (p[i + 1] << 8));
        i += 2;
        int code = h >> 6;
        size_t len = h & 0x3F;
        if (len == 0x3F) {
            if (i + 4 > n)
                break;
            len = p[i] | (p[i + 1] << 8) | (p[i + 2] << 16) | (static_cast<size_t>(p[i + 3]) << 24);
            i += 4;
        }
        if (i + len > n)
            len = n - i;
        const uint8_t* t = p + i;
        i += len;
        switch (code) {
        case 0:
            i = n;
            break;
        case 1:
            tl.frames.push_back(std::move(cur));
            cur = Frame();
            break;
        case 12:
            cur.actions.push_back(Slice(t, len));
            break;
        case 59:
            if (len >= 2)
                cur.initActions.emplace_back(t[0] | (t[1] << 8), Slice(t + 2, len - 2));
            break;
        case 43: {
            Bits b{t, len};
            cur.label = b.Str();
            break;
        }
        case 26:
        case 70: {
            Placement pl;
            ReadPlace2(t, len, version, code == 70, pl);
            cur.places.push_back(pl);
            break;
        }
        case 4: {
            Placement pl;
            if (len >= 4) {
                pl.character = t[0] | (t[1] << 8);
                pl.depth = t[2] | (t[3] << 8);
                Bits b{t + 4, len - 4};
                double tx = 0, ty = 0;
                b.ReadMatrix(tx, ty);
                if (b.ok) {
                    pl.x = tx / 20;
                    pl.y = ty / 20;
                    pl.hasMatrix = true;
                }
                cur.places.push_back(pl);
            }
            break;
        }
        case 5:
        case 28: {
            Placement pl;
            pl.remove = true;
            if (code == 5 && len >= 4)
                pl.depth = t[2] | (t[3] << 8);
            else if (code == 28 && len >= 2)
                pl.depth = t[0] | (t[1] << 8);
            cur.places.push_back(pl);
            break;
        }
        case 39:
            if (depth == 0 && len >= 4) {
                int id = t[0] | (t[1] << 8);
                Timeline sub;
                ReadTags(t + 4, len - 4, version, sub, m, depth + 1);
                m.sprites[id] = std::move(sub);
            }
            break;
        case 56: {
            Bits b{t, len};
            int count = b.U16();
            for (int k = 0; k < count && b.ok; ++k) {
                int id = b.U16();
                std::string name = b.Str();
                if (b.ok)
                    m.exports[name] = id;
            }
            break;
        }
        default:
            if (depth == 0 && m.dictionary) {
                swf::Tag tag;
                tag.code = static_cast<uint16_t>(code);
                tag.data = t;
                tag.length = static_cast<uint32_t>(len);
                m.dictionary->Define(tag);
            }
            break;
        }
    }
    if (!cur.actions.empty() || !cur.places.empty() || !cur.initActions.empty())
        tl.frames.push_back(std::move(cur));
    return true;
}

} // namespace

bool LoadMovie(const std::vector<uint8_t>& file, Movie& out, std::string& error) {
    if (file.size() < 8) {
        error = "short file";
        return false;
    }
    std::vector<uint8_t> body;
    uint32_t length =
        file[4] | (file[5] << 8) | (file[6] << 16) | (static_cast<uint32_t>(file[7]) << 24);
    out.version = file[3];
    if (file[0] == 'F') {
        body.assign(file.begin() + 8, file.end());
    } else if (file[0] == 'C') {
        if (length > (64u << 20)) {
            error = "too large";
            return false;
        }
        body.resize(length > 8 ? length - 8 : 0);
        uLongf dest = body.size();
        int rc = uncompress(body.data(), &dest, file.data() + 8, file.size() - 8);
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            error = "inflate failed";
            return false;
        }
        body.resize(dest);
    } else {
        error = "unsupported compression";
        return false;
    }
    out.body = std::make_shared<std::vector<uint8_t>>(std::move(body));
    out.dictionary = std::make_shared<chars::Dictionary>(out.version);
    const std::vector<uint8_t>& data = *out.body;
    Bits b{data.data(), data.size()};
    b.SkipRect();
    uint16_t rate = b.U16();
    out.frameRate = rate / 256.0;
    out.frameCount = b.U16();
    if (!b.ok) {
        error = "short header";
        return false;
    }
    ReadTags(data.data() + b.byte, data.size() - b.byte, out.version, out.root, out, 0);
    return true;
}

} // namespace zembra::avm1::standin
