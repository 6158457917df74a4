"""Readers for the desktop files the packaging tests look at."""

import re
import subprocess
import xml.etree.ElementTree as ET


def desktop_entry(path):
    """The keys of the [Desktop Entry] group, localised keys included."""
    keys = {}
    group = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                group = line
                continue
            if group == "[Desktop Entry]" and "=" in line:
                key, value = line.split("=", 1)
                keys[key.strip()] = value.strip()
    return keys


def metainfo(path):
    root = ET.parse(path).getroot()
    return {
        "id": root.findtext("id"),
        "launchable": root.findtext("launchable[@type='desktop-id']"),
        "binaries": [b.text for b in root.findall("provides/binary")],
        "releases": [r.get("version") for r in root.findall("releases/release")],
    }


def run(args, **kwargs):
    """Runs a program, returns (exit status, stdout, stderr) as text."""
    done = subprocess.run(args, capture_output=True, text=True, timeout=120, **kwargs)
    return done.returncode, done.stdout, done.stderr


def man_text(path):
    """The manual page's source with troff's escaped dashes made plain."""
    with open(path, encoding="utf-8") as f:
        return re.sub(r"\\-", "-", f.read())
