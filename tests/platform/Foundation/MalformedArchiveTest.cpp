// Hostile input never crashes, hangs or exhausts memory: each file of tests/data/malformed (written
// by make.py there) is wrong in one way, and reading it raises NSException with the exact name and
// reason of the table below; so does `vantler-ql dump`, which walks every value where the
// unarchiver reads only what is asked. Then the bounds of ArchiveLimits.h, each at and one past its
// limit.

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ArchiveDump.h"
#include "ArchiveLimits.h"
#include "BinaryPropertyListWriter.h"
#include "NSException.h"
#include "NSKeyedUnarchiver.h"
#include "PropertyListDictionary.h"
#include "PropertyListSerialization.h"
#include "TestSupport.h"
#include "XMLPropertyList.h"

namespace {

using test::Failure;
using test::failureOf;
using test::kNoFailure;

// clang-format off
Failure argument(std::string reason) { return {NSInvalidArgumentException, std::move(reason)}; }
Failure unarchive(std::string reason) { return {NSInvalidUnarchiveOperationException, std::move(reason)}; }
Failure binary(const std::string& reason) { return argument("binary property list: " + reason); }
Failure archive(const std::string& reason) { return argument("keyed archive: " + reason); }
Failure decoding(const std::string& reason) { return unarchive("keyed archive: " + reason); }
Failure call(const std::string& selector, const std::string& reason) { return unarchive("-[NSKeyedUnarchiver " + selector + ":]: " + reason); }
const Failure kTooDeep = decoding("objects nest deeper than 512 levels");
const Failure kValuesTooDeep = archive("values nest deeper than 512 levels");
const Failure kOverBudget = decoding("decoding it would take more than 512 MiB of memory");
const Failure kOwnsItself = decoding("UID 1 (NSURL) is referred to from inside itself; a collection or URL cannot contain itself");
const Failure kNotReferences = call("_decodeArrayOfObjectsForKey", "value for key (NS.objects) is an array holding something other than references");
enum Stage { Opening, Reading };  // where the failure comes: opening the archive, or reading from it
using Read = std::function<void(NSKeyedUnarchiver&)>;
const Read kRoot = [](NSKeyedUnarchiver& u) { u.decodeObjectForKey(NSKeyedArchiveRootObjectKey); };
struct Case {
    const char* file;
    Stage stage;
    Failure failure;
    std::optional<Failure> dump = std::nullopt;  // what the dump raises, where it differs in kind
    Read read = kRoot;
};

const std::vector<Case> kCases = {
    // The file as a whole and its trailer.
    {"truncated-file.bplist", Opening, binary("trailer offset size is not 1 to 8 bytes")},
    {"too-short.bplist", Opening, binary("file is too short to hold a trailer")},
    {"bad-header.bplist", Opening, argument("data is not a property list (neither binary nor XML)")},
    {"trailer-offset-size-0.bplist", Opening, binary("trailer offset size is not 1 to 8 bytes")},
    {"trailer-offset-size-9.bplist", Opening, binary("trailer offset size is not 1 to 8 bytes")},
    {"trailer-ref-size-0.bplist", Opening, binary("trailer reference size is not 1 to 8 bytes")},
    {"trailer-zero-objects.bplist", Opening, binary("trailer says there are no objects")},
    {"trailer-count-above-int64-max.bplist", Opening, binary("trailer object count is too large")},
    {"trailer-top-object-out-of-range.bplist", Opening, binary("trailer top object lies outside the object table")},
    {"trailer-table-inside-header.bplist", Opening, binary("offset table starts inside the header")},
    {"trailer-table-past-trailer.bplist", Opening, binary("offset table starts past the trailer")},
    {"trailing-garbage.bplist", Opening, binary("offset table does not end where the trailer begins")},
    {"trailer-count-too-large-for-length.bplist", Opening, binary("offset table does not end where the trailer begins")},
    {"trailer-ref-size-too-small.bplist", Opening, binary("trailer reference size is too small for the object count")},
    {"trailer-offset-size-too-small.bplist", Opening, binary("trailer offset size is too small to reach the offset table")},
    // The offset table and the extent of objects.
    {"offset-into-header.bplist", Opening, binary("offset table entry 1 points into the header")},
    {"offset-past-object-area.bplist", Opening, binary("offset table entry 1 points past the object area")},
    {"object-past-object-area.bplist", Reading, binary("object 26 runs past the object area")},
    {"extended-length-negative.bplist", Reading, binary("object 15 has a negative length")},
    {"extended-length-overflows.bplist", Reading, binary("object 12 runs past the object area")},
    // Markers.
    {"unknown-marker.bplist", Reading, binary("object 12 has the unsupported marker 0x70")},
    {"fill-marker.bplist", Reading, binary("object 12 has the unsupported marker 0x0f")},
    {"integer-wider-than-16-bytes.bplist", Reading, binary("object 12 is an integer wider than 16 bytes")},
    {"real-of-2-bytes.bplist", Reading, binary("object 12 is a real that is neither 4 nor 8 bytes")},
    {"uid-above-uint32.bplist", Reading, binary("object 9 is a UID above 2^32 - 1")},
    {"array-ref-out-of-range.bplist", Reading, binary("reference 254 lies outside the object table of 23 objects")},
    {"ascii-string-with-high-byte.bplist", Reading, binary("object 12 is an ASCII string with a non-ASCII byte")},
    // Cycles and depth.
    {"objects-array-contains-itself.bplist", Reading, decoding("the $objects entry of UID 1 is an array, which no archived object can be")},
    {"ns-objects-contains-itself.bplist", Reading, kNotReferences, kValuesTooDeep},
    {"array-contains-itself.bplist", Reading, decoding("UID 1 (NSArray) is referred to from inside itself; a collection or URL cannot contain itself"), kNoFailure},  // the dump prints it once, then "@1"
    {"url-is-its-own-base.bplist", Reading, kOwnsItself, kNoFailure},
    // Found by the fuzzer: the URL owned itself through NS.base, and absoluteString recursed
    // forever.
    {"fuzz-url-base-cycle.plist", Reading, kOwnsItself, kNoFailure},
    // The unarchiver reads values in place and never walks them; the dump stops at the depth limit.
    {"nested-arrays-3000.bplist", Reading, kNoFailure, kValuesTooDeep},
    {"nested-arrays-3000.bplist", Reading, call("decodeObjectForKey", "value for key (deep) is an array"), kValuesTooDeep, [](NSKeyedUnarchiver& u) { u.decodeObjectForKey("deep"); }},
    {"nested-arrays-3000.plist", Opening, argument("XML property list: elements nest deeper than 256 levels (line 7)")},
    {"nested-objects-3000.bplist", Reading, kTooDeep, kNoFailure},  // the dump lists objects breadth first
    {"nested-objects-512.bplist", Reading, kNoFailure},
    {"nested-objects-513.bplist", Reading, kTooDeep, kNoFailure},
    // The keyed-archive structure.
    {"root-uid-out-of-range.bplist", Reading, archive("UID 99 lies outside $objects (2 entries)")},
    {"object-without-class.bplist", Reading, archive("the object of UID 1 has no $class")},
    {"class-not-a-dictionary.bplist", Reading, archive("class UID 2 is not a dictionary")},
    {"class-without-classname.bplist", Reading, archive("class UID 2 has no $classname")},
    {"version-not-100000.bplist", Opening, archive("$version is 99999, not 100000")},
    {"no-objects.bplist", Opening, archive("no $objects entry")},
    // Values of the wrong kind.
    {"string-for-int64.bplist", Reading, call("decodeInt64ForKey", "value for key (count) is a string"), kNoFailure, [](NSKeyedUnarchiver& u) { u.decodeInt64ForKey("count"); }},
    {"real-for-integer.bplist", Reading, call("decodeIntegerForKey", "value for key (count) is a real"), kNoFailure, [](NSKeyedUnarchiver& u) { u.decodeIntegerForKey("count"); }},
    {"real-for-integer.bplist", Reading, call("decodeIntForKey", "value for key (count) is a real"), kNoFailure, [](NSKeyedUnarchiver& u) { u.decodeIntForKey("count"); }},
    {"integer-for-double.bplist", Reading, call("decodeDoubleForKey", "value for key (scale) is an integer"), kNoFailure, [](NSKeyedUnarchiver& u) { u.decodeDoubleForKey("scale"); }},
    {"integer-for-double.bplist", Reading, call("decodeFloatForKey", "value for key (scale) is an integer"), kNoFailure, [](NSKeyedUnarchiver& u) { u.decodeFloatForKey("scale"); }},
    {"data-for-object.bplist", Reading, call("decodeObjectForKey", "value for key (root) is data"), kNoFailure},
    {"ns-objects-holds-non-uid.bplist", Reading, kNotReferences, kNoFailure},
    {"dictionary-keys-and-objects-differ.bplist", Reading, decoding("NSDictionary has 2 keys (NS.keys) but 1 values (NS.objects)"), kNoFailure},
    {"uuid-of-15-bytes.bplist", Reading, unarchive("NS.uuidbytes holds 15 bytes, not 16"), kNoFailure},
    // XML: the words after the prefix of a well-formedness error are libxml2's own.
    {"not-well-formed.plist", Opening, argument("XML property list: Premature end of data in tag plist line 3")},
    {"external-entity.plist", Opening, argument("XML property list: <string> holds a reference to the entity &secret;, which is not expanded")},
    {"billion-laughs.plist", Opening, argument("XML property list: entities refer to one another in a loop or expand too much (line 3)")},
    // Memory: 100000 UIDs of one 64 KiB string; 10000 UIDs of one 256 KiB data; one dictionary of
    // 20000 keys as 2000 objects, indexed anew by each decode.
    {"amplified-strings.bplist", Reading, kOverBudget},
    {"amplified-data.bplist", Reading, kOverBudget, kNoFailure},  // the dump prints 32 bytes of each
    {"shared-dictionary-many-uids.bplist", Reading, kOverBudget, archive("values are shared too often to print")},
    // 5000 keys NS.object.<n>, read through an index of them.
    {"ordered-set-many-keys.bplist", Reading, kNoFailure},
};
// clang-format on

}  // namespace

TEST(KeyedArchiveMalformedInput, EveryFileFailsForItsReason) {
    std::set<std::string> listed{"make.py"};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.file);
        listed.insert(c.file);
        const auto data =
            NSData::dataWithVector(test::readFile(test::dataDir() / "malformed" / c.file));
        EXPECT_EQ(failureOf([&] { NSKeyedUnarchiver::initForReadingWithData(data); }),
                  c.stage == Opening ? c.failure : kNoFailure);
        EXPECT_EQ(failureOf([&] { c.read(*NSKeyedUnarchiver::initForReadingWithData(data)); }),
                  c.failure);
        EXPECT_EQ(failureOf([&] {
                      dumpKeyedArchive(data, DumpFormat::Text);
                      dumpKeyedArchive(data, DumpFormat::JSON);
                  }),
                  c.dump.value_or(c.failure));
    }
    EXPECT_EQ(test::filesIn(test::dataDir() / "malformed"),
              std::vector<std::string>(listed.begin(), listed.end()))
        << "a new file of make.py needs a row here";
}

// libxml2's own bound (256 elements open around the next one) comes before kMaxNestingDepth in XML;
// past kMaxXMLTags or kMaxXMLPropertyListBytes a file is refused before it is parsed.
TEST(KeyedArchiveMalformedInput, XMLBoundsAtAndOnePastTheirLimits) {
    const auto xmlFailure = [](const std::string& xml) {
        return failureOf([&] {
            plist::parseXMLPropertyList({reinterpret_cast<const uint8_t*>(xml.data()), xml.size()});
        });
    };
    const auto nested = [](unsigned depth) {
        std::string xml;
        for (unsigned i = 0; i < depth; ++i) xml = "<array>" + xml + "</array>";
        return xml;
    };
    EXPECT_EQ(xmlFailure(nested(257)), kNoFailure);
    EXPECT_EQ(xmlFailure(nested(258)),
              argument("XML property list: elements nest deeper than 256 levels (line 1)"));

    const std::string atLimit(ArchiveLimits::kMaxXMLTags, '<');
    EXPECT_EQ(xmlFailure(atLimit).name,
              NSInvalidArgumentException);  // parsed, and refused by libxml2
    EXPECT_NE(xmlFailure(atLimit).reason, "XML property list: file holds more than 2000000 tags");
    EXPECT_EQ(xmlFailure(atLimit + "<"),
              argument("XML property list: file holds more than 2000000 tags"));

    // Mapped but never touched beyond the first page: the size is checked before anything is read.
    const size_t size = ArchiveLimits::kMaxXMLPropertyListBytes + 1;
    void* address = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(address, MAP_FAILED);
    static_cast<uint8_t*>(address)[0] = '<';
    const std::shared_ptr<const void> owner(
        address, [size](const void* p) { munmap(const_cast<void*>(p), size); });
    const auto data = std::make_shared<NSData>(
        owner, std::span<const uint8_t>(static_cast<const uint8_t*>(address), size));
    EXPECT_EQ(failureOf([&] { NSKeyedUnarchiver::initForReadingWithData(data); }),
              argument("XML property list: file is larger than 256 MiB"));
}

// kNumberedKeyLimit changes how keys are found, never which value: in both ways a duplicate key
// resolves to its first entry.
TEST(KeyedArchiveMalformedInput, DuplicateKeysResolveToTheFirstScannedOrIndexed) {
    for (unsigned count : {unsigned{ArchiveLimits::kNumberedKeyLimit},
                           unsigned{ArchiveLimits::kNumberedKeyLimit} + 1}) {
        SCOPED_TRACE(count);
        std::vector<std::pair<plist::Value, plist::Value>> entries;
        for (unsigned i = 0; i + 1 < count; ++i)
            entries.emplace_back(plist::Value::string("k" + std::to_string(i)),
                                 plist::Value::integer(plist::Integer::fromSigned(i)));
        entries.emplace_back(plist::Value::string("k0"),
                             plist::Value::integer(plist::Integer::fromSigned(-1)));
        const auto data = NSData::dataWithVector(
            plist::writeBinaryPropertyList(plist::Value::dictionary(std::move(entries))));
        const auto list = plist::openPropertyList(*data);
        plist::PropertyListKeyNumbers numbers(*list, [](uint64_t) {});
        plist::PropertyListDictionary dictionary(*list, list->object(list->topObject()), numbers);
        ASSERT_EQ(dictionary.info().count, count);
        EXPECT_EQ(list->integerValue(list->object(*dictionary.lookup("k0"))).signedValue(), 0);
        const auto last = dictionary.lookup("k" + std::to_string(count - 2));
        EXPECT_EQ(list->integerValue(list->object(*last)).signedValue(), count - 2);
        EXPECT_FALSE(dictionary.lookup("absent").has_value());
    }
}
