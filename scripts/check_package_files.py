# SPDX-License-Identifier: MIT
"""Checks files from the packages that the package stages cannot check with
the shell tools alone. Prints what is wrong and exits 1 if anything is.

  check_package_files.py png-sizes ICON_THEME_DIR
      every SIZExSIZE/apps/tavrino.png in the theme is SIZE pixels wide and
      high, and there is at least one
  check_package_files.py pe-version EXE VERSION
      the version resource of EXE says VERSION (MAJOR.MINOR.PATCH), in its
      fixed part and in its FileVersion and ProductVersion strings
  check_package_files.py registry-left BEFORE AFTER
      AFTER, a registry exported (reg export) after an uninstall, holds the
      keys and values of BEFORE, exported before the install, and nothing
      else but the empty keys Windows Installer keeps for itself
"""
import re
import struct
import sys
from pathlib import Path


def png_sizes(theme):
    """Width and height are big-endian 32-bit numbers at byte 16, in the IHDR
    chunk that every PNG starts with."""
    count = 0
    for folder in sorted(Path(theme).glob("*x*/apps")):
        icon = folder / "tavrino.png"
        if not icon.is_file():
            continue
        size = int(folder.parent.name.split("x")[0])
        width, height = struct.unpack(">II", icon.read_bytes()[16:24])
        if (width, height) != (size, size):
            return f"{icon} is {width}x{height}"
        count += 1
    return None if count else "no PNG icons"


# The fixed part of a version resource starts with this signature; after it
# come the structure version, then FILEVERSION as two 32-bit numbers, each
# holding two 16-bit ones: minor, major, build, patch in file order.
kFixedFileInfoSignature = struct.pack("<I", 0xFEEF04BD)
# Strings of the resource: four or more printable ASCII characters in UTF-16LE.
kUtf16String = re.compile(rb"(?:[\x20-\x7e\t]\x00){4,}")


def pe_version(exe, version):
    data = Path(exe).read_bytes()
    at = data.find(kFixedFileInfoSignature)
    if at < 0:
        return "no version resource"
    minor, major, build, patch = struct.unpack_from("<4H", data, at + 8)
    fixed = f"{major}.{minor}.{patch}"
    if fixed != version:
        return f"FILEVERSION {fixed}.{build}"
    # Each key string is followed by its value.
    strings = [s.decode("utf-16-le") for s in kUtf16String.findall(data)]
    keys = ("FileVersion", "ProductVersion")
    values = [strings[i + 1] for i, s in enumerate(strings[:-1])
              if s in keys and strings[i + 1] not in keys]
    if values != [version, version]:
        return "version strings: " + "\n".join(values)
    return None


# Windows Installer's own bookkeeping, which it creates on first use and
# leaves behind, empty, when the last product goes.
kInstallerKeys = (
    "HKEY_LOCAL_MACHINE\\Software\\Classes\\Installer",
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer",
)


def read_registry(path):
    """{key: {value name: data}} of a .reg file as reg export writes it:
    UTF-16 with a byte-order mark, a line "[KEY]" before each key's values,
    long data continued on the next line after a backslash."""
    keys = {}
    values = None
    lines = Path(path).read_text(encoding="utf-16").splitlines()
    i = 0
    while i < len(lines):
        line = lines[i]
        while line.endswith("\\") and i + 1 < len(lines):
            i += 1
            line = line[:-1] + lines[i].lstrip()
        i += 1
        if line.startswith("[") and line.endswith("]"):
            values = keys.setdefault(line[1:-1], {})
        elif values is not None and (line.startswith('"') or line.startswith("@=")):
            name, data = split_value(line)
            values[name] = data
    return keys


def split_value(line):
    """The name and the data of a value line: @=DATA, or "NAME"=DATA with \\
    and \" escaped in NAME."""
    if line.startswith("@="):
        return "@", line[2:]
    end = 1
    while end < len(line) and line[end] != '"':
        end += 2 if line[end] == "\\" else 1
    return line[:end + 1], line[end + 2:]


def registry_left(before, after):
    old, new = read_registry(before), read_registry(after)
    problems = []
    for key, values in new.items():
        if key not in old:
            if values or not key.lower().startswith(tuple(k.lower() for k in kInstallerKeys)):
                problems.append(f"left: [{key}] {values}")
        elif values != old[key]:
            changed = {name: data for name, data in values.items() if old[key].get(name) != data}
            lost = sorted(set(old[key]) - set(values))
            problems.append(f"changed: [{key}] {changed} lost {lost}")
    problems += [f"lost: [{key}]" for key in old if key not in new]
    return "\n".join(problems) or None


def main(argv):
    commands = {
        "png-sizes": (png_sizes, 1),
        "pe-version": (pe_version, 2),
        "registry-left": (registry_left, 2),
    }
    if len(argv) < 2 or argv[1] not in commands or len(argv) - 2 != commands[argv[1]][1]:
        sys.exit(__doc__)
    problem = commands[argv[1]][0](*argv[2:])
    if problem:
        print(problem)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
