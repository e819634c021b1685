// The window's logic without a window: each command in each state, with the
// library calls it makes, the message or question it brings and what the
// controls show afterwards.
#include "form_model.h"
#include "support/temp_dir.h"

#include "conversion/track_conversion.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using namespace trk7700::form;
using trk7700::testing::TempDir;

const std::string kTrackText =
    "Tag,$GPGGA,UTC(hhmmss.sss),Latitude,N/S,Longitude,E/W,Fix quality,Fix quality,Horizontal dilution of "
    "position,Altitude,Height of geoid,,Checksum\r\n"
    "Tag,$GPRMC,UTC(hhmmss.sss),A,Latitude,N/S,Longitude,E/W,Speed(knots),Course(degrees),Date(ddmmyy),,Checksum\r\n"
    "---,$GPGGA,R1*00\r\n---,$GPRMC,R1*00\r\n---,$GPGGA,R2*00\r\n---,$GPRMC,R2*00\r\n";

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

void writeFile(const std::filesystem::path &path, const std::string &content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// The library as a script: each call is recorded by name and argument and
// answers with its success code unless a result is set for its name.
class FakeLibrary : public FormLibrary {
public:
    std::vector<std::string> calls;
    std::map<std::string, int32_t> results;
    std::string trackText = kTrackText;  // what a successful download writes
    int32_t foundPort = 5;

    LinkCall answer(const std::string &name, int32_t success, const std::string &argument = {})
    {
        calls.push_back(argument.empty() ? name : name + " " + argument);
        const auto set = results.find(name);
        return LinkCall{set == results.end() ? success : set->second, {}};
    }

    LinkCall intoDumpMode(int32_t port) override
    {
        return answer("intoDumpMode", return_into_dump_mode_successful, std::to_string(port));
    }
    LinkCall autoIntoDumpMode(int32_t &found) override
    {
        found = foundPort;
        return answer("autoIntoDumpMode", return_into_dump_mode_successful);
    }
    LinkCall exitDumpMode() override { return answer("exitDumpMode", return_exit_dump_mode); }
    LinkCall dumpDb(int32_t port, const std::string &path) override
    {
        const LinkCall call = answer("dumpDb", return_dump_db_successful, std::to_string(port));
        if (call.result == return_dump_db_successful) writeFile(path, trackText);
        stagedPath = path;
        if (duringDownload) duringDownload();
        return call;
    }
    LinkCall eraseAllDb(int32_t port) override
    {
        return answer("eraseAllDb", return_erase_db_successful, std::to_string(port));
    }
    LinkCall settingDevice(int32_t port, uint32_t time, uint32_t distance, uint8_t vibration, uint8_t tag,
                           const std::string &, uint8_t minSpeed) override
    {
        std::ostringstream arguments;
        arguments << port << " " << time << " " << distance << " " << int{vibration} << " " << int{tag} << " "
                  << int{minSpeed};
        return answer("settingDevice", return_setting_device_successful, arguments.str());
    }
    LinkCall readSettingValue(int32_t port, int32_t &time, int32_t &distance, uint8_t &vibration, uint8_t &tag,
                              uint8_t &minSpeed) override
    {
        time = 5;
        distance = -1;
        vibration = 0;
        tag = 1;
        minSpeed = 5;
        return answer("readSettingValue", return_read_setting_value_successful, std::to_string(port));
    }
    LinkCall readDllVersion(std::string &version) override
    {
        version = "1.5";
        return answer("readDllVersion", return_read_dll_version_successful);
    }
    LinkCall readDeviceInformation(int32_t port, int32_t &serialNumber, std::string &firmware) override
    {
        serialNumber = 1234;
        firmware = "1.2";
        return answer("readDeviceInformation", return_read_device_information_successful, std::to_string(port));
    }
    LinkCall readGpsUtcTimeDate(uint8_t &hour, uint8_t &minute, uint8_t &second, uint8_t &year, uint8_t &month,
                                uint8_t &day) override
    {
        hour = 12, minute = 3, second = 4, year = 26, month = 12, day = 11;
        return answer("readGpsUtcTimeDate", return_read_gps_utc_time_successful);
    }
    LinkCall fwUpgrade(int32_t port, const std::string &) override
    {
        return answer("fwUpgrade", return_upgrade_firmware_successful, std::to_string(port));
    }
    LinkCall readBinFileFwVersion(std::string &version, const std::string &) override
    {
        version = "1.3";
        return answer("readBinFileFwVersion", return_read_binfile_FW_version_successful);
    }
    std::string portFailure(int port) override { return "Grund für COM" + std::to_string(port); }
    std::string searchFailure(int) override { return "Grund der Suche"; }

    std::string stagedPath;
    std::function<void()> duringDownload;
};

// Work runs when the test says so, as a worker thread would run it later.
class HandRunExecutor : public FormExecutor {
public:
    void run(std::function<void()> work, std::function<void()> done) override
    {
        pending.push_back({std::move(work), std::move(done)});
    }
    void startTicking(std::function<void()> tick) override { this->tick = std::move(tick); }
    void stopTicking() override { tick = {}; }

    // Runs everything, including the work that results ask for.
    void runAll()
    {
        while (!pending.empty()) runOne();
    }
    void runOne()
    {
        auto next = std::move(pending.front());
        pending.pop_front();
        next.first();
        next.second();
    }

    std::deque<std::pair<std::function<void()>, std::function<void()>>> pending;
    std::function<void()> tick;
};

class RecordingHost : public FormHost {
public:
    void viewChanged() override {}
    void message(const Message &message) override { messages.push_back(message); }
    Answer ask(const Message &question, Answer defaultAnswer) override
    {
        questions.push_back(question);
        defaults.push_back(defaultAnswer);
        if (duringQuestion) duringQuestion();
        return answer;
    }
    std::optional<std::string> chooseFolder(const std::string &start) override
    {
        folderDialogStarts.push_back(start);
        return folderToChoose;
    }
    bool openUrl(const std::string &path) override
    {
        opened.push_back(path);
        return openSucceeds;
    }
    void closeWindow() override { ++windowCloses; }
    void endProgram() override { ++programEnds; }

    std::vector<TextId> messageIds() const
    {
        std::vector<TextId> ids;
        for (const auto &message : messages) ids.push_back(message.id);
        return ids;
    }

    std::vector<Message> messages, questions;
    std::vector<Answer> defaults;
    Answer answer = Answer::yes;
    std::optional<std::string> folderToChoose;
    std::vector<std::string> folderDialogStarts;
    std::function<void()> duringQuestion;
    int windowCloses = 0, programEnds = 0;
    std::vector<std::string> opened;
    bool openSucceeds = true;
};

// Launches nothing; records what would have started.
class RecordingLauncher : public trk7700::client::ProgramLauncher {
public:
    bool startDetached(const std::string &program, const std::vector<std::string> &, std::string &) override
    {
        started.push_back(program);
        return true;
    }
    std::vector<std::string> started;
};

enum class State { notConnected, connected, readOut };

class FormModelTest : public ::testing::Test {
protected:
    FormModelTest()
    {
        places.optionsFile = (dir / "wayfolk-tool.ini").string();
        places.optionsFileToRead = places.optionsFile;
        places.defaultTargetFolder = (dir / "Wayfolk").string();
        places.firmwareFolder = (dir / "binfile/").string();
        places.voicePromptFolder = (dir / "wav/").string();
        model = std::make_unique<FormModel>(library, executor, host, places);
        model->setProgramLauncher(launcher);
        model->load();
    }

    void reach(State state)
    {
        model->selectPort(2);  // COM3
        if (state == State::notConnected) return;
        model->press(Command::connect);
        executor.runAll();
        if (state == State::readOut) {
            model->press(Command::readout);
            executor.runAll();
        }
        library.calls.clear();
        host.messages.clear();
    }

    void press(Command command)
    {
        model->press(command);
        executor.runAll();
    }

    TempDir dir;
    FormPlaces places;
    FakeLibrary library;
    HandRunExecutor executor;
    RecordingHost host;
    RecordingLauncher launcher;
    std::unique_ptr<FormModel> model;
};

using Calls = std::vector<std::string>;
using Ids = std::vector<TextId>;

// Every command from the states a user meets: the calls, the messages and
// whether the window takes the logger as connected afterwards.
struct CommandCase {
    const char *name;
    State state;
    Command command;
    std::map<std::string, int32_t> results;
    Calls calls;
    Ids messages;
    bool connectedAfter;
};

const CommandCase kCommandCases[] = {
    {"connect",
     State::notConnected,
     Command::connect,
     {},
     {"intoDumpMode 3", "readDeviceInformation 3", "readSettingValue 3"},
     {},
     true},
    {"connect to a port that does not open",
     State::notConnected,
     Command::connect,
     {{"intoDumpMode", return_can_not_open_com_port}},
     {"intoDumpMode 3"},
     {TextId::comPortNotFound},
     false},
    {"connect, dump mode refused",
     State::notConnected,
     Command::connect,
     {{"intoDumpMode", return_into_dump_mode_fail}},
     {"intoDumpMode 3"},
     {TextId::dumpModeBusy},
     false},
    {"connect, information invalid",
     State::notConnected,
     Command::connect,
     {{"readDeviceInformation", return_device_information_invalid}},
     {"intoDumpMode 3", "readDeviceInformation 3", "readSettingValue 3"},
     {TextId::connectionError},
     true},
    {"automatic connect",
     State::notConnected,
     Command::autoConnect,
     {},
     {"autoIntoDumpMode", "readDeviceInformation 5", "readSettingValue 5"},
     {},
     true},
    {"automatic connect, no logger",
     State::notConnected,
     Command::autoConnect,
     {{"autoIntoDumpMode", return_can_not_open_com_port}},
     {"autoIntoDumpMode"},
     {TextId::cannotOpenComPort},
     false},
    {"connect again while connected",
     State::connected,
     Command::connect,
     {{"intoDumpMode", return_can_not_open_com_port}},
     {"intoDumpMode 3"},
     {TextId::comPortNotFound},
     true},
    {"exit dump mode", State::connected, Command::exitDumpMode, {}, {"exitDumpMode"}, {}, false},
    {"exit dump mode unconnected", State::notConnected, Command::exitDumpMode, {}, {"exitDumpMode"}, {}, false},
    {"readout", State::connected, Command::readout, {}, {"dumpDb 3"}, {TextId::readoutDone}, true},
    {"readout, logger silent and gone",
     State::connected,
     Command::readout,
     {{"dumpDb", return_device_time_out}, {"readDeviceInformation", return_not_dump_mode}},
     {"dumpDb 3", "readDeviceInformation 3"},
     {TextId::libraryResult},
     false},
    {"readout, logger silent but there",
     State::connected,
     Command::readout,
     {{"dumpDb", return_device_time_out}},
     {"dumpDb 3", "readDeviceInformation 3"},
     {TextId::libraryResult},
     true},
    {"readout unconnected",
     State::notConnected,
     Command::readout,
     {{"dumpDb", return_not_dump_mode}},
     {"dumpDb 0"},
     {TextId::libraryResult},
     false},
    {"erase after a readout", State::readOut, Command::erase, {}, {"eraseAllDb 3"}, {TextId::eraseDone}, true},
    {"erase, no connection",
     State::connected,
     Command::erase,
     {{"eraseAllDb", return_not_dump_mode}},
     {"eraseAllDb 3"},
     {TextId::notConnected},
     false},
    {"erase, no answer",
     State::connected,
     Command::erase,
     {{"eraseAllDb", return_device_time_out}},
     {"eraseAllDb 3", "readDeviceInformation 3"},
     {TextId::loggerNoAnswer},
     true},
    {"store settings as read",
     State::connected,
     Command::storeSettings,
     {},
     {"settingDevice 3 5 0 0 1 5"},
     {TextId::settingsStored},
     true},
    {"store settings, no connection",
     State::connected,
     Command::storeSettings,
     {{"settingDevice", return_not_dump_mode}},
     {"settingDevice 3 5 0 0 1 5"},
     {TextId::libraryResult},
     false},
    {"store settings, checksum",
     State::connected,
     Command::storeSettings,
     {{"settingDevice", return_device_checksum_error}},
     {"settingDevice 3 5 0 0 1 5"},
     {},
     true},
    {"store settings without a port", State::notConnected, Command::storeSettings, {}, {}, {}, false},
    {"GPS time", State::connected, Command::readGpsTime, {}, {"readGpsUtcTimeDate"}, {TextId::libraryResult}, true},
    {"GPS time unconnected",
     State::notConnected,
     Command::readGpsTime,
     {{"readGpsUtcTimeDate", return_not_dump_mode}},
     {"readGpsUtcTimeDate"},
     {TextId::libraryResult},
     false},
    {"GPS time, connection gone",
     State::connected,
     Command::readGpsTime,
     {{"readGpsUtcTimeDate", return_not_dump_mode}},
     {"readGpsUtcTimeDate"},
     {TextId::libraryResult},
     false},
    {"library version", State::notConnected, Command::readLibraryVersion, {}, {"readDllVersion"}, {}, false},
    {"image version",
     State::notConnected,
     Command::readImageVersion,
     {},
     {"readBinFileFwVersion"},
     {TextId::libraryResult},
     false},
    {"image missing",
     State::notConnected,
     Command::readImageVersion,
     {{"readBinFileFwVersion", return_can_not_open_bin_file}},
     {"readBinFileFwVersion"},
     {TextId::libraryResult},
     false},
    {"upgrade",
     State::connected,
     Command::upgradeFirmware,
     {},
     {"readBinFileFwVersion", "fwUpgrade 3"},
     {TextId::libraryResult, TextId::upgradeFinish},
     false},
    {"upgrade, broken image",
     State::connected,
     Command::upgradeFirmware,
     {{"readBinFileFwVersion", return_bin_file_checksum_error}},
     {"readBinFileFwVersion"},
     {TextId::libraryResult},
     true},
    {"device information", State::connected, Command::deviceInformation, {}, {"readDeviceInformation 3"}, {}, true},
    {"settings read", State::connected, Command::readSettings, {}, {"readSettingValue 3"}, {}, true},
};

TEST_F(FormModelTest, EachCommandCallsTellsAndSettlesTheConnection)
{
    for (const CommandCase &row : kCommandCases) {
        SCOPED_TRACE(row.name);
        FakeLibrary fresh;
        RecordingHost freshHost;
        HandRunExecutor freshExecutor;
        library.calls.clear();
        model = std::make_unique<FormModel>(fresh, freshExecutor, freshHost, places);
        model->setProgramLauncher(launcher);
        model->load();
        model->editFolder((dir / "Tracks").string());
        model->selectPort(row.state == State::notConnected && row.command == Command::storeSettings ? -1 : 2);
        if (row.state != State::notConnected) {
            model->press(Command::connect);
            freshExecutor.runAll();
        }
        if (row.state == State::readOut) {
            model->press(Command::readout);
            freshExecutor.runAll();
        }
        fresh.calls.clear();
        freshHost.messages.clear();
        fresh.results = row.results;

        model->press(row.command);
        freshExecutor.runAll();
        EXPECT_EQ(fresh.calls, row.calls);
        Ids ids;
        for (const auto &message : freshHost.messages) ids.push_back(message.id);
        if (row.command == Command::storeSettings && row.calls.empty()) {
            EXPECT_EQ(ids, Ids{TextId::selectComPortSettings});
        } else {
            EXPECT_EQ(ids, row.messages);
        }
        EXPECT_EQ(model->connected(), row.connectedAfter);
        EXPECT_FALSE(model->commandRunning());
        // Whatever happened, the look follows the connection.
        const FormView &view = model->view();
        EXPECT_EQ(view.isEnabled(Command::connect), !row.connectedAfter);
        EXPECT_EQ(view.isEnabled(Command::readout), row.connectedAfter);
        EXPECT_EQ(view.isEnabled(Command::erase), row.connectedAfter);
        EXPECT_EQ(view.readoutOffered, row.connectedAfter);
        EXPECT_EQ(view.connectOffered, !row.connectedAfter);
        if (!row.connectedAfter) {
            EXPECT_EQ(view.serialNumber, "Seriennummer = ");
            EXPECT_EQ(view.portCaption, "Com Port wählen:");
        }
        model.reset();
    }
}

// Every message box with a failure says in German what happened or what to
// do beneath the text the tool has always shown.
TEST_F(FormModelTest, FailureBoxesAddWhatToDo)
{
    reach(State::connected);
    library.results = {{"eraseAllDb", return_device_time_out}};
    press(Command::erase);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(text(host.messages[0].id), "Wayfolk Antwortet nicht");
    EXPECT_NE(host.messages[0].details.find("Bitte neu verbinden"), std::string::npos);
    // The status line keeps the words after the box was closed.
    EXPECT_EQ(model->view().status, host.messages[0].details);

    host.messages.clear();
    library.results = {{"intoDumpMode", return_can_not_open_com_port}};
    model->press(Command::exitDumpMode);
    executor.runAll();
    press(Command::connect);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(fullText(host.messages[0]), "Com Port nicht gefunden, oder belegt.\n\nGrund für COM3");
}

// While a command runs, every button is off and every press is inert.
TEST_F(FormModelTest, PressesDuringACommandAreInert)
{
    reach(State::connected);
    model->press(Command::readout);
    ASSERT_TRUE(model->commandRunning());
    for (int i = 0; i < kCommandCount; ++i) {
        EXPECT_FALSE(model->view().enabled[i]) << i;
        model->press(static_cast<Command>(i));
    }
    EXPECT_FALSE(model->view().eraseOffered);
    EXPECT_FALSE(model->view().storeOffered);
    EXPECT_FALSE(model->view().browseOffered);
    EXPECT_TRUE(model->view().busy);
    executor.runAll();
    EXPECT_EQ(library.calls, Calls{"dumpDb 3"});
    EXPECT_TRUE(model->view().isEnabled(Command::erase));
}

TEST_F(FormModelTest, EnabledControlsFollowTheConnection)
{
    const FormView &view = model->view();
    for (Command command : {Command::connect, Command::autoConnect, Command::exitDumpMode, Command::readGpsTime,
                            Command::readLibraryVersion, Command::upgradeFirmware, Command::readImageVersion})
        EXPECT_TRUE(view.isEnabled(command));
    for (Command command : {Command::readout, Command::erase, Command::storeSettings, Command::chooseFolder})
        EXPECT_FALSE(view.isEnabled(command));
    reach(State::connected);
    for (Command command : {Command::readout, Command::erase, Command::storeSettings, Command::chooseFolder})
        EXPECT_TRUE(view.isEnabled(command));
    EXPECT_FALSE(view.isEnabled(Command::connect));
    EXPECT_EQ(view.serialNumber, "Seriennummer = 1234");
    EXPECT_EQ(view.firmwareVersion, "FW Ver = 1.2");
}

// An empty folder field must not send the readout into the current directory.
TEST_F(FormModelTest, EmptyFolderIsAskedForAndNothingIsSent)
{
    reach(State::connected);
    for (const char *folder : {"", "   "}) {
        host.messages.clear();
        model->editFolder(folder);
        press(Command::readout);
        EXPECT_EQ(host.messageIds(), Ids{TextId::folderMissing});
        EXPECT_TRUE(library.calls.empty());
    }
}

TEST_F(FormModelTest, ReadoutWritesIntoTheFolderAndStartsGpsBabelForCheckedFormats)
{
    reach(State::connected);
    const auto folder = dir / "deep" / "Tracks";
    model->editFolder(folder.string());
    model->setExportOption(ExportOption::gpx, CheckState::checked);
    model->setExportOption(ExportOption::kml, CheckState::grey);  // grey does not count
    press(Command::readout);
    EXPECT_EQ(readFile(folder / "Wayfolk.txt"), kTrackText);
    EXPECT_EQ(readFile(folder / "Wayfolk.nmea"), "$GPGGA,R1*00\r\n$GPRMC,R1*00\r\n$GPGGA,R2*00\r\n$GPRMC,R2*00\r\n");
    EXPECT_EQ(launcher.started, std::vector<std::string>{trk7700::client::kGpsBabelProgram});
    EXPECT_EQ(host.messageIds(), Ids{TextId::readoutDone});
    EXPECT_EQ(model->view().status.rfind("Fertig ausgelesen: 2 Punkte", 0), 0u) << model->view().status;
    EXPECT_NE(model->view().status.find(" · GPSBabel erstellt GPX ..."), std::string::npos) << model->view().status;
    EXPECT_EQ(model->view().bar, Bar::hidden);
}

// Two records a minute apart, as the logger's text gives them.
const std::string kTwoPositions = kTrackText.substr(0, kTrackText.find("---")) +
                                  "--3,$GPGGA,094512.000,2503.1234,N,12134.5678,E,1,08,00.0,123.0,M,00.0,M,,*66\r\n"
                                  "--3,$GPRMC,094512.000,A,2503.1234,N,12134.5678,E,7.00,0.00,051226,,*04\r\n"
                                  "---,$GPGGA,094612.000,2503.2234,N,12134.5678,E,1,08,00.0,123.0,M,00.0,M,,*66\r\n"
                                  "---,$GPRMC,094612.000,A,2503.2234,N,12134.5678,E,7.00,0.00,051226,,*04\r\n";

// After a readout with records the map page lies beside the files, the status
// line names it with the trips, points and distance, and "Karte" opens it. A
// page that cannot be written is told there; the readout still counts as done.
TEST_F(FormModelTest, ReadoutWritesTheMapPageAndOffersToOpenIt)
{
    const struct {
        const char *name;
        std::string log;
        bool pageBlocked;        // a folder stands where the page goes
        const char *statusPart;  // empty: no word of a map
        bool offered;
    } rows[] = {
        {"records", kTwoPositions, false, "1 Fahrt, 2 Punkte, 0,2 km · Karte: Wayfolk.html", true},
        {"page cannot be written", kTwoPositions, true,
         " · Die Karte Wayfolk.html konnte nicht geschrieben werden: ", false},
        {"empty log", kTrackText.substr(0, kTrackText.find("---")), false, "", false},
    };
    reach(State::connected);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir folder;
        model->editFolder(folder.str());
        library.trackText = row.log;
        if (row.pageBlocked) std::filesystem::create_directory(folder / "Wayfolk.html");
        host.messages.clear();
        host.opened.clear();
        press(Command::readout);
        if (row.log == kTrackText.substr(0, kTrackText.find("---"))) {
            // An empty logger keeps the earlier files: no page either.
            EXPECT_TRUE(model->view().mapPage.empty());
            EXPECT_FALSE(std::filesystem::exists(folder / "Wayfolk.html"));
            continue;
        }
        EXPECT_EQ(host.messageIds(), Ids{TextId::readoutDone});
        const std::string &status = model->view().status;
        EXPECT_EQ(status.rfind("Fertig ausgelesen: 2 Punkte", 0), 0u) << status;
        EXPECT_NE(status.find(row.statusPart), std::string::npos) << status;
        if (!row.offered) {
            EXPECT_TRUE(model->view().mapPage.empty());
            model->openMapPage();
            EXPECT_TRUE(host.opened.empty());
            continue;
        }
        EXPECT_EQ(model->view().mapPage, (folder / "Wayfolk.html").string());
        EXPECT_NE(readFile(folder / "Wayfolk.html").find("<html"), std::string::npos);
        model->openMapPage();
        EXPECT_EQ(host.opened, std::vector<std::string>{(folder / "Wayfolk.html").string()});
        host.openSucceeds = false;
        model->openMapPage();
        host.openSucceeds = true;
        EXPECT_EQ(host.messageIds(), (Ids{TextId::readoutDone, TextId::mapPageCannotOpen}));
    }
}

// A log whose newest record lies more than 1024 weeks back was probably dated
// by a receiver past its week rollover: the user is asked, Nein being the
// default; Ja writes the NMEA file again with the dates moved on.
TEST_F(FormModelTest, RolledOverDatesAreCorrectedOnRequest)
{
    std::string rolledOver = kTwoPositions;
    for (size_t at = rolledOver.find("051226"); at != std::string::npos; at = rolledOver.find("051226", at))
        rolledOver.replace(at, 6, "230306");
    const struct {
        const char *name;
        std::string log;
        bool asked;
        Answer answer;
        bool corrected;
    } rows[] = {
        {"recent dates", kTwoPositions, false, Answer::yes, false},
        {"rolled over, Nein", rolledOver, true, Answer::no, false},
        {"rolled over, Ja", rolledOver, true, Answer::yes, true},
    };
    reach(State::connected);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir folder;
        model->editFolder(folder.str());
        model->setExportOption(ExportOption::gpx, CheckState::checked);
        library.trackText = row.log;
        host.answer = row.answer;
        host.questions.clear();
        host.defaults.clear();
        host.messages.clear();
        launcher.started.clear();
        press(Command::readout);
        EXPECT_EQ(host.messageIds(), Ids{TextId::readoutDone});
        EXPECT_EQ(launcher.started.size(), 1u);  // GPSBabel once, after the question
        const std::string nmea = readFile(folder / "Wayfolk.nmea");
        const std::string &status = model->view().status;
        if (!row.asked) {
            EXPECT_TRUE(host.questions.empty());
            continue;
        }
        ASSERT_EQ(host.questions.size(), 1u);
        EXPECT_EQ(host.questions[0].id, TextId::rolloverQuestion);
        EXPECT_NE(fullText(host.questions[0]).find("vom 23.03.2006"), std::string::npos);
        EXPECT_EQ(host.defaults[0], Answer::no);
        EXPECT_EQ(nmea.find("230306") == std::string::npos, row.corrected) << nmea;
        EXPECT_EQ(readFile(folder / "Wayfolk.txt"), row.log);  // the text keeps the logger's dates
        EXPECT_EQ(status.find("Daten von 2 Aufzeichnungen um 1024 Wochen korrigiert") != std::string::npos,
                  row.corrected)
            << status;
    }
    model->setExportOption(ExportOption::gpx, CheckState::unchecked);
    library.trackText = kTrackText;
}

// A download that breaks off leaves what arrived as DB.sr: the newest
// records, kept under a name of their own and named in the failure's details
// with the way to make files from them. A part without a record stays scratch.
TEST_F(FormModelTest, BrokenOffReadoutKeepsWhatArrivedAndSaysWhere)
{
    const struct {
        const char *name;
        std::string arrived;  // DB.sr as the download left it; empty: none
        size_t records;       // 0: no word of a kept part
    } rows[] = {
        {"two records arrived", std::string(32, '\x01') + std::string(16, '\xFF'), 2},
        {"only erased slots", std::string(32, '\xFF'), 0},
        {"nothing arrived", "", 0},
    };
    reach(State::connected);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir folder;
        model->editFolder(folder.str());
        library.results["dumpDb"] = return_device_time_out;
        library.duringDownload = [&] {
            if (!row.arrived.empty()) writeFile(folder / "DB.sr", row.arrived);
        };
        host.messages.clear();
        press(Command::readout);
        ASSERT_FALSE(host.messages.empty());
        const Message &failure = host.messages.front();
        EXPECT_EQ(failure.id, TextId::libraryResult);
        EXPECT_EQ(failure.details.rfind(text(TextId::readoutFailed), 0), 0u) << failure.details;
        std::vector<std::string> kept;
        for (const auto &entry : std::filesystem::directory_iterator(folder.path()))
            if (entry.path().filename().string().rfind("Wayfolk-broken-off-", 0) == 0)
                kept.push_back(entry.path().string());
        if (row.records == 0) {
            EXPECT_TRUE(kept.empty());
            EXPECT_EQ(failure.details, text(TextId::readoutFailed));
            continue;
        }
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(readFile(kept[0]), row.arrived);
        EXPECT_FALSE(std::filesystem::exists(folder / "DB.sr"));
        EXPECT_NE(failure.details.find("Die 2 Aufzeichnungen, die vor dem Abbruch ankamen, liegen in " + kept[0]),
                  std::string::npos)
            << failure.details;
        EXPECT_NE(failure.details.find("trk7700 convert " + kept[0]), std::string::npos) << failure.details;
    }
    library.results.erase("dumpDb");
}

// Fields that are not whole numbers in the logger's range are named with
// their range; nothing is sent. The field not in force is not looked at.
TEST_F(FormModelTest, SettingsFieldsAreCheckedBeforeAnythingIsSent)
{
    const struct {
        const char *name;
        bool byTime;
        const char *time, *distance, *speed;
        const char *refusal;  // empty: stored
    } rows[] = {
        {"letters as speed", true, "5", "50", "abc",
         "Die Minimal Geschwindigkeit nimmt eine ganze Zahl von 0 bis 36 km/h; „abc“ ist keine solche Zahl."},
        {"seconds beyond the range", true, "3601", "50", "0",
         "Das Log-Intervall in Sekunden nimmt eine ganze Zahl von 1 bis 3600 Sekunden; „3601“"},
        {"negative metres", false, "5", "-3", "0",
         "Das Log-Intervall in Metern nimmt eine ganze Zahl von 1 bis 3000 Meter; „-3“"},
        {"empty seconds", true, "", "50", "0", "Das Log-Intervall in Sekunden"},
        {"distance ignored when by time", true, "7", "x", "10", ""},
        {"time ignored when by distance", false, "x", "3000", "36", ""},
    };
    reach(State::connected);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        library.calls.clear();
        host.messages.clear();
        model->setLogByTime(row.byTime);
        model->editTimeInterval(row.time);
        model->editDistanceInterval(row.distance);
        model->editMinSpeed(row.speed);
        press(Command::storeSettings);
        ASSERT_EQ(host.messages.size(), 1u);
        if (*row.refusal == '\0') {
            EXPECT_EQ(host.messages[0].id, TextId::settingsStored);
            EXPECT_EQ(library.calls.size(), 1u);
        } else {
            EXPECT_EQ(host.messages[0].id, TextId::fieldNotWhole);
            EXPECT_EQ(fullText(host.messages[0]).rfind(row.refusal, 0), 0u) << fullText(host.messages[0]);
            EXPECT_TRUE(library.calls.empty());
        }
    }
}

TEST_F(FormModelTest, SettingsAsReadGoBackUnchanged)
{
    reach(State::connected);
    EXPECT_EQ(model->view().minSpeedText, "8");  // 5 knots
    model->editMinSpeed("8");                    // drawn back by a view: no edit
    press(Command::storeSettings);
    EXPECT_EQ(library.calls, Calls{"settingDevice 3 5 0 0 1 5"});
    library.calls.clear();
    model->editMinSpeed("10");
    press(Command::storeSettings);
    EXPECT_EQ(library.calls, Calls{"settingDevice 3 5 0 0 1 6"});
}

TEST_F(FormModelTest, ExitDumpModeClearsWhatWasReadFromTheLogger)
{
    reach(State::connected);
    press(Command::exitDumpMode);
    const FormView &view = model->view();
    EXPECT_FALSE(model->connected());
    EXPECT_EQ(view.serialNumber, "Seriennummer = ");
    EXPECT_EQ(view.firmwareVersion, "FW Ver = ");
    EXPECT_NE(view.status.find("„Verbinden“"), std::string::npos);
    // The erase question after connecting again warns that nothing was read out.
    press(Command::connect);
    host.answer = Answer::no;
    press(Command::erase);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].details, text(TextId::eraseNotReadOut));
    EXPECT_EQ(host.defaults[0], Answer::no);
}

TEST_F(FormModelTest, EraseAsksFirstAndOnlyYesReachesTheLogger)
{
    reach(State::readOut);
    host.answer = Answer::no;
    press(Command::erase);
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(model->view().status, text(TextId::notErased));
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(fullText(host.questions[0]), "Alle Daten im Wayfolk löschen?");  // read out: no warning
    host.answer = Answer::yes;
    press(Command::erase);
    EXPECT_EQ(library.calls, Calls{"eraseAllDb 3"});
}

TEST_F(FormModelTest, LibraryVersionLeavesTheFormatCaptionsAlone)
{
    press(Command::readLibraryVersion);
    EXPECT_EQ(model->view().status, "DLL Version = 1.5");
    EXPECT_EQ(model->view().libraryVersion, "DLL Version = 1.5");
}

TEST_F(FormModelTest, FolderDialogOpensInTheTargetFolderAndCancelKeepsIt)
{
    model->editFolder("/data/tracks");
    press(Command::chooseFolder);
    EXPECT_EQ(host.folderDialogStarts, std::vector<std::string>{"/data/tracks"});
    EXPECT_EQ(model->view().folder, "/data/tracks");
    host.folderToChoose = "/data/other";
    press(Command::chooseFolder);
    EXPECT_EQ(model->view().folder, "/data/other");
}

TEST_F(FormModelTest, OptionsFileRoundTrip)
{
    model->setExportOption(ExportOption::gpx, CheckState::checked);
    model->setExportOption(ExportOption::perMark, CheckState::grey);
    model->editFolder("/data/tracks");
    model->requestClose();
    executor.runAll();
    EXPECT_EQ(readFile(places.optionsFile), " 0\r\n 0\r\n 1\r\n 0\r\n 2\r\n/data/tracks\r\n");
    EXPECT_EQ(host.windowCloses, 1);
    EXPECT_EQ(library.calls, Calls{"exitDumpMode"});

    FakeLibrary other;
    RecordingHost otherHost;
    FormModel again(other, executor, otherHost, places);
    again.load();
    EXPECT_EQ(again.view().option(ExportOption::gpx), CheckState::checked);
    EXPECT_EQ(again.view().option(ExportOption::perMark), CheckState::grey);
    EXPECT_EQ(again.view().folder, "/data/tracks");
}

TEST_F(FormModelTest, OptionsFileLinesThatAreNotStatesKeepTheDefaults)
{
    writeFile(places.optionsFile, "1\r\nx\r\n 3\r\n");
    FormModel again(library, executor, host, places);
    again.load();
    EXPECT_EQ(again.view().option(ExportOption::kml), CheckState::checked);
    EXPECT_EQ(again.view().option(ExportOption::plt), CheckState::unchecked);
    EXPECT_EQ(again.view().option(ExportOption::gpx), CheckState::unchecked);
    EXPECT_EQ(again.view().folder, places.defaultTargetFolder);  // no sixth line
}

// Closing during a download: the user may stop it, which ends the program
// with the earlier readout's files as they were.
TEST_F(FormModelTest, CloseDuringDownloadCanEndTheProgramLeavingEarlierFiles)
{
    reach(State::connected);
    const auto folder = dir / "Tracks";
    std::filesystem::create_directories(folder);
    model->editFolder(folder.string());
    writeFile(folder / "Wayfolk.txt", "earlier track");
    writeFile(folder / "Wayfolk.nmea", "earlier nmea");
    model->press(Command::readout);
    ASSERT_EQ(executor.pending.size(), 1u);
    // The download is still in the library when the user closes.
    auto &[work, done] = executor.pending.front();
    work();
    model->requestClose();
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].id, TextId::closeDuringReadout);
    EXPECT_EQ(host.defaults[0], Answer::no);
    EXPECT_EQ(host.programEnds, 1);
    EXPECT_EQ(readFile(folder / "Wayfolk.txt"), "earlier track");
    EXPECT_EQ(readFile(folder / "Wayfolk.nmea"), "earlier nmea");
    EXPECT_FALSE(std::filesystem::exists(library.stagedPath));
}

// Or let it finish: the readout completes with its conversion, no box holds
// the close up, and the window goes.
TEST_F(FormModelTest, CloseDuringDownloadCanLetItFinish)
{
    reach(State::connected);
    const auto folder = dir / "Tracks";
    model->editFolder(folder.string());
    host.answer = Answer::no;
    model->press(Command::readout);
    model->requestClose();
    EXPECT_EQ(host.programEnds, 0);
    EXPECT_EQ(model->view().note, text(TextId::closingAfterReadout));
    executor.runAll();
    EXPECT_EQ(library.calls, (Calls{"dumpDb 3", "exitDumpMode"}));
    EXPECT_TRUE(std::filesystem::exists(folder / "Wayfolk.nmea"));
    EXPECT_TRUE(host.messages.empty());  // no "Fertig ausgelesen" box in the way
    EXPECT_EQ(host.windowCloses, 1);
}

// A download that ends while the question is open is not cut off by a late yes.
TEST_F(FormModelTest, DownloadEndingDuringTheCloseQuestionIsNotStopped)
{
    reach(State::connected);
    model->editFolder((dir / "Tracks").string());
    model->press(Command::readout);
    host.duringQuestion = [this] { executor.runOne(); };
    model->requestClose();
    EXPECT_EQ(host.programEnds, 0);
    executor.runAll();
    EXPECT_EQ(host.windowCloses, 1);
    EXPECT_TRUE(std::filesystem::exists(dir / "Tracks" / "Wayfolk.nmea"));
}

TEST_F(FormModelTest, CloseWaitsForOtherCommandsWithoutAsking)
{
    reach(State::connected);
    model->press(Command::readGpsTime);
    model->requestClose();
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(model->view().note, text(TextId::closingAfterCommand));
    executor.runAll();
    EXPECT_EQ(library.calls, (Calls{"readGpsUtcTimeDate", "exitDumpMode"}));
    EXPECT_EQ(host.windowCloses, 1);
}

TEST_F(FormModelTest, ProgressOfTheDownloadIsShownWhileItRuns)
{
    reach(State::connected);
    model->editFolder((dir / "Tracks").string());
    model->press(Command::readout);
    ASSERT_TRUE(executor.tick);
    executor.tick();
    EXPECT_EQ(model->view().status.rfind("Warte auf den Logger...", 0), 0u) << model->view().status;
    EXPECT_EQ(model->view().bar, Bar::percent);
    executor.runAll();
    EXPECT_FALSE(executor.tick);
}

// Each text has its entry; arguments fill their places.
TEST(FormTexts, ArgumentsFillTheirPlaces)
{
    EXPECT_EQ(text(TextId::connectedTo, {"12"}), "Verbunden mit COM  = 12");
    EXPECT_EQ(text(TextId::progressBar, {"1,0", "4,0"}), "%p % · 1,0 von 4,0 MB");
    EXPECT_EQ(fullText({TextId::readoutDone, {}, {}}), "Fertig ausgelesen");
    EXPECT_EQ(fullText({TextId::notConnected, {}, "Bitte verbinden."}), "Nicht verbunden\n\nBitte verbinden.");
}

}  // namespace
