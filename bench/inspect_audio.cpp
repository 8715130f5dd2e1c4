// Runs the audio inspection over files and prints, a line a file: the path, frames, samples,
// duration in seconds, bit rate mode, whether the duration is estimated, the VBR header's kind,
// the encoder delay and padding, and the number of breaks. The span looked at starts after
// leading ID3v2 tags and ends before ID3v1, APEv2 and Lyrics3 at the end, found crudely here
// (the report's tag inspection finds them properly). Text goes to standard output.
//   inspect_audio [--scan] [--quiet] [--notes] FILE...
#include <array>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "inspect/mod_InspectAudio.h"
#include "platform/mod__FileAPI.h"

namespace {

using namespace veltrane;

std::int64_t Number(const std::string& digits) {
    std::int64_t n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return -1;
        }
        n = n * 10 + (c - '0');
    }
    return n;
}

// [begin, end): after the leading ID3v2 tags, before the trailing ID3v1, APEv2 and Lyrics3.
std::pair<std::int64_t, std::int64_t> Span(ByteView& view) {
    std::int64_t begin = 0;
    for (;;) {
        const std::string h = view.Bytes(begin, 10);
        if (h.compare(0, 3, "ID3") != 0) {
            break;
        }
        std::int64_t size = 0;
        for (int i = 6; i < 10; ++i) {
            size = size * 128 + (static_cast<unsigned char>(h[static_cast<std::size_t>(i)]) & 0x7F);
        }
        begin += 10 + size + ((static_cast<unsigned char>(h[5]) & 0x10) != 0 ? 10 : 0);
    }
    std::int64_t end = view.Size();
    for (bool more = true; more && end > begin;) {
        more = false;
        if (end - 128 >= begin && view.Bytes(end - 128, 3) == "TAG") {
            end -= 128;
            more = true;
        }
        if (end - 32 >= begin && view.Bytes(end - 32, 8) == "APETAGEX") {
            const std::string f = view.Bytes(end - 32, 32);
            const auto le = [&](int at) {
                std::int64_t v = 0;
                for (int i = 3; i >= 0; --i) {
                    v = v * 256 + static_cast<unsigned char>(f[static_cast<std::size_t>(at + i)]);
                }
                return v;
            };
            const bool header = (le(20) & 0x80000000) != 0;
            end -= le(12) + (header ? 32 : 0);
            more = true;
        }
        if (end - 15 >= begin && view.Bytes(end - 9, 9) == "LYRICS200") {
            const std::int64_t size = Number(view.Bytes(end - 15, 6));
            if (size > 0) {
                end -= size + 15;
                more = true;
            }
        }
        if (end - 9 >= begin && view.Bytes(end - 9, 9) == "LYRICSEND") {
            const std::int64_t from = std::max(begin, end - 5100);
            const std::string tail = view.Bytes(from, static_cast<std::size_t>(end - from));
            const auto at = tail.rfind("LYRICSBEGIN");
            if (at != std::string::npos) {
                end = from + static_cast<std::int64_t>(at);
                more = true;
            }
        }
    }
    return {std::min(begin, view.Size()), std::max(std::min(begin, view.Size()), end)};
}

}  // namespace

int main(int argc, char** argv) {
    bool scan = false;
    bool quiet = false;
    bool notesToo = false;
    HostFileAccess files;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--scan") {
            scan = true;
            continue;
        }
        if (arg == "--quiet") {
            quiet = true;
            continue;
        }
        if (arg == "--notes") {
            notesToo = true;
            continue;
        }
        const auto file = files.OpenRead(arg);
        if (!file) {
            std::cerr << arg << ": cannot be opened\n";
            continue;
        }
        ByteView view(*file, 64 * 1024, 1 << 20);
        const auto [begin, end] = Span(view);
        std::vector<inspect::Region> regions;
        std::vector<inspect::Note> notes;
        const auto audio = inspect::InspectAudio(view, begin, end, scan, regions, notes);
        if (quiet) {
            continue;
        }
        out = arg;
        if (!audio) {
            out += "\tnone\n";
        } else {
            std::array<char, 32> seconds{};
            std::snprintf(seconds.data(), seconds.size(), "%.6f", audio->duration);
            out +=
                "\t" + std::to_string(audio->frames) + "\t" + std::to_string(audio->samples) +
                "\t" + seconds.data() + "\t" + audio->bitrate.mode + "\t" +
                (audio->estimated ? "estimated" : "exact") + "\t" +
                (audio->vbrHeader ? audio->vbrHeader->kind : "-") + "\t" +
                (audio->encoder ? std::to_string(audio->encoder->delay) + "+" +
                                      std::to_string(audio->encoder->padding)
                                : "-") +
                "\t" +
                std::to_string(audio->breaks.size() + static_cast<std::size_t>(audio->moreBreaks)) +
                "\n";
        }
        if (notesToo) {
            for (const auto& note : notes) {
                out += "  " + std::string(inspect::SeverityName(note.severity)) + " " +
                       std::to_string(note.offset) + " " + note.text + "\n";
            }
        }
        std::cout << out;
    }
    return 0;
}
