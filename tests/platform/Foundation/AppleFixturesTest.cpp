// Part 2.1: every archive that Apple's Foundation wrote (shared/fixtures/apple-keyed-archives, see
// SOURCES.md there) decodes through NSKeyedUnarchiver, and holds exactly what SOURCES.md says.
//
// Classes outside Foundation's registered set are small test-only classes below, registered before
// each decode. Generic keys: Apple's unkeyed encodes write "$0", "$1", … (the go fixtures' $top,
// NSValue and _NSKeyedCoderOldStyleArray in ConcreteValueTest). The keyed API cannot reach them, on
// a Mac as here: decodeObjectForKey("$0") reads the escaped key "$$0" (KeyedArchive::escapedKey,
// Apple's escapeArchiverKey), and this NSCoder has no unkeyed decodeObject. So those tests check the
// raw keys through KeyedArchive and decode a copy of the file in which only the '$' of each generic
// key is replaced by '_' (same length, every other byte Apple's), which the keyed API can read.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "BinaryPropertyList.h"
#include "KeyedArchive.h"
#include "NSArray.h"
#include "NSData.h"
#include "NSDate.h"
#include "NSDictionary.h"
#include "NSException.h"
#include "NSKeyedUnarchiver.h"
#include "NSNull.h"
#include "NSNumber.h"
#include "NSSet.h"
#include "NSString.h"
#include "NSURL.h"
#include "NSUUID.h"
#include "TestSupport.h"

namespace {

// ---- Helpers ------------------------------------------------------------------------------------


template <class T>
std::shared_ptr<T> as(const std::shared_ptr<NSObject>& object) {
    auto typed = std::dynamic_pointer_cast<T>(object);
    if (!typed)
        throw std::runtime_error(std::string("expected an object of class ") + T::objcClass().name + ", found " +
                                 (object ? object->className() : std::string("none")));
    return typed;
}

std::string text(const std::shared_ptr<NSObject>& object) { return as<NSString>(object)->UTF8String(); }

std::string hex(std::span<const uint8_t> bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

::testing::AssertionResult isInteger(const std::shared_ptr<NSObject>& object, int64_t expected) {
    const auto number = std::dynamic_pointer_cast<NSNumber>(object);
    if (!number) return ::testing::AssertionFailure() << (object ? object->className() : "none") << " is not a number";
    if (number->type() != NSNumber::Type::Integer)
        return ::testing::AssertionFailure() << "number of type " << static_cast<int>(number->type()) << " is not an integer";
    if (number->integerValue() != expected)
        return ::testing::AssertionFailure() << number->integerValue() << " != " << expected;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult isBool(const std::shared_ptr<NSObject>& object, bool expected) {
    const auto number = std::dynamic_pointer_cast<NSNumber>(object);
    if (!number || number->type() != NSNumber::Type::Bool)
        return ::testing::AssertionFailure() << (object ? object->className() : "none") << " is not a boolean number";
    if (number->boolValue() != expected) return ::testing::AssertionFailure() << "boolean is " << number->boolValue();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult isDouble(const std::shared_ptr<NSObject>& object, double expected) {
    const auto number = std::dynamic_pointer_cast<NSNumber>(object);
    if (!number || number->type() != NSNumber::Type::Double)
        return ::testing::AssertionFailure() << (object ? object->className() : "none") << " is not a double number";
    if (std::bit_cast<uint64_t>(number->doubleValue()) != std::bit_cast<uint64_t>(expected))
        return ::testing::AssertionFailure() << number->doubleValue() << " != " << expected;
    return ::testing::AssertionSuccess();
}

std::shared_ptr<NSObject> valueFor(const NSDictionary& dictionary, std::string_view key) {
    return dictionary.objectForKey(NSString(std::string(key)));
}

std::vector<std::string> keysOf(const NSDictionary& dictionary) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : dictionary.entries()) keys.push_back(text(key));
    return keys;
}

std::vector<int64_t> integersOf(const std::vector<std::shared_ptr<NSObject>>& objects) {
    std::vector<int64_t> values;
    for (const auto& object : objects) {
        const auto number = as<NSNumber>(object);
        if (number->type() != NSNumber::Type::Integer) throw std::runtime_error("not an integer number");
        values.push_back(number->integerValue());
    }
    return values;
}

std::vector<std::string> stringsOf(const std::vector<std::shared_ptr<NSObject>>& objects) {
    std::vector<std::string> values;
    for (const auto& object : objects) values.push_back(text(object));
    return values;
}

std::vector<uint8_t> fixtureBytes(const std::string& name) { return test::readFile(test::fixturesDir() / name); }

std::shared_ptr<NSData> dataOf(std::vector<uint8_t> bytes) { return NSData::dataWithVector(std::move(bytes)); }

// The raw structure under the decoder: the UID stored under `key` in the object dictionary of `uid`
// (0 for $top).
struct RawArchive {
    explicit RawArchive(const std::vector<uint8_t>& bytes) : data(dataOf(bytes)), archive(*data) {}

    plist::ObjectInfo dictionaryOf(uint64_t uid) const { return uid == 0 ? archive.top() : archive.entry(uid); }
    std::optional<plist::ObjectInfo> member(uint64_t uid, std::string_view key) const {
        const auto ref = archive.plist().lookup(dictionaryOf(uid), key);
        if (!ref) return std::nullopt;
        return archive.plist().object(*ref);
    }
    uint64_t uidAt(uint64_t uid, std::string_view key) const {
        const auto value = member(uid, key);
        if (!value) throw std::runtime_error("no key " + std::string(key));
        return archive.plist().uidValue(*value);
    }
    // The UID of element `index` of the reference array under `key`.
    uint64_t elementUID(uint64_t uid, std::string_view key, uint64_t index) const {
        const auto array = member(uid, key);
        if (!array) throw std::runtime_error("no key " + std::string(key));
        return archive.plist().uidValue(archive.plist().object(archive.plist().elementRef(*array, index)));
    }
    std::vector<std::string> topKeys() const {
        std::vector<std::string> keys;
        const auto& list = archive.plist();
        for (uint64_t i = 0; i < archive.top().count; ++i) keys.push_back(list.stringValue(list.object(list.keyRef(archive.top(), i))));
        std::sort(keys.begin(), keys.end());
        return keys;
    }

    std::shared_ptr<NSData> data;
    KeyedArchive archive;
};

bool isGenericKey(std::string_view key) {
    return key.size() >= 2 && key[0] == '$' &&
           std::all_of(key.begin() + 1, key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A copy of an archive in which every generic key "$<n>" reads "_<n>" (see the top of this file).
// Binary: the '$' byte of each such key string is overwritten in place. XML: the <key> text.
std::vector<uint8_t> exposeGenericKeys(std::vector<uint8_t> bytes) {
    if (plist::BinaryPropertyList::hasBinaryHeader(bytes)) {
        std::vector<uint64_t> dollarOffsets;
        {
            auto copy = std::make_shared<std::vector<uint8_t>>(bytes);
            plist::BinaryPropertyList list(copy, std::span<const uint8_t>(*copy));
            for (uint64_t ref = 0; ref < list.objectCount(); ++ref) {
                const auto object = list.object(ref);
                if (object.kind != plist::Kind::Dictionary) continue;
                for (uint64_t i = 0; i < object.count; ++i) {
                    const auto key = list.object(list.keyRef(object, i));
                    if (key.kind == plist::Kind::String && !key.isUTF16 && isGenericKey(list.asciiStringView(key)))
                        dollarOffsets.push_back(key.payload);
                }
            }
        }
        if (dollarOffsets.empty()) throw std::runtime_error("no generic keys to expose");
        for (uint64_t offset : dollarOffsets) bytes[offset] = '_';
        return bytes;
    }
    const std::string xml(bytes.begin(), bytes.end());
    const std::string exposed = std::regex_replace(xml, std::regex(R"(<key>\$([0-9]+)</key>)"), "<key>_$1</key>");
    if (exposed == xml) throw std::runtime_error("no generic keys to expose");
    return {exposed.begin(), exposed.end()};
}

std::string generic(size_t n) { return "_" + std::to_string(n); }

// ---- Test-only classes for what Foundation's registered set does not cover ------------------------

// bpylist2: a Swift class "crap.Foo".
class CrapFoo : public NSObject {
public:
    TEST_CLASS("crap.Foo", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        title = coder.decodeObjectOfClass_forKey<NSString>("title");
        hasCount = coder.containsValueForKey("count");
        count = coder.decodeInt64ForKey("count");
        active = coder.decodeBoolForKey("active");
        categories = coder.decodeObjectOfClass_forKey<NSArray>("categories");
        metadata = coder.decodeObjectOfClass_forKey<NSDictionary>("metadata");
        hasRecursive = coder.containsValueForKey("recursive");
        recursive = coder.decodeObjectOfClass_forKey<CrapFoo>("recursive");
        return true;
    }
    std::shared_ptr<NSString> title;
    bool hasCount = false;
    int64_t count = -1;
    bool active = false;
    std::shared_ptr<NSArray> categories;
    std::shared_ptr<NSDictionary> metadata;
    bool hasRecursive = false;
    std::shared_ptr<CrapFoo> recursive;
};

// bpylist2 fullChangeLog: a table and its columns, with a four-level class chain.
class JNStreamTableColumn : public NSObject {
public:
    TEST_CLASS("JNStreamTableColumn", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        keyPath = coder.decodeObjectOfClass_forKey<NSString>("keyPath");
        hasStopValue = coder.containsValueForKey("stopValue");
        stopValue = coder.decodeObjectForKey("stopValue");
        return true;
    }
    std::shared_ptr<NSString> keyPath;
    bool hasStopValue = false;
    std::shared_ptr<NSObject> stopValue;
};
class JNStreamTableUInt8Column : public JNStreamTableColumn {
public:
    TEST_CLASS("JNStreamTableUInt8Column", JNStreamTableColumn::objcClass())
};
class JNStreamTableUInt64Column : public JNStreamTableColumn {
public:
    TEST_CLASS("JNStreamTableUInt64Column", JNStreamTableColumn::objcClass())
};
class JNStreamTableStringColumn : public JNStreamTableColumn {
public:
    TEST_CLASS("JNStreamTableStringColumn", JNStreamTableColumn::objcClass())
};
class JNStreamTableDataColumn : public JNStreamTableColumn {
public:
    TEST_CLASS("JNStreamTableDataColumn", JNStreamTableColumn::objcClass())
};
class JNStreamTablePackedValueColumn : public JNStreamTableDataColumn {
public:
    TEST_CLASS("JNStreamTablePackedValueColumn", JNStreamTableDataColumn::objcClass())
};
class JNStreamTableDictionaryColumn : public JNStreamTableColumn {
public:
    TEST_CLASS("JNStreamTableDictionaryColumn", JNStreamTableColumn::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        JNStreamTableColumn::initWithCoder(coder);
        keyColumn = coder.decodeObjectOfClass_forKey<JNStreamTableColumn>("keyColumn");
        valueColumn = coder.decodeObjectOfClass_forKey<JNStreamTableColumn>("valueColumn");
        return true;
    }
    std::shared_ptr<JNStreamTableColumn> keyColumn, valueColumn;
};
class JNStreamTable : public NSObject {
public:
    TEST_CLASS("JNStreamTable", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        tableID = coder.decodeObjectOfClass_forKey<NSString>("tableID");
        rowHeader = coder.decodeIntegerForKey("rowHeader");
        hasReplyHeader = coder.containsValueForKey("replyHeader");
        replyHeader = coder.decodeIntegerForKey("replyHeader");
        hasReplyColumns = coder.containsValueForKey("replyColumns");
        replyColumns = coder.decodeObjectForKey("replyColumns");
        columns = coder.decodeObjectOfClass_forKey<NSArray>("columns");
        return true;
    }
    std::shared_ptr<NSString> tableID;
    int64_t rowHeader = -1, replyHeader = -1;
    bool hasReplyHeader = false, hasReplyColumns = false;
    std::shared_ptr<NSObject> replyColumns;
    std::shared_ptr<NSArray> columns;
};

// NSValue in its keyed forms: range (4), rect (3), edge insets (12) and the generic form.
class FixtureNSValue : public NSObject {
public:
    TEST_CLASS("NSValue", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        hasSpecial = coder.containsValueForKey("NS.special");
        special = coder.decodeIntegerForKey("NS.special");
        rangeLocation = coder.decodeObjectOfClass_forKey<NSNumber>("NS.rangeval.location");
        rangeLength = coder.decodeObjectOfClass_forKey<NSNumber>("NS.rangeval.length");
        rect = coder.decodeObjectOfClass_forKey<NSString>("NS.rectval");
        top = coder.decodeDoubleForKey("NS.edgeval.top");
        left = coder.decodeDoubleForKey("NS.edgeval.left");
        bottom = coder.decodeDoubleForKey("NS.edgeval.bottom");
        right = coder.decodeDoubleForKey("NS.edgeval.right");
        // The generic keys of encodeValueOfObjCType:, which the keyed API escapes ("$0" → "$$0").
        escapedGenericKeyFound = coder.containsValueForKey("$0");
        objCType = coder.decodeObjectOfClass_forKey<NSString>(generic(0));
        value = coder.decodeObjectForKey(generic(1));
        return true;
    }
    bool hasSpecial = false;
    int64_t special = -1;
    std::shared_ptr<NSNumber> rangeLocation, rangeLength;
    std::shared_ptr<NSString> rect;
    double top = -1, left = -1, bottom = -1, right = -1;
    bool escapedGenericKeyFound = true;
    std::shared_ptr<NSString> objCType;
    std::shared_ptr<NSObject> value;
};

// A C array inside an NSValue: NS.count elements of NS.size bytes of type NS.type, under "$0"…
class FixtureOldStyleArray : public NSObject {
public:
    TEST_CLASS("_NSKeyedCoderOldStyleArray", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        count = coder.decodeIntegerForKey("NS.count");
        size = coder.decodeIntegerForKey("NS.size");
        type = coder.decodeIntegerForKey("NS.type");
        for (int64_t i = 0; i < count && coder.containsValueForKey(generic(static_cast<size_t>(i))); ++i)
            elements.push_back(coder.decodeInt64ForKey(generic(static_cast<size_t>(i))));
        return true;
    }
    int64_t count = -1, size = -1, type = -1;
    std::vector<int64_t> elements;
};

class FixtureNotification : public NSObject {
public:
    TEST_CLASS("NSNotification", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        name = coder.decodeObjectOfClass_forKey<NSString>("NS.name");
        object = coder.decodeObjectForKey("NS.object");
        userInfo = coder.decodeObjectOfClass_forKey<NSDictionary>("NS.userinfo");
        return true;
    }
    std::shared_ptr<NSString> name;
    std::shared_ptr<NSObject> object;
    std::shared_ptr<NSDictionary> userInfo;
};

// NSCountedSet: NS.count members under NS.object<i>, each with its count under NS.count<i>.
class FixtureCountedSet : public NSObject {
public:
    TEST_CLASS("NSCountedSet", NSMutableSet::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        count = coder.decodeIntegerForKey("NS.count");
        for (int64_t i = 0; i < count; ++i) {
            const std::string n = std::to_string(i);
            members.push_back(coder.decodeObjectForKey("NS.object" + n));
            counts.push_back(coder.decodeIntegerForKey("NS.count" + n));
        }
        return true;
    }
    int64_t count = -1;
    std::vector<std::shared_ptr<NSObject>> members;
    std::vector<int64_t> counts;
};

// NSIndexSet: NSRangeCount ranges, packed in NSRangeData as unsigned LEB128 (location, length) pairs.
class FixtureIndexSet : public NSObject {
public:
    TEST_CLASS("NSIndexSet", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        rangeCount = coder.decodeIntegerForKey("NSRangeCount");
        rangeData = coder.decodeObjectOfClass_forKey<NSData>("NSRangeData");
        if (!rangeData) return true;
        std::vector<uint64_t> numbers;
        uint64_t value = 0;
        unsigned shift = 0;
        for (uint8_t byte : rangeData->span()) {
            if (shift < 64) value |= static_cast<uint64_t>(byte & 0x7F) << shift;
            shift += 7;
            if (!(byte & 0x80)) {
                numbers.push_back(value);
                value = 0;
                shift = 0;
            }
        }
        for (size_t i = 0; i + 1 < numbers.size(); i += 2) ranges.emplace_back(numbers[i], numbers[i + 1]);
        return true;
    }
    int64_t rangeCount = -1;
    std::shared_ptr<NSData> rangeData;
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
};

// NSMeasurement and its unit: [NSUnitAngle, NSDimension, NSUnit, NSObject], converter
// [NSUnitConverterLinear, NSUnitConverter, NSObject]; each level reads its own keys.
class FixtureUnitConverter : public NSObject {
public:
    TEST_CLASS("NSUnitConverter", NSObject::objcClass())
};
class FixtureUnitConverterLinear : public FixtureUnitConverter {
public:
    TEST_CLASS("NSUnitConverterLinear", FixtureUnitConverter::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        coefficient = coder.decodeDoubleForKey("NS.coefficient");
        constant = coder.decodeDoubleForKey("NS.constant");
        hasConstant = coder.containsValueForKey("NS.constant");
        return true;
    }
    double coefficient = -1, constant = -1;
    bool hasConstant = false;
};
class FixtureUnit : public NSObject {
public:
    TEST_CLASS("NSUnit", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        symbol = coder.decodeObjectOfClass_forKey<NSString>("NS.symbol");
        return true;
    }
    std::shared_ptr<NSString> symbol;
};
class FixtureDimension : public FixtureUnit {
public:
    TEST_CLASS("NSDimension", FixtureUnit::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        FixtureUnit::initWithCoder(coder);
        converter = coder.decodeObjectOfClass_forKey<FixtureUnitConverter>("NS.converter");
        return true;
    }
    std::shared_ptr<FixtureUnitConverter> converter;
};
class FixtureUnitAngle : public FixtureDimension {
public:
    TEST_CLASS("NSUnitAngle", FixtureDimension::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        FixtureDimension::initWithCoder(coder);
        specifier = coder.decodeIntegerForKey("NS.specifier");
        return true;
    }
    int64_t specifier = -1;
};
class FixtureMeasurement : public NSObject {
public:
    TEST_CLASS("NSMeasurement", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        value = coder.decodeDoubleForKey("NS.value");
        unit = coder.decodeObjectOfClass_forKey<FixtureUnit>("NS.unit");
        return true;
    }
    double value = -1;
    std::shared_ptr<FixtureUnit> unit;
};

class FixtureAttributedString : public NSObject {
public:
    TEST_CLASS("NSAttributedString", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        string = coder.decodeObjectOfClass_forKey<NSString>("NSString");
        attributes = coder.decodeObjectOfClass_forKey<NSArray>("NSAttributes");
        attributeInfo = coder.decodeObjectOfClass_forKey<NSData>("NSAttributeInfo");
        return true;
    }
    std::shared_ptr<NSString> string;
    std::shared_ptr<NSArray> attributes;
    std::shared_ptr<NSData> attributeInfo;
};
class FixtureMutableAttributedString : public FixtureAttributedString {
public:
    TEST_CLASS("NSMutableAttributedString", FixtureAttributedString::objcClass())
};

const NSClass& formatterClass() {
    static const NSClass cls{"NSFormatter", &NSObject::objcClass()};
    return cls;
}

class FixtureByteCountFormatter : public NSObject {
public:
    TEST_CLASS("NSByteCountFormatter", formatterClass())
    bool initWithCoder(NSCoder& coder) override {
        for (const char* key : {"NSNoNonnumeric", "NSNoUnit", "NSZeroPad", "NSNoCount", "NSNoAdaptive", "NSAllowsNonnumeric"}) {
            present.push_back(coder.containsValueForKey(key));
            flags.push_back(coder.decodeBoolForKey(key));
        }
        units = coder.decodeIntegerForKey("NSUnits");
        kbSize = coder.decodeIntegerForKey("NSKBSize");
        formattingContext = coder.decodeIntegerForKey("NSFormattingContext");
        return true;
    }
    std::vector<bool> present, flags;
    int64_t units = -1, kbSize = -1, formattingContext = -1;
};

class FixtureLocale : public NSObject {
public:
    TEST_CLASS("NSLocale", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        identifier = coder.decodeObjectOfClass_forKey<NSString>("NS.identifier");
        return true;
    }
    std::shared_ptr<NSString> identifier;
};
class FixtureTimeZone : public NSObject {
public:
    TEST_CLASS("NSTimeZone", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        name = coder.decodeObjectOfClass_forKey<NSString>("NS.name");
        hasData = coder.containsValueForKey("NS.data");
        data = coder.decodeObjectOfClass_forKey<NSData>("NS.data");
        return true;
    }
    std::shared_ptr<NSString> name;
    bool hasData = false;
    std::shared_ptr<NSData> data;
};
class FixtureCalendar : public NSObject {
public:
    TEST_CLASS("NSCalendar", NSObject::objcClass())
    bool initWithCoder(NSCoder& coder) override {
        identifier = coder.decodeObjectOfClass_forKey<NSString>("NS.identifier");
        startDate = coder.decodeObjectOfClass_forKey<NSDate>("NS.gstartdate");
        locale = coder.decodeObjectOfClass_forKey<FixtureLocale>("NS.locale");
        timeZone = coder.decodeObjectOfClass_forKey<FixtureTimeZone>("NS.timezone");
        firstWeekday = coder.decodeIntegerForKey("NS.firstwkdy");
        minimumDays = coder.decodeIntegerForKey("NS.mindays");
        return true;
    }
    std::shared_ptr<NSString> identifier;
    std::shared_ptr<NSDate> startDate;
    std::shared_ptr<FixtureLocale> locale;
    std::shared_ptr<FixtureTimeZone> timeZone;
    int64_t firstWeekday = -1, minimumDays = -1;
};
class FixtureDateIntervalFormatter : public NSObject {
public:
    TEST_CLASS("NSDateIntervalFormatter", formatterClass())
    bool initWithCoder(NSCoder& coder) override {
        locale = coder.decodeObjectOfClass_forKey<FixtureLocale>("NS.locale");
        calendar = coder.decodeObjectOfClass_forKey<FixtureCalendar>("NS.calendar");
        timeZone = coder.decodeObjectOfClass_forKey<FixtureTimeZone>("NS.timeZone");
        dateStyle = coder.decodeIntegerForKey("NS.dateStyle");
        timeStyle = coder.decodeIntegerForKey("NS.timeStyle");
        dateTemplate = coder.decodeObjectOfClass_forKey<NSString>("NS.dateTemplate");
        dateTemplateFromStyles = coder.decodeObjectOfClass_forKey<NSString>("NS.dateTemplateFromStyles");
        modified = coder.decodeBoolForKey("NS.modified");
        hasUseTemplate = coder.containsValueForKey("NS.useTemplate");
        useTemplate = coder.decodeBoolForKey("NS.useTemplate");
        return true;
    }
    std::shared_ptr<FixtureLocale> locale;
    std::shared_ptr<FixtureCalendar> calendar;
    std::shared_ptr<FixtureTimeZone> timeZone;
    int64_t dateStyle = -1, timeStyle = -1;
    std::shared_ptr<NSString> dateTemplate, dateTemplateFromStyles;
    bool modified = false, hasUseTemplate = false, useTemplate = true;
};

// The registry is process-wide and other test files may register the same names, so each test
// registers its classes right before it decodes.
void registerFixtureClasses() {
    NSKeyedUnarchiver::setClass_forClassName([] { return std::make_shared<CrapFoo>(); }, "crap.Foo");
    NSKeyedUnarchiver::registerClass<JNStreamTable>();
    NSKeyedUnarchiver::registerClass<JNStreamTableUInt8Column>();
    NSKeyedUnarchiver::registerClass<JNStreamTableUInt64Column>();
    NSKeyedUnarchiver::registerClass<JNStreamTableStringColumn>();
    NSKeyedUnarchiver::registerClass<JNStreamTablePackedValueColumn>();
    NSKeyedUnarchiver::registerClass<JNStreamTableDictionaryColumn>();
    NSKeyedUnarchiver::registerClass<FixtureNSValue>();
    NSKeyedUnarchiver::registerClass<FixtureOldStyleArray>();
    NSKeyedUnarchiver::registerClass<FixtureNotification>();
    NSKeyedUnarchiver::registerClass<FixtureCountedSet>();
    NSKeyedUnarchiver::registerClass<FixtureIndexSet>();
    NSKeyedUnarchiver::registerClass<FixtureMeasurement>();
    NSKeyedUnarchiver::registerClass<FixtureUnitAngle>();
    NSKeyedUnarchiver::registerClass<FixtureUnitConverterLinear>();
    NSKeyedUnarchiver::registerClass<FixtureMutableAttributedString>();
    NSKeyedUnarchiver::registerClass<FixtureByteCountFormatter>();
    NSKeyedUnarchiver::registerClass<FixtureDateIntervalFormatter>();
    NSKeyedUnarchiver::registerClass<FixtureLocale>();
    NSKeyedUnarchiver::registerClass<FixtureCalendar>();
    NSKeyedUnarchiver::registerClass<FixtureTimeZone>();
}

std::shared_ptr<NSKeyedUnarchiver> openArchive(std::vector<uint8_t> bytes) {
    registerFixtureClasses();
    return NSKeyedUnarchiver::initForReadingWithData(dataOf(std::move(bytes)));
}

// The root object of a fixture, decoded with the test-only classes registered.
std::shared_ptr<NSObject> decodeRoot(const std::string& name) {
    auto unarchiver = openArchive(fixtureBytes(name));
    auto root = unarchiver->decodeObjectForKey(NSKeyedArchiveRootObjectKey);
    unarchiver->finishDecoding();
    return root;
}

// Every fixture, each with its own test below.
const std::vector<std::string> kFixtures = {
    "bpylist2-complex_archive.plist",
    "bpylist2-fullChangeLog.bplist",
    "bpylist2-recursive_archive.plist",
    "cpython-test_plistlib-KEYED_ARCHIVE.bplist",
    "libnskeyedarchiver-integer_10.bplist",
    "libnskeyedarchiver-nsarray_runningprocesses.bplist",
    "libnskeyedarchiver-nsdictionary_setconfig.bplist",
    "nskeyedarchiver-go-arrays.bin",
    "nskeyedarchiver-go-dict.bin",
    "nskeyedarchiver-go-primitives.bin",
    "nskeyedarchiver-go-primitives.xml",
    "scf-NSKeyedUnarchiver-ArrayTest.plist",
    "scf-NSKeyedUnarchiver-ComplexTest.plist",
    "scf-NSKeyedUnarchiver-ConcreteValueTest.plist",
    "scf-NSKeyedUnarchiver-EdgeInsetsTest.plist",
    "scf-NSKeyedUnarchiver-NotificationTest.plist",
    "scf-NSKeyedUnarchiver-OrderedSetTest.plist",
    "scf-NSKeyedUnarchiver-RangeTest.plist",
    "scf-NSKeyedUnarchiver-RectTest.plist",
    "scf-NSKeyedUnarchiver-URLTest.plist",
    "scf-NSKeyedUnarchiver-UUIDTest.plist",
    "scf-macOS-10.14-ByteCountFormatter-AllFieldsSet.archive",
    "scf-macOS-10.14-DateIntervalFormatter-ValuesSetWithoutTemplate.archive",
    "scf-macOS-10.14-NSCountedSet-NumbersAppearingSeveralTimes.archive",
    "scf-macOS-10.14-NSIndexSet-ManyRanges.archive",
    "scf-macOS-10.14-NSMeasurement-Angle.archive",
    "scf-macOS-10.14-NSMutableAttributedString.archive",
    "scf-macOS-10.14-NSMutableOrderedSet-Numbers.archive",
    "scf-macOS-10.14-NSOrderedSet-Numbers.archive",
    "scf-macOS-10.14-NSSet-Numbers.archive",
};

}  // namespace

// ---- Every fixture ------------------------------------------------------------------------------

TEST(Part2_1_AppleFixtures, EveryFixtureDecodes) {
    // A new fixture needs a test of its own here.
    ASSERT_EQ(test::appleFixtureNames(), kFixtures);

    for (const auto& name : kFixtures) {
        SCOPED_TRACE(name);
        const auto bytes = fixtureBytes(name);
        const RawArchive raw(bytes);
        EXPECT_EQ(raw.archive.archiverName(), "NSKeyedArchiver");
        auto unarchiver = openArchive(bytes);
        if (unarchiver->containsValueForKey("root")) {
            EXPECT_NE(unarchiver->decodeObjectForKey("root"), nullptr);
        } else {
            // The go fixtures: only generic keys at the top, "$0" first.
            EXPECT_EQ(raw.topKeys().front(), "$0");
            auto exposed = openArchive(exposeGenericKeys(bytes));
            for (size_t i = 0; i < raw.archive.top().count; ++i)
                EXPECT_NE(exposed->decodeObjectForKey(generic(i)), nullptr) << generic(i);
        }
        unarchiver->finishDecoding();
        EXPECT_THROW(unarchiver->decodeObjectForKey("root"), NSException);
    }
}

// The generic keys of unkeyed encodes are not user keys: the keyed API escapes "$0" to "$$0" (as
// Apple's escapeArchiverKey does), so it never reads them; see the top of this file.
TEST(Part2_1_AppleFixtures, GenericKeysAreNotReadableAsKeys) {
    EXPECT_EQ(KeyedArchive::escapedKey("$0"), "$$0");
    EXPECT_EQ(KeyedArchive::escapedKey("NS.objects"), "NS.objects");
    EXPECT_EQ(KeyedArchive::unescapedKey("$$0"), "$0");
    EXPECT_EQ(KeyedArchive::unescapedKey("$0"), "$0");
    EXPECT_EQ(KeyedArchive::unescapedKey("$class"), "$class");

    const auto bytes = fixtureBytes("nskeyedarchiver-go-primitives.bin");
    const RawArchive raw(bytes);
    ASSERT_TRUE(raw.member(0, "$0").has_value());
    auto unarchiver = openArchive(bytes);
    EXPECT_FALSE(unarchiver->containsValueForKey("root"));
    EXPECT_FALSE(unarchiver->containsValueForKey("$0"));
    EXPECT_EQ(unarchiver->decodeObjectForKey("$0"), nullptr);
    EXPECT_EQ(unarchiver->decodeInt64ForKey("$0"), 0);
}

// ---- swift-corelibs-foundation, Tests/Foundation/Resources ----------------------------------------

TEST(Part2_1_AppleFixtures, ArrayTest) {
    const auto array = as<NSArray>(decodeRoot("scf-NSKeyedUnarchiver-ArrayTest.plist"));
    EXPECT_EQ(array->className(), "NSArray");
    EXPECT_EQ(stringsOf(array->objects()), (std::vector<std::string>{"baa", "baa", "black", "sheep"}));
    // Both "baa" are UID 2: one instance.
    EXPECT_EQ(array->objectAtIndex(0).get(), array->objectAtIndex(1).get());
    EXPECT_NE(array->objectAtIndex(0).get(), array->objectAtIndex(2).get());
}

TEST(Part2_1_AppleFixtures, ComplexTest) {
    const auto bytes = fixtureBytes("scf-NSKeyedUnarchiver-ComplexTest.plist");
    // The binary layout SOURCES.md gives: 84 objects, 23 in $objects, offset size 2, reference size 1.
    const RawArchive raw(bytes);
    EXPECT_EQ(raw.archive.plist().objectCount(), 84u);
    EXPECT_EQ(raw.archive.objectCount(), 23u);
    EXPECT_EQ(bytes[bytes.size() - 26], 2);
    EXPECT_EQ(bytes[bytes.size() - 25], 1);

    auto unarchiver = openArchive(bytes);
    const auto root = as<NSDictionary>(unarchiver->decodeObjectForKey("root"));
    EXPECT_EQ(root->className(), "NSDictionary");
    EXPECT_EQ(keysOf(*root), (std::vector<std::string>{"array", "string", "url", "uuid"}));

    const auto array = as<NSArray>(valueFor(*root, "array"));
    ASSERT_EQ(array->count(), 4u);
    EXPECT_EQ(array->objectAtIndex(0)->className(), "NSNull");
    EXPECT_TRUE(array->objectAtIndex(0)->isEqual(*NSNull::null()));
    EXPECT_EQ(text(array->objectAtIndex(1)), "hello");
    EXPECT_TRUE(isInteger(array->objectAtIndex(2), 34545));
    const auto inner = as<NSDictionary>(array->objectAtIndex(3));
    EXPECT_EQ(keysOf(*inner), std::vector<std::string>{"key"});
    EXPECT_EQ(text(valueFor(*inner, "key")), "val");
    // "string" and the array's second element are the same UID (9), so the same instance.
    EXPECT_EQ(raw.elementUID(raw.uidAt(0, "root"), "NS.objects", 1), 9u);
    EXPECT_EQ(valueFor(*root, "string").get(), array->objectAtIndex(1).get());

    const auto url = as<NSURL>(valueFor(*root, "url"));
    EXPECT_EQ(url->relativeString(), "index.xml");
    ASSERT_NE(url->baseURL(), nullptr);
    EXPECT_EQ(url->baseURL()->relativeString(), "https://www.swift.org");
    EXPECT_EQ(url->baseURL()->baseURL(), nullptr);  // NS.base UID 0
    EXPECT_EQ(url->absoluteString(), "https://www.swift.org/index.xml");

    const auto uuid = as<NSUUID>(valueFor(*root, "uuid"));
    EXPECT_EQ(hex(uuid->uuidBytes()), "71dc068e342045ff919e3a267d55ec22");
    EXPECT_EQ(uuid->UUIDString(), "71DC068E-3420-45FF-919E-3A267D55EC22");
}

TEST(Part2_1_AppleFixtures, ConcreteValueTest) {
    const auto bytes = fixtureBytes("scf-NSKeyedUnarchiver-ConcreteValueTest.plist");
    const RawArchive raw(bytes);
    const uint64_t root = raw.uidAt(0, "root");
    EXPECT_TRUE(raw.member(root, "$0").has_value());
    EXPECT_TRUE(raw.member(root, "$1").has_value());

    // As written: the keyed API sees no generic key.
    const auto plain = as<FixtureNSValue>(decodeRoot("scf-NSKeyedUnarchiver-ConcreteValueTest.plist"));
    EXPECT_FALSE(plain->escapedGenericKeyFound);
    EXPECT_FALSE(plain->hasSpecial);
    EXPECT_EQ(plain->objCType, nullptr);

    // With the generic keys exposed: "$0" the type string "[3i]", "$1" the C array int[3] = {1, 2, 3}.
    auto unarchiver = openArchive(exposeGenericKeys(bytes));
    const auto value = as<FixtureNSValue>(unarchiver->decodeObjectForKey("root"));
    ASSERT_NE(value->objCType, nullptr);
    EXPECT_EQ(value->objCType->UTF8String(), "[3i]");
    const auto array = as<FixtureOldStyleArray>(value->value);
    EXPECT_EQ(array->className(), "_NSKeyedCoderOldStyleArray");
    EXPECT_EQ(array->count, 3);
    EXPECT_EQ(array->size, 4);
    EXPECT_EQ(array->type, 'i');
    EXPECT_EQ(array->elements, (std::vector<int64_t>{1, 2, 3}));
}

TEST(Part2_1_AppleFixtures, EdgeInsetsTest) {
    const auto value = as<FixtureNSValue>(decodeRoot("scf-NSKeyedUnarchiver-EdgeInsetsTest.plist"));
    EXPECT_EQ(value->special, 12);
    EXPECT_EQ(value->top, 1.0);
    EXPECT_EQ(value->left, 2.0);
    EXPECT_EQ(value->bottom, 3.0);
    EXPECT_EQ(value->right, 4.0);
    EXPECT_EQ(value->rangeLocation, nullptr);
    EXPECT_EQ(value->rect, nullptr);
}

TEST(Part2_1_AppleFixtures, NotificationTest) {
    const auto notification = as<FixtureNotification>(decodeRoot("scf-NSKeyedUnarchiver-NotificationTest.plist"));
    ASSERT_NE(notification->name, nullptr);
    EXPECT_EQ(notification->name->UTF8String(), "notification-name");
    EXPECT_EQ(text(notification->object), "notification-object");
    ASSERT_NE(notification->userInfo, nullptr);
    EXPECT_EQ(keysOf(*notification->userInfo), std::vector<std::string>{"notification-key"});
    EXPECT_EQ(text(valueFor(*notification->userInfo, "notification-key")), "notification-val");
}

TEST(Part2_1_AppleFixtures, OrderedSetTest) {
    const auto set = as<NSOrderedSet>(decodeRoot("scf-NSKeyedUnarchiver-OrderedSetTest.plist"));
    EXPECT_EQ(set->className(), "NSOrderedSet");
    EXPECT_EQ(stringsOf(set->array()), (std::vector<std::string>{"valgeir", "nico", "puzzle"}));
}

TEST(Part2_1_AppleFixtures, RangeTest) {
    const auto value = as<FixtureNSValue>(decodeRoot("scf-NSKeyedUnarchiver-RangeTest.plist"));
    EXPECT_EQ(value->special, 4);
    // The range fields are number objects referenced by UID, not inline integers.
    EXPECT_TRUE(isInteger(value->rangeLocation, 97345));
    EXPECT_TRUE(isInteger(value->rangeLength, 98345));
}

TEST(Part2_1_AppleFixtures, RectTest) {
    const auto value = as<FixtureNSValue>(decodeRoot("scf-NSKeyedUnarchiver-RectTest.plist"));
    EXPECT_EQ(value->special, 3);
    ASSERT_NE(value->rect, nullptr);
    EXPECT_EQ(value->rect->UTF8String(), "{{400, 300}, {200, 300}}");
}

TEST(Part2_1_AppleFixtures, URLTest) {
    const auto bytes = fixtureBytes("scf-NSKeyedUnarchiver-URLTest.plist");
    const RawArchive raw(bytes);
    const uint64_t base = raw.uidAt(raw.uidAt(0, "root"), "NS.base");
    EXPECT_EQ(raw.uidAt(base, "NS.base"), 0u);  // no base: a reference to "$null"

    const auto url = as<NSURL>(decodeRoot("scf-NSKeyedUnarchiver-URLTest.plist"));
    EXPECT_EQ(url->relativeString(), "foo.xml");
    ASSERT_NE(url->baseURL(), nullptr);
    EXPECT_EQ(url->baseURL()->relativeString(), "https://www.example.com");
    EXPECT_EQ(url->baseURL()->baseURL(), nullptr);
    EXPECT_EQ(url->absoluteString(), "https://www.example.com/foo.xml");
}

TEST(Part2_1_AppleFixtures, UUIDTest) {
    const auto uuid = as<NSUUID>(decodeRoot("scf-NSKeyedUnarchiver-UUIDTest.plist"));
    EXPECT_EQ(hex(uuid->uuidBytes()), "0ad863ba758440cf8896bd87b3280c34");
    EXPECT_EQ(uuid->UUIDString(), "0AD863BA-7584-40CF-8896-BD87B3280C34");
}

// ---- swift-corelibs-foundation, macOS 10.14 fixtures ---------------------------------------------

TEST(Part2_1_AppleFixtures, NSSetNumbers) {
    const auto bytes = fixtureBytes("scf-macOS-10.14-NSSet-Numbers.archive");
    EXPECT_EQ(RawArchive(bytes).archive.plist().objectCount(), 33u);
    EXPECT_EQ(bytes[bytes.size() - 26], 1);  // offset size
    EXPECT_EQ(bytes[bytes.size() - 25], 1);  // reference size
    const auto set = as<NSSet>(decodeRoot("scf-macOS-10.14-NSSet-Numbers.archive"));
    EXPECT_EQ(set->className(), "NSSet");
    EXPECT_EQ(integersOf(set->allObjects()), (std::vector<int64_t>{3, 2, 5, 1, 4}));
}

TEST(Part2_1_AppleFixtures, NSOrderedSetNumbers) {
    const auto set = as<NSOrderedSet>(decodeRoot("scf-macOS-10.14-NSOrderedSet-Numbers.archive"));
    EXPECT_EQ(set->className(), "NSOrderedSet");
    EXPECT_EQ(integersOf(set->array()), (std::vector<int64_t>{1, 2, 3, 4, 5}));
}

TEST(Part2_1_AppleFixtures, NSMutableOrderedSetNumbers) {
    const auto set = as<NSMutableOrderedSet>(decodeRoot("scf-macOS-10.14-NSMutableOrderedSet-Numbers.archive"));
    EXPECT_EQ(set->className(), "NSMutableOrderedSet");
    EXPECT_EQ(integersOf(set->array()), (std::vector<int64_t>{1, 2, 3, 4, 5}));
}

TEST(Part2_1_AppleFixtures, NSCountedSetNumbersAppearingSeveralTimes) {
    const auto set = as<FixtureCountedSet>(decodeRoot("scf-macOS-10.14-NSCountedSet-NumbersAppearingSeveralTimes.archive"));
    EXPECT_EQ(set->count, 5);
    EXPECT_EQ(integersOf(set->members), (std::vector<int64_t>{3, 2, 5, 1, 4}));
    EXPECT_EQ(set->counts, (std::vector<int64_t>{5, 5, 5, 5, 5}));
}

TEST(Part2_1_AppleFixtures, ByteCountFormatterAllFieldsSet) {
    const auto formatter = as<FixtureByteCountFormatter>(decodeRoot("scf-macOS-10.14-ByteCountFormatter-AllFieldsSet.archive"));
    // Five encodeBool keys, all true; a key never written reads as absent and false.
    EXPECT_EQ(formatter->present, (std::vector<bool>{true, true, true, true, true, false}));
    EXPECT_EQ(formatter->flags, (std::vector<bool>{true, true, true, true, true, false}));
    EXPECT_EQ(formatter->units, 3);
    EXPECT_EQ(formatter->kbSize, 2);
    EXPECT_EQ(formatter->formattingContext, 4);
}

TEST(Part2_1_AppleFixtures, DateIntervalFormatterValuesSetWithoutTemplate) {
    const auto bytes = fixtureBytes("scf-macOS-10.14-DateIntervalFormatter-ValuesSetWithoutTemplate.archive");
    EXPECT_EQ(RawArchive(bytes).archive.plist().objectCount(), 100u);
    const auto formatter = as<FixtureDateIntervalFormatter>(decodeRoot("scf-macOS-10.14-DateIntervalFormatter-ValuesSetWithoutTemplate.archive"));
    EXPECT_EQ(formatter->className(), "NSDateIntervalFormatter");
    EXPECT_EQ(formatter->dateStyle, 3);
    EXPECT_EQ(formatter->timeStyle, 0);
    ASSERT_NE(formatter->dateTemplate, nullptr);
    EXPECT_EQ(formatter->dateTemplate->UTF8String(), "");
    ASSERT_NE(formatter->dateTemplateFromStyles, nullptr);
    EXPECT_EQ(formatter->dateTemplateFromStyles->UTF8String(), "y\u5e74M\u6708d\u65e5");  // "y年M月d日", UTF-16 in the file
    EXPECT_TRUE(formatter->modified);
    EXPECT_TRUE(formatter->hasUseTemplate);
    EXPECT_FALSE(formatter->useTemplate);

    ASSERT_NE(formatter->locale, nullptr);
    EXPECT_EQ(formatter->locale->identifier->UTF8String(), "ja-JP");
    const auto& calendar = formatter->calendar;
    ASSERT_NE(calendar, nullptr);
    EXPECT_EQ(calendar->identifier->UTF8String(), "gregorian");
    EXPECT_EQ(calendar->firstWeekday, 1);
    EXPECT_EQ(calendar->minimumDays, 1);
    ASSERT_NE(calendar->startDate, nullptr);
    EXPECT_EQ(calendar->startDate->timeIntervalSinceReferenceDate(), -13197600000.0);
    // Two equal locales stored as two objects (UIDs 4 and 9) sharing one identifier string (UID 5).
    ASSERT_NE(calendar->locale, nullptr);
    EXPECT_NE(calendar->locale.get(), formatter->locale.get());
    EXPECT_EQ(calendar->locale->identifier.get(), formatter->locale->identifier.get());

    ASSERT_NE(calendar->timeZone, nullptr);
    EXPECT_EQ(calendar->timeZone->name->UTF8String(), "GMT");
    ASSERT_NE(calendar->timeZone->data, nullptr);
    EXPECT_EQ(calendar->timeZone->data->className(), "NSMutableData");
    const auto tz = calendar->timeZone->data->span();
    ASSERT_EQ(tz.size(), 118u);
    EXPECT_EQ(std::string(tz.begin(), tz.begin() + 5), "TZif2");
    EXPECT_EQ(std::string(tz.end() - 6, tz.end()), "\nGMT0\n");

    ASSERT_NE(formatter->timeZone, nullptr);
    EXPECT_EQ(formatter->timeZone->name->UTF8String(), "GMT+0100");
    EXPECT_TRUE(formatter->timeZone->hasData);  // NS.data is UID 0: present, and none
    EXPECT_EQ(formatter->timeZone->data, nullptr);
}

TEST(Part2_1_AppleFixtures, NSMeasurementAngle) {
    const auto measurement = as<FixtureMeasurement>(decodeRoot("scf-macOS-10.14-NSMeasurement-Angle.archive"));
    EXPECT_EQ(measurement->value, 90.0);
    const auto unit = as<FixtureUnitAngle>(measurement->unit);
    EXPECT_EQ(unit->className(), "NSUnitAngle");
    ASSERT_NE(unit->symbol, nullptr);
    EXPECT_EQ(unit->symbol->UTF8String(), "\u00b0");  // UTF-16 in the file
    EXPECT_EQ(unit->specifier, 256);
    const auto converter = as<FixtureUnitConverterLinear>(unit->converter);
    EXPECT_EQ(converter->coefficient, 1.0);
    EXPECT_TRUE(converter->hasConstant);
    EXPECT_EQ(converter->constant, 0.0);
}

TEST(Part2_1_AppleFixtures, NSIndexSetManyRanges) {
    const auto set = as<FixtureIndexSet>(decodeRoot("scf-macOS-10.14-NSIndexSet-ManyRanges.archive"));
    EXPECT_EQ(set->rangeCount, 4);
    ASSERT_NE(set->rangeData, nullptr);
    EXPECT_EQ(set->rangeData->className(), "NSMutableData");
    EXPECT_EQ(hex(set->rangeData->span()), "00326432e80732cdffffffffffffff7f32");
    const std::vector<std::pair<uint64_t, uint64_t>> ranges = {
        {0, 50}, {100, 50}, {1000, 50}, {static_cast<uint64_t>(INT64_MAX) - 50, 50}};
    EXPECT_EQ(set->ranges, ranges);
}

TEST(Part2_1_AppleFixtures, NSMutableAttributedString) {
    const auto string = as<FixtureMutableAttributedString>(decodeRoot("scf-macOS-10.14-NSMutableAttributedString.archive"));
    ASSERT_NE(string->string, nullptr);
    EXPECT_EQ(string->string->className(), "NSMutableString");
    EXPECT_EQ(string->string->UTF8String(), "0123456789");
    ASSERT_NE(string->attributeInfo, nullptr);
    EXPECT_EQ(hex(string->attributeInfo->span()), "010001010402020101030100");

    const auto attributes = as<NSMutableArray>(string->attributes);
    ASSERT_EQ(attributes->count(), 4u);
    std::vector<std::shared_ptr<NSDictionary>> runs;
    for (const auto& run : attributes->objects()) runs.push_back(as<NSDictionary>(run));
    EXPECT_EQ(runs[0]->count(), 0u);
    EXPECT_EQ(keysOf(*runs[1]), (std::vector<std::string>{"Size", "Font"}));
    EXPECT_TRUE(isInteger(valueFor(*runs[1], "Size"), 123));
    EXPECT_EQ(text(valueFor(*runs[1], "Font")), "Helvetica");
    EXPECT_TRUE(isInteger(valueFor(*runs[2], "Size"), 456));
    EXPECT_EQ(text(valueFor(*runs[2], "Font")), "Times");
    // Runs 2 and 3 are equal but distinct dictionaries (UIDs 12 and 15) sharing keys and values.
    EXPECT_NE(runs[2].get(), runs[3].get());
    EXPECT_TRUE(runs[2]->isEqual(*runs[3]));
    EXPECT_EQ(runs[1]->entries()[0].first.get(), runs[3]->entries()[0].first.get());
    EXPECT_EQ(runs[2]->entries()[0].second.get(), runs[3]->entries()[0].second.get());
    EXPECT_EQ(runs[2]->entries()[1].second.get(), runs[3]->entries()[1].second.get());
}

// ---- danielpaulus/nskeyedarchiver: unkeyed encodes ----------------------------------------------

namespace {

// The twelve values of primitives.{bin,xml}, read through the exposed generic keys.
void checkGoPrimitives(const std::string& name) {
    const auto bytes = fixtureBytes(name);
    const RawArchive raw(bytes);
    std::vector<std::string> expectedKeys;
    for (int i = 0; i < 12; ++i) expectedKeys.push_back("$" + std::to_string(i));
    std::sort(expectedKeys.begin(), expectedKeys.end());
    EXPECT_EQ(raw.topKeys(), expectedKeys);
    std::vector<uint64_t> uids;
    for (int i = 0; i < 12; ++i) uids.push_back(raw.uidAt(0, "$" + std::to_string(i)));
    EXPECT_EQ(uids, (std::vector<uint64_t>{1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 10}));

    auto unarchiver = openArchive(exposeGenericKeys(bytes));
    std::vector<std::shared_ptr<NSObject>> v;
    for (size_t i = 0; i < 12; ++i) v.push_back(unarchiver->decodeObjectForKey(generic(i)));
    unarchiver->finishDecoding();

    EXPECT_TRUE(isInteger(v[0], 1));  // UInt64(1)
    EXPECT_EQ(v[0].get(), v[1].get());  // UInt32(1): the same UID, so the same instance
    EXPECT_TRUE(isDouble(v[2], 1.0));  // 1.0 is not merged with 1
    EXPECT_NE(v[2].get(), v[0].get());
    EXPECT_TRUE(isDouble(v[3], 1.5));
    const auto data = as<NSData>(v[4]);
    EXPECT_EQ(data->className(), "NSData");
    EXPECT_EQ(std::string(data->span().begin(), data->span().end()), "asdfasdfadsfadsf");
    EXPECT_TRUE(isBool(v[5], true));
    for (size_t i = 6; i <= 8; ++i) EXPECT_EQ(text(v[i]), "Hello, World!");
    // Three equal strings, three objects.
    EXPECT_NE(v[6].get(), v[7].get());
    EXPECT_NE(v[7].get(), v[8].get());
    EXPECT_NE(v[6].get(), v[8].get());
    EXPECT_TRUE(isBool(v[9], false));
    EXPECT_EQ(v[9].get(), v[10].get());
    EXPECT_TRUE(isInteger(v[11], 42));
}

}  // namespace

TEST(Part2_1_AppleFixtures, GoPrimitivesBinary) {
    const auto bytes = fixtureBytes("nskeyedarchiver-go-primitives.bin");
    EXPECT_EQ(RawArchive(bytes).archive.plist().objectCount(), 44u);
    checkGoPrimitives("nskeyedarchiver-go-primitives.bin");
}

TEST(Part2_1_AppleFixtures, GoPrimitivesXML) {
    const auto bytes = fixtureBytes("nskeyedarchiver-go-primitives.xml");
    ASSERT_FALSE(plist::BinaryPropertyList::hasBinaryHeader(bytes));
    checkGoPrimitives("nskeyedarchiver-go-primitives.xml");
}

// The binary and the XML form of the same archive decode to the same values, kind for kind.
TEST(Part2_1_AppleFixtures, GoPrimitivesBinaryAndXMLAgree) {
    auto binary = openArchive(exposeGenericKeys(fixtureBytes("nskeyedarchiver-go-primitives.bin")));
    auto xml = openArchive(exposeGenericKeys(fixtureBytes("nskeyedarchiver-go-primitives.xml")));
    for (size_t i = 0; i < 12; ++i) {
        SCOPED_TRACE(generic(i));
        const auto a = binary->decodeObjectForKey(generic(i));
        const auto b = xml->decodeObjectForKey(generic(i));
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(a->className(), b->className());
        EXPECT_TRUE(a->isEqual(*b));
        if (const auto number = std::dynamic_pointer_cast<NSNumber>(a)) {
            EXPECT_EQ(static_cast<int>(number->type()), static_cast<int>(as<NSNumber>(b)->type()));
        }
    }
}

TEST(Part2_1_AppleFixtures, GoArrays) {
    auto unarchiver = openArchive(exposeGenericKeys(fixtureBytes("nskeyedarchiver-go-arrays.bin")));
    const auto array = as<NSArray>(unarchiver->decodeObjectForKey(generic(0)));
    const auto mutableArray = as<NSMutableArray>(unarchiver->decodeObjectForKey(generic(1)));
    const auto set = as<NSSet>(unarchiver->decodeObjectForKey(generic(2)));
    const auto mutableSet = as<NSMutableSet>(unarchiver->decodeObjectForKey(generic(3)));
    EXPECT_EQ(array->className(), "NSArray");
    EXPECT_EQ(mutableArray->className(), "NSMutableArray");
    EXPECT_EQ(set->className(), "NSSet");
    EXPECT_EQ(mutableSet->className(), "NSMutableSet");

    const auto& a = array->objects();
    ASSERT_EQ(a.size(), 12u);
    EXPECT_TRUE(isInteger(a[0], 1));
    EXPECT_EQ(a[0].get(), a[1].get());
    EXPECT_TRUE(isDouble(a[2], 1.0));
    EXPECT_TRUE(isDouble(a[3], 1.5));
    EXPECT_EQ(as<NSData>(a[4])->length(), 16u);
    EXPECT_TRUE(isBool(a[5], true));
    for (size_t i = 6; i <= 8; ++i) EXPECT_EQ(text(a[i]), "Hello, World!");
    EXPECT_NE(a[6].get(), a[7].get());
    EXPECT_TRUE(isBool(a[9], false));
    EXPECT_EQ(a[9].get(), a[10].get());
    EXPECT_TRUE(isInteger(a[11], 42));

    // [true, "Hello, World!", 42]: true and 42 are the UIDs of $0's, the string is another one.
    const auto& m = mutableArray->objects();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].get(), a[5].get());
    EXPECT_EQ(text(m[1]), "Hello, World!");
    for (size_t i = 6; i <= 8; ++i) EXPECT_NE(m[1].get(), a[i].get());
    EXPECT_EQ(m[2].get(), a[11].get());

    ASSERT_EQ(set->count(), 1u);
    EXPECT_EQ(set->allObjects()[0].get(), a[5].get());
    const auto& s = mutableSet->allObjects();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].get(), a[11].get());
    EXPECT_EQ(s[1].get(), a[5].get());
    EXPECT_EQ(text(s[2]), "Hello, World!");
    EXPECT_NE(s[2].get(), m[1].get());
}

TEST(Part2_1_AppleFixtures, GoDict) {
    auto unarchiver = openArchive(exposeGenericKeys(fixtureBytes("nskeyedarchiver-go-dict.bin")));
    const auto dictionary = as<NSDictionary>(unarchiver->decodeObjectForKey(generic(0)));
    EXPECT_EQ(dictionary->className(), "NSDictionary");
    EXPECT_EQ(keysOf(*dictionary), (std::vector<std::string>{"int", "string", "array"}));
    EXPECT_TRUE(isInteger(valueFor(*dictionary, "int"), 1));
    EXPECT_EQ(text(valueFor(*dictionary, "string")), "string");
    // The key "string" and the value "string" are one UID, so one instance.
    EXPECT_EQ(dictionary->entries()[1].first.get(), dictionary->entries()[1].second.get());
    const auto array = as<NSMutableArray>(valueFor(*dictionary, "array"));
    ASSERT_EQ(array->count(), 3u);
    EXPECT_TRUE(isBool(array->objectAtIndex(0), true));
    EXPECT_EQ(text(array->objectAtIndex(1)), "Hello, World!");
    EXPECT_TRUE(isInteger(array->objectAtIndex(2), 42));
}

// ---- bpylist2 -----------------------------------------------------------------------------------

TEST(Part2_1_AppleFixtures, BpylistComplexArchive) {
    const auto foo = as<CrapFoo>(decodeRoot("bpylist2-complex_archive.plist"));
    EXPECT_EQ(foo->className(), "crap.Foo");
    ASSERT_NE(foo->title, nullptr);
    EXPECT_EQ(foo->title->UTF8String(), "yo");
    EXPECT_TRUE(foo->hasCount);
    EXPECT_EQ(foo->count, 42);
    EXPECT_TRUE(foo->active);
    ASSERT_NE(foo->categories, nullptr);
    EXPECT_EQ(stringsOf(foo->categories->objects()), (std::vector<std::string>{"banana", "apple"}));
    ASSERT_NE(foo->metadata, nullptr);
    EXPECT_EQ(keysOf(*foo->metadata), (std::vector<std::string>{"fruit", "veg"}));
    EXPECT_EQ(text(valueFor(*foo->metadata, "fruit")), "kiwi");
    EXPECT_EQ(text(valueFor(*foo->metadata, "veg")), "asparagus");
    EXPECT_FALSE(foo->hasRecursive);
    EXPECT_EQ(foo->recursive, nullptr);
}

TEST(Part2_1_AppleFixtures, BpylistRecursiveArchive) {
    const auto bytes = fixtureBytes("bpylist2-recursive_archive.plist");
    const RawArchive raw(bytes);
    const uint64_t inner = raw.uidAt(raw.uidAt(0, "root"), "recursive");
    EXPECT_EQ(raw.uidAt(inner, "recursive"), 0u);

    const auto outer = as<CrapFoo>(decodeRoot("bpylist2-recursive_archive.plist"));
    EXPECT_EQ(outer->title->UTF8String(), "hello");
    EXPECT_TRUE(outer->hasRecursive);
    ASSERT_NE(outer->recursive, nullptr);
    EXPECT_NE(outer->recursive.get(), outer.get());
    EXPECT_EQ(outer->recursive->className(), "crap.Foo");
    EXPECT_EQ(outer->recursive->title->UTF8String(), "yo");
    // UID 0: the key is present and decodes as none.
    EXPECT_TRUE(outer->recursive->hasRecursive);
    EXPECT_EQ(outer->recursive->recursive, nullptr);
    EXPECT_FALSE(outer->recursive->hasCount);
}

TEST(Part2_1_AppleFixtures, BpylistFullChangeLog) {
    const auto table = as<JNStreamTable>(decodeRoot("bpylist2-fullChangeLog.bplist"));
    EXPECT_EQ(table->tableID->UTF8String(), "fullChangeLog");
    EXPECT_EQ(table->rowHeader, 2);
    EXPECT_TRUE(table->hasReplyHeader);
    EXPECT_EQ(table->replyHeader, 0);
    EXPECT_TRUE(table->hasReplyColumns);
    EXPECT_EQ(table->replyColumns, nullptr);
    ASSERT_NE(table->columns, nullptr);
    ASSERT_EQ(table->columns->count(), 7u);

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"JNStreamTableUInt8Column", "changeType"},  {"JNStreamTableUInt64Column", "syncID"},
        {"JNStreamTableUInt64Column", "changeLogID"}, {"JNStreamTableStringColumn", "className"},
        {"JNStreamTableUInt64Column", "primaryKey"}, {"JNStreamTableUInt8Column", "unneeded"},
        {"JNStreamTableDictionaryColumn", "changeData"}};
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const auto column = as<JNStreamTableColumn>(table->columns->objectAtIndex(i));
        EXPECT_EQ(column->className(), expected[i].first);
        EXPECT_EQ(column->keyPath->UTF8String(), expected[i].second);
        EXPECT_TRUE(column->hasStopValue);
        EXPECT_EQ(column->stopValue, nullptr);
    }
    const auto dictionaryColumn = as<JNStreamTableDictionaryColumn>(table->columns->objectAtIndex(6));
    const auto keyColumn = as<JNStreamTableStringColumn>(dictionaryColumn->keyColumn);
    EXPECT_EQ(keyColumn->keyPath->UTF8String(), "key");
    EXPECT_EQ(text(keyColumn->stopValue), "");  // an empty string, not none
    const auto valueColumn = as<JNStreamTablePackedValueColumn>(dictionaryColumn->valueColumn);
    EXPECT_EQ(valueColumn->keyPath->UTF8String(), "value");
    EXPECT_EQ(valueColumn->stopValue, nullptr);
    EXPECT_TRUE(isKindOfClass(*valueColumn, JNStreamTableDataColumn::objcClass()));
    EXPECT_TRUE(isKindOfClass(*valueColumn, JNStreamTableColumn::objcClass()));
}

// ---- cpython test_plistlib ---------------------------------------------------------------------

// OC_BuiltinPythonUnicode is unknown here; its $classhints ["OC_PythonString", "NSString"] lead to NSString.
TEST(Part2_1_AppleFixtures, CpythonKeyedArchiveClassHints) {
    const auto bytes = fixtureBytes("cpython-test_plistlib-KEYED_ARCHIVE.bplist");
    RawArchive raw(bytes);
    const auto& cls = raw.archive.classOf(raw.archive.entry(raw.uidAt(0, "root")));
    EXPECT_EQ(cls.name, "OC_BuiltinPythonUnicode");
    EXPECT_EQ(cls.classes, (std::vector<std::string>{"OC_BuiltinPythonUnicode", "OC_PythonUnicode", "NSString", "NSObject"}));
    EXPECT_EQ(cls.hints, (std::vector<std::string>{"OC_PythonString", "NSString"}));

    const auto string = as<NSString>(decodeRoot("cpython-test_plistlib-KEYED_ARCHIVE.bplist"));
    EXPECT_EQ(string->className(), "NSString");
    EXPECT_EQ(string->UTF8String(), "KeyArchive UID Test");
}

// ---- sandin/libnskeyedarchiver -----------------------------------------------------------------

TEST(Part2_1_AppleFixtures, Integer10ScalarRoot) {
    const auto bytes = fixtureBytes("libnskeyedarchiver-integer_10.bplist");
    EXPECT_EQ(RawArchive(bytes).archive.objectCount(), 2u);
    auto unarchiver = openArchive(bytes);
    // The root is a reference to a bare number, not an inline integer.
    EXPECT_THROW(unarchiver->decodeInt64ForKey("root"), NSException);
    EXPECT_TRUE(isInteger(unarchiver->decodeObjectForKey("root"), 10));
}

TEST(Part2_1_AppleFixtures, NSDictionarySetConfig) {
    const auto root = as<NSDictionary>(decodeRoot("libnskeyedarchiver-nsdictionary_setconfig.bplist"));
    EXPECT_EQ(root->className(), "NSDictionary");
    EXPECT_EQ(keysOf(*root), (std::vector<std::string>{"ur", "tc", "rp"}));
    EXPECT_TRUE(isInteger(valueFor(*root, "ur"), 500));
    EXPECT_TRUE(isInteger(valueFor(*root, "rp"), 10));
    const auto tc = as<NSArray>(valueFor(*root, "tc"));
    EXPECT_EQ(tc->className(), "NSArray");
    ASSERT_EQ(tc->count(), 1u);
    const auto config = as<NSMutableDictionary>(tc->objectAtIndex(0));
    EXPECT_EQ(config->className(), "NSMutableDictionary");
    EXPECT_EQ(keysOf(*config), (std::vector<std::string>{"kdf2", "tk", "uuid"}));
    const auto kdf2 = as<NSMutableSet>(valueFor(*config, "kdf2"));
    EXPECT_EQ(kdf2->className(), "NSMutableSet");
    EXPECT_EQ(integersOf(kdf2->allObjects()), (std::vector<int64_t>{630784000, 833617920, 830472456}));
    EXPECT_TRUE(isInteger(valueFor(*config, "tk"), 3));
    const auto uuid = as<NSMutableString>(valueFor(*config, "uuid"));
    EXPECT_EQ(uuid->className(), "NSMutableString");
    EXPECT_EQ(uuid->UTF8String(), "2C46B61A-CDA9-4D59-B901-22E28B08C260");
}

TEST(Part2_1_AppleFixtures, NSArrayRunningProcesses) {
    const auto bytes = fixtureBytes("libnskeyedarchiver-nsarray_runningprocesses.bplist");
    const RawArchive raw(bytes);
    EXPECT_EQ(raw.archive.plist().objectCount(), 6923u);
    EXPECT_EQ(raw.archive.objectCount(), 1651u);
    EXPECT_EQ(bytes[bytes.size() - 25], 2);  // 2-byte references, 2-byte UIDs

    const auto processes = as<NSMutableArray>(decodeRoot("libnskeyedarchiver-nsarray_runningprocesses.bplist"));
    EXPECT_EQ(processes->className(), "NSMutableArray");
    ASSERT_EQ(processes->count(), 328u);

    std::vector<std::shared_ptr<NSMutableDictionary>> p;
    size_t applications = 0, withoutDate = 0;
    int64_t pidSum = 0;
    std::set<std::string> names;
    for (const auto& object : processes->objects()) {
        auto process = as<NSMutableDictionary>(object);
        EXPECT_EQ(process->className(), "NSMutableDictionary");
        applications += as<NSNumber>(valueFor(*process, "isApplication"))->boolValue();
        pidSum += as<NSNumber>(valueFor(*process, "pid"))->integerValue();
        names.insert(text(valueFor(*process, "name")));
        if (!valueFor(*process, "startDate")) ++withoutDate;
        p.push_back(std::move(process));
    }
    EXPECT_EQ(applications, 67u);
    EXPECT_EQ(pidSum, 12770303);
    EXPECT_EQ(names.size(), 320u);
    EXPECT_EQ(withoutDate, 1u);

    EXPECT_EQ(keysOf(*p[0]), (std::vector<std::string>{"name", "startDate", "isApplication", "pid", "realAppName"}));
    EXPECT_EQ(text(valueFor(*p[0], "name")), "contactsd");
    EXPECT_TRUE(isInteger(valueFor(*p[0], "pid"), 84474));
    EXPECT_TRUE(isBool(valueFor(*p[0], "isApplication"), false));
    EXPECT_EQ(as<NSDate>(valueFor(*p[0], "startDate"))->timeIntervalSinceReferenceDate(), 680457815.615284);
    EXPECT_EQ(text(valueFor(*p[0], "realAppName")), "/System/Library/Frameworks/Contacts.framework/Support/contactsd");

    EXPECT_EQ(text(valueFor(*p[2], "name")), "com.apple.MobileInstallationHelperService");
    EXPECT_EQ(text(valueFor(*p[2], "realAppName")),
              "/System/Library/PrivateFrameworks/MobileInstallation.framework/XPCServices/"
              "com.apple.MobileInstallationHelperService.xpc/com.apple.MobileInstallationHelperService");

    // CJK application names, UTF-16 in the file.
    EXPECT_EQ(text(valueFor(*p[243], "name")), "\u56fd\u5bb6\u53cd\u8bc8\u4e2d\u5fc3");  // 国家反诈中心
    EXPECT_TRUE(isInteger(valueFor(*p[243], "pid"), 54645));
    EXPECT_TRUE(isBool(valueFor(*p[243], "isApplication"), true));
    EXPECT_EQ(as<NSDate>(valueFor(*p[243], "startDate"))->timeIntervalSinceReferenceDate(), 680110179.2612729);
    EXPECT_EQ(text(valueFor(*p[243], "realAppName")),
              "/var/containers/Bundle/Application/BBF9AC59-F95A-480E-8B3E-33D45E057396/"
              "\u56fd\u5bb6\u53cd\u8bc8\u4e2d\u5fc3.app/\u56fd\u5bb6\u53cd\u8bc8\u4e2d\u5fc3");
    EXPECT_EQ(text(valueFor(*p[292], "name")), "\u4ea4\u901a\u94f6\u884c");  // 交通银行
    EXPECT_TRUE(isInteger(valueFor(*p[292], "pid"), 77698));
    EXPECT_EQ(as<NSDate>(valueFor(*p[292], "startDate"))->timeIntervalSinceReferenceDate(), 680407678.9612751);

    // The last process has no start date.
    EXPECT_EQ(keysOf(*p[327]), (std::vector<std::string>{"realAppName", "isApplication", "name", "pid"}));
    EXPECT_EQ(text(valueFor(*p[327], "name")), "Mach Kernel");
    EXPECT_EQ(text(valueFor(*p[327], "realAppName")), "mach_kernel");
    EXPECT_TRUE(isInteger(valueFor(*p[327], "pid"), 0));

    // Every dictionary's keys are the same five UIDs (3…7) and every "false" is UID 11: shared instances.
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(p[0]->entries()[i].first.get(), p[1]->entries()[i].first.get());
    EXPECT_EQ(valueFor(*p[0], "isApplication").get(), valueFor(*p[1], "isApplication").get());
    EXPECT_EQ(valueFor(*p[243], "isApplication").get(), valueFor(*p[292], "isApplication").get());
    EXPECT_NE(valueFor(*p[0], "isApplication").get(), valueFor(*p[243], "isApplication").get());
    EXPECT_EQ(p[327]->entries()[2].first.get(), p[0]->entries()[0].first.get());  // "name"
}
