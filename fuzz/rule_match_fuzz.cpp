// The redirection decision over fuzzed rule tables and request paths: the
// rule index must give the same first covering rule as the linear reference
// for every folder and file, and DecideRedirect the same answer with and
// without the index.
//
// Input: a count byte, then per rule a flag byte, its device path and its
// name (each ended by a 0x01 byte), then request paths separated by 0x01.
// Bytes stand for themselves; bytes above 0x7F stand for characters from
// U+0100 on, so that folding of non-ASCII letters is reached too (a 0 byte
// for U+0100: no text holds a NUL).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "redirect/path_match.h"
#include "redirect/rule_match.h"
#include "redirect/rule_rows.h"

namespace {

// Rules and paths are NUL-terminated texts: no unit is 0.
char16_t Unit(uint8_t b) { return b == 0 ? char16_t(0x100) : b < 0x80 ? char16_t(b) : char16_t(0x100 + b); }

std::u16string Take(const uint8_t *&p, const uint8_t *end)
{
    std::u16string s;
    while (p < end && *p != 1)
        s.push_back(Unit(*p++));
    if (p < end)
        ++p;
    return s;
}

// A fold table like the platform's: ASCII and Latin letters to upper case.
void InstallFold()
{
    static std::vector<char16_t> table = [] {
        std::vector<char16_t> t(65536);
        for (unsigned c = 0; c < 65536; ++c)
            t[c] = char16_t(c);
        for (unsigned c = 'a'; c <= 'z'; ++c)
            t[c] = char16_t(c - 0x20);
        for (unsigned c = 0x101; c < 0x180; c += 2)
            t[c] = char16_t(c - 1);
        return t;
    }();
    SetMatchFoldTable(table.data());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InstallFold();
    const uint8_t *p = data, *end = data + size;
    if (p == end)
        return 0;
    size_t count = *p++ % 24;
    std::vector<MatchRule> rules;
    for (size_t i = 0; i < count && p < end; ++i) {
        MatchRule r;
        uint8_t flags = *p++;
        r.devicePath = Take(p, end);
        r.name = Take(p, end);
        r.hasDevicePath = !(flags & 1);
        r.hasName = !(flags & 2);
        r.isRecurse = flags & 4;
        r.pathWild = HasWildcard(r.devicePath);
        r.nameWild = HasWildcard(r.name);
        rules.push_back(r);
    }
    // The loader sorts the table by device path.
    std::stable_sort(rules.begin(), rules.end(), [](const MatchRule &a, const MatchRule &b) {
        return CompareDevicePaths(a.hasDevicePath ? a.devicePath.c_str() : nullptr,
                                  b.hasDevicePath ? b.devicePath.c_str() : nullptr) < 0;
    });
    RuleIndex index;
    index.Build(rules.data(), rules.size());

    static const char16_t kDevice[] = u"\\Device\\QdskVolumeQ";
    while (p < end) {
        std::u16string path = Take(p, end);
        size_t folderLen = 0;
        if (SplitRequestPath(path.data(), path.size(), &folderLen)) {
            const char16_t *file = path.data() + folderLen;
            size_t fileLen = path.size() - folderLen;
            int linear = FindRuleLinear(rules.data(), rules.size(), path.data(), folderLen, file, fileLen);
            int indexed = index.Find(path.data(), folderLen, file, fileLen);
            if (linear != indexed)
                abort();  // the index must agree with the reference
        }
        char16_t a[TARGET_UNITS], b[TARGET_UNITS];
        size_t offA = 0, lenA = 0, offB = 0, lenB = 0;
        int withIndex = DecideRedirect(&index, rules.data(), rules.size(), path.c_str(), kDevice, a, &offA, &lenA);
        int without = DecideRedirect(nullptr, rules.data(), rules.size(), path.c_str(), kDevice, b, &offB, &lenB);
        if (withIndex != without)
            abort();
        if (withIndex == 1 && (std::u16string(a) != std::u16string(b) || offA != offB || lenA != lenB ||
                               offA + lenA > path.size()))
            abort();
    }
    return 0;
}
