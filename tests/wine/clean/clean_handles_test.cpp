// Files other processes hold open, the handle closer that frees them, the
// recycle bin row, and closing traced applications before a quit.
#include "clean_support.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "../mount/process_support.h"
#include "clean/handle_closer.h"

using namespace clean_test;

namespace {

NtQueryObjectFn g_realQuery;
HANDLE g_swapHolder, g_swapValue, g_innocent, g_innocentThere;

// The real name query, except that it never returns for files whose name
// holds "blocker" (as a query on a waiting pipe hangs on Windows).
LONG NTAPI BlockingQuery(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    LONG status = g_realQuery(handle, infoClass, buffer, length, returned);
    if (status == 0 && infoClass == 1) {
        struct Counted {
            USHORT Length, MaximumLength;
            WCHAR *Buffer;
        } *name = static_cast<Counted *>(buffer);
        WCHAR copy[1024] = {0};
        lstrcpynW(copy, name->Buffer, name->Length / 2 + 1 < 1024 ? name->Length / 2 + 1 : 1024);
        if (StrStrIW(copy, L"blocker"))
            Sleep(INFINITE);
        if (StrStrIW(copy, L"swapped") && g_swapHolder && g_swapValue) {
            // Between the closer's name check and its close, the owner closes
            // the handle and opens another file under the same value.
            HANDLE taken = nullptr;
            DuplicateHandle(g_swapHolder, g_swapValue, GetCurrentProcess(), &taken, 0, FALSE,
                            DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS);
            if (taken)
                CloseHandle(taken);
            // Lower free values are taken first: fill them until the old
            // value comes round, then give the fillers back.
            HANDLE fillers[64];
            int filled = 0;
            for (; filled < 64; ++filled) {
                HANDLE there = nullptr;
                DuplicateHandle(GetCurrentProcess(), g_innocent, g_swapHolder, &there, 0, FALSE,
                                DUPLICATE_SAME_ACCESS);
                if (there == g_swapValue || !there) {
                    g_innocentThere = there;
                    break;
                }
                fillers[filled] = there;
            }
            for (int i = 0; i < filled && i < 64; ++i) {
                HANDLE back = nullptr;
                DuplicateHandle(g_swapHolder, fillers[i], GetCurrentProcess(), &back, 0, FALSE,
                                DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS);
                if (back)
                    CloseHandle(back);
            }
            g_swapHolder = nullptr;
        }
    }
    return status;
}

bool StillRuns(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

TEST(CleanHandles, LockedFileIsScheduledThenFreedWhileItsOwnerRuns)
{
    ScratchDir dir(L"locked");
    SetEnvironmentVariableW(L"VGCLEAN", dir.path);
    WCHAR traces[MAX_PATH], held[MAX_PATH], spare[MAX_PATH];
    dir.File(L"traces", traces);
    CreateDirectoryW(traces, nullptr);
    dir.File(L"traces\\held.dat", held);
    dir.File(L"traces\\spare.dat", spare);
    ASSERT_TRUE(MakeFile(held, 100));
    ASSERT_TRUE(MakeFile(spare, 50));
    ASSERT_TRUE(LoadCleanTables(dir, "insert into apps values (1,'Alpha','a','%VGCLEAN%',NULL,NULL,NULL);"
                                     "insert into apppaths values (1,'%VGCLEAN%\\traces\\',NULL,0,0);"));
    // The only handle on the file lives in another process, without delete
    // sharing.
    HANDLE holder = StartNamedProcess(dir.path, L"holder.exe", TRUE);
    ASSERT_NE(holder, nullptr);
    HANDLE mine = CreateFileW(held, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(mine, INVALID_HANDLE_VALUE);
    HANDLE theirs = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), mine, holder, &theirs, 0, FALSE,
                                DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE));
    ASSERT_FALSE(DeleteFileW(held)) << "the file is not held";

    TestList list;
    FillAppList();
    ScanFileTraces(nullptr, nullptr);
    EXPECT_EQ(list.Cell(1, COL_NUMBER), "2");
    EXPECT_EQ(list.Cell(1, COL_SIZE), "150.00B");
    SetRowChecked(FindRowByAppId(1), TRUE);
    CollectSelection();
    UINT64 pendingBefore = pendingDeleteCount;
    CleanFileTraces(nullptr, nullptr);
    // Freed and deleted by closing the holder's handle before anything was
    // scheduled for the restart: nothing is left scheduled.
    EXPECT_EQ(pendingDeleteCount, pendingBefore);
    EXPECT_EQ(list.Cell(1, COL_NUMBER), "0");
    EXPECT_EQ(list.Cell(1, COL_SIZE), "0.00B");
    EXPECT_FALSE(FileExists(held));
    EXPECT_FALSE(FileExists(spare));
    EXPECT_TRUE(undeletedPaths.empty());
    EXPECT_TRUE(StillRuns(holder)) << "the holder was ended";
    HANDLE probe = nullptr;
    EXPECT_FALSE(DuplicateHandle(holder, theirs, GetCurrentProcess(), &probe, 0, FALSE, DUPLICATE_SAME_ACCESS))
        << "the holder's handle is still open";
    TerminateProcess(holder, 0);
    WaitForSingleObject(holder, 5000);
    CloseHandle(holder);
    FreeCleanTables();
}

TEST(CleanHandles, BlockingNameQueryCostsFiftyMsAndIsSkipped)
{
    ScratchDir dir(L"blocking");
    WCHAR blocker[MAX_PATH], plain[MAX_PATH];
    dir.File(L"blocker.txt", blocker);
    dir.File(L"plain.txt", plain);
    ASSERT_TRUE(MakeFile(blocker, 1));
    ASSERT_TRUE(MakeFile(plain, 1));
    EXPECT_NE(FileObjectTypeNumber(), 0) << "the file handle type was not found";
    g_realQuery = reinterpret_cast<NtQueryObjectFn>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    ASSERT_NE(g_realQuery, nullptr);
    g_NtQueryObject = BlockingQuery;
    HANDLE b = CreateFileW(blocker, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE p = CreateFileW(plain, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    ASSERT_NE(p, INVALID_HANDLE_VALUE);
    DWORD self = GetCurrentProcessId();

    DWORD start = GetTickCount();
    std::u16string name = QueryHandleName(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(b)), self);
    DWORD took = GetTickCount() - start;
    EXPECT_TRUE(name.empty());
    EXPECT_GE(took, 40u);
    EXPECT_LT(took, 1000u);
    // The next query is served by a fresh worker, in drive-letter form.
    name = QueryHandleName(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(p)), self);
    EXPECT_EQ(lstrcmpiW(reinterpret_cast<const WCHAR *>(name.c_str()), plain), 0) << Utf8(
        reinterpret_cast<const WCHAR *>(name.c_str()));

    // The whole closer, on handles another process holds: it passes over
    // the blocking one, frees the plain file, leaves a handle whose value
    // came to name another file between check and close, and never touches
    // this program's own handles.
    HANDLE holder = StartNamedProcess(dir.path, L"holder.exe", TRUE);
    ASSERT_NE(holder, nullptr);
    WCHAR swapped[MAX_PATH], innocent[MAX_PATH], own[MAX_PATH];
    dir.File(L"swapped.txt", swapped);
    dir.File(L"innocent.txt", innocent);
    dir.File(L"own.txt", own);
    for (const WCHAR *f : {swapped, innocent, own})
        ASSERT_TRUE(MakeFile(f, 1));
    HANDLE s = CreateFileW(swapped, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    g_innocent = CreateFileW(innocent, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE mine = CreateFileW(own, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(s != INVALID_HANDLE_VALUE && g_innocent != INVALID_HANDLE_VALUE && mine != INVALID_HANDLE_VALUE);
    HANDLE theirs[3] = {nullptr, nullptr, nullptr};
    HANDLE *mineToGive[3] = {&b, &p, &s};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), *mineToGive[i], holder, &theirs[i], 0, FALSE,
                                    DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE));
    g_swapHolder = holder;
    g_swapValue = theirs[2];
    PathList paths;
    for (const WCHAR *f : {plain, blocker, swapped, own})
        paths.push_back(std::u16string(reinterpret_cast<const char16_t *>(f)));
    CloseFileHandles(paths);
    g_NtQueryObject = g_realQuery;
    EXPECT_FALSE(FileExists(plain));
    EXPECT_TRUE(FileExists(blocker));
    EXPECT_TRUE(FileExists(own)) << "this program's own handle was closed";
    BY_HANDLE_FILE_INFORMATION info;
    EXPECT_TRUE(GetFileInformationByHandle(mine, &info));
    ASSERT_EQ(g_swapHolder, nullptr) << "the swap never happened";
    EXPECT_EQ(g_innocentThere, g_swapValue) << "the owner's new handle did not take the old value";
    HANDLE probe = nullptr;
    EXPECT_TRUE(DuplicateHandle(holder, g_innocentThere, GetCurrentProcess(), &probe, 0, FALSE, DUPLICATE_SAME_ACCESS))
        << "a handle that no longer named the file was closed";
    if (probe)
        CloseHandle(probe);
    TerminateProcess(holder, 0);
    WaitForSingleObject(holder, 5000);
    CloseHandle(holder);
    CloseHandle(mine);
    CloseHandle(g_innocent);
}

TEST(CleanRecycleBin, CountedInItsRowAndEmptiedWhenTicked)
{
    ScratchDir dir(L"trash");
    WCHAR trash[MAX_PATH], file[MAX_PATH + 1] = {0};
    dir.File(L"xdg", trash);
    CreateDirectoryW(trash, nullptr);
    PrivateTrash(trash);
    dir.File(L"thrown.txt", file);
    ASSERT_TRUE(MakeFile(file, 1234));
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = file;  // double-NUL terminated
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    ASSERT_EQ(SHFileOperationW(&op), 0);
    ASSERT_FALSE(FileExists(file));

    InitCleanUi();
    std::string rows = "insert into apps values (26,'" + Utf8(GetString("RECYCLEBIN")) +
                       "','bin','HKCU\\Software',NULL,NULL,NULL);";
    ASSERT_TRUE(LoadCleanTables(dir, rows));
    TestList list;
    FillAppList();
    ASSERT_EQ(FindRecycleBinRow(), FindRowByAppId(26));
    ASSERT_GE(FindRecycleBinRow(), 0);
    RecycleBinInfo *bin = GetRecycleBinInfo();
    bin->Query();
    EXPECT_EQ(bin->itemCount, 1u);
    EXPECT_EQ(bin->totalSize, 1234u);
    EXPECT_EQ(list.Cell(26, COL_NUMBER), "1");
    EXPECT_EQ(list.Cell(26, COL_SIZE), "1234.00B");
    CollectSelection();
    EXPECT_FALSE(IsRecycleBinSelected());
    SetRowChecked(FindRecycleBinRow(), TRUE);
    CollectSelection();
    EXPECT_TRUE(IsRecycleBinSelected());
    bin->Empty();
    EXPECT_EQ(bin->lastItemCount, 1u);
    EXPECT_EQ(list.Cell(26, COL_NUMBER), "0");
    EXPECT_EQ(list.Cell(26, COL_SIZE), "0.00B");
    SHQUERYRBINFO info = {sizeof info};
    ASSERT_EQ(SHQueryRecycleBinW(L"C:\\", &info), S_OK);
    EXPECT_EQ(info.i64NumItems, 0);
    FreeCleanTables();
}

TEST(CleanTracedApps, ModeZeroLeavesAllAndYesEndsOnlyTracedOnes)
{
    InitCleanUi();
    ScratchDir dir(L"traced");
    ASSERT_TRUE(LoadCleanTables(dir, "insert into apps values (1,'T','t',NULL,NULL,'vgtraced.exe',NULL);"
                                     "insert into apps values (2,'E','e',NULL,NULL,'',NULL);"));
    HANDLE traced = StartNamedProcess(dir.path, L"vgtraced.exe", TRUE);
    HANDLE longer = StartNamedProcess(dir.path, L"oldvgtraced.exe", TRUE);
    HANDLE other = StartNamedProcess(dir.path, L"bystander.exe", TRUE);
    ASSERT_TRUE(traced && longer && other);
    BOOL result = FALSE;
    const WCHAR *caption = GetString("INFORMATION");
    auto close = [&](int mode) { return [&result, mode] { result = CloseTracedApplications(nullptr, mode); }; };
    // Mode 0: no question, nothing ended.
    std::vector<std::string> boxes = RunAnsweringBoxes(close(0), caption);
    EXPECT_TRUE(result);
    EXPECT_TRUE(boxes.empty());
    // Cancel stops the quit; No goes on without ending anything.
    boxes = RunAnsweringBoxes(close(1), caption, {IDCANCEL});
    EXPECT_FALSE(result);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], Utf8(GetString("CLOSEAPPBEFORELOGOFF")));
    boxes = RunAnsweringBoxes(close(1), caption, {IDNO});
    EXPECT_TRUE(result);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(StillRuns(traced) && StillRuns(longer) && StillRuns(other));
    // Yes closes every process whose executable has the name as its whole
    // file name (not one whose longer name holds it); the empty name of
    // application 2 ends nothing.
    boxes = RunAnsweringBoxes(close(1), caption, {IDYES});
    EXPECT_TRUE(result);
    EXPECT_EQ(WaitForSingleObject(traced, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(StillRuns(longer)) << "a longer name holding the traced one was ended";
    EXPECT_TRUE(StillRuns(other));
    for (HANDLE h : {traced, longer, other}) {
        TerminateProcess(h, 0);
        CloseHandle(h);
    }
    FreeCleanTables();
}

} // namespace
