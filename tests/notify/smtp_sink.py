#!/usr/bin/python3
"""A real SMTP server (aiosmtpd) for the notification tests in qor-sandbox.

    smtp_sink.py OUTDIR [HOST [PORT]] [--snapshot FILE] [--refuse ADDRESS]...

Listens on HOST:PORT (default 127.0.0.1:25). Each accepted mail is written
as OUTDIR/mail-<n>.bin (the DATA bytes as received) and OUTDIR/mail-<n>.env
(MAIL FROM, then each RCPT TO, one per line), numbered from 1 in order of
arrival, with its arrival time in OUTDIR/mail-<n>.time. With --snapshot,
FILE's content at that moment goes to OUTDIR/mail-<n>.snap (missing file:
no .snap). A RCPT TO of an ADDRESS given with --refuse gets
"550 5.1.1 <ADDRESS>: Recipient address rejected". OUTDIR/ready appears once
the server listens.
"""
import asyncio
import os
import sys
import time

from aiosmtpd.controller import Controller


class Sink:
    def __init__(self, outdir, snapshot, refuse=()):
        self.outdir = outdir
        self.snapshot = snapshot
        self.refuse = set(refuse)
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refuse:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.outdir, "mail-%d" % self.count)
        with open(base + ".bin.tmp", "wb") as f:
            f.write(envelope.original_content)
        with open(base + ".env", "w") as f:
            f.write(envelope.mail_from + "\n")
            for r in envelope.rcpt_tos:
                f.write(r + "\n")
        if self.snapshot and os.path.exists(self.snapshot):
            with open(self.snapshot, "rb") as src, open(base + ".snap", "wb") as dst:
                dst.write(src.read())
        with open(base + ".time", "w") as f:
            f.write("%.3f\n" % time.time())
        os.rename(base + ".bin.tmp", base + ".bin")
        return "250 OK"


def main():
    args = sys.argv[1:]
    snapshot = None
    if "--snapshot" in args:
        i = args.index("--snapshot")
        snapshot = args[i + 1]
        del args[i:i + 2]
    refuse = []
    while "--refuse" in args:
        i = args.index("--refuse")
        refuse.append(args[i + 1])
        del args[i:i + 2]
    outdir = args[0]
    host = args[1] if len(args) > 1 else "127.0.0.1"
    port = int(args[2]) if len(args) > 2 else 25
    os.makedirs(outdir, exist_ok=True)
    controller = Controller(Sink(outdir, snapshot, refuse), hostname=host, port=port)
    controller.start()
    open(os.path.join(outdir, "ready"), "w").close()
    try:
        while True:
            time.sleep(3600)
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
