// The target's dialog, shared by its resource script, its code and the test
// that drives it.
#pragma once

#define UIAUTO_TARGET_DIALOG 100
#define UIAUTO_TARGET_LABEL 101
#define UIAUTO_TARGET_LINK 102
#define UIAUTO_TARGET_FOLDER 103
#define UIAUTO_TARGET_BROWSE 104
#define UIAUTO_TARGET_TRACE 105
#define UIAUTO_TARGET_GRIP 106
