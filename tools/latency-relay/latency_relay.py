#!/usr/bin/env python3
"""A TCP relay on loopback that makes a local server look far away.

    latency_relay.py --rtt-ms 50 --rate-mbit 100 LISTEN:TARGET [LISTEN:TARGET ...]

Every LISTEN port on 127.0.0.1 forwards to the TARGET port on 127.0.0.1.
Bytes wait half the round trip in each direction, and all connections share
one link of the given rate in each direction (full duplex): a chunk leaves
when the link has sent everything queued before it, then travels for half
the round trip. A new connection is accepted at once, but its first bytes
reach the server no sooner than one and a half round trips after the
accept, as they would behind a TCP handshake. Slow start and losses are not
modelled.

Prints "relay LISTEN TARGET" for each port once it listens, then runs until
SIGINT or SIGTERM. With --stats it prints the bytes carried in each
direction on exit.
"""

import argparse
import asyncio
import signal
import sys
import time

CHUNK = 16384
# Chunks in flight per direction of a connection; the reader waits beyond
# that, so a slow link pushes back on the sender as a socket buffer would.
QUEUE_CHUNKS = 64


class Link:
    """One direction of the shared link: a serial line of a fixed rate."""

    def __init__(self, bytes_per_second):
        self.bytes_per_second = bytes_per_second
        self.free_at = 0.0
        self.carried = 0

    def departure(self, now, size):
        """When a chunk of `size` bytes queued at `now` has left the link."""
        self.carried += size
        if self.bytes_per_second <= 0:
            return now
        start = max(now, self.free_at)
        self.free_at = start + size / self.bytes_per_second
        return self.free_at


class Relay:
    def __init__(self, one_way, up, down):
        self.one_way = one_way
        self.up = up
        self.down = down

    async def pump(self, reader, writer, link, not_before):
        """Copies reader to writer through `link`, each chunk delayed."""
        queue = asyncio.Queue(QUEUE_CHUNKS)

        async def read():
            try:
                while True:
                    data = await reader.read(CHUNK)
                    if not data:
                        break
                    now = time.monotonic()
                    due = max(link.departure(now, len(data)) + self.one_way, not_before)
                    await queue.put((due, data))
            except (ConnectionError, OSError):
                pass
            # The end of the stream travels as the bytes do.
            await queue.put((max(time.monotonic() + self.one_way, not_before), None))

        async def write():
            broken = False  # after a failed write the queue is still emptied
            while True:
                due, data = await queue.get()
                if broken:
                    if data is None:
                        break
                    continue
                wait = due - time.monotonic()
                if wait > 0:
                    await asyncio.sleep(wait)
                try:
                    if data is None:
                        if writer.can_write_eof():
                            writer.write_eof()
                        break
                    writer.write(data)
                    await writer.drain()
                except (ConnectionError, OSError):
                    broken = True

        await asyncio.gather(read(), write())

    async def serve(self, client_reader, client_writer, target):
        accepted = time.monotonic()
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target)
        except OSError:
            client_writer.close()
            return
        handshake_done = accepted + 3 * self.one_way
        try:
            await asyncio.gather(
                self.pump(client_reader, server_writer, self.up, handshake_done),
                self.pump(server_reader, client_writer, self.down, 0.0),
            )
        except asyncio.CancelledError:
            pass  # the relay stops while the connection is still open
        finally:
            for w in (server_writer, client_writer):
                w.close()


async def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rtt-ms", type=float, default=50.0)
    parser.add_argument("--rate-mbit", type=float, default=100.0, help="0: no limit")
    parser.add_argument("--stats", action="store_true")
    parser.add_argument("pairs", nargs="+", metavar="LISTEN:TARGET")
    args = parser.parse_args()

    rate = args.rate_mbit * 1e6 / 8
    relay = Relay(args.rtt_ms / 2000.0, Link(rate), Link(rate))
    servers = []
    for pair in args.pairs:
        listen, target = (int(p) for p in pair.split(":"))
        server = await asyncio.start_server(
            lambda r, w, t=target: relay.serve(r, w, t), "127.0.0.1", listen, reuse_address=True
        )
        servers.append(server)
        print(f"relay {listen} {target}", flush=True)

    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for s in (signal.SIGINT, signal.SIGTERM):
        loop.add_signal_handler(s, stop.set)
    await stop.wait()
    for server in servers:
        server.close()
    if args.stats:
        print(f"relay carried {relay.up.carried} bytes up, {relay.down.carried} down", file=sys.stderr)


if __name__ == "__main__":
    asyncio.run(main())
