#include "Mount/lang/language_text.h"

#include <stdlib.h>
#include <string.h>

#include "Mount/lang/utf8_decode.h"
#include "Mount/lang/xml_scan.h"

namespace {

// Attribute values and element texts are read into buffers of this many
// bytes; converted texts may have as many UTF-16 units.
constexpr size_t kTextBytes = 2048;
constexpr size_t kTextUnits = 2048;
constexpr size_t kPlaceholderUnits = 1024;

struct Entry {
    const char *key;    // null for an id entry
    int32_t id;         // 0 for entries with a key
    const void *value;  // UTF-16 text, or a LanguageFont record
    bool font;
};

char g_preferred[6];
Entry g_entries[kLanguageMaxEntries];
int g_entryCount;
unsigned char *g_pool;
size_t g_poolFill;
char16_t g_placeholder[kPlaceholderUnits];

// Copies an item into the pool; the fill mark moves on by its size rounded
// up to a multiple of 4. Null when the pool cannot be had or is full.
void *AddPoolData(const void *data, size_t size)
{
    if (!g_pool) {
        g_pool = static_cast<unsigned char *>(malloc(kLanguagePoolSize));
        if (!g_pool)
            return nullptr;
    }
    if (size > kLanguagePoolSize - g_poolFill)
        return nullptr;
    void *item = g_pool + g_poolFill;
    memcpy(item, data, size);
    g_poolFill += (size + 3) & ~static_cast<size_t>(3);
    return item;
}

// With a key, an entry with an equal key is replaced in place; without one,
// the first id entry with the same id. Otherwise the entry is appended,
// unless the dictionary is full, in which case it is dropped.
void AddEntry(const char *key, int32_t id, const void *value, bool font)
{
    for (int i = 0; i < g_entryCount; ++i) {
        Entry &e = g_entries[i];
        bool same = key ? (e.key && strcmp(e.key, key) == 0) : (!e.key && e.id == id);
        if (same) {
            e = Entry{key, id, value, font};
            return;
        }
    }
    if (g_entryCount < kLanguageMaxEntries)
        g_entries[g_entryCount++] = Entry{key, id, value, font};
}

const Entry *FindEntry(const char *key)
{
    for (int i = 0; i < g_entryCount; ++i) {
        if (g_entries[i].key && strcmp(g_entries[i].key, key) == 0)
            return &g_entries[i];
    }
    return nullptr;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads a decimal integer the way "%d" does: blanks, an optional sign, at
// least one digit. Values outside 32 bits are refused.
bool ScanDecimal(const char *&p, const char *end, int32_t *value)
{
    while (p < end && IsSpace(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    if (p >= end || *p < '0' || *p > '9')
        return false;
    int64_t v = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > static_cast<int64_t>(INT32_MAX) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v > INT32_MAX || v < INT32_MIN)
        return false;
    *value = static_cast<int32_t>(v);
    return true;
}

// Decodes the backslash escapes of a text in place: "\\", "\n" (CR LF),
// "\r", "\t" and "\0", which ends the text. False on any other escape,
// a backslash at the very end included.
bool DecodeEscapes(char *s)
{
    char *out = s;
    for (char *in = s; *in;) {
        if (*in != '\\') {
            *out++ = *in++;
            continue;
        }
        switch (in[1]) {
        case '\\': *out++ = '\\'; break;
        case 'n': *out++ = '\r'; *out++ = '\n'; break;
        case 'r': *out++ = '\r'; break;
        case 't': *out++ = '\t'; break;
        case '0': *out = 0; return true;
        default: return false;
        }
        in += 2;
    }
    *out = 0;
    return true;
}

// The font entries of the active language. False when the pool ran full.
bool LoadFonts(const char *xml, const char *end, const char *lang)
{
    char attr[kTextBytes];
    char16_t face[kTextUnits];
    for (const char *node = XmlFindElement(xml, end, "font"); node;
         node = XmlFindElement(node + 1, end, "font")) {
        XmlReadAttribute(node, end, "lang", attr, sizeof attr);
        if (strcmp(attr, lang) != 0)
            continue;

        XmlReadAttribute(node, end, "face", attr, sizeof attr);
        size_t units = DecodeUtf8Text(attr, strlen(attr), face, kTextUnits);
        if (units == 0)
            continue;  // a face name that is not UTF-8 names no font
        LanguageFont font{};
        font.face = static_cast<const char16_t *>(AddPoolData(face, units * sizeof(char16_t)));
        if (!font.face)
            return false;

        XmlReadAttribute(node, end, "size", attr, sizeof attr);
        const char *p = attr;
        ScanDecimal(p, attr + strlen(attr), &font.size);

        char key[kTextBytes + 8] = "font_";
        XmlReadAttribute(node, end, "class", key + 5, kTextBytes);
        const char *storedKey = static_cast<const char *>(AddPoolData(key, strlen(key) + 1));
        const void *record = storedKey ? AddPoolData(&font, sizeof font) : nullptr;
        if (!record)
            return false;
        AddEntry(storedKey, 0, record, true);
    }
    return true;
}

// The entries of one element name ("control" or "string") in the active
// language. False when loading has to stop.
bool LoadTexts(const char *xml, const char *end, const char *element, const char *lang,
               LanguageErrorFn onError)
{
    char attr[kTextBytes];
    char16_t text[kTextUnits];
    for (const char *node = XmlFindElement(xml, end, element); node;
         node = XmlFindElement(node + 1, end, element)) {
        XmlReadAttribute(node, end, "lang", attr, sizeof attr);
        if (strcmp(attr, lang) != 0 || !XmlReadAttribute(node, end, "key", attr, sizeof attr))
            continue;

        const char *key = static_cast<const char *>(AddPoolData(attr, strlen(attr) + 1));
        if (!key)
            return false;

        // A text that is too long or not closed is reported and left out,
        // so that the key shows as a placeholder rather than as nothing.
        if (!XmlReadNodeText(node, end, attr, sizeof attr)) {
            if (onError)
                onError(LANGUAGE_ERROR_DAMAGED, key);
            continue;
        }
        if (!DecodeEscapes(attr)) {
            if (onError)
                onError(LANGUAGE_ERROR_ESCAPE, key);
            return false;
        }
        size_t units = DecodeUtf8Text(attr, strlen(attr), text, kTextUnits);
        if (units == 0) {
            if (onError)
                onError(LANGUAGE_ERROR_UTF8, key);
            return false;
        }
        const void *value = AddPoolData(text, units * sizeof(char16_t));
        if (!value)
            return false;
        AddEntry(key, 0, value, false);
    }
    return true;
}

// Examines one line for "#define NAME NUMBER" (as "%s %d" reads it) and
// maps NUMBER to the text of NAME when there is one.
void AddHeaderLine(const char *p, const char *end)
{
    static const char kDefine[] = "#define";
    size_t n = sizeof kDefine - 1;
    if (static_cast<size_t>(end - p) < n || memcmp(p, kDefine, n) != 0)
        return;
    p += n;
    while (p < end && IsSpace(*p))
        ++p;
    const char *name = p;
    while (p < end && !IsSpace(*p))
        ++p;
    size_t len = static_cast<size_t>(p - name);
    int32_t id;
    if (len == 0 || len >= kTextBytes || !ScanDecimal(p, end, &id))
        return;
    char key[kTextBytes];
    memcpy(key, name, len);
    key[len] = 0;
    if (const char16_t *text = FindLanguageString(key))
        AddEntry(nullptr, id, text, false);
}

// Every line that a newline ends is examined; the scan stops at the first
// line without one.
void AddHeaderIds(const char *header, size_t len)
{
    const char *end = header + len;
    for (const char *p = header; p < end;) {
        const char *nl = static_cast<const char *>(memchr(p, '\n', static_cast<size_t>(end - p)));
        if (!nl)
            break;
        AddHeaderLine(p, nl);
        p = nl + 1;
    }
}

}  // namespace

const char *LanguageErrorCaption(LanguageError error)
{
    switch (error) {
    case LANGUAGE_ERROR_ESCAPE: return "QDSK: Unknown '\\' escape sequence in string";
    case LANGUAGE_ERROR_UTF8: return "QDSK: Error while decoding UTF-8 string";
    default: return "QDSK: String too long or not terminated";
    }
}

void SetPreferredLanguage(const char *code)
{
    size_t n = 0;
    if (code) {
        while (n < sizeof g_preferred - 1 && code[n])
            ++n;
        memcpy(g_preferred, code, n);
    }
    g_preferred[n] = 0;
}

const char *GetActiveLanguage(void)
{
    return g_preferred[0] ? g_preferred : "en";
}

void ClearLanguage(void)
{
    memset(g_entries, 0, sizeof g_entries);
    g_entryCount = 0;
    g_poolFill = 0;
}

int LoadLanguageText(const char *xml, size_t xmlLen, const char *idHeader, size_t headerLen,
                     LanguageErrorFn onError)
{
    const char *lang = GetActiveLanguage();
    ClearLanguage();
    if (!xml)
        return 0;
    const char *end = xml + xmlLen;
    if (!XmlFindElement(xml, end, "localization"))
        return 0;

    if (!LoadFonts(xml, end, lang) || !LoadTexts(xml, end, "control", lang, onError) ||
        !LoadTexts(xml, end, "string", lang, onError))
        return 0;

    // The file has no texts for Close and Help: those ids get the shared
    // placeholder buffer.
    AddEntry(nullptr, 1, GetLanguageString("IDOK"), false);
    AddEntry(nullptr, 2, GetLanguageString("IDCANCEL"), false);
    AddEntry(nullptr, 8, GetLanguageString("IDCLOSE"), false);
    AddEntry(nullptr, 9, GetLanguageString("IDHELP"), false);

    if (idHeader)
        AddHeaderIds(idHeader, headerLen);
    return 1;
}

const char16_t *FindLanguageString(const char *key)
{
    if (!key)
        return nullptr;
    const Entry *e = FindEntry(key);
    return e && !e->font ? static_cast<const char16_t *>(e->value) : nullptr;
}

const char16_t *GetLanguageString(const char *key)
{
    if (const char16_t *text = FindLanguageString(key))
        return text;
    // "[?]%hs[?]": the key's bytes widened, cut to fit the buffer.
    static const char kFrame[] = "[?]";
    const char *k = key ? key : "";
    size_t n = 0;
    for (const char *s = kFrame; *s; ++s)
        g_placeholder[n++] = static_cast<unsigned char>(*s);
    for (; *k && n < kPlaceholderUnits - 4; ++k)
        g_placeholder[n++] = static_cast<unsigned char>(*k);
    for (const char *s = kFrame; *s; ++s)
        g_placeholder[n++] = static_cast<unsigned char>(*s);
    g_placeholder[n] = 0;
    return g_placeholder;
}

const char16_t *GetLanguageControlText(int32_t id)
{
    if (id == 0)
        return nullptr;
    for (int i = 0; i < g_entryCount; ++i) {
        if (!g_entries[i].key && g_entries[i].id == id)
            return static_cast<const char16_t *>(g_entries[i].value);
    }
    return nullptr;
}

bool GetLanguageFont(const char *fontClass, LanguageFont *font)
{
    char key[kTextBytes + 8] = "font_";
    size_t len = strlen(fontClass);
    if (len >= kTextBytes)
        return false;
    memcpy(key + 5, fontClass, len + 1);
    const Entry *e = FindEntry(key);
    if (!e || !e->font)
        return false;
    memcpy(font, e->value, sizeof *font);  // pool items are only 4-byte aligned
    return true;
}

int LanguageEntryCount(void)
{
    return g_entryCount;
}

size_t LanguagePoolUsed(void)
{
    return g_poolFill;
}
