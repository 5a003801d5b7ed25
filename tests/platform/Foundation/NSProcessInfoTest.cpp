// NSProcessInfo: the process identifier and globally unique strings, which name the private copies
// of media files.

#include "NSProcessInfo.h"

#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "NSUUID.h"

TEST(NSProcessInfo, GloballyUniqueStringHasApplesForm) {
    // "<UUID>-<process identifier>-<16 hex digits>", the UUID a random one in upper case.
    const std::string text = NSProcessInfo::processInfo()->globallyUniqueString();
    const std::string pid = std::to_string(getpid());
    ASSERT_EQ(text.size(), 36 + 1 + pid.size() + 1 + 16) << text;
    const auto uuid = NSUUID::initWithUUIDString(text.substr(0, 36));
    ASSERT_NE(uuid, nullptr) << text;
    EXPECT_EQ(uuid->UUIDString(), text.substr(0, 36));
    EXPECT_EQ(text[14], '4');
    EXPECT_EQ(text.substr(36, pid.size() + 2), "-" + pid + "-");
    const std::string sequence = text.substr(36 + pid.size() + 2);
    EXPECT_EQ(sequence.find_first_not_of("0123456789ABCDEF"), std::string::npos) << text;
    EXPECT_NE(NSProcessInfo::processInfo()->globallyUniqueString(), text);
}
