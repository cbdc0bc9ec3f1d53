// zorvtool's resource commands on small PE images made here: what embed
// writes, show reads back; other resources survive every rewrite; the headers
// stay consistent; and whatever is refused leaves no file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <iterator>
#include <random>
#include <sstream>

#include <sys/stat.h>

#include "bounded_run.h"
#include "launcher/byte_order.h"
#include "launcher/launcher_settings.h"
#include "launcher/utf8.h"
#include "tool/icon_file.h"
#include "tool/output_file.h"
#include "tool/pe_image.h"
#include "tool/tool_commands.h"
#include "tool/version_resource.h"
#include "unit/fake_platform.h"

namespace zorv::tool {
namespace {

namespace fs = std::filesystem;

// One code section, no resources: the least a loader accepts.
Bytes MinimalImage(bool is64Bit) {
    const std::size_t optionalSize = is64Bit ? 240 : 224;
    Bytes image(0x400, 0);
    image[0] = 'M';
    image[1] = 'Z';
    Set32(&image[0x3C], 0x40);
    std::copy_n("PE\0\0", 4, image.begin() + 0x40);
    const std::size_t file = 0x44, optional = file + 20;
    Set16(&image[file], is64Bit ? 0x8664 : 0x14C);
    Set16(&image[file + 2], 1);
    Set16(&image[file + 16], static_cast<std::uint32_t>(optionalSize));
    Set16(&image[optional], is64Bit ? 0x20B : 0x10B);
    Set32(&image[optional + 32], 0x1000);
    Set32(&image[optional + 36], 0x200);
    Set32(&image[optional + 56], 0x2000);
    Set32(&image[optional + 60], 0x200);
    Set32(&image[optional + (is64Bit ? 108 : 92)], 16);
    const std::size_t section = optional + optionalSize;
    std::copy_n(".text", 5, image.begin() + section);
    Set32(&image[section + 8], 0x10);
    Set32(&image[section + 12], 0x1000);
    Set32(&image[section + 16], 0x200);
    Set32(&image[section + 20], 0x200);
    Set32(&image[section + 36], 0x60000020);
    return image;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Two images of a made-up .ico: the tool copies image data as it is.
Bytes IconFile() {
    Bytes file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, 2);
    const Bytes images[] = {Text("sixteen-by-sixteen"), Text("thirty-two-by-thirty-two!")};
    std::uint32_t offset = 6 + 2 * 16;
    for (int i = 0; i < 2; ++i) {
        file.insert(file.end(), {static_cast<unsigned char>(16 << i), static_cast<unsigned char>(16 << i), 0, 0});
        Put16(file, 1);
        Put16(file, 32);
        Put32(file, static_cast<std::uint32_t>(images[i].size()));
        Put32(file, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const Bytes& image : images) file.insert(file.end(), image.begin(), image.end());
    return file;
}

Bytes GroupOf(std::initializer_list<std::uint16_t> ids) {
    Bytes group;
    Put16(group, 0);
    Put16(group, 1);
    Put16(group, static_cast<std::uint32_t>(ids.size()));
    for (std::uint16_t id : ids) {
        group.insert(group.end(), {32, 32, 0, 0, 1, 0, 32, 0, 4, 0, 0, 0});
        Put16(group, id);
    }
    return group;
}

const Bytes kManifest = Text("<assembly manifestVersion=\"1.0\"/>");

class ResourceCommands : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        folder_ = fs::temp_directory_path() / ("zorvtool-" + name + "-" + std::to_string(std::random_device()()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    void Write(const std::string& name, const Bytes& bytes) const {
        std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    Bytes Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The names in the test's folder, sorted.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // A launcher with the resources a real one carries.
    void WriteLauncher(const std::string& name, std::vector<Resource> resources) const {
        PeImage image;
        std::string problem;
        ASSERT_TRUE(image.Load(MinimalImage(GetParam()), problem)) << problem;
        ASSERT_TRUE(image.WriteResources(resources, problem)) << problem;
        Write(name, image.File());
    }

    std::vector<Resource> ResourcesOf(const std::string& name) const {
        PeImage image;
        std::string problem;
        std::vector<Resource> resources;
        EXPECT_TRUE(image.Load(Read(name), problem) && image.ReadResources(resources, problem)) << problem;
        EXPECT_EQ(Get32(&image.File()[image.ChecksumOffset()]), PeChecksum(image.File(), image.ChecksumOffset()));
        return resources;
    }

    int Run(int (*command)(const Arguments&, std::ostream&, std::ostream&), const Arguments& args) {
        out_.str("");
        err_.str("");
        return command(args, out_, err_);
    }

    // The embedded settings show deciphers, after its heading.
    std::string Shown(const std::string& name, const std::string& upgradeCode) {
        EXPECT_EQ(Run(ShowCommand, {Path(name), "--upgrade-code", upgradeCode}), kToolSucceeded) << err_.str();
        const std::size_t heading = out_.str().find("):\n");
        return heading == std::string::npos ? "(no embedded settings)" : out_.str().substr(heading + 3);
    }

    fs::path folder_;
    std::ostringstream out_, err_;
};

TEST_P(ResourceCommands, EmbedThenShowGivesTheSettingsBackAndKeepsEveryOtherResource) {
    WriteLauncher("launcher.exe", {{IdKey(kTypeManifest), IdKey(1), 0x409, 0, kManifest},
                                   {IdKey(kTypeRcData), IdKey(8000), 0x407, 0, Text("an old embedding")},
                                   {IdKey(kTypeRcData), ResourceKey{0, u"NAMED"}, 0, 0, Text("named data")}});
    // An LF-only file: the launcher's parser of the embedded text needs CR LF.
    Write("app.ini", Text("[Product Information]\nUpgrade Code={UP-1}\r\n[Application]\nMain Class=com.example.Ä\n"));
    const std::string kShown = "[Product Information]\r\nUpgrade Code={UP-1}\r\n[Application]\r\nMain Class=com.example.Ä\r\n";

    ASSERT_EQ(Run(EmbedCommand, {Path("launcher.exe"), Path("app.ini"), "--upgrade-code", "{UP-1}", "-o", Path("app.exe"),
                                 "--res", Path("app.res")}),
              kToolSucceeded)
        << err_.str();
    const std::vector<Resource> resources = ResourcesOf("app.exe");
    ASSERT_NE(FindResource(resources, IdKey(kTypeManifest), IdKey(1), 0x409), nullptr);
    EXPECT_EQ(FindResource(resources, IdKey(kTypeManifest), IdKey(1), 0x409)->data, kManifest);
    ASSERT_NE(FindResource(resources, IdKey(kTypeRcData), ResourceKey{0, u"NAMED"}, 0), nullptr);
    EXPECT_EQ(FindResource(resources, IdKey(kTypeRcData), ResourceKey{0, u"NAMED"}, 0)->data, Text("named data"));
    EXPECT_EQ(FindResource(resources, IdKey(kTypeRcData), IdKey(8000), 0x407), nullptr) << "it would shadow the new one";
    EXPECT_NE(FindResource(resources, IdKey(kTypeRcData), IdKey(9000), 0), nullptr);
    EXPECT_EQ(resources.size(), 4u);

    // The Upgrade Code comes from the INI file beside the program.
    Write("app.ini", Text("[Product Information]\r\nUpgrade Code={UP-1}\r\n"));
    for (const char* shown : {"app.exe", "app.res"}) EXPECT_EQ(Shown(shown, "{UP-1}"), kShown) << shown;
    ASSERT_EQ(Run(ShowCommand, {Path("app.exe")}), kToolSucceeded) << err_.str();
    EXPECT_NE(out_.str().find("RCDATA 9000, language 0x0000"), std::string::npos) << out_.str();
    EXPECT_EQ(Run(ShowCommand, {Path("app.exe"), "--upgrade-code", "{UP-2}"}), kToolInputRefused) << out_.str();

    // Branded again: the resource section, now the last one, is rebuilt in place.
    Write("other.ini", Text("[Application]\r\nMain Class=com.example.Other\r\n"));
    const auto sectionCount = [this] { return Get16(&Read("app.exe")[0x46]); };
    EXPECT_EQ(sectionCount(), 2u) << "code and resources";
    ASSERT_EQ(Run(EmbedCommand, {Path("app.exe"), Path("other.ini"), "--upgrade-code", "{UP-1}", "-o", Path("app.exe")}),
              kToolSucceeded);
    EXPECT_EQ(sectionCount(), 2u);
    EXPECT_EQ(ResourcesOf("app.exe").size(), 4u);
    EXPECT_EQ(Shown("app.exe", "{UP-1}"), "[Application]\r\nMain Class=com.example.Other\r\n");
}

// Text with such a character deciphers to what a wrong Upgrade Code gives:
// One settings file as a packager may write it (a UTF-8 byte-order mark, LF
// line ends and none after the last line, names in other letter cases, a
// comment, a repeated key and a repeated section, a "+" section), read by
// the launcher's settings stage, by check and by show: all three take the
// same value from the same line.
TEST_P(ResourceCommands, TheLauncherCheckAndShowReadOneSettingsFileAlike) {
    WriteLauncher("launcher.exe", {});
    Write("embedded.ini", Text("[Java Runtime Environment]\r\nVirtual Machine Parameters=-Xmx64m\r\nJRE Path=rt\r\n"
                               "[Class Path]\r\nClass Path=lib\r\n"));
    ASSERT_EQ(Run(EmbedCommand, {Path("launcher.exe"), Path("embedded.ini"), "--upgrade-code", "{5E1F-0A}", "-o",
                                 Path("app.exe")}),
              kToolSucceeded)
        << err_.str();
    fs::create_directories(folder_ / "lib");
    const std::string ini =
        "\xEF\xBB\xBF[product information]\n"          // 1
        "upgrade code={5E1F-0A}\n"                       // 2
        "; the application's own settings\n"             // 3
        "[JAVA RUNTIME ENVIRONMENT]\n"                   // 4
        "main class=com.example.App\n"                   // 5
        "Main Class=com.example.Other\n"                 // 6
        ";Main Class=com.example.Commented\n"            // 7
        "maximum version=any\n"                          // 8
        "[Java Runtime Environment]\n"                   // 9
        "Minimum Version=99\n"                           // 10
        "[Java Runtime Environment+]\n"                  // 11
        "virtual machine parameters=-Dadded=1 -XMX50p";  // 12
    Write("app.ini", Text(ini));

    testing::FakePlatform platform;
    platform.settingsFiles[L"C:\\app\\app.ini"] = DecodeSettingsText(ini);
    for (const Resource& resource : ResourcesOf("app.exe")) {
        if (resource.type == IdKey(kTypeRcData)) platform.resources[resource.name.id] = resource.data;
    }
    ProgramFiles files;
    LauncherSettings settings;
    ASSERT_TRUE(ReadLauncherSettings(platform, files, settings)) << ToUtf8(platform.boxes.empty() ? L"" : platform.boxes[0]);
    EXPECT_EQ(settings.instance.upgradeCode, L"{5E1F-0A}");
    EXPECT_EQ(settings.start.launchTarget, L"com.example.App");
    EXPECT_EQ(settings.runtime.minimumVersion.Format(), VersionNumber().Format());
    EXPECT_EQ(CompareVersions(settings.runtime.maximumVersion, VersionNumber::Open()), 0);
    EXPECT_EQ(settings.vm.parameters, L"-Xmx64m -Dadded=1 -XMX50p");
    EXPECT_EQ(settings.start.classPath, L"lib");

    ASSERT_EQ(Run(CheckCommand, {Path("app.exe")}), 2) << out_.str() << err_.str();
    const std::string file = Path("app.ini");
    EXPECT_EQ(out_.str(),
              file + ":5: error: main class \"com.example.App\" is in no class path entry (no "
                     "com/example/App.class in 1 item)\n" +
              file + ":6: warning: key \"Main Class\" repeats line 5: the first one wins\n" +
              file + ":9: warning: section [Java Runtime Environment] appears again (first at line 4): only the "
                     "first one is read\n" +
              file + ":12: warning: VM parameter \"-XMX50p\" (column 19) is not computed as a share of memory: "
                     "only \"-Xmx\" in that letter case is\n");

    ASSERT_EQ(Run(ShowCommand, {Path("app.exe")}), kToolSucceeded) << err_.str();
    EXPECT_NE(out_.str().find("deciphered with the Upgrade Code \"{5E1F-0A}\" (" + file + "):\n[Java Runtime"),
              std::string::npos)
        << out_.str();
}

// show and check would call the packager's own settings garbage.
TEST_P(ResourceCommands, EmbedRefusesTheCharactersItsSettingsCannotHold) {
    WriteLauncher("launcher.exe", {});
    const Arguments outputs = {"--upgrade-code", "X", "-o", Path("app.exe"), "--res", Path("app.res"), "--rc", Path("app.rc")};
    const auto embed = [&](const Bytes& settings) {
        Write("app.ini", settings);
        Arguments args = {Path("launcher.exe"), Path("app.ini")};
        args.insert(args.end(), outputs.begin(), outputs.end());
        return Run(EmbedCommand, args);
    };
    const std::string refusal = "zorvtool: " + Path("app.ini") + " has ";
    for (int byte = 0; byte < 0x20; ++byte) {
        if (byte == '\t' || byte == '\n' || byte == '\r') continue;
        SCOPED_TRACE(byte);
        std::ostringstream expected;
        expected << refusal << "the control character 0x" << std::hex << std::uppercase << (byte >> 4) << (byte & 15)
                 << ", at line 2, column 14: embedded settings cannot hold it\n";
        // The column counts characters: two bytes of UTF-8, then four.
        EXPECT_EQ(embed(Text("[Application]\r\nMain Class=\xC3\x84\xF0\x9F\x98\x80" + std::string(1, static_cast<char>(byte)) +
                             "\r\n")),
                  kToolInputRefused);
        EXPECT_EQ(err_.str(), expected.str());
        EXPECT_EQ(Listing(), (std::vector<std::string>{"app.ini", "launcher.exe"}));
    }
    // A UTF-16 file may hold half a surrogate pair, which no UTF-8 can.
    Bytes utf16 = {0xFF, 0xFE};
    for (char16_t unit : u"[A]\r\nK=") Put16(utf16, unit);
    utf16.resize(utf16.size() - 2);
    Put16(utf16, 0xDC01);
    EXPECT_EQ(embed(utf16), kToolInputRefused);
    EXPECT_EQ(err_.str(), refusal + "half a surrogate pair, 0xDC01, at line 2, column 3: embedded settings cannot hold it\n");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"app.ini", "launcher.exe"}));

    // Tab, and CR without LF, are text; both come back as they went in.
    ASSERT_EQ(embed(Text("[Application]\r\nMain Class=a\tb\rc\r\n")), kToolSucceeded) << err_.str();
    for (const char* shown : {"app.exe", "app.res"}) {
        EXPECT_EQ(Shown(shown, "X"), "[Application]\r\nMain Class=a\tb\rc\r\n") << shown;
    }
}

TEST_P(ResourceCommands, IconAndVersionReplaceTheirOwnResourcesOnly) {
    Bytes oldVersion;
    ASSERT_TRUE(BrandedVersion(nullptr, VersionFields{{}, "", u"Old", u"Old Company", u"Old text"}, oldVersion));
    WriteLauncher("app.exe", {{IdKey(kTypeIcon), IdKey(1), 0x407, 0, Text("old icon one")},
                              {IdKey(kTypeIcon), IdKey(2), 0x407, 0, Text("old icon two, shared")},
                              {IdKey(kTypeGroupIcon), IdKey(1), 0x407, 0, GroupOf({1, 2})},
                              {IdKey(kTypeGroupIcon), IdKey(7), 0x407, 0, GroupOf({2})},
                              {IdKey(kTypeVersion), IdKey(1), 0x407, 0, oldVersion},
                              {IdKey(kTypeManifest), IdKey(1), 0x409, 0, kManifest}});
    Write("app.ico", IconFile());
    ASSERT_EQ(Run(IconCommand, {Path("app.exe"), Path("app.ico")}), kToolSucceeded) << err_.str();
    ASSERT_EQ(Run(VersionCommand, {Path("app.exe"), "--product-name", "Fancy", "--version", "1.2.3.4", "--description",
                                   "Fancy thing"}),
              kToolSucceeded)
        << err_.str();

    const std::vector<Resource> resources = ResourcesOf("app.exe");
    const Resource* group = FindResource(resources, IdKey(kTypeGroupIcon), IdKey(1), 0x407);
    ASSERT_NE(group, nullptr);
    const std::vector<std::uint16_t> ids = GroupIconIds(group->data);
    ASSERT_EQ(ids.size(), 2u);
    std::vector<IconImage> images;
    ASSERT_TRUE(ParseIconFile(IconFile(), images));
    for (std::size_t i = 0; i < 2; ++i) {
        const Resource* icon = FindResource(resources, IdKey(kTypeIcon), IdKey(ids[i]), 0x407);
        ASSERT_NE(icon, nullptr) << ids[i];
        EXPECT_EQ(icon->data, images[i].data);
        EXPECT_EQ(Get32(&group->data[6 + 14 * i + 8]), images[i].data.size());
    }
    EXPECT_EQ(FindResource(resources, IdKey(kTypeIcon), IdKey(2), 0x407)->data, Text("old icon two, shared"));
    EXPECT_EQ(std::count_if(resources.begin(), resources.end(),
                            [](const Resource& resource) { return resource.type == IdKey(kTypeIcon); }),
              3)
        << "the old group's own icon goes";
    EXPECT_NE(FindResource(resources, IdKey(kTypeGroupIcon), IdKey(7), 0x407), nullptr);
    EXPECT_EQ(FindResource(resources, IdKey(kTypeManifest), IdKey(1), 0x409)->data, kManifest);

    int versions = 0;
    for (const Resource& resource : resources) versions += resource.type == IdKey(kTypeVersion) ? 1 : 0;
    EXPECT_EQ(versions, 1);
    const Resource* version = FindResource(resources, IdKey(kTypeVersion), IdKey(1), 0x407);
    ASSERT_NE(version, nullptr);
    VersionNode root;
    ASSERT_TRUE(ParseVersionNode(version->data, root));
    using Texts = std::vector<std::pair<std::u16string, std::u16string>>;
    EXPECT_EQ(VersionTexts(root), (Texts{{u"ProductName", u"Fancy"},
                                         {u"CompanyName", u"Old Company"},
                                         {u"FileDescription", u"Fancy thing"},
                                         {u"FileVersion", u"1.2.3.4"},
                                         {u"ProductVersion", u"1.2.3.4"},
                                         {u"file version", u"1.2.3.4"},
                                         {u"product version", u"1.2.3.4"}}));
    EXPECT_EQ(Run(VersionCommand, {Path("app.exe"), "--version", "1.2.65536"}), kToolUsageError);
}

TEST_P(ResourceCommands, RefusedInputsLeaveNoFileBehind) {
    Bytes signedImage = MinimalImage(GetParam());
    Set32(&signedImage[0x44 + 20 + (GetParam() ? 112 : 96) + 8 * 4 + 4], 0x100);
    Bytes truncated = MinimalImage(GetParam());
    truncated.resize(0x100);
    Write("app.ini", Text("[Application]\r\n"));
    Write("app.ico", IconFile());
    Write("app.exe", signedImage);
    struct Case {
        const char* name;
        Bytes launcher;
        const char* message;
    };
    const Case cases[] = {
        {"text", Text("not a program at all, but longer than a DOS header would be............"), "is not a PE image (no \"MZ\" header)"},
        {"truncated", truncated, "has truncated headers"},
        {"signed", signedImage, "is signed, and a change would break its signature: brand first, sign last"},
    };
    for (const Case& refused : cases) {
        SCOPED_TRACE(refused.name);
        Write("launcher.exe", refused.launcher);
        EXPECT_EQ(Run(EmbedCommand, {Path("launcher.exe"), Path("app.ini"), "--upgrade-code", "X", "-o", Path("out.exe")}),
                  kToolInputRefused);
        EXPECT_EQ(err_.str(), "zorvtool: " + Path("launcher.exe") + " " + refused.message + "\n");
        EXPECT_EQ(Listing(), (std::vector<std::string>{"app.exe", "app.ico", "app.ini", "launcher.exe"}));
        EXPECT_EQ(Run(IconCommand, {Path("launcher.exe"), Path("app.ico")}), kToolInputRefused);
        EXPECT_EQ(Read("launcher.exe"), refused.launcher);
    }
    EXPECT_EQ(Run(IconCommand, {Path("app.exe"), Path("app.ini")}), kToolInputRefused) << "not an icon file";
    // A signed program may still be looked at.
    EXPECT_EQ(Run(ShowCommand, {Path("app.exe")}), kToolSucceeded) << err_.str();

    WriteLauncher("launcher.exe", {});
    EXPECT_EQ(Run(EmbedCommand, {Path("launcher.exe"), Path("app.ini"), "--upgrade-code", "X", "-o",
                                 Path("no-such-folder/out.exe")}),
              kToolWriteFailed);
    EXPECT_FALSE(fs::exists(Path("no-such-folder")));
    EXPECT_EQ(Run(EmbedCommand, {Path("launcher.exe"), Path("app.ini"), "-o", Path("out.exe")}), kToolUsageError);
}

TEST_P(ResourceCommands, SubsystemChangesThatFieldAloneAndShowTellsIt) {
    WriteLauncher("launcher.exe", {{IdKey(kTypeManifest), IdKey(1), 0x409, 0, kManifest}});
    Bytes gui = Read("launcher.exe");
    const std::size_t field = 0x44 + 20 + 68;
    const std::size_t checksum = 0x44 + 20 + 64;
    Set16(&gui[field], kSubsystemGui);
    Set32(&gui[checksum], PeChecksum(gui, checksum));
    Write("app.exe", gui);

    ASSERT_EQ(Run(SubsystemCommand, {Path("app.exe"), "console"}), kToolSucceeded) << err_.str();
    EXPECT_EQ(out_.str(), "zorvtool: " + Path("app.exe") + " is now a console program\n");
    Bytes console = Read("app.exe");
    EXPECT_EQ(Get16(&console[field]), kSubsystemConsole);
    EXPECT_EQ(Get32(&console[checksum]), PeChecksum(console, checksum));
    ASSERT_EQ(console.size(), gui.size());
    for (std::size_t i = 0; i < gui.size(); ++i) {
        if (i == field || (i >= checksum && i < checksum + 4)) continue;
        ASSERT_EQ(console[i], gui[i]) << "byte " << i;
    }
    ASSERT_EQ(Run(ShowCommand, {Path("app.exe")}), kToolSucceeded) << err_.str();
    EXPECT_EQ(out_.str().substr(0, out_.str().find('\n')), "Subsystem: console");

    EXPECT_EQ(Run(SubsystemCommand, {Path("app.exe"), "console"}), kToolSucceeded);
    EXPECT_EQ(out_.str(), "zorvtool: " + Path("app.exe") + " is a console program already\n");
    ASSERT_EQ(Run(SubsystemCommand, {Path("app.exe"), "gui"}), kToolSucceeded) << err_.str();
    EXPECT_EQ(Read("app.exe"), gui) << "back to the GUI kind, byte for byte";

    EXPECT_EQ(Run(SubsystemCommand, {Path("app.exe"), "Console"}), kToolUsageError);
    EXPECT_EQ(Run(SubsystemCommand, {Path("app.exe")}), kToolUsageError);
    // Nothing a launcher could be is switched: a library, a driver's subsystem, a signed image.
    Bytes library = gui;
    Set16(&library[0x44 + 18], 0x2022);
    Bytes native = gui;
    Set16(&native[field], 1);
    Bytes signedImage = gui;
    Set32(&signedImage[0x44 + 20 + (GetParam() ? 112 : 96) + 8 * 4 + 4], 0x100);
    for (const Bytes& refused : {library, native, signedImage}) {
        Write("app.exe", refused);
        EXPECT_EQ(Run(SubsystemCommand, {Path("app.exe"), "console"}), kToolInputRefused) << out_.str();
        EXPECT_EQ(Read("app.exe"), refused);
    }
    EXPECT_EQ(err_.str(), "zorvtool: " + Path("app.exe") + " is signed, and a change would break its signature: brand first, sign last\n");
}

// The offsets of MinimalImage's headers.
constexpr std::size_t kFileHeader = 0x44, kOptionalHeader = kFileHeader + 20;
std::size_t SectionTable(bool is64Bit) { return kOptionalHeader + (is64Bit ? 240 : 224); }
std::size_t ResourceDirectoryEntry(bool is64Bit) { return kOptionalHeader + (is64Bit ? 112 : 96) + 8 * 2; }
constexpr std::uint32_t kResourceRva = 0x2000;

// MinimalImage with a second, last section at kResourceRva holding these
// bytes as its resource directory; the file ends where they do.
Bytes ImageWithResourceSection(bool is64Bit, const Bytes& section) {
    Bytes image = MinimalImage(is64Bit);
    const std::size_t header = SectionTable(is64Bit) + 40;
    std::copy_n(".rsrc", 5, image.begin() + header);
    Set32(&image[header + 8], static_cast<std::uint32_t>(section.size()));
    Set32(&image[header + 12], kResourceRva);
    Set32(&image[header + 16], static_cast<std::uint32_t>(section.size()));
    Set32(&image[header + 20], static_cast<std::uint32_t>(image.size()));
    Set16(&image[kFileHeader + 2], 2);
    Set32(&image[ResourceDirectoryEntry(is64Bit)], kResourceRva);
    Set32(&image[ResourceDirectoryEntry(is64Bit) + 4], static_cast<std::uint32_t>(section.size()));
    image.insert(image.end(), section.begin(), section.end());
    return image;
}

// A directory header followed by its entries, all numbered.
void PutDirectory(Bytes& out, std::uint32_t entries, std::uint32_t target) {
    out.resize(out.size() + 14, 0);
    Put16(out, entries);
    for (std::uint32_t i = 0; i < entries; ++i) {
        Put32(out, i + 1);
        Put32(out, target);
    }
}

// Two levels of fanout whose every entry leads to the same directory below,
// and one language there: 10,000 resources from 2 KB when each directory is
// read anew.
Bytes FanOutDirectory() {
    constexpr std::uint32_t kFanOut = 100, kDirectorySize = 16 + 8 * kFanOut;
    Bytes section;
    PutDirectory(section, kFanOut, 0x80000000u | kDirectorySize);
    PutDirectory(section, kFanOut, 0x80000000u | 2 * kDirectorySize);
    PutDirectory(section, 1, 2 * kDirectorySize + 24);
    Put32(section, kResourceRva + 2 * kDirectorySize + 24 + 16);
    Put32(section, 1);
    section.resize(section.size() + 8 + 4, 'x');
    return section;
}

// RCDATA 1 to 3 with one data entry for all, or three whose data overlap:
// each resource was copied, and 265 of them sharing a megabyte made 265 MB.
Bytes SharedData(bool oneEntry) {
    constexpr std::uint32_t kNames = 3, kNameDirectory = 24, kLanguageDirectories = kNameDirectory + 16 + 8 * kNames,
                            kDataEntries = kLanguageDirectories + 24 * kNames, kData = kDataEntries + 16 * kNames;
    Bytes section;
    PutDirectory(section, 1, 0x80000000u | kNameDirectory);
    section.resize(section.size() + 14, 0);
    Put16(section, kNames);
    for (std::uint32_t i = 0; i < kNames; ++i) {
        Put32(section, i + 1);
        Put32(section, 0x80000000u | (kLanguageDirectories + 24 * i));
    }
    for (std::uint32_t i = 0; i < kNames; ++i) PutDirectory(section, 1, kDataEntries + 16 * (oneEntry ? 0 : i));
    for (std::uint32_t i = 0; i < kNames; ++i) {
        Put32(section, kResourceRva + kData + 4 * i);
        Put32(section, 16);
        Put32(section, 0);
        Put32(section, 0);
    }
    section.resize(section.size() + 16 + 4 * kNames, 'd');
    return section;
}

// One named entry whose name, empty, is the section's and file's last two bytes.
Bytes EmptyNameAtTheEnd() {
    Bytes section(12, 0);
    Put16(section, 1);
    Put16(section, 0);
    Put32(section, 0x80000000u | 24);
    Put32(section, 0x80000000u | 16);
    Put16(section, 0);
    return section;
}

TEST_P(ResourceCommands, CraftedImagesAreRefusedWithNothingWritten) {
    const bool is64Bit = GetParam();
    const std::size_t headerSize = kOptionalHeader + 60, fileAlignment = kOptionalHeader + 36;
    const std::size_t text = SectionTable(is64Bit);
    const auto with = [is64Bit](std::size_t at, std::uint32_t value, Bytes image = {}) {
        if (image.empty()) image = MinimalImage(is64Bit);
        Set32(&image[at], value);
        return image;
    };
    const Bytes resources = ImageWithResourceSection(is64Bit, EmptyNameAtTheEnd());
    struct Case {
        const char* name;
        Bytes image;
        std::string message;
    };
    const std::string kHeaderSize = "has a header size (SizeOfHeaders) that leaves out its section table or runs past its end";
    const std::string kOverlap = "has a section that overlaps its headers";
    const std::string kAlignment = "has a section or file alignment that is not a power of two up to 64 KiB";
    const Case cases[] = {
        // The aligned size wrapped to 0 and the header writes landed past the buffer.
        {"headers of 4 GiB", with(headerSize, 0xFFFFFFFF), kHeaderSize},
        {"headers past the end", with(headerSize, 0x600), kHeaderSize},
        // The rewrite started at offset 0: a result without "MZ".
        {"no headers", with(headerSize, 0), kHeaderSize},
        {"headers short of the section table", with(headerSize, static_cast<std::uint32_t>(text)), kHeaderSize},
        {"file alignment 3", with(fileAlignment, 3), kAlignment},
        {"file alignment 128 KiB", with(fileAlignment, 0x20000), kAlignment},
        {"section alignment 6", with(kOptionalHeader + 32, 6), kAlignment},
        // The in-place rebuild wrote the section over the headers.
        {"resource data at offset 0", with(text + 40 + 20, 0, resources), kOverlap},
        // A resource directory at address 0 reads as none at all.
        {"section at address 0", with(text + 12, 0), kOverlap},
        {"section ending past 4 GiB", with(text + 8, 0x2000, with(text + 12, 0xFFFFF000)), "has a section that ends past 4 GiB"},
        {"section past the end", with(text + 16, 0x100000), "is truncated: a section runs past its end"},
        // The units of an empty name started one past the end of the file.
        {"empty name at the end", resources,
         "has a resource directory zorvtool does not understand: a resource name is empty"},
        // Read anew each time it was reached, it took 2 GB and seconds.
        {"directory reached twice", ImageWithResourceSection(is64Bit, FanOutDirectory()),
         "has a resource directory zorvtool does not understand: one resource directory is reached twice"},
        {"data entry reached twice", ImageWithResourceSection(is64Bit, SharedData(true)),
         "has a resource directory zorvtool does not understand: one resource data entry is reached twice"},
        {"data overlapping", ImageWithResourceSection(is64Bit, SharedData(false)),
         "has a resource directory zorvtool does not understand: the data of two resources overlap"},
    };
    Write("app.ini", Text("[Application]\r\n"));
    for (const Case& crafted : cases) {
        SCOPED_TRACE(crafted.name);
        Write("launcher.exe", crafted.image);
        const std::string expected = "zorvtool: " + Path("launcher.exe") + " " + crafted.message + "\n";
        EXPECT_EQ(Run(EmbedCommand, {Path("launcher.exe"), Path("app.ini"), "--upgrade-code", "X", "-o", Path("out.exe")}),
                  kToolInputRefused);
        EXPECT_EQ(err_.str(), expected);
        EXPECT_EQ(Run(VersionCommand, {Path("launcher.exe"), "--version", "1.2"}), kToolInputRefused);
        EXPECT_EQ(Run(ShowCommand, {Path("launcher.exe")}), kToolInputRefused);
        EXPECT_EQ(err_.str(), expected);
        EXPECT_EQ(Read("launcher.exe"), crafted.image);
        EXPECT_EQ(Listing(), (std::vector<std::string>{"app.ini", "launcher.exe"}));
    }
}

TEST_P(ResourceCommands, WhatCannotBeWrittenFaithfullyIsRefused) {
    // Two images: icons 2 and 3 stay with group 7, and 65,534 free numbers
    // are one short of an icon file with 65,535 images.
    WriteLauncher("app.exe", {{IdKey(kTypeIcon), IdKey(1), 0x409, 0, Text("one")},
                              {IdKey(kTypeIcon), IdKey(2), 0x409, 0, Text("two")},
                              {IdKey(kTypeIcon), IdKey(3), 0x409, 0, Text("three")},
                              {IdKey(kTypeGroupIcon), IdKey(1), 0x409, 0, GroupOf({1})},
                              {IdKey(kTypeGroupIcon), IdKey(7), 0x409, 0, GroupOf({2, 3})}});
    const Bytes before = Read("app.exe");
    constexpr std::uint32_t kImages = 0xFFFF;
    Bytes icon;
    Put16(icon, 0);
    Put16(icon, 1);
    Put16(icon, kImages);
    for (std::uint32_t i = 0; i < kImages; ++i) {
        icon.insert(icon.end(), {16, 16, 0, 0, 1, 0, 32, 0});
        Put32(icon, 1);
        Put32(icon, 6 + 16 * kImages + i);
    }
    icon.resize(icon.size() + kImages, 0x55);
    Write("big.ico", icon);
    EXPECT_EQ(Run(IconCommand, {Path("app.exe"), Path("big.ico")}), kToolInputRefused);
    EXPECT_EQ(err_.str(), "zorvtool: " + Path("app.exe") + " has too few free icon numbers left for the 65535 images of " +
                              Path("big.ico") + "\n");

    // Images that all share the same bytes would multiply the file in memory.
    for (std::uint32_t i = 0; i < kImages; ++i) {
        Set32(&icon[6 + 16 * i + 8], kImages);
        Set32(&icon[6 + 16 * i + 12], 6 + 16 * kImages);
    }
    Write("shared.ico", icon);
    EXPECT_EQ(Run(IconCommand, {Path("app.exe"), Path("shared.ico")}), kToolInputRefused);
    EXPECT_EQ(err_.str(), "zorvtool: " + Path("shared.ico") + " is not an icon file\n");

    // 33,000 characters need 66,000 bytes; the 16-bit length kept 464 of them.
    EXPECT_EQ(Run(VersionCommand, {Path("app.exe"), "--description", std::string(33000, 'd')}), kToolInputRefused);
    EXPECT_EQ(err_.str(), "zorvtool: " + Path("app.exe") +
                              " cannot hold version information this long: a version resource holds at most 65535 bytes\n");
    EXPECT_EQ(Read("app.exe"), before);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"app.exe", "big.ico", "shared.ico"}));
    EXPECT_EQ(Run(VersionCommand, {Path("app.exe"), "--description", std::string(32000, 'd')}), kToolSucceeded);
}

TEST_P(ResourceCommands, TheTemporaryFileIsNewAndNeverALink) {
    WriteLauncher("launcher.exe", {});
    Write("app.ini", Text("[Application]\r\n"));
    ASSERT_EQ(Run(EmbedCommand, {Path("launcher.exe"), Path("app.ini"), "--upgrade-code", "X", "-o", Path("out.exe")}),
              kToolSucceeded)
        << err_.str();
    EXPECT_EQ(ResourcesOf("out.exe").size(), 2u);
    EXPECT_EQ(Shown("out.exe", "X"), "[Application]\r\n");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"app.ini", "launcher.exe", "out.exe"})) << "a temporary file was left";

    // Someone who guesses the names to come plants a link to their victim at
    // the first and a file of their own at the second: the third is used.
    Write("victim.txt", Text("someone else's file"));
    Write("planted.txt", Text("a file that was there"));
    const fs::path target = Path("written.bin");
    fs::create_symlink(Path("victim.txt"), TemporaryBeside(target, 1));
    fs::create_hard_link(Path("planted.txt"), TemporaryBeside(target, 2));
    std::vector<std::uint32_t> salts = {1, 2, 3};
    std::size_t next = 0;
    ASSERT_TRUE(WriteAtomically(target, Text("the new content"), [&] { return salts[next++ % salts.size()]; }));
    EXPECT_EQ(next, 3u);
    EXPECT_EQ(Read("victim.txt"), Text("someone else's file"));
    EXPECT_EQ(Read("planted.txt"), Text("a file that was there"));
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_EQ(Read("written.bin"), Text("the new content"));
    const std::string link = TemporaryBeside(target, 1).filename().string();
    const std::string file = TemporaryBeside(target, 2).filename().string();
    EXPECT_EQ(link, "written.bin.00000001.tmp");
    std::vector<std::string> expected = {"app.ini", "launcher.exe", "out.exe", "planted.txt", "victim.txt", "written.bin",
                                         link, file};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Listing(), expected);

    // Names taken whatever is tried: the tool gives up, and the target stays.
    EXPECT_FALSE(WriteAtomically(target, Text("never written"), [] { return 1u; }));
    EXPECT_EQ(Read("written.bin"), Text("the new content"));
    EXPECT_EQ(Listing(), expected);
}

// Opened the usual way, a pipe without a writer blocked every command for ever.
TEST_P(ResourceCommands, NoCommandWaitsOnANamedPipe) {
    WriteLauncher("launcher.exe", {});
    Write("app.ico", IconFile());
    Write("app.ini", Text("[Java Runtime Environment]\nMain Jar=pipe.exe\n"));
    ASSERT_EQ(::mkfifo(Path("pipe.exe").c_str(), 0600), 0);
    const std::string refused = " is not a regular file (a folder, a pipe or a device)";
    struct Case {
        int (*command)(const Arguments&, std::ostream&, std::ostream&);
        Arguments args;
        int code;
        std::string message;  // in the error output or, for check, the output
    };
    const Case cases[] = {
        {ShowCommand, {Path("pipe.exe")}, kToolInputRefused, Path("pipe.exe") + refused},
        {VersionCommand, {Path("pipe.exe"), "--version", "1.2"}, kToolInputRefused, Path("pipe.exe") + refused},
        {SubsystemCommand, {Path("pipe.exe"), "gui"}, kToolInputRefused, Path("pipe.exe") + refused},
        {IconCommand, {Path("pipe.exe"), Path("app.ico")}, kToolInputRefused, Path("pipe.exe") + refused},
        {IconCommand, {Path("launcher.exe"), Path("pipe.exe")}, kToolInputRefused, Path("pipe.exe") + refused},
        {EmbedCommand, {Path("pipe.exe"), Path("app.ini"), "--upgrade-code", "X", "-o", Path("out.exe")}, kToolInputRefused,
         Path("pipe.exe") + refused},
        {EmbedCommand, {Path("launcher.exe"), Path("pipe.exe"), "--upgrade-code", "X", "--res", Path("out.res")},
         kToolInputRefused, Path("pipe.exe") + refused},
        // The INI file's "Main Jar", and an executable whose header and
        // embedded settings are read.
        {CheckCommand, {Path("app.ini")}, 2, Path("app.ini") + ":2: error: \"Main Jar\" \"pipe.exe\"" + refused},
        {CheckCommand, {Path("pipe.exe")}, 2,
         Path("pipe.exe") + " (embedded): warning: the executable is no PE image; its embedded settings are not checked"},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(run.args[0] + " " + run.args.back());
        const BoundedRun bounded = RunBounded([&] { return Run(run.command, run.args); }, 5, 100 << 20);
        ASSERT_TRUE(bounded.finished) << "waited on the pipe";
        EXPECT_EQ(bounded.code, run.code);
        EXPECT_EQ(Run(run.command, run.args), run.code);
        const std::string& said = run.command == CheckCommand ? out_.str() : err_.str();
        EXPECT_NE(said.find(run.message + "\n"), std::string::npos) << said;
    }
    EXPECT_EQ(Listing(), (std::vector<std::string>{"app.ico", "app.ini", "launcher.exe", "pipe.exe"}));
}

// Devices were read to the 1 GiB cap and a larger file whole before either
// was refused: seconds, and twice the cap in memory.
TEST_P(ResourceCommands, DevicesAndFilesOverTheCapAreRefusedUnread) {
    WriteLauncher("launcher.exe", {});
    Write("huge.exe", {});
    fs::resize_file(Path("huge.exe"), (std::uint64_t{1} << 30) + 1);
    Write("huge.ini", {});
    fs::resize_file(Path("huge.ini"), (std::uint64_t{1} << 30) + 1);
    Write("app.ini", Text("[Java Runtime Environment]\nMain Jar=/dev/zero\n"));
    const std::string device = " is not a regular file (a folder, a pipe or a device)";
    const std::string huge = " is larger than 1 GiB";
    struct Case {
        int (*command)(const Arguments&, std::ostream&, std::ostream&);
        Arguments args;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {ShowCommand, {"/dev/zero"}, kToolInputRefused, "zorvtool: /dev/zero" + device},
        {ShowCommand, {"/dev/urandom"}, kToolInputRefused, "zorvtool: /dev/urandom" + device},
        {ShowCommand, {Path("huge.exe")}, kToolInputRefused, "zorvtool: " + Path("huge.exe") + huge},
        {EmbedCommand, {Path("launcher.exe"), "/dev/urandom", "--upgrade-code", "X", "-o", Path("out.exe")},
         kToolInputRefused, "zorvtool: /dev/urandom" + device},
        {EmbedCommand, {Path("launcher.exe"), Path("huge.ini"), "--upgrade-code", "X", "-o", Path("out.exe")},
         kToolInputRefused, "zorvtool: " + Path("huge.ini") + huge},
        {CheckCommand, {Path("app.ini")}, 2, Path("app.ini") + ":2: error: \"Main Jar\" \"/dev/zero\"" + device},
        {CheckCommand, {Path("huge.ini")}, 2, Path("huge.ini") + ": error: settings file" + huge},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(run.args[0] + " " + run.args.back());
        const BoundedRun bounded = RunBounded([&] { return Run(run.command, run.args); }, 5, 100 << 20);
        ASSERT_TRUE(bounded.finished) << "read more than 100 MB or took more than 5 s";
        EXPECT_EQ(bounded.code, run.code);
        EXPECT_EQ(Run(run.command, run.args), run.code);
        const std::string& said = run.command == CheckCommand ? out_.str() : err_.str();
        EXPECT_NE(said.find(run.message + "\n"), std::string::npos) << said;
    }
    EXPECT_EQ(Listing(), (std::vector<std::string>{"app.ini", "huge.exe", "huge.ini", "launcher.exe"}));
}

std::string SourceFile(const std::string& relative) {
    std::ifstream in(fs::path(ZORV_SOURCE_DIR) / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string ShownManifest(const std::string& level, const std::string& dpi, const std::string& longPaths) {
    return "Manifest:\n  Execution level: " + level + "\n  DPI awareness: " + dpi + "\n  Long path aware: " + longPaths + "\n";
}

// The launcher's manifest as it was with system DPI awareness.
const std::string kSystemAwareManifest = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="Zorv.Launcher" version="1.0.0.0" processorArchitecture="amd64"/>
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level="asInvoker" uiAccess="false"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>
      <longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true</longPathAware>
    </windowsSettings>
  </application>
</assembly>
)";

// The form of a JDK's java.exe: prefixed asm.v3 elements with the window
// settings' namespace as the default, dpiAwareness before dpiAware, a
// compatibility section whose <application> is another namespace's; and what
// XML allows besides: a byte-order mark, single quotes, CR LF, CDATA, a
// character reference, comments and a processing instruction.
const std::string kJdkStyleManifest =
    "\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8' standalone='yes'?>\r\n"
    "<!-- a packager's comment -->\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"\r\n"
    "          xmlns:asmv3=\"urn:schemas-microsoft-com:asm.v3\">\r\n"
    "  <compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">\r\n"
    "    <application>\r\n"
    "      <supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/><?keep this?>\r\n"
    "    </application>\r\n"
    "  </compatibility>\r\n"
    "  <asmv3:application>\r\n"
    "    <asmv3:windowsSettings xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">\r\n"
    "      <dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>\r\n"
    "      <dpiAware><![CDATA[true]]>&#x2F;PM</dpiAware>\r\n"
    "    </asmv3:windowsSettings>\r\n"
    "  </asmv3:application>\r\n"
    "  <ms_asmv2:trustInfo xmlns:ms_asmv2=\"urn:schemas-microsoft-com:asm.v2\"><ms_asmv2:security><ms_asmv2:requestedPrivileges>"
    "<ms_asmv2:requestedExecutionLevel uiAccess='false' level='asInvoker'/>"
    "</ms_asmv2:requestedPrivileges></ms_asmv2:security></ms_asmv2:trustInfo>\r\n"
    "</assembly>\r\n";

TEST_P(ResourceCommands, ManifestSwitchesChangeTheirElementsAndKeepEveryOtherByte) {
    const std::string kDpiAware = "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">";
    const std::string kDpiAwareness =
        "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>";
    const std::string kLongPaths = "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>";
    std::string perMonitorAdmin = Replaced(kSystemAwareManifest, "\"asInvoker\"", "\"requireAdministrator\"");
    perMonitorAdmin = Replaced(perMonitorAdmin, kDpiAware + "true<", kDpiAware + "true/pm<");
    perMonitorAdmin = Replaced(perMonitorAdmin, "      " + kLongPaths + "\n", "      " + kDpiAwareness + "\n");
    std::string jdkSystem = Replaced(kJdkStyleManifest, "='asInvoker'", "='highestAvailable'");
    jdkSystem = Replaced(jdkSystem, "\r\n      " + kDpiAwareness, "");
    jdkSystem = Replaced(jdkSystem, "<![CDATA[true]]>&#x2F;PM</dpiAware>\r\n",
                         "true</dpiAware>\r\n      " + kLongPaths + "\r\n");
    const std::string kBare = "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"/>";
    const std::string bareFilled = "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
                                   "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
                                   "    <security>\n"
                                   "      <requestedPrivileges>\n"
                                   "        <requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>\n"
                                   "      </requestedPrivileges>\n"
                                   "    </security>\n"
                                   "  </trustInfo>\n"
                                   "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
                                   "    <windowsSettings>\n"
                                   "      " + kDpiAware + "true/pm</dpiAware>\n"
                                   "      " + kDpiAwareness + "\n"
                                   "      " + kLongPaths + "\n"
                                   "    </windowsSettings>\n"
                                   "  </application>\n"
                                   "</assembly>";
    struct Case {
        const char* name;
        std::string before;
        std::string shownBefore;
        Arguments switches;
        std::string after;
        std::string shownAfter;
    };
    const Case cases[] = {
        {"system aware", kSystemAwareManifest, ShownManifest("asInvoker", "system", "yes"),
         {"--execution-level", "requireAdministrator", "--dpi-awareness", "permonitorv2", "--long-path-aware", "no"},
         perMonitorAdmin, ShownManifest("requireAdministrator", "permonitorv2", "no")},
        // Back again, byte for byte.
        {"per monitor", perMonitorAdmin, ShownManifest("requireAdministrator", "permonitorv2", "no"),
         {"--execution-level", "asInvoker", "--dpi-awareness", "system", "--long-path-aware", "yes"}, kSystemAwareManifest,
         ShownManifest("asInvoker", "system", "yes")},
        {"JDK style", kJdkStyleManifest, ShownManifest("asInvoker", "permonitorv2", "no"),
         {"--dpi-awareness", "system", "--long-path-aware", "yes", "--execution-level", "highestAvailable"}, jdkSystem,
         ShownManifest("highestAvailable", "system", "yes")},
        {"bare", kBare, ShownManifest("none requested (asInvoker)", "runtime", "no"),
         {"--execution-level", "requireAdministrator", "--dpi-awareness", "permonitorv2", "--long-path-aware", "yes"},
         bareFilled, ShownManifest("requireAdministrator", "permonitorv2", "yes")},
        {"unaware", perMonitorAdmin, ShownManifest("requireAdministrator", "permonitorv2", "no"),
         {"--dpi-awareness", "unaware"},
         Replaced(Replaced(perMonitorAdmin, "\n      " + kDpiAware + "true/pm</dpiAware>", ""), kDpiAwareness,
                  "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">unaware</dpiAwareness>"),
         ShownManifest("requireAdministrator", "unaware", "no")},
        // Neither element: the launcher chooses for the runtime at each start.
        {"runtime", perMonitorAdmin, ShownManifest("requireAdministrator", "permonitorv2", "no"),
         {"--dpi-awareness", "runtime"},
         Replaced(Replaced(perMonitorAdmin, "\n      " + kDpiAware + "true/pm</dpiAware>", ""), "\n      " + kDpiAwareness, ""),
         ShownManifest("requireAdministrator", "runtime", "no")},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(run.name);
        const std::vector<Resource> others = {{IdKey(kTypeRcData), IdKey(5), 0, 0, Text("other data")},
                                              {IdKey(kTypeVersion), IdKey(1), 0x409, 0, Text("version bytes")}};
        std::vector<Resource> resources = others;
        resources.push_back({IdKey(kTypeManifest), IdKey(1), 0x409, 0, Text(run.before)});
        WriteLauncher("app.exe", resources);
        ASSERT_EQ(Run(ManifestCommand, {Path("app.exe")}), kToolSucceeded) << err_.str();
        EXPECT_EQ(out_.str(), run.shownBefore);
        const Bytes unchanged = Read("app.exe");

        Arguments args = {Path("app.exe")};
        args.insert(args.end(), run.switches.begin(), run.switches.end());
        ASSERT_EQ(Run(ManifestCommand, args), kToolSucceeded) << err_.str();
        EXPECT_EQ(out_.str(), "zorvtool: " + Path("app.exe") + " has a new manifest\n" + run.shownAfter);
        resources = ResourcesOf("app.exe");
        ASSERT_NE(FindResource(resources, IdKey(kTypeManifest), IdKey(1), 0x409), nullptr);
        const Bytes& written = FindResource(resources, IdKey(kTypeManifest), IdKey(1), 0x409)->data;
        EXPECT_EQ(std::string(written.begin(), written.end()), run.after);
        resources.erase(std::remove_if(resources.begin(), resources.end(),
                                       [](const Resource& resource) { return resource.type == IdKey(kTypeManifest); }),
                        resources.end());
        EXPECT_TRUE(SameResources(resources, others));
        ASSERT_EQ(Run(ShowCommand, {Path("app.exe")}), kToolSucceeded) << err_.str();
        EXPECT_NE(out_.str().find(run.shownAfter), std::string::npos) << out_.str();

        // Asked again, or asked nothing, it writes nothing.
        const Bytes changed = Read("app.exe");
        EXPECT_NE(changed, unchanged);
        ASSERT_EQ(Run(ManifestCommand, args), kToolSucceeded) << err_.str();
        EXPECT_EQ(out_.str(), "zorvtool: " + Path("app.exe") + " has this manifest already\n" + run.shownAfter);
        EXPECT_EQ(Read("app.exe"), changed);
        EXPECT_EQ(Listing(), std::vector<std::string>{"app.exe"});
    }

    // The launcher's own manifest, whatever form it has now, takes each
    // switch and reads back as asked.
    WriteLauncher("launcher.exe", {{IdKey(kTypeManifest), IdKey(1), 0x409, 0, Text(SourceFile("src/resources/launcher.manifest"))}});
    for (const char* dpi : {"runtime", "unaware", "system", "permonitorv2"}) {
        for (const char* level : {"asInvoker", "highestAvailable", "requireAdministrator"}) {
            for (const char* longPaths : {"yes", "no"}) {
                SCOPED_TRACE(std::string(dpi) + " " + level + " " + longPaths);
                ASSERT_EQ(Run(ManifestCommand, {Path("launcher.exe"), "--dpi-awareness", dpi, "--execution-level", level,
                                                "--long-path-aware", longPaths}),
                          kToolSucceeded)
                    << err_.str();
                EXPECT_NE(out_.str().find(ShownManifest(level, dpi, longPaths)), std::string::npos) << out_.str();
            }
        }
    }
    EXPECT_EQ(Run(ManifestCommand, {Path("launcher.exe"), "--dpi-awareness", "permonitor"}), kToolUsageError);
    EXPECT_EQ(Run(ManifestCommand, {Path("launcher.exe"), "--long-path-aware", "true"}), kToolUsageError);
    EXPECT_EQ(Run(ManifestCommand, {Path("launcher.exe"), "--execution-level", "asinvoker"}), kToolUsageError);
    WriteLauncher("launcher.exe", {});
    EXPECT_EQ(Run(ManifestCommand, {Path("launcher.exe"), "--dpi-awareness", "system"}), kToolInputRefused);
    EXPECT_EQ(err_.str(), "zorvtool: " + Path("launcher.exe") + " has no manifest (no MANIFEST 1)\n");
}

TEST_P(ResourceCommands, ManifestsThatAreNotWellFormedAreRefusedWithNothingWritten) {
    const std::string kOpen = "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">";
    std::string deep = kOpen;
    for (int i = 0; i < 64; ++i) deep += "<a>";
    struct Case {
        const char* name;
        std::string manifest;
        std::string problem;
    };
    const std::string kNot = "has a manifest that is not well-formed XML: ";
    const Case cases[] = {
        {"unclosed", kOpen + "<trustInfo>", kNot + "the end of the text inside <trustInfo> (line 1, column 85)"},
        {"crossed", kOpen + "<a><b></a></b></assembly>", kNot + "the end tag </a> where </b> is due (line 1, column 80)"},
        {"unquoted", "<assembly a=1/>", kNot + "an attribute value without quotes (line 1, column 13)"},
        {"twice", kOpen + "\n<a x='1' x=\"2\"/></assembly>", kNot + "the attribute x twice (line 2, column 10)"},
        {"same attribute by two prefixes",
         kOpen + "<a xmlns:p='urn:u' xmlns:q='urn:u' p:x='1' q:x='2'/></assembly>",
         kNot + "the attribute q:x twice (line 1, column 117)"},
        {"entity", kOpen + "<a>&nbsp;</a></assembly>",
         kNot + "the entity &nbsp; (a manifest has &lt; &gt; &amp; &apos; and &quot; only) (line 1, column 77)"},
        {"bare ampersand", kOpen + "<a b='x & y'/></assembly>", kNot + "an '&' that starts no reference (write &amp;) (line 1, column 82)"},
        {"character reference to NUL", kOpen + "<a>&#0;</a></assembly>", kNot + "the character reference &#0; (line 1, column 77)"},
        {"document type", "<!DOCTYPE assembly [<!ENTITY e 'x'>]>" + kOpen + "</assembly>",
         kNot + "a document type declaration, which no manifest has (line 1, column 1)"},
        {"dashes in a comment", "<!-- a -- b -->" + kOpen + "</assembly>", kNot + "\"--\" inside a comment (line 1, column 8)"},
        {"unbound prefix", kOpen + "<asmv3:application/></assembly>",
         kNot + "the prefix asmv3, which no namespace declaration binds (line 1, column 74)"},
        {"less-than in a value", kOpen + "<a b='<'/></assembly>", kNot + "a '<' inside an attribute value (line 1, column 80)"},
        {"second root", kOpen + "</assembly><assembly/>", kNot + "something after the root element (line 1, column 85)"},
        {"late declaration", "\n<?xml version=\"1.0\"?>" + kOpen + "</assembly>",
         kNot + "an XML declaration that is not at the very start (line 2, column 1)"},
        {"65 deep", deep, kNot + "elements nested more than 64 deep (line 1, column 263)"},
        {"not UTF-8", kOpen + "<a>\xC3(</a></assembly>", kNot + "a byte that is no character in UTF-8, or a control character (line 1, column 77)"},
        {"control character", kOpen + "<a>\x01</a></assembly>",
         kNot + "a byte that is no character in UTF-8, or a control character (line 1, column 77)"},
        {"UTF-16", "\xFF\xFE<\0a\0/\0>\0", "has a manifest that is UTF-16: zorvtool reads UTF-8 manifests only"},
        {"Latin-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + kOpen + "</assembly>",
         "has a manifest that declares the encoding \"ISO-8859-1\": zorvtool reads UTF-8 manifests only"},
        {"over 256 KiB", kOpen + std::string(256 * 1024, ' ') + "</assembly>",
         "has a manifest that is larger than 256 KiB, more than any manifest holds"},
        {"another root", "<assembly/>",
         "has a manifest that has no <assembly> of the namespace urn:schemas-microsoft-com:asm.v1 at its root"},
    };
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.name);
        WriteLauncher("app.exe", {{IdKey(kTypeManifest), IdKey(1), 0x409, 0, Text(bad.manifest)}});
        const Bytes before = Read("app.exe");
        EXPECT_EQ(Run(ManifestCommand, {Path("app.exe"), "--dpi-awareness", "permonitorv2"}), kToolInputRefused);
        EXPECT_EQ(err_.str(), "zorvtool: " + Path("app.exe") + " " + bad.problem + "\n");
        EXPECT_EQ(Read("app.exe"), before);
        EXPECT_EQ(Listing(), std::vector<std::string>{"app.exe"});
        // Looking is harmless: show says so and goes on.
        ASSERT_EQ(Run(ShowCommand, {Path("app.exe")}), kToolSucceeded) << err_.str();
        const bool wellFormed = bad.problem.find("no <assembly>") != std::string::npos;
        EXPECT_EQ(out_.str().find("Manifest: not read, it " + bad.problem.substr(std::string("has a manifest that ").size())) !=
                      std::string::npos,
                  !wellFormed)
            << out_.str();
    }
}

// Each writing command run twice on the same inputs, in two folders.
TEST_P(ResourceCommands, EveryWritingCommandGivesTheSameBytesTwice) {
    const std::vector<std::string> outputs = {"app.exe", "app.res", "app.rc"};
    std::vector<std::vector<Bytes>> runs;
    for (const char* folder : {"first", "second"}) {
        fs::create_directories(Path(folder));
        const auto in = [&](const std::string& name) { return Path(std::string(folder) + "/" + name); };
        WriteLauncher(std::string(folder) + "/launcher.exe",
                      {{IdKey(kTypeManifest), IdKey(1), 0x409, 0, Text(kSystemAwareManifest)}});
        Bytes gui = Read(std::string(folder) + "/launcher.exe");
        Set16(&gui[kOptionalHeader + 68], kSubsystemGui);
        Set32(&gui[kOptionalHeader + 64], PeChecksum(gui, kOptionalHeader + 64));
        Write(std::string(folder) + "/launcher.exe", gui);
        Write(std::string(folder) + "/app.ini", Text("[Application]\r\nMain Class=com.example.App\r\n"));
        Write(std::string(folder) + "/app.ico", IconFile());
        std::vector<Bytes> steps;
        ASSERT_EQ(Run(EmbedCommand, {in("launcher.exe"), in("app.ini"), "--upgrade-code", "{UP-1}", "-o", in("app.exe"),
                                     "--res", in("app.res"), "--rc", in("app.rc")}),
                  kToolSucceeded)
            << err_.str();
        for (const std::string& output : outputs) steps.push_back(Read(std::string(folder) + "/" + output));
        ASSERT_EQ(Run(IconCommand, {in("app.exe"), in("app.ico")}), kToolSucceeded) << err_.str();
        steps.push_back(Read(std::string(folder) + "/app.exe"));
        ASSERT_EQ(Run(VersionCommand, {in("app.exe"), "--version", "1.2.3.4", "--product-name", "Fancy"}), kToolSucceeded);
        steps.push_back(Read(std::string(folder) + "/app.exe"));
        ASSERT_EQ(Run(ManifestCommand, {in("app.exe"), "--dpi-awareness", "permonitorv2"}), kToolSucceeded) << err_.str();
        steps.push_back(Read(std::string(folder) + "/app.exe"));
        ASSERT_EQ(Run(SubsystemCommand, {in("app.exe"), "console"}), kToolSucceeded) << err_.str();
        steps.push_back(Read(std::string(folder) + "/app.exe"));
        runs.push_back(steps);
    }
    const char* const kSteps[] = {"embed -o", "embed --res", "embed --rc", "icon", "version", "manifest", "subsystem"};
    ASSERT_EQ(runs[0].size(), std::size(kSteps));
    for (std::size_t i = 0; i < runs[0].size(); ++i) EXPECT_EQ(runs[0][i], runs[1][i]) << kSteps[i];
    EXPECT_EQ(Shown("first/app.exe", "{UP-1}"), "[Application]\r\nMain Class=com.example.App\r\n");
}

bool HaveSigningTools() {
    return std::system("command -v osslsigncode >/dev/null 2>&1 && command -v openssl >/dev/null 2>&1") == 0;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Brand first, sign last: the signature verifies, and zorvtool changes
// nothing it covers afterwards.
TEST_P(ResourceCommands, ABrandedLauncherSignsAndVerifiesAndIsNotRebrandedAfterwards) {
    if (!HaveSigningTools()) GTEST_SKIP() << "osslsigncode or openssl is not installed (tools/setup installs them)";
    WriteLauncher("launcher.exe", {{IdKey(kTypeManifest), IdKey(1), 0x409, 0, Text(kSystemAwareManifest)}});
    Write("app.ini", Text("[Product Information]\r\nUpgrade Code={UP-1}\r\n"));
    Write("app.ico", IconFile());
    ASSERT_EQ(Run(EmbedCommand, {Path("launcher.exe"), Path("app.ini"), "--upgrade-code", "{UP-1}", "-o", Path("app.exe")}),
              kToolSucceeded);
    ASSERT_EQ(Run(IconCommand, {Path("app.exe"), Path("app.ico")}), kToolSucceeded);
    ASSERT_EQ(Run(VersionCommand, {Path("app.exe"), "--version", "1.2.3.4", "--product-name", "Fancy"}), kToolSucceeded);
    ASSERT_EQ(Run(ManifestCommand, {Path("app.exe"), "--dpi-awareness", "permonitorv2"}), kToolSucceeded);
    const std::string sign = Quoted(fs::path(ZORV_SOURCE_DIR) / "tests/support/sign-test-launcher.sh") + " ";
    const std::string log = " >" + Quoted(Path("verify.log")) + " 2>&1";
    const int signedAndVerified =
        std::system((sign + Quoted(Path("app.exe")) + " " + Quoted(Path("signed.exe")) + " " + Quoted(Path("keys")) + log).c_str());
    const Bytes verifyLog = Read("verify.log");
    ASSERT_EQ(signedAndVerified, 0) << std::string(verifyLog.begin(), verifyLog.end());
    EXPECT_NE(std::string(verifyLog.begin(), verifyLog.end()).find("Signature verification: ok"), std::string::npos);
    const Bytes signedImage = Read("signed.exe");
    EXPECT_GT(signedImage.size(), Read("app.exe").size()) << "the signature follows the image";

    // The same verification fails for one changed byte of the resources.
    Bytes tampered = signedImage;
    tampered[Read("app.exe").size() - 1] ^= 0x01;
    Write("tampered.exe", tampered);
    EXPECT_NE(std::system(("osslsigncode verify -CAfile " + Quoted(Path("keys/test.pem")) + " -in " + Quoted(Path("tampered.exe")) +
                           " >/dev/null 2>&1").c_str()),
              0);

    const std::string refusal =
        "zorvtool: " + Path("signed.exe") + " is signed, and a change would break its signature: brand first, sign last\n";
    struct Rebranding {
        int (*command)(const Arguments&, std::ostream&, std::ostream&);
        Arguments args;
    };
    const Rebranding rebrandings[] = {
        {EmbedCommand, {Path("signed.exe"), Path("app.ini"), "--upgrade-code", "{UP-1}", "-o", Path("signed.exe")}},
        {IconCommand, {Path("signed.exe"), Path("app.ico")}},
        {VersionCommand, {Path("signed.exe"), "--version", "2"}},
        {ManifestCommand, {Path("signed.exe"), "--execution-level", "requireAdministrator"}},
        {SubsystemCommand, {Path("signed.exe"), "console"}},
    };
    for (const Rebranding& rebranding : rebrandings) {
        SCOPED_TRACE(rebranding.args[1]);
        EXPECT_EQ(Run(rebranding.command, rebranding.args), kToolInputRefused);
        EXPECT_EQ(err_.str(), refusal);
        EXPECT_EQ(Read("signed.exe"), signedImage);
    }
    // Reading is harmless.
    ASSERT_EQ(Run(ManifestCommand, {Path("signed.exe")}), kToolSucceeded) << err_.str();
    EXPECT_EQ(out_.str(), ShownManifest("asInvoker", "permonitorv2", "yes"));
    EXPECT_EQ(Shown("signed.exe", "{UP-1}"), "[Product Information]\r\nUpgrade Code={UP-1}\r\n");
}

TEST(VersionResource, NestingDeeperThanAnyRealOneIsNotRead) {
    // Nodes of 8 bytes (the header and an empty key), each the only child of
    // the one before: 8,190 levels took 2 MiB of stack.
    const auto nested = [](int levels) {
        Bytes nodes;
        for (int level = 0; level < levels; ++level) {
            Bytes node(8, 0);
            node.insert(node.end(), nodes.begin(), nodes.end());
            Set16(&node[0], static_cast<std::uint32_t>(node.size()));
            nodes = std::move(node);
        }
        return nodes;
    };
    VersionNode root;
    EXPECT_FALSE(ParseVersionNode(nested(8190), root));
    EXPECT_TRUE(ParseVersionNode(nested(8), root));
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, ResourceCommands, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Pe32Plus" : "Pe32"; });

TEST(PeChecksum, FoldsCarriesSkipsItsOwnFieldAndAddsTheLength) {
    // 0xFFFF + 0x0003 carries into 0x0003; the field at 2 counts as zero; the
    // odd last byte is a word of its own.
    const Bytes bytes = {0xFF, 0xFF, 0x12, 0x34, 0x56, 0x78, 0x03, 0x00, 0x01};
    EXPECT_EQ(PeChecksum(bytes, 2), 0x0003u + 0x0001u + 9u);
    // 0xFFFF + 0xFFFF + 0x0001 carries twice: the sum stays within 16 bits.
    EXPECT_EQ(PeChecksum({0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0x01, 0x00}, 2), 0x0001u + 10u);
}

}  // namespace
}  // namespace zorv::tool
