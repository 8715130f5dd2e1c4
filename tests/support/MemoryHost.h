// Test doubles for the host: files held in memory (reads can be made to fail one by one) and a
// file layer that throws.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/mod__FileAPI.h"

namespace veltrane {

// Files held in memory, for tests and the fuzzer; it counts what its users do with them.
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
    // The read with this 0-based number (counted over all files) delivers nothing; -1: none.
    void FailRead(long number) { failRead_ = number; }
    void FailCreate(bool fail) { failCreate_ = fail; }
    long ReadsMade() const { return reads_; }
    std::int64_t BytesDelivered() const { return bytesDelivered_; }
    int OpenHandles() const { return openHandles_; }
    int OpensMade() const { return opens_; }

    std::unique_ptr<InputFile> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateWrite(const std::string& path) override;
    std::optional<std::string> ReplaceProblem(const std::string& path,
                                              const std::string& keep) override {
        return path == keep
                   ? std::optional(path + " is the file being analysed; it is not replaced")
                   : std::nullopt;
    }

  private:
    friend class MemoryInputFile;
    std::map<std::string, std::shared_ptr<std::string>> files_;
    long failRead_ = -1;
    long reads_ = 0;
    std::int64_t bytesDelivered_ = 0;
    int openHandles_ = 0;
    int opens_ = 0;
    bool failCreate_ = false;
};

// A file layer whose every open throws what thrower throws: a fault, or memory running out, in
// the middle of an analysis or an export.
class ThrowingFileAccess final : public FileAccess {
  public:
    explicit ThrowingFileAccess(std::function<void()> thrower) : thrower_(std::move(thrower)) {}
    std::unique_ptr<InputFile> OpenRead(const std::string&) override {
        thrower_();
        return nullptr;
    }
    std::unique_ptr<OutputFile> CreateWrite(const std::string&) override { return nullptr; }
    std::optional<std::string> ReplaceProblem(const std::string&, const std::string&) override {
        return std::nullopt;
    }

  private:
    std::function<void()> thrower_;
};

}  // namespace veltrane
