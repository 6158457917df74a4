#!/usr/bin/env python3
"""The desktop entry, the AppStream metadata and the manual pages as the build
makes them: each passes its validator, they agree with each other, and the
manual of tamberlo-cli names every option its help does."""

import argparse
import os
import re
import sys

from desktop import desktop_entry, man_text, metainfo, run

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--desktop", required=True)
    parser.add_argument("--metainfo", required=True)
    parser.add_argument("--man", action="append", required=True)
    parser.add_argument("--cli", required=True)
    args = parser.parse_args()

    status, out, err = run(["desktop-file-validate", args.desktop])
    check(status == 0 and not (out + err).strip(), "desktop-file-validate: " + out + err)
    status, out, err = run(["appstreamcli", "validate", "--strict", "--no-net", args.metainfo])
    check(status == 0, "appstreamcli validate: " + out + err)

    entry = desktop_entry(args.desktop)
    info = metainfo(args.metainfo)
    desktop_id = os.path.basename(args.desktop)
    check(entry.get("Name[zh_CN]") == "Tamberlo MP3 标签批量修改", "Chinese name")
    check(entry.get("Comment") and entry.get("Comment[zh_CN]"), "English and Chinese comments")
    exec_words = entry.get("Exec", "").split()
    # "Open with" hands the program one path: a folder or an MP3 file.
    check(exec_words[:1] == ["tamberlo"] and "%f" in exec_words, "Exec takes one file: %s" % exec_words)
    check(set(entry.get("MimeType", "").split(";")) >= {"audio/mpeg", "inode/directory"}, "MimeType")
    check(entry.get("Categories") == "AudioVideo;Audio;", "Categories")
    check(info["id"] + ".desktop" == desktop_id, "metadata id %s names %s" % (info["id"], desktop_id))
    check(info["launchable"] == desktop_id, "launchable %s" % info["launchable"])
    check(entry.get("Icon") == info["id"], "icon named after the id")
    check(set(info["binaries"]) == {"tamberlo", "tamberlo-cli"}, "provided binaries %s" % info["binaries"])

    for page in args.man:
        status, out, err = run(["groff", "-man", "-ww", "-z", "-K", "utf8", page],
                               env=dict(os.environ, LC_ALL="C.UTF-8"))
        check(status == 0 and not err.strip(), "groff warnings in %s: %s" % (page, err))

    cli_page = [p for p in args.man if os.path.basename(p) == "tamberlo-cli.1"]
    check(len(cli_page) == 1, "the manual page of tamberlo-cli is given")
    if cli_page:
        manual = man_text(cli_page[0])
        exit_status = manual[manual.find(".SH EXIT STATUS"):]
        exit_status = exit_status[:exit_status.find(".SH", 4)]
        for code in ("0", "1", "2"):
            check(".B %s\n" % code in exit_status, "exit status %s in the manual" % code)
        status, overview, _ = run([args.cli, "help"])
        commands = re.findall(r"^  ([a-z0-9]+) ", overview, re.M)
        check(status == 0 and len(commands) >= 5, "commands of tamberlo-cli help: %s" % commands)
        for command in commands:
            status, text, _ = run([args.cli, "help", command])
            check(status == 0, "tamberlo-cli help %s" % command)
            check(re.search(r"^\.BI? \"?%s\b" % re.escape(command), manual, re.M) is not None,
                  "command %s in the manual" % command)
            for option in set(re.findall(r"--[A-Za-z0-9][A-Za-z0-9-]*", text)):
                check(option in manual, "%s %s in the manual" % (command, option))

    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
