// The rules of keyed archives that the model relies on: absent keys, the kinds each decode call
// accepts, identity and conditional objects, class chains, back references, objects that yield
// none.

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"
#include "NSException.h"
#include "TestSupport.h"

namespace {

using test::Failure;
using test::failureOf;
using test::num;
using test::RecordedObject;
using test::str;

const test::RecordedClass kNode{{"TestNode", &NSObject::objcClass()}, "name parent children"};
const test::RecordedClass kLayer{{"TestLayer", &kNode.cls}, "name parent children"};
const test::RecordedClass kUnregistered{{"Unregistered", &NSObject::objcClass()}, ""};

// An object that "yields none" when its "refuse" key is true, as a document too new to read does.
class TestRefusing : public NSObject {
  public:
    TEST_CLASS("TestRefusing", NSObject::objcClass())
    void encodeWithCoder(NSCoder& coder) const override { coder.encodeBool_forKey(true, "refuse"); }
    bool initWithCoder(NSCoder& coder) override { return !coder.decodeBoolForKey("refuse"); }
};

std::shared_ptr<NSKeyedUnarchiver> roundTrip(const std::function<void(NSKeyedArchiver&)>& encode) {
    test::registerRecordedClass(kNode);
    test::registerRecordedClass(kLayer);
    NSKeyedUnarchiver::registerClass<TestRefusing>();
    return NSKeyedUnarchiver::initForReadingWithData(test::archive(encode));
}

// An archive as Apple's archiver writes it with the XML output format.
std::shared_ptr<NSKeyedUnarchiver> decoderForXML(const std::string& top,
                                                 const std::string& objects) {
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>
<key>$archiver</key><string>NSKeyedArchiver</string><key>$version</key><integer>100000</integer>
<key>$top</key><dict>)" + top +
                            "</dict><key>$objects</key><array>" + objects +
                            "</array></dict></plist>";
    return NSKeyedUnarchiver::initForReadingWithData(
        NSData::dataWithBytes_length(xml.data(), xml.size()));
}

}  // namespace

TEST(KeyedArchive, AbsentKeysAndNullReferencesReadAsZeroFalseOrNone) {
    auto decoder = roundTrip([](NSKeyedArchiver&) {});
    EXPECT_FALSE(decoder->containsValueForKey("missing") ||
                 decoder->decodeObjectForKey("missing") || decoder->decodeBoolForKey("missing") ||
                 decoder->decodeIntegerForKey("missing") || decoder->decodeInt64ForKey("missing") ||
                 decoder->decodeIntForKey("missing") || decoder->decodeFloatForKey("missing") ||
                 decoder->decodeDoubleForKey("missing"));
    size_t length = 99;
    EXPECT_EQ(decoder->decodeBytesForKey_returnedLength("missing", &length), nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(decoder->decodeArrayOfObjectsForKey("missing").empty());
    EXPECT_FALSE(decoder->decodeStringForKey("missing").has_value());
    // UID 0, and a UID to a "$null" entry other than the first, are none too: Apple's readers
    // accept both.
    auto written =
        decoderForXML(R"(<key>zero</key><dict><key>CF$UID</key><integer>0</integer></dict>
                         <key>slot</key><dict><key>CF$UID</key><integer>1</integer></dict>)",
                      "<string>$null</string><string>$null</string>");
    EXPECT_EQ(written->decodeObjectForKey("zero"), nullptr);
    EXPECT_EQ(written->decodeObjectForKey("slot"), nullptr);
}

// What each decode call accepts: integers convert across widths, booleans read as 0 or 1, reals
// across widths; a value too large raises NSRangeException, a value of another kind (more in the
// malformed files) NSInvalidUnarchiveOperationException; so do an unknown class and any call after
// finishing, each with Foundation's words.
TEST(KeyedArchive, DecodeCallsConvertOrRaise) {
    auto decoder = roundTrip([](NSKeyedArchiver& c) {
        c.encodeInt64_forKey(int64_t{1} << 31, "big");
        c.encodeInt_forKey(7, "small");
        c.encodeBool_forKey(true, "yes");
        c.encodeInteger_forKey(2, "two");
        c.encodeDouble_forKey(1e300, "huge");
        c.encodeFloat_forKey(0.25f, "float");
        c.encodeDouble_forKey(0.1, "tenth");
        c.encodeObject_forKey(str("text"), "object");
    });
    EXPECT_EQ(decoder->decodeIntForKey("small"), 7);
    EXPECT_EQ(decoder->decodeIntegerForKey("yes"), 1);
    EXPECT_TRUE(decoder->decodeBoolForKey("two"));
    EXPECT_EQ(decoder->decodeDoubleForKey("float"), 0.25);
    EXPECT_EQ(decoder->decodeFloatForKey("tenth"), 0.1f);

    const auto unsignedDecoder =
        decoderForXML("<key>u</key><integer>18446744073709551615</integer>", "");
    const std::string call = "-[NSKeyedUnarchiver ";
    // clang-format off
    const struct { std::function<void()> decode; Failure failure; } cases[] = {
        {[&] { decoder->decodeIntForKey("big"); }, {NSRangeException, call + "decodeIntForKey:]: value (2147483648) for key (big) too large to fit in 32-bit integer"}},
        {[&] { unsignedDecoder->decodeInt64ForKey("u"); }, {NSRangeException, call + "decodeInt64ForKey:]: value (18446744073709551615) for key (u) too large to fit in 64-bit integer"}},
        {[&] { unsignedDecoder->decodeIntegerForKey("u"); }, {NSRangeException, call + "decodeIntegerForKey:]: value (18446744073709551615) for key (u) too large to fit in NSInteger"}},
        {[&] { decoder->decodeFloatForKey("huge"); }, {NSRangeException, call + "decodeFloatForKey:]: value (" + std::to_string(1e300) + ") for key (huge) too large to fit in float"}},
        {[&] { decoder->decodeInt64ForKey("object"); }, {NSInvalidUnarchiveOperationException, call + "decodeInt64ForKey:]: value for key (object) is an object reference"}},
        {[&] { decoder->decodeObjectForKey("two"); }, {NSInvalidUnarchiveOperationException, call + "decodeObjectForKey:]: value for key (two) is an integer"}},
        {[&] { decoder->decodeObjectOfClass_forKey<NSArray>("object"); }, {NSInvalidUnarchiveOperationException, "value for key 'object' was of unexpected class 'NSString' (expected 'NSArray')"}},
        {[] { NSKeyedUnarchiver::unarchiveObjectWithData(test::archiveRoot(std::make_shared<RecordedObject>(kUnregistered))); }, {NSInvalidUnarchiveOperationException, call + "decodeObjectForKey:]: cannot decode object of class (Unregistered) for UID 1; the class is not known to this program"}},
        {[] { auto late = roundTrip([](NSKeyedArchiver&) {}); late->finishDecoding(); late->decodeBoolForKey("late"); }, {NSInvalidUnarchiveOperationException, call + "decodeBoolForKey:]: called after finishDecoding"}},
        {[] { test::archive([](NSKeyedArchiver& c) { c.finishEncoding(); c.encodeBool_forKey(true, "late"); }); }, {NSInvalidArgumentException, "-[NSKeyedArchiver encodeBool:forKey:]: called after finishEncoding"}},
    };
    // clang-format on
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(failureOf(cases[i].decode), cases[i].failure);
    }
}

// A back reference to an object still being decoded (a layer's parent) gets that same instance,
// of the class its chain names.
TEST(KeyedArchive, BackReferencesGetTheObjectBeingDecoded) {
    auto parent = std::make_shared<RecordedObject>(kNode);
    auto child = std::make_shared<RecordedObject>(
        kLayer,
        std::vector<RecordedObject::Field>{{"name", 'o', str("child")}, {"parent", 'c', parent}});
    parent->fields = {{"name", 'o', str("parent")},
                      {"children", 'o', NSArray::arrayWithObjects({child})}};
    const auto decoded = roundTrip([&](NSKeyedArchiver& c) {
                             c.encodeObject_forKey(parent, "root");
                         })->decodeObjectForKey("root");
    EXPECT_EQ(
        test::describe(decoded),
        R"(#1=TestNode{name: "parent", children: NSArray[TestLayer{name: "child", parent: #1}]})");
    child->fields.clear();  // break the cycles the test made
    std::dynamic_pointer_cast<RecordedObject>(decoded)->fields.clear();
}

// An object that yields none does so every time it is referred to; decoded bytes live as long as
// the decoder, though the caller's data object is gone once roundTrip returns.
TEST(KeyedArchive, RefusedObjectsAndBytesOutliveTheirData) {
    const auto refusing = std::make_shared<TestRefusing>();
    const std::string text(1000, 'x');
    auto decoder = roundTrip([&](NSKeyedArchiver& c) {
        c.encodeObject_forKey(refusing, "first");
        c.encodeObject_forKey(refusing, "second");
        c.encodeBytes_length_forKey(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                    "bytes");
    });
    EXPECT_EQ(decoder->decodeObjectForKey("first"), nullptr);
    EXPECT_EQ(decoder->decodeObjectForKey("second"), nullptr);
    size_t length = 0;
    const uint8_t* bytes = decoder->decodeBytesForKey_returnedLength("bytes", &length);
    ASSERT_EQ(length, 1000u);
    EXPECT_EQ(bytes[999], 'x');
}

TEST(KeyedArchive, ADuplicateKeyKeepsTheLastValueAndIsLogged) {
    test::LogCapture log;
    auto decoder = roundTrip([](NSKeyedArchiver& c) {
        c.encodeInteger_forKey(1, "key");
        c.encodeInteger_forKey(2, "key");
    });
    EXPECT_EQ(decoder->decodeIntegerForKey("key"), 2);
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{
                  "*** NSKeyedArchiver warning: replacing existing value for key 'key'; "
                  "probable duplication of encoding keys in class hierarchy"});
}

// Value objects read back equal to what was written, with equal hashes, as documents compare them.
TEST(KeyedArchive, ValueObjectsReadBackEqual) {
    auto dictionary = NSMutableDictionary::dictionary();
    dictionary->setObject_forKey(NSArray::arrayWithObjects({num(1), str("two")}), num(7));
    dictionary->setObject_forKey(NSNull::null(), str("null"));
    auto ordered = NSMutableOrderedSet::orderedSet();
    for (const char* name : {"c", "a", "b"}) ordered->addObject(str(name));
    const auto url = NSURL::URLWithString_relativeToURL(
        "foo.xml", NSURL::URLWithString("https://www.example.com/dir/"));
    const auto root = NSArray::arrayWithObjects(
        {dictionary, ordered, NSSet::setWithObjects({num(3), NSNumber::numberWithDouble(4.5)}), url,
         NSUUID::initWithUUIDString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"),
         NSDate::dateWithTimeIntervalSinceReferenceDate(123456.75), NSNumber::numberWithBool(true),
         NSNumber::numberWithUnsignedLongLong(UINT64_MAX), NSMutableString::stringWithString("é")});
    const auto decoded = std::dynamic_pointer_cast<NSArray>(
        NSKeyedUnarchiver::unarchiveObjectWithData(test::archiveRoot(root)));
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->isEqual(*root));  // element by element
    for (size_t i = 0; i < decoded->count(); ++i) {
        EXPECT_EQ(decoded->objectAtIndex(i)->hash(), root->objectAtIndex(i)->hash()) << i;
        EXPECT_FALSE(
            decoded->objectAtIndex(i)->isEqual(*decoded->objectAtIndex((i + 1) % decoded->count())))
            << i;
    }
}
