#!/usr/bin/env python3
"""Checks a keyed archive with Python's standard plistlib, independently of our C++ reader.

    check_archive.py FILE... [--expect CHECKS.json]... [--equals PATH JSON]...
                     [--allow-no-root] [--allow-unreachable]

The file is loaded with plistlib (binary or XML; in XML, {"CF$UID": n} dictionaries are read as
UIDs, as CoreFoundation reads them). Then the structure Apple's NSKeyedArchiver writes is checked (as
Apple's Foundation writes it and CoreFoundation's binary property list code lays it out):

- the top level holds exactly $archiver "NSKeyedArchiver", $version 100000, $top and $objects;
- $objects[0] is the string "$null"; every entry is a string, number, data or dictionary;
- $top holds "root" as a UID (unless --allow-no-root: Apple's unkeyed encodes write $0, $1, ...);
- every UID anywhere is inside $objects, and every entry is reachable from $top (unless
  --allow-unreachable: one Apple-written fixture, libnskeyedarchiver-nsdictionary_setconfig, holds
  entries that nothing refers to);
- a class dictionary has $classname, and $classes starting with that name and ending in "NSObject"
  (plus $classhints, nothing else); there is exactly one class dictionary per class name, and only
  "$class" refers to them;
- every other dictionary in $objects is an object with a "$class" UID leading to a class dictionary;
  its keys beginning with "$" are "$class", generic keys "$<n>" or escaped user keys "$$...".

Then each expectation is checked. CHECKS.json is a list of objects, each with a "path" and one
check. A path walks from the top-level dictionary: a string picks a dictionary key, an integer a
list element, and a UID met on the way is followed into $objects before the next step. A path may
also be one string with "/" between the steps ("$top/root/NS.objects/2").

The value at the end of a path is checked raw (before following a final UID) by "uid", "entry",
"same_as", "differs_from", "class", "absent", and resolved by the others. Resolving follows UIDs:
"$null" (UID 0 or any entry holding the string "$null") becomes null, data becomes
{"$data": "<hex>"}, an object becomes {"$class": name, key: resolved value, ...}, a reference back
into an object being resolved becomes {"$cycle": uid}.

    {"path": P, "equals": JSON}          the resolved value equals JSON (bool, int and float are
                                          told apart: 1, 1.0 and true differ)
    {"path": P, "type": T}               resolved type: null, bool, int, float, str, data, object, list
    {"path": P, "real64_bits": "hex"}    the resolved value is a real whose IEEE double bits are these
    {"path": P, "real32_bits": "hex"}    the resolved value is a real exactly representable as a
                                          float whose IEEE single bits are these
    {"path": P, "bytes_file": F}         the resolved value is data equal to the bytes of file F
                                          (relative to the CHECKS.json folder)
    {"path": P, "count": N}              the resolved list, string or data has N elements
    {"path": P, "uid": N}                the raw value is UID N
    {"path": P, "entry": JSON}           the raw value is a UID whose $objects entry equals JSON
                                          (unresolved; "$null" for a conditional slot never filled)
    {"path": P, "same_as": P2}           both raw values are the same UID
    {"path": P, "differs_from": P2}      both raw values are UIDs, different ones
    {"path": P, "class": NAME, "classes": [..]}  the raw value is a UID of an object of class NAME
                                          (and, if given, exactly that $classes chain)
    {"path": P, "keys": [..]}            the object (or dictionary) at P has exactly these keys
    {"path": P, "absent": true}          the last step of P does not exist

--equals PATH JSON is the same as {"path": PATH, "equals": JSON}.

Each FILE is checked on its own, with the same options and expectations. Exit status: 0 when
everything holds (one summary line per file on stdout, "ok NAME: ..."), 1 when a file is not a valid
keyed archive or an expectation fails (one line per failure on stderr, "FAIL NAME: ..."), 2 for
wrong usage.
"""

import argparse
import json
import os
import plistlib
import re
import struct
import sys

GENERIC_KEY = re.compile(r"^\$[0-9]+$")
CLASS_KEYS = {"$classname", "$classes", "$classhints"}
TOP_KEYS = {"$archiver", "$version", "$top", "$objects"}


class Failure(Exception):
    pass


def describe(value, limit=120):
    text = repr(value)
    return text if len(text) <= limit else text[: limit - 3] + "..."


def normalize_xml_uids(value):
    """CoreFoundation reads a dictionary holding only an integer CF$UID as a UID; plistlib does not."""
    if isinstance(value, dict):
        if len(value) == 1 and "CF$UID" in value and type(value["CF$UID"]) is int:
            return plistlib.UID(value["CF$UID"])
        return {k: normalize_xml_uids(v) for k, v in value.items()}
    if isinstance(value, list):
        return [normalize_xml_uids(v) for v in value]
    return value


class Archive:
    def __init__(self, path, allow_no_root, allow_unreachable):
        with open(path, "rb") as f:
            raw = f.read()
        try:
            plist = plistlib.loads(raw)
        except Exception as error:  # plistlib raises several kinds
            raise Failure(f"plistlib cannot read the file: {type(error).__name__}: {error}")
        if not raw.startswith(b"bplist"):
            plist = normalize_xml_uids(plist)
        self.plist = plist
        self.errors = []
        self.check_structure(allow_no_root, allow_unreachable)

    def error(self, message):
        self.errors.append(message)

    # ---- structure ------------------------------------------------------------------------
    def check_structure(self, allow_no_root, allow_unreachable):
        plist = self.plist
        if not isinstance(plist, dict):
            raise Failure(f"the top level is {type(plist).__name__}, not a dictionary")
        if set(plist) != TOP_KEYS:
            raise Failure(f"the top-level keys are {sorted(plist)}, not {sorted(TOP_KEYS)}")
        if plist["$archiver"] != "NSKeyedArchiver":
            self.error(f"$archiver is {describe(plist['$archiver'])}, not 'NSKeyedArchiver'")
        version = plist["$version"]
        if type(version) is not int or version != 100000:
            self.error(f"$version is {describe(version)}, not the integer 100000")
        objects = plist["$objects"]
        top = plist["$top"]
        if not isinstance(objects, list) or not objects:
            raise Failure("$objects is not a non-empty array")
        if not isinstance(top, dict):
            raise Failure("$top is not a dictionary")
        self.objects = objects
        if objects[0] != "$null":
            self.error(f"$objects[0] is {describe(objects[0])}, not '$null'")
        if "root" in top:
            if not isinstance(top["root"], plistlib.UID):
                self.error(f"$top root is {describe(top['root'])}, not a UID")
        elif not allow_no_root:
            self.error("$top has no root")

        # Every UID inside $objects.
        def walk_uids(value, where, report=True):
            if isinstance(value, plistlib.UID):
                if report and not 0 <= value.data < len(objects):
                    self.error(f"{where}: UID {value.data} lies outside $objects ({len(objects)} entries)")
                yield value.data
            elif isinstance(value, dict):
                for k, v in value.items():
                    yield from walk_uids(v, f"{where}/{k}", report)
            elif isinstance(value, list):
                for i, v in enumerate(value):
                    yield from walk_uids(v, f"{where}/{i}", report)

        # Class dictionaries.
        self.class_of_entry = {}
        names = {}
        for index, entry in enumerate(objects):
            if isinstance(entry, dict) and "$classname" in entry:
                where = f"$objects[{index}]"
                extra = set(entry) - CLASS_KEYS
                if extra:
                    self.error(f"{where}: class dictionary has other keys {sorted(extra)}")
                name = entry["$classname"]
                chain = entry.get("$classes")
                if not isinstance(name, str):
                    self.error(f"{where}: $classname is not a string")
                    continue
                if not (isinstance(chain, list) and chain and all(isinstance(c, str) for c in chain)):
                    self.error(f"{where}: class {name} has no $classes array of strings")
                elif chain[0] != name or chain[-1] != "NSObject":
                    self.error(f"{where}: $classes {chain} of class {name} does not run from {name} to NSObject")
                hints = entry.get("$classhints")
                if hints is not None and not (isinstance(hints, list) and all(isinstance(h, str) for h in hints)):
                    self.error(f"{where}: $classhints of class {name} is not an array of strings")
                if name in names:
                    self.error(f"{where}: a second class dictionary for {name} (the first is $objects[{names[name]}])")
                else:
                    names[name] = index
        self.class_names = sorted(names)

        def check_references(key, value, where):
            """Range-checks the UIDs under `key`; only "$class" may lead to a class dictionary."""
            for uid in walk_uids(value, f"{where}/{key}"):
                if key != "$class" and 0 <= uid < len(objects):
                    target = objects[uid]
                    if isinstance(target, dict) and "$classname" in target:
                        self.error(f"{where}/{key}: refers to class dictionary $objects[{uid}] as an object")

        for k, v in top.items():
            self.check_key(k, "$top")
            check_references(k, v, "$top")
        for index, entry in enumerate(objects):
            where = f"$objects[{index}]"
            if isinstance(entry, (plistlib.UID, list)) or entry is None:
                self.error(f"{where} is {type(entry).__name__}, which no archived object can be")
                continue
            if not isinstance(entry, dict) or "$classname" in entry:
                continue
            cls = entry.get("$class")
            if not isinstance(cls, plistlib.UID):
                self.error(f"{where}: object dictionary has no $class UID")
            elif not (0 <= cls.data < len(objects)) or not (
                    isinstance(objects[cls.data], dict) and "$classname" in objects[cls.data]):
                self.error(f"{where}: $class UID {cls.data} does not lead to a class dictionary")
            else:
                self.class_of_entry[index] = objects[cls.data]
            for k, v in entry.items():
                self.check_key(k, where)
                check_references(k, v, where)

        # Every entry reachable from $top.
        reachable, pending = {0}, list(walk_uids(top, "$top", report=False))
        while pending:
            uid = pending.pop()
            if uid in reachable or not 0 <= uid < len(objects):
                continue
            reachable.add(uid)
            entry = objects[uid]
            if isinstance(entry, dict):
                pending.extend(walk_uids(entry, f"$objects[{uid}]", report=False))
        unreachable = sorted(set(range(len(objects))) - reachable)
        if unreachable and not allow_unreachable:
            self.error(f"$objects entries {unreachable[:10]} are not reachable from $top")

    def check_key(self, key, where):
        if not isinstance(key, str):
            self.error(f"{where}: key {describe(key)} is not a string")
        elif key.startswith("$") and key != "$class" and not GENERIC_KEY.match(key) and not key.startswith("$$"):
            self.error(f"{where}: key {key!r} begins with '$' but is neither $class, a generic key nor escaped")

    # ---- paths and values -----------------------------------------------------------------
    def walk(self, path):
        """The raw value at `path`, or raise KeyError naming the missing step."""
        steps = path.split("/") if isinstance(path, str) else list(path)
        value = self.plist
        for i, step in enumerate(steps):
            if isinstance(value, plistlib.UID):
                value = self.objects[value.data]
            if isinstance(value, dict):
                if step not in value:
                    raise KeyError(f"no key {step!r} after {steps[:i]}")
                value = value[step]
            elif isinstance(value, list):
                try:
                    index = int(step)
                except (TypeError, ValueError):
                    raise KeyError(f"{step!r} is not an index of the list after {steps[:i]}")
                if not 0 <= index < len(value):
                    raise KeyError(f"index {index} is outside the list of {len(value)} after {steps[:i]}")
                value = value[index]
            else:
                raise KeyError(f"{describe(value)} after {steps[:i]} has no element {step!r}")
        return value

    def resolve(self, value, active=()):
        if isinstance(value, plistlib.UID):
            uid = value.data
            entry = self.objects[uid]
            if uid == 0 or entry == "$null":
                return None
            if uid in active:
                return {"$cycle": uid}
            if isinstance(entry, dict) and "$class" in entry:
                result = {"$class": self.class_of_entry.get(uid, {}).get("$classname")}
                for k, v in entry.items():
                    if k != "$class":
                        result[k] = self.resolve(v, active + (uid,))
                return result
            return self.resolve(entry, active)
        if isinstance(value, bytes):
            return {"$data": value.hex()}
        if isinstance(value, list):
            return [self.resolve(v, active) for v in value]
        if isinstance(value, dict):
            return {k: self.resolve(v, active) for k, v in value.items()}
        return value


def strictly_equal(a, b):
    """Equality that tells bool, int and float apart and compares reals by their bits."""
    if type(a) is not type(b):
        return False
    if isinstance(a, float):
        return struct.pack(">d", a) == struct.pack(">d", b)
    if isinstance(a, list):
        return len(a) == len(b) and all(strictly_equal(x, y) for x, y in zip(a, b))
    if isinstance(a, dict):
        return a.keys() == b.keys() and all(strictly_equal(a[k], b[k]) for k in a)
    return a == b


def type_name(value):
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "bool"
    if isinstance(value, dict):
        return "data" if set(value) == {"$data"} else "object" if "$class" in value else "dict"
    return {int: "int", float: "float", str: "str", list: "list"}.get(type(value), type(value).__name__)


def run_check(archive, check, base_dir):
    path = check.get("path")
    if path is None:
        raise Failure(f"expectation without a path: {check}")
    label = path if isinstance(path, str) else "/".join(str(p) for p in path)
    if check.get("absent"):
        try:
            archive.walk(path)
        except KeyError:
            return
        raise Failure(f"{label}: present, expected absent")
    try:
        raw = archive.walk(path)
    except KeyError as error:
        raise Failure(f"{label}: {error.args[0]}")

    def uid_of(value, what):
        if not isinstance(value, plistlib.UID):
            raise Failure(f"{what}: {describe(value)} is not a UID")
        return value.data

    done = False
    if "uid" in check:
        done = True
        if uid_of(raw, label) != check["uid"]:
            raise Failure(f"{label}: UID {raw.data}, expected {check['uid']}")
    if "entry" in check:
        done = True
        entry = archive.objects[uid_of(raw, label)]
        entry = {"$data": entry.hex()} if isinstance(entry, bytes) else entry
        if not strictly_equal(entry, check["entry"]):
            raise Failure(f"{label}: UID {raw.data} holds {describe(entry)}, expected {describe(check['entry'])}")
    for key, same in (("same_as", True), ("differs_from", False)):
        if key in check:
            done = True
            other_label = check[key] if isinstance(check[key], str) else "/".join(map(str, check[key]))
            try:
                other = archive.walk(check[key])
            except KeyError as error:
                raise Failure(f"{other_label}: {error.args[0]}")
            a, b = uid_of(raw, label), uid_of(other, other_label)
            if (a == b) != same:
                relation = "the same UID" if same else "different UIDs"
                raise Failure(f"{label} (UID {a}) and {other_label} (UID {b}): expected {relation}")
    if "class" in check:
        done = True
        uid = uid_of(raw, label)
        cls = archive.class_of_entry.get(uid)
        if cls is None:
            raise Failure(f"{label}: UID {uid} is not an object with a class")
        if cls.get("$classname") != check["class"]:
            raise Failure(f"{label}: class {cls.get('$classname')}, expected {check['class']}")
        if "classes" in check and cls.get("$classes") != check["classes"]:
            raise Failure(f"{label}: $classes {cls.get('$classes')}, expected {check['classes']}")
    if "keys" in check:
        done = True
        target = archive.objects[raw.data] if isinstance(raw, plistlib.UID) else raw
        if not isinstance(target, dict) or sorted(target) != sorted(check["keys"]):
            found = sorted(target) if isinstance(target, dict) else describe(target)
            raise Failure(f"{label}: keys {found}, expected {sorted(check['keys'])}")

    resolved = archive.resolve(raw)
    if "equals" in check:
        done = True
        if not strictly_equal(resolved, check["equals"]):
            raise Failure(f"{label}: {describe(resolved, 300)}, expected {describe(check['equals'], 300)}")
    if "type" in check:
        done = True
        if type_name(resolved) != check["type"]:
            raise Failure(f"{label}: a {type_name(resolved)}, expected a {check['type']}")
    if "real64_bits" in check:
        done = True
        if type(resolved) is not float:
            raise Failure(f"{label}: {describe(resolved)} is not a real")
        bits = struct.pack(">d", resolved).hex()
        if bits != check["real64_bits"].lower():
            raise Failure(f"{label}: double bits {bits} ({resolved!r}), expected {check['real64_bits']}")
    if "real32_bits" in check:
        done = True
        if type(resolved) is not float:
            raise Failure(f"{label}: {describe(resolved)} is not a real")
        packed = struct.pack(">f", resolved)
        widened = struct.unpack(">f", packed)[0]
        exact = struct.pack(">d", widened) == struct.pack(">d", resolved)
        if packed.hex() != check["real32_bits"].lower() or not exact:
            raise Failure(f"{label}: {resolved!r} is not the float with bits {check['real32_bits']}")
    if "bytes_file" in check:
        done = True
        with open(os.path.join(base_dir, check["bytes_file"]), "rb") as f:
            expected = f.read()
        if type_name(resolved) != "data":
            raise Failure(f"{label}: {describe(resolved)} is not data")
        actual = bytes.fromhex(resolved["$data"])
        if actual != expected:
            first = next((i for i, (x, y) in enumerate(zip(actual, expected)) if x != y), min(len(actual), len(expected)))
            raise Failure(f"{label}: {len(actual)} bytes differ from {check['bytes_file']} "
                          f"({len(expected)} bytes) from byte {first} on")
    if "count" in check:
        done = True
        if type_name(resolved) == "data":
            size = len(resolved["$data"]) // 2
        elif isinstance(resolved, (list, str)):
            size = len(resolved)
        else:
            raise Failure(f"{label}: {describe(resolved)} has no count")
        if size != check["count"]:
            raise Failure(f"{label}: count {size}, expected {check['count']}")
    if not done:
        raise Failure(f"{label}: the expectation {describe(check)} checks nothing")


def check_file(path, checks, allow_no_root, allow_unreachable):
    """Checks one file; prints its summary line or its failures; returns whether it passed."""
    name = os.path.basename(path)
    try:
        archive = Archive(path, allow_no_root, allow_unreachable)
    except OSError as error:
        print(f"FAIL {name}: cannot read: {error}", file=sys.stderr)
        return False
    except Failure as error:
        print(f"FAIL {name}: {error}", file=sys.stderr)
        return False
    failures = list(archive.errors)
    for check, base_dir in checks:
        try:
            run_check(archive, check, base_dir)
        except Failure as error:
            failures.append(str(error))
    for line in failures:
        print(f"FAIL {name}: {line}", file=sys.stderr)
    if failures:
        return False
    print(f"ok {name}: {len(archive.objects)} objects; classes {' '.join(archive.class_names) or '-'}; "
          f"{len(checks)} expectations")
    return True


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", nargs="+", metavar="FILE")
    parser.add_argument("--expect", action="append", default=[], metavar="CHECKS.json")
    parser.add_argument("--equals", nargs=2, action="append", default=[], metavar=("PATH", "JSON"))
    parser.add_argument("--allow-no-root", action="store_true")
    parser.add_argument("--allow-unreachable", action="store_true")
    args = parser.parse_args(argv)

    checks = []
    try:
        for name in args.expect:
            with open(name, encoding="utf-8") as f:
                loaded = json.load(f)
            if not isinstance(loaded, list):
                parser.error(f"{name} does not hold a list of expectations")
            checks.extend((check, os.path.dirname(os.path.abspath(name))) for check in loaded)
        for path, text in args.equals:
            checks.append(({"path": path, "equals": json.loads(text)}, os.getcwd()))
    except (OSError, ValueError) as error:
        parser.error(str(error))

    results = [check_file(path, checks, args.allow_no_root, args.allow_unreachable) for path in args.files]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
