#include "platform/qv_operating_system.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <thread>

TEST(QVOperatingSystem, ThreadIdsAreTheKernelsOnes) {
    EXPECT_EQ(static_cast<Int32>(getpid()), QVOperatingSystem::getCurrentPID());
    EXPECT_EQ(QVOperatingSystem::getCurrentPID(), QVOperatingSystem::getCurrentTID());
    Int32 other = 0;
    std::thread thread([&other] { other = QVOperatingSystem::getCurrentTID(); });
    thread.join();
    EXPECT_GT(other, 0);
    EXPECT_NE(QVOperatingSystem::getCurrentTID(), other);
}
