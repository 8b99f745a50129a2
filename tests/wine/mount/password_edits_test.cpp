// However a password dialog closes (OK, Cancel, Esc, its close box, its
// owner destroyed), each of its password edits holds only "X" letters when
// it goes: what the edit control keeps of a password is gone with it.
#include "gtest_wine.h"

#include <string>
#include <vector>

#include "Mount/password_dialog.h"
#include "Mount/resource.h"
#include "Mount/session_flows.h"
#include "wine/volume/volume_support.h"

namespace {

// The text each password edit held when it was destroyed.
std::vector<std::u16string> g_lastTexts;
WNDPROC g_editProc;

LRESULT CALLBACK RecordingEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY) {
        WCHAR text[256] = {0};
        CallWindowProcW(g_editProc, edit, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
        g_lastTexts.push_back(reinterpret_cast<const char16_t *>(text));
    }
    return CallWindowProcW(g_editProc, edit, msg, wParam, lParam);
}

// The owner of the dialog; WM_APP makes its own thread destroy it.
LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_APP) {
        DestroyWindow(hwnd);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

struct DialogRun {
    bool change;  // the change-password dialog, else the login dialog
    HWND owner;
    QdskPassword password;
};

DWORD WINAPI RunDialog(LPVOID param)
{
    DialogRun *run = static_cast<DialogRun *>(param);
    run->owner = CreateWindowExW(0, L"VgPasswordOwner", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    if (run->change)
        ChangePassword(run->owner);
    else
        AskPassword(run->owner, &run->password);
    if (IsWindow(run->owner))
        DestroyWindow(run->owner);
    return 0;
}

struct FindDialog {
    HWND found;
};

BOOL CALLBACK MatchPasswordDialog(HWND window, LPARAM param)
{
    if (GetDlgItem(window, IDC_PASSWORD) && IsWindowVisible(window)) {
        reinterpret_cast<FindDialog *>(param)->found = window;
        return FALSE;
    }
    return TRUE;
}

class PasswordEdits : public volume_test::VolumeTest {};

TEST_F(PasswordEdits, EveryWayOfClosingLeavesOnlyXs)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VgPasswordOwner";
    RegisterClassW(&wc);
    const std::u16string xs(QDSK_MAX_PASSWORD, u'X');
    enum Way { kOk, kCancel, kEscape, kCloseBox, kOwnerGone };
    const char *names[] = {"OK", "Cancel", "Esc", "close box", "owner destroyed"};

    for (bool change : {false, true}) {
        for (Way way : {kOk, kCancel, kEscape, kCloseBox, kOwnerGone}) {
            if (change && way == kOk)
                continue;  // the change dialog closes on OK only after a change that worked
            SCOPED_TRACE(std::string(change ? "change dialog, " : "login dialog, ") + names[way]);
            g_lastTexts.clear();
            DialogRun run = {change, nullptr, {}};
            DWORD threadId = 0;
            HANDLE thread = CreateThread(nullptr, 0, RunDialog, &run, 0, &threadId);
            FindDialog find = {};
            for (int i = 0; i < 500 && !find.found; ++i) {
                Sleep(10);
                EnumThreadWindows(threadId, MatchPasswordDialog, reinterpret_cast<LPARAM>(&find));
            }
            ASSERT_NE(find.found, nullptr) << "no password dialog";
            HWND dialog = find.found;
            int edits = 0;
            for (int id : {IDC_OLD_PASSWORD, IDC_PASSWORD, IDC_VERIFY}) {
                HWND edit = GetDlgItem(dialog, id);
                if (!edit)
                    continue;
                ++edits;
                g_editProc = reinterpret_cast<WNDPROC>(
                    SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingEditProc)));
                SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed secret"));
            }
            switch (way) {
            case kOk:
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                break;
            case kCancel:
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                break;
            case kEscape:
                PostMessageW(GetDlgItem(dialog, IDC_PASSWORD), WM_KEYDOWN, VK_ESCAPE, 0);
                break;
            case kCloseBox:
                PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            case kOwnerGone:
                PostMessageW(run.owner, WM_APP, 0, 0);
                break;
            }
            ASSERT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0) << "the dialog did not close";
            CloseHandle(thread);
            ASSERT_EQ(g_lastTexts.size(), size_t(edits));
            for (const std::u16string &text : g_lastTexts)
                EXPECT_TRUE(text == xs);
            if (way == kOk)
                EXPECT_EQ(run.password.ByteCount, 12u) << "what was typed reached the record";
            SecureZeroMemory(&run.password, sizeof run.password);
        }
    }
}

}  // namespace
