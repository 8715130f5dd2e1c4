#include "report/mod_ReportWalk.h"

#include "platform/mod__DriveAPI.h"
#include "report/mod_ReportFormat.h"

namespace veltrane {

namespace {

std::string Joined(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

void WalkFolder(const std::string& folder, bool recursive, WalkResult& result) {
    std::string error;
    const auto entries = ReadHostFolder(folder, "*", error);
    if (!entries) {
        result.problems.push_back("cannot read folder " + VisibleText(folder) + ": " + error);
        return;
    }
    for (const auto& entry : *entries) {
        if (entry.regular && MatchesPattern(entry.name, "*.mp3")) {
            result.files.push_back(Joined(folder, entry.name));
        }
    }
    if (!recursive) {
        return;
    }
    for (const auto& entry : *entries) {
        if (entry.folder && !entry.link && entry.name[0] != '.') {
            WalkFolder(Joined(folder, entry.name), recursive, result);
        }
    }
}

}  // namespace

WalkResult CollectFiles(const std::vector<std::string>& paths, bool recursive) {
    WalkResult result;
    for (const auto& path : paths) {
        if (IsHostFolder(path)) {
            WalkFolder(path, recursive, result);
        } else {
            result.files.push_back(path);
        }
    }
    return result;
}

}  // namespace veltrane
