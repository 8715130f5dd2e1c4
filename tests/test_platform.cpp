#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <random>

#include <filesystem>
#include <fstream>

#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"
#include "support/MemoryHost.h"

using namespace veltrane;
namespace fs = std::filesystem;

namespace {

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

TEST(HostFileAccess, WritesAFreshFileButNotThroughALink) {
    TempFolder temp;
    HostFileAccess files;
    const auto out = temp.Path() / "image.jpg";
    {
        auto file = files.CreateWrite(out.string());
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->Write(std::string("new")));
    }
    EXPECT_EQ(fs::file_size(out), 3U);

    const auto victim = temp.Write("song.mp3", "audio");
    const auto link = temp.Path() / "image.png";
    fs::create_symlink(victim, link);
    EXPECT_FALSE(files.CreateWrite(link.string()));
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "audio");
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
