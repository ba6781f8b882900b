#include "uStandinLog.h"

#include "uHandles.h"

#include <cstdio>
#include <vector>

namespace zembra::standin {
namespace {

// Environment values are limited to 32767 characters by the system.
constexpr DWORD kMaxEnvironmentChars = 32767;

std::wstring ReadEnvironmentWide(const wchar_t* name) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        if (n > kMaxEnvironmentChars + 1)
            return {};
        buffer.resize(n); // n includes the terminating zero here
    }
}

} // namespace

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty() || text.size() > 0x7FFFFFF)
        return {};
    const int len = static_cast<int>(text.size());
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), len, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), len, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring WideFromBytes(std::string_view text) {
    if (text.empty() || text.size() > 0x7FFFFFF)
        return {};
    const int len = static_cast<int>(text.size());
    UINT codePage = CP_UTF8;
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), len, nullptr, 0);
    if (n <= 0) {
        codePage = CP_ACP;
        n = MultiByteToWideChar(CP_ACP, 0, text.data(), len, nullptr, 0);
    }
    if (n <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), len, out.data(), n);
    return out;
}

std::string HexText(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%lx", static_cast<unsigned long>(value));
    return buffer;
}

std::string ReadEnvironment(const char* name) {
    try {
        std::wstring wideName = WideFromBytes(name);
        return Utf8FromWide(ReadEnvironmentWide(wideName.c_str()));
    } catch (...) {
        return {};
    }
}

void LogEvent(std::string_view text) noexcept {
    try {
        const DWORD lastError = GetLastError();
        std::wstring path = ReadEnvironmentWide(L"PLAYER_STANDIN_LOG");
        if (!path.empty()) {
            std::string line = std::to_string(GetCurrentProcessId());
            line += ' ';
            line += text;
            line += "\r\n";
            // Opened per line in append mode: several processes can share one
            // log, and nothing is left buffered when a process dies.
            UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file) {
                DWORD written = 0;
                WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written,
                          nullptr);
            }
        }
        SetLastError(lastError);
    } catch (...) {
    }
}

} // namespace zembra::standin
