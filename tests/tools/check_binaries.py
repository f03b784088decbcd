#!/usr/bin/python3
"""Checks the built programs as files: machine, subsystem, imports, resources.

usage: check_binaries.py BIN_FOLDER i386|amd64
The 32-bit programs cannot run on this machine, so this is how their build is checked.
"""
import struct
import sys

import pefile

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
GUI = 2
RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24
# Static linking leaves only the system's own libraries to import.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll", "comctl32.dll",
               "advapi32.dll", "ws2_32.dll", "wsock32.dll", "msvcrt.dll", "shlwapi.dll"}
ICON_IMAGES = sorted([(128, 8), (48, 8), (32, 8), (24, 8), (16, 8),
                      (256, 32), (128, 32), (48, 32), (32, 32), (24, 32), (16, 32)])

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def resources(pe, type_id):
    found = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id != type_id:
            continue
        for name in entry.directory.entries:
            for language in name.directory.entries:
                data = language.data.struct
                found[name.id if name.id is not None else str(name.name)] = pe.get_data(data.OffsetToData, data.Size)
    return found


def icon_group_images(pe, group_id):
    groups = resources(pe, RT_GROUP_ICON)
    if group_id not in groups:
        return None
    data = groups[group_id]
    _, _, count = struct.unpack_from("<HHH", data, 0)
    images = []
    for i in range(count):
        width, height, _, _, _, bits, _, _ = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        images.append((width or 256, bits))
    return sorted(images)


def check_program(folder, name, machine, icon_groups, lowest_group):
    path = f"{folder}/{name}"
    try:
        pe = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as error:
        failures.append(f"{name}: cannot read: {error}")
        return None
    check(pe.FILE_HEADER.Machine == MACHINES[machine], f"{name}: machine {pe.FILE_HEADER.Machine:#x}")
    check(pe.OPTIONAL_HEADER.Subsystem == GUI, f"{name}: subsystem {pe.OPTIONAL_HEADER.Subsystem}, not GUI")
    imports = {entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    extra = {dll for dll in imports - SYSTEM_DLLS if not dll.startswith("api-ms-win-")}
    check(not extra, f"{name}: imports libraries that would have to lie beside it: {sorted(extra)}")
    for group in icon_groups:
        check(icon_group_images(pe, group) == ICON_IMAGES, f"{name}: icon group {group} is not the eleven images")
    groups = sorted(k for k in resources(pe, RT_GROUP_ICON) if isinstance(k, int))
    check(groups and groups[0] == lowest_group, f"{name}: lowest icon group is {groups[:1]}, not {lowest_group}")
    manifests = resources(pe, RT_MANIFEST)
    manifest = manifests.get(1, b"").decode("utf-8", "replace")
    check('level="asInvoker"' in manifest and 'uiAccess="false"' in manifest,
          f"{name}: manifest does not ask for asInvoker without UI access")
    return pe


LOADER_STRINGS = {
    "FileVersion": "8.4", "ProductVersion": "8.4", "PrivateBuild": "1117", "SpecialBuild": "1117",
    "ProductName": "Vantelo Loader", "InternalName": "Vantelo Loader", "OriginalFilename": "Vantelo Loader",
    "FileDescription": "Vantelo Loader Program", "Comments": "Vantelo Loader program",
}


def version_strings(pe):
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                for key, value in table.entries.items():
                    strings[key.decode("utf-8", "replace")] = value.decode("utf-8", "replace")
    return strings


def check_loader_version(pe, name):
    if not hasattr(pe, "VS_FIXEDFILEINFO"):
        failures.append(f"{name}: has no version block")
        return
    fixed = pe.VS_FIXEDFILEINFO[0]
    version = (8 << 16 | 4, 0 << 16 | 1117)
    check((fixed.FileVersionMS, fixed.FileVersionLS) == version, f"{name}: file version is not 8.4.0.1117")
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == version, f"{name}: product version is not 8.4.0.1117")
    strings = version_strings(pe)
    for key, expected in LOADER_STRINGS.items():
        check(strings.get(key) == expected, f"{name}: version string {key} is {strings.get(key)!r}, not {expected!r}")
    for key in ("CompanyName", "LegalCopyright"):
        check(strings.get(key), f"{name}: version string {key} is missing")


def main():
    folder, machine = sys.argv[1], sys.argv[2]
    launcher = check_program(folder, "vantelo.exe", machine, [101, 102], 101)
    if launcher is not None:
        check(not hasattr(launcher, "VS_VERSIONINFO"), "vantelo.exe: has a version block")
    loader = check_program(folder, "VanteloLoader.exe", machine, [112, 113], 112)
    if loader is not None:
        check_loader_version(loader, "VanteloLoader.exe")
    for message in failures:
        print("FAIL", message)
    print(f"{'checked' if not failures else 'failed'}: {folder}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
