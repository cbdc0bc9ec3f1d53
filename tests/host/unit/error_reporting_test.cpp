#include <gtest/gtest.h>

#include "fake_platform.h"
#include "runtime/error_reporting.h"

namespace zorv {
namespace {

using testing::FakePlatform;

TEST(Messages, FramesAndReasons) {
    FakePlatform platform;
    EXPECT_EQ(FormatMessageText(platform, 203, {FormatMessageText(platform, 213, {}), JniReasonText(platform, -4)}),
              L"JNI exception: failed to create the Java VM\nReason: not enough memory.\n");
    EXPECT_EQ(FormatMessageText(platform, 203, {L"x", JniReasonText(platform, -7)}), L"JNI exception: x\nReason: .\n");
    EXPECT_EQ(FormatMessageText(platform, 222, {L"C:\\rt\\bin\\server\\jvm.dll", 193}),
              L"Failed to load Java VM library: C:\\rt\\bin\\server\\jvm.dll (errno = 193).\n");
    const wchar_t* reasons[] = {L"unknown", L"thread detached from VM", L"JNI version error", L"not enough memory",
                                L"VM already created", L"invalid arguments"};
    for (int code = -1; code >= -6; --code) EXPECT_EQ(JniReasonText(platform, code), reasons[-code - 1]);
    EXPECT_EQ(JniReasonText(platform, 0), L"");
    EXPECT_EQ(FormatPrintf(L"100%% %s", {L"sure"}), L"100% sure");
}

}  // namespace
}  // namespace zorv
