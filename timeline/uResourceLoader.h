// Files a movie names while it plays (loadMovie, loadVariables, LoadVars,
// XML...). The embedder decides whether any can be read: the movie tool
// reads from the movie's own folder, the saver reads nothing, so scripts
// inside a screen saver never touch the file system. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zembra::timeline {

// No single file a movie loads is larger than this.
constexpr size_t kMaxResourceBytes = size_t(64) << 20;

class ResourceLoader {
  public:
    virtual ~ResourceLoader() = default;
    // Reads the file `url` names (relative to the movie). False with a
    // reason when it is missing, refused or too large; `out` is then empty.
    virtual bool Read(const std::string& url, std::vector<uint8_t>& out, std::string& error) = 0;
};

// Turns a movie-relative url into a relative path of plain names joined by
// '/': %XX escapes decoded, query and fragment dropped, "." parts skipped.
// Refuses absolute paths, drive letters, schemes, "..", empty names and
// control characters, so the path cannot leave the folder it is joined to.
bool ConfineRelativeUrl(const std::string& url, std::string& path, std::string& error);

// Reads files inside one folder and nowhere else.
class FolderResourceLoader : public ResourceLoader {
  public:
    explicit FolderResourceLoader(std::string folder, size_t maxBytes = kMaxResourceBytes)
        : folder_(std::move(folder)), maxBytes_(maxBytes) {}
    bool Read(const std::string& url, std::vector<uint8_t>& out, std::string& error) override;

  private:
    std::string folder_;
    size_t maxBytes_;
};

} // namespace zembra::timeline
