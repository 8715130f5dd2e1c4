// The drive list and the folder tree: drives as root nodes, each filled with its top-level
// folders, and every expanded node's children filled one level ahead of what is open.
#pragma once

#include <string>
#include <string_view>

#include "platform/mod__DriveAPI.h"
#include "platform/mod__Toolkit.h"

namespace veltrane {

struct FolderTree {
    TreePane& tree;
    ScratchList& scratch;  // List1
    FolderAccess& folders;
};

// The image-list key of a drive type code; removable drives are never listed.
std::string_view DriveTypeImage(int type);

// Empties the tree, then appends a node per listed drive, each filled with its folders.
void LoadDrives(FolderTree& ctx);

// Appends the visible immediate sub-folders of folderPath as children of node.
void FillSubFolders(FolderTree& ctx, NodeId node, const std::string& folderPath);

// The folder a node stands for: "C:" for a drive node, "C:\Music\Rock" for a folder node.
std::string NodeFolderPath(const TreePane& tree, NodeId node);

// Expanding a node fills each of its childless children.
void TreeView1_Expand(FolderTree& ctx, NodeId expanded);

}  // namespace veltrane
