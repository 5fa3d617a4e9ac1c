#!/usr/bin/env python3
"""qorconsole's network server under a crowd, in the sandbox, with a 1-minute
battery (count-down step 1 s, one tick a second). Two runs:

  followers: N followers (default 1000, each from its own address) log in as
             upsmon does and ask for ups.status every POLL s (upsmon's default:
             5). Printed: qorconsole's CPU and RSS idle and with them all
             connected, their answer latency, and, after the mains fail, when
             the halt came: its time is 2 s after the last follower logged out
             on seeing FSD (the grace for its shutdown command).
  attack:    a logged-in client pipelining 10 000 commands at a time and never
             logging out, one that never reads its answers, one that sends a
             byte a second, and a polite client asking once a second, all
             through the count-down. The halt's time is the count-down's end
             plus the whole wait for followers (15 s): the pipeliner holds it.

  followers.py BUILD_DIR [--followers N] [--poll S] [--only followers|attack]
Root only (the sandbox needs namespaces).
"""
import argparse
import json
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.realpath(__file__))
SRC = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SRC, "tests", "support"))
import sandbox  # noqa: E402

TICK = 1.0
GRACE = 2.0
WAIT_BOUND = 15.0


def console_pid(sb):
    marker = ("QOR_SANDBOX_DIR=%s\0" % sb.dir).encode()
    for p in os.listdir("/proc"):
        if not p.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % p) as f:
                if f.read().strip() != "qorconsole":
                    continue
            with open("/proc/%s/environ" % p, "rb") as f:
                if marker in f.read():
                    return int(p)
        except OSError:
            pass
    return None


def cpu_ns(pid):
    total = 0
    for t in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/schedstat" % (pid, t)) as f:
            total += int(f.read().split()[0])
    return total


def mem_kb(pid):
    out = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            k = line.split(":")[0]
            if k in ("VmRSS", "VmHWM"):
                out[k] = int(line.split()[1])
    return out


def status(path):
    try:
        with open(path) as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def start_console(build, battery_min):
    sb = sandbox.Sandbox(script=os.path.join(build, "tests", "support", "qor-sandbox"))
    sb.port("ttyS0")
    sb.set_lines("ttyS0", dcd=1, cts=1)
    seeded = os.path.join(sb.dir, "Qor.conf.seed")
    subprocess.run([os.path.join(build, "bench", "compare", "seed_settings"), "console", str(battery_min), "1",
                    seeded], check=True)
    with open(seeded, "rb") as f:
        sb.seed_etc("Qor.conf", f.read())
    sb.seed_etc("Qor.net", "LISTEN 127.0.0.1 3493\nUSER mon secret\n")
    os.chmod(sb.path("etc-upper/Qor.net"), 0o600)
    sb.start_in_tmux([os.path.join(build, "console", "qorconsole")], unset_env=["DISPLAY"])
    if not sb.wait_for_screen("UPS is installed on: /dev/ttyS0", 15):
        sys.exit("qorconsole did not find the simulated UPS:\n" + sb.screen())
    return sb


def load(sb, *args):
    return subprocess.Popen([sb.script, "--enter", sb.dir, "--", "python3", os.path.join(HERE, "net_load.py")]
                            + [str(a) for a in args], stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)


def fail_and_wait_for_halt(sb, timeout):
    t_fail = time.time()
    sb.set_lines("ttyS0", dcd=1, cts=0)
    sandbox.wait_until(lambda: sb.halt_log(), timeout, 0.05)
    halts = sb.halt_log()
    return t_fail, (halts[0][0] if halts else None)


def run_followers(build, n, poll, window):
    sb = start_console(build, 1)
    proc = None
    try:
        pid = console_pid(sb)
        time.sleep(3)
        idle_mem = mem_kb(pid)
        c0, t0 = cpu_ns(pid), time.monotonic()
        time.sleep(window)
        idle_cpu = (cpu_ns(pid) - c0) / ((time.monotonic() - t0) * 1e9)

        st_path = sb.path("followers.json")
        proc = load(sb, "followers", n, poll, st_path)
        if not sandbox.wait_until(lambda: status(st_path).get("logged_in", 0) >= n, 120, 0.5):
            print("only %s of %d followers logged in: %s" % (status(st_path).get("logged_in"), n, status(st_path)))
        time.sleep(poll + 1)  # every one has polled at least once
        a0, c0, t0 = status(st_path).get("answers", 0), cpu_ns(pid), time.monotonic()
        time.sleep(window)
        wall = time.monotonic() - t0
        busy_cpu = (cpu_ns(pid) - c0) / (wall * 1e9)
        answered = status(st_path).get("answers", 0) - a0
        busy_mem = mem_kb(pid)

        t_fail, halt = fail_and_wait_for_halt(sb, 60 + WAIT_BOUND + 20)
        time.sleep(0.5)
        st = status(st_path)
        print("== %d followers polling every %.0f s (%s)" % (n, poll, time.strftime("%Y-%m-%d %H:%M")))
        print("  logged in: %d, connection errors: %d, dropped by the server: %d"
              % (st.get("logged_in", 0), st.get("errors", 0), st.get("dropped", 0)))
        print("  qorconsole idle, no followers:  CPU %.4f %%, RSS %d kB" % (100 * idle_cpu, idle_mem["VmRSS"]))
        print("  qorconsole with %d followers: CPU %.4f %% over %.0f s (%d answers, %.0f a second), "
              "RSS %d kB, peak %d kB" % (n, 100 * busy_cpu, wall, answered, answered / wall, busy_mem["VmRSS"],
                                         busy_mem["VmHWM"]))
        print("  answer latency: p50 %.2f ms, p99 %.2f ms, max %.2f ms"
              % (st.get("latency_p50_ms") or 0, st.get("latency_p99_ms") or 0, st.get("latency_max_ms") or 0))
        if halt is None:
            print("  NO HALT within %.0f s of the mains failing" % (60 + WAIT_BOUND + 20))
            return False
        print("  followers logged out on FSD: %d; halt %.2f s after the mains failed" % (st.get("logouts", 0),
                                                                                        halt - t_fail))
        last = st.get("last_logout")
        if st.get("logouts", 0) == n and last is not None:
            due = last + GRACE
            print("  halt - (last logout + %.0f s grace) = %+.3f s (goal: 0 to one tick, %.0f s)" % (GRACE, halt - due,
                                                                                                    TICK))
            return 0 <= halt - due < TICK
        due = t_fail + 60 + WAIT_BOUND
        print("  not all logged out: halt - (mains fail + 60 s + %.0f s) = %+.3f s" % (WAIT_BOUND, halt - due))
        return False
    finally:
        if proc:
            proc.kill()
        sb.close()


def run_attack(build):
    sb = start_console(build, 1)
    proc = None
    try:
        pid = console_pid(sb)
        st_path = sb.path("attack.json")
        proc = load(sb, "attack", st_path)
        sandbox.wait_until(lambda: status(st_path).get("pipelined_batches", 0) >= 1, 30, 0.5)
        c0, t0 = cpu_ns(pid), time.monotonic()
        t_fail, halt = fail_and_wait_for_halt(sb, 60 + WAIT_BOUND + 20)
        wall = time.monotonic() - t0
        cpu = (cpu_ns(pid) - c0) / (wall * 1e9)
        st = status(st_path)
        mem = mem_kb(pid) if os.path.exists("/proc/%d" % pid) else {"VmRSS": 0, "VmHWM": 0}
        print("== attack through the count-down (%s)" % time.strftime("%Y-%m-%d %H:%M"))
        print("  pipelined batches of 10 000 answered: %d, last ones took %s s"
              % (st.get("pipelined_batches", 0), st.get("pipelined_batch_s", [])[-5:]))
        print("  never-reading client dropped %d times; byte-a-second client dropped %d times"
              % (st.get("never_reader_drops", 0), st.get("byte_sender_drops", 0)))
        print("  polite client: %d answered, %d failed, slowest %.1f ms"
              % (st.get("polite_answers", 0), st.get("polite_failures", 0), st.get("polite_latency_max_ms") or 0))
        print("  qorconsole CPU %.2f %% over %.0f s, RSS peak %d kB" % (100 * cpu, wall, mem["VmHWM"]))
        if halt is None:
            print("  NO HALT")
            return False
        due = t_fail + 60 + WAIT_BOUND
        print("  halt %.2f s after the mains failed; halt - (mains fail + 60 s count-down + %.0f s wait) = %+.3f s "
              "(goal: within one tick, %.0f s: the count-down starts on the tick that sees the change)"
              % (halt - t_fail, WAIT_BOUND, halt - due, TICK))
        return abs(halt - due) < TICK
    finally:
        if proc:
            proc.kill()
        sb.close()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--followers", type=int, default=1000)
    ap.add_argument("--poll", type=float, default=5.0)
    ap.add_argument("--window", type=float, default=20.0)
    ap.add_argument("--only", choices=("followers", "attack"))
    args = ap.parse_args()
    build = os.path.realpath(args.build)
    ok = True
    if args.only in (None, "followers"):
        ok = run_followers(build, args.followers, args.poll, args.window) and ok
    if args.only in (None, "attack"):
        ok = run_attack(build) and ok
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
