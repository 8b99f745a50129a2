#include "Mount/msgbox_ask.h"

#include "Mount/msgbox.h"

int AskWithCaption(HWND owner, const WCHAR *text, const WCHAR *caption, UINT style)
{
    if (SilentMode)
        return 0;
    return MessageBoxW(owner, text, caption, style);
}
