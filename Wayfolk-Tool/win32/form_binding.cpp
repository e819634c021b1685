#include "form_binding.h"

#include "text_codec.h"

#include <array>
#include <optional>

namespace wayfolk::win32 {

using trk7700::form::Bar;
using trk7700::form::CheckState;
using trk7700::form::Command;
using trk7700::form::ExportOption;
using trk7700::form::FormView;

namespace {

// The button behind each command, and the picture button over it.
struct CommandControls {
    Command command;
    ControlId button;
    ControlId picture;  // ControlId::None: no picture button
    bool pictureNeedsEnabled;
};
constexpr std::array<CommandControls, trk7700::form::kCommandCount> kCommands = {{
    {Command::connect, ControlId::Command1, ControlId::Picture7, false},
    {Command::autoConnect, ControlId::Command11, ControlId::Picture8, false},
    {Command::exitDumpMode, ControlId::Command3, ControlId::None, false},
    {Command::deviceInformation, ControlId::Command2, ControlId::None, false},
    {Command::readSettings, ControlId::Command10, ControlId::None, false},
    {Command::upgradeFirmware, ControlId::Command6, ControlId::None, false},
    {Command::readImageVersion, ControlId::Command7, ControlId::None, false},
    {Command::readLibraryVersion, ControlId::Command9, ControlId::None, false},
    {Command::readGpsTime, ControlId::Command12, ControlId::None, false},
    {Command::chooseFolder, ControlId::Command13, ControlId::Picture5, false},
    {Command::readout, ControlId::Command5, ControlId::Picture6, true},
    {Command::convert, ControlId::Command14, ControlId::None, false},
    {Command::erase, ControlId::Command4, ControlId::Picture9, true},
    {Command::storeSettings, ControlId::Command8, ControlId::Picture2, true},
}};

// The export check boxes in the options file's order.
constexpr std::array<std::pair<ExportOption, ControlId>, trk7700::form::kExportOptionCount> kExportBoxes = {{
    {ExportOption::kml, ControlId::Check2},
    {ExportOption::plt, ControlId::Check3},
    {ExportOption::gpx, ControlId::Check4},
    {ExportOption::dateInName, ControlId::Check7},
    {ExportOption::perMark, ControlId::Check8},
}};

// The maintenance buttons that the device photo hides.
constexpr std::array<ControlId, 5> kHiddenButtons = {ControlId::Command3, ControlId::Command6, ControlId::Command7,
                                                     ControlId::Command9, ControlId::Command12};

void setTextIfChanged(FormWindow &window, ControlId id, const std::string &text)
{
    const std::wstring wanted = wide(text);
    if (window.text(id) != wanted) window.setText(id, wanted);
}

void setEnabledIfChanged(FormWindow &window, ControlId id, bool enabled)
{
    if (window.enabled(id) != enabled) window.setEnabled(id, enabled);
}

// The status line: what goes on, the bar's words, and the note that stays.
std::string statusLine(const FormView &view)
{
    std::string line = view.status;
    if (view.bar != Bar::hidden && !view.barText.empty()) {
        std::string words = view.barText;
        for (size_t at = words.find("%p"); at != std::string::npos; at = words.find("%p"))
            words.replace(at, 2, std::to_string(view.percent));
        line += (line.empty() ? "" : "  ") + words;
    }
    if (!view.note.empty()) line += (line.empty() ? "" : "\r\n") + view.note;
    return line;
}

}  // namespace

void FormBinding::draw()
{
    if (window_.window() == nullptr) return;
    const FormView &view = model_.view();
    drawing_ = true;
    for (const CommandControls &controls : kCommands)
        setEnabledIfChanged(window_, controls.button, view.isEnabled(controls.command));
    window_.setOffered(ControlId::Picture7, view.connectOffered);
    window_.setOffered(ControlId::Picture8, view.autoConnectOffered);
    window_.setOffered(ControlId::Picture6, view.readoutOffered);
    window_.setOffered(ControlId::Picture9, view.eraseOffered);
    window_.setOffered(ControlId::Picture2, view.storeOffered);
    window_.setOffered(ControlId::Picture5, view.browseOffered);
    window_.setBusyCursor(view.busy);

    if (view.ports != ports_) {
        std::vector<std::wstring> entries;
        for (const std::string &port : view.ports) entries.push_back(wide(port));
        window_.setPortList(entries);
        ports_ = view.ports;
    }
    if (window_.selectedPort() != view.selectedPort) {
        SendMessageW(window_.control(ControlId::Combo1), CB_SETCURSEL, static_cast<WPARAM>(view.selectedPort), 0);
    }
    setTextIfChanged(window_, ControlId::Text1, view.folder);
    for (const auto &[option, box] : kExportBoxes) {
        const int state = static_cast<int>(view.option(option));
        if (window_.checkState(box) != state) window_.setCheckState(box, state);
    }

    setTextIfChanged(window_, ControlId::Label19, view.portCaption);
    setTextIfChanged(window_, ControlId::Label16, view.serialNumber);
    setTextIfChanged(window_, ControlId::Label15, view.firmwareVersion);
    setTextIfChanged(window_, ControlId::Label17, view.imageVersion);
    setTextIfChanged(window_, ControlId::Label20, view.gpsTime);
    setTextIfChanged(window_, ControlId::Label29, view.dateStamp);

    window_.setCheckState(ControlId::Option4, view.logByTime ? 1 : 0);
    window_.setCheckState(ControlId::Option5, view.logByDistance ? 1 : 0);
    setTextIfChanged(window_, ControlId::Text2, view.timeText);
    setTextIfChanged(window_, ControlId::Text3, view.distanceText);
    setTextIfChanged(window_, ControlId::Text4, view.minSpeedText);
    for (const auto &[field, tip] :
         {std::pair{ControlId::Text2, &view.timeTip}, std::pair{ControlId::Text3, &view.distanceTip},
          std::pair{ControlId::Text4, &view.minSpeedTip}})
        if (!tip->empty()) window_.setToolTip(field, wide(*tip));
    window_.setCheckState(ControlId::Check9, view.vibration ? 1 : 0);
    window_.setCheckState(ControlId::Check1, view.tag ? 1 : 0);

    setTextIfChanged(window_, ControlId::StatusText, statusLine(view));
    switch (view.bar) {
    case Bar::hidden: window_.hideBar(); break;
    case Bar::busy: window_.showBar(-1); break;
    case Bar::percent: window_.showBar(view.percent); break;
    }
    // "Karte" shares its place with the bar, which a running command needs.
    const bool mapShown = !view.mapPage.empty() && view.bar == Bar::hidden;
    ShowWindow(window_.control(ControlId::MapButton), mapShown ? SW_SHOWNA : SW_HIDE);
    if (mapShown) window_.setToolTip(ControlId::MapButton, wide(view.mapPage));
    window_.restoreFocus();
    drawing_ = false;
}

void FormBinding::clicked(ControlId id)
{
    if (drawing_) return;
    for (const CommandControls &controls : kCommands) {
        if (id == controls.button) return model_.press(controls.command);
        if (id == controls.picture) return model_.press(controls.command, controls.pictureNeedsEnabled);
    }
    for (const auto &[option, box] : kExportBoxes) {
        if (id != box) continue;
        // The box has toggled itself; the model takes the new state and the
        // view draws what it decides.
        model_.setExportOption(option, window_.checkState(box) == 1 ? CheckState::checked : CheckState::unchecked);
        return draw();
    }
    switch (id) {
    case ControlId::MapButton: model_.openMapPage(); break;
    case ControlId::Option4: model_.setLogByTime(true); break;
    case ControlId::Option5: model_.setLogByTime(false); break;
    case ControlId::Check9: model_.setVibration(window_.checkState(id) == 1); break;
    case ControlId::Check1: model_.setTag(window_.checkState(id) == 1); break;
    default: return;
    }
    draw();
}

void FormBinding::edited(ControlId id)
{
    if (drawing_) return;
    const std::string text = utf8(window_.text(id));
    switch (id) {
    case ControlId::Text1: model_.editFolder(text); break;
    case ControlId::Text2: model_.editTimeInterval(text); break;
    case ControlId::Text3: model_.editDistanceInterval(text); break;
    case ControlId::Text4: model_.editMinSpeed(text); break;
    default: return;
    }
    draw();
}

void FormBinding::selected(ControlId id)
{
    if (drawing_ || id != ControlId::Combo1) return;
    model_.selectPort(window_.selectedPort());
    draw();
}

void FormBinding::focused(ControlId id)
{
    for (ControlId hidden : kHiddenButtons) {
        if (id != hidden) continue;
        model_.focusHiddenButton(utf8(window_.text(id)));
        return draw();
    }
    model_.focusHiddenButton(std::nullopt);
    draw();
}

}  // namespace wayfolk::win32
