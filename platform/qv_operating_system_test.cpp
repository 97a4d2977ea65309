#include "platform/qv_operating_system.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <thread>

TEST(QVOperatingSystem, MainThreadIdIsTheProcessId) {
    EXPECT_EQ(static_cast<Int32>(getpid()), QVOperatingSystem::getCurrentPID());
    EXPECT_EQ(QVOperatingSystem::getCurrentPID(), QVOperatingSystem::getCurrentTID());
}

TEST(QVOperatingSystem, OtherThreadHasItsOwnKernelId) {
    Int32 other = 0;
    std::thread thread([&other] { other = QVOperatingSystem::getCurrentTID(); });
    thread.join();
    EXPECT_GT(other, 0);
    EXPECT_NE(QVOperatingSystem::getCurrentTID(), other);
}

TEST(QVMemory, AllocCheckedGivesUsableDistinctBlocks) {
    char* a = static_cast<char*>(QVMemory::allocChecked(1000));
    char* zero = static_cast<char*>(QVMemory::allocChecked(0));
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, zero);
    EXPECT_NE(a, zero);
    std::memset(a, 0x5a, 1000);
    QVMemory::release(a);
    QVMemory::release(zero);
    QVMemory::release(nullptr);
}

TEST(QVMemoryDeathTest, ExhaustionAbortsInsteadOfReturningNull) {
    // Half the address space may well be free in a 32-bit process; all of
    // it never is.
    EXPECT_DEATH(QVMemory::allocChecked(static_cast<size_t>(-1)), "out of memory|allocation-size-too-big|exceeds maximum");
}
