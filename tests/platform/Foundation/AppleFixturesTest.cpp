// Archives written by Apple's Foundation (tests/data/apple-keyed-archives, sources in SOURCES.md
// there) decode through NSKeyedUnarchiver to exactly what they hold, sharing included.
//
// Classes the program does not have are RecordedObjects of the keys below. Apple's unkeyed encodes
// write generic keys "$0", "$1", … which the keyed API never reads (it escapes "$0" to "$$0", as
// Foundation does); the tests read them from a copy of the file in which only the '$' of each
// generic key is replaced by '_'.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "BinaryPropertyList.h"
#include "FoundationTestSupport.h"
#include "KeyedArchive.h"
#include "TestSupport.h"

namespace {

const test::RecordedClass kClasses[] = {
    // clang-format off
    {{"crap.Foo", &NSObject::objcClass()}, "title count:i active:b categories metadata recursive"},
    {{"JNStreamTable", &NSObject::objcClass()}, "tableID rowHeader:i replyHeader:i replyColumns columns"},
    {{"JNStreamTableUInt8Column", &NSObject::objcClass()}, "keyPath stopValue"},
    {{"JNStreamTableUInt64Column", &NSObject::objcClass()}, "keyPath stopValue"},
    {{"JNStreamTableStringColumn", &NSObject::objcClass()}, "keyPath stopValue"},
    {{"JNStreamTablePackedValueColumn", &NSObject::objcClass()}, "keyPath stopValue"},
    {{"JNStreamTableDictionaryColumn", &NSObject::objcClass()}, "keyPath stopValue keyColumn valueColumn"},
    {{"NSValue", &NSObject::objcClass()}, "NS.special:i NS.rangeval.location NS.rangeval.length NS.rectval NS.edgeval.top:d NS.edgeval.left:d NS.edgeval.bottom:d NS.edgeval.right:d _0 _1"},
    {{"_NSKeyedCoderOldStyleArray", &NSObject::objcClass()}, "NS.count:i NS.size:i NS.type:i _0:i _1:i _2:i"},
    {{"NSNotification", &NSObject::objcClass()}, "NS.name NS.object NS.userinfo"},
    {{"NSCountedSet", &NSObject::objcClass()}, "NS.count:i NS.object0 NS.count0:i NS.object1 NS.count1:i NS.object2 NS.count2:i NS.object3 NS.count3:i NS.object4 NS.count4:i"},
    {{"NSIndexSet", &NSObject::objcClass()}, "NSRangeCount:i NSRangeData"},
    {{"NSMeasurement", &NSObject::objcClass()}, "NS.value:d NS.unit"},
    {{"NSUnitAngle", &NSObject::objcClass()}, "NS.symbol NS.converter NS.specifier:i"},
    {{"NSUnitConverterLinear", &NSObject::objcClass()}, "NS.coefficient:d NS.constant:d"},
    {{"NSMutableAttributedString", &NSObject::objcClass()}, "NSString NSAttributes NSAttributeInfo"},
    {{"NSByteCountFormatter", &NSObject::objcClass()}, "NSNoNonnumeric:b NSNoUnit:b NSZeroPad:b NSNoCount:b NSNoAdaptive:b NSAllowsNonnumeric:b NSUnits:i NSKBSize:i NSFormattingContext:i"},
    {{"NSLocale", &NSObject::objcClass()}, "NS.identifier"},
    {{"NSTimeZone", &NSObject::objcClass()}, "NS.name NS.data"},
    {{"NSCalendar", &NSObject::objcClass()}, "NS.identifier NS.gstartdate NS.locale NS.timezone NS.firstwkdy:i NS.mindays:i"},
    {{"NSDateIntervalFormatter", &NSObject::objcClass()}, "NS.locale NS.calendar NS.timeZone NS.dateStyle:i NS.timeStyle:i NS.dateTemplate NS.dateTemplateFromStyles NS.modified:b NS.useTemplate:b"},
    // clang-format on
};

std::vector<uint8_t> fixtureBytes(const std::string& name) {
    return test::readFile(test::fixturesDir() / name);
}

bool isGenericKey(std::string_view key) {
    return key.size() >= 2 && key[0] == '$' &&
           std::all_of(key.begin() + 1, key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The archive with every generic key "$<n>" renamed "_<n>", the file otherwise unchanged.
std::vector<uint8_t> exposeGenericKeys(std::vector<uint8_t> bytes) {
    if (!plist::BinaryPropertyList::hasBinaryHeader(bytes)) {
        const std::string xml(bytes.begin(), bytes.end());
        const std::string exposed =
            std::regex_replace(xml, std::regex(R"(<key>\$([0-9]+)</key>)"), "<key>_$1</key>");
        return {exposed.begin(), exposed.end()};
    }
    std::vector<uint64_t> dollars;
    auto copy = std::make_shared<std::vector<uint8_t>>(bytes);
    plist::BinaryPropertyList list(copy, std::span<const uint8_t>(*copy));
    for (uint64_t ref = 0; ref < list.objectCount(); ++ref) {
        const auto object = list.object(ref);
        for (uint64_t i = 0; object.kind == plist::Kind::Dictionary && i < object.count; ++i) {
            const auto key = list.object(list.keyRef(object, i));
            if (key.kind == plist::Kind::String && !key.isUTF16 &&
                isGenericKey(list.asciiStringView(key)))
                dollars.push_back(key.payload);
        }
    }
    for (uint64_t offset : dollars) bytes[offset] = '_';
    return bytes;
}

std::shared_ptr<NSKeyedUnarchiver> openArchive(std::vector<uint8_t> bytes) {
    // The registry is process-wide and other tests register some of these names too.
    for (const auto& recorded : kClasses) test::registerRecordedClass(recorded);
    return NSKeyedUnarchiver::initForReadingWithData(NSData::dataWithVector(std::move(bytes)));
}

// What the archive holds: its root, or the objects under its generic keys in order.
std::vector<std::shared_ptr<NSObject>> decodeTop(const std::string& name) {
    const auto bytes = fixtureBytes(name);
    const KeyedArchive raw(*NSData::dataWithVector(bytes));
    auto unarchiver = openArchive(exposeGenericKeys(bytes));
    std::vector<std::shared_ptr<NSObject>> top;
    if (unarchiver->containsValueForKey(NSKeyedArchiveRootObjectKey)) {
        top.push_back(unarchiver->decodeObjectForKey(NSKeyedArchiveRootObjectKey));
    } else {
        for (uint64_t i = 0; i < raw.top().count; ++i)
            top.push_back(unarchiver->decodeObjectForKey("_" + std::to_string(i)));
    }
    unarchiver->finishDecoding();
    return top;
}

struct Fixture {
    const char* name;
    const char* contents;  // test::describe of decodeTop
};

const Fixture kFixtures[] = {
    // clang-format off
    {"bpylist2-complex_archive.plist", R"~(crap.Foo{title: "yo", count: 42, active: true, categories: NSArray["banana", )~" R"~("apple"], metadata: NSDictionary{"fruit": "kiwi", "veg": "asparagus"}})~"},
    {"bpylist2-fullChangeLog.bplist", R"~(JNStreamTable{tableID: "fullChangeLog", rowHeader: 2, replyHeader: 0, )~" R"~(replyColumns: nil, columns: NSArray[JNStreamTableUInt8Column{keyPath: "changeType", )~" R"~(stopValue: nil}, JNStreamTableUInt64Column{keyPath: "syncID", stopValue: nil}, )~" R"~(JNStreamTableUInt64Column{keyPath: "changeLogID", stopValue: nil}, )~" R"~(JNStreamTableStringColumn{keyPath: "className", stopValue: nil}, )~" R"~(JNStreamTableUInt64Column{keyPath: "primaryKey", stopValue: nil}, )~" R"~(JNStreamTableUInt8Column{keyPath: "unneeded", stopValue: nil}, )~" R"~(JNStreamTableDictionaryColumn{keyPath: "changeData", stopValue: nil, )~" R"~(keyColumn: JNStreamTableStringColumn{keyPath: "key", stopValue: ""}, )~" R"~(valueColumn: JNStreamTablePackedValueColumn{keyPath: "value", stopValue: nil}}]})~"},
    {"bpylist2-recursive_archive.plist", R"~(crap.Foo{title: "hello", recursive: crap.Foo{title: "yo", recursive: nil}})~"},
    {"cpython-test_plistlib-KEYED_ARCHIVE.bplist", R"~("KeyArchive UID Test")~"},
    {"libnskeyedarchiver-integer_10.bplist", R"~(10)~"},
    {"libnskeyedarchiver-nsdictionary_setconfig.bplist", R"~(NSDictionary{"ur": 500, )~" R"~("tc": NSArray[NSMutableDictionary{"kdf2": NSMutableSet(630784000, 833617920, )~" R"~(830472456), "tk": 3, )~" R"~("uuid": NSMutableString"2C46B61A-CDA9-4D59-B901-22E28B08C260"}], "rp": 10})~"},
    {"nskeyedarchiver-go-arrays.bin", R"~(NSArray[#1=1, #1, 1d, 1.5d, <61736466617364666164736661647366>, #2=true, "Hello, )~" R"~(World!", "Hello, World!", "Hello, World!", #3=false, #3, #4=42], NSMutableArray[#2, )~" R"~("Hello, World!", #4], NSSet(#2), NSMutableSet(#4, #2, "Hello, World!"))~"},
    {"nskeyedarchiver-go-dict.bin", R"~(NSDictionary{"int": 1, #1="string": #1, "array": NSMutableArray[true, "Hello, )~" R"~(World!", 42]})~"},
    {"nskeyedarchiver-go-primitives.bin", R"~(#1=1, #1, 1d, 1.5d, <61736466617364666164736661647366>, true, "Hello, World!", )~" R"~("Hello, World!", "Hello, World!", #2=false, #2, 42)~"},
    {"nskeyedarchiver-go-primitives.xml", R"~(#1=1, #1, 1d, 1.5d, <61736466617364666164736661647366>, true, "Hello, World!", )~" R"~("Hello, World!", "Hello, World!", #2=false, #2, 42)~"},
    {"scf-NSKeyedUnarchiver-ArrayTest.plist", R"~(NSArray[#1="baa", #1, "black", "sheep"])~"},
    {"scf-NSKeyedUnarchiver-ComplexTest.plist", R"~(NSDictionary{"array": NSArray[null, #1="hello", 34545, NSDictionary{"key": "val"}], )~" R"~("string": #1, "url": NSURL("index.xml" base NSURL("https://www.swift.org")), )~" R"~("uuid": NSUUID(71DC068E-3420-45FF-919E-3A267D55EC22)})~"},
    {"scf-NSKeyedUnarchiver-ConcreteValueTest.plist", R"~(NSValue{_0: "[3i]", _1: _NSKeyedCoderOldStyleArray{NS.count: 3, NS.size: 4, )~" R"~(NS.type: 105, _0: 1, _1: 2, _2: 3}})~"},
    {"scf-NSKeyedUnarchiver-EdgeInsetsTest.plist", R"~(NSValue{NS.special: 12, NS.edgeval.top: 1d, NS.edgeval.left: 2d, )~" R"~(NS.edgeval.bottom: 3d, NS.edgeval.right: 4d})~"},
    {"scf-NSKeyedUnarchiver-NotificationTest.plist", R"~(NSNotification{NS.name: "notification-name", NS.object: "notification-object", )~" R"~(NS.userinfo: NSDictionary{"notification-key": "notification-val"}})~"},
    {"scf-NSKeyedUnarchiver-OrderedSetTest.plist", R"~(NSOrderedSet("valgeir", "nico", "puzzle"))~"},
    {"scf-NSKeyedUnarchiver-RangeTest.plist", R"~(NSValue{NS.special: 4, NS.rangeval.location: 97345, NS.rangeval.length: 98345})~"},
    {"scf-NSKeyedUnarchiver-RectTest.plist", R"~(NSValue{NS.special: 3, NS.rectval: "{{400, 300}, {200, 300}}"})~"},
    {"scf-NSKeyedUnarchiver-URLTest.plist", R"~(NSURL("foo.xml" base NSURL("https://www.example.com")))~"},
    {"scf-NSKeyedUnarchiver-UUIDTest.plist", R"~(NSUUID(0AD863BA-7584-40CF-8896-BD87B3280C34))~"},
    {"scf-macOS-10.14-ByteCountFormatter-AllFieldsSet.archive", R"~(NSByteCountFormatter{NSNoNonnumeric: true, NSNoUnit: true, NSZeroPad: true, )~" R"~(NSNoCount: true, NSNoAdaptive: true, NSUnits: 3, NSKBSize: 2, )~" R"~(NSFormattingContext: 4})~"},
    {"scf-macOS-10.14-DateIntervalFormatter-ValuesSetWithoutTemplate.archive", R"~(NSDateIntervalFormatter{NS.locale: NSLocale{NS.identifier: #1="ja-JP"}, )~" R"~(NS.calendar: NSCalendar{NS.identifier: "gregorian", )~" R"~(NS.gstartdate: NSDate(-13197600000), NS.locale: NSLocale{NS.identifier: #1}, )~" R"~(NS.timezone: NSTimeZone{NS.name: "GMT", )~" R"~(NS.data: NSMutableData<545a696632000000000000000000000000000000000000010000000100000)~" R"~(000000000000000000100000004000000000000474d54000000545a69663200000000000000000000000)~" R"~(0000000000000010000000100000000000000000000000100000004000000000000474d540000000a474)~" R"~(d54300a>}, NS.firstwkdy: 1, NS.mindays: 1}, )~" R"~(NS.timeZone: NSTimeZone{NS.name: "GMT+0100", NS.data: nil}, NS.dateStyle: 3, )~" R"~(NS.timeStyle: 0, NS.dateTemplate: "", NS.dateTemplateFromStyles: "y年M月d日", )~" R"~(NS.modified: true, NS.useTemplate: false})~"},
    {"scf-macOS-10.14-NSCountedSet-NumbersAppearingSeveralTimes.archive", R"~(NSCountedSet{NS.count: 5, NS.object0: 3, NS.count0: 5, NS.object1: 2, NS.count1: 5, )~" R"~(NS.object2: 5, NS.count2: 5, NS.object3: 1, NS.count3: 5, NS.object4: 4, )~" R"~(NS.count4: 5})~"},
    {"scf-macOS-10.14-NSIndexSet-ManyRanges.archive", R"~(NSIndexSet{NSRangeCount: 4, )~" R"~(NSRangeData: NSMutableData<00326432e80732cdffffffffffffff7f32>})~"},
    {"scf-macOS-10.14-NSMeasurement-Angle.archive", R"~(NSMeasurement{NS.value: 90d, NS.unit: NSUnitAngle{NS.symbol: "°", )~" R"~(NS.converter: NSUnitConverterLinear{NS.coefficient: 1d, NS.constant: 0d}, )~" R"~(NS.specifier: 256}})~"},
    {"scf-macOS-10.14-NSMutableAttributedString.archive", R"~(NSMutableAttributedString{NSString: NSMutableString"0123456789", )~" R"~(NSAttributes: NSMutableArray[NSDictionary{}, NSDictionary{#1="Size": 123, )~" R"~(#2="Font": "Helvetica"}, NSDictionary{#1: #3=456, #2: #4="Times"}, )~" R"~(NSDictionary{#1: #3, #2: #4}], )~" R"~(NSAttributeInfo: NSMutableData<010001010402020101030100>})~"},
    {"scf-macOS-10.14-NSMutableOrderedSet-Numbers.archive", R"~(NSMutableOrderedSet(1, 2, 3, 4, 5))~"},
    {"scf-macOS-10.14-NSOrderedSet-Numbers.archive", R"~(NSOrderedSet(1, 2, 3, 4, 5))~"},
    {"scf-macOS-10.14-NSSet-Numbers.archive", R"~(NSSet(3, 2, 5, 1, 4))~"},
    // clang-format on
};

}  // namespace

TEST(AppleKeyedArchives, EveryFixtureDecodesToWhatItHolds) {
    std::vector<std::string> listed;
    for (const auto& fixture : kFixtures) {
        SCOPED_TRACE(fixture.name);
        listed.push_back(fixture.name);
        EXPECT_EQ(test::describe(decodeTop(fixture.name)), fixture.contents);
    }
    // The large capture below has a test of its own; any other new file needs a row here.
    listed.push_back("libnskeyedarchiver-nsarray_runningprocesses.bplist");
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(test::appleFixtureNames(), listed);
}

// An iOS capture of 328 processes: 2-byte references and UIDs, UTF-16 names, shared keys and
// booleans.
TEST(AppleKeyedArchives, RunningProcessesCapture) {
    const auto top = decodeTop("libnskeyedarchiver-nsarray_runningprocesses.bplist");
    const auto processes = std::dynamic_pointer_cast<NSMutableArray>(top.at(0));
    ASSERT_NE(processes, nullptr);
    ASSERT_EQ(processes->count(), 328u);
    // Every dictionary refers to the same five key strings, and to one true and one false.
    std::set<const NSObject*> keys, booleans;
    int64_t pidSum = 0;
    for (const auto& object : processes->objects()) {
        const auto& process = dynamic_cast<const NSDictionary&>(*object);
        booleans.insert(process.objectForKey(NSString("isApplication")).get());
        pidSum += std::dynamic_pointer_cast<NSNumber>(process.objectForKey(NSString("pid")))
                      ->integerValue();
        for (const auto& entry : process.entries()) keys.insert(entry.first.get());
    }
    EXPECT_EQ(pidSum, 12770303);
    EXPECT_EQ(keys.size(), 5u);
    EXPECT_EQ(booleans.size(), 2u);
    EXPECT_EQ(
        test::describe(processes->objectAtIndex(243)),
        R"~(NSMutableDictionary{"name": "国家反诈中心", "startDate": NSDate(680110179.2612729), )~"
        R"~("isApplication": true, "pid": 54645, )~"
        R"~("realAppName": "/var/containers/Bundle/Application/BBF9AC59-F95A-480E-8B3E-33D45E057)~"
        R"~(396/国家反诈中心.app/国家反诈中心"})~");
    EXPECT_EQ(test::describe(processes->objectAtIndex(327)),
              R"~(NSMutableDictionary{"realAppName": "mach_kernel", "isApplication": false, )~"
              R"~("name": "Mach Kernel", "pid": 0})~");
}

// Generic keys are not user keys: the keyed API reads "$0" as the escaped "$$0", so it never sees
// them.
TEST(AppleKeyedArchives, GenericKeysAreNotReadableAsKeys) {
    auto unarchiver = openArchive(fixtureBytes("nskeyedarchiver-go-primitives.bin"));
    EXPECT_FALSE(unarchiver->containsValueForKey("$0"));
    EXPECT_EQ(unarchiver->decodeObjectForKey("$0"), nullptr);
    // And the NSValue's own "$0" and "$1" stay out of reach too.
    EXPECT_EQ(
        test::describe(openArchive(fixtureBytes("scf-NSKeyedUnarchiver-ConcreteValueTest.plist"))
                           ->decodeObjectForKey(NSKeyedArchiveRootObjectKey)),
        "NSValue{}");
}
