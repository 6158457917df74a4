#!/usr/bin/env python3
"""Writes the texts the legacy decoder is measured on, one per line as
"kind<TAB>text" (UTF-8), to the file named on the command line.

Kinds and where their words come from (Debian packages):
  sc-title, sc-name   Simplified phrases of OpenCC's STPhrases (opencc,
                      libopencc1.1); names from common surnames and the
                      phrases' characters
  tc-title, tc-name   the same, in OpenCC's Traditional forms
  ja                  words and readings of SKK-JISYO.L (skkdic), joined by
                      particles
  ko                  words of the Korean Hunspell dictionary (hunspell-ko)
  western             words with accented letters from the French, German,
                      Spanish and Portuguese word lists (wfrench, wngerman,
                      wspanish, wportuguese)

Lengths run from 1 to 30 characters, short ones more often, as in tags.
The set is the same on every run (fixed seed). Exits 77 when a source is
missing, so callers can skip.
"""

import os
import random
import re
import subprocess
import sys
import tempfile
import unicodedata

OPENCC = "/usr/share/opencc"
SKK = "/usr/share/skk/SKK-JISYO.L"
KOREAN = "/usr/share/hunspell/ko.dic"
WORDLISTS = ["/usr/share/dict/" + n for n in ("french", "ngerman", "spanish", "portuguese")]

# Common surnames (Simplified); the Traditional forms come from OpenCC.
SURNAMES = ("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程"
            "苏魏吕丁任沈姚卢姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛闫段雷侯龙史陶黎贺顾毛郝龚邵"
            "万钱严覃武戴莫孔向汤欧阳司马上官诸葛")

COUNTS = {"sc-title": 5000, "sc-name": 1500, "tc-title": 4000, "tc-name": 1500,
          "ja": 3500, "ko": 3000, "western": 3500}


def dump(name):
    with tempfile.NamedTemporaryFile(suffix=".txt") as f:
        subprocess.run(["opencc_dict", "-i", os.path.join(OPENCC, name), "-o", f.name,
                        "-f", "ocd2", "-t", "text"], check=True, capture_output=True)
        with open(f.name, encoding="utf-8") as text:
            return [line.rstrip("\n").split("\t") for line in text if "\t" in line]


def length(rng):
    return rng.randint(1, 6) if rng.random() < 0.4 else rng.randint(1, 30)


def build(rng, words, target, sep=lambda rng: ""):
    out = rng.choice(words)
    while len(out) < target:
        out += sep(rng) + rng.choice(words)
    return out[:target].strip()


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_legacy_corpus.py OUTPUT")
    needed = [os.path.join(OPENCC, "STPhrases.ocd2"), SKK, KOREAN] + WORDLISTS
    missing = [p for p in needed if not os.path.exists(p)]
    try:
        subprocess.run(["opencc_dict", "--help"], capture_output=True)
    except OSError:
        missing.append("opencc_dict")
    if missing:
        print("missing: " + " ".join(missing) + " (bench/install_corpus_packages.sh installs them)",
              file=sys.stderr)
        sys.exit(77)

    rng = random.Random(20240614)
    phrases = dump("STPhrases.ocd2")
    simplified = [p[0] for p in phrases]
    traditional = [p[1].split(" ")[0] for p in phrases]
    to_traditional = {p[0]: p[1].split(" ")[0] for p in dump("STCharacters.ocd2")}
    sc_chars = [c for p in simplified for c in p]

    han = re.compile(r"^[\u3041-\u30ff\u4e00-\u9fff\u3005]+$")
    ja_words = []
    with open(SKK, encoding="euc-jp", errors="replace") as f:
        for line in f:
            if line.startswith(";") or " /" not in line:
                continue
            reading, cands = line.split(" /", 1)
            for cand in cands.split("/"):
                cand = cand.split(";")[0]
                if han.match(cand):
                    ja_words.append(cand)
            if han.match(reading) and rng.random() < 0.3:
                ja_words.append(reading)
    particles = ["の", "に", "は", "を", "と", "が", "も", "で", "へ", ""]

    hangul = re.compile(r"^[\uac00-\ud7a3]+$")
    with open(KOREAN, encoding="utf-8") as f:
        # The dictionary spells syllables as their jamo.
        ko_words = [w for w in (unicodedata.normalize("NFC", line.split("/")[0].strip()) for line in f)
                    if hangul.match(w)]

    accented, plain = [], []
    for path in WORDLISTS:
        with open(path, encoding="utf-8", errors="replace") as f:
            for w in (line.strip() for line in f):
                if not w.isalpha():
                    continue
                (plain if w.isascii() else accented).append(w)

    def western(rng, target):
        while True:
            words = []
            while len(" ".join(words)) < target:
                w = rng.choice(accented if rng.random() < 0.5 else plain)
                words.append(w.capitalize() if rng.random() < 0.5 else w)
            text = " ".join(words)[:target].strip()
            if not text.isascii():
                return text

    def name(rng, traditional_form):
        given = "".join(rng.choice(sc_chars) for _ in range(rng.choice((1, 2, 2))))
        text = rng.choice(SURNAMES) + given
        if traditional_form:
            text = "".join(to_traditional.get(c, c) for c in text)
        return text

    makers = {
        "sc-title": lambda rng, n: build(rng, simplified, n),
        "tc-title": lambda rng, n: build(rng, traditional, n),
        "sc-name": lambda rng, n: name(rng, False),
        "tc-name": lambda rng, n: name(rng, True),
        "ja": lambda rng, n: build(rng, ja_words, n, lambda rng: rng.choice(particles)),
        "ko": lambda rng, n: build(rng, ko_words, n, lambda rng: " " if rng.random() < 0.7 else ""),
        "western": western,
    }
    with open(sys.argv[1], "w", encoding="utf-8") as out:
        for kind, count in COUNTS.items():
            made = 0
            while made < count:
                text = makers[kind](rng, length(rng))
                if text and not text.isascii() and "\t" not in text:
                    out.write("%s\t%s\n" % (kind, text))
                    made += 1


main()
