// Folder searches: the visible sub-folders of a folder, and the files matching a pattern.
#pragma once

#include <string>
#include <string_view>

#include "browse/mod_LoadDirs.h"
#include "platform/mod__DriveAPI.h"
#include "platform/mod__Toolkit.h"

namespace veltrane {

std::string WithTrailingBackslash(std::string_view folderPath);

// Appends the full path of every visible immediate sub-folder of folderPath to the scratch
// list: a directory whose hidden bit is clear, by an attribute query per entry.
void ListSubFolders(const FolderAccess& folders, std::string_view folderPath, ScratchList& scratch);

// Appends a row per matching entry that is not a directory; hidden files are listed too.
void ListFiles(const FolderAccess& folders, std::string_view folderPath, std::string_view pattern,
               RowList& fileList);

// A click on a folder node: it becomes the current folder (its node and its path, written to
// the two fields of the analysis state given) and the file list shows its MP3s. The panes and
// the analysis records stay as they are.
void TreeView1_NodeClick(FolderTree& ctx, RowList& fileList, NodeId node, NodeId& tActualNode,
                         std::string& sActualPath);

}  // namespace veltrane
