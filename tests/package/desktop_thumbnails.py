"""What the desktop clients' tests share: the documents they are given, and what the
freedesktop.org thumbnail cache holds for a file, read as a file manager reads it (the PNG under
$XDG_CACHE_HOME/thumbnails/FLAVOUR/MD5-OF-URI.png, its text entries and its pixels)."""

import hashlib
import os
import random
from pathlib import Path

import gi

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf  # noqa: E402

MIME_TYPE = "application/x-vantler"
# The largest side of each flavour of the cache, in pixels.
FLAVOUR_SIZES = {"normal": 128, "large": 256}


def bad_documents(examples, work):
    """Documents no thumbnailer can draw, written into `work`: bytes that are no archive, and an
    example cut in half."""
    work.mkdir(parents=True, exist_ok=True)
    noise = work / "random-bytes.vantler"
    noise.write_bytes(random.Random(15).randbytes(64 * 1024))
    whole = (examples / "sign-in.vantler").read_bytes()
    truncated = work / "truncated-sign-in.vantler"
    truncated.write_bytes(whole[: len(whole) // 2])
    return [noise, truncated]


def cache_path(folder, uri):
    """The cache's file for `uri` in one of its folders ("normal", "large", "fail/APP")."""
    cache = Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache")
    return cache / "thumbnails" / folder / (hashlib.md5(uri.encode()).hexdigest() + ".png")


def problems(path, flavour, uri, mtime):
    """What is wrong with the stored thumbnail at `path` for the file `uri` last changed at `mtime`,
    as a list of sentences (empty when nothing is)."""
    if not Path(path).is_file():
        return [f"no thumbnail at {path}"]
    pixbuf = GdkPixbuf.Pixbuf.new_from_file(str(path))
    found = []
    size = FLAVOUR_SIZES[flavour]
    width, height = pixbuf.get_width(), pixbuf.get_height()
    # The longer side fits the flavour; only a picture the document carries may be smaller, and
    # none of the examples carries one under half the size.
    if not size // 2 <= max(width, height) <= size:
        found.append(f"{width} x {height} pixels, not within {size}")
    stored_uri = pixbuf.get_option("tEXt::Thumb::URI")
    if stored_uri != uri:
        found.append(f"Thumb::URI is {stored_uri!r}, not {uri!r}")
    # Whole seconds (GNOME's factory), or with microseconds (tumbler).
    stored_mtime = pixbuf.get_option("tEXt::Thumb::MTime")
    if not stored_mtime or int(float(stored_mtime)) != mtime:
        found.append(f"Thumb::MTime is {stored_mtime!r}, not {mtime}")
    if distinct_colours(pixbuf) < 2:
        found.append("the picture is blank: one colour")
    return found


def distinct_colours(pixbuf):
    pixels = pixbuf.get_pixels()
    step, stride = pixbuf.get_n_channels(), pixbuf.get_rowstride()
    return len({pixels[row * stride + x * step : row * stride + (x + 1) * step]
                for row in range(pixbuf.get_height()) for x in range(pixbuf.get_width())})
