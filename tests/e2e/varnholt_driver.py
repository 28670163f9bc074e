"""Drives the real game binary the way a player does: a virtual X server, pointer and keys through the X server's
test extension as xdotool gives them (the window system's own input path), screenshots read from the X server,
and the game's state followed through the lines it writes on stderr. Nothing here reaches inside the game.

Used by the end-to-end walk (play_through.py) and by the soak run (scripts/soak).
"""

import atexit
import ctypes
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import threading
import time
import zlib

WIDTH = 1024
HEIGHT = 768

# What a sanitizer writes when it finds something; any of these on stderr fails a run.
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                   "ThreadSanitizer", "SUMMARY: UndefinedBehaviorSanitizer")

LOG_LINE = re.compile(r"^varnholt: (info|warning|error): ([A-Za-z0-9_.\-]+): (.*)$")
STATE_LINE = re.compile(r"^varnholt: info: session\.state: (GAME_STATE_[A-Z_]+) at ([0-9.]+) s$")


class DriverError(AssertionError):
    pass


def end_with_parent():
    """Run in a child before it starts: the child gets SIGTERM when the driver dies, however it dies (a killed
    test run would otherwise leave a game and an X server behind)."""
    PR_SET_PDEATHSIG = 1
    try:
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)
    except (OSError, AttributeError):
        pass


def require_tools():
    missing = [tool for tool in ("Xvfb", "xdotool", "import") if shutil.which(tool) is None]
    if missing:
        raise DriverError("missing tools: %s (scripts/setup-deps installs them)" % ", ".join(missing))


class XServer:
    """A virtual X server of its own, on the first free display, without a window manager."""

    def __init__(self, width=WIDTH, height=HEIGHT):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=end_with_parent)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            ready, _, _ = select.select([read_end], [], [], max(left, 0))
            if not ready:
                self.stop()
                raise DriverError("Xvfb did not start within 30 s")
            chunk = os.read(read_end, 16)
            if not chunk:
                self.stop()
                raise DriverError("Xvfb ended before it named its display")
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()
        # A run cut short (an exception, Ctrl-C) leaves no server behind.
        atexit.register(self.stop)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class Image:
    """A screenshot's pixels, RGB, row by row."""

    def __init__(self, width, height, rgb):
        self.width = width
        self.height = height
        self.rgb = rgb

    @staticmethod
    def read_ppm(path):
        """A binary PPM (P6, 8 bits), as import writes it."""
        data = open(path, "rb").read()
        fields = []
        pos = 2
        if data[:2] != b"P6":
            raise DriverError("%s is not a binary PPM file" % path)
        while len(fields) < 3:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(int(data[pos:end]))
            pos = end
        width, height, maximum = fields
        if maximum != 255:
            raise DriverError("%s: only 8-bit PPM is read" % path)
        pos += 1
        pixels = data[pos:pos + width * height * 3]
        if len(pixels) != width * height * 3:
            raise DriverError("%s is cut short" % path)
        return Image(width, height, pixels)

    def write_png(self, path):
        """An 8-bit RGB PNG, rows unfiltered: fast to write, and any viewer reads it."""
        stride = self.width * 3
        rows = b"".join(b"\x00" + self.rgb[y * stride:(y + 1) * stride] for y in range(self.height))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n")
            out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            out.write(chunk(b"IDAT", zlib.compress(rows, 3)))
            out.write(chunk(b"IEND", b""))

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def samples(self, x, y, w, h, step=3):
        """Pixels of a rectangle on a grid, clipped to the picture."""
        x0, x1 = max(x, 0), min(x + w, self.width)
        out = []
        if x1 <= x0:
            return out
        for yy in range(max(y, 0), min(y + h, self.height), step):
            row = self.rgb[(yy * self.width + x0) * 3:(yy * self.width + x1) * 3]
            out.extend(zip(row[0::3 * step], row[1::3 * step], row[2::3 * step]))
        return out

    def stats(self, x, y, w, h, step=3):
        """Mean colour and the spread of brightness over a rectangle."""
        pixels = self.samples(x, y, w, h, step)
        if not pixels:
            return (0.0, 0.0, 0.0), 0.0
        n = float(len(pixels))
        mean = tuple(sum(p[c] for p in pixels) / n for c in range(3))
        luma = [0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2] for p in pixels]
        average = sum(luma) / n
        spread = (sum((v - average) ** 2 for v in luma) / n) ** 0.5
        return mean, spread

    def difference(self, other, x, y, w, h, step=None):
        """Mean absolute difference of two pictures over a rectangle, 0 to 255."""
        if step is None:
            step = max(1, int((w * h / 20000.0) ** 0.5))
        a = self.samples(x, y, w, h, step)
        b = other.samples(x, y, w, h, step)
        if not a:
            return 0.0
        return sum(abs(p[0] - q[0]) + abs(p[1] - q[1]) + abs(p[2] - q[2]) for p, q in zip(a, b)) / (3.0 * len(a))


def colour_distance(a, b):
    return sum(abs(a[c] - b[c]) for c in range(3)) / 3.0


def seconds_per_frame(lines, frame_time):
    """How long a frame of the game took on average, in real seconds, over the log lines (seconds since start,
    text) that tell the game time (state lines): with a fixed frame time every frame adds that much game time. The
    time from a loading line to the next state line is left out (a level loads in a few long frames). None over
    fewer than 20 frames."""
    states = []
    for stamp, text in lines:
        match = STATE_LINE.match(text)
        if match:
            states.append((stamp, match.group(1), float(match.group(2))))
    if not frame_time:
        return None
    frames = real = 0.0
    for (stamp, state, game_time), (later, _, later_time) in zip(states, states[1:]):
        if state != "GAME_STATE_LOADING":
            frames += (later_time - game_time) / frame_time
            real += later - stamp
    if frames < 20:
        return None
    return real / frames


class Game:
    """The game binary running on a display, with its stderr lines collected as they come."""

    def __init__(self, binary, workdir, display, seed=1, frame_time=None, extra_env=None, log_path=None):
        env = dict(os.environ)
        env["DISPLAY"] = display
        env["SDL_AUDIODRIVER"] = env.get("SDL_AUDIODRIVER", "dummy")
        env["VARNHOLT_SEED"] = str(seed)
        if frame_time is not None:
            env["VARNHOLT_FRAME_TIME"] = str(frame_time)
        self.frame_time = frame_time
        env.pop("SDL_VIDEODRIVER", None)
        if extra_env:
            env.update(extra_env)
        self.lines = []  # (seconds since start, text)
        self.lock = threading.Condition()
        self.started = time.monotonic()
        self.log_file = open(log_path, "w") if log_path else None
        self.process = subprocess.Popen([binary], cwd=workdir, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                        preexec_fn=end_with_parent)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        atexit.register(self.stop)

    def _read(self):
        for raw in self.process.stderr:
            text = raw.decode("utf-8", "replace").rstrip("\n")
            with self.lock:
                self.lines.append((time.monotonic() - self.started, text))
                if self.log_file:
                    self.log_file.write(text + "\n")
                    self.log_file.flush()
                self.lock.notify_all()
        with self.lock:
            self.lock.notify_all()

    def mark(self):
        """A place in the log: later waits look only at lines after it."""
        with self.lock:
            return len(self.lines)

    def events(self, name, since=0):
        """The values of the log lines of one event; a state's line is its name (the game time it also tells
        comes from game_times)."""
        with self.lock:
            found = []
            for _, text in self.lines[since:]:
                match = LOG_LINE.match(text)
                if match and match.group(2) == name:
                    found.append(match.group(3).split(" at ")[0])
            return found

    def game_times(self, since=0):
        """(state, game time in seconds) of each change of state after the mark."""
        found = []
        with self.lock:
            for _, text in self.lines[since:]:
                match = STATE_LINE.match(text)
                if match:
                    found.append((match.group(1), float(match.group(2))))
        return found

    def wait_lines(self, count, timeout):
        """Waits until the log holds more than count lines (or the game has ended), at most timeout seconds."""
        with self.lock:
            if len(self.lines) <= count and self.reader.is_alive():
                self.lock.wait(timeout)
                return
        # The game has ended: no line is coming, and the caller is not to spin.
        time.sleep(min(timeout, 0.05))

    def pace(self, since=0):
        """Real seconds a frame took on average since the mark (see seconds_per_frame), or None."""
        with self.lock:
            return seconds_per_frame(self.lines[since:], self.frame_time)

    def wait_event(self, name, value, since, timeout):
        """Waits for the log line `name: value` (any value when it is None) after the mark; returns the seconds it
        took to come."""
        start = time.monotonic()
        deadline = start + timeout
        with self.lock:
            while True:
                for stamp, text in self.lines[since:]:
                    match = LOG_LINE.match(text)
                    if match and match.group(2) == name and (
                            value is None or match.group(3).split(" at ")[0] == value):
                        return stamp + self.started - start
                if self.process.poll() is not None and not self.reader.is_alive():
                    raise DriverError("the game ended (status %s) while waiting for %s: %s"
                                      % (self.process.returncode, name, value))
                left = deadline - time.monotonic()
                if left <= 0:
                    raise DriverError("no '%s: %s' within %.0f s; last state %s" % (
                        name, value, timeout, self.state()))
                self.lock.wait(min(left, 0.2))

    def state(self):
        states = self.events("session.state")
        return states[-1] if states else None

    def sanitizer_reports(self):
        with self.lock:
            return [text for _, text in self.lines if any(mark in text for mark in SANITIZER_MARKS)]

    def problems(self):
        """Warnings and errors the game wrote, apart from the ones a display without sound always brings."""
        with self.lock:
            out = []
            for _, text in self.lines:
                match = LOG_LINE.match(text)
                if match and match.group(1) in ("warning", "error"):
                    out.append(text)
            return out

    def _status(self, field):
        try:
            with open("/proc/%d/status" % self.process.pid) as status:
                for line in status:
                    if line.startswith(field + ":"):
                        return int(line.split()[1])
        except OSError:
            pass
        return None

    def unexpected(self):
        """Lines on stderr other than the game's own information lines: warnings, errors, and anything written
        by something else (a library, a sanitizer, a crash)."""
        with self.lock:
            out = []
            for _, text in self.lines:
                match = LOG_LINE.match(text)
                if not match or match.group(1) != "info":
                    out.append(text)
            return out

    def rss_kib(self):
        return self._status("VmRSS")

    def threads(self):
        return self._status("Threads")

    def open_files(self):
        try:
            return len(os.listdir("/proc/%d/fd" % self.process.pid))
        except OSError:
            return None

    def wait_exit(self, timeout):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            if self.wait_exit(10) is None:
                self.process.kill()
                self.process.wait()
        self.reader.join(5)
        if self.log_file:
            self.log_file.close()
            self.log_file = None


class Player:
    """Pointer and keyboard through the X server's test extension, paced by how fast the game's frames come.

    A frame reads the input once; a press and its release made between two frames still count as one click, but
    two actions must be a few frames apart or the second one hides the first. The pace is learnt from how long
    the game takes to answer input that it logs.
    """

    def __init__(self, display, game, minimum_frame=0.05):
        self.env = dict(os.environ)
        self.env["DISPLAY"] = display
        self.game = game
        self.frame = minimum_frame
        self.minimum_frame = minimum_frame
        self.x = None
        self.y = None
        # When set, a test run before each click and key of the battle's commands: while it holds, they are not
        # given. A battle can end in the middle of a turn's commands, and the end page's Quit lies where the
        # HUD's Defend and Focus were.
        self.hold = None
        self.fake = None  # the test extension's input, opened at the first input (False: xdotool)

    def send(self, *args):
        """One input in xdotool's words (mousemove x y, click b, mousedown b, mouseup b, key name): through the X
        server's test extension when it can be had, else through xdotool itself (a process for each input, which
        made the inputs a tenth of a soak's time)."""
        if self.fake is None:
            try:
                self.fake = FakeInput(self.env["DISPLAY"])
            except OSError as error:
                print("(input through xdotool: %s)" % error)
                self.fake = False
        if self.fake:
            self.fake.send(*args)
            return
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def close(self):
        if self.fake:
            self.fake.close()
        self.fake = None

    def learn(self, seconds):
        """The game answered an input after this long: a frame takes about that long. The median of the last
        few answers, so one slow moment does not slow every later step."""
        self.answers = (getattr(self, "answers", []) + [seconds])[-5:]
        ordered = sorted(self.answers)
        self.frame = max(self.minimum_frame, min(ordered[len(ordered) // 2], 5.0))

    def settle(self, frames=3):
        time.sleep(self.frame * frames)

    def move(self, x, y, frames=3):
        self.send("mousemove", x, y)
        self.x, self.y = x, y
        self.settle(frames)

    def click(self, x, y, frames=3):
        """Clicks at a point. The pointer stays there: the frame that sees the release must see it on the
        button, so callers that move on at once first wait for the click's effect (frames=0)."""
        if self.hold and self.hold():
            return
        if (self.x, self.y) != (x, y):
            self.move(x, y, 0)
        if self.hold and self.hold():
            return
        self.send("click", 1)
        self.settle(frames)

    def right_click(self, x, y, frames=3):
        if (self.x, self.y) != (x, y):
            self.move(x, y, 0)
        self.send("click", 3)
        self.settle(frames)

    def press(self, button=1, frames=2):
        self.send("mousedown", button)
        self.settle(frames)

    def release(self, button=1, frames=3):
        self.send("mouseup", button)
        self.settle(frames)

    def key(self, name, frames=3):
        if self.hold and self.hold():
            return
        self.send("key", name)
        self.settle(frames)

    def click_until(self, x, y, event, value, timeout=30.0):
        """Clicks and waits for the logged answer, learning the frame's pace from how long it took."""
        since = self.game.mark()
        if (self.x, self.y) != (x, y):
            self.move(x, y, 0)
        start = time.monotonic()
        self.send("click", 1)
        took = self.game.wait_event(event, value, since, timeout)
        self.learn((time.monotonic() - start) if took is None else took)
        self.settle(1)

    def key_until(self, name, event, value, timeout=30.0):
        since = self.game.mark()
        start = time.monotonic()
        self.send("key", name)
        self.game.wait_event(event, value, since, timeout)
        self.learn(time.monotonic() - start)
        self.settle(1)


class FakeInput:
    """Pointer and keys given through the X server's test extension (as xdotool gives them), from this process:
    no process started for each input. Raises OSError when the extension or the display cannot be had."""

    def __init__(self, display):
        self.xlib = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        xlib, xtst = self.xlib, self.xtst
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        xlib.XFlush.argtypes = [ctypes.c_void_p]
        xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        xlib.XStringToKeysym.restype = ctypes.c_ulong
        xlib.XStringToKeysym.argtypes = [ctypes.c_char_p]
        xlib.XKeysymToKeycode.restype = ctypes.c_ubyte
        xlib.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        xtst.XTestQueryExtension.argtypes = [ctypes.c_void_p] + [ctypes.POINTER(ctypes.c_int)] * 4
        xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                              ctypes.c_ulong]
        xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.connection = xlib.XOpenDisplay(display.encode())
        if not self.connection:
            raise OSError("cannot open display %s" % display)
        numbers = [ctypes.c_int() for _ in range(4)]
        if not xtst.XTestQueryExtension(self.connection, *[ctypes.byref(n) for n in numbers]):
            self.close()
            raise OSError("the display has no test extension")

    def keycode(self, name):
        keysym = self.xlib.XStringToKeysym(name.encode())
        code = self.xlib.XKeysymToKeycode(self.connection, keysym) if keysym else 0
        if not code:
            raise DriverError("no key named %s" % name)
        return code

    def send(self, action, *args):
        xtst, connection = self.xtst, self.connection
        if action == "mousemove":
            xtst.XTestFakeMotionEvent(connection, -1, int(args[0]), int(args[1]), 0)
        elif action in ("click", "mousedown", "mouseup"):
            button = int(args[0])
            if action != "mouseup":
                xtst.XTestFakeButtonEvent(connection, button, 1, 0)
            if action != "mousedown":
                xtst.XTestFakeButtonEvent(connection, button, 0, 0)
        elif action == "key":
            code = self.keycode(str(args[0]))
            xtst.XTestFakeKeyEvent(connection, code, 1, 0)
            xtst.XTestFakeKeyEvent(connection, code, 0, 0)
        else:
            raise DriverError("unknown input %s" % action)
        # The server has the input before the caller goes on to wait for its answer.
        self.xlib.XSync(connection, 0)

    def close(self):
        if self.connection:
            self.xlib.XCloseDisplay(self.connection)
            self.connection = None


class XImage(ctypes.Structure):
    """The leading fields of Xlib's XImage, as far as the pixels."""
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]


class Grabber:
    """Reads the display's pixels straight from the X server: a picture takes a few milliseconds, where import
    takes a quarter of a second, which made pictures most of a soak's time. Raises OSError when Xlib or the
    display cannot be had, or the display's pixels are not 32-bit true colour, so that import is used instead."""

    ALL_PLANES = 0xFFFFFFFF
    Z_PIXMAP = 2

    def __init__(self, display):
        self.xlib = ctypes.CDLL("libX11.so.6")
        xlib = self.xlib
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        xlib.XDefaultRootWindow.restype = ctypes.c_ulong
        xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        xlib.XGetImage.restype = ctypes.POINTER(XImage)
        xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                   ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        xlib.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
        xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.connection = xlib.XOpenDisplay(display.encode())
        if not self.connection:
            raise OSError("cannot open display %s" % display)
        self.root = xlib.XDefaultRootWindow(self.connection)
        # Which byte of a pixel holds each colour; checked on a first picture.
        self.bytes = None
        try:
            self.grab(0, 0, 1, 1)
        except OSError:
            self.close()
            raise

    def grab(self, x, y, width, height):
        """The rectangle's pixels as an Image."""
        pointer = self.xlib.XGetImage(self.connection, self.root, x, y, width, height, self.ALL_PLANES,
                                      self.Z_PIXMAP)
        if not pointer:
            raise OSError("XGetImage failed")
        try:
            image = pointer.contents
            if self.bytes is None:
                if image.bits_per_pixel != 32 or image.byte_order != 0:
                    raise OSError("pixels of %d bits, byte order %d" % (image.bits_per_pixel, image.byte_order))
                shifts = {0xFF: 0, 0xFF00: 1, 0xFF0000: 2, 0xFF000000: 3}
                masks = (image.red_mask, image.green_mask, image.blue_mask)
                if any(mask not in shifts for mask in masks):
                    raise OSError("colour masks %s" % [hex(mask) for mask in masks])
                self.bytes = [shifts[mask] for mask in masks]
            stride = image.bytes_per_line
            raw = ctypes.string_at(image.data, stride * image.height)
        finally:
            self.xlib.XDestroyImage(pointer)
        if stride != width * 4:
            raw = b"".join(raw[row * stride:row * stride + width * 4] for row in range(height))
        rgb = bytearray(width * height * 3)
        for channel, offset in enumerate(self.bytes):
            rgb[channel::3] = raw[offset::4]
        return Image(width, height, bytes(rgb))

    def close(self):
        if self.connection:
            self.xlib.XCloseDisplay(self.connection)
            self.connection = None


class Camera:
    """Screenshots of the whole display, read from the X server (through import when Xlib cannot be had), kept
    as PNG on request."""

    def __init__(self, display, directory):
        self.env = dict(os.environ)
        self.env["DISPLAY"] = display
        self.directory = directory
        os.makedirs(directory, exist_ok=True)
        try:
            self.grabber = Grabber(display)
        except OSError as error:
            print("(pictures through import: %s)" % error)
            self.grabber = None

    def shoot(self, name="probe"):
        """The display as it is now; kept as <name>.png unless it is a probe."""
        if self.grabber:
            image = self.grabber.grab(0, 0, WIDTH, HEIGHT)
        else:
            raw = os.path.join(self.directory, "probe.ppm")
            subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:" + raw], env=self.env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            image = Image.read_ppm(raw)
        if name != "probe":
            self.keep(image, name)
        return image

    def close(self):
        """Lets go of the display: before its server stops, or Xlib ends the program at its next call."""
        if self.grabber:
            self.grabber.close()
            self.grabber = None

    def keep(self, image, name):
        """Writes a picture as <name>.png."""
        path = os.path.join(self.directory, name + ".png")
        image.write_png(path)
        return path

    def wait_for(self, test, timeout, name="probe", interval=0.25):
        """Takes pictures until test(picture) holds; returns (picture, whether it held).

        The game draws at its own pace, slower on a busy machine: a screen is judged once it has had time to show
        what it should, not at a fixed moment.
        """
        deadline = time.monotonic() + timeout
        while True:
            image = self.shoot(name)
            if test(image):
                return image, True
            if time.monotonic() >= deadline:
                return image, False
            time.sleep(interval)


def check_widget(image, name, rect, sides="lr", min_spread=6.0, min_contrast=12.0):
    """A widget is drawn at its place: its rectangle is not flat, and it differs from what lies beside it.

    sides names the neighbouring strips that are background (l, r, t, b); the others may touch other widgets.
    Returns a list of complaints (empty when the widget is there).
    """
    x, y, w, h = rect
    # The middle of the rectangle: the edges of a picture may be soft.
    inner = (x + w // 8, y + h // 8, max(w - w // 4, 1), max(h - h // 4, 1))
    step = 1 if min(w, h) < 30 else 2
    mean, spread = image.stats(*inner, step=step)
    complaints = []
    if spread < min_spread:
        complaints.append("%s at %s is flat (brightness spread %.1f)" % (name, rect, spread))
    gap, depth = 3, 6
    strips = {
        "l": (x - gap - depth, y + h // 4, depth, h // 2),
        "r": (x + w + gap, y + h // 4, depth, h // 2),
        "t": (x + w // 4, y - gap - depth, w // 2, depth),
        "b": (x + w // 4, y + h + gap, w // 2, depth),
    }
    contrasts = []
    for side in sides:
        strip = strips[side]
        if strip[0] < 0 or strip[1] < 0 or strip[0] + strip[2] > image.width or strip[1] + strip[3] > image.height:
            continue
        background, _ = image.stats(*strip, step=1)
        contrasts.append(colour_distance(mean, background))
    if contrasts and max(contrasts) < min_contrast:
        complaints.append("%s at %s does not stand out from its surroundings (contrast %.1f)"
                          % (name, rect, max(contrasts)))
    return complaints


def centre(rect):
    x, y, w, h = rect
    return x + w // 2, y + h // 2


def drag_onto_board(player, camera, home, target, before, watch, timeout):
    """Drags the button at home (a rectangle) to the target point and lets go there.

    Waits, by pictures, for the game to take each step: the button leaves home once the press is seen, hangs at
    the pointer once the pointer is seen at the target, and after the release either the watched region changes
    (the purchase) or the button is back home. Returns (bought, picture after).
    """
    start = centre(home)
    player.move(*start, frames=0)
    player.press(frames=0)
    player.move(start[0] + 12, start[1] + 12, frames=0)
    _, held = camera.wait_for(lambda im: im.difference(before, *home) > 3.0, timeout)
    if not held:
        player.release()
        raise DriverError("the button at %s does not follow the pointer" % (home,))
    for i in (1, 2):
        player.move(start[0] + (target[0] - start[0]) * i // 2, start[1] + (target[1] - start[1]) * i // 2, frames=1)
    hanging = (target[0] - 32, target[1] - 32, 64, 77)
    camera.wait_for(lambda im: im.difference(before, *hanging) > 3.0, timeout)
    player.release(frames=0)
    image, _ = camera.wait_for(
        lambda im: im.difference(before, *watch) > 1.0 or im.difference(before, *home) < 2.0, timeout)
    return image.difference(before, *watch) > 1.0, image


def finish(out, faults, clean_text):
    """Removes the probe pictures from out and prints the faults found; returns the exit status."""
    for name in os.listdir(out):
        if name.startswith("probe."):
            os.remove(os.path.join(out, name))
    if faults:
        print("%d fault(s):" % len(faults))
        for text in faults:
            print("  " + text)
        return 1
    print(clean_text)
    return 0
