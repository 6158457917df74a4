#!/usr/bin/env python3
"""The audio properties tamberlo-cli reads, held against mutagen's.

usage: audio_oracle.py TAMBERLO_CLI FIXTURE_FOLDER...

For every .mp3 in the folders, and for a few files made here from them
(junk and a second ID3v2 tag in front of the audio, a long headerless file,
a Xing header claiming hours), `tamberlo-cli show` must give the same
version, layer, sample rate, channel mode and VBR-or-not as mutagen, a
length within 1 s and a bitrate within 1 kbit/s. Files mutagen cannot read
are named and not compared; every file in the audio fixture folder must be
readable by both. The audio columns `tamberlo-cli list` prints for that
folder are held to the same bounds.

Works only inside a temporary folder. Exit status: 0 when everything held,
1 with one line per fault, 2 for a usage error, 77 without mutagen.
"""

import json
import os
import struct
import subprocess
import sys
import tempfile

try:
    from mutagen.mp3 import MP3, BitrateMode
except ImportError:
    print("audio_oracle: skipped, python3-mutagen is not installed")
    sys.exit(77)

VERSIONS = {"MPEG-1": 1, "MPEG-2": 2, "MPEG-2.5": 2.5}
faults = []


def fault(name, what, ours, theirs):
    line = f"FAIL {name}: {what}: tamberlo {ours!r}, mutagen {theirs!r}"
    faults.append(line)
    print(line)


def id3v2(payload_text):
    """A small ID3v2.3 tag with one TIT2 frame."""
    body = b"TIT2" + struct.pack(">I", len(payload_text) + 1) + b"\0\0\0" + payload_text
    size = len(body)
    synchsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x03\x00\x00" + synchsafe + body


def made_files(audio_folder, work):
    """Files built from the fixtures: (name, bytes)."""
    def read(name):
        with open(os.path.join(audio_folder, name), "rb") as f:
            return f.read()

    vbr = read("lame_vbr_xing_stereo_48k.mp3")
    cbr = read("lame_mpeg25_cbr8_8k.mp3")
    # UTF-16 text starts with FF FE, which with the letter after it is a
    # valid layer I frame header: a trap for a reader that trusts one header.
    junk = b"\xff\xfe" + "歌词 lyrics ".encode("utf-16-le") * 40 + bytes(300)
    made = [
        ("junk_before_vbr.mp3", id3v2(b"junk") + junk + vbr),
        ("two_tags_before_cbr.mp3", id3v2(b"one") + id3v2(b"two") + cbr),
        ("long_headerless_cbr.mp3", id3v2(b"long") + cbr * 20),
    ]
    # The Xing frame count of the VBR file (at 4 + 32 + 8 bytes: header,
    # side information, "Xing" and flags) set to three hours' worth.
    assert vbr[36:40] == b"Xing" and struct.unpack(">I", vbr[40:44])[0] & 1
    hours = 3 * 3600 * 48000 // 1152
    made.append(("xing_claims_hours.mp3", vbr[:44] + struct.pack(">I", hours) + vbr[48:]))
    paths = []
    for name, data in made:
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(data)
        paths.append(path)
    return paths


def check_list_columns(cli, folder):
    """The audio columns of `tamberlo-cli list`, as the main window shows them:
    the length as m:ss within 1 s, the bitrate within 1 kbit/s ("VBR 平均"
    exactly for a VBR or ABR file), the sample rate in kHz."""
    run = subprocess.run([cli, "list", "--recursive", "--columns", "306,401,402,403", folder],
                         capture_output=True)
    if run.returncode != 0:
        fault("list", "exit status", run.returncode, 0)
        return
    lines = run.stdout.decode("utf-8").splitlines()
    if lines[0] != "文件名\t时长\t比特率\t采样率":
        fault("list", "header", lines[0], "文件名\t时长\t比特率\t采样率")
    for line in lines[1:]:
        name, length, bitrate, rate = line.split("\t")
        info = MP3(os.path.join(folder, name)).info
        minutes, seconds = length.split(":")
        if abs(int(minutes) * 60 + int(seconds) - info.length) > 1.0:
            fault(name, "length column", length, info.length)
        vbr = info.bitrate_mode in (BitrateMode.VBR, BitrateMode.ABR)
        prefix = "VBR 平均 " if vbr else ""
        if not bitrate.startswith(prefix) or not bitrate.endswith(" kbit/s"):
            fault(name, "bitrate column", bitrate, f"{prefix}N kbit/s")
        elif abs(int(bitrate[len(prefix):-len(" kbit/s")]) * 1000 - info.bitrate) > 1000:
            fault(name, "bitrate column", bitrate, info.bitrate)
        if round(float(rate.removesuffix(" kHz")) * 1000) != info.sample_rate:
            fault(name, "sample rate column", rate, info.sample_rate)
        print(f"ok   list {name}: {length}, {bitrate}, {rate}")


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    cli, folders = sys.argv[1], sys.argv[2:]
    files = []
    for folder in folders:
        files += sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".mp3"))
    audio_folder = next((f for f in folders if os.path.basename(f.rstrip("/")) == "audio"), None)
    must_read = {p for p in files if audio_folder and p.startswith(audio_folder)}

    with tempfile.TemporaryDirectory() as work:
        if audio_folder:
            made = made_files(audio_folder, work)
            files += made
            must_read.update(made)
        run = subprocess.run([cli, "show", "--"] + files, capture_output=True)
        if run.returncode != 0:
            print(f"FAIL tamberlo-cli show exited {run.returncode}: {run.stderr.decode()}")
            return 1
        shown = {entry["path"]: entry["Audio"] for entry in json.loads(run.stdout)}

        compared = 0
        for path in files:
            name = os.path.basename(path)
            try:
                info = MP3(path).info
            except Exception as error:  # mutagen raises several kinds
                if path in must_read:
                    fault(name, "mutagen cannot read it", "-", str(error))
                else:
                    print(f"note {name}: mutagen cannot read it ({error}); not compared")
                continue
            ours = shown.get(path)
            if ours is None:
                fault(name, "audio", None, "found")
                continue
            compared += 1
            if VERSIONS[ours["Version"]] != info.version:
                fault(name, "version", ours["Version"], info.version)
            for key, theirs in (("Layer", info.layer), ("SampleRate", info.sample_rate),
                                ("ChannelMode", info.mode)):
                if ours[key] != theirs:
                    fault(name, key, ours[key], theirs)
            vbr = info.bitrate_mode in (BitrateMode.VBR, BitrateMode.ABR)
            if ours["VBR"] != vbr:
                fault(name, "VBR", ours["VBR"], str(info.bitrate_mode))
            if abs(ours["DurationMs"] / 1000 - info.length) > 1.0:
                fault(name, "length (s)", ours["DurationMs"] / 1000, info.length)
            if abs(ours["Bitrate"] * 1000 - info.bitrate) > 1000:
                fault(name, "bitrate (bit/s)", ours["Bitrate"] * 1000, info.bitrate)
            print(f"ok   {name}: {ours['Version']} layer {ours['Layer']}, "
                  f"{ours['DurationMs'] / 1000:.3f} s ({info.length:.3f}), "
                  f"{ours['Bitrate']} kbit/s ({info.bitrate / 1000:.3f})")

        if audio_folder:
            check_list_columns(cli, audio_folder)

    if compared < len(must_read):
        faults.append("FAIL fewer files compared than the audio fixtures")
    print(f"{compared} files compared, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
