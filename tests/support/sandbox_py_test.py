"""The Python helper drives the same sandbox: Python's own ioctl and open go
through libsimserial, and the helper reads logs and the private /etc."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sandbox import Sandbox, wait_until  # noqa: E402

PROBE = r"""
import fcntl, os, struct, sys, termios
fd = os.open("/dev/ttyS1", os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
for line in sys.stdin:
    if line.strip() == "get":
        bits = struct.unpack("i", fcntl.ioctl(fd, termios.TIOCMGET, struct.pack("i", 0)))[0]
        print(bits, flush=True)
    elif line.strip() == "dtr":
        fcntl.ioctl(fd, termios.TIOCMSET, struct.pack("i", termios.TIOCM_DTR))
        print("ok", flush=True)
"""


@unittest.skipUnless(os.geteuid() == 0, "the sandbox needs root")
class PythonHelper(unittest.TestCase):
    def test_lines_logs_and_etc(self):
        with Sandbox() as sb:
            sb.port("ttyS1")
            sb.set_lines("ttyS1", dcd=1)
            p = sb.start([sys.executable, "-c", PROBE], text=True)
            p.stdin.write("get\n")
            p.stdin.flush()
            self.assertEqual(p.stdout.readline().strip(), "64")  # TIOCM_CAR
            sb.set_lines("ttyS1", cts=1)
            p.stdin.write("get\ndtr\nget\n")
            p.stdin.flush()
            self.assertEqual([p.stdout.readline().strip() for _ in range(3)], ["32", "ok", "34"])
            p.stdin.close()
            self.assertEqual(p.wait(5), 0)
            p.stdout.close()
            log = sb.control_log("ttyS1")
            self.assertEqual([(r, d) for _, r, d in log], [(False, True)])

            r = sb.run(["sh", "-c", "grep -q QOR_SANDBOX_STANDIN /sbin/halt && /sbin/halt && "
                        "echo data >/etc/qor-py-probe && cat /etc/qor-py-probe"])
            self.assertEqual((r.returncode, r.stdout), (0, "data\n"))
            self.assertEqual(len(sb.halt_log()), 1)
            self.assertEqual(sb.halt_log()[0][1], ["/sbin/halt"])
            self.assertEqual(sb.etc_file("qor-py-probe"), "data\n")
            self.assertFalse(os.path.exists("/etc/qor-py-probe"))

    def test_tmux_and_stop(self):
        with Sandbox() as sb:
            self.assertTrue(sb.start_in_tmux(["sh", "-c", "echo READY; exec sleep 30"], cols=70, rows=20))
            self.assertTrue(sb.wait_for_screen("READY", 5))
            self.assertTrue(wait_until(sb.running, 5))
            self.assertEqual(sb.stop(5), 143)


if __name__ == "__main__":
    if os.geteuid() != 0:
        print("skipped: the sandbox needs root")
        sys.exit(77)  # the test runner's "skipped"
    unittest.main()
