// The cost of the first-header scan and of one whole analysis, on files in the page cache.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "analysis/mod_AnalysisBundle.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "mpeg/mod_MP3_BinaryHeader.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;
namespace fs = std::filesystem;

namespace {

const fs::path& Folder() {
    static const fs::path folder = [] {
        const fs::path f = fs::temp_directory_path() / "veltrane-bench-core";
        fs::create_directories(f);
        std::string audio;
        for (int i = 0; i < 600; ++i) {
            audio += MpegFrame();
        }
        const std::string tag =
            Id3v2(3, Frame23("TIT2", Text("Title")) + Frame23("TPE1", Text("Artist")) +
                         Frame23("TALB", Text("Album")) + std::string(2048, '\0'));
        std::ofstream(f / "typical.mp3", std::ios::binary)
            << tag + audio + Id3v1({"Title", "Artist", "Album", "2004", "", 1, 17});
        // 8 MiB of bytes that hold no header, then the first frame.
        std::ofstream(f / "late.mp3", std::ios::binary)
            << std::string(8 * 1024 * 1024, '\x11') + audio;
        return f;
    }();
    return folder;
}

void BM_BinHeader_Typical(benchmark::State& state) {
    HostFileAccess files;
    const std::string path = (Folder() / "typical.mp3").string();
    MpegHeaderInfo info;
    for (auto _ : state) {
        BinHeader(files, path, info);
        benchmark::DoNotOptimize(info.FrameCount);
    }
}
BENCHMARK(BM_BinHeader_Typical);

void BM_BinHeader_HeaderBehind8MiB(benchmark::State& state) {
    HostFileAccess files;
    const std::string path = (Folder() / "late.mp3").string();
    MpegHeaderInfo info;
    for (auto _ : state) {
        BinHeader(files, path, info);
        benchmark::DoNotOptimize(info.HeaderOffset);
    }
    state.SetBytesProcessed(state.iterations() * 8 * 1024 * 1024);
}
BENCHMARK(BM_BinHeader_HeaderBehind8MiB)->Unit(benchmark::kMillisecond);

// What one sequential read of the same 8 MiB costs: the scan's floor.
void BM_SequentialRead8MiB(benchmark::State& state) {
    const std::string path = (Folder() / "late.mp3").string();
    std::vector<char> block(64 * 1024);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        for (off_t at = 0; at < 8 * 1024 * 1024; at += static_cast<off_t>(block.size())) {
            benchmark::DoNotOptimize(::pread(fd, block.data(), block.size(), at));
        }
        ::close(fd);
    }
    state.SetBytesProcessed(state.iterations() * 8 * 1024 * 1024);
}
BENCHMARK(BM_SequentialRead8MiB)->Unit(benchmark::kMillisecond);

void BM_AnalyseTypical(benchmark::State& state) {
    InitId3Definitions();
    HostFileAccess files;
    AnalysisBundle analysis(files);
    const std::string path = (Folder() / "typical.mp3").string();
    for (auto _ : state) {
        analysis.Analyse(path);
    }
}
BENCHMARK(BM_AnalyseTypical);

}  // namespace

BENCHMARK_MAIN();
