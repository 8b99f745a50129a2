#include "splash.h"

#include "app_state.h"
#include "resource.h"
#include "splash_logic.h"

// FreeImage under Winelib must use the library's own (Unix) calling
// convention: it is the Linux library, not a DLL.
#ifdef __WINE__
#define FREEIMAGE_LIB
#endif
#ifndef _WINDOWS_
#define _WINDOWS_
#define VG_UNDEF_WINDOWS_
#endif
#include <FreeImage.h>
#ifdef VG_UNDEF_WINDOWS_
#undef _WINDOWS_
#endif

static DWORD s_threadId;
static SplashState s_state;
static FIBITMAP *s_picture;       // kept by the plain-window variant
static HBITMAP s_layeredBitmap;   // kept by the layered variant to redraw each fade step
static SIZE s_size;
static POINT s_position;

// Decodes the PNG resource; null when it is missing or not a picture.
static FIBITMAP *LoadSplashPicture(void)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(IDR_SPLASH), MAKEINTRESOURCEW(RT_SPLASH_PNG));
    HGLOBAL mem = res ? LoadResource(module, res) : nullptr;
    BYTE *data = mem ? static_cast<BYTE *>(LockResource(mem)) : nullptr;
    if (!data)
        return nullptr;
    FIMEMORY *stream = FreeImage_OpenMemory(data, SizeofResource(module, res));
    if (!stream)
        return nullptr;
    FIBITMAP *picture = nullptr;
    FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(stream, 0);
    if (format != FIF_UNKNOWN)
        picture = FreeImage_LoadFromMemory(format, stream, 0);
    FreeImage_CloseMemory(stream);
    // Both window variants read 32-bit B,G,R,A rows.
    if (picture && FreeImage_GetInfoHeader(picture)->biBitCount != 32) {
        FreeImage_Unload(picture);
        picture = nullptr;
    }
    return picture;
}

static void CentreOnScreen(FIBITMAP *picture)
{
    s_size.cx = FreeImage_GetWidth(picture);
    s_size.cy = FreeImage_GetHeight(picture);
    s_position.x = (GetSystemMetrics(SM_CXSCREEN) - s_size.cx) / 2;
    s_position.y = (GetSystemMetrics(SM_CYSCREEN) - s_size.cy) / 2;
}

static void UpdateLayered(HWND hwnd)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, s_layeredBitmap);
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(s_state.alpha), AC_SRC_ALPHA};
    UpdateLayeredWindow(hwnd, screen, &s_position, &s_size, memory, &source, 0, &blend, ULW_ALPHA);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

static LRESULT CALLBACK LayeredSplashProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: {
        s_state = SplashState();
        SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
        FIBITMAP *picture = LoadSplashPicture();
        if (!picture)
            return -1;
        CentreOnScreen(picture);
        PremultiplyAlpha(FreeImage_GetBits(picture), static_cast<size_t>(s_size.cx) * s_size.cy);
        HDC screen = GetDC(nullptr);
        s_layeredBitmap = CreateDIBitmap(screen, FreeImage_GetInfoHeader(picture), CBM_INIT,
                                         FreeImage_GetBits(picture), FreeImage_GetInfo(picture), DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        FreeImage_Unload(picture);
        if (!s_layeredBitmap)
            return -1;
        UpdateLayered(hwnd);
        SetTimer(hwnd, 0, 70, nullptr);
        return 0;
    }
    case WM_TIMER:
        switch (SplashTick(s_state)) {
        case SPLASH_DESTROY:
            DestroyWindow(hwnd);
            break;
        case SPLASH_SHOW:
            // The picture goes along with every new blend: some systems do
            // not redraw a layered window from the blend alone.
            UpdateLayered(hwnd);
            break;
        case SPLASH_HOLD:
            break;
        }
        return 0;
    case WM_CLOSE:
        s_state.closeFlag = true;
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, 0);
        if (s_layeredBitmap) {
            DeleteObject(s_layeredBitmap);
            s_layeredBitmap = nullptr;
        }
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Without per-pixel alpha the window is cut to the picture's opaque shape.
static void SetPictureRegion(HWND hwnd)
{
    SplashRect *runs = nullptr;
    int count = OpaqueRuns(FreeImage_GetBits(s_picture), s_size.cx, s_size.cy, &runs);
    if (count < 0)
        return;  // no memory for the shape: the plain rectangle stays
    DWORD size = sizeof(RGNDATAHEADER) + count * sizeof(RECT);
    RGNDATA *rgn = static_cast<RGNDATA *>(HeapAlloc(GetProcessHeap(), 0, size));
    if (rgn) {
        rgn->rdh.dwSize = sizeof(RGNDATAHEADER);
        rgn->rdh.iType = RDH_RECTANGLES;
        rgn->rdh.nCount = count;
        rgn->rdh.nRgnSize = count * sizeof(RECT);
        SetRect(&rgn->rdh.rcBound, 0, 0, s_size.cx, s_size.cy);
        RECT *rects = reinterpret_cast<RECT *>(rgn->Buffer);
        for (int i = 0; i < count; ++i)
            SetRect(&rects[i], runs[i].left, runs[i].top, runs[i].right, runs[i].bottom);
        HRGN region = ExtCreateRegion(nullptr, size, rgn);
        if (region)
            SetWindowRgn(hwnd, region, TRUE);  // the window owns the region now
        HeapFree(GetProcessHeap(), 0, rgn);
    }
    free(runs);
}

static LRESULT CALLBACK PlainSplashProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        s_state = SplashState();
        s_picture = LoadSplashPicture();
        if (!s_picture)
            return -1;
        CentreOnScreen(s_picture);
        MoveWindow(hwnd, s_position.x, s_position.y, s_size.cx, s_size.cy, FALSE);
        SetTimer(hwnd, 0, 70, nullptr);
        SetPictureRegion(hwnd);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBITMAP bitmap = CreateDIBitmap(dc, FreeImage_GetInfoHeader(s_picture), CBM_INIT, FreeImage_GetBits(s_picture),
                                        FreeImage_GetInfo(s_picture), DIB_RGB_COLORS);
        if (!bitmap) {
            MessageBoxW(hwnd, L"Failed to create bitmap", nullptr, MB_OK);
        } else {
            HDC memory = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(memory, bitmap);
            if (!BitBlt(dc, 0, 0, s_size.cx, s_size.cy, memory, 0, 0, SRCCOPY)) {
                WCHAR text[64];
                wsprintfW(text, L"BitBlt failed (error=%d)", (int)GetLastError());
                MessageBoxW(hwnd, text, nullptr, MB_OK);
            }
            SelectObject(memory, old);
            DeleteDC(memory);
            DeleteObject(bitmap);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_TIMER:
        // The alpha only measures time here: the window is not faded.
        if (SplashTick(s_state) == SPLASH_DESTROY)
            DestroyWindow(hwnd);
        return 0;
    case WM_CLOSE:
        s_state.closeFlag = true;
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, 0);
        if (s_picture) {
            FreeImage_Unload(s_picture);
            s_picture = nullptr;
        }
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

BOOL RegisterSplashClass(HINSTANCE instance)
{
    HDC screen = GetDC(nullptr);
    int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = bits >= 32 ? LayeredSplashProc : PlainSplashProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"SplashWnd";
    return RegisterClassW(&wc) != 0;
}

static DWORD WINAPI SplashThread(LPVOID)
{
    HWND hwnd = CreateWindowExW(WS_EX_NOACTIVATE, L"SplashWnd", L"", WS_POPUP | WS_VISIBLE, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!hwnd)
        return 0;  // no picture: start-up goes on at once
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!msg.hwnd)
            msg.hwnd = hwnd;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
    return 0;
}

HANDLE StartSplash(void)
{
    // The caller owns (and closes) the handle; none is kept here, so none
    // can be used after it was closed.
    return CreateThread(nullptr, 0, SplashThread, nullptr, 0, &s_threadId);
}
