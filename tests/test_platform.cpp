// The host layer: the mount table the drives come from, file masks, what counts as a file, 64-bit
// sizes, names the drive form cannot express, and the picture export into a real folder.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "browse/mod_Directory.h"
#include "picture/mod_MP3ID3_Picture.h"
#include "platform/mod__DriveAPI.h"
#include "support/Harness.h"
#include "support/Mp3Builder.h"
#include "support/TempFolder.h"

using namespace veltrane;
using namespace fixture;
namespace fs = std::filesystem;

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
        "server:/export /mnt/nfs nfs4 rw 0 0\n"
        "//nas/music /mnt/My\\040Music cifs rw 0 0\n"
        "/dev/sdc1 /cut-short\n"
        "//nas/other /mnt/a\\134b cifs rw 0 0\n"
        "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
        "/dev/sda1 /boot/efi vfat rw 0 0\n"
        "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
        "/dev/sda3 /home ext4 rw 0 0\n"
        "tmpfs /mnt/ram tmpfs rw 0 0\n";
    const auto drives =
        DrivesFromMountTable(mounts, [](std::string_view device) { return device == "/dev/sdb1"; });
    std::vector<std::string> shown;
    for (const auto& d : drives) {
        shown.push_back(std::string(1, d.letter) + " " + d.mountPoint + " " +
                        std::to_string(d.type));
    }
    EXPECT_EQ(shown,
              (std::vector<std::string>{"C / 3", "D /home 3", "E /run/media/me/STICK 2", "F /tmp 6",
                                        "G /mnt/nfs 4", "H /mnt/My Music 4", "I /mnt/a\\b 4",
                                        "J /media/cdrom 5", "K /mnt/ram 6"}));
    std::string many;
    for (int i = 0; i < 40; ++i) {
        many += "/dev/sd" + std::to_string(i) + " /data/" + std::to_string(i) + " ext4 rw 0 0\n";
    }
    const auto lettered = DrivesFromMountTable(many, [](std::string_view) { return false; });
    ASSERT_EQ(lettered.size(), 24U);  // C to Z
    EXPECT_EQ(lettered.back().letter, 'Z');
}

// Folders, FIFOs (a plain open would wait for a writer for ever), devices, missing and empty
// files: all show the not-found panes, nothing is created, nothing raises a message box.
TEST(HostFiles, ShowNotFoundForWhatIsNoRegularFileOrIsEmpty) {
    TempFolder temp;
    ASSERT_TRUE(
        temp.Shell("mkdir folder.mp3 && mkfifo fifo.mp3 && ln -s /dev/null device.mp3 && "
                   ": > empty.mp3"));
    DriveRoots roots;
    roots.Set('C', temp.Path().string());
    HostFileAccess files(roots);
    Harness h(files);
    for (const char* name : {"folder.mp3", "fifo.mp3", "device.mp3", "missing.mp3", "empty.mp3"}) {
        h.Analyse(std::string("C:\\") + name);
        EXPECT_EQ(h.Panes(), kNotFoundPanes) << name;
    }
    EXPECT_TRUE(h.messages.Messages().empty());
    EXPECT_FALSE(fs::exists(temp.Path() / "missing.mp3"));
    HostFileAccess host;
    EXPECT_EQ(host.OpenRead((temp.Path() / "fifo.mp3").string()), nullptr);
    EXPECT_EQ(host.LastOpenError().message(), "not a regular file");
    EXPECT_EQ(host.OpenRead((temp.Path() / "missing.mp3").string()), nullptr);
    EXPECT_EQ(host.LastOpenError(), std::errc::no_such_file_or_directory);
}

// Sizes are 64-bit: the playing time of a sparse 3 GiB file by the same formula as any other.
TEST(HostFiles, AnalyseAFileLargerThanFourGigabytesOfBitsLikeAnyOther) {
    TempFolder temp;
    const auto path =
        temp.Write("huge.mp3", Id3v2(3, Frame23("TIT2", Text("Huge"))) + MpegFrame(4));
    const std::int64_t size = 3LL * 1024 * 1024 * 1024;
    fs::resize_file(path, static_cast<std::uintmax_t>(size));
    HostFileAccess files;
    Harness h(files);
    h.Analyse(path.string());
    EXPECT_EQ(h.mpegPane.CellText(0, 1), "3221225472");
    EXPECT_EQ(h.mpegPane.CellText(2, 1), "55:55:26");  // (size - 25 - 1) * 8 / 128000 s
    EXPECT_EQ(h.id3v2Pane.CellText(1, 2), "Huge");
}

// A host name may hold any byte but "/" and NUL; the drive form separates folders with "\", so
// a name holding "\" is listed with "/" instead and opens as itself, never as another file.
TEST(HostFiles, ListAwkwardNamesAndNeverOpenTheWrongFile) {
    TempFolder temp;
    const std::string invalidUtf8 = "bad\xFF\xFE.mp3";
    for (const std::string& name :
         {std::string("with space.mp3"), std::string("it's \"quoted\".mp3"), invalidUtf8,
          std::string("a\\b.mp3")}) {
        temp.Write(name, MpegFrame() + Id3v1({name.substr(0, 20), "", "", "", "", 1, 0}));
    }
    temp.Write("a/b.mp3", MpegFrame() + Id3v1({"WRONG FILE", "", "", "", "", 1, 0}));
    // Names sharing their first eight letters, in an order a sort must undo.
    for (const std::string name :
         {"longname_d.mp3", "LONGNAME_a.mp3", "Longname_c.mp3", "longname_b.mp3"}) {
        temp.Write(name, MpegFrame() + Id3v1({name, "", "", "", "", 1, 0}));
    }
    HostFolderAccess folders({{'C', temp.Path().string(), kDriveFixed}});
    DriveRoots roots;
    roots.Set('C', temp.Path().string());
    HostFileAccess files(roots);
    Harness h(files);
    MemoryListPane list;
    ListFiles(folders, "C:", "*.mp3", list);
    const std::vector<std::string> names = Rows(list);
    EXPECT_EQ(names, (std::vector<std::string>{"a/b.mp3", invalidUtf8, "it's \"quoted\".mp3",
                                               "LONGNAME_a.mp3", "longname_b.mp3", "Longname_c.mp3",
                                               "longname_d.mp3", "with space.mp3"}));
    for (const auto& name : names) {
        h.state.sActualPath = "C:";
        AnalyseListedFile(h.state, name, h.panes, h.services);
        // The listed "a/b.mp3" is the host's "a\b.mp3", never the file b.mp3 in the folder a.
        const std::string host = name == "a/b.mp3" ? "a\\b.mp3" : name;
        EXPECT_EQ(h.id3v1Pane.CellText(4, 1), host.substr(0, 20)) << name;
    }
}

// The picture export in a real folder where something already stands under the picture's name:
// what stands there is replaced only when it is a regular file other than the analysed one, and
// is never written through or waited on; the analysed file never changes.
TEST(HostFiles, ExportNeverWritesThroughOrOverWhatStandsUnderThePicturesName) {
    const std::string png = Bytes({0x89, 'P', 'N', 'G'}) + "png body";
    const std::string mp3 = Id3v2(3, Frame23("APIC", ApicData("image/png", "", png))) + MpegFrame();
    // Each row: what stands there, the shell command in the folder that puts it there, and
    // whether the picture is written.
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"nothing", "true", true},
        {"a regular file", "echo old > image.png", true},
        {"a hard link to a file elsewhere", "ln ../outside.mp3 image.png", true},
        {"a symbolic link", "ln -s ../outside.mp3 image.png", false},
        {"a FIFO", "mkfifo image.png", false},
        {"a folder", "mkdir image.png", false},
        {"a hard link to the analysed file", "ln song.mp3 image.png", false},
        {"the analysed file itself", "mv song.mp3 image.png && ln -s image.png song.mp3", false},
    };
    for (const auto& [what, plant, written] : cases) {
        SCOPED_TRACE(what);
        TempFolder temp;
        const fs::path folder = temp.Path() / "out";
        const auto outside = temp.Write("outside.mp3", "outside");
        temp.Write("out/song.mp3", mp3);
        EXPECT_TRUE(temp.Shell(plant, "out"));
        const auto mtime = fs::last_write_time(fs::canonical(folder / "song.mp3"));

        HostFileAccess files;
        Harness h(files);
        h.Analyse((folder / "song.mp3").string());
        std::string name;
        const int result =
            PictureRowClick(h.state, "APIC", h.services, folder.string(), true, name);

        EXPECT_EQ(result, written ? 1 : -1);
        EXPECT_EQ(h.messages.Messages().size(), written ? 0U : 1U);
        if (!h.messages.Messages().empty()) {  // the "Cannot Write" case, told clearer
            EXPECT_EQ(h.messages.Messages()[0].icon, MessageIcon::Information);
        }
        EXPECT_EQ(h.window.opened.size(), written ? 1U : 0U);
        EXPECT_EQ(Slurp(outside), "outside");
        EXPECT_EQ(Slurp(folder / "song.mp3"), mp3);
        EXPECT_EQ(fs::last_write_time(fs::canonical(folder / "song.mp3")), mtime);
        if (written) {
            EXPECT_EQ(Slurp(folder / "image.png"), png);
        }
        for (const auto& entry : fs::directory_iterator(folder)) {
            EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
        }
    }
}

// A picture that cannot be written whole (a file size limit stands in for a full disk) is
// reported, nothing is handed to the shell, the picture standing there stays and no temporary
// file is left.
TEST(HostFiles, ExportThatCannotBeWrittenWholeLeavesTheFolderAsItWas) {
    const std::string png = Bytes({0x89, 'P', 'N', 'G'}) + std::string(100'000, 'p');
    TempFolder temp;
    temp.Write("song.mp3", Id3v2(3, Frame23("APIC", ApicData("image/png", "", png))));
    temp.Write("image.png", "old");
    HostFileAccess files;
    Harness h(files);
    h.Analyse((temp.Path() / "song.mp3").string());
    rlimit was{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
    rlimit small = was;
    small.rlim_cur = 4096;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string name;
    const int result =
        PictureRowClick(h.state, "APIC", h.services, temp.Path().string(), true, name);
    ::setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(result, -1);
    ASSERT_EQ(h.messages.Messages().size(), 1U);
    EXPECT_NE(h.messages.Messages()[0].text.find("could not be written"), std::string::npos);
    EXPECT_TRUE(h.window.opened.empty());
    EXPECT_EQ(Slurp(temp.Path() / "image.png"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), {}), 2);
}
