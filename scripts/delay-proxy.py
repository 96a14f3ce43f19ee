#!/usr/bin/env python3
"""A TCP forwarder on loopback that delays every chunk by a fixed time in each direction, so a
local file server behaves like one across a network.

  delay-proxy.py --target-port P [--delay-ms D] [--listen-port L] [--port-file F] [--pid-file F]

Listens on 127.0.0.1:L (0, the default, takes a free port; --port-file then tells which) and
forwards each connection to 127.0.0.1:P. Each chunk is delivered D milliseconds after it was
read, in the order read: a chunk read while earlier ones still wait is not held longer than D,
so the delay adds latency without limiting throughput. D = 0 forwards at once.
"""

import argparse
import asyncio
import os
import socket
import sys

CHUNK = 256 * 1024


def set_nodelay(writer):
    sock = writer.get_extra_info("socket")
    if sock is not None:
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)


async def read_into(reader, queue, delay):
    """Reads chunks and queues each with the time it is due; None marks the end."""
    loop = asyncio.get_running_loop()
    try:
        while True:
            data = await reader.read(CHUNK)
            if not data:
                break
            queue.put_nowait((loop.time() + delay, data))
    except (ConnectionError, OSError):
        pass
    finally:
        queue.put_nowait((loop.time() + delay, None))


async def write_from(queue, writer):
    """Delivers queued chunks when due, in order; passes the end on as a half-close."""
    loop = asyncio.get_running_loop()
    try:
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                if writer.can_write_eof():
                    writer.write_eof()
                return
            writer.write(data)
            await writer.drain()
    except (ConnectionError, OSError):
        pass


async def forward(reader, writer, delay):
    queue = asyncio.Queue()
    await asyncio.gather(read_into(reader, queue, delay), write_from(queue, writer))


async def handle(client_reader, client_writer, target_port, delay):
    try:
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
    except OSError as error:
        print(f"delay-proxy: cannot reach 127.0.0.1:{target_port}: {error}", file=sys.stderr)
        client_writer.close()
        return
    set_nodelay(client_writer)
    set_nodelay(server_writer)
    try:
        await asyncio.gather(forward(client_reader, server_writer, delay),
                             forward(server_reader, client_writer, delay))
    finally:
        for w in (client_writer, server_writer):
            w.close()


def write_atomically(path, text):
    temporary = f"{path}.tmp"
    with open(temporary, "w") as f:
        f.write(text)
    os.replace(temporary, path)


async def serve(args):
    delay = args.delay_ms / 1000.0
    server = await asyncio.start_server(
        lambda r, w: handle(r, w, args.target_port, delay), "127.0.0.1", args.listen_port)
    port = server.sockets[0].getsockname()[1]
    if args.pid_file:
        write_atomically(args.pid_file, f"{os.getpid()}\n")
    # Written last: whoever waits for the port may connect as soon as it appears.
    if args.port_file:
        write_atomically(args.port_file, f"{port}\n")
    async with server:
        await server.serve_forever()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--target-port", type=int, required=True)
    parser.add_argument("--delay-ms", type=float, default=1.0)
    parser.add_argument("--listen-port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--pid-file")
    args = parser.parse_args()
    if args.delay_ms < 0:
        parser.error("--delay-ms must not be negative")
    try:
        asyncio.run(serve(args))
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
