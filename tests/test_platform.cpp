#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <random>

#include <filesystem>
#include <fstream>
#include <functional>

#include "analysis/mod_AnalysisDriver.h"
#include "picture/mod_MP3ID3_Picture.h"
#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"
#include "support/MemoryHost.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;
namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "veltrane-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& Path() const { return path_; }
    fs::path Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
        return path_ / name;
    }

  private:
    fs::path path_;
};

}  // namespace

TEST(MapToHostPath, TurnsDriveFormIntoTheDrivesRoot) {
    DriveRoots roots;
    roots.Set('C', "/");
    roots.Set('D', "/home/user/music");
    EXPECT_EQ(MapToHostPath("C:", roots), "/");
    EXPECT_EQ(MapToHostPath("C:\\", roots), "/");
    EXPECT_EQ(MapToHostPath("C:\\Music\\Rock\\a.mp3", roots), "/Music/Rock/a.mp3");
    EXPECT_EQ(MapToHostPath("d:\\x.mp3", roots), "/home/user/music/x.mp3");
    EXPECT_EQ(MapToHostPath("D:", roots), "/home/user/music");
}

TEST(MapToHostPath, LeavesHostPathsAsGivenAndRefusesUnknownDrives) {
    DriveRoots roots;
    roots.Set('C', "/");
    EXPECT_EQ(MapToHostPath("/tmp/a\\b.mp3", roots), "/tmp/a\\b.mp3");
    EXPECT_EQ(MapToHostPath("C:file.mp3", roots), "C:file.mp3");  // no "\" after the colon
    EXPECT_EQ(MapToHostPath("relative.mp3", roots), "relative.mp3");
    EXPECT_FALSE(MapToHostPath("Q:\\x.mp3", roots));
}

// Every request against a plain positioned read of the same file: zeros outside the file,
// blocks of every size, requests larger than the block at hand (once an over-read).
TEST(ByteView, GivesWhatAPositionedReadGivesForAnyRange) {
    TempFolder temp;
    std::string bytes(300 * 1024, '\0');
    std::mt19937 random(7);
    for (auto& b : bytes) {
        b = static_cast<char>(random());
    }
    const auto path = temp.Write("a.mp3", bytes);
    HostFileAccess files;
    auto file = files.OpenRead(path.string());
    ASSERT_TRUE(file);
    const auto expected = [&](std::int64_t offset, std::size_t n) {
        std::string out(n, '\0');
        if (offset >= 0) {
            file->ReadAt(offset, out);
        }
        return out;
    };
    ByteView fixed(*file, 4096, 65536);
    EXPECT_EQ(fixed.Bytes(0, 20000), expected(0, 20000));  // larger than the first block
    const std::int64_t size = file->Size();
    for (const auto& [first, later] : {std::pair{16, 64}, std::pair{4096, 65536}}) {
        ByteView view(*file, static_cast<std::size_t>(first), static_cast<std::size_t>(later));
        for (int i = 0; i < 2000; ++i) {
            const std::int64_t offset =
                static_cast<std::int64_t>(random() % static_cast<std::uint32_t>(size + 2000)) -
                1000;
            const std::size_t n = random() % (i % 10 == 0 ? 200000U : 300U);
            SCOPED_TRACE("offset " + std::to_string(offset) + ", " + std::to_string(n) + " bytes");
            ASSERT_EQ(view.Bytes(offset, n), expected(offset, n));
            const auto block = view.Block(offset);
            ASSERT_EQ(block.empty(), offset < 0 || offset >= size);
            ASSERT_EQ(std::string(block.begin(), block.end()), expected(offset, block.size()));
        }
    }
}

TEST(HostFileAccess, OpensOnlyRegularFilesAndNeverCreatesOne) {
    TempFolder temp;
    HostFileAccess files;
    EXPECT_FALSE(files.OpenRead((temp.Path() / "missing.mp3").string()));
    EXPECT_FALSE(fs::exists(temp.Path() / "missing.mp3"));

    fs::create_directory(temp.Path() / "folder.mp3");
    EXPECT_FALSE(files.OpenRead((temp.Path() / "folder.mp3").string()));

    // A FIFO without a writer would block a plain open for ever.
    const auto fifo = temp.Path() / "fifo.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(files.OpenRead(fifo.string()));
    EXPECT_EQ(HostOpenProblem(fifo.string()), "not a regular file");

    EXPECT_FALSE(files.OpenRead("/dev/null"));
}

TEST(HostFileAccess, MapsDrivePathsThroughItsRoots) {
    TempFolder temp;
    temp.Write("song.mp3", "xyz");
    DriveRoots roots;
    roots.Set('C', temp.Path().string());
    HostFileAccess files(roots);
    auto file = files.OpenRead("C:\\song.mp3");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), 3);
}

// The picture export in a real folder where something already stands under the picture's name:
// what stands there is replaced only when it is a regular file other than the analysed one, and
// is never written through or waited on.
TEST(ExportIntoARealFolder, NeverWritesThroughOrOverWhatStandsUnderThePicturesName) {
    const std::string png = Bytes({0x89, 'P', 'N', 'G'}) + "png body";
    const std::string mp3 = Id3v2(3, Frame23("APIC", ApicData("image/png", "", png))) + MpegFrame();
    struct Case {
        const char* what;
        std::function<void(const fs::path& folder, const fs::path& outside)> plant;
        bool written;
    };
    const std::vector<Case> cases = {
        {"nothing", [](const fs::path&, const fs::path&) {}, true},
        {"a regular file",
         [](const fs::path& f, const fs::path&) { std::ofstream(f / "image.png") << "old"; }, true},
        {"a hard link to a file elsewhere",
         [](const fs::path& f, const fs::path& outside) {
             fs::create_hard_link(outside, f / "image.png");
         },
         true},
        {"a symbolic link",
         [](const fs::path& f, const fs::path& outside) {
             fs::create_symlink(outside, f / "image.png");
         },
         false},
        {"a FIFO",
         [](const fs::path& f, const fs::path&) {
             ASSERT_EQ(::mkfifo((f / "image.png").c_str(), 0644), 0);
         },
         false},
        {"a folder",
         [](const fs::path& f, const fs::path&) { fs::create_directory(f / "image.png"); }, false},
        {"a hard link to the analysed file",
         [](const fs::path& f, const fs::path&) {
             fs::create_hard_link(f / "song.mp3", f / "image.png");
         },
         false},
        {"the analysed file itself",
         [](const fs::path& f, const fs::path&) {
             fs::rename(f / "song.mp3", f / "image.png");
             fs::create_symlink(f / "image.png", f / "song.mp3");
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        const fs::path folder = temp.Path() / "out";
        fs::create_directory(folder);
        const auto outside = temp.Write("outside.mp3", "outside");
        std::ofstream(folder / "song.mp3", std::ios::binary) << mp3;
        c.plant(folder, outside);

        HostFileAccess files;
        MemoryMessageBox messages;
        MemoryWindowOps window;
        Services services{files, messages, window};
        AnalysisState state;
        state.sActualFile = (folder / "song.mp3").string();
        ReadId3v2(files, messages, state.sActualFile, state.Id3v2Header, state.Id3v2Frames);
        std::string name;
        const int result = PictureRowClick(state, "APIC", services, folder.string(), false, name);

        EXPECT_EQ(result, c.written ? 1 : -1);
        EXPECT_EQ(messages.Messages().size(), c.written ? 0U : 1U);
        EXPECT_EQ(Slurp(outside), "outside");
        EXPECT_EQ(Slurp(folder / "song.mp3"), mp3);
        if (c.written) {
            EXPECT_EQ(Slurp(folder / "image.png"), png);
        }
        std::size_t entries = 0;
        for (const auto& entry : fs::directory_iterator(folder)) {
            EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
            ++entries;
        }
        EXPECT_EQ(entries, 2U);
    }
}

TEST(MemoryTree, JoinsFullPathsWithBackslashesAndWalksSiblings) {
    MemoryTree tree;
    const NodeId c = tree.AddNode(kNoNode, "DriveC", "C: (/)", "disc", "disc");
    const NodeId music = tree.AddNode(c, std::nullopt, "Music", "folderclosed", "folderopen");
    const NodeId rock = tree.AddNode(music, std::nullopt, "Rock", "folderclosed", "folderopen");
    const NodeId jazz = tree.AddNode(music, std::nullopt, "Jazz", "folderclosed", "folderopen");
    EXPECT_EQ(tree.FullPath(rock), "C: (/)\\Music\\Rock");
    EXPECT_EQ(tree.FirstChild(music), rock);
    EXPECT_EQ(tree.NextSibling(rock), jazz);
    EXPECT_EQ(tree.NextSibling(jazz), kNoNode);
    EXPECT_EQ(tree.ChildCount(music), 2);
    EXPECT_EQ(tree.Index(jazz), 4);
    EXPECT_EQ(tree.FirstNode(), c);
}
