// The files a report runs over: each PATH that is a folder stands for its MP3 files, in the
// order the viewer's file list shows them, and with recursion for those of its sub-folders too.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace veltrane {

// One step of the walk: a file to analyse, or a folder that could not be read (problem holds
// the line to show, path is empty).
struct WalkStep {
    std::string path;
    std::string problem;
};

// A PATH that is a folder (a link to one given here is followed) gives its regular files
// matching "*.mp3" in any letter case (links to files count as files), sorted as the file list
// sorts them; with recursive, then each visible sub-folder's files, depth first, sub-folders
// in the folder tree's order. Links to folders inside a folder are not followed, so no loop
// can hold the walk. Any other PATH is taken as a file, as given. Each step goes to found as
// soon as it is known; the walk ends early when found returns false.
void WalkFiles(const std::vector<std::string>& paths, bool recursive,
               const std::function<bool(WalkStep)>& found);

}  // namespace veltrane
