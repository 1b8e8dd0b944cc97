"""The protocol core of the test controllers, shared by the serial and the UDP one.

A controller takes device frames from the PC, checks them, acknowledges each and takes
each once, reads the command stream they carry and answers the status queries and the
tag marks with reply lines, and keeps a table of ROM parameters that the PC reads and
writes. The transports (serial_controller.py, udp_controller.py)
move the bytes and add the faults of their line; this module decides what a frame
means and what the answer is.

Device frames (all words little-endian):
  protocol 5: 7E 7E, pack, 128 data bytes, 8-bit sum of bytes 2..130, mark (AAAA
              command frame, 5555 data frame) -- always 134 bytes
  protocol 7: E7 E7, CRC-16/ARC of bytes 4..9+length, frame command (0x100 sync,
              0x200 other), flags (bits 0-7 pack, 8-11 generation, 15 mark), length,
              data (0..1024 bytes)
Answers: 0x01 ACK, 0xF0|pack ACK numbered, 0x06 BUSY, 0x08 NAK, 0xE0|pack NAK numbered;
reply lines "text XX;" with XX the two hex digits of the 8-bit sum of "text ".

The command stream: the data of the frames taken, joined. A command is a word
0x8000+code, then either a move block (item size, item count, items; move codes
0x41-0x47, 0x51-0x57, 0x61-0x67, 0x71-0x77) or a length word and that many bytes. A
zero word where a command would begin is the zero fill of a frame sent before it was
full: the rest of that frame is skipped. The recorded stream is what the controller
would execute: every command except the tag marks (10), the status queries (32), the
stop and Z adjustment commands (144) and code 0 -- byte for byte the file export.

ROM parameters: a read is the status query (32) of item 18, a write the command 144
with the word 18 first; both carry u16 item, u16 index, u16 type code (the character of
the type: C B S W L D F U T, 0 none), then the value (little-endian; a string one
character per 16-bit unit). Each is answered with the line "B%04X,1,<value>" (the
value the table now holds) or "B%04X,-," for an index the table does not have.
"""
import random
import struct
import time

SYNC5, SYNC7 = b"\x7e\x7e", b"\xe7\xe7"
V5_SIZE = 134
V7_HEADER = 10
MAX_DATA = 1024
ACK, BUSY, NAK = 0x01, 0x06, 0x08
LEGACY_NAK = 0x15  # the "fixed" answer style of the first LAN controllers: F0 ACK, 15 NAK
CODE_TAG, CODE_QUERY, CODE_OT = 10, 32, 144
OT_STOP = 5  # the word of a stop command (144)
ROM_ITEM = 18
ROM_TYPES = {"char": "C", "byte": "B", "short": "S", "word": "W", "long": "L", "dword": "D", "float": "F",
             "double": "U", "string": "T"}
ROM_FORMS = {"C": "<b", "B": "<B", "S": "<h", "W": "<H", "L": "<i", "D": "<I", "F": "<f", "U": "<d"}
# The controller's own values (index: (type code, value)).
DEFAULT_ROM = {0x400: ("F", 2540.0), 0x404: ("F", 2540.0), 0x408: ("F", 1016.0), 0x40C: ("F", 1016.0),
               0x450: ("B", 2), 0x451: ("B", 255), 0x452: ("B", 0), 0x460: ("B", 4), 0x470: ("T", "TestCarver")}
NOT_RECORDED = (0, CODE_TAG, CODE_QUERY, CODE_OT)


def _crc_table():
    table = []
    for i in range(256):
        crc = i
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
        table.append(crc)
    return table


_CRC_TABLE = _crc_table()


def crc16_arc(data):
    """CRC-16/ARC (reflected 0x8005, initial 0), a byte at a time from the table."""
    crc = 0
    for b in data:
        crc = (crc >> 8) ^ _CRC_TABLE[(crc ^ b) & 0xFF]
    return crc


def is_move_code(code):
    return (code & 0xF0) in (0x40, 0x50, 0x60, 0x70) and 1 <= (code & 0x0F) <= 7


def reply_line(text):
    """The wire form of a reply line: text, blank, two hex digits of the sum, ';'."""
    t = text.encode("latin-1") + b" "
    return t + b"%02X;" % (sum(t) & 0xFF)


def scan_frame(buf, prot):
    """Like the engine's scanner: (size > 0) a whole good frame at 0; 0 need more bytes;
    -n drop n bytes (no frame can start before byte n). Second value: 'bad' when a whole
    frame failed its check."""
    sync = SYNC5 if prot == 5 else SYNC7
    sb = sync[0]

    def skip(start, why):
        i = start
        while i < len(buf) and not (buf[i] == sb and (i + 1 == len(buf) or buf[i + 1] == sb)):
            i += 1
        return -i, why

    if not buf:
        return 0, None
    if buf[0] != sb or (len(buf) >= 2 and buf[1] != sb):
        return skip(1, "garbage")
    if len(buf) < (6 if prot == 5 else V7_HEADER):
        return 0, None
    if prot == 5:
        size = V5_SIZE
    else:
        length = struct.unpack_from("<H", buf, 8)[0]
        if length > MAX_DATA:
            return skip(1, "garbage")
        size = V7_HEADER + length
    if len(buf) < size:
        return 0, None
    if check_frame(bytes(buf[:size]), prot)[0]:
        return size, "frame"
    return skip(1, "bad")


def check_frame(frame, prot):
    """(good, pack, data, is_sync, is_command) of one device frame."""
    if prot == 5:
        if len(frame) < V5_SIZE or frame[0:2] != SYNC5:
            return False, frame[2] if len(frame) > 2 else 0, b"", False, False
        pack, data = frame[2], frame[3:131]
        good = (sum(frame[2:131]) & 0xFF) == frame[131]
        command = frame[132:134] == b"\xaa\xaa"
        # The sync frame of protocol 5 is a command frame of zero data.
        return good, pack, data, command and not any(data), command
    if len(frame) < V7_HEADER or frame[0:2] != SYNC7:
        return False, 0, b"", False, False
    crc, fcmd, flags, length = struct.unpack_from("<HHHH", frame, 2)
    if length > MAX_DATA or len(frame) < V7_HEADER + length:
        return False, flags & 0xFF, b"", False, False
    good = crc16_arc(frame[4:V7_HEADER + length]) == crc
    return good, flags & 0xFF, frame[V7_HEADER:V7_HEADER + length], fcmd == 0x100, bool(flags & 0x8000)


# The faults of a line, common to both transports (each adds its own keys): a share of
# the frames in (rx_*) and of the answers out that are lost, damaged, doubled or late.
LINE_FAULTS = dict(rx_drop=0.0, rx_corrupt=0.0, rx_dup=0.0, drop=0.0, corrupt=0.0, dup=0.0, delay=0.0)


def parse_line_faults(text, defaults, rngs):
    """The line faults of a FAULTS text ("drop=0.1 seed=3 ..."): defaults updated with
    the keys they know; seed=n seeds every random source given."""
    faults = dict(defaults)
    for item in text.split():
        key, _, value = item.partition("=")
        if key == "seed":
            for rng in rngs:
                rng.seed(int(value))
        elif key in faults:
            faults[key] = float(value)
    return faults


class StreamDecoder:
    """Joins frame data and splits it into commands (see the module text)."""

    def __init__(self):
        self.pending = bytearray()
        self.commands = []  # (code, bytes) of every command, in order
        self.errors = 0

    def feed(self, data):
        """Takes one frame's data; returns the commands completed by it."""
        buf = self.pending + data
        self.pending = bytearray()
        done = []
        i = 0
        while i < len(buf):
            rest = len(buf) - i
            if buf[i] == 0 and (rest == 1 or buf[i + 1] == 0):
                break  # zero fill: the rest of the frame
            size = self.size_at(buf, i)
            if size < 0:
                self.errors += 1
                break
            if size == 0 or rest < size:
                self.pending = bytearray(buf[i:])
                break
            cmd = (buf[i], bytes(buf[i:i + size]))
            self.commands.append(cmd)
            done.append(cmd)
            i += size
        return done

    @staticmethod
    def size_at(p, i):
        """Size of the command starting at p[i]: 0 not known yet, -1 not a command."""
        rest = len(p) - i
        if rest >= 2 and not (p[i + 1] & 0x80):
            return -1
        code = p[i]
        if is_move_code(code):
            if rest < 6:
                return 0
            item, count = struct.unpack_from("<HH", p, i + 2)
            return 6 + item * count
        if rest < 4:
            return 0
        return 4 + struct.unpack_from("<H", p, i + 2)[0]


class ProtocolCore:
    """One controller's state: packs taken, the command stream, the answers.

    take(frame) returns the answer to one device frame as a list of items, each
    ("status", byte) or ("line", bytes); the transport sends them in order.
    """

    def __init__(self, name="TestCarver", prot=5, acks="numbered", seed=1):
        self.name = name
        self.prot = prot
        self.acks = acks  # numbered (0xF0|pack), bare (0x01) or fixed (0xF0; NAK 0x15)
        self.version = "VER5300"
        self.capability = "ATC"
        self.work = (100000, 48000, 6400)
        self.origin = (0, 0, 0)
        self.bad_answer = "nak"  # or "none": a frame that fails its check
        self.rng = random.Random(seed)
        self.record_path = None
        self.record_file = None
        self.faults = {}
        self.set_faults("")
        self.rom = dict(DEFAULT_ROM)
        self.rom_silent = False  # ROM requests taken but never answered
        self.reset()

    def reset(self):
        self.stats = {k: 0 for k in (
            "frames_rx", "frames_ok", "frames_bad", "repeated_packs", "sync_frames", "command_frames", "data_frames",
            "status_ack", "status_busy", "status_nak", "faked_naks", "busy_storms", "silenced", "queries", "tags",
            "rom_reads", "rom_writes", "stop_commands", "lines", "commands", "recorded_bytes", "stream_errors")}
        self.last_pack = None
        self.packs = []
        self.decoder = StreamDecoder()
        self.old_errors = 0  # stream errors of the streams before this one and of command frames
        self.status_mode = ("ACK", 0)
        self.busy_left = 0  # BUSY answers still due to the frame in a storm
        self.silence_left = self.faults["silence"]
        self.first_record_at = 0.0  # time.monotonic() of the first job command taken
        self.open_record()

    # Protocol faults (the transports add those of their line):
    #   nak=p      a good frame is answered NAK (not taken)
    #   busy=p busy_n=n   a good frame draws a storm of n BUSY answers first
    #   silence=n@k       after k frames taken, the next n frames get no answer at all
    PROTOCOL_FAULTS = dict(nak=0.0, busy=0.0, busy_n=5, silence=0, silence_at=0)

    def set_faults(self, text):
        self.faults = dict(self.PROTOCOL_FAULTS)
        for item in text.split():
            key, _, value = item.partition("=")
            if key == "silence" and "@" in value:
                n, _, at = value.partition("@")
                self.faults["silence"], self.faults["silence_at"] = int(n), int(at)
            elif key in self.faults:
                self.faults[key] = float(value)
        self.silence_left = int(self.faults["silence"])

    def set_record(self, path):
        self.record_path = path or None
        self.open_record()

    def open_record(self):
        """Starts the record file afresh (none without a path)."""
        if getattr(self, "record_file", None):
            self.record_file.close()
        self.record_file = open(self.record_path, "wb") if self.record_path else None

    def ack(self, pack):
        if self.acks == "bare":
            return ACK
        return 0xF0 | (pack & 0x0F) if self.acks == "numbered" else 0xF0

    def nak(self, pack):
        if self.acks == "fixed":
            return LEGACY_NAK
        return 0xE0 | (pack & 0x0F) if self.acks == "numbered" else NAK

    def take(self, frame):
        self.stats["frames_rx"] += 1
        good, pack, data, is_sync, is_command = check_frame(frame, self.prot)
        if not good:
            self.stats["frames_bad"] += 1
            if self.bad_answer == "none":
                return []
            self.stats["status_nak"] += 1
            return [("status", LEGACY_NAK if self.acks == "fixed" else NAK)]
        if self.silence_left > 0 and len(self.packs) >= self.faults["silence_at"]:
            self.silence_left -= 1
            self.stats["silenced"] += 1
            return []
        if is_sync:
            # A new numbering starts here, and a new stream: a command the last session
            # left half-sent is dropped. A resent sync frame is harmless.
            self.stats["sync_frames"] += 1
            self.last_pack = pack
            self.new_stream()
            self.stats["status_ack"] += 1
            return [("status", self.ack(pack))]
        if pack == self.last_pack:
            # The PC did not hear the ACK and sent the frame again: acknowledged, not taken.
            self.stats["repeated_packs"] += 1
            self.stats["status_ack"] += 1
            return [("status", self.ack(pack))]
        mode, left = self.status_mode
        if mode != "ACK" and left > 0:
            self.status_mode = (mode, left - 1)
            if mode == "BUSY":
                self.stats["status_busy"] += 1
                return [("status", BUSY)]
            self.stats["status_nak"] += 1
            return [("status", self.nak(pack))]
        if self.busy_left == 0 and self.rng.random() < self.faults["busy"]:
            self.busy_left = int(self.faults["busy_n"])
            self.stats["busy_storms"] += 1
        if self.busy_left > 0:
            self.busy_left -= 1
            self.stats["status_busy"] += 1
            return [("status", BUSY)]
        if self.rng.random() < self.faults["nak"]:
            self.stats["faked_naks"] += 1
            self.stats["status_nak"] += 1
            return [("status", self.nak(pack))]
        self.stats["frames_ok"] += 1
        self.stats["command_frames" if is_command else "data_frames"] += 1
        self.last_pack = pack
        self.packs.append(pack)
        self.stats["status_ack"] += 1
        answers = [("status", self.ack(pack))]
        recorded = []
        # A command frame holds whole commands of its own: it may come between two data
        # frames that split a command (a query during a run, the stop after a cut run).
        if is_command:
            alone = StreamDecoder()
            decoded = alone.feed(data)
            self.old_errors += alone.errors
        else:
            decoded = self.decoder.feed(data)
        for code, command in decoded:
            self.stats["commands"] += 1
            if code not in NOT_RECORDED:
                recorded.append(command)
            elif code in (CODE_TAG, CODE_QUERY, CODE_OT):
                answers += self.on_command(code, command)
        if recorded and not self.first_record_at:
            self.first_record_at = time.monotonic()
        if recorded and self.record_file:
            chunk = b"".join(recorded)
            self.record_file.write(chunk)
            self.record_file.flush()  # whole before the ACK goes out
            self.stats["recorded_bytes"] += len(chunk)
        self.stats["stream_errors"] = self.old_errors + self.decoder.errors
        return answers

    def new_stream(self):
        self.old_errors += self.decoder.errors
        self.decoder = StreamDecoder()

    def on_command(self, code, command):
        texts = []
        if code == CODE_TAG and len(command) >= 8:
            self.stats["tags"] += 1
            texts.append("G%d" % struct.unpack_from("<i", command, 4)[0])
        elif code == CODE_OT and len(command) >= 6 and struct.unpack_from("<H", command, 4)[0] == OT_STOP:
            # The run is over: the rest of a command cut short is never coming.
            self.stats["stop_commands"] += 1
            self.new_stream()
        elif code in (CODE_QUERY, CODE_OT) and len(command) >= 10 and struct.unpack_from("<H", command, 4)[0] == ROM_ITEM:
            text = self.on_rom(code == CODE_OT, command[4:])
            if text:
                texts.append(text)
        elif code == CODE_QUERY and len(command) >= 6:
            self.stats["queries"] += 1
            item = struct.unpack_from("<H", command, 4)[0]
            text = {1: "T" + self.name, 2: "WX%d Y%d Z%d" % self.work, 3: "OX%d Y%d Z%d" % self.origin,
                    4: "SONLINE", 13: "V" + self.version, 16: "C" + self.capability}.get(item)
            if text:
                texts.append(text)
        self.stats["lines"] += len(texts)
        return [("line", reply_line(t)) for t in texts]

    def on_rom(self, write, data):
        """A ROM read or write (data from the item word on); the answer line or None."""
        self.stats["rom_writes" if write else "rom_reads"] += 1
        index, code = struct.unpack_from("<HH", data, 2)
        if write and index in self.rom:
            kind = chr(code) if code else ""
            value = data[6:]
            if kind == "T":
                chars = bytearray()
                for b in value[0::2][:16]:
                    if b == 0:
                        break
                    chars.append(b)
                self.rom[index] = ("T", chars.decode("latin-1"))
            elif kind in ROM_FORMS and len(value) >= struct.calcsize(ROM_FORMS[kind]):
                self.rom[index] = (kind, struct.unpack_from(ROM_FORMS[kind], value)[0])
        if self.rom_silent:
            return None
        if index not in self.rom:
            return "B%04X,-," % index
        return "B%04X,1,%s" % (index, self.rom_text(index))

    def rom_text(self, index):
        kind, value = self.rom[index]
        if kind == "F":
            return "%.9g" % value
        if kind == "U":
            return "%.17g" % value
        return str(value)

    def rom_control(self, arg):
        """ROM SET <index> <type> <value> | GET <index> | SILENT 0|1 | DEFAULT | CLEAR"""
        words = arg.split(None, 3)
        sub = words[0].upper() if words else ""
        if sub == "SET" and len(words) == 4 and words[2].lower() in ROM_TYPES:
            kind = ROM_TYPES[words[2].lower()]
            text = words[3]
            value = text[:16] if kind == "T" else float(text) if kind in "FU" else int(text, 0)
            self.rom[int(words[1], 0)] = (kind, value)
            return "OK"
        if sub == "GET" and len(words) == 2:
            index = int(words[1], 0)
            if index not in self.rom:
                return "NONE"
            kind = self.rom[index][0]
            name = [n for n, k in ROM_TYPES.items() if k == kind][0]
            return "%s %s" % (name, self.rom_text(index))
        if sub == "SILENT" and len(words) == 2:
            self.rom_silent = words[1] == "1"
            return "OK"
        if sub == "DEFAULT":
            self.rom = dict(DEFAULT_ROM)
            self.rom_silent = False
            return "OK"
        if sub == "CLEAR":
            self.rom = {}
            return "OK"
        return "BAD ROM COMMAND"

    def stats_items(self):
        st = dict(self.stats)
        st.update(prot=self.prot, acks=self.acks, packs_taken=len(self.packs), first_record_at=self.first_record_at,
                  last_packs=",".join(map(str, self.packs[-20:])), pending_stream=len(self.decoder.pending))
        return st

    def control(self, cmd, arg):
        """The control commands both transports share; None for one it does not know."""
        if cmd == "STATUS":
            parts = arg.split()
            self.status_mode = (parts[0].upper(), int(parts[1]) if len(parts) > 1 else 0)
            return "OK"
        if cmd == "ACKS":
            self.acks = arg.strip().lower() or "numbered"
            return "OK"
        if cmd == "RECORD":
            self.set_record(arg.strip())
            return "OK"
        if cmd == "BAD":
            self.bad_answer = arg.strip().lower() or "nak"
            return "OK"
        if cmd == "NAME":
            self.name = arg
            return "OK"
        if cmd == "ORIGIN":  # x y z in steps: the origin the "O" query answers
            values = arg.split()
            if len(values) != 3:
                return "BAD ORIGIN"
            self.origin = tuple(int(v) for v in values)
            return "OK"
        if cmd == "ROM":
            return self.rom_control(arg)
        return None
