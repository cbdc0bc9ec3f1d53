#include <gtest/gtest.h>

#include "fake_platform.h"
#include "launcher/ini_document.h"
#include "launcher/settings_store.h"

namespace zorv {
namespace {

using testing::FakePlatform;

const std::wstring* Lookup(const IniDocument& document, const std::wstring& section, const std::wstring& key) {
    const IniDocument::Section* found = document.FindSection(section);
    if (found == nullptr) return nullptr;
    const IniEntry* entry = found->FindEntry(key);
    return entry == nullptr ? nullptr : &entry->value;
}

TEST(IniDocument, ParsesSectionsAndTrimsEntries) {
    IniDocument document;
    document.Parse(L"[A]\r\n k = v  \r\n");
    ASSERT_EQ(document.Sections().size(), 1u);
    ASSERT_NE(Lookup(document, L"A", L"k"), nullptr);
    EXPECT_EQ(*Lookup(document, L"A", L"k"), L"v");
}

TEST(IniDocument, OnlyCrLfEndsALine) {
    IniDocument lf;
    lf.Parse(L"[A]\nk=v\n");
    EXPECT_TRUE(lf.Sections().empty());
    IniDocument cr;
    cr.Parse(L"[A]\rk=v");
    EXPECT_TRUE(cr.Sections().empty());
}

TEST(IniDocument, IgnoresByteOrderMarkAndEntriesBeforeAnySection) {
    IniDocument document;
    document.Parse(L"\xFEFF" L"early=1\r\n[A]\r\nk=v");
    ASSERT_EQ(document.Sections().size(), 1u);
    EXPECT_EQ(document.Sections()[0].Name(), L"A");
    EXPECT_EQ(document.Sections()[0].Entries().size(), 1u);
}

TEST(IniDocument, SectionNamesKeepInnerSpacesAndRepeatedSectionsStaySeparate) {
    IniDocument document;
    document.Parse(L"[ A ]\r\nx=1\r\n[B]\r\nk=1\r\nk=2\r\n[B]\r\nonly=2\r\n");
    EXPECT_EQ(document.FindSection(L"A"), nullptr);
    ASSERT_NE(document.FindSection(L" A "), nullptr);
    EXPECT_EQ(*Lookup(document, L"B", L"k"), L"1");
    EXPECT_EQ(Lookup(document, L"B", L"only"), nullptr);
    EXPECT_EQ(document.Sections().size(), 3u);
}

TEST(IniDocument, UnclosedHeaderIsAnEntryOnlyWithEquals) {
    IniDocument document;
    document.Parse(L"[A]\r\n[broken\r\n[key=value\r\n;comment=kept\r\n[]\r\nempty=1");
    const IniDocument::Section& a = document.Sections()[0];
    ASSERT_EQ(a.Entries().size(), 2u);
    EXPECT_EQ(a.Entries()[0].key, L"[key");
    EXPECT_EQ(a.Entries()[1].key, L";comment");
    ASSERT_NE(document.FindSection(L""), nullptr);
    EXPECT_EQ(*Lookup(document, L"", L"empty"), L"1");
}

TEST(IniDocument, ParseEmptiesTheDocumentAndSurvivesOddText) {
    IniDocument document;
    document.Parse(L"[A]\r\nk=v");
    document.Parse(L"");
    EXPECT_TRUE(document.Sections().empty());
    std::wstring garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<wchar_t>((i * 7919) % 0xD7FF);
    document.Parse(garbage);
    document.Parse(L"\r\n\r\n]\r\n[\r\n=\r\n");
    EXPECT_TRUE(document.Sections().empty());
}

// The lines zorvtool's findings name: every CR, LF or CR LF ends one, blank
// lines and comments count too.
TEST(IniDocument, SettingsFileEntriesCarryTheirLines) {
    IniDocument document(IniSyntax::settingsFile);
    document.Parse(L"early\n[a]\r\nk=1\rbare\n; note\r\n\r\n[b]\n  x = \"2\" ");
    ASSERT_EQ(document.EntriesBeforeSections().size(), 1u);
    EXPECT_EQ(document.EntriesBeforeSections()[0].line, 1);
    ASSERT_EQ(document.Sections().size(), 2u);
    const IniDocument::Section& a = document.Sections()[0];
    EXPECT_EQ(a.Line(), 2);
    ASSERT_EQ(a.Entries().size(), 2u);
    EXPECT_EQ(a.Entries()[0].line, 3);
    EXPECT_EQ(a.Entries()[1].line, 4);
    EXPECT_FALSE(a.Entries()[1].hasEquals);
    EXPECT_EQ(document.Sections()[1].Line(), 7);
    const IniEntry* x = document.Find(L"B", L"X");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->line, 8);
    EXPECT_EQ(x->value, L"2");
}

TEST(IniDocumentStore, SetValueAppendsAndTheFirstEntryKeepsWinning) {
    IniDocumentStore store{IniDocument()};
    store.SetValue(L"S", L"k", L"1");
    store.SetValue(L"S", L"k", L"2");
    std::wstring value = L"unchanged";
    store.GetValue(L"S", L"missing", value);
    EXPECT_EQ(value, L"unchanged");
    store.GetValue(L"S", L"k", value);
    EXPECT_EQ(value, L"1");
    unsigned char probe[4] = {9, 9, 9, 9};
    EXPECT_EQ(store.Probe(probe), 1);
    EXPECT_EQ(probe[0], 0);
}

// The profile functions open the file for every key: a store reads its file
// once for all its lookups, and again only after it wrote.
TEST(IniFileStore, ReadsItsFileOnceForAllItsLookups) {
    FakePlatform platform;
    const std::wstring path = L"C:\\app\\app.ini";
    platform.SetProfile(path, L"Java Runtime Environment", L"Main Class", L"com.Example.App");
    platform.SetProfile(path, L"Display", L"Splash Scr\u00E9en", L"accented.png");
    IniFileStore store(platform, path);
    auto read = [&](const std::wstring& section, const std::wstring& key) {
        std::wstring value = L"<unset>";
        store.GetValue(section, key, value);
        return value;
    };
    EXPECT_EQ(read(L"JAVA runtime Environment", L"MAIN class"), L"com.Example.App");
    EXPECT_EQ(read(L"Java Runtime Environment", L"JRE Path"), L"");
    EXPECT_EQ(read(L"Product Information", L"Product Name"), L"");
    EXPECT_EQ(read(L"Java Runtime Environment+", L"Main Class"), L"");
    // Only A..Z fold: a name outside ASCII matches as written.
    EXPECT_EQ(read(L"Display", L"Splash Screen"), L"");
    EXPECT_EQ(read(L"display", L"Splash Scr\u00E9en"), L"accented.png");
    EXPECT_EQ(platform.settingsReads, std::vector<std::wstring>{path});

    // What the store writes, it reads back at once.
    ASSERT_EQ(store.SetValue(L"Product Information", L"Product Name", L"Viewer"), 1);
    EXPECT_EQ(read(L"product information", L"product name"), L"Viewer");
    ASSERT_EQ(store.Delete(), 1);
    EXPECT_EQ(read(L"Java Runtime Environment", L"Main Class"), L"");
    EXPECT_EQ(platform.settingsReads.size(), 3u);
}

class LayeredLookup : public ::testing::Test {
protected:
    FakePlatform platform;
    const std::wstring path = L"C:\\app\\app.ini";

    std::wstring Read(const std::wstring& embeddedText, const std::wstring& section, const std::wstring& key) {
        IniDocument embedded;
        embedded.Parse(embeddedText);
        LayeredSettingsStore store(platform, path, embedded);
        return store.Get(section, key);
    }
};

TEST_F(LayeredLookup, FileValueReplacesEmbeddedValue) {
    platform.SetProfile(path, L"S", L"K", L"file");
    EXPECT_EQ(Read(L"[S]\r\nK=embedded", L"S", L"K"), L"file");
    EXPECT_EQ(Read(L"[S]\r\nK=embedded", L"S", L"Other"), L"");
}

TEST_F(LayeredLookup, PlusSectionAppendsWithOneSpace) {
    platform.SetProfile(path, L"S+", L"K", L"-Dextra=1");
    EXPECT_EQ(Read(L"", L"S", L"K"), L" -Dextra=1");
    EXPECT_EQ(Read(L"[S]\r\nK=-Xmx1g", L"S", L"K"), L"-Xmx1g -Dextra=1");
    platform.SetProfile(path, L"S+", L"K", L"\" -Dspaced\"");
    EXPECT_EQ(Read(L"[S]\r\nK=-Xmx1g", L"S", L"K"), L"-Xmx1g -Dspaced");
}

TEST_F(LayeredLookup, EmbeddedValueShowsWhenTheFileIsSilent) {
    EXPECT_EQ(Read(L"[S]\r\nK=embedded", L"S", L"K"), L"embedded");
    // The embedded document matches names exactly; the file does not.
    EXPECT_EQ(Read(L"[S]\r\nK=embedded", L"s", L"K"), L"");
}

}  // namespace
}  // namespace zorv
