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

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: veltrane-make-samples FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);

    Write(folder, "no-tags.mp3", Audio(20));

    Write(folder, "id3v1.mp3",
          Audio(20) + Id3v1({"Sample Title", "Sample Artist", "Sample Album", "2026",
                             "ID3v1.1 with a track", 7, 17}));

    Write(
        folder, "id3v22.mp3",
        Id3v2(2, Frame22("TT2", Text("A version 2.2 title")) +
                     Frame22("TP1", Text("Sample Artist")) + Frame22("TAL", Text("Sample Album")) +
                     Frame22("TYE", Text("1999")) + Fill(64)) +
            Audio(20));

    const std::string picture = Bytes({0xFF, 0xD8, 0xFF, 0xE0}) + Fill(60, '\x11');
    Write(folder, "id3v23.mp3",
          Id3v2(3, Frame23("TIT2", Text("Sample Title")) + Frame23("TPE1", Text("Sample Artist")) +
                       Frame23("COMM", Text(std::string("eng") + '\0' + "A comment")) +
                       Frame23("TLEN", Text("215000")) + Frame23("PCNT", BigEndian(258, 4)) +
                       CompressedFrame23("TXXX", Text(std::string("Mood") + '\0' + "Calm")) +
                       Frame23("TCOP", Text("2026 Veltrane")) +
                       Frame23("APIC", ApicData("image/jpeg", "cover", picture)) + Fill(128)) +
              Audio(20) +
              Id3v1({"Sample Title", "Sample Artist", "Sample Album", "2026", "", 1, 13}));

    Write(folder, "lyrics3.mp3",
          Audio(20) +
              Lyrics3v2({{"IND", "10"},
                         {"LYR", "First line\r\nSecond line"},
                         {"AUT", "Sample Author"},
                         {"ETT", "Sample Title"}}) +
              Id3v1({"Sample Title", "Sample Artist", "Sample Album", "2026", "", 2, 8}));
    return 0;
}
