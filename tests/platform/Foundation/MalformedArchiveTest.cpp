// Part 2.1, hostile input (DESIGN.md: "Hostile input never crashes, hangs or exhausts memory"): each
// file of tests/data/malformed (written by make.py there) is wrong in one way, and reading it raises
// NSException with the exact name and reason asserted here. Also the limits of ArchiveLimits.h, each
// at and one past its bound, and the fuzzer's findings (fuzz/run), one file each.

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "ArchiveDump.h"
#include "ArchiveLimits.h"
#include "BinaryPropertyListWriter.h"
#include "NSArray.h"
#include "NSException.h"
#include "NSKeyedUnarchiver.h"
#include "NSNumber.h"
#include "NSSet.h"
#include "NSString.h"
#include "PropertyListDictionary.h"
#include "PropertyListSerialization.h"
#include "TestSupport.h"
#include "XMLPropertyList.h"

namespace {

using test::Failure;
using test::failureOf;
using test::kNoFailure;

std::shared_ptr<const NSData> malformed(const std::string& name) {
    return NSData::dataWithVector(test::readFile(test::dataDir() / "malformed" / name));
}

// Opening the file as a keyed archive.
Failure openFailure(const std::string& name) {
    const auto data = malformed(name);
    return failureOf([&] { NSKeyedUnarchiver::initForReadingWithData(data); });
}

// Opening the file and decoding its root object, as the document loader does (Part 2.2).
Failure rootFailure(const std::string& name) {
    const auto data = malformed(name);
    return failureOf([&] { NSKeyedUnarchiver::unarchiveObjectWithData(data); });
}

// `vantler-ql dump` of the file, which walks every value (the unarchiver reads only what is asked).
Failure dumpFailure(const std::string& name) {
    const auto data = malformed(name);
    return failureOf([&] {
        dumpKeyedArchive(data, DumpFormat::Text);
        dumpKeyedArchive(data, DumpFormat::JSON);
    });
}

Failure invalidArgument(std::string reason) { return {NSInvalidArgumentException, std::move(reason)}; }
Failure invalidUnarchive(std::string reason) { return {NSInvalidUnarchiveOperationException, std::move(reason)}; }
Failure binaryList(const std::string& reason) { return invalidArgument("binary property list: " + reason); }

// Every file make.py writes; each has a test below.
const std::set<std::string> kFiles = {
    "amplified-data.bplist",
    "amplified-strings.bplist",
    "array-contains-itself.bplist",
    "array-ref-out-of-range.bplist",
    "ascii-string-with-high-byte.bplist",
    "bad-header.bplist",
    "billion-laughs.plist",
    "class-not-a-dictionary.bplist",
    "class-without-classname.bplist",
    "data-for-object.bplist",
    "dictionary-keys-and-objects-differ.bplist",
    "extended-length-negative.bplist",
    "extended-length-overflows.bplist",
    "external-entity.plist",
    "fill-marker.bplist",
    "fuzz-url-base-cycle.plist",
    "integer-for-double.bplist",
    "integer-wider-than-16-bytes.bplist",
    "nested-arrays-3000.bplist",
    "nested-arrays-3000.plist",
    "nested-objects-3000.bplist",
    "nested-objects-512.bplist",
    "nested-objects-513.bplist",
    "no-objects.bplist",
    "not-well-formed.plist",
    "ns-objects-contains-itself.bplist",
    "ns-objects-holds-non-uid.bplist",
    "object-past-object-area.bplist",
    "object-without-class.bplist",
    "objects-array-contains-itself.bplist",
    "offset-into-header.bplist",
    "offset-past-object-area.bplist",
    "ordered-set-many-keys.bplist",
    "real-for-integer.bplist",
    "real-of-2-bytes.bplist",
    "root-uid-out-of-range.bplist",
    "shared-dictionary-many-uids.bplist",
    "string-for-int64.bplist",
    "too-short.bplist",
    "trailer-count-above-int64-max.bplist",
    "trailer-count-too-large-for-length.bplist",
    "trailer-offset-size-0.bplist",
    "trailer-offset-size-9.bplist",
    "trailer-offset-size-too-small.bplist",
    "trailer-ref-size-0.bplist",
    "trailer-ref-size-too-small.bplist",
    "trailer-table-inside-header.bplist",
    "trailer-table-past-trailer.bplist",
    "trailer-top-object-out-of-range.bplist",
    "trailer-zero-objects.bplist",
    "trailing-garbage.bplist",
    "truncated-file.bplist",
    "uid-above-uint32.bplist",
    "unknown-marker.bplist",
    "url-is-its-own-base.bplist",
    "uuid-of-15-bytes.bplist",
    "version-not-100000.bplist",
};

TEST(Part2_1_MalformedArchive, EveryFileHasATest) {
    std::set<std::string> present;
    for (const auto& entry : std::filesystem::directory_iterator(test::dataDir() / "malformed"))
        if (entry.path().filename() != "make.py") present.insert(entry.path().filename().string());
    EXPECT_EQ(present, kFiles) << "run tests/data/malformed/make.py, and give each new file a test";
}

// ---- the file as a whole and its trailer (format §1.5) -------------------------------------------

TEST(Part2_1_MalformedArchive, TruncatedFile) {
    // Cut in half: what should be the trailer is object bytes.
    EXPECT_EQ(openFailure("truncated-file.bplist"), binaryList("trailer offset size is not 1 to 8 bytes"));
}

TEST(Part2_1_MalformedArchive, FileTooShortForATrailer) {
    EXPECT_EQ(openFailure("too-short.bplist"), binaryList("file is too short to hold a trailer"));
}

TEST(Part2_1_MalformedArchive, BadHeader) {
    // "bplist1…" is neither a binary list ("bplist0") nor XML.
    EXPECT_EQ(openFailure("bad-header.bplist"), invalidArgument("data is not a property list (neither binary nor XML)"));
}

TEST(Part2_1_MalformedArchive, TrailerOffsetSizeZero) {
    EXPECT_EQ(openFailure("trailer-offset-size-0.bplist"), binaryList("trailer offset size is not 1 to 8 bytes"));
}

TEST(Part2_1_MalformedArchive, TrailerOffsetSizeNine) {
    EXPECT_EQ(openFailure("trailer-offset-size-9.bplist"), binaryList("trailer offset size is not 1 to 8 bytes"));
}

TEST(Part2_1_MalformedArchive, TrailerReferenceSizeZero) {
    EXPECT_EQ(openFailure("trailer-ref-size-0.bplist"), binaryList("trailer reference size is not 1 to 8 bytes"));
}

TEST(Part2_1_MalformedArchive, TrailerZeroObjects) {
    EXPECT_EQ(openFailure("trailer-zero-objects.bplist"), binaryList("trailer says there are no objects"));
}

TEST(Part2_1_MalformedArchive, TrailerObjectCountOnePastTheLimit) {
    // ArchiveLimits::kMaxCount + 1 = 2^63 objects.
    EXPECT_EQ(openFailure("trailer-count-above-int64-max.bplist"), binaryList("trailer object count is too large"));
}

TEST(Part2_1_MalformedArchive, TrailerTopObjectOutOfRange) {
    EXPECT_EQ(openFailure("trailer-top-object-out-of-range.bplist"),
              binaryList("trailer top object lies outside the object table"));
}

TEST(Part2_1_MalformedArchive, OffsetTableStartsInsideTheHeader) {
    EXPECT_EQ(openFailure("trailer-table-inside-header.bplist"), binaryList("offset table starts inside the header"));
}

TEST(Part2_1_MalformedArchive, OffsetTableStartsPastTheTrailer) {
    EXPECT_EQ(openFailure("trailer-table-past-trailer.bplist"), binaryList("offset table starts past the trailer"));
}

TEST(Part2_1_MalformedArchive, TrailingGarbageBeforeTheTrailer) {
    EXPECT_EQ(openFailure("trailing-garbage.bplist"), binaryList("offset table does not end where the trailer begins"));
}

TEST(Part2_1_MalformedArchive, ObjectCountDisagreesWithTheLength) {
    EXPECT_EQ(openFailure("trailer-count-too-large-for-length.bplist"),
              binaryList("offset table does not end where the trailer begins"));
}

TEST(Part2_1_MalformedArchive, ReferenceSizeTooSmallForTheObjectCount) {
    EXPECT_EQ(openFailure("trailer-ref-size-too-small.bplist"),
              binaryList("trailer reference size is too small for the object count"));
}

TEST(Part2_1_MalformedArchive, OffsetSizeTooSmallToReachTheOffsetTable) {
    EXPECT_EQ(openFailure("trailer-offset-size-too-small.bplist"),
              binaryList("trailer offset size is too small to reach the offset table"));
}

// ---- the offset table and object extents ----------------------------------------------------------

TEST(Part2_1_MalformedArchive, OffsetTableEntryPointsIntoTheHeader) {
    EXPECT_EQ(openFailure("offset-into-header.bplist"), binaryList("offset table entry 1 points into the header"));
}

TEST(Part2_1_MalformedArchive, OffsetTableEntryPointsPastTheObjectArea) {
    EXPECT_EQ(openFailure("offset-past-object-area.bplist"),
              binaryList("offset table entry 1 points past the object area"));
}

TEST(Part2_1_MalformedArchive, ObjectRunsPastTheObjectArea) {
    // The last object, a string of $classes, says 14 bytes where 8 are left; it is met when the root's
    // class is read.
    EXPECT_EQ(openFailure("object-past-object-area.bplist"), kNoFailure);
    EXPECT_EQ(rootFailure("object-past-object-area.bplist"), binaryList("object 26 runs past the object area"));
}

TEST(Part2_1_MalformedArchive, ExtendedLengthThatIsNegative) {
    // 0x4F 0x13 0xFFFFFFFFFFFFFFFF: data whose length, a signed 8-byte integer, is -1.
    EXPECT_EQ(rootFailure("extended-length-negative.bplist"), binaryList("object 15 has a negative length"));
}

TEST(Part2_1_MalformedArchive, ExtendedLengthWhoseSizeOverflows) {
    // A dictionary of 2^63 - 1 entries: its size in bytes does not fit in 64 bits.
    EXPECT_EQ(rootFailure("extended-length-overflows.bplist"), binaryList("object 12 runs past the object area"));
}

// ---- markers (format §1.2) -------------------------------------------------------------------------

TEST(Part2_1_MalformedArchive, UnknownMarker) {
    EXPECT_EQ(rootFailure("unknown-marker.bplist"), binaryList("object 12 has the unsupported marker 0x70"));
}

TEST(Part2_1_MalformedArchive, FillMarker) {
    EXPECT_EQ(rootFailure("fill-marker.bplist"), binaryList("object 12 has the unsupported marker 0x0f"));
}

TEST(Part2_1_MalformedArchive, IntegerWiderThan16Bytes) {
    EXPECT_EQ(rootFailure("integer-wider-than-16-bytes.bplist"), binaryList("object 12 is an integer wider than 16 bytes"));
}

TEST(Part2_1_MalformedArchive, RealOf2Bytes) {
    EXPECT_EQ(rootFailure("real-of-2-bytes.bplist"), binaryList("object 12 is a real that is neither 4 nor 8 bytes"));
}

TEST(Part2_1_MalformedArchive, UIDAbove32Bits) {
    EXPECT_EQ(rootFailure("uid-above-uint32.bplist"), binaryList("object 9 is a UID above 2^32 - 1"));
}

TEST(Part2_1_MalformedArchive, ArrayReferenceOutOfRange) {
    EXPECT_EQ(rootFailure("array-ref-out-of-range.bplist"),
              binaryList("reference 254 lies outside the object table of 23 objects"));
}

TEST(Part2_1_MalformedArchive, ASCIIStringWithAHighByte) {
    EXPECT_EQ(rootFailure("ascii-string-with-high-byte.bplist"),
              binaryList("object 12 is an ASCII string with a non-ASCII byte"));
}

// ---- cycles and depth ------------------------------------------------------------------------------

TEST(Part2_1_MalformedArchive, ObjectsArrayThatContainsItself) {
    // UID 1 leads to $objects itself: a plist cycle where the archive expects an object.
    EXPECT_EQ(rootFailure("objects-array-contains-itself.bplist"),
              invalidUnarchive("keyed archive: the $objects entry of UID 1 is an array, which no archived object can be"));
    EXPECT_EQ(dumpFailure("objects-array-contains-itself.bplist"),
              invalidUnarchive("keyed archive: the $objects entry of UID 1 is an array, which no archived object can be"));
}

TEST(Part2_1_MalformedArchive, NSObjectsArrayThatContainsItself) {
    EXPECT_EQ(rootFailure("ns-objects-contains-itself.bplist"),
              invalidUnarchive("-[NSKeyedUnarchiver _decodeArrayOfObjectsForKey:]: value for key (NS.objects) is an "
                               "array holding something other than references"));
    // The dump follows inline arrays, down to the depth limit.
    EXPECT_EQ(dumpFailure("ns-objects-contains-itself.bplist"),
              invalidArgument("keyed archive: values nest deeper than 512 levels"));
}

TEST(Part2_1_MalformedArchive, NSArrayThatContainsItself) {
    EXPECT_EQ(rootFailure("array-contains-itself.bplist"),
              invalidUnarchive("keyed archive: UID 1 (NSArray) is referred to from inside itself; a collection or "
                               "URL cannot contain itself"));
    EXPECT_EQ(dumpFailure("array-contains-itself.bplist"), kNoFailure);  // printed once, then "@1"
}

TEST(Part2_1_MalformedArchive, URLThatIsItsOwnBase) {
    EXPECT_EQ(rootFailure("url-is-its-own-base.bplist"),
              invalidUnarchive("keyed archive: UID 1 (NSURL) is referred to from inside itself; a collection or URL "
                               "cannot contain itself"));
}

TEST(Part2_1_MalformedArchive, FuzzURLBaseCycle) {
    // Found by the fuzzer as a leak: the URL owned itself through NS.base, and would have recursed
    // forever in absoluteString.
    EXPECT_EQ(rootFailure("fuzz-url-base-cycle.plist"),
              invalidUnarchive("keyed archive: UID 1 (NSURL) is referred to from inside itself; a collection or URL "
                               "cannot contain itself"));
}

TEST(Part2_1_MalformedArchive, ArraysNestedThousandsDeepInBinary) {
    // $top = {root: "x", deep: [[[…3000…]]]}: the unarchiver reads values in place and never walks
    // them; the dump walks them and stops at the depth limit.
    const auto data = malformed("nested-arrays-3000.bplist");
    const auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(data);
    const auto root = std::dynamic_pointer_cast<NSString>(unarchiver->decodeObjectForKey("root"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->UTF8String(), "x");
    EXPECT_EQ(failureOf([&] { unarchiver->decodeObjectForKey("deep"); }),
              invalidUnarchive("-[NSKeyedUnarchiver decodeObjectForKey:]: value for key (deep) is an array"));
    EXPECT_EQ(dumpFailure("nested-arrays-3000.bplist"), invalidArgument("keyed archive: values nest deeper than 512 levels"));
}

TEST(Part2_1_MalformedArchive, ArraysNestedThousandsDeepInXML) {
    EXPECT_EQ(openFailure("nested-arrays-3000.plist"),
              invalidArgument("XML property list: elements nest deeper than 256 levels (line 7)"));
}

TEST(Part2_1_MalformedArchive, ObjectsNestedThousandsDeep) {
    EXPECT_EQ(rootFailure("nested-objects-3000.bplist"), invalidUnarchive("keyed archive: objects nest deeper than 512 levels"));
    EXPECT_EQ(dumpFailure("nested-objects-3000.bplist"), kNoFailure);  // the dump lists objects breadth first
}

// ---- keyed-archive structure (format §2) -----------------------------------------------------------

TEST(Part2_1_MalformedArchive, RootUIDOutOfRange) {
    EXPECT_EQ(openFailure("root-uid-out-of-range.bplist"), kNoFailure);
    EXPECT_EQ(rootFailure("root-uid-out-of-range.bplist"),
              invalidArgument("keyed archive: UID 99 lies outside $objects (2 entries)"));
}

TEST(Part2_1_MalformedArchive, ObjectWithoutClass) {
    EXPECT_EQ(rootFailure("object-without-class.bplist"), invalidArgument("keyed archive: the object of UID 1 has no $class"));
}

TEST(Part2_1_MalformedArchive, ClassThatIsNotADictionary) {
    EXPECT_EQ(rootFailure("class-not-a-dictionary.bplist"), invalidArgument("keyed archive: class UID 2 is not a dictionary"));
}

TEST(Part2_1_MalformedArchive, ClassWithoutClassName) {
    EXPECT_EQ(rootFailure("class-without-classname.bplist"), invalidArgument("keyed archive: class UID 2 has no $classname"));
}

TEST(Part2_1_MalformedArchive, VersionIsNot100000) {
    EXPECT_EQ(openFailure("version-not-100000.bplist"), invalidArgument("keyed archive: $version is 99999, not 100000"));
}

TEST(Part2_1_MalformedArchive, NoObjects) {
    EXPECT_EQ(openFailure("no-objects.bplist"), invalidArgument("keyed archive: no $objects entry"));
}

// ---- values of the wrong kind (format §3.2) --------------------------------------------------------

TEST(Part2_1_MalformedArchive, StringWhereAnIntegerIsAsked) {
    const auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(malformed("string-for-int64.bplist"));
    EXPECT_EQ(failureOf([&] { unarchiver->decodeInt64ForKey("count"); }),
              invalidUnarchive("-[NSKeyedUnarchiver decodeInt64ForKey:]: value for key (count) is a string"));
}

TEST(Part2_1_MalformedArchive, RealWhereAnIntegerIsAsked) {
    const auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(malformed("real-for-integer.bplist"));
    EXPECT_EQ(failureOf([&] { unarchiver->decodeIntegerForKey("count"); }),
              invalidUnarchive("-[NSKeyedUnarchiver decodeIntegerForKey:]: value for key (count) is a real"));
    EXPECT_EQ(failureOf([&] { unarchiver->decodeIntForKey("count"); }),
              invalidUnarchive("-[NSKeyedUnarchiver decodeIntForKey:]: value for key (count) is a real"));
}

TEST(Part2_1_MalformedArchive, IntegerWhereADoubleIsAsked) {
    const auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(malformed("integer-for-double.bplist"));
    EXPECT_EQ(failureOf([&] { unarchiver->decodeDoubleForKey("scale"); }),
              invalidUnarchive("-[NSKeyedUnarchiver decodeDoubleForKey:]: value for key (scale) is an integer"));
    EXPECT_EQ(failureOf([&] { unarchiver->decodeFloatForKey("scale"); }),
              invalidUnarchive("-[NSKeyedUnarchiver decodeFloatForKey:]: value for key (scale) is an integer"));
}

TEST(Part2_1_MalformedArchive, DataWhereAnObjectReferenceIsExpected) {
    EXPECT_EQ(rootFailure("data-for-object.bplist"),
              invalidUnarchive("-[NSKeyedUnarchiver decodeObjectForKey:]: value for key (root) is data"));
}

TEST(Part2_1_MalformedArchive, NSObjectsHoldingANonReference) {
    EXPECT_EQ(rootFailure("ns-objects-holds-non-uid.bplist"),
              invalidUnarchive("-[NSKeyedUnarchiver _decodeArrayOfObjectsForKey:]: value for key (NS.objects) is an "
                               "array holding something other than references"));
}

TEST(Part2_1_MalformedArchive, DictionaryKeysAndObjectsOfDifferentLengths) {
    EXPECT_EQ(rootFailure("dictionary-keys-and-objects-differ.bplist"),
              invalidUnarchive("keyed archive: NSDictionary has 2 keys (NS.keys) but 1 values (NS.objects)"));
}

TEST(Part2_1_MalformedArchive, UUIDOf15Bytes) {
    EXPECT_EQ(rootFailure("uuid-of-15-bytes.bplist"), invalidUnarchive("NS.uuidbytes holds 15 bytes, not 16"));
}

// ---- XML property lists -----------------------------------------------------------------------------

TEST(Part2_1_MalformedArchive, XMLThatIsNotWellFormed) {
    // The words after the prefix are libxml2's own.
    EXPECT_EQ(openFailure("not-well-formed.plist"),
              invalidArgument("XML property list: Premature end of data in tag plist line 3"));
}

TEST(Part2_1_MalformedArchive, XMLExternalEntityIsNeitherFetchedNorExpanded) {
    EXPECT_EQ(openFailure("external-entity.plist"),
              invalidArgument("XML property list: <string> holds a reference to the entity &secret;, which is not "
                              "expanded"));
}

TEST(Part2_1_MalformedArchive, XMLBillionLaughsIsNotExpanded) {
    EXPECT_EQ(openFailure("billion-laughs.plist"),
              invalidArgument("XML property list: entities refer to one another in a loop or expand too much (line 3)"));
}

// ---- memory and time --------------------------------------------------------------------------------

TEST(Part2_1_MalformedArchive, AmplifiedStringsStopAtTheMemoryBudget) {
    // 100000 UIDs, each its own $objects entry, all leading to one 64 KiB string (a DAG of the
    // property list): 6.4 GB once decoded. Decoding stops at ArchiveLimits::kMaxDecodedBytes.
    EXPECT_EQ(rootFailure("amplified-strings.bplist"),
              invalidUnarchive("keyed archive: decoding it would take more than 512 MiB of memory"));
    EXPECT_EQ(dumpFailure("amplified-strings.bplist"),
              invalidUnarchive("keyed archive: decoding it would take more than 512 MiB of memory"));
}

TEST(Part2_1_MalformedArchive, AmplifiedDataStopsAtTheMemoryBudget) {
    // One NSMutableData dictionary of 256 KiB under 10000 UIDs: each decode copies the data (2.5 GB).
    EXPECT_EQ(rootFailure("amplified-data.bplist"),
              invalidUnarchive("keyed archive: decoding it would take more than 512 MiB of memory"));
    EXPECT_EQ(dumpFailure("amplified-data.bplist"), kNoFailure);  // the dump prints 32 bytes of each
}

TEST(Part2_1_MalformedArchive, SharedDictionaryUnderManyUIDsStopsAtTheMemoryBudget) {
    // One dictionary of 20000 keys as 2000 objects: each decode indexes its keys anew.
    EXPECT_EQ(rootFailure("shared-dictionary-many-uids.bplist"),
              invalidUnarchive("keyed archive: decoding it would take more than 512 MiB of memory"));
    EXPECT_EQ(dumpFailure("shared-dictionary-many-uids.bplist"),
              invalidArgument("keyed archive: values are shared too often to print"));
}

TEST(Part2_1_MalformedArchive, OrderedSetWithManyKeysDecodes) {
    // 5000 keys NS.object.0 … NS.object.4999, read through an index of them (linear time).
    const auto root = NSKeyedUnarchiver::unarchiveObjectWithData(malformed("ordered-set-many-keys.bplist"));
    const auto set = std::dynamic_pointer_cast<NSOrderedSet>(root);
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set->count(), 5000u);
    for (size_t i = 0; i < set->count(); i += 999) {
        const auto number = std::dynamic_pointer_cast<NSNumber>(set->array()[i]);
        ASSERT_NE(number, nullptr);
        EXPECT_EQ(number->integerValue(), static_cast<int64_t>(i));
    }
    EXPECT_EQ(dumpFailure("ordered-set-many-keys.bplist"), kNoFailure);
}

// ---- the limits of ArchiveLimits.h, at and one past each ------------------------------------------------

TEST(Part2_1_MalformedArchive, ObjectsNest512DeepButNot513) {
    // kMaxNestingDepth: 512 NSArrays, each holding the next, decode; 513 do not.
    const auto root = NSKeyedUnarchiver::unarchiveObjectWithData(malformed("nested-objects-512.bplist"));
    unsigned depth = 0;
    for (auto array = std::dynamic_pointer_cast<NSArray>(root); array;
         array = array->count() ? std::dynamic_pointer_cast<NSArray>(array->objectAtIndex(0)) : nullptr)
        ++depth;
    EXPECT_EQ(depth, ArchiveLimits::kMaxNestingDepth);
    EXPECT_EQ(rootFailure("nested-objects-513.bplist"), invalidUnarchive("keyed archive: objects nest deeper than 512 levels"));
}

std::string nestedXML(unsigned depth) {
    std::string xml;
    for (unsigned i = 0; i < depth; ++i) xml += "<array>";
    for (unsigned i = 0; i < depth; ++i) xml += "</array>";
    return xml;
}

Failure xmlFailure(const std::string& xml) {
    return failureOf([&] {
        plist::parseXMLPropertyList({reinterpret_cast<const uint8_t*>(xml.data()), xml.size()});
    });
}

TEST(Part2_1_MalformedArchive, XMLElementsNest257DeepButNot258) {
    // libxml2's bound (xmlParserMaxDepth, 256 elements open around the next one) comes before
    // kMaxNestingDepth in XML; the reason says so in plain words.
    EXPECT_EQ(xmlFailure(nestedXML(257)), kNoFailure);
    EXPECT_EQ(xmlFailure(nestedXML(258)), invalidArgument("XML property list: elements nest deeper than 256 levels (line 1)"));
}

TEST(Part2_1_MalformedArchive, XMLOfMoreThan2000000TagsIsRefusedBeforeParsing) {
    // kMaxXMLTags: one "<" more than the limit is refused unparsed; at the limit, libxml2 parses (and
    // refuses "<<<…" for its own reason).
    const std::string atLimit(ArchiveLimits::kMaxXMLTags, '<');
    const Failure parsed = xmlFailure(atLimit);
    EXPECT_EQ(parsed.name, NSInvalidArgumentException);
    EXPECT_NE(parsed.reason, "XML property list: file holds more than 2000000 tags");
    EXPECT_EQ(xmlFailure(atLimit + "<"), invalidArgument("XML property list: file holds more than 2000000 tags"));
}

TEST(Part2_1_MalformedArchive, XMLOfMoreThan256MiBIsRefusedBeforeParsing) {
    // kMaxXMLPropertyListBytes + 1 bytes, mapped but never touched beyond the first page: the size is
    // checked before anything is read, so the test costs no memory.
    const size_t size = ArchiveLimits::kMaxXMLPropertyListBytes + 1;
    void* address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(address, MAP_FAILED);
    static_cast<uint8_t*>(address)[0] = '<';
    const std::shared_ptr<const void> owner(address,
                                            [length = size](const void* p) { munmap(const_cast<void*>(p), length); });
    const auto data = std::make_shared<NSData>(owner, std::span<const uint8_t>(static_cast<const uint8_t*>(address), size));
    EXPECT_EQ(failureOf([&] { NSKeyedUnarchiver::initForReadingWithData(data); }),
              invalidArgument("XML property list: file is larger than 256 MiB"));
}

TEST(Part2_1_MalformedArchive, KeysAreScannedUpTo16AndIndexedFrom17WithTheFirstOfEqualKeysWinning) {
    // kLinearKeyScanLimit changes how keys are found, never which value: in both a duplicate key
    // resolves to its first entry.
    for (unsigned count : {static_cast<unsigned>(ArchiveLimits::kLinearKeyScanLimit),
                           static_cast<unsigned>(ArchiveLimits::kLinearKeyScanLimit + 1)}) {
        std::vector<std::pair<plist::Value, plist::Value>> entries;
        for (unsigned i = 0; i + 1 < count; ++i)
            entries.emplace_back(plist::Value::string("k" + std::to_string(i)),
                                 plist::Value::integer(plist::Integer::fromSigned(i)));
        entries.emplace_back(plist::Value::string("k0"), plist::Value::integer(plist::Integer::fromSigned(-1)));
        const auto bytes = plist::writeBinaryPropertyList(plist::Value::dictionary(std::move(entries)));
        const auto data = NSData::dataWithVector(bytes);
        const auto list = plist::openPropertyList(*data);
        plist::PropertyListDictionary dictionary(*list, list->object(list->topObject()));
        ASSERT_EQ(dictionary.info().count, count);
        const auto k0 = dictionary.lookup("k0");
        ASSERT_TRUE(k0.has_value()) << count;
        EXPECT_EQ(list->integerValue(list->object(*k0)).signedValue(), 0) << count;
        const auto last = dictionary.lookup("k" + std::to_string(count - 2));
        ASSERT_TRUE(last.has_value()) << count;
        EXPECT_EQ(list->integerValue(list->object(*last)).signedValue(), count - 2) << count;
        EXPECT_FALSE(dictionary.lookup("absent").has_value()) << count;
    }
}

}  // namespace
