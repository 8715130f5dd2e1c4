#include "display/mod_showMP3_Data.h"

#include <string>

#include "common/mod__HelperFunctions.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"

namespace veltrane {

namespace {

void AddPair(ListPane& pane, std::string_view item, std::string_view value) {
    const int row = pane.AddRow(item);
    pane.SetSubItem(row, 1, value);
}

const char* BoolText(bool value) {
    return value ? "True" : "False";
}

}  // namespace

std::string GenreName(std::uint8_t genre) {
    if (genre < GenreNames.size()) {
        return std::string(GenreNames[genre]);
    }
    return " unknown ";
}

void ShowID1(ListPane& pane, const Id3v1Tag& tag) {
    pane.Clear();
    if (!tag.Present) {
        AddPair(pane, "NO", "TAG FOUND");
        return;
    }
    AddPair(pane, "Artist", tag.Artist);
    AddPair(pane, "Album", tag.Album);
    AddPair(pane, "Year", tag.Year);
    AddPair(pane, "Track", std::to_string(tag.Track));
    AddPair(pane, "Title", tag.Title);
    AddPair(pane, "Comment", tag.Comment);
    AddPair(pane, "Genre", GenreName(tag.Genre));
}

void ShowLyrics(TextPane& pane, const LyricsTag& tag) {
    if (!tag.Present) {
        pane.SetText(" NO LYRICS FOUND");
        return;
    }
    const std::string br = "\r\n";
    pane.SetText("Author : " + tag.Author + br +  //
                 "Artist : " + tag.Artist + br +  //
                 "Album : " + tag.Album + br +    //
                 "Title : " + tag.Title + br +    //
                 "Image : " + tag.Image + br +    //
                 "INFO : " + br + tag.Information + "LYRICS " + br + tag.Lyrics);
}

void ShowId3v2(ListPane& pane, MessageBox& messages, const Id3v2TagHeader& header,
               const std::vector<Id3v2Frame>& frames) {
    pane.Clear();
    pane.SetSorting(false, 0);
    if (header.FramesRead <= 0) {
        const int row = pane.AddRow("NO");
        pane.SetSubItem(row, 1, "NO");
        pane.SetSubItem(row, 2, "ID3 INFORMATION FOUND");
        return;
    }
    const int versionRow = pane.AddRow("");
    pane.SetSubItem(versionRow, 1, "    ID3 Version");
    pane.SetSubItem(versionRow, 2, std::to_string(header.MajorVersion));
    const auto count =
        std::min<std::size_t>(static_cast<std::size_t>(header.FramesRead), frames.size());
    for (std::size_t i = 0; i < count; ++i) {
        const Id3v2Frame& frame = frames[i];
        const int row = pane.AddRow(frame.Id);
        pane.SetSubItem(row, 1, LookupFrameDescription(header.MajorVersion, frame.Id).value_or(""));
        if (frame.Id == "APIC") {
            pane.SetSubItem(row, 2,
                            "AVAILLABLE (" + std::to_string(frame.Size) +
                                ") bytes,        click this line to view");
            pane.SetCellColor(row, 2, kPureBlue);
        } else {
            pane.SetSubItem(row, 2, FormatFrameValue(messages, header, frame));
        }
    }
    pane.SetSorting(true, 1);
}

void ShowMpegHeader(ListPane& pane, const MpegHeaderInfo& info) {
    pane.Clear();
    if (info.FileSize == 0) {
        AddPair(pane, "FILE", "HAS 0 BYTE SIZE");
        return;
    }
    AddPair(pane, "Filelength", std::to_string(info.FileSize));
    AddPair(pane, "Header at",
            std::to_string(info.HeaderOffset) + "    (0x" +
                ToHexUpper(static_cast<std::uint64_t>(info.HeaderOffset)) + ")");
    AddPair(pane, "Duration", FormatDuration(info.Duration));
    AddPair(pane, "Bitrate", std::to_string(info.Bitrate));
    AddPair(pane, "Samplerate", std::to_string(info.SampleRate));
    AddPair(pane, "Framesize", std::to_string(info.FrameSize));
    AddPair(pane, "Num Frames", std::to_string(info.FrameCount));
    AddPair(pane, "VBR", BoolText(info.IsVbr));
    AddPair(pane, "Layer",
            "MPEG " + std::to_string(info.Version) + " Layer " + std::to_string(info.Layer));
    AddPair(pane, "Emphasis", EmphasisNames[info.Emphasis & 3U]);
    AddPair(pane, "Mode", ChannelModeNames[info.ChannelMode & 3U]);
    AddPair(pane, "Original", BoolText(info.OriginalBit));
    AddPair(pane, "Padding", BoolText(info.PaddingBit));
    AddPair(pane, "Private", BoolText(info.PrivateBit));
    AddPair(pane, "Protection", BoolText(info.ProtectionBit));
    AddPair(pane, "Copyright", BoolText(info.CopyrightBit));
}

}  // namespace veltrane
