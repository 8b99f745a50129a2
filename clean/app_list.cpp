// The clean dialog's application list and its cells.
#include "clean/app_list.h"

#include <commctrl.h>
#include <stdlib.h>

#include "Mount/language.h"
#include "clean/size_text.h"
#include "env/trace_db.h"

AppListView g_appList;

void AppListView::Attach(HWND list)
{
    hwnd = list;
    columns = 0;
    totals.clear();
    SendMessageW(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
}

void AppListView::InsertColumn(const WCHAR *text, int width)
{
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<WCHAR *>(text);
    column.cx = width;
    column.iSubItem = columns;
    if (SendMessageW(hwnd, LVM_INSERTCOLUMNW, columns, reinterpret_cast<LPARAM>(&column)) >= 0)
        ++columns;
}

int AppListView::InsertRow(int index, const WCHAR *text)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<WCHAR *>(text);
    item.lParam = 0;
    int row = static_cast<int>(SendMessageW(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row >= 0 && row <= static_cast<int>(totals.size()))
        totals.insert(totals.begin() + row, Totals{0, 0, -1});
    return row;
}

void AppListView::SetCell(int row, int column, const WCHAR *text)
{
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = const_cast<WCHAR *>(text);
    SendMessageW(hwnd, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void AppListView::GetCell(int row, int column, WCHAR *out, int units)
{
    out[0] = 0;
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = out;
    item.cchTextMax = units < 200 ? units : 200;
    SendMessageW(hwnd, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

int AppListView::RowCount()
{
    return hwnd ? static_cast<int>(SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

void AppListView::DeleteAllRows()
{
    SendMessageW(hwnd, LVM_DELETEALLITEMS, 0, 0);
    totals.clear();
}

void SetRowChecked(int row, BOOL checked)
{
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(g_appList.Window(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

BOOL IsRowChecked(int row)
{
    UINT state = static_cast<UINT>(
        SendMessageW(g_appList.Window(), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return ((state & LVIS_STATEIMAGEMASK) >> 12) != 1;
}

void FillAppList(void)
{
    for (INT32 i = 0; i < g_appCount; ++i) {
        const AppEntry *app = g_apps[i];
        if (!app || !app->DetectKey || !IsAppPresent(app->DetectKey))
            continue;
        int row = g_appList.InsertRow(i, app->name ? app->name : L"");
        if (row < 0)
            continue;
        WCHAR id[16];
        wsprintfW(id, L"%d", app->id);
        g_appList.SetCell(row, COL_NUMBER, L"0");
        g_appList.SetCell(row, COL_SIZE, L"0");
        g_appList.SetCell(row, COL_DETAIL, app->describe ? app->describe : L"");
        g_appList.SetCell(row, COL_ID, id);
        if (row < static_cast<int>(g_appList.totals.size()))
            g_appList.totals[row].id = app->id;
        SetRowChecked(row, FALSE);
    }
}

// Decimal text of a non-negative 64-bit value (the C runtimes of old Windows
// lack a portable 64-bit format).
static void WriteDecimal(INT64 value, char *out)
{
    char digits[24];
    int n = 0;
    UINT64 v = value < 0 ? 0 : static_cast<UINT64>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    while (n)
        *out++ = digits[--n];
    *out = 0;
}

void AddToCell(int row, int column, INT64 delta)
{
    if (row < 0 || row >= g_appList.RowCount() || (column != COL_NUMBER && column != COL_SIZE))
        return;
    WCHAR text[200];
    double value;
    bool known = row < static_cast<int>(g_appList.totals.size());
    if (known) {
        INT64 &total = column == COL_NUMBER ? g_appList.totals[row].count : g_appList.totals[row].size;
        total += delta;
        if (total < 0)
            total = 0;
        value = static_cast<double>(total);
    } else {
        // A row the wrapper did not insert: read the figure back from its text.
        g_appList.GetCell(row, column, text, 200);
        char narrow[200];
        WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
        value = ParseSizeText(narrow) + static_cast<double>(delta);
        if (value < 0)
            value = 0;
    }
    char narrow[64];
    if (column == COL_SIZE)
        FormatSizeText(value, narrow, sizeof narrow);
    else
        WriteDecimal(static_cast<INT64>(value), narrow);
    MultiByteToWideChar(CP_ACP, 0, narrow, -1, text, 200);
    g_appList.SetCell(row, column, text);
}

static INT32 RowAppId(int row)
{
    WCHAR text[200];
    g_appList.GetCell(row, COL_ID, text, 200);
    char narrow[200];
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return static_cast<INT32>(atoi(narrow));
}

int FindRowByAppId(INT32 id)
{
    int rows = g_appList.RowCount();
    if (rows == static_cast<int>(g_appList.totals.size())) {
        for (int row = 0; row < rows; ++row)
            if (g_appList.totals[row].id == id)
                return row;
        return -1;
    }
    for (int row = 0; row < rows; ++row)
        if (RowAppId(row) == id)
            return row;
    return -1;
}

int FindRecycleBinRow(void)
{
    const WCHAR *name = GetString("RECYCLEBIN");
    int rows = g_appList.RowCount();
    for (int row = 0; row < rows; ++row) {
        WCHAR text[200];
        g_appList.GetCell(row, COL_NAME, text, 200);
        if (lstrcmpiW(text, name) == 0)
            return row;
    }
    return -1;
}

AppEntry *FindAppById(INT32 id)
{
    for (INT32 i = 0; i < g_appCount; ++i)
        if (g_apps[i] && g_apps[i]->id == id)
            return g_apps[i];
    return nullptr;
}

BOOL IsRecycleBinSelected(void)
{
    int row = FindRecycleBinRow();
    if (row < 0)
        return FALSE;
    AppEntry *app = FindAppById(RowAppId(row));
    return app && app->uiFlag;
}

void CollectSelection(void)
{
    // An application without a row is never cleaned.
    for (INT32 i = 0; i < g_appCount; ++i)
        if (g_apps[i])
            g_apps[i]->uiFlag = 0;
    int rows = g_appList.RowCount();
    for (int row = 0; row < rows; ++row) {
        AppEntry *app = FindAppById(RowAppId(row));
        if (app)
            app->uiFlag = IsRowChecked(row) ? 1 : 0;
    }
}
