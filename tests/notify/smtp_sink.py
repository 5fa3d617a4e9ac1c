#!/usr/bin/python3
"""A real SMTP server (aiosmtpd) for the notification tests in qor-sandbox.

    smtp_sink.py OUTDIR [HOST [PORT]] [--snapshot FILE]
                 [--starttls CERT KEY | --tls CERT KEY] [--auth USER:PASSWORD] [--wire]
                 [--refuse ADDRESS]...

Listens on HOST:PORT (default 127.0.0.1:25). Each accepted mail is written
as OUTDIR/mail-<n>.bin (the DATA bytes as received) and OUTDIR/mail-<n>.env
(MAIL FROM, then each RCPT TO, one per line), numbered from 1 in order of
arrival, with its arrival time in OUTDIR/mail-<n>.time. With --snapshot,
FILE's content at that moment goes to OUTDIR/mail-<n>.snap (missing file:
no .snap). A RCPT TO of an ADDRESS given with --refuse gets
"550 5.1.1 <ADDRESS>: Recipient address rejected". OUTDIR/ready appears once
the server listens.

Secure submission: --starttls offers STARTTLS and requires it before mail,
--tls speaks TLS from the connect on (CERT and KEY in PEM). --auth requires a
login (PLAIN or LOGIN, only under TLS); each attempt is appended to
OUTDIR/auth.log as "MECHANISM USER ok|bad". --wire puts a relay in front of
the server that appends every byte the client sent, as it went over the
wire, to OUTDIR/wire.bin.
"""
import asyncio
import os
import ssl
import sys
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


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


class Login:
    def __init__(self, outdir, user, password):
        self.log = os.path.join(outdir, "auth.log")
        self.user = user.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == self.user
              and auth_data.password == self.password)
        login = auth_data.login.decode(errors="replace") if isinstance(auth_data, LoginPassword) else "?"
        with open(self.log, "a") as f:
            f.write("%s %s %s\n" % (mechanism, login, "ok" if ok else "bad"))
        return AuthResult(success=ok, handled=False)


def option(args, name, count):
    if name not in args:
        return None
    i = args.index(name)
    values = args[i + 1:i + 1 + count]
    del args[i:i + 1 + count]
    return values


async def relay(reader, writer, wire):
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            if wire:
                with open(wire, "ab") as f:
                    f.write(data)
            writer.write(data)
            await writer.drain()
    except (ConnectionError, OSError):
        pass
    finally:
        writer.close()


def serve_secure(handler, outdir, host, port, starttls, implicit, login, wire):
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    pair = starttls or implicit
    context = None
    if pair:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(pair[0], pair[1])
    kwargs = {}
    if starttls:
        kwargs.update(tls_context=context, require_starttls=True)
    if login:
        user, _, password = login[0].partition(":")
        kwargs.update(authenticator=Login(outdir, user, password), auth_required=True)
        if implicit:
            # The server takes only its own STARTTLS for TLS; this
            # connection is TLS from its first byte.
            kwargs.update(auth_require_tls=False)

    def factory():
        return SMTP(handler, hostname="sink.test", **kwargs)

    tls = context if implicit else None
    if wire:
        inner = loop.run_until_complete(loop.create_server(factory, host, 0, ssl=tls))
        inner_port = inner.sockets[0].getsockname()[1]
        wire_file = os.path.join(outdir, "wire.bin")

        async def front(reader, writer):
            up_reader, up_writer = await asyncio.open_connection(host, inner_port)
            await asyncio.gather(relay(reader, up_writer, wire_file), relay(up_reader, writer, None))

        loop.run_until_complete(asyncio.start_server(front, host, port))
    else:
        loop.run_until_complete(loop.create_server(factory, host, port, ssl=tls))
    open(os.path.join(outdir, "ready"), "w").close()
    loop.run_forever()


def main():
    args = sys.argv[1:]
    snapshot = option(args, "--snapshot", 1)
    snapshot = snapshot[0] if snapshot else None
    starttls = option(args, "--starttls", 2)
    implicit = option(args, "--tls", 2)
    login = option(args, "--auth", 1)
    wire = option(args, "--wire", 0) is not None
    refuse = []
    while "--refuse" in args:
        refuse += option(args, "--refuse", 1)
    outdir = args[0]
    host = args[1] if len(args) > 1 else "127.0.0.1"
    port = int(args[2]) if len(args) > 2 else 25
    os.makedirs(outdir, exist_ok=True)
    if starttls or implicit or login or wire:
        serve_secure(Sink(outdir, snapshot, refuse), outdir, host, port, starttls, implicit, login, wire)
        return
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
