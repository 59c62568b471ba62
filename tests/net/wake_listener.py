#!/usr/bin/env python3
"""UDP listener for the network tier, run in the peer namespace.

Binds to the directed broadcast address itself, so a datagram that arrives
proves it was sent there. One line per datagram:
    <source address> <source port> <destination port> <length> <hex payload> <ms>
where <ms> is the arrival time in milliseconds on the monotonic clock.
Usage: wake_listener.py BIND_ADDRESS LOG_FILE READY_FILE PORT...
"""
import selectors
import socket
import sys
import time


def main():
    address, log_path, ready_path = sys.argv[1:4]
    ports = [int(p) for p in sys.argv[4:]]
    selector = selectors.DefaultSelector()
    for port in ports:
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind((address, port))
        selector.register(s, selectors.EVENT_READ, port)
    with open(log_path, "a", buffering=1) as log:
        open(ready_path, "w").close()
        while True:
            for key, _ in selector.select():
                data, (src, sport) = key.fileobj.recvfrom(65536)
                ms = int(time.monotonic() * 1000)
                log.write(f"{src} {sport} {key.data} {len(data)} {data.hex().upper()} {ms}\n")
                log.flush()


if __name__ == "__main__":
    main()
