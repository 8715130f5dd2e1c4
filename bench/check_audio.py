#!/usr/bin/python3
"""Checks the audio inspection against independent readers: ffprobe's packet count against the
frames counted by the scan, and mutagen's duration against the duration, over the peer corpus,
the benchmark corpus and files made here with lame and ffmpeg.

    bench/check_audio.py INSPECT_AUDIO WORKDIR [FOLDER...]

INSPECT_AUDIO is bench's inspect_audio program; the made files go to WORKDIR/made. Needs the
Debian packages ffmpeg, lame and python3-mutagen (installed by bench/check_audio.sh)."""
import collections
import os
import subprocess
import sys

import mutagen.mp3


def run(*args):
    return subprocess.run(args, capture_output=True, text=True, check=False)


def make_files(folder):
    os.makedirs(folder, exist_ok=True)
    wav = os.path.join(folder, "source.wav")
    if not os.path.exists(wav):
        # A tone under noise that swells and fades, so VBR encoders vary their rates.
        run("ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
            "sine=frequency=440:duration=7.3", "-f", "lavfi", "-i",
            "anoisesrc=d=7.3:a=0.3", "-filter_complex",
            "[0][1]amix=inputs=2,volume='0.2+0.8*abs(sin(t))':eval=frame,aformat=channel_layouts=stereo",
            "-ar", "44100", wav)
    lame = {
        "lame-cbr128-stereo.mp3": ["-b", "128"],
        "lame-cbr64-mono.mp3": ["-b", "64", "-m", "m"],
        "lame-vbr2-stereo.mp3": ["-V", "2"],
        "lame-vbr5-mono.mp3": ["-V", "5", "-m", "m"],
        "lame-abr160.mp3": ["--abr", "160"],
        "lame-mpeg2-vbr4.mp3": ["-V", "4", "--resample", "22.05"],
        "lame-mpeg2-cbr64-mono.mp3": ["-b", "64", "-m", "m", "--resample", "24"],
        "lame-mpeg25-cbr32.mp3": ["-b", "32", "--resample", "11.025"],
        "lame-mpeg25-vbr-mono.mp3": ["-V", "6", "-m", "m", "--resample", "8"],
        "lame-cbr128-noheader.mp3": ["-b", "128", "-t"],
        "lame-vbr3-noheader.mp3": ["-V", "3", "-t"],
        "lame-cbr320-48k.mp3": ["-b", "320", "--resample", "48"],
        "lame-cbr96-32k-crc.mp3": ["-b", "96", "-p", "--resample", "32"],
        "lame-freeformat.mp3": ["--freeformat", "-b", "200"],
    }
    for name, options in lame.items():
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            run("lame", "--quiet", *options, wav, path)
    ffmpeg = {
        "ffmpeg-cbr192.mp3": ["-c:a", "libmp3lame", "-b:a", "192k"],
        "ffmpeg-vbr2.mp3": ["-c:a", "libmp3lame", "-q:a", "2"],
        "ffmpeg-vbr6-mono.mp3": ["-c:a", "libmp3lame", "-q:a", "6", "-ac", "1"],
        "ffmpeg-abr.mp3": ["-c:a", "libmp3lame", "-b:a", "128k", "-abr", "1"],
        "ffmpeg-vbr-noxing.mp3": ["-c:a", "libmp3lame", "-q:a", "4", "-write_xing", "0"],
        "ffmpeg-mpeg2-cbr.mp3": ["-c:a", "libmp3lame", "-b:a", "48k", "-ar", "22050"],
        "ffmpeg-mpeg25-vbr.mp3": ["-c:a", "libmp3lame", "-q:a", "5", "-ar", "12000"],
        "ffmpeg-layer2.mp3": ["-c:a", "mp2", "-b:a", "192k", "-f", "mp2"],
        "ffmpeg-layer2-mpeg2.mp3": ["-c:a", "mp2", "-b:a", "64k", "-ar", "24000", "-f", "mp2"],
        "ffmpeg-id3-tags.mp3": ["-c:a", "libmp3lame", "-q:a", "3", "-metadata", "title=T",
                                "-id3v2_version", "3", "-write_id3v1", "1"],
    }
    for name, options in ffmpeg.items():
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            run("ffmpeg", "-v", "error", "-y", "-i", wav, *options, path)
    return folder


def packets(path):
    out = run("ffprobe", "-v", "error", "-count_packets", "-select_streams", "a:0",
              "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path).stdout.strip().split(",")[0]
    return int(out) if out.isdigit() else None


def mutagen_info(path):
    try:
        info = mutagen.mp3.MP3(path).info
    except Exception as error:  # mutagen refuses some files: that is a difference to show
        return None, type(error).__name__
    return info.length, info


def main():
    tool, work = sys.argv[1], sys.argv[2]
    folders = sys.argv[3:] + [make_files(os.path.join(work, "made"))]
    files = []
    for folder in folders:
        for root, _, names in os.walk(folder):
            files += [os.path.join(root, n) for n in sorted(names) if n.endswith(".mp3")]
    ours = {}
    for scan in (True, False):
        out = run(tool, *(["--scan"] if scan else []), *files).stdout
        for line in out.splitlines():
            cells = line.split("\t")
            ours[(cells[0], scan)] = cells[1:]
    counts = collections.Counter()
    differences = []
    for path in files:
        scanned = ours.get((path, True), ["none"])
        plain = ours.get((path, False), ["none"])
        ff = packets(path)
        length, info = mutagen_info(path)
        name = os.path.relpath(path)
        counts["files"] += 1
        if scanned[0] == "none":
            counts["no audio found"] += 1
            differences.append(f"{name}: no audio found; ffprobe {ff}, mutagen {length}")
            continue
        frames, samples, seconds, mode, _, header, gapless, breaks = scanned
        frames, seconds, breaks = int(frames), float(seconds), int(breaks)
        clean = breaks == 0
        if ff is not None:
            where = "clean end" if clean else "with breaks"
            if ff == frames:
                counts[f"frames = ffprobe packets ({where})"] += 1
            else:
                counts[f"frames != ffprobe packets ({where})"] += 1
                differences.append(f"{name}: frames {frames} (breaks {breaks}), ffprobe {ff}")
        if length is None:
            counts["mutagen refuses"] += 1
            differences.append(f"{name}: mutagen refuses ({info}); our duration {seconds:.6f}")
            continue
        # One frame's time at the stream's rate: what "to one frame" allows.
        one = 1152 / info.sample_rate if info.sample_rate else 0.05
        # Where mutagen's duration is exact: a VBR header with a frame count (ours without the
        # scan goes by the same count), or a clean CBR stream (ours counted by the scan).
        counted = plain[4] == "exact"
        if counted or (clean and mode == "CBR"):
            value = float(plain[2]) if counted else seconds
            kind = "header count" if counted else "clean CBR"
            if abs(value - length) <= one + 1e-6:
                counts[f"duration = mutagen's to one frame ({kind})"] += 1
            else:
                counts[f"duration != mutagen's ({kind})"] += 1
                differences.append(
                    f"{name}: duration {value:.6f} ({kind}, header {header}, gapless {gapless}, "
                    f"breaks {breaks}), mutagen {length:.6f} ({info.bitrate_mode}, "
                    f"encoder {info.encoder_info!r})")
        else:
            counts["mutagen's duration not exact (estimate)"] += 1
            if abs(seconds - length) > one + 1e-6:
                differences.append(f"{name}: scanned duration {seconds:.6f} ({mode}, breaks "
                                   f"{breaks}), mutagen's estimate {length:.6f}")
    for key, value in sorted(counts.items()):
        print(f"{key}: {value}")
    print("differences:")
    for line in differences:
        print("  " + line)


main()
