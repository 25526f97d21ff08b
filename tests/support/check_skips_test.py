"""scripts/check-skips.py against ctest reports made here: a skip passes only
with its test's name, its exact message and an entry that holds for this user."""
import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "check-skips.py")

LIST = textwrap.dedent("""\
    # a comment
    test:    Fuse.*
    test:    Other.One
    skip:    no usable /dev/fuse (*): gvfs cannot show mounts
    because: no FUSE device in containers,
             which no package brings

    test:    Root.Only
    skip:    needs root
    because: only root mounts
    when:    not root
    """)


def case(name, message, status="run"):
    """A testcase as ctest reports a GTEST_SKIP (None: one that ran, or failed)."""
    if message is None:
        return f'<testcase name="{name}" status="{status}"><system-out>[ RUN      ] {name}</system-out></testcase>'
    return (f'<testcase name="{name}" status="notrun">'
            '<skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/><system-out>'
            f'[ RUN      ] {name}\nx.cpp:7: Skipped\n{message}\n\n[  SKIPPED ] {name} (0 ms)\n'
            '</system-out></testcase>')


class CheckSkips(unittest.TestCase):
    def run_gate(self, cases, listing=LIST, as_nobody=False):
        # nobody reads everything from a folder of its own under /tmp: the
        # checkout may lie where it cannot look.
        with tempfile.TemporaryDirectory(dir="/tmp" if as_nobody else None) as d:
            os.chmod(d, 0o755)
            report, allowed = os.path.join(d, "r.xml"), os.path.join(d, "allowed.txt")
            script = os.path.join(d, "check-skips.py")
            with open(report, "w") as f:
                f.write('<?xml version="1.0"?><testsuite>' + "".join(cases) + "</testsuite>")
            with open(allowed, "w") as f:
                f.write(listing)
            with open(SCRIPT) as src, open(script, "w") as f:
                f.write(src.read())
            command = [sys.executable, script, report, allowed]
            if as_nobody:
                command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                           "/usr/bin/python3", script, report, allowed]
            r = subprocess.run(command, capture_output=True, text=True)
            return r.returncode, r.stdout + r.stderr

    def test_listed_skips_pass_and_tests_that_ran_or_failed_do_not_count(self):
        rc, out = self.run_gate([
            case("Fuse.A", "no usable /dev/fuse (No such device): gvfs cannot show mounts"),
            case("Other.One", "no usable /dev/fuse (EPERM): gvfs cannot show mounts"),
            case("Ran.Fine", None), case("Ran.Badly", None, "fail")])
        self.assertEqual(rc, 0, out)
        self.assertIn("2 skipped tests, all allowed", out)

    def test_another_message_another_test_or_none_fails(self):
        rc, out = self.run_gate([case("Never.Ran", None, "notrun")])
        self.assertEqual(rc, 1, out)
        for name, message in [("Fuse.A", "gio cannot mount here: Login incorrect"),
                              ("Other.Two", "no usable /dev/fuse (x): gvfs cannot show mounts"),
                              ("Fuse.A", "")]:
            rc, out = self.run_gate([case(name, message)])
            self.assertEqual(rc, 1, out)
            self.assertIn("SKIP NOT ALLOWED: " + name, out)

    def test_an_entry_for_other_users_holds_only_for_them(self):
        root = os.geteuid() == 0
        rc, out = self.run_gate([case("Root.Only", "needs root")])
        self.assertEqual(rc, 1 if root else 0, out)
        if root:
            rc, out = self.run_gate([case("Root.Only", "needs root")], as_nobody=True)
            self.assertEqual(rc, 0, out)

    def test_an_entry_without_its_reason_is_refused(self):
        rc, out = self.run_gate([case("Ran.Fine", None)],
                                listing="test: A.B\nskip: gone\n")
        self.assertEqual(rc, 1, out)
        self.assertIn("needs its reason", out)


if __name__ == "__main__":
    unittest.main()
