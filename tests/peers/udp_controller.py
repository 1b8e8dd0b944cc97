#!/usr/bin/env python3
"""A LAN controller for tests: speaks the UDP device protocol on loopback only.

It answers Enum (also on the broadcast address 127.255.255.255), Connect with a
connect reply "...PROT[0]" or "...PROT[1]", KeepAlive and Disconnect; acknowledges the
PC's Data frames with status frames after checking the device frame inside (protocol 5
or 7), sends reply lines and the type-7 error report when told to, and can drop,
corrupt, duplicate or delay a share of the datagrams it sends and drop, corrupt or
duplicate a share of those it receives.

Like a controller it takes each device frame once: a frame that repeats the pack
number of the frame it acknowledged last is acknowledged again but not taken (counted
as repeated_packs); the packs taken are listed in order. Its reply lines are Data
frames with sequence numbers, one in flight at a time, resent until the PC
acknowledges it (stop and wait). The lines one device frame draws go together in one
Data frame, and lines queued while one is unacknowledged go together in the next (up
to REPLY_BATCH bytes a frame), as a controller sends what its output buffer holds.

Tests steer it through a control socket on 127.0.0.1 with one-line text commands;
each command is answered with one datagram:
  PING                          -> PONG
  STATS                         -> key=value lines (counters and state)
  RESET                         -> clears the counters
  FORGET                        -> forgets the connected console (a lost Disconnect
                                   of an earlier test must not carry over)
  SILENT 0|1                    -> 1: no answer to anything on the link socket
  PROT 0|1                      -> the PROT tag of the next connect replies
  STATUS ACK | BUSY n | NAK n   -> the next n device frames get BUSY / NAK
  FAULTS drop=p corrupt=p dup=p delay=p delay_ms=n rx_drop=p rx_corrupt=p rx_dup=p
         resend_ms=n seed=n corrupt_from=n (first byte a damage may hit; 18: the payload only)
  REPLY text                    -> text to the console (queued; goes with other queued lines)
  LINES n                       -> n numbered reply lines "L000;" "L001;" ..., each in a
                                   Data frame of its own (a stream of reply frames)
  ERROR code                    -> a type-7 error report with the code
  SENDSTATUS status pack        -> a status frame out of turn (a late or stray answer)
  INFO text                     -> information text appended to Enum replies
  OTHER_CONSOLE 0|1             -> 1: refuse Connects (attached elsewhere, error -14)
  ACKS fixed|numbered|bare      -> status bytes: F0 (NAK 15, the default), F0|pack, 01
  RECORD path                   -> records the command stream to path (see controller_core)
  ORIGIN x y z                  -> the origin (steps) the "O" query answers
  BAD nak|none                  -> answer to a frame that fails its check
  PFAULTS nak=p busy=p busy_n=n silence=n@k   -> protocol faults (controller_core)
  QUIT

The device frames themselves are read by the protocol core shared with the serial
controller (controller_core.py): queries and tag marks are answered with reply lines.

usage: udp_controller.py [--port N] [--port-file PATH] [--name NAME] [--lifetime S]
                         [--faults "drop=p ..."] [--pfaults "nak=p ..."] [--acks STYLE] [--record PATH]
The port file receives "PORT=<link port>" and "CONTROL=<control port>" once ready.
"""
import argparse
import os
import random
import select
import socket
import struct
import sys
import time

from controller_core import LINE_FAULTS, ProtocolCore, crc16_arc, parse_line_faults

MAGIC = 0xFEFEFEFE
HEADER = struct.Struct("<IHBBH6sH")  # magic, crc, type, flag, seq, 6 x 0xFF, length
ENUM, KEEPALIVE, DATA, CONNECT, DISCONNECT, ACK, ERROR = 1, 2, 3, 4, 5, 6, 7
LOOPBACK = "127.0.0.1"
BROADCAST = "127.255.255.255"
# Bytes of reply lines one Data frame carries at most: well within what the engine
# reads on one notification, so that no line waits for the next datagram.
REPLY_BATCH = 1024




def frame(ftype, flag, seq, payload=b""):
    body = struct.pack("<BBH6sH", ftype, flag, seq, b"\xff" * 6, len(payload)) + payload
    return struct.pack("<IH", MAGIC, crc16_arc(body)) + body


def parse(data):
    """(type, flag, seq, payload) of a checked frame, or None."""
    if len(data) < HEADER.size:
        return None
    magic, crc, ftype, flag, seq, _, length = HEADER.unpack_from(data)
    if magic != MAGIC or length > 8192 or len(data) < HEADER.size + length:
        return None
    if crc16_arc(data[6:HEADER.size + length]) != crc:
        return None
    return ftype, flag, seq, data[HEADER.size:HEADER.size + length]


class Controller:
    def __init__(self, args):
        self.name = args.name.encode()[:16]
        self.link = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.link.bind((LOOPBACK, args.port))
        self.port = self.link.getsockname()[1]
        self.bcast = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.bcast.bind((BROADCAST, self.port))
        self.control = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.control.bind((LOOPBACK, 0))
        self.deadline = time.monotonic() + args.lifetime
        self.rng = random.Random(1)
        self.faults = dict(drop=0.0, corrupt=0.0, corrupt_from=6, dup=0.0, delay=0.0, delay_ms=30, rx_drop=0.0,
                           rx_corrupt=0.0, rx_dup=0.0, resend_ms=100)
        self.delayed = []  # (due, data, address)
        self.silent = False
        self.prot = 0
        self.info = b""
        self.other_console = False
        self.console = None
        self.seq = 0
        self.core = ProtocolCore(args.name, 5, args.acks)
        self.core.set_record(args.record)
        self.core.set_faults(args.pfaults)
        self.set_faults(args.faults)
        self.reset()

    def reset(self):
        self.stats = {k: 0 for k in (
            "rx", "tx", "bad_frames", "enum", "connect", "disconnect", "keepalive", "data", "frames_ok",
            "acks_rx", "dropped", "corrupted", "duplicated", "delayed", "rx_dropped", "rx_corrupted",
            "rx_duplicated", "replies_sent", "replies_acked", "replies_resent", "replies_expired")}
        self.core.reset()
        self.connect_text = ""
        self.acked = []
        self.inflight = None  # the reply frame awaiting its ACK: [seq, frame, next due, sends]
        self.pending = []  # reply payloads not sent yet: [bytearray, more lines may join]

    def set_faults(self, text):
        # delay_ms stays as it was unless given again
        defaults = dict(LINE_FAULTS, delay_ms=self.faults.get("delay_ms", 30), resend_ms=100, corrupt_from=6)
        self.faults = parse_line_faults(text, defaults, (self.rng, self.core.rng))

    # --- sending, with the fault modes
    def send(self, data, address):
        f = self.faults
        if self.rng.random() < f["drop"]:
            self.stats["dropped"] += 1
            return
        if self.rng.random() < f["corrupt"]:
            self.stats["corrupted"] += 1
            b = bytearray(data)
            first = int(f["corrupt_from"]) if len(b) > int(f["corrupt_from"]) else 6
            i = self.rng.randrange(first, len(b)) if len(b) > first else 0
            b[i] ^= 0x5A
            data = bytes(b)
        copies = 1
        if self.rng.random() < f["dup"]:
            self.stats["duplicated"] += 1
            copies = 2
        for _ in range(copies):
            if self.rng.random() < f["delay"]:
                self.stats["delayed"] += 1
                self.delayed.append((time.monotonic() + f["delay_ms"] / 1000.0, data, address))
            else:
                self.link.sendto(data, address)
                self.stats["tx"] += 1

    def flush_delayed(self):
        now = time.monotonic()
        due = [d for d in self.delayed if d[0] <= now]
        self.delayed = [d for d in self.delayed if d[0] > now]
        for _, data, address in due:
            self.link.sendto(data, address)
            self.stats["tx"] += 1

    def next_seq(self):
        self.seq = (self.seq + 1) & 0xFFFF
        return self.seq

    def enum_reply(self):
        console_ip, console_port = self.console if self.console else ("0.0.0.0", 0)
        if self.other_console:
            console_ip, console_port = "127.0.0.9", 9999
        return (socket.inet_aton(LOOPBACK) + struct.pack("<H", self.port) + socket.inet_aton(console_ip) +
                struct.pack("<H", console_port) + self.name.ljust(16, b"\0"))

    # --- link traffic
    def on_datagram(self, data, address):
        self.stats["rx"] += 1
        if self.silent:
            return
        if self.rng.random() < self.faults["rx_drop"]:
            self.stats["rx_dropped"] += 1
            return
        if self.rng.random() < self.faults["rx_corrupt"]:
            self.stats["rx_corrupted"] += 1
            b = bytearray(data)
            b[self.rng.randrange(len(b))] ^= 0x5A
            data = bytes(b)
        copies = 1
        if self.rng.random() < self.faults["rx_dup"]:
            self.stats["rx_duplicated"] += 1
            copies = 2
        for _ in range(copies):
            self.on_frame(data, address)

    def on_frame(self, data, address):
        f = parse(data)
        if f is None:
            self.stats["bad_frames"] += 1
            return
        ftype, flag, seq, payload = f
        if ftype == ENUM:
            self.stats["enum"] += 1
            self.send(frame(ENUM, 0, 0, self.enum_reply() + self.info), address)
        elif ftype == CONNECT:
            self.stats["connect"] += 1
            if self.other_console:
                self.send(frame(ERROR, 0, 0, self.enum_reply() + struct.pack("<i", -14)), address)
                return
            if len(payload) >= 4:
                mode, tlen = struct.unpack_from("<HH", payload)
                self.connect_text = "%d:%s" % (mode, payload[4:4 + tlen].split(b"\0")[0].decode("latin-1"))
            self.console = address
            reply = b"APR[1]APV[2]DPR[3]DPV[4]NCID[5]PROT[%d]\0" % self.prot
            self.send(frame(ACK, 0, seq, reply), address)
        elif ftype == DISCONNECT:
            self.stats["disconnect"] += 1
            if self.console == address:
                self.console = None
            self.send(frame(ACK, 0, seq), address)
        elif ftype == KEEPALIVE:
            self.stats["keepalive"] += 1
            self.send(frame(KEEPALIVE, 0, 0), address)
        elif ftype == DATA:
            self.stats["data"] += 1
            if address != self.console:
                return
            self.on_device_frame(payload, address)
        elif ftype == ACK:
            self.stats["acks_rx"] += 1
            self.acked.append(seq)
            if self.inflight and self.inflight[0] == seq:
                self.stats["replies_acked"] += 1
                self.inflight = None
                self.send_next_reply()

    def on_device_frame(self, payload, address):
        pack = self.core_pack(payload)
        lines = []
        for kind, value in self.core.take(payload):
            if kind == "status":
                self.send(frame(DATA, 0x80, self.next_seq(), bytes([value, pack])), address)
            else:
                lines.append(value)
        self.queue_replies(lines)

    def core_pack(self, payload):
        if self.core.prot == 5:
            return payload[2] if len(payload) > 2 else 0
        return payload[6] if len(payload) > 6 else 0

    # --- reply lines: one Data frame in flight until acknowledged
    def queue_replies(self, lines, alone=False):
        """Queues the lines of one answer. They join the payload still waiting to be sent
        unless it is full; alone: each line is a frame of its own."""
        for line in lines:
            last = self.pending[-1] if self.pending else None
            if last and last[1] and not alone and len(last[0]) + len(line) <= REPLY_BATCH:
                last[0] += line
            else:
                self.pending.append([bytearray(line), not alone])
        self.send_next_reply()

    def send_next_reply(self):
        if self.inflight is None and self.pending and self.console:
            payload = bytes(self.pending.pop(0)[0])
            self.inflight = [self.next_seq(), None, 0.0, 0]
            self.inflight[1] = frame(DATA, 0, self.inflight[0], payload)
            self.stats["replies_sent"] += 1
        if self.inflight is not None and self.inflight[3] == 0:
            self.send_reply()

    def send_reply(self):
        if not self.console:
            return
        entry = self.inflight
        entry[2] = time.monotonic() + self.faults["resend_ms"] / 1000.0
        entry[3] += 1
        self.send(entry[1], self.console)

    def resend_replies(self):
        if self.inflight is None:
            self.send_next_reply()  # lines queued before a console was there
            return
        if time.monotonic() < self.inflight[2]:
            return
        if self.inflight[3] > 100:
            self.stats["replies_expired"] += 1
            self.inflight = None
            self.send_next_reply()
        else:
            self.stats["replies_resent"] += 1
            self.send_reply()

    # --- control
    def on_control(self, text):
        words = text.strip().split(" ", 1)
        cmd, arg = words[0].upper(), (words[1] if len(words) > 1 else "")
        if cmd == "PING":
            return "PONG"
        if cmd == "STATS":
            st = dict(self.stats)
            st.update(self.core.stats_items())
            st.update(connected=int(self.console is not None), prot=self.prot, connect_text=self.connect_text,
                      acked=",".join(map(str, self.acked[-20:])), pending_delayed=len(self.delayed),
                      packs=",".join(map(str, self.core.packs[-1000:])),
                      replies_pending=len(self.pending) + (self.inflight is not None))
            return "\n".join("%s=%s" % kv for kv in st.items())
        if cmd == "RESET":
            self.reset()
            return "OK"
        if cmd == "FORGET":
            self.console = None
            return "OK"
        if cmd == "SILENT":
            self.silent = arg.strip() == "1"
            return "OK"
        if cmd == "PROT":
            self.prot = 1 if arg.strip() == "1" else 0
            self.core.prot = 7 if self.prot else 5
            return "OK"
        if cmd == "FAULTS":
            self.set_faults(arg)
            return "OK"
        if cmd == "PFAULTS":
            self.core.set_faults(arg)
            return "OK"
        answer = self.core.control(cmd, arg)
        if answer is not None:
            return answer
        if cmd == "SENDSTATUS":
            if not self.console:
                return "NO CONSOLE"
            status, pack = (int(x, 0) for x in arg.split())
            self.send(frame(DATA, 0x80, self.next_seq(), bytes([status, pack])), self.console)
            return "OK"
        if cmd in ("REPLY", "LINES", "ERROR"):
            if not self.console:
                return "NO CONSOLE"
            if cmd == "REPLY":
                self.queue_replies([arg.encode("latin-1")])
            elif cmd == "LINES":
                self.queue_replies([b"L%03d;" % i for i in range(int(arg))], alone=True)
            else:
                self.send(frame(ERROR, 0, 0, self.enum_reply() + struct.pack("<i", int(arg))), self.console)
            return "OK"
        if cmd == "INFO":
            self.info = arg.encode("latin-1")[:127]
            return "OK"
        if cmd == "OTHER_CONSOLE":
            self.other_console = arg.strip() == "1"
            return "OK"
        if cmd == "QUIT":
            self.deadline = 0
            return "OK"
        return "UNKNOWN"

    def run(self):
        socks = [self.link, self.bcast, self.control]
        while time.monotonic() < self.deadline:
            timeout = 0.01 if self.delayed or self.inflight else 0.5
            ready, _, _ = select.select(socks, [], [], timeout)
            for s in ready:
                data, address = s.recvfrom(65535)
                if s is self.control:
                    reply = self.on_control(data.decode("latin-1"))
                    s.sendto(reply.encode("latin-1"), address)
                else:
                    self.on_datagram(data, address)
            self.flush_delayed()
            self.resend_replies()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--port-file")
    ap.add_argument("--name", default="TestCarver")
    ap.add_argument("--lifetime", type=float, default=600.0, help="seconds before it stops by itself")
    ap.add_argument("--faults", default="", help="line faults, as the FAULTS command")
    ap.add_argument("--pfaults", default="", help="protocol faults, as the PFAULTS command")
    ap.add_argument("--acks", default="fixed", choices=("fixed", "numbered", "bare"))
    ap.add_argument("--record", default="", help="file that receives the command stream")
    args = ap.parse_args()
    c = Controller(args)
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("PORT=%d\nCONTROL=%d\n" % (c.port, c.control.getsockname()[1]))
        os.replace(tmp, args.port_file)
    print("controller %s on %s:%d" % (args.name, LOOPBACK, c.port), flush=True)
    c.run()


if __name__ == "__main__":
    sys.exit(main())
