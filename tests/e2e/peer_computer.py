#!/usr/bin/env python3
"""Simulated computers for the end-to-end tests, run in the peer namespace.

A computer "boots" when its magic packet arrives: the listener's log
(tests/net/wake_listener.py) shows the packet, and after the planned delay its
address is added to the peer's link, so from then on it answers echo requests
and TCP connects (refused: nothing listens, which counts as an answer).

The tests write commands, one a line, to CONTROL; after each one is done its
number (1, 2, ...) is appended to ACK:
    boot MAC ADDRESS DELAY_MS   on a magic packet for MAC (12 hex digits), add ADDRESS
    up ADDRESS                  add ADDRESS now
    down ADDRESS                remove ADDRESS
    quiet 0|1                   1: this namespace drops every echo request
    reset                       forget plans, remove every address added, quiet 0
Usage: peer_computer.py LISTENER_LOG CONTROL ACK DEVICE
"""
import os
import subprocess
import sys
import time


def main():
    log_path, control_path, ack_path, device = sys.argv[1:5]
    plans = {}       # MAC hex -> (address, delay ms)
    pending = []     # (due, address)
    added = set()
    log_offset = os.path.getsize(log_path) if os.path.exists(log_path) else 0
    control_offset = 0
    done = 0
    open(control_path, "a").close()
    open(ack_path, "w").close()

    def run(*args):
        subprocess.run(["ip", *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def up(address):
        run("addr", "add", address + "/32", "dev", device)
        added.add(address)

    def down(address):
        run("addr", "del", address + "/32", "dev", device)
        added.discard(address)

    def quiet(on):
        with open("/proc/sys/net/ipv4/icmp_echo_ignore_all", "w") as f:
            f.write("1" if on else "0")

    try:
        while True:
            with open(control_path, "rb") as f:
                f.seek(control_offset)
                data = f.read()
            while b"\n" in data:
                line, data = data.split(b"\n", 1)
                control_offset += len(line) + 1
                words = line.decode("ascii", "replace").replace("\r", "").split()
                if words[:1] == ["boot"] and len(words) == 4:
                    plans[words[1].upper()] = (words[2], int(words[3]))
                elif words[:1] == ["up"] and len(words) == 2:
                    up(words[1])
                elif words[:1] == ["down"] and len(words) == 2:
                    down(words[1])
                elif words[:1] == ["quiet"] and len(words) == 2:
                    quiet(words[1] == "1")
                elif words[:1] == ["reset"]:
                    plans.clear()
                    pending.clear()
                    for address in list(added):
                        down(address)
                    quiet(False)
                done += 1
                with open(ack_path, "a") as ack:
                    ack.write(f"{done}\n")

            if os.path.exists(log_path):
                with open(log_path, "rb") as f:
                    f.seek(log_offset)
                    data = f.read()
                while b"\n" in data:
                    line, data = data.split(b"\n", 1)
                    log_offset += len(line) + 1
                    fields = line.decode("ascii", "replace").split()
                    if len(fields) < 5 or len(fields[4]) != 204:
                        continue
                    mac = fields[4][12:24]
                    if mac in plans:
                        address, delay = plans.pop(mac)
                        pending.append((time.monotonic() + delay / 1000.0, address))

            now = time.monotonic()
            for item in [p for p in pending if p[0] <= now]:
                pending.remove(item)
                up(item[1])
            time.sleep(0.05)
    finally:
        for address in list(added):
            down(address)
        quiet(False)


if __name__ == "__main__":
    main()
