#include "Mount/lang/language_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Reported {
    LanguageError error;
    std::string key;
};
std::vector<Reported> g_reported;

void Record(LanguageError error, const char *key)
{
    g_reported.push_back({error, key});
}

std::string File(const std::string &entries)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<QDSK>\n<localization>\n" + entries +
           "</localization>\n</QDSK>\n";
}

std::string Entry(const char *element, const char *lang, const std::string &key,
                  const std::string &text)
{
    return std::string("<") + element + " lang=\"" + lang + "\" key=\"" + key + "\">" + text +
           "</" + element + ">\n";
}

std::string En(const std::string &key, const std::string &text)
{
    return Entry("string", "en", key, text);
}

// Loads from a heap copy of exactly the text's size, so that reading past
// the end is a real overrun.
int Load(const std::string &xml, const std::string &header = "")
{
    std::vector<char> x(xml.begin(), xml.end()), h(header.begin(), header.end());
    return LoadLanguageText(x.data(), x.size(), header.empty() ? nullptr : h.data(), h.size(),
                            Record);
}

std::u16string Str(const char *key)
{
    return GetLanguageString(key);
}

std::u16string Ctl(int id)
{
    const char16_t *t = GetLanguageControlText(id);
    return t ? t : u"<none>";
}

class LanguageText : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetPreferredLanguage(nullptr);
        ClearLanguage();
        g_reported.clear();
    }
    void TearDown() override { SetPreferredLanguage(nullptr); }
};

}  // namespace

TEST_F(LanguageText, MissingKeyGivesFramedKeyInOneSharedBuffer)
{
    ASSERT_EQ(Load(File(En("A", "a"))), 1);
    const char16_t *first = GetLanguageString("FOO");
    EXPECT_EQ(std::u16string(first), u"[?]FOO[?]");
    const char16_t *second = GetLanguageString("BAR_2");
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::u16string(first), u"[?]BAR_2[?]");
    EXPECT_EQ(FindLanguageString("FOO"), nullptr);
    EXPECT_EQ(Str("a"), u"[?]a[?]");  // keys compare with case
    EXPECT_EQ(Str(std::string(5000, 'K').c_str()).size(), 1023u);
}

TEST_F(LanguageText, EscapesAreDecoded)
{
    ASSERT_EQ(Load(File(En("NL", "a\\nb") + En("ALL", "\\\\ \\r \\t.") +
                        En("ZERO", "ab\\0cd") + En("AMP", "OK(&amp;O) &lt;x&gt;"))),
              1);
    EXPECT_EQ(Str("NL"), u"a\r\nb");
    EXPECT_EQ(Str("ALL"), u"\\ \r \t.");
    EXPECT_EQ(Str("ZERO"), u"ab");
    EXPECT_EQ(Str("AMP"), u"OK(&O) <x>");
}

TEST_F(LanguageText, UnknownEscapeStopsLoadingAndKeepsEarlierEntries)
{
    EXPECT_EQ(Load(File(En("BEFORE", "ok") + En("BAD", "a\\qb") + En("AFTER", "x"))), 0);
    EXPECT_EQ(Str("BEFORE"), u"ok");
    EXPECT_EQ(FindLanguageString("BAD"), nullptr);
    EXPECT_EQ(FindLanguageString("AFTER"), nullptr);
    ASSERT_EQ(g_reported.size(), 1u);
    EXPECT_EQ(g_reported[0].error, LANGUAGE_ERROR_ESCAPE);
    EXPECT_EQ(g_reported[0].key, "BAD");
    EXPECT_STREQ(LanguageErrorCaption(LANGUAGE_ERROR_ESCAPE),
                 "QDSK: Unknown '\\' escape sequence in string");

    g_reported.clear();
    EXPECT_EQ(Load(File(En("END", "trailing\\"))), 0);
    ASSERT_EQ(g_reported.size(), 1u);
    EXPECT_EQ(g_reported[0].key, "END");
}

TEST_F(LanguageText, InvalidUtf8StopsLoading)
{
    EXPECT_EQ(Load(File(En("GOOD", "\xE5\xAE\x8B") + En("BROKEN", "a\xC0\xAFz") + En("LATER", "x"))),
              0);
    EXPECT_EQ(Str("GOOD"), u"宋");
    EXPECT_EQ(FindLanguageString("LATER"), nullptr);
    ASSERT_EQ(g_reported.size(), 1u);
    EXPECT_EQ(g_reported[0].error, LANGUAGE_ERROR_UTF8);
    EXPECT_EQ(g_reported[0].key, "BROKEN");
    EXPECT_STREQ(LanguageErrorCaption(LANGUAGE_ERROR_UTF8), "QDSK: Error while decoding UTF-8 string");
}

TEST_F(LanguageText, OtherLanguagesAreIgnoredEntirely)
{
    ASSERT_EQ(Load(File(Entry("string", "zh-cn", "ONLY_ZH", "中") +
                        Entry("string", "EN", "UPPER", "x") + En("BOTH", "en") +
                        Entry("string", "zh-cn", "BOTH", "中文"))),
              1);
    EXPECT_EQ(Str("ONLY_ZH"), u"[?]ONLY_ZH[?]");
    EXPECT_EQ(FindLanguageString("UPPER"), nullptr);
    EXPECT_EQ(Str("BOTH"), u"en");

    SetPreferredLanguage("zh-cn");
    ASSERT_EQ(Load(File(En("BOTH", "en") + Entry("string", "zh-cn", "BOTH", "中文"))), 1);
    EXPECT_EQ(Str("BOTH"), u"中文");
}

TEST_F(LanguageText, PreferredLanguageKeepsFiveCharacters)
{
    EXPECT_STREQ(GetActiveLanguage(), "en");
    SetPreferredLanguage("zh-cn-extra");
    EXPECT_STREQ(GetActiveLanguage(), "zh-cn");
    SetPreferredLanguage("");
    EXPECT_STREQ(GetActiveLanguage(), "en");
}

TEST_F(LanguageText, LaterDuplicateKeyWinsInPlace)
{
    ASSERT_EQ(Load(File(Entry("control", "en", "IDT_PASSWORD", "Password:") + En("X", "x") +
                        Entry("control", "en", "IDT_PASSWORD", "Password(&amp;P):"))),
              1);
    EXPECT_EQ(Str("IDT_PASSWORD"), u"Password(&P):");
    EXPECT_EQ(LanguageEntryCount(), 2 + 4);  // two keys, then the ids 1, 2, 8, 9
}

TEST_F(LanguageText, ControlsAreReadBeforeStrings)
{
    // A string entry with the same key as a control replaces it.
    ASSERT_EQ(Load(File(En("K", "from string") + Entry("control", "en", "K", "from control"))), 1);
    EXPECT_EQ(Str("K"), u"from string");
}

TEST_F(LanguageText, EntriesWithoutKeyOrMalformedAttributesAreSkipped)
{
    ASSERT_EQ(Load(File("<string lang=\"en\">no key</string>\n"
                        "<string lang=\"en\"  key=\"TWO_SPACES_BEFORE_KEY\">ok</string>\n"
                        "<string lang=\"en\" key  =\"BAD_SPACING\">x</string>\n"
                        "<string key=\"REORDERED\" lang=\"en\">r</string>\n")),
              1);
    EXPECT_EQ(Str("TWO_SPACES_BEFORE_KEY"), u"ok");
    EXPECT_EQ(FindLanguageString("BAD_SPACING"), nullptr);
    EXPECT_EQ(Str("REORDERED"), u"r");
    EXPECT_EQ(LanguageEntryCount(), 2 + 4);
}

TEST_F(LanguageText, ButtonIdsTakeTheButtonTexts)
{
    SetPreferredLanguage("zh-cn");
    ASSERT_EQ(Load(File(Entry("control", "zh-cn", "IDOK", "确定(&amp;O)") +
                        Entry("control", "zh-cn", "IDCANCEL", "取消(&amp;C)"))),
              1);
    EXPECT_EQ(Ctl(1), u"确定(&O)");
    EXPECT_EQ(Ctl(2), u"取消(&C)");
    // No texts for Close and Help: both ids share the placeholder buffer.
    const char16_t *missing = GetLanguageString("ANYTHING");
    EXPECT_EQ(GetLanguageControlText(8), missing);
    EXPECT_EQ(GetLanguageControlText(9), missing);
    EXPECT_EQ(Ctl(0), u"<none>");
    EXPECT_EQ(Ctl(3), u"<none>");
}

TEST_F(LanguageText, HeaderMapsIdsOfNamesWithTexts)
{
    std::string xml = File(Entry("control", "en", "IDT_PASSWORD", "Password(&amp;P):") +
                           Entry("control", "en", "IDD_PASSWORD_DLG", "Login") +
                           Entry("control", "en", "IDT_NEW", "New") +
                           Entry("control", "en", "IDC_TAIL", "tail") + En("NEG", "n"));
    std::string header = "// identifiers\n"
                         "#define IDT_PASSWORD                    3050\n"
                         "#define IDC_PASSWORD 3034\n"             // no text: keeps its template
                         "\t#define IDT_NEW 3052\n"                // must start the line
                         "#define\tIDD_PASSWORD_DLG\t3805 // dialog\r\n"
                         "#define NEG -7\n"
                         "#define IDT_NEW\n"
                         "3052\n"
                         "#define IDC_TAIL 19000";                 // no newline after it
    ASSERT_EQ(Load(xml, header), 1);
    EXPECT_EQ(Ctl(3050), u"Password(&P):");
    EXPECT_EQ(Ctl(3805), u"Login");
    EXPECT_EQ(Ctl(-7), u"n");
    EXPECT_EQ(Ctl(3034), u"<none>");
    EXPECT_EQ(Ctl(3052), u"<none>");
    EXPECT_EQ(Ctl(19000), u"<none>");

    ASSERT_EQ(Load(xml, header + "\n"), 1);
    EXPECT_EQ(Ctl(19000), u"tail");
}

TEST_F(LanguageText, HeaderIdsOverwriteEarlierIdEntries)
{
    ASSERT_EQ(Load(File(Entry("control", "en", "IDOK", "OK") + En("FIRST", "1") + En("SECOND", "2")),
                   "#define FIRST 500\n#define SECOND 500\n#define FIRST 1\n"),
              1);
    EXPECT_EQ(Ctl(500), u"2");
    EXPECT_EQ(Ctl(1), u"1");
    EXPECT_EQ(Str("FIRST"), u"1");  // keyed entries are not touched
    EXPECT_EQ(LanguageEntryCount(), 3 + 4 + 1);
}

TEST_F(LanguageText, FontsOfTheActiveLanguage)
{
    SetPreferredLanguage("zh-cn");
    ASSERT_EQ(Load(File("<font lang=\"en\" class=\"normal\" size=\"11\" face=\"Tahoma\" />\n"
                        "<font lang=\"zh-cn\" class=\"normal\" size=\"12\" face=\"宋体\" />\n"
                        "<font lang=\"zh-cn\" class=\"title\" size=\" 16\" face=\"宋体\"/>\n")),
              1);
    LanguageFont font{};
    ASSERT_TRUE(GetLanguageFont("normal", &font));
    EXPECT_EQ(std::u16string(font.face), u"宋体");
    EXPECT_EQ(font.size, 12);
    ASSERT_TRUE(GetLanguageFont("title", &font));
    EXPECT_EQ(font.size, 16);
    EXPECT_FALSE(GetLanguageFont("bold", &font));
    EXPECT_EQ(FindLanguageString("font_normal"), nullptr);  // a font record is not a text
}

TEST_F(LanguageText, NoLocalizationElementLeavesDictionaryEmpty)
{
    ASSERT_EQ(Load(File(En("A", "a"))), 1);
    ASSERT_GT(LanguageEntryCount(), 0);
    EXPECT_EQ(Load("<QDSK><localizations>" + En("A", "a") + "</localizations></QDSK>"), 0);
    EXPECT_EQ(LanguageEntryCount(), 0);
    EXPECT_EQ(LanguagePoolUsed(), 0u);
    EXPECT_EQ(FindLanguageString("A"), nullptr);
    EXPECT_EQ(LoadLanguageText(nullptr, 0, nullptr, 0, nullptr), 0);
}

TEST_F(LanguageText, OversizedOrUnclosedTextsAreReportedAndLeftUnset)
{
    std::string fits(2047, 'a'), tooLong(2048, 'b');
    g_reported.clear();
    ASSERT_EQ(Load(File(En("FITS", fits) + En("LONG", tooLong) + En("NEXT", "n"))), 1);
    EXPECT_EQ(Str("FITS").size(), 2047u);
    EXPECT_EQ(FindLanguageString("LONG"), nullptr);
    EXPECT_EQ(Str("LONG"), u"[?]LONG[?]");
    EXPECT_EQ(Str("NEXT"), u"n");
    ASSERT_EQ(g_reported.size(), 1u);
    EXPECT_EQ(g_reported[0].error, LANGUAGE_ERROR_DAMAGED);
    EXPECT_EQ(g_reported[0].key, "LONG");
    EXPECT_STREQ(LanguageErrorCaption(LANGUAGE_ERROR_DAMAGED), "QDSK: String too long or not terminated");

    // A file cut off inside its last entry.
    g_reported.clear();
    ASSERT_EQ(Load("<localization>" + En("A", "a") + "<string lang=\"en\" key=\"CUT\">abc"), 1);
    EXPECT_EQ(Str("A"), u"a");
    EXPECT_EQ(FindLanguageString("CUT"), nullptr);
    ASSERT_EQ(g_reported.size(), 1u);
    EXPECT_EQ(g_reported[0].key, "CUT");
    g_reported.clear();
    ASSERT_EQ(Load("<localization>" + En("A", "a") + "<string lang=\"en\" key=\"CUT"), 1);
    EXPECT_EQ(FindLanguageString("CUT"), nullptr);
    EXPECT_TRUE(g_reported.empty());  // no key read, nothing to name
}

TEST_F(LanguageText, PoolFillAdvancesInMultiplesOfFour)
{
    ASSERT_EQ(Load(File(En("AB", "x"))), 1);
    EXPECT_EQ(LanguagePoolUsed(), 4u + 4u);  // "AB\0" and u"x\0"
    ASSERT_EQ(Load(File(En("ABCD", "xy"))), 1);
    EXPECT_EQ(LanguagePoolUsed(), 8u + 8u);  // 5 bytes and 6 bytes, each rounded up
    ClearLanguage();
    EXPECT_EQ(LanguagePoolUsed(), 0u);
    EXPECT_EQ(LanguageEntryCount(), 0);
}

TEST_F(LanguageText, FullPoolStopsLoading)
{
    // Each entry takes 8 bytes of key and 4002 bytes of text.
    std::string entries, text(2000, 'p');
    for (int i = 0; i < 300; ++i)
        entries += En("K" + std::to_string(1000 + i), text);
    EXPECT_EQ(Load(File(entries)), 0);
    EXPECT_LE(LanguagePoolUsed(), kLanguagePoolSize);
    EXPECT_GT(LanguagePoolUsed(), kLanguagePoolSize - 4100);
    int loaded = 0;
    for (int i = 0; i < 300; ++i)
        loaded += FindLanguageString(("K" + std::to_string(1000 + i)).c_str()) != nullptr;
    EXPECT_EQ(loaded, static_cast<int>(kLanguagePoolSize / (8 + 4004)));
    EXPECT_EQ(FindLanguageString("K1299"), nullptr);
    EXPECT_TRUE(g_reported.empty());
}

TEST_F(LanguageText, PoolFillsToItsLastByteAndNoFurther)
{
    // 249 entries of 4012 bytes leave 1012 bytes: 8 for the key "LAST",
    // then room for a text of exactly 501 units and its terminator.
    std::string entries, text(2000, 'p');
    for (int i = 0; i < 249; ++i)
        entries += En("K" + std::to_string(1000 + i), text);
    ASSERT_EQ(Load(File(entries + En("LAST", std::string(501, 'x')))), 1);
    EXPECT_EQ(LanguagePoolUsed(), kLanguagePoolSize);
    EXPECT_EQ(Str("LAST").size(), 501u);

    EXPECT_EQ(Load(File(entries + En("LAST", std::string(502, 'x')))), 0);
    EXPECT_EQ(FindLanguageString("LAST"), nullptr);
    EXPECT_EQ(Str("K1248").size(), 2000u);
}

TEST_F(LanguageText, FullDictionaryDropsNewEntriesButStillReplaces)
{
    std::string entries;
    for (int i = 0; i < kLanguageMaxEntries + 4; ++i)
        entries += En("K" + std::to_string(i), "v");
    entries += En("K0", "replaced");
    ASSERT_EQ(Load(File(entries)), 1);
    EXPECT_EQ(LanguageEntryCount(), kLanguageMaxEntries);
    EXPECT_EQ(Str("K4095"), u"v");
    EXPECT_EQ(FindLanguageString("K4096"), nullptr);
    EXPECT_EQ(Str("K0"), u"replaced");
    EXPECT_EQ(GetLanguageControlText(1), nullptr);  // no room left for the button ids
}
