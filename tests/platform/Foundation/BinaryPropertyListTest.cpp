// The binary property list reader and writer, in the layout CoreFoundation reads and writes.

#include <gtest/gtest.h>

#include <vector>

#include "BinaryPropertyList.h"
#include "BinaryPropertyListWriter.h"
#include "NSException.h"

namespace {

using plist::BinaryPropertyList;
using plist::Kind;

void appendBigEndian(std::vector<uint8_t>& out, uint64_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;)
        out.push_back(static_cast<uint8_t>(i < 8 ? value >> (8 * i) : 0));
}

// A list of three objects — [1, 2] (an array), 5, "ab" — laid out with the given widths for offsets
// and references, as CoreFoundation accepts any width from 1 to 8 bytes (3 bytes included).
std::vector<uint8_t> listWithWidths(unsigned offsetSize, unsigned refSize) {
    std::vector<uint8_t> out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<uint64_t> offsets;
    offsets.push_back(out.size());
    out.push_back(0xA2);
    appendBigEndian(out, 1, refSize);
    appendBigEndian(out, 2, refSize);
    offsets.push_back(out.size());
    out.insert(out.end(), {0x10, 0x05});
    offsets.push_back(out.size());
    out.insert(out.end(), {0x52, 'a', 'b'});
    const uint64_t tableOffset = out.size();
    for (uint64_t offset : offsets) appendBigEndian(out, offset, offsetSize);
    out.insert(out.end(), 6, 0);
    out.push_back(static_cast<uint8_t>(offsetSize));
    out.push_back(static_cast<uint8_t>(refSize));
    appendBigEndian(out, offsets.size(), 8);
    appendBigEndian(out, 0, 8);
    appendBigEndian(out, tableOffset, 8);
    return out;
}

BinaryPropertyList open(const std::vector<uint8_t>& bytes) {
    auto owner = std::make_shared<const std::vector<uint8_t>>(bytes);
    return BinaryPropertyList(owner, std::span<const uint8_t>(owner->data(), owner->size()));
}

TEST(BinaryPropertyList, OffsetAndReferenceWidthsFromOneToEightBytes) {
    for (unsigned offsetSize = 1; offsetSize <= 8; ++offsetSize) {
        for (unsigned refSize = 1; refSize <= 8; ++refSize) {
            SCOPED_TRACE("offset size " + std::to_string(offsetSize) + ", reference size " +
                         std::to_string(refSize));
            const auto list = open(listWithWidths(offsetSize, refSize));
            const auto array = list.object(list.topObject());
            ASSERT_EQ(array.kind, Kind::Array);
            ASSERT_EQ(array.count, 2u);
            EXPECT_EQ(list.integerValue(list.object(list.elementRef(array, 0))).signedValue(), 5);
            EXPECT_EQ(list.stringValue(list.object(list.elementRef(array, 1))), "ab");
        }
    }
}

TEST(BinaryPropertyList, WriterLaysOutLikeCoreFoundation) {
    // Root first, pre-order, dictionary keys before values; 15 elements take the long count form.
    std::vector<plist::Value> fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen.push_back(plist::Value::integer(plist::Integer::fromSigned(i)));
    std::vector<std::pair<plist::Value, plist::Value>> entries;
    entries.emplace_back(plist::Value::string("k"), plist::Value::array(std::move(fifteen)));
    const auto bytes = plist::writeBinaryPropertyList(plist::Value::dictionary(std::move(entries)));

    ASSERT_GE(bytes.size(), 40u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "bplist00");
    const size_t trailer = bytes.size() - 32;
    EXPECT_EQ(bytes[trailer + 6], 1);  // offsets fit in one byte
    EXPECT_EQ(bytes[trailer + 7], 1);  // 18 objects: one-byte references
    EXPECT_EQ(bytes[8], 0xD1);         // object 0 is the root dictionary
    const auto list = open(bytes);
    EXPECT_EQ(list.objectCount(), 18u);  // dict, "k", array, 0…14
    EXPECT_EQ(list.topObject(), 0u);
    const auto array = list.object(list.valueRef(list.object(0), 0));
    EXPECT_EQ(array.ref, 2u);
    EXPECT_EQ(array.count, 15u);
    // The array's marker is 0xAF followed by the integer 15.
    const auto text = std::string(bytes.begin(), bytes.end());
    EXPECT_NE(text.find(std::string("\xAF\x10\x0F", 3)), std::string::npos);
}

TEST(BinaryPropertyList, IntegersTakeCoreFoundationsWidths) {
    struct Case {
        plist::Integer value;
        std::vector<uint8_t> encoded;
    };
    const std::vector<Case> cases = {
        {plist::Integer::fromSigned(0), {0x10, 0x00}},
        {plist::Integer::fromSigned(255), {0x10, 0xFF}},
        {plist::Integer::fromSigned(256), {0x11, 0x01, 0x00}},
        {plist::Integer::fromSigned(100000), {0x12, 0x00, 0x01, 0x86, 0xA0}},
        {plist::Integer::fromSigned(int64_t{1} << 32), {0x13, 0, 0, 0, 1, 0, 0, 0, 0}},
        {plist::Integer::fromSigned(-1), {0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {plist::Integer::fromUnsigned(UINT64_MAX),
         {0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        const auto bytes = plist::writeBinaryPropertyList(plist::Value::integer(c.value));
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 8,
                                       bytes.begin() + 8 + static_cast<long>(c.encoded.size())),
                  c.encoded);
        const auto list = open(bytes);
        EXPECT_EQ(list.integerValue(list.object(0)), c.value);
    }
}

TEST(BinaryPropertyList, StringsAreASCIIOrUTF16ByContent) {
    auto encoded = [](const std::string& s) {
        const auto bytes = plist::writeBinaryPropertyList(plist::Value::string(s));
        return std::vector<uint8_t>(bytes.begin() + 8, bytes.end() - 32 - 1);
    };
    EXPECT_EQ(encoded("ab"), (std::vector<uint8_t>{0x52, 'a', 'b'}));
    // Latin-1 text is UTF-16 too, as CoreFoundation writes any non-ASCII string.
    EXPECT_EQ(encoded("é"), (std::vector<uint8_t>{0x61, 0x00, 0xE9}));
    EXPECT_EQ(encoded("😀"), (std::vector<uint8_t>{0x62, 0xD8, 0x3D, 0xDE, 0x00}));
    const auto list = open(plist::writeBinaryPropertyList(plist::Value::string("Mässig, Maß 😀")));
    EXPECT_EQ(list.stringValue(list.object(0)), "Mässig, Maß 😀");
}

TEST(BinaryPropertyList, EqualScalarsAreWrittenOnceButNeverAcrossKinds) {
    std::vector<plist::Value> elements = {
        plist::Value::string("x"),
        plist::Value::string("x"),
        plist::Value::integer(plist::Integer::fromSigned(1)),
        plist::Value::real({1.0, false}),
        plist::Value::boolean(true),
        plist::Value::uid(1),
    };
    const auto list =
        open(plist::writeBinaryPropertyList(plist::Value::array(std::move(elements))));
    EXPECT_EQ(list.objectCount(), 6u);  // the array, "x" once, 1, 1.0, true, UID 1
    const auto array = list.object(0);
    EXPECT_EQ(list.elementRef(array, 0), list.elementRef(array, 1));
}

TEST(BinaryPropertyList, LoneSurrogatesBecomeReplacementCharacters) {
    std::vector<uint8_t> bytes = {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0x61, 0xD8, 0x00};
    const uint64_t tableOffset = bytes.size();
    bytes.push_back(8);
    bytes.insert(bytes.end(), 6, 0);
    bytes.insert(bytes.end(), {1, 1});
    appendBigEndian(bytes, 1, 8);
    appendBigEndian(bytes, 0, 8);
    appendBigEndian(bytes, tableOffset, 8);
    const auto list = open(bytes);
    EXPECT_EQ(list.stringValue(list.object(0)), "\xEF\xBF\xBD");
}

}  // namespace
