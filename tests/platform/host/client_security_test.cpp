// The host's client security: a driver gives back each captured token
// reference once, and a second give-back stops the machine, as a double
// free of pool does.
#include <host/test_hooks.h>
#include <ntifs.h>

#include <gtest/gtest.h>

namespace {

SECURITY_QUALITY_OF_SERVICE Qos()
{
    SECURITY_QUALITY_OF_SERVICE qos{};
    qos.Length = sizeof qos;
    qos.ImpersonationLevel = SecurityImpersonation;
    qos.ContextTrackingMode = SECURITY_STATIC_TRACKING;
    return qos;
}

TEST(ClientSecurity, EachCaptureIsCountedUntilItIsReleased)
{
    const long before = host::CapturedClientTokens();
    SECURITY_QUALITY_OF_SERVICE qos = Qos();
    SECURITY_CLIENT_CONTEXT first{};
    SECURITY_CLIENT_CONTEXT second{};
    ASSERT_EQ(SeCreateClientSecurity(PsGetCurrentThread(), &qos, FALSE, &first), STATUS_SUCCESS);
    ASSERT_EQ(SeCreateClientSecurity(PsGetCurrentThread(), &qos, FALSE, &second), STATUS_SUCCESS);
    EXPECT_EQ(host::CapturedClientTokens(), before + 2);
    SeDeleteClientSecurity(&first);
    EXPECT_EQ(host::CapturedClientTokens(), before + 1);
    SeDeleteClientSecurity(&second);
    EXPECT_EQ(host::CapturedClientTokens(), before);
}

TEST(ClientSecurityDeathTest, ASecondReleaseOfOneCaptureStopsTheMachine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            SECURITY_QUALITY_OF_SERVICE qos = Qos();
            SECURITY_CLIENT_CONTEXT context{};
            SeCreateClientSecurity(PsGetCurrentThread(), &qos, FALSE, &context);
            SeDeleteClientSecurity(&context);
            SeDeleteClientSecurity(&context);
        },
        "REFERENCE_BY_POINTER");
}

}  // namespace
