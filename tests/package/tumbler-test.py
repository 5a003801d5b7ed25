#!/usr/bin/python3
"""XFCE's thumbnail service, tumbler, asked over D-Bus for thumbnails of Vantler documents: its
desktop-thumbnailer plug-in reads the installed thumbnailer entry (XDG_DATA_DIRS) and runs the
thumbnailer, as it does for Thunar.

    tumbler-test.py TUMBLERD EXAMPLES_DIR WORK_DIR

Run on a session bus of its own (dbus-run-session). Starts TUMBLERD, asks for the normal and the
large thumbnail of each EXAMPLES_DIR/*.vantler and of crafted bad documents, and checks what it
stored in the cache ($XDG_CACHE_HOME/thumbnails) and that each bad document is reported as an
error.
Exit status 1 when anything is wrong.
"""

import subprocess
import sys
import time
from pathlib import Path

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

from desktop_thumbnails import FLAVOUR_SIZES, MIME_TYPE, bad_documents, cache_path, problems  # noqa: E402,E501

SERVICE = "org.freedesktop.thumbnails.Thumbnailer1"
PATH = "/org/freedesktop/thumbnails/Thumbnailer1"
# How long to wait for a whole request before calling it a hang.
REQUEST_SECONDS = 60


class Thumbnailer:
    """The service's Thumbnailer1 interface: one request at a time, waited for to its end."""

    def __init__(self, bus):
        self.bus = bus
        self.proxy = Gio.DBusProxy.new_sync(bus, Gio.DBusProxyFlags.NONE, None, SERVICE, PATH,
                                            SERVICE, None)
        self.proxy.connect("g-signal", self._signal)
        self.loop = GLib.MainLoop()
        self.handle = None

    def supported_mime_types(self):
        _uri_schemes, mime_types = self.proxy.call_sync("GetSupported", None,
                                                        Gio.DBusCallFlags.NONE, -1, None).unpack()
        return set(mime_types)

    def queue(self, uris, flavour):
        """The URIs the service made thumbnails of, and those it reported errors for."""
        self.ready, self.errors = [], []
        arguments = GLib.Variant("(asasssu)", (uris, [MIME_TYPE] * len(uris), flavour,
                                               "foreground", 0))
        (self.handle,) = self.proxy.call_sync("Queue", arguments, Gio.DBusCallFlags.NONE, -1,
                                              None).unpack()
        self.timeout = GLib.timeout_add_seconds(REQUEST_SECONDS, self._give_up)
        self.loop.run()
        return self.ready, self.errors

    def _signal(self, _proxy, _sender, name, parameters):
        values = parameters.unpack()
        if values[0] != self.handle:
            return
        if name == "Ready":
            self.ready += values[1]
        elif name == "Error":
            self.errors += [(uri, values[3]) for uri in values[1]]
        elif name == "Finished":
            GLib.source_remove(self.timeout)
            self.loop.quit()

    def _give_up(self):
        self.errors.append(("*", f"not finished within {REQUEST_SECONDS} s"))
        self.handle = None
        self.loop.quit()
        return GLib.SOURCE_REMOVE


def main():
    tumblerd, examples, work = Path(sys.argv[1]), Path(sys.argv[2]), Path(sys.argv[3])
    service = subprocess.Popen([str(tumblerd)])
    try:
        bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        # tumblerd owns its names once its plug-ins are loaded; wait for the one asked here.
        watched = GLib.MainLoop()
        watch = Gio.bus_watch_name_on_connection(bus, SERVICE, Gio.BusNameWatcherFlags.NONE,
                                                 lambda *_: watched.quit(), None)
        GLib.timeout_add_seconds(30, watched.quit)
        start = time.monotonic()
        watched.run()
        Gio.bus_unwatch_name(watch)
        print(f"tumblerd answered after {time.monotonic() - start:.1f} s")
        return check(Thumbnailer(bus), examples, work)
    finally:
        service.terminate()
        service.wait()


def check(thumbnailer, examples, work):
    failures = []
    if MIME_TYPE not in thumbnailer.supported_mime_types():
        failures.append(f"tumbler does not offer {MIME_TYPE}")
    documents = sorted(examples.glob("*.vantler"))
    bad = [document.as_uri() for document in bad_documents(examples, work)]
    for flavour in FLAVOUR_SIZES:
        uris = [document.absolute().as_uri() for document in documents]
        start = time.monotonic()
        ready, errors = thumbnailer.queue(uris + bad, flavour)
        print(f"tumbler {flavour}: {len(ready)} ready, {len(errors)} failed "
              f"in {time.monotonic() - start:.1f} s: {errors}")
        for document, uri in zip(documents, uris):
            if uri not in ready:
                failures.append(f"{document.name} ({flavour}): no thumbnail")
                continue
            mtime = int(document.stat().st_mtime)
            found = problems(cache_path(flavour, uri), flavour, uri, mtime)
            failures += [f"{document.name} ({flavour}): {problem}" for problem in found]
        failed = {uri for uri, _ in errors}
        failures += [f"{uri} ({flavour}): not reported as an error"
                     for uri in bad if uri in ready or uri not in failed]
    for failure in failures:
        print(f"FAILED: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
