#include "tools/pack/uFileIo.h"

#include "tools/pack/uPackError.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zembra {

namespace {

#ifdef _WIN32
int OpenRead(const std::string& Path) {
    return ::_open(Path.c_str(), _O_RDONLY | _O_BINARY);
}
int OpenNew(const std::string& Path) {
    return ::_open(Path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int CloseFd(int Fd) {
    return ::_close(Fd);
}
long long ReadFd(int Fd, void* Buffer, std::size_t Count) {
    return ::_read(Fd, Buffer, static_cast<unsigned>(Count > 0x40000000 ? 0x40000000 : Count));
}
long long WriteFd(int Fd, const void* Buffer, std::size_t Count) {
    return ::_write(Fd, Buffer, static_cast<unsigned>(Count > 0x40000000 ? 0x40000000 : Count));
}
bool FlushFd(int Fd) {
    return ::_commit(Fd) == 0;
}
bool MoveIntoPlace(const std::string& From, const std::string& To) {
    return MoveFileExA(From.c_str(), To.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
unsigned long ProcessId() {
    return static_cast<unsigned long>(::_getpid());
}
std::string MoveErrorText() {
    return "error " + std::to_string(GetLastError());
}
#else
int OpenRead(const std::string& Path) {
    return ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
}
int OpenNew(const std::string& Path) {
    return ::open(Path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
}
int CloseFd(int Fd) {
    return ::close(Fd);
}
long long ReadFd(int Fd, void* Buffer, std::size_t Count) {
    return ::read(Fd, Buffer, Count);
}
long long WriteFd(int Fd, const void* Buffer, std::size_t Count) {
    return ::write(Fd, Buffer, Count);
}
bool FlushFd(int Fd) {
    return ::fsync(Fd) == 0;
}
bool MoveIntoPlace(const std::string& From, const std::string& To) {
    return std::rename(From.c_str(), To.c_str()) == 0;
}
unsigned long ProcessId() {
    return static_cast<unsigned long>(::getpid());
}
std::string MoveErrorText() {
    return std::strerror(errno);
}
#endif

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

class TFd {
  public:
    explicit TFd(int Fd) noexcept : fd_(Fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() { Close(); }
    int Get() const noexcept { return fd_; }
    bool Close() noexcept {
        if (fd_ < 0)
            return true;
        const int r = CloseFd(fd_);
        fd_ = -1;
        return r == 0;
    }

  private:
    int fd_;
};

std::string ErrnoText() {
    return std::strerror(errno);
}

} // namespace

std::string FolderOf(const std::string& Path) {
    for (std::size_t i = Path.size(); i > 0; --i)
        if (IsSeparator(Path[i - 1]) || (i == 2 && Path[1] == ':'))
            return Path.substr(0, i);
    return std::string();
}

std::string FileNameOf(const std::string& Path) {
    // Names taken into a package may come from either system: both
    // separators end the folder part.
    for (std::size_t i = Path.size(); i > 0; --i)
        if (Path[i - 1] == '/' || Path[i - 1] == '\\' || Path[i - 1] == ':')
            return Path.substr(i);
    return Path;
}

std::string ResolveRelative(const std::string& Folder, const std::string& Path) {
    if (Path.empty() || IsSeparator(Path[0]) || (Path.size() >= 2 && Path[1] == ':'))
        return Path;
    return Folder + Path;
}

bool ReadWholeFile(const std::string& Path, std::vector<unsigned char>& Data, std::size_t MaxSize,
                   std::string& Error) {
    Data.clear();
    TFd fd(OpenRead(Path));
    if (fd.Get() < 0) {
        Error = ErrnoText();
        return false;
    }
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0) {
        Error = ErrnoText();
        return false;
    }
    if ((st.st_mode & S_IFMT) != S_IFREG) {
        Error = "not a regular file";
        return false;
    }
    if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > MaxSize) {
        Error = "file too large (" + std::to_string(static_cast<long long>(st.st_size)) +
                " bytes, at most " + std::to_string(MaxSize) + ")";
        return false;
    }
    Data.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < Data.size()) {
        const long long n = ReadFd(fd.Get(), Data.data() + done, Data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            Error = ErrnoText();
            Data.clear();
            return false;
        }
        if (n == 0) {
            // The file shrank while being read.
            Error = "file changed while being read";
            Data.clear();
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void WriteFileAtomic(const std::string& Path,
                     const std::vector<const std::vector<unsigned char>*>& Parts) {
    const std::string folder = FolderOf(Path);
    const std::string base = FileNameOf(Path);
    if (base.empty())
        throw TPackError(ecIo, Path + ": not a file name");

    // A new name that nobody else holds: created exclusively, retried on
    // collision.
    const auto tick = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    std::string temp;
    int raw = -1;
    for (unsigned attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        temp = folder + "." + base + ".tmp-" + std::to_string(ProcessId()) + "-" +
               std::to_string((tick + attempt * 7919u) % 1000000u);
        raw = OpenNew(temp);
        if (raw < 0 && errno != EEXIST)
            break;
    }
    if (raw < 0)
        throw TPackError(ecIo, temp + ": cannot create temporary file: " + ErrnoText());

    TFd fd(raw);
    std::string error;
    for (const std::vector<unsigned char>* part : Parts) {
        std::size_t done = 0;
        while (error.empty() && done < part->size()) {
            const long long n = WriteFd(fd.Get(), part->data() + done, part->size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                error = "cannot write: " + ErrnoText();
            else
                done += static_cast<std::size_t>(n);
        }
    }
    if (error.empty() && !FlushFd(fd.Get()))
        error = "cannot flush: " + ErrnoText();
    if (!fd.Close() && error.empty())
        error = "cannot close: " + ErrnoText();
    if (error.empty() && !MoveIntoPlace(temp, Path))
        error = "cannot rename into place: " + MoveErrorText();
    if (!error.empty()) {
        std::remove(temp.c_str());
        throw TPackError(ecIo, Path + ": " + error);
    }
}

} // namespace zembra
