#include "form1.h"

#include "command_flow.h"
#include "conversion/readout_progress.h"
#include "conversion/track_conversion.h"
#include "fixed_places.h"
#include "options_file.h"
#include "picture_button.h"
#include "status_line.h"
#include "user_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <iterator>

namespace wayfolk {

namespace {

constexpr int kListedPorts = 37;

}  // namespace

Form1::Form1(trk7700::client::LibraryBinding &library, UserDialogs &dialogs, QWidget *parent)
    : QWidget(parent), dialogs_(dialogs), detachedLauncher_(std::make_unique<trk7700::client::DetachedLauncher>()),
      launcher_(detachedLauncher_.get()), flow_(new CommandFlow(library, this))
{
    buildControls();
    connect(flow_, &CommandFlow::statusChanged, statusLine_, &StatusLine::setText);
    connect(flow_, &CommandFlow::runningChanged, this, [this](bool running) {
        if (running) {
            setCursor(Qt::BusyCursor);
        } else {
            unsetCursor();
            readoutRunning_ = false;
        }
    });
    connect(flow_, &CommandFlow::bindingFailed, this, &Form1::message);
    connectPictureButtons();
    bindCommands();
    connectSettingsPage();
    Form_Load();
}

Form1::~Form1() = default;

bool Form1::commandRunning() const { return flow_->running(); }

void Form1::setCommandAction(QPushButton *button, std::function<void()> action)
{
    if (!commandActions_.contains(button))
        connect(button, &QPushButton::clicked, this, [this, button] { runCommand(button); });
    commandActions_.insert(button, std::move(action));
}

void Form1::runCommand(QPushButton *button)
{
    const auto action = commandActions_.value(button);
    if (action) flow_->start(action);
}

void Form1::bindCommands()
{
    setCommandAction(Command1, [this] { Command1_Click(); });
    setCommandAction(Command11, [this] { Command11_Click(); });
    setCommandAction(Command3, [this] { Command3_Click(); });
    setCommandAction(Command2, [this] { Command2_Click(); });
    setCommandAction(Command10, [this] { Command10_Click(); });
    setCommandAction(Command6, [this] { Command6_Click(); });
    setCommandAction(Command7, [this] { Command7_Click(); });
    setCommandAction(Command9, [this] { Command9_Click(); });
    setCommandAction(Command12, [this] { Command12_Click(); });
    setCommandAction(Command13, [this] { Command13_Click(); });
    setCommandAction(Command5, [this] { Command5_Click(); });
    // Hidden; on its own it converts the text file named by the window as it is now.
    setCommandAction(Command14, [this] { Command14_Click(readoutFilesNow()); });
    setCommandAction(Command4, [this] { Command4_Click(); });
    setCommandAction(Command8, [this] { Command8_Click(); });
}

// Picture button, covered command button, and whether a click needs that
// button enabled.
void Form1::connectPictureButtons()
{
    const struct {
        PictureButton *picture;
        QPushButton *covered;
        bool onlyWhenEnabled;
    } family[] = {
        {Picture7, Command1, false}, {Picture8, Command11, false}, {Picture6, Command5, true},
        {Picture9, Command4, true},  {Picture5, Command13, false}, {Picture2, Command8, true},
    };
    for (const auto &member : family) {
        member.picture->cover(member.covered);
        connect(member.picture, &PictureButton::clicked, this, [this, member] {
            if (member.onlyWhenEnabled && !member.covered->isEnabled()) return;
            runCommand(member.covered);
        });
    }
    // A covered button with the keyboard focus shows it on its picture.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *before, QWidget *now) {
        for (PictureButton *picture : pictureButtons_)
            if (picture->covered() == before || picture->covered() == now) picture->caption()->update();
        nameFocusedHiddenButton(now);
    });
}

// The maintenance buttons lie under the photo: Tab reaches them unseen, so
// the status line says which one Space would press.
void Form1::nameFocusedHiddenButton(QWidget *now)
{
    const QPushButton *underPhoto[] = {Command3, Command6, Command7, Command9, Command12};
    const auto *focused = qobject_cast<QPushButton *>(now);
    const bool hidden =
        focused != nullptr && std::find(std::begin(underPhoto), std::end(underPhoto), focused) != std::end(underPhoto);
    if (hidden) {
        focusWords_ = QStringLiteral("Tastaturfokus: „%1“ (unter dem Foto), die Leertaste drückt die Taste.")
                          .arg(focused->text());
        statusLine_->setText(focusWords_);
    } else if (!focusWords_.isEmpty()) {
        if (statusLine_->text() == focusWords_) statusLine_->setText(QString());
        focusWords_.clear();
    }
}

void Form1::setOffered(QLabel *label, bool offered)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     offered ? QApplication::palette().color(QPalette::WindowText) : QColor(128, 128, 128));
    label->setPalette(palette);
}

void Form1::message(const QString &text) { dialogs_.message(this, text); }

std::function<void()> Form1::showElapsedWhile(const QString &what)
{
    if (!flow_->closing()) statusLine_->setBusy();
    QElapsedTimer clock;
    clock.start();
    return [this, what, clock] {
        statusLine_->setBusy();
        statusLine_->setText(QStringLiteral("%1 %2").arg(
            what, QString::fromStdString(trk7700::client::formatDuration(clock.elapsed() / 1000.0))));
    };
}

void Form1::Form_Load()
{
    Combo1->clear();
    for (int number = 1; number <= kListedPorts; ++number) Combo1->addItem(QStringLiteral("COM%1").arg(number));
    Combo1->setCurrentIndex(-1);
    restoreOptions();
    if (Text1->text().isEmpty()) Text1->setText(defaultTargetFolder());
}

void Form1::restoreOptions()
{
    const StoredOptions stored = readOptionsFile(optionsFileToRead());
    QCheckBox *const boxes[kStoredCheckBoxes] = {Check2, Check3, Check4, Check7, Check8};
    for (int i = 0; i < kStoredCheckBoxes; ++i) {
        if (!stored.checkBoxes[i]) continue;
        // Grey is accepted from the file, though the user cannot produce it.
        boxes[i]->setTristate(*stored.checkBoxes[i] == Qt::PartiallyChecked);
        boxes[i]->setCheckState(*stored.checkBoxes[i]);
    }
    if (stored.folder) Text1->setText(*stored.folder);
}

void Form1::storeOptions()
{
    const std::array<Qt::CheckState, kStoredCheckBoxes> states = {
        Check2->checkState(), Check3->checkState(), Check4->checkState(), Check7->checkState(), Check8->checkState()};
    const QString optionsFile = optionsFileToWrite();
    if (!writeOptionsFile(optionsFile, states, Text1->text()))
        message(QStringLiteral("Die Optionen können nicht in %1 gespeichert werden.").arg(optionsFile));
}

// Closing waits for a running command, then leaves dump mode, stores the
// options and lets the window go.
void Form1::closeEvent(QCloseEvent *event)
{
    if (unloaded_) {
        event->accept();
        return;
    }
    event->ignore();
    if (flow_->running() && !flow_->closing())
        statusLine_->setNote(
            readoutRunning_ ? QStringLiteral("Das Fenster schließt sich, sobald der Download beendet und "
                                             "umgewandelt ist.")
                            : QStringLiteral("Das Fenster schließt sich, sobald der laufende Befehl beendet ist."));
    flow_->close([this] { Form_Unload(); });
}

void Form1::Form_Unload()
{
    flow_->call<trk7700::client::LinkCall>(
        QStringLiteral("Beende..."), [](CommandFlow::Binding &library) { return library.exitDumpMode(); },
        [this](const trk7700::client::LinkCall &) {
            storeOptions();
            unloaded_ = true;
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        });
}

void Form1::Command13_Click() { Text1->setText(dialogs_.chooseFolder(this)); }

}  // namespace wayfolk
