"""Block-end latency through pyserial on a pty, for comparison: a read with
an inter-byte time-out of 100 ms and a total time-out of 1 s."""
import os
import statistics
import threading
import time
import tty

try:
    import serial
except ImportError:
    print("  pyserial: not installed (Debian package python3-serial)")
    raise SystemExit(0)

REPLIES = 10
REPLY = b"QV:12 a typical reply of the module#"

master, slave = os.openpty()
tty.setraw(master)
port = serial.Serial(os.ttyname(slave), 9600, timeout=1.0, inter_byte_timeout=0.1)
overhead = []
for _ in range(REPLIES):
    sent = []

    def peer():
        time.sleep(0.05)
        os.write(master, REPLY)
        sent.append(time.monotonic())

    t = threading.Thread(target=peer)
    t.start()
    data = port.read(2048)
    done = time.monotonic()
    t.join()
    overhead.append((done - sent[0]) * 1000 - 100)
port.close()
print("  pyserial (timeout 1 s, inter_byte_timeout 100 ms), %d replies: overhead p50 %.3f ms  max %.3f ms"
      % (REPLIES, statistics.median(overhead), max(overhead)))
