#!/usr/bin/env bash
# Makes the hostile files of the memory benchmark in FOLDER, with the sample generator's
# builder where bytes matter: hostile_files.sh SEEDS_TOOL FOLDER
set -euo pipefail
seeds_tool="$1"
folder="$2"
rm -rf "$folder"
mkdir -p "$folder"
"$seeds_tool" --seeds "$folder/seeds" >/dev/null
cp "$folder"/seeds/seed-tag-past-end.mp3 "$folder/tag-500mb-past-end.mp3"
# A compressed frame and a compressed picture that declare 4 GiB.
cp "$folder"/seeds/seed-frame-4gib.mp3 "$folder/frame-4gib.mp3"
cp "$folder"/seeds/seed-picture-4gib.mp3 "$folder/picture-4gib.mp3"
: > "$folder/empty.mp3"
mkfifo "$folder/fifo.mp3"
ln -s /dev/zero "$folder/device.mp3"
mkdir "$folder/folder.mp3"
cp "$folder"/seeds/seed-values.mp3 "$folder/with space.mp3"
cp "$folder"/seeds/seed-values.mp3 "$folder/it's \"quoted\".mp3"
cp "$folder"/seeds/seed-values.mp3 "$folder/$(printf 'bad\377\376.mp3')"
cp "$folder"/seeds/seed-values.mp3 "$folder/back\\slash.mp3"
cp "$folder"/seeds/id3v23.mp3 "$folder/sparse-3gib.mp3"
truncate -s 3G "$folder/sparse-3gib.mp3"
rm -rf "$folder/seeds"
