// Part 2.1: every rule callers rely on, and round trips of every value kind.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "KeyedArchive.h"
#include "NSArray.h"
#include "NSData.h"
#include "NSDate.h"
#include "NSDictionary.h"
#include "NSKeyedArchiver.h"
#include "NSKeyedUnarchiver.h"
#include "NSLog.h"
#include "NSNull.h"
#include "NSNumber.h"
#include "NSSet.h"
#include "NSString.h"
#include "NSURL.h"
#include "NSUUID.h"
#include "TestSupport.h"

namespace {

// A model-like class hierarchy for the class-name rules: TestLayer : TestNode : NSObject.
class TestNode : public NSObject {
public:
    TEST_CLASS("TestNode", NSObject::objcClass())

    std::string name;
    std::shared_ptr<NSObject> parent;  // encoded conditionally, as back references are
    std::vector<std::shared_ptr<NSObject>> children;
    NSObject* parentSeenWhileDecoding = nullptr;

    void encodeWithCoder(NSCoder& coder) const override {
        coder.encodeObject_forKey(NSString::stringWithUTF8String(name), "name");
        coder.encodeConditionalObject_forKey(parent, "parent");
        coder.encodeObject_forKey(NSArray::arrayWithObjects(children), "children");
    }
    bool initWithCoder(NSCoder& coder) override {
        if (auto n = coder.decodeObjectOfClass_forKey<NSString>("name")) name = n->UTF8String();
        parent = coder.decodeObjectForKey("parent");
        parentSeenWhileDecoding = parent.get();
        if (auto c = coder.decodeObjectOfClass_forKey<NSArray>("children")) children = c->objects();
        return true;
    }
};

class TestLayer : public TestNode {
public:
    TEST_CLASS("TestLayer", TestNode::objcClass())
};

// An object that "yields none" when its "refuse" key is true (as a too-new prototype does).
class TestRefusing : public NSObject {
public:
    TEST_CLASS("TestRefusing", NSObject::objcClass())
    bool refuse = false;
    void encodeWithCoder(NSCoder& coder) const override { coder.encodeBool_forKey(refuse, "refuse"); }
    bool initWithCoder(NSCoder& coder) override { return !coder.decodeBoolForKey("refuse"); }
};

// Writes a $top through `encode`, and reads it back through `decode`.
template <class Encode>
std::shared_ptr<NSKeyedUnarchiver> roundTrip(Encode encode) {
    auto data = NSMutableData::data();
    auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
    encode(*archiver);
    archiver->finishEncoding();
    return NSKeyedUnarchiver::initForReadingWithData(data);
}

std::shared_ptr<NSObject> roundTripObject(const std::shared_ptr<NSObject>& object) {
    return NSKeyedUnarchiver::unarchiveObjectWithData(NSKeyedArchiver::archivedDataWithRootObject(object));
}

class Part2_1_KeyedArchive : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        NSKeyedUnarchiver::registerClass<TestNode>();
        NSKeyedUnarchiver::registerClass<TestLayer>();
        NSKeyedUnarchiver::registerClass<TestRefusing>();
    }
};

// The reason of what `f` raised, checking the exception's name.
template <class F>
std::string raisedReason(F f, const char* expectedName) {
    const auto failure = test::failureOf(f);
    EXPECT_EQ(failure.name, expectedName);
    return failure.reason;
}

TEST_F(Part2_1_KeyedArchive, AbsentKeysReadAsZeroFalseOrNone) {
    auto decoder = roundTrip([](NSCoder&) {});
    EXPECT_FALSE(decoder->containsValueForKey("missing"));
    EXPECT_EQ(decoder->decodeObjectForKey("missing"), nullptr);
    EXPECT_FALSE(decoder->decodeBoolForKey("missing"));
    EXPECT_EQ(decoder->decodeIntegerForKey("missing"), 0);
    EXPECT_EQ(decoder->decodeInt64ForKey("missing"), 0);
    EXPECT_EQ(decoder->decodeIntForKey("missing"), 0);
    EXPECT_EQ(decoder->decodeFloatForKey("missing"), 0.0f);
    EXPECT_EQ(decoder->decodeDoubleForKey("missing"), 0.0);
    size_t length = 99;
    EXPECT_EQ(decoder->decodeBytesForKey_returnedLength("missing", &length), nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(decoder->decodeArrayOfObjectsForKey("missing").empty());
    EXPECT_FALSE(decoder->decodeStringForKey("missing").has_value());
}

TEST_F(Part2_1_KeyedArchive, EncodingNoneWritesAPresentKeyThatDecodesAsNone) {
    auto decoder = roundTrip([](NSCoder& c) { c.encodeObject_forKey(nullptr, "nothing"); });
    EXPECT_TRUE(decoder->containsValueForKey("nothing"));
    EXPECT_EQ(decoder->decodeObjectForKey("nothing"), nullptr);
}

TEST_F(Part2_1_KeyedArchive, ScalarsRoundTrip) {
    auto decoder = roundTrip([](NSCoder& c) {
        c.encodeBool_forKey(true, "bool");
        c.encodeInteger_forKey(-5, "integer");
        c.encodeInt64_forKey(std::numeric_limits<int64_t>::min(), "int64min");
        c.encodeInt64_forKey(std::numeric_limits<int64_t>::max(), "int64max");
        c.encodeInt_forKey(-2147483647 - 1, "int32min");
        c.encodeFloat_forKey(0.1f, "float");
        c.encodeDouble_forKey(0.1, "double");
        const uint8_t bytes[] = {0, 1, 2, 255};
        c.encodeBytes_length_forKey(bytes, sizeof bytes, "bytes");
        c.encodeBytes_length_forKey(nullptr, 0, "empty");
    });
    EXPECT_TRUE(decoder->decodeBoolForKey("bool"));
    EXPECT_EQ(decoder->decodeIntegerForKey("integer"), -5);
    EXPECT_EQ(decoder->decodeInt64ForKey("int64min"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(decoder->decodeInt64ForKey("int64max"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(decoder->decodeIntForKey("int32min"), -2147483647 - 1);
    EXPECT_EQ(std::bit_cast<uint32_t>(decoder->decodeFloatForKey("float")), std::bit_cast<uint32_t>(0.1f));
    EXPECT_EQ(std::bit_cast<uint64_t>(decoder->decodeDoubleForKey("double")), std::bit_cast<uint64_t>(0.1));
    size_t length = 0;
    const uint8_t* bytes = decoder->decodeBytesForKey_returnedLength("bytes", &length);
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[3], 255);
    EXPECT_TRUE(decoder->containsValueForKey("empty"));
    decoder->decodeBytesForKey_returnedLength("empty", &length);
    EXPECT_EQ(length, 0u);
}

TEST_F(Part2_1_KeyedArchive, DoublesKeepTheirBits) {
    // Part 2.8 carries packed colours in the low bits of doubles, many of them subnormal.
    const uint64_t patterns[] = {
        0x00000000FF8000FFull,  // subnormal: a packed colour
        0x0000000000000001ull,  // the smallest subnormal
        0x8000000000000000ull,  // -0.0
        0x7FF8000000000123ull,  // a quiet NaN with a payload
        0x7FF0000000000000ull,  // +infinity
        0x3FB999999999999Aull,  // 0.1
    };
    auto decoder = roundTrip([&](NSCoder& c) {
        for (size_t i = 0; i < std::size(patterns); ++i)
            c.encodeDouble_forKey(std::bit_cast<double>(patterns[i]), "d" + std::to_string(i));
    });
    for (size_t i = 0; i < std::size(patterns); ++i)
        EXPECT_EQ(std::bit_cast<uint64_t>(decoder->decodeDoubleForKey("d" + std::to_string(i))), patterns[i]) << i;
}

TEST_F(Part2_1_KeyedArchive, FloatIsWrittenAsA32BitReal) {
    auto data = NSMutableData::data();
    auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
    archiver->encodeFloat_forKey(1.5f, "f");
    archiver->finishEncoding();
    KeyedArchive archive(*data);
    const auto& list = archive.plist();
    const auto value = list.object(*list.lookup(archive.top(), "f"));
    ASSERT_EQ(value.kind, plist::Kind::Real);
    EXPECT_EQ(value.count, 4u);
    EXPECT_TRUE(list.realValue(value).isFloat32);
}

TEST_F(Part2_1_KeyedArchive, IntegerCallsConvertAcrossWidthsAndRaiseWhenTooLarge) {
    auto decoder = roundTrip([](NSCoder& c) {
        c.encodeInt64_forKey(int64_t{1} << 31, "big");
        c.encodeInt_forKey(7, "small");
        c.encodeBool_forKey(true, "yes");
        c.encodeInteger_forKey(2, "two");
    });
    EXPECT_EQ(decoder->decodeInt64ForKey("small"), 7);
    EXPECT_EQ(decoder->decodeIntegerForKey("small"), 7);
    EXPECT_EQ(decoder->decodeInt64ForKey("big"), int64_t{1} << 31);
    EXPECT_EQ(raisedReason([&] { decoder->decodeIntForKey("big"); }, NSRangeException),
              "-[NSKeyedUnarchiver decodeIntForKey:]: value (2147483648) for key (big) too large to fit in 32-bit integer");
    // A boolean is a number in Foundation; a nonzero integer reads as true.
    EXPECT_EQ(decoder->decodeIntegerForKey("yes"), 1);
    EXPECT_TRUE(decoder->decodeBoolForKey("two"));
}

// An archive written as XML, as Apple's archiver writes it with outputFormat XML.
std::shared_ptr<NSKeyedUnarchiver> decoderForXMLTop(const std::string& topEntries,
                                                    const std::string& objects = "<string>$null</string>") {
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>$archiver</key><string>NSKeyedArchiver</string>
<key>$version</key><integer>100000</integer>
<key>$top</key><dict>)" + topEntries + R"(</dict>
<key>$objects</key><array>)" + objects + R"(</array>
</dict></plist>)";
    return NSKeyedUnarchiver::initForReadingWithData(NSData::dataWithBytes_length(xml.data(), xml.size()));
}

TEST_F(Part2_1_KeyedArchive, UnsignedAboveInt64MaxRaisesForSignedCalls) {
    // CoreFoundation writes integers above INT64_MAX as 16-byte integers; no signed call can hold them.
    auto decoder = decoderForXMLTop("<key>u</key><integer>18446744073709551615</integer>");
    EXPECT_EQ(raisedReason([&] { decoder->decodeInt64ForKey("u"); }, NSRangeException),
              "-[NSKeyedUnarchiver decodeInt64ForKey:]: value (18446744073709551615) for key (u) too large to fit in "
              "64-bit integer");
    EXPECT_EQ(raisedReason([&] { decoder->decodeIntegerForKey("u"); }, NSRangeException),
              "-[NSKeyedUnarchiver decodeIntegerForKey:]: value (18446744073709551615) for key (u) too large to fit "
              "in NSInteger");
    auto number = std::dynamic_pointer_cast<NSNumber>(roundTripObject(NSNumber::numberWithUnsignedLongLong(UINT64_MAX)));
    ASSERT_TRUE(number);
    EXPECT_EQ(number->type(), NSNumber::Type::UnsignedInteger);
    EXPECT_EQ(number->unsignedLongLongValue(), UINT64_MAX);
}

TEST_F(Part2_1_KeyedArchive, RealsAndIntegersDoNotCross) {
    auto decoder = roundTrip([](NSCoder& c) {
        c.encodeDouble_forKey(2.5, "real");
        c.encodeInteger_forKey(3, "integer");
        c.encodeDouble_forKey(1e300, "huge");
        c.encodeFloat_forKey(0.25f, "float");
        c.encodeDouble_forKey(0.1, "tenth");
    });
    // Apple's rule: an integer call on a real, or a real call on an integer, is a type mismatch.
    EXPECT_EQ(raisedReason([&] { decoder->decodeIntegerForKey("real"); }, NSInvalidUnarchiveOperationException),
              "-[NSKeyedUnarchiver decodeIntegerForKey:]: value for key (real) is a real");
    EXPECT_EQ(raisedReason([&] { decoder->decodeDoubleForKey("integer"); }, NSInvalidUnarchiveOperationException),
              "-[NSKeyedUnarchiver decodeDoubleForKey:]: value for key (integer) is an integer");
    EXPECT_EQ(raisedReason([&] { decoder->decodeFloatForKey("huge"); }, NSRangeException),
              "-[NSKeyedUnarchiver decodeFloatForKey:]: value (" + std::to_string(1e300) +
                  ") for key (huge) too large to fit in float");
    // 32- and 64-bit reals convert both ways.
    EXPECT_EQ(decoder->decodeDoubleForKey("float"), 0.25);
    EXPECT_EQ(decoder->decodeFloatForKey("tenth"), 0.1f);
}

TEST_F(Part2_1_KeyedArchive, WrongValueKindsRaise) {
    auto decoder = roundTrip([](NSCoder& c) {
        c.encodeObject_forKey(NSString::stringWithUTF8String("text"), "object");
        c.encodeInteger_forKey(1, "integer");
    });
    EXPECT_EQ(raisedReason([&] { decoder->decodeInt64ForKey("object"); }, NSInvalidUnarchiveOperationException),
              "-[NSKeyedUnarchiver decodeInt64ForKey:]: value for key (object) is an object reference");
    EXPECT_EQ(raisedReason([&] { decoder->decodeObjectForKey("integer"); }, NSInvalidUnarchiveOperationException),
              "-[NSKeyedUnarchiver decodeObjectForKey:]: value for key (integer) is an integer");
    EXPECT_EQ(raisedReason([&] { decoder->decodeObjectOfClass_forKey<NSArray>("object"); },
                           NSInvalidUnarchiveOperationException),
              "value for key 'object' was of unexpected class 'NSString' (expected 'NSArray')");
}

TEST_F(Part2_1_KeyedArchive, AnObjectStoredTwiceDecodesToOneInstance) {
    auto shared = NSString::stringWithUTF8String("shared");
    auto array = NSArray::arrayWithObjects({shared, shared});
    auto decoder = roundTrip([&](NSCoder& c) {
        c.encodeObject_forKey(array, "array");
        c.encodeObject_forKey(shared, "again");
    });
    auto decoded = decoder->decodeObjectOfClass_forKey<NSArray>("array");
    ASSERT_EQ(decoded->count(), 2u);
    EXPECT_EQ(decoded->objectAtIndex(0).get(), decoded->objectAtIndex(1).get());
    EXPECT_EQ(decoder->decodeObjectForKey("again").get(), decoded->objectAtIndex(0).get());
}

TEST_F(Part2_1_KeyedArchive, EqualButDistinctObjectsStayDistinct) {
    // Uniquing is by identity, as Apple's archiver does it, never by equality.
    auto a = NSString::stringWithUTF8String("same");
    auto b = NSString::stringWithUTF8String("same");
    auto decoder = roundTrip([&](NSCoder& c) {
        c.encodeObject_forKey(a, "a");
        c.encodeObject_forKey(b, "b");
    });
    auto da = decoder->decodeObjectForKey("a"), db = decoder->decodeObjectForKey("b");
    EXPECT_NE(da.get(), db.get());
    EXPECT_TRUE(da->isEqual(*db));
}

TEST_F(Part2_1_KeyedArchive, ConditionalObjectResolvesWhenStoredBeforeOrAfter) {
    auto before = NSString::stringWithUTF8String("before");
    auto after = NSString::stringWithUTF8String("after");
    auto decoder = roundTrip([&](NSCoder& c) {
        c.encodeObject_forKey(before, "stored-before");
        c.encodeConditionalObject_forKey(before, "conditional-before");
        c.encodeConditionalObject_forKey(after, "conditional-after");
        c.encodeObject_forKey(after, "stored-after");
    });
    auto storedBefore = decoder->decodeObjectForKey("stored-before");
    ASSERT_TRUE(storedBefore);
    EXPECT_EQ(decoder->decodeObjectForKey("conditional-before").get(), storedBefore.get());
    auto storedAfter = decoder->decodeObjectForKey("stored-after");
    ASSERT_TRUE(storedAfter);
    EXPECT_EQ(decoder->decodeObjectForKey("conditional-after").get(), storedAfter.get());
}

TEST_F(Part2_1_KeyedArchive, ConditionalObjectNobodyStoresDecodesAsNone) {
    auto dropped = NSString::stringWithUTF8String("dropped");
    auto decoder = roundTrip([&](NSCoder& c) {
        c.encodeConditionalObject_forKey(dropped, "conditional");
        c.encodeConditionalObject_forKey(dropped, "again");
    });
    EXPECT_TRUE(decoder->containsValueForKey("conditional"));
    EXPECT_EQ(decoder->decodeObjectForKey("conditional"), nullptr);
    EXPECT_EQ(decoder->decodeObjectForKey("again"), nullptr);
}

TEST_F(Part2_1_KeyedArchive, NoneInEveryWrittenFormDecodesAsNone) {
    // Key absent, UID 0, and a UID to a "$null" slot other than 0: all three forms Apple's readers accept.
    auto decoder = decoderForXMLTop(R"(<key>zero</key><dict><key>CF$UID</key><integer>0</integer></dict>
                                       <key>slot</key><dict><key>CF$UID</key><integer>1</integer></dict>)",
                                    "<string>$null</string><string>$null</string>");
    EXPECT_EQ(decoder->decodeObjectForKey("absent"), nullptr);
    EXPECT_EQ(decoder->decodeObjectForKey("zero"), nullptr);
    EXPECT_EQ(decoder->decodeObjectForKey("slot"), nullptr);
    EXPECT_TRUE(decoder->containsValueForKey("zero"));
}

TEST_F(Part2_1_KeyedArchive, ClassNamesAreRecordedWithTheirChain) {
    auto layer = std::make_shared<TestLayer>();
    layer->name = "layer";
    auto data = NSKeyedArchiver::archivedDataWithRootObject(layer);
    KeyedArchive archive(*data);
    const auto& list = archive.plist();
    const auto root = list.object(*list.lookup(archive.top(), "root"));
    const auto entry = archive.entry(list.uidValue(root));
    const auto& cls = archive.classOf(entry);
    EXPECT_EQ(cls.name, "TestLayer");
    EXPECT_EQ(cls.classes, (std::vector<std::string>{"TestLayer", "TestNode", "NSObject"}));
    EXPECT_TRUE(cls.hints.empty());
    // The root is object 1; its class dictionary comes after its fields.
    EXPECT_EQ(list.uidValue(root), 1u);

    auto decoded = NSKeyedUnarchiver::unarchiveObjectWithData(data);
    ASSERT_TRUE(std::dynamic_pointer_cast<TestLayer>(decoded));
    EXPECT_EQ(decoded->className(), "TestLayer");
    EXPECT_TRUE(isKindOfClass(*decoded, TestNode::objcClass()));
}

TEST_F(Part2_1_KeyedArchive, UnknownClassRaises) {
    class Unregistered : public NSObject {
    public:
        TEST_CLASS("Unregistered", NSObject::objcClass())
    };
    auto data = NSKeyedArchiver::archivedDataWithRootObject(std::make_shared<Unregistered>());
    EXPECT_EQ(raisedReason([&] { NSKeyedUnarchiver::unarchiveObjectWithData(data); },
                           NSInvalidUnarchiveOperationException),
              "-[NSKeyedUnarchiver decodeObjectForKey:]: cannot decode object of class (Unregistered) for UID 1; "
              "the class is not known to this program");
}

TEST_F(Part2_1_KeyedArchive, BackReferenceToAnObjectBeingDecodedGetsThatInstance) {
    auto parent = std::make_shared<TestNode>();
    parent->name = "parent";
    auto child = std::make_shared<TestLayer>();
    child->name = "child";
    child->parent = parent;
    parent->children = {child};
    auto decoded = std::dynamic_pointer_cast<TestNode>(roundTripObject(parent));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->children.size(), 1u);
    auto decodedChild = std::dynamic_pointer_cast<TestLayer>(decoded->children[0]);
    ASSERT_TRUE(decodedChild);
    EXPECT_EQ(decodedChild->name, "child");
    EXPECT_EQ(decodedChild->parent.get(), decoded.get());
    EXPECT_EQ(decodedChild->parentSeenWhileDecoding, decoded.get());
    decodedChild->parent.reset();  // break the cycle the test made
    parent->children.clear();
}

TEST_F(Part2_1_KeyedArchive, AnObjectThatYieldsNoneDecodesAsNoneEverywhere) {
    auto refusing = std::make_shared<TestRefusing>();
    refusing->refuse = true;
    auto decoder = roundTrip([&](NSCoder& c) {
        c.encodeObject_forKey(refusing, "first");
        c.encodeObject_forKey(refusing, "second");
    });
    EXPECT_EQ(decoder->decodeObjectForKey("first"), nullptr);
    EXPECT_EQ(decoder->decodeObjectForKey("second"), nullptr);
}

TEST_F(Part2_1_KeyedArchive, DecodedBytesLiveAsLongAsTheDecoder) {
    std::shared_ptr<NSKeyedUnarchiver> decoder;
    {
        auto data = NSMutableData::data();
        auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
        const std::string text(1000, 'x');
        archiver->encodeBytes_length_forKey(reinterpret_cast<const uint8_t*>(text.data()), text.size(), "bytes");
        archiver->finishEncoding();
        decoder = NSKeyedUnarchiver::initForReadingWithData(data);
    }  // the caller's data object is gone; the decoder keeps the bytes
    size_t length = 0;
    const uint8_t* bytes = decoder->decodeBytesForKey_returnedLength("bytes", &length);
    ASSERT_EQ(length, 1000u);
    EXPECT_EQ(bytes[999], 'x');
}

TEST_F(Part2_1_KeyedArchive, KeysBeginningWithDollarAreEscaped) {
    auto data = NSMutableData::data();
    auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
    archiver->encodeInteger_forKey(42, "$dollar");
    archiver->finishEncoding();
    KeyedArchive archive(*data);
    EXPECT_TRUE(archive.plist().lookup(archive.top(), "$$dollar").has_value());
    EXPECT_FALSE(archive.plist().lookup(archive.top(), "$dollar").has_value());
    auto decoder = NSKeyedUnarchiver::initForReadingWithData(data);
    EXPECT_EQ(decoder->decodeIntegerForKey("$dollar"), 42);
}

TEST_F(Part2_1_KeyedArchive, ADuplicateKeyKeepsTheLastValueAndIsLogged) {
    std::vector<std::string> lines;
    auto previous = NSLogSetSink([&](const std::string& line) { lines.push_back(line); });
    auto decoder = roundTrip([](NSCoder& c) {
        c.encodeInteger_forKey(1, "key");
        c.encodeInteger_forKey(2, "key");
    });
    NSLogSetSink(previous);
    EXPECT_EQ(decoder->decodeIntegerForKey("key"), 2);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "*** NSKeyedArchiver warning: replacing existing value for key 'key'; probable "
                        "duplication of encoding keys in class hierarchy");
}

TEST_F(Part2_1_KeyedArchive, NothingIsReadAfterFinishDecodingOrWrittenAfterFinishEncoding) {
    auto data = NSMutableData::data();
    auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
    archiver->finishEncoding();
    EXPECT_EQ(raisedReason([&] { archiver->encodeBool_forKey(true, "late"); }, NSInvalidArgumentException),
              "-[NSKeyedArchiver encodeBool:forKey:]: called after finishEncoding");
    auto decoder = NSKeyedUnarchiver::initForReadingWithData(data);
    decoder->finishDecoding();
    EXPECT_EQ(raisedReason([&] { decoder->decodeBoolForKey("late"); }, NSInvalidUnarchiveOperationException),
              "-[NSKeyedUnarchiver decodeBoolForKey:]: called after finishDecoding");
}

TEST_F(Part2_1_KeyedArchive, BytesThatAreNotAnArchiveRaise) {
    const std::string text = "not an archive";
    EXPECT_EQ(raisedReason([&] { NSKeyedUnarchiver::initForReadingWithData(NSData::dataWithBytes_length(text.data(), text.size())); },
                           NSInvalidArgumentException),
              "data is not a property list (neither binary nor XML)");
}

TEST_F(Part2_1_KeyedArchive, StringsRoundTrip) {
    for (const std::string& text : std::vector<std::string>{"", "ASCII", "Mässig, Maß", "日本語のテキスト", "emoji 😀 and more",
                                   std::string(100000, 'a')}) {
        auto decoded = std::dynamic_pointer_cast<NSString>(roundTripObject(NSString::stringWithUTF8String(text)));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->UTF8String(), text);
        EXPECT_EQ(decoded->className(), "NSString");
    }
    auto mutableString = std::dynamic_pointer_cast<NSMutableString>(roundTripObject(NSMutableString::stringWithString("é")));
    ASSERT_TRUE(mutableString);
    EXPECT_EQ(mutableString->UTF8String(), "é");
}

TEST_F(Part2_1_KeyedArchive, DataRoundTrips) {
    std::vector<uint8_t> large(3'000'000);
    for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i * 7);
    for (const auto& bytes : {std::vector<uint8_t>{}, std::vector<uint8_t>{0}, large}) {
        auto decoded = std::dynamic_pointer_cast<NSData>(roundTripObject(NSData::dataWithVector(bytes)));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(std::vector<uint8_t>(decoded->span().begin(), decoded->span().end()), bytes);
    }
    auto mutableData = NSMutableData::data();
    mutableData->appendBytes_length("abc", 3);
    auto decoded = std::dynamic_pointer_cast<NSMutableData>(roundTripObject(mutableData));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->length(), 3u);
}

TEST_F(Part2_1_KeyedArchive, NumbersRoundTripWithTheirKinds) {
    const std::vector<std::shared_ptr<NSNumber>> numbers = {
        NSNumber::numberWithBool(false),        NSNumber::numberWithBool(true),
        NSNumber::numberWithInteger(0),         NSNumber::numberWithInteger(255),
        NSNumber::numberWithInteger(256),       NSNumber::numberWithInteger(65536),
        NSNumber::numberWithInteger(int64_t{1} << 32), NSNumber::numberWithInteger(-1),
        NSNumber::numberWithInteger(INT64_MIN), NSNumber::numberWithUnsignedLongLong(UINT64_MAX),
        NSNumber::numberWithFloat(-2.5f),       NSNumber::numberWithDouble(std::bit_cast<double>(uint64_t{3})),
    };
    for (const auto& number : numbers) {
        auto decoded = std::dynamic_pointer_cast<NSNumber>(roundTripObject(number));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->type(), number->type());
        EXPECT_EQ(decoded->unsignedLongLongValue(), number->unsignedLongLongValue());
        EXPECT_EQ(std::bit_cast<uint64_t>(decoded->doubleValue()), std::bit_cast<uint64_t>(number->doubleValue()));
    }
}

TEST_F(Part2_1_KeyedArchive, CollectionsRoundTrip) {
    auto inner = NSMutableArray::array();
    inner->addObject(NSNumber::numberWithInteger(1));
    inner->addObject(NSString::stringWithUTF8String("two"));
    auto dictionary = NSMutableDictionary::dictionary();
    dictionary->setObject_forKey(inner, NSNumber::numberWithInteger(7));  // a boxed-integer key
    dictionary->setObject_forKey(NSNull::null(), NSString::stringWithUTF8String("null"));
    auto ordered = NSMutableOrderedSet::orderedSet();
    for (auto name : {"c", "a", "b"}) ordered->addObject(NSString::stringWithUTF8String(name));
    auto set = NSSet::setWithObjects({NSNumber::numberWithInteger(3), NSNumber::numberWithInteger(4)});
    auto root = NSArray::arrayWithObjects({dictionary, ordered, set, NSArray::arrayWithObjects({})});

    auto decoded = std::dynamic_pointer_cast<NSArray>(roundTripObject(root));
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded->isEqual(*root));
    auto decodedDictionary = std::dynamic_pointer_cast<NSMutableDictionary>(decoded->objectAtIndex(0));
    ASSERT_TRUE(decodedDictionary);
    auto value = std::dynamic_pointer_cast<NSMutableArray>(decodedDictionary->objectForKey(*NSNumber::numberWithInteger(7)));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->count(), 2u);
    EXPECT_TRUE(std::dynamic_pointer_cast<NSNull>(decodedDictionary->objectForKey(*NSString::stringWithUTF8String("null"))));
    auto decodedOrdered = std::dynamic_pointer_cast<NSMutableOrderedSet>(decoded->objectAtIndex(1));
    ASSERT_TRUE(decodedOrdered);
    ASSERT_EQ(decodedOrdered->count(), 3u);
    EXPECT_EQ(std::dynamic_pointer_cast<NSString>(decodedOrdered->array()[0])->UTF8String(), "c");
    EXPECT_EQ(std::dynamic_pointer_cast<NSArray>(decoded->objectAtIndex(3))->count(), 0u);
}

TEST_F(Part2_1_KeyedArchive, UUIDURLAndDateRoundTrip) {
    auto uuid = NSUUID::initWithUUIDString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    ASSERT_TRUE(uuid);
    auto base = NSURL::URLWithString("https://www.example.com/dir/");
    auto url = NSURL::URLWithString_relativeToURL("foo.xml", base);
    auto date = NSDate::dateWithTimeIntervalSinceReferenceDate(123456.75);
    auto decoded = std::dynamic_pointer_cast<NSArray>(roundTripObject(NSArray::arrayWithObjects({uuid, url, date})));
    ASSERT_TRUE(decoded);
    auto decodedUUID = std::dynamic_pointer_cast<NSUUID>(decoded->objectAtIndex(0));
    ASSERT_TRUE(decodedUUID);
    EXPECT_EQ(decodedUUID->UUIDString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    auto decodedURL = std::dynamic_pointer_cast<NSURL>(decoded->objectAtIndex(1));
    ASSERT_TRUE(decodedURL);
    EXPECT_EQ(decodedURL->relativeString(), "foo.xml");
    ASSERT_TRUE(decodedURL->baseURL());
    EXPECT_EQ(decodedURL->absoluteString(), "https://www.example.com/dir/foo.xml");
    auto decodedDate = std::dynamic_pointer_cast<NSDate>(decoded->objectAtIndex(2));
    ASSERT_TRUE(decodedDate);
    EXPECT_EQ(decodedDate->timeIntervalSinceReferenceDate(), 123456.75);
}

}  // namespace
