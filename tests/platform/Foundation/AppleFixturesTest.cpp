// Archives written by Apple's Foundation (tests/data/apple-keyed-archives, sources in SOURCES.md
// there) decode through NSKeyedUnarchiver to exactly what they hold, sharing included.
//
// Classes the program does not have are RecordedObjects of the keys below. Apple's unkeyed encodes
// write generic keys "$0", "$1", … which the keyed API never reads (it escapes "$0" to "$$0", as
// Foundation does); the tests read them from a copy of the file in which only the '$' of each
// generic key is replaced by '_'.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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

}  // namespace

// Each fixture decodes to what its file in apple-keyed-archives-decoded holds
// (VANTLER_UPDATE_DOCUMENTS=1 rewrites them); a new fixture without one fails. The large capture
// below has a test of its own.
TEST(AppleKeyedArchives, EveryFixtureDecodesToWhatItHolds) {
    const auto decoded = test::dataDir() / "apple-keyed-archives-decoded";
    for (const auto& name : test::filesIn(test::fixturesDir())) {
        if (name == "SOURCES.md" || name == "libnskeyedarchiver-nsarray_runningprocesses.bplist")
            continue;
        SCOPED_TRACE(name);
        const std::string text = test::describe(decodeTop(name)) + "\n";
        if (std::getenv("VANTLER_UPDATE_DOCUMENTS"))
            test::writeFile(decoded / (name + ".txt"), {text.begin(), text.end()});
        const auto golden = test::readFile(decoded / (name + ".txt"));
        EXPECT_EQ(text, std::string(golden.begin(), golden.end()));
    }
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
