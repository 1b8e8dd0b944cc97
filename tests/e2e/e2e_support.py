"""Support of the end-to-end runs: the UDP test controllers started here, the serial
one started by run_with_serial_peer.sh, and the driver program (e2e_driver.exe) under
Wine in a fresh program folder with the engine beside it.

Used by e2e_test.py and by the engine benchmark (bench/engine).
"""
import collections
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
PEERS = ROOT / "tests" / "peers"
WINE_ENV = ROOT / "scripts" / "wine-env.sh"


def win_path(path):
    """The Wine name of a Unix path (drive Z: is the root)."""
    return "Z:" + str(path).replace("/", "\\")


def control(port, command, timeout=5.0):
    """One control command to a test controller; its answer ("" on time-out)."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(timeout)
        s.sendto(command.encode("latin-1"), ("127.0.0.1", port))
        try:
            return s.recvfrom(65535)[0].decode("latin-1")
        except socket.timeout:
            return ""


def stats(port):
    out = {}
    for line in control(port, "STATS").splitlines():
        key, _, value = line.partition("=")
        out[key] = value
    return out


class UdpPeer:
    """udp_controller.py on loopback, for the life of this object. Its ACKs carry the
    pack number, as the engine's frame protocol expects of a LAN controller."""

    def __init__(self, work, options=()):
        self.work = Path(tempfile.mkdtemp(dir=work))
        ports = self.work / "ports"
        self.log = open(self.work / "peer.log", "w")
        self.proc = subprocess.Popen(
            ["python3", str(PEERS / "udp_controller.py"), "--port", "0", "--port-file", str(ports), "--lifetime",
             "900", "--acks", "numbered", *options], stdout=self.log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        for _ in range(200):
            if ports.exists() and "CONTROL=" in ports.read_text():
                break
            time.sleep(0.05)
        values = dict(line.split("=", 1) for line in ports.read_text().split())
        self.port, self.control_port = int(values["PORT"]), int(values["CONTROL"])

    @property
    def connection(self):
        return "NET:ctl:127.0.0.1:%d" % self.port

    def control(self, command):
        return control(self.control_port, command)

    def close(self):
        self.proc.kill()
        self.proc.wait()
        self.log.close()


class SerialPeer:
    """The serial controller run_with_serial_peer.sh started (None outside it)."""

    def __init__(self):
        self.port = os.environ["CORVANE_SERIAL_PORT"]
        self.control_port = int(os.environ["CORVANE_PEER_CONTROL"])

    @staticmethod
    def available():
        return "CORVANE_SERIAL_PORT" in os.environ

    def connection(self, baud=115200):
        return "%s:%d" % (self.port, baud)

    def control(self, command):
        return control(self.control_port, command)


class Events:
    """The driver's report lines, split into words, and what a job saw."""

    def __init__(self, lines):
        self.lines = lines
        self.words = [line.split() for line in lines]

    def of(self, kind, name):
        return [w[2:] for w in self.words if len(w) >= 2 and w[0] == kind and w[1] == name]

    def states(self, name):
        return [w[0] for w in self.of("STATE", name) if w]

    def progress(self, name):
        return [(int(w[0]), int(w[1])) for w in self.of("PROGRESS", name)]

    def end(self, name):
        ends = self.of("END", name)
        return ends[-1][0] if ends else None

    def text(self):
        return "\n".join(self.lines)


def end_reader(proc, reader):
    """Ends the reading of an exited driver's output. The end of the driver is its exit,
    not the end of its output: the first Wine program after the server starts starts
    Wine's own services, and they keep the pipe open long after. What the driver wrote
    is read by then."""
    reader.join(5)
    if not reader.is_alive():
        proc.stdout.close()


class ProgramFolder:
    """A fresh program folder with Mardrive.EXE beside the driver's job table."""

    def __init__(self, driver, engine, work=None, logs=True):
        self.driver = driver
        self.path = Path(tempfile.mkdtemp(prefix="e2e-", dir=work))
        shutil.copy(engine, self.path / "Mardrive.EXE")
        # The engine's logs on: a failure shows them, and the end of an orphaned engine
        # is read there. Off as shipped for long runs: a write for every frame.
        settings = "LogFile=1\r\nLogList=frames,output,jobs\r\n[Trace]\r\nLogCOM=1\r\n" if logs else "LogFile=0\r\n"
        (self.path / "Parameters.ini").write_text("[System]\r\n" + settings)

    def wine_command(self, args):
        # exec: the process is Wine's own, so that killing it kills the driver alone.
        script = 'source "$0"; unset DISPLAY; corvane_prefix 1 >/dev/null; exec env LC_ALL=zh_CN.UTF-8 "$WINE" "$@"'
        return ["bash", "-c", script, str(WINE_ENV), str(self.driver), win_path(self.path), *args]

    def start(self, args):
        return subprocess.Popen(self.wine_command(args), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, text=True, encoding="latin-1")

    def run(self, args, timeout=90, on_line=None):
        """Runs the driver to its end: (exit code, its events). on_line sees each line
        as it comes (on a reader thread)."""
        proc = self.start(args)
        lines = []

        def read():
            for line in proc.stdout:
                lines.append(line.rstrip("\n"))
                if on_line:
                    on_line(lines[-1])

        reader = threading.Thread(target=read, daemon=True)
        reader.start()
        try:
            proc.wait(timeout)
            killed = False
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            killed = True
        end_reader(proc, reader)
        if killed:
            return -1, Events(lines + ["(driver killed after %d s)" % timeout])
        return proc.returncode, Events(lines)

    def add(self, name, nc_text, connection, copies=1, auto_quit=True):
        nc = self.path / (name + ".nc")
        nc.write_text(nc_text)
        rc, events = self.run(["add", name, win_path(nc), connection, str(copies), "1" if auto_quit else "0"])
        if rc != 0:
            raise AssertionError("the job %s was not added:\n%s" % (name, events.text()))
        for w in events.words:
            if w[0] == "ADDED":
                return int(w[3].split("=")[1])
        raise AssertionError(events.text())

    def export(self, name, timeout=90):
        """The job's FILE: export: its bytes."""
        target = self.path / (name + ".export")
        rc, events = self.run(["run", "--timeout", str(timeout - 10), "%s=%s" % (name, win_path(target))], timeout)
        if rc != 0 or not target.exists():
            raise AssertionError("the export of %s failed (%d):\n%s\n%s" % (name, rc, events.text(), self.logs()))
        return target.read_bytes()

    def logs(self):
        out = []
        for log in sorted(self.path.glob("*.log")):
            out.append("--- %s\n%s" % (log.name, log.read_text(encoding="latin-1")[-3000:]))
        return "\n".join(out)

    def log_text(self):
        return "".join(p.read_text(encoding="latin-1") for p in self.path.glob("*.log"))

    def close(self):
        shutil.rmtree(self.path, ignore_errors=True)


def carving(tags, moves_per_tag=8, size_mm=40.0):
    """A G-code program of `tags` pockets: each a rapid, a plunge and a ring of feed moves
    with an arc, so that every tag starts a new cut."""
    # Z stays above 0: the test controllers put their origin at the bottom of Z.
    lines = ["G21 G90 G17", "M3 S18000", "G0 Z5"]
    for t in range(tags):
        x0 = 10 + (t % 10) * (size_mm + 5)
        y0 = 10 + (t // 10) * (size_mm + 5)
        lines.append("G0 X%.3f Y%.3f" % (x0, y0))
        lines.append("G1 Z1 F600")
        step = size_mm / moves_per_tag
        for k in range(1, moves_per_tag + 1):
            lines.append("G1 X%.3f Y%.3f F2400" % (x0 + k * step, y0 + (k % 2) * 0.5))
        lines.append("G2 X%.3f Y%.3f I0 J%.3f" % (x0 + size_mm, y0 + 10, 5))
        lines.append("G1 X%.3f Y%.3f" % (x0, y0 + 10))
        lines.append("G0 Z5")
    lines += ["M5", "M30", ""]
    return "\n".join(lines)


# The spill FIFO's file, "FiFo\*.fifo" in the program folder: no header, slot i at
# i * FIFO_SLOT_SIZE holds a u16 item length (never 0) and the item. Items go to
# increasing slots and are never overwritten, and the file grows with zeros, so the
# written slots are a prefix of it: their count is the frames planned so far.
FIFO_SLOT_SIZE = 1204


def spill_files(folder):
    return list((folder.path / "FiFo").glob("*.fifo"))


def spill_bytes(folder):
    """Bytes of the spill files in the program folder."""
    total = 0
    for f in spill_files(folder):
        try:
            total += f.stat().st_size
        except OSError:
            pass
    return total


def spill_items(folder):
    """Items written to the spill files so far (0 when there is none)."""
    total = 0
    for path in spill_files(folder):
        try:
            with open(path, "rb") as f:
                slots = os.fstat(f.fileno()).st_size // FIFO_SLOT_SIZE

                def written(i):
                    f.seek(i * FIFO_SLOT_SIZE)
                    return struct.unpack("<H", f.read(2))[0] != 0

                low, high = 0, slots  # slots below low are written, from high on not
                while low < high:
                    mid = (low + high) // 2
                    if written(mid):
                        low = mid + 1
                    else:
                        high = mid
                total += low
        except (OSError, struct.error):
            pass
    return total


def engine_unix_pid(folder):
    """The Wine process of the folder's Mardrive.EXE (its command line names the folder)."""
    mark = str(folder.path).replace("/", "\\").encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            cmdline = Path("/proc", entry, "cmdline").read_bytes()
        except OSError:
            continue
        if b"Mardrive.EXE" in cmdline and mark in cmdline:
            return int(entry)
    return None


def memory_kb(pid):
    """The process's peak resident memory (VmHWM) and its anonymous resident memory now
    (RssAnon: the rest is mapped files, the spill file's windows among them), in KB;
    0 when it has gone."""
    values = {}
    try:
        for line in Path("/proc", str(pid), "status").read_text().splitlines():
            key, _, value = line.partition(":")
            values[key] = value.split()[0] if value.split() else "0"
    except OSError:
        pass
    return int(values.get("VmHWM", 0)), int(values.get("RssAnon", 0))


Planned = collections.namedtuple("Planned", "records peak_kb anon_kb items spill_bytes seconds frames_per_s states")


def peak_while_planning(folder, peer, name, settle=5.0, limit=1800):
    """Starts the job and follows the engine's peak resident memory (and the largest
    anonymous part seen) until no item has gone to its spill file for `settle` seconds
    (the whole job planned; the link streams far slower, so the backlog is on disk),
    then ends the driver; the engine notices and exits. Raises AssertionError when the
    job ended or failed before that: a job sent whole meanwhile was not measured with
    its backlog on disk."""
    proc = folder.start(["run", "--timeout", str(limit), name])
    lines = []
    reader = threading.Thread(target=lambda: lines.extend(line.rstrip("\n") for line in proc.stdout), daemon=True)
    reader.start()
    t0 = time.monotonic()
    pid = None
    peak = anon = items = size = 0
    grown_at = t0
    try:
        while True:
            now = time.monotonic()
            pid = pid or engine_unix_pid(folder)
            if pid:
                hwm, anon_now = memory_kb(pid)
                peak, anon = max(peak, hwm), max(anon, anon_now)
            now_items = spill_items(folder)
            if now_items > items:
                items, size, grown_at = now_items, spill_bytes(folder), now
            elif items and now - grown_at > settle:
                break
            states = Events(lines).states(name)
            if proc.poll() is not None or {"ERROR", "ABORTED", "FINISHED"} & set(states) or now - t0 > limit:
                raise AssertionError("the job %s ended or failed before it was planned (%d items spilled):\n%s" %
                                     (name, items, "\n".join(l for l in lines if not l.startswith("PROGRESS"))))
            time.sleep(0.1)
        st = stats(peer.control_port)
        first = float(st.get("first_record_at", 0) or 0)
        rate = int(st.get("frames_ok", 0)) / (time.monotonic() - first) if first else 0.0
        return Planned(None, peak, anon, items, size, grown_at - t0, rate, Events(lines).states(name))
    finally:
        proc.kill()
        proc.wait()
        end_reader(proc, reader)
        for _ in range(300):  # the parent watch ends the engine
            if not pid or not Path("/proc", str(pid)).exists():
                break
            time.sleep(0.1)
        else:
            os.kill(pid, 9)


def plan_records(driver, engine, name, records, peer_options=(), settle=5.0, limit=1800):
    """A job of `records` path records (e2e_driver add-records) for a UDP controller,
    planned by the engine as shipped (logs off) while its peak memory is followed
    (peak_while_planning). Every file of the run is gone when this returns: the job's
    records and the spill file take a gigabyte or more at 10 million records."""
    work = tempfile.mkdtemp(prefix="e2e-mem-")
    peer = None
    try:
        folder = ProgramFolder(driver, engine, work, logs=False)
        peer = UdpPeer(work, peer_options)
        rc, events = folder.run(["add-records", name, peer.connection, str(records)], limit)
        if rc != 0:
            raise AssertionError("the job %s was not written:\n%s" % (name, events.text()))
        peer.control("FORGET")
        # The generated job cuts 1 mm deep: the controller's Z origin lies 10 mm up.
        peer.control("ORIGIN 0 0 400")
        return peak_while_planning(folder, peer, name, settle, limit)._replace(records=records)
    finally:
        if peer:
            peer.close()
        shutil.rmtree(work, ignore_errors=True)
