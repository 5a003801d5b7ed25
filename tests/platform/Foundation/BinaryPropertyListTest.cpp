// The binary property list reader and writer, in the layout CoreFoundation reads and writes.

#include <gtest/gtest.h>

#include <vector>

#include "BinaryPropertyList.h"
#include "BinaryPropertyListWriter.h"

namespace {

using plist::BinaryPropertyList;

BinaryPropertyList open(const std::vector<uint8_t>& bytes) {
    auto owner = std::make_shared<const std::vector<uint8_t>>(bytes);
    return BinaryPropertyList(owner, std::span<const uint8_t>(owner->data(), owner->size()));
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
    EXPECT_EQ(bytes[bytes.size() - 32 + 6], 1);  // offsets fit in one byte
    EXPECT_EQ(bytes[8], 0xD1);                   // object 0 is the root dictionary
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

// The reference size follows the object count, not the largest reference (as CoreFoundation sizes
// it): 255 objects take one byte, 256 objects two.
TEST(BinaryPropertyList, ReferenceSizeFollowsTheObjectCount) {
    for (const auto& [count, size] : {std::pair{255, 1}, {256, 2}}) {
        std::vector<plist::Value> elements;  // the array and count − 1 integers
        for (int i = 1; i < count; ++i)
            elements.push_back(plist::Value::integer(plist::Integer::fromSigned(i)));
        const auto bytes = plist::writeBinaryPropertyList(plist::Value::array(std::move(elements)));
        EXPECT_EQ(bytes[bytes.size() - 32 + 7], size) << count;
    }
}

TEST(BinaryPropertyList, IntegersTakeCoreFoundationsWidths) {
    struct Case {
        plist::Integer value;
        std::vector<uint8_t> encoded;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {plist::Integer::fromSigned(0), {0x10, 0x00}},
        {plist::Integer::fromSigned(255), {0x10, 0xFF}},
        {plist::Integer::fromSigned(256), {0x11, 0x01, 0x00}},
        {plist::Integer::fromSigned(100000), {0x12, 0x00, 0x01, 0x86, 0xA0}},
        {plist::Integer::fromSigned(int64_t{1} << 32), {0x13, 0, 0, 0, 1, 0, 0, 0, 0}},
        {plist::Integer::fromSigned(-1), {0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {plist::Integer::fromUnsigned(UINT64_MAX), {0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}};
    // clang-format on
    for (const auto& c : cases) {
        const auto bytes = plist::writeBinaryPropertyList(plist::Value::integer(c.value));
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 8,
                                       bytes.begin() + 8 + static_cast<long>(c.encoded.size())),
                  c.encoded);
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
}

TEST(BinaryPropertyList, EqualScalarsAreWrittenOnceButNeverAcrossKinds) {
    std::vector<plist::Value> elements = {plist::Value::string("x"),
                                          plist::Value::string("x"),
                                          plist::Value::integer(plist::Integer::fromSigned(1)),
                                          plist::Value::real({1.0, false}),
                                          plist::Value::boolean(true),
                                          plist::Value::uid(1)};
    const auto list =
        open(plist::writeBinaryPropertyList(plist::Value::array(std::move(elements))));
    EXPECT_EQ(list.objectCount(), 6u);  // the array, "x" once, 1, 1.0, true, UID 1
    const auto array = list.object(0);
    EXPECT_EQ(list.elementRef(array, 0), list.elementRef(array, 1));
}

}  // namespace
