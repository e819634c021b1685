// The picture buttons: a borderless button face exactly the size of its image
// with one word drawn centred over it, grey while its command is not offered.
// A press of any mouse button shows the pressed face until the release; a
// left click tells the parent with WM_COMMAND / BN_CLICKED after the face is
// released again.
#pragma once

#include <windows.h>

namespace wayfolk::win32 {

inline constexpr wchar_t kPictureButtonClass[] = L"WayfolkPictureButton";

// wParam: TRUE shows the word in the window-text colour, FALSE in grey.
inline constexpr UINT kSetOffered = WM_USER + 1;
// Returns TRUE while the pressed face is shown.
inline constexpr UINT kIsPressed = WM_USER + 2;

struct ButtonFaces {
    HBITMAP released = nullptr;
    HBITMAP pressed = nullptr;
};

// The caption's rectangle relative to the picture, in pixels.
struct PictureButtonSetup {
    const ButtonFaces *faces;
    RECT caption;
};

// Registers the window class once; CreateWindowExW takes a
// PictureButtonSetup* as its creation parameter.
bool registerPictureButtonClass(HINSTANCE instance);

}  // namespace wayfolk::win32
