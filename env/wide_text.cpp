#include "env/wide_text.h"

#include <cstdlib>

std::u16string ToU16(const WCHAR *text)
{
    std::u16string out;
    for (; text && *text; ++text)
        out.push_back(static_cast<char16_t>(*text));
    return out;
}

WCHAR *DupText(const std::u16string &text)
{
    WCHAR *copy = static_cast<WCHAR *>(calloc(text.size() + 1, sizeof(WCHAR)));
    if (!copy)
        return nullptr;
    for (size_t i = 0; i < text.size(); ++i)
        copy[i] = static_cast<WCHAR>(text[i]);
    return copy;
}

HKEY RegRootKey(RegRoot root)
{
    switch (root) {
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::Users: return HKEY_USERS;
    case RegRoot::CurrentUser: break;
    }
    return HKEY_CURRENT_USER;
}
