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

namespace {

// What the bins of the fixed drives hold now.
bool MeasureBins(UINT64 *items, UINT64 *size)
{
    *items = *size = 0;
    WCHAR roots[256];
    DWORD length = GetLogicalDriveStringsW(256, roots);
    if (length == 0 || length >= 256)
        return false;
    SHQUERYRBINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    for (const WCHAR *root = roots; *root; root += lstrlenW(root) + 1) {
        if (GetDriveTypeW(root) != DRIVE_FIXED)
            continue;
        if (FAILED(SHQueryRecycleBinW(root, &info)))
            continue;
        *items += info.i64NumItems;
        *size += info.i64Size;
#ifdef __WINE__
        // Wine keeps one bin for every drive (the desktop's trash) and
        // answers the same figures for each root: count it once.
        break;
#endif
    }
    return true;
}

} // namespace

void RecycleBinInfo::Query()
{
    itemCount = totalSize = lastItemCount = lastTotalSize = 0;
    if (!MeasureBins(&itemCount, &totalSize))
        return;
    int row = FindRecycleBinRow();
    if (row >= 0 && itemCount && totalSize) {
        AddToCell(row, COL_NUMBER, itemCount);
        AddToCell(row, COL_SIZE, totalSize);
    }
}

void RecycleBinInfo::Empty()
{
    // The row shows what the emptying really did: what left the bins, by
    // measuring them again (nothing when the shell failed).
    HRESULT result = SHEmptyRecycleBinW(nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
    UINT64 items = itemCount, size = totalSize;
    if (SUCCEEDED(result))
        MeasureBins(&items, &size);
    lastItemCount = items < itemCount ? itemCount - items : 0;
    lastTotalSize = size < totalSize ? totalSize - size : 0;
    itemCount = items;
    totalSize = size;
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
