#!/usr/bin/python3
"""Checks the built programs as files: machine, subsystem, imports, resources.

usage: check_binaries.py BIN_FOLDER i386|amd64
The 32-bit programs cannot run on this machine, so this is how their build is checked.
"""
import struct
import sys
from xml.etree import ElementTree

import pefile

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
GUI = 2
RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_MANIFEST = 3, 5, 6, 14, 24
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


# The reporter's dialog template 103, as the table of its controls reads:
# (id, class, text, (x, y, width, height), style, extended style).
REPORTER_DIALOG_STYLE = 0x80C800C8
REPORTER_CONTROLS = [
    (1001, "static", "Vantelo has closed down due to a problem", (7, 7, 228, 20), 0x50020180, 0x20),
    (1002, "static", "We would like to send some information to the developers. Click Send to start this "
     "process which should take just a few minutes.", (7, 28, 228, 26), 0x50020100, 0x20),
    (1003, "static", "What were you doing at the time (optional):", (7, 56, 228, 8), 0x50020000, 0),
    (1004, "edit", "", (7, 65, 228, 46), 0x50A11044, 0),
    (1000, "msctls_progress32", "", (7, 119, 228, 11), 0x50800000, 0),
    (110, "button", "Send", (185, 139, 50, 14), 0x50030001, 0),
]
# Ordinals of the predefined window classes in a dialog template.
CLASS_ORDINALS = {0x80: "button", 0x81: "edit", 0x82: "static", 0x83: "listbox", 0x84: "scrollbar",
                  0x85: "combobox"}
REPORTER_ARCHITECTURES = {"i386": "X86", "amd64": "amd64"}
# The lowest Windows version of each architecture: 5.0, and 5.2 for 64 bits.
REPORTER_SUBSYSTEM_VERSIONS = {"i386": (5, 0), "amd64": (5, 2)}


class TemplateReader:
    def __init__(self, data):
        self.data = data
        self.offset = 0

    def word(self):
        value, = struct.unpack_from("<H", self.data, self.offset)
        self.offset += 2
        return value

    def dword(self):
        value, = struct.unpack_from("<I", self.data, self.offset)
        self.offset += 4
        return value

    def short(self):
        value, = struct.unpack_from("<h", self.data, self.offset)
        self.offset += 2
        return value

    def byte(self):
        value = self.data[self.offset]
        self.offset += 1
        return value

    def text(self):
        end = self.offset
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.offset:end].decode("utf-16-le")
        self.offset = end + 2
        return value

    def text_or_ordinal(self):
        """A name, an ordinal (as an int) or None for an empty field."""
        first, = struct.unpack_from("<H", self.data, self.offset)
        if first == 0:
            self.offset += 2
            return None
        if first == 0xFFFF:
            self.offset += 2
            return self.word()
        return self.text()

    def align(self):
        self.offset = (self.offset + 3) & ~3


def parse_dialog_ex(data):
    reader = TemplateReader(data)
    dialog = {"version": reader.word(), "signature": reader.word(), "help": reader.dword(),
              "exstyle": reader.dword(), "style": reader.dword()}
    count = reader.word()
    dialog["rect"] = (reader.short(), reader.short(), reader.short(), reader.short())
    dialog["menu"] = reader.text_or_ordinal()
    dialog["class"] = reader.text_or_ordinal()
    dialog["caption"] = reader.text()
    if dialog["style"] & 0x48:  # DS_SETFONT or DS_SHELLFONT
        dialog["font"] = (reader.word(), reader.word(), reader.byte(), reader.byte(), reader.text())
    controls = []
    for _ in range(count):
        reader.align()
        help_id, exstyle, style = reader.dword(), reader.dword(), reader.dword()
        rect = (reader.short(), reader.short(), reader.short(), reader.short())
        control_id = reader.dword()
        window_class = reader.text_or_ordinal()
        if isinstance(window_class, int):
            window_class = CLASS_ORDINALS.get(window_class, window_class)
        else:
            window_class = window_class.lower()
        title = reader.text_or_ordinal()
        extra = reader.word()
        reader.offset += extra
        controls.append({"help": help_id, "id": control_id, "class": window_class,
                         "text": "" if title is None else title, "rect": rect, "style": style,
                         "exstyle": exstyle})
    return dialog, controls


def string_resource(pe, string_id):
    blocks = resources(pe, RT_STRING)
    data = blocks.get(string_id // 16 + 1)
    if data is None:
        return None
    offset = 0
    for index in range(16):
        length, = struct.unpack_from("<H", data, offset)
        offset += 2
        if index == string_id % 16:
            return data[offset:offset + 2 * length].decode("utf-16-le") if length else None
        offset += 2 * length
    return None


def check_reporter_manifest(data, name, architecture):
    namespaces = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3"}
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        failures.append(f"{name}: manifest is not XML: {error}")
        return
    identity = root.find("v1:assemblyIdentity", namespaces)
    check(identity is not None and identity.get("version") == "1.0.0.0"
          and identity.get("processorArchitecture") == architecture,
          f"{name}: manifest is not version 1.0.0.0 for {architecture}")
    description = root.find("v1:description", namespaces)
    check(description is not None and description.text == "Vantelo Crash Reporter", f"{name}: manifest description")
    dependencies = [(d.get("name"), d.get("version"), d.get("processorArchitecture"))
                    for d in root.findall("v1:dependency/v1:dependentAssembly/v1:assemblyIdentity", namespaces)]
    check(dependencies == [("Microsoft.Windows.Common-Controls", "6.0.0.0", architecture)],
          f"{name}: manifest dependencies {dependencies}")
    levels = [(e.get("level"), e.get("uiAccess")) for e in root.iter("{%s}requestedExecutionLevel" % namespaces["v3"])]
    check(levels == [("asInvoker", "false")], f"{name}: manifest execution levels {levels}")


def check_reporter(pe, name, machine):
    dialogs = resources(pe, RT_DIALOG)
    if 103 not in dialogs:
        failures.append(f"{name}: has no dialog 103")
    else:
        dialog, controls = parse_dialog_ex(dialogs[103])
        check((dialog["version"], dialog["signature"]) == (1, 0xFFFF), f"{name}: dialog 103 is not extended")
        check(dialog["style"] == REPORTER_DIALOG_STYLE, f"{name}: dialog style {dialog['style']:#x}")
        check(dialog["exstyle"] == 0, f"{name}: dialog extended style {dialog['exstyle']:#x}")
        check(dialog["rect"] == (0, 0, 242, 160), f"{name}: dialog rectangle {dialog['rect']}")
        check(dialog["menu"] is None and dialog["class"] is None, f"{name}: dialog has a menu or a class")
        check(dialog["caption"] == "Vantelo Problem Reporter", f"{name}: dialog caption {dialog['caption']!r}")
        check(dialog.get("font") == (8, 0, 0, 1, "MS Shell Dlg"), f"{name}: dialog font {dialog.get('font')}")
        found = [(c["id"], c["class"], c["text"], c["rect"], c["style"], c["exstyle"]) for c in controls]
        check(len(found) == len(REPORTER_CONTROLS), f"{name}: dialog has {len(found)} controls")
        for expected, control in zip(REPORTER_CONTROLS, found):
            check(control == expected, f"{name}: control {control} is not {expected}")
    check(string_resource(pe, 103) == "Vantelo Problem Reporter",
          f"{name}: string 103 is {string_resource(pe, 103)!r}")
    check_reporter_manifest(resources(pe, RT_MANIFEST).get(1, b""), name, REPORTER_ARCHITECTURES[machine])
    version = (pe.OPTIONAL_HEADER.MajorSubsystemVersion, pe.OPTIONAL_HEADER.MinorSubsystemVersion)
    check(version == REPORTER_SUBSYSTEM_VERSIONS[machine], f"{name}: subsystem version {version}")
    check(not hasattr(pe, "VS_VERSIONINFO"), f"{name}: has a version block")


def main():
    folder, machine = sys.argv[1], sys.argv[2]
    launcher = check_program(folder, "vantelo.exe", machine, [101, 102], 101)
    if launcher is not None:
        check(not hasattr(launcher, "VS_VERSIONINFO"), "vantelo.exe: has a version block")
    loader = check_program(folder, "VanteloLoader.exe", machine, [112, 113], 112)
    if loader is not None:
        check_loader_version(loader, "VanteloLoader.exe")
    reporter = check_program(folder, "VanteloProblemReporter.exe", machine, [107, 108], 107)
    if reporter is not None:
        check_reporter(reporter, "VanteloProblemReporter.exe", machine)
    for message in failures:
        print("FAIL", message)
    print(f"{'checked' if not failures else 'failed'}: {folder}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
