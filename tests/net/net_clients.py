#!/usr/bin/env python3
"""Clients of the UPS network server, run inside the sandbox by net_e2e_test.

  flood N            open and drop N connections (some asking, some not, some reset)
  endless            send one line without end until the server cuts it off
"""
import socket
import struct
import sys
import time


def connect(port):
    return socket.create_connection(("127.0.0.1", port), timeout=5)


def flood(n):
    for i in range(n):
        s = connect(3493)
        if i % 3 == 0:
            s.sendall(b"GET VAR qor ups.status\n")
            s.recv(100)
        elif i % 3 == 1:
            # reset instead of an orderly close
            s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        s.close()
    # and a burst held open at once, beyond the server's limit
    held = [connect(3493) for _ in range(50)]
    for s in held:
        s.close()
    print("flooded", n + 50)


def endless():
    s = connect(3493)
    s.settimeout(0.2)
    sent = 0
    chunk = b"A" * 256
    deadline = time.time() + 10
    while time.time() < deadline and sent < 1 << 20:
        try:
            sent += s.send(chunk)
            if s.recv(1) == b"":
                print("cut off after", sent)
                return 0
        except socket.timeout:
            continue
        except OSError:
            print("cut off after", sent)
            return 0
    print("still connected after", sent)
    return 1


if __name__ == "__main__":
    cmd = sys.argv[1]
    if cmd == "flood":
        flood(int(sys.argv[2]))
        sys.exit(0)
    if cmd == "endless":
        sys.exit(endless())
    sys.exit(2)
