#!/usr/bin/env python3
"""One job end to end through Mardrive.exe under Wine, against the test controllers:
frames/s and segments/s of the whole road (planner, FIFO, frame protocol, link), the
time from Start to the job's first command on the wire, and the link ceilings measured
in the same run by bench/link's link_bench (the raw datagram round trip on UDP; the
physical frame rate of the line, the bare port's measured round trip and the link's own
stop-and-wait rate on serial).

  engine_bench.py udp    --driver D --engine E --link-bench L [--tags N] [--moves M] [--job-records R]
  engine_bench.py serial --driver D --engine E --link-bench L [--tags N] [--moves M] [--baud B]
      (inside run_with_serial_peer.sh --baud B)
      The job is a carving of N pockets of M feed moves (about a tag mark a frame at the
      default), or with --job-records a stored job of R path records with a tag every
      100 records.
  engine_bench.py memory --driver D --engine E [--records N...]
      peak resident memory of the engine while it plans a job of N records for the UDP
      controller: the processing thread plans the whole job long before the link has
      sent it, and the spill FIFO's file holds the backlog. Once the file has stopped
      growing the driver is ended, and the engine stops and exits with it.

bench/engine/run.sh runs them all. Goals: >= 80% of the UDP round-trip ceiling,
>= 95% of the serial ceiling, the first frame under 200 ms, peak memory at 10M records
within 1.2x of that at 1M. The engine runs with its logs off, as it ships.
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "peers"))
from controller_core import StreamDecoder, is_move_code  # noqa: E402
from e2e_support import ROOT, WINE_ENV, ProgramFolder, SerialPeer, UdpPeer, carving, plan_records, stats  # noqa: E402


def link_ceilings(link_bench, kind, env, *args):
    """link_bench's output for this link: {label: value}."""
    script = 'source "$0"; unset DISPLAY; corvane_prefix 1 >/dev/null; exec env LC_ALL=zh_CN.UTF-8 "$WINE" "$@"'
    out = subprocess.run(["bash", "-c", script, str(WINE_ENV), link_bench, kind, *args], env=env,
                         capture_output=True, text=True, timeout=600).stdout
    values = {}
    for label, pattern in (("udp_round_trips", r"raw datagram round trips:\s+([\d.]+)"),
                           ("udp_link", r"engine over the UDP link:\s+([\d.]+)"),
                           ("serial_physical", r"physical frame rate:\s+([\d.]+)"),
                           ("serial_bare", r"bare port round trips:\s+([\d.]+)"),
                           ("serial_link_alone", r"link alone, stop and wait:\s+([\d.]+)")):
        m = re.search(pattern, out)
        if m:
            values[label] = float(m.group(1))
    return values, out


# The G-form moves (rapid, line, two arcs): one segment each.
G_FORM_MOVES = range(35, 39)


def segments_of(stream):
    """Segments in a recorded command stream: the items of the move blocks and the
    G-form moves."""
    decoder = StreamDecoder()
    decoder.feed(stream)
    count = 0
    for code, command in decoder.commands:
        if is_move_code(code):
            count += struct.unpack_from("<H", command, 4)[0]
        elif code in G_FORM_MOVES:
            count += 1
    return count


def run_job(folder, name, peer_control, timeout=600):
    """Runs the job; returns (seconds from Start to FINISHED, the monotonic times of
    Start and FINISHED)."""
    # The job stays attached after it ends, so that "FINISHED" stays in its header until
    # the driver detaches it: with auto-quit it gives way to "QUITING" at once.
    proc = folder.start(["run", "--timeout", str(timeout), "--detach-finished", name])
    started = finished = None
    lines = []
    for line in proc.stdout:
        now = time.monotonic()
        lines.append(line.rstrip())
        words = line.split()
        if words[:2] == ["START", name]:
            started = now
        if words[:3] == ["STATE", name, "FINISHED"] and finished is None:
            finished = now
    proc.wait()
    if proc.returncode != 0 or started is None or finished is None:
        raise SystemExit("engine_bench: the job did not finish:\n" + "\n".join(lines) + folder.logs())
    return finished - started, started, finished


def road(args, kind):
    work = tempfile.mkdtemp(prefix="engine-bench-")
    # The engine's settings as shipped: the test folders switch the frame logs on, a
    # write for every frame and every reply line.
    folder = ProgramFolder(args.driver, args.engine, work, logs=False)
    record = Path(work) / "record"
    if kind == "udp":
        peer = UdpPeer(work, ("--record", str(record)))
        env = dict(os.environ, CORVANE_PEER_PORT=str(peer.port), CORVANE_PEER_CONTROL=str(peer.control_port))
        ceilings, out = link_ceilings(args.link_bench, "udp", env, str(args.link_frames))
        connection = peer.connection
        peer.control("FORGET")
    else:
        peer = SerialPeer()
        ceilings, out = link_ceilings(args.link_bench, "serial", os.environ, str(args.baud), str(args.link_frames))
        connection = peer.connection(args.baud)
    for command in ("RESET", "RECORD " + str(record)):
        peer.control(command)
    if args.job_records:
        rc, events = folder.run(["add-records", "Bench", connection, str(args.job_records)], 600)
        added = [w for w in events.words if w[0] == "ADDED"]
        if rc != 0 or not added:
            raise SystemExit("engine_bench: the job was not written:\n" + events.text())
        total = int(added[0][3].split("=")[1])
        # The generated job cuts 1 mm deep: the controller's Z origin lies 10 mm up.
        peer.control("ORIGIN 0 0 400")
        shape = "%d records, a tag every 100" % args.job_records
    else:
        total = folder.add("Bench", carving(args.tags, args.moves), connection, auto_quit=False)
        shape = "%d moves a pocket" % args.moves
    seconds, started, finished = run_job(folder, "Bench", peer.control_port)
    st = stats(peer.control_port)
    frames = int(st["frames_ok"])
    segments = segments_of(record.read_bytes())
    first_ms = (float(st["first_record_at"]) - started) * 1000.0
    streaming = finished - float(st["first_record_at"])
    rate = frames / streaming
    print("%s: a job of %d tags (%s), %d frames, %d segments, %.2f s from Start to FINISHED" %
          (kind, total, shape, frames, segments, seconds))
    print("  Start to FINISHED:     %8.1f frames/s  %10.0f segments/s" % (frames / seconds, segments / seconds))
    print("  first command to FINISHED (the stream): %.1f frames/s  %.0f segments/s" %
          (rate, segments / streaming))
    if kind == "udp":
        ceiling = ceilings.get("udp_round_trips", 0.0)
        print("  raw datagram round trips: %8.1f /s (ceiling)" % ceiling)
        print("  = %.0f%% of the ceiling (goal 80%%)" % (100.0 * rate / ceiling if ceiling else 0))
        if "udp_link" in ceilings:
            alone = ceilings["udp_link"]
            print("  frame protocol alone over the link: %8.1f frames/s (the stream is %.0f%% of it)" %
                  (alone, 100.0 * rate / alone if alone else 0))
    else:
        ceiling = ceilings.get("serial_physical", 0.0)
        print("  physical frame rate at %d baud: %6.1f frames/s (ceiling)" % (args.baud, ceiling))
        print("  = %.1f%% of the ceiling (goal 95%%)" % (100.0 * rate / ceiling if ceiling else 0))
        if "serial_bare" in ceilings:
            bare = ceilings["serial_bare"]
            print("  bare port round trips:      %6.1f frames/s (measured ceiling; the stream is %.1f%% of it)" %
                  (bare, 100.0 * rate / bare if bare else 0))
        if "serial_link_alone" in ceilings:
            alone = ceilings["serial_link_alone"]
            print("  link alone, stop and wait:  %6.1f frames/s (the stream is %.0f%% of it)" %
                  (alone, 100.0 * rate / alone if alone else 0))
    print("  Start to the first command on the wire: %.0f ms (goal < 200 ms)" % first_ms)
    if not ceilings:
        print(out)
    peer_close = getattr(peer, "close", None)
    if peer_close:
        peer_close()
    folder.close()
    shutil.rmtree(work, ignore_errors=True)


def memory(args):
    results = []
    for records in args.records:
        run = plan_records(args.driver, args.engine, "Big", records)
        print("memory: %d records planned within %.1f s of the driver's start, %d frames in %.0f MB spilled "
              "(the link streamed %.0f frames/s meanwhile): engine peak resident %d KB (anonymous at most %d KB)" %
              (records, run.seconds, run.items, run.spill_bytes / 1e6, run.frames_per_s, run.peak_kb, run.anon_kb))
        results.append(run.peak_kb)
    if len(results) >= 2 and results[0]:
        print("  peak at %d records / peak at %d records = %.2f (goal <= 1.2)" %
              (args.records[-1], args.records[0], results[-1] / results[0]))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("kind", choices=("udp", "serial", "memory"))
    ap.add_argument("--driver", required=True)
    ap.add_argument("--engine", required=True)
    ap.add_argument("--link-bench")
    ap.add_argument("--tags", type=int, default=200)
    # Feed moves a pocket (8: about one tag a frame; every tag mark draws a reply line).
    ap.add_argument("--moves", type=int, default=8)
    ap.add_argument("--baud", type=int, default=115200)
    ap.add_argument("--job-records", type=int, default=0)
    ap.add_argument("--link-frames", type=int, default=0)
    ap.add_argument("--records", type=int, nargs="+", default=[1000000, 10000000])
    args = ap.parse_args()
    if args.kind == "memory":
        memory(args)
    else:
        if not args.link_frames:
            args.link_frames = 5000 if args.kind == "udp" else 300
        road(args, args.kind)


if __name__ == "__main__":
    main()
