// Writes the project's sample MP3 files into the folder given: small files made byte by byte,
// one per kind of tag, so a newcomer sees every pane filled.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "support/Mp3Builder.h"

using namespace fixture;

namespace {

std::string Audio(int frames) {
    std::string audio;
    for (int i = 0; i < frames; ++i) {
        audio += MpegFrame(418);
    }
    return audio;
}

void Write(const std::filesystem::path& folder, const std::string& name, const std::string& bytes) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

// Small variants of the test fixtures, as starting points for the fuzzer.
void WriteSeeds(const std::filesystem::path& folder) {
    const std::string png = Bytes({0x89, 'P', 'N', 'G'}) + "png";
    const std::string data = ApicData("image/png", "d", png);
    Write(folder, "seed-apic-compressed.mp3",
          Id3v2(3, CompressedFrame23("APIC", data)) + MpegFrame());
    Write(folder, "seed-apic-encrypted.mp3",
          Id3v2(3, Frame23("APIC", data, 0, 0x40)) + MpegFrame());
    Write(folder, "seed-apic-bmp.mp3", Id3v2(3, Frame23("APIC", ApicData("JPG", "", "BM"))));
    Write(folder, "seed-values.mp3",
          Id3v2(3, Frame23("TLEN", "180000") + Frame23("TSIZ", Text("4096")) +
                       Frame23("PCNT", BigEndian(258, 8)) +
                       Frame23("RBUF", Bytes({0, 0x10, 0, 1, 0, 0, 0, 0})) +
                       Frame23("TCON", Text("(17)")) + Frame23("WOAR", "http://x") +
                       Frame23("TPRO", Text("2001"))));
    Write(folder, "seed-v22-pic.mp3",
          Id3v2(2, Frame22("PIC", "PNG\x03d") + Frame22("TLE", Text("999"))));
    Write(folder, "seed-v24.mp3", Id3v2(4, Frame23("TIT2", Text("four"))) + MpegFrame());
    Write(folder, "seed-lyrics-v1.mp3", std::string(5300, 'x') + Lyrics3v1("text"));
    Write(folder, "seed-lyrics-textlike.mp3",
          std::string(5300, 'x') + "LYRICSBEGINwords" + "XXXXXABCD");
    std::string xing = MpegFrame();
    xing.replace(36, 4, "Xing");
    Write(folder, "seed-xing.mp3", xing + MpegFrame());
    Write(folder, "seed-frame-4gib.mp3",
          Id3v2(3, CompressedFrame23("TXXX", Text("declares 4 GiB"), 0xFFFFFFFFU)) + MpegFrame());
    Write(folder, "seed-picture-4gib.mp3",
          Id3v2(3, CompressedFrame23("APIC", data, 0xFFFFFFFFU)) + MpegFrame());
    // Compressed frames that inflate over several chunks, one whose stream is cut, one that
    // declares less than it holds.
    const std::string run(128 << 10, 'A');
    const std::string stream = Compress(Text(run));
    const std::string cut = Frame23(
        "TXXX", BigEndian(run.size() + 1, 4) + stream.substr(0, stream.size() / 2), 0, 0x80);
    Write(folder, "seed-compressed-runs.mp3",
          Id3v2(3, CompressedFrame23("TIT2", Text(run)) + CompressedFrame23("COMM", run, 4096) +
                       CompressedFrame23("APIC", ApicData("image/png", "", png + run)) + cut) +
              MpegFrame());
    Write(folder, "seed-tag-past-end.mp3",
          Id3v2(3, Frame23("TIT2", Text("t")), 0, Bytes({0x7F, 0x7F, 0x7F, 0x7F})));
    // Streams for the audio walk: VBR headers with the LAME extension, breaks, free format.
    Write(folder, "seed-audio-xing.mp3",
          audio::XingFrame({.frames = 4, .bytes = 2000}, audio::Lame{}, 0xF3, 0x80, 0xC4) +
              audio::Frames(2, 0xF3, 0x80, 0xC4) + "junk" + audio::Frames(2, 0xF3, 0x90, 0xC4) +
              audio::Frame(0xFB, 0x90, 0x44).substr(0, 50));
    Write(folder, "seed-audio-vbri.mp3",
          audio::VbriFrame(3, 1500) + audio::Frames(3) + audio::Frame(0xFB, 0x00, 0x44, 0x55, 300) +
              audio::Frame(0xFB, 0x00, 0x44, 0x55, 300));
}

int main(int argc, char** argv) {
    const bool seeds = argc == 3 && std::string(argv[1]) == "--seeds";
    if (argc != 2 && !seeds) {
        std::cerr << "usage: veltrane-make-samples [--seeds] FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[seeds ? 2 : 1];
    std::filesystem::create_directories(folder);
    if (seeds) {
        WriteSeeds(folder);
    }

    Write(folder, "no-tags.mp3", Audio(20));

    Write(folder, "id3v1.mp3",
          Audio(20) + Id3v1({"Sample Title", "Sample Artist", "Sample Album", "2026",
                             "ID3v1.1 with a track", 7, 17}));

    Write(
        folder, "id3v22.mp3",
        Id3v2(2, Frame22("TT2", Text("A version 2.2 title")) +
                     Frame22("TP1", Text("Sample Artist")) + Frame22("TAL", Text("Sample Album")) +
                     Frame22("TYE", Text("1999")) + Frame22("TLE", Text("60000")) +
                     Frame22("PIC", "JPG\x03" + std::string("cover") + '\0' + "...") +
                     std::string(64, '\0')) +
            Audio(20));

    // Every kind of value the pane forms, a frame without description (sorted first) and one
    // left empty.
    const std::string picture = Bytes({0xFF, 0xD8, 0xFF, 0xE0}) + std::string(60, '\x11');
    Write(folder, "id3v23.mp3",
          Id3v2(3, Frame23("TIT2", Text("Sample Title")) + Frame23("TPE1", Text("Sample Artist")) +
                       Frame23("COMM", Text(std::string("eng") + '\0' + "A comment")) +
                       Frame23("TLEN", Text("215000")) + Frame23("PCNT", BigEndian(258, 4)) +
                       CompressedFrame23("TXXX", Text(std::string("Mood") + '\0' + "Calm")) +
                       Frame23("TCOP", Text("2026 Veltrane")) +
                       Frame23("TPRO", Text("2026 Veltrane")) + Frame23("TSIZ", Text("4096")) +
                       Frame23("RBUF", Bytes({0, 0x10, 0, 1, 0, 0, 0, 0})) +
                       Frame23("TDRC", Text("2026")) + Frame23("TALB", "") + Frame23("ASPI", "") +
                       Frame23("SEEK", BigEndian(0, 4)) +
                       Frame23("APIC", ApicData("image/jpeg", "cover", picture)) +
                       std::string(128, '\0')) +
              Audio(20) +
              Id3v1({"Sample Title", "Sample Artist", "Sample Album", "2026", "", 1, 13}));

    // A version 2.4 tag, which is not read; no genre.
    Write(folder, "id3v24.mp3",
          Id3v2(4, Frame23("TIT2", Text("Version 2.4"))) + Audio(20) +
              Id3v1({"Sample Title", "", "", "", "", std::nullopt, 255}));

    Write(folder, "lyrics3.mp3",
          Audio(20) +
              Lyrics3v2({{"IND", "10"},
                         {"LYR", "First line\r\nSecond line"},
                         {"INF", "Information"},
                         {"AUT", "Sample Author"},
                         {"EAL", "Sample Album"},
                         {"EAR", "Sample Artist"},
                         {"ETT", "Sample Title"},
                         {"IMG", "cover.jpg||"}}) +
              Id3v1({"Sample Title", "Sample Artist", "Sample Album", "2026", "", 2, 8}));
    return 0;
}
