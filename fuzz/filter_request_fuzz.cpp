// The filter's requests as the port delivers them: the header, the Path and
// the number of bytes delivered (the input's length, up to the 1040 bytes
// of the wire record), read as the worker reads them, then decided against
// a fixed rule table and answered with the reply's Target.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "redirect/path_match.h"
#include "redirect/request_wire.h"
#include "redirect/rule_match.h"
#include "redirect/rule_rows.h"

namespace {

struct Wire {
    uint8_t header[REQUEST_HEADER_BYTES];
    char16_t path[REQUEST_WIRE_PATH_UNITS];
};

struct Reply {
    int32_t status;
    uint64_t messageId;
    char16_t target[TARGET_UNITS];
};

std::vector<MatchRule> &Rules()
{
    static std::vector<MatchRule> rules = [] {
        const struct {
            const char16_t *path, *name;
            bool recurse;
        } kRows[] = {
            {u"\\Device\\HarddiskVolume1\\Documents and Settings\\u\\Application Data\\", u"*.*", true},
            {u"\\Device\\HarddiskVolume1\\Program Files\\App*\\", u"cache\\*.dat", false},
            {u"\\Device\\HarddiskVolume1\\Temp\\", u"a.txt;b.txt", false},
            {u"\\Device\\HarddiskVolume2\\", u"*.log", true},
        };
        std::vector<MatchRule> r;
        for (const auto &row : kRows) {
            MatchRule m;
            m.hasDevicePath = m.hasName = true;
            m.devicePath = row.path;
            m.name = row.name;
            m.isRecurse = row.recurse;
            m.pathWild = HasWildcard(m.devicePath);
            m.nameWild = HasWildcard(m.name);
            r.push_back(m);
        }
        return r;
    }();
    return rules;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static std::vector<char16_t> fold = [] {
        std::vector<char16_t> t(65536);
        for (unsigned c = 0; c < 65536; ++c)
            t[c] = char16_t(c >= 'a' && c <= 'z' ? c - 0x20 : c);
        return t;
    }();
    SetMatchFoldTable(fold.data());
    static RuleIndex *index = [] {
        RuleIndex *i = new RuleIndex;
        i->Build(Rules().data(), Rules().size());
        return i;
    }();

    // The buffer is cleared before every get-message, as the worker arms it.
    Wire wire;
    memset(&wire, 0, sizeof wire);
    memcpy(&wire, data, size < sizeof wire ? size : sizeof wire);
    const char16_t *path = RequestPathIn(wire.path, size);
    if (size < REQUEST_HEADER_BYTES)
        return 0;  // no MessageId: not answered
    Reply reply;
    memset(&reply, 0, sizeof reply);
    memcpy(&reply.messageId, wire.header + 8, sizeof reply.messageId);
    size_t localOffset = 0, localLen = 0;
    if (!path || !DecideRedirect(index, Rules().data(), Rules().size(), path, u"\\Device\\QdskVolumeQ",
                                 reply.target, &localOffset, &localLen))
        reply.target[0] = 0;
    else if (localOffset + localLen > REQUEST_WIRE_PATH_UNITS)
        abort();  // the folder to create lies inside the request's Path
    return 0;
}
