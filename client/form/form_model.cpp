#include "form_model.h"

#include "form_system.h"

#include "binding/result_text.h"
#include "conversion/broken_readout.h"
#include "conversion/readout_progress.h"
#include "conversion/readout_staging.h"
#include "conversion/settings_fields.h"
#include "conversion/track_conversion.h"
#include "conversion/track_records.h"
#include "conversion/file_ops.h"
#include "stats/map_page.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <type_traits>
#include <utility>

namespace trk7700::form {

using client::ConversionOutcome;
using client::ReadoutFiles;

namespace {

constexpr int kListedPorts = 37;

// The results by which an operation says that the logger did not answer.
// When the port went away meanwhile, the library has closed it as well.
bool isNoAnswer(int32_t result)
{
    return result == return_device_time_out || result == return_device_information_no_answer ||
           result == return_read_gps_utc_time_invalid;
}

// The failures of the firmware image check, which both image commands tell.
bool isImageCheckFailure(int32_t result)
{
    switch (result) {
    case return_pc_not_enough_memory:
    case return_error_bin_file_path:
    case return_can_not_open_bin_file:
    case return_bin_file_size_error:
    case return_not_correct_bin_file:
    case return_bin_file_checksum_error: return true;
    default: return false;
    }
}

// The results of a store that are told by number and name.
bool isToldByName(int32_t result)
{
    switch (result) {
    case return_setting_value_error:
    case return_displacementinterval_over_3000meter_error:
    case return_timeInterval_over_3600second_error:
    case return_log_min_speed_over_20_knot_error:
    case return_error_wave_file_path:
    case return_pc_not_enough_memory:
    case return_uncompleted_wave_files:
    case return_file_size_over_128K_bytes:
    case return_not_dump_mode: return true;
    default: return false;
    }
}

std::string resultName(int32_t result) { return client::resultText(result); }

// "<number> <name>: <sentence>"
std::string resultWords(int32_t result, const std::string &sentence) { return resultName(result) + ": " + sentence; }

std::string imageFailureWords(const FormPlaces &places, int32_t result)
{
    const std::string image = places.firmwareFolder + kFirmwareImageName;
    switch (result) {
    case return_error_bin_file_path:
        return resultWords(result, text(TextId::imageFolderMissing, {places.firmwareFolder}));
    case return_can_not_open_bin_file: return resultWords(result, text(TextId::imageMissing, {image}));
    case return_bin_file_size_error: return resultWords(result, text(TextId::imageSize, {image}));
    case return_not_correct_bin_file: return resultWords(result, text(TextId::imageWrong, {image}));
    case return_bin_file_checksum_error: return resultWords(result, text(TextId::imageChecksum, {image}));
    case return_pc_not_enough_memory: return resultWords(result, text(TextId::pcMemory));
    default: return resultWords(result, text(TextId::imageUnreadable));
    }
}

std::string duration(double seconds) { return client::formatDuration(seconds); }

std::string megabytes(uint64_t bytes)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(bytes) / 1e6);
    std::string shown = buffer;
    for (char &c : shown)
        if (c == '.') c = ',';
    return shown;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A settings field: a whole number within its range, blanks around it allowed.
std::optional<unsigned long> wholeNumberIn(const std::string &entry, client::FieldRange range)
{
    const size_t first = entry.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const size_t last = entry.find_last_not_of(" \t");
    const std::string digits = entry.substr(first, last - first + 1);
    if (digits.size() > 9) return std::nullopt;
    unsigned long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value < range.fewest || value > range.most) return std::nullopt;
    return value;
}

// The library call inside a result: the result itself, its member `call`, or none.
template <typename Result>
const LinkCall *linkCallOf(const Result &result)
{
    if constexpr (std::is_same_v<Result, LinkCall>)
        return &result;
    else if constexpr (requires { result.call; })
        return &result.call;
    else
        return nullptr;
}

}  // namespace

// One command at a time; its calls run on the executor's worker in order.
// A command is over when its action and the handlers of all its calls have
// returned and no call is outstanding.
class FormModel::Runner {
public:
    Runner(FormExecutor &executor, std::function<void()> runningChanged)
        : executor_(executor), runningChanged_(std::move(runningChanged))
    {
    }

    bool running() const { return running_; }
    bool closing() const { return phase_ != Phase::open; }

    bool start(const std::function<void()> &action)
    {
        if (running_ || phase_ != Phase::open) return false;
        runCommand(action);
        return true;
    }

    // No further command starts and the running one makes no further calls
    // (unless it asked to finish); once it is over, `last` runs as the final command.
    void close(const std::function<void()> &last)
    {
        if (phase_ != Phase::open) return;
        lastCommand_ = last;
        phase_ = Phase::waitingForCommand;
        if (running_) return;
        phase_ = Phase::lastCommand;
        runCommand(lastCommand_);
    }

    // The running command's further calls still run when closing begins, so
    // that work which must not stop halfway (a readout and its conversion) completes.
    void finishEvenWhenClosing() { finishEvenWhenClosing_ = running_; }

    bool callsAllowed() const { return phase_ != Phase::waitingForCommand || finishEvenWhenClosing_; }

    void post(std::function<void()> work, std::function<void()> done, std::function<void()> whileRunning)
    {
        ++outstanding_;
        const bool ticking = static_cast<bool>(whileRunning);
        if (ticking) executor_.startTicking(std::move(whileRunning));
        executor_.run(std::move(work), [this, done = std::move(done), ticking] {
            if (ticking) executor_.stopTicking();
            --outstanding_;
            ++handlersActive_;
            done();
            --handlersActive_;
            finishIfDone();
        });
    }

private:
    enum class Phase { open, waitingForCommand, lastCommand };

    void runCommand(const std::function<void()> &action)
    {
        running_ = true;
        runningChanged_();
        ++handlersActive_;
        action();
        --handlersActive_;
        finishIfDone();
    }

    void finishIfDone()
    {
        if (!running_ || handlersActive_ > 0 || outstanding_ > 0) return;
        running_ = false;
        finishEvenWhenClosing_ = false;
        runningChanged_();
        if (phase_ == Phase::waitingForCommand) {
            phase_ = Phase::lastCommand;
            runCommand(lastCommand_);
        }
    }

    FormExecutor &executor_;
    std::function<void()> runningChanged_;
    bool running_ = false;
    int outstanding_ = 0;
    int handlersActive_ = 0;
    Phase phase_ = Phase::open;
    bool finishEvenWhenClosing_ = false;
    std::function<void()> lastCommand_;
};

FormModel::FormModel(FormLibrary &library, FormExecutor &executor, FormHost &host, FormPlaces places)
    : library_(library), executor_(executor), host_(host), places_(std::move(places)),
      runner_(std::make_unique<Runner>(executor, [this] { refreshControls(); })),
      detachedLauncher_(std::make_unique<client::DetachedLauncher>()), launcher_(detachedLauncher_.get())
{
    view_.portCaption = text(TextId::portCaption);
    view_.serialNumber = text(TextId::serialNumber);
    view_.firmwareVersion = text(TextId::firmwareVersion);
    view_.imageVersion = text(TextId::imageVersion, {"? "});
    view_.gpsTime = text(TextId::gpsTime);
    view_.gpsTime = view_.gpsTime.substr(0, view_.gpsTime.find("::"));
    view_.dateStamp = "Label29";
    const auto range = [](client::FieldRange field) {
        return std::vector<std::string>{std::to_string(field.fewest), std::to_string(field.most)};
    };
    view_.timeTip = text(TextId::timeFieldTip, range(client::kTimeIntervalSeconds));
    view_.distanceTip = text(TextId::distanceFieldTip, range(client::kDistanceIntervalMetres));
    view_.minSpeedTip = text(TextId::minSpeedFieldTip, range(client::kMinSpeedKmh));
    refreshControls();
}

FormModel::~FormModel() = default;

void FormModel::setProgramLauncher(client::ProgramLauncher &launcher) { launcher_ = &launcher; }

bool FormModel::commandRunning() const { return runner_->running(); }
bool FormModel::closing() const { return runner_->closing(); }

template <typename Result>
void FormModel::call(TextId status, std::function<Result()> work, std::function<void(const Result &)> then,
                     std::function<void()> whileRunning)
{
    if (!runner_->callsAllowed()) return;
    auto result = std::make_shared<Result>();
    setStatus(text(status));
    runner_->post([work = std::move(work), result] { *result = work(); },
                  [this, then = std::move(then), result] {
                      setStatus({});
                      if (const LinkCall *made = linkCallOf(*result)) tellBindingFailure(*made);
                      then(*result);
                  },
                  std::move(whileRunning));
}

bool FormModel::tellBindingFailure(const LinkCall &call)
{
    if (call.made()) return false;
    // While closing, nobody is left to act on it.
    if (!runner_->closing()) message({TextId::plain, {call.failure}, {}});
    return true;
}

void FormModel::changed() { host_.viewChanged(); }

void FormModel::message(Message message)
{
    changed();
    host_.message(message);
}

void FormModel::setStatus(const std::string &status)
{
    view_.status = status;
    changed();
}

void FormModel::setBar(Bar bar, int percent, const std::string &barText)
{
    view_.bar = bar;
    view_.percent = percent;
    view_.barText = barText;
    changed();
}

// What can act now: a running command leaves every button inert, and a
// button that cannot act looks so.
void FormModel::refreshControls()
{
    const bool idle = !runner_->running() && !runner_->closing();
    const bool device = connected_ && idle;
    auto enable = [this](Command command, bool on) { view_.enabled[static_cast<int>(command)] = on; };
    enable(Command::connect, !connected_ && idle);
    enable(Command::autoConnect, !connected_ && idle);
    for (Command command : {Command::readout, Command::chooseFolder, Command::erase, Command::storeSettings})
        enable(command, device);
    for (Command command :
         {Command::exitDumpMode, Command::deviceInformation, Command::readSettings, Command::upgradeFirmware,
          Command::readImageVersion, Command::readLibraryVersion, Command::readGpsTime, Command::convert})
        enable(command, idle);
    view_.connectOffered = view_.autoConnectOffered = !connected_ && idle;
    view_.readoutOffered = view_.eraseOffered = view_.storeOffered = device;
    // "Durchsuchen" works before connecting, too.
    view_.browseOffered = idle;
    view_.busy = runner_->running();
    if (!view_.busy) readoutRunning_ = false;
    changed();
}

std::function<void()> FormModel::busyWithElapsed(TextId what)
{
    if (!runner_->closing()) setBar(Bar::busy);
    const auto start = std::chrono::steady_clock::now();
    return [this, what, start] {
        view_.bar = Bar::busy;
        setStatus(text(TextId::elapsed, {text(what), duration(secondsSince(start))}));
    };
}

// ---------------------------------------------------------------- start-up and close

void FormModel::load()
{
    view_.ports.clear();
    for (int number = 1; number <= kListedPorts; ++number) view_.ports.push_back("COM" + std::to_string(number));
    view_.selectedPort = -1;
    const StoredOptions stored = readOptionsFile(places_.optionsFileToRead);
    for (int i = 0; i < kExportOptionCount; ++i)
        if (stored.checkBoxes[i]) view_.exportOptions[i] = *stored.checkBoxes[i];
    if (stored.folder) view_.folder = *stored.folder;
    if (view_.folder.empty()) view_.folder = places_.defaultTargetFolder;
    changed();
}

void FormModel::storeOptions()
{
    std::array<CheckState, kExportOptionCount> states{};
    for (int i = 0; i < kExportOptionCount; ++i) states[i] = view_.exportOptions[i];
    if (!writeOptionsFile(places_.optionsFile, states, view_.folder))
        message({TextId::optionsNotStored, {places_.optionsFile}, {}});
}

void FormModel::requestClose()
{
    if (unloaded_) {
        host_.closeWindow();
        return;
    }
    if (runner_->closing()) return;
    if (runner_->running() && downloading_) {
        const Answer stop = host_.ask({TextId::closeDuringReadout, {}, {}}, Answer::no);
        // The download may have ended while the question was open: the conversion then finishes.
        if (stop == Answer::yes && downloading_) {
            // The library still writes its staging file; the earlier readout's files were never touched.
            if (stagedText_) {
                std::error_code ec;
                std::filesystem::remove(*stagedText_, ec);
            }
            host_.endProgram();
            return;
        }
        if (runner_->closing() || unloaded_) return;
    }
    if (runner_->running()) {
        view_.note = text(readoutRunning_ ? TextId::closingAfterReadout : TextId::closingAfterCommand);
        changed();
    }
    runner_->close([this] { unload(); });
    refreshControls();
}

// Closing leaves dump mode, stores the options and lets the window go.
void FormModel::unload()
{
    call<LinkCall>(
        TextId::ending, [this] { return library_.exitDumpMode(); },
        [this](const LinkCall &) {
            storeOptions();
            unloaded_ = true;
            host_.closeWindow();
        });
}

// ---------------------------------------------------------------- edits

void FormModel::selectPort(int index)
{
    view_.selectedPort = index >= 0 && index < static_cast<int>(view_.ports.size()) ? index : -1;
    changed();
}

void FormModel::editFolder(const std::string &folder)
{
    view_.folder = folder;
    changed();
}

void FormModel::setExportOption(ExportOption which, CheckState state)
{
    view_.exportOptions[static_cast<int>(which)] = state;
    changed();
}

void FormModel::setLogByTime(bool byTime) { setLogSelection(byTime, !byTime); }

void FormModel::setLogSelection(bool byTime, bool byDistance)
{
    view_.logByTime = byTime;
    view_.logByDistance = byDistance;
    changed();
}

void FormModel::editTimeInterval(const std::string &entry) { view_.timeText = entry; }
void FormModel::editDistanceInterval(const std::string &entry) { view_.distanceText = entry; }

void FormModel::editMinSpeed(const std::string &entry)
{
    // The knots read back go back unchanged unless the speed was edited.
    if (entry != view_.minSpeedText) minSpeedKnotsRead_.clear();
    view_.minSpeedText = entry;
}

void FormModel::setVibration(bool on) { view_.vibration = on; }
void FormModel::setTag(bool on) { view_.tag = on; }

// The maintenance buttons lie under the photo: Tab reaches them unseen, so
// the status line says which one Space would press.
void FormModel::focusHiddenButton(const std::optional<std::string> &caption)
{
    if (caption) {
        focusWords_ = text(TextId::hiddenButtonFocus, {*caption});
        setStatus(focusWords_);
    } else if (!focusWords_.empty()) {
        if (view_.status == focusWords_) setStatus({});
        focusWords_.clear();
    }
}

// ---------------------------------------------------------------- commands

void FormModel::press(Command command, bool enforceEnabled)
{
    if (enforceEnabled && !view_.isEnabled(command)) return;
    std::function<void()> action;
    switch (command) {
    case Command::connect: action = [this] { connect(); }; break;
    case Command::autoConnect: action = [this] { autoConnect(); }; break;
    case Command::exitDumpMode: action = [this] { exitDumpMode(); }; break;
    case Command::deviceInformation: action = [this] { readDeviceInformation({}); }; break;
    case Command::readSettings: action = [this] { readSettings({}); }; break;
    case Command::upgradeFirmware: action = [this] { upgradeFirmware(); }; break;
    case Command::readImageVersion: action = [this] { readImageVersion(); }; break;
    case Command::readLibraryVersion: action = [this] { readLibraryVersion(); }; break;
    case Command::readGpsTime: action = [this] { readGpsTime(); }; break;
    case Command::chooseFolder: action = [this] { chooseFolder(); }; break;
    case Command::readout: action = [this] { readout(); }; break;
    // On its own it converts the text file named by the window as it is now.
    case Command::convert: action = [this] { convert(readoutFilesNow()); }; break;
    case Command::erase: action = [this] { erase(); }; break;
    case Command::storeSettings: action = [this] { storeSettings(); }; break;
    }
    runner_->start(action);
}

bool FormModel::selectedPortToComPort(TextId whenNone)
{
    if (view_.selectedPort < 0) {
        message({whenNone, {}, {}});
        return false;
    }
    comPort_ = view_.selectedPort + 1;
    return true;
}

void FormModel::connect()
{
    if (!selectedPortToComPort(TextId::selectComPort)) return;
    struct Attempt {
        LinkCall call;
        std::string portFailure;  // why the port could not be opened
    };
    const int32_t port = comPort_;
    const bool alreadyConnected = connected_;
    call<Attempt>(
        TextId::connecting,
        [this, port, alreadyConnected] {
            Attempt attempt;
            attempt.call = library_.intoDumpMode(port);
            // The library refuses a second connection before it touches any port.
            if (attempt.call.result == return_can_not_open_com_port && !alreadyConnected)
                attempt.portFailure = library_.portFailure(port);
            return attempt;
        },
        [this](const Attempt &attempt) {
            switch (attempt.call.result) {
            case return_can_not_open_com_port: {
                const std::string words = connected_ ? text(TextId::alreadyConnected) : attempt.portFailure;
                setStatus(words);
                message({TextId::comPortNotFound, {}, words});
                break;
            }
            case return_into_dump_mode_fail: message({TextId::dumpModeBusy, {}, {}}); break;
            case return_into_dump_mode_successful:
                beginConnection();
                afterConnect();
                break;
            default: break;
            }
        });
}

void FormModel::autoConnect()
{
    struct Search {
        LinkCall call;
        int32_t foundPort = 0;
        std::string portFailure;
    };
    const bool alreadyConnected = connected_;
    const int selectedPort = view_.selectedPort + 1;
    call<Search>(
        TextId::searching,
        [this, alreadyConnected, selectedPort] {
            Search search;
            search.call = library_.autoIntoDumpMode(search.foundPort);
            if (search.call.result == return_can_not_open_com_port && !alreadyConnected)
                search.portFailure = text(TextId::noLoggerOnAnyPort, {library_.searchFailure(selectedPort)});
            return search;
        },
        [this](const Search &search) {
            switch (search.call.result) {
            case return_can_not_open_com_port: {
                const std::string words = connected_ ? text(TextId::alreadyConnected) : search.portFailure;
                setStatus(words);
                message({TextId::cannotOpenComPort, {}, words});
                break;
            }
            case return_into_dump_mode_fail: message({TextId::dumpModeLocked, {}, {}}); break;
            case return_into_dump_mode_successful:
                beginConnection();
                comPort_ = search.foundPort;
                view_.portCaption = text(TextId::connectedTo, {std::to_string(search.foundPort)});
                selectFoundPort(search.foundPort);
                afterConnect();
                break;
            default: break;
            }
        });
}

// The device information and the settings follow every connection.
void FormModel::afterConnect()
{
    refreshControls();
    readDeviceInformation([this] {
        readSettings([this] {
            // The settings read may have found the connection gone.
            if (!connected_) return;
            refreshControls();
            if (!informationWords_.empty()) setStatus(informationWords_);
        });
    });
}

// The list holds COM1 to COM37 at start; a port found above them gets its
// entry (with those between), so that an entry's index stays its number - 1.
void FormModel::selectFoundPort(int32_t comNumber)
{
    if (comNumber < 1) return;
    for (int number = static_cast<int>(view_.ports.size()) + 1; number <= comNumber; ++number)
        view_.ports.push_back("COM" + std::to_string(number));
    view_.selectedPort = comNumber - 1;
    changed();
}

// Leaving dump mode ends the connection: the window shows it at once, as
// after a vanished logger.
void FormModel::exitDumpMode()
{
    call<LinkCall>(
        TextId::leavingDumpMode, [this] { return library_.exitDumpMode(); },
        [this](const LinkCall &call) {
            if (!call.made()) return;
            const bool wasConnected = connected_;
            showNotConnected();
            if (wasConnected) setStatus(text(TextId::leftDumpMode));
        });
}

// Dump mode is open: what the window knew of an earlier logger goes.
void FormModel::beginConnection()
{
    connected_ = true;
    readoutSinceConnect_ = false;
    loggerFirmwareVersion_.clear();
    informationWords_.clear();
}

// Back to the look before any connection; what was read from the logger goes with it.
void FormModel::showNotConnected()
{
    connected_ = false;
    readoutSinceConnect_ = false;
    loggerFirmwareVersion_.clear();
    view_.portCaption = text(TextId::portCaption);
    view_.serialNumber = text(TextId::serialNumber);
    view_.firmwareVersion = text(TextId::firmwareVersion);
    refreshControls();
}

// A 26 while connected: the library has no connection any more. A no-answer
// result: the library closes the port when it went away during the
// operation, and then any device call returns 26 at once without touching
// the line; a logger that is there but was slow answers the read-only
// information request instead.
void FormModel::settleConnection(int32_t result, const Settled &settled)
{
    if (connected_ && result == return_not_dump_mode) {
        showNotConnected();
        settled(true);
        return;
    }
    if (!connected_ || !isNoAnswer(result) || runner_->closing()) {
        settled(false);
        return;
    }
    const int32_t port = comPort_;
    call<LinkCall>(
        TextId::checkingConnection,
        [this, port] {
            int32_t serialNumber = 0;
            std::string version;
            return library_.readDeviceInformation(port, serialNumber, version);
        },
        [this, settled](const LinkCall &probe) {
            const bool lost = probe.result == return_not_dump_mode;
            if (lost) showNotConnected();
            settled(lost);
        });
}

void FormModel::finishDeviceCommand(int32_t result, const std::string &words)
{
    settleConnection(result, [this, result, words](bool lost) {
        if (!lost && result != return_not_dump_mode) {
            if (!words.empty()) setStatus(words);
        } else if (result == return_not_dump_mode || words.empty()) {
            setStatus(resultWords(result, text(TextId::connectionLost)));
        } else {
            setStatus(words + " " + text(TextId::connectionLost));
        }
    });
}

void FormModel::readDeviceInformation(Then then)
{
    struct DeviceInformation {
        LinkCall call;
        int32_t serialNumber = 0;
        std::string firmwareVersion;
    };
    const int32_t port = comPort_;
    call<DeviceInformation>(
        TextId::readingInformation,
        [this, port] {
            DeviceInformation information;
            information.call =
                library_.readDeviceInformation(port, information.serialNumber, information.firmwareVersion);
            return information;
        },
        [this, then](const DeviceInformation &information) {
            const int32_t result = information.call.result;
            std::string words;
            switch (result) {
            case return_read_device_information_successful:
                // The logger's serial number is an unsigned 32-bit value.
                view_.serialNumber =
                    text(TextId::serialNumber, {std::to_string(static_cast<uint32_t>(information.serialNumber))});
                view_.firmwareVersion = text(TextId::firmwareVersion, {information.firmwareVersion});
                loggerFirmwareVersion_ = information.firmwareVersion;
                changed();
                break;
            case return_not_dump_mode:
            case return_device_information_invalid:
            case return_device_information_no_answer:
                message({TextId::connectionError,
                         {std::to_string(result)},
                         resultWords(result, text(TextId::informationIncomplete))});
                break;
            default:
                if (information.call.made()) words = resultWords(result, text(TextId::informationIncomplete));
                break;
            }
            // While connecting, the settings read follows and settles the connection.
            if (then) {
                informationWords_ = words;
                then();
            } else {
                finishDeviceCommand(result, words);
            }
        });
}

void FormModel::readSettings(Then then)
{
    if (view_.selectedPort < 0) {
        message({TextId::selectComPortSettings, {}, text(TextId::selectComPort)});
        if (then) then();
        return;
    }
    comPort_ = view_.selectedPort + 1;
    struct SettingValues {
        LinkCall call;
        client::SettingsRead read;
    };
    const int32_t port = comPort_;
    call<SettingValues>(
        TextId::readingSettings,
        [this, port] {
            SettingValues values;
            auto &read = values.read;
            values.call = library_.readSettingValue(port, read.timeInterval, read.distanceInterval, read.vibration,
                                                    read.tag, read.minSpeedKnots);
            return values;
        },
        [this, then](const SettingValues &values) {
            switch (values.call.result) {
            case return_read_setting_value_successful: {
                const auto shown = client::settingsPageFor(values.read);
                view_.logByTime = shown.byTime;
                view_.logByDistance = !shown.byTime;
                if (shown.timeText) view_.timeText = *shown.timeText;
                if (shown.distanceText) view_.distanceText = *shown.distanceText;
                view_.vibration = shown.vibration;
                view_.tag = shown.tag;
                view_.minSpeedText = shown.minSpeedText;
                minSpeedKnotsRead_ = shown.minSpeedKnotsRead;
                changed();
                break;
            }
            default:
                if (values.call.made() && values.call.result != return_not_dump_mode)
                    setStatus(resultWords(values.call.result, text(TextId::settingsNotRead)));
                break;
            }
            // A read that found the connection gone leaves the window unconnected.
            settleConnection(values.call.result, [this, then](bool lost) {
                if (lost) setStatus(resultWords(return_not_dump_mode, text(TextId::connectionLost)));
                if (then) then();
            });
        });
}

// The image's version is read first, so that the question can name both
// versions; a broken image is told as the upgrade itself would tell it.
void FormModel::upgradeFirmware()
{
    struct ImageVersion {
        LinkCall call;
        std::string version;
    };
    call<ImageVersion>(
        TextId::readingImage,
        [this] {
            ImageVersion image;
            image.call = library_.readBinFileFwVersion(image.version, places_.firmwareFolder);
            return image;
        },
        [this](const ImageVersion &image) {
            const int32_t result = image.call.result;
            if (result != return_read_binfile_FW_version_successful) {
                if (!image.call.made()) return;
                const std::string words = text(TextId::nothingSent, {imageFailureWords(places_, result)});
                setStatus(words);
                if (isImageCheckFailure(result)) message({TextId::libraryResult, {resultName(result)}, words});
                return;
            }
            const std::string current =
                loggerFirmwareVersion_.empty() ? text(TextId::unknownVersion) : loggerFirmwareVersion_;
            const Message question{
                TextId::upgradeQuestion, {current, image.version}, text(TextId::upgradeKeepConnected)};
            changed();
            if (host_.ask(question, Answer::no) != Answer::yes) {
                setStatus(text(TextId::upgradeCancelled));
                return;
            }
            sendFirmware(image.version);
        });
}

void FormModel::sendFirmware(const std::string &imageVersion)
{
    const int32_t port = comPort_;
    call<LinkCall>(
        TextId::upgrading, [this, port] { return library_.fwUpgrade(port, places_.firmwareFolder); },
        [this, imageVersion](const LinkCall &call) {
            setBar(Bar::hidden);
            const int32_t result = call.result;
            if (result == return_upgrade_firmware_successful) {
                const std::string words = text(TextId::upgradeSent, {imageVersion});
                // The logger restarts with the new firmware and the library has
                // left dump mode: the version shown is no longer the logger's.
                showNotConnected();
                view_.firmwareVersion = text(TextId::firmwareVersion, {"?"});
                setStatus(words);
                message({TextId::libraryResult, {resultName(result)}, {}});
                message({TextId::upgradeFinish, {}, words});
                return;
            }
            std::string words;
            if (result == return_not_dump_mode) {
                words = resultWords(result, text(TextId::connectionLost));
                message({TextId::libraryResult, {resultName(result)}, words});
            } else if (isImageCheckFailure(result)) {
                words = imageFailureWords(places_, result);
                message({TextId::libraryResult, {resultName(result)}, words});
            } else if (result == return_device_time_out) {
                words = resultWords(result, text(TextId::upgradeNotConfirmed));
            } else if (result == return_device_checksum_error) {
                words = resultWords(result, text(TextId::upgradeChecksum));
            } else if (call.made()) {
                words = resultWords(result, text(TextId::upgradeUnclear));
            }
            finishDeviceCommand(result, result == return_not_dump_mode ? std::string() : words);
        },
        busyWithElapsed(TextId::upgrading));
}

void FormModel::readImageVersion()
{
    struct ImageVersion {
        LinkCall call;
        std::string version;
    };
    call<ImageVersion>(
        TextId::readingImage,
        [this] {
            ImageVersion image;
            image.call = library_.readBinFileFwVersion(image.version, places_.firmwareFolder);
            return image;
        },
        [this](const ImageVersion &image) {
            const int32_t result = image.call.result;
            if (result == return_read_binfile_FW_version_successful) {
                view_.imageVersion = text(TextId::imageVersion, {image.version});
                // The label lies under the photo.
                setStatus(view_.imageVersion);
                message({TextId::libraryResult, {resultName(result)}, view_.imageVersion});
            } else if (image.call.made()) {
                const std::string words = imageFailureWords(places_, result);
                setStatus(words);
                if (isImageCheckFailure(result)) message({TextId::libraryResult, {resultName(result)}, words});
            }
        });
}

void FormModel::readLibraryVersion()
{
    struct LibraryVersion {
        LinkCall call;
        std::string version;
    };
    call<LibraryVersion>(
        TextId::readingLibraryVersion,
        [this] {
            LibraryVersion version;
            version.call = library_.readDllVersion(version.version);
            return version;
        },
        [this](const LibraryVersion &version) {
            if (version.call.result == return_read_dll_version_successful) {
                // Shown where the other maintenance results are; the "NMEA" caption stays.
                view_.libraryVersion = text(TextId::libraryVersion, {version.version});
                setStatus(view_.libraryVersion);
            } else if (version.call.made()) {
                setStatus(resultWords(version.call.result, text(TextId::libraryVersionUnknown)));
            }
        });
}

void FormModel::readGpsTime()
{
    struct GpsTime {
        LinkCall call;
        // Each output starts as a blank, as the buffers handed to the library do.
        uint8_t hour = ' ', minute = ' ', second = ' ', year = ' ', month = ' ', day = ' ';
    };
    call<GpsTime>(
        TextId::readingGpsTime,
        [this] {
            GpsTime time;
            time.call =
                library_.readGpsUtcTimeDate(time.hour, time.minute, time.second, time.year, time.month, time.day);
            return time;
        },
        [this](const GpsTime &time) {
            const int32_t result = time.call.result;
            std::string words;
            switch (result) {
            case return_read_gps_utc_time_successful: {
                // As received, without leading zeros or range checks.
                view_.gpsTime = text(TextId::gpsTime, {std::to_string(time.hour), std::to_string(time.minute),
                                                       std::to_string(time.second), std::to_string(time.day),
                                                       std::to_string(time.month), std::to_string(time.year)});
                const size_t first = view_.gpsTime.find_first_not_of(' ');
                words = text(TextId::gpsTimeShown, {view_.gpsTime.substr(first)});
                setStatus(words);
                message({TextId::libraryResult, {resultName(result)}, words});
                break;
            }
            case return_not_dump_mode:
                words = resultWords(result, text(TextId::gpsTimeNotConnected));
                setStatus(words);
                message({TextId::libraryResult, {resultName(result)}, words});
                break;
            case return_read_gps_utc_time_invalid:
                words = resultWords(result, text(TextId::gpsTimeInvalid));
                setStatus(words);
                message({TextId::libraryResult, {resultName(result)}, words});
                break;
            default:
                if (time.call.made()) words = resultWords(result, text(TextId::gpsTimeUnknown));
                break;
            }
            finishDeviceCommand(result, words);
        });
}

// The dialog opens in the folder the field names; cancelling keeps the field.
void FormModel::chooseFolder()
{
    changed();
    const auto chosen = host_.chooseFolder(view_.folder);
    if (chosen && !chosen->empty()) editFolder(*chosen);
}

// ---------------------------------------------------------------- readout

ReadoutFiles FormModel::readoutFilesNow() const
{
    const bool dated = view_.option(ExportOption::dateInName) == CheckState::checked;
    return client::readoutFiles(view_.folder, dated ? view_.dateStamp : std::string());
}

namespace {

// The download as the window shows it: the watcher says where it stands, the
// clock runs from the click.
struct DownloadWatch {
    explicit DownloadWatch(const ReadoutFiles &files) : watcher(files) {}
    client::DownloadWatcher watcher;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

}  // namespace

// The readout. Its files are fixed here: a folder or date option changed
// meanwhile must not send the conversion to other files than the library
// writes. The library writes the text under a staging name, so that an empty
// logger cannot replace a track.
void FormModel::readout()
{
    const size_t first = view_.folder.find_first_not_of(" \t");
    if (first == std::string::npos) {
        // Without a folder the library would write into the current directory.
        message({TextId::folderMissing, {}, {}});
        return;
    }
    view_.dateStamp = client::makeDateStampNow();
    const ReadoutFiles files = readoutFilesNow();
    view_.mapPage.clear();  // offered again once this readout made its page
    // The library makes only the last folder of the path: the whole path is made here first.
    std::error_code ec;
    std::filesystem::create_directories(files.folder, ec);
    if (!std::filesystem::is_directory(files.folder, ec)) {
        message({TextId::folderCannotBeMade, {files.folder}, {}});
        return;
    }
    auto watch = std::make_shared<DownloadWatch>(files);
    readoutStart_ = std::chrono::steady_clock::now();
    setBar(Bar::percent, 0);
    readoutRunning_ = true;
    downloading_ = true;
    stagedText_ = client::stagedTrackText(files);
    // Closing the window meanwhile lets the readout end with its conversion,
    // so that the folder never holds a new text beside older NMEA and GPX files.
    runner_->finishEvenWhenClosing();
    const int32_t port = comPort_;
    call<LinkCall>(
        TextId::waitingForLogger, [this, port, path = *stagedText_] { return library_.dumpDb(port, path); },
        [this, files, startedAt = std::time(nullptr)](const LinkCall &call) {
            downloading_ = false;
            stagedText_.reset();
            setBar(Bar::hidden);
            if (call.result == return_dump_db_successful) {
                placeReadout(files);
                return;
            }
            // A failed download leaves the earlier files as they were.
            client::discardStagedTrackText(files);
            readoutStart_.reset();
            if (!call.made()) return;
            // What arrived holds the newest records: kept under a name of its own.
            const client::KeptPart part = client::keepBrokenOffPart(files.folder, startedAt);
            std::string details = text(TextId::readoutFailed);
            if (part.records > 0)
                details +=
                    "\n\n" + (part.path.empty()
                                  ? text(TextId::brokenOffPartNotKept, {std::to_string(part.records), part.error})
                                  : text(TextId::brokenOffPartKept, {std::to_string(part.records), part.path}));
            message({TextId::libraryResult, {resultName(call.result)}, details});
            finishDeviceCommand(call.result, {});
        },
        [this, watch] {
            using client::DownloadPhase;
            const auto seen = watch->watcher.look(secondsSince(watch->start));
            const std::string since = duration(seen.elapsedSeconds);
            switch (seen.phase) {
            case DownloadPhase::waitingForLogger:
                setBar(Bar::percent, 0);
                setStatus(text(TextId::waitingForLogger, {since}));
                break;
            case DownloadPhase::receiving:
            case DownloadPhase::ordering:
                setBar(Bar::percent, seen.percent,
                       text(TextId::progressBar, {megabytes(seen.bytes), megabytes(client::kLogImageBytes)}));
                if (seen.phase == DownloadPhase::ordering)
                    setStatus(text(TextId::orderingRecords, {since}));
                else if (seen.secondsLeft < 0)
                    setStatus(text(TextId::readingLog, {since}));
                else
                    setStatus(text(TextId::readingLogLeft, {since, duration(seen.secondsLeft)}));
                break;
            case DownloadPhase::writingText:
                setBar(Bar::percent, 100);
                setStatus(text(TextId::writingText, {since}));
                break;
            }
        });
}

void FormModel::placeReadout(const ReadoutFiles &files)
{
    std::string error;
    switch (client::placeStagedTrackText(files, error)) {
    case client::StagedTextOutcome::placed: convert(files); return;
    case client::StagedTextOutcome::emptyKeptEarlier: {
        readoutStart_.reset();
        readoutSinceConnect_ = connected_;
        const std::string kept = client::kEmptyLoggerKeptFiles;
        setStatus(kept);
        message({TextId::emptyLoggerKept, {kept}, {}});
        return;
    }
    case client::StagedTextOutcome::cannotPlace:
        readoutStart_.reset();
        message({TextId::cannotPlaceText, {error, client::stagedTrackText(files)}, {}});
        return;
    }
}

// The conversion step: the NMEA files on the worker (a full log has half a
// million lines), then GPSBabel for each checked format.
void FormModel::convert(const ReadoutFiles &files, int64_t rolloverToday)
{
    const client::ConversionChoices choices{view_.option(ExportOption::perMark) == CheckState::checked, rolloverToday};
    if (!runner_->closing()) setBar(Bar::busy);
    call<ConversionOutcome>(
        TextId::writingNmea, [files, choices] { return client::convertTrackText(files, choices); },
        [this, files, rolloverToday](const ConversionOutcome &outcome) {
            conversionDone(files, outcome, rolloverToday >= 0);
        });
}

namespace {

std::string germanDate(int64_t day)
{
    const std::tm t = client::utcCalendarTime(static_cast<std::time_t>(day * 86400 + 43200));
    char shown[32];
    std::snprintf(shown, sizeof shown, "%02d.%02d.%04d", t.tm_mday, t.tm_mon + 1, t.tm_year + 1900);
    return shown;
}

}  // namespace

void FormModel::conversionDone(const ReadoutFiles &files, const ConversionOutcome &outcome, bool rolloverCorrected)
{
    setBar(Bar::hidden);
    using Failure = ConversionOutcome::Failure;
    switch (outcome.failure) {
    case Failure::none: break;
    case Failure::trackTextMissing:
        readoutStart_.reset();
        message({TextId::trackTextMissing, {outcome.failedPath}, {}});
        return;
    case Failure::nmeaNotWritable:
    case Failure::markFileNotWritable:
        readoutStart_.reset();
        message({TextId::fileNotWritable, {outcome.failedPath}, {}});
        return;
    }
    // Dates 1024 weeks early are corrected on request before GPSBabel reads
    // the NMEA file; a close that was asked for is not held up by the question.
    const int64_t today = client::utcDay(std::time(nullptr));
    if (!rolloverCorrected && !runner_->closing() && client::datesLookRolledOver(outcome.newestDay, today)) {
        changed();
        const Message question{
            TextId::rolloverQuestion, {germanDate(outcome.newestDay)}, text(TextId::rolloverQuestionDetails)};
        if (host_.ask(question, Answer::no) == Answer::yes) {
            convert(files, today);
            return;
        }
    }
    const std::string converting = startGpsBabel(files);
    // An empty log draws nothing: an earlier page stays, and none is offered.
    const std::string map = outcome.sentenceLines > 0 ? writeMapPage(files) : std::string();
    // The readout of the connected logger is complete (not a conversion run on its own).
    if (readoutRunning_) readoutSinceConnect_ = connected_;
    const std::string points = std::to_string(outcome.sentenceLines / 2);
    setStatus((readoutStart_ ? text(TextId::pointsReadIn, {points, duration(secondsSince(*readoutStart_))})
                             : text(TextId::pointsRead, {points})) +
              (outcome.correctedRecords > 0
                   ? " · " + text(TextId::rolloverCorrected, {std::to_string(outcome.correctedRecords)})
                   : std::string()) +
              (converting.empty() ? std::string() : " · " + converting) + (map.empty() ? std::string() : " · " + map));
    readoutStart_.reset();
    // A close that was asked for is not held up by a box nobody waits for.
    if (!runner_->closing()) message({TextId::readoutDone, {}, view_.status, true});
}

// The map page of the whole log beside the files, with the trips, points and
// distance. Returns what the status line says of it; a page that cannot be
// written is told there, the readout still being complete.
std::string FormModel::writeMapPage(const ReadoutFiles &files)
{
    std::string error;
    const std::string page = client::writeReadoutMapPage(files, {}, error);
    if (page.empty())
        return text(TextId::mapPageNotWritten,
                    {std::filesystem::path(client::mapPagePath(files)).filename().string(), error});
    view_.mapPage = page;
    std::string summaryError;
    const std::string summary = client::readoutSummary(files, {}, summaryError);
    const std::string written = text(TextId::mapPageWritten, {std::filesystem::path(page).filename().string()});
    return summary.empty() ? written : summary + " · " + written;
}

void FormModel::openMapPage()
{
    if (view_.mapPage.empty()) return;
    if (!host_.openUrl(view_.mapPage)) message({TextId::mapPageCannotOpen, {view_.mapPage}, {}});
}

// Started and left to run; the files appear in the folder when it is done.
// A program that cannot be started is told once, not once per format.
// Returns what the status line says about the runs started.
std::string FormModel::startGpsBabel(const ReadoutFiles &files)
{
    std::string started;
    client::ExportOptions options;
    options.kml = view_.option(ExportOption::kml) == CheckState::checked;
    options.plt = view_.option(ExportOption::plt) == CheckState::checked;
    options.gpx = view_.option(ExportOption::gpx) == CheckState::checked;
    bool told = false;
    for (const auto &run : client::gpsBabelRuns(files, options)) {
        std::string error;
        // GPSBabel writes its file by name: nothing planted there may redirect it.
        client::removePlantedEntry(run.output);
        if (launcher_->startDetached(client::kGpsBabelProgram, run.arguments, error)) {
            const std::string shown = run.format == "ozi" ? "PLT" : run.format == "kml" ? "KML" : "GPX";
            started += (started.empty() ? "" : ", ") + shown;
            continue;
        }
        if (told) continue;
        told = true;
        message({TextId::gpsBabelCannotStart, {client::kGpsBabelProgram, gpsBabelInstallHint()}, {}});
    }
    return started.empty() ? started : text(TextId::startingGpsBabel, {started});
}

// Erasing cannot be undone: it is asked first, Nein being the default, and
// the question warns when the log was not read out since connecting.
void FormModel::erase()
{
    const Message question{TextId::eraseQuestion, {}, readoutSinceConnect_ ? "" : text(TextId::eraseNotReadOut)};
    changed();
    if (host_.ask(question, Answer::no) != Answer::yes) {
        setStatus(text(TextId::notErased));
        return;
    }
    eraseAfterQuestion();
}

void FormModel::eraseAfterQuestion()
{
    const int32_t port = comPort_;
    call<LinkCall>(
        TextId::erasing, [this, port] { return library_.eraseAllDb(port); },
        [this](const LinkCall &call) {
            setBar(Bar::hidden);
            std::string words;
            switch (call.result) {
            case return_erase_db_successful: message({TextId::eraseDone, {}, {}}); break;
            case return_not_dump_mode:
                message({TextId::notConnected, {}, resultWords(call.result, text(TextId::connectionLost))});
                break;
            case return_device_time_out:
                words = resultWords(call.result, text(TextId::eraseUnclear));
                setStatus(words);
                message({TextId::loggerNoAnswer, {}, words});
                break;
            default:
                if (call.made()) words = resultWords(call.result, text(TextId::eraseUnclear));
                break;
            }
            finishDeviceCommand(call.result, words);
        },
        busyWithElapsed(TextId::erasing));
}

// ---------------------------------------------------------------- settings

// Every field in force must hold a whole number within the logger's range;
// otherwise nothing is sent.
void FormModel::storeSettings()
{
    if (!selectedPortToComPort(TextId::selectComPortSettings)) return;
    struct Field {
        bool inForce;
        const std::string &entry;
        client::FieldRange range;
        TextId name;
        const char *unit;
    };
    const Field fields[] = {
        {view_.logByTime, view_.timeText, client::kTimeIntervalSeconds, TextId::timeFieldName, "Sekunden"},
        {view_.logByDistance, view_.distanceText, client::kDistanceIntervalMetres, TextId::distanceFieldName, "Meter"},
        {minSpeedKnotsRead_.empty(), view_.minSpeedText, client::kMinSpeedKmh, TextId::minSpeedFieldName, "km/h"},
    };
    for (const Field &field : fields) {
        if (!field.inForce || wholeNumberIn(field.entry, field.range)) continue;
        message({TextId::fieldNotWhole,
                 {text(field.name), std::to_string(field.range.fewest), std::to_string(field.range.most), field.unit,
                  field.entry},
                 {}});
        return;
    }

    client::SettingsPage page;
    page.byTime = view_.logByTime;
    page.byDistance = view_.logByDistance;
    page.timeText = view_.timeText;
    page.distanceText = view_.distanceText;
    page.minSpeedText = view_.minSpeedText;
    page.minSpeedKnotsRead = minSpeedKnotsRead_;
    page.vibration = view_.vibration;
    page.tag = view_.tag;
    const auto store = client::settingsToStore(page);
    if (store.refused != client::PageStore::Refused::none) {
        // Only a speed read from the logger beyond a byte of knots gets here.
        message({TextId::settingsNotStored, {resultName(return_log_min_speed_over_20_knot_error)}, {}});
        return;
    }

    const int32_t port = comPort_;
    const client::SettingsToStore settings = store.settings;
    call<LinkCall>(
        TextId::storingSettings,
        [this, port, settings] {
            return library_.settingDevice(port, settings.timeInterval, settings.distanceInterval, settings.vibration,
                                          settings.tag, places_.voicePromptFolder, settings.minSpeedKnots);
        },
        [this](const LinkCall &call) {
            setBar(Bar::hidden);
            const int32_t result = call.result;
            std::string words;
            if (result == return_setting_device_successful)
                message({TextId::settingsStored, {}, {}});
            else if (isToldByName(result))
                message({TextId::libraryResult,
                         {resultName(result)},
                         result == return_not_dump_mode ? resultWords(result, text(TextId::connectionLost))
                                                        : resultWords(result, text(TextId::storeUnclear))});
            else if (result == return_device_time_out)
                words = resultWords(result, text(TextId::storeNoAnswer));
            else if (result == return_device_checksum_error)
                words = resultWords(result, text(TextId::storeChecksum));
            else if (call.made())
                words = resultWords(result, text(TextId::storeUnclear));
            finishDeviceCommand(result, words);
        },
        busyWithElapsed(TextId::storingSettings));
}

}  // namespace trk7700::form
