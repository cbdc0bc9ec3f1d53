// The settings stores over real INI files, read and written by the system's
// profile-string functions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/ini_document.h"
#include "launcher/settings_store.h"
#include "launcher/text.h"
#include "launcher/unique_handle.h"
#include "launcher/win32_api.h"
#include "win32_test_support.h"

namespace zorv {
namespace {

using wintest::ReadFileBytes;
using wintest::RecordingPlatform;
using wintest::TempFolder;
using wintest::Utf8;
using wintest::WriteBytes;

// Text whose every position is recognisable, so a value cut or shifted
// anywhere fails the comparison.
std::string PatternText(std::size_t length) {
    std::string text;
    text.reserve(length);
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return text;
}

std::wstring Widened(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Utf16WithBom(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

class IniFiles : public ::testing::Test {
protected:
    RecordingPlatform platform;
    TempFolder folder;
    const std::wstring ini = folder / L"app.ini";

    std::wstring Read(const std::wstring& section, const std::wstring& key) {
        IniFileStore store(platform, ini);
        std::wstring value = L"<unset>";
        store.GetValue(section, key, value);
        return value;
    }
    std::vector<std::wstring> SectionNames() {
        IniFileStore store(platform, ini);
        std::vector<std::wstring> names{L"<stale>"};
        store.GetSectionNames(names);
        return names;
    }
};

TEST_F(IniFiles, SectionAndKeyNamesMatchWithoutRegardToCaseButValuesKeepTheirCase) {
    WriteBytes(ini,
               "[Java Runtime Environment]\r\nMain Class=com.Example.App\r\n"
               "[application]\r\nFAILURE CHECK=Yes\r\n");
    EXPECT_EQ(Read(L"JAVA RUNTIME ENVIRONMENT", L"main class"), L"com.Example.App");
    EXPECT_EQ(Read(L"java runtime environment", L"MAIN CLASS"), L"com.Example.App");
    EXPECT_EQ(Read(L"Application", L"Failure Check"), L"Yes");
    EXPECT_EQ(Read(L"Application", L"Main Class"), L"");  // a key of another section
    EXPECT_EQ(Read(L"Nowhere", L"Main Class"), L"");
}

TEST_F(IniFiles, SpacesAroundNamesAndValuesAreDroppedAndQuotesKeepThem) {
    // How a leading space can reach the "+" rule at all: only inside quotes.
    WriteBytes(ini, "[ s ]\r\n  Key  =  two words  \r\nQuoted=\" lead\"\r\nEmpty=\r\n");
    EXPECT_EQ(Read(L"s", L"key"), L"two words");
    EXPECT_EQ(Read(L"s", L"Quoted"), L" lead");
    EXPECT_EQ(Read(L"s", L"Empty"), L"");
}

TEST_F(IniFiles, ValuesLongerThanTheFirstBufferAreReadWhole) {
    // 255 and 256 sit on either side of the first buffer's edge.
    for (std::size_t length : {255u, 256u, 300u, 511u, 5000u, 1u << 20}) {
        std::string value = PatternText(length);
        WriteBytes(ini, "[Long]\r\nValue=" + value + "\r\nAfter=end\r\n");
        std::wstring read = Read(L"Long", L"Value");
        EXPECT_EQ(read.size(), length);
        EXPECT_TRUE(read == Widened(value)) << "value of " << length << " characters differs";
        EXPECT_EQ(Read(L"Long", L"After"), L"end") << length;
    }
}

TEST_F(IniFiles, LongValueWrittenAndReadBack) {
    std::wstring value = Widened(PatternText(5000));
    IniFileStore store(platform, ini);
    ASSERT_EQ(store.SetValue(L"Java Runtime Environment", L"Class Path", value), 1);
    std::wstring read;
    store.GetValue(L"java runtime environment", L"class path", read);
    EXPECT_TRUE(read == value);
}

TEST_F(IniFiles, SectionNamesGrowPastTheFirstBuffer) {
    // Hundreds of sections with long names, then ten thousand: the list is
    // many times the first buffer and must come back complete and in order.
    for (std::size_t count : {300u, 10000u}) {
        std::string text;
        std::vector<std::wstring> expected;
        for (std::size_t i = 0; i < count; ++i) {
            std::string name = "Section " + std::to_string(i);
            if (count == 300) name += " " + PatternText(200 + i % 50);
            text += "[" + name + "]\r\nk=" + std::to_string(i) + "\r\n";
            expected.push_back(Widened(name));
        }
        WriteBytes(ini, text);
        std::vector<std::wstring> names = SectionNames();
        ASSERT_EQ(names.size(), count);
        EXPECT_TRUE(names == expected) << count << " sections";
        std::wstring last = expected.back();
        for (wchar_t& c : last) c = static_cast<wchar_t>(towupper(c));
        EXPECT_EQ(Read(last, L"K"), std::to_wstring(count - 1));
    }
}

TEST_F(IniFiles, KeyNamesGrowPastTheFirstBuffer) {
    // The store reads a value only when its key is listed: the list of a
    // section with many long keys must come back whole, its last key too.
    std::string text = "[Long Keys]\r\n";
    for (int i = 0; i < 200; ++i) text += "Key " + std::to_string(i) + " " + PatternText(40) + "=" + std::to_string(i) + "\r\n";
    WriteBytes(ini, text);
    EXPECT_EQ(Read(L"long keys", L"key 199 " + Widened(PatternText(40))), L"199");
    EXPECT_EQ(Read(L"Long Keys", L"Key 0 " + Widened(PatternText(40))), L"0");
}

TEST_F(IniFiles, SectionNamesOfAMissingOrEmptyFileAreNone) {
    EXPECT_TRUE(SectionNames().empty());
    WriteBytes(ini, "");
    EXPECT_TRUE(SectionNames().empty());
    EXPECT_EQ(Read(L"a", L"k"), L"");
    // Keys before the first section belong to a nameless one, which is not listed.
    WriteBytes(ini, "k=before\r\n[a]\r\nk=1\r\n");
    EXPECT_EQ(SectionNames(), (std::vector<std::wstring>{L"a"}));
}

TEST_F(IniFiles, RepeatedSectionInAnotherCaseIsListedTwiceAndTheFirstAnswers) {
    WriteBytes(ini, "[a]\r\nk=1\r\n[A]\r\nk=2\r\nx=3\r\n");
    EXPECT_EQ(SectionNames(), (std::vector<std::wstring>{L"a", L"A"}));
    EXPECT_EQ(Read(L"A", L"k"), L"1");
    // Observed under Wine: keys of the second copy are not found at all.
    EXPECT_EQ(Read(L"a", L"x"), L"");
}

TEST_F(IniFiles, ProbeReadsTheFirstFourBytesOfAFileNobodyHasOpen) {
    WriteBytes(ini, "[Ab]\r\n");
    IniFileStore store(platform, ini);
    unsigned char bytes[4] = {0, 0, 0, 0};
    EXPECT_EQ(store.Probe(bytes), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 4), "[Ab]");

    {
        // Even a holder that shares everything blocks a probe that shares nothing.
        ScopedFile holder(CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder.valid());
        EXPECT_EQ(store.Probe(bytes), ERROR_SHARING_VIOLATION);
    }
    {
        ScopedFile holder(CreateFileW(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder.valid());
        EXPECT_EQ(store.Probe(bytes), 32);
    }
    EXPECT_EQ(store.Probe(bytes), 0);

    EXPECT_EQ(IniFileStore(platform, folder / L"missing.ini").Probe(bytes), 2);
    EXPECT_EQ(IniFileStore(platform, folder / L"no folder\\app.ini").Probe(bytes), ERROR_PATH_NOT_FOUND);
}

TEST_F(IniFiles, ProbeOfAShortFileSucceedsWithTheBytesThereAre) {
    WriteBytes(ini, "[x");
    unsigned char bytes[4] = {9, 9, 9, 9};
    EXPECT_EQ(IniFileStore(platform, ini).Probe(bytes), 0);
    EXPECT_EQ(bytes[0], '[');
    EXPECT_EQ(bytes[1], 'x');
}

TEST_F(IniFiles, DeleteRemovesTheFileOnceAndThenReportsFailure) {
    WriteBytes(ini, "[a]\r\nk=1\r\n");
    IniFileStore store(platform, ini);
    EXPECT_EQ(store.Delete(), 1);
    EXPECT_FALSE(wintest::FileExists(ini));
    EXPECT_EQ(store.Delete(), 0);
    EXPECT_EQ(Read(L"a", L"k"), L"");
}

TEST_F(IniFiles, SetValueCreatesTheFileTheSectionAndTheKey) {
    IniFileStore store(platform, ini);
    ASSERT_EQ(store.SetValue(L"Java Runtime Environment", L"JRE Path", L"C:\\rt"), 1);
    ASSERT_TRUE(wintest::FileExists(ini));
    EXPECT_EQ(Read(L"Java Runtime Environment", L"JRE Path"), L"C:\\rt");

    ASSERT_EQ(store.SetValue(L"java runtime environment", L"Other", L"2"), 1);
    ASSERT_EQ(store.SetValue(L"Second", L"k", L"3"), 1);
    ASSERT_EQ(store.SetValue(L"JAVA RUNTIME ENVIRONMENT", L"jre path", L"D:\\new"), 1);
    EXPECT_EQ(Read(L"Java Runtime Environment", L"JRE Path"), L"D:\\new");
    EXPECT_EQ(Read(L"Java Runtime Environment", L"Other"), L"2");
    EXPECT_EQ(Read(L"second", L"K"), L"3");
    // Writing into an existing section keeps one section, with the name as first written.
    EXPECT_EQ(SectionNames(), (std::vector<std::wstring>{L"Java Runtime Environment", L"Second"}));
    std::string text = ReadFileBytes(ini);
    EXPECT_NE(text.find("D:\\new"), std::string::npos);
    EXPECT_EQ(text.find("C:\\rt"), std::string::npos);
}

TEST_F(IniFiles, SetValueIntoAMissingFolderFails) {
    IniFileStore store(platform, folder / L"no folder\\app.ini");
    EXPECT_EQ(store.SetValue(L"a", L"k", L"v"), 0);
}

// Files no editor should produce: whatever the profile functions make of
// them, reading must not crash. The values are those Wine returns.
TEST_F(IniFiles, BadFilesReadWithoutHarm) {
    std::string garbage("\x00\x01\xFF\x8F[a]\x00k=1\x80\x90\x00\r\n[b]\r\nk=2\r\n", 24);
    WriteBytes(ini, garbage);
    EXPECT_EQ(SectionNames(), (std::vector<std::wstring>{L"b"}));  // the garbage line names no section
    EXPECT_EQ(Read(L"a", L"k"), L"");
    EXPECT_EQ(Read(L"b", L"k"), L"2");

    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131 + 17) % 256);
    WriteBytes(ini, binary);
    EXPECT_TRUE(SectionNames().empty());  // no line starts like a section
    EXPECT_EQ(Read(L"Java Runtime Environment", L"Main Class"), L"");

    WriteBytes(ini, "[a]\rk=1\r[b]\rk=2\r");
    EXPECT_EQ(SectionNames(), (std::vector<std::wstring>{L"a", L"b"}));  // CR alone ends a line
    EXPECT_EQ(Read(L"a", L"k"), L"1");
    EXPECT_EQ(Read(L"b", L"k"), L"2");

    WriteBytes(ini, "[a]\nk=1\n[b]\nk=2");
    EXPECT_EQ(SectionNames(), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(Read(L"b", L"k"), L"2");

    WriteBytes(ini, Utf16WithBom("[Product Information]\r\nProduct Name=Viewer\r\n") + std::string("\xE9\x00", 2));
    EXPECT_EQ(SectionNames(), (std::vector<std::wstring>{L"Product Information"}));
    EXPECT_EQ(Read(L"product information", L"product name"), L"Viewer");

    // Without the byte-order mark the same UTF-16 text is taken for 8-bit
    // text holding NULs, and nothing is found.
    WriteBytes(ini, Utf16WithBom("[a]\r\nk=1\r\n").substr(2));
    EXPECT_TRUE(SectionNames().empty());
    EXPECT_EQ(Read(L"a", L"k"), L"");

    WriteBytes(ini, "\xEF\xBB\xBF[a]\r\nk=caf\xC3\xA9\r\n");
    EXPECT_EQ(SectionNames(), (std::vector<std::wstring>{L"a"}));
    EXPECT_EQ(Read(L"a", L"k"), L"caf\u00E9");

    WriteBytes(ini, "");
    EXPECT_TRUE(SectionNames().empty());
    EXPECT_EQ(Read(L"a", L"k"), L"");
}

// The launcher reads its settings file with its own reader, the one zorvtool
// and the Linux launcher use: on awkward files it must answer every question
// as the system's profile functions answer it, names, listings and values.
TEST_F(IniFiles, TheLaunchersReaderAnswersAsTheProfileFunctions) {
    const std::string utf16be = std::string("\xFE\xFF", 2) + std::string("\0[\0a\0]\0\r\0\n\0k\0=\0b\0e", 18);
    const std::vector<std::string> files = {
        "; comment\r\n[a]\r\n;k=commented\r\nk=1\r\nK=2\r\nQ1=\"double\"\r\nQ2='single'\r\nQ3=\"open\r\nQ4=\"x'\r\n"
        "Q5=\"\"\r\nQ6=\" \"\r\nbare\r\n=empty name\r\n  spaced key\t=\t spaced value \x1A\r\n",
        "k=before\n[a]x\nk=1\n[A]\nk=2\nmore=3\n[]\nk=nameless\n[ b ]  \nk=4",
        "[a]\rk=1\r\r\n\n[b]\r\nk=2\n\r[c]\nk=3\r",
        std::string("[a]\r\nk=1\0tail\r\nn\0ul=2\r\n[b\0c]\r\nk=3\r\n[d \0e]\r\nk \0x=4\r\n", 51),
        "\xEF\xBB\xBF[a]\r\nk=caf\xC3\xA9\r\n[b]\r\n[B]\r\nk=x\r\n",
        utf16be,
        "[a\r\n[a]]\r\nk=1\r\n[[b]\r\nk=2\r\n[c] ; note\r\nk=3\r\n",
    };
    const std::vector<std::wstring> sections = {L"a", L"A", L"b", L"B", L"c", L"d", L"d ", L"", L"a]", L"[b", L" b "};
    const std::vector<std::wstring> keys = {L"k", L"K", L"Q1", L"Q2", L"Q3", L"Q4", L"Q5", L"Q6", L"bare", L"",
                                            L"spaced key", L"more", L"n", L" k "};
    std::wstring buffer(1 << 16, L'\0');
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        WriteBytes(ini, file);
        std::vector<std::wstring> profileSections;
        DWORD length = GetPrivateProfileSectionNamesW(&buffer[0], static_cast<DWORD>(buffer.size()), ini.c_str());
        for (std::size_t at = 0; at < length; at += profileSections.back().size() + 1)
            profileSections.push_back(buffer.c_str() + at);
        EXPECT_EQ(SectionNames(), profileSections);
        for (const std::wstring& section : sections) {
            for (const std::wstring& key : keys) {
                length = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", &buffer[0],
                                                  static_cast<DWORD>(buffer.size()), ini.c_str());
                EXPECT_EQ(Read(section, key), buffer.substr(0, length))
                    << "[" << Utf8(section) << "] " << Utf8(key);
            }
            length = GetPrivateProfileStringW(section.c_str(), nullptr, L"", &buffer[0],
                                              static_cast<DWORD>(buffer.size()), ini.c_str());
            std::vector<std::wstring> profileKeys;
            for (std::size_t at = 0; at < length; at += profileKeys.back().size() + 1)
                profileKeys.push_back(buffer.c_str() + at);
            // The launcher lists a name once whatever its letter case, the
            // profile functions each line of it.
            std::vector<std::wstring> onceEach;
            for (const std::wstring& key : profileKeys) {
                bool seen = false;
                for (const std::wstring& earlier : onceEach) seen = seen || SameIgnoringAsciiCase(earlier, key);
                if (!seen) onceEach.push_back(key);
            }
            LayeredSettingsStore store(platform, ini, IniDocument());
            std::vector<std::wstring> listed;
            for (const auto& entry : store.NamedEntries(section)) listed.push_back(entry.first);
            EXPECT_EQ(listed, onceEach) << "[" << Utf8(section) << "]";
        }
    }
}

class LayeredFile : public IniFiles {
protected:
    IniDocument embedded;

    void SetUp() override {
        IniDocument::Section& runtime = embedded.AddSection(L"Java Runtime Environment");
        runtime.Add(L"Class Path", L"app.jar");
        runtime.Add(L"VM Parameters", L"-Xmx64m");
        runtime.Add(L"Main Class", L"embedded.Main");
    }
    std::wstring Layered(const std::wstring& section, const std::wstring& key) {
        LayeredSettingsStore store(platform, ini, embedded);
        return store.Get(section, key);
    }
};

TEST_F(LayeredFile, FileValueReplacesTheEmbeddedOneAndAPlusSectionAddsToIt) {
    WriteBytes(ini,
               "[Java Runtime Environment]\r\nMain Class=file.Main\r\nClass Path=\r\n"
               "[Java Runtime Environment+]\r\nClass Path=lib\\extra.jar\r\nVM Parameters=\" -Dx=1\"\r\n"
               "Main Class=ignored.Main\r\nOnly Here=added\r\n");
    // A file value wins, and then the "+" section is not looked at.
    EXPECT_EQ(Layered(L"Java Runtime Environment", L"Main Class"), L"file.Main");
    // An empty file value counts as none: the embedded value, one space, the addition.
    EXPECT_EQ(Layered(L"Java Runtime Environment", L"Class Path"), L"app.jar lib\\extra.jar");
    // An addition that starts with a space brings its own.
    EXPECT_EQ(Layered(L"Java Runtime Environment", L"VM Parameters"), L"-Xmx64m -Dx=1");
    // With nothing underneath, the separating space still comes first.
    EXPECT_EQ(Layered(L"Java Runtime Environment", L"Only Here"), L" added");
    EXPECT_EQ(Layered(L"Java Runtime Environment", L"Absent"), L"");
}

TEST_F(LayeredFile, FileNamesMatchWithoutCaseButEmbeddedNamesMatchExactly) {
    WriteBytes(ini, "[JAVA RUNTIME ENVIRONMENT+]\r\nclass path=more.jar\r\n");
    EXPECT_EQ(Layered(L"Java Runtime Environment", L"Class Path"), L"app.jar more.jar");
    EXPECT_EQ(Layered(L"java runtime environment", L"class path"), L" more.jar");
}

TEST_F(LayeredFile, WithoutAFileTheEmbeddedDocumentAnswers) {
    EXPECT_EQ(Layered(L"Java Runtime Environment", L"Main Class"), L"embedded.Main");
    LayeredSettingsStore store(platform, ini, embedded);
    std::vector<std::wstring> names{L"<stale>"};
    store.GetSectionNames(names);
    EXPECT_TRUE(names.empty());  // the listing is the file's alone
    unsigned char bytes[4];
    EXPECT_EQ(store.Probe(bytes), 2);
    EXPECT_EQ(store.SetValue(L"Java Runtime Environment", L"Main Class", L"written.Main"), 1);
    EXPECT_EQ(Layered(L"Java Runtime Environment", L"Main Class"), L"written.Main");
    EXPECT_EQ(store.Delete(), 1);
    EXPECT_EQ(Layered(L"Java Runtime Environment", L"Main Class"), L"embedded.Main");
}

}  // namespace
}  // namespace zorv
