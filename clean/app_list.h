// The application list of the clean dialog: one row per installed
// application with the number and size of its traces, and the helpers that
// the cleaning passes report through.
#pragma once
#include <windows.h>

#include <vector>

// A thin wrapper of the list control.
class AppListView {
public:
    void Attach(HWND list);
    void InsertColumn(const WCHAR *text, int width);
    int InsertRow(int index, const WCHAR *text);
    void SetCell(int row, int column, const WCHAR *text);
    void GetCell(int row, int column, WCHAR *out, int units);  // at most 200 units
    int RowCount();
    void DeleteAllRows();
    HWND Window() const { return hwnd; }

    // The exact figures behind the NUMBER and SIZE cells of each row: the
    // cells show rounded texts, so sums taken back from them would drift.
    // The id of column 4 is kept beside them, so that finding a row costs no
    // round trip to the control for every row.
    struct Totals {
        INT64 count;
        INT64 size;
        INT32 id;
    };
    std::vector<Totals> totals;

private:
    HWND hwnd = nullptr;
    int columns = 0;
};

extern AppListView g_appList;

// Columns of the list.
enum { COL_NAME = 0, COL_NUMBER = 1, COL_SIZE = 2, COL_DETAIL = 3, COL_ID = 4 };

// One row per application of the table that has a DetectKey and is present.
void FillAppList(void);

// Adds delta to the NUMBER or SIZE cell of row and rewrites it.
void AddToCell(int row, int column, INT64 delta);

int FindRowByAppId(INT32 id);
struct AppEntry;
AppEntry *FindAppById(INT32 id);
int FindRecycleBinRow(void);
BOOL IsRecycleBinSelected(void);

// Copies each row's tick into its application's uiFlag.
void CollectSelection(void);

// Ticks or unticks a row (tests and the dialog's keyboard use).
void SetRowChecked(int row, BOOL checked);
BOOL IsRowChecked(int row);
