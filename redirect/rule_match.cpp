// Request splitting, the linear reference decision and the redirect
// target; the index lives in rule_index.cpp.
#include "redirect/rule_match.h"

#include "redirect/path_match.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// The sub-folder part of a name (up to and including its last backslash),
// followed by F, tested against the name.
bool NameTest(const MatchRule &rule, const char16_t *file, size_t fileLen)
{
    if (!rule.hasName)
        return true;
    size_t dirLen = RuleNameFolderLength(rule.name);
    if (rule.nameWild)
        return PathMatchSpec16Split(rule.name.data(), dirLen, file, fileLen, rule.name.c_str());
    return EqualFolded(file, fileLen, rule.name.data() + dirLen, rule.name.size() - dirLen);
}

} // namespace

size_t RuleNameFolderLength(const std::u16string &name)
{
    size_t pos = name.rfind(u'\\');
    return pos == std::u16string::npos ? 0 : pos + 1;
}

bool RuleFolderTest(const MatchRule &rule, const char16_t *recursivePattern,
                    const char16_t *folder, size_t folderLen)
{
    if (rule.isRecurse)
        return PathMatchSpec16Split(folder, folderLen, nullptr, 0, recursivePattern);
    if (rule.pathWild)
        return PathMatchSpec16Split(folder, folderLen, nullptr, 0, rule.devicePath.c_str());
    return EqualFolded(folder, folderLen, rule.devicePath.data(), rule.devicePath.size());
}

bool SplitRequestPath(const char16_t *path, size_t len, size_t *folderLen)
{
    if (!path || len == 0)
        return false;
    size_t last = len;
    for (size_t i = len; i-- > 0;)
        if (path[i] == u'\\') {
            last = i;
            break;
        }
    if (last == len || last + 1 == len)
        return false;
    *folderLen = last + 1;
    return true;
}

size_t VolumeRestOffset(const char16_t *path, size_t len)
{
    size_t i = 1;
    while (i < len && path[i] != u'\\')
        ++i;
    if (i >= len)
        return 0;
    ++i;
    while (i < len && path[i] != u'\\')
        ++i;
    if (i >= len)
        return 0;
    return i + 1;
}

bool RuleCovers(const MatchRule &rule, const char16_t *folder, size_t folderLen,
                const char16_t *file, size_t fileLen)
{
    if (!rule.hasDevicePath)
        return false;
    if (rule.isRecurse) {
        // "%s%s" of the device path and "*", in a fixed buffer when it fits.
        char16_t local[1040];
        std::u16string heap;
        const char16_t *pattern;
        size_t n = rule.devicePath.size();
        if (n + 2 <= sizeof local / sizeof local[0]) {
            memcpy(local, rule.devicePath.data(), n * sizeof(char16_t));
            local[n] = u'*';
            local[n + 1] = 0;
            pattern = local;
        } else {
            heap = rule.devicePath + u"*";
            pattern = heap.c_str();
        }
        if (!RuleFolderTest(rule, pattern, folder, folderLen))
            return false;
    } else if (!RuleFolderTest(rule, nullptr, folder, folderLen)) {
        return false;
    }
    return NameTest(rule, file, fileLen);
}

int FindRuleLinear(const MatchRule *rules, size_t count,
                   const char16_t *folder, size_t folderLen,
                   const char16_t *file, size_t fileLen)
{
    for (size_t i = 0; i < count && i <= static_cast<size_t>(INT_MAX); ++i)
        if (RuleCovers(rules[i], folder, folderLen, file, fileLen))
            return static_cast<int>(i);
    return -1;
}

bool FormRedirectTarget(const char16_t *device, const char16_t *rest, size_t restLen,
                        char16_t *target, size_t targetUnits)
{
    if (!device || !target || targetUnits == 0)
        return false;
    size_t devLen = 0;
    while (device[devLen])
        ++devLen;
    if (devLen + 1 + restLen + 1 > targetUnits)
        return false;
    memcpy(target, device, devLen * sizeof(char16_t));
    target[devLen] = u'\\';
    memcpy(target + devLen + 1, rest, restLen * sizeof(char16_t));
    target[devLen + 1 + restLen] = 0;
    return true;
}

int DecideRedirect(const RuleIndex *index, const MatchRule *rules, size_t count,
                   const char16_t *path, const char16_t *device, char16_t *target,
                   size_t *localOffset, size_t *localLen)
{
    if (!path || !device || !device[0] || !target)
        return 0;
    size_t len = 0;
    while (len < REQUEST_PATH_UNITS && path[len])
        ++len;
    if (len == REQUEST_PATH_UNITS)
        return 0;  // not terminated within a request's buffer
    size_t folderLen = 0;
    if (!SplitRequestPath(path, len, &folderLen))
        return 0;
    const char16_t *file = path + folderLen;
    size_t fileLen = len - folderLen;
    int rule = index ? index->Find(path, folderLen, file, fileLen)
                     : FindRuleLinear(rules, count, path, folderLen, file, fileLen);
    if (rule < 0)
        return 0;
    size_t rest = VolumeRestOffset(path, len);
    if (rest == 0)
        return 0;
    if (!FormRedirectTarget(device, path + rest, len - rest, target, TARGET_UNITS))
        return 0;
    if (localOffset)
        *localOffset = rest;
    if (localLen)
        *localLen = folderLen >= rest ? folderLen - rest : 0;
    return 1;
}
