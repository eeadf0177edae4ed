#include <gtest/gtest.h>

#include <cstring>

#include "control/session_commands.h"

TEST(SessionCommands, TableInMenuOrderWithoutForceOrPowerOff) {
    ASSERT_EQ(sizeof kSessionCommands / sizeof kSessionCommands[0], 3u);
    EXPECT_STREQ(kSessionCommands[0].item, "userchangemenu");
    EXPECT_STREQ(kSessionCommands[1].item, "rebootmenu");
    EXPECT_STREQ(kSessionCommands[2].item, "shutdownmenu");
    EXPECT_EQ(kSessionCommands[0].flags, 0u);  // log off
    EXPECT_EQ(kSessionCommands[1].flags, 2u);  // restart
    EXPECT_EQ(kSessionCommands[2].flags, 1u);  // shut down
    for (const auto& c : kSessionCommands) {
        EXPECT_EQ(c.flags & 4u, 0u) << c.item;  // force
        EXPECT_EQ(c.flags & 8u, 0u) << c.item;  // power off
    }
    EXPECT_STREQ(kSessionCommands[0].caption, L"Зміна користувача");
    EXPECT_EQ(kPlannedOtherReason, 0x80000000u);
}
