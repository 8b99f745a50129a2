// The recycle bins of the fixed drives, counted into the list's recycle-bin
// row and emptied through the shell.
#include "clean/clean_ops.h"

#include <shellapi.h>

#include "clean/app_list.h"

// Emptying without confirmation, progress window or sound.
#ifndef SHERB_NOCONFIRMATION
#define SHERB_NOCONFIRMATION 0x1
#define SHERB_NOPROGRESSUI 0x2
#define SHERB_NOSOUND 0x4
#endif

RecycleBinInfo::RecycleBinInfo() : itemCount(0), totalSize(0), lastItemCount(0), lastTotalSize(0) {}

void RecycleBinInfo::Query()
{
    itemCount = totalSize = lastItemCount = lastTotalSize = 0;
    WCHAR roots[256];
    DWORD length = GetLogicalDriveStringsW(256, roots);
    if (length == 0 || length >= 256)
        return;
    SHQUERYRBINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    for (const WCHAR *root = roots; *root; root += lstrlenW(root) + 1) {
        if (GetDriveTypeW(root) != DRIVE_FIXED)
            continue;
        if (FAILED(SHQueryRecycleBinW(root, &info)))
            continue;
        itemCount += info.i64NumItems;
        totalSize += info.i64Size;
        int row = FindRecycleBinRow();
        if (row >= 0 && info.i64NumItems && info.i64Size) {
            AddToCell(row, COL_NUMBER, info.i64NumItems);
            AddToCell(row, COL_SIZE, info.i64Size);
        }
#ifdef __WINE__
        // Wine keeps one bin for every drive (the desktop's trash) and
        // answers the same figures for each root: count it once.
        break;
#endif
    }
}

void RecycleBinInfo::Empty()
{
    SHEmptyRecycleBinW(nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
    lastItemCount = itemCount;
    lastTotalSize = totalSize;
    itemCount = totalSize = 0;
    int row = FindRecycleBinRow();
    if (row >= 0) {
        AddToCell(row, COL_NUMBER, -static_cast<INT64>(lastItemCount));
        AddToCell(row, COL_SIZE, -static_cast<INT64>(lastTotalSize));
    }
}

RecycleBinInfo *GetRecycleBinInfo(void)
{
    static RecycleBinInfo *instance;
    if (!instance)
        instance = new RecycleBinInfo();
    return instance;
}
