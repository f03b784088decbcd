#!/usr/bin/python3
"""Measures the programs against plain references on the same machine and data.

Every figure is the median of several runs, in milliseconds, taken inside Wine
by tests/tools vtbench.exe, so that a program and its reference pay the same
costs. Prints one line per measurement and the ratio program / reference.
usage: benchmark.py BIN_FOLDER [RUNS]   (WINEPREFIX, DISPLAY and a wineserver set up)
"""
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

WINE = "/usr/lib/wine/wine64"
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SERVER = os.path.join(ROOT, "tests", "tools", "report_server.py")
PORT = 18090


def windows(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def bench(*arguments, env=None):
    result = subprocess.run([WINE, BENCH] + [str(a) for a in arguments], capture_output=True, text=True, env=env)
    if result.returncode != 0:
        raise RuntimeError(f"vtbench {' '.join(map(str, arguments))} failed: {result.stdout} {result.stderr}")
    return [float(v) for v in result.stdout.split()]


def median(values):
    return statistics.median(values)


def report(name, program, reference, unit="ms", what=("program", "reference")):
    print(f"{name:<46} {what[0]} {program:10.1f} {unit}   {what[1]} {reference:10.1f} {unit}   "
          f"ratio {program / reference:6.2f}", flush=True)


def write_data(folder, files, size, seed):
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(seed)
    text = b"".join(b"frame %06d: vantelo!renderer+0x%04x\r\n" % (i, i * 7 % 65536) for i in range(20000))
    for i in range(files):
        with open(os.path.join(folder, f"file{i:03d}.bin"), "wb") as f:
            if i % 2 == 0:
                f.write((text * (size // len(text) + 1))[:size])
            else:
                f.write(rng.randbytes(size))


def main():
    global BENCH
    bin_folder = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    BENCH = windows(os.path.join(bin_folder, "vtbench.exe"))
    work = tempfile.mkdtemp(prefix="vantelo-bench-")
    try:
        print(f"medians of {runs} runs; program first, its plain reference second\n")
        install = os.path.join(work, "install")
        os.makedirs(install)
        for name in ["VanteloLoader.exe", "vantelo.exe", "vantelo.dll", "Network.dll", "vtbench.exe"]:
            shutil.copy(os.path.join(bin_folder, name), install)
        env = dict(os.environ, VANTELO_RECORD=windows(os.path.join(work, "record.txt")))
        loader = windows(os.path.join(install, "VanteloLoader.exe"))
        launcher = windows(os.path.join(install, "vantelo.exe"))
        bare = windows(os.path.join(install, "vtbench.exe"))

        # Start-up: from the start of the loader (or of a bare program that only
        # calls CreateProcessA on the same launcher) to its end, right after the
        # launcher's process exists.
        bench("run", loader, env=env)  # warm the caches for both
        reference = median([bench("run", bare, "bare", launcher, env=env)[0] for _ in range(runs)])
        empty = median([bench("run", loader, env=env)[0] for _ in range(runs)])
        report("loader start-up, empty configuration", empty, reference, what=("loader", "bare CreateProcessA"))
        with open(os.path.join(install, "paths.dat"), "w") as f:
            f.write("<paths>\n")
            for i in range(1000):
                f.write(f'  <path name="entry-{i}" path="%APP%data\\entry-{i}"/>\n')
            f.write("</paths>\n")
        full = median([bench("run", loader, env=env)[0] for _ in range(runs)])
        report("loader start-up, 1,000 entries", full, reference, what=("loader", "bare CreateProcessA"))

        # Installation: 200 files, 100 MB in all, each replacing an installed one
        # (so each is backed up first), against CopyFileA of the same files.
        with open(os.path.join(install, "paths.dat"), "w") as f:
            f.write('<paths><path name="new" path="%APP%new" type="1"/>'
                    '<path name="backup-files-folder" path="%APP%backup" type="1"/></paths>\n')
        staged = os.path.join(work, "staged")
        write_data(staged, 200, 500 * 1024, 1)
        installed, copied = [], []
        for _ in range(runs):
            new = os.path.join(install, "new")
            shutil.rmtree(new, ignore_errors=True)
            shutil.copytree(staged, new)
            open(os.path.join(new, "check.dat"), "w").close()
            for name in os.listdir(staged):
                shutil.copy(os.path.join(staged, name), install)
            subprocess.run(["sync"])
            installed.append(bench("run", loader, env=env)[0])
            # Like the loader's, the reference's copies replace files that are there.
            target = os.path.join(work, "copies")
            if not os.path.exists(target):
                shutil.copytree(staged, target)
            copied.append(bench("copy", windows(staged), windows(target))[0])
        report("installation, 200 files of 100 MB, backups", median(installed), median(copied),
               what=("loader", "CopyFileA over them"))
        shutil.rmtree(os.path.join(work, "copies"), ignore_errors=True)

        # Packing: a 50 MB crash folder of compressible and random files, level 9.
        crash = os.path.join(work, "crash")
        write_data(crash, 25, 2 * 1024 * 1024, 2)
        packs = [bench("pack", windows(crash), windows(os.path.join(work, "crash.zip"))) for _ in range(runs)]
        deflates = [bench("deflate", windows(crash)) for _ in range(runs)]
        report("packing 50 MB at level 9", median(p[0] for p in packs), median(d[0] for d in deflates),
               what=("reporter", "zlib deflate"))
        start = time.perf_counter()
        subprocess.run(["zip", "-9", "-q", "-r", os.path.join(work, "reference.zip"), "."], cwd=crash, check=True)
        zip_ms = (time.perf_counter() - start) * 1000
        report("archive size, bytes", packs[0][1], os.path.getsize(os.path.join(work, "reference.zip")),
               unit="B ", what=("reporter", "zip -9  "))
        print(f"{'':<46} (zip -9 took {zip_ms:.0f} ms natively, outside Wine)")

        # Upload: a 50 MB archive to the receiving server on loopback.
        body = os.path.join(work, "upload.zip")
        with zipfile.ZipFile(body, "w", zipfile.ZIP_STORED) as archive:
            archive.writestr("random.bin", random.Random(3).randbytes(50 * 1024 * 1024))
        storage = os.path.join(work, "server")
        subprocess.run([sys.executable, SERVER, "start", "--storage", storage, "--port", str(PORT),
                        "--lifetime", "900", "--fresh"], check=True, capture_output=True)
        url = f"http://127.0.0.1:{PORT}/dumpreport.asp?id=bench"
        try:
            shutil.copy(os.path.join(bin_folder, "Network.dll"), work)
            uploads, curls = [], []
            for _ in range(runs):
                uploads.append(bench("upload", url, windows(body))[0])
                start = time.perf_counter()
                subprocess.run(["curl", "-s", "-o", "/dev/null", "--fail", "--data-binary", "@" + body,
                                "-H", "Content-Type: application/octet-stream", "-H", "Expect:", url], check=True)
                curls.append((time.perf_counter() - start) * 1000)
                shutil.rmtree(os.path.join(storage, "reports"), ignore_errors=True)
            report("upload of 50 MB on loopback", median(uploads), median(curls),
                   what=("Network.dll", "curl     "))
        finally:
            subprocess.run([sys.executable, SERVER, "stop", "--storage", storage], capture_output=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
