#include "control_table.h"

#include <array>

namespace wayfolk::win32 {

namespace {

using enum ControlId;
constexpr ControlId kForm = ControlId::None;

// The caption label of "Einst. Speichern" is wider than the others.
constexpr CaptionPlace kWideCaption = {-240, -120, 1770, 555};

// clang-format off
constexpr std::array<ControlPlace, kControlCount> kTable = {{
    {Frame4, "Frame4", Kind::Frame, L"Extras", kForm, 2280, 2760, 1815, 2415, -1},
    {Check8, "Check8", Kind::CheckBox, L"Je Markierung extra Datei", Frame4, 120, 960, 1575, 615, 78},
    {Check7, "Check7", Kind::CheckBox, L"Datum an Dateinamen anhängen", Frame4, 120, 240, 1575, 735, 77},
    {Picture9, "Picture9", Kind::PictureButton, L"Wayfolk leeren", kForm, 1560, 2280, 1305, 360, -1},
    {Picture8, "Picture8", Kind::PictureButton, L"Auto. Verbinden", kForm, 3120, 440, 1305, 360, -1},
    {Picture7, "Picture7", Kind::PictureButton, L"Verbinden", kForm, 1680, 440, 1305, 360, -1},
    {Picture6, "Picture6", Kind::PictureButton, L"Log Auslesen", kForm, 120, 2280, 1305, 360, -1},
    {Picture5, "Picture5", Kind::PictureButton, L"Durchsuchen", kForm, 2640, 1810, 1305, 360, -1},
    {Frame3, "Frame3", Kind::Frame, L"Formate", kForm, 120, 2760, 2055, 2415, -1},
    {Check6, "Check6", Kind::GreyCheckBox, L"", Frame3, 120, 1800, 255, 255, 62, false, true},
    {Check2, "Check2", Kind::CheckBox, L"", Frame3, 120, 360, 255, 255, 56},
    {Check3, "Check3", Kind::CheckBox, L"", Frame3, 120, 1080, 255, 255, 55},
    {Check4, "Check4", Kind::CheckBox, L"", Frame3, 120, 720, 255, 255, 54},
    {Check5, "Check5", Kind::GreyCheckBox, L"", Frame3, 120, 1440, 255, 255, 60, false, true},
    {Label9, "Label9", Kind::Label, L"NMEA", Frame3, 360, 1440, 1215, 255, -1},
    {Label30, "Label30", Kind::Label, L"RAW", Frame3, 360, 1800, 975, 255, -1},
    {Label2, "Label2", Kind::Label, L"Google Earth", Frame3, 360, 360, 975, 255, -1},
    {Label23, "Label23", Kind::Label, L"Ozi Explorer", Frame3, 360, 1080, 975, 255, -1},
    {Label28, "Label28", Kind::Label, L"GPX", Frame3, 360, 720, 975, 255, -1},
    {Picture4, "Picture4", Kind::Picture, L"", kForm, 7800, 1560, 975, 495, -1, true},
    {Picture3, "Picture3", Kind::Picture, L"", kForm, 7320, 1080, 1095, 495, -1, true},
    {Picture2, "Picture2", Kind::PictureButton, L"Einst. Speichern", kForm, 7680, 5280, 1305, 360, -1, false, false,
     nullptr, kWideCaption},
    {Command14, "Command14", Kind::Command, L"Command14", kForm, 4560, 5160, 1335, 375, 48, true},
    {Frame1, "Frame1", Kind::Frame, L"Einstellungen", kForm, 4200, 3000, 4815, 2055, -1},
    {Check9, "Check9", Kind::CheckBox, L"An", Frame1, 120, 840, 975, 255, 79},
    {Frame2, "Frame2", Kind::Frame, L"Log Interval", Frame1, 2520, 120, 2055, 1815, -1},
    {Option4, "Option4", Kind::Option, L"", Frame2, 120, 360, 375, 255, 43},
    {Option5, "Option5", Kind::Option, L"", Frame2, 120, 680, 375, 375, 42},
    {Text2, "Text2", Kind::TextBox, L"5", Frame2, 480, 360, 615, 285, 41, false, false,
     L"Es wird alle X Sekunden ein Log geschrieben."},
    {Text3, "Text3", Kind::TextBox, L"50", Frame2, 480, 720, 615, 285, 40, false, false,
     L"Es wird alle X Meter ein Log geschrieben."},
    {Text4, "Text4", Kind::TextBox, L"0", Frame2, 120, 1440, 735, 285, 39, false, false,
     L"Mindestgeschwindigkeit die erreicht sein muss, damit ein Log geschrieben wird. 0= Geschwindigkeit egal."},
    {Label24, "Label24", Kind::Label, L"Sekunden", Frame2, 1200, 360, 735, 255, -1},
    {Label25, "Label25", Kind::Label, L"Meter", Frame2, 1200, 720, 615, 255, -1},
    {Label26, "Label26", Kind::Label, L"Minimal Geschwindigkeit:", Frame2, 120, 1200, 1815, 255, -1},
    {Label27, "Label27", Kind::Label, L"in km/h", Frame2, 1080, 1440, 735, 255, -1},
    {Check1, "Check1", Kind::CheckBox, L"An", Frame1, 1440, 840, 1215, 255, 37},
    {Label22, "Label22", Kind::Label, L"Markierung:", Frame1, 1440, 480, 855, 255, -1},
    {Label1, "Label1", Kind::Label, L"Vibationssensor:", Frame1, 120, 480, 1215, 255, -1},
    {Command13, "Command13", Kind::Command, L"Durchsuchen", kForm, 2760, 1810, 1095, 255, 32, false, true},
    {Text1, "Text1", Kind::TextBox, L"C:\\Wayfolk", kForm, 120, 1830, 2415, 330, 31},
    {Command11, "Command11", Kind::Command, L"Automatisch Verbinden", kForm, 3120, 540, 975, 195, 26},
    {Command10, "Command10", Kind::Command, L"Einstellungen auslesen", kForm, 7200, 0, 1695, 495, 10, true},
    {Command8, "Command8", Kind::Command, L"Einstellungen speichern", kForm, 7800, 5280, 975, 255, 8, false, true},
    {Command4, "Command4", Kind::Command, L"Daten im Wayfolk löschen", kForm, 1560, 2280, 855, 255, 5, false, true},
    {Combo1, "Combo1", Kind::ComboBox, L"Comport Wählen", kForm, 120, 480, 1455, 315, 4},
    {Command5, "Command5", Kind::Command, L"LOG Auslesen", kForm, 120, 2280, 1095, 255, 3, false, true},
    {Command2, "Command2", Kind::Command, L"Read Device Information", kForm, 5160, 0, 1575, 735, 1, true},
    {Command1, "Command1", Kind::Command, L"Verbinden", kForm, 1680, 480, 1095, 255, 0},
    {Picture1, "Picture1", Kind::Picture, L"", kForm, 5160, 0, 3765, 2430, -1},
    {Command7, "Command7", Kind::Command, L"Read Bin File FW  Version", kForm, 5760, 1440, 2535, 495, 7},
    {Command6, "Command6", Kind::Command, L"Upgrade Firmware", kForm, 5640, 1440, 2535, 495, 6},
    {Command12, "Command12", Kind::Command, L"Read GPS UTC Time", kForm, 5400, 1440, 2535, 495, 27},
    {Command9, "Command9", Kind::Command, L"Read DLL Version", kForm, 6000, 1200, 2415, 495, 9},
    {Command3, "Command3", Kind::Command, L"Exit Dump Mode", kForm, 6000, 960, 1695, 495, 2},
    {Label29, "Label29", Kind::Label, L"Label29", kForm, 240, 1440, 2295, 255, -1, true},
    {Label19, "Label19", Kind::Label, L"Com Port wählen:", kForm, 120, 120, 1935, 255, -1},
    {Label21, "Label21", Kind::Label, L"hr:min:sec , day,month,year", kForm, 6000, 1560, 2055, 255, -1},
    {Label20, "Label20", Kind::Label, L" GPS UTC Time = ", kForm, 5400, 1560, 3255, 375, -1},
    {Label18, "Label18", Kind::Label, L" Firmware file is in  c:\\abcd\\binfile\\TRK7700_Encode.Bin", kForm, 5760, 1560,
     3015, 375, -1},
    {Label17, "Label17", Kind::Label, L"Bin File FW Version = ? ", kForm, 5400, 2040, 2895, 255, -1},
    {Label16, "Label16", Kind::WindowLabel, L"Seriennummer = ", kForm, 5040, 2640, 2295, 255, -1},
    {Label15, "Label15", Kind::WindowLabel, L"FW Ver = ", kForm, 7320, 2640, 1575, 255, -1},
    // The status line: the free strip at the foot, below the frames and left
    // of "Einst. Speichern".
    {StatusText, "StatusText", Kind::StatusText, L"", kForm, 120, 5205, 5400, 525, -1},
    {StatusBar, "StatusBar", Kind::StatusBar, L"", kForm, 5610, 5250, 1950, 240, -1, true},
    // Where the bar stands while a command runs; shown when a readout made a map page.
    {MapButton, "MapButton", Kind::Command, L"Karte", kForm, 6780, 5235, 780, 360, 80, true, false,
     L"Die Karte der Auslesung im Browser öffnen"},
}};
// clang-format on

constexpr bool indexedById()
{
    for (int i = 0; i < kControlCount; ++i)
        if (static_cast<int>(kTable[i].id) != i) return false;
    return true;
}
static_assert(indexedById(), "every control stands at its id's place");

}  // namespace

std::span<const ControlPlace> controlTable() { return kTable; }

const ControlPlace &placeOf(ControlId id) { return kTable[static_cast<int>(id)]; }

TwipsPoint windowOrigin(ControlId id)
{
    TwipsPoint point{0, 0};
    for (ControlId at = id; at != ControlId::None; at = placeOf(at).container) {
        point.x += placeOf(at).left;
        point.y += placeOf(at).top;
    }
    return point;
}

}  // namespace wayfolk::win32
