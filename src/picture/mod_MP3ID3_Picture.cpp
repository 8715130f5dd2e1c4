// The frame read again from the file:
//
//   offset        length  meaning
//   F             10      frame header: "APIC", size, status flags, format flags (byte 9:
//                         0x80 compressed, 0x40 encrypted)
//   F + 10        Size    frame data; compressed: 4 bytes of inflated size, then the stream
//
// Frame data, once inflated:
//
//   index         meaning
//   0             text encoding (skipped)
//   1 .. z-1      MIME type, ended by the zero byte at z
//   z + 1         picture type (not used)
//   z + 2 .. d    description, ended by the zero byte at d
//   from d on     the picture, which starts at the first picture signature
#include "picture/mod_MP3ID3_Picture.h"

#include <algorithm>
#include <array>

#include "common/mod__HelperFunctions.h"

namespace veltrane {

namespace {

struct PictureFault {
    const char* description;
};

// BM, zero-one, GIF, JPEG (JFIF), PNG: a picture starts where the first of them begins.
bool SignatureAt(std::string_view data, std::size_t j) {
    const std::string_view four = data.substr(j, 4);
    return four.substr(0, 2) == "BM" || four.substr(0, 2) == std::string_view("\x00\x01", 2) ||
           four.substr(0, 3) == "GIF" || four == "\xFF\xD8\xFF\xE0" || four == "\x89PNG";
}

std::string JoinFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

std::string PictureFileName(const std::string& folder, std::string_view mimeType, bool& isImage) {
    const auto image = FindIgnoringCase(mimeType, "image");
    isImage = image != std::string_view::npos;
    if (!isImage) {
        return JoinFolder(folder, "image.bmp");
    }
    const auto slash = mimeType.find('/', image);
    std::string extension(slash == std::string_view::npos ? mimeType : mimeType.substr(slash + 1));
    if (CompareIgnoringCase(extension, "jpeg") == 0) {
        extension = "jpg";
    }
    static constexpr std::array<std::string_view, 8> kKnown = {"jpg", "png",  "gif",  "bmp",
                                                               "tif", "tiff", "webp", "ico"};
    const bool known = std::any_of(kKnown.begin(), kKnown.end(), [&](std::string_view k) {
        return CompareIgnoringCase(extension, k) == 0;
    });
    return JoinFolder(folder, known ? "image." + extension : "image.bmp");
}

int ExportPicture(FileAccess& files, MessageBox& messages, const std::string& path,
                  const Id3v2TagHeader& header, const std::vector<Id3v2Frame>& frames,
                  const std::string& folder, std::string& outName) {
    if (header.MajorVersion < 3) {
        return kPictureNotTried;
    }
    const auto count = std::min<std::size_t>(
        static_cast<std::size_t>(std::max(header.FramesRead, 0)), frames.size());
    const auto picture =
        std::find_if(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(count),
                     [](const Id3v2Frame& f) { return f.Id == "APIC"; });
    if (picture == frames.begin() + static_cast<std::ptrdiff_t>(count)) {
        return kPictureNotTried;
    }
    const auto input = files.OpenRead(path);
    if (!input) {
        return kPictureFailed;
    }
    ByteView bytes(*input, 16 * 1024);
    const std::string frameHeader = bytes.Bytes(picture->FrameFileOffset, 10);
    if (frameHeader.substr(0, 4) != "APIC") {
        return kPictureFailed;
    }
    const auto formatFlags = static_cast<unsigned char>(frameHeader[9]);
    if ((formatFlags & 0x40U) != 0) {
        messages.Show("cannot handle encryption", "GetPicture", MessageIcon::None);
        outName.clear();
        return kPictureFailed;
    }
    try {
        // The frame's bytes as far as the file holds them: a size reaching past the end of the
        // file allocates nothing for bytes that are not there.
        const std::int64_t dataAt = picture->FrameFileOffset + 10;
        const std::int64_t held =
            std::clamp<std::int64_t>(input->Size() - dataAt, 0, std::max(picture->Size, 0));
        const bool compressed = (formatFlags & 0x80U) != 0;
        const std::string data =
            FrameData(bytes, dataAt, held, compressed,
                      compressed ? kMaxInflatedFrame : static_cast<std::uint64_t>(held))
                .ReadAll();

        const auto z = data.find('\0', 1);
        if (z == std::string::npos) {
            throw PictureFault{"the picture frame has no end of its MIME type"};
        }
        const std::string_view mime = std::string_view(data).substr(1, z - 1);
        bool isImage = false;
        outName = PictureFileName(folder, mime, isImage);
        std::size_t start = z + 2;
        if (isImage) {
            std::size_t d = data.find('\0', std::min(z + 2, data.size()));
            if (d == std::string::npos) {
                d = z + 2;
            }
            std::size_t j = d;
            for (;; ++j) {
                if (j + 3 >= data.size()) {
                    throw PictureFault{"no picture signature before the end of the frame"};
                }
                if (SignatureAt(data, j)) {
                    break;
                }
            }
            start = j;
        }
        if (start >= data.size()) {
            throw PictureFault{"the picture frame holds no picture data"};
        }
        const auto output = files.CreateWrite(outName);
        if (!output) {
            messages.Show("Cannot Write\r\nmay be file is in use by another application",
                          "GetPicture", MessageIcon::Information);
            return kPictureFailed;
        }
        if (!output->Write(std::string_view(data).substr(start))) {
            throw PictureFault{"the picture file could not be written completely"};
        }
        return kPictureWritten;
    } catch (const PictureFault& fault) {
        messages.Show(fault.description, "GetPicture", MessageIcon::None);
    } catch (const std::bad_alloc&) {
        messages.Show("Out of memory", "GetPicture", MessageIcon::None);
    }
    return kPictureFailed;
}

}  // namespace veltrane
