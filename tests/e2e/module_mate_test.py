#!/usr/bin/env python3
"""The module under the real MATE screen saver: the .deb unpacked into a scratch root, whose
desktop entry MATE finds through XDG_DATA_DIRS; MATE run under Xvfb on a private session bus,
set to the one theme screensavers-orvane, activated and deactivated with
mate-screensaver-command.
MATE runs only programs from a fixed list of folders. So that the system stays untouched, it
runs in a mount namespace of its own where the scratch root's usr/libexec/xscreensaver is
bound over /usr/libexec/xscreensaver (hence root, for unshare and mount).
  module_mate_test.py DEB WORK_DIR"""
import os
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
MODULE_FOLDER = "/usr/libexec/xscreensaver"
if os.geteuid() != 0 or not os.path.isdir(MODULE_FOLDER):
    print("needs root and %s (the screen-saver daemon's package)" % MODULE_FOLDER, file=sys.stderr)
    sys.exit(1)

scratch = tempfile.mkdtemp(prefix="orvane-mate-")
root = os.path.join(scratch, "root")
home = os.path.join(scratch, "home")
module_path = os.path.join(root, MODULE_FOLDER.lstrip("/"), "orvane")


def is_module(pid):
    """The packaged module, however the namespace names its path: the same file."""
    running, packaged = os.stat("/proc/%s/exe" % pid), os.stat(module_path)
    return (running.st_dev, running.st_ino) == (packaged.st_dev, packaged.st_ino)


def clean_up():
    # Everything run with this test's home: MATE, the bus, the services it started, the module.
    for pid in x.processes(lambda pid: x.with_environment(pid, "HOME=" + home)) + x.processes(is_module):
        try:
            os.kill(pid, 9)
        except OSError:
            pass
    shutil.rmtree(scratch, ignore_errors=True)


x.atexit.register(clean_up)  # runs before the processes this test started are ended

subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
os.makedirs(os.path.join(home, "run"), mode=0o700)
# Inside the namespace the module lies in /usr/libexec/xscreensaver, where its samples are not
# beside it (/usr/share/orvane is the system's): the packaged samples become the user's own
# prop file, found through HOME, which MATE hands to the module.
os.makedirs(os.path.join(home, ".local/share/orvane"))
shutil.copy(os.path.join(root, "usr/share/orvane/props.prp"), os.path.join(home, ".local/share/orvane"))
# The bus and every service it starts (dconf) inherit this environment: all of the session's
# settings and caches stay in the scratch home.
os.environ.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                  XDG_CACHE_HOME=os.path.join(home, ".cache"), XDG_DATA_HOME=os.path.join(home, ".local/share"),
                  XDG_RUNTIME_DIR=os.path.join(home, "run"), XDG_DATA_DIRS=os.path.join(root, "usr/share") + ":/usr/share",
                  XDG_CURRENT_DESKTOP="MATE", NO_AT_BRIDGE="1")
x.start_xvfb("640x360")
bus = x.start(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE, text=True)
os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()

settings = (("themes", "['screensavers-orvane']"), ("mode", "'single'"), ("lock-enabled", "false"))
for key, value in settings:
    subprocess.run(["gsettings", "set", "org.mate.screensaver", key, value], check=True)
read_back = [subprocess.run(["gsettings", "get", "org.mate.screensaver", key], capture_output=True,
                            text=True).stdout.strip() for key, _ in settings]
x.check(read_back == ["['screensavers-orvane']", "'single'", "false"], "MATE's settings: one theme, Orvane, no lock",
        "MATE's settings read back as %r" % read_back)

log = open(os.path.join(work, "mate-screensaver.log"), "w")
saver = x.start(["unshare", "--mount", "--propagation", "private", "--", "sh", "-c",
                 'mount --bind "$1" "$2" && exec mate-screensaver --no-daemon --debug', "sh",
                 os.path.dirname(module_path), MODULE_FOLDER], stdout=log, stderr=subprocess.STDOUT)


def command(*args):
    return subprocess.run(["mate-screensaver-command"] + list(args), capture_output=True, text=True, timeout=60)


if not x.check(x.wait_for(lambda: saver.poll() is None and command("--query").returncode == 0, 60, 0.5),
               "mate-screensaver runs", "mate-screensaver did not start (see mate-screensaver.log)"):
    x.finish()

command("--activate")
x.check_activated_module(is_module, "MATE", os.path.join(work, "mate.png"))

command("--deactivate")
x.check(x.wait_for(lambda: not x.processes(is_module), 20, 0.1), "deactivated, no orvane process is left",
        "orvane still runs after deactivation: %s" % x.processes(is_module))
x.finish()
