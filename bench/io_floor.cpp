// The I/O floor of the analysis: for each file exactly the opens and positioned reads the
// readers make, the whole ID3v2 tag body included, and nothing else. Prints microseconds per
// file. What the analysis costs above this is its own work.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

std::vector<char> buffer(64 * 1024);
volatile unsigned sink = 0;

void Read(int fd, std::int64_t offset, std::size_t n) {
    if (offset < 0 || n == 0) {
        return;
    }
    if (n > buffer.size()) {
        buffer.resize(n);
    }
    const ssize_t got = ::pread(fd, buffer.data(), n, offset);
    sink = sink + static_cast<unsigned>(got > 0 ? buffer[0] : 0);
}

struct Open {
    explicit Open(const char* path) : fd(::open(path, O_RDONLY | O_CLOEXEC)) {
        struct stat info {};
        if (fd >= 0 && ::fstat(fd, &info) == 0) {
            size = info.st_size;
        }
    }
    ~Open() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int fd;
    std::int64_t size = 0;
};

// The same reads through one open of the file, as the report makes them.
void OneOpenFloor(const char* path) {
    Open f(path);
    Read(f.fd, 0, 6);
    Read(f.fd, f.size - 137, 137);
    std::int64_t tagSize = 0;
    int version = 0;
    Read(f.fd, 0, 10);
    const auto* b = reinterpret_cast<const unsigned char*>(buffer.data());
    if (b[0] == 'I' && b[1] == 'D' && b[2] == '3') {
        tagSize = ((b[6] * 128 + b[7]) * 128 + b[8]) * 128 + b[9];
        version = b[3];
    }
    const std::int64_t start = tagSize > 0 ? tagSize + 10 : 0;
    Read(f.fd, start, 4);
    Read(f.fd, start + 36, 4);
    if (version == 2 || version == 3) {
        Read(f.fd, 10, static_cast<std::size_t>(tagSize));
    }
    Read(f.fd, f.size - 128, 128);
    const bool id3v1 = buffer[0] == 'T' && buffer[1] == 'A' && buffer[2] == 'G';
    const std::int64_t back = id3v1 ? 137 : 9;
    Read(f.fd, f.size - back, 9);
    Read(f.fd, f.size - back - 5200, 5200);
}

void Floor(const char* path) {
    {  // tag presence
        Open f(path);
        Read(f.fd, 0, 6);
        Read(f.fd, f.size - 137, 137);
    }
    std::int64_t tagSize = 0;
    int version = 0;
    {  // MPEG header: behind the tag, the header and the VBR marker
        Open f(path);
        Read(f.fd, 0, 10);
        const auto* b = reinterpret_cast<const unsigned char*>(buffer.data());
        if (b[0] == 'I' && b[1] == 'D' && b[2] == '3') {
            tagSize = ((b[6] * 128 + b[7]) * 128 + b[8]) * 128 + b[9];
            version = b[3];
        }
        const std::int64_t start = tagSize > 0 ? tagSize + 10 : 0;
        Read(f.fd, start, 4);
        Read(f.fd, start + 36, 4);
    }
    {  // ID3v2: header and, for the versions split into frames, the whole body
        Open f(path);
        Read(f.fd, 0, 10);
        if (version == 2 || version == 3) {
            Read(f.fd, 10, static_cast<std::size_t>(tagSize));
        }
    }
    {  // ID3v1
        Open f(path);
        Read(f.fd, f.size - 128, 128);
    }
    {  // Lyrics3
        Open f(path);
        Read(f.fd, f.size - 128, 4);
        const bool id3v1 = buffer[0] == 'T' && buffer[1] == 'A' && buffer[2] == 'G';
        const std::int64_t back = id3v1 ? 137 : 9;
        Read(f.fd, f.size - back, 9);
        Read(f.fd, f.size - back - 5200, 5200);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // --one-open: each file opened once for all its reads.
    const bool oneOpen = argc > 1 && std::string_view(argv[1]) == "--one-open";
    const int first = oneOpen ? 2 : 1;
    const auto start = std::chrono::steady_clock::now();
    for (int i = first; i < argc; ++i) {
        oneOpen ? OneOpenFloor(argv[i]) : Floor(argv[i]);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const double us = std::chrono::duration<double, std::micro>(elapsed).count();
    const int files = argc - first;
    std::fprintf(stderr, "%d files, %.1f us per file\n", files, files > 0 ? us / files : 0.0);
    return 0;
}
