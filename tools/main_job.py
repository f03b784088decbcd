#!/usr/bin/python3
"""The whole chain on a sample installation, under Wine.

Lays out an installation with the three programs and the stand-ins, a folder
configuration and a staged update; starts the receiving server on 127.0.0.1;
runs the loader, which installs the update and starts the launcher, which starts
the stand-in application; the application fails and starts the reporter, which
this script then drives as a user would. Prints what happened, step by step,
and exits non-zero when any step did not happen.
usage: main_job.py BIN_FOLDER SCREENSHOT_FOLDER
Needs WINEPREFIX, DISPLAY and a running wineserver (see tests/wine-env.sh).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
import zipfile

WINE = "/usr/lib/wine/wine64"
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SERVER = os.path.join(ROOT, "tests", "tools", "report_server.py")
CAPTION = "Vantelo Problem Reporter"
PORT = int(os.environ.get("VANTELO_REPORT_PORT", "18080"))
DESCRIPTION = "It froze\r\nwhen I clicked"

steps = []


def step(ok, text):
    steps.append((bool(ok), text))
    print(("  ok    " if ok else "  FAIL  ") + text, flush=True)
    return ok


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def linux_path(path):
    """A Windows path under the prefix's drives, as a path of this machine."""
    drive, rest = path[0].lower(), path[2:].replace("\\", "/")
    return os.path.realpath(os.path.join(os.environ["WINEPREFIX"], "dosdevices", drive + ":")) + rest


def drive(*arguments, timeout=60):
    result = subprocess.run([WINE, DRIVER] + [str(a) for a in arguments], capture_output=True, text=True,
                            timeout=timeout + 30)
    return result.returncode == 0, result.stdout.strip()


def screenshot(rectangle, path):
    left, top, right, bottom = (int(v) for v in rectangle.split())
    geometry = f"{right - left}x{bottom - top}+{left}+{top}"
    subprocess.run(["import", "-window", "root", "-crop", geometry, "+repage", path], check=True,
                   capture_output=True)
    return path


def union(first, second):
    a, b = [int(v) for v in first.split()], [int(v) for v in second.split()]
    return f"{min(a[0], b[0])} {min(a[1], b[1])} {max(a[2], b[2])} {max(a[3], b[3])}"


def lay_out_installation(bin_folder, install):
    programs = ["VanteloLoader.exe", "vantelo.exe", "vantelo.dll", "VanteloProblemReporter.exe", "Network.dll",
                "VanteloLite.exe"]
    os.makedirs(install)
    for name in programs:
        shutil.copy(os.path.join(bin_folder, name), install)
    with open(os.path.join(install, "readme.txt"), "w") as f:
        f.write("Vantelo 8.3 notes\n")
    with open(os.path.join(install, "paths.dat"), "w") as f:
        f.write("""<?xml version="1.0" encoding="UTF-8"?>
<paths>
  <path name="vantelo-folder" path="%APP%" type="1"/>
  <path name="user-settings-folder" path="%APP%user" type="1"/>
  <path name="new" path="%APP%new" type="1"/>
  <path name="backup-files-folder" path="%APP%backup" type="1"/>
  <path name="channel-images-folder" path="%APP%channel-images" type="1"/>
  <path name=".png" path="channel-images-folder" type="2"/>
</paths>
""")
    os.makedirs(os.path.join(install, "user"))
    with open(os.path.join(install, "user", "user-paths.dat"), "w") as f:
        f.write("""<?xml version="1.0" encoding="UTF-8"?>
<paths>
  <path name="channel-images-folder" path="%APP%user\\channel-images" type="1"/>
</paths>
""")
    new = os.path.join(install, "new")
    os.makedirs(new)
    with open(os.path.join(new, "readme.txt"), "w") as f:
        f.write("Vantelo 8.4 notes\n")
    with open(os.path.join(new, "channel-logo.png"), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + bytes(range(256)) * 4)
    with open(os.path.join(new, "update.cmp"), "wb") as f:
        f.write(b"compressed leftovers")
    with open(os.path.join(new, "check.dat"), "w") as f:
        f.write("ready\n")


def main():
    global DRIVER
    bin_folder, shots = sys.argv[1], os.path.abspath(sys.argv[2])
    DRIVER = windows_path(os.path.join(bin_folder, "vtdrive.exe"))
    os.makedirs(shots, exist_ok=True)
    work = tempfile.mkdtemp(prefix="vantelo-main-")
    install = os.path.join(work, "install")
    reports = os.path.join(work, "reports")
    record = os.path.join(work, "application.txt")
    server = None
    try:
        print("1. Sample installation")
        lay_out_installation(bin_folder, install)
        step(True, f"laid out {install} with a staged update in new\\ (readme.txt, channel-logo.png, update.cmp, check.dat)")

        print("2. Receiving server")
        started = subprocess.run([sys.executable, SERVER, "start", "--storage", reports, "--port", str(PORT),
                                  "--lifetime", "600", "--fresh"], capture_output=True, text=True)
        server = reports
        # Slow enough that the upload can be seen under way.
        with open(os.path.join(reports, "mode.txt"), "w") as f:
            f.write("mode=slow\ndelay=30\npiece=65536\n")
        step(started.returncode == 0, f"listening on 127.0.0.1:{PORT}, storing reports in {reports}")

        print("3. Loader, launcher and application")
        environment = dict(os.environ, VANTELO_RECORD=windows_path(record), VANTELO_APP_CRASH="1",
                           VANTELO_APP_SECONDS="2")
        loader = subprocess.run([WINE, windows_path(os.path.join(install, "VanteloLoader.exe")), "/sample", "run"],
                                env=environment, cwd=work, timeout=120)
        step(loader.returncode == 0, f"VanteloLoader.exe exited with status {loader.returncode}")
        installed = os.path.join(install, "readme.txt")
        step(open(installed).read() == "Vantelo 8.4 notes\n", "readme.txt installed beside the loader")
        backup = os.path.join(install, "backup", "readme.txt")
        step(os.path.exists(backup) and open(backup).read() == "Vantelo 8.3 notes\n",
             "the replaced readme.txt backed up to backup\\readme.txt")
        step(os.path.exists(os.path.join(install, "user", "channel-images", "channel-logo.png")),
             "channel-logo.png routed by its extension to the channel-images folder of user-paths.dat")
        step(not os.path.exists(os.path.join(install, "update.cmp")) and not os.listdir(os.path.join(install, "new")),
             "update.cmp dropped, new\\ left empty")
        step(os.path.exists(os.path.join(install, "check.dat")), "the marker check.dat ended up beside the loader")

        for _ in range(200):
            if os.path.exists(record):
                break
            time.sleep(0.1)
        received = {}
        if os.path.exists(record):
            for line in open(record, encoding="latin-1"):
                key, _, value = line.rstrip("\n").partition("=")
                received[key] = value
        step(received.get("commandline", "").endswith("/sample run"),
             f"the application received the command line {received.get('commandline')!r}")
        step(received.get("instance") == received.get("program"), "and the launcher's own instance handle")
        for name in ["VTDIR", "APP", "USER_APPDATA", "APPDATA", "CSIDL_MYVIDEO"]:
            step(f"env.{name}" in received, f"and {name}={received.get('env.' + name)}")

        print("4. Crash and report")
        ok, rectangle = drive("wait", CAPTION, 110, 60000)
        step(ok, "the reporter's dialog opened")
        crash_folder = None
        for _ in range(100):
            if os.path.exists(record):
                for line in open(record, encoding="latin-1"):
                    if line.startswith("crashfolder="):
                        crash_folder = line.rstrip("\n").partition("=")[2]
            if crash_folder:
                break
            time.sleep(0.1)
        step(crash_folder is not None, f"the application wrote the crash folder {crash_folder}")
        crash_linux = linux_path(crash_folder) if crash_folder else None
        if not ok:
            return 1
        drive("settext", CAPTION, 1004, DESCRIPTION)
        dialog_shot = screenshot(rectangle, os.path.join(shots, "reporter-dialog.png"))
        drive("press", CAPTION, 110)
        step(drive("waittext", CAPTION, 110, "Stop", 20000)[0], "Send pressed: the button reads Stop")
        time.sleep(0.2)
        upload_shot = screenshot(rectangle, os.path.join(shots, "reporter-uploading.png"))
        ok, box = drive("wait", CAPTION, 0xFFFF, 120000)
        _, message = drive("text", CAPTION, 0xFFFF)
        step(ok and message.startswith("Problem Report Has Been Sent."), f"the outcome message: {message.splitlines()[0] if message else None!r}")
        _, position = drive("progress", CAPTION, 1000)
        step(position and position.split()[0] == position.split()[1], f"progress bar at the end of the archive ({position})")
        outcome_shot = screenshot(union(rectangle, box), os.path.join(shots, "reporter-sent.png")) if ok else None
        drive("press", CAPTION, 1) if ok else None
        step(drive("gone", CAPTION, 110, 30000)[0], "OK pressed: the reporter closed")
        for _ in range(100):
            if crash_linux is None or not os.path.exists(crash_linux):
                break
            time.sleep(0.1)
        step(crash_linux is not None and not os.path.exists(crash_linux) and not os.path.exists(crash_linux + ".zip"),
             "the crash folder and its archive are gone")

        print("5. What the server stored")
        index = os.path.join(reports, "index.txt")
        entries = [line.rstrip("\n").split("\t") for line in open(index)] if os.path.exists(index) else []
        step(len(entries) == 1 and entries[0][1] == "stored",
             f"{len(entries)} upload(s) received: {[e[1] + ', ' + e[2] + ' bytes' for e in entries]}")
        if entries:
            number, _, _, raw = entries[-1][:4]
            print(f"        query {raw}")
            query = dict(urllib.parse.parse_qsl(raw, keep_blank_values=True, encoding="cp1252"))
            for key in ["id", "k", "e", "b", "v", "a", "p", "r"]:
                print(f"        {key} = {query.get(key)!r}")
            step(query.get("r") == DESCRIPTION and query.get("a") == "Vantelo" and query.get("p") == "1",
                 "the description and the fixed values arrived whole")
            folder = os.path.join(reports, "reports", "%04d" % int(number))
            with zipfile.ZipFile(os.path.join(folder, "report.zip")) as archive:
                names = archive.namelist()
                bad = archive.testzip()
            for name in names:
                print(f"        archive entry {name}")
            step(bad is None and any(n.endswith("\\crashinfo.dat") for n in names)
                 and any(n.endswith("\\logs\\application.log") for n in names), "the archive holds the crash folder")

        print("6. Screenshots")
        for shot in [dialog_shot, upload_shot, outcome_shot]:
            if shot:
                print(f"        {shot}")
    finally:
        if server is not None:
            subprocess.run([sys.executable, SERVER, "stop", "--storage", reports], capture_output=True)
        shutil.rmtree(work, ignore_errors=True)

    failed = [text for ok, text in steps if not ok]
    print(f"\n{len(steps) - len(failed)} steps happened, {len(failed)} did not")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
