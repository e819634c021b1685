#pragma once
// The tool's one window, Form1 "Wayfolk - Tool V1.12": every control under its
// numbered name, the options file, the picture buttons and the commands.
//
// The commands are the actions of the command buttons (the Command*_Click
// members). A picture button runs the action of the button it covers; the
// actions run through the CommandFlow, so that library calls never block the
// window and one command runs at a time.
#include "binding/library_binding.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace trk7700::client {
struct ConversionOutcome;
class DetachedLauncher;
class ProgramLauncher;
struct ReadoutFiles;
}  // namespace trk7700::client

namespace wayfolk {

class CaptionLabel;
class CommandFlow;
class PictureButton;
class StatusLine;
class UserDialogs;

class Form1 : public QWidget {
    Q_OBJECT
public:
    // Builds the window and runs Form_Load (port list, options file).
    Form1(trk7700::client::LibraryBinding &library, UserDialogs &dialogs, QWidget *parent = nullptr);
    ~Form1() override;

    // The action that a click on the button (or on the picture button over
    // it) runs. Commands are inert while another one runs.
    void setCommandAction(QPushButton *button, std::function<void()> action);
    // Runs the button's action as a click on it would.
    void runCommand(QPushButton *button);
    // What starts GPSBabel after a readout; a detached start by default.
    void setProgramLauncher(trk7700::client::ProgramLauncher &launcher) { launcher_ = &launcher; }

    CommandFlow &flow() { return *flow_; }
    bool commandRunning() const;
    StatusLine *statusLine() const { return statusLine_; }
    // The COM number the tool works with: the selected list entry plus one; 0 at start.
    int comPort() const { return ComPort; }
    // The six picture buttons, in the order of their family.
    const std::vector<PictureButton *> &pictureButtons() const { return pictureButtons_; }
    // The window takes the logger as connected: from a successful connect
    // until the library answers that it has no connection (26, also after a
    // no-answer result when the port went away) or a firmware upgrade ended it.
    bool connected() const { return connected_; }

    // Frames
    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4;
    // Check boxes: export options, the two grey formats, the settings page
    QCheckBox *Check1, *Check2, *Check3, *Check4, *Check5, *Check6, *Check7, *Check8, *Check9;
    // Picture buttons with their caption labels
    PictureButton *Picture2, *Picture5, *Picture6, *Picture7, *Picture8, *Picture9;
    CaptionLabel *Label31, *Label32, *Label33, *Label34, *Label35, *Label36;
    // Picture boxes: the device photo and the two hidden button faces
    QLabel *Picture1, *Picture3, *Picture4;
    QLabel *Label1, *Label2, *Label9, *Label15, *Label16, *Label17, *Label18, *Label19, *Label20, *Label21, *Label22,
        *Label23, *Label24, *Label25, *Label26, *Label27, *Label28, *Label29, *Label30;
    QLineEdit *Text1, *Text2, *Text3, *Text4;
    QRadioButton *Option4, *Option5;
    QPushButton *Command1, *Command2, *Command3, *Command4, *Command5, *Command6, *Command7, *Command8, *Command9,
        *Command10, *Command11, *Command12, *Command13, *Command14;
    QComboBox *Combo1;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    using Then = std::function<void()>;
    // Told whether the window found the connection gone.
    using Settled = std::function<void(bool connectionLost)>;

    // Building (form1_layout.cpp)
    void buildControls();
    template <typename Control, typename... Args>
    Control *place(const char *name, QWidget *container, int left, int top, int width, int height, int tabIndex,
                   Args &&...args);
    void makePictureButton(PictureButton *&picture, const char *pictureName, CaptionLabel *&label,
                           const char *labelName, const char *word, int left, int top, int tabIndex,
                           int labelLeft = -60, int labelWidth = 1410);
    void stackAndOrderControls();

    // Start-up and close (form1.cpp)
    void Form_Load();
    void Form_Unload();
    void restoreOptions();
    void storeOptions();
    void connectPictureButtons();
    void message(const QString &text);
    static void setOffered(QLabel *label, bool offered);

    // Commands. Those that the connect commands run take what follows them.
    void Command1_Click();                                             // "Verbinden"
    void Command11_Click();                                            // "Automatisch Verbinden"
    void Command3_Click();                                             // "Exit Dump Mode"
    void Command2_Click(Then then = {});                               // device information
    void Command10_Click(Then then = {});                              // settings read-back
    void Command6_Click();                                             // "Upgrade Firmware"
    void Command7_Click();                                             // "Read Bin File FW  Version"
    void Command9_Click();                                             // "Read DLL Version"
    void Command12_Click();                                            // "Read GPS UTC Time"
    void Command13_Click();                                            // "Durchsuchen"
    void Command5_Click();                                             // "LOG Auslesen"
    void Command14_Click(const trk7700::client::ReadoutFiles &files);  // conversion step of a readout
    void Command4_Click();                                             // "Daten im Wayfolk löschen"
    void Command8_Click();                                             // "Einstellungen speichern"
    // The files of a readout from the folder field, Check7 and the stamp in Label29.
    trk7700::client::ReadoutFiles readoutFilesNow() const;
    void conversionDone(const trk7700::client::ReadoutFiles &files, const trk7700::client::ConversionOutcome &outcome);
    void startGpsBabel(const trk7700::client::ReadoutFiles &files);
    // For a call of unknown length: a busy bar, and the status text with the
    // time elapsed since now, refreshed while the call runs.
    std::function<void()> showElapsedWhile(const QString &what);
    void enableDeviceCommands();
    void showConnectedColours();
    // After a device command: brings the window's look in line with the
    // library's connection (see connected()), then calls settled.
    void settleConnection(int32_t result, const Settled &settled);
    // The end of a device command: settles the connection and puts words (a
    // result the message boxes leave untold, with what to do) into the status line.
    void finishDeviceCommand(int32_t result, const QString &words);
    void beginConnection();
    // Back to the look before any connection; "Verbinden" and "Auto. Verbinden" are offered again.
    void showNotConnected();
    // The erase after the user answered its question.
    void eraseAfterQuestion();
    // The firmware upgrade once the image's version is known and the user said yes.
    void upgradeFirmware(const QString &imageVersion);
    // The keyboard focus on a button hidden under the photo is named in the status line.
    void nameFocusedHiddenButton(QWidget *now);
    // A readout that ended with result 2: the staged text takes its name or
    // gives way to the earlier files, then the conversion follows.
    void placeReadout(const trk7700::client::ReadoutFiles &files);
    void selectFoundPort(int32_t comNumber);
    void bindCommands();
    void connectSettingsPage();

    UserDialogs &dialogs_;
    std::unique_ptr<trk7700::client::DetachedLauncher> detachedLauncher_;
    trk7700::client::ProgramLauncher *launcher_;
    // Runs from the start of a readout until its end, for the time it took.
    QElapsedTimer readoutClock_;
    CommandFlow *flow_;
    StatusLine *statusLine_ = nullptr;
    QPixmap releasedFace_, pressedFace_;
    std::vector<PictureButton *> pictureButtons_;
    QHash<QPushButton *, std::function<void()>> commandActions_;
    // The controls in the order of the window's control table, with their place in the focus order.
    std::vector<std::pair<QWidget *, int>> tableOrder_;

    int ComPort = 0;
    bool connected_ = false;
    // A readout of the connected logger was completed since connecting.
    bool readoutSinceConnect_ = false;
    // The logger's firmware version read at connect; empty when unknown.
    QString loggerFirmwareVersion_;
    // What the status line says after connecting about a device information
    // read that failed without a message.
    QString informationWords_;
    bool readoutRunning_ = false;
    // What the status line said about the focused hidden button, to take it back.
    QString focusWords_;
    // Text4's tag: the minimum speed in knots as last read from the logger;
    // emptied by every change of Text4's text.
    QString text4Tag_;
    bool unloaded_ = false;
};

}  // namespace wayfolk
