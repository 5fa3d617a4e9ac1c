#!/usr/bin/env python3
"""qorconsole and qorgui side by side with a peer a user might run instead.

The peer is NUT's genericups driver (upstype 7: CTS is on-line, DCD low is
battery low) with upsd and upsmon, at their default poll intervals. A bare
probe loop (bare_probe) shows the least a one-second tick can cost on the same
simulated line. Everything runs inside qor-sandbox:

  sandbox A: qorconsole, the peer's three programs and the bare loop, all on
             one simulated /dev/ttyS0;
  sandbox B: qorgui under its own Xvfb on its own simulated line;
  sandboxes C, D: qorconsole and qorgui with a 1-minute battery, for the halt
             timing.

Figures printed:
  - detection: line change to our event recorded (console: the record
    appearing in /etc/Qor.event) or read by the probe (desktop, which keeps
    its events in memory: the first read of the lines after the change, as
    the simulated port logs it), against the peer's ONBATT notification;
  - idle CPU over the window, from /proc/PID/task/*/schedstat (nanoseconds),
    and wake-ups per second (voluntary context switches of every thread);
  - peak RSS (VmHWM);
  - halt timing error against the configured minutes;
  - tick cost and mail latency, from the Google Benchmark programs.

  compare.py BUILD_DIR [--idle SECONDS] [--cycles N]
Root only (the sandbox needs namespaces).
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.realpath(__file__))


def sandbox_module(build):
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "tests", "support"))
    if not os.path.exists(os.path.join(sys.path[0], "sandbox.py")):
        # Running the copy in the build tree: the sources are beside the build.
        src = subprocess.run(["cmake", "-L", "-N", build], stdout=subprocess.PIPE, text=True).stdout
        for line in src.splitlines():
            if line.startswith("CMAKE_HOME_DIRECTORY"):
                sys.path.insert(0, os.path.join(line.split("=", 1)[1], "tests", "support"))
    import sandbox  # noqa: E402
    return sandbox


# ---- processes and their costs -------------------------------------------------

def sandbox_pids(sb, names):
    """Host pids of the processes named `names` that run in sandbox `sb`."""
    marker = ("QOR_SANDBOX_DIR=%s\0" % sb.dir).encode()
    out = []
    for p in os.listdir("/proc"):
        if not p.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % p) as f:
                comm = f.read().strip()
            if comm not in names:
                continue
            with open("/proc/%s/environ" % p, "rb") as f:
                if marker in f.read():
                    out.append(int(p))
        except OSError:
            pass
    return sorted(out)


def per_thread(pids, read):
    """{(pid, tid): read(task directory)} for every live thread of `pids`."""
    out = {}
    for pid in pids:
        task_dir = "/proc/%d/task" % pid
        try:
            for t in os.listdir(task_dir):
                try:
                    out[(pid, t)] = read("%s/%s" % (task_dir, t))
                except (OSError, ValueError):
                    pass
        except OSError:
            pass
    return out


def cpu_ns(pids):
    def read(task):
        with open(task + "/schedstat") as f:
            return int(f.read().split()[0])
    return per_thread(pids, read)


def used(before, after):
    """What the threads alive at the end used since the start (a thread that
    ended in between, a pool's expired worker say, takes its count with it)."""
    return sum(v - before.get(k, 0) for k, v in after.items())


def peak_rss_kb(pids):
    total = 0
    for pid in pids:
        try:
            with open("/proc/%d/status" % pid) as f:
                for line in f:
                    if line.startswith("VmHWM:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


# ---- the peer's configuration --------------------------------------------------

def peer_files(conf, state):
    os.makedirs(conf)
    os.makedirs(state)
    files = {
        "ups.conf": "[qorups]\n\tdriver = genericups\n\tport = /dev/ttyS0\n\tupstype = 7\n",
        "upsd.conf": "LISTEN 127.0.0.1 3493\n",
        "upsd.users": "[mon]\n\tpassword = pw\n\tupsmon primary\n",
        "nut.conf": "MODE=standalone\n",
        "notify.sh": "#!/bin/sh\necho \"$(date +%%s.%%N) $NOTIFYTYPE\" >>%s/notify.log\n" % state,
        "upsmon.conf": ("RUN_AS_USER root\nMONITOR qorups@127.0.0.1 1 mon pw primary\n"
                        "MINSUPPLIES 1\nSHUTDOWNCMD \"/bin/true\"\nNOTIFYCMD %s/notify.sh\n"
                        "NOTIFYFLAG ONBATT EXEC\nNOTIFYFLAG ONLINE EXEC\n"
                        "POWERDOWNFLAG %s/killpower\n" % (conf, state)),
    }
    for name, text in files.items():
        with open(os.path.join(conf, name), "w") as f:
            f.write(text)
        os.chmod(os.path.join(conf, name), 0o700 if name.endswith(".sh") else 0o600)


def peer_events(state, kind):
    try:
        with open(os.path.join(state, "notify.log")) as f:
            return [float(l.split()[0]) for l in f if l.split()[1:2] == [kind]]
    except OSError:
        return []


# ---- helpers -------------------------------------------------------------------

def fmt_pct(ns, wall):
    return "%.4f %%" % (100.0 * ns / (wall * 1e9))


def event_count(sb):
    data = sb.etc_file("Qor.event", binary=True) or b""
    return len(data) // 8


def time_reads(sb, port):
    """Asks the simulated port to log every read of its lines (reads.log)."""
    open(sb.path("serial/%s/reads.log" % port), "a").close()


def probe_read_after(sb, port, t_change):
    """When the first probe after t_change read the lines."""
    try:
        with open(sb.path("serial/%s/reads.log" % port)) as f:
            for line in f:
                if float(line) >= t_change:
                    return float(line)
    except (OSError, ValueError):
        pass
    return None


def wakeups(pids):
    """Voluntary context switches of every thread: how often they slept and woke."""
    def read(task):
        with open(task + "/status") as f:
            for line in f:
                if line.startswith("voluntary_ctxt_switches:"):
                    return int(line.split()[1])
        return 0
    return per_thread(pids, read)


def summary(values):
    if not values:
        return "n/a"
    return "median %.3f s, min %.3f, max %.3f (n=%d)" % (
        statistics.median(values), min(values), max(values), len(values))


def run_bench(path, bench_filter):
    if not os.path.exists(path):
        return ["(%s not built)" % path]
    r = subprocess.run([path, "--benchmark_filter=" + bench_filter], stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL, text=True, timeout=300)
    return [l for l in r.stdout.splitlines() if l.startswith("BM_")]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--idle", type=float, default=60)
    ap.add_argument("--cycles", type=int, default=5)
    args = ap.parse_args()
    build = os.path.realpath(args.build)
    sandbox = sandbox_module(build)
    script = os.path.join(build, "tests", "support", "qor-sandbox")
    console = os.path.join(build, "console", "qorconsole")
    gui = os.path.join(build, "gui", "qorgui")
    on_xvfb = os.path.join(os.path.dirname(os.path.dirname(HERE)), "tests", "gui", "on_xvfb.sh")
    bare = os.path.join(build, "bench", "compare", "bare_probe")
    seed = os.path.join(build, "bench", "compare", "seed_settings")
    for p in (script, console, bare, seed):
        if not os.path.exists(p):
            sys.exit("missing %s: build the tree first" % p)
    have_gui = os.path.exists(gui) and shutil.which("Xvfb") is not None
    have_peer = os.path.exists("/lib/nut/genericups")
    if not have_peer:
        print("NUT (nut-server, nut-client) is not installed: the peer's columns stay empty")

    work = tempfile.mkdtemp(prefix="qor-compare.")
    conf, state = os.path.join(work, "nut"), os.path.join(work, "nut-state")
    boxes = []

    def box():
        sb = sandbox.Sandbox(script=script)
        boxes.append(sb)
        sb.port("ttyS0")
        sb.set_lines("ttyS0", dcd=1, cts=1)
        return sb

    # Our network server on: the idle figures must hold with it listening. Its
    # port is not 3493, which the peer's upsd has in sandbox A.
    our_port = 3494

    def serve(sb, port=our_port):
        sb.seed_etc("Qor.net", "LISTEN 127.0.0.1 %d\n" % port)
        os.chmod(sb.path("etc-upper/Qor.net"), 0o600)

    def serving(sb, port=our_port):
        probe = ("import socket; s = socket.create_connection(('127.0.0.1', %d), 5); "
                 "s.sendall(b'GET VAR qor ups.status\\n'); print(s.recv(200).decode())" % port)
        for _ in range(50):
            r = sb.enter(["python3", "-c", probe])
            if r.returncode == 0 and "VAR qor ups.status" in r.stdout:
                return True
            time.sleep(0.2)
        return False

    def seeded(edition, minutes):
        path = os.path.join(work, "Qor.conf.%s" % edition)
        subprocess.run([seed, edition, str(minutes), "1", path], check=True)
        with open(path, "rb") as f:
            return f.read()

    try:
        # A: our console, the peer and the bare loop on one line.
        a = box()
        serve(a)
        inner = ""
        if have_peer:
            peer_files(conf, state)
            env = "NUT_CONFPATH=%s NUT_STATEPATH=%s NUT_ALTPIDPATH=%s" % (conf, state, state)
            inner += ("%s /lib/nut/genericups -a qorups -u root >%s/drv.log 2>&1; "
                      "%s /lib/nut/upsd -u root >%s/upsd.log 2>&1; "
                      "%s /lib/nut/upsmon -u root >%s/upsmon.log 2>&1; " % (
                          env, state, env, state, env, state))
        inner += "%s /dev/ttyS0 & exec %s" % (bare, console)
        a.start_in_tmux(["/bin/sh", "-c", inner], unset_env=["DISPLAY"])

        b = None
        if have_gui:
            b = box()
            serve(b)
            time_reads(b, "ttyS0")
            b.start([on_xvfb, b.path("."), gui], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

        # C, D: one-minute battery, for the halt timing.
        c = box()
        c.seed_etc("Qor.conf", seeded("console", 1))
        c.start_in_tmux([console], unset_env=["DISPLAY"])
        d = None
        if have_gui:
            d = box()
            d.seed_etc("Qor.conf", seeded("desktop", 1))
            d.start([on_xvfb, d.path("."), gui], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

        ok = a.wait_for_screen("UPS is installed on: /dev/ttyS0", 15)
        ok = ok and c.wait_for_screen("UPS is installed on: /dev/ttyS0", 15)
        if not ok:
            sys.exit("qorconsole did not find the simulated UPS:\n" + a.screen())
        if not serving(a) or (b and not serving(b)):
            sys.exit("our network server did not answer")
        time.sleep(4)  # let every program settle into its steady poll

        ours = sandbox_pids(a, {"qorconsole"})
        peer = sandbox_pids(a, {"genericups", "upsd", "upsmon"})
        loop = sandbox_pids(a, {"bare_probe"})
        desk = sandbox_pids(b, {"qorgui"}) if b else []

        # Halt timing runs through the idle window in its own sandboxes.
        t_fail_halt = time.time()
        c.set_lines("ttyS0", dcd=1, cts=0)
        if d:
            d.set_lines("ttyS0", dcd=1, cts=0)

        t0 = time.monotonic()
        groups = (("ours", ours), ("peer", peer), ("loop", loop), ("desk", desk))
        c0 = {k: cpu_ns(v) for k, v in groups}
        w0 = {k: wakeups(v) for k, v in groups}
        time.sleep(args.idle)
        wall = time.monotonic() - t0
        c1 = {k: cpu_ns(v) for k, v in groups}
        w1 = {k: wakeups(v) for k, v in groups}
        idle = {k: used(c0[k], c1[k]) for k in c0}
        wake = {k: used(w0[k], w1[k]) / wall for k in w0}
        rss = {"ours": peak_rss_kb(ours), "peer": peak_rss_kb(peer), "loop": peak_rss_kb(loop),
               "desk": peak_rss_kb(desk)}

        # Detection cycles: mains fail, then return, at a random phase to the ticks.
        ours_lat, peer_lat, desk_lat = [], [], []
        for _ in range(args.cycles):
            for kind_fail in (True, False):
                time.sleep(random.uniform(0.5, 2.5))
                n0 = event_count(a)
                p0 = len(peer_events(state, "ONBATT" if kind_fail else "ONLINE"))
                t = time.time()
                a.set_lines("ttyS0", dcd=1, cts=0 if kind_fail else 1)
                if b:
                    b.set_lines("ttyS0", dcd=1, cts=0 if kind_fail else 1)
                seen = sandbox.wait_until(lambda: event_count(a) > n0, 10, 0.005)
                if seen and kind_fail:
                    ours_lat.append(time.time() - t)
                if have_peer:
                    kind = "ONBATT" if kind_fail else "ONLINE"
                    if sandbox.wait_until(lambda: len(peer_events(state, kind)) > p0, 20, 0.05) \
                            and kind_fail:
                        peer_lat.append(peer_events(state, kind)[-1] - t)
                if b and kind_fail:
                    sandbox.wait_until(lambda: probe_read_after(b, "ttyS0", t) is not None, 5)
                    r = probe_read_after(b, "ttyS0", t)
                    if r is not None:
                        desk_lat.append(r - t)

        # The halts: both should have come 60 s after the change.
        sandbox.wait_until(lambda: c.halt_log() and (not d or d.halt_log()),
                           max(0, t_fail_halt + 75 - time.time()))
        halt_c = c.halt_log()[0][0] - t_fail_halt - 60 if c.halt_log() else None
        halt_d = d.halt_log()[0][0] - t_fail_halt - 60 if d and d.halt_log() else None

        def row(name, *cells):
            print("%s\n    qorconsole: %s\n    peer:       %s\n    bare loop:  %s" % ((name,) + cells))

        print()
        print("== Side by side (%s, idle window %.0f s)" % (time.strftime("%Y-%m-%d"), wall))
        print("(peer: genericups + upsd + upsmon; ours with the network server listening)")
        row("line change to event (AC fail)", summary(ours_lat),
            summary(peer_lat) if have_peer else "n/a", "-")
        row("idle CPU", "%d ns (%s)" % (idle["ours"], fmt_pct(idle["ours"], wall)),
            "%d ns (%s)" % (idle["peer"], fmt_pct(idle["peer"], wall)) if peer else "n/a",
            "%d ns (%s)" % (idle["loop"], fmt_pct(idle["loop"], wall)))
        row("wake-ups while idle", "%.2f /s" % wake["ours"],
            "%.2f /s" % wake["peer"] if peer else "n/a", "%.2f /s" % wake["loop"])
        row("peak RSS", "%d kB" % rss["ours"],
            "%d kB (%d processes)" % (rss["peer"], len(peer)) if peer else "n/a",
            "%d kB" % rss["loop"])
        if idle["loop"]:
            print("qorconsole idle CPU / bare loop: %.2f (goal <= 1.25)" % (idle["ours"] / idle["loop"]))
        if peer and idle["peer"]:
            print("qorconsole idle CPU / peer: %.2f (goal < 1)" % (idle["ours"] / idle["peer"]))
        if peer and rss["peer"]:
            print("qorconsole peak RSS / peer: %.2f (goal <= 0.5)" % (rss["ours"] / rss["peer"]))
        print("console detection goal <= 0.050 s median: %s" % summary(ours_lat))
        if b:
            print("qorgui: line change read by its probe: %s (goal <= 0.100 s median)" % summary(desk_lat))
            print("qorgui: idle CPU %d ns (%s, goal <= 0.1 %%), %.2f wake-ups/s, peak RSS %d kB" % (
                idle["desk"], fmt_pct(idle["desk"], wall), wake["desk"], rss["desk"]))
            if peer and idle["peer"]:
                print("qorgui idle CPU / peer: %.2f (goal < 1)" % (idle["desk"] / idle["peer"]))
        print("halt after a 1-minute battery, error: console %s, desktop %s (goal: within one tick)" % (
            "%+.3f s" % halt_c if halt_c is not None else "no halt",
            "%+.3f s" % halt_d if halt_d is not None else ("no halt" if d else "n/a")))
        print("tick cost (bench_engine_tick):")
        for line in run_bench(os.path.join(build, "bench", "core", "bench_engine_tick"), "."):
            print("  " + line)
        print("mail latency (notify_bench):")
        for line in run_bench(os.path.join(build, "bench", "notify", "notify_bench"), "WorkerStartToMailAccepted"):
            print("  " + line)
    finally:
        for sb in boxes:
            try:
                sb.stop()
                sb.close()
            except Exception:  # noqa: BLE001 - leave nothing running whatever failed
                pass
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
