// The redirection decision for one NT path: which rule (if any) covers it,
// and the target path on the redirection device. Platform-neutral; the
// Win32 MatchRedirect adds the folder creation on the redirection drive.
//
// Two ways to find the rule, with the same answer: FindRuleLinear goes
// through the sorted table one rule after another (the reference), and
// RuleIndex looks the folder and its parent folders up in a hash table,
// trying only the rules that can cover them. Rules whose folder test needs
// the full pattern match (wildcards in the folder) are found through a run
// of plain characters that any folder they cover must contain: a hash of
// its last few characters is looked up for every position of the folder.
// Rules with no such run (";" lists, very short runs) are tried one by one.
// Both ways return the first covering rule in table order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum {
    REQUEST_PATH_UNITS = 512,  // a request's path, terminator included
    TARGET_UNITS = 512,        // the reply's target, terminator included
};

// The fields of a rule that the decision reads.
struct MatchRule {
    bool hasDevicePath = false;  // rules without one take no part
    std::u16string devicePath;
    bool hasName = false;  // a rule without a name passes the name test
    std::u16string name;
    bool isRecurse = false;
    bool pathWild = false;
    bool nameWild = false;
};

// Splits a request path into its folder D (with its trailing backslash) and
// file name F = path[folderLen, len). False when the path is empty, has no
// backslash, or ends in one.
bool SplitRequestPath(const char16_t *path, size_t len, size_t *folderLen);

// The position just after the backslash that ends the volume part of an NT
// path (\Device\HarddiskVolume1\...): the second backslash after the first
// character. 0 when there is none (fewer than three backslashes).
size_t VolumeRestOffset(const char16_t *path, size_t len);

// The reference: rules in order, the folder test then the name test.
int FindRuleLinear(const MatchRule *rules, size_t count,
                   const char16_t *folder, size_t folderLen,
                   const char16_t *file, size_t fileLen);

// Pieces shared by the reference and the index: the length of the
// sub-folder part of a rule's name (up to and including its last
// backslash), and the folder test with the full pattern match (the pattern
// of a recursive rule being its device path followed by "*").
size_t RuleNameFolderLength(const std::u16string &name);
bool RuleFolderTest(const MatchRule &rule, const char16_t *recursivePattern,
                    const char16_t *folder, size_t folderLen);

// Whether one rule covers D and F (both tests).
bool RuleCovers(const MatchRule &rule, const char16_t *folder, size_t folderLen,
                const char16_t *file, size_t fileLen);

class RuleIndex {
public:
    RuleIndex() = default;
    RuleIndex(const RuleIndex &) = delete;
    RuleIndex &operator=(const RuleIndex &) = delete;

    // Builds the index over a copy of the rules (in their table order).
    // Uses the fold table active at this time: install it first.
    void Build(const MatchRule *rules, size_t count);
    void Clear();
    size_t size() const { return rules_.size(); }

    // First covering rule in table order, or -1. No allocation.
    int Find(const char16_t *folder, size_t folderLen,
             const char16_t *file, size_t fileLen) const;

private:
    struct Candidate {
        int32_t rule;
        bool prefix;  // recursive: also covers every folder below
    };
    struct Slot {
        uint64_t hash = 0;
        uint32_t length = 0;  // 0: empty slot
        uint32_t key = 0;     // offset of the folded folder in keys_
        uint32_t first = 0;   // candidates_[first, first + count)
        uint32_t count = 0;
    };
    struct NameTest {
        bool hasName = false;
        bool matchAll = false;   // the pattern "*.*"
        bool wild = false;
        uint32_t dirLen = 0;     // sub-folder part of the name, with its backslash
    };

    bool NamePasses(size_t rule, const char16_t *file, size_t fileLen) const;
    bool FullTest(int32_t rule, const char16_t *folder, size_t folderLen,
                  const char16_t *file, size_t fileLen) const;

    std::vector<MatchRule> rules_;
    std::vector<NameTest> names_;
    std::vector<std::u16string> patterns_;  // device path and "*", recursive rules
    std::vector<int32_t> slow_;  // rules tried one by one with the full folder test
    struct GramSlot {
        uint64_t hash = 0;
        uint32_t first = 0;  // gramRules_[first, first + count)
        uint32_t count = 0;
        bool used = false;
    };
    std::vector<GramSlot> gramSlots_;  // wildcard rules by a run they need
    std::vector<int32_t> gramRules_;
    uint64_t gramMask_ = 0;
    std::vector<Candidate> candidates_;
    std::vector<char16_t> keys_;
    std::vector<Slot> slots_;
    uint64_t mask_ = 0;
    char16_t separatorFold_ = u'\\';
};

// The target: the redirection device, a backslash and the rest of the path
// after its volume part (rest, restLen units). False when it would not fit
// targetUnits with its terminator.
bool FormRedirectTarget(const char16_t *device, const char16_t *rest, size_t restLen,
                        char16_t *target, size_t targetUnits);

// The whole decision without side effects. path is NUL-terminated; at most
// REQUEST_PATH_UNITS units are read and a longer path is not redirected.
// Returns 1 and fills target (TARGET_UNITS) when redirected; 0 otherwise.
// On 1, *localOffset/*localLen give the folder part to create on the
// redirection drive: path[*localOffset, *localOffset + *localLen).
// index may be null: then the rules are gone through linearly.
int DecideRedirect(const RuleIndex *index, const MatchRule *rules, size_t count,
                   const char16_t *path, const char16_t *device, char16_t *target,
                   size_t *localOffset, size_t *localLen);
