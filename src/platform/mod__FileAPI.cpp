#include "platform/mod__FileAPI.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace veltrane {

void ByteView::Load(std::int64_t offset, std::size_t n) {
    const std::int64_t held = std::max<std::int64_t>(0, size_ - offset);
    length_ = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(n), held));
    if (length_ > capacity_) {
        block_ = std::make_unique_for_overwrite<char[]>(length_);
        capacity_ = length_;
    }
    base_ = offset;
    const std::span<char> block(block_.get(), length_);
    const std::size_t got = file_.ReadAt(offset, block);
    // A short read leaves zeros, as a zero-filled buffer would.
    std::fill(block.begin() + static_cast<std::ptrdiff_t>(std::min(got, length_)), block.end(),
              '\0');
    blockSize_ = std::min(laterBlocks_, blockSize_ * 4);
}

void ByteView::Copy(std::int64_t offset, std::span<char> out) {
    std::fill(out.begin(), out.end(), '\0');
    if (offset < 0 || offset >= size_ || out.empty()) {
        return;
    }
    const auto wanted = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(out.size()), size_ - offset));
    if (!Holds(offset, offset + static_cast<std::int64_t>(wanted))) {
        if (wanted > laterBlocks_) {
            file_.ReadAt(offset, out.first(wanted));
            return;
        }
        Load(offset, std::max(blockSize_, wanted));
    }
    const auto held = Held().subspan(static_cast<std::size_t>(offset - base_), wanted);
    std::copy(held.begin(), held.end(), out.begin());
}

std::string ByteView::Bytes(std::int64_t offset, std::size_t n) {
    std::string out(n, '\0');
    Copy(offset, out);
    return out;
}

unsigned char ByteView::Byte(std::int64_t offset) {
    char byte = '\0';
    Copy(offset, std::span<char>(&byte, 1));
    return static_cast<unsigned char>(byte);
}

std::span<const char> ByteView::Block(std::int64_t offset) {
    if (offset < 0 || offset >= size_) {
        return {};
    }
    if (!Holds(offset, offset + 1)) {
        Load(offset, blockSize_);
    }
    return Held().subspan(static_cast<std::size_t>(offset - base_));
}

void DriveRoots::Set(char letter, std::string hostRoot) {
    roots_[static_cast<char>(letter & ~0x20)] = std::move(hostRoot);
}

std::optional<std::string> DriveRoots::Root(char letter) const {
    const auto it = roots_.find(static_cast<char>(letter & ~0x20));
    if (it == roots_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::vector<char> DriveRoots::Letters() const {
    std::vector<char> letters;
    for (const auto& [letter, root] : roots_) {
        letters.push_back(letter);
    }
    return letters;
}

namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::optional<std::string> MapToHostPath(std::string_view path, const DriveRoots& roots) {
    const bool driveForm = path.size() >= 2 && IsLetter(path[0]) && path[1] == ':' &&
                           (path.size() == 2 || path[2] == '\\');
    if (!driveForm) {
        return std::string(path);
    }
    auto root = roots.Root(path[0]);
    if (!root) {
        return std::nullopt;
    }
    // "\" separates folders in the drive form, so a host name holding "\" is listed with "/",
    // which no host name can hold, in its place: here each turns back into the other.
    std::string rest(path.substr(2));
    for (char& c : rest) {
        c = c == '\\' ? '/' : c == '/' ? '\\' : c;
    }
    std::string host = *root;
    if (rest.empty()) {
        return host.empty() ? "/" : host;
    }
    while (!host.empty() && host.back() == '/') {
        host.pop_back();
    }
    return host + rest;
}

namespace {

class HostInputFile final : public InputFile {
  public:
    HostInputFile(int fd, std::int64_t size) : fd_(fd), size_(size) {}
    ~HostInputFile() override { ::close(fd_); }
    HostInputFile(const HostInputFile&) = delete;
    HostInputFile& operator=(const HostInputFile&) = delete;

    std::int64_t Size() const override { return size_; }

    std::int64_t DataFrom(std::int64_t offset) override {
        if (offset < 0 || offset >= size_) {
            return offset;
        }
        const off_t data = ::lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
        if (data < 0) {
            // ENXIO: nothing but a hole up to the end; any other error: no holes known.
            return errno == ENXIO ? size_ : offset;
        }
        return std::min<std::int64_t>(data, size_);
    }

    std::size_t ReadAt(std::int64_t offset, std::span<char> buffer) override {
        if (offset < 0) {
            return 0;
        }
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t got =
                ::pread(fd_, buffer.data() + done, buffer.size() - done,
                        static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

  private:
    int fd_;
    std::int64_t size_;
};

// Written under a temporary name in the target's folder, created new (never an existing file,
// never through a link), then renamed over the target: a hard link, FIFO or device planted under
// the target's name is never written through or waited on.
class HostOutputFile final : public OutputFile {
  public:
    HostOutputFile(int fd, std::string temporary, std::string target)
        : fd_(fd), temporary_(std::move(temporary)), target_(std::move(target)) {}
    ~HostOutputFile() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!committed_) {
            ::unlink(temporary_.c_str());
        }
    }
    HostOutputFile(const HostOutputFile&) = delete;
    HostOutputFile& operator=(const HostOutputFile&) = delete;

    bool Write(std::span<const char> bytes) override {
        while (!bytes.empty()) {
            const ssize_t put = ::write(fd_, bytes.data(), bytes.size());
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                return false;
            }
            bytes = bytes.subspan(static_cast<std::size_t>(put));
        }
        return true;
    }

    std::string TemporaryPath() const override { return committed_ ? "" : temporary_; }

    bool Commit() override {
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        committed_ = closed && ::rename(temporary_.c_str(), target_.c_str()) == 0;
        return committed_;
    }

  private:
    int fd_;
    std::string temporary_;
    std::string target_;
    bool committed_ = false;
};

class NotRegularFileCategory final : public std::error_category {
  public:
    const char* name() const noexcept override { return "veltrane.file"; }
    std::string message(int) const override { return "not a regular file"; }
};

// Opens a regular file for reading. Anything that is not one is refused after one stat,
// without being opened (the open of a FIFO releases a writer waiting on it); O_NONBLOCK and the
// check of what was opened guard against a swap between the two.
int OpenRegular(const std::string& hostPath, std::error_code& error, struct stat& info) {
    if (::stat(hostPath.c_str(), &info) != 0) {
        error.assign(errno, std::generic_category());
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? std::make_error_code(std::errc::is_a_directory)
                                      : NotRegularFileError();
        return -1;
    }
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error.assign(errno, std::generic_category());
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = NotRegularFileError();
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::error_code NotRegularFileError() {
    static const NotRegularFileCategory category;
    return {1, category};
}

void ReadSoon(const std::string& hostPath, std::size_t headBytes, std::size_t tailBytes) {
    std::error_code error;
    struct stat info {};
    const int fd = OpenRegular(hostPath, error, info);
    if (fd < 0) {
        return;
    }
    const auto size = static_cast<std::int64_t>(info.st_size);
    const auto head = std::min(size, static_cast<std::int64_t>(headBytes));
    const auto tail = std::min(size - head, static_cast<std::int64_t>(tailBytes));
    // A length of zero would stand for the rest of the file.
    if (head > 0) {
        ::posix_fadvise(fd, 0, head, POSIX_FADV_WILLNEED);
    }
    if (tail > 0) {
        ::posix_fadvise(fd, size - tail, tail, POSIX_FADV_WILLNEED);
    }
    ::close(fd);
}

std::int64_t ThreadDiskReads() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_inblock;
}

std::optional<std::string> HostFileAccess::HostPath(const std::string& path) const {
    if (!roots_) {
        return path;
    }
    return MapToHostPath(path, *roots_);
}

std::unique_ptr<InputFile> HostFileAccess::OpenRead(const std::string& path) {
    const auto hostPath = HostPath(path);
    if (!hostPath) {
        lastOpenError_ = std::make_error_code(std::errc::no_such_file_or_directory);
        return nullptr;
    }
    struct stat info {};
    const int fd = OpenRegular(*hostPath, lastOpenError_, info);
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<HostInputFile>(fd, static_cast<std::int64_t>(info.st_size));
}

std::unique_ptr<OutputFile> HostFileAccess::CreateWrite(const std::string& path) {
    const auto hostPath = HostPath(path);
    if (!hostPath) {
        return nullptr;
    }
    const auto slash = hostPath->rfind('/');
    const std::string folder = slash == std::string::npos ? "" : hostPath->substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? *hostPath : hostPath->substr(slash + 1);
    // mkostemp creates with O_CREAT | O_EXCL: never an existing file, never through a link.
    std::string temporary = folder + "." + name + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    ::fchmod(fd, 0644);
    return std::make_unique<HostOutputFile>(fd, std::move(temporary), *hostPath);
}

std::optional<std::string> HostFileAccess::ReplaceProblem(const std::string& path,
                                                          const std::string& keep) {
    const auto hostPath = HostPath(path);
    struct stat target {};
    if (!hostPath || ::lstat(hostPath->c_str(), &target) != 0) {
        return std::nullopt;  // nothing stands there
    }
    if (!S_ISREG(target.st_mode)) {
        return path + " exists and is not a regular file; it is left alone";
    }
    const auto keepPath = HostPath(keep);
    struct stat kept {};
    if (keepPath && ::stat(keepPath->c_str(), &kept) == 0 && kept.st_dev == target.st_dev &&
        kept.st_ino == target.st_ino) {
        return path + " is the file being analysed; it is not replaced";
    }
    return std::nullopt;
}

bool CreateFolders(const std::string& hostPath) {
    std::error_code error;
    std::filesystem::create_directories(hostPath, error);
    return std::filesystem::is_directory(hostPath, error);
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

std::optional<FileIdentity> HostFileIdentity(const std::string& hostPath) {
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace veltrane
