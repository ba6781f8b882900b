// Texts between UTF-8 and a Windows code page. The saver reads package
// texts in the system's ANSI code page, while manifests are written in
// UTF-8: the packer converts on the way in and `list` on the way out.
// Natively the conversion is iconv's, on Windows the system's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zembra {

constexpr uint32_t kDefaultCodePage = 932;
constexpr uint32_t kUtf8CodePage = 65001;

class TCodePage {
  public:
    virtual ~TCodePage() = default;

    // The converter for CodePage (e.g. 932, 1252, 65001); null when this
    // system cannot convert it.
    static std::unique_ptr<TCodePage> Open(uint32_t CodePage);

    uint32_t Number() const noexcept { return number_; }
    // UTF-8 to the code page. False when Utf8 is not valid UTF-8 or holds a
    // character that the code page has no exact byte sequence for (no
    // look-alike is put in its place); Out is then unspecified.
    virtual bool FromUtf8(const std::string& Utf8, std::string& Out) const = 0;
    // The code page to UTF-8. False when Text is not valid in the code page.
    virtual bool ToUtf8(const std::string& Text, std::string& Out) const = 0;

  protected:
    explicit TCodePage(uint32_t Number) noexcept : number_(Number) {}

  private:
    uint32_t number_;
};

bool IsValidUtf8(const std::string& Text);

// The first character of Utf8 (valid UTF-8) that Page cannot hold, as
// "U+30FB '・'"; empty when every character fits.
std::string FirstUnrepresentable(const TCodePage& Page, const std::string& Utf8);

} // namespace zembra
