#!/usr/bin/env python3
"""orvane --wayland on a headless sway with outputs of different sizes, as a person and a lock
screen meet it: every output covered by its own moving kaleidoscope, an output added while it
runs, no second saver over it, frames paced by each output's refresh, an output at scale 2 drawn at its physical size,
30 frames a second on battery, a key ending it; then --background over the connection a lock
screen hands over, which takes no input, keys do not end and SIGTERM does; last the idle
line of docs/wayland.md run by swayidle, whose later timeout still runs while the saver shows.
  wayland_test.py ORVANE PROPTOOL WORK_DIR"""
import os
import re
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import x11lib as x  # noqa: E402

x.own_mount_namespace()  # for the battery
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


def savers():
    """The ids of this run's orvane processes: those on its compositor's runtime folder (the
    module tests may run orvane at the same time)."""
    return x.processes(lambda pid: os.readlink("/proc/%s/exe" % pid) == orvane and
                       x.with_environment(pid, "XDG_RUNTIME_DIR=" + runtime))


def lines_of(log, since, name):
    """The --fps lines printed for output `name` after byte `since` of the log."""
    with open(log) as f:
        f.seek(since)
        return [line.strip() for line in f if " on %s," % name in line]


def rates(log, since, name):
    """The frame rates --fps printed for output `name` after byte `since` of the log."""
    return [float(line.split()[1]) for line in lines_of(log, since, name)]


def uniform_blocks(picture):
    """The share of the lit 2 x 2 blocks (at even places) whose four pixels are one colour, of
    those with another colour near (a pixel-doubled shot: 1.0; inside a flat area every block
    is uniform at any scale, so those are left out)."""
    w, h, rgb = picture.width, picture.height, picture.rgb
    px = lambda left, top: rgb[3 * (top * w + left):3 * (top * w + left) + 3]  # noqa: E731
    lit = same = 0
    for top in range(2, h - 3, 2):
        for left in range(2, w - 3, 2):
            block = [px(left + dx, top + dy) for dy in (0, 1) for dx in (0, 1)]
            near = [px(left + dx, top + dy) for dy in range(-1, 3) for dx in range(-1, 3)]
            if max(block[0]) > 8 and near.count(near[0]) != 16:
                lit += 1
                same += block.count(block[0]) == 4
    return same / max(lit, 1)


# ------------------------------------------------------------------ the saver
log = os.path.join(work, "saver.err")
saver = x.start([orvane, "--wayland", "--fps", "--props", props], stderr=open(log, "w"))
for name in OUTPUTS:
    covered_and_moving(name, saver)
sway("create_output")
OUTPUTS["HEADLESS-3"] = (256, 192)
lay_out("HEADLESS-3", 800)
covered_and_moving("HEADLESS-3", saver)
again = x.start([orvane, "--wayland", "--props", props], stderr=open(os.path.join(work, "again.err"), "w"))
code = x.wait_exit(again, 5)
x.check(code == 0 and saver.poll() is None and "already shows" in open(os.path.join(work, "again.err")).read(),
        "a second saver ends at once and leaves the first alone", "a second saver: exit %s" % code)
x.stop(again)

# Each output's rate stays under its refresh, also once it is 30 Hz (the first line after
# the change may hold frames from before it).
time.sleep(1.5)
at60 = {name: rates(log, 0, name)[1:] for name in OUTPUTS}
x.check(all(r and max(r) <= 63 for r in at60.values()), "at 60 Hz: %s frames/s" % at60, "at 60 Hz: %s" % at60)

# At scale 2 HEADLESS-1 is 240 x 135 logical pixels; its buffer has its 480 x 270 physical
# ones, so a shot of it is not pixel-doubled, and --fps names that size.
scale1 = lines_of(log, 0, "HEADLESS-1")[-1]
sway("output", "HEADLESS-1", "scale", "2")
mark = os.path.getsize(log)
time.sleep(2.5)
sharp = shot("HEADLESS-1")
share = uniform_blocks(sharp) if sharp else 1.0
at2 = lines_of(log, mark, "HEADLESS-1")
what = "at scale 2: %.0f %% of the lit 2x2 blocks uniform" % (100 * share)
x.check(sharp and (sharp.width, sharp.height) == OUTPUTS["HEADLESS-1"] and share < 0.5, what, what)
x.check(at2 and all("HEADLESS-1, 480x270" in line for line in at2),
        "--fps at scale 2: %s (at scale 1: %s)" % (at2[-1], scale1), "--fps at scale 2: %s" % at2)
if sharp:
    sharp.save(os.path.join(work, "HEADLESS-1-scale2.png"))

lay_out("HEADLESS-1", 0, 30)
mark = os.path.getsize(log)
time.sleep(3.5)
at30 = rates(log, mark, "HEADLESS-1")[1:]
x.check(at30 and max(at30) <= 31.5, "at 30 Hz: %s frames/s" % at30, "at 30 Hz: %s" % at30)

# On battery at most 30 frames a second, taken up within 5 s.
x.on_battery()
time.sleep(5)
mark = os.path.getsize(log)
time.sleep(2.5)
battery = rates(log, mark, "HEADLESS-2")[1:]
x.check(battery and max(battery) <= 31.5, "on battery at 60 Hz: %s frames/s" % battery, "on battery: %s" % battery)

subprocess.run(["wtype", "-s", "300", "-k", "space", "-s", "300"], check=False)
code = x.wait_exit(saver, 5)
left = savers()
desktop = shot("HEADLESS-1")
x.check(code == 0 and not left and desktop and desktop_share(desktop) > 0.99,
        "a key ends it: exit 0, no process left, the desktop shows again",
        "after a key: exit %s, processes %s, desktop share %s" % (code, left, desktop and desktop_share(desktop)))

# ------------------------------------------------------------------ behind a lock screen
lock = socket.socket(socket.AF_UNIX)
lock.connect(os.path.join(runtime, "wayland-1"))
environment = dict(os.environ, WAYLAND_SOCKET=str(lock.fileno()), WAYLAND_DEBUG="client")
del environment["WAYLAND_DISPLAY"]
background_log = os.path.join(work, "background.err")
background = x.start([orvane, "--wayland", "--background", "--props", props], env=environment,
                     pass_fds=[lock.fileno()], stderr=open(background_log, "w"))
lock.close()
for name in OUTPUTS:
    covered_and_moving(name, background)
subprocess.run(["wtype", "-s", "300", "-k", "space", "-s", "300"], check=False)
x.check(x.wait_exit(background, 1) is None, "the background ignores keys", "a key ended the background")
background.send_signal(signal.SIGTERM)
code = x.wait_exit(background, 3)
x.check(code == 0, "SIGTERM ends the background with exit 0", "after SIGTERM: exit %s" % code)

# Every background surface has an empty input region (a region nothing was added to) and
# the background's own namespace, as the requests it sent show.
with open(background_log) as f:
    sent = f.read()
added = set(re.findall(r"wl_region@(\d+)\.add\(", sent))
inputs = re.findall(r"wl_surface@(\d+)\.set_input_region\(wl_region@(\d+)\)", sent)
layers = re.findall(r"get_layer_surface\(new id zwlr_layer_surface_v1@\d+, wl_surface@(\d+), wl_output@\d+, 0, "
                    r'"([^"]*)"\)', sent)
empty = {surface for surface, region in inputs if region not in added}
x.check(len(layers) == len(OUTPUTS) and all(name == "orvane-background" and surface in empty
                                             for surface, name in layers),
        "the background's %d surfaces: no input, namespace orvane-background" % len(layers),
        "the background's surfaces %s, input regions %s (added to: %s)" % (layers, inputs, added))

# The idle line of docs/wayland.md, run by swayidle with timeouts of 1 and 4 s: the saver
# covers the outputs after the first, and the second's command runs while it shows.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "wayland.md")) as f:
    recipe = shlex.split(next(line for line in f if line.startswith("exec swayidle")))[1:]
marker = os.path.join(work, "later-timeout")
timeouts = [i for i, word in enumerate(recipe) if word == "timeout"]
recipe[timeouts[0] + 1] = "1"
recipe[timeouts[0] + 2] = recipe[timeouts[0] + 2].replace("orvane", "%s --props %s" % (orvane, props), 1)
recipe[timeouts[1] + 1:timeouts[1] + 3] = ["4", "touch " + marker]
idle = x.start(recipe, stderr=open(os.path.join(work, "swayidle.err"), "w"))
idle_saver = x.wait_for(lambda: (lambda s: s and desktop_share(s) < 0.001)(shot("HEADLESS-2")), 4, 0.2)
later = x.wait_for(lambda: os.path.exists(marker), 8, 0.2)
still = shot("HEADLESS-2")
running = savers()
x.check(idle_saver and later and still and desktop_share(still) < 0.001 and running,
        "swayidle %s: the saver shows, the later timeout ran while it shows" % " ".join(recipe),
        "swayidle %s: saver shown %s, later timeout ran %s, saver still there %s" % (
            " ".join(recipe), idle_saver, later, running))
subprocess.run(["wtype", "-s", "300", "-k", "space", "-s", "300"], check=False)
x.stop(idle)
for pid in [] if x.wait_for(lambda: not savers(), 5) else savers():  # swayidle's saver, left by the key
    os.kill(pid, signal.SIGTERM)
x.finish()
