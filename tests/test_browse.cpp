#include <gtest/gtest.h>

#include <map>

#include "browse/mod_Directory.h"
#include "browse/mod_LoadDirs.h"
#include "platform/mod__DriveAPI.h"
#include "support/MemoryHost.h"

using namespace veltrane;

namespace {

// A drive-letter file system in memory: folders with entries and their attribute bits.
class FakeFolders final : public FolderAccess {
  public:
    struct Volume {
        int type = kDriveFixed;
        std::optional<std::string> label;
    };
    std::map<char, Volume> drives;
    // "C:\Music" -> entries; a folder missing here cannot be searched.
    std::map<std::string, std::vector<FoundEntry>> folders;
    mutable int searches = 0;

    std::string LogicalDriveStrings() const override {
        std::string text;
        for (const auto& [letter, volume] : drives) {
            text += std::string(1, letter) + ":\\" + std::string(1, '\0');
        }
        return text;
    }
    int DriveType(std::string_view root) const override { return drives.at(root[0]).type; }
    std::optional<std::string> VolumeLabel(std::string_view root) const override {
        return drives.at(root[0]).label;
    }
    std::optional<std::vector<FoundEntry>> Find(std::string_view pattern) const override {
        ++searches;
        const auto cut = pattern.rfind('\\');
        std::string folder(pattern.substr(0, cut));
        const auto it = folders.find(folder);
        if (it == folders.end()) {
            return std::nullopt;
        }
        std::vector<FoundEntry> found{{".", kAttrDirectory}, {"..", kAttrDirectory}};
        for (const auto& entry : it->second) {
            if (MatchesPattern(entry.name, pattern.substr(cut + 1))) {
                found.push_back(entry);
            }
        }
        return found;
    }
    std::uint32_t Attributes(std::string_view path) const override {
        if (byPath_.empty()) {
            for (const auto& [folder, entries] : folders) {
                for (const auto& entry : entries) {
                    byPath_[folder + "\\" + entry.name] = entry.attributes;
                }
            }
        }
        const auto it = byPath_.find(std::string(path));
        return it == byPath_.end() ? kAttrInvalid : it->second;
    }

  private:
    mutable std::map<std::string, std::uint32_t> byPath_;  // built on the first query
};

struct Browser {
    FakeFolders folders;
    MemoryTree tree;
    MemoryScratchList scratch;
    FolderTree ctx{tree, scratch, folders};

    std::vector<std::string> Children(NodeId node) const {
        std::vector<std::string> names;
        for (const NodeId child : tree.Get(node).children) {
            names.push_back(tree.Get(child).text);
        }
        return names;
    }
};

using Names = std::vector<std::string>;

}  // namespace

TEST(NodeFolderPath, DropsTheVolumePartOfTheDriveNodesText) {
    MemoryTree tree;
    const NodeId c = tree.AddNode(kNoNode, "DriveC", "C: (SYSTEM)", "disc", "disc");
    const NodeId music = tree.AddNode(c, std::nullopt, "Music", "folderclosed", "folderopen");
    const NodeId rock = tree.AddNode(music, std::nullopt, "Rock", "folderclosed", "folderopen");
    const NodeId d = tree.AddNode(kNoNode, "DriveD", "D:(empty)", "cd", "cd");
    EXPECT_EQ(NodeFolderPath(tree, c), "C:");
    EXPECT_EQ(NodeFolderPath(tree, rock), "C:\\Music\\Rock");
    EXPECT_EQ(NodeFolderPath(tree, d), "D:");
}

TEST(LoadDrives, ListsEveryDriveButRemovableOnesWithLabelAndImage) {
    Browser b;
    b.folders.drives = {
        {'A', {kDriveRemovable, "FLOPPY"}}, {'C', {kDriveFixed, std::string("SYSTEM\0junk", 11)}},
        {'D', {kDriveCdRom, std::nullopt}}, {'E', {kDriveFixed, ""}},
        {'F', {kDriveRemote, "share"}},     {'G', {kDriveRamDisk, "ram"}},
        {'H', {kDriveUnknown, "x"}},        {'I', {kDriveNoRoot, "y"}}};
    b.folders.folders["C:"] = {{"Windows", kAttrDirectory}, {"boot.ini", kAttrNormal}};
    LoadDrives(b.ctx);
    LoadDrives(b.ctx);  // a second load replaces, never doubles
    std::vector<std::string> texts;
    std::vector<std::string> images;
    for (const NodeId root : b.tree.Roots()) {
        texts.push_back(b.tree.Get(root).text);
        images.push_back(b.tree.Get(root).image);
    }
    EXPECT_EQ(texts, (Names{"C: (SYSTEM)", "D:(empty)", "E: ()", "F: (share)", "G: (ram)", "H: (x)",
                            "I: (y)"}));
    EXPECT_EQ(images, (Names{"disc", "cd", "disc", "net", "ram", "none", "none"}));
    EXPECT_EQ(b.tree.Get(1).key, "DriveC");
    EXPECT_EQ(b.Children(1), (Names{"Windows"}));
    EXPECT_EQ(b.tree.Get(2).image, "folderclosed");
    EXPECT_EQ(b.tree.Get(2).selectedImage, "folderopen");
    EXPECT_EQ(b.tree.Index(3), 3);  // D: follows C: and its one folder
}

// Hidden folders are left out, system ones kept; a folder that cannot be searched has no
// children; more than 32,767 sub-folders are all listed (a 16-bit count once gave none).
TEST(FillSubFolders, ListsTheVisibleSubFoldersOfAnyFolder) {
    Browser b;
    b.folders.folders["C:\\Music"] = {{"Alpha", kAttrDirectory},
                                      {"Beta", kAttrDirectory | kAttrHidden},
                                      {"Gamma", kAttrDirectory | kAttrSystem},
                                      {"song.mp3", kAttrNormal}};
    auto& big = b.folders.folders["C:\\Big"];
    for (int i = 0; i < 33000; ++i) {
        big.push_back({"f" + std::to_string(i), kAttrDirectory});
    }
    const NodeId music = b.tree.AddNode(kNoNode, std::nullopt, "Music", "", "");
    FillSubFolders(b.ctx, music, "C:\\Music\\");  // a trailing "\" is not doubled
    EXPECT_EQ(b.Children(music), (Names{"Alpha", "Gamma"}));
    const NodeId locked = b.tree.AddNode(kNoNode, std::nullopt, "Locked", "", "");
    FillSubFolders(b.ctx, locked, "C:\\Locked");
    EXPECT_EQ(b.tree.ChildCount(locked), 0);
    const NodeId node = b.tree.AddNode(kNoNode, std::nullopt, "Big", "", "");
    FillSubFolders(b.ctx, node, "C:\\Big");
    EXPECT_EQ(b.tree.ChildCount(node), 33000);
}

TEST(TreeView1_Expand, FillsChildlessChildrenOnlyAndAddsNoDuplicates) {
    Browser b;
    b.folders.drives = {{'C', {kDriveFixed, "SYSTEM"}}};
    b.folders.folders["C:"] = {{"Music", kAttrDirectory}, {"Empty", kAttrDirectory}};
    b.folders.folders["C:\\Music"] = {{"Rock", kAttrDirectory}};
    b.folders.folders["C:\\Empty"] = {};
    LoadDrives(b.ctx);
    const NodeId drive = b.tree.FirstNode();
    EXPECT_EQ(b.Children(drive), (Names{"Music", "Empty"}));
    TreeView1_Expand(b.ctx, drive);
    TreeView1_Expand(b.ctx, drive);
    const NodeId music = b.tree.FirstChild(drive);
    EXPECT_EQ(b.Children(music), (Names{"Rock"}));
    // The empty folder is searched on every expansion; the filled one never again.
    const int before = b.folders.searches;
    TreeView1_Expand(b.ctx, drive);
    EXPECT_EQ(b.folders.searches, before + 1);
}

TEST(TreeView1_NodeClick, ListsTheFolderFilesAndMakesItTheCurrentFolder) {
    Browser b;
    b.folders.folders["C:\\Music"] = {{"a.mp3", kAttrNormal},
                                      {"B.MP3", kAttrNormal},
                                      {"hidden.mp3", kAttrNormal | kAttrHidden},
                                      {"dir.mp3", kAttrDirectory},
                                      {"c.mp3.txt", kAttrNormal}};
    const NodeId c = b.tree.AddNode(kNoNode, "DriveC", "C: (SYSTEM)", "disc", "disc");
    const NodeId music = b.tree.AddNode(c, std::nullopt, "Music", "", "");
    AnalysisState state;
    state.sActualFile = "C:\\old.mp3";
    MemoryListPane files;
    TreeView1_NodeClick(b.ctx, state, files, music);
    TreeView1_NodeClick(b.ctx, state, files, music);  // rebuilt, not doubled
    EXPECT_EQ(state.sActualPath, "C:\\Music");
    EXPECT_EQ(state.tActualNode, music);
    EXPECT_EQ(state.sActualFile, "C:\\old.mp3");
    ASSERT_EQ(files.RowCount(), 3);
    EXPECT_EQ(files.CellText(0, 0), "a.mp3");
    EXPECT_EQ(files.CellText(1, 0), "B.MP3");
    EXPECT_EQ(files.CellText(2, 0), "hidden.mp3");

    TreeView1_NodeClick(b.ctx, state, files, c);
    EXPECT_EQ(state.sActualPath, "C:");
    EXPECT_EQ(files.RowCount(), 0);  // the root cannot be searched here
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
    EXPECT_EQ(shown, (Names{"C / 3", "D /home 3", "E /run/media/me/STICK 2", "F /tmp 6",
                            "G /mnt/nfs 4", "H /mnt/My Music 4", "I /media/cdrom 5"}));
    std::string many;
    for (int i = 0; i < 40; ++i) {
        many += "/dev/sd" + std::to_string(i) + " /data/" + std::to_string(i) + " ext4 rw 0 0\n";
    }
    const auto lettered = DrivesFromMountTable(many, [](std::string_view) { return false; });
    ASSERT_EQ(lettered.size(), 24U);  // C to Z
    EXPECT_EQ(lettered.back().letter, 'Z');
}
