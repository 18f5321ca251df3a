"""A reader on the tool's side of the line through pyserial, for the
side-by-side benchmark. It takes one command per line on standard input and
answers each with lines on standard output; times are time.monotonic_ns(),
the benchmark's own clock (CLOCK_MONOTONIC).

  block docs PATH     open as pyserial's documentation suggests for a reply
                      that ends in silence (timeout=1.0, inter_byte_timeout=0.1)
                      and make one read(2048)
  block loop PATH     open with timeout=0.1 and read until 100 ms of silence
  flood loop PATH N   blocks of the silence loop until N bytes arrived
  quit

Answers: "ready" once the port is open, then
"done ENDED_NS BYTES CPU_NS SWITCHES INTACT" (SWITCHES: context switches;
INTACT: a flood matched the pattern), or
"failed TEXT". At start: "unavailable TEXT" when pyserial is missing.
"""
import resource
import sys
import time

try:
    import serial
except ImportError:
    print("unavailable pyserial is not installed (Debian package python3-serial)", flush=True)
    sys.exit(0)

SILENCE_S = 0.1
BLOCK = 2048
FIRST_BYTE_WAIT_S = 3.0
# The flood's bytes, as the benchmark writes them.
PATTERN = bytes((i * 31 + 7) % 256 for i in range(4096))


def silence_loop(port, limit):
    """Bytes until 100 ms without one, or limit bytes: each read asks for what
    is waiting (at least one byte) and gives up after the port's 0.1 s."""
    data = bytearray()
    deadline = time.monotonic() + FIRST_BYTE_WAIT_S
    while len(data) < limit:
        chunk = port.read(min(max(port.in_waiting, 1), limit - len(data)))
        if chunk:
            data += chunk
        elif data or time.monotonic() > deadline:
            break
    return data


def context_switches():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_nvcsw + usage.ru_nivcsw


def run(words):
    what, form, path = words[0], words[1], words[2]
    if form == "docs":
        port = serial.Serial(path, 9600, timeout=1.0, inter_byte_timeout=0.1)
    else:
        port = serial.Serial(path, 9600, timeout=SILENCE_S)
    print("ready", flush=True)
    cpu = time.process_time_ns()
    switches = context_switches()
    intact = True
    if what == "block":
        data = port.read(BLOCK) if form == "docs" else silence_loop(port, BLOCK)
    else:
        total = int(words[3])
        data = bytearray()
        while len(data) < total:
            block = silence_loop(port, BLOCK)
            if not block:
                break
            data += block
    ended = time.monotonic_ns()
    cpu = time.process_time_ns() - cpu
    switches = context_switches() - switches
    port.close()
    if what == "flood":
        expected = (PATTERN * (len(data) // len(PATTERN) + 1))[: len(data)]
        intact = data == expected
    print("done %d %d %d %d %d" % (ended, len(data), cpu, switches, int(intact)), flush=True)


print("hello", flush=True)
for line in sys.stdin:
    words = line.split()
    if not words:
        continue
    if words[0] == "quit":
        break
    try:
        run(words)
    except Exception as e:  # the benchmark reports it and carries on
        print("failed %s" % str(e).replace("\n", " "), flush=True)
