#!/usr/bin/env python3
"""Runs profile files written by other people through both profile layers and prints
where they differ: the native `tesvar` (our portable store) and the win64 `tesvar.exe`
(kernel32 under Wine). Exploratory, not a test: Wine differs from Windows in places
(profile-behaviour notes in the README), so every difference needs a look before it
becomes a case of our own.

    tests/tool/explore_ini_corpus.py FOLDER [--keys N] [--build-root DIR]

For each file: reads of up to N (section, key) pairs found in it (the first of each,
as the profile functions see it), a read of the section "" when keys stand above the
first header, and a Sav_Key of a new key into its first section followed by reads.
Needs `make native` and `make win64`; starts and stops the Wine test environment.
"""
import argparse
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
BLANKS = " \t\v"


def decode(raw):
    if raw.startswith(b"\xff\xfe"):
        return raw[2:].decode("utf-16-le", "replace")
    return raw.decode("gbk", "replace")


def pairs_of(text):
    """(section, key) pairs in file order, first occurrences only; None as the
    section of key lines above the first header."""
    seen, pairs, section = set(), [], None
    for line in re.split(r"\r\n|\r|\n", text):
        stripped = line.strip(BLANKS)
        if stripped.startswith("["):
            section = stripped[1:].split("]", 1)[0].strip(BLANKS)
        elif "=" in stripped and not stripped.startswith(";"):
            key = stripped.split("=", 1)[0].strip(BLANKS)
            ident = (None if section is None else section.lower(), key.lower())
            if ident not in seen and "\ufffd" not in key + (section or "") and "\0" not in key + (section or ""):
                seen.add(ident)
                pairs.append((section, key))
    return pairs


class Tools:
    def __init__(self, build_root):
        self.native = build_root / "native/src/profilectl/tool/tesvar"
        self.windows = build_root / "win64/src/profilectl/tool/tesvar.exe"
        self.env = dict(os.environ, WINE_TEST_ROOT=str(build_root / "win64/wine"))
        self.wine_env = ROOT / "tests/wine/wine-env"
        for tool in (self.native, self.windows):
            if not tool.exists():
                sys.exit(f"missing {tool}: build the native and win64 presets first")

    def run(self, windows, path, *args):
        if windows:
            command = [str(self.wine_env), "run", str(self.windows), "--buffer", "32767",
                       "Z:" + str(path).replace("/", "\\"), *args]
        else:
            command = [str(self.native), "--buffer", "32767", str(path), *args]
        done = subprocess.run(command, env=self.env, capture_output=True, stdin=subprocess.DEVNULL)
        return done.returncode, done.stdout.decode("utf-8", "replace").rstrip("\n")


def explore(tools, file, keys, scratch):
    differences = []
    text = decode(file.read_bytes())
    pairs = pairs_of(text)
    asked = [p for p in pairs if p[0] is not None][:keys]
    above = [p for p in pairs if p[0] is None][:1]
    asked += [("", key) for _, key in above]

    def compare(what, path_native, path_windows, *args):
        ours = tools.run(False, path_native, *args)
        wine = tools.run(True, path_windows, *args)
        if ours != wine:
            differences.append((what, args, ours, wine))

    for section, key in asked:
        known = section == "" and any(key == k for _, k in above)
        note = " (Wine reaches keys above the first header, Windows does not)" if known else ""
        compare("read" + note, file, file, "load", section, key)
    sections = [p[0] for p in pairs if p[0] is not None]
    if sections:
        copies = []
        for name in ("ours", "wine"):
            copy = scratch / (name + file.suffix)
            shutil.copyfile(file, copy)
            copies.append(copy)
        compare("save", copies[0], copies[1], "save", sections[0], "explore_key", "值")
        compare("read after save", copies[0], copies[1], "load", sections[0], "explore_key")
        compare("has-section after save", copies[0], copies[1], "has-section", sections[0])
        for section, key in asked[:3]:
            compare("read after save", copies[0], copies[1], "load", section, key)
    return len(asked), differences


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folder", type=pathlib.Path)
    parser.add_argument("--keys", type=int, default=6, help="reads per file (default 6)")
    parser.add_argument("--build-root", type=pathlib.Path, default=ROOT / "build")
    options = parser.parse_args()
    tools = Tools(options.build_root.resolve())
    files = sorted(p for p in options.folder.iterdir() if p.is_file() and p.name not in ("README.md", "MANIFEST.tsv"))

    subprocess.run([str(tools.wine_env), "start"], env=tools.env, check=True, stdout=subprocess.DEVNULL)
    reads = differing = 0
    try:
        with tempfile.TemporaryDirectory() as scratch:
            for file in files:
                asked, differences = explore(tools, file, options.keys, pathlib.Path(scratch))
                reads += asked
                if differences:
                    differing += 1
                    print(f"== {file.name}")
                for what, args, ours, wine in differences:
                    print(f"   {what} {args!r}\n     portable: {ours!r}\n     kernel32: {wine!r}")
                sys.stdout.flush()
    finally:
        subprocess.run([str(tools.wine_env), "stop"], env=tools.env, stdout=subprocess.DEVNULL)
    print(f"{len(files)} files, {reads} keys read, {differing} files with differences")


if __name__ == "__main__":
    main()
