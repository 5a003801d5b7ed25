#!/usr/bin/python3
"""GNOME's thumbnail factory (libgnome-desktop, the code GNOME Files thumbnails with) asked for
thumbnails of Vantler documents, as it finds the installed thumbnailer entry through
XDG_DATA_DIRS and runs the thumbnailer in its bubblewrap sandbox.

    thumbnail-factory-test.py EXAMPLES_DIR WORK_DIR

Each EXAMPLES_DIR/*.vantler gets a normal (128) and a large (256) thumbnail, saved into the cache
($XDG_CACHE_HOME/thumbnails) and checked there; each stored picture is also copied to
WORK_DIR/pictures/NAME-FLAVOUR.png. Crafted bad documents (random bytes, a truncated example) must
make the factory fail quickly and record a failed thumbnail. Exit status 1 when anything is wrong.
"""

import shutil
import sys
import time
from pathlib import Path

import gi

gi.require_version("GnomeDesktop", "3.0")
from gi.repository import GLib, GnomeDesktop  # noqa: E402

from desktop_thumbnails import MIME_TYPE, bad_documents, cache_path, problems  # noqa: E402

FLAVOURS = {"normal": GnomeDesktop.DesktopThumbnailSize.NORMAL,
            "large": GnomeDesktop.DesktopThumbnailSize.LARGE}
# The factory waits for a thumbnailer without a deadline of its own; a bad document must be
# refused well inside the thumbnailer's own (10 s), not by it.
FAILURE_SECONDS = 5


def generate(factory, path):
    """The factory's picture of `path` (None on failure), how long it took, and the file's URI and
    modification time as the factory records them."""
    uri = path.absolute().as_uri()
    mtime = int(path.stat().st_mtime)
    if not factory.can_thumbnail(uri, MIME_TYPE, mtime):
        raise AssertionError(f"the factory has no thumbnailer for {MIME_TYPE} ({path.name})")
    start = time.monotonic()
    try:
        pixbuf = factory.generate_thumbnail(uri, MIME_TYPE)
    except GLib.Error as error:
        print(f"  factory: {error.message}")
        pixbuf = None
    return pixbuf, time.monotonic() - start, uri, mtime


def check_documents(examples, pictures):
    failures = []
    for flavour, size in FLAVOURS.items():
        factory = GnomeDesktop.DesktopThumbnailFactory.new(size)
        for document in sorted(examples.glob("*.vantler")):
            pixbuf, seconds, uri, mtime = generate(factory, document)
            if pixbuf is None:
                failures.append(f"{document.name} ({flavour}): the factory made no thumbnail")
                continue
            factory.save_thumbnail(pixbuf, uri, mtime)
            stored = cache_path(flavour, uri)
            found = problems(stored, flavour, uri, mtime)
            failures += [f"{document.name} ({flavour}): {problem}" for problem in found]
            print(f"{document.name} {flavour}: {pixbuf.get_width()} x {pixbuf.get_height()} "
                  f"in {seconds:.2f} s, {stored}")
            if not found:
                shutil.copy(stored, pictures / f"{document.stem}-{flavour}.png")
    return failures


def check_bad_documents(examples, work):
    failures = []
    factory = GnomeDesktop.DesktopThumbnailFactory.new(GnomeDesktop.DesktopThumbnailSize.NORMAL)
    for document in bad_documents(examples, work):
        pixbuf, seconds, uri, mtime = generate(factory, document)
        print(f"{document.name}: {'a picture' if pixbuf else 'failed'} in {seconds:.2f} s")
        if pixbuf is not None:
            failures.append(f"{document.name}: the factory made a thumbnail of a bad document")
        if seconds > FAILURE_SECONDS:
            failures.append(f"{document.name}: the failure took {seconds:.1f} s")
        # What a file manager does next, so that it does not try the file again until it changes.
        factory.create_failed_thumbnail(uri, mtime)
        if not factory.has_valid_failed_thumbnail(uri, mtime):
            failures.append(f"{document.name}: no failed thumbnail recorded")
        if not cache_path("fail/gnome-thumbnail-factory", uri).is_file():
            failures.append(f"{document.name}: the failed thumbnail is not in the cache")
    return failures


def main():
    examples, work = Path(sys.argv[1]), Path(sys.argv[2])
    pictures = work / "pictures"
    pictures.mkdir(parents=True, exist_ok=True)
    failures = check_documents(examples, pictures) + check_bad_documents(examples, work)
    for failure in failures:
        print(f"FAILED: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
