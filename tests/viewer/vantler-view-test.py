#!/usr/bin/python3
"""vantler-view in a real window, on an X display of its own (Xvfb: no window manager, so a window
opens at the display's top-left corner), driven by xdotool and looked at through screenshots.

    vantler-view-test.py VANTLER_VIEW VANTLER_QL DOCUMENT OUTPUT_DIR

DOCUMENT opens in a window of 1000 x 700 points, which must show
  - every screen fitted: where the layout puts it (side by side 30 points apart, tops aligned,
    each under a 24-point band with its name, 30 points of margin, centred), with the pixels that
    `vantler-ql preview` draws in its flat regions, and the light grey canvas around;
  - after a Ctrl+click, the same zoomed by 1.3 about the window's centre; after the key 0, fitted
    again;
  - after a Shift+drag box around a layer, that layer and its frame on standard output;
and the key q must close the window, the program exiting 0. An empty document must be refused:
the loader's reason on standard error, an alert, exit status 1 once Return dismisses the alert.
The fitted window is kept as OUTPUT_DIR/vantler-view.png, the README's picture of the program.

Exit status 0 when all of that holds, 1 when something does not, 77 (CTest's skip) when Xvfb or
xdotool is missing.
"""

import ctypes
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

PROGRAM = "vantler-view"
SKIP = 77
DISPLAY_SIZE = (1280, 800)
WINDOW_SIZE = (1000, 700)
# The canvas's layout (tools/vantler-view: ScreenSheet.h, CanvasView.cpp).
SCREEN_GAP = 30
LABEL_HEIGHT = 24
FIT_MARGIN = 30
ZOOM_IN_RATIO = 1.3
CANVAS_GREY = (230, 230, 230)  # 0.90, the light appearance's canvas
PLACEHOLDER_GREY = (247, 247, 247)  # 0.97, where a screen's picture is not made yet
# A box selection pans the canvas by itself while the pointer is this near the display's edges.
AUTOPAN_INSET = 30
BOX_MARGIN = 8
# How far a pixel may be from the colour expected, per channel.
TOLERANCE = 3
# A probe's colour fills this many points around it in the preview, more than the fit's rounding
# of the canvas's origin to whole points and than the smoothing of edges when pictures are scaled;
# another colour lies a few points further, so that a screen drawn a few points off misses.
FLAT_RADIUS = 4
EDGE_DISTANCE = 2
PROBES_PER_SCREEN = 8
# How long the window, its pictures, an alert or an exit may take, on a loaded machine and under
# AddressSanitizer.
DEADLINE = 30
PR_SET_PDEATHSIG = 1


class Failure(Exception):
    pass


def stop_with_this_script():
    """Run in a child before it starts: the kernel ends the child when this script ends, however
    it ends (killed at a timeout too), so that no display or window outlives the test."""
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def run(*command, text=True, env=None):
    """What the command writes on standard output; a failure with what it said when it fails."""
    result = subprocess.run(list(map(str, command)), capture_output=True, text=text, env=env,
                            timeout=DEADLINE)
    if result.returncode != 0:
        raise Failure(f"{' '.join(map(str, command))} exited {result.returncode}: "
                      f"{result.stderr}")
    return result.stdout


class Picture:
    """An image's RGB pixels, read through ImageMagick as PPM."""

    def __init__(self, path):
        ppm = run("convert", path, "-depth", "8", "ppm:-", text=False)
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
        if not header:
            raise Failure(f"{path}: ImageMagick wrote no 8-bit PPM")
        self.width, self.height = int(header[1]), int(header[2])
        self.pixels = ppm[header.end():]

    def contains(self, x, y):
        return 0 <= x < self.width and 0 <= y < self.height

    def at(self, x, y):
        start = 3 * (y * self.width + x)
        return tuple(self.pixels[start:start + 3])

    def flat_around(self, x, y, radius):
        """Whether the square of `radius` pixels around (x, y) is all one colour."""
        if not (self.contains(x - radius, y - radius) and self.contains(x + radius, y + radius)):
            return False
        row = bytes(self.at(x, y)) * (2 * radius + 1)
        return all(self.pixels[3 * (line * self.width + x - radius):
                               3 * (line * self.width + x + radius + 1)] == row
                   for line in range(y - radius, y + radius + 1))


def close(colour, expected):
    return max(abs(a - b) for a, b in zip(colour, expected)) <= TOLERANCE


@dataclass(frozen=True)
class Screen:
    name: str
    x: float  # on the canvas, whose y runs downwards from the screens' tops
    width: float
    height: float


def sheet_of(screens):
    """The screens' places on the canvas, and the rectangle they cover with their name bands."""
    placed, x = [], 0
    for screen in screens:
        width, height = screen["size"]
        placed.append(Screen(screen["name"], x, width, height))
        x += width + SCREEN_GAP
    extent = (0, -LABEL_HEIGHT, x - SCREEN_GAP, max(s.height for s in placed) + LABEL_HEIGHT)
    return placed, extent


@dataclass(frozen=True)
class View:
    """What the window shows: a canvas point (x, y) lands on the display's pixel
    (left + x * scale, top + y * scale)."""
    scale: float
    left: float
    top: float

    @staticmethod
    def fitting(extent, window):
        x, y, width, height = extent
        wx, wy, window_width, window_height = window
        scale = min(window_width / (width + 2 * FIT_MARGIN),
                    window_height / (height + 2 * FIT_MARGIN))
        return View(scale, wx + window_width / 2 - (x + width / 2) * scale,
                    wy + window_height / 2 - (y + height / 2) * scale)

    def zoomed(self, ratio, centre):
        cx, cy = centre
        return View(self.scale * ratio, cx + (self.left - cx) * ratio,
                    cy + (self.top - cy) * ratio)

    def pixel(self, x, y):
        return round(self.left + x * self.scale), round(self.top + y * self.scale)

    def point(self, px, py):
        return (px - self.left) / self.scale, (py - self.top) / self.scale


@dataclass(frozen=True)
class Probe:
    what: str
    x: float  # the canvas point
    y: float
    colour: tuple


def screen_probes(preview, screens):
    """Points of each screen where the preview is flat up to a few points from an edge, spread
    over the screen, in colours that neither the canvas nor a missing picture shows. The preview
    lays the screens out as the canvas does, without the name bands: its pixel (x, y) is the
    canvas point (x, y)."""
    probes = []
    for screen in screens:
        left, right = int(screen.x) + FLAT_RADIUS, int(screen.x + screen.width) - FLAT_RADIUS
        flat = [(x, y) for y in range(FLAT_RADIUS, int(screen.height) - FLAT_RADIUS, 4)
                for x in range(left, right, 4)
                if preview.flat_around(x, y, FLAT_RADIUS)
                and not preview.flat_around(x, y, FLAT_RADIUS + EDGE_DISTANCE)
                and not close(preview.at(x, y), CANVAS_GREY)
                and not close(preview.at(x, y), PLACEHOLDER_GREY)]
        if not flat:
            raise Failure(f"screen {screen.name} has no flat region to probe")
        for i in range(PROBES_PER_SCREEN):
            # Aims down the screen, from side to side.
            aim = (screen.x + screen.width * (0.25 + 0.5 * (i % 2)),
                   screen.height * (i + 0.5) / PROBES_PER_SCREEN)
            x, y = min(flat, key=lambda p: (p[0] - aim[0]) ** 2 + (p[1] - aim[1]) ** 2)
            probes.append(Probe(f"{screen.name} at ({x - screen.x:g}, {y})", x, y,
                                preview.at(x, y)))
    return probes


def canvas_probes(screens, extent):
    """The middle of the margin on each side of the screens, and of each gap between them."""
    x, y, width, height = extent
    middle = y + height / 2
    points = {"the left margin": (x - FIT_MARGIN / 2, middle),
              "the right margin": (x + width + FIT_MARGIN / 2, middle),
              "the top margin": (x + width / 2, y - FIT_MARGIN / 2),
              "the bottom margin": (x + width / 2, y + height + FIT_MARGIN / 2)}
    for before, after in zip(screens, screens[1:]):
        points[f"the gap after {before.name}"] = (after.x - SCREEN_GAP / 2, middle)
    return [Probe(f"the canvas in {what}", px, py, CANVAS_GREY)
            for what, (px, py) in points.items()]


def read_line(descriptor):
    """A line from the pipe, without its end: what came before the writer closed it or the deadline
    passed."""
    line, deadline = b"", time.monotonic() + DEADLINE
    while not line.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([descriptor], [], [], left)[0]:
            break
        read = os.read(descriptor, 16)
        if not read:
            break
        line += read
    return line.decode().strip()


class Program:
    """A program running on the display, its standard output and error going to files."""

    def __init__(self, command, env, work, name):
        self.output, self.errors = work / f"{name}.out", work / f"{name}.err"
        with open(self.output, "w") as out, open(self.errors, "w") as err:
            self.process = subprocess.Popen(command, env=env, stdout=out, stderr=err,
                                            preexec_fn=stop_with_this_script)

    def exit_status(self, what):
        try:
            return self.process.wait(timeout=DEADLINE)
        except subprocess.TimeoutExpired:
            raise Failure(f"{what}: still running after {DEADLINE} s")

    def stop(self):
        self.process.kill()
        self.process.wait()


class Display:
    """An X display of its own (Xvfb on the first free number), with the programs run on it."""

    def __init__(self, work):
        self.work = work
        self.log = open(work / "xvfb.log", "w")
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
             "-screen", "0", f"{DISPLAY_SIZE[0]}x{DISPLAY_SIZE[1]}x24"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=self.log,
            preexec_fn=stop_with_this_script)
        os.close(write_end)
        try:
            number = read_line(read_end)
        finally:
            os.close(read_end)
        if not number:
            self.close()
            raise Failure(f"Xvfb did not start: {(work / 'xvfb.log').read_text()}")
        # GTK on this display alone, with no settings from the user's desktop (a dark theme would
        # change the canvas), no accessibility bus.
        self.env = dict(os.environ, DISPLAY=f":{number}", GDK_BACKEND="x11",
                        GSETTINGS_BACKEND="memory", XDG_CONFIG_HOME=str(work / "config"),
                        NO_AT_BRIDGE="1")
        for name in ("WAYLAND_DISPLAY", "GTK_THEME"):
            self.env.pop(name, None)
        self.shots = 0

    def close(self):
        self.server.terminate()
        self.server.wait()
        self.log.close()

    def start(self, *command, name):
        return Program(command, self.env, self.work, name)

    def xdotool(self, *arguments):
        result = subprocess.run(["xdotool", *map(str, arguments)], env=self.env, timeout=DEADLINE,
                                capture_output=True, text=True)
        return result.stdout.split() if result.returncode == 0 else None

    def window_of(self, program, title=None):
        """The visible window of the program (with that title, when given), once it shows."""
        search = ["search", "--sync", "--onlyvisible", "--all", "--pid", program.process.pid]
        if title:
            search += ["--name", f"^{re.escape(title)}$"]
        try:
            found = self.xdotool(*search)
        except subprocess.TimeoutExpired:
            found = None
        if not found:
            raise Failure(f"no window {title or ''} within {DEADLINE} s; the program said: "
                          f"{program.errors.read_text()!r}")
        return found[0]

    def has_class(self, window, program, name):
        return window in (self.xdotool("search", "--all", "--pid", program.process.pid,
                                       "--classname", f"^{re.escape(name)}$") or [])

    def geometry(self, window):
        """The window's (x, y, width, height) on the display."""
        values = dict(line.split("=") for line in self.xdotool("getwindowgeometry", "--shell",
                                                                window))
        return tuple(int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))

    def screenshot(self):
        self.shots += 1
        path = self.work / f"shot-{self.shots}.png"
        run("import", "-window", "root", path, env=self.env)
        return path


def misses(picture, view, probes):
    found = []
    for probe in probes:
        px, py = view.pixel(probe.x, probe.y)
        colour = picture.at(px, py)
        if not close(colour, probe.colour):
            found.append(f"{probe.what}, pixel ({px}, {py}): {colour}, not {probe.colour}")
    return found


def wait_for(display, viewer, view, probes, what, keep):
    """The first screenshot in which every probe holds; a failure naming the probes that still
    miss at the deadline, whose screenshot is kept as `keep`-failed.png."""
    deadline = time.monotonic() + DEADLINE
    while True:
        if viewer.process.poll() is not None:
            raise Failure(f"{what}: the program exited {viewer.process.returncode}: "
                          f"{viewer.errors.read_text()}")
        shot = display.screenshot()
        missed = misses(Picture(shot), view, probes)
        if not missed:
            return shot
        if time.monotonic() > deadline:
            shutil.copy(shot, keep.with_name(keep.name + "-failed.png"))
            raise Failure(f"{what}, after {DEADLINE} s: " + "; ".join(missed))
        time.sleep(0.2)


def visible(probes, view, window):
    """The probes whose flat regions the window shows."""
    x, y, width, height = window

    def inside(px, py):
        return x + FLAT_RADIUS <= px < x + width - FLAT_RADIUS and \
            y + FLAT_RADIUS <= py < y + height - FLAT_RADIUS
    return [probe for probe in probes if inside(*view.pixel(probe.x, probe.y))]


def layer_to_select(document, screen, view, window):
    """The largest layer at the top of the screen's tree, unrotated and unscaled, lying inside the
    screen, whose box with a margin lies where the canvas does not pan by itself; its frame in the
    screen's drawing space (from its content offset)."""
    ox, oy = document["contentOffset"]
    wx, wy, width, height = window
    lowest = (max(wx, AUTOPAN_INSET) + 2, max(wy, AUTOPAN_INSET) + 2)
    highest = (min(wx + width, DISPLAY_SIZE[0] - AUTOPAN_INSET) - 2,
               min(wy + height, DISPLAY_SIZE[1] - AUTOPAN_INSET) - 2)
    candidates = []
    for layer in document["sublayers"]:
        if layer["hidden"] or layer["scale"] != 1 or layer["angle"] != 0:
            continue
        (x, y), (w, h), (ax, ay) = layer["position"], layer["size"], layer["anchorPoint"]
        frame = (x - ax * w - ox, y - ay * h - oy, w, h)
        corners = [view.pixel(screen.x + frame[0] + dx, frame[1] + dy)
                   for dx, dy in ((-BOX_MARGIN, -BOX_MARGIN),
                                  (w + BOX_MARGIN, h + BOX_MARGIN))]
        inside_screen = frame[0] >= 0 and frame[1] >= 0 and \
            frame[0] + w <= screen.width and frame[1] + h <= screen.height
        if inside_screen and all(lowest[i] <= corner[i] <= highest[i]
                                 for corner in corners for i in (0, 1)):
            candidates.append((w * h, layer["name"], frame, corners))
    if not candidates:
        raise Failure(f"screen {screen.name} has no layer a box can be drawn around")
    _, name, frame, corners = max(candidates, key=lambda c: c[0])
    return name, frame, corners


def printed_selection(viewer):
    """The lines the program printed for a box selection, once it has printed the count of
    layers and as many lines after; and the count's match."""
    deadline = time.monotonic() + DEADLINE
    while True:
        lines = viewer.output.read_text().splitlines()
        summary = re.fullmatch(r"(\d+) layers? in \((\S+), (\S+), (\S+), (\S+)\)",
                               lines[0] if lines else "")
        if summary and len(lines) > int(summary[1]) or time.monotonic() > deadline:
            return lines, summary
        time.sleep(0.1)


def check_box_selection(display, viewer, info, screens, view, window):
    name, frame, (start, end) = layer_to_select(info["screens"][0], screens[0], view, window)
    display.xdotool("mousemove", *start, "keydown", "shift", "mousedown", 1,
                    "mousemove", start[0] + 10, start[1] + 10, "sleep", 0.2,
                    "mousemove", *end, "sleep", 0.3, "mouseup", 1, "keyup", "shift")
    lines, summary = printed_selection(viewer)
    if not summary:
        raise Failure(f"a box selection printed {lines}, not a count of layers")
    # The box between the canvas points under the pointer, on whole points.
    (x0, y0), (x1, y1) = view.point(*start), view.point(*end)
    expected = (x0, y0, x1 - x0, y1 - y0)
    box = tuple(float(value) for value in summary.groups()[1:])
    if any(abs(a - b) > 2 for a, b in zip(box, expected)):
        raise Failure(f"the box selection is {box}, not about {expected}")
    listed = f"  {screens[0].name} / {name}: x {frame[0]:g}, y {frame[1]:g}, " \
             f"width {frame[2]:g}, height {frame[3]:g}"
    if listed not in lines[1:] or len(lines) != 1 + int(summary[1]):
        raise Failure(f"a box around {name} printed {lines}, not {listed!r}")
    print(f"box selection: {lines}")


def check_document_window(display, viewer_program, ql, document, output, work):
    info = json.loads(run(ql, "info", document, "--json"))
    screens, extent = sheet_of(info["screens"])
    run(ql, "preview", document, "-o", work / "preview.png")
    preview = Picture(work / "preview.png")
    if (preview.width, preview.height) != (extent[2], extent[3] - LABEL_HEIGHT):
        raise Failure(f"the preview is {preview.width} x {preview.height}, not the screens side "
                      "by side at one pixel per point (a carried picture, or too large)")
    on_screens = screen_probes(preview, screens)
    on_canvas = canvas_probes(screens, extent)

    start = time.monotonic()
    viewer = display.start(viewer_program, "--size", "x".join(map(str, WINDOW_SIZE)), document,
                           name="viewer")
    try:
        shown = display.window_of(viewer, Path(document).name)
        # Desktops find a window's desktop entry (vantler-view.desktop) by the window's class.
        if not display.has_class(shown, viewer, PROGRAM):
            raise Failure(f"the window's class is not {PROGRAM}, the desktop entry's name")
        window = display.geometry(shown)
        if window[2:] != WINDOW_SIZE:
            raise Failure(f"the window is {window[2]} x {window[3]}, not --size {WINDOW_SIZE}")
        fitted = View.fitting(extent, window)
        shot = wait_for(display, viewer, fitted, on_screens + on_canvas, "the fitted screens",
                        output / "fitted")
        print(f"fitted at {fitted.scale:.3f} in {time.monotonic() - start:.1f} s, "
              f"{len(on_screens)} probes on the screens and {len(on_canvas)} on the canvas")
        run("convert", shot, "-crop", "{2}x{3}+{0}+{1}".format(*window), "+repage", "-strip",
            output / "vantler-view.png")

        # A Ctrl+click away from the centre: the zoom is about the centre all the same.
        centre = (window[0] + window[2] / 2, window[1] + window[3] / 2)
        zoomed = fitted.zoomed(ZOOM_IN_RATIO, centre)
        before = Picture(shot)
        moved = [probe for probe in visible(on_screens, zoomed, window)
                 if not close(before.at(*zoomed.pixel(probe.x, probe.y)), probe.colour)]
        if not moved:
            raise Failure("no probe of the screens would change under a zoom")
        display.xdotool("mousemove", window[0] + window[2] // 4, window[1] + window[3] // 3,
                        "keydown", "ctrl", "click", 1, "keyup", "ctrl")
        wait_for(display, viewer, zoomed, visible(on_screens + on_canvas, zoomed, window),
                 "zoomed in by Ctrl+click", output / "zoomed")
        print(f"zoomed in: {len(moved)} probes now show what they did not before")
        display.xdotool("key", "0")
        wait_for(display, viewer, fitted, on_screens + on_canvas, "fitted again by the key 0",
                 output / "fitted-again")

        check_box_selection(display, viewer, info, screens, fitted, window)

        display.xdotool("key", "q")
        status = viewer.exit_status("q closes the window")
        if status != 0:
            raise Failure(f"closed by q, the program exited {status}")
        errors = [line for line in viewer.errors.read_text().splitlines()
                  if "CRITICAL" in line or line.startswith(f"{PROGRAM}:")]
        if errors:
            raise Failure(f"the program reported {errors}")
    finally:
        viewer.stop()


def check_refused_document(display, viewer_program, ql, work):
    empty = work / "empty.vantler"
    empty.write_bytes(b"")
    # The reason the loader gives, as vantler-ql reports it (with a suggestion of its own after).
    refusal = subprocess.run([ql, "info", empty], capture_output=True, text=True).stderr
    reason = re.match(rf"vantler-ql: {re.escape(str(empty))}: (.+?)( \(.*\))?$", refusal.strip())
    if not reason:
        raise Failure(f"vantler-ql refused the empty document with {refusal!r}")
    viewer = display.start(viewer_program, "--size", "x".join(map(str, WINDOW_SIZE)), empty,
                           name="refused")
    try:
        alert = display.window_of(viewer)
        if viewer.process.poll() is not None:
            raise Failure(f"the program exited {viewer.process.returncode} with its alert shown")
        expected = f"{PROGRAM}: {empty}: {reason[1]}"
        said = viewer.errors.read_text().splitlines()
        if expected not in said:
            raise Failure(f"standard error says {said}, not {expected!r}")
        display.xdotool("key", "Return")
        status = viewer.exit_status("Return dismisses the alert")
        if status != 1:
            raise Failure(f"after the alert, the program exited {status}, not 1")
        print(f"refused: {expected}; the alert (window {alert}) dismissed by Return")
    finally:
        viewer.stop()


def run_checks(viewer, ql, document, output, work):
    """What failed, each check running whatever the others found."""
    display = Display(work)
    failures = []
    try:
        for check in (lambda: check_document_window(display, viewer, ql, document, output, work),
                      lambda: check_refused_document(display, viewer, ql, work)):
            try:
                check()
            except Failure as failure:
                failures.append(str(failure))
    finally:
        display.close()
    return failures


def main():
    viewer, ql, document, output = sys.argv[1:5]
    missing = [program for program in ("Xvfb", "xdotool") if not shutil.which(program)]
    if missing:
        print(f"skipped: {' and '.join(missing)} not installed (scripts/setup installs them)")
        return SKIP
    # Ended by SIGTERM, the script still stops its programs and its display on the way out.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    output = Path(output)
    output.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as folder:
        try:
            failures = run_checks(viewer, ql, document, output, Path(folder))
        except Failure as failure:
            failures = [str(failure)]
    for failure in failures:
        print(f"FAILED: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
