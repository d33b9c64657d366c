#!/usr/bin/env python3
"""Runs the benchmark programs of a Release build against their floors and
prints one table; writes it with the machine to bench/RESULTS.md. Exits 1
when a target is missed, 2 when a figure could not be measured.

    run.py --build-dir build-release [--reps N] [--only startup,remove,...]
"""
import argparse
import datetime
import glob
import hashlib
import os
import platform
import random
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
PASSWORD = "#m8qzl#*&^%$!"
# The main executable must carry the translated product name: the window
# looks for it to decide that the installation worked.
MAIN_EXE = "Tarvo高效学习法.exe"
PAYLOAD_VERSION = "1"


def log(*args):
    print(*args, file=sys.stderr, flush=True)


def median_min_max(values):
    return statistics.median(values), min(values), max(values)


def percentile(values, p):
    ordered = sorted(values)
    if not ordered:
        return 0.0
    k = (len(ordered) - 1) * p / 100.0
    lo = int(k)
    hi = min(lo + 1, len(ordered) - 1)
    return ordered[lo] + (ordered[hi] - ordered[lo]) * (k - lo)


def parse(line):
    fields = {}
    for item in line.split():
        key, _, value = item.partition("=")
        fields[key] = value
    return fields


class Runner:
    def __init__(self, build_dir, work):
        self.build_dir = build_dir
        self.bench = os.path.join(build_dir, "bench")
        self.bin = os.path.join(build_dir, "bin")
        self.work = work
        shm = "/dev/shm"
        if os.path.isdir(shm) and os.access(shm, os.W_OK):
            self.scratch = os.path.join(shm, "mirevale-bench-%d" % os.getuid())
        else:
            self.scratch = os.path.join(work, "scratch")
        os.makedirs(self.scratch, exist_ok=True)
        self.env = dict(os.environ)
        self.env["QT_QPA_PLATFORM"] = "offscreen"
        # The display of a 100 % Windows desktop. Left alone, the offscreen
        # screen claims 100 dpi, which the installer's high-DPI opt-in turns
        # into a scale of 1.04 and the floor, which has none, ignores.
        self.env["QT_FONT_DPI"] = "96"
        self.env.setdefault("QT_QPA_FONTDIR", "/usr/share/fonts")
        runtime = os.path.join(work, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        self.env["XDG_RUNTIME_DIR"] = runtime

    def program(self, *parts):
        path = os.path.join(self.bench, *parts)
        return path if os.access(path, os.X_OK) else None

    def run_probe(self, program, extra_env=None):
        """Runs a bench program in a fresh process; returns its result line."""
        env = dict(self.env)
        if extra_env:
            env.update(extra_env)
        env["MIREVALE_BENCH_T0_NS"] = str(time.monotonic_ns())
        done = subprocess.run([program], env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True, timeout=900)
        lines = [l for l in done.stdout.splitlines() if "=" in l]
        fields = parse(lines[-1]) if lines else {}
        if done.returncode != 0 or "error" in fields:
            raise RuntimeError("%s failed (%d): %s" % (os.path.basename(program),
                                                      done.returncode, done.stdout.strip()))
        return fields

    @staticmethod
    def timed(commands):
        """Wall time in ms of commands run one after the other."""
        start = time.monotonic_ns()
        for command in commands:
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        return (time.monotonic_ns() - start) / 1e6


# ---------------------------------------------------------------------------
# Generated inputs


def make_tree(root, folders=2000, files=20000, seed=7):
    """An old installation: files spread over nested folders."""
    rng = random.Random(seed)
    dirs = []
    top = 20
    for t in range(top):
        d = os.path.join(root, "part%02d" % t)
        os.makedirs(d)
        dirs.append(d)
    while len(dirs) < folders:
        parent = dirs[rng.randrange(len(dirs))]
        d = os.path.join(parent, "dir%04d" % len(dirs))
        os.makedirs(d)
        dirs.append(d)
    blob = bytes(rng.getrandbits(8) for _ in range(8192))
    for i in range(files):
        d = dirs[i % len(dirs)]
        size = rng.randrange(0, 8192)
        with open(os.path.join(d, "file%05d.dat" % i), "wb") as f:
            f.write(blob[:size])


def make_payload(folder, sevenzip, total=200_000_000, count=5000, seed=11, pack=("-mx5",),
                 keep_trees=False):
    """tarvo.cab and data.cab: about 200 MB in 5,000 files, a third of the
    bytes each text, compressible binary and incompressible binary, packed
    with the 7-Zip switches pack. keep_trees keeps the packed folders tarvo/
    and data/ for another packer."""
    stamp = os.path.join(folder, "payload.stamp")
    wanted = "%s %d %d %d" % (PAYLOAD_VERSION, total, count, seed)
    if pack != ("-mx5",) or keep_trees:
        wanted += " %s keep=%s" % (" ".join(pack), keep_trees)
    if os.path.exists(stamp) and open(stamp).read() == wanted:
        return
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    rng = random.Random(seed)
    words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 11)))
             for _ in range(6000)]
    corpus = " ".join(rng.choices(words, k=1_600_000)).encode()
    low_entropy = bytes(rng.randrange(16) * 17 for _ in range(256))

    sizes = [rng.lognormvariate(9.6, 1.2) for _ in range(count)]
    scale = total / sum(sizes)
    sizes = [max(1, int(s * scale)) for s in sizes]
    trees = {"tarvo": os.path.join(folder, "tarvo"), "data": os.path.join(folder, "data")}
    subdirs = {name: [""] + ["%s%02d/sub%d" % (name, i, i % 3) for i in range(40)]
               for name in trees}
    for i, size in enumerate(sizes):
        name = "tarvo" if i % 5 < 2 else "data"
        sub = subdirs[name][i % len(subdirs[name])]
        kind = rng.randrange(3)
        if i == 0:
            path, kind = MAIN_EXE, 1
        elif i == 1:
            path, kind = "uninstall.exe", 1
        else:
            path = os.path.join(sub, "f%04d.%s" % (i, ("txt", "bin", "pak")[kind]))
        path = os.path.join(trees[name], path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if kind == 0:
            start = rng.randrange(len(corpus) - size) if size < len(corpus) else 0
            data = corpus[start:start + size]
        elif kind == 1:
            data = os.urandom(size).translate(low_entropy)
        else:
            data = os.urandom(size)
        with open(path, "wb") as f:
            f.write(data)
    with open(os.path.join(trees["data"], "bench-data.marker"), "w") as f:
        f.write("data folder of the benchmark payload\n")
    for name, archive in (("tarvo", "tarvo.cab"), ("data", "data.cab")):
        log("  packing %s ..." % archive)
        subprocess.run([sevenzip, "a", "-t7z"] + list(pack) + ["-mhe=on", "-y", "-bd",
                        "-p" + PASSWORD, "--", os.path.join(folder, archive), "*"],
                       cwd=trees[name], check=True, stdout=subprocess.DEVNULL)
        if not keep_trees:
            shutil.rmtree(trees[name])
    with open(stamp, "w") as f:
        f.write(wanted)


# ---------------------------------------------------------------------------
# Figures


class Figure:
    def __init__(self, name, unit, installer, reference, target, kind):
        self.name, self.unit = name, unit
        self.installer, self.reference = installer, reference
        self.target, self.kind = target, kind  # kind: ratio, delta, absolute, report
        self.passed = True
        self.note = ""

    def cells(self):
        def show(stat):
            if stat is None:
                return "—"
            med, lo, hi = stat
            if lo == hi:
                return "%s %s" % (fmt(med), self.unit)
            return "%s %s (%s–%s)" % (fmt(med), self.unit, fmt(lo), fmt(hi))

        if self.kind == "ratio":
            ratio = self.installer[0] / self.reference[0]
            rel = "%.3f×" % ratio
            self.passed = ratio <= self.target
            target = "≤ %.2f×" % self.target
        elif self.kind == "delta":
            delta = self.installer[0] - self.reference[0]
            rel = "%+.1f %s" % (delta, self.unit)
            self.passed = delta <= self.target
            target = "≤ +%g %s" % (self.target, self.unit)
        elif self.kind == "value":
            rel, target = "—", "report"
        elif self.kind == "absolute":
            rel = "—"
            self.passed = self.installer[0] <= self.target if self.note != "max" else \
                self.installer[2] <= self.target
            target = "≤ %g %s%s" % (self.target, self.unit, " (every tick)" if self.note == "max" else "")
        elif self.reference is None:
            rel, target = "—", "report"
        else:
            ratio = self.installer[0] / self.reference[0]
            rel = "%.2f×" % ratio
            target = "report"
        return [self.name, show(self.installer), show(self.reference), rel, target,
                "pass" if self.passed else "**FAIL**"]


def fmt(value):
    if abs(value) >= 100:
        return "%.0f" % value
    if abs(value) >= 10:
        return "%.1f" % value
    return "%.2f" % value


def figure_startup(runner, reps, results):
    minimal, startup = runner.program("bench_minimal"), runner.program("bench_startup")
    if not minimal or not startup:
        return "bench_minimal or bench_startup not built"
    log("start-up: %d fresh processes each, interleaved" % reps)
    for program in (minimal, startup):  # warm the page cache
        runner.run_probe(program)
    inst, ref, inst_rss, ref_rss = [], [], [], []
    for _ in range(reps):
        r = runner.run_probe(minimal)
        ref.append(float(r["first_paint_ms"]))
        ref_rss.append(int(r["peak_rss_kb"]) / 1024)
        s = runner.run_probe(startup)
        inst.append(float(s["first_paint_ms"]))
        inst_rss.append(int(s["peak_rss_kb"]) / 1024)
    results["startup"] = Figure("Start-up to first painted frame", "ms",
                                median_min_max(inst), median_min_max(ref), 1.2, "ratio")
    results["minimal_rss"] = median_min_max(ref_rss)
    results["startup_rss"] = median_min_max(inst_rss)
    return None


def figure_remove(runner, reps, results):
    remover = runner.program("bench_remove")
    if not remover:
        return "bench_remove not built (the worker CXCopyThread has not landed)"
    # On a memory file system: with ext4's discard option every freed block
    # costs a synchronous discard, which drowns the deletion's own work (the
    # same for both sides, so the ratio would only say "the disk is slow").
    scratch = runner.scratch
    template = os.path.join(scratch, "tree-template")
    if not os.path.exists(os.path.join(template, "done")):
        log("removal: generating 20,000 files in 2,000 folders")
        shutil.rmtree(template, ignore_errors=True)
        make_tree(os.path.join(template, "tree"))
        open(os.path.join(template, "done"), "w").close()
    log("removal: %d runs each, interleaved" % reps)
    inst, ref = [], []
    victim = os.path.join(scratch, "tree-victim")
    for i in range(reps + 1):
        for which in ("installer", "reference"):
            shutil.rmtree(victim, ignore_errors=True)
            subprocess.run(["cp", "-a", os.path.join(template, "tree"), victim], check=True)
            subprocess.run(["sync"], check=True)
            if which == "installer":
                done = subprocess.run([remover, victim], env=runner.env, stdout=subprocess.PIPE,
                                      text=True)
                fields = parse(done.stdout.strip().splitlines()[-1] if done.stdout.strip() else "")
                if done.returncode != 0 or "remove_ms" not in fields:
                    raise RuntimeError("bench_remove failed: " + done.stdout.strip())
                value = float(fields["remove_ms"])
            else:
                value = runner.timed([["rm", "-rf", "--", victim]])
            if i > 0:  # the first round warms up
                (inst if which == "installer" else ref).append(value)
    shutil.rmtree(victim, ignore_errors=True)
    results["remove"] = Figure("Removal of an old installation (20,000 files)", "ms",
                               median_min_max(inst), median_min_max(ref), 1.15, "ratio")
    return None


def figure_install(runner, reps, results):
    installer = runner.program("install", "bench_install")
    front_end = os.path.join(runner.bin, "7z.exe")
    if not installer:
        return "bench_install not built"
    if not os.access(front_end, os.X_OK):
        return "the extractor front end build/bin/7z.exe has not landed"
    sevenzip = shutil.which("7zz") or shutil.which("7z")
    payload = os.path.join(runner.work, "payload")
    log("installation: generating the payload (cached in %s)" % payload)
    make_payload(payload, sevenzip)
    install_dir = os.path.dirname(installer)
    # The installer takes only the payload it was sealed for: copies (a link
    # is refused), then the seal written into the benchmark's program.
    for name, source in (("7z.exe", front_end), ("tarvo.cab", os.path.join(payload, "tarvo.cab")),
                         ("data.cab", os.path.join(payload, "data.cab"))):
        copy = os.path.join(install_dir, name)
        if os.path.lexists(copy):
            os.remove(copy)
        shutil.copy2(source, copy)
    subprocess.run([os.path.join(os.path.dirname(HERE), "scripts", "seal"), install_dir,
                    os.path.basename(installer)], check=True, stdout=subprocess.DEVNULL)

    root = os.path.join(runner.work, "sysroot")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    env = {"MIREVALE_SYSTEM_ROOT": root}
    log("installation: first installation (makes the copy the runs reinstall over)")
    runner.run_probe(installer, env)
    program_dir = os.path.join(root, "Program Files", "Mirevale")
    markers = glob.glob(os.path.join(root, "**", "Mirevale", "bench-data.marker"), recursive=True)
    if not os.path.exists(os.path.join(program_dir, MAIN_EXE)) or len(markers) != 1:
        return "the first installation did not produce the program and data folders"
    data_dir = os.path.dirname(markers[0])

    log("installation: %d runs each, interleaved" % reps)
    inst, ref, rss, p99s, maxes, checks, preflights = [], [], [], [], [], [], []
    for _ in range(reps):
        subprocess.run(["sync"], check=True)
        r = runner.run_probe(installer, env)
        inst.append(float(r["install_ms"]))
        if float(r.get("check_ms", -1)) >= 0:
            checks.append(float(r["check_ms"]))
        if float(r.get("preflight_ms", -1)) >= 0:
            preflights.append(float(r["preflight_ms"]))
        rss.append(int(r["peak_rss_kb"]) / 1024)
        ticks = [abs(float(t)) for t in r.get("tick_deviation_ms", "").split(",") if t]
        if ticks:
            p99s.append(percentile(ticks, 99))
            maxes.append(max(ticks))
        subprocess.run(["sync"], check=True)
        ref.append(runner.timed([
            ["rm", "-rf", "--", program_dir, data_dir],
            [sevenzip, "x", "-o" + program_dir, "-p" + PASSWORD, "-y",
             os.path.join(payload, "tarvo.cab")],
            [sevenzip, "x", "-o" + data_dir, "-p" + PASSWORD, "-y",
             os.path.join(payload, "data.cab")],
        ]))
    log("installation: %d runs refused for want of space (after the archives' check)" % reps)
    messages = []
    for _ in range(reps):
        r = runner.run_probe(installer, dict(env, MIREVALE_BENCH_DISK_FULL="1"))
        messages.append(float(r["failure_to_message_ms"]))
    results["install"] = Figure("Installation (≈200 MB, 5,000 files, over an old copy)", "ms",
                                median_min_max(inst), median_min_max(ref), 1.05, "ratio")
    if checks:
        results["check"] = Figure("of which: the archives' check before deleting", "ms",
                                  median_min_max(checks), None, 0, "value")
    if preflights:
        results["preflight"] = Figure(
            "of which: the product and space checks, and setting the old copy aside", "ms",
            median_min_max(preflights), None, 0, "value")
    results["message"] = Figure("A refused run: from the window's hearing of the worker's end to the message",
                                "ms", median_min_max(messages), None, 1000, "absolute")
    if p99s:
        results["anim_p99"] = Figure("Animation: 99th percentile of tick deviation", "ms",
                                     median_min_max(p99s), None, 30, "absolute")
        results["anim_max"] = Figure("Animation: largest tick deviation", "ms",
                                     median_min_max(maxes), None, 100, "absolute")
        results["anim_max"].note = "max"
    results["install_rss"] = median_min_max(rss)
    return None


def figure_memory(results):
    if "install_rss" not in results or "minimal_rss" not in results:
        return "needs the installation and the start-up figures"
    results["memory"] = Figure("Peak resident memory during the installation", "MB",
                               results["install_rss"], results["minimal_rss"], 20, "delta")
    return None


def figure_size(runner, results):
    installer = os.path.join(runner.bin, "MirevaleSetup")
    minimal = runner.program("bench_minimal")
    if not os.path.exists(installer) or not minimal:
        return "MirevaleSetup or bench_minimal not built"
    sizes = []
    for program in (installer, minimal):
        stripped = os.path.join(runner.work, os.path.basename(program) + ".stripped")
        subprocess.run(["strip", "-o", stripped, program], check=True)
        sizes.append(os.path.getsize(stripped) / 1e6)
    results["size"] = Figure("Executable size (stripped)", "MB", (sizes[0],) * 3,
                             (sizes[1],) * 3, None, "report")
    return None


# ---------------------------------------------------------------------------
# Windows, under Wine

# 7-Zip decodes LZMA2 on several threads only where the stream is cut into
# independent blocks: 32 MB blocks (c=32m) keep the dictionary of -mx5.
WINDOWS_PACK = ("-mx5", "-m0=lzma2:c=32m", "-mmt2")
MB = 1e6


def build_peer(payload, work):
    """The NSIS installer of the payload (bench/MirevaleNSIS.nsi), made
    again when the payload or the script changed."""
    script = os.path.join(HERE, "MirevaleNSIS.nsi")
    peer = os.path.join(work, "MirevaleNSIS.exe")
    stamp = peer + ".stamp"
    wanted = open(os.path.join(payload, "payload.stamp")).read() + " " + \
        hashlib.sha256(open(script, "rb").read()).hexdigest()
    if os.path.exists(peer) and os.path.exists(stamp) and open(stamp).read() == wanted:
        return peer
    log("windows: building the NSIS peer (makensis, solid LZMA)")
    start = time.monotonic()
    subprocess.run(["makensis", "-V2", "-INPUTCHARSET", "UTF8", "-DPAYLOAD=" + payload,
                    "-DOUTFILE=" + peer, script], check=True, stdout=subprocess.DEVNULL)
    log("  makensis took %.0f s" % (time.monotonic() - start))
    with open(stamp, "w") as f:
        f.write(wanted)
    return peer


def figure_windows(args, reps, startup_reps, results):
    build = os.path.abspath(args.windows_build_dir)
    needed = [os.path.join(build, "bin", name) for name in
              ("MirevaleSetup.exe", "7z.exe", "7za.exe")]
    needed.append(os.path.join(build, "bench", "bench_minimal.exe"))
    absent = [os.path.relpath(p, build) for p in needed if not os.path.isfile(p)]
    if absent:
        return ("the Windows build is missing in %s (%s): run scripts/build-windows, then "
                "scripts/bench" % (build, ", ".join(absent)))
    for tool in ("makensis", "wine", "wineserver", "xdotool", "x86_64-w64-mingw32-strip"):
        if not shutil.which(tool):
            return "%s not found (scripts/bench installs its packages as root)" % tool
    if not os.environ.get("DISPLAY"):
        return "no display: scripts/bench runs the Windows section under Xvfb"
    try:
        import windows
    except ImportError as e:
        return "python3-xlib is missing (%s)" % e

    work = os.path.join(build, "bench-work")
    payload = os.path.join(work, "payload")
    os.makedirs(work, exist_ok=True)
    log("windows: generating the payload (cached in %s)" % payload)
    make_payload(payload, shutil.which("7zz") or shutil.which("7z"), pack=WINDOWS_PACK,
                 keep_trees=True)
    peer = build_peer(payload, work)

    bench = windows.WindowsBench(SOURCE, build, work, log)
    bench.start(payload, peer)
    try:
        # One installation each, untimed: both must leave the same files,
        # shortcuts and Uninstall values.
        states = {}
        for which, run in (("ours", bench.install_ours), ("nsis", bench.install_nsis)):
            bench.clean(registry=True)
            run()
            states[which] = bench.installed()
        programs, data, links, values = states["ours"]
        if states["ours"] != states["nsis"]:
            return "the two installers left different installations: ours %r, NSIS %r" % (
                states["ours"], states["nsis"])
        if len(values) != 7 or len(links) != 3 or programs == 0 or data == 0:
            return "the installation is incomplete: %r" % (states["ours"],)
        log("windows: both installers leave %d + %d files, 3 shortcuts, 7 values" % (
            programs, data))

        log("windows: time to a visible window, %d fresh processes each, interleaved"
            % startup_reps)
        shown = {"ours": [], "nsis": [], "floor": []}
        for which in shown:  # warm the page cache
            bench.window_time(which)
        for _ in range(startup_reps):
            for which in shown:
                shown[which].append(bench.window_time(which))

        log("windows: installation, %d runs each, interleaved" % reps)
        ours, nsis, installer_kib, front_kib, sevenzip_kib, nsis_kib = [], [], [], [], [], []
        for _ in range(reps):
            subprocess.run(["sync"], check=True)
            ms, peaks = bench.install_ours()
            ours.append(ms)
            installer_kib.append(peaks["mirevalesetup.exe"])
            front_kib.append(peaks["7z.exe"] or 0)
            sevenzip_kib.append(peaks["7za.exe"])
            subprocess.run(["sync"], check=True)
            ms, peaks = bench.install_nsis()
            nsis.append(ms)
            nsis_kib.append(peaks["mirevalensis.exe"] or 0)
    finally:
        bench.stop()

    def mib(values):
        return median_min_max([v / 1024 for v in values])

    results["win_install"] = Figure(
        "Installation under Wine (≈200 MB, 5,000 files), against NSIS /S", "ms",
        median_min_max(ours), median_min_max(nsis), 1.0, "ratio")
    results["win_window_nsis"] = Figure("Time to a visible window under Wine, against NSIS", "ms",
                                        median_min_max(shown["ours"]),
                                        median_min_max(shown["nsis"]), 2.0, "ratio")
    results["win_window_floor"] = Figure(
        "Time to a visible window under Wine, against a bare window of the same static Qt", "ms",
        median_min_max(shown["ours"]), median_min_max(shown["floor"]), 1.3, "ratio")

    stripped = os.path.join(work, "MirevaleSetup.stripped.exe")
    subprocess.run(["x86_64-w64-mingw32-strip", "-o", stripped,
                    os.path.join(build, "bin", "MirevaleSetup.exe")], check=True)
    size = os.path.getsize(stripped) / MB
    results["win_size"] = Figure("MirevaleSetup.exe, stripped", "MB", (size,) * 3, None, 10,
                                 "absolute")
    shipped = [os.path.join(build, "bin", n) for n in ("MirevaleSetup.exe", "7z.exe", "7za.exe")]
    shipped += [os.path.join(payload, n) for n in ("tarvo.cab", "data.cab")]
    download = sum(os.path.getsize(p) for p in shipped) / MB
    peer_size = os.path.getsize(peer) / MB
    results["win_download"] = Figure(
        "Whole download (installer, 7z.exe, 7za.exe, payload) against NSIS's one file", "MB",
        (download,) * 3, (peer_size,) * 3, None, "report")
    programs_only = sum(os.path.getsize(p) for p in shipped[:3]) / MB
    results["win_programs"] = Figure("Programs without the payload (installer, 7z.exe, 7za.exe)",
                                     "MB", (programs_only,) * 3, None, None, "report")
    results["win_mem_installer"] = Figure(
        "Peak memory under Wine (VmHWM): the installer process, against NSIS's", "MiB",
        mib(installer_kib), mib(nsis_kib), None, "report")
    results["win_mem_front"] = Figure("Peak memory under Wine: the front end 7z.exe", "MiB",
                                      mib(front_kib), None, None, "report")
    results["win_mem_7za"] = Figure("Peak memory under Wine: 7-Zip (7za.exe)", "MiB",
                                    mib(sevenzip_kib), None, None, "report")
    return None


def windows_machine(args):
    def version(command):
        try:
            out = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 text=True, timeout=30).stdout.strip().splitlines()
            return out[-1] if out else "?"
        except (OSError, subprocess.TimeoutExpired):
            return "?"

    return [("Wine", version(["wine", "--version"]) + " (64-bit only)"),
            ("NSIS", version(["makensis", "-VERSION"])),
            ("7-Zip", "7za.exe 21.07 (x64), packed with %s" % " ".join(WINDOWS_PACK)),
            ("Qt", "5.15.8, static, MinGW-w64 (scripts/qt-windows)"),
            ("Load average at start", " ".join("%.2f" % v for v in os.getloadavg()))]


# ---------------------------------------------------------------------------
# Report


def machine():
    def first(path, key):
        try:
            for line in open(path):
                if line.startswith(key):
                    return line.split(":", 1)[1].strip()
        except OSError:
            pass
        return "?"

    qt = "?"
    for tool in ("qmake", "qmake-qt5", "/usr/lib/qt5/bin/qmake"):
        try:
            qt = subprocess.run([tool, "-query", "QT_VERSION"], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True, check=True).stdout.strip()
            break
        except (OSError, subprocess.CalledProcessError):
            continue
    mem = first("/proc/meminfo", "MemTotal")
    try:
        mem = "%.1f GiB" % (int(mem.split()[0]) / 1024 / 1024)
    except ValueError:
        pass
    return [("Processors (nproc)", str(os.cpu_count())),
            ("CPU", first("/proc/cpuinfo", "model name")),
            ("Memory", mem),
            ("Kernel", platform.release()),
            ("Qt", qt),
            ("Load average at start", " ".join("%.2f" % v for v in os.getloadavg()))]


ORDER = ["startup", "install", "check", "preflight", "message", "remove", "anim_p99", "anim_max", "memory", "size"]
WINDOWS_ORDER = ["win_install", "win_window_nsis", "win_window_floor", "win_size", "win_download",
                 "win_programs", "win_mem_installer", "win_mem_front", "win_mem_7za"]


def table(results, missing, order, header):
    rows = [["Figure", "Installer", header, "Ratio", "Target", "Result"]]
    for key in order:
        if key in results:
            rows.append(results[key].cells())
    for key, why in missing.items():
        rows.append([key, "not measured", "—", "—", "—", "**MISSING**: " + why])
    return rows


def section(text, name, fallback):
    """The part of RESULTS.md between the markers of name: the new text, or
    when this run did not measure it, what the file held before."""
    begin, end = "<!-- %s -->\n" % name, "<!-- /%s -->\n" % name
    if text is None:
        if begin in fallback and end in fallback:
            return fallback[fallback.index(begin):fallback.index(end) + len(end)]
        return ""
    return begin + text + end


def markdown(rows):
    out = ["| " + " | ".join(rows[0]) + " |", "|" + "---|" * len(rows[0])]
    out += ["| " + " | ".join(r) + " |" for r in rows[1:]]
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default=os.path.join(SOURCE, "build-release"))
    parser.add_argument("--reps", type=int, default=7)
    parser.add_argument("--startup-reps", type=int, default=21)
    parser.add_argument("--only", default="startup,install,remove,memory,size,windows")
    parser.add_argument("--windows-build-dir", default=os.path.join(SOURCE, "build-windows"))
    parser.add_argument("--output", default=os.path.join(HERE, "RESULTS.md"))
    args = parser.parse_args()
    if args.reps < 7 or args.startup_reps < 7:
        parser.error("every figure needs at least 7 repetitions")

    build_dir = os.path.abspath(args.build_dir)
    work = os.path.join(build_dir, "bench-work")
    os.makedirs(work, exist_ok=True)
    runner = Runner(build_dir, work)
    wanted = args.only.split(",")
    results, missing, reported = {}, {}, set()
    hardware = machine()
    steps = [("startup", lambda: figure_startup(runner, args.startup_reps, results)),
             ("install", lambda: figure_install(runner, args.reps, results)),
             ("remove", lambda: figure_remove(runner, max(args.reps, 11), results)),
             ("memory", lambda: figure_memory(results)),
             ("size", lambda: figure_size(runner, results)),
             ("windows", lambda: figure_windows(args, args.reps, args.startup_reps, results))]
    for key, step in steps:
        if key not in wanted:
            continue
        try:
            why = step()
        except (RuntimeError, subprocess.CalledProcessError, subprocess.TimeoutExpired) as e:
            why = str(e)
        if why:
            log("%s: not measured: %s" % (key, why))
            missing[key] = why
        for name, figure in results.items():
            if isinstance(figure, Figure) and name not in reported:
                reported.add(name)
                log("  " + " | ".join(figure.cells()))

    now = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    linux = None
    linux_missing = {k: v for k, v in missing.items() if k != "windows"}
    if any(key in wanted for key in ("startup", "install", "remove", "memory", "size")):
        text = markdown(table(results, linux_missing, ORDER, "Reference (floor)"))
        print(text)
        linux = "Written by `scripts/bench` on %s (Release build, offscreen). Each figure is the " \
            "median of its runs, with the smallest and largest in brackets: start-up %d " \
            "fresh processes each, installation %d runs each, removal %d runs each, " \
            "installer and floor interleaved.\n\n" % (now, args.startup_reps, args.reps,
                                                       max(args.reps, 11))
        linux += "## Machine\n\n| | |\n|---|---|\n"
        linux += "".join("| %s | %s |\n" % kv for kv in hardware)
        linux += "\n## Figures\n\n" + text + "\n\n"
    win = None
    if "windows" in wanted:
        text = markdown(table(results, {k: v for k, v in missing.items() if k == "windows"},
                              WINDOWS_ORDER, "Reference"))
        print(text)
        win = "## Windows build, under Wine\n\nWritten by `scripts/bench` on %s (the Windows " \
            "build of `scripts/build-windows`, under Wine and Xvfb, in a Wine prefix of its " \
            "own). Medians with the smallest and largest in brackets: time to a visible window " \
            "%d fresh processes each, installation %d runs each, ours and NSIS interleaved. " \
            "Same machine as above.\n\n| | |\n|---|---|\n" % (now, args.startup_reps, args.reps)
        win += "".join("| %s | %s |\n" % kv for kv in windows_machine(args))
        win += "\n" + text + "\n\n"
    old = open(args.output, encoding="utf-8").read() if os.path.exists(args.output) else ""
    notes = os.path.join(HERE, "NOTES.md")
    with open(args.output, "w", encoding="utf-8") as f:
        f.write("# Benchmark results\n\n")
        f.write(section(linux, "linux", old))
        f.write(section(win, "windows", old))
        if os.path.exists(notes):
            f.write(open(notes, encoding="utf-8").read())
    log("written to %s" % args.output)

    failed = [r.name for r in results.values() if isinstance(r, Figure) and not r.passed]
    if failed:
        log("targets missed: " + "; ".join(failed))
        return 1
    if missing:
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
