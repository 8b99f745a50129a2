// The language file: the scanner and the dictionary load over any bytes,
// then the lookups over what was loaded, and the UTF-8 decoder on its own.
// Input: the language file; the bytes after a first "\n#define" go in as the
// resource header whose names map control ids.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "Mount/lang/language_text.h"
#include "Mount/lang/utf8_decode.h"
#include "Mount/lang/xml_scan.h"

namespace {

void IgnoreError(LanguageError, const char *) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    // Copies without a terminator behind them: the scanner must keep to
    // [pos, end) on its own.
    std::string xml(text, size);
    size_t split = xml.find("\n#define");
    std::string header = split == std::string::npos ? std::string() : xml.substr(split + 1);
    if (split != std::string::npos)
        xml.resize(split);

    static const char *const kLanguages[] = {"en", "zh-CN", "chs"};
    SetPreferredLanguage(kLanguages[size % 3]);
    LoadLanguageText(xml.data(), xml.size(), header.empty() ? nullptr : header.data(), header.size(),
                     IgnoreError);
    GetLanguageString("NEW_DBFILE");
    FindLanguageString("SAVE_TO");
    for (int32_t id = 0; id < 8; id++)
        GetLanguageControlText(id);
    LanguageFont font;
    GetLanguageFont("normal", &font);
    GetLanguageFont("title", &font);

    // The scanner's pieces on the raw bytes.
    const char *end = text + size;
    char value[64], body[128];
    for (const char *node = XmlNextNode(text, end); node; node = XmlNextNode(node + 1, end)) {
        XmlReadAttribute(node, end, "name", value, sizeof value);
        XmlReadNodeText(node, end, body, sizeof body);
    }
    XmlFindElement(text, end, "localization");

    // The decoder, also into a buffer that is too small.
    char16_t units[512];
    size_t len = size > 1000 ? 1000 : size;
    DecodeUtf8Text(text, len, units, sizeof units / sizeof units[0]);
    DecodeUtf8Text(text, len, units, 3);
    ClearLanguage();
    return 0;
}
