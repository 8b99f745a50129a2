// The rule index: the folder and its parent folders looked up in a hash
// table of exact folders, and the wildcard folders found through a required
// run of plain characters (see rule_match.h). Gives the same answer as
// FindRuleLinear, the reference in rule_match.cpp.
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

bool HasPatternSyntax(const std::u16string &s)
{
    return s.find_first_of(u"*?;") != std::u16string::npos || (!s.empty() && s[0] == u' ');
}

} // namespace

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
        nt.dirLen = static_cast<uint32_t>(RuleNameFolderLength(r.name));
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
    return RuleFolderTest(r, patterns_[static_cast<size_t>(rule)].c_str(), folder, folderLen) &&
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
