// File access for the readers and the picture export.
//
// Files are read by positioned reads into zero-filled buffers: bytes the file does not hold
// (past its end, or before its start) stay zero, and a failed or short read is never reported.
// Opening for reading never creates or changes a file and accepts regular files only, so a
// FIFO or device named *.mp3 can never block a click. Handles close when their object dies,
// which closes the file on every path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace veltrane {

class InputFile {
  public:
    virtual ~InputFile() = default;
    // Size in bytes, 64-bit.
    virtual std::int64_t Size() const = 0;
    // Reads up to buffer.size() bytes at the absolute offset. Bytes not delivered are left as
    // they are; a negative offset delivers nothing. Returns the number of bytes delivered.
    virtual std::size_t ReadAt(std::int64_t offset, std::span<char> buffer) = 0;
    // The first offset at or after offset where bytes other than zeros may stand: the holes of a
    // sparse file hold none. Size() when nothing but zeros follows.
    virtual std::int64_t DataFrom(std::int64_t offset) { return offset; }
};

// A new file being written. It takes its name only when committed; until then nothing under
// that name changes, and a file never committed leaves nothing behind.
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    // Appends the bytes. False when not all could be written.
    virtual bool Write(std::span<const char> bytes) = 0;
    // Puts the file under its name, replacing what stood there. False on failure.
    virtual bool Commit() = 0;
    // The name the file is written under until it is committed; empty when it has none.
    virtual std::string TemporaryPath() const { return {}; }
};

class FileAccess {
  public:
    virtual ~FileAccess() = default;
    // nullptr when the file cannot be opened (missing, no access, not a regular file).
    virtual std::unique_ptr<InputFile> OpenRead(const std::string& path) = 0;
    // A new file that replaces path when committed; nullptr when it cannot be created.
    virtual std::unique_ptr<OutputFile> CreateWrite(const std::string& path) = 0;
    // Why path must not be replaced by a written file, or nullopt when it may be: it is the
    // file named by keep (the same file, under any name), or it exists and is not a regular
    // file (a folder, a link, a FIFO, a device), which is left alone.
    virtual std::optional<std::string> ReplaceProblem(const std::string& path,
                                                      const std::string& keep) = 0;
};

// The one way the readers reach a file's bytes: positioned reads at 64-bit offsets, served from
// one block held in memory. Bytes outside the file (before its start or past its end) read as
// zeros, whatever range is asked for, and nothing outside the block is ever touched. A read that
// the block does not hold loads a new block where it starts, as large as the read when that is
// larger than the block size; reads larger than the later block size go straight to the caller.
class ByteView {
  public:
    static constexpr std::size_t kLaterBlock = 64 * 1024;

    // The first block loaded is firstBlock bytes long, each later one four times the one before,
    // up to laterBlocks: a small read where one is likely enough, large ones for a long scan.
    explicit ByteView(InputFile& file, std::size_t firstBlock = kLaterBlock,
                      std::size_t laterBlocks = kLaterBlock)
        : file_(file), size_(file.Size()), blockSize_(firstBlock), laterBlocks_(laterBlocks) {}
    std::int64_t Size() const { return size_; }
    // Where bytes other than zeros may stand next, at or after offset (see InputFile).
    std::int64_t DataFrom(std::int64_t offset) { return file_.DataFrom(offset); }

    // out.size() bytes at offset.
    void Copy(std::int64_t offset, std::span<char> out);
    std::string Bytes(std::int64_t offset, std::size_t n);
    unsigned char Byte(std::int64_t offset);
    // The bytes from offset to the end of the block holding it, a block loaded there when none
    // does; empty at or past the end of the file. Valid until the next call on this view.
    std::span<const char> Block(std::int64_t offset);

  private:
    void Load(std::int64_t offset, std::size_t n);
    bool Holds(std::int64_t from, std::int64_t to) const {
        return from >= base_ && to <= base_ + static_cast<std::int64_t>(length_);
    }
    std::span<const char> Held() const { return {block_.get(), length_}; }
    InputFile& file_;
    std::int64_t size_;
    std::size_t blockSize_;
    std::size_t laterBlocks_;
    // The file's bytes from base_ on, never more than it holds there: length_ of capacity_
    // bytes, which are filled by reads rather than cleared in advance.
    std::unique_ptr<char[]> block_;
    std::size_t capacity_ = 0;
    std::size_t length_ = 0;
    std::int64_t base_ = 0;
};

// Drive designations ("C:") and the host folders they stand for.
class DriveRoots {
  public:
    void Set(char letter, std::string hostRoot);
    // The host folder of a drive letter (any case), nullopt when the drive is not mapped.
    std::optional<std::string> Root(char letter) const;
    std::vector<char> Letters() const;

  private:
    std::map<char, std::string> roots_;
};

// A path in drive form ("C:\Music\a.mp3", "C:") becomes its host path ("/Music/a.mp3", "/"):
// the drive's root, then the rest with every "\" turned into "/" and every "/" (a host name's
// own "\", as the folder search lists it) back into "\". Any other path is a host path and is
// returned unchanged. nullopt for a drive letter that has no root.
std::optional<std::string> MapToHostPath(std::string_view path, const DriveRoots& roots);

// The host's file system, through the drive map; without one every path is a host path used
// exactly as given (the report tool's case).
class HostFileAccess final : public FileAccess {
  public:
    HostFileAccess() = default;
    explicit HostFileAccess(DriveRoots roots) : roots_(std::move(roots)) {}
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateWrite(const std::string& path) override;
    std::optional<std::string> ReplaceProblem(const std::string& path,
                                              const std::string& keep) override;
    // Why the last OpenRead that failed could not open its file: the host's error, kept so
    // that nobody has to open the file again to learn it.
    std::error_code LastOpenError() const { return lastOpenError_; }

  private:
    std::optional<std::string> HostPath(const std::string& path) const;
    std::optional<DriveRoots> roots_;
    std::error_code lastOpenError_;
};

// The error of a path that names something other than a regular file ("not a regular file").
std::error_code NotRegularFileError();

// The device and inode of the file a host path names, links followed; nullopt when there is
// none.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const FileIdentity&) const = default;
};
std::optional<FileIdentity> HostFileIdentity(const std::string& hostPath);

// Creates a host folder and its parents where missing; false when it cannot be had.
bool CreateFolders(const std::string& hostPath);

// Asks the host to start reading, without waiting for it, the parts of a regular file that an
// analysis reads: its first headBytes and its last tailBytes. Nothing happens for anything else.
void ReadSoon(const std::string& hostPath, std::size_t headBytes, std::size_t tailBytes);

// How many times the calling thread has had to wait for blocks read from a disk.
std::int64_t ThreadDiskReads();

// Whether the process's standard error is a terminal.
bool StandardErrorIsTerminal();

}  // namespace veltrane
