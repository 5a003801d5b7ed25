// XML property lists, as Apple's archiver writes them with the XML output format.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "NSException.h"
#include "TestSupport.h"
#include "XMLPropertyList.h"

namespace {

using plist::Kind;

plist::Value parse(const std::string& body) {
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>";
    return plist::parseXMLPropertyList({reinterpret_cast<const uint8_t*>(xml.data()), xml.size()});
}

// Every scalar kind, a UID (a dictionary of one integer CF$UID) among them.
TEST(XMLPropertyList, ScalarsOfEveryKind) {
    const auto v = parse(R"(<array>
        <string>Mässig &amp; more</string><string/>
        <integer>-42</integer><integer>0x1F</integer><integer>18446744073709551615</integer>
        <real>1</real><real>-2.5e3</real><real>nan</real><real>-infinity</real>
        <true/><false/>
        <date>2001-01-01T00:01:00Z</date>
        <data>
            AAEC
            /w==
        </data>
        <dict><key>CF$UID</key><integer>7</integer></dict>
        <dict><key>CF$UID</key><string>7</string></dict>
    </array>)");
    ASSERT_EQ(v.kind(), Kind::Array);
    const auto& e = v.elements();
    ASSERT_EQ(e.size(), 15u);
    EXPECT_EQ(e[0].stringValue(), "Mässig & more");
    EXPECT_EQ(e[1].stringValue(), "");
    EXPECT_EQ(e[2].integerValue().signedValue(), -42);
    EXPECT_EQ(e[3].integerValue().signedValue(), 31);
    EXPECT_TRUE(e[4].integerValue().isUnsigned && e[4].integerValue().bits == UINT64_MAX);
    EXPECT_EQ(e[5].realValue().value, 1.0);
    EXPECT_EQ(e[6].realValue().value, -2500.0);
    EXPECT_TRUE(std::isnan(e[7].realValue().value));
    EXPECT_EQ(e[8].realValue().value, -INFINITY);
    EXPECT_TRUE(e[9].booleanValue() && !e[10].booleanValue());
    EXPECT_EQ(e[11].dateValue(), 60.0);
    const auto bytes = e[12].dataValue().bytes;
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()),
              (std::vector<uint8_t>{0, 1, 2, 0xFF}));
    EXPECT_EQ(e[13].kind(), Kind::UID);
    EXPECT_EQ(e[13].uidValue(), 7u);
    EXPECT_EQ(e[14].kind(), Kind::Dictionary);  // a CF$UID of a string is not a UID
}

TEST(XMLPropertyList, MalformedInputRaisesWithTheReason) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"<integer>12x</integer>", "<integer> \"12x\" is not a number"},
        {"<integer>99999999999999999999</integer>", "<integer> \"99999999999999999999\" is out of range"},
        {"<date>yesterday</date>", "<date> \"yesterday\" is not of the form YYYY-MM-DDTHH:MM:SSZ"},
        {"<data>@@@@</data>", "<data> holds a character that is not base64"},
        {"<dict><key>a</key></dict>", "<dict> key \"a\" has no value"},
        {"<blob/>", "unknown element <blob>"},
        {"<dict><key>CF$UID</key><integer>-1</integer></dict>", "CF$UID is out of range"}};
    // clang-format on
    for (const auto& [body, reason] : cases)
        EXPECT_EQ(test::failureOf([&] { parse(body); }),
                  (test::Failure{NSInvalidArgumentException,
                                 std::string("XML property list: ") + reason}));
}

}  // namespace
