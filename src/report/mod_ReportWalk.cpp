#include "report/mod_ReportWalk.h"

#include "platform/mod__DriveAPI.h"
#include "report/mod_ReportFormat.h"

namespace veltrane {

namespace {

std::string Joined(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

// False once found asked to stop.
bool WalkFolder(const std::string& folder, bool recursive,
                const std::function<bool(WalkStep)>& found) {
    std::string error;
    const auto entries = ReadHostFolder(folder, "*", error);
    if (!entries) {
        return found({"", "cannot read folder " + VisibleText(folder) + ": " + error});
    }
    for (const auto& entry : *entries) {
        if (entry.regular && MatchesPattern(entry.name, "*.mp3") &&
            !found({Joined(folder, entry.name), ""})) {
            return false;
        }
    }
    if (!recursive) {
        return true;
    }
    for (const auto& entry : *entries) {
        if (entry.folder && !entry.link && entry.name[0] != '.' &&
            !WalkFolder(Joined(folder, entry.name), recursive, found)) {
            return false;
        }
    }
    return true;
}

}  // namespace

void WalkFiles(const std::vector<std::string>& paths, bool recursive,
               const std::function<bool(WalkStep)>& found) {
    for (const auto& path : paths) {
        if (IsHostFolder(path) ? !WalkFolder(path, recursive, found) : !found({path, ""})) {
            return;
        }
    }
}

}  // namespace veltrane
