// uiauto: runs one GUI program under the automation and prints what it showed.
//
//   uiauto [options] [--] program [arguments...]
//     --timeout MS        kill the program after MS milliseconds (30000)
//     --observe MS        press nothing for MS milliseconds, then print the windows present
//     --policy P          after the observation: dismiss (default), terminate or leave
//     --cwd FOLDER        working directory of the program
//     --env NAME=VALUE    set a variable in the program's environment
//     --unset NAME        remove a variable from it
//     --cmdline TEXT      the program's whole command line, verbatim (the
//                         arguments after the program are then ignored)
//     --inspect           print every window that is no message box, control
//                         by control, when it appears
//
// Output, UTF-8, one item a line, control characters escaped:
//   box: <message box text>            for every message box, in order
//   window: <class> | <title> | <control texts>   for every other window
//   crash: <title> | <control texts>   for a crash reporter's window
//   snapshot: <class> | <title> | <text>          the windows at the end of --observe
//   dialog: <class> | <title> | style | window rect | client rect       with --inspect,
//   control: <id> | <class> | <text> | style | state | rect in dialog | rect on screen
//            (styles as hex style/extended style, rects as left,top,right,bottom)
//   exit: <decimal> 0x<hex>            or "timeout" / "start-failed <error>"
// The exit status is the program's exit code, 0xFFFF0001 when it could not be
// started, and 0xFFFF0002 after a time-out.
#include "ui_automation.h"

#include "launcher/win32_api.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Print(const std::string& line) {
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Join(const std::vector<std::wstring>& texts) {
    std::string joined;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) joined += " / ";
        joined += uiauto::ToPrintableUtf8(texts[i]);
    }
    return joined;
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::string Corners(const uiauto::Rect& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
           std::to_string(rect.bottom);
}

void PrintInspection(const uiauto::WindowReport& window) {
    uiauto::DialogInfo dialog = uiauto::Inspect(window.handle);
    Print("dialog: " + uiauto::ToPrintableUtf8(dialog.className) + " | " + uiauto::ToPrintableUtf8(dialog.title) + " | " +
          Hex(dialog.style) + "/" + Hex(dialog.exStyle) + " | " + Corners(dialog.window) + " | " + Corners(dialog.client));
    for (const uiauto::ControlInfo& control : dialog.controls) {
        Print("control: " + std::to_string(control.id) + " | " + uiauto::ToPrintableUtf8(control.className) + " | " +
              uiauto::ToPrintableUtf8(control.text) + " | " + Hex(control.style) + "/" + Hex(control.exStyle) + " | " +
              (control.enabled ? "enabled " : "disabled ") + (control.visible ? "visible" : "hidden") + " | " +
              Corners(control.inDialog) + " | " + Corners(control.onScreen));
    }
}

int Usage() {
    Print("usage: uiauto [--timeout MS] [--observe MS] [--policy dismiss|terminate|leave] [--cwd DIR] [--inspect]");
    Print("              [--env NAME=VALUE]... [--unset NAME]... [--cmdline TEXT] [--] program [args...]");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    uiauto::RunOptions options;
    std::wstring verbatim;
    int i = 1;
    for (; i < argc; ++i) {
        std::wstring arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == L"--") {
            ++i;
            break;
        } else if (arg == L"--timeout" && hasValue) {
            options.timeoutMs = static_cast<std::uint32_t>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (arg == L"--observe" && hasValue) {
            options.observeMs = static_cast<std::uint32_t>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (arg == L"--policy" && hasValue) {
            std::wstring policy = argv[++i];
            if (policy == L"dismiss") options.policy = uiauto::WindowPolicy::dismiss;
            else if (policy == L"terminate") options.policy = uiauto::WindowPolicy::terminate;
            else if (policy == L"leave") options.policy = uiauto::WindowPolicy::leave;
            else return Usage();
        } else if (arg == L"--cwd" && hasValue) {
            options.workingDirectory = argv[++i];
        } else if (arg == L"--env" && hasValue) {
            std::wstring assignment = argv[++i];
            std::size_t equals = assignment.find(L'=', 1);
            if (equals == std::wstring::npos) return Usage();
            options.setEnvironment.emplace_back(assignment.substr(0, equals), assignment.substr(equals + 1));
        } else if (arg == L"--unset" && hasValue) {
            options.unsetEnvironment.push_back(argv[++i]);
        } else if (arg == L"--inspect") {
            options.onWindow = [](const uiauto::WindowReport& window) {
                PrintInspection(window);
                return false;
            };
        } else if (arg == L"--cmdline" && hasValue) {
            verbatim = argv[++i];
        } else if (arg.rfind(L"--", 0) == 0) {
            return Usage();
        } else {
            break;
        }
    }
    if (i >= argc) return Usage();

    wchar_t full[32768];
    DWORD length = GetFullPathNameW(argv[i], 32768, full, nullptr);
    options.application = length > 0 && length < 32768 ? std::wstring(full, length) : std::wstring(argv[i]);
    if (!verbatim.empty()) {
        options.commandLine = verbatim;
    } else {
        options.commandLine = uiauto::QuoteArgument(options.application);
        for (int a = i + 1; a < argc; ++a) options.commandLine += L" " + uiauto::QuoteArgument(argv[a]);
    }

    uiauto::AvoidWindowManagerWaits();
    uiauto::RunResult result = uiauto::Run(options);
    if (!result.started) {
        Print("exit: start-failed " + std::to_string(result.startError));
        return static_cast<int>(0xFFFF0001u);
    }
    for (const uiauto::WindowReport& window : result.windows) {
        if (window.isMessageBox) {
            Print("box: " + uiauto::ToPrintableUtf8(window.text));
        } else {
            Print("window: " + uiauto::ToPrintableUtf8(window.className) + " | " + uiauto::ToPrintableUtf8(window.title) +
                  " | " + Join(window.controlTexts));
        }
    }
    for (const uiauto::WindowReport& window : result.crashDialogs) {
        Print("crash: " + uiauto::ToPrintableUtf8(window.title) + " | " + Join(window.controlTexts));
    }
    for (const uiauto::WindowReport& window : result.snapshot) {
        Print("snapshot: " + uiauto::ToPrintableUtf8(window.className) + " | " + uiauto::ToPrintableUtf8(window.title) +
              " | " + uiauto::ToPrintableUtf8(window.text));
    }
    if (result.timedOut) {
        Print("exit: timeout");
        return static_cast<int>(0xFFFF0002u);
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(result.exitCode));
    Print("exit: " + std::to_string(static_cast<std::int32_t>(result.exitCode)) + " 0x" + hex);
    return static_cast<int>(result.exitCode);
}
