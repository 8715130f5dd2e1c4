#include "browse/mod_LoadDirs.h"

#include "browse/mod_Directory.h"
#include "common/mod__HelperFunctions.h"

namespace veltrane {

std::string_view DriveTypeImage(int type) {
    switch (type) {
        case kDriveFixed:
            return "disc";
        case kDriveRemote:
            return "net";
        case kDriveCdRom:
            return "cd";
        case kDriveRamDisk:
            return "ram";
        default:
            return "none";
    }
}

void LoadDrives(FolderTree& ctx) {
    ctx.tree.Clear();
    const std::string roots = ctx.folders.LogicalDriveStrings();
    // Four characters a drive: "C:\" and its NUL.
    for (std::size_t at = 0; at + 4 <= roots.size(); at += 4) {
        const std::string root = roots.substr(at, 3);
        const int type = ctx.folders.DriveType(root);
        if (type == kDriveRemovable) {
            continue;
        }
        const auto label = ctx.folders.VolumeLabel(root);
        const std::string volume = label ? " (" + CutAtNul(*label) + ")" : "(empty)";
        const std::string designation = root.substr(0, 2);
        const auto image = DriveTypeImage(type);
        const NodeId node = ctx.tree.AddNode(kNoNode, "Drive" + root.substr(0, 1),
                                             designation + volume, image, image);
        FillSubFolders(ctx, node, designation);
    }
}

void FillSubFolders(FolderTree& ctx, NodeId node, const std::string& folderPath) {
    ctx.scratch.Clear();
    ListSubFolders(ctx.folders, folderPath, ctx.scratch);
    const std::string prefix = WithTrailingBackslash(folderPath);
    for (int i = 0; i < ctx.scratch.Count(); ++i) {
        const std::string entry = ctx.scratch.Item(i);
        if (entry.empty()) {
            continue;
        }
        ctx.tree.AddNode(node, std::nullopt, entry.substr(std::min(prefix.size(), entry.size())),
                         "folderclosed", "folderopen");
    }
}

std::string NodeFolderPath(const TreePane& tree, NodeId node) {
    const std::string full = tree.FullPath(node);
    const auto separator = full.find('\\');
    if (separator == std::string::npos) {
        return full.substr(0, 2);
    }
    return full.substr(0, 2) + full.substr(separator);
}

void TreeView1_Expand(FolderTree& ctx, NodeId expanded) {
    NodeId child = ctx.tree.FirstChild(expanded);
    const int count = ctx.tree.ChildCount(expanded);
    for (int k = 0; k < count && child != kNoNode; ++k) {
        if (ctx.tree.ChildCount(child) == 0) {
            FillSubFolders(ctx, child, NodeFolderPath(ctx.tree, child));
        }
        child = ctx.tree.NextSibling(child);
    }
}

}  // namespace veltrane
