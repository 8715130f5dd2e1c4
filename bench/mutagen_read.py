#!/usr/bin/python3
"""Reads the tags of each file named with mutagen (python3-mutagen), as a script that lists
them does: every ID3v2 frame as text, the APEv2 items. The yardstick for --inspect."""
import sys

import mutagen.apev2
import mutagen.id3

entries = 0
for path in sys.argv[1:]:
    try:
        tag = mutagen.id3.ID3(path)
        for frame in tag.values():
            str(frame)
            entries += 1
    except mutagen.id3.ID3NoHeaderError:
        pass
    except Exception:
        pass
    try:
        ape = mutagen.apev2.APEv2(path)
        entries += len(ape)
    except Exception:
        pass
print(f"{entries} entries")
