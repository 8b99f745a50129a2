#include "redirect/rule_match.h"

#include "redirect/path_match.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

const uint64_t kFnvOffset = 1469598103934665603ull;
const uint64_t kFnvPrime = 1099511628211ull;

inline uint64_t HashStep(uint64_t h, char16_t folded)
{
    return (h ^ folded) * kFnvPrime;
}

// Runs of plain characters are keyed by their last kGram folded characters,
// with a polynomial hash that can be rolled along a folder.
const size_t kGram = 6;
const uint64_t kGramBase = 0x9E3779B97F4A7C15ull;

uint64_t GramPower()
{
    uint64_t p = 1;
    for (size_t i = 0; i < kGram; ++i)
        p *= kGramBase;
    return p;
}

const uint64_t kGramPower = GramPower();  // kGramBase to the kGram

inline uint64_t GramMix(uint64_t h)
{
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 32);
}

// The last kGram characters of the longest run of plain characters of a
// one-mask pattern; false when the pattern is a list or has no such run.
bool RequiredGram(const std::u16string &pattern, uint64_t *hash)
{
    if (pattern.find(u';') != std::u16string::npos)
        return false;
    size_t start = 0;
    while (start < pattern.size() && pattern[start] == u' ')
        ++start;
    size_t bestEnd = 0, bestLen = 0, run = 0;
    for (size_t i = start; i < pattern.size(); ++i) {
        if (pattern[i] == u'*' || pattern[i] == u'?') {
            run = 0;
            continue;
        }
        if (++run > bestLen) {
            bestLen = run;
            bestEnd = i + 1;
        }
    }
    if (bestLen < kGram)
        return false;
    uint64_t h = 0;
    for (size_t i = bestEnd - kGram; i < bestEnd; ++i)
        h = h * kGramBase + MatchFold(pattern[i]);
    *hash = GramMix(h);
    return true;
}

size_t LastBackslash(const std::u16string &s)
{
    size_t pos = s.rfind(u'\\');
    return pos == std::u16string::npos ? 0 : pos + 1;
}

// The sub-folder part of a name (up to and including its last backslash),
// followed by F, tested against the name.
bool NameTest(const MatchRule &rule, const char16_t *file, size_t fileLen)
{
    if (!rule.hasName)
        return true;
    size_t dirLen = LastBackslash(rule.name);
    if (rule.nameWild)
        return PathMatchSpec16Split(rule.name.data(), dirLen, file, fileLen, rule.name.c_str());
    return EqualFolded(file, fileLen, rule.name.data() + dirLen, rule.name.size() - dirLen);
}

// The folder test with the full pattern match, the pattern of a recursive
// rule being its device path followed by "*".
bool FolderTest(const MatchRule &rule, const char16_t *recursivePattern,
                const char16_t *folder, size_t folderLen)
{
    if (rule.isRecurse)
        return PathMatchSpec16Split(folder, folderLen, nullptr, 0, recursivePattern);
    if (rule.pathWild)
        return PathMatchSpec16Split(folder, folderLen, nullptr, 0, rule.devicePath.c_str());
    return EqualFolded(folder, folderLen, rule.devicePath.data(), rule.devicePath.size());
}

bool HasPatternSyntax(const std::u16string &s)
{
    return s.find_first_of(u"*?;") != std::u16string::npos || (!s.empty() && s[0] == u' ');
}

} // namespace

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
        if (!FolderTest(rule, pattern, folder, folderLen))
            return false;
    } else if (!FolderTest(rule, nullptr, folder, folderLen)) {
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

void RuleIndex::Clear()
{
    rules_.clear();
    names_.clear();
    slow_.clear();
    candidates_.clear();
    keys_.clear();
    slots_.clear();
    patterns_.clear();
    gramSlots_.clear();
    gramRules_.clear();
    mask_ = 0;
    gramMask_ = 0;
}

void RuleIndex::Build(const MatchRule *rules, size_t count)
{
    Clear();
    if (count > static_cast<size_t>(INT32_MAX))
        count = static_cast<size_t>(INT32_MAX);
    rules_.assign(rules, rules + count);
    names_.resize(count);
    patterns_.resize(count);
    separatorFold_ = MatchFold(u'\\');

    struct Key {
        std::u16string folded;
        uint64_t hash;
        std::vector<Candidate> list;
    };
    std::vector<Key> keys;
    std::vector<size_t> keySlots;  // open addressing over keys while building
    size_t buildMask = 0;
    auto rehash = [&](size_t capacity) {
        keySlots.assign(capacity, SIZE_MAX);
        buildMask = capacity - 1;
        for (size_t k = 0; k < keys.size(); ++k) {
            size_t s = keys[k].hash & buildMask;
            while (keySlots[s] != SIZE_MAX)
                s = (s + 1) & buildMask;
            keySlots[s] = k;
        }
    };
    rehash(64);

    auto addKey = [&](const std::u16string &folded, Candidate c) {
        uint64_t h = kFnvOffset;
        for (char16_t ch : folded)
            h = HashStep(h, ch);
        size_t s = h & buildMask;
        while (keySlots[s] != SIZE_MAX) {
            Key &k = keys[keySlots[s]];
            if (k.hash == h && k.folded == folded) {
                k.list.push_back(c);
                return;
            }
            s = (s + 1) & buildMask;
        }
        keys.push_back(Key{folded, h, {c}});
        keySlots[s] = keys.size() - 1;
        if (keys.size() * 2 > keySlots.size())
            rehash(keySlots.size() * 2);
    };

    for (size_t i = 0; i < count; ++i) {
        const MatchRule &r = rules_[i];
        NameTest &nt = names_[i];
        nt.hasName = r.hasName;
        nt.matchAll = r.hasName && r.nameWild && r.name == u"*.*";
        nt.wild = r.nameWild;
        nt.dirLen = static_cast<uint32_t>(LastBackslash(r.name));
        if (r.isRecurse)
            patterns_[i] = r.devicePath + u"*";
        if (!r.hasDevicePath)
            continue;  // takes no part

        std::u16string folded(r.devicePath);
        for (char16_t &ch : folded)
            ch = MatchFold(ch);
        bool endsWithSeparator = !folded.empty() && folded.back() == separatorFold_;
        int32_t idx = static_cast<int32_t>(i);

        if (!r.isRecurse) {
            // Equality, or a pattern without pattern syntax, which is the same.
            if (r.pathWild && (HasPatternSyntax(r.devicePath) || r.devicePath.empty())) {
                slow_.push_back(idx);
                continue;
            }
            if (endsWithSeparator)  // D ends in a backslash: others never match
                addKey(folded, Candidate{idx, false});
            continue;
        }
        // "device path*" without pattern syntax: D starts with the device path.
        if (!r.devicePath.empty() && !HasPatternSyntax(r.devicePath) && endsWithSeparator)
            addKey(folded, Candidate{idx, true});
        else
            slow_.push_back(idx);
    }

    // Wildcard rules that a run of plain characters can find.
    std::vector<std::pair<uint64_t, int32_t>> grams;
    std::vector<int32_t> generic;
    for (int32_t idx : slow_) {
        const MatchRule &r = rules_[static_cast<size_t>(idx)];
        const std::u16string &pattern = r.isRecurse ? patterns_[static_cast<size_t>(idx)] : r.devicePath;
        uint64_t h;
        if (RequiredGram(pattern, &h))
            grams.push_back({h, idx});
        else
            generic.push_back(idx);
    }
    slow_ = generic;
    std::stable_sort(grams.begin(), grams.end(),
                     [](const std::pair<uint64_t, int32_t> &a, const std::pair<uint64_t, int32_t> &b) {
                         return a.first < b.first;
                     });
    if (!grams.empty()) {
        size_t gramCapacity = 16;
        while (gramCapacity < grams.size() * 2 + 2)
            gramCapacity *= 2;
        gramSlots_.assign(gramCapacity, GramSlot{});
        gramMask_ = gramCapacity - 1;
        for (size_t i = 0; i < grams.size();) {
            size_t j = i;
            while (j < grams.size() && grams[j].first == grams[i].first)
                ++j;
            GramSlot slot;
            slot.hash = grams[i].first;
            slot.first = static_cast<uint32_t>(gramRules_.size());
            slot.count = static_cast<uint32_t>(j - i);
            slot.used = true;
            for (size_t k = i; k < j; ++k)
                gramRules_.push_back(grams[k].second);  // ascending: stable sort of ascending ids
            size_t s = slot.hash & gramMask_;
            while (gramSlots_[s].used)
                s = (s + 1) & gramMask_;
            gramSlots_[s] = slot;
            i = j;
        }
    }

    size_t capacity = 16;
    while (capacity < keys.size() * 2 + 2)
        capacity *= 2;
    slots_.assign(capacity, Slot{});
    mask_ = capacity - 1;
    for (const Key &k : keys) {
        Slot slot;
        slot.hash = k.hash;
        slot.length = static_cast<uint32_t>(k.folded.size());
        slot.key = static_cast<uint32_t>(keys_.size());
        slot.first = static_cast<uint32_t>(candidates_.size());
        slot.count = static_cast<uint32_t>(k.list.size());
        keys_.insert(keys_.end(), k.folded.begin(), k.folded.end());
        candidates_.insert(candidates_.end(), k.list.begin(), k.list.end());
        size_t s = k.hash & mask_;
        while (slots_[s].length != 0)
            s = (s + 1) & mask_;
        slots_[s] = slot;
    }
}

bool RuleIndex::NamePasses(size_t rule, const char16_t *file, size_t fileLen) const
{
    const NameTest &nt = names_[rule];
    if (!nt.hasName || nt.matchAll)
        return true;
    const std::u16string &name = rules_[rule].name;
    if (nt.wild)
        return PathMatchSpec16Split(name.data(), nt.dirLen, file, fileLen, name.c_str());
    return EqualFolded(file, fileLen, name.data() + nt.dirLen, name.size() - nt.dirLen);
}

bool RuleIndex::FullTest(int32_t rule, const char16_t *folder, size_t folderLen,
                         const char16_t *file, size_t fileLen) const
{
    const MatchRule &r = rules_[static_cast<size_t>(rule)];
    return FolderTest(r, patterns_[static_cast<size_t>(rule)].c_str(), folder, folderLen) &&
           NamePasses(static_cast<size_t>(rule), file, fileLen);
}

int RuleIndex::Find(const char16_t *folder, size_t folderLen,
                    const char16_t *file, size_t fileLen) const
{
    int32_t best = INT32_MAX;
    for (int32_t idx : slow_) {
        if (FullTest(idx, folder, folderLen, file, fileLen)) {
            best = idx;
            break;
        }
    }
    const bool haveGrams = !gramSlots_.empty();
    const bool haveKeys = !slots_.empty();
    if (!haveGrams && !haveKeys)
        return best == INT32_MAX ? -1 : best;

    uint64_t h = kFnvOffset;
    uint64_t gram = 0;
    for (size_t pos = 0; pos < folderLen; ++pos) {
        char16_t c = MatchFold(folder[pos]);
        if (haveGrams) {
            // Roll the hash of the last kGram folded characters.
            gram = gram * kGramBase + c;
            if (pos >= kGram)
                gram -= kGramPower * MatchFold(folder[pos - kGram]);
            if (pos + 1 >= kGram) {
                uint64_t key = GramMix(gram);
                for (size_t s = key & gramMask_; gramSlots_[s].used; s = (s + 1) & gramMask_) {
                    const GramSlot &slot = gramSlots_[s];
                    if (slot.hash != key)
                        continue;
                    for (uint32_t k = 0; k < slot.count; ++k) {
                        int32_t idx = gramRules_[slot.first + k];
                        if (idx >= best)
                            break;
                        if (FullTest(idx, folder, folderLen, file, fileLen)) {
                            best = idx;
                            break;
                        }
                    }
                    break;
                }
            }
        }
        if (!haveKeys)
            continue;
        h = HashStep(h, c);
        if (c != separatorFold_)
            continue;
        size_t len = pos + 1;
        for (size_t s = h & mask_; slots_[s].length != 0; s = (s + 1) & mask_) {
            const Slot &slot = slots_[s];
            if (slot.hash != h || slot.length != len)
                continue;
            const char16_t *key = keys_.data() + slot.key;
            size_t i = 0;
            while (i < len && MatchFold(folder[i]) == key[i])
                ++i;
            if (i != len)
                continue;
            for (uint32_t k = 0; k < slot.count; ++k) {
                const Candidate &cand = candidates_[slot.first + k];
                if (cand.rule >= best)
                    break;
                if (!cand.prefix && len != folderLen)
                    continue;
                if (NamePasses(static_cast<size_t>(cand.rule), file, fileLen)) {
                    best = cand.rule;
                    break;
                }
            }
            break;
        }
    }
    return best == INT32_MAX ? -1 : best;
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
