"""Shared by the module's end-to-end tests: a private X server, the processes a test
starts (each ended by its id on every way out), screenshots and what is seen in them."""
import atexit
import os
import select
import signal
import subprocess
import sys
import time

failures = 0


def ok(text):
    print("ok: " + text, flush=True)


def fail(text):
    global failures
    failures += 1
    print("FAIL: " + text, file=sys.stderr, flush=True)


def check(condition, good, bad):
    if condition:
        ok(good)
    else:
        fail(bad)
    return condition


def finish():
    """Ends the test with its verdict."""
    if failures:
        print("%d check(s) failed" % failures, file=sys.stderr)
        sys.exit(1)
    print("all checks passed")
    sys.exit(0)


# ------------------------------------------------------------------ processes
_started = []


def start(args, **kwargs):
    """Starts a process that the test ends on every way out."""
    process = subprocess.Popen(args, **kwargs)
    _started.append(process)
    return process


def stop(process, timeout=5):
    """Ends a process this test started: SIGTERM, then SIGKILL; returns its exit code."""
    if process.poll() is None:
        try:
            process.terminate()
            process.wait(timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return process.returncode


def _end_all():
    for process in reversed(_started):
        stop(process)


atexit.register(_end_all)
# A test killed on its timeout still cleans up.
for _s in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
    signal.signal(_s, lambda number, frame: sys.exit(128 + number))


def processes(predicate):
    """Ids of the running processes for which predicate(pid as text) holds."""
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                if predicate(entry):
                    found.append(int(entry))
            except OSError:
                pass  # ended meanwhile
    return found


def with_environment(pid, assignment):
    """Whether process `pid` runs with `assignment` ("NAME=value") in its environment."""
    with open("/proc/%s/environ" % pid, "rb") as f:
        return assignment.encode() in f.read().split(b"\0")


def wait_exit(process, seconds):
    """The exit code of `process` once it ended within `seconds`, else None."""
    try:
        return process.wait(seconds)
    except subprocess.TimeoutExpired:
        return None


# ------------------------------------------------------------------ the X server
def start_xvfb(size):
    """Starts Xvfb on a free display with one screen of `size` ("WxH") and sets DISPLAY.
    -noreset: by default the server resets when its last client leaves, and drops a client
    that connects meanwhile (a program starting as an xdotool poll ends)."""
    read_end, write_end = os.pipe()
    server = start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", size + "x24", "-nolisten", "tcp",
                    "-noreset"],
                   pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + 60
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        ready, _, _ = select.select([read_end], [], [], 1)
        if ready:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
    os.close(read_end)
    if not number.strip():
        print("Xvfb did not start", file=sys.stderr)
        sys.exit(1)
    os.environ["DISPLAY"] = ":" + number.decode().strip()
    return server


def windows_named(name):
    """Ids of the windows whose name is exactly `name`."""
    found = subprocess.run(["xdotool", "search", "--name", "^%s$" % name], capture_output=True, text=True)
    return [int(w) for w in found.stdout.split()]


def wait_for(predicate, seconds, step=0.1):
    """Polls until `predicate()` is true (returned) or `seconds` pass (None)."""
    deadline = time.monotonic() + seconds
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(step)


# ------------------------------------------------------------------ pictures
class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def save(self, path):
        """Writes the picture as PNG, to look at."""
        subprocess.run(["convert", "-size", "%dx%d" % (self.width, self.height), "-depth", "8", "rgb:-", path],
                       input=self.rgb, check=False)


def screenshot(window="root"):
    """The window's pixels as the screen shows them, or None."""
    taken = subprocess.run(["import", "-window", str(window), "-depth", "8", "ppm:-"], capture_output=True)
    return parse_ppm(taken.stdout) if taken.returncode == 0 else None


def parse_ppm(data):
    """The Picture in binary PPM (P6, 8 bits) `data`, or None."""
    if not data.startswith(b"P6"):
        return None
    # Header: P6, width, height, maximum, each separated by white space, then one byte of it.
    fields, at = [], 2
    while len(fields) < 3:
        while data[at:at + 1].isspace():
            at += 1
        start_at = at
        while at < len(data) and not data[at:at + 1].isspace():
            at += 1
        if not data[start_at:at].isdigit():
            return None
        fields.append(int(data[start_at:at]))
    width, height, _ = fields
    pixels = data[at + 1:at + 1 + width * height * 3]
    if len(pixels) != width * height * 3:
        return None
    return Picture(width, height, pixels)


def lit_fraction(picture):
    """Share of pixels that are not black."""
    rgb = picture.rgb
    lit = sum(1 for i in range(0, len(rgb), 3) if rgb[i] > 8 or rgb[i + 1] > 8 or rgb[i + 2] > 8)
    return lit / (picture.width * picture.height)


def changed_pixels(a, b):
    """Number of pixels that differ between two pictures of one size."""
    if a.width != b.width or a.height != b.height:
        return a.width * a.height
    return sum(1 for i in range(0, len(a.rgb), 3) if a.rgb[i:i + 3] != b.rgb[i:i + 3])


def asymmetry(picture, tolerance=40, rows=None):
    """Share of pixels whose colour differs by more than `tolerance` from their mirror across
    the vertical axis through the centre, in the top `rows` rows (all when None)."""
    w, h, rgb = picture.width, min(picture.height, rows or picture.height), picture.rgb
    differing = 0
    for y in range(h):
        row = y * w * 3
        for x in range(w // 2):
            a = row + x * 3
            b = row + (w - 1 - x) * 3
            if (abs(rgb[a] - rgb[b]) > tolerance or abs(rgb[a + 1] - rgb[b + 1]) > tolerance
                    or abs(rgb[a + 2] - rgb[b + 2]) > tolerance):
                differing += 1
    return differing / ((w // 2) * h)


def red_pixels(picture):
    """Number of bright red pixels (the wedge outline)."""
    rgb = picture.rgb
    return sum(1 for i in range(0, len(rgb), 3) if rgb[i] > 200 and rgb[i + 1] < 60 and rgb[i + 2] < 60)


def check_activated_module(is_module, runner, picture_path):
    """After a screen saver's activation: one process for which is_module(pid) holds appears,
    runs as `orvane --root` with the saver's XSCREENSAVER_WINDOW, and a moving picture is on
    the screen (its first screenshot saved at picture_path)."""
    modules = wait_for(lambda: processes(is_module), 60, 0.2)
    if not check(modules, "activated, %s runs the packaged module" % runner, "activated, no orvane process appeared"):
        return
    with open("/proc/%d/cmdline" % modules[0], "rb") as f:
        args = f.read().split(b"\0")[1:-1]
    with open("/proc/%d/environ" % modules[0], "rb") as f:
        handed = [v.decode() for v in f.read().split(b"\0") if v.startswith(b"XSCREENSAVER_WINDOW=")]
    check(args == [b"--root"] and handed, "it runs as `orvane --root` with %s" % (handed[0] if handed else ""),
          "its arguments %r, its window %r" % (args, handed))
    # Not black (the module found its props) and moving.
    first = wait_for(lambda: (lambda s: s if s and lit_fraction(s) > 0.02 else None)(screenshot("root")), 60, 0.25)
    if check(first is not None, "the kaleidoscope is on the screen", "the screen stayed black"):
        first.save(picture_path)
        time.sleep(1)
        second = screenshot("root")
        moved = changed_pixels(first, second) if second else 0
        check(moved > 1000, "it moves (%d pixels in 1 s)" % moved, "it does not move (%d pixels)" % moved)


def own_mount_namespace():
    """Runs this script again in a mount namespace of its own (once), so that on_battery
    can replace the kernel's power-supply class for its programs only."""
    if os.environ.get("ORVANE_TEST_UNSHARED") != "1":
        os.environ["ORVANE_TEST_UNSHARED"] = "1"
        os.execvp("unshare", ["unshare", "-m", "--propagation", "private", sys.executable] + sys.argv)


def on_battery():
    """The machine on its battery, discharging, the mains offline (inside own_mount_namespace)."""
    supplies = "/sys/class/power_supply"
    subprocess.run(["mount", "-t", "tmpfs", "battery", supplies], check=True)
    for name, values in (("AC", {"type": "Mains", "online": "0"}),
                         ("BAT0", {"type": "Battery", "status": "Discharging", "present": "1", "capacity": "50"})):
        os.mkdir(os.path.join(supplies, name))
        for key, value in values.items():
            with open(os.path.join(supplies, name, key), "w") as f:
                f.write(value + "\n")
