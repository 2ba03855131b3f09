// The trace channel: prefixes, continued lines, "%", long messages, and
// what happens when every message slot is taken.
#include "framework/ktrace.h"

#include <host/test_hooks.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

class KTraceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host::ResetFaults();
        host::ClearDebugOutput();
    }
    void TearDown() override { host::ResetFaults(); }

    KTrace m_Trace{"Test", KTrace::UseMonitor | KTrace::ToDebugger | KTrace::DoublePercent, 0, KTrace::NeverLevel};
};

TEST_F(KTraceTest, PrefixesNewLinesAndContinuesUnfinishedOnes)
{
    m_Trace.Trace(1, "first %d\n", 1);
    m_Trace.Trace(2, "second ");
    m_Trace.Trace(3, "continued %s\n", "here");
    m_Trace.Trace(0, "level zero\n");
    m_Trace.Trace(KTrace::NeverLevel, "level five is never printed\n");
    EXPECT_EQ(host::DebugOutput(), "Test: first 1\nTest: second continued here\nTest: level zero\n");
}

TEST_F(KTraceTest, PrintsPercentSignsAsWritten)
{
    m_Trace.Trace(1, "%s\n", "100% sure, %d %x %%");
    m_Trace.Trace(1, "50%% off\n");
    EXPECT_EQ(host::DebugOutput(), "Test: 100% sure, %d %x %%\nTest: 50% off\n");
}

TEST_F(KTraceTest, CutsAMessageLongerThanASlot)
{
    const std::string longText(400, 'x');
    m_Trace.Trace(1, "%s\n", longText.c_str());
    const std::string out = host::DebugOutput();
    // Prefix and text fill the slot but for its terminator.
    EXPECT_EQ(out, "Test: " + std::string(KTrace::SlotBytes - 1 - 6, 'x'));
    // Such a line did not end, so the next message continues it.
    m_Trace.Trace(1, "next\n");
    EXPECT_EQ(host::DebugOutput(), out + "next\n");
}

TEST_F(KTraceTest, DoublingPercentsNeverOverrunsTheSlot)
{
    const std::string percents(300, '%');
    m_Trace.Trace(1, "%s", percents.c_str());
    const std::string out = host::DebugOutput();
    EXPECT_EQ(out.rfind("Test: ", 0), 0u);
    EXPECT_LE(out.size(), KTrace::SlotBytes);
    EXPECT_EQ(out.find_first_not_of('%', 6), std::string::npos);
}

TEST_F(KTraceTest, DropsAMessageWhileEverySlotIsTaken)
{
    // Four messages stuck in the debugger's print routine hold all four slots.
    host::HoldKernelCalls(host::KernelCall::DbgPrint, KTrace::SlotCount);
    std::vector<std::thread> writers;
    for (ULONG i = 0; i < KTrace::SlotCount; ++i) {
        writers.emplace_back([this, i] { m_Trace.Trace(1, "held %u\n", i); });
    }
    ASSERT_TRUE(host::WaitForHeldCalls(host::KernelCall::DbgPrint, KTrace::SlotCount, 5000));
    m_Trace.Trace(1, "one too many\n");
    EXPECT_EQ(host::DebugOutput(), "KTrace: Dropping a trace message due to lack of buffer space\n");
    host::ReleaseHeldCalls(host::KernelCall::DbgPrint);
    for (auto& writer : writers) {
        writer.join();
    }
    // The slots are back: the next message is printed.
    host::ClearDebugOutput();
    m_Trace.Trace(1, "after\n");
    EXPECT_EQ(host::DebugOutput(), "Test: after\n");
}

TEST(KTraceLevels, PrintsFromTheOutputLevelAndBreaksNever)
{
    host::ClearDebugOutput();
    KTrace trace("Lvl", KTrace::ToDebugger, 2, KTrace::NeverLevel);
    trace.Trace(1, "below\n");
    trace.Trace(2, "at\n");
    trace.Trace(3, "above\n");
    EXPECT_EQ(host::DebugOutput(), "Lvl: at\nLvl: above\n");
}

}  // namespace
