#!/usr/bin/env python3
"""Tests of the Linux packaging.

  deb_test.py install-tree BUILD_DIR [--gui]   cmake --install into a DESTDIR: the layout
  deb_test.py lintian DEB                      lintian reports no error
  deb_test.py systemd DEB                      systemd-analyze verify on the unpacked unit
  deb_test.py run DEB --art DIR --on-xvfb SH [--gui]
        dpkg installs the package into a throwaway root (its dependencies checked against
        this machine's packages); both programs run from there in qor-sandbox ($QOR_SANDBOX)
        and find the simulated UPS.
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from sandbox import Sandbox, wait_until  # noqa: E402

CONSOLE_FILES = [
    "usr/sbin/qorconsole",
    "usr/share/man/man8/qorconsole.8.gz",
    "usr/share/man/man5/qor.conf.5.gz",
    "lib/systemd/system/qorconsole.service",
    "usr/share/doc/qor/copyright",
    "usr/share/doc/qor/changelog.gz",
]
GUI_FILES = [
    "usr/sbin/qorgui",
    "usr/share/man/man8/qorgui.8.gz",
    "usr/share/doc/Qor/HelpE.htm",
    "usr/share/applications/qorgui.desktop",
    "usr/share/icons/hicolor/scalable/apps/qorgui.svg",
    "usr/share/polkit-1/actions/org.qor.qorgui.policy",
]
UNIT = "lib/systemd/system/qorconsole.service"
# The one complaint of a root without systemd's own units.
NO_SYSINIT = "Unit sysinit.target not found"

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)
    return ok


def finish():
    if failures:
        print("%d failure(s)" % len(failures))
        return 1
    print("PASS")
    return 0


def run(cmd, **kw):
    kw.setdefault("stdout", subprocess.PIPE)
    kw.setdefault("stderr", subprocess.STDOUT)
    return subprocess.run(cmd, text=True, **kw)


def check_layout(root, gui):
    for rel in CONSOLE_FILES + (GUI_FILES if gui else []):
        check(os.path.isfile(os.path.join(root, rel)), "missing " + rel)
    for prog in ["qorconsole"] + (["qorgui"] if gui else []):
        check(os.access(os.path.join(root, "usr/sbin", prog), os.X_OK), prog + " is not executable")
    unit = open(os.path.join(root, UNIT)).read() if os.path.isfile(os.path.join(root, UNIT)) else ""
    check("ExecStart=/usr/sbin/qorconsole\n" in unit, "the unit does not start /usr/sbin/qorconsole")


def unpack(deb, root):
    r = run(["dpkg-deb", "-x", deb, root])
    check(r.returncode == 0, "dpkg-deb -x: " + r.stdout)


def cmd_install_tree(a):
    with tempfile.TemporaryDirectory(prefix="qor-destdir-") as dest:
        r = run(["cmake", "--install", a.build], env=dict(os.environ, DESTDIR=dest))
        check(r.returncode == 0, "cmake --install: " + r.stdout)
        check_layout(dest, a.gui)
        check(not os.path.exists(os.path.join(dest, "usr/local")), "something went to /usr/local")
    return finish()


def cmd_lintian(a):
    r = run(["lintian", "--info", "--fail-on", "error", a.deb])
    print(r.stdout)
    errors = [line for line in r.stdout.splitlines() if line.startswith("E:")]
    check(not errors, "lintian errors: %d" % len(errors))
    check(r.returncode == 0, "lintian ended with status %d" % r.returncode)
    return finish()


def cmd_systemd(a):
    with tempfile.TemporaryDirectory(prefix="qor-unit-") as root:
        unpack(a.deb, root)
        # The Documentation= page is looked up with man: in the package's pages.
        env = dict(os.environ, MANPATH=os.path.join(root, "usr/share/man"))
        r = run(["systemd-analyze", "verify", "--root=" + root, os.path.join(root, UNIT)], env=env)
        print(r.stdout)
        other = [line for line in r.stdout.splitlines() if line.strip() and NO_SYSINIT not in line]
        check(not other, "systemd-analyze verify complains: %s" % other)
    return finish()


def make_root(root):
    """An empty dpkg database whose status is this machine's, so dpkg checks the dependencies."""
    info = os.path.join(root, "var/lib/dpkg/info")
    os.makedirs(info)
    os.makedirs(os.path.join(root, "var/lib/dpkg/updates"))
    shutil.copy("/var/lib/dpkg/status", os.path.join(root, "var/lib/dpkg/status"))
    # Empty file lists keep dpkg from warning about each installed package.
    for lst in glob.glob("/var/lib/dpkg/info/*.list"):
        open(os.path.join(info, os.path.basename(lst)), "w").close()


def hex_at(png, points):
    fmt = " ".join("%%[hex:p{%d,%d}]" % p for p in points)
    r = run(["convert", png, "-format", fmt, "info:"])
    return [h[:6].upper() for h in r.stdout.split()] if r.returncode == 0 else []


def run_console(root):
    with Sandbox() as sb:
        sb.port("ttyS0").set_lines("ttyS0", dcd=1, cts=1)
        sb.start_in_tmux([os.path.join(root, "usr/sbin/qorconsole")], unset_env=["DISPLAY"])
        found = sb.wait_for_screen("UPS is installed on: /dev/ttyS0", 15)
        check(found, "qorconsole from the package did not find the UPS:\n" + sb.screen())
        sb.send_keys("C-x")
        check(sb.wait_exit(10) == 0, "qorconsole did not end with status 0 (%s)" % sb.exit_status())


def run_gui(root, art, on_xvfb):
    lamp = {}
    for name, letter in (("green", "G"), ("red", "r"), ("grey", "g")):
        got = hex_at(os.path.join(art, "lamp_%s.png" % name), [(6, 6)])
        lamp[got[0] if got else name] = letter
    with Sandbox() as sb:
        sb.port("ttyS0").set_lines("ttyS0", dcd=1, cts=1)
        sb.start([on_xvfb, sb.dir, os.path.join(root, "usr/sbin/qorgui")], stdin=subprocess.DEVNULL)
        display = wait_until(lambda: (open(sb.path("display")).read().strip()
                                      if os.path.exists(sb.path("display")) else ""), 15)
        check(display, "no X display")
        origin = []

        def window():
            r = sb.enter(["env", "-u", "LD_PRELOAD", "xwininfo", "-display", ":" + display,
                          "-name", "Brantel HalvoraQor"], timeout=5)
            if r.returncode != 0 or "IsViewable" not in r.stdout:
                return False
            vals = {}
            for line in r.stdout.splitlines():
                key, _, val = line.strip().partition(":")
                vals[key] = val.strip()
            origin[:] = [int(vals["Absolute upper-left X"]), int(vals["Absolute upper-left Y"])]
            return True

        check(wait_until(window, 20, 0.2), "the qorgui window did not appear")
        x0, y0 = origin or [0, 0]
        shot = sb.path("shot.png")
        seen = []

        def lamps():
            sb.enter(["env", "-u", "LD_PRELOAD", "import", "-display", ":" + display, "-window", "root", shot],
                     timeout=10)
            seen[:] = [lamp.get(h, "?") for h in hex_at(shot, [(x0 + 36, y0 + y + 6) for y in (90, 120, 150, 180)])]
            return "".join(seen) == "GGGr"

        # Installed state: port, mains and battery lamps green, count-down lamp red.
        check(wait_until(lamps, 20, 0.5), "qorgui from the package did not show the UPS found (lamps %s)" % seen)
        app = open(sb.path("app.pid")).read().strip()
        sb.enter(["kill", "-TERM", app])
        check(sb.wait_exit(15) == 0, "qorgui did not end with status 0 (%s)" % sb.exit_status())


def cmd_run(a):
    root = tempfile.mkdtemp(prefix="qor-root-")
    try:
        make_root(root)
        r = run(["dpkg", "--root=" + root, "-i", a.deb])
        print(r.stdout)
        check(r.returncode == 0, "dpkg -i into the throwaway root failed")
        r = run(["dpkg", "--root=" + root, "-s", "qor"])
        check("Status: install ok installed" in r.stdout, "dpkg does not list qor as installed")
        depends = run(["dpkg-deb", "-f", a.deb, "Depends"]).stdout
        # libssl3 and libcrypt1 are opened at run time: no linker sees them.
        for lib in ["libncursesw6", "libssl3", "libcrypt1"] + (["libqt6widgets6"] if a.gui else []):
            check(lib in depends, "Depends lacks " + lib + ": " + depends)
        check_layout(root, a.gui)
        if failures:
            return finish()
        run_console(root)
        if a.gui:
            run_gui(root, a.art, a.on_xvfb)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return finish()


def main():
    p = argparse.ArgumentParser()
    sub = p.add_subparsers(dest="cmd", required=True)
    s = sub.add_parser("install-tree")
    s.add_argument("build")
    s.add_argument("--gui", action="store_true")
    for name in ("lintian", "systemd", "run"):
        s = sub.add_parser(name)
        s.add_argument("deb")
        if name == "run":
            s.add_argument("--gui", action="store_true")
            s.add_argument("--art")
            s.add_argument("--on-xvfb")
    a = p.parse_args()
    if a.cmd == "install-tree":
        return cmd_install_tree(a)
    if not os.path.isfile(a.deb):
        print("no package", a.deb)
        return 1
    return {"lintian": cmd_lintian, "systemd": cmd_systemd, "run": cmd_run}[a.cmd](a)


if __name__ == "__main__":
    sys.exit(main())
