// The real window on the offscreen platform: from a click on a file row to the filled panes,
// and the listing of a folder of 10,000 MP3 files against enumerating it.
#include <benchmark/benchmark.h>
#include <dirent.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/frmMain.h"
#include "browse/mod_Directory.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;
namespace fs = std::filesystem;

namespace {

fs::path MakeFolder() {
    const fs::path root = fs::temp_directory_path() / "veltrane-bench-window";
    fs::remove_all(root);
    fs::create_directories(root / "many");
    std::string audio;
    for (int i = 0; i < 600; ++i) {
        audio += MpegFrame();
    }
    const std::string text = Frame23("TIT2", Text("Title")) + Frame23("TPE1", Text("Artist")) +
                             Frame23("TALB", Text("Album")) + Frame23("TLEN", Text("215000"));
    const std::string id1 = Id3v1({"Title", "Artist", "Album", "2004", "", 1, 17});
    std::ofstream(root / "a-typical.mp3", std::ios::binary)
        << Id3v2(3, text + std::string(2048, '\0')) + audio + id1;
    std::string cover = Bytes({0xFF, 0xD8, 0xFF, 0xE0});
    cover.resize(5 * 1024 * 1024, '\x5A');
    std::ofstream(root / "b-cover5mb.mp3", std::ios::binary)
        << Id3v2(3, text + Frame23("APIC", ApicData("image/jpeg", "", cover))) + audio + id1;
    {
        std::ofstream(root / "c-300mb.mp3", std::ios::binary)
            << Id3v2(3, text + std::string(1024, '\0')) + audio;
        fs::resize_file(root / "c-300mb.mp3", 300U * 1024 * 1024);
    }
    for (int i = 0; i < 10000; ++i) {
        std::ofstream(root / "many" / ("song" + std::to_string(i) + ".mp3"));
    }
    return root;
}

struct Viewer {
    fs::path root = MakeFolder();
    std::unique_ptr<frmMain> window;
    Viewer() {
        ViewerHost host;
        host.drives = {{'C', root.string(), kDriveFixed}};
        host.showMessage = [](const std::string&, const std::string&, MessageIcon) {};
        host.shellOpen = [](const std::string&) { return true; };
        window = std::make_unique<frmMain>(host);
        window->show();
        QApplication::processEvents();
    }
};

// Made on first use, gone before the application object.
std::unique_ptr<Viewer>& ViewerSlot() {
    static std::unique_ptr<Viewer> viewer;
    return viewer;
}

Viewer& TheViewer() {
    if (!ViewerSlot()) {
        ViewerSlot() = std::make_unique<Viewer>();
    }
    return *ViewerSlot();
}

void ClickRow(benchmark::State& state, int row) {
    auto& w = *TheViewer().window;
    w.TreeView1_NodeClick(w.TreeView1.topLevelItem(0));  // the root folder with the files
    const QModelIndex item = w.ListView4.model()->index(row, 0);
    for (auto _ : state) {
        w.ListView4_ItemClick(item);
        QApplication::processEvents();  // the panes painted
    }
    state.SetLabel(w.FileList().CellText(row, 0));
}

void BM_ClickToPanes_Typical(benchmark::State& state) {
    ClickRow(state, 0);
}
void BM_ClickToPanes_Cover5MB(benchmark::State& state) {
    ClickRow(state, 1);
}
void BM_ClickToPanes_File300MB(benchmark::State& state) {
    ClickRow(state, 2);
}
BENCHMARK(BM_ClickToPanes_Typical)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClickToPanes_Cover5MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClickToPanes_File300MB)->Unit(benchmark::kMicrosecond);

QTreeWidgetItem* ManyNode() {
    auto& w = *TheViewer().window;
    QTreeWidgetItem* drive = w.TreeView1.topLevelItem(0);
    for (int i = 0; i < drive->childCount(); ++i) {
        if (drive->child(i)->text(0) == "many") {
            return drive->child(i);
        }
    }
    return nullptr;
}

void BM_ListFolderOf10000(benchmark::State& state) {
    auto& w = *TheViewer().window;
    QTreeWidgetItem* many = ManyNode();
    for (auto _ : state) {
        w.TreeView1_NodeClick(many);
        QApplication::processEvents();
    }
    state.counters["rows"] = w.FileList().RowCount();
}
BENCHMARK(BM_ListFolderOf10000)->Unit(benchmark::kMillisecond);

// The same listing into a pane in memory: the folder search without the widget.
void BM_ListFolderOf10000InMemory(benchmark::State& state) {
    HostFolderAccess folders({{'C', TheViewer().root.string(), kDriveFixed}});
    MemoryListPane list;
    for (auto _ : state) {
        list.Clear();
        ListFiles(folders, "C:\\many", "*.mp3", list);
    }
    state.counters["rows"] = list.RowCount();
}
BENCHMARK(BM_ListFolderOf10000InMemory)->Unit(benchmark::kMillisecond);

// One read of the folder, names only: what listing it cannot go below.
void BM_EnumerateFolderOf10000(benchmark::State& state) {
    const std::string path = (TheViewer().root / "many").string();
    for (auto _ : state) {
        int count = 0;
        DIR* dir = ::opendir(path.c_str());
        while (const dirent* entry = ::readdir(dir)) {
            benchmark::DoNotOptimize(entry->d_name[0]);
            ++count;
        }
        ::closedir(dir);
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_EnumerateFolderOf10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (ViewerSlot()) {
        fs::remove_all(ViewerSlot()->root);
        ViewerSlot().reset();
    }
    return 0;
}
