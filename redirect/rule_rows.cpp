#include "redirect/rule_rows.h"

#include "env/trace_rows.h"

const char kRulesQuery[] = "select aid,path,name,isRecurse,isCopy from apppaths";

bool HasWildcard(const std::u16string &text)
{
    return text.find_first_of(u"*?") != std::u16string::npos;
}

bool IsContainedRuleName(const std::u16string &name)
{
    size_t start = 0;
    for (;;) {
        size_t end = name.find(u';', start);
        if (end == std::u16string::npos)
            end = name.size();
        size_t at = start;
        while (at < end && name[at] == u' ')
            ++at;
        if (at < end && (name[at] == u'\\' || name[at] == u'/'))
            return false;
        // Each component of the mask.
        size_t part = at;
        while (part < end) {
            size_t stop = part;
            while (stop < end && name[stop] != u'\\')
                ++stop;
            std::u16string component = name.substr(part, stop - part);
            if (component.empty() || component == u"." || component == u".." ||
                component.find_first_of(u":/") != std::u16string::npos)
                return false;
            part = stop + 1;
            if (stop == end)
                break;
            if (part == end)
                return false;  // a trailing backslash: an empty file part
        }
        if (end >= name.size())
            return true;
        start = end + 1;
    }
}

bool ConvertRuleRows(char **cells, int rows, int cols, RuleTextDecoder fromUtf8,
                     ResolvedFolderLookup lookup, void *context, std::vector<RuleRow> &out)
{
    out.clear();
    if (rows < 0 || (rows > 0 && (!cells || cols != 5)) || (rows == 0 && cols != 0 && cols != 5))
        return false;
    out.reserve(static_cast<size_t>(rows));
    for (int r = 1; r <= rows; ++r) {
        char **row = cells + static_cast<size_t>(r) * 5;
        RuleRow rule;
        rule.aid = ParseDecimalColumn(row[0]);

        const char16_t *resolved = lookup ? lookup(rule.aid, context) : nullptr;
        if (resolved)
            rule.path = resolved;
        else if (row[1])
            rule.path = fromUtf8(row[1]);
        if (rule.path.empty())
            continue;
        if (rule.path.back() != u'\\')
            rule.path.push_back(u'\\');
        if (rule.path.size() >= RULE_PATH_UNITS)
            continue;
        rule.pathWild = HasWildcard(rule.path) ? 1 : 0;

        if (!row[2] || !row[2][0]) {
            rule.name = u"*.*";
            rule.nameWild = 1;
        } else {
            rule.name = fromUtf8(row[2]);
            if (!IsContainedRuleName(rule.name))
                continue;
            rule.nameWild = HasWildcard(rule.name) ? 1 : 0;
        }
        rule.isRecurse = ParseDecimalColumn(row[3]);
        rule.isCopy = ParseDecimalColumn(row[4]);
        out.push_back(std::move(rule));
    }
    return true;
}
