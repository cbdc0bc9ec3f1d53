#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bounded_run.h"
#include "launcher/launcher_settings.h"
#include "launcher/settings_keys.h"
#include "tool/inflate.h"
#include "tool/settings_check.h"
#include "tool/settings_reference.h"
#include "tool/tool_commands.h"
#include "tool/tool_text.h"
#include "tool/zip_directory.h"
#include "unit/fake_platform.h"

namespace zorv::tool {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class TempFolder {
public:
    TempFolder() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ =
            fs::temp_directory_path() / (std::string("zorv_check_") + test->name() + "_" + std::to_string(::getpid()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

struct CheckRun {
    int code;
    std::string out;
    std::string err;
};

CheckRun Check(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int code = CheckCommand(args, out, err);
    return {code, out.str(), err.str()};
}

// The objects of a JSON array of flat objects, each value as its text
// ("null" for null); fails the test on anything that is not well-formed.
std::vector<std::map<std::string, std::string>> ParseFindingsJson(const std::string& text) {
    std::vector<std::map<std::string, std::string>> objects;
    std::size_t at = 0;
    auto skip = [&] {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    };
    auto expect = [&](char c) {
        skip();
        EXPECT_LT(at, text.size());
        EXPECT_EQ(text[at], c) << "at " << at << " of " << text;
        ++at;
    };
    auto string = [&] {
        expect('"');
        std::string value;
        while (at < text.size() && text[at] != '"') {
            if (text[at] == '\\') ++at;
            value += text[at++];
        }
        ++at;
        return value;
    };
    expect('[');
    skip();
    while (at < text.size() && text[at] != ']') {
        expect('{');
        std::map<std::string, std::string> object;
        for (;;) {
            std::string name = string();
            expect(':');
            skip();
            if (text[at] == '"') {
                object[name] = string();
            } else {
                std::size_t end = text.find_first_of(",}", at);
                object[name] = text.substr(at, end - at);
                at = end;
            }
            skip();
            if (text[at] == '}') break;
            expect(',');
        }
        ++at;
        objects.push_back(object);
        skip();
        if (text[at] == ',') ++at;
        skip();
    }
    expect(']');
    skip();
    EXPECT_EQ(at, text.size());
    return objects;
}

TEST(SettingsCheck, BrokenSettingsYieldEachFindingOnItsLineAndParseAsJson) {
    TempFolder folder;
    fs::create_directories(folder.Path() / "lib");
    fs::copy_file(ZORV_TEST_JAR, folder.Path() / "lib" / "app.jar");
    WriteBytes(folder.Path() / "app.ini",
               "[Product Information]\n"
               "Product Name=Demo\n"
               "[Java Runtime Environment]\n"
               "Main Class=com.example.Missing\n"
               "Minimum Version=Any\n"
               "JVM Type=Server\n"
               "Virtual Machine Parameters=-Xmx150p -Dtitle=My App -Xss\n"
               "[Application]\n"
               "Single Instance=Yes\n"
               "Output File=logs\\out_%yyyy-mm-dd%.txt\n"
               "Error File=err_%ZORV_UNDEFINED_DIR%.txt\n"
               "[Aplication]\n"
               "Failure Check=Yes\n"
               "[Class Path]\n"
               "Class Path=lib\\*.jar;missing\\*.jar\n"
               "[Display]\n"
               "Prefer Native Splash Screen=Yes\n");
    const std::string ini = (folder.Path() / "app.ini").string();
    CheckRun run = Check({ini});
    EXPECT_EQ(run.code, 2) << run.out;
    const std::vector<std::string> expected = {
        ini + ": error: \"Maximum Version\" is missing",
        ini + ":4: error: main class \"com.example.Missing\" is in no class path entry",
        ini + ":5: warning: \"Minimum Version=Any\" holds no version",
        ini + ":6: warning: \"JVM Type=Server\" differs in letter case from \"server\"",
        ini + ":7: warning: memory share \"-Xmx150p\" asks for 150 %",
        ini + ":7: error: VM parameter \"App\" (column 21) is not an option",
        ini + ":7: warning: VM parameter \"-Xss\" (column 25) gives no stack size",
        ini + ":9: warning: \"Single Instance=Yes\" leaves it off: this key takes \"yes\" in lower case only",
        ini +
            ":10: warning: \"Output File=logs\\out_%yyyy-mm-dd%.txt\": \"m\" is the minute; the month is \"M\" "
            "(it gives \"logs\\out_2026-05-07.txt\"",
        ini + ":11: warning: \"Error File=err_%ZORV_UNDEFINED_DIR%.txt\": the letters \"ZORVUNDEFI\"",
        ini + ":12: warning: unknown section [Aplication]; did you mean \"Application\"?",
        ini + ":15: warning: class path entry \"missing\\*.jar\" matches nothing",
        ini +
            ":17: warning: unknown key \"Prefer Native Splash Screen\" in section [Display]; did you mean "
            "\"Preffer Native Splash Screen\"?",
    };
    std::istringstream lines(run.out);
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);) got.push_back(line);
    ASSERT_EQ(got.size(), expected.size()) << run.out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(got[i].compare(0, expected[i].size(), expected[i]), 0)
            << "expected: " << expected[i] << "\n   got: " << got[i];
    }

    CheckRun json = Check({ini, "--json"});
    EXPECT_EQ(json.code, 2);
    auto objects = ParseFindingsJson(json.out);
    ASSERT_EQ(objects.size(), expected.size()) << json.out;
    EXPECT_EQ(objects[0]["line"], "null");
    EXPECT_EQ(objects[0]["severity"], "error");
    EXPECT_EQ(objects.back()["file"], ini);
    EXPECT_EQ(objects.back()["line"], "17");
    EXPECT_EQ(objects.back()["severity"], "warning");
    EXPECT_EQ(objects.back()["message"],
              "unknown key \"Prefer Native Splash Screen\" in section [Display]; did you mean \"Preffer Native Splash "
              "Screen\"?");
}

// Each unknown name was compared whole with every known one, and quoted whole:
// seconds and megabytes of output for one long line.
TEST(SettingsCheck, NamesOfMillionsOfCharactersAreQuotedShortAndCheckedAtOnce) {
    TempFolder folder;
    const std::string key(2000000, 'k'), section(2000000, 's');
    WriteBytes(folder.Path() / "app.ini", "[Application]\n" + key + "=1\n[" + section + "]\n");
    const std::string ini = (folder.Path() / "app.ini").string();
    const BoundedRun bounded = RunBounded([&] { return Check({ini}).code; }, 3, 100 << 20);
    ASSERT_TRUE(bounded.finished) << "took more than 3 s or 100 MB";
    EXPECT_EQ(bounded.code, 2);
    const CheckRun run = Check({ini});
    const std::string quotedKey = "\"" + key.substr(0, 200) + "...\" (2000000 characters)";
    const std::string bracketed = "[" + section.substr(0, 200) + "...] (2000000 characters)";
    EXPECT_NE(run.out.find(ini + ":2: warning: unknown key " + quotedKey + " in section [Application]\n"), std::string::npos)
        << run.out.substr(0, 1000);
    EXPECT_NE(run.out.find(ini + ":3: warning: unknown section " + bracketed + "\n"), std::string::npos);
    EXPECT_LT(run.out.size(), 2000u);

    // What the nearest-name search asks for: whether a name lies within a few
    // edits of a known one, not how far off it is.
    EXPECT_EQ(EditDistanceIgnoringCase(std::wstring(2000000, L'k'), L"Main Class", 100), 101u);
    EXPECT_EQ(EditDistanceIgnoringCase(L"kitten", L"SITTING", 10), 3u);
    EXPECT_EQ(EditDistanceIgnoringCase(L"Aplication", L"application", 2), 1u);
    EXPECT_EQ(EditDistanceIgnoringCase(L"Main Klass", L"Main Class", 0), 1u);
}

TEST(SettingsCheck, FolderOfSoundSettingsExitsZeroAndOneWarningMakesItOne) {
    TempFolder folder;
    fs::create_directories(folder.Path() / "lib");
    fs::copy_file(ZORV_TEST_JAR, folder.Path() / "lib" / "app.jar");
    std::string settings =
        "; the launcher's settings\r\n"
        "[Java Runtime Environment]\r\n"
        "Main Class=Probe\r\n"
        "Minimum Version=1.8\r\n"
        "Maximum Version=any\r\n"
        "Virtual Machine Parameters=-Xmx50:256:1024p \"-Dapp.title=My App\" -Xss2m\r\n"
        "[Application]\r\n"
        "single instance=yes\r\n"
        "Output File=logs\\out_%yyyyMMdd-HHmm%.txt\r\n"
        "[Class Path]\r\n"
        "Class Path=lib\\*.jar;lib\\app.jar\r\n";
    WriteBytes(folder.Path() / "good.ini", settings);
    CheckRun clean = Check({folder.Path().string()});
    EXPECT_EQ(clean.code, 0) << clean.out;
    EXPECT_EQ(clean.out, folder.Path().string() + ": no findings\n");
    EXPECT_EQ(Check({folder.Path().string(), "--json"}).out, "[]\n");

    WriteBytes(folder.Path() / "good.ini", settings + "[Application]\r\nFailure Check=true\r\n");
    CheckRun warned = Check({folder.Path().string()});
    EXPECT_EQ(warned.code, 1) << warned.out;
    EXPECT_NE(warned.out.find("good.ini:12: warning: section [Application] appears again (first at line 7)"),
              std::string::npos)
        << warned.out;

    EXPECT_EQ(Check({}).code, kToolUsageError);
    EXPECT_EQ(Check({(folder.Path() / "absent").string()}).code, kToolInputRefused);
}

// One settings file with absolute Linux paths, checked for the launcher of
// each system: zorv runs it, the Windows launcher would join the paths to
// its own folder and find nothing.
TEST(SettingsCheck, PathsAreResolvedAsTheLauncherOfTheirSystemResolvesThem) {
    TempFolder folder;
    const fs::path shared = folder.Path() / "shared";
    fs::create_directories(shared);
    fs::copy_file(ZORV_TEST_JAR, shared / "App.jar");
    WriteBytes(folder.Path() / "app" / "viewer.ini",
               "[Java Runtime Environment]\nMain Class=com.example.App\nMaximum Version=any\n[Class Path]\n"
               "Class Path=" + (shared / "App.jar").string() + ";" + (shared / "*.JAR").string() + "\n");
    const std::string ini = (folder.Path() / "app" / "viewer.ini").string();

    // With no launcher beside it, the INI file is judged for this system's.
    for (const std::string& target : {ini, (folder.Path() / "app" / "viewer").string()}) {
        CheckRun linuxRun = Check({target});
        EXPECT_EQ(linuxRun.code, 1) << target << "\n" << linuxRun.out;
        // Letter case counts in a Linux file name.
        EXPECT_EQ(linuxRun.out, ini + ":5: warning: class path entry \"" + (shared / "*.JAR").string() +
                                    "\" matches nothing\n");
        WriteBytes(folder.Path() / "app" / "viewer", std::string("\x7F" "ELF\x02\x01\x01", 7) + std::string(60, '\0'));
    }

    WriteBytes(folder.Path() / "app" / "viewer.exe", std::string("MZ\x90\0", 4) + std::string(60, '\0'));
    for (const std::string& target : {ini, (folder.Path() / "app" / "viewer.exe").string()}) {
        CheckRun windowsRun = Check({target});
        EXPECT_EQ(windowsRun.code, 2) << target << "\n" << windowsRun.out;
        EXPECT_NE(windowsRun.out.find(ini + ":2: error: main class \"com.example.App\" is in no class path entry"),
                  std::string::npos)
            << windowsRun.out;
    }

    // "Main Jar" is a path like the others.
    WriteBytes(folder.Path() / "app" / "viewer.ini", "[Java Runtime Environment]\nMain Jar=" +
                                                         (shared / "App.jar").string() + "\nMaximum Version=any\n");
    const std::string jarLine = ini + ":2: error: \"Main Jar\" \"" + (shared / "App.jar").string() + "\" does not exist";
    EXPECT_EQ(Check({(folder.Path() / "app" / "viewer").string()}).out.find(jarLine), std::string::npos);
    EXPECT_NE(Check({(folder.Path() / "app" / "viewer.exe").string()}).out.find(jarLine), std::string::npos);
}

std::vector<std::wstring> Messages(const std::vector<Finding>& findings) {
    std::vector<std::wstring> messages;
    for (const Finding& finding : findings) {
        messages.push_back(finding.file + L":" + std::to_wstring(finding.line) + L": " +
                           (finding.severity == Severity::error ? L"error: " : L"warning: ") + finding.message);
    }
    return messages;
}

bool Has(const std::vector<std::wstring>& messages, const std::wstring& start) {
    for (const std::wstring& message : messages) {
        if (message.compare(0, start.size(), start) == 0) return true;
    }
    return false;
}

const EnvironmentLookup kNoEnvironment = [](const std::wstring&, std::wstring&) { return false; };

TEST(SettingsCheck, EmbeddedLayerIsJudgedWithExactNamesAndThePlusSectionsSpace) {
    TempFolder folder;
    WriteBytes(folder.Path() / "app.ini",
               "[Application+]\n"
               "Single Instance=yes\n"
               "[Display+]\n"
               "Splash Screen=x.png\n"
               "[Java Runtime Environment+]\n"
               "Virtual Machine Parameters=-Xmx1g\n");
    CheckTarget target;
    target.executablePath = WidePath(folder.Path() / "app.exe");
    target.settingsPath = WidePath(folder.Path() / "app.ini");
    target.embeddedName = L"app.exe (embedded)";
    target.embeddedText =
        L"\xFEFF[Java Runtime Environment]\r\n"
        L"main class=com.example.App\r\n"
        L"Maximum Version=1.8\r\n"
        L"Minimum Version=11\r\n"
        L"[Display]\r\n"
        L"Splash Screen=s.png\r\n"
        L"[Class Path]\r\n"
        L"Class Path=app.jar\r\n";
    auto messages = Messages(CheckSettings(target, kNoEnvironment));
    const std::wstring ini = target.settingsPath;
    for (const std::wstring& expected : {
             ini + L":0: error: \"Main Class\" is missing",
             ini + L":2: warning: \"Single Instance= yes\" begins with the space a \"+\" section adds",
             ini + L":3: warning: [Display+] is never read",
             std::wstring(L"app.exe (embedded):2: warning: unknown key \"main class\" in section [Java Runtime "
                          L"Environment]: embedded settings match names exactly, write \"Main Class\""),
             std::wstring(L"app.exe (embedded):3: error: \"Maximum Version\" 1.8 lies below \"Minimum Version\" 11"),
             std::wstring(
                 L"app.exe (embedded):6: warning: key \"Splash Screen\" is read from the INI file's [Display] alone"),
             std::wstring(L"app.exe (embedded):8: warning: class path entry \"app.jar\" matches nothing"),
             std::wstring(L"app.exe (embedded):8: error: the class path is empty"),
         }) {
        EXPECT_TRUE(Has(messages, expected)) << ToUtf8(expected);
    }
    EXPECT_EQ(messages.size(), 8u);

    target.embeddedText = L"[Java Runtime Environment]\nMain Class=a.B\n";
    EXPECT_TRUE(Has(Messages(CheckSettings(target, kNoEnvironment)),
                    L"app.exe (embedded):0: warning: embedded settings hold a line feed without a carriage return"));
}

TEST(SettingsCheck, EmbeddedJarIsSearchedThroughTheExecutablesZipDirectory) {
    TempFolder folder;
    const std::string jar = ReadBytes(ZORV_TEST_JAR);
    WriteBytes(folder.Path() / "app.exe", std::string("MZ\x90\0", 4) + std::string(300, 'x') + jar);
    auto settings = [&](const std::string& mainClass) {
        WriteBytes(folder.Path() / "app.ini", "[Java Runtime Environment]\nMain Class=" + mainClass +
                                                  "\nMaximum Version=11\n[Application]\nEmbedded Jar=YES\n");
    };
    CheckTarget target;
    target.executablePath = WidePath(folder.Path() / "app.exe");
    target.settingsPath = WidePath(folder.Path() / "app.ini");
    settings("com.example.App");
    EXPECT_TRUE(CheckSettings(target, kNoEnvironment).empty());
    settings("com.example.Other");
    auto messages = Messages(CheckSettings(target, kNoEnvironment));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(Has(messages, target.settingsPath + L":2: error: main class \"com.example.Other\" is in no class path "
                                                    L"entry (no com/example/Other.class in 1 item)"))
        << ToUtf8(messages[0]);

    std::vector<std::string> names;
    ASSERT_TRUE(ReadZipEntryNames(jar, names));
    EXPECT_NE(std::find(names.begin(), names.end(), "META-INF/MANIFEST.MF"), names.end());
    EXPECT_FALSE(ReadZipEntryNames(jar.substr(0, jar.size() - 30), names));
}

// The main class is read out of the jar the jar tool deflated, or from a
// folder of classes.
TEST(SettingsCheck, SingleInstanceWithoutSecondaryMainIsWarnedOf) {
    TempFolder folder;
    const std::string jar = ReadBytes(ZORV_TEST_JAR);
    WriteBytes(folder.Path() / "app.exe", std::string("MZ\x90\0", 4) + std::string(300, 'x') + jar);
    CheckTarget target;
    target.executablePath = WidePath(folder.Path() / "app.exe");
    target.settingsPath = WidePath(folder.Path() / "app.ini");
    auto check = [&](const std::string& mainClass, const std::string& classPath, const std::string& flag) {
        WriteBytes(folder.Path() / "app.ini", "[Java Runtime Environment]\nMain Class=" + mainClass +
                                                  "\nMaximum Version=11\n[Class Path]\nClass Path=" + classPath +
                                                  "\n[Application]\nEmbedded Jar=YES\nSingle Instance=" + flag + "\n");
        std::vector<std::wstring> messages;
        for (const std::wstring& message : Messages(CheckSettings(target, kNoEnvironment))) {
            if (message.find(L"secondaryMain") != std::wstring::npos) messages.push_back(message);
        }
        return messages;
    };
    const std::wstring warning = target.settingsPath +
                                 L":8: warning: \"Single Instance=yes\" but the main class has no static "
                                 L"secondaryMain(String[]): a second start ends with -1 at once and its arguments "
                                 L"reach nobody";
    EXPECT_EQ(check("Probe", "", "yes"), std::vector<std::wstring>{});
    EXPECT_EQ(check("PlainProbe", "", "yes"), std::vector<std::wstring>{warning});
    EXPECT_EQ(check("InstanceProbe", "", "yes"), std::vector<std::wstring>{warning}) << "it is not static";
    EXPECT_EQ(check("PlainProbe", "", "Yes"), std::vector<std::wstring>{}) << "the mode is off";

    std::string plain, probe;
    ASSERT_TRUE(ReadZipEntry(jar, "PlainProbe.class", 1 << 20, plain));
    ASSERT_TRUE(ReadZipEntry(jar, "Probe.class", 1 << 20, probe));
    EXPECT_EQ(plain.compare(0, 4, "\xCA\xFE\xBA\xBE"), 0);
    EXPECT_FALSE(ReadZipEntry(jar, "Probe.class", probe.size() - 1, probe)) << "over the limit";
    WriteBytes(folder.Path() / "app.exe", "MZ");
    WriteBytes(folder.Path() / "classes" / "PlainProbe.class", plain);
    EXPECT_EQ(check("PlainProbe", "classes", "yes"), std::vector<std::wstring>{warning});
    // A class file cut short tells nothing either way.
    WriteBytes(folder.Path() / "classes" / "PlainProbe.class", plain.substr(0, plain.size() / 2));
    EXPECT_EQ(check("PlainProbe", "classes", "yes"), std::vector<std::wstring>{});
}

// Stored and fixed-code blocks, which the jar tool's output seldom has, and
// streams that lie about their distances, lengths or end.
TEST(Inflate, EachBlockKindDecodesAndBrokenStreamsAreRefused) {
    auto inflate = [](const std::string& data, std::size_t limit = 1024) {
        std::string out;
        return Inflate(reinterpret_cast<const unsigned char*>(data.data()), data.size(), limit, out) ? out : "(refused)";
    };
    EXPECT_EQ(inflate(std::string("\x01\x05\x00\xfa\xffhello", 10)), "hello");
    EXPECT_EQ(inflate(std::string("K\x04\x00", 3)), "a");
    const std::string repeated("KLJNDB\x00", 7);
    EXPECT_EQ(inflate(repeated), "abcabcabcabcabc");
    EXPECT_EQ(inflate(repeated, 14), "(refused)") << "over the limit";
    EXPECT_EQ(inflate(repeated.substr(0, 4)), "(refused)") << "cut short";
    EXPECT_EQ(inflate(std::string("\x01\x05\x00\xfa\xfehello", 10)), "(refused)") << "length and complement disagree";
    EXPECT_EQ(inflate(std::string("\x07", 1)), "(refused)") << "block type 3";
    // A fixed block whose first code is a match: nothing to copy from yet.
    EXPECT_EQ(inflate(std::string("\x03\x02\x00", 3)), "(refused)");
}

TEST(SettingsCheck, ValuesAndNamesAreJudgedAsTheLauncherReadsThem) {
    TempFolder folder;
    WriteBytes(folder.Path() / "app.ini",
               "[Java Runtime Environment]\n"
               "Main Class=com.example.App\n"
               "Maximum Version=any\n"
               "Virtual Machine Parameters=-Da=\"x y -XMX50p -Xmx:512:256p -Xms10t -cp x.jar\n"
               "Library Path=lib\n"
               "VM Provider=FAVOR_IBM\n"
               "JVM Source=favor_jre\n"
               "[Application]\n"
               "Output File=out_%HH:mm%.log\n"
               "Error File=err%.log\n"
               "Embedded Jar=yes\n"
               "Process Priority=highest\n"
               "[Environment]\n"
               "JAVA_HOME=C:\\jdk\n"
               "=orphan\n"
               "A\tB=1\n"
               "Path=%Path%;x\n");
    CheckTarget target;
    target.executablePath = WidePath(folder.Path() / "app.exe");
    target.settingsPath = WidePath(folder.Path() / "app.ini");
    auto messages = Messages(CheckSettings(target, kNoEnvironment));
    const std::wstring at = target.settingsPath + L":";
    for (const std::wstring& expected : {
             at + L"4: warning: VM parameter \"-Da=\"x\" (column 1) keeps a double quote",
             at + L"4: error: VM parameter \"y\" (column 8) is not an option",
             at + L"4: warning: VM parameter \"-XMX50p\" (column 10) is not computed as a share of memory",
             at + L"4: warning: memory share \"-Xmx:512:256p\" has a minimum above its maximum",
             at + L"4: warning: memory share \"-Xms10t\" is a share of the free address space",
             at + L"4: error: VM parameter \"-cp\" (column 40) is an option of the java command, not of the VM: the "
                  L"launcher stops before it creates the VM; use \"Class Path\" in [Class Path] instead",
             at + L"4: error: VM parameter \"x.jar\" (column 44) is not an option",
             at + L"7: warning: \"JVM Source=favor_jre\" differs in letter case from \"favor_JRE\"",
             at + L"9: warning: \"Output File=out_%HH:mm%.log\" puts \":\"",
             at + L"10: warning: \"Error File=err%.log\" has a single \"%\"",
             // Embedded Jar puts the executable on the class path even when it does not exist.
             at + L"2: warning: class path item",
             at + L"2: error: main class \"com.example.App\" is in no class path entry",
             at + L"12: warning: \"Process Priority=highest\" is not a keyword of this key",
             // Any other name is a variable's, whatever the table knows.
             at + L"15: error: environment variable name \"\" is empty",
             at + L"16: error: environment variable name \"A\tB\" holds a control character",
         }) {
        EXPECT_TRUE(Has(messages, expected)) << ToUtf8(expected);
    }
    // "Library Path=lib" gets its separator from the launcher: nothing to say about it.
    EXPECT_EQ(messages.size(), 15u);
}

TEST(SettingsCheck, ModernApplicationsModuleOptionsAndWhatTheVmWouldRefuse) {
    TempFolder folder;
    const std::string jar = ReadBytes(ZORV_TEST_JAR);
    WriteBytes(folder.Path() / "dist" / "app.jar", jar);
    WriteBytes(folder.Path() / "mods" / "m.jar", jar);
    WriteBytes(folder.Path() / "plain.jar", "not a zip");
    CheckTarget target;
    target.executablePath = WidePath(folder.Path() / "app.exe");
    target.settingsPath = WidePath(folder.Path() / "app.ini");
    const std::wstring at = target.settingsPath + L":";
    auto check = [&](const std::string& runtimeLines, const std::string& classPathLines) {
        WriteBytes(folder.Path() / "app.ini", "[Java Runtime Environment]\nMaximum Version=any\n" + runtimeLines +
                                                  "[Class Path]\n" + classPathLines);
        return Messages(CheckSettings(target, kNoEnvironment));
    };
    // The forms copied from a java command line are fine now, quotes or none;
    // a jar needs no class path and no main class.
    EXPECT_EQ(check("Main Jar=dist\\app.jar\nVirtual Machine Parameters=--add-opens java.base/java.lang=ALL-UNNAMED "
                    "\"--module-path\" \"C:\\my mods\" -p mods --add-modules javafx.controls --enable-preview\n",
                    ""),
              std::vector<std::wstring>{});
    EXPECT_EQ(check("Main Module=app.mod/app.Main\n", "Module Path=mods;missing\n"),
              std::vector<std::wstring>{at + L"5: warning: module path entry \"missing\" matches nothing"});

    auto messages = check("Main Class=com.example.App\nMain Jar=plain.jar\nMain Module=app.mod\n"
                          "Virtual Machine Parameters=-server -jar x.jar --add-reads\n",
                          "Class Path=dist/app.jar\n");
    for (const std::wstring& expected : {
             at + L"3: warning: \"Main Module\" names the application: \"com.example.App\" is not used",
             at + L"4: warning: \"Main Module\" names the application: \"plain.jar\" is not used",
             at + L"6: warning: VM parameter \"-server\" (column 1) is left out: \"JVM Type\" chooses the VM library",
             at + L"6: error: VM parameter \"-jar\" (column 9) is an option of the java command, not of the VM: the "
                  L"launcher stops before it creates the VM; use \"Main Jar\" in [Java Runtime Environment] instead",
             at + L"6: error: VM parameter \"--add-reads\" (column 20) needs a value after it",
         }) {
        EXPECT_TRUE(Has(messages, expected)) << ToUtf8(expected);
    }
    EXPECT_EQ(messages.size(), 6u);  // and x.jar, which is no option

    EXPECT_EQ(check("Main Jar=plain.jar\n", ""),
              std::vector<std::wstring>{at + L"3: error: \"Main Jar\" \"plain.jar\" is no jar with a manifest: the "
                                             L"runtime finds no Main-Class"});
    EXPECT_EQ(check("Main Jar=%NOWHERE%\\app.jar\n", ""),
              std::vector<std::wstring>{at + L"3: error: \"Main Jar\" \"%NOWHERE%\\app.jar\" does not exist or cannot "
                                             L"be read"});
}

// The table's keywords are the ones the launcher acts on: each changes the
// launcher's choice from what an unknown word gives.
TEST(SettingsKeys, KeywordsOfTheTableAreTheLaunchersOwn) {
    auto providerFlags = [](const std::wstring& value) {
        RuntimeRequest request;
        ApplyVmProvider(request, value);
        std::vector<bool> flags = {request.jrockitAllowed, request.jrockitPreferred, request.sunAllowed,
                                   request.sunPreferred,   request.ibmAllowed,       request.ibmPreferred};
        for (bool allowed : request.vendors.allowed) flags.push_back(allowed);
        for (bool preferred : request.vendors.preferred) flags.push_back(preferred);
        return flags;
    };
    auto sourceFlags = [](const std::wstring& value) {
        RuntimeRequest request;
        ApplyJvmSource(request, value);
        return std::vector<bool>{request.sourceJdk, request.sourceJre, request.sourceEither};
    };
    const SettingsKey* provider = FindSettingsKey(L"Java Runtime Environment", L"VM Provider");
    const SettingsKey* source = FindSettingsKey(L"Java Runtime Environment", L"JVM Source");
    ASSERT_NE(provider, nullptr);
    ASSERT_NE(source, nullptr);
    for (const std::wstring& keyword : provider->keywords)
        EXPECT_NE(providerFlags(keyword), providerFlags(L"sun")) << ToUtf8(keyword);
    for (const std::wstring& keyword : source->keywords)
        EXPECT_NE(sourceFlags(keyword), sourceFlags(L"other")) << ToUtf8(keyword);
}

TEST(SettingsReference, DocsSettingsIsTheGeneratedReference) {
    std::ostringstream generated;
    WriteSettingsReference(generated);
    const std::string onDisk = ReadBytes(fs::path(ZORV_SOURCE_DIR) / "docs" / "settings.md");
    std::istringstream want(generated.str()), have(onDisk);
    std::string wanted, had;
    for (int line = 1; std::getline(want, wanted); ++line) {
        ASSERT_TRUE(std::getline(have, had) && had == wanted)
            << "docs/settings.md is stale at line " << line << ": regenerate it with zorvtool reference > "
            << "docs/settings.md\n  generated: " << wanted << "\n  on disk:   " << had;
    }
    EXPECT_FALSE(std::getline(have, had)) << "docs/settings.md goes on after the reference: " << had;
    for (const SettingsKey& key : SettingsKeys()) {
        EXPECT_NE(onDisk.find("| " + ToUtf8(key.name) + " |"), std::string::npos) << ToUtf8(key.name);
    }
}

}  // namespace
}  // namespace zorv::tool
