// Writes the first attached picture ("APIC") of the file analysed last to a file named after
// its MIME type.
#pragma once

#include <string>
#include <vector>

#include "id3v2/mod_MP3ID3_TAG.h"
#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"

namespace veltrane {

inline constexpr int kPictureWritten = 1;
inline constexpr int kPictureFailed = -1;
inline constexpr int kPictureNotTried = 0;

// A compressed picture is written as far as this; one that inflates further is not written.
inline constexpr std::uint64_t kMaxInflatedPicture = 256 * 1024 * 1024;

// The picture file's name in folder: "image." and the extension the MIME type gives, or
// "image.bmp". Only a known picture extension is taken from the file (its letter case kept);
// anything else could name a folder outside or a type the desktop would run.
std::string PictureFileName(const std::string& folder, std::string_view mimeType, bool& isImage);

// Reads the first "APIC" frame again from path at its recorded offset and writes the picture
// into folder: into a new file that then takes the picture's name, never through what stood
// under that name, and never over path itself. Returns kPictureWritten, kPictureFailed (with at
// most one message) or kPictureNotTried (a tag below version 3). outName receives the file written.
int ExportPicture(FileAccess& files, MessageBox& messages, const std::string& path,
                  const Id3v2TagHeader& header, const std::vector<Id3v2Frame>& frames,
                  const std::string& folder, std::string& outName);

}  // namespace veltrane
