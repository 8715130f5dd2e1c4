// The folder browser over real folders: drives with their labels and images, sub-folders, the
// file mask, and the mount table the drives come from.
#include <gtest/gtest.h>

#include "browse/mod_LoadDirs.h"
#include "platform/mod__DriveAPI.h"
#include "support/MemoryHost.h"
#include "support/TempFolder.h"

using namespace veltrane;
using namespace fixture;

namespace {

using Names = std::vector<std::string>;

struct Browser {
    explicit Browser(std::vector<Drive> drives) : folders(std::move(drives)) {}
    HostFolderAccess folders;
    MemoryTree tree;
    MemoryScratchList scratch;
    FolderTree ctx{tree, scratch, folders};

    Names Children(NodeId node) const {
        Names names;
        for (const NodeId child : tree.Get(node).children) {
            names.push_back(tree.Get(child).text);
        }
        return names;
    }
};

}  // namespace

TEST(LoadDrives, ListsEveryDriveButRemovableOnesWithLabelAndImage) {
    TempFolder temp;
    for (const char* folder : {"a", "c/Windows", "c/.hidden", "e", "f", "g", "h", "i"}) {
        std::filesystem::create_directories(temp.Path() / folder);
    }
    temp.Write("c/boot.ini", "");
    const auto at = [&](const char* folder) { return (temp.Path() / folder).string(); };
    Browser b({{'A', at("a"), kDriveRemovable},
               {'C', at("c"), kDriveFixed},
               {'D', at("no medium"), kDriveCdRom},
               {'E', at("e"), kDriveFixed},
               {'F', at("f"), kDriveRemote},
               {'G', at("g"), kDriveRamDisk},
               {'H', at("h"), kDriveUnknown},
               {'I', at("i"), kDriveNoRoot}});
    LoadDrives(b.ctx);
    LoadDrives(b.ctx);  // a second load replaces, never doubles
    Names texts;
    Names images;
    for (const NodeId root : b.tree.Roots()) {
        texts.push_back(b.tree.Get(root).text);
        images.push_back(b.tree.Get(root).image);
    }
    EXPECT_EQ(texts, (Names{"C: (" + at("c") + ")", "D:(empty)", "E: (" + at("e") + ")",
                            "F: (" + at("f") + ")", "G: (" + at("g") + ")", "H: (" + at("h") + ")",
                            "I: (" + at("i") + ")"}));
    EXPECT_EQ(images, (Names{"disc", "cd", "disc", "net", "ram", "none", "none"}));
    EXPECT_EQ(b.tree.Get(1).key, "DriveC");
    EXPECT_EQ(b.Children(1), (Names{"Windows"}));  // no hidden folder, no file
    EXPECT_EQ(b.tree.Get(2).image, "folderclosed");
    EXPECT_EQ(b.tree.Get(2).selectedImage, "folderopen");
    EXPECT_EQ(NodeFolderPath(b.tree, 2), "C:\\Windows");
    EXPECT_EQ(NodeFolderPath(b.tree, 3), "D:");
}

// A folder that cannot be read has no children; more than 32,767 sub-folders are all listed (a
// 16-bit count once gave none).
TEST(FillSubFolders, ListsEveryVisibleSubFolderOfAnyFolder) {
    TempFolder temp;
    for (const char* folder : {"Music/Alpha", "Music/.Beta", "Music/gamma"}) {
        std::filesystem::create_directories(temp.Path() / folder);
    }
    temp.Write("Music/song.mp3", "");
    for (int i = 0; i < 33000; ++i) {
        std::filesystem::create_directories(temp.Path() / "Big" / std::to_string(i));
    }
    Browser b({{'C', temp.Path().string(), kDriveFixed}});
    const NodeId music = b.tree.AddNode(kNoNode, std::nullopt, "Music", "", "");
    FillSubFolders(b.ctx, music, "C:\\Music\\");  // a trailing "\" is not doubled
    EXPECT_EQ(b.Children(music), (Names{"Alpha", "gamma"}));
    const NodeId locked = b.tree.AddNode(kNoNode, std::nullopt, "Locked", "", "");
    FillSubFolders(b.ctx, locked, "C:\\Locked");
    EXPECT_EQ(b.tree.ChildCount(locked), 0);
    const NodeId big = b.tree.AddNode(kNoNode, std::nullopt, "Big", "", "");
    FillSubFolders(b.ctx, big, "C:\\Big");
    EXPECT_EQ(b.tree.ChildCount(big), 33000);
}

TEST(MatchesPattern, MatchesWildcardsIgnoringCase) {
    const std::tuple<const char*, const char*, bool> cases[] = {{"song.mp3", "*.mp3", true},
                                                                {"SONG.MP3", "*.mp3", true},
                                                                {".mp3", "*.mp3", true},
                                                                {"a.b.mp3", "*.mp3", true},
                                                                {"song.mp3.txt", "*.mp3", false},
                                                                {"song.mp", "*.mp3", false},
                                                                {"anything", "*", true},
                                                                {"x1", "x?", true},
                                                                {"x", "x?", false},
                                                                {"x12", "x?", false}};
    for (const auto& [name, pattern, matches] : cases) {
        EXPECT_EQ(MatchesPattern(name, pattern), matches) << name << " " << pattern;
    }
}

TEST(DrivesFromMountTable, GivesLettersCToZInTableOrderToTheMountsAUserBrowses) {
    const std::string mounts =
        "proc /proc proc rw 0 0\n"
        "/dev/sda2 / ext4 rw 0 0\n"
        "/dev/sda3 /home ext4 rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "/dev/sdb1 /run/media/me/STICK vfat rw 0 0\n"
        "tmpfs /tmp tmpfs rw 0 0\n"
        "tmpfs /dev/shm tmpfs rw 0 0\n"
        "server:/export /mnt/nfs nfs4 rw 0 0\n"
        "//nas/music /mnt/My\\040Music cifs rw 0 0\n"
        "truncated line\n"
        "//nas/other /mnt/a\\134b cifs rw 0 0\n"
        "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
        "/dev/sda1 /boot/efi vfat rw 0 0\n"
        "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
        "/dev/sda3 /home ext4 rw 0 0\n"
        "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n";
    const auto drives =
        DrivesFromMountTable(mounts, [](std::string_view device) { return device == "/dev/sdb1"; });
    std::vector<std::string> shown;
    for (const auto& d : drives) {
        shown.push_back(std::string(1, d.letter) + " " + d.mountPoint + " " +
                        std::to_string(d.type));
    }
    EXPECT_EQ(shown,
              (Names{"C / 3", "D /home 3", "E /run/media/me/STICK 2", "F /tmp 6", "G /mnt/nfs 4",
                     "H /mnt/My Music 4", "I /mnt/a\\b 4", "J /media/cdrom 5"}));
    std::string many;
    for (int i = 0; i < 40; ++i) {
        many += "/dev/sd" + std::to_string(i) + " /data/" + std::to_string(i) + " ext4 rw 0 0\n";
    }
    const auto lettered = DrivesFromMountTable(many, [](std::string_view) { return false; });
    ASSERT_EQ(lettered.size(), 24U);  // C to Z
    EXPECT_EQ(lettered.back().letter, 'Z');
}
