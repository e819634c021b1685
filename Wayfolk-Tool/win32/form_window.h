// Form1 as a Win32 window: creates every control of the control table at its
// place (scaled to the system's DPI), stacks them as the table says, moves
// the focus in the table's focus order, and draws what it is told. It decides
// nothing: clicks, edits and the close request go to the events given.
#pragma once

#include "control_table.h"
#include "picture_button.h"

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wayfolk::win32 {

inline constexpr wchar_t kWindowTitle[] = L"Wayfolk - Tool V1.12";

struct FormEvents {
    // A button, picture button, check box or option button was clicked.
    std::function<void(ControlId)> clicked;
    // The user asked to close the window; the window stays until destroy().
    std::function<void()> closeRequested;
    // The user changed the text of a text box.
    std::function<void(ControlId)> edited;
    // The user chose an entry of the port list.
    std::function<void(ControlId)> selected;
    // A button took the keyboard focus (ControlId::None: it left it).
    std::function<void(ControlId)> focused;
    // The ticker started with startTicking fired.
    std::function<void()> ticked;
    // A message posted with FormWindow::post arrived on the window's thread.
    std::function<void(WPARAM, LPARAM)> posted;
};

class FormWindow {
public:
    FormWindow() = default;
    FormWindow(const FormWindow &) = delete;
    FormWindow &operator=(const FormWindow &) = delete;
    ~FormWindow();

    // Creates and shows the window; false when the system refuses.
    bool create(HINSTANCE instance, int show, FormEvents events);
    void destroy();

    // True when the message was a focus move of the window's own (Tab,
    // Shift+Tab) and must not be dispatched.
    bool handleKey(const MSG &message);

    // From any thread: the message arrives at FormEvents::posted.
    bool post(WPARAM wParam, LPARAM lParam) const;

    HWND window() const { return window_; }
    HWND control(ControlId id) const { return controls_[static_cast<size_t>(id)]; }

    void setText(ControlId id, std::wstring_view text);
    std::wstring text(ControlId id) const;
    void setEnabled(ControlId id, bool enabled);
    bool enabled(ControlId id) const;
    void setVisible(ControlId id, bool visible);
    // 0 unchecked, 1 checked, 2 grey.
    void setCheckState(ControlId id, int state);
    int checkState(ControlId id) const;
    // A picture button's word in the window-text colour (true) or grey.
    void setOffered(ControlId pictureButton, bool offered);
    // The text of a text box's tool tip (unchanged text: nothing happens).
    void setToolTip(ControlId id, const std::wstring &text);
    void setPortList(const std::vector<std::wstring> &entries);
    int selectedPort() const;  // -1: none
    // The status line's bar: percent 0..100, or -1 for a busy bar, and hidden.
    void showBar(int percent);
    void hideBar();

    // Gives the keyboard focus back to the control that had it before it
    // was disabled, once it is enabled again.
    void restoreFocus();
    // The busy cursor over the whole window while a command runs.
    void setBusyCursor(bool busy);
    void startTicking(UINT milliseconds);
    void stopTicking();

    int pixels(int twips) const;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    HWND createControl(const ControlPlace &place);
    void stackControls();
    void addToolTips();
    void moveFocus(bool backwards);

    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
    HWND toolTips_ = nullptr;
    int dpi_ = 96;
    HFONT font_ = nullptr;
    HFONT folderFont_ = nullptr;
    HBRUSH windowBrush_ = nullptr;
    ButtonFaces faces_;
    HBITMAP photo_ = nullptr;
    std::array<HWND, kControlCount> controls_{};
    std::vector<PictureButtonSetup> pictureSetups_;
    std::array<std::wstring, kControlCount> toolTipTexts_;
    FormEvents events_;
    HWND lastFocus_ = nullptr;
    bool busyCursor_ = false;
};

}  // namespace wayfolk::win32
