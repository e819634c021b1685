#pragma once
// The window's logic, free of any toolkit: what each command does, in which
// order it calls the library, what every control shows and which message or
// question comes next. A view forwards the user's events here and draws
// view() whenever the host is told that it changed.
//
// One command runs at a time: from its start through its library calls
// (each on the executor's worker), the handling of their results and its
// messages, every further command is inert and its button looks disabled.
#include "form_executor.h"
#include "form_host.h"
#include "form_library.h"
#include "form_places.h"
#include "form_view.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace trk7700::client {
class ProgramLauncher;
struct ReadoutFiles;
struct ConversionOutcome;
}  // namespace trk7700::client

namespace trk7700::form {

class FormModel {
public:
    FormModel(FormLibrary &library, FormExecutor &executor, FormHost &host, FormPlaces places);
    ~FormModel();
    FormModel(const FormModel &) = delete;
    FormModel &operator=(const FormModel &) = delete;

    const FormView &view() const { return view_; }

    // Start-up: the port list and the options file.
    void load();

    // The user's edits.
    void selectPort(int index);
    void editFolder(const std::string &folder);
    void setExportOption(ExportOption which, CheckState state);
    void setLogByTime(bool byTime);
    // Both radio buttons as they stand; with neither selected both intervals are sent as not set.
    void setLogSelection(bool byTime, bool byDistance);
    void editTimeInterval(const std::string &text);
    void editDistanceInterval(const std::string &text);
    void editMinSpeed(const std::string &text);
    void setVibration(bool on);
    void setTag(bool on);
    // The keyboard focus reached a maintenance button hidden under the photo
    // (its caption given), or left it (none).
    void focusHiddenButton(const std::optional<std::string> &caption);

    // A button was pressed; inert while another command runs, after closing
    // began, or when the button is disabled and enforceEnabled is set (the
    // picture buttons of the device commands).
    void press(Command command, bool enforceEnabled = false);
    bool commandRunning() const;

    // Opens the map page of the last readout with the system's browser; a
    // page that cannot be opened is told.
    void openMapPage();

    // The window's close button. Closing waits for a running command; during
    // a download the user is asked whether to stop it, which ends the program
    // at once, the earlier files untouched. Once done, the host's closeWindow() follows.
    void requestClose();
    bool closing() const;

    // The logger is taken as connected: from a successful connect until the
    // library answers that it has no connection (26, also after a no-answer
    // result when the port went away), dump mode was left, or an upgrade ended it.
    bool connected() const { return connected_; }
    int comPort() const { return comPort_; }

    // What starts GPSBabel after a readout; a detached start by default.
    void setProgramLauncher(client::ProgramLauncher &launcher);

private:
    class Runner;
    using Then = std::function<void()>;
    using Settled = std::function<void(bool connectionLost)>;

    template <typename Result>
    void call(TextId status, std::function<Result()> work, std::function<void(const Result &)> then,
              std::function<void()> whileRunning = {});
    void changed();
    void message(Message message);
    void setStatus(const std::string &text);
    void setBar(Bar bar, int percent = 0, const std::string &barText = {});
    // For a call of unknown length: a busy bar now, and a ticker that shows
    // the time elapsed since now.
    std::function<void()> busyWithElapsed(TextId what);
    void refreshControls();
    bool tellBindingFailure(const LinkCall &call);

    void connect();
    void autoConnect();
    void afterConnect();
    void exitDumpMode();
    void readDeviceInformation(Then then);
    void readSettings(Then then);
    void upgradeFirmware();
    void sendFirmware(const std::string &imageVersion);
    void readImageVersion();
    void readLibraryVersion();
    void readGpsTime();
    void chooseFolder();
    void readout();
    void placeReadout(const client::ReadoutFiles &files);
    // rolloverToday: today's UTC day to move dates 1024 weeks early on, -1 to keep them.
    void convert(const client::ReadoutFiles &files, int64_t rolloverToday = -1);
    void conversionDone(const client::ReadoutFiles &files, const client::ConversionOutcome &outcome,
                        bool rolloverCorrected);
    std::string startGpsBabel(const client::ReadoutFiles &files);
    std::string writeMapPage(const client::ReadoutFiles &files);
    void erase();
    void eraseAfterQuestion();
    void storeSettings();
    void unload();
    void storeOptions();

    client::ReadoutFiles readoutFilesNow() const;
    bool selectedPortToComPort(TextId whenNone);
    void selectFoundPort(int32_t comNumber);
    void beginConnection();
    void showNotConnected();
    void settleConnection(int32_t result, const Settled &settled);
    void finishDeviceCommand(int32_t result, const std::string &words);

    FormLibrary &library_;
    FormExecutor &executor_;
    FormHost &host_;
    FormPlaces places_;
    std::unique_ptr<Runner> runner_;
    std::unique_ptr<client::ProgramLauncher> detachedLauncher_;
    client::ProgramLauncher *launcher_;
    FormView view_;

    int comPort_ = 0;
    bool connected_ = false;
    bool readoutSinceConnect_ = false;   // a complete readout of the connected logger happened
    std::string loggerFirmwareVersion_;  // read at connect; empty when unknown
    std::string informationWords_;       // a failed information read while connecting, for the status line
    bool readoutRunning_ = false;
    bool downloading_ = false;               // the library's download runs (stopping it ends the program)
    std::optional<std::string> stagedText_;  // the download's staging file while it runs
    std::optional<std::chrono::steady_clock::time_point> readoutStart_;
    std::string focusWords_;
    std::string minSpeedKnotsRead_;  // the knots exactly as read; emptied by an edit of the speed
    bool unloaded_ = false;
};

}  // namespace trk7700::form
