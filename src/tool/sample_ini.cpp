#include "tool/sample_ini.h"

#include <ostream>
#include <string>

#include "launcher/settings_keys.h"
#include "tool/tool_commands.h"
#include "tool/tool_text.h"

namespace zorv::tool {
namespace {

// Notepad does not wrap by default: long explanations are broken at spaces.
void WriteComment(std::ostream& out, const std::string& text) {
    const std::size_t width = 96;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.size();
        if (end - start > width) {
            std::size_t space = text.rfind(' ', start + width);
            end = space == std::string::npos || space <= start ? start + width : space;
        }
        out << "; " << text.substr(start, end - start) << "\n";
        start = end;
        while (start < text.size() && text[start] == ' ') ++start;
    }
}

}  // namespace

void WriteSampleIni(std::ostream& out) {
    out << "; Settings of a program started by the launcher. Copy launcher.exe beside your jars under your\n"
           "; program's name (Viewer.exe), save this file beside it as Viewer.ini, and remove the \";\" in\n"
           "; front of each key you set. A key left out reads as an empty value: the text after \"empty:\"\n"
           "; says what that gives. Keys \"through the layers\" may also come from the settings embedded in\n"
           "; the executable (zorvtool embed), which this file overrides key by key.\n";
    for (const std::wstring& section : SettingsSections()) {
        out << "\n[" << ToUtf8(section) << "]\n";
        for (const SettingsKey& key : SettingsKeys()) {
            if (key.section != section) continue;
            out << "\n";
            WriteComment(out, ToUtf8(key.meaning));
            WriteComment(out, ToUtf8(DescribeKeyForm(key, L"")) + "; " +
                                  (key.store == KeyStore::file ? "INI file only" : "through the layers") +
                                  "; empty: " + ToUtf8(key.whenEmpty) + ".");
            out << ";" << ToUtf8(key.name) << "=\n";
        }
    }
}

}  // namespace zorv::tool
