// Builds a well-formed ID3v2.3 tag from the fuzzer's bytes, so that the compressed paths get real
// zlib streams: each record picks a frame, its flags and its content, and compressed frames are
// deflated here (with a declared size that may lie, and a stream that may be cut). The file then
// goes through the whole analysis and the picture export, in memory.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <zlib.h>

#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "support/Harness.h"
#include "support/Mp3Builder.h"

namespace {

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size)
        : bytes_(reinterpret_cast<const char*>(data), size) {}
    bool Empty() const { return bytes_.empty(); }
    unsigned Byte() {
        if (bytes_.empty()) {
            return 0;
        }
        const auto b = static_cast<unsigned char>(bytes_[0]);
        bytes_.remove_prefix(1);
        return b;
    }
    std::string Take(std::size_t n) {
        const std::string_view taken = bytes_.substr(0, n);
        bytes_.remove_prefix(taken.size());
        return std::string(taken);
    }

  private:
    std::string_view bytes_;
};

constexpr std::array<std::string_view, 12> kIds = {"TIT2", "TXXX", "COMM", "PCNT", "TLEN", "TSIZ",
                                                   "RBUF", "TCOP", "APIC", "APIC", "TCON", "WXXX"};
constexpr std::array<std::string_view, 6> kMimes = {"image/png", "image/jpeg",      "IMAGE/GIF",
                                                    "jpg",       "image/x/../../a", ""};
constexpr std::array<std::string_view, 5> kSignatures = {"\x89PNG", "\xFF\xD8\xFF\xE0", "GIF", "BM",
                                                         std::string_view("\x00\x01", 2)};

std::string Content(Input& in, std::string_view id) {
    const unsigned length = in.Byte();
    // A run of the content's last byte: short ones often, and now and then 128 KiB, so that data
    // is read and inflated over several chunks.
    const unsigned repeat = in.Byte();
    std::string content = in.Take(length);
    const std::size_t run = repeat == 255 && in.Byte() == 255 ? std::size_t{128} << 10 : repeat;
    content.append(run, content.empty() ? 'A' : content.back());
    if (id == "APIC") {
        return fixture::ApicData(
            kMimes[in.Byte() % kMimes.size()], in.Take(in.Byte() % 8),
            std::string(kSignatures[in.Byte() % kSignatures.size()]) + content);
    }
    return content;
}

// zlib with a small window and little memory: a valid stream for any inflater, and cheap to
// make many times an input.
std::string Deflate(std::string_view data) {
    std::string out(compressBound(static_cast<uLong>(data.size())), '\0');
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, 9, 1, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    veltrane::InitId3Definitions();
    Input in(data, size);
    std::string body;
    for (int frames = 0; !in.Empty() && frames < 64; ++frames) {
        const std::string_view id = kIds[in.Byte() % kIds.size()];
        const unsigned flags = in.Byte();
        const std::string content = Content(in, id);
        if ((flags & 0x80U) == 0) {
            body += fixture::Frame23(id, content, 0, static_cast<int>(flags & 0x40U));
            continue;
        }
        // Compressed: the declared size true or not, the stream whole or cut.
        std::string stream = Deflate(content);
        if ((flags & 0x01U) != 0) {
            stream.resize(stream.size() / 2);
        }
        const std::uint64_t declared = (flags & 0x02U) != 0 ? in.Byte() * 4096U : content.size();
        body += fixture::Frame23(id, fixture::BigEndian(declared, 4) + stream, 0,
                                 static_cast<int>(flags & 0xC0U));
    }
    fixture::Harness h;
    h.state.sActualPath = "C:";
    h.files.Put("C:\\fuzz.mp3", fixture::Id3v2(3, body) + fixture::MpegFrame());
    veltrane::AnalyseListedFile(h.state, "fuzz.mp3", h.panes, h.services);
    std::string written;
    veltrane::PictureRowClick(h.state, "APIC", h.services, "out", true, written);
    return 0;
}
