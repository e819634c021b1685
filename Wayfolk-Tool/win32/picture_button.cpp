#include "picture_button.h"

#include <string>

namespace wayfolk::win32 {

namespace {

struct PictureButtonState {
    PictureButtonSetup setup;
    bool offered = true;
    bool pressed = false;
    UINT heldButton = 0;  // the WM_*BUTTONUP that ends the press
    HFONT font = nullptr;
};

PictureButtonState *stateOf(HWND window)
{
    return reinterpret_cast<PictureButtonState *>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void paint(HWND window, const PictureButtonState &state)
{
    PAINTSTRUCT paintStruct;
    HDC dc = BeginPaint(window, &paintStruct);
    RECT client;
    GetClientRect(window, &client);
    HBITMAP face = state.pressed ? state.setup.faces->pressed : state.setup.faces->released;
    if (face != nullptr) {
        BITMAP info{};
        GetObjectW(face, sizeof info, &info);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, face);
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    } else {
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    }
    const int length = GetWindowTextLengthW(window);
    std::wstring word(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, word.data(), length + 1);
    word.resize(static_cast<size_t>(length));
    HGDIOBJ oldFont = SelectObject(dc, state.font != nullptr ? state.font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, state.offered ? GetSysColor(COLOR_WINDOWTEXT) : RGB(128, 128, 128));
    RECT caption = state.setup.caption;
    DrawTextW(dc, word.c_str(), static_cast<int>(word.size()), &caption,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    EndPaint(window, &paintStruct);
}

void showPressed(HWND window, PictureButtonState &state, bool pressed)
{
    if (state.pressed == pressed) return;
    state.pressed = pressed;
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

// Ends a press; a left button released over the picture is a click.
void release(HWND window, PictureButtonState &state, UINT message, LPARAM position)
{
    if (!state.pressed || message != state.heldButton) return;
    state.heldButton = 0;
    showPressed(window, state, false);
    if (GetCapture() == window) ReleaseCapture();
    RECT client;
    GetClientRect(window, &client);
    const POINT at{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    if (message == WM_LBUTTONUP && PtInRect(&client, at)) {
        const int id = GetDlgCtrlID(window);
        SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(window));
    }
}

LRESULT CALLBACK pictureButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PictureButtonState *state = stateOf(window);
    switch (message) {
    case WM_NCCREATE: {
        const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
        auto *fresh = new PictureButtonState{*static_cast<const PictureButtonSetup *>(create->lpCreateParams)};
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(fresh));
        break;
    }
    case WM_NCDESTROY:
        delete state;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    case WM_SETFONT:
        if (state != nullptr) state->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam) != 0) InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, FALSE);
        return result;
    }
    case kSetOffered:
        state->offered = wParam != 0;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case kIsPressed: return state->pressed ? TRUE : FALSE;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: paint(window, *state); return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (!state->pressed) {
            state->heldButton = message + 1;  // the matching WM_*BUTTONUP
            SetCapture(window);
            showPressed(window, *state, true);
        }
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: release(window, *state, message, lParam); return 0;
    case WM_CAPTURECHANGED:
        if (state->pressed && reinterpret_cast<HWND>(lParam) != window) {
            state->heldButton = 0;
            showPressed(window, *state, false);
        }
        return 0;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool registerPictureButtonClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = pictureButtonProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.lpszClassName = kPictureButtonClass;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace wayfolk::win32
