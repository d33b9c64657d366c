"""The Windows measurements of bench/run.py: the Windows build of the
installer against an NSIS installer of the same payload (bench/MirevaleNSIS.nsi),
under Wine in a prefix of their own, on the display of $DISPLAY (scripts/bench
runs it under Xvfb). run.py turns the raw numbers into figures.

Every Windows process under Wine is a Linux process whose first argument is
its Windows path: the extractors and the installers are found, and their
peak memory (VmHWM) read, through /proc.
"""
import os
import re
import select
import shutil
import signal
import subprocess
import threading
import time

from Xlib import X, display, error

PRODUCT = "Tarvo高效学习法"
UNINSTALL_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Mirevale"
# The installer's window and its controls, relative to the window.
INSTALLER_TITLE = r"^TarvoSetup$"
CHECK_BOX = (45, 396)
INSTALL_BUTTON = (329, 397)
PEER_TITLE = r"^MirevaleNSIS$"
FLOOR_TITLE = r"^bench_minimal"
DOWNLOADS = r"C:\users\Public\Downloads\mirevale-bench"


class MapWatcher:
    """Top-level windows as the X server maps them: the time the map event
    reaches us is the time the window became visible (no window manager runs
    under Xvfb, so a map is a show)."""

    def __init__(self):
        self.display = display.Display()
        self.root = self.display.screen().root
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.display.sync()

    def name(self, window):
        for atom in ("_NET_WM_NAME", "WM_NAME"):
            try:
                prop = window.get_full_property(self.display.intern_atom(atom), X.AnyPropertyType)
            except error.XError:  # the window went away
                return ""
            if prop and prop.value:
                value = prop.value
                return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
        return ""

    def drain(self):
        while self.display.pending_events():
            self.display.next_event()

    def wait(self, title, timeout):
        """(monotonic ns, window) of the first map of a window whose name
        matches title."""
        deadline = time.monotonic() + timeout
        pattern = re.compile(title)
        mapped = []  # (stamp, window): a window may get its name after the map
        while True:
            while self.display.pending_events():
                event = self.display.next_event()
                if event.type == X.MapNotify:
                    mapped.append((time.monotonic_ns(), event.window))
            for stamp, window in mapped:
                if pattern.search(self.name(window)):
                    return stamp, window
            left = deadline - time.monotonic()
            if left <= 0:
                raise RuntimeError("no window named %s within %d s" % (title, timeout))
            select.select([self.display], [], [], min(left, 0.05))

    def origin(self, window):
        """The window's top left corner on the screen."""
        pos = self.root.translate_coords(window, 0, 0)
        return pos.x, pos.y


class ProcessWatcher(threading.Thread):
    """Samples the peak memory (VmHWM, KiB) of the Windows programs of
    interest every 50 ms, by the file name of their Windows path."""

    NAMES = ("mirevalesetup.exe", "7z.exe", "7za.exe", "mirevalensis.exe")

    def __init__(self):
        super().__init__(daemon=True)
        self.lock = threading.Lock()
        self.peaks = {}
        self.stop_event = threading.Event()

    def reset(self):
        with self.lock:
            self.peaks = {}

    def peak(self, name):
        with self.lock:
            return self.peaks.get(name)

    def running(self, name):
        return name in self._scan()

    def _scan(self):
        found = {}
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            # A process may become a Wine process (exec) and a Wine process
            # sets its Windows path as it starts: look again every time.
            try:
                if "wine" not in os.path.basename(os.readlink("/proc/%s/exe" % entry)):
                    continue
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    first = f.read().split(b"\0", 1)[0].decode("utf-8", "replace")
                name = first.replace("\\", "/").rsplit("/", 1)[-1].lower()
                if name not in self.NAMES:
                    continue
                with open("/proc/%s/status" % entry) as f:
                    for line in f:
                        if line.startswith("VmHWM:"):
                            found[name] = max(found.get(name, 0), int(line.split()[1]))
                            break
            except OSError:
                continue  # ended meanwhile, or not ours to read
        return found

    def run(self):
        while not self.stop_event.wait(0.05):
            found = self._scan()
            with self.lock:
                for name, kib in found.items():
                    self.peaks[name] = max(self.peaks.get(name, 0), kib)

    def stop(self):
        self.stop_event.set()
        self.join()


class WindowsBench:
    def __init__(self, source, build_dir, work, log):
        self.source = source
        self.bin = os.path.join(build_dir, "bin")
        self.floor = os.path.join(build_dir, "bench", "bench_minimal.exe")
        self.work = work
        self.log = log
        self.wine_run = os.path.join(source, "scripts", "wine-run")
        self.env = dict(os.environ)
        self.env["WINEPREFIX"] = os.path.join(work, "wineprefix")
        self.drive_c = os.path.join(self.env["WINEPREFIX"], "drive_c")
        self.program_dir = os.path.join(self.drive_c, "Program Files", "Mirevale")
        self.data_dir = os.path.join(self.drive_c, "ProgramData", "Mirevale")
        self.group_dir = os.path.join(self.drive_c, "ProgramData", "Microsoft", "Windows",
                                      "Start Menu", "Programs", "Mirevale")
        self.desktop_link = os.path.join(self.drive_c, "users", "Public", "Desktop",
                                         PRODUCT + ".lnk")
        self.downloads = os.path.join(self.drive_c, *DOWNLOADS.split("\\")[1:])
        self.watcher = None
        self.maps = None

    # -- the prefix ---------------------------------------------------------

    def wine(self, *args, **kwargs):
        return subprocess.Popen([self.wine_run] + list(args), env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)

    def start(self, payload, peer):
        """A prefix of its own, a wineserver kept running across the runs
        (neither side pays for its start), and the shipped files in a
        downloads folder."""
        self.log("windows: Wine prefix %s" % self.env["WINEPREFIX"])
        self.wine("cmd", "/c", "exit", "0").wait()
        subprocess.run(["wineserver", "-w"], env=self.env)  # until the first one has ended
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)
        shutil.rmtree(self.downloads, ignore_errors=True)
        os.makedirs(self.downloads)
        for name in ("MirevaleSetup.exe", "7z.exe", "7za.exe"):
            shutil.copy2(os.path.join(self.bin, name), self.downloads)
        for name in ("tarvo.cab", "data.cab"):
            shutil.copy2(os.path.join(payload, name), self.downloads)
        # The shipped installer takes only the payload it was sealed for.
        subprocess.run([os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "scripts", "seal"), self.downloads], check=True,
                       stdout=subprocess.DEVNULL)
        shutil.copy2(peer, os.path.join(self.downloads, "MirevaleNSIS.exe"))
        shutil.copy2(self.floor, self.downloads)
        self.maps = MapWatcher()
        self.watcher = ProcessWatcher()
        self.watcher.start()

    def stop(self):
        if self.watcher:
            self.watcher.stop()
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)

    def path(self, name):
        return DOWNLOADS + "\\" + name

    def clean(self, registry=False):
        for folder in (self.program_dir, self.data_dir, self.group_dir):
            shutil.rmtree(folder, ignore_errors=True)
        if os.path.lexists(self.desktop_link):
            os.remove(self.desktop_link)
        if registry:
            self.wine("reg", "delete", UNINSTALL_KEY, "/f").wait()

    def installed(self):
        """What an installation left: files of both folders, shortcuts, and
        the Uninstall values as regedit exports them."""
        def count(folder):
            return sum(len(files) for _, _, files in os.walk(folder))

        export = os.path.join(self.work, "uninstall.reg")
        if os.path.exists(export):
            os.remove(export)
        self.wine("regedit", "/E", "Z:" + export.replace("/", "\\"), UNINSTALL_KEY).wait()
        values = []
        if os.path.exists(export):
            text = open(export, "rb").read().decode("utf-16", "replace")
            values = sorted(l.strip() for l in text.splitlines() if l.startswith('"'))
        links = sorted(os.path.relpath(p, self.drive_c) for p in
                       [self.desktop_link] + [os.path.join(self.group_dir, n) for n in
                                              (PRODUCT + ".lnk", "uninstall.lnk")]
                       if os.path.isfile(p))
        return count(self.program_dir), count(self.data_dir), links, values

    def kill(self, process):
        if process.poll() is None:
            process.send_signal(signal.SIGKILL)
        process.wait()
        # The wineserver reaps the Windows side; wait until it has.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and any(
                self.watcher.running(n) for n in ("mirevalesetup.exe", "mirevalensis.exe")):
            time.sleep(0.05)

    # -- the runs -----------------------------------------------------------

    def window_time(self, which):
        """ms from the start of the process to the map of its window."""
        program, title = {"ours": ("MirevaleSetup.exe", INSTALLER_TITLE),
                          "nsis": ("MirevaleNSIS.exe", PEER_TITLE),
                          "floor": ("bench_minimal.exe", FLOOR_TITLE)}[which]
        self.maps.drain()
        start = time.monotonic_ns()
        process = self.wine(self.path(program))
        try:
            shown, _ = self.maps.wait(title, 60)
        finally:
            self.kill(process)
        return (shown - start) / 1e6

    def install_ours(self):
        """ms from the click on Install to the finished state (the last
        shortcut written: registration follows within the same slot), and the
        peaks of the installer and the extractor processes in KiB."""
        self.clean()
        self.maps.drain()
        process = self.wine(self.path("MirevaleSetup.exe"))
        try:
            _, window = self.maps.wait(INSTALLER_TITLE, 60)
            x, y = self.maps.origin(window)
            # The window takes clicks once its event loop runs; the clock has
            # not started yet.
            time.sleep(1.0)
            self.watcher.reset()
            subprocess.run(["xdotool", "mousemove", str(x + CHECK_BOX[0]), str(y + CHECK_BOX[1]),
                            "click", "1"], check=True)
            start = time.monotonic_ns()
            subprocess.run(["xdotool", "mousemove", str(x + INSTALL_BUTTON[0]),
                            str(y + INSTALL_BUTTON[1]), "click", "1"], check=True)
            finished = os.path.join(self.group_dir, "uninstall.lnk")
            deadline = time.monotonic() + 900
            while not os.path.exists(finished):
                if process.poll() is not None:
                    raise RuntimeError("the installer ended before it finished")
                if time.monotonic() > deadline:
                    raise RuntimeError("the installation did not finish within 900 s")
                time.sleep(0.01)
            end = time.monotonic_ns()
            time.sleep(0.1)  # one more sample of the installer's memory
            peaks = {n: self.watcher.peak(n) for n in ("mirevalesetup.exe", "7z.exe", "7za.exe")}
        finally:
            self.kill(process)
        if not peaks["7za.exe"]:
            raise RuntimeError("no 7za.exe was seen: the click did not start the installation")
        return (end - start) / 1e6, peaks

    def install_nsis(self):
        """ms from the start of the NSIS installer with /S to its exit, and
        its peak in KiB."""
        self.clean()
        self.watcher.reset()
        start = time.monotonic_ns()
        status = self.wine(self.path("MirevaleNSIS.exe"), "/S").wait()
        end = time.monotonic_ns()
        if status != 0 or not os.path.exists(os.path.join(self.group_dir, "uninstall.lnk")):
            raise RuntimeError("the NSIS installer failed (exit %d)" % status)
        return (end - start) / 1e6, {"mirevalensis.exe": self.watcher.peak("mirevalensis.exe")}
