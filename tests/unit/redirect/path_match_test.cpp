// The file-name pattern match: the platform's rules for "*", "?", case,
// ";" lists and "*.*", checked against the platform's own algorithm (every
// split at every star, transcribed below) on many generated cases.
#include "redirect/path_match.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// The platform's mask match as the platform writes it: recursive, trying the
// rest of the mask at every position after a star.
bool RecursiveMask(const char16_t *name, const char16_t *mask)
{
    while (*name && *mask && *mask != u';') {
        if (*mask == u'*') {
            do {
                if (RecursiveMask(name, mask + 1))
                    return true;
            } while (*name++);
            return false;
        }
        if (MatchFold(*mask) != MatchFold(*name) && *mask != u'?')
            return false;
        ++name;
        ++mask;
    }
    if (!*name) {
        while (*mask == u'*')
            ++mask;
        if (!*mask || *mask == u';')
            return true;
    }
    return false;
}

bool RecursiveSpec(const char16_t *path, const char16_t *mask)
{
    if (std::u16string(mask) == u"*.*")
        return true;
    while (*mask) {
        while (*mask == u' ')
            ++mask;
        if (RecursiveMask(path, mask))
            return true;
        while (*mask && *mask != u';')
            ++mask;
        if (*mask == u';')
            ++mask;
    }
    return false;
}

bool M(const char16_t *text, const char16_t *pattern)
{
    return PathMatchSpec16(text, pattern);
}

} // namespace

TEST(PathMatch, StarQuestionMarkAndCase)
{
    EXPECT_TRUE(M(u"readme.TXT", u"*.txt"));
    EXPECT_FALSE(M(u"readme.txt.bak", u"*.txt"));
    EXPECT_TRUE(M(u"a\\b\\c.txt", u"a*.txt"));  // star crosses backslashes
    EXPECT_TRUE(M(u"abc", u"a?c"));
    EXPECT_FALSE(M(u"ac", u"a?c"));
    EXPECT_FALSE(M(u"abbc", u"a?c"));
    EXPECT_TRUE(M(u"", u"*"));
    EXPECT_FALSE(M(u"", u"?"));
    EXPECT_FALSE(M(u"abc", u""));
    EXPECT_FALSE(M(u"", u""));
    EXPECT_TRUE(M(u"\x0444\x0430\x0439\x043B", u"\x0424\x0410\x0419\x041B"));  // Cyrillic
    EXPECT_TRUE(M(u"\x00E9t\x00E9", u"\x00C9T\x00C9"));
    EXPECT_FALSE(M(u"\x56DE\x6536\x7AD9", u"\x56DE\x6536"));
}

TEST(PathMatch, StarDotStarMatchesEverythingOnlyWhenExact)
{
    EXPECT_TRUE(M(u"README", u"*.*"));  // no dot at all
    EXPECT_TRUE(M(u"", u"*.*"));
    EXPECT_FALSE(M(u"README", u" *.*"));  // not the exact text: a normal mask
    EXPECT_FALSE(M(u"README", u"*.*;x"));
    EXPECT_TRUE(M(u"a.b", u"*.*;x"));
}

TEST(PathMatch, ListsAndLeadingBlanks)
{
    EXPECT_TRUE(M(u"x.doc", u"*.xls;*.doc"));
    EXPECT_TRUE(M(u"x.doc", u"*.xls;   *.doc"));
    EXPECT_FALSE(M(u"x.doc", u"*.xls;*.do"));
    EXPECT_TRUE(M(u"History", u"History*;Visited Links"));
    EXPECT_TRUE(M(u"Visited Links", u"History*;Visited Links"));
    EXPECT_FALSE(M(u"Visited", u"History*;Visited Links"));
    EXPECT_TRUE(M(u"", u";"));
    EXPECT_TRUE(M(u"a", u"b;;a"));
    EXPECT_TRUE(M(u"ab", u"a*;"));
}

TEST(PathMatch, TwoPieceTextIsTheJoinedText)
{
    const char16_t head[] = u"Data\\";
    EXPECT_TRUE(PathMatchSpec16Split(head, 5, u"x.xml", 5, u"Data\\*.xml"));
    EXPECT_FALSE(PathMatchSpec16Split(head, 5, u"x.txt", 5, u"Data\\*.xml"));
    EXPECT_TRUE(PathMatchSpec16Split(head, 0, u"x.xml", 5, u"*.xml"));
    EXPECT_TRUE(EqualFolded(u"ABC", 3, u"abc", 3));
    EXPECT_FALSE(EqualFolded(u"ABC", 3, u"ab", 2));
}

TEST(PathMatch, ManyStarsStayFast)
{
    // Exponential for the recursive form; must be answered at once here.
    std::u16string text(2000, u'a');
    std::u16string pattern;
    for (int i = 0; i < 30; ++i)
        pattern += u"*a";
    pattern += u"*b";
    EXPECT_FALSE(M(text.c_str(), pattern.c_str()));
    text.back() = u'b';
    EXPECT_TRUE(M(text.c_str(), pattern.c_str()));
}

TEST(PathMatch, SameAnswerAsThePlatformAlgorithm)
{
    std::mt19937 rng(20240611);
    const char16_t textChars[] = u"abAB.\\ x\x00E9\x00C9";
    const char16_t maskChars[] = u"abAB.\\ *?;x\x00E9";
    auto pick = [&](const char16_t *set, size_t n) { return set[rng() % n]; };
    for (int i = 0; i < 200000; ++i) {
        std::u16string text, mask;
        size_t tl = rng() % 9, ml = rng() % 8;
        for (size_t k = 0; k < tl; ++k)
            text.push_back(pick(textChars, sizeof textChars / 2 - 1));
        for (size_t k = 0; k < ml; ++k)
            mask.push_back(pick(maskChars, sizeof maskChars / 2 - 1));
        ASSERT_EQ(M(text.c_str(), mask.c_str()), RecursiveSpec(text.c_str(), mask.c_str()))
            << "case " << i;
    }
}

TEST(PathMatch, InstalledFoldTableIsUsed)
{
    std::u16string table(65536, 0);
    for (unsigned c = 0; c < 65536; ++c)
        table[c] = static_cast<char16_t>(c);  // no folding at all
    SetMatchFoldTable(table.data());
    EXPECT_FALSE(M(u"ABC", u"abc"));
    SetMatchFoldTable(nullptr);
    EXPECT_TRUE(M(u"ABC", u"abc"));
}
