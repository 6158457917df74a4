#!/usr/bin/env python3
"""The Debian package: CPack builds it from the finished build, dpkg -x
unpacks it into a scratch root, and the files must be where its desktop entry
and AppStream metadata say. The installed programs then run from there, and
an installed tamberlo-cli keeps its scratch file in the XDG configuration
folder rather than beside itself."""

import argparse
import glob
import gzip
import os
import re
import struct
import sys
import tempfile

from desktop import desktop_entry, metainfo, run

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--version", required=True)
    args = parser.parse_args()
    build = os.path.abspath(args.build)

    with tempfile.TemporaryDirectory(prefix="tamberlo-package-") as scratch:
        out = os.path.join(scratch, "out")
        status, text, err = run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"),
                                 "-B", out], cwd=build)
        debs = glob.glob(os.path.join(out, "*.deb"))
        if status != 0 or len(debs) != 1:
            print(text, err)
            check(False, "cpack made one package")
            return 1
        deb = debs[0]

        # The control fields: the Qt runtime libraries, never a -dev package.
        _, control, _ = run(["dpkg-deb", "--field", deb, "Package", "Version", "Depends"])
        fields = dict(line.split(": ", 1) for line in control.strip().splitlines())
        check(fields.get("Package") == "tamberlo", "package name %s" % fields.get("Package"))
        check(fields.get("Version", "").startswith(args.version + "-"), "version %s" % fields.get("Version"))
        depends = [d.strip().split()[0] for d in re.split(r"[,|]", fields.get("Depends", ""))]
        check({"libqt6core6", "libqt6gui6", "libqt6widgets6"} <= set(depends), "Qt runtime in Depends: %s" % depends)
        check(not [d for d in depends if d.endswith("-dev")], "no -dev package in Depends: %s" % depends)

        root = os.path.join(scratch, "root")
        status, _, err = run(["dpkg", "-x", deb, root])
        check(status == 0, "dpkg -x: " + err)
        usr = os.path.join(root, "usr")
        share = os.path.join(usr, "share")

        # From the AppStream metadata to the desktop entry to the programs and the icon.
        info_path = os.path.join(share, "metainfo", args.app_id + ".metainfo.xml")
        check(os.path.isfile(info_path), "metadata at " + info_path)
        if not os.path.isfile(info_path):
            return 1
        info = metainfo(info_path)
        check(info["releases"][:1] == [args.version], "release %s in the metadata" % info["releases"])
        entry_path = os.path.join(share, "applications", info["launchable"] or "")
        check(os.path.isfile(entry_path), "desktop entry at " + entry_path)
        for binary in info["binaries"]:
            path = os.path.join(usr, "bin", binary)
            check(os.path.isfile(path) and os.access(path, os.X_OK), "program " + path)
        if os.path.isfile(entry_path):
            entry = desktop_entry(entry_path)
            program = entry.get("Exec", "").split()[0]
            check(os.access(os.path.join(usr, "bin", program), os.X_OK), "Exec program %s in /usr/bin" % program)
            icons = os.path.join(share, "icons", "hicolor")
            icon = entry.get("Icon", "")
            check(os.path.isfile(os.path.join(icons, "scalable", "apps", icon + ".svg")), "scalable icon " + icon)
            for size in (16, 22, 24, 32, 48, 64, 128, 256):
                png = os.path.join(icons, "%dx%d" % (size, size), "apps", icon + ".png")
                check(os.path.isfile(png) and png_size(png) == (size, size), "icon " + png)

        for page in ("tamberlo", "tamberlo-cli"):
            path = os.path.join(share, "man", "man1", page + ".1.gz")
            try:
                with gzip.open(path, "rt", encoding="utf-8") as f:
                    check(f.read().startswith(".TH " + page.upper().replace("-", "\\-") + " 1"),
                          "manual page " + path)
            except OSError as error:
                check(False, "manual page %s: %s" % (path, error))

        # The READMEs and every picture they show.
        doc = os.path.join(share, "doc", "tamberlo")
        for readme in ("README.md", "README.zh-CN.md"):
            path = os.path.join(doc, readme)
            check(os.path.isfile(path), "guide " + path)
            if os.path.isfile(path):
                with open(path, encoding="utf-8") as f:
                    pictures = re.findall(r"!\[[^\]]*\]\(([^)]+)\)", f.read())
                check(len(pictures) >= 6, "%s shows the window and the dialogs" % readme)
                for picture in pictures:
                    check(png_size(os.path.join(doc, picture)) is not None, "%s: %s" % (readme, picture))

        # The installed programs run, against the system's Qt.
        bin_dir = os.path.join(usr, "bin")
        home = os.path.join(scratch, "home")
        config = os.path.join(scratch, "config")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=scratch)
        status, text, err = run([os.path.join(bin_dir, "tamberlo-cli"), "--version"], env=env)
        check(status == 0 and text == "tamberlo-cli %s\n" % args.version, "tamberlo-cli --version: %r %r" % (text, err))
        status, text, err = run([os.path.join(bin_dir, "tamberlo"), "-platform", "offscreen", "--version"], env=env)
        check(status == 0 and text == "tamberlo %s\n" % args.version, "tamberlo --version: %r %r" % (text, err))
        status, text, err = run([os.path.join(bin_dir, "tamberlo"), "-platform", "offscreen", "--no-such-option"],
                                env=env)
        check(status == 2 and "usage: tamberlo" in err, "tamberlo with a wrong option: %d %r" % (status, err))

        # Settings: an ID3v2 write leaves the scratch file tempv2 in the
        # program's folder, which for an installed copy is the XDG one even
        # though this bin/ is writable.
        before = sorted(os.listdir(bin_dir))
        song = os.path.join(scratch, "song.mp3")
        with open(song, "wb") as f:
            f.write(b"\xff\xfb\x90\x00" * 1024)
        status, text, err = run([os.path.join(bin_dir, "tamberlo-cli"), "v2", "--TENC", "Tamberlo", song], env=env)
        check(status == 0, "installed tamberlo-cli v2: %r %r" % (text, err))
        check(os.path.isfile(os.path.join(config, "Tamberlo", "tempv2")), "tempv2 in $XDG_CONFIG_HOME/Tamberlo")
        check(sorted(os.listdir(bin_dir)) == before, "nothing written to bin/: %s" % os.listdir(bin_dir))

    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
