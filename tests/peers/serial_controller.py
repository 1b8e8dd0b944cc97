#!/usr/bin/env python3
"""A serial controller for tests: the device protocol on one end of a pty pair.

It starts `socat pty,raw,echo=0,link=DIR/ttyA pty,raw,echo=0,link=DIR/ttyB`, takes
ttyB itself and leaves ttyA for the program under test (a test maps it as a COM port
of the Wine prefix). On ttyB it hunts the sync words of the device frames, answers
each frame through the protocol core shared with the UDP controller
(controller_core.py: ACK, BUSY, NAK, queries, tag marks, the recorded command stream)
and adds the faults of a serial line.

Wire time: with --baud B every byte takes 10/B s on the emulated wire in each
direction. A frame counts as received when its last byte would have arrived, and an
answer byte leaves when the line is free and arrives 10/B s later, so the engine sees
the timing of a real port at that rate.

Line faults (a share each, or a count; FAULTS command or --faults):
  rx_drop=p     a frame is lost on the way in (no answer)
  rx_corrupt=p  a byte of a frame is damaged on the way in
  rx_dup=p      a frame arrives twice
  drop=p        an answer byte (ACK, BUSY, NAK) is lost
  corrupt=p     an answer byte is damaged
  dup=p         an answer byte arrives twice
  delay=p delay_ms=n   an answer arrives n ms late (a late ACK)
  seed=n
and the protocol faults of controller_core (PFAULTS or --pfaults): nak, busy storms,
silence at attach (silence=n@0), at the start of a job or in the middle (silence=n@k).

Control socket on 127.0.0.1 (one-line commands, one datagram answer):
  PING -> PONG; STATS -> key=value lines; RESET; FAULTS ...; PFAULTS ...; STATUS ACK|BUSY n|NAK n;
  ACKS numbered|bare|fixed; RECORD path; BAD nak|none; NAME text; ORIGIN x y z (steps); BAUD n (0: no wire time);
  PROT 5|7; SILENT 0|1; SEND text (raw bytes to the PC, latin-1, \\xNN escapes);
  REPLY text (a reply line to the PC); ECHO 0|1 (1: every byte received goes back as it came);
  MODEM words (the modem lines the PC sees, e.g. "CTS DSR"; needs --lines);
  HANGUP (the pty pair goes away: the cable is pulled); REATTACH (a new pair at the same
  paths); QUIT

usage: serial_controller.py --dir DIR [--port-file PATH] [--baud N] [--prot 5|7] [--acks STYLE]
                            [--faults ...] [--pfaults ...] [--record PATH] [--lifetime S]
The port file receives "CONTROL=<control port>" once ttyA and ttyB exist.
"""
import argparse
import codecs
import heapq
import os
import random
import select
import socket
import subprocess
import sys
import termios
import time
import tty

from controller_core import LINE_FAULTS, ProtocolCore, parse_line_faults, reply_line, scan_frame

LOOPBACK = "127.0.0.1"


class SerialController:
    def __init__(self, args):
        self.dir = args.dir
        self.lines_file = args.lines
        self.baud = args.baud
        self.deadline = time.monotonic() + args.lifetime
        self.core = ProtocolCore(args.name, args.prot, args.acks)
        self.core.set_record(args.record)
        self.core.set_faults(args.pfaults)
        self.rng = random.Random(1)
        self.set_faults(args.faults)
        self.control = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.control.bind((LOOPBACK, 0))
        self.socat = None
        self.fd = None
        self.silent = False
        self.echo = False
        self.reset()
        self.attach()

    def reset(self):
        self.stats = {k: 0 for k in (
            "rx_bytes", "tx_bytes", "garbage_bytes", "rx_dropped", "rx_corrupted", "rx_duplicated", "dropped",
            "corrupted", "duplicated", "delayed", "hangups")}
        self.core.reset()
        self.buf = bytearray()
        self.out = []  # heap of (due, order, bytes)
        self.order = 0
        self.out_last_due = 0.0  # when the last answer queued arrives
        self.rx_wire_end = 0.0  # emulated time the last byte received ends on the wire
        self.tx_wire_free = 0.0  # emulated time the line to the PC is free

    def set_faults(self, text):
        self.faults = parse_line_faults(text, dict(LINE_FAULTS, delay_ms=30.0), (self.rng, self.core.rng))

    # --- the pty pair
    def attach(self):
        a, b = os.path.join(self.dir, "ttyA"), os.path.join(self.dir, "ttyB")
        for p in (a, b):
            if os.path.lexists(p):
                os.unlink(p)
        self.socat = subprocess.Popen(
            ["socat", "pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(200):
            if os.path.exists(a) and os.path.exists(b):
                break
            time.sleep(0.01)
        self.fd = os.open(b, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd, termios.TCSANOW)
        self.buf.clear()
        self.out = []

    def hangup(self):
        self.stats["hangups"] += 1
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None
        if self.socat:
            self.socat.terminate()
            self.socat.wait()
            self.socat = None

    # --- receiving: hunt frames, answer each
    def wire_time(self, n):
        return n * 10.0 / self.baud if self.baud else 0.0

    def on_bytes(self, data, now):
        self.stats["rx_bytes"] += len(data)
        self.rx_wire_end = max(now, self.rx_wire_end) + self.wire_time(len(data))
        if self.silent:
            return
        if self.echo:
            self.queue(data, now)
            return
        self.buf += data
        while True:
            n, why = scan_frame(self.buf, self.core.prot)
            if n == 0:
                break
            if n < 0:
                self.stats["garbage_bytes"] += -n
                if why == "bad":
                    self.on_frame(bytes(self.buf[:-n]), corrupt_seen=True)
                del self.buf[:-n]
                continue
            frame = bytes(self.buf[:n])
            del self.buf[:n]
            self.on_frame(frame)

    def on_frame(self, frame, corrupt_seen=False):
        f = self.faults
        if not corrupt_seen:
            if self.rng.random() < f["rx_drop"]:
                self.stats["rx_dropped"] += 1
                return
            if self.rng.random() < f["rx_corrupt"]:
                self.stats["rx_corrupted"] += 1
                b = bytearray(frame)
                b[self.rng.randrange(2, len(b))] ^= 0x5A
                frame = bytes(b)
        copies = 2 if not corrupt_seen and self.rng.random() < f["rx_dup"] else 1
        if copies == 2:
            self.stats["rx_duplicated"] += 1
        for _ in range(copies):
            for kind, value in self.core.take(frame):
                self.answer(bytes([value]) if kind == "status" else value, kind == "status")

    # --- sending, with the line faults and the wire time
    def answer(self, data, is_status):
        f = self.faults
        start = self.rx_wire_end
        if is_status:
            if self.rng.random() < f["drop"]:
                self.stats["dropped"] += 1
                return
            if self.rng.random() < f["corrupt"]:
                self.stats["corrupted"] += 1
                data = bytes([data[0] ^ 0x5A])
            if self.rng.random() < f["delay"]:
                self.stats["delayed"] += 1
                start += f["delay_ms"] / 1000.0
            if self.rng.random() < f["dup"]:
                self.stats["duplicated"] += 1
                data = data + data
        self.queue(data, start)

    def queue(self, data, start):
        # A serial line keeps the order of what it carries: a late answer holds back
        # everything behind it.
        begin = max(start, self.tx_wire_free, self.out_last_due)
        due = begin + self.wire_time(len(data))
        self.out_last_due = due
        if self.baud:
            self.tx_wire_free = due
        self.order += 1
        heapq.heappush(self.out, (due, self.order, data))

    def flush(self, now):
        while self.out and self.out[0][0] <= now:
            _, _, data = heapq.heappop(self.out)
            if self.fd is None:
                continue
            try:
                os.write(self.fd, data)
                self.stats["tx_bytes"] += len(data)
            except OSError:
                pass

    # --- control
    def on_control(self, text):
        words = text.strip().split(" ", 1)
        cmd, arg = words[0].upper(), (words[1] if len(words) > 1 else "")
        if cmd == "PING":
            return "PONG"
        if cmd == "STATS":
            st = dict(self.stats)
            st.update(self.core.stats_items())
            st.update(baud=self.baud, attached=int(self.fd is not None), pending_out=len(self.out),
                      packs=",".join(map(str, self.core.packs[-50:])))
            return "\n".join("%s=%s" % kv for kv in st.items())
        if cmd == "RESET":
            self.reset()
            return "OK"
        if cmd == "FAULTS":
            self.set_faults(arg)
            return "OK"
        if cmd == "PFAULTS":
            self.core.set_faults(arg)
            return "OK"
        if cmd == "BAUD":
            self.baud = int(arg)
            return "OK"
        if cmd == "PROT":
            self.core.prot = 7 if arg.strip() == "7" else 5
            return "OK"
        if cmd == "SILENT":
            self.silent = arg.strip() == "1"
            return "OK"
        if cmd == "ECHO":
            self.echo = arg.strip() == "1"
            return "OK"
        if cmd == "SEND":
            self.queue(codecs.escape_decode(arg.encode("latin-1"))[0], time.monotonic())
            return "OK"
        if cmd == "REPLY":
            self.queue(reply_line(arg), time.monotonic())
            return "OK"
        if cmd == "MODEM":
            if not self.lines_file:
                return "NO LINES FILE"
            tmp = self.lines_file + ".tmp"
            with open(tmp, "w") as f:
                f.write(arg.strip() + "\n")
            os.replace(tmp, self.lines_file)
            return "OK"
        if cmd == "HANGUP":
            self.hangup()
            return "OK"
        if cmd == "REATTACH":
            self.hangup()
            self.attach()
            return "OK"
        if cmd == "QUIT":
            self.deadline = 0
            return "OK"
        answer = self.core.control(cmd, arg)
        return answer if answer is not None else "UNKNOWN"

    def run(self):
        while time.monotonic() < self.deadline:
            now = time.monotonic()
            timeout = 0.5
            if self.out:
                timeout = max(0.0, min(timeout, self.out[0][0] - now))
            socks = [self.control] + ([self.fd] if self.fd is not None else [])
            ready, _, _ = select.select(socks, [], [], timeout)
            now = time.monotonic()
            for s in ready:
                if s is self.control:
                    data, address = s.recvfrom(65535)
                    reply = self.on_control(data.decode("latin-1"))
                    s.sendto(reply.encode("latin-1"), address)
                else:
                    try:
                        data = os.read(self.fd, 65536)
                    except (BlockingIOError, InterruptedError):
                        continue
                    except OSError:
                        # The other end is not open (yet, or any more): wait for it.
                        time.sleep(0.005)
                        continue
                    if data:
                        self.on_bytes(data, now)
            self.flush(time.monotonic())
        self.hangup()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dir", required=True, help="folder of the ttyA / ttyB links")
    ap.add_argument("--port-file")
    ap.add_argument("--name", default="TestCarver")
    ap.add_argument("--baud", type=int, default=0, help="wire time of this rate (0: none)")
    ap.add_argument("--prot", type=int, default=5, choices=(5, 7))
    ap.add_argument("--acks", default="numbered", choices=("numbered", "bare", "fixed"))
    ap.add_argument("--faults", default="")
    ap.add_argument("--pfaults", default="")
    ap.add_argument("--record", default="")
    ap.add_argument("--lifetime", type=float, default=600.0)
    ap.add_argument("--lines", default="", help="modem-line control file of the preloaded library")
    args = ap.parse_args()
    c = SerialController(args)
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("CONTROL=%d\n" % c.control.getsockname()[1])
        os.replace(tmp, args.port_file)
    print("serial controller on %s/ttyB" % args.dir, flush=True)
    try:
        c.run()
    finally:
        c.hangup()


if __name__ == "__main__":
    sys.exit(main())
