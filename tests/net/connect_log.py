#!/usr/bin/env python3
"""Counts what reaches a link of the peer namespace: every TCP connect (SYN
without ACK) and every echo request that arrives on DEVICE, dropped later or
not, one line each:
    tcp <destination> <port> <source> <source port> <ms>
    echo <destination> - <source> - <ms>
where <ms> is the arrival on the monotonic clock. A connect whose SYN is sent
again keeps its source port, so distinct source ports count connects.
Usage: connect_log.py DEVICE LOG_FILE READY_FILE
"""
import socket
import struct
import sys
import time

ETH_P_IP = 0x0800
PACKET_OUTGOING = 4


def main():
    device, log_path, ready_path = sys.argv[1:4]
    s = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_IP))
    s.bind((device, ETH_P_IP))
    with open(log_path, "a", buffering=1) as log:
        open(ready_path, "w").close()
        while True:
            data, address = s.recvfrom(65536)
            if address[2] == PACKET_OUTGOING or len(data) < 20:
                continue
            header = (data[0] & 0x0F) * 4
            protocol = data[9]
            source = socket.inet_ntoa(data[12:16])
            destination = socket.inet_ntoa(data[16:20])
            ms = int(time.monotonic() * 1000)
            if protocol == 6 and len(data) >= header + 14:
                sport, dport = struct.unpack("!HH", data[header:header + 4])
                flags = data[header + 13]
                if flags & 0x02 and not flags & 0x10:
                    log.write(f"tcp {destination} {dport} {source} {sport} {ms}\n")
            elif protocol == 1 and len(data) > header and data[header] == 8:
                log.write(f"echo {destination} - {source} - {ms}\n")


if __name__ == "__main__":
    main()
