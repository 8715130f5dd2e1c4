#include "support/MemoryHost.h"

#include <algorithm>

namespace veltrane {

class MemoryInputFile final : public InputFile {
  public:
    MemoryInputFile(MemoryFileAccess& owner, std::shared_ptr<std::string> bytes)
        : owner_(owner), bytes_(std::move(bytes)) {
        ++owner_.openHandles_;
    }
    ~MemoryInputFile() override { --owner_.openHandles_; }
    MemoryInputFile(const MemoryInputFile&) = delete;
    MemoryInputFile& operator=(const MemoryInputFile&) = delete;

    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_->size()); }
    std::size_t ReadAt(std::int64_t offset, std::span<char> buffer) override {
        if (owner_.reads_++ == owner_.failRead_ || offset < 0 || offset >= Size()) {
            return 0;
        }
        const auto start = static_cast<std::size_t>(offset);
        const std::size_t n = std::min(buffer.size(), bytes_->size() - start);
        std::copy_n(bytes_->data() + start, n, buffer.data());
        owner_.bytesDelivered_ += static_cast<std::int64_t>(n);
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

std::unique_ptr<InputFile> MemoryFileAccess::OpenRead(const std::string& path) {
    ++opens_;
    const auto it = files_.find(path);
    return it == files_.end() ? nullptr : std::make_unique<MemoryInputFile>(*this, it->second);
}

std::unique_ptr<OutputFile> MemoryFileAccess::CreateWrite(const std::string& path) {
    return failCreate_ ? nullptr : std::make_unique<MemoryOutputFile>(*this, path);
}

}  // namespace veltrane
