#!/usr/bin/env python3
"""orvane --wayland on a headless sway with outputs of different sizes, as a person and a lock
screen meet it: every output covered by its own moving kaleidoscope, an output added while it
runs, frames paced by each output's refresh, a key ending it; then --background over the
connection a lock screen hands over, which keys do not end and SIGTERM does.
  wayland_test.py ORVANE PROPTOOL WORK_DIR"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import x11lib as x  # noqa: E402

if len(sys.argv) != 4:
    print(__doc__, file=sys.stderr)
    sys.exit(2)
orvane, proptool, work = (os.path.abspath(a) for a in sys.argv[1:])
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
props = os.path.join(work, "props.prp")
subprocess.run([proptool, "sample", props, "--count", "64"], check=True, stdout=subprocess.DEVNULL)

# Without a wallpaper program sway shows this grey where nothing covers an output. (swaybg
# would be no desktop to test against: sway 1.7 stacks the first surface of a layer on top,
# so a background started after it stays hidden.)
DESKTOP = (0x3f, 0x3f, 0x3f)
OUTPUTS = {"HEADLESS-1": (480, 270), "HEADLESS-2": (320, 240)}

# sway refuses to run as root: as root it runs as nobody, in a runtime folder of nobody's.
runtime = os.path.join(work, "run")
os.mkdir(runtime, 0o700)
config = os.path.join(work, "sway.conf")
with open(config, "w") as f:
    f.write("default_border none\nxwayland disable\n")
drop = []
if os.geteuid() == 0:
    os.chown(runtime, 65534, 65534)
    drop = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
x.start(drop + ["env", "-i", "PATH=" + os.environ["PATH"], "HOME=" + work, "XDG_RUNTIME_DIR=" + runtime,
                "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman", "sway", "-c", config],
        stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "sway.err"), "w"))
ipc = x.wait_for(lambda: [n for n in os.listdir(runtime) if n.startswith("sway-ipc.")], 20)
if not ipc or not x.wait_for(lambda: os.path.exists(os.path.join(runtime, "wayland-1")), 20):
    print("sway did not start", file=sys.stderr)
    sys.exit(1)
os.environ.update(XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY="wayland-1")


def sway(*command):
    subprocess.run(["swaymsg", "-s", os.path.join(runtime, ipc[0])] + list(command), check=True,
                   stdout=subprocess.DEVNULL)


def lay_out(name, left, hz=60):
    sway("output", name, "mode", "%dx%d@%dHz" % (OUTPUTS[name] + (hz,)), "pos", str(left), "0")


sway("create_output")
lay_out("HEADLESS-1", 0)
lay_out("HEADLESS-2", 480)


def shot(name):
    taken = subprocess.run(["grim", "-t", "ppm", "-o", name, "-"], capture_output=True)
    return x.parse_ppm(taken.stdout) if taken.returncode == 0 else None


def desktop_share(picture):
    grey = bytes(DESKTOP)
    rgb = picture.rgb
    return sum(1 for i in range(0, len(rgb), 3) if rgb[i:i + 3] == grey) / (picture.width * picture.height)


def covered_and_moving(name, process):
    """The output shows a lit kaleidoscope centred on it with no desktop left, which moves."""
    first = x.wait_for(lambda: (lambda s: s if s and desktop_share(s) < 0.001 and x.lit_fraction(s) > 0.01 else None)(
        shot(name)), 20, 0.3)
    if not x.check(first, "%s is covered by a lit picture" % name, "%s is not covered (exit %s)" % (
            name, process.poll())):
        return
    first.save(os.path.join(work, name + ".png"))
    w, h, rgb = first.width, first.height, first.rgb
    lit = [(i // 3 % w, i // 3 // w) for i in range(0, len(rgb), 3) if max(rgb[i:i + 3]) > 8]
    cx, cy = sum(p[0] for p in lit) / len(lit), sum(p[1] for p in lit) / len(lit)
    x.check((w, h) == OUTPUTS[name] and abs(cx - w / 2) < w / 10 and abs(cy - h / 2) < h / 10,
            "%s: %dx%d, centred (%.0f, %.0f)" % (name, w, h, cx, cy),
            "%s: %dx%d, lit centre at (%.0f, %.0f)" % (name, w, h, cx, cy))
    time.sleep(0.5)
    moved = x.changed_pixels(first, shot(name) or first)
    x.check(moved > 500, "%s moves (%d pixels)" % (name, moved), "%s does not move" % name)


def rates(log, since, name):
    """The frame rates --fps printed for output `name` after byte `since` of the log."""
    with open(log) as f:
        f.seek(since)
        return [float(line.split()[1]) for line in f if " on %s," % name in line]


# ------------------------------------------------------------------ the saver
log = os.path.join(work, "saver.err")
saver = x.start([orvane, "--wayland", "--fps", "--props", props], stderr=open(log, "w"))
for name in OUTPUTS:
    covered_and_moving(name, saver)
sway("create_output")
OUTPUTS["HEADLESS-3"] = (256, 192)
lay_out("HEADLESS-3", 800)
covered_and_moving("HEADLESS-3", saver)

# Each output's rate stays under its refresh, also once it is 30 Hz (the first line after
# the change may hold frames from before it).
time.sleep(1.5)
at60 = {name: rates(log, 0, name)[1:] for name in OUTPUTS}
x.check(all(r and max(r) <= 63 for r in at60.values()), "at 60 Hz: %s frames/s" % at60, "at 60 Hz: %s" % at60)
lay_out("HEADLESS-1", 0, 30)
mark = os.path.getsize(log)
time.sleep(3.5)
at30 = rates(log, mark, "HEADLESS-1")[1:]
x.check(at30 and max(at30) <= 31.5, "at 30 Hz: %s frames/s" % at30, "at 30 Hz: %s" % at30)

subprocess.run(["wtype", "-s", "300", "-k", "space", "-s", "300"], check=False)
code = x.wait_exit(saver, 5)
left = x.processes(lambda pid: os.readlink("/proc/%s/exe" % pid) == orvane)
desktop = shot("HEADLESS-1")
x.check(code == 0 and not left and desktop and desktop_share(desktop) > 0.99,
        "a key ends it: exit 0, no process left, the desktop shows again",
        "after a key: exit %s, processes %s, desktop share %s" % (code, left, desktop and desktop_share(desktop)))

# ------------------------------------------------------------------ behind a lock screen
lock = socket.socket(socket.AF_UNIX)
lock.connect(os.path.join(runtime, "wayland-1"))
environment = dict(os.environ, WAYLAND_SOCKET=str(lock.fileno()))
del environment["WAYLAND_DISPLAY"]
background = x.start([orvane, "--wayland", "--background", "--props", props], env=environment,
                     pass_fds=[lock.fileno()], stderr=open(os.path.join(work, "background.err"), "w"))
lock.close()
for name in OUTPUTS:
    covered_and_moving(name, background)
subprocess.run(["wtype", "-s", "300", "-k", "space", "-s", "300"], check=False)
x.check(x.wait_exit(background, 1) is None, "the background ignores keys", "a key ended the background")
background.send_signal(signal.SIGTERM)
code = x.wait_exit(background, 3)
x.check(code == 0, "SIGTERM ends the background with exit 0", "after SIGTERM: exit %s" % code)
x.finish()
