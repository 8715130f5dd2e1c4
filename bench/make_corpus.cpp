// Writes the benchmark corpus: realistic MP3 files (a quarter of them VBR with a LAME header) with
// ID3v2.3 text frames, covers of 50 to 300 KB on a fifth of them, ID3v1.1 on most, Lyrics3 on a
// few, and some ID3v2.4 and 2.2 tags.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>

#include "support/Mp3Builder.h"

using namespace fixture;

namespace {

// A stream as encoders write it: constant bit rate frames padded so that 128 kbit/s holds at
// 44.1 kHz, or, for a variable bit rate, frames of four rates behind a Xing header with the LAME
// extension.
std::string Audio(std::mt19937& random, bool variable) {
    std::uniform_int_distribution<int> frames(250, 900);
    std::string audio;
    const int n = frames(random);
    audio.reserve(static_cast<std::size_t>(n) * 418);
    int rest = 0;
    for (int i = 0; i < n; ++i) {
        const auto r = static_cast<unsigned>(random());
        int b2 = 0x90;
        if (variable) {
            b2 = static_cast<int>(0x90 + 0x10 * ((r >> 8) % 4));
        } else {
            // 144 * 128000 / 44100 is 417.96 bytes: a frame is padded with a byte whenever
            // the fractions left over add up to one.
            rest += 144 * 128000 % 44100;
            if (rest >= 44100) {
                rest -= 44100;
                b2 |= 0x02;
            }
        }
        std::string frame = audio::Frame(0xFB, b2, 0x64, '\0');
        frame[100] = static_cast<char>(r);
        audio += frame;
    }
    if (variable) {
        audio.insert(
            0, audio::XingFrame({.frames = static_cast<std::uint32_t>(n),
                                 .bytes = static_cast<std::uint32_t>(audio.size())},
                                audio::Lame{.delay = 576, .padding = 1200}, 0xFB, 0x90, 0x64));
    }
    return audio;
}

std::string TextFrames(int index, bool v22) {
    const std::string n = std::to_string(index);
    if (v22) {
        return Frame22("TT2", Text("Title " + n)) + Frame22("TP1", Text("Artist " + n)) +
               Frame22("TAL", Text("Album")) + Frame22("TYE", Text("1999")) +
               Frame22("TRK", Text(std::to_string(index % 20 + 1))) +
               Frame22("COM", Text(std::string("eng") + '\0' + "comment " + n));
    }
    return Frame23("TIT2", Text("A song title number " + n)) +
           Frame23("TPE1", Text("Some performing artist")) +
           Frame23("TALB", Text("The album of the year")) + Frame23("TYER", Text("2004")) +
           Frame23("TRCK", Text(std::to_string(index % 20 + 1) + "/20")) +
           Frame23("TCON", Text("(17)Rock")) + Frame23("TLEN", Text("215000")) +
           Frame23("TENC", Text("an encoder 3.99")) +
           Frame23("COMM", Text(std::string("eng") + '\0' + "A comment on track " + n)) +
           Frame23("TXXX", Text(std::string("REPLAYGAIN_TRACK_GAIN") + '\0' + "-6.5 dB"));
}

// Two files of about 1 MB that inflate far beyond it: 64 compressed frames of 16 MiB each, of
// zeros and of the letter A.
void WriteInflateBombs(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    for (const char fill : {'\0', 'A'}) {
        const std::string frame = CompressedFrame23("TXXX", std::string(16U << 20, fill));
        std::string body;
        for (int i = 0; i < 64; ++i) {
            body += frame;
        }
        const std::string file = Id3v2(3, body) + MpegFrame();
        std::ofstream(folder / (fill == 'A' ? "letters.mp3" : "zeros.mp3"), std::ios::binary)
            .write(file.data(), static_cast<std::streamsize>(file.size()));
    }
}

// A library tree: folders of small tagged files, for timing the walk against the analysis.
void WriteTree(const std::filesystem::path& folder, int folders, int files) {
    for (int f = 0; f < folders; ++f) {
        const auto dir =
            folder / ("Artist " + std::to_string(f % 20)) / ("Album " + std::to_string(f));
        std::filesystem::create_directories(dir);
        for (int i = 0; i < files; ++i) {
            const std::string file = Id3v2(3, TextFrames(i, false)) + MpegFrame(418) +
                                     Id3v1({"Title", "Artist", "Album", "2004", "", i + 1, 17});
            std::ofstream(dir / ("track" + std::to_string(i) + ".mp3"), std::ios::binary)
                .write(file.data(), static_cast<std::streamsize>(file.size()));
        }
    }
}

// Files that would make memory follow the tag: one stored frame of 500 MB in a sparse file,
// and 4 million tiny frames.
void WriteMemoryHogs(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    const auto digits = [](std::uint32_t n, int bits, unsigned mask) {
        std::string out;
        for (int shift = 3 * bits; shift >= 0; shift -= bits) {
            out += static_cast<char>(n >> shift & (shift == 3 * bits ? 0xFFU : mask));
        }
        return out;
    };
    const std::uint32_t frame = 500'000'000;
    const std::string sparse = "ID3" + Bytes({3, 0, 0}) + digits(frame + 20, 7, 0x7F) + "TXXX" +
                               digits(frame, 8, 0xFF) + Bytes({0, 0}) + "\x01no end in sight";
    const auto sparsePath = folder / "stored-500mb.mp3";
    std::ofstream(sparsePath, std::ios::binary) << sparse;
    std::filesystem::resize_file(sparsePath, frame + 100);
    std::string body;
    for (int i = 0; i < 4'000'000; ++i) {
        body += Frame23("TIT2", "x");
    }
    const std::string many = "ID3" + Bytes({3, 0, 0}) +
                             digits(static_cast<std::uint32_t>(body.size()), 7, 0x7F) + body +
                             MpegFrame();
    std::ofstream(folder / "frames-4m.mp3", std::ios::binary) << many;
}

// Files of which one in four holds a compressed frame that inflates to 16 MiB: the slow files
// between quick ones.
void WriteHeavy(const std::filesystem::path& folder, int count) {
    std::filesystem::create_directories(folder);
    std::mt19937 random(20261207);
    std::string letters(16U << 20, 'A');
    for (std::size_t i = 0; i < letters.size(); i += 97) {
        letters[i] = static_cast<char>('a' + i % 26);
    }
    // Its value ends at the NUL after "Heavy": the cost is in inflating, not in printing.
    const std::string heavy = CompressedFrame23("TXXX", std::string("\0Heavy\0", 7) + letters);
    for (int i = 0; i < count; ++i) {
        const std::string body = TextFrames(i, false) + (i % 4 == 0 ? heavy : "");
        const std::string file = Id3v2(3, body) + Audio(random, false);
        char name[32];
        std::snprintf(name, sizeof name, "heavy%04d.mp3", i);
        std::ofstream(folder / name, std::ios::binary)
            .write(file.data(), static_cast<std::streamsize>(file.size()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--memory-hogs") {
        WriteMemoryHogs(argv[2]);
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "--heavy") {
        WriteHeavy(argv[2], std::stoi(argv[3]));
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--inflate-bombs") {
        WriteInflateBombs(argv[2]);
        return 0;
    }
    if (argc == 5 && std::string(argv[1]) == "--tree") {
        WriteTree(argv[2], std::stoi(argv[3]), std::stoi(argv[4]));
        return 0;
    }
    if (argc != 3) {
        std::cerr << "usage: make_corpus FOLDER COUNT | --inflate-bombs FOLDER | "
                     "--tree FOLDER FOLDERS FILES | --memory-hogs FOLDER | --heavy FOLDER COUNT\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int count = std::stoi(argv[2]);
    std::filesystem::create_directories(folder);
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> coverSize(50'000, 300'000);
    std::uniform_int_distribution<int> padding(256, 4096);
    for (int i = 0; i < count; ++i) {
        const int version = i % 20 == 7 ? 2 : (i % 10 == 3 ? 4 : 3);
        std::string body = TextFrames(i, version == 2);
        if (i % 5 == 0 && version != 2) {
            std::string cover = Bytes({0xFF, 0xD8, 0xFF, 0xE0});
            cover.resize(static_cast<std::size_t>(coverSize(random)), '\x5A');
            body += Frame23("APIC", ApicData("image/jpeg", "", cover));
        }
        body += std::string(static_cast<std::size_t>(padding(random)), '\0');
        std::string file = Id3v2(version, body) + Audio(random, i % 4 == 2);
        if (i % 25 == 11) {
            file += Lyrics3v2({{"IND", "10"}, {"LYR", "la la la\r\nla la"}, {"ETT", "Song"}});
        }
        if (i % 10 != 5) {
            file += Id3v1({"Title", "Artist", "Album", "2004", "", i % 20 + 1, 17});
        }
        char name[32];
        std::snprintf(name, sizeof name, "track%04d.mp3", i);
        std::ofstream(folder / name, std::ios::binary)
            .write(file.data(), static_cast<std::streamsize>(file.size()));
    }
    return 0;
}
