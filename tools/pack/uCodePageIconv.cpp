// TCodePage on iconv (glibc knows the Windows code pages as "CP<n>").
#include "tools/pack/uCodePage.h"

#include <cerrno>
#include <iconv.h>

namespace zembra {

namespace {

std::string IconvName(uint32_t CodePage) {
    if (CodePage == kUtf8CodePage)
        return "UTF-8";
    return "CP" + std::to_string(CodePage);
}

class TIconv {
  public:
    TIconv(const std::string& To, const std::string& From)
        : cd_(iconv_open(To.c_str(), From.c_str())) {}
    ~TIconv() {
        if (Valid())
            iconv_close(cd_);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Valid() const noexcept { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The whole of In converted, or false on any sequence it cannot take
    // (EILSEQ: not representable or invalid; EINVAL: cut short).
    bool Convert(const std::string& In, std::string& Out) {
        Out.clear();
        if (!Valid())
            return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr); // initial state
        char* in = const_cast<char*>(In.data());
        std::size_t inLeft = In.size();
        std::string buffer(In.size() * 2 + 16, '\0');
        std::size_t done = 0;
        bool flushed = false;
        while (!flushed) {
            char* out = &buffer[done];
            std::size_t outLeft = buffer.size() - done;
            // Once the input is used up, one call without input ends any
            // pending shift state.
            const bool flushing = inLeft == 0;
            const std::size_t r = flushing ? iconv(cd_, nullptr, nullptr, &out, &outLeft)
                                           : iconv(cd_, &in, &inLeft, &out, &outLeft);
            done = buffer.size() - outLeft;
            if (r == static_cast<std::size_t>(-1)) {
                if (errno != E2BIG)
                    return false;
                buffer.resize(buffer.size() * 2);
                continue;
            }
            flushed = flushing;
        }
        buffer.resize(done);
        Out.swap(buffer);
        return true;
    }

  private:
    iconv_t cd_;
};

class TIconvCodePage : public TCodePage {
  public:
    explicit TIconvCodePage(uint32_t Number) : TCodePage(Number), name_(IconvName(Number)) {}

    bool FromUtf8(const std::string& Utf8, std::string& Out) const override {
        if (!IsValidUtf8(Utf8))
            return false;
        TIconv to(name_, "UTF-8");
        if (!to.Convert(Utf8, Out))
            return false;
        // iconv maps some characters onto look-alikes that read back as
        // others; Windows refuses those (no best fit), and so do we.
        std::string back;
        return ToUtf8(Out, back) && back == Utf8;
    }

    bool ToUtf8(const std::string& Text, std::string& Out) const override {
        TIconv from("UTF-8", name_);
        return from.Convert(Text, Out);
    }

  private:
    std::string name_;
};

} // namespace

std::unique_ptr<TCodePage> TCodePage::Open(uint32_t CodePage) {
    if (CodePage == 0 || CodePage > 0xFFFF)
        return nullptr;
    const std::string name = IconvName(CodePage);
    if (!TIconv(name, "UTF-8").Valid() || !TIconv("UTF-8", name).Valid())
        return nullptr;
    return std::unique_ptr<TCodePage>(new TIconvCodePage(CodePage));
}

} // namespace zembra
