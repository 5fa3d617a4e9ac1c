#!/usr/bin/python3
"""An SMTP server that misbehaves on purpose, for the fault tests in qor-sandbox.

    smtp_fault.py OUTDIR

Listens on 127.0.0.1:25 and serves one connection at a time. At each new
connection it reads OUTDIR/mode (missing: ok):
  greet-close   sends the greeting, then closes
  mail-close    answers HELO, then closes when MAIL comes
  ok            the whole dialogue
  slow SECONDS  the whole dialogue, each reply SECONDS late
Each connection is a line "<n>" in OUTDIR/accepted as it comes and a line
"<n> <mode> <how>" in OUTDIR/conns when it ends. Each mail
is OUTDIR/mail-<n>.bin (the DATA bytes, renamed into place once whole) with
its arrival time in OUTDIR/mail-<n>.time. OUTDIR/ready appears once it listens.
"""
import os
import socket
import sys
import time


def read_mode(outdir):
    try:
        with open(os.path.join(outdir, "mode")) as f:
            words = f.read().split()
    except OSError:
        words = []
    return words or ["ok"]


class Conn:
    def __init__(self, sock, delay):
        self.sock = sock
        self.delay = delay
        self.buf = b""

    def reply(self, text):
        if self.delay:
            time.sleep(self.delay)
        self.sock.sendall(text.encode() + b"\r\n")

    def line(self):
        while b"\n" not in self.buf:
            data = self.sock.recv(4096)
            if not data:
                return None
            self.buf += data
        line, self.buf = self.buf.split(b"\n", 1)
        return line.rstrip(b"\r")

    def data(self):
        while b"\r\n.\r\n" not in self.buf:
            more = self.sock.recv(4096)
            if not more:
                return None
            self.buf += more
        body, self.buf = self.buf.split(b"\r\n.\r\n", 1)
        return body + b"\r\n.\r\n"


def serve(conn, mode, outdir, mails):
    """One dialogue; returns how it ended."""
    conn.reply("220 fault test ready")
    if mode[0] == "greet-close":
        return "closed after the greeting"
    while True:
        line = conn.line()
        if line is None:
            return "client closed"
        verb = line[:4].upper()
        if verb == b"MAIL" and mode[0] == "mail-close":
            return "closed at MAIL"
        if verb == b"DATA":
            conn.reply("354 go ahead")
            body = conn.data()
            if body is None:
                return "client closed in DATA"
            mails[0] += 1
            base = os.path.join(outdir, "mail-%d" % mails[0])
            with open(base + ".time", "w") as f:
                f.write("%.3f\n" % time.time())
            with open(base + ".tmp", "wb") as f:
                f.write(body)
            os.rename(base + ".tmp", base + ".bin")
            conn.reply("250 accepted")
        elif verb == b"QUIT":
            conn.reply("221 bye")
            return "quit"
        else:
            conn.reply("250 ok")


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", 25))
    srv.listen(8)
    open(os.path.join(outdir, "ready"), "w").close()
    mails = [0]
    n = 0
    while True:
        sock, _ = srv.accept()
        n += 1
        with open(os.path.join(outdir, "accepted"), "a") as f:
            f.write("%d\n" % n)
        mode = read_mode(outdir)
        delay = float(mode[1]) if mode[0] == "slow" and len(mode) > 1 else 0
        try:
            how = serve(Conn(sock, delay), mode, outdir, mails)
        except OSError as e:
            how = "error " + str(e)
        sock.close()
        with open(os.path.join(outdir, "conns"), "a") as f:
            f.write("%d %s %s\n" % (n, " ".join(mode), how))


if __name__ == "__main__":
    main()
