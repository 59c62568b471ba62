#!/usr/bin/env python3
"""Simulated computers for the end-to-end tests, run in the peer namespace.

A computer "boots" when its magic packet arrives: the listener's log
(tests/net/wake_listener.py) shows the packet, and after the planned delay its
address is added to the peer's link, so from then on it answers echo requests
and TCP connects (refused: nothing listens, which counts as an answer).

A computer boots only on its own magic packet, whole: six FF bytes, its MAC
sixteen times and, when it has one, its SecureOn password; nothing more.

The tests write commands, one a line, to CONTROL; after each one is done its
number (1, 2, ...) is appended to ACK:
    boot MAC ADDRESS DELAY_MS [PASSWORD]
                                on the magic packet for MAC (12 hex digits, and
                                the password as 12 more), add ADDRESS
    up ADDRESS                  add ADDRESS now
    down ADDRESS                remove ADDRESS
    quiet 0|1                   1: this namespace drops every echo request
    dark ADDRESS[/BITS]         a computer (or a subnet of them, behind the peer)
                                that drops echo and TCP but answers ARP: the
                                address is added and every reply from it goes to
                                a blackhole, which ARP, no IP packet, never meets
    reset                       forget plans, remove every address added, quiet 0
Usage: peer_computer.py LISTENER_LOG CONTROL ACK DEVICE
"""
import os
import subprocess
import sys
import time


DARK_TABLE = "77"


def magic_payload(mac, password=""):
    return "FF" * 6 + mac.upper() * 16 + password.upper()


def main():
    log_path, control_path, ack_path, device = sys.argv[1:5]
    plans = {}       # whole magic payload, hex -> (address, delay ms)
    pending = []     # (due, address)
    added = set()
    dark = set()     # sources whose replies go to the blackhole
    dark_routes = set()
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

    def make_dark(target):
        if "/" in target and not target.endswith("/32"):
            run("route", "add", "local", target, "dev", "lo")
            dark_routes.add(target)
        else:
            up(target.split("/")[0])
        run("route", "replace", "blackhole", "default", "table", DARK_TABLE)
        run("rule", "add", "from", target, "lookup", DARK_TABLE)
        dark.add(target)

    def light_all():
        for target in list(dark):
            run("rule", "del", "from", target, "lookup", DARK_TABLE)
        dark.clear()
        for target in list(dark_routes):
            run("route", "del", "local", target, "dev", "lo", "table", "local")
        dark_routes.clear()

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
                if words[:1] == ["boot"] and len(words) in (4, 5):
                    password = words[4] if len(words) == 5 else ""
                    plans[magic_payload(words[1], password)] = (words[2], int(words[3]))
                elif words[:1] == ["up"] and len(words) == 2:
                    up(words[1])
                elif words[:1] == ["down"] and len(words) == 2:
                    down(words[1])
                elif words[:1] == ["quiet"] and len(words) == 2:
                    quiet(words[1] == "1")
                elif words[:1] == ["dark"] and len(words) == 2:
                    make_dark(words[1])
                elif words[:1] == ["reset"]:
                    plans.clear()
                    pending.clear()
                    light_all()
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
                    if len(fields) < 5:
                        continue
                    if fields[4].upper() in plans:
                        address, delay = plans.pop(fields[4].upper())
                        pending.append((time.monotonic() + delay / 1000.0, address))

            now = time.monotonic()
            for item in [p for p in pending if p[0] <= now]:
                pending.remove(item)
                up(item[1])
            time.sleep(0.05)
    finally:
        light_all()
        for address in list(added):
            down(address)
        quiet(False)


if __name__ == "__main__":
    main()
