#!/usr/bin/env python3
"""Every client of a NUT server that Debian 12 packages, run once against
qorconsole's network server in the sandbox (mains present, then on battery).
Prints one row per client: what it showed, and whether that is what the client
shows against upsd. Not a test: a survey, run by hand after a change to the
server.

  nut_clients.py BUILD_DIR [--shots DIR]     (root; nut-client, nut-server,
                                              nut-cgi, nut-monitor, python3-nut,
                                              libups-nut-perl, xvfb, imagemagick)
The upsmon primary and secondary are tests: tests/net/net_followers_e2e_test.cpp.
"""
import argparse
import base64
import os
import shlex
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.realpath(__file__))
SRC = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SRC, "tests", "support"))
import sandbox  # noqa: E402

NET = "LISTEN 127.0.0.1 3493\nUSER mon secret\nUSER boss s3cret primary\n"
# A private /run/nut (upslog and upsd write their pid files there whatever
# they are told) and a silent wall.
PRIVATE = ("mountpoint -q /run/nut || { mount -t tmpfs tmpfs /run/nut && mount --bind /bin/true /usr/bin/wall; }; "
           "export NUT_CONFPATH=%(d)s NUT_STATEPATH=%(d)s NUT_ALTPIDPATH=%(d)s; ")

PERL = r'''
use UPS::Nut;
my $u = new UPS::Nut(NAME => "qor", HOST => "127.0.0.1", USERNAME => "mon", PASSWORD => "secret");
die "connect: " . UPS::Nut::Error() unless $u;
print "Status=", $u->Status(), "\n";
my $v = $u->ListVar(); print "ListVar=", join(",", sort keys %$v), "\n";
print "GetDesc=", ($u->GetDesc("ups.status") // "ERR " . $u->Error()), "\n";
print "GetType=", ($u->GetType("ups.status") // "ERR " . $u->Error()), "\n";
my $e = $u->ListEnum("ups.status"); print "ListEnum=", (defined $e ? "ok" : "ERR " . $u->Error()), "\n";
my $r = $u->ListRW(); print "ListRW=", (defined $r ? scalar(keys %$r) : "ERR"), "\n";
my $c = $u->ListCmd(); print "ListCmd=", (defined $c ? scalar(@$c) : "ERR"), "\n";
print "Master(mon)=", ($u->Master() ? "granted" : "refused"), "\n";
my $p = new UPS::Nut(NAME => "qor", HOST => "127.0.0.1", USERNAME => "boss", PASSWORD => "s3cret");
print "Master(boss)=", ($p->Master() ? "granted" : "refused: " . $p->Error()), "\n";
'''

PYNUT = r'''
import PyNUT
c = PyNUT.PyNUTClient(host="127.0.0.1", login="mon", password="secret")
print("UPSList", c.GetUPSList())
v = c.GetUPSVars("qor"); print("Vars", sorted(v)); print("status", v.get(b"ups.status", v.get("ups.status")))
print("RW", c.GetRWVars("qor")); print("Cmds", c.GetUPSCommands("qor"))
print("ver", c.ver())
# (its ListClients compares a text with the bytes it keeps and sends LIST CLIENTS,
# which upsd does not know either: not asked)
'''


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--shots", default="/tmp")
    ap.add_argument("--no-primary", action="store_true", help="a server without primaries")
    args = ap.parse_args()
    build = os.path.realpath(args.build)
    sb = sandbox.Sandbox(script=os.path.join(build, "tests", "support", "qor-sandbox"))
    sb.port("ttyS0")
    sb.set_lines("ttyS0", dcd=1, cts=1)
    sb.seed_etc("Qor.net", NET if not args.no_primary else NET.replace("USER boss s3cret primary\n", ""))
    os.chmod(sb.path("etc-upper/Qor.net"), 0o600)
    d = sb.path("nut")
    os.makedirs(d, mode=0o700, exist_ok=True)
    # The CGI programs read these from NUT_CONFPATH (the pages from Debian's own).
    for name in ("upsstats.html", "upsstats-single.html"):
        shutil.copy("/etc/nut/" + name, os.path.join(d, name))
    with open(os.path.join(d, "hosts.conf"), "w") as f:
        f.write('MONITOR qor@127.0.0.1 "Qor on this machine"\n')
    with open(os.path.join(d, "upsset.conf"), "w") as f:
        f.write("I_HAVE_SECURED_MY_CGI_DIRECTORY\n")
    # (the overview page and upsset's host list read /etc/nut/hosts.conf)
    sb.seed_etc("nut/hosts.conf", 'MONITOR qor@127.0.0.1 "Qor on this machine"\n')
    env = PRIVATE % {"d": d}
    rows = []

    def run(cmd, timeout=20, extra_env=""):
        r = sb.enter(["sh", "-c", env + extra_env + cmd], timeout=timeout)
        return r.stdout.replace("Init SSL without certificate database\n", "")

    def row(client, out, works, note=""):
        shown = " / ".join(l.strip() for l in out.strip().splitlines() if l.strip() and "DOCTYPE" not in l
                           and "loose.dtd" not in l and not l.startswith(("Content-type", "Pragma")))
        rows.append((client, shown[:400], "works" if works else "FAILS", note))

    try:
        sb.start_in_tmux([os.path.join(build, "console", "qorconsole")], unset_env=["DISPLAY"])
        if not sb.wait_for_screen("UPS is installed on: /dev/ttyS0", 15):
            sys.exit("qorconsole did not find the simulated UPS")
        time.sleep(2)

        out = run("upsc qor@127.0.0.1")
        row("upsc qor@127.0.0.1", out, "ups.status: OL" in out)
        out = run("upsc -l 127.0.0.1")
        row("upsc -l", out, out.strip() == "qor")
        out = run("upsc -c qor@127.0.0.1")
        row("upsc -c", out or "(none logged in)", "Error" not in out)
        out = run("upsrw -l qor@127.0.0.1; echo exit=$?")
        row("upsrw -l", out, "exit=0" in out and "Error" not in out)
        out = run("upscmd -l qor@127.0.0.1; echo exit=$?")
        row("upscmd -l", out, "exit=0" in out and "Error" not in out)
        out = run("timeout 4 upslog -s qor@127.0.0.1 -l - -i 1 -f '%TIME @Y-@m-@d @H:@M:@S% %VAR ups.status% "
                  "%VAR battery.runtime%'")
        row("upslog -l -", out, " OL " in out)
        out = run("/usr/bin/python3 -c %s 2>&1" % shlex.quote(PYNUT))
        row("PyNUT (python3-nut)", out, "status" in out and "OL" in out and "Traceback" not in out)
        out = run("perl -e %s 2>&1" % shlex.quote(PERL))
        row("UPS::Nut (libups-nut-perl)", out, "Status=OL" in out and "ERR" not in out and "Master(boss)=granted" in out
            and " at -e line" not in out)

        cgi = "REQUEST_METHOD=GET QUERY_STRING=%s /usr/lib/cgi-bin/nut/%s"
        text = " | sed -e 's/<[^>]*>/ /g' -e 's/&nbsp;/ /g' | grep -v '^[[:space:]]*$' | tr -s ' \\t' | grep -v '[{}]' | tail -14"
        out = run(cgi % ("''", "upsstats.cgi") + text)
        row("upsstats.cgi (all hosts)", out, "ONLINE" in out)
        out = run(cgi % ("'host=qor@127.0.0.1'", "upsstats.cgi") + text)
        row("upsstats.cgi?host=qor@127.0.0.1", out, "ONLINE" in out or "OL" in out)
        for what in ("battery.runtime", "battery.charge"):
            raw = os.path.join(args.shots, "upsimage-%s.raw" % what)
            run(cgi % ("'host=qor@127.0.0.1&display=%s'" % what, "upsimage.cgi") + " >" + raw)
            with open(raw, "rb") as f:
                data = f.read()
            os.unlink(raw)
            png = data.split(b"\n\n", 1)[-1]
            with open(os.path.join(args.shots, "upsimage-%s.png" % what), "wb") as f:
                f.write(png)
            row("upsimage.cgi display=%s" % what, "a %d-byte PNG: %s" % (len(png), f.name), png[1:4] == b"PNG",
                "look at the image")
        out = run(cgi % ("''", "upsset.cgi") + text)
        row("upsset.cgi (login page)", out, "Login" in out)
        q = "'function=showsettings&monups=qor@127.0.0.1&username=mon&password=secret'"
        post = ("echo -n %s | REQUEST_METHOD=POST CONTENT_LENGTH=%d CONTENT_TYPE=application/x-www-form-urlencoded "
                "/usr/lib/cgi-bin/nut/upsset.cgi")
        out = run(post % (q, len(q) - 2) + text)
        row("upsset.cgi showsettings (POST, logged in)", out, "Current settings" in out and "rror" not in out)
        q = "'function=showcmds&monups=qor@127.0.0.1&username=mon&password=secret'"
        out = run(post % (q, len(q) - 2) + text)
        row("upsset.cgi showcmds (POST, logged in)", out, "instant commands" in out,
            "upsd says the same of a UPS without commands")

        out = run("nut-scanner -q -O -s 127.0.0.1 -e 127.0.0.1 2>&1", timeout=60)
        row("nut-scanner -O (NUT servers)", out, "qor@127.0.0.1" in out)

        # dummy-ups as a repeater, behind NUT's own upsd on the next port.
        with open(os.path.join(d, "ups.conf"), "w") as f:
            f.write("[rep]\n  driver = dummy-ups\n  port = qor@127.0.0.1\n  desc = \"repeater\"\n")
        with open(os.path.join(d, "upsd.conf"), "w") as f:
            f.write("LISTEN 127.0.0.1 3494\n")
        with open(os.path.join(d, "upsd.users"), "w") as f:
            f.write("[x]\n  password = y\n")
        for n in ("ups.conf", "upsd.conf", "upsd.users"):
            os.chmod(os.path.join(d, n), 0o600)
        run("/lib/nut/dummy-ups -a rep -u root >%s/rep.log 2>&1; /lib/nut/upsd -u root >>%s/rep.log 2>&1" % (d, d))
        sandbox.wait_until(lambda: "OL" in run("upsc rep@127.0.0.1:3494 ups.status"), 10)
        out = run("upsc rep@127.0.0.1:3494")
        row("dummy-ups repeater (port = qor@127.0.0.1) + upsd", out, "ups.status: OL" in out)

        # NUT-Monitor under its own Xvfb, from a favourite with a login.
        home = sb.path("home")
        os.makedirs(os.path.join(home, ".nut-monitor"), mode=0o700, exist_ok=True)
        with open(os.path.join(home, ".nut-monitor", "favorites.ini"), "w") as f:
            f.write("[qor]\nhost = 127.0.0.1\nport = 3493\nups = qor\nauth = True\nlogin = mon\npassword = %s\n"
                    % base64.b64encode(b"secret").decode())
        shot = os.path.join(args.shots, "nut-monitor.png")
        out = run("HOME=%s xvfb-run -a -s '-screen 0 1024x768x24' sh -c '/usr/bin/NUT-Monitor-py3qt5 -F qor & p=$!; "
                  "sleep 8; import -window root %s; kill $p' 2>&1 | grep -v '^QStandardPaths' | tail -5" % (home, shot),
                  timeout=60)
        row("NUT-Monitor-py3qt5 -F qor (Xvfb)", out or "(no output; screenshot %s)" % shot,
            "Traceback" not in out and os.path.exists(shot), "look at the screenshot")

        # Munin's plugins (munin-plugins-extra) read upsc's output.
        out = run("upsname=qor@127.0.0.1 upsc=upsc /usr/share/munin/plugins/nut_misc; "
                  "upsname=qor@127.0.0.1 upsc=upsc /usr/share/munin/plugins/nut_volts; echo exit=$?")
        row("munin nut_misc, nut_volts", out, "exit=0" in out,
            "graph charge, load, voltages: none on a contact-closure UPS")
        plug = d + "/nutups_qor@127.0.0.1_charge"
        if not os.path.exists(plug):
            os.symlink("/usr/share/munin/plugins/nutups_", plug)
        out = run(plug + "; " + plug + " config | head -3; echo exit=$?")
        row("munin nutups_qor@127.0.0.1_charge", out, "exit=0" in out)

        # collectd's nut plugin (collectd-core), writing what it read as CSV.
        with open(os.path.join(d, "collectd.conf"), "w") as f:
            f.write('Interval 1\nBaseDir "%s/collectd"\nPIDFile "%s/collectd.pid"\nLoadPlugin nut\n'
                    'LoadPlugin csv\n<Plugin nut>\n  UPS "qor@127.0.0.1"\n</Plugin>\n'
                    '<Plugin csv>\n  DataDir "%s/csv"\n</Plugin>\n' % (d, d, d))
        out = run("mkdir -p %s/collectd; timeout 5 /usr/sbin/collectd -f -C %s/collectd.conf >%s/collectd.log 2>&1; "
                  "cd %s/csv/*/nut-qor && ls && tail -n 1 timeleft*" % (d, d, d, d))
        row("collectd nut plugin", out, "timeleft" in out and ",600" in out)

        # wmnut (a dock app) under Xvfb, windowed.
        shot = os.path.join(args.shots, "wmnut.png")
        out = run("xvfb-run -a -s '-screen 0 320x240x24' sh -c 'wmnut -w -V -U qor@127.0.0.1 & p=$!; sleep 4; "
                  "import -window root %s; kill $p' 2>&1 | tail -8" % shot, timeout=40)
        row("wmnut -w -U qor@127.0.0.1 (Xvfb)", out, os.path.exists(shot),
            "asks for battery.charge and ups.load, which a contact-closure UPS does not have; look at the screenshot")

        # The same on battery.
        sb.set_lines("ttyS0", dcd=1, cts=0)
        both = "upsc qor@127.0.0.1 ups.status; upsc rep@127.0.0.1:3494 ups.status"
        sandbox.wait_until(lambda: run(both).split() == ["OB", "OB"], 15, 0.5)
        out = run(both)
        row("on battery: upsc, and through the repeater", out, out.split() == ["OB", "OB"])
        sb.send_keys("C-x")
        sb.wait_exit(10)
    finally:
        run("kill $(cat /run/nut/*.pid 2>/dev/null) 2>/dev/null; true") if sb.running() else None
        sb.close()

    print("| client | what it showed | result | note |")
    print("|---|---|---|---|")
    for r in rows:
        print("| %s | %s | %s | %s |" % tuple(x.replace("|", "/") for x in r))


if __name__ == "__main__":
    main()
