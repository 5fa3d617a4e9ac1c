#!/usr/bin/env python3
"""Sends the same sessions to our server and to NUT's own upsd (both in the
sandbox, serving the same UPS state) and prints every answer that differs.

  upsd_compare.py OURS_PORT PEER_PORT

Every command goes out with a marker command behind it in the same packet;
its answer is what comes before the marker's (so a line left unanswered shows
as nothing, and lines after LOGOUT as what the server still answers).
"""
import socket
import sys
import time

MARK = b"GET DESC qor end.mark\n"
MARKED = 'DESC qor end.mark "Description unavailable"'


BROKEN = (b'GET UPSDESC "a#b"',)


def exchange(port, commands):
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    f = s.makefile("rb")
    out = []
    for c in commands:
        if c in BROKEN:
            # upsd drops the rest of what it read with a broken line: the marker goes later.
            s.sendall(c + b"\n")
            time.sleep(0.3)
            s.sendall(MARK)
        else:
            s.sendall(c + b"\n" + MARK)
        lines = []
        while True:
            l = f.readline()
            if not l:
                lines.append("<closed>")
                break
            l = l.decode("latin-1").rstrip("\n")
            if l == MARKED:
                break
            lines.append(l)
        out.append(lines)
        if lines and lines[-1] == "<closed>":
            break
    s.close()
    return out


# Values that differ by design: the server's own name and version; variables
# of NUT's driver (driver.*) and the runtime that counts down here; what
# dummy-ups makes writable (every variable) or commandable (load.off), which
# also gives its variables the RW flag in GET TYPE; descriptions NUT keeps for
# its own driver and for commands this UPS does not have.
def normal(command, lines):
    keep = []
    for l in lines:
        if l.startswith("Network UPS Tools upsd ") or l.startswith("Brantel Halvora Qor Utility upsd "):
            l = "<version>"
        w = l.split(" ", 3)
        if w[0] == "VAR" and len(w) > 2 and w[2].startswith("driver."):
            continue
        elif w[0] in ("TYPE", "DESC") and len(w) > 2 and w[2].startswith("driver."):
            l = " ".join(w[:3]) + " <driver>"
        elif w[0] == "VAR" and len(w) > 3 and w[2] == "battery.runtime":
            l = " ".join(w[:3]) + (" <number>" if w[3].strip('"').isdigit() else " " + w[3])
        elif w[0] in ("RW", "CMD"):
            continue
        elif w[0] == "TYPE" and len(w) > 3:
            t = w[3][3:] if w[3].startswith("RW ") else w[3]
            if w[2] in ("device.mfr", "device.model"):
                t = "<type>"  # upsd: NUMBER, as dummy-ups flags nothing it copies
            l = " ".join(w[:3]) + " " + t
        elif w[0] == "CMDDESC":
            l = " ".join(w[:3]) + " <desc>"
        keep.append(l)
    return keep


U, P = b"USERNAME mon", b"PASSWORD secret"
SESSIONS = [
    # Without a user: the read side and its errors.
    [b"VER", b"ver", b"VER extra", b"HELP", b"HELP x", b"NETVER x", b"PROTVER", b"STARTTLS", b"STARTTLS x",
     b"LIST UPS", b"LIST UPS x", b"LIST VAR qor", b"list var QOR", b"LIST VAR qor extra", b"LIST VAR nope",
     b"LIST VAR", b"LIST", b"LIST FOO", b"LIST FOO qor", b"LIST FOO nope", b"LIST RW qor", b"LIST CMD qor",
     b"LIST CMD nope", b"LIST CLIENT qor", b"LIST CLIENT nope", b"LIST CLIENT",
     b"LIST ENUM qor ups.status", b"LIST RANGE QOR UPS.STATUS", b"LIST ENUM qor", b"LIST ENUM nope x",
     b"LIST ENUM nope", b"LIST ENUM qor nope", b"LIST RANGE qor nope",
     b"GET VAR qor ups.status", b"GET VAR QOR UPS.Status", b"GET VAR qor ups.mfr", b"GET VAR qor ups.model",
     b"GET VAR qor device.type", b"GET VAR qor device.mfr", b"GET VAR qor device.model",
     b"GET VAR qor device.serial", b"GET VAR qor battery.runtime", b"GET VAR qor battery.charge",
     b"GET VAR qor ups.status extra", b"GET VAR qor nope.x", b"GET VAR nope ups.status", b"GET VAR qor",
     b"GET VAR nope", b"GET VAR", b"GET", b"GET FOO", b"GET FOO qor", b"GET FOO nope x",
     b"GET TYPE qor ups.status", b"GET TYPE qor battery.runtime", b"GET TYPE qor ups.mfr",
     b"GET TYPE qor device.type", b"GET TYPE qor device.serial", b"GET TYPE qor driver.name",
     b"GET TYPE qor nope", b"GET TYPE nope ups.status", b"GET TYPE qor",
     b"GET DESC qor ups.status", b"GET DESC QOR battery.runtime", b"GET DESC qor ups.mfr",
     b"GET DESC qor ups.model", b"GET DESC qor device.serial", b"GET DESC qor device.type",
     b"GET DESC qor nope.x", b"GET DESC qor driver.name", b"GET DESC qor", b"GET DESC nope ups.status",
     b"GET CMDDESC qor nope", b"GET CMDDESC qor load.off", b"GET CMDDESC qor", b"GET CMDDESC nope x",
     b"GET UPSDESC qor", b"GET UPSDESC QOR x", b"GET UPSDESC nope", b"GET NUMLOGINS qor",
     b"GET NUMLOGINS nope", b"GET NUMLOGINS", b"GET TRACKING", b"GET TRACKING abc", b"GET TRACKING x y",
     b"SET TRACKING ON", b"SET VAR qor ups.status OL", b"INSTCMD qor load.off", b"FSD qor", b"FSD",
     b"LOGIN qor", b"LOGIN", b"PRIMARY qor", b"MASTER qor", b"BLAH", b"", b"   ", b"#GET VAR qor ups.status",
     b"LOGOUT x", b"LOGOUT"],
    # Odd inputs: white space, quotes, escapes, comments, dropped bytes, many words.
    [b"VER\r\r", b"GET\tVAR\tqor\tups.status\r", b"GET\x0bVAR\x0cqor ups.status", b"  GET VAR qor ups.status  ",
     b'GET VAR "qor" "ups.status"', b'GET VAR "q"or ups.status', b'GET VAR q"o r"x ups.status',
     b'GET VAR qor "ups.status"x', b"GET VAR \\qor ups.st\\atus", b"GET VAR qor ups.status #x",
     b"GET VAR qor ups.st#atus", b'GET UPSDESC "a#b"', b'GET UPSDESC "ab"#c', b'GET UPSDESC "q\\or"',
     b'GET UPSDESC "qor\\"x"', b'GET UPSDESC ""', b'"" VER', b'VER ""', b"VER\x00junk", b"G\x00ET VAR qor ups.status",
     b"V\x01ER", b"V\x7fER", b"VER\xc3\xa9", b"GET VAR qor ups.\xffstatus", b"VER\rGET VAR qor ups.status",
     b"a b c d e f g h i j k l m n o p", b"a b c d e f g h i j k l m n o p q",
     b"GET VAR qor ups.status a b c d e f g h i j k l m n o p q r s t u v w x y z",
     b"USERNAME mon x", b"USERNAME", b"USERNAME " + b"u" * 300, b"USERNAME mon", b"PASSWORD a b",
     b"PASSWORD " + b"p" * 300, b"PASSWORD x", b"LOGIN qor", b"LOGOUT"],
    # A secondary: logs in, may not claim the primary's role nor order FSD.
    [b"LOGIN qor", b"SET VAR qor ups.status OL", b"SET TRACKING ON", b"INSTCMD", b"FSD qor", U, U, b"LOGIN qor",
     b"PRIMARY qor", P, P, b"PRIMARY", b"PRIMARY nope", b"PRIMARY qor x", b"PRIMARY qor", b"MASTER qor",
     b"FSD", b"FSD nope", b"FSD qor x", b"FSD qor", b"SET", b"SET FOO", b"SET VAR", b"SET VAR nope x",
     b"SET VAR qor ups.status", b"SET VAR nope ups.status OL", b"SET VAR qor ups.status OL",
     b"SET VAR qor nope x", b"SET TRACKING", b"SET TRACKING x", b"GET TRACKING", b"GET TRACKING abc",
     b"set tracking on x", b"GET TRACKING", b"GET TRACKING abc", b"GET TRACKING x y",
     b"SET TRACKING OFF", b"GET TRACKING", b"INSTCMD", b"INSTCMD qor", b"INSTCMD nope x", b"INSTCMD qor nope",
     b"INSTCMD qor nope x y", b"LOGIN qor x", b"LOGIN nope", b"LOGIN QOR", b"LOGIN qor", b"LOGIN qor x",
     b"GET NUMLOGINS qor", b"LIST CLIENT qor", b"LIST CLIENT QOR", b"LOGOUT\nGET NUMLOGINS qor"],
    # Wrong passwords, a NUL after the password's text, a quote inside it.
    [U, b"PASSWORD hunter2", b"LOGIN qor", b"PRIMARY qor", b"FSD qor"],
    [U, b"PASSWORD secret\x00junk", b"LOGIN qor"],
    [U, b'PASSWORD sec"re"t', b"LOGIN qor"],
    [b'USERNAME ""', b'PASSWORD ""', b"login qor", b"fsd qor", b"primary qor"],
    [b"username mon", b"password secret", b"help", b"netver", b"protver", b"starttls", b"login QOR",
     b"get upsdesc qor", b"get numlogins QOR", b"get tracking", b"logout"],
    [b"USERNAME mon\x00", b"PASSWORD secret\x00", b"LOGIN\tqor\r", b"GET NUMLOGINS qor", b"LOGOUT"],
    # The primary: granted, and its FSD is what every follower then sees.
    [b"USERNAME boss", b"PASSWORD bsecret", b"PRIMARY qor", b"LOGIN qor", b"MASTER qor", b"GET NUMLOGINS qor",
     b"FSD qor x", b"FSD x", b"GET VAR qor ups.status", b"FSD qor", b"GET VAR qor ups.status", b"FSD QOR",
     b"LIST VAR qor", b"LOGOUT"],
]


def compare(ours, peer):
    differences = 0
    count = 0
    for commands in SESSIONS:
        a, b = exchange(ours, commands), exchange(peer, commands)
        for i, c in enumerate(commands):
            count += 1
            x = a[i] if i < len(a) else ["<not sent>"]
            y = b[i] if i < len(b) else ["<not sent>"]
            if normal(c, x) != normal(c, y):
                differences += 1
                print("DIFFERENT %r\n  ours: %r\n  peer: %r" % (c, x, y))
    print("compared", count, "commands,", differences, "differences")
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(compare(int(sys.argv[1]), int(sys.argv[2])))
