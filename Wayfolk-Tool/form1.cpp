#include "form1.h"

#include "picture_button.h"
#include "qt_executor.h"
#include "status_line.h"
#include "user_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QUrl>

#include <cstdlib>

namespace wayfolk {

using trk7700::form::CheckState;
using trk7700::form::Command;
using trk7700::form::ExportOption;

namespace {

QString shown(const std::string &text) { return QString::fromStdString(text); }
std::string entered(const QString &text) { return text.toStdString(); }

Qt::CheckState qtState(CheckState state)
{
    switch (state) {
    case CheckState::checked: return Qt::Checked;
    case CheckState::grey: return Qt::PartiallyChecked;
    case CheckState::unchecked: break;
    }
    return Qt::Unchecked;
}

CheckState modelState(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked: return CheckState::checked;
    case Qt::PartiallyChecked: return CheckState::grey;
    case Qt::Unchecked: break;
    }
    return CheckState::unchecked;
}

void setTextIfChanged(QLineEdit *field, const std::string &text)
{
    if (field->text() != shown(text)) field->setText(shown(text));
}

}  // namespace

Form1::Form1(trk7700::form::FormLibrary &library, UserDialogs &dialogs, QWidget *parent)
    : QWidget(parent), dialogs_(dialogs), places_(trk7700::form::systemPlaces(WAYFOLK_TOOL_DATA_DIR)),
      executor_(new QtExecutor(this))
{
    buildControls();
    model_ = std::make_unique<trk7700::form::FormModel>(library, *executor_, *this, places_);
    connectPictureButtons();
    bindCommands();
    forwardEdits();
    model_->load();
    draw();
}

Form1::~Form1()
{
    // The application outlives the window: its focus changes must no longer reach the model.
    disconnect(focusConnection_);
}

// The command buttons, each with the model's command it stands for.
QPushButton *Form1::buttonOf(Command command) const
{
    switch (command) {
    case Command::connect: return Command1;
    case Command::autoConnect: return Command11;
    case Command::exitDumpMode: return Command3;
    case Command::deviceInformation: return Command2;
    case Command::readSettings: return Command10;
    case Command::upgradeFirmware: return Command6;
    case Command::readImageVersion: return Command7;
    case Command::readLibraryVersion: return Command9;
    case Command::readGpsTime: return Command12;
    case Command::chooseFolder: return Command13;
    case Command::readout: return Command5;
    case Command::convert: return Command14;
    case Command::erase: return Command4;
    case Command::storeSettings: return Command8;
    }
    return nullptr;
}

void Form1::setCommandAction(QPushButton *button, std::function<void()> action)
{
    if (!commandActions_.contains(button))
        connect(button, &QPushButton::clicked, this, [this, button] { runCommand(button); });
    commandActions_.insert(button, std::move(action));
}

void Form1::runCommand(QPushButton *button)
{
    const auto action = commandActions_.value(button);
    if (action) action();
}

void Form1::bindCommands()
{
    for (int i = 0; i < trk7700::form::kCommandCount; ++i) {
        const auto command = static_cast<Command>(i);
        setCommandAction(buttonOf(command), [this, command] { model_->press(command); });
    }
    connect(mapButton_, &QPushButton::clicked, this, [this] { model_->openMapPage(); });
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
    // A covered button with the keyboard focus shows it on its picture; the
    // maintenance buttons under the photo are named in the status line.
    focusConnection_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *before, QWidget *now) {
        for (PictureButton *picture : pictureButtons_)
            if (picture->covered() == before || picture->covered() == now) picture->caption()->update();
        const QPushButton *underPhoto[] = {Command3, Command6, Command7, Command9, Command12};
        const auto *focused = qobject_cast<QPushButton *>(now);
        const bool hidden = focused != nullptr &&
                            std::find(std::begin(underPhoto), std::end(underPhoto), focused) != std::end(underPhoto);
        model_->focusHiddenButton(hidden ? std::optional<std::string>(entered(focused->text())) : std::nullopt);
    });
}

void Form1::forwardEdits()
{
    connect(Combo1, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!drawing_) model_->selectPort(index);
    });
    connect(Text1, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!drawing_) model_->editFolder(entered(text));
    });
    const std::pair<QCheckBox *, ExportOption> options[] = {{Check2, ExportOption::kml},
                                                            {Check3, ExportOption::plt},
                                                            {Check4, ExportOption::gpx},
                                                            {Check7, ExportOption::dateInName},
                                                            {Check8, ExportOption::perMark}};
    for (const auto &[box, which] : options)
        connect(box, &QCheckBox::stateChanged, this, [this, box, which = which] {
            if (!drawing_) model_->setExportOption(which, modelState(box->checkState()));
        });
    for (QRadioButton *option : {Option4, Option5})
        connect(option, &QRadioButton::toggled, this, [this] {
            if (!drawing_) model_->setLogSelection(Option4->isChecked(), Option5->isChecked());
        });
    connect(Text2, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!drawing_) model_->editTimeInterval(entered(text));
    });
    connect(Text3, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!drawing_) model_->editDistanceInterval(entered(text));
    });
    connect(Text4, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!drawing_) model_->editMinSpeed(entered(text));
    });
    connect(Check9, &QCheckBox::toggled, this, [this](bool on) {
        if (!drawing_) model_->setVibration(on);
    });
    connect(Check1, &QCheckBox::toggled, this, [this](bool on) {
        if (!drawing_) model_->setTag(on);
    });
}

void Form1::setOffered(QLabel *label, bool offered)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     offered ? QApplication::palette().color(QPalette::WindowText) : QColor(128, 128, 128));
    label->setPalette(palette);
}

void Form1::draw()
{
    if (!model_) return;
    const trk7700::form::FormView &view = model_->view();
    drawing_ = true;
    for (int i = 0; i < trk7700::form::kCommandCount; ++i) {
        const auto command = static_cast<Command>(i);
        buttonOf(command)->setEnabled(view.isEnabled(command));
    }
    setOffered(Label34, view.connectOffered);
    setOffered(Label35, view.autoConnectOffered);
    setOffered(Label33, view.readoutOffered);
    setOffered(Label36, view.eraseOffered);
    setOffered(Label31, view.storeOffered);
    setOffered(Label32, view.browseOffered);
    if (view.busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();

    if (Combo1->count() != static_cast<int>(view.ports.size())) {
        Combo1->clear();
        for (const std::string &port : view.ports) Combo1->addItem(shown(port));
    }
    Combo1->setCurrentIndex(view.selectedPort);
    setTextIfChanged(Text1, view.folder);
    QCheckBox *const options[] = {Check2, Check3, Check4, Check7, Check8};
    for (int i = 0; i < trk7700::form::kExportOptionCount; ++i) {
        const Qt::CheckState state = qtState(view.exportOptions[i]);
        // Grey is accepted from the options file, though the user cannot produce it.
        options[i]->setTristate(state == Qt::PartiallyChecked);
        options[i]->setCheckState(state);
    }

    Label19->setText(shown(view.portCaption));
    Label16->setText(shown(view.serialNumber));
    Label15->setText(shown(view.firmwareVersion));
    Label17->setText(shown(view.imageVersion));
    Label20->setText(shown(view.gpsTime));
    Label29->setText(shown(view.dateStamp));

    Option4->setChecked(view.logByTime);
    Option5->setChecked(view.logByDistance);
    if (!view.logByTime && !view.logByDistance) {
        // Neither selected, as before the first read-back.
        Option4->setAutoExclusive(false);
        Option5->setAutoExclusive(false);
        Option4->setChecked(false);
        Option5->setChecked(false);
        Option4->setAutoExclusive(true);
        Option5->setAutoExclusive(true);
    }
    setTextIfChanged(Text2, view.timeText);
    setTextIfChanged(Text3, view.distanceText);
    setTextIfChanged(Text4, view.minSpeedText);
    Text2->setToolTip(shown(view.timeTip));
    Text3->setToolTip(shown(view.distanceTip));
    Text4->setToolTip(shown(view.minSpeedTip));
    Check9->setChecked(view.vibration);
    Check1->setChecked(view.tag);

    statusLine_->setText(shown(view.status));
    statusLine_->setNote(shown(view.note));
    mapButton_->setEnabled(!view.mapPage.empty());
    mapButton_->setToolTip(shown(view.mapPage));
    switch (view.bar) {
    case trk7700::form::Bar::hidden: statusLine_->setProgress(-1); break;
    case trk7700::form::Bar::busy: statusLine_->setBusy(); break;
    case trk7700::form::Bar::percent: statusLine_->setProgress(view.percent, shown(view.barText)); break;
    }
    drawing_ = false;
}

void Form1::viewChanged() { draw(); }

void Form1::message(const trk7700::form::Message &message)
{
    if (message.notice)
        dialogs_.notice(this, shown(trk7700::form::fullText(message)));
    else
        dialogs_.message(this, shown(trk7700::form::fullText(message)));
}

Answer Form1::ask(const trk7700::form::Message &question, Answer defaultAnswer)
{
    return dialogs_.ask(this, shown(trk7700::form::fullText(question)), defaultAnswer);
}

std::optional<std::string> Form1::chooseFolder(const std::string &startFolder)
{
    const QString chosen = dialogs_.chooseFolder(this, QFile::decodeName(startFolder.c_str()));
    if (chosen.isEmpty()) return std::nullopt;
    return QFile::encodeName(chosen).toStdString();
}

bool Form1::openUrl(const std::string &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
}

void Form1::closeWindow()
{
    mayClose_ = true;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

// The user chose to stop a readout on closing: the library call cannot be
// interrupted, so the program ends here.
void Form1::endProgram()
{
    if (programEnd_)
        programEnd_();
    else
        std::_Exit(EXIT_SUCCESS);
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (mayClose_) {
        // A notice still open goes with the window.
        for (QMessageBox *box : findChildren<QMessageBox *>()) box->close();
        event->accept();
        return;
    }
    event->ignore();
    model_->requestClose();
}

}  // namespace wayfolk
