#pragma once
// What the QTest suites of the tool share: a recorder in place of the message
// boxes and the folder dialog, a sandbox for one test (temporary home, current
// directory and port directory), simulated loggers, and a window that is
// driven with the mouse and closed at the end, leaving dump mode.
#include "binding/library_binding.h"
#include "form1.h"
#include "sim/simulated_logger.h"
#include "user_dialogs.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

class QPushButton;

namespace wayfolk::testing {

// A question the window asked: its text and the button Enter would press.
struct Question {
    QString text;
    Answer defaultAnswer;
};

class RecordingDialogs : public UserDialogs {
public:
    // A message box's first line is the text the tool has always shown; what
    // happened and what to do follow after a blank line.
    void message(QWidget *, const QString &text) override
    {
        messages << text.section(QStringLiteral("\n\n"), 0, 0);
        fullMessages << text;
    }
    Answer ask(QWidget *, const QString &question, Answer defaultAnswer) override
    {
        questions.push_back({question, defaultAnswer});
        return answer;
    }
    QString chooseFolder(QWidget *, const QString &startFolder) override
    {
        ++folderDialogs;
        folderDialogStart = startFolder;
        return folderToChoose;
    }

    QStringList messages;      // first lines
    QStringList fullMessages;  // whole texts
    QList<Question> questions;
    Answer answer = Answer::yes;  // how every question is answered
    QString folderToChoose;
    int folderDialogs = 0;
    QString folderDialogStart;  // where the last folder dialog opened
};

// The library as the tool binds it, from beside the test executable; one for
// the process, as the library's own state is.
trk7700::client::LibraryBinding &library();
// The link library with a clock fifty times fast (quick_clock_library.cpp),
// for the waits of minutes that some tests run into.
trk7700::client::LibraryBinding &quickClockLibrary();

// HOME, the current directory and TRK7700_PORT_DIR point into a temporary
// folder while it lives.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    QString home() const { return dir_.filePath(QStringLiteral("home")); }
    QString work() const { return dir_.filePath(QStringLiteral("work")); }
    QString ports() const { return dir_.filePath(QStringLiteral("ports")); }
    // ~/abcd/binfile/, where the tool looks for the firmware image.
    QString firmwareFolder() const { return home() + QStringLiteral("/abcd/binfile/"); }
    QString optionsFile() const { return work() + QStringLiteral("/wayfolk-tool.ini"); }

    std::unique_ptr<trk7700::sim::SimulatedLogger> startLogger(int comNumber, bool sendBanner = true) const;

private:
    QTemporaryDir dir_;
    QString savedCurrent_;
    QByteArray savedHome_;
};

// The window with recorded dialogs, shown on the offscreen platform.
class ToolWindow {
public:
    explicit ToolWindow(trk7700::client::LibraryBinding &binding = library());
    // The window over another library (a fake).
    explicit ToolWindow(trk7700::form::FormLibrary &library);
    ~ToolWindow();  // closes the window if still open
    ToolWindow(const ToolWindow &) = delete;
    ToolWindow &operator=(const ToolWindow &) = delete;

    Form1 &operator*() { return *form_; }
    Form1 *operator->() { return form_.get(); }

    // Waits until no command runs; false on time-out.
    bool waitForIdle(int timeoutMs = 30000);
    // Press and release of a mouse button on a picture button's caption, then waits for the command.
    void click(PictureButton *picture, Qt::MouseButton button = Qt::LeftButton);
    // Runs a command as a click on its button does, then waits for it.
    void run(QPushButton *command);
    // Selects an entry of the port list (COM number n at index n - 1).
    void selectPort(int comNumber);
    // Closes the window and waits until it let go (dump mode left, options written).
    bool close(int timeoutMs = 30000);

    RecordingDialogs dialogs;
    // How often the window would have ended the program (stopping a download on closing).
    int programEnds = 0;

private:
    std::unique_ptr<trk7700::form::BoundLibrary> bound_;
    std::unique_ptr<Form1> form_;
};

// The first code byte of every command frame the logger received, in order.
std::vector<int> commandCodes(const trk7700::sim::SimulatedLogger &logger);
int exitRequests(const trk7700::sim::SimulatedLogger &logger);

// The text colour of a label: grey (128, 128, 128) or the window text colour.
QColor textColour(const QLabel *label);

// The window looks connected: connect buttons off, device commands on, colours swapped.
void verifyConnected(ToolWindow &window);
// The window was connected and shows that it is no more: as before any
// connection, and the status line says what to do.
void verifyNotConnectedAnyMore(ToolWindow &window);

}  // namespace wayfolk::testing
