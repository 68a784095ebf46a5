#!/usr/bin/env python3
"""The module with the real screen-saver daemon: the .deb unpacked into a scratch root, the
daemon run under Xvfb as an unprivileged user with settings that select only
`orvane --root`, activated and deactivated with xscreensaver-command.
  module_daemon_test.py DEB WORK_DIR"""
import os
import pwd
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import x11lib as x  # noqa: E402

if len(sys.argv) != 3:
    print(__doc__, file=sys.stderr)
    sys.exit(2)
deb, work = (os.path.abspath(a) for a in sys.argv[1:])
os.makedirs(work, exist_ok=True)
USER = "nobody"
user = pwd.getpwnam(USER)

# The daemon's user must reach everything it runs: a scratch folder under /tmp (a build
# tree may lie under a home folder it cannot enter).
scratch = tempfile.mkdtemp(prefix="orvane-daemon-")
os.chmod(scratch, 0o755)
root = os.path.join(scratch, "root")
home = os.path.join(scratch, "home")
module_path = os.path.join(root, "usr/libexec/xscreensaver/orvane")


processes = x.processes


def is_module(pid):
    return os.readlink("/proc/%s/exe" % pid) == module_path


def of_this_test(pid):
    """Processes run with this test's scratch home: the daemon, its helpers, the module."""
    return x.with_environment(pid, "HOME=" + home)


def end_leftovers():
    for pid in processes(of_this_test) + processes(is_module):
        try:
            os.kill(pid, 9)
        except OSError:
            pass


def clean_up():
    end_leftovers()
    shutil.rmtree(scratch, ignore_errors=True)


# At exit, before the processes this test started are ended (atexit runs last-in first):
# every process of this test's daemon by its id, then the scratch folder.
x.atexit.register(clean_up)

subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
os.makedirs(home)
os.chown(home, user.pw_uid, user.pw_gid)
settings = os.path.join(home, ".xscreensaver")
with open(settings, "w") as f:
    f.write("mode:\t\tone\nselected:\t0\nlock:\t\tFalse\nfade:\t\tFalse\nunfade:\t\tFalse\nsplash:\t\tFalse\n"
            "timeout:\t1:00:00\nprograms:\tGL: %s --root \\n\n" % module_path)
os.chown(settings, user.pw_uid, user.pw_gid)

x.start_xvfb("640x360")
log = open(os.path.join(work, "daemon.log"), "w")
daemon = x.start(["runuser", "-u", USER, "--", "env", "HOME=" + home, "DISPLAY=" + os.environ["DISPLAY"],
                  "xscreensaver", "--no-splash"], stdout=log, stderr=subprocess.STDOUT)


def command(*args):
    return subprocess.run(["xscreensaver-command"] + list(args), capture_output=True, text=True, timeout=60)


if not x.check(x.wait_for(lambda: command("-version").returncode == 0, 60, 0.5),
               "the daemon runs as %s" % USER, "the daemon did not start (see daemon.log)"):
    x.finish()

command("-activate")
x.check_activated_module(is_module, "the daemon", os.path.join(work, "daemon.png"))

command("-deactivate")
left = x.wait_for(lambda: not processes(is_module), 20, 0.1)
x.check(left, "deactivated, no orvane process is left", "orvane still runs after deactivation: %s" % processes(is_module))

command("-exit")
x.check(x.wait_exit(daemon, 30) is not None, "the daemon exits when told", "the daemon did not exit")
x.finish()
