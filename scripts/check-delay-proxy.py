#!/usr/bin/env python3
"""Checks scripts/delay-proxy.py against an echo server on loopback: the round trip grows by
twice the delay, a burst is delayed once and not chunk after chunk, bytes keep their order,
and data sent just before a half-close still arrives. Exits 0 when every case passes."""

import os
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

PROXY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "delay-proxy.py")
# Timer overshoot and scheduling on a shared machine: a round trip may take this much more
# than twice the delay, never less.
SLACK_MS = 2.5


def echo_server():
    """Echoes every connection until the peer half-closes, then closes."""
    listener = socket.create_server(("127.0.0.1", 0))

    def serve(conn):
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        with conn:
            while data := conn.recv(65536):
                conn.sendall(data)

    def accept():
        while True:
            conn, _ = listener.accept()
            threading.Thread(target=serve, args=(conn,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return listener.getsockname()[1]


class Proxy:
    def __init__(self, target_port, delay_ms):
        self.folder = tempfile.TemporaryDirectory()
        port_file = os.path.join(self.folder.name, "port")
        self.process = subprocess.Popen([sys.executable, PROXY, "--target-port", str(target_port),
                                         "--delay-ms", str(delay_ms), "--port-file", port_file])
        deadline = time.monotonic() + 5
        while not os.path.exists(port_file):
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise RuntimeError("the proxy did not start")
            time.sleep(0.01)
        with open(port_file) as f:
            self.port = int(f.read())

    def connect(self):
        conn = socket.create_connection(("127.0.0.1", self.port))
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        conn.settimeout(10)
        return conn

    def close(self):
        self.process.terminate()
        self.process.wait()
        self.folder.cleanup()


def receive(conn, size):
    data = b""
    while len(data) < size:
        chunk = conn.recv(size - len(data))
        if not chunk:
            break
        data += chunk
    return data


def round_trip_ms(proxy, delay_ms):
    """Median round trip of a small message, which must lie within 2D and 2D + slack."""
    with proxy.connect() as conn:
        times = []
        for _ in range(50):
            start = time.perf_counter()
            conn.sendall(b"x" * 100)
            receive(conn, 100)
            times.append((time.perf_counter() - start) * 1000)
    median = statistics.median(times)
    low = min(times)
    ok = low >= 2 * delay_ms and median <= 2 * delay_ms + SLACK_MS
    return ok, f"round trip median {median:.2f} ms, shortest {low:.2f} ms"


def burst(proxy, delay_ms):
    """Twenty chunks sent 1 ms apart: the last must come back about 2D after it was sent,
    not twenty delays later, and every byte in the order sent."""
    chunks = [bytes([65 + i]) * 1000 for i in range(20)]
    with proxy.connect() as conn:
        for i, chunk in enumerate(chunks):
            if i:
                time.sleep(0.001)
            conn.sendall(chunk)
            last_sent = time.perf_counter()
        echoed = receive(conn, sum(map(len, chunks)))
        late_ms = (time.perf_counter() - last_sent) * 1000
    ok = echoed == b"".join(chunks) and late_ms <= 2 * delay_ms + SLACK_MS
    order = "in order" if echoed == b"".join(chunks) else "OUT OF ORDER or short"
    return ok, f"last chunk back {late_ms:.1f} ms after it was sent, bytes {order}"


def half_close(proxy, delay_ms):
    """Data written just before shutting the write side still arrives, then the end."""
    payload = os.urandom(200_000)
    with proxy.connect() as conn:
        conn.sendall(payload)
        conn.shutdown(socket.SHUT_WR)
        echoed = receive(conn, len(payload) + 1)
    ok = echoed == payload
    return ok, f"{len(echoed)} of {len(payload)} bytes back before the end"


CASES = [
    ("no delay: round trip", 0, round_trip_ms),
    ("1 ms each way: round trip", 1, round_trip_ms),
    ("5 ms each way: round trip", 5, round_trip_ms),
    ("20 ms each way: burst", 20, burst),
    ("5 ms each way: half-close", 5, half_close),
    ("no delay: half-close", 0, half_close),
]


def main():
    target = echo_server()
    failures = 0
    for name, delay_ms, check in CASES:
        proxy = Proxy(target, delay_ms)
        try:
            ok, detail = check(proxy, delay_ms)
        except OSError as error:
            ok, detail = False, f"error: {error}"
        finally:
            proxy.close()
        print(f"{'ok  ' if ok else 'FAIL'} {name}: {detail}")
        failures += not ok
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
