#include "redirect/path_match.h"

#include <cstring>

namespace {

char16_t g_builtinFold[65536];
char16_t g_installedFold[65536];

void PairRange(char16_t *t, unsigned first, unsigned last, bool upperIsEven)
{
    // Alternating upper/lower pairs: the lower one maps to its neighbour.
    for (unsigned c = first; c <= last; ++c) {
        bool even = (c % 2) == 0;
        if (even != upperIsEven)
            t[c] = static_cast<char16_t>(c - 1);
    }
}

bool BuildBuiltinFold()
{
    char16_t *t = g_builtinFold;
    for (unsigned c = 0; c < 65536; ++c)
        t[c] = static_cast<char16_t>(c);
    for (unsigned c = 'a'; c <= 'z'; ++c)
        t[c] = static_cast<char16_t>(c - 0x20);
    t[0xB5] = 0x39C;  // micro sign
    for (unsigned c = 0xE0; c <= 0xFE; ++c)
        if (c != 0xF7)
            t[c] = static_cast<char16_t>(c - 0x20);
    t[0xFF] = 0x178;
    PairRange(t, 0x100, 0x12F, true);
    t[0x131] = 'I';
    PairRange(t, 0x132, 0x137, true);
    PairRange(t, 0x139, 0x148, false);
    PairRange(t, 0x14A, 0x177, true);
    PairRange(t, 0x179, 0x17E, false);
    t[0x17F] = 'S';
    for (unsigned c = 0x3B1; c <= 0x3CB; ++c)
        if (c != 0x3C2)
            t[c] = static_cast<char16_t>(c - 0x20);
    t[0x3C2] = 0x3A3;
    t[0x3AC] = 0x386;
    t[0x3AD] = 0x388;
    t[0x3AE] = 0x389;
    t[0x3AF] = 0x38A;
    t[0x3CC] = 0x38C;
    t[0x3CD] = 0x38E;
    t[0x3CE] = 0x38F;
    for (unsigned c = 0x430; c <= 0x44F; ++c)
        t[c] = static_cast<char16_t>(c - 0x20);
    for (unsigned c = 0x450; c <= 0x45F; ++c)
        t[c] = static_cast<char16_t>(c - 0x50);
    PairRange(t, 0x460, 0x481, true);
    PairRange(t, 0x48A, 0x4BF, true);
    for (unsigned c = 0xFF41; c <= 0xFF5A; ++c)
        t[c] = static_cast<char16_t>(c - 0x20);
    return true;
}

const bool g_builtinReady = BuildBuiltinFold();

// A text that is one or two pieces; the match reads it by position.
struct Text {
    const char16_t *head;
    size_t headLen;
    const char16_t *tail;
    size_t tailLen;
    char16_t at(size_t i) const { return i < headLen ? head[i] : tail[i - headLen]; }
    size_t size() const { return headLen + tailLen; }
};

// One mask, up to ";" or the end: "*" any run, "?" one character. Greedy
// with a return to the last star: the classic linear-space glob match, which
// gives the same answer as trying every split at every star.
bool MatchMask(const Text &text, const char16_t *mask)
{
    const size_t n = text.size();
    size_t t = 0;
    const char16_t *m = mask;
    const char16_t *starMask = nullptr;
    size_t starText = 0;
    while (t < n) {
        char16_t mc = *m;
        if (mc == u'*') {
            starMask = ++m;
            starText = t;
            continue;
        }
        if (mc != 0 && mc != u';' && (mc == u'?' || MatchFold(mc) == MatchFold(text.at(t)))) {
            ++m;
            ++t;
            continue;
        }
        if (starMask) {
            m = starMask;
            t = ++starText;
            continue;
        }
        return false;
    }
    while (*m == u'*')
        ++m;
    return *m == 0 || *m == u';';
}

bool MatchSpec(const Text &text, const char16_t *pattern)
{
    if (!pattern)
        return false;
    static const char16_t kAll[] = u"*.*";
    if (pattern[0] == kAll[0] && pattern[1] == kAll[1] && pattern[2] == kAll[2] && pattern[3] == 0)
        return true;
    const char16_t *mask = pattern;
    while (*mask) {
        while (*mask == u' ')
            ++mask;
        if (MatchMask(text, mask))
            return true;
        while (*mask && *mask != u';')
            ++mask;
        if (*mask == u';')
            ++mask;
    }
    return false;
}

} // namespace

const char16_t *g_matchFold = g_builtinFold;

void SetMatchFoldTable(const char16_t *table)
{
    (void)g_builtinReady;
    if (!table) {
        g_matchFold = g_builtinFold;
        return;
    }
    memcpy(g_installedFold, table, sizeof g_installedFold);
    g_matchFold = g_installedFold;
}

bool PathMatchSpec16(const char16_t *text, const char16_t *pattern)
{
    if (!text)
        return false;
    size_t len = 0;
    while (text[len])
        ++len;
    Text t{text, len, nullptr, 0};
    return MatchSpec(t, pattern);
}

bool PathMatchSpec16Split(const char16_t *head, size_t headLen,
                          const char16_t *tail, size_t tailLen,
                          const char16_t *pattern)
{
    Text t{head, headLen, tail, tailLen};
    return MatchSpec(t, pattern);
}

bool EqualFolded(const char16_t *a, size_t aLen, const char16_t *b, size_t bLen)
{
    if (aLen != bLen)
        return false;
    for (size_t i = 0; i < aLen; ++i)
        if (a[i] != b[i] && MatchFold(a[i]) != MatchFold(b[i]))
            return false;
    return true;
}
