#include "launcher/settings_keys.h"

namespace zorv {
namespace {

const wchar_t kProduct[] = L"Product Information";
const wchar_t kRuntime[] = L"Java Runtime Environment";
const wchar_t kApplication[] = L"Application";
const wchar_t kClassPath[] = L"Class Path";
const wchar_t kDisplay[] = L"Display";
const wchar_t kService[] = L"Service";

}  // namespace

namespace {

std::vector<SettingsKey> BuildTable() {
    using F = ValueForm;
    const KeyStore file = KeyStore::file;
    const KeyStore layered = KeyStore::layered;
    return {
        {kProduct, L"Product Name", F::text, file, {}, L"no folder name",
         L"First folder level of the per-user folders (remembered settings under %APPDATA% or $XDG_CONFIG_HOME, "
         L"class-data archives under %LOCALAPPDATA% or $XDG_CACHE_HOME); the characters \\ ? \" | > < : / *, "
         L"control characters, and dots and spaces at either end are left out."},
        {kProduct, L"Product Code", F::text, file, {}, L"no folder name",
         L"Second folder level of the per-user folders, cleaned the same way."},
        {kProduct, L"Upgrade Code", F::text, file, {}, L"an empty pass phrase",
         L"Pass phrase of the settings embedded in the executable."},

        {kRuntime, L"Minimum Version", F::versionBound, layered, {L"any"}, L"0.0.0.0",
         L"Lowest runtime version a registered runtime may have; missing parts count as 0. Only \"any\" in lower "
         L"case is the keyword."},
        {kRuntime, L"Maximum Version", F::versionBound, layered, {L"any"},
         L"0.0.0.0: no registered runtime qualifies",
         L"Highest runtime version a registered runtime may have; missing parts count as 65535, so 1.8 admits "
         L"every 1.8.x. \"any\" admits every version."},
        {kRuntime, L"Preferred versions", F::versionList, layered, {}, L"no preference",
         L"Versions that rank first, in order; 1.8 selects every 1.8.x.y, 11 every 11.x.y.z."},
        {kRuntime, L"JRE Path", F::path, layered, {}, L"not probed",
         L"Runtime folder probed first; relative to the executable's folder. For a normal application a "
         L"per-user copy of the settings, once it exists, holds this key instead."},
        {kRuntime, L"JVM Type", F::exactKeyword, layered, {L"server", L"favor_server"}, L"client library first",
         L"\"server\": only the server JVM library; \"favor_server\": server first; anything else: client "
         L"first."},
        {kRuntime, L"JVM Source", F::exactKeyword, layered, {L"favor_JRE", L"favor_JDK", L"only_JDK", L"only_JRE"},
         L"JDK and JRE registrations alike",
         L"Which registry registrations are searched; any other text disables the registry search."},
        {kRuntime, L"VM Provider", F::anyCaseKeyword, layered,
         {L"jrockit", L"ibm", L"favor_sun", L"favor_jrockit", L"favor_ibm", L"any", L"openjdk", L"favor_adoptium",
          L"favor_zulu", L"favor_microsoft", L"favor_liberica"},
         L"JavaSoft registrations only",
         L"Which vendors' registrations are searched and which rank first; an unknown value keeps the default."},
        {kRuntime, L"Main Class", F::className, layered, {},
         L"no start unless \"Main Jar\" or \"Main Module\": \"Main class was not specified in INI file.\"",
         L"Class whose main method runs, such as com.example.App, as java com.example.App runs it. \"Main Module\" "
         L"and \"Main Jar\" win over it."},
        {kRuntime, L"Main Jar", F::path, layered, {}, L"\"Main Class\" names the application",
         L"Jar started as java -jar starts it: its manifest's Main-Class, Class-Path, Add-Opens, Add-Exports, "
         L"Enable-Native-Access and Launcher-Agent-Class count; relative to the executable's folder, %NAME% "
         L"expanded. It comes first on the class path, before [Class Path]. Wins over \"Main Class\"; \"Main "
         L"Module\" wins over it."},
        {kRuntime, L"Main Module", F::text, layered, {}, L"\"Main Jar\" or \"Main Class\" names the application",
         L"Module started as java -m starts it: module (its descriptor names the main class) or module/class, "
         L"found on \"Module Path\". Wins over \"Main Jar\" and \"Main Class\"."},
        {kRuntime, L"System Path", F::text, layered, {}, L"Path unchanged",
         L"Put in front of the process's Path before the JVM library loads."},
        {kRuntime, L"Library Path", F::text, layered, {}, L"no -Djava.library.path",
         L"Passed as -Djava.library.path= before every other option, followed by the executable's folder, the "
         L"current folder and the Path (PATH on Linux); a value that does not end with \";\" (or \":\" on Linux) "
         L"gets one before the executable's folder."},
        {kRuntime, L"Virtual Machine Parameters", F::vmParameters, layered, {}, L"no options",
         L"Options for the VM separated by spaces; a double-quoted stretch keeps its spaces and loses its quotes. "
         L"Options as java takes them: --add-opens, --add-exports, --add-reads, --add-modules, --module-path (-p), "
         L"--upgrade-module-path, --patch-module, --limit-modules and --enable-native-access with their value after "
         L"a space or \"=\"; -server and -client are left out. The java command's own options (-jar, -cp, -m, "
         L"-splash:, @files, -version, ...) stop the start with the setting to use instead. An option that "
         L"expands to nothing is left out. "
         L"-Xms, -Xmx and -Xss may be a percentage of memory (-Xmx50:256:1024p: 50 % of physical memory, at least "
         L"256 MB, at most 1024 MB; t: of the free address space); -Xss also sizes the thread main runs on."},

        {kRuntime, L"Class Data Sharing", F::exactKeyword, layered, {L"auto"}, L"no class-data archive",
         L"\"auto\" keeps a class-data archive per application and runtime version in the per-user folder "
         L"(beside the executable for a service), so later starts load classes faster; JDK 13 and later, and "
         L"from JDK 24 on an ahead-of-time cache that the first start records for."},

        {kApplication, L"Application Type", F::exactKeyword, layered, {L"service"}, L"a normal application",
         L"\"service\": no single-instance mode, \"JRE Path\" kept beside the executable, VM destroyed when main "
         L"returns."},
        {kApplication, L"Single Instance", F::exactYesFlag, layered, {}, L"off",
         L"A second start hands its arguments to the running instance's secondaryMain."},
        {kApplication, L"Failure Check", F::yesFlag, layered, {}, L"off",
         L"Show the uncaught-exception dialog when main ends with an exception."},
        {kApplication, L"Override WorkingDir", F::yesFlag, layered, {}, L"off",
         L"Make the executable's folder the current directory."},
        {kApplication, L"Restart Exit Code", F::number, layered, {}, L"no restart",
         L"Exit code (1 or more) with which the application asks to be started again, say System.exit(9) after an "
         L"update: the launcher starts it anew with the same arguments, at most 5 times within a minute."},
        {kApplication, L"Pair Product", F::path, layered, {}, L"no hand-over",
         L"The counterpart built for the other architecture (the x86 launcher beside the x64 one, and the other "
         L"way round) that takes over when the chosen runtime is one of its architecture."},
        {kApplication, L"Pair Return Code", F::yesFlag, layered, {}, L"off",
         L"After a hand-over, wait for the pair product and end with its exit code."},
        {kApplication, L"Embedded Jar", F::yesFlag, layered, {}, L"off",
         L"Put the executable itself first on the class path."},
        {kApplication, L"Output File", F::filePicture, layered, {}, L"System.out not redirected",
         L"File that receives System.out; %NAME% references are expanded, then the text between the first and "
         L"the last \"%\" is a date and time picture (L: milliseconds)."},
        {kApplication, L"Output Append", F::exactYesFlag, layered, {}, L"the output file is replaced",
         L"Append to the output file."},
        {kApplication, L"Error File", F::filePicture, layered, {}, L"System.err not redirected",
         L"File that receives System.err, named like \"Output File\"."},
        {kApplication, L"Error Append", F::exactYesFlag, layered, {}, L"the error file is replaced",
         L"Append to the error file."},
        {kApplication, L"Process Priority", F::anyCaseKeyword, layered,
         {L"idle", L"below normal", L"normal", L"above normal", L"high"}, L"the priority the launcher was started with",
         L"Priority class of the process on Windows; on Linux the nice value 19, 10, 0, -5 or -10. A priority above "
         L"the one started with needs the right to raise it; refused, the start goes on at the old one and says so "
         L"on standard error (the console launcher, zorv) and in the trace. An unknown value changes nothing."},
        {kApplication, L"App User Model ID", F::text, layered, {}, L"the system's own grouping",
         L"Windows: the process's AppUserModelID, given before any window exists, so that the application's "
         L"windows and a pinned shortcut that carries the same ID group as one taskbar button. Ignored on Linux."},
        {kApplication, L"Cmd", F::arguments, layered, {}, L"no extra arguments",
         L"Extra arguments for main after the command line's, %NAME% expanded; empty pieces are dropped."},

        {kClassPath, L"Class Path", F::pathList, layered, {},
         L"no start unless \"Embedded Jar\": \"Java Class Path was not specified in INI file.\"",
         L"Class path entries; relative entries and entries with * or ? are searched from the executable's folder "
         L"and list every match."},
        {kClassPath, L"Module Path", F::pathList, layered, {}, L"no --module-path from the launcher",
         L"Module path entries (modular jars and folders of them), found like \"Class Path\" entries; passed as "
         L"--module-path, as java -p passes it."},

        {kEnvironmentSection, L"NAME", F::text, layered, {}, L"the variable removed",
         L"Each key is the name of an environment variable, set for the application before the runtime search (so "
         L"JAVA_HOME here chooses the runtime that search falls back on) and before the VM is created; "
         L"%NAME% references are expanded as the variables stand at that point, key after key in the order "
         L"written (embedded keys first). A key of the INI file replaces the embedded one, and a key of "
         L"[Environment+] replaces both: values are never joined here, and an empty one removes the variable "
         L"whatever the layers below say. A name cannot be empty or hold \"=\" or a control character. The "
         L"launcher sets ZORV_JVM_PATH, ZORV_JVM_HOME and the search path after this section."},

        {kService, L"Service Name", F::text, layered, {}, L"the executable's name without its extension",
         L"Name the service is installed and controlled under (sc start, net stop)."},
        {kService, L"Display Name", F::text, layered, {}, L"the service name",
         L"Name the Services console shows."},
        {kService, L"Description", F::text, layered, {}, L"no description",
         L"Text the Services console shows under the name."},
        {kService, L"Start Type", F::anyCaseKeyword, layered, {L"automatic", L"delayed automatic", L"manual"},
         L"automatic", L"When Windows starts the service: at boot, shortly after boot, or only when asked."},
        {kService, L"Dependencies", F::text, layered, {}, L"none",
         L"Services, separated by \";\", that Windows starts before this one."},
        {kService, L"Account", F::anyCaseKeyword, layered, {L"LocalSystem", L"LocalService", L"NetworkService", L"Virtual"},
         L"LocalSystem",
         L"Account the service runs under; \"Virtual\" is the service's own account NT SERVICE\\<Service Name>. "
         L"No password is ever read from a file."},
        {kService, L"Restart Delay", F::number, layered, {}, L"no restart after a failure",
         L"Seconds after which Windows starts the service again when it ended with a failure."},
        {kService, L"Restart Count", F::number, layered, {}, L"3",
         L"Restarts after failures before Windows gives up, until the failure count is reset."},
        {kService, L"Restart Reset", F::number, layered, {}, L"86400 (a day)",
         L"Seconds without a failure after which the failure count starts again from zero."},
        {kService, L"Stop Timeout", F::number, layered, {}, L"20",
         L"Seconds a stop may take (shutdown hooks, the stop method and the application's threads); then the "
         L"process ends at once."},
        {kService, L"Stop Class", F::className, layered, {}, L"a stop ends the application as System.exit(0) does",
         L"Class whose static stop(String[]) or stop() is called, on a thread of its own, when the service is "
         L"asked to stop; the service ends when the application's threads have ended."},
        {kService, L"Stop Arguments", F::arguments, layered, {}, L"no arguments",
         L"Arguments for stop(String[]), split like the command line."},

        {kDisplay, L"Splash Screen", F::path, file, {}, L"no splash",
         L"Picture shown while the VM starts; relative to the current directory."},
        {kDisplay, L"Splash Screen Shadow", F::exactKeyword, file, {L"true"}, L"no shadow",
         L"\"true\" exactly draws a shadow under the splash window."},
        {kDisplay, L"Preffer Native Splash Screen", F::yesFlag, file, {}, L"the launcher's own splash window",
         L"Hand the picture to the runtime's splash library when it has one (the key is spelled with a double f)."},
    };
}

}  // namespace

const std::vector<SettingsKey>& SettingsKeys() {
    static const std::vector<SettingsKey> table = BuildTable();
    return table;
}

std::vector<std::wstring> SettingsSections() {
    std::vector<std::wstring> sections;
    for (const SettingsKey& key : SettingsKeys()) {
        if (sections.empty() || sections.back() != key.section) sections.push_back(key.section);
    }
    return sections;
}

const SettingsKey* FindSettingsKey(const std::wstring& section, const std::wstring& name) {
    for (const SettingsKey& key : SettingsKeys()) {
        if (key.section == section && key.name == name) return &key;
    }
    return nullptr;
}

std::wstring DescribeValueForm(ValueForm form) {
    switch (form) {
        case ValueForm::text: return L"text";
        case ValueForm::path: return L"path";
        case ValueForm::pathList: return L"paths separated by \";\"";
        case ValueForm::versionBound: return L"version or \"any\"";
        case ValueForm::versionList: return L"versions separated by \";\"";
        case ValueForm::className: return L"class name";
        case ValueForm::yesFlag: return L"flag, \"Yes\" in any letter case";
        case ValueForm::exactYesFlag: return L"flag, \"yes\" exactly";
        case ValueForm::exactKeyword: return L"keyword, exact letter case";
        case ValueForm::anyCaseKeyword: return L"keyword, any letter case";
        case ValueForm::vmParameters: return L"VM options";
        case ValueForm::arguments: return L"arguments";
        case ValueForm::filePicture: return L"file path with a date and time picture";
        case ValueForm::number: return L"whole number";
    }
    return L"text";
}

std::wstring DescribeKeyForm(const SettingsKey& key, const std::wstring& quote) {
    std::wstring text = DescribeValueForm(key.form);
    if (key.form != ValueForm::exactKeyword && key.form != ValueForm::anyCaseKeyword) return text;
    for (std::size_t i = 0; i < key.keywords.size(); ++i) text += (i == 0 ? L": " : L", ") + quote + key.keywords[i] + quote;
    return text;
}

}  // namespace zorv
