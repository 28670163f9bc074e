"""Drives the real game binary the way a player does: a virtual X server, pointer and keys through xdotool (the
window system's own input path), screenshots through ImageMagick's import, and the game's state followed through
the lines it writes on stderr. Nothing here reaches inside the game.

Used by the end-to-end walk (play_through.py) and by the soak run (scripts/soak).
"""

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


class DriverError(AssertionError):
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
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
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
        self.path = None

    @staticmethod
    def read_png(path):
        data = open(path, "rb").read()
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            raise DriverError("%s is not a PNG file" % path)
        pos = 8
        header = None
        compressed = []
        while pos < len(data):
            length, kind = struct.unpack(">I4s", data[pos:pos + 8])
            body = data[pos + 8:pos + 8 + length]
            pos += 12 + length
            if kind == b"IHDR":
                header = struct.unpack(">IIBBBBB", body)
            elif kind == b"IDAT":
                compressed.append(body)
            elif kind == b"IEND":
                break
        if not header:
            raise DriverError("%s has no header" % path)
        width, height, depth, colour, _, _, interlace = header
        if depth != 8 or colour not in (2, 6) or interlace != 0:
            raise DriverError("%s: only 8-bit RGB or RGBA PNG without interlace is read" % path)
        channels = 3 if colour == 2 else 4
        raw = zlib.decompress(b"".join(compressed))
        stride = width * channels
        rows = []
        previous = bytearray(stride)
        for y in range(height):
            start = y * (stride + 1)
            kind = raw[start]
            row = bytearray(raw[start + 1:start + 1 + stride])
            if kind != 0:
                unfilter(kind, row, previous, channels)
            rows.append(bytes(row))
            previous = row
        pixels = b"".join(rows)
        if channels == 4:
            pixels = b"".join(pixels[i:i + 3] for i in range(0, len(pixels), 4))
        return Image(width, height, pixels)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def samples(self, x, y, w, h, step=3):
        """Pixels of a rectangle on a grid, clipped to the picture."""
        out = []
        for yy in range(max(y, 0), min(y + h, self.height), step):
            for xx in range(max(x, 0), min(x + w, self.width), step):
                out.append(self.pixel(xx, yy))
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

    def difference(self, other, x, y, w, h, step=2):
        """Mean absolute difference of two pictures over a rectangle, 0 to 255."""
        a = self.samples(x, y, w, h, step)
        b = other.samples(x, y, w, h, step)
        if not a:
            return 0.0
        return sum(abs(p[c] - q[c]) for p, q in zip(a, b) for c in range(3)) / (3.0 * len(a))


def unfilter(kind, row, previous, bpp):
    for i in range(len(row)):
        left = row[i - bpp] if i >= bpp else 0
        up = previous[i]
        upper_left = previous[i - bpp] if i >= bpp else 0
        if kind == 1:
            row[i] = (row[i] + left) & 0xFF
        elif kind == 2:
            row[i] = (row[i] + up) & 0xFF
        elif kind == 3:
            row[i] = (row[i] + ((left + up) >> 1)) & 0xFF
        elif kind == 4:
            p = left + up - upper_left
            pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
            predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else upper_left)
            row[i] = (row[i] + predictor) & 0xFF


def colour_distance(a, b):
    return sum(abs(a[c] - b[c]) for c in range(3)) / 3.0


class Game:
    """The game binary running on a display, with its stderr lines collected as they come."""

    def __init__(self, binary, workdir, display, seed=1, frame_time=None, extra_env=None, log_path=None):
        env = dict(os.environ)
        env["DISPLAY"] = display
        env["SDL_AUDIODRIVER"] = env.get("SDL_AUDIODRIVER", "dummy")
        env["VARNHOLT_SEED"] = str(seed)
        if frame_time is not None:
            env["VARNHOLT_FRAME_TIME"] = str(frame_time)
        env.pop("SDL_VIDEODRIVER", None)
        if extra_env:
            env.update(extra_env)
        self.lines = []  # (seconds since start, text)
        self.lock = threading.Condition()
        self.started = time.monotonic()
        self.log_file = open(log_path, "w") if log_path else None
        self.process = subprocess.Popen([binary], cwd=workdir, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

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
        with self.lock:
            found = []
            for _, text in self.lines[since:]:
                match = LOG_LINE.match(text)
                if match and match.group(2) == name:
                    found.append(match.group(3))
            return found

    def wait_event(self, name, value, since, timeout):
        """Waits for the log line `name: value` after the mark; returns the seconds it took to come."""
        start = time.monotonic()
        deadline = start + timeout
        with self.lock:
            while True:
                for stamp, text in self.lines[since:]:
                    match = LOG_LINE.match(text)
                    if match and match.group(2) == name and match.group(3) == value:
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

    def rss_kib(self):
        try:
            with open("/proc/%d/status" % self.process.pid) as status:
                for line in status:
                    if line.startswith("VmRSS:"):
                        return int(line.split()[1])
        except OSError:
            pass
        return None

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
    """Pointer and keyboard through xdotool, paced by how fast the game's frames come.

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

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def learn(self, seconds):
        """The game answered an input after this long: a frame takes at most about that long."""
        self.frame = max(self.minimum_frame, min(max(self.frame, seconds), 5.0))

    def settle(self, frames=3):
        time.sleep(self.frame * frames)

    def move(self, x, y, frames=3):
        self.xdotool("mousemove", x, y)
        self.x, self.y = x, y
        self.settle(frames)

    def click(self, x, y, frames=3):
        # Over the button first, so the frame that sees the press sees the pointer on it.
        if (self.x, self.y) != (x, y):
            self.move(x, y, 2)
        self.xdotool("click", 1)
        self.settle(frames)

    def right_click(self, x, y, frames=3):
        if (self.x, self.y) != (x, y):
            self.move(x, y, 2)
        self.xdotool("click", 3)
        self.settle(frames)

    def press(self, button=1, frames=2):
        self.xdotool("mousedown", button)
        self.settle(frames)

    def release(self, button=1, frames=3):
        self.xdotool("mouseup", button)
        self.settle(frames)

    def drag(self, start, end, steps=4):
        self.move(start[0], start[1], 2)
        self.press()
        for i in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * i // steps
            y = start[1] + (end[1] - start[1]) * i // steps
            self.move(x, y, 2)
        self.settle(1)
        self.release()

    def key(self, name, frames=3):
        self.xdotool("key", name)
        self.settle(frames)

    def click_until(self, x, y, event, value, timeout=30.0):
        """Clicks and waits for the logged answer, learning the frame's pace from how long it took."""
        since = self.game.mark()
        if (self.x, self.y) != (x, y):
            self.move(x, y, 2)
        start = time.monotonic()
        self.xdotool("click", 1)
        took = self.game.wait_event(event, value, since, timeout)
        self.learn((time.monotonic() - start) if took is None else took)
        self.settle(2)

    def key_until(self, name, event, value, timeout=30.0):
        since = self.game.mark()
        start = time.monotonic()
        self.xdotool("key", name)
        self.game.wait_event(event, value, since, timeout)
        self.learn(time.monotonic() - start)
        self.settle(2)


class Camera:
    """Screenshots of the whole display, written as PNG and read back."""

    def __init__(self, display, directory):
        self.env = dict(os.environ)
        self.env["DISPLAY"] = display
        self.directory = directory
        os.makedirs(directory, exist_ok=True)

    def shoot(self, name):
        path = os.path.join(self.directory, name + ".png")
        subprocess.run(["import", "-window", "root", "-define", "png:compression-filter=0", "png24:" + path],
                       env=self.env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        image = Image.read_png(path)
        image.path = path
        return image

    def keep(self, image, name):
        """Keeps a picture already taken under another name."""
        path = os.path.join(self.directory, name + ".png")
        shutil.copyfile(image.path, path)
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
