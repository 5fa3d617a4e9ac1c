#!/usr/bin/env python3
"""Clients of the UPS network server, run inside the sandbox by net_e2e_test.

  flood N            open and drop N connections (some asking, some not, some reset)
  endless            send one line without end until the server cuts it off
  compare OURS PEER  send the same commands to both servers, print every difference
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


def exchange(port, commands):
    s = connect(port)
    f = s.makefile("rb")
    out = []
    for c in commands:
        s.sendall(c.encode() + b"\n")
        lines = [f.readline().decode().rstrip("\n")]
        if lines[0].startswith("BEGIN LIST"):
            while not lines[-1].startswith("END LIST"):
                lines.append(f.readline().decode().rstrip("\n"))
        out.append(lines)
    s.close()
    return out


# Where this server answers otherwise by design: its own name and version,
# descriptions, variables it does not have (driver.*), a changing runtime.
def normal(command, lines):
    if command.upper().split()[:1] in (["VER"], ["HELP"]):
        return ["<text>"] if lines and not lines[0].startswith("ERR") else lines
    keep = []
    for l in lines:
        w = l.split(" ", 3)
        if l.startswith("UPS qor ") or l.startswith("UPSDESC qor "):
            l = " ".join(l.split(" ")[:2]) + " <desc>"
        elif w[0] == "VAR" and len(w) > 2 and w[2].startswith("driver."):
            continue
        elif w[0] == "VAR" and len(w) > 3 and w[2] == "battery.runtime":
            l = " ".join(w[:3]) + (" <number>" if w[3].strip('"').isdigit() else " " + w[3])
        keep.append(l)
    return keep


SESSIONS = [
    ["VER", "ver", "VER extra", "HELP", "NETVER", "PROTVER", "LIST UPS", "LIST VAR qor", "LIST VAR nope",
     "LIST VAR", "LIST FOO", "GET VAR qor ups.status", "get var qor ups.status", "GET VAR qor ups.mfr",
     "GET VAR qor ups.model", "GET VAR qor device.type", "GET VAR qor battery.runtime",
     "GET VAR \"qor\" \"ups.status\"", "GET VAR qor ups.status extra", "GET VAR qor nope.x",
     "GET VAR nope ups.status", "GET VAR qor", "GET FOO", "GET NUMLOGINS qor", "GET UPSDESC qor",
     "LIST CLIENT qor", "FSD qor", "LOGIN qor", "BLAH", "", "USERNAME", "USERNAME mon", "USERNAME mon",
     "LOGIN qor", "PASSWORD wrong", "PASSWORD x", "LOGIN nope", "LOGIN qor", "FSD qor", "STARTTLS",
     "GET NUMLOGINS qor", "LOGOUT"],
    ["PASSWORD secret", "USERNAME mon", "LOGIN qor", "LOGIN qor", "GET NUMLOGINS qor", "LIST CLIENT qor",
     "LOGOUT"],
]


def compare(ours, peer):
    differences = 0
    for commands in SESSIONS:
        a, b = exchange(ours, commands), exchange(peer, commands)
        for c, x, y in zip(commands, a, b):
            if normal(c, x) != normal(c, y):
                differences += 1
                print("DIFFERENT %r\n  ours: %r\n  peer: %r" % (c, x, y))
    print("compared", sum(len(s) for s in SESSIONS), "commands,", differences, "differences")
    return 1 if differences else 0


if __name__ == "__main__":
    cmd = sys.argv[1]
    if cmd == "flood":
        flood(int(sys.argv[2]))
        sys.exit(0)
    if cmd == "endless":
        sys.exit(endless())
    if cmd == "compare":
        sys.exit(compare(int(sys.argv[2]), int(sys.argv[3])))
    sys.exit(2)
