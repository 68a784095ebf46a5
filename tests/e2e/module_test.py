#!/usr/bin/env python3
"""The Linux module as the daemon and a person meet it: orvane on a private X server in each
window mode, the picture checked on screenshots, ended by signals, keys, clicks and the
window manager's close; its pace halved on battery.
  module_test.py ORVANE ORVANE_RENDER PROPTOOL TEST_WINDOW WORK_DIR"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import x11lib as x  # noqa: E402

x.own_mount_namespace()  # for the battery
if len(sys.argv) != 6:
    print(__doc__, file=sys.stderr)
    sys.exit(2)
orvane, render, proptool, helper, work = (os.path.abspath(a) for a in sys.argv[1:])
os.makedirs(work, exist_ok=True)

# A signal must end the module within this many seconds. The best of up to three
# measurements counts, so that one moment of a loaded machine does not decide.
SIGNAL_LIMIT = 0.100
SIZE = (480, 270)

props = os.path.join(work, "props.prp")
subprocess.run([proptool, "sample", props, "--count", "64"], check=True, stdout=subprocess.DEVNULL)


def steady_seed():
    """A seed whose scene, on this prop file, shows an even number of copies and no mirror
    switch for its first 20 seconds, at 10 and at 60 frames per second."""
    for seed in range(1, 100):
        steady = True
        for fps in (10, 60):
            frames = 20 * fps
            run = subprocess.run([render, "--props", props, "--size", "32x18", "--frames", str(frames), "--fps",
                                  str(fps), "--seed", str(seed), "--stats"], capture_output=True, text=True)
            lines = [line for line in run.stdout.splitlines() if '"copyCount"' in line]
            if run.returncode != 0 or len(lines) != frames:
                print("orvane-render failed: " + run.stderr, file=sys.stderr)
                sys.exit(1)
            for line in lines:
                copies = int(line.split('"copyCount":')[1].split(",")[0])
                if copies % 2 or '"easing":true' in line:
                    steady = False
                    break
            if not steady:
                break
        if steady:
            return seed
    print("no seed keeps one even mirror set for 20 s", file=sys.stderr)
    sys.exit(1)


seed = str(steady_seed())
x.start_xvfb("%dx%d" % (SIZE[0] + 160, SIZE[1] + 90))


def test_window():
    """A window with an OpenGL visual at (0, 0), made as the daemon makes its window."""
    maker = x.start([helper, "window", str(SIZE[0]), str(SIZE[1])], stdout=subprocess.PIPE, text=True)
    return maker, int(maker.stdout.readline(), 16)


def module(args, name, env=None):
    """Starts orvane with its stderr in WORK/NAME.err."""
    log = open(os.path.join(work, name + ".err"), "w")
    return x.start([orvane] + args, stderr=log, env=env)


def lit_picture(window, seconds=30):
    """The first screenshot of the window that is not black, within `seconds`."""
    def attempt():
        shot = x.screenshot(window)
        return shot if shot and x.lit_fraction(shot) > 0.02 else None
    return x.wait_for(attempt, seconds, 0.25)


def check_picture(name, window, process, rows=None):
    """Non-black, moving and mirror-symmetric about the window's vertical centre line (in the
    top `rows` rows when given)."""
    first = lit_picture(window)
    if not x.check(first is not None, name + ": the picture is not black",
                   name + ": the picture stayed black (exit code %s)" % process.poll()):
        return
    first.save(os.path.join(work, name.split()[0].strip("-") + ".png"))
    time.sleep(1)
    second = x.screenshot(window)
    moved = x.changed_pixels(first, second) if second else 0
    x.check(moved > first.width * first.height // 100, name + ": the picture moves (%d pixels in 1 s)" % moved,
            name + ": the picture does not move (%d pixels changed)" % moved)
    # The screenshot is taken while frames are drawn: one of three may meet a frame half
    # put on the screen, so the most symmetric one counts.
    measured = [x.asymmetry(first, rows=rows)]
    for _ in range(2):
        if min(measured) < 0.01:
            break
        time.sleep(0.5)
        shot = x.screenshot(window)
        measured.append(x.asymmetry(shot, rows=rows) if shot else 1.0)
    best = min(measured)
    x.check(best < 0.01, name + ": mirror-symmetric (%.4f of pixels differ from their mirror)" % best,
            name + ": not mirror-symmetric (%s)" % ", ".join("%.3f" % m for m in measured))


# --fps writes its line in white on a black band along the bottom left. Its first characters
# lie in this box (left, top, right, bottom), beyond the reach of the kaleidoscope, whose
# sprites are never pure white there.
TEXT_BOX = (0, SIZE[1] - 24, 120, SIZE[1])


def text_pixels(picture):
    """Near-white pixels in TEXT_BOX."""
    left, top, right, bottom = TEXT_BOX
    return sum(1 for y in range(top, bottom) for x_ in range(left, right) if min(picture.pixel(x_, y)) >= 240)


def signal_latency(process):
    """Seconds from SIGTERM to the end of the process, and its exit code."""
    began = time.monotonic()
    process.terminate()
    code = x.wait_exit(process, 10)
    return time.monotonic() - began, code


def check_signal_end(name, process, restart):
    """SIGTERM ends the module with exit code 0 within the limit (best of three runs)."""
    times = []
    for attempt in range(3):
        if attempt:
            process = restart()
            if not lit_picture(window_of(process), 30) and process.poll() is not None:
                break
            time.sleep(0.5)
        elapsed, code = signal_latency(process)
        if code is None:
            x.stop(process)
        times.append(elapsed)
        if code != 0:
            x.fail("%s: SIGTERM: exit code %s" % (name, code))
            return
        if elapsed <= SIGNAL_LIMIT:
            break
    shown = ", ".join("%.0f ms" % (t * 1000) for t in times)
    x.check(min(times) <= SIGNAL_LIMIT, "%s: SIGTERM ends it with exit code 0 in %s" % (name, shown),
            "%s: SIGTERM took %s" % (name, shown))


_windows = {}


def window_of(process):
    return _windows.get(process.pid, "root")


# ---------------------------------------------------------------- --window-id
maker, window = test_window()
run = module(["--window-id", hex(window), "--props", props, "--seed", seed], "window-id")
_windows[run.pid] = window
check_picture("--window-id", window, run)
plain = x.screenshot(window)
x.check(plain and text_pixels(plain) == 0, "without --fps the corner has no text",
        "without --fps: %s text pixels in the corner" % (text_pixels(plain) if plain else "no screenshot,"))

# A window that changes size keeps being drawn, centred, at its new size.
subprocess.run(["xdotool", "windowsize", str(window), "320", "240"], check=False)
time.sleep(1.5)
resized = x.screenshot(window)
if x.check(resized is not None and (resized.width, resized.height) == (320, 240), "the test window is 320x240",
           "the test window was not resized"):
    resized.save(os.path.join(work, "window-id-resized.png"))
    x.check(x.lit_fraction(resized) > 0.02 and x.asymmetry(resized) < 0.01,
            "after a resize the picture fills the new size, centred",
            "after a resize: lit %.3f, asymmetry %.3f" % (x.lit_fraction(resized), x.asymmetry(resized)))


def restart_window_id():
    process = module(["-window-id", str(window), "--props", props], "window-id-again")
    _windows[process.pid] = window
    return process


check_signal_end("--window-id", run, restart_window_id)
# A long frame delay must not hold the end back: the sleep is cut short by the signal.
slow = module(["--window-id", hex(window), "--props", props, "--delay", "3000000"], "window-id-slow")
_windows[slow.pid] = window
time.sleep(4)
check_signal_end("--window-id --delay 3000000", slow,
                 lambda: module(["--window-id", hex(window), "--props", props, "--delay", "3000000"], "slow-again"))
x.stop(maker)

# ---------------------------------------------------------------- --root with the daemon's window
maker, window = test_window()
env = dict(os.environ, XSCREENSAVER_WINDOW=str(window))
run = module(["-root", "--props", props, "--seed", seed], "root", env)
_windows[run.pid] = window
check_picture("--root on XSCREENSAVER_WINDOW", window, run)
for number, name in ((2, "SIGINT"), (1, "SIGHUP")):
    extra = module(["--root", "--props", props], "root-" + name, env)
    _windows[extra.pid] = window
    lit_picture(window, 30)
    time.sleep(0.5)
    began = time.monotonic()
    extra.send_signal(number)
    code = x.wait_exit(extra, 10)
    x.check(code == 0, "--root: %s ends it with exit code 0 (%.0f ms)" % (name, (time.monotonic() - began) * 1000),
            "--root: %s: exit code %s" % (name, code))


def restart_root():
    process = module(["--root", "--props", props], "root-again", env)
    _windows[process.pid] = window
    return process


check_signal_end("--root", run, restart_root)
x.stop(maker)

# ---------------------------------------------------------------- --window, and how it closes
def own_window(args, name):
    process = module(["--window", "--geometry", "%dx%d+0+0" % SIZE, "--props", props] + args, name)
    found = x.wait_for(lambda: x.windows_named("Orvane"), 30)
    if found:
        _windows[process.pid] = found[0]
    return process, (found[0] if found else None)


run, window = own_window(["--seed", seed, "--fps"], "window")
if x.check(window is not None, "--window opens a window titled \"Orvane\"", "--window: no window titled \"Orvane\""):
    check_picture("--window", window, run, rows=TEXT_BOX[1])
    # The line is there on every frame: in each of several screenshots, not just once a
    # second; the scene's next frames are drawn as before, mirror-symmetric above it.
    texted = x.wait_for(lambda: (lambda s: s if s and text_pixels(s) >= 100 else None)(x.screenshot(window)), 10, 0.25)
    if x.check(texted, "--fps draws its line bottom left (%d text pixels)" % (text_pixels(texted) if texted else 0),
               "--fps: no text in the bottom-left corner"):
        texted.save(os.path.join(work, "window-fps.png"))
        counts = []
        for _ in range(4):
            time.sleep(0.3)
            shot = x.screenshot(window)
            counts.append(text_pixels(shot) if shot else 0)
        x.check(min(counts) >= 100, "--fps: the line stays on every screenshot (%s text pixels)" % counts,
                "--fps: the line comes and goes (%s text pixels)" % counts)
        skew, lit = x.asymmetry(texted, rows=TEXT_BOX[1]), x.lit_fraction(texted)
        x.check(skew < 0.01 and lit > 0.02,
                "--fps: above the line the kaleidoscope as before (%.4f asymmetric, %.3f lit)" % (skew, lit),
                "--fps: the text disturbed the scene (asymmetry %.3f above it, %.3f lit)" % (skew, lit))
    with open(os.path.join(work, "window.err")) as log:
        reports = [line for line in log if "frames/s" in line and "ms CPU per frame" in line]
    x.check(reports, "--fps reports: " + (reports[-1].strip() if reports else ""), "--fps printed no report")
    check_signal_end("--window", run, lambda: own_window([], "window-again")[0])
    x.check(x.wait_for(lambda: not x.windows_named("Orvane"), 5), "the window is gone after the end",
            "the window is still there after the end")

closers = (
    ("a key press", lambda w: subprocess.run(["xdotool", "key", "--window", str(w), "space"])),
    ("a click", lambda w: subprocess.run(["xdotool", "mousemove", "--window", str(w), "40", "40", "click", "1"])),
    ("the window manager's close", lambda w: subprocess.run([helper, "close", str(w)])),
)
for what, close in closers:
    run, window = own_window([], "window-close")
    if window is None:
        with open(os.path.join(work, "window-close.err")) as log:
            x.fail("--window: no window to close with %s (exit code %s, %r)" % (what, run.poll(), log.read()))
        x.stop(run)
        continue
    lit_picture(window, 30)
    close(window)
    code = x.wait_exit(run, 10)
    x.check(code == 0 and not x.windows_named("Orvane"), "--window: %s closes it with exit code 0" % what,
            "--window: after %s: exit code %s" % (what, code))
    x.stop(run)  # still running after a failed close: the next case needs its own window

# ---------------------------------------------------------------- mirrors off, no prop file
maker, window = test_window()
missing = os.path.join(work, "no-such-file.prp")
run = module(["--window-id", hex(window), "--props", missing, "--no-mirrors"], "no-mirrors")
shot = x.wait_for(lambda: (lambda s: s if s and x.red_pixels(s) > 50 else None)(x.screenshot(window)), 30, 0.25)
x.check(shot is not None, "--no-mirrors without a prop file: the red outline of the wedge is drawn",
        "--no-mirrors: no red outline")
if shot:
    shot.save(os.path.join(work, "no-mirrors.png"))
time.sleep(1)
x.check(run.poll() is None, "without a prop file the module keeps running", "without a prop file it ended")
elapsed, code = signal_latency(run)
x.check(code == 0, "without a prop file SIGTERM ends it with exit code 0", "without a prop file: exit code %s" % code)
with open(os.path.join(work, "no-mirrors.err")) as log:
    said = log.read()
x.check("cannot open" in said and said.count("\n") == 1, "a named prop file that cannot be opened gets one line",
        "on a missing prop file it said: " + repr(said))

# ---------------------------------------------------------------- options that run nothing
for args, code_wanted, stream in ((["--help"], 0, "stdout"), (["-version"], 0, "stdout"), (["--bogus"], 1, "stderr"),
                                  (["--delay", "soon"], 1, "stderr"), (["--window-id", "0x0"], 1, "stderr"),
                                  (["--window-id", "0x7fffff0"], 1, "stderr")):
    done = subprocess.run([orvane] + args, capture_output=True, text=True, timeout=30)
    text = done.stdout if stream == "stdout" else done.stderr
    one_line = stream == "stdout" or text.count("\n") == 1
    x.check(done.returncode == code_wanted and text.strip() and one_line,
            "%s: exit code %d and %s" % (" ".join(args), code_wanted, text.strip().splitlines()[0]),
            "%s: exit code %d, stdout %r, stderr %r" % (" ".join(args), done.returncode, done.stdout, done.stderr))

# ---------------------------------------------------------------- on battery
# The own window at the display's 60 frames a second; on battery at most 30, within 5 s.
def rates_since(name, since):
    with open(os.path.join(work, name + ".err")) as log:
        log.seek(since)
        return [float(line.split()[1]) for line in log if "frames/s" in line]


run, _ = own_window(["--fps"], "battery")
time.sleep(3)
mains = rates_since("battery", 0)[1:]
x.on_battery()
time.sleep(5)
mark = os.path.getsize(os.path.join(work, "battery.err"))
time.sleep(2.5)
battery = rates_since("battery", mark)
x.check(mains and min(mains) > 45 and battery and max(battery) <= 31.5,
        "on battery %s frames/s (on the mains %s)" % (battery, mains),
        "on battery %s frames/s, on the mains %s" % (battery, mains))
x.stop(run)

# ---------------------------------------------------------------- the X server goes away
run = module(["--window-id", hex(window), "--props", props], "server-gone")
lit_picture(window, 30)
server = x._started[0]
x.stop(server)
code = x.wait_exit(run, 15)
x.check(code == 0, "when the X server goes away the module ends with exit code 0",
        "after the X server ended: exit code %s" % code)

x.finish()
