#include "tool_fixture.h"

#include "picture_button.h"
#include "status_line.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cstdlib>

namespace wayfolk::testing {

trk7700::client::LibraryBinding &library()
{
    static trk7700::client::LibraryBinding binding;
    return binding;
}

trk7700::client::LibraryBinding &quickClockLibrary()
{
    static trk7700::client::LibraryBinding binding("libTRK7700_quick_clock.so");
    return binding;
}

Sandbox::Sandbox() : savedCurrent_(QDir::currentPath()), savedHome_(qgetenv("HOME"))
{
    for (const QString &folder : {home(), work(), ports()}) QDir().mkpath(folder);
    qputenv("HOME", QFile::encodeName(home()));
    qputenv("TRK7700_PORT_DIR", QFile::encodeName(ports()));
    QDir::setCurrent(work());
}

Sandbox::~Sandbox()
{
    QDir::setCurrent(savedCurrent_);
    qputenv("HOME", savedHome_);
    qunsetenv("TRK7700_PORT_DIR");
}

std::unique_ptr<trk7700::sim::SimulatedLogger> Sandbox::startLogger(int comNumber, bool sendBanner) const
{
    trk7700::sim::SimulatedLogger::Options options;
    options.portDirectory = QFile::encodeName(ports()).toStdString();
    options.comNumber = comNumber;
    options.sendBanner = sendBanner;
    auto logger = std::make_unique<trk7700::sim::SimulatedLogger>(options);
    logger->start();
    return logger;
}

ToolWindow::ToolWindow(trk7700::client::LibraryBinding &binding)
    : bound_(std::make_unique<trk7700::form::BoundLibrary>(binding)), form_(std::make_unique<Form1>(*bound_, dialogs))
{
    form_->setProgramEnd([this] { ++programEnds; });
    form_->show();
}

ToolWindow::ToolWindow(trk7700::form::FormLibrary &library) : form_(std::make_unique<Form1>(library, dialogs))
{
    form_->setProgramEnd([this] { ++programEnds; });
    form_->show();
}

ToolWindow::~ToolWindow()
{
    if (form_->isVisible()) close();
}

bool ToolWindow::waitForIdle(int timeoutMs)
{
    return QTest::qWaitFor([this] { return !form_->commandRunning(); }, timeoutMs);
}

void ToolWindow::click(PictureButton *picture, Qt::MouseButton button)
{
    QWidget *caption = picture->caption();
    QTest::mousePress(caption, button);
    QTest::mouseRelease(caption, button);
    waitForIdle();
}

void ToolWindow::run(QPushButton *command)
{
    form_->runCommand(command);
    waitForIdle();
}

void ToolWindow::selectPort(int comNumber) { form_->Combo1->setCurrentIndex(comNumber - 1); }

bool ToolWindow::close(int timeoutMs)
{
    form_->close();
    return QTest::qWaitFor([this] { return !form_->isVisible(); }, timeoutMs);
}

std::vector<int> commandCodes(const trk7700::sim::SimulatedLogger &logger)
{
    std::vector<int> codes;
    for (const auto &event : logger.events())
        if (event.kind == trk7700::sim::WireEvent::Kind::command && !event.bytes.empty())
            codes.push_back(event.bytes[0]);
    return codes;
}

int exitRequests(const trk7700::sim::SimulatedLogger &logger)
{
    int count = 0;
    for (const auto &event : logger.events()) count += event.kind == trk7700::sim::WireEvent::Kind::exitRequest;
    return count;
}

QColor textColour(const QLabel *label) { return label->palette().color(QPalette::WindowText); }

namespace {
const QColor kGrey(128, 128, 128);
}

void verifyConnected(ToolWindow &window)
{
    QVERIFY(!window->Command1->isEnabled());
    QVERIFY(!window->Command11->isEnabled());
    for (QPushButton *command : {window->Command5, window->Command13, window->Command4, window->Command8})
        QVERIFY2(command->isEnabled(), qPrintable(command->objectName()));
    for (QLabel *label : {window->Label34, window->Label35}) QCOMPARE(textColour(label), kGrey);
    for (QLabel *label : {window->Label31, window->Label33, window->Label36})
        QCOMPARE(textColour(label), QApplication::palette().color(QPalette::WindowText));
}

void verifyNotConnectedAnyMore(ToolWindow &window)
{
    QVERIFY(!window->connected());
    QVERIFY(window->Command1->isEnabled());
    QVERIFY(window->Command11->isEnabled());
    for (QPushButton *command : {window->Command5, window->Command13, window->Command4, window->Command8})
        QVERIFY2(!command->isEnabled(), qPrintable(command->objectName()));
    for (QLabel *label : {window->Label31, window->Label33, window->Label36}) QCOMPARE(textColour(label), kGrey);
    for (QLabel *label : {window->Label34, window->Label35})
        QCOMPARE(textColour(label), QApplication::palette().color(QPalette::WindowText));
    QCOMPARE(window->Label19->text(), QStringLiteral("Com Port wählen:"));
    QVERIFY2(window->statusLine()->text().contains(QStringLiteral("Die Verbindung zum Logger ist getrennt.")),
             qPrintable(window->statusLine()->text()));
}

}  // namespace wayfolk::testing
