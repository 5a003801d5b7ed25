#!/usr/bin/env python3
"""Writes the malformed keyed archives of tests/data/malformed: each file is wrong in one way.

    python3 tests/data/malformed/make.py        # rewrites every file beside this script

MalformedArchiveTest.cpp asserts the exact failure of each file (and the fuzzer's seed corpus starts
from them). The files are small and deterministic: rerunning this script gives the same bytes.
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


# ---- binary property lists ------------------------------------------------------------------------

class UID:
    def __init__(self, value, width=None):
        self.value, self.width = value, width


class Real32:
    def __init__(self, value):
        self.value = value


class Dict:
    """A dictionary with entries in the order given; keys may repeat or be any value."""

    def __init__(self, entries):
        self.entries = list(entries)


class Raw:
    """An object written as the bytes given (refs to `children` are appended by `body(refs, ref_size)`)."""

    def __init__(self, body, children=()):
        self.body, self.children = body, list(children)


def width_for(value):
    for width in (1, 2, 4, 8):
        if value < 1 << (8 * width):
            return width
    raise ValueError(value)


def marker_and_length(marker, length):
    # CoreFoundation's long form from 15 on: nibble 0xF, then an integer object.
    if length < 15:
        return bytes([marker | length])
    return bytes([marker | 0xF]) + integer(length)


def integer(value):
    if value < 0 or value > 0xFFFFFFFF:
        return b"\x13" + struct.pack(">q", value)
    width = width_for(value)
    return bytes([0x10 | {1: 0, 2: 1, 4: 2}[width]]) + value.to_bytes(width, "big")


class Writer:
    """Flattens values like CoreFoundation's _flattenPlist: pre-order, keys before values, the root
    first. Equal scalars are written once (so a string shared by many references is one object: a DAG);
    containers are one object per Python object, so a list that contains itself is a cycle."""

    def __init__(self):
        self.objects = []  # (value, child refs)
        self.index = {}

    def key(self, v):
        if isinstance(v, (list, Dict, dict, Raw)):
            return ("id", id(v))
        if isinstance(v, UID):
            return ("uid", v.value, v.width)
        if isinstance(v, Real32):
            return ("real32", v.value)
        return (type(v).__name__, v)

    def flatten(self, v):
        k = self.key(v)
        if k in self.index:
            return self.index[k]
        i = len(self.objects)
        self.index[k] = i
        self.objects.append([v, []])
        if isinstance(v, list):
            children = [self.flatten(e) for e in v]
        elif isinstance(v, (dict, Dict)):
            entries = list(v.items()) if isinstance(v, dict) else v.entries
            children = [self.flatten(key) for key, _ in entries] + [self.flatten(val) for _, val in entries]
        elif isinstance(v, Raw):
            children = [self.flatten(c) for c in v.children]
        else:
            children = []
        self.objects[i][1] = children
        return i

    def body(self, v, refs, ref_size):
        r = b"".join(ref.to_bytes(ref_size, "big") for ref in refs)
        if isinstance(v, bool):
            return b"\x09" if v else b"\x08"
        if isinstance(v, int):
            return integer(v)
        if isinstance(v, float):
            return b"\x23" + struct.pack(">d", v)
        if isinstance(v, Real32):
            return b"\x22" + struct.pack(">f", v.value)
        if isinstance(v, bytes):
            return marker_and_length(0x40, len(v)) + v
        if isinstance(v, str):
            if all(ord(c) < 0x80 for c in v):
                return marker_and_length(0x50, len(v)) + v.encode("ascii")
            units = v.encode("utf-16-be")
            return marker_and_length(0x60, len(units) // 2) + units
        if isinstance(v, UID):
            width = v.width or width_for(v.value)
            return bytes([0x80 | (width - 1)]) + v.value.to_bytes(width, "big")
        if isinstance(v, list):
            return marker_and_length(0xA0, len(refs)) + r
        if isinstance(v, (dict, Dict)):
            return marker_and_length(0xD0, len(refs) // 2) + r
        if isinstance(v, Raw):
            return v.body(refs, ref_size)
        raise TypeError(v)


def bplist(root, ref_size=None, offset_size=None):
    """The bytes of a binary property list of `root`, laid out as CoreFoundation writes it."""
    w = Writer()
    w.flatten(root)
    count = len(w.objects)
    ref_size = ref_size or width_for(count)
    out = bytearray(b"bplist00")
    offsets = []
    for v, refs in w.objects:
        offsets.append(len(out))
        out += w.body(v, refs, ref_size)
    table = len(out)
    offset_size = offset_size or width_for(table)
    for offset in offsets:
        out += offset.to_bytes(offset_size, "big")
    out += bytes(6) + bytes([offset_size, ref_size]) + struct.pack(">QQQ", count, 0, table)
    return bytes(out)


def trailer_fields(data):
    """(offset size, ref size, count, top, table offset) of a binary property list."""
    t = data[-32:]
    return t[6], t[7], *struct.unpack(">QQQ", t[8:])


def with_trailer(data, offset_size=None, ref_size=None, count=None, top=None, table=None):
    o, r, c, tp, tb = trailer_fields(data)
    o = o if offset_size is None else offset_size
    r = r if ref_size is None else ref_size
    c = c if count is None else count
    tp = tp if top is None else top
    tb = tb if table is None else table
    return data[:-32] + bytes(6) + bytes([o, r]) + struct.pack(">QQQ", c, tp, tb)


def with_offset_size(data, offset_size):
    """The same list with every offset-table entry rewritten in `offset_size` bytes (keeping the low
    bytes, so entries may no longer point at their objects)."""
    o, _, count, _, table = trailer_fields(data)
    mask = (1 << (8 * offset_size)) - 1
    entries = [int.from_bytes(data[table + i * o: table + (i + 1) * o], "big") & mask for i in range(count)]
    out = data[:table] + b"".join(e.to_bytes(offset_size, "big") for e in entries) + data[-32:]
    return with_trailer(out, offset_size=offset_size)


def object_offset(data, ref):
    o, _, _, _, table = trailer_fields(data)
    return int.from_bytes(data[table + ref * o: table + (ref + 1) * o], "big")


def set_offset(data, ref, offset):
    o, _, _, _, table = trailer_fields(data)
    return data[:table + ref * o] + offset.to_bytes(o, "big") + data[table + (ref + 1) * o:]


def replace_object(data, ref, new_body):
    """Rewrites object `ref` in place; `new_body` must be as long as the old one or shorter."""
    start = object_offset(data, ref)
    return data[:start] + new_body + data[start + len(new_body):]


def ref_of(root, target):
    """The object index `target` (a value inside `root`) gets."""
    w = Writer()
    w.flatten(root)
    return w.index[w.key(target)]


# ---- keyed archives -------------------------------------------------------------------------------

def keyed(objects, top=None, version=100000, archiver="NSKeyedArchiver", omit=()):
    """The top-level dictionary of a keyed archive; $objects[0] is "$null" unless `objects` says."""
    entries = [("$version", version), ("$archiver", archiver), ("$top", top if top is not None else {"root": UID(1)}),
               ("$objects", objects)]
    return Dict([(k, v) for k, v in entries if k not in omit])


def cls(name, *chain):
    return {"$classname": name, "$classes": [name, *chain, "NSObject"] if name != "NSObject" else ["NSObject"]}


def nsarray(uids, class_uid):
    return {"NS.objects": [UID(u) for u in uids], "$class": UID(class_uid)}


def valid_archive():
    """A sound archive: an NSArray of two strings. Several files break one byte of it."""
    return keyed(["$null", nsarray([2, 3], 4), "one", "two", cls("NSArray")])


# ---- XML property lists ---------------------------------------------------------------------------

XML_HEAD = ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n')


def xml_archive(objects_xml, top_xml='<key>root</key><dict><key>CF$UID</key><integer>1</integer></dict>'):
    return (XML_HEAD + '<plist version="1.0">\n<dict>\n'
            '<key>$archiver</key><string>NSKeyedArchiver</string>\n'
            '<key>$objects</key><array><string>$null</string>' + objects_xml + '</array>\n'
            '<key>$top</key><dict>' + top_xml + '</dict>\n'
            '<key>$version</key><integer>100000</integer>\n'
            '</dict>\n</plist>\n').encode()


# ---- the files ------------------------------------------------------------------------------------

def files():
    f = {}
    valid = bplist(valid_archive())

    # The file as a whole and its trailer, each breaking one thing the reader checks.
    f["truncated-file.bplist"] = valid[:len(valid) // 2]
    f["too-short.bplist"] = valid[:40]
    f["bad-header.bplist"] = b"bplist10" + valid[8:]
    f["trailer-offset-size-0.bplist"] = with_trailer(valid, offset_size=0)
    f["trailer-offset-size-9.bplist"] = with_trailer(valid, offset_size=9)
    f["trailer-ref-size-0.bplist"] = with_trailer(valid, ref_size=0)
    f["trailer-zero-objects.bplist"] = with_trailer(valid, count=0)
    f["trailer-count-above-int64-max.bplist"] = with_trailer(valid, count=1 << 63)
    _, _, count, _, table = trailer_fields(valid)
    f["trailer-top-object-out-of-range.bplist"] = with_trailer(valid, top=count)
    f["trailer-table-inside-header.bplist"] = with_trailer(valid, table=8)
    f["trailer-table-past-trailer.bplist"] = with_trailer(valid, table=len(valid) + 100)
    # Bytes between the offset table and the trailer.
    f["trailing-garbage.bplist"] = valid[:-32] + b"\x00\x00\x00\x00" + valid[-32:]
    f["trailer-count-too-large-for-length.bplist"] = with_trailer(valid, count=count + 1)
    many = bplist(keyed(["$null"] + list(range(1000, 1300))))  # more than 255 objects
    f["trailer-ref-size-too-small.bplist"] = with_trailer(many, ref_size=1)
    f["trailer-offset-size-too-small.bplist"] = with_offset_size(many, 1)

    # The offset table and object extents.
    f["offset-into-header.bplist"] = set_offset(valid, 1, 3)
    f["offset-past-object-area.bplist"] = set_offset(valid, 1, table)
    # The last object ("NSObject", in $classes) says 14 bytes; 8 are there.
    f["object-past-object-area.bplist"] = replace_object(valid, count - 1, b"\x5e")
    f["extended-length-negative.bplist"] = replace_object(
        bplist(keyed(["$null", {"NS.data": bytes(9), "$class": UID(2)}, cls("NSData")])),
        ref_of(keyed(["$null", {"NS.data": bytes(9), "$class": UID(2)}, cls("NSData")]), bytes(9)),
        b"\x4f\x13" + b"\xff" * 8)
    # An extended count that fits in 63 bits but whose bytes overflow 64 bits.
    overflow = keyed(["$null", Raw(lambda refs, rs: b"\xdf\x13" + b"\x7f" + b"\xff" * 7), cls("NSArray")])
    f["extended-length-overflows.bplist"] = bplist(overflow)

    # Markers the reader does not know, or sizes it does not accept.
    def at_root(body):
        """An archive whose root object is the raw `body`."""
        return bplist(keyed(["$null", Raw(lambda refs, rs: body)]))
    f["unknown-marker.bplist"] = at_root(b"\x70")
    f["fill-marker.bplist"] = at_root(b"\x0f")
    f["integer-wider-than-16-bytes.bplist"] = at_root(b"\x15" + bytes(32))
    f["real-of-2-bytes.bplist"] = at_root(b"\x21\x00\x00")
    f["uid-above-uint32.bplist"] = bplist(keyed(["$null", "x"], top={"root": UID(1 << 32, 8)}))
    bad_ref = keyed(["$null", {"NS.objects": Raw(lambda refs, rs: b"\xa1\xfe"), "$class": UID(2)}, cls("NSArray")])
    f["array-ref-out-of-range.bplist"] = bplist(bad_ref)
    f["ascii-string-with-high-byte.bplist"] = at_root(b"\x53ab\xe9")

    # Cycles and depth.
    cyclic = ["$null"]
    cyclic.append(cyclic)  # $objects holds itself: UID 1 is an array, not an object
    f["objects-array-contains-itself.bplist"] = bplist(keyed(cyclic))
    inline = []
    inline.append(inline)  # NS.objects holds itself
    f["ns-objects-contains-itself.bplist"] = bplist(keyed(["$null", {"NS.objects": inline, "$class": UID(2)},
                                                            cls("NSArray")]))
    deep = []
    for _ in range(3000):
        deep = [deep]
    f["nested-arrays-3000.bplist"] = bplist(keyed(["$null", "x"], top={"root": UID(1), "deep": deep}))
    f["nested-arrays-3000.plist"] = xml_archive('<string>x</string>',
                                                '<key>root</key><dict><key>CF$UID</key><integer>1</integer></dict>'
                                                '<key>deep</key>' + '<array>' * 3000 + '</array>' * 3000)
    f["nested-objects-3000.bplist"] = nested_arrays(3000)
    f["nested-objects-512.bplist"] = nested_arrays(512)
    f["nested-objects-513.bplist"] = nested_arrays(513)
    f["array-contains-itself.bplist"] = bplist(keyed(["$null", nsarray([1], 2), cls("NSArray")]))
    f["url-is-its-own-base.bplist"] = bplist(keyed(["$null", {"NS.base": UID(1), "NS.relative": UID(2),
                                                              "$class": UID(3)}, "a", cls("NSURL")]))

    # The keyed-archive structure around the objects.
    f["root-uid-out-of-range.bplist"] = bplist(keyed(["$null", "x"], top={"root": UID(99)}))
    f["object-without-class.bplist"] = bplist(keyed(["$null", {"NS.objects": []}]))
    f["class-not-a-dictionary.bplist"] = bplist(keyed(["$null", {"NS.objects": [], "$class": UID(2)}, "NSArray"]))
    f["class-without-classname.bplist"] = bplist(keyed(["$null", {"NS.objects": [], "$class": UID(2)},
                                                        {"$classes": ["NSArray", "NSObject"]}]))
    f["version-not-100000.bplist"] = bplist(keyed(["$null", "x"], version=99999))
    f["no-objects.bplist"] = bplist(keyed(["$null"], omit=("$objects",)))

    # Values of the wrong kind.
    f["string-for-int64.bplist"] = bplist(keyed(["$null"], top={"count": "12"}))
    f["real-for-integer.bplist"] = bplist(keyed(["$null"], top={"count": 12.0}))
    f["integer-for-double.bplist"] = bplist(keyed(["$null"], top={"scale": 2}))
    f["data-for-object.bplist"] = bplist(keyed(["$null"], top={"root": b"\x00\x01"}))
    f["ns-objects-holds-non-uid.bplist"] = bplist(keyed(["$null", {"NS.objects": [UID(2), 7], "$class": UID(3)},
                                                         "a", cls("NSArray")]))
    f["dictionary-keys-and-objects-differ.bplist"] = bplist(keyed(
        ["$null", {"NS.keys": [UID(2), UID(3)], "NS.objects": [UID(4)], "$class": UID(5)}, "a", "b", "c",
         cls("NSDictionary")]))
    f["uuid-of-15-bytes.bplist"] = bplist(keyed(["$null", {"NS.uuidbytes": bytes(range(15)), "$class": UID(2)},
                                                 cls("NSUUID")]))

    # XML property lists.
    f["not-well-formed.plist"] = (XML_HEAD + '<plist version="1.0">\n<dict>\n<key>$archiver</key>\n'
                                  '<string>NSKeyedArchiver</string>\n</plist>\n').encode()
    f["external-entity.plist"] = (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<!DOCTYPE plist [<!ENTITY secret SYSTEM "file:///etc/passwd">]>\n'
        '<plist version="1.0"><dict><key>$archiver</key><string>&secret;</string></dict></plist>\n').encode()
    laughs = ['<!ENTITY lol0 "lol">'] + ['<!ENTITY lol%d "%s">' % (i, ("&lol%d;" % (i - 1)) * 10) for i in range(1, 10)]
    f["billion-laughs.plist"] = (
        '<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE plist [' + "".join(laughs) + ']>\n'
        '<plist version="1.0"><dict><key>$archiver</key><string>&lol9;</string></dict></plist>\n').encode()

    # Memory and time.
    big = "a" * 65536
    amplified = ["$null", nsarray(range(2, 100002), 100002)] + [big] * 100000 + [cls("NSArray")]
    f["amplified-strings.bplist"] = bplist(keyed(amplified))
    # The same with one NSMutableData dictionary under 10000 UIDs: each decode copies its 256 KiB.
    data_object = {"NS.data": b"d" * 262144, "$class": UID(10002)}
    f["amplified-data.bplist"] = bplist(keyed(["$null", nsarray(range(2, 10002), 10003)] + [data_object] * 10000
                                              + [cls("NSMutableData", "NSData"), cls("NSArray")]))
    f["ordered-set-many-keys.bplist"] = ordered_set(5000)
    # One object dictionary of many keys under many UIDs (a DAG no writer makes): each UID decodes it
    # anew, and reading its keys each time would take quadratic time.
    shared = Dict([("NS.objects", [])] + [("k%d" % i, 0) for i in range(20000)] + [("$class", UID(2002))])
    f["shared-dictionary-many-uids.bplist"] = bplist(keyed(["$null", nsarray(range(2, 2002), 2002)] + [shared] * 2000
                                                           + [cls("NSArray")]))

    # What the fuzzer found (fuzz/run), each reduced to its cause.
    # An NSURL whose NS.base is the URL itself (a leak: the URL owned itself).
    f["fuzz-url-base-cycle.plist"] = xml_archive(
        '<dict><key>$class</key><dict><key>CF$UID</key><integer>3</integer></dict>'
        '<key>NS.base</key><dict><key>CF$UID</key><integer>1</integer></dict>'
        '<key>NS.relative</key><dict><key>CF$UID</key><integer>2</integer></dict></dict>'
        '<string>file:///tmp/</string>'
        '<dict><key>$classname</key><string>NSURL</string>'
        '<key>$classes</key><array><string>NSURL</string><string>NSObject</string></array></dict>')
    return f


def nested_arrays(depth):
    """An archive whose root is `depth` NSArrays, each holding the next (the last one empty)."""
    objects = ["$null"]
    class_uid = depth + 1
    for level in range(depth):
        uid = level + 1
        objects.append(nsarray([uid + 1] if level + 1 < depth else [], class_uid))
    objects.append(cls("NSArray"))
    return bplist(keyed(objects))


def ordered_set(count):
    """An NSOrderedSet of `count` distinct integers: one key per element, NS.object.0 … as Foundation writes it."""
    entries = [("NS.object.%d" % i, UID(i + 2)) for i in range(count)] + [("$class", UID(count + 2))]
    objects = ["$null", Dict(entries)] + list(range(count)) + [cls("NSOrderedSet")]
    return bplist(keyed(objects))


def main():
    sys.setrecursionlimit(100000)  # the nested cases are thousands deep
    written = files()
    for name, data in sorted(written.items()):
        with open(os.path.join(HERE, name), "wb") as out:
            out.write(data)
    # Files this script no longer writes would otherwise linger in the seed corpus.
    for name in os.listdir(HERE):
        if name not in written and name != "make.py":
            os.remove(os.path.join(HERE, name))
    print("make.py: wrote %d files" % len(written), file=sys.stderr)


if __name__ == "__main__":
    main()
