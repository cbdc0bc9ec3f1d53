// Identifiers of the launcher's two dialogs and their controls, shared by the
// resource script and the code that runs them.
#pragma once

#define IDD_RUNTIME_NOT_FOUND 201
#define IDC_RUNTIME_FOLDER 201
#define IDC_BROWSE 202
#define IDC_RUNTIME_MESSAGE 203
#define IDC_ERROR_ICON 204
#define IDC_DOWNLOAD_LINK 205
#define IDC_BROWSE_HINT 206
#define IDC_RUNTIME_VERDICT 207

#define IDD_EXCEPTION 231
#define IDC_TRACE 208
#define IDC_EXCEPTION_FRAME 209
#define IDC_EXCEPTION_INTRO 210
#define IDC_EXCEPTION_INSTRUCTION 211
#define IDC_EXCEPTION_WARNING 212

// The download link's text and target: the Eclipse Adoptium site, a
// vendor-neutral home of current OpenJDK builds that also offers plain JREs,
// which is what the dialog asks the user to install.
#define RUNTIME_DOWNLOAD_ADDRESS "https://adoptium.net/"
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
