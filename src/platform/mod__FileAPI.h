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
};

class OutputFile {
  public:
    virtual ~OutputFile() = default;
    // Writes the bytes from the start of the file. False when not all could be written.
    virtual bool Write(std::span<const char> bytes) = 0;
};

class FileAccess {
  public:
    virtual ~FileAccess() = default;
    // nullptr when the file cannot be opened (missing, no access, not a regular file).
    virtual std::unique_ptr<InputFile> OpenRead(const std::string& path) = 0;
    // Creates the file or replaces an existing one; nullptr on failure.
    virtual std::unique_ptr<OutputFile> CreateWrite(const std::string& path) = 0;
};

// A zero-filled block of n bytes read at offset.
std::vector<char> ReadBlock(InputFile& file, std::int64_t offset, std::size_t n);

// Positioned reads served from one block held in memory: a read that lies in the block costs no
// call to the file, one that does not reads a new block where it starts. Reads give what
// ReadBlock gives: zeros past the end of the file, and nothing at all at a negative offset.
class BlockReader {
  public:
    // The first block read is firstBlock bytes long; each later one four times the one before,
    // up to laterBlocks.
    BlockReader(InputFile& file, std::size_t firstBlock, std::size_t laterBlocks)
        : file_(file), size_(file.Size()), blockSize_(firstBlock), laterBlocks_(laterBlocks) {}
    std::int64_t Size() const { return size_; }
    // Reads n bytes at offset into the block now (no more than the file holds there).
    void Load(std::int64_t offset, std::size_t n);
    void Copy(std::int64_t offset, std::span<char> out);
    std::vector<char> Block(std::int64_t offset, std::size_t n);
    unsigned char Byte(std::int64_t offset);
    // The bytes from offset to the end of the block holding it, a new block read there when
    // none does; empty at or past the end of the file.
    std::string_view From(std::int64_t offset);

  private:
    bool Holds(std::int64_t from, std::int64_t to) const {
        return from >= base_ && to <= base_ + static_cast<std::int64_t>(length_);
    }
    InputFile& file_;
    std::int64_t size_;
    std::size_t blockSize_;
    std::size_t laterBlocks_;
    // Not zero-filled in advance: only what a read does not deliver is cleared.
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
// the drive's root, then the rest with every "\" turned into "/". Any other path is a host path
// and is returned unchanged. nullopt for a drive letter that has no root, and for a drive path
// holding "/", which no drive path can.
std::optional<std::string> MapToHostPath(std::string_view path, const DriveRoots& roots);

// The host's file system, through the drive map; without one every path is a host path used
// exactly as given (the report tool's case).
class HostFileAccess final : public FileAccess {
  public:
    HostFileAccess() = default;
    explicit HostFileAccess(DriveRoots roots) : roots_(std::move(roots)) {}
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateWrite(const std::string& path) override;

  private:
    std::optional<std::string> HostPath(const std::string& path) const;
    std::optional<DriveRoots> roots_;
};

// Creates a host folder and its parents where missing; false when it cannot be had.
bool CreateFolders(const std::string& hostPath);

// The reason a host path cannot be opened for reading, or nullopt when it can.
std::optional<std::string> HostOpenProblem(const std::string& hostPath);

// Files held in memory, for tests and the fuzzer. Reads can be made to fail one by one.
class MemoryFileAccess final : public FileAccess {
  public:
    void Put(const std::string& path, std::string bytes);
    void Remove(const std::string& path);
    const std::string* Get(const std::string& path) const;
    // The read with this 0-based number (counted over all files since the last Reset) delivers
    // nothing; -1 disables.
    void FailRead(long number) { failRead_ = number; }
    void FailOpen(bool fail) { failOpen_ = fail; }
    void FailCreate(bool fail) { failCreate_ = fail; }
    long ReadsMade() const { return reads_; }
    std::int64_t BytesDelivered() const { return bytesDelivered_; }
    int OpenHandles() const { return *openHandles_; }
    int OpensMade() const { return opens_; }
    void ResetCounters() {
        reads_ = 0;
        opens_ = 0;
    }

    std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateWrite(const std::string& path) override;

  private:
    friend class MemoryInputFile;
    friend class MemoryOutputFile;
    std::map<std::string, std::shared_ptr<std::string>> files_;
    std::shared_ptr<int> openHandles_ = std::make_shared<int>(0);
    long failRead_ = -1;
    long reads_ = 0;
    std::int64_t bytesDelivered_ = 0;
    int opens_ = 0;
    bool failOpen_ = false;
    bool failCreate_ = false;
};

}  // namespace veltrane
