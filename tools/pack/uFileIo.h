// Whole-file reading and atomic replacement of the output file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zembra {

// Reads the whole regular file at Path into Data. Returns false with a
// reason in Error when it cannot be opened or read, or is larger than
// MaxSize bytes (nothing is allocated for such a file).
bool ReadWholeFile(const std::string& Path, std::vector<unsigned char>& Data, std::size_t MaxSize,
                   std::string& Error);

// Writes Parts one after another into a new temporary file beside Path and
// renames it over Path. On failure the temporary file is removed, Path is
// untouched, and TPackError (ecIo) is raised.
void WriteFileAtomic(const std::string& Path,
                     const std::vector<const std::vector<unsigned char>*>& Parts);

// The folder part of Path including its last separator; empty for none.
std::string FolderOf(const std::string& Path);
// Path without its folder part.
std::string FileNameOf(const std::string& Path);
// Path taken relative to Folder unless it is absolute.
std::string ResolveRelative(const std::string& Folder, const std::string& Path);

} // namespace zembra
