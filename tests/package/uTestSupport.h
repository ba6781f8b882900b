// Helpers shared by the package tests: hand-built package layouts, zlib
// streams and temporary files. Leaks are caught by running the tests in a
// sanitizer build (-fsanitize=address), not by the tests themselves.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace zembra::test {

using Bytes = std::vector<unsigned char>;

inline Bytes Deflate(const Bytes& Plain, int Level = Z_DEFAULT_COMPRESSION) {
    uLongf size = compressBound(static_cast<uLong>(Plain.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, Plain.data(), static_cast<uLong>(Plain.size()), Level) != Z_OK)
        return Bytes();
    out.resize(size);
    return out;
}

// Builds package bytes field by field, so tests can write any layout,
// damaged ones included.
class TLayout {
  public:
    TLayout& U8(uint8_t v) {
        b_.push_back(v);
        return *this;
    }
    TLayout& I32(int64_t v) {
        for (int i = 0; i < 4; ++i)
            b_.push_back(static_cast<unsigned char>(static_cast<uint64_t>(v) >> (8 * i)));
        return *this;
    }
    TLayout& I64(int64_t v) {
        for (int i = 0; i < 8; ++i)
            b_.push_back(static_cast<unsigned char>(static_cast<uint64_t>(v) >> (8 * i)));
        return *this;
    }
    TLayout& Raw(const Bytes& v) {
        b_.insert(b_.end(), v.begin(), v.end());
        return *this;
    }
    TLayout& Text(const std::string& v) {
        b_.insert(b_.end(), v.begin(), v.end());
        return *this;
    }
    // One record: name scrambled with Key, flag, data as given.
    TLayout& Record(const std::string& Name, uint8_t Key, uint8_t Flag, const Bytes& Data) {
        I32(static_cast<int64_t>(Name.size()));
        for (char c : Name)
            U8(static_cast<uint8_t>(static_cast<unsigned char>(c) ^ Key));
        U8(Flag);
        I32(static_cast<int64_t>(Data.size()));
        return Raw(Data);
    }
    // Appends the trailer for a body that started at BodyStart.
    TLayout& Trailer(std::size_t BodyStart) {
        I64(static_cast<int64_t>(b_.size() - BodyStart));
        return Text("PLWS");
    }
    std::size_t Size() const { return b_.size(); }
    const Bytes& Get() const { return b_; }

  private:
    Bytes b_;
};

// A file in a private temporary folder, removed with the object.
class TTempFile {
  public:
    explicit TTempFile(const Bytes& Content, const std::string& Name = "pkg.bin") {
        static int counter = 0;
        dir_ = std::filesystem::temp_directory_path() /
               ("zembra-pkg-test-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" +
                std::to_string(++counter));
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / Name).string();
        if (FILE* f = std::fopen(path_.c_str(), "wb")) {
            if (!Content.empty())
                std::fwrite(Content.data(), 1, Content.size(), f);
            std::fclose(f);
        }
    }
    ~TTempFile() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    // Writes Content to Path, creating its folders.
    static void Write(const std::string& Path, const Bytes& Content) {
        std::filesystem::create_directories(std::filesystem::path(Path).parent_path());
        if (FILE* f = std::fopen(Path.c_str(), "wb")) {
            if (!Content.empty())
                std::fwrite(Content.data(), 1, Content.size(), f);
            std::fclose(f);
        }
    }
    const std::string& Path() const { return path_; }
    std::string Dir() const { return dir_.string(); }

  private:
    std::filesystem::path dir_;
    std::string path_;
};

} // namespace zembra::test
