// TCodePage on the system's conversions: through UTF-16, refusing
// look-alike substitutes (no best fit) and default characters.
#include "tools/pack/uCodePage.h"

#include <windows.h>

#include <climits>

namespace zembra {

namespace {

bool ToWide(UINT CodePage, const std::string& In, std::wstring& Out) {
    Out.clear();
    if (In.empty())
        return true;
    if (In.size() > INT_MAX / 2)
        return false;
    const int inSize = static_cast<int>(In.size());
    const int n =
        MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, In.data(), inSize, nullptr, 0);
    if (n <= 0)
        return false;
    Out.resize(static_cast<std::size_t>(n));
    return MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, In.data(), inSize, &Out[0], n) == n;
}

// Code pages for which the flags and the default-character report are not
// allowed (UTF-7/8, GB 18030, the ISCII and ISO-2022 families).
bool TakesNoFlags(UINT CodePage) {
    return CodePage == CP_UTF7 || CodePage == CP_UTF8 || CodePage == 54936 || CodePage == 42 ||
           (CodePage >= 50220 && CodePage <= 50229) || (CodePage >= 57002 && CodePage <= 57011);
}

bool FromWide(UINT CodePage, const std::wstring& In, std::string& Out) {
    Out.clear();
    if (In.empty())
        return true;
    if (In.size() > INT_MAX / 4)
        return false;
    const int inSize = static_cast<int>(In.size());
    const bool strict = !TakesNoFlags(CodePage);
    const DWORD flags = strict ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(CodePage, flags, In.data(), inSize, nullptr, 0, nullptr,
                                      strict ? &usedDefault : nullptr);
    if (n <= 0 || usedDefault)
        return false;
    Out.resize(static_cast<std::size_t>(n));
    usedDefault = FALSE;
    const int written = WideCharToMultiByte(CodePage, flags, In.data(), inSize, &Out[0], n, nullptr,
                                            strict ? &usedDefault : nullptr);
    return written == n && !usedDefault;
}

class TWindowsCodePage : public TCodePage {
  public:
    explicit TWindowsCodePage(uint32_t Number) : TCodePage(Number) {}

    bool FromUtf8(const std::string& Utf8, std::string& Out) const override {
        std::wstring wide;
        if (!IsValidUtf8(Utf8) || !ToWide(CP_UTF8, Utf8, wide))
            return false;
        if (Number() == kUtf8CodePage) {
            Out = Utf8;
            return true;
        }
        return FromWide(Number(), wide, Out);
    }

    bool ToUtf8(const std::string& Text, std::string& Out) const override {
        std::wstring wide;
        return ToWide(Number(), Text, wide) && FromWide(CP_UTF8, wide, Out);
    }
};

} // namespace

std::unique_ptr<TCodePage> TCodePage::Open(uint32_t CodePage) {
    if (CodePage == 0 || CodePage > 0xFFFF || !IsValidCodePage(CodePage))
        return nullptr;
    return std::unique_ptr<TCodePage>(new TWindowsCodePage(CodePage));
}

} // namespace zembra
