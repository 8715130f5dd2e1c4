// Files held in memory, for tests and the fuzzer: the host's file layer as a test double that
// counts what its users do, and whose reads, creates and opens can be made to fail.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/mod__FileAPI.h"

namespace veltrane {

class MemoryFileAccess final : public FileAccess {
  public:
    void Put(const std::string& path, std::string bytes) {
        files_[path] = std::make_shared<std::string>(std::move(bytes));
    }
    void Remove(const std::string& path) { files_.erase(path); }
    const std::string* Get(const std::string& path) const {
        const auto it = files_.find(path);
        return it == files_.end() ? nullptr : it->second.get();
    }
    // What its users did, and what is made to fail: the read with the 0-based number failRead
    // (counted over all files; -1: none) delivers nothing, and onOpen runs before every open (a
    // fault, or memory running out, in the middle of a step).
    long reads = 0;
    std::int64_t bytesDelivered = 0;
    int openHandles = 0;
    int opens = 0;
    long failRead = -1;
    bool failCreate = false;
    std::function<void()> onOpen;

    std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateWrite(const std::string& path) override;
    std::optional<std::string> ReplaceProblem(const std::string& path,
                                              const std::string& keep) override {
        return path == keep
                   ? std::optional(path + " is the file being analysed; it is not replaced")
                   : std::nullopt;
    }

  private:
    std::map<std::string, std::shared_ptr<std::string>> files_;
};

class MemoryInputFile final : public InputFile {
  public:
    MemoryInputFile(MemoryFileAccess& owner, std::shared_ptr<std::string> bytes)
        : owner_(owner), bytes_(std::move(bytes)) {
        ++owner_.openHandles;
    }
    ~MemoryInputFile() override { --owner_.openHandles; }
    MemoryInputFile(const MemoryInputFile&) = delete;
    MemoryInputFile& operator=(const MemoryInputFile&) = delete;

    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_->size()); }
    std::size_t ReadAt(std::int64_t offset, std::span<char> buffer) override {
        if (owner_.reads++ == owner_.failRead || offset < 0 || offset >= Size()) {
            return 0;
        }
        const auto start = static_cast<std::size_t>(offset);
        const std::size_t n = std::min(buffer.size(), bytes_->size() - start);
        std::copy_n(bytes_->data() + start, n, buffer.data());
        owner_.bytesDelivered += static_cast<std::int64_t>(n);
        return n;
    }

  private:
    MemoryFileAccess& owner_;
    std::shared_ptr<std::string> bytes_;
};

// Takes its name only when committed, as the host's does.
class MemoryOutputFile final : public OutputFile {
  public:
    MemoryOutputFile(MemoryFileAccess& owner, std::string path)
        : owner_(owner), path_(std::move(path)) {}
    bool Write(std::span<const char> bytes) override {
        bytes_.append(bytes.begin(), bytes.end());
        return true;
    }
    bool Commit() override {
        owner_.Put(path_, std::move(bytes_));
        return true;
    }

  private:
    MemoryFileAccess& owner_;
    std::string path_;
    std::string bytes_;
};

inline std::unique_ptr<InputFile> MemoryFileAccess::OpenRead(const std::string& path) {
    ++opens;
    if (onOpen) {
        onOpen();
    }
    const auto it = files_.find(path);
    return it == files_.end() ? nullptr : std::make_unique<MemoryInputFile>(*this, it->second);
}

inline std::unique_ptr<OutputFile> MemoryFileAccess::CreateWrite(const std::string& path) {
    return failCreate ? nullptr : std::make_unique<MemoryOutputFile>(*this, path);
}

}  // namespace veltrane
