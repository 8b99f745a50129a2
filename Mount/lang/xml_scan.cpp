#include "Mount/lang/xml_scan.h"

#include <string.h>

static const char *FindByte(const char *pos, const char *end, char c)
{
    if (pos >= end)
        return nullptr;
    return static_cast<const char *>(memchr(pos, c, static_cast<size_t>(end - pos)));
}

// True when [pos, end) begins with the zero-terminated text s.
static bool BeginsWith(const char *pos, const char *end, const char *s, size_t len)
{
    return static_cast<size_t>(end - pos) >= len && memcmp(pos, s, len) == 0;
}

const char *XmlNextNode(const char *pos, const char *end)
{
    for (const char *p = FindByte(pos, end, '<'); p; p = FindByte(p + 1, end, '<')) {
        if (p + 1 >= end || p[1] != '/')
            return p;
    }
    return nullptr;
}

const char *XmlFindElement(const char *pos, const char *end, const char *name)
{
    size_t len = strlen(name);
    for (const char *node = XmlNextNode(pos, end); node; node = XmlNextNode(node + 1, end)) {
        // The name and one more byte must fit before end; the check is made
        // on lengths so that no pointer beyond the buffer is ever formed.
        if (static_cast<size_t>(end - node) - 1 <= len || !BeginsWith(node + 1, end, name, len))
            continue;
        char after = node[1 + len];
        if (after == '>' || after == ' ')
            return node;
    }
    return nullptr;
}

bool XmlReadAttribute(const char *node, const char *end, const char *name, char *value,
                      size_t valueSize)
{
    if (valueSize == 0)
        return false;
    value[0] = 0;
    if (node >= end || *node != '<')
        return false;
    const char *close = FindByte(node, end, '>');
    if (!close)
        return false;

    size_t len = strlen(name);
    const char *quote = nullptr;
    for (const char *p = node + 1; !quote && p + len <= close; ++p) {
        if (p[-1] != ' ' || memcmp(p, name, len) != 0)
            continue;
        const char *q = p + len;
        if (q < close && *q == ' ')
            ++q;
        if (q >= close || *q != '=')
            continue;
        ++q;
        if (q < close && *q == ' ')
            ++q;
        if (q < close && *q == '"')
            quote = q;
    }
    if (!quote)
        return false;

    const char *start = quote + 1;
    const char *stop = FindByte(start, end, '"');
    if (!stop)
        return false;
    size_t n = static_cast<size_t>(stop - start);
    if (n >= valueSize)
        return false;
    memcpy(value, start, n);
    value[n] = 0;
    return true;
}

bool XmlReadNodeText(const char *node, const char *end, char *text, size_t textSize)
{
    if (textSize == 0)
        return false;
    text[0] = 0;
    if (node >= end || *node != '<')
        return false;
    const char *close = FindByte(node, end, '>');
    if (!close)
        return false;
    const char *start = close + 1;
    const char *stop = FindByte(start, end, '<');
    if (!stop)
        return false;
    if (static_cast<size_t>(stop - start) >= textSize)
        return false;

    size_t out = 0;
    for (const char *p = start; p < stop;) {
        if (BeginsWith(p, stop, "&lt;", 4)) {
            text[out++] = '<';
            p += 4;
        } else if (BeginsWith(p, stop, "&gt;", 4)) {
            text[out++] = '>';
            p += 4;
        } else if (BeginsWith(p, stop, "&amp;", 5)) {
            text[out++] = '&';
            p += 5;
        } else {
            text[out++] = *p++;
        }
    }
    text[out] = 0;
    return true;
}
