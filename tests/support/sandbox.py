"""Runs programs inside qor-sandbox from Python test scripts and reads what they did.

    from sandbox import Sandbox
    with Sandbox(script="/work/build/tests/support/qor-sandbox") as sb:
        sb.port("ttyS0").set_lines("ttyS0", dcd=1, cts=1)
        sb.start_in_tmux(["/work/build/console/qorconsole"], unset_env=["DISPLAY"])
        assert sb.wait_for_screen("UPS is installed on: /dev/ttyS0", 5)
        sb.set_lines("ttyS0", dcd=1, cts=0)
        assert sb.wait_until(lambda: sb.halt_log(), 70)

The script path defaults to $QOR_SANDBOX (set it to <build>/tests/support/qor-sandbox).
Set QOR_SANDBOX_KEEP=1 to keep the directory.
"""
import os
import shlex
import shutil
import signal
import stat
import subprocess
import tempfile
import time


def _read(path, default=None, binary=False):
    try:
        with open(path, "rb" if binary else "r", errors=None if binary else "surrogateescape") as f:
            return f.read()
    except OSError:
        return default


def _write_atomic(path, text):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.rename(tmp, path)


def wait_until(cond, timeout, poll=0.02):
    end = time.monotonic() + timeout
    while True:
        value = cond()
        if value:
            return value
        if time.monotonic() >= end:
            return value
        time.sleep(poll)


def parse_call_log(text):
    """halt.log/pppd.log/clear.log lines -> [(time, [argv...])]."""
    out = []
    for line in (text or "").splitlines():
        stamp, _, rest = line.partition(" ")
        out.append((float(stamp), shlex.split(rest) if rest else []))
    return out


def parse_control_log(text):
    """control.log lines -> [(time, rts, dtr)]."""
    out = []
    for line in (text or "").splitlines():
        parts = line.split()
        out.append((float(parts[0]), "RTS=1" in parts, "DTR=1" in parts))
    return out


class Sandbox:
    def __init__(self, script=None, directory=None):
        self.script = script or os.environ.get("QOR_SANDBOX")
        if not self.script:
            raise RuntimeError("set QOR_SANDBOX to <build>/tests/support/qor-sandbox")
        self.dir = os.path.realpath(directory or tempfile.mkdtemp(prefix="qor-sbx-"))
        os.makedirs(self.path("serial"), exist_ok=True)
        os.makedirs(self.path("etc-upper"), exist_ok=True)
        self.ports = []
        self.mouse_target = None
        self.options = []  # --unplugged and --link
        self.proc = None
        self.tmux_used = False

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        self.stop(3)
        if self.tmux_used:
            subprocess.run(["tmux", "-S", self.path(".tmux.sock"), "kill-server"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if os.environ.get("QOR_SANDBOX_KEEP") != "1" and not self.running():
            shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, rel):
        return os.path.join(self.dir, rel)

    # ---- set-up ----
    def port(self, name, exec_cmd=None):
        os.makedirs(self.path("serial/" + name), exist_ok=True)
        self.ports.append(name if not exec_cmd else name + "=exec:" + exec_cmd)
        return self

    def mouse(self, target):
        self.mouse_target = target
        return self

    def unplugged(self, name):
        """A USB adapter (ttyUSBn, ttyACMn) that starts pulled out."""
        self.options += ["--unplugged", name]
        return self

    def link(self, dev_path, target):
        """/dev/DEV_PATH becomes a link to target."""
        self.options += ["--link", dev_path + "=" + target]
        return self

    def ppp_mode(self, mode):
        _write_atomic(self.path("pppd.mode"), mode + "\n")
        return self

    def seed_etc(self, rel, content):
        p = self.path("etc-upper/" + rel)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        mode = "wb" if isinstance(content, bytes) else "w"
        with open(p, mode) as f:
            f.write(content)

    def set_lines(self, port, dcd=0, cts=0, ri=0, dsr=0, text=None):
        os.makedirs(self.path("serial/" + port), exist_ok=True)
        if text is None:
            text = "DCD=%d CTS=%d RI=%d DSR=%d" % (bool(dcd), bool(cts), bool(ri), bool(dsr))
        _write_atomic(self.path("serial/%s/lines" % port), text + "\n")

    # ---- running ----
    def argv(self, cmd):
        if not self.running():
            for f in ("exit.status", "sandbox.pid"):
                try:
                    os.unlink(self.path(f))
                except OSError:
                    pass
        a = [self.script, "-d", self.dir]
        for p in self.ports:
            a += ["--port", p]
        if self.mouse_target:
            a += ["--mouse", self.mouse_target]
        return a + self.options + ["--"] + list(cmd)

    def run(self, cmd, timeout=20, **kw):
        """Runs cmd to its end: CompletedProcess with .returncode and .stdout (text, stderr merged)."""
        return subprocess.run(self.argv(cmd), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL, text=True, timeout=timeout, **kw)

    def start(self, cmd, ready_timeout=10, **kw):
        """Starts cmd (Popen with pipes) and waits until the sandbox is set up."""
        kw.setdefault("stdin", subprocess.PIPE)
        kw.setdefault("stdout", subprocess.PIPE)
        kw.setdefault("stderr", subprocess.STDOUT)
        self.proc = subprocess.Popen(self.argv(cmd), **kw)
        wait_until(lambda: self.running() or self.exit_status() is not None
                   or self.proc.poll() is not None, ready_timeout)
        return self.proc

    def start_in_tmux(self, cmd, cols=80, rows=25, set_env=(), unset_env=()):
        inner = ["/usr/bin/env"]
        for name in unset_env:
            inner += ["-u", name]
        inner += list(set_env) + list(cmd)
        conf = self.path(".tmux.conf")
        _write_atomic(conf, "set -g status off\nset -g remain-on-exit on\nset -g history-limit 1000\n")
        self.tmux_used = True
        subprocess.run(["tmux", "-S", self.path(".tmux.sock"), "-f", conf, "new-session", "-d",
                        "-s", "qor", "-x", str(cols), "-y", str(rows),
                        shlex.join(self.argv(inner))], check=True)
        return wait_until(lambda: self.running() or self.exit_status() is not None, 10)

    def screen(self, escapes=False):
        a = ["tmux", "-S", self.path(".tmux.sock"), "capture-pane", "-p", "-t", "qor"]
        if escapes:
            a.append("-e")
        return subprocess.run(a, stdout=subprocess.PIPE, text=True).stdout

    def send_keys(self, *keys, literal=False):
        a = ["tmux", "-S", self.path(".tmux.sock"), "send-keys", "-t", "qor"]
        if literal:
            a.append("-l")
        subprocess.run(a + list(keys), check=True)

    def wait_for_screen(self, text, timeout):
        return wait_until(lambda: text in self.screen(), timeout, 0.05)

    def enter(self, cmd, timeout=10):
        """Runs cmd inside the running sandbox."""
        return subprocess.run([self.script, "--enter", self.dir, "--"] + list(cmd),
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL, text=True, timeout=timeout)

    def unplug(self, name):
        """Pulls USB adapter name out of the running sandbox."""
        return subprocess.run([self.script, "--unplug", self.dir, name]).returncode

    def plug(self, name, dev_link=None):
        """Puts it (back) in; dev_link (e.g. serial/by-id/x) then leads to it."""
        return subprocess.run([self.script, "--plug", self.dir, name] + ([dev_link] if dev_link else [])).returncode

    def host_pid(self):
        pid = _read(self.path("sandbox.pid"), "").strip()
        if not pid.isdigit():
            return None
        env = _read("/proc/%s/environ" % pid, b"", binary=True)
        return int(pid) if ("QSB_DIR=%s\0" % self.dir).encode() in env else None

    def running(self):
        return self.host_pid() is not None

    def exit_status(self):
        t = _read(self.path("exit.status"), "").strip()
        return int(t) if t else None

    def wait_exit(self, timeout):
        return wait_until(lambda: self.exit_status() is not None, timeout) and self.exit_status()

    def stop(self, timeout=5):
        pid = self.host_pid()
        if pid:
            os.kill(pid, signal.SIGTERM)
            if not wait_until(lambda: not self.running(), timeout):
                pid = self.host_pid()
                if pid:
                    os.kill(pid, signal.SIGKILL)
                wait_until(lambda: not self.running(), 2)
        if self.proc and self.proc.poll() is None:
            try:
                self.proc.wait(2)
            except subprocess.TimeoutExpired:
                self.proc.kill()
        return self.exit_status()

    # ---- what happened ----
    def halt_log(self):
        return parse_call_log(_read(self.path("halt.log"), ""))

    def pppd_log(self):
        return parse_call_log(_read(self.path("pppd.log"), ""))

    def clear_log(self):
        return parse_call_log(_read(self.path("clear.log"), ""))

    def control_log(self, port):
        return parse_control_log(_read(self.path("serial/%s/control.log" % port), ""))

    def opens(self, port):
        """Every open of a simulated port (also failed ones): the paths as given."""
        return [l.split(" ", 1)[1] for l in _read(self.path("serial/%s/opens" % port), "").splitlines() if " " in l]

    def written(self, port):
        return _read(self.path("serial/%s/written" % port), b"", binary=True)

    def syslog(self):
        return _read(self.path("syslog.log"), "")

    def etc_file(self, rel, binary=False):
        """The file as the sandbox's /etc shows it (None if missing or deleted inside)."""
        up = self.path("etc-upper/" + rel)
        try:
            st = os.lstat(up)
        except OSError:
            return _read("/etc/" + rel, None, binary)
        if stat.S_ISCHR(st.st_mode) and st.st_rdev == 0:
            return None  # overlay whiteout: deleted inside
        return _read(up, None, binary)
