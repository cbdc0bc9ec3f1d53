#include "vm/vm_options.h"

#include "launcher/file_locations.h"
#include "launcher/launcher.h"
#include "launcher/launcher_settings.h"
#include "launcher/settings_store.h"
#include "launcher/text.h"
#include "launcher/command_line.h"
#include "resources/string_table.h"
#include "runtime/error_reporting.h"
#include "vm/class_path.h"
#include "vm/memory_options.h"

namespace zorv {
namespace {

constexpr std::size_t npos = std::wstring::npos;

// The closing quote of the stretch opened at open, a doubled one included;
// npos when the stretch is never closed.
std::size_t ClosingQuote(const std::wstring& text, std::size_t open) {
    if (open + 1 >= text.size()) return npos;
    std::size_t close = text.find(L'"', open + 1);
    if (close == npos) return npos;
    if (close + 1 < text.size() && text[close + 1] == L'"') ++close;
    return close;
}

}  // namespace

std::size_t FindOptionSeparator(const std::wstring& text, std::size_t pos) {
    // Looks only as far as the next space or quote each round, so splitting a
    // long parameter text stays linear.
    const std::size_t n = text.size();
    for (;;) {
        std::size_t next = text.find_first_of(L" \"", pos);
        if (next == npos) return n;
        if (text[next] == L' ') return next;
        std::size_t close = ClosingQuote(text, next);
        if (close == npos) {
            std::size_t space = text.find(L' ', next);
            return space == npos ? n : space;
        }
        pos = close + 1;
        if (pos >= n) return n;
    }
}

std::vector<std::wstring> TokeniseVmOptions(const std::wstring& text) {
    std::vector<std::wstring> options;
    std::size_t pos = 0;
    while (pos <= text.size() && !text.empty()) {
        std::size_t separator = FindOptionSeparator(text, pos);
        options.push_back(text.substr(pos, separator - pos));
        pos = separator;
        while (pos < text.size() && text[pos] == L' ') ++pos;
        if (pos == text.size()) break;
    }
    return options;
}

std::wstring RemoveQuotes(std::wstring option) {
    std::size_t quote = option.find(L'"');
    while (quote != npos) {
        std::size_t close = ClosingQuote(option, quote);
        if (close == npos) break;
        std::wstring inner = option.substr(quote + 1, close - quote - 1);
        option = option.substr(0, quote) + inner + option.substr(close + 1);
        std::size_t resume = quote + inner.size();
        if (resume >= option.size()) break;
        quote = option.find(L'"', resume);
    }
    return option;
}

void Launcher::ProcessVmParameter(std::wstring option, std::vector<std::wstring>& working) {
    option = RemoveQuotes(std::move(option));
    if (IsPercentMemoryOption(option)) RewritePercentMemoryOption(option, platform.QueryMemory());
    if (StartsWith(option, L"-Xss")) vmThreadStackSize = StackSizeFromOption(option);
    working.push_back(std::move(option));
}

bool Launcher::AssembleVmOptions() {
    std::wstring settingsPath;
    if (!GetSettingsFilePath(settingsPath)) return false;
    LayeredSettingsStore settings(platform, settingsPath, EmbeddedSettings());

    std::wstring executablePath;
    GetModulePath(executablePath);
    std::wstring classPath;
    for (const std::wstring& piece : SplitAtSemicolons(settings.Get(L"Class Path", L"Class Path"))) {
        std::wstring entry = platform.ExpandEnvironment(piece);
        if (entry.find(L'*') != npos || !IsAbsolutePath(entry, platform.Conventions())) {
            ExpandClassPathEntry(platform, entry, executablePath, classPath);
        } else {
            classPath += entry;
            classPath += L';';
        }
    }
    if (IsYesFlag(settings.Get(L"Application", L"Embedded Jar"))) classPath = executablePath + L";" + classPath;
    if (classPath.empty()) {
        ShowError(platform, splashWindow, IDS_NO_CLASS_PATH);
        return false;
    }

    std::vector<std::wstring> working;
    working.push_back(L"-Djava.class.path=" + platform.VmPathList(classPath));
    std::wstring parameters = settings.Get(L"Java Runtime Environment", L"Virtual Machine Parameters");
    for (std::wstring& option : TokeniseVmOptions(parameters)) ProcessVmParameter(std::move(option), working);
    if (settings.Get(L"Java Runtime Environment", L"Class Data Sharing") == L"auto") {
        AddClassDataSharingOptions(executablePath, working);
    }

    for (const std::wstring& entry : working) {
        if (entry == L"-Dsun.java2d.dpiaware=true") platform.MakeProcessDpiAware();
        vmOptions.push_back(platform.ToAnsi(platform.ExpandEnvironment(entry)));
    }

    outputFile = settings.Get(L"Application", L"Output File");
    if (!outputFile.empty()) outputFile = platform.ExpandEnvironment(outputFile);
    appendOutput = IsExactYesFlag(settings.Get(L"Application", L"Output Append"));
    errorFile = settings.Get(L"Application", L"Error File");
    if (!errorFile.empty()) errorFile = platform.ExpandEnvironment(errorFile);
    appendErrors = IsExactYesFlag(settings.Get(L"Application", L"Error Append"));

    extraArgumentsText = settings.Get(L"Application", L"Cmd");
    if (!extraArgumentsText.empty()) {
        extraArgumentsText = platform.ExpandEnvironment(extraArgumentsText);
        for (std::wstring& piece : SplitArguments(extraArgumentsText)) {
            if (!piece.empty()) applicationArguments.push_back(std::move(piece));
        }
    }
    return true;
}

}  // namespace zorv
