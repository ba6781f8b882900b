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

// A minimal PE image: DOS header with e_lfanew 0x80, "PE\0\0", a COFF
// header with one section, an optional header (PE32 or PE32+) with 16 data
// directories and SizeOfHeaders 0x200, and the section's raw data from
// 0x200 to Size (not ending in a zero byte).
struct TPeImage {
    static constexpr std::size_t kPe = 0x80;
    static constexpr std::size_t kOptional = kPe + 24;
    bool Plus;
    Bytes Data;

    explicit TPeImage(bool Pe32Plus, std::size_t Size = 0x400) : Plus(Pe32Plus), Data(Size, 0) {
        Data[0] = 'M';
        Data[1] = 'Z';
        Put32(0x3C, kPe);
        Data[kPe] = 'P';
        Data[kPe + 1] = 'E';
        Put16(kPe + 4, Plus ? 0x8664 : 0x014C);
        Put16(kPe + 6, 1);
        Put16(kPe + 20, OptionalSize());
        Put16(kOptional, Plus ? 0x20B : 0x10B);
        Put32(kOptional + 60, 0x200);
        Put32(kOptional + Directories() - 4, 16);
        const std::size_t section = kOptional + OptionalSize();
        Put32(section + 16, static_cast<uint32_t>(Size - 0x200));
        Put32(section + 20, 0x200);
        std::size_t i = 0x200;
        for (auto it = Data.begin() + 0x200; it < Data.end(); ++it, ++i)
            *it = static_cast<unsigned char>(1 + i % 251);
    }
    std::size_t Directories() const { return Plus ? 112 : 96; }
    uint16_t OptionalSize() const { return static_cast<uint16_t>(Directories() + 16 * 8); }
    std::size_t SecurityEntry() const { return kOptional + Directories() + 4 * 8; }
    std::size_t ChecksumField() const { return kOptional + 64; }
    void Put16(std::size_t At, uint32_t V) {
        for (int i = 0; i < 2; ++i)
            Data[At + i] = static_cast<unsigned char>(V >> (8 * i));
    }
    void Put32(std::size_t At, uint64_t V) {
        for (int i = 0; i < 4; ++i)
            Data[At + i] = static_cast<unsigned char>(V >> (8 * i));
    }
    uint32_t Get32(std::size_t At) const {
        return uint32_t(Data[At]) | uint32_t(Data[At + 1]) << 8 | uint32_t(Data[At + 2]) << 16 |
               uint32_t(Data[At + 3]) << 24;
    }
    // Signs Content (this image with whatever follows it) the way signing
    // tools do: zeros up to a multiple of 8 bytes, then a certificate table
    // of TableSize bytes named by the security directory.
    Bytes Signed(Bytes Content, std::size_t TableSize = 1500) const {
        Content.resize((Content.size() + 7) / 8 * 8, 0);
        const std::size_t at = Content.size();
        for (int i = 0; i < 4; ++i) {
            Content[SecurityEntry() + i] = static_cast<unsigned char>(at >> (8 * i));
            Content[SecurityEntry() + 4 + i] = static_cast<unsigned char>(TableSize >> (8 * i));
        }
        Content[ChecksumField()] = 0x5A; // signing sets a checksum
        for (std::size_t i = 0; i < TableSize; ++i)
            Content.push_back(static_cast<unsigned char>(0x30 + i % 7));
        return Content;
    }
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
