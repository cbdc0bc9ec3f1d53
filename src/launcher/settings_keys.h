// Every section and key of the settings file, with the form of its value,
// what an empty value means and what the key does. The settings checker and
// the generated settings reference both read this one table, so a key added
// to the launcher is added here too.
#pragma once

#include <string>
#include <vector>

namespace zorv {

enum class ValueForm {
    text,            // taken as read
    path,            // a file or folder; relative ones as the key says
    pathList,        // entries separated by ";", each with %NAME% expanded
    versionBound,    // "any" (exactly) or a version text
    versionList,     // version texts separated by ";"
    className,       // a class name with "." or "/" between its parts
    yesFlag,         // on when "Yes" in any letter case
    exactYesFlag,    // on only when exactly "yes"
    exactKeyword,    // one of the keywords, compared exactly
    anyCaseKeyword,  // one of the keywords, in any letter case
    vmParameters,    // options separated by spaces, quotes protecting spaces
    arguments,       // split like the command line
    filePicture,     // a file path, %NAME% expanded, then a date and time picture between "%" signs
    number,          // a whole number in decimal
};

// Where the launcher reads a key from: the INI file alone, or the INI file
// over the embedded settings (and the section's "+" variant).
enum class KeyStore { file, layered };

struct SettingsKey {
    std::wstring section;
    std::wstring name;
    ValueForm form;
    KeyStore store;
    std::vector<std::wstring> keywords;  // the recognised keywords of a keyword key
    std::wstring whenEmpty;              // what an empty or missing value gives
    std::wstring meaning;
};

// The section whose keys are the names of environment variables: the one
// row of the table in it, "NAME", stands for every key. Defined here: the
// launcher, which reads it, must not link the table, which only the tool needs.
inline constexpr wchar_t kEnvironmentSection[] = L"Environment";

const std::vector<SettingsKey>& SettingsKeys();
// The sections in the order the table first names them.
std::vector<std::wstring> SettingsSections();
// The key with exactly this section and name, or null.
const SettingsKey* FindSettingsKey(const std::wstring& section, const std::wstring& name);
// How a form is described to people, e.g. "flag, \"yes\" exactly".
std::wstring DescribeValueForm(ValueForm form);
// The form, followed for keyword keys by their keywords, each between `quote`s.
std::wstring DescribeKeyForm(const SettingsKey& key, const std::wstring& quote);

}  // namespace zorv
