#include <gtest/gtest.h>

#include "ui_automation.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Without it every message box case would cost two more seconds.
    uiauto::AvoidWindowManagerWaits();
    return RUN_ALL_TESTS();
}
