// Reads the tags of each file named with TagLib, the way a program that shows them does: every
// ID3v2 frame turned into text, the APEv2 items and the ID3v1 fields; no audio properties. The
// yardstick for the report's --inspect. Prints the number of frames and items read.
#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <cstdio>

int main(int argc, char** argv) {
    unsigned long entries = 0;
    unsigned long characters = 0;
    for (int i = 1; i < argc; ++i) {
        TagLib::MPEG::File file(argv[i], false);
        if (!file.isValid()) {
            continue;
        }
        if (auto* tag = file.ID3v2Tag(false)) {
            for (const auto* frame : tag->frameList()) {
                characters += frame->toString().size();
                ++entries;
            }
        }
        if (auto* tag = file.APETag(false)) {
            for (const auto& item : tag->itemListMap()) {
                characters += item.second.toString().size();
                ++entries;
            }
        }
        if (auto* tag = file.ID3v1Tag(false)) {
            characters += tag->title().size() + tag->artist().size() + tag->album().size();
            ++entries;
        }
    }
    std::printf("%lu entries, %lu characters\n", entries, characters);
    return 0;
}
