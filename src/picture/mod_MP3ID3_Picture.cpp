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
#include <optional>

#include "common/mod__HelperFunctions.h"

namespace veltrane {

namespace {

struct PictureFault {
    std::string description;
};

// BM, zero-one, GIF, JPEG (JFIF), PNG: a picture starts where the first of them begins.
bool SignatureAt(std::string_view four) {
    return four.substr(0, 2) == "BM" || four.substr(0, 2) == std::string_view("\x00\x01", 2) ||
           four.substr(0, 3) == "GIF" || four == "\xFF\xD8\xFF\xE0" || four == "\x89PNG";
}

std::string JoinFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Finds the picture in the frame data in one pass, holding no more of it than the MIME type
// and the last four bytes: index 0 the text encoding, the MIME type up to the zero byte z, the
// picture type, the description up to the next zero byte d (z + 2 when there is none), then
// the picture from the first signature at or after d. Without "image" in the MIME type the
// picture is everything from z + 2 on.
class PictureScan {
  public:
    static constexpr std::size_t kMaxMime = 4096;

    // Takes the next bytes; false once the start is settled and nothing more is needed.
    bool Add(std::string_view chunk) {
        for (const char c : chunk) {
            const std::uint64_t i = seen_++;
            last_ = {last_[1], last_[2], last_[3], c};
            if (!z_) {
                if (i >= 1 && c == '\0') {
                    z_ = i;
                    isImage_ = FindIgnoringCase(mime_, "image") != std::string::npos;
                } else if (i >= 1) {
                    if (mime_.size() == kMaxMime) {
                        throw PictureFault{
                            "the picture frame's MIME type is longer than 4096 bytes"};
                    }
                    mime_.push_back(c);
                }
                continue;
            }
            if (!isImage_) {
                return false;
            }
            if (!d_ && i >= *z_ + 2 && c == '\0') {
                d_ = i;
            }
            if (i >= *z_ + 5 && SignatureAt(std::string_view(last_.data(), last_.size()))) {
                const std::uint64_t j = i - 3;
                fromZ2_ = fromZ2_.value_or(j);
                if (d_ && j >= *d_) {
                    fromD_ = j;
                    return false;
                }
            }
        }
        return true;
    }

    const std::string& Mime() const { return mime_; }
    // Where the picture starts once every byte was seen (or Add said it was settled).
    std::uint64_t Start() const {
        if (!z_) {
            throw PictureFault{"the picture frame has no end of its MIME type"};
        }
        if (!isImage_) {
            return *z_ + 2;
        }
        const auto start = d_ ? fromD_ : fromZ2_;
        if (!start) {
            throw PictureFault{"no picture signature before the end of the frame"};
        }
        return *start;
    }

  private:
    std::uint64_t seen_ = 0;
    std::array<char, 4> last_{};  // the bytes i - 3 to i
    std::string mime_;
    bool isImage_ = false;
    std::optional<std::uint64_t> z_, d_, fromZ2_, fromD_;
};

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
        // The frame's bytes as far as the file holds them; what they inflate to is read twice,
        // once to find the picture and once to write it, and never held whole in memory.
        const std::int64_t dataAt = picture->FrameFileOffset + 10;
        const std::int64_t held =
            std::clamp<std::int64_t>(input->Size() - dataAt, 0, std::max(picture->Size, 0));
        const bool compressed = (formatFlags & 0x80U) != 0;
        const std::uint64_t limit =
            compressed ? kMaxInflatedPicture : static_cast<std::uint64_t>(held);
        PictureScan scan;
        FrameData scanned(bytes, dataAt, held, compressed, limit);
        std::string chunk(
            static_cast<std::size_t>(std::min<std::uint64_t>(FrameData::kChunk, scanned.MaxSize())),
            '\0');
        for (std::size_t n; (n = scanned.Read(chunk)) > 0;) {
            if (!scan.Add(std::string_view(chunk).substr(0, n))) {
                break;
            }
        }
        const std::uint64_t start = scan.Start();
        bool isImage = false;
        outName = PictureFileName(folder, scan.Mime(), isImage);
        // Something standing under the picture's name is the "Cannot Write" case, told clearer.
        if (const auto problem = files.ReplaceProblem(outName, path)) {
            messages.Show(*problem, "GetPicture", MessageIcon::Information);
            return kPictureFailed;
        }
        const auto output = files.CreateWrite(outName);
        if (!output) {
            messages.Show("Cannot Write\r\nmay be file is in use by another application",
                          "GetPicture", MessageIcon::Information);
            return kPictureFailed;
        }
        FrameData data(bytes, dataAt, held, compressed, limit);
        std::uint64_t at = 0;
        std::uint64_t written = 0;
        for (std::size_t n; (n = data.Read(chunk)) > 0; at += n) {
            const std::uint64_t skip = std::min<std::uint64_t>(n, start - std::min(start, at));
            if (!output->Write(std::string_view(chunk).substr(skip, n - skip))) {
                throw PictureFault{"the picture file could not be written completely"};
            }
            written += n - skip;
        }
        if (written == 0) {
            throw PictureFault{"the picture frame holds no picture data"};
        }
        if (data.OverLimit()) {
            throw PictureFault{"the picture inflates to more than " +
                               std::to_string(kMaxInflatedPicture >> 20) + " MiB"};
        }
        if (!output->Commit()) {
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
