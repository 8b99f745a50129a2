// The Clean Trace command as a user meets it: the dialog opened from the
// tray menu, the list filled and counted, the recycle bin's row ticked and
// cleaned down to nothing.
#include "driver.h"

#include <commctrl.h>
#include <shellapi.h>

#include "Mount/resource.h"

#include <string>

namespace {

// List-view requests whose records must live in the program's own memory.
class RemoteList {
public:
    RemoteList(HANDLE process, HWND list) : process(process), list(list)
    {
        memory = static_cast<BYTE *>(
            VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteList()
    {
        if (memory)
            VirtualFreeEx(process, memory, 0, MEM_RELEASE);
    }
    int Rows() { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
    std::u16string Cell(int row, int column)
    {
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<WCHAR *>(memory + 512);
        item.cchTextMax = 200;
        WCHAR text[201] = {0};
        SIZE_T n = 0;
        if (!WriteProcessMemory(process, memory, &item, sizeof item, &n))
            return u"(unreadable)";
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(memory));
        ReadProcessMemory(process, memory + 512, text, 200 * sizeof(WCHAR), &n);
        return std::u16string(reinterpret_cast<const char16_t *>(text));
    }
    void Tick(int row)
    {
        LVITEMW item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(2);
        SIZE_T n = 0;
        WriteProcessMemory(process, memory, &item, sizeof item, &n);
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(memory));
    }
    bool ok() const { return memory != nullptr; }

private:
    HANDLE process;
    HWND list;
    BYTE *memory = nullptr;
};

// Throws a file of size bytes into the recycle bin (the prefix's own, the
// test run's XDG trash).
bool ThrowAway(const WCHAR *name, DWORD size)
{
    WCHAR temp[MAX_PATH], path[MAX_PATH + 1] = {0};
    GetTempPathW(MAX_PATH, temp);
    wsprintfW(path, L"%s%s", temp, name);
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::string bytes(size, 'r');
    DWORD put = 0;
    WriteFile(h, bytes.data(), size, &put, nullptr);
    CloseHandle(h);
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = path;
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return SHFileOperationW(&op) == 0 && GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES;
}

TEST(CleanTrace, DialogFromMenuCleansTheTickedRecycleBin)
{
    SHEmptyRecycleBinW(nullptr, nullptr, 7);
    ASSERT_TRUE(ThrowAway(L"vg-e2e-thrown.txt", 4321));
    Program prog;
    ASSERT_TRUE(StartProgram(prog));
    HWND main = WaitForWindow(prog.pid, L"MainWnd", nullptr, 60000);
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_APP + 3, 1, WM_RBUTTONDOWN);
    HWND menu = WaitForWindow(prog.pid, L"#32768", nullptr, 10000);
    ASSERT_NE(menu, nullptr);
    // Clean Trace is the third item from the end (Quit, Help, Clean Trace).
    SendKey(menu, VK_UP);
    SendKey(menu, VK_UP);
    SendKey(menu, VK_UP);
    SendKey(menu, VK_RETURN);
    HWND dialog = WaitForWindow(prog.pid, L"CustomDlg", L"清除使用痕迹", 10000);
    ASSERT_NE(dialog, nullptr) << "no clean dialog";
    // The scan ends by enabling Clean.
    for (int i = 0; i < 600 && !IsWindowEnabled(GetDlgItem(dialog, ID_CLEAN)); ++i)
        Sleep(100);
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(dialog, ID_CLEAN)));
    EXPECT_EQ(WindowText(GetDlgItem(dialog, ID_CLEAN)), u"清除(&O)");
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, prog.pid);
    ASSERT_NE(process, nullptr);
    RemoteList list(process, GetDlgItem(dialog, IDC_LISTAPP));
    ASSERT_TRUE(list.ok());
    ASSERT_GT(list.Rows(), 0) << "the list is empty";
    int bin = -1;
    for (int row = 0; row < list.Rows() && bin < 0; ++row)
        if (list.Cell(row, 0) == u"回收站")
            bin = row;
    ASSERT_GE(bin, 0) << "no recycle bin row";
    EXPECT_EQ(list.Cell(bin, 1), u"1");
    EXPECT_EQ(list.Cell(bin, 2), u"4321.00B");
    list.Tick(bin);
    EXPECT_TRUE(Screenshot("clean_dialog_scanned"));
    PressButton(dialog, ID_CLEAN);
    for (int i = 0; i < 100 && list.Cell(bin, 1) != u"0"; ++i)
        Sleep(100);
    EXPECT_EQ(list.Cell(bin, 1), u"0");
    EXPECT_EQ(list.Cell(bin, 2), u"0.00B");
    SHQUERYRBINFO info = {sizeof info};
    SHQueryRecycleBinW(L"C:\\", &info);
    EXPECT_EQ(info.i64NumItems, 0);
    EXPECT_TRUE(Screenshot("clean_dialog_cleaned"));
    CloseHandle(process);
    PressButton(dialog, IDCANCEL);
    for (int i = 0; i < 50 && IsWindow(dialog); ++i)
        Sleep(100);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(WaitForExit(prog, 0), (DWORD)STILL_ACTIVE);
    StopProgram(prog);
}

} // namespace
