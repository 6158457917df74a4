#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_tags into fuzz/corpus/fuzz_tags/.

Each seed is a small whole "file" named after what it exercises. Run it again
after changing a seed; regression seeds for fixed faults are added by hand
(named fix_*) and are left alone by this script.
"""

import os
import sys

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "fuzz_tags")


def size7(n):
    """Four 7-bit groups, most significant first."""
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def frame(fid, payload, size=None):
    return fid + size7(len(payload) if size is None else size) + b"\0\0" + payload


def text(fid, data, encoding=b"\0"):
    return frame(fid, encoding + data)


def header(size, version=b"\x03\x00", flags=0):
    return b"ID3" + version + bytes([flags]) + size7(size)


def tag(frames, padding=0, version=b"\x03\x00", flags=0):
    return header(len(frames) + padding, version, flags) + frames + b"\0" * padding


def v1(title=b"", artist=b"", album=b"", year=b"", comment=b"", zero=0, track=0, genre=0,
       pad=b" "):
    def field(b, w):
        return (b + pad * w)[:w]
    return (b"TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + field(year, 4) +
            field(comment, 28) + bytes([zero, track, genre]))


def gbk(s):
    return s.encode("cp936")


AUDIO = bytes([0xFF, 0xFB, 0x90, 0x64]) * 8



def mpeg_frame(head, length, body=b"", at=4):
    """A frame of `length` bytes: the four header bytes, zeros, `body` at `at`."""
    f = bytearray(head + bytes(length - 4))
    f[at:at + len(body)] = body
    return bytes(f)


JOINT128 = bytes([0xFF, 0xFB, 0x90, 0x40])  # MPEG-1 layer III, 128 kbit/s, 44.1 kHz: 417 bytes
MONO8 = bytes([0xFF, 0xE3, 0x18, 0xC0])  # MPEG-2.5 layer III, 8 kbit/s, 8 kHz: 72 bytes
LAME = b"LAME3.100" + b"\x04\xaa" + bytes(8) + b"\x14\x80" + b"\x24\x03\xe8" + bytes(12)
XING = b"Xing" + b"\0\0\0\x0f" + b"\0\0\x07\xd0" + b"\0\x0c\x35\x00" + b"\x01" * 100 + b"\0\0\0\x32"


def ape(items):
    footer = b"APETAGEX" + (2000).to_bytes(4, "little") + (len(items) + 32).to_bytes(4, "little")
    return items + footer + (1).to_bytes(4, "little") + bytes(12)


TWELVE = (text(b"TIT2", gbk("你好")) + text(b"TPE1", b"Band") + text(b"TALB", gbk("专辑")) +
          text(b"TYER", b"1999") + text(b"TCON", b"(17)") + text(b"TRCK", b"3") +
          frame(b"COMM", b"\0\0\0\0\0" + b"note") + text(b"TCOM", b"c") + text(b"TCOP", b"p") +
          text(b"TENC", b"e") + text(b"TOPE", b"o") + text(b"WXXX", b"http://x"))

SEEDS = {
    # ID3v2
    "v23_twelve_frames_and_v1": tag(TWELVE) + AUDIO + v1(gbk("标题"), b"Artist", track=3,
                                                         genre=17),
    "v23_zero_padding": tag(text(b"TIT2", b"abc"), padding=64) + AUDIO,
    "v23_size_zero_one_frame": header(0) + text(b"TIT2", b"abc"),
    "v23_duplicate_frames_unknown_id": tag(text(b"TIT2", b"one") + text(b"XXXX", b"?") +
                                           text(b"TIT2", b"two")),
    "v23_comm_with_description": tag(frame(b"COMM", b"\0eng" + b"d\0abc") +
                                     frame(b"COMM", b"\0eng")),
    "v23_wxxx_empty_description": tag(frame(b"WXXX", b"\0\0http://a.b/")),
    "v23_utf16_frame": tag(frame(b"TIT2", b"\x01\xff\xfea\0b\0")),
    "v23_truncated_frame": (header(60) + text(b"TIT2", b"abc") +
                            frame(b"TPE1", b"\0Ban", size=40)),
    "v23_frame_over_budget": tag(frame(b"TIT2", b"\0abc", size=200) + text(b"TPE1", b"b")),
    "v23_size_bytes_ff": b"ID3\x03\x00\x00\xff\xff\xff\xff" + b"TIT2\xff\xff\xff\xff\0\0\0a",
    "v23_lead_byte_encoding": tag(text(b"TALB", gbk("中"), encoding=b"\x81")),
    "v24_extended_header": (header(6 + 4 + 14, b"\x04\x00", 0x40) + size7(6) +
                            b"\x01\x00\x00\x00\x00\x00" + text(b"TIT2", b"x" * 3)),
    "v24_extended_header_huge": header(20, b"\x04\x00", 0x40) + b"\x7f\x7f\x7f\x7f" + b"\0" * 8,
    "v24_footer": (tag(text(b"TIT2", b"abc") + text(b"TPE1", b"b"), version=b"\x04\x00",
                       flags=0x10) + b"3DI\x04\x00\x10" + size7(25)),
    "v2_all_flags": tag(size7(0) + text(b"TIT2", b"abc"), flags=0xF0),
    "v2_header_only": header(0),
    "v2_lowercase_marker": b"id3\x03\x00\x00" + size7(10) + text(b"TIT2", b"a"),
    # The crafted file of a report, cut to 64 KiB: the header claims 0x0FFFFFFF
    # bytes (7F 7F 7F 7F) and one UTF-16 TIT2 fills them: "A", "B", then zeros.
    "v23_crafted_utf16_empty_values": (b"ID3\x03\x00\x00\x7f\x7f\x7f\x7f" + b"TIT2" +
                                       (0x0FFFFFFF - 10).to_bytes(4, "big") + b"\0\0" +
                                       b"\x01\xff\xfe" + "A".encode("utf-16-le") + b"\0\0" +
                                       "B".encode("utf-16-le")).ljust(65536, b"\0"),
    # Content: another format behind a tag, and a tag with text but no audio.
    "content_png_after_tag": tag(text(b"TIT2", b"t")) + b"\x89PNG\r\n\x1a\n" + b"z" * 64,
    "content_text_no_frames": tag(text(b"TIT2", b"t")) + b"plain text line\n" * 40 + v1(b"t"),
    # ID3v1
    "audio_xing_lame": mpeg_frame(JOINT128, 417, XING + LAME, 36) + mpeg_frame(JOINT128, 417) * 2,
    "audio_vbri": (mpeg_frame(JOINT128, 417, b"VBRI\0\x01\x04\x51\0\x4b" + b"\0\x04\x93\xe0" +
                              b"\0\0\x01\xf4" + bytes(8), 36) + mpeg_frame(JOINT128, 417)),
    "audio_xing_cut_by_small_frame": mpeg_frame(MONO8, 72, XING, 13) + mpeg_frame(MONO8, 72) * 3,
    "audio_ape_and_v1": tag(text(b"TIT2", b"t")) + mpeg_frame(JOINT128, 417) * 3 +
                        ape(b"x" * 40) + v1(b"t"),
    "audio_after_utf16_junk": (tag(text(b"TIT2", b"t")) + b"\xff\xfe" + b"A\0" * 100 +
                               mpeg_frame(JOINT128, 417) * 2),
    "audio_second_tag": tag(text(b"TIT2", b"a")) + tag(text(b"TIT2", b"b")) + mpeg_frame(MONO8, 72) * 3,
    "v1_only": AUDIO + v1(gbk("标题"), gbk("歌手"), b"Album", b"2001", b"comment", 0, 7, 255),
    "v1_exactly_128": v1(b"t", track=1, genre=1),
    "v1_zero_padded": AUDIO + v1(b"Title", b"Artist", pad=b"\0"),
    "v1_lowercase_marker": AUDIO + b"tag" + v1()[3:],
    "v1_old_layout_30_byte_comment": AUDIO + v1(comment=b"x" * 28, zero=ord("y"), track=ord("z")),
    "v1_cut_two_byte_char": AUDIO + v1(gbk("中") * 14 + gbk("中")[:1] + b"\x81"),
    "v1_genre_lead_byte": AUDIO + v1(b"a", genre=0x81),
    "v1_127_bytes": v1()[1:],
    # Codec
    "gbk_text": gbk("宋体字库：中文、标点，全角"),
    "gbk_euro_and_user_area": b"\x80" + b"\xaa\xa1\xfe\xfe\xa1\x40",
    "lone_lead_bytes": b"\x81" + b"abc\x81" + b"\xff\xfe" + b"\x81\x30\x81",
    "all_bytes": bytes(range(256)),
    "empty": b"",
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    print(f"{len(SEEDS)} seeds in {OUT}", file=sys.stderr)


if __name__ == "__main__":
    main()
