// The window's controls as the Win32 view places them: names, kinds,
// captions, containers, places in twips (15 to a pixel at 96 DPI), focus
// order and initial look.
#pragma once

#include <span>

namespace wayfolk::win32 {

// One id per control; also the control's child-window id (plus kFirstId).
enum class ControlId : int {
    Frame4,
    Check8,
    Check7,
    Picture9,
    Picture8,
    Picture7,
    Picture6,
    Picture5,
    Frame3,
    Check6,
    Check2,
    Check3,
    Check4,
    Check5,
    Label9,
    Label30,
    Label2,
    Label23,
    Label28,
    Picture4,
    Picture3,
    Picture2,
    Command14,
    Frame1,
    Check9,
    Frame2,
    Option4,
    Option5,
    Text2,
    Text3,
    Text4,
    Label24,
    Label25,
    Label26,
    Label27,
    Check1,
    Label22,
    Label1,
    Command13,
    Text1,
    Command11,
    Command10,
    Command8,
    Command4,
    Combo1,
    Command5,
    Command2,
    Command1,
    Picture1,
    Command7,
    Command6,
    Command12,
    Command9,
    Command3,
    Label29,
    Label19,
    Label21,
    Label20,
    Label18,
    Label17,
    Label16,
    Label15,
    // Not in the original form: the status line at the window's foot and its bar.
    StatusText,
    StatusBar,
    MapButton,  // "Karte": opens the readout's map page, beside the status line
    None
};

inline constexpr int kFirstId = 1000;
inline constexpr int kControlCount = static_cast<int>(ControlId::None);

enum class Kind {
    Frame,          // group box; its children are placed relative to its outer top-left
    Label,          // static text, form background
    WindowLabel,    // static text on the window colour
    CheckBox,       // check box, caption to its right (or none)
    GreyCheckBox,   // disabled check box shown grey-checked
    Option,         // option (radio) button
    TextBox,        // single-line edit
    ComboBox,       // drop-down combo box
    Command,        // push button
    PictureButton,  // borderless button face image with a centred caption
    Picture,        // bitmap
    StatusText,     // the status line's text
    StatusBar,      // the status line's progress bar
};

// The caption label of a picture button, relative to the picture in twips:
// larger than the picture, so every point of it is the label's.
struct CaptionPlace {
    int left = -60;
    int top = -120;
    int width = 1410;
    int height = 555;
};

struct ControlPlace {
    ControlId id;
    const char *name;
    Kind kind;
    const wchar_t *caption;
    ControlId container;           // ControlId::None: the window itself
    int left, top, width, height;  // twips; the status line's in pixels
    int tabIndex;                  // -1: takes no focus
    bool hidden = false;
    bool disabled = false;
    const wchar_t *toolTip = nullptr;
    CaptionPlace captionPlace = {};
};

// In stacking order of the table: earlier controls lie above later ones
// within one container.
std::span<const ControlPlace> controlTable();

const ControlPlace &placeOf(ControlId id);

// Left and top of a control in the window's client area, in twips: the
// container's place added (recursively).
struct TwipsPoint {
    int x;
    int y;
};
TwipsPoint windowOrigin(ControlId id);

// The window's client area in twips.
inline constexpr int kClientTwipsWidth = 9180;
inline constexpr int kClientTwipsHeight = 5760;

}  // namespace wayfolk::win32
