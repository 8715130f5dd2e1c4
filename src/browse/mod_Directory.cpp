#include "browse/mod_Directory.h"

#include "common/mod__HelperFunctions.h"

namespace veltrane {

std::string WithTrailingBackslash(std::string_view folderPath) {
    std::string path(folderPath);
    if (path.empty() || path.back() != '\\') {
        path.push_back('\\');
    }
    return path;
}

void ListSubFolders(const FolderAccess& folders, std::string_view folderPath,
                    ScratchList& scratch) {
    const std::string prefix = WithTrailingBackslash(folderPath);
    const auto entries = folders.Find(prefix + "*");
    if (!entries) {
        return;
    }
    for (const auto& entry : *entries) {
        const std::string name = CutAtNul(entry.name);
        const std::uint32_t bits = folders.Attributes(prefix + name);
        if ((bits & kAttrDirectory) != 0 && (bits & kAttrHidden) == 0) {
            scratch.Add(prefix + name);
        }
    }
}

void ListFiles(const FolderAccess& folders, std::string_view folderPath, std::string_view pattern,
               RowList& fileList) {
    const auto entries = folders.Find(WithTrailingBackslash(folderPath) + std::string(pattern));
    if (!entries) {
        return;
    }
    for (const auto& entry : *entries) {
        const std::string_view name = BeforeNul(entry.name);
        if ((entry.attributes & kAttrDirectory) != 0) {
            continue;
        }
        fileList.AddRow(name);
    }
}

void TreeView1_NodeClick(FolderTree& ctx, RowList& fileList, NodeId node, NodeId& tActualNode,
                         std::string& sActualPath) {
    tActualNode = node;
    ctx.scratch.Clear();
    fileList.Clear();
    const std::string path = NodeFolderPath(ctx.tree, node);
    sActualPath = path;
    ListFiles(ctx.folders, path, "*.mp3", fileList);
}

}  // namespace veltrane
