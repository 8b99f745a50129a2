// Win32 side of localization: the language file and the identifier header
// come from the resources; texts go into dialogs and error boxes.
#include "language.h"

#include "app_state.h"
#include "lang/language_text.h"
#include "resource.h"

static_assert(sizeof(WCHAR) == sizeof(char16_t), "texts are stored as 16-bit units");

char g_szLastLocalizedDialog[64];

// A resource of the program, read in place.
static const char *LockResourceBytes(int id, const WCHAR *type, size_t *size)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!res)
        return nullptr;
    HGLOBAL mem = LoadResource(module, res);
    if (!mem)
        return nullptr;
    *size = SizeofResource(module, res);
    return static_cast<const char *>(LockResource(mem));
}

static void ReportLanguageError(LanguageError error, const char *key)
{
    MessageBoxA(nullptr, key, LanguageErrorCaption(error), MB_ICONERROR);
}

int LoadLanguage(void)
{
    // The language file is located once per process.
    static const char *xml;
    static size_t xmlSize;
    if (!xml)
        xml = LockResourceBytes(IDR_LANGUAGE, L"XML", &xmlSize);
    if (!xml) {
        ClearLanguage();
        return 0;
    }
    size_t headerSize = 0;
    const char *header = LockResourceBytes(IDR_HEADER, L"HEADER", &headerSize);
    return LoadLanguageText(xml, xmlSize, header, header ? headerSize : 0, ReportLanguageError);
}

const WCHAR *GetString(const char *key)
{
    return reinterpret_cast<const WCHAR *>(GetLanguageString(key));
}

static BOOL CALLBACK LocalizeChild(HWND child, LPARAM)
{
    int id = GetDlgCtrlID(child);
    if (id != 0) {
        const char16_t *text = GetLanguageControlText(id);
        if (text)
            SetWindowTextW(child, reinterpret_cast<const WCHAR *>(text));
    }
    return TRUE;
}

void LocalizeDialog(HWND dialog, const char *key)
{
    if (key) {
        lstrcpynA(g_szLastLocalizedDialog, key, sizeof(g_szLastLocalizedDialog));
        SetWindowTextW(dialog, GetString(key));
    } else {
        SetWindowTextA(dialog, "Veilguard");
    }
    // No dialog font is ever created: the templates keep their own fonts.
    SendMessageW(dialog, WM_SETFONT, 0, 0);
    EnumChildWindows(dialog, LocalizeChild, 0);
}
