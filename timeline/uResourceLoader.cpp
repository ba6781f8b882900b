#include "timeline/uResourceLoader.h"
#include "text/uHexDigit.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace zembra::timeline {

namespace {

using text::HexDigit;

bool Refuse(std::string& error, const char* why) {
    error = why;
    return false;
}

} // namespace

bool ConfineRelativeUrl(const std::string& url, std::string& path, std::string& error) {
    path.clear();
    std::string raw = url.substr(0, url.find_first_of("?#"));
    std::string decoded;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '%' && i + 2 < raw.size() + 0 && HexDigit(raw[i + 1]) >= 0 &&
            HexDigit(raw[i + 2]) >= 0) {
            decoded += static_cast<char>(HexDigit(raw[i + 1]) * 16 + HexDigit(raw[i + 2]));
            i += 2;
        } else {
            decoded += raw[i];
        }
    }
    if (decoded.empty())
        return Refuse(error, "empty url");
    // A colon anywhere is a scheme, a drive letter or an alternate stream.
    if (decoded.find(':') != std::string::npos)
        return Refuse(error, "not a relative url");
    if (decoded[0] == '/' || decoded[0] == '\\')
        return Refuse(error, "absolute path");
    std::string part;
    auto take = [&]() -> bool {
        if (part == "..")
            return Refuse(error, "path leaves the movie's folder");
        // Trailing dots and spaces vanish on Windows ("..." names the parent there).
        if (!part.empty() && part != "." && part.find_last_not_of(". ") == std::string::npos)
            return Refuse(error, "path leaves the movie's folder");
        if (!part.empty() && part != ".") {
            if (!path.empty())
                path += '/';
            path += part;
        }
        part.clear();
        return true;
    };
    for (char c : decoded) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return Refuse(error, "control character in url");
        if (c == '/' || c == '\\') {
            if (!take())
                return false;
        } else {
            part += c;
        }
    }
    if (!take())
        return false;
    if (path.empty())
        return Refuse(error, "no file name");
    return true;
}

bool FolderResourceLoader::Read(const std::string& url, std::vector<uint8_t>& out,
                                std::string& error) {
    namespace fs = std::filesystem;
    out.clear();
    std::string rel;
    if (!ConfineRelativeUrl(url, rel, error))
        return false;
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(fs::u8path(folder_), ec);
    if (ec)
        return Refuse(error, "no folder");
    const fs::path full = fs::weakly_canonical(base / fs::u8path(rel), ec);
    if (ec)
        return Refuse(error, "file not found");
    // Links may point anywhere: what they lead to must still be inside.
    const auto rb = std::mismatch(base.begin(), base.end(), full.begin(), full.end());
    if (rb.first != base.end())
        return Refuse(error, "path leaves the movie's folder");
    if (!fs::is_regular_file(full, ec))
        return Refuse(error, "file not found");
    const auto size = fs::file_size(full, ec);
    if (ec)
        return Refuse(error, "file not found");
    if (size > maxBytes_)
        return Refuse(error, "file too large");
    std::ifstream in(full, std::ios::binary);
    if (!in)
        return Refuse(error, "file not readable");
    out.resize(static_cast<size_t>(size));
    if (size > 0 &&
        !in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size))) {
        out.clear();
        return Refuse(error, "file not readable");
    }
    return true;
}

} // namespace zembra::timeline
