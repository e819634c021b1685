// The window's controls: names, captions, containers, places (in twips, 15 to
// a pixel), stacking and focus order.
#include "form1.h"
#include "picture_button.h"
#include "status_line.h"
#include "wrapped_check_box.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

namespace wayfolk {

namespace {

constexpr int kClientWidth = 612;   // 9180 twips
constexpr int kClientHeight = 384;  // 5760 twips

int pixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

// The window's font: small and narrow, so that every caption fits its place.
QFont windowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Tahoma"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Liberation Sans")});
    font.setPixelSize(10);
    return font;
}

// The folder field's own font: Tahoma 8.25 points, or the nearest there is.
QFont folderFieldFont()
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(8.25);
    return font;
}

void useWindowBackground(QLabel *label)
{
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    label->setPalette(palette);
}

void makeGreyChecked(QCheckBox *box)
{
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
    box->setEnabled(false);
}

}  // namespace

template <typename Control, typename... Args>
Control *Form1::place(const char *name, QWidget *container, int left, int top, int width, int height, int tabIndex,
                      Args &&...args)
{
    auto *control = new Control(std::forward<Args>(args)..., container);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
    tableOrder_.emplace_back(control, tabIndex);
    if constexpr (std::is_same_v<QLabel, Control>) {
        const bool twoLines = control->height() >= 24;
        control->setWordWrap(twoLines);
        control->setAlignment(twoLines ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignLeft | Qt::AlignVCenter);
    }
    return control;
}

void Form1::makePictureButton(PictureButton *&picture, const char *pictureName, CaptionLabel *&label,
                              const char *labelName, const char *word, int left, int top, int tabIndex, int labelLeft,
                              int labelWidth)
{
    picture = place<PictureButton>(pictureName, this, left, top, 1305, 360, tabIndex, releasedFace_, pressedFace_);
    picture->setFocusPolicy(Qt::NoFocus);
    label = new CaptionLabel(QString::fromUtf8(word), picture);
    label->setObjectName(QString::fromLatin1(labelName));
    label->setGeometry(pixels(labelLeft), pixels(-120), pixels(labelWidth), pixels(555));
    pictureButtons_.push_back(picture);
}

void Form1::buildControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Wayfolk - Tool V1.12"));
    setWindowIcon(QIcon(QStringLiteral(":/images/icon.png")));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(windowFont());
    releasedFace_ = QPixmap(QStringLiteral(":/images/button_released.jpg"));
    pressedFace_ = QPixmap(QStringLiteral(":/images/button_pressed.jpg"));

    // In the order of the control table: earlier controls lie above later ones.
    Frame4 = place<QGroupBox>("Frame4", this, 2280, 2760, 1815, 2415, 76, QStringLiteral("Extras"));
    Check8 =
        place<WrappedCheckBox>("Check8", Frame4, 120, 960, 1575, 615, 78, QStringLiteral("Je Markierung extra Datei"));
    Check7 = place<WrappedCheckBox>("Check7", Frame4, 120, 240, 1575, 735, 77,
                                    QStringLiteral("Datum an Dateinamen anhängen"));
    makePictureButton(Picture9, "Picture9", Label36, "Label36", "Wayfolk leeren", 1560, 2280, 74);
    makePictureButton(Picture8, "Picture8", Label35, "Label35", "Auto. Verbinden", 3120, 440, 72);
    makePictureButton(Picture7, "Picture7", Label34, "Label34", "Verbinden", 1680, 440, 70);
    makePictureButton(Picture6, "Picture6", Label33, "Label33", "Log Auslesen", 120, 2280, 67);
    makePictureButton(Picture5, "Picture5", Label32, "Label32", "Durchsuchen", 2640, 1810, 65);
    Frame3 = place<QGroupBox>("Frame3", this, 120, 2760, 2055, 2415, 53, QStringLiteral("Formate"));
    Check6 = place<QCheckBox>("Check6", Frame3, 120, 1800, 255, 255, 62);
    Check2 = place<QCheckBox>("Check2", Frame3, 120, 360, 255, 255, 56);
    Check3 = place<QCheckBox>("Check3", Frame3, 120, 1080, 255, 255, 55);
    Check4 = place<QCheckBox>("Check4", Frame3, 120, 720, 255, 255, 54);
    Check5 = place<QCheckBox>("Check5", Frame3, 120, 1440, 255, 255, 60);
    Label9 = place<QLabel>("Label9", Frame3, 360, 1440, 1215, 255, 61, QStringLiteral("NMEA"));
    Label30 = place<QLabel>("Label30", Frame3, 360, 1800, 975, 255, 63, QStringLiteral("RAW"));
    Label2 = place<QLabel>("Label2", Frame3, 360, 360, 975, 255, 59, QStringLiteral("Google Earth"));
    Label23 = place<QLabel>("Label23", Frame3, 360, 1080, 975, 255, 58, QStringLiteral("Ozi Explorer"));
    Label28 = place<QLabel>("Label28", Frame3, 360, 720, 975, 255, 57, QStringLiteral("GPX"));
    Picture4 = place<QLabel>("Picture4", this, 7800, 1560, 975, 495, 51);
    Picture3 = place<QLabel>("Picture3", this, 7320, 1080, 1095, 495, 50);
    makePictureButton(Picture2, "Picture2", Label31, "Label31", "Einst. Speichern", 7680, 5280, 49, -240, 1770);
    Command14 = place<QPushButton>("Command14", this, 4560, 5160, 1335, 375, 48, QStringLiteral("Command14"));
    Frame1 = place<QGroupBox>("Frame1", this, 4200, 3000, 4815, 2055, 34, QStringLiteral("Einstellungen"));
    Check9 = place<QCheckBox>("Check9", Frame1, 120, 840, 975, 255, 79, QStringLiteral("An"));
    Frame2 = place<QGroupBox>("Frame2", Frame1, 2520, 120, 2055, 1815, 38, QStringLiteral("Log Interval"));
    Option4 = place<QRadioButton>("Option4", Frame2, 120, 360, 375, 255, 43);
    Option5 = place<QRadioButton>("Option5", Frame2, 120, 680, 375, 375, 42);
    Text2 = place<QLineEdit>("Text2", Frame2, 480, 360, 615, 285, 41, QStringLiteral("5"));
    Text3 = place<QLineEdit>("Text3", Frame2, 480, 720, 615, 285, 40, QStringLiteral("50"));
    Text4 = place<QLineEdit>("Text4", Frame2, 120, 1440, 735, 285, 39, QStringLiteral("0"));
    Label24 = place<QLabel>("Label24", Frame2, 1200, 360, 735, 255, 47, QStringLiteral("Sekunden"));
    Label25 = place<QLabel>("Label25", Frame2, 1200, 720, 615, 255, 46, QStringLiteral("Meter"));
    Label26 = place<QLabel>("Label26", Frame2, 120, 1200, 1815, 255, 45, QStringLiteral("Minimal Geschwindigkeit:"));
    Label27 = place<QLabel>("Label27", Frame2, 1080, 1440, 735, 255, 44, QStringLiteral("in km/h"));
    Check1 = place<QCheckBox>("Check1", Frame1, 1440, 840, 1215, 255, 37, QStringLiteral("An"));
    Label22 = place<QLabel>("Label22", Frame1, 1440, 480, 855, 255, 36, QStringLiteral("Markierung:"));
    Label1 = place<QLabel>("Label1", Frame1, 120, 480, 1215, 255, 35, QStringLiteral("Vibationssensor:"));
    Command13 = place<QPushButton>("Command13", this, 2760, 1810, 1095, 255, 32, QStringLiteral("Durchsuchen"));
    Text1 =
        place<QLineEdit>("Text1", this, 120, 1830, 2415, 330, 31, QString::fromStdString(places_.defaultTargetFolder));
    Command11 = place<QPushButton>("Command11", this, 3120, 540, 975, 195, 26, QStringLiteral("Automatisch Verbinden"));
    Command10 = place<QPushButton>("Command10", this, 7200, 0, 1695, 495, 10, QStringLiteral("Einstellungen auslesen"));
    Command8 = place<QPushButton>("Command8", this, 7800, 5280, 975, 255, 8, QStringLiteral("Einstellungen speichern"));
    Command4 =
        place<QPushButton>("Command4", this, 1560, 2280, 855, 255, 5, QStringLiteral("Daten im Wayfolk löschen"));
    Combo1 = place<QComboBox>("Combo1", this, 120, 480, 1455, 315, 4);
    Command5 = place<QPushButton>("Command5", this, 120, 2280, 1095, 255, 3, QStringLiteral("LOG Auslesen"));
    Command2 = place<QPushButton>("Command2", this, 5160, 0, 1575, 735, 1, QStringLiteral("Read Device Information"));
    Command1 = place<QPushButton>("Command1", this, 1680, 480, 1095, 255, 0, QStringLiteral("Verbinden"));
    Picture1 = place<QLabel>("Picture1", this, 5160, 0, 3765, 2430, 33);
    Command7 =
        place<QPushButton>("Command7", this, 5760, 1440, 2535, 495, 7, QStringLiteral("Read Bin File FW  Version"));
    Command6 = place<QPushButton>("Command6", this, 5640, 1440, 2535, 495, 6, QStringLiteral("Upgrade Firmware"));
    Command12 = place<QPushButton>("Command12", this, 5400, 1440, 2535, 495, 27, QStringLiteral("Read GPS UTC Time"));
    Command9 = place<QPushButton>("Command9", this, 6000, 1200, 2415, 495, 9, QStringLiteral("Read DLL Version"));
    Command3 = place<QPushButton>("Command3", this, 6000, 960, 1695, 495, 2, QStringLiteral("Exit Dump Mode"));
    Label29 = place<QLabel>("Label29", this, 240, 1440, 2295, 255, 52, QStringLiteral("Label29"));
    Label19 = place<QLabel>("Label19", this, 120, 120, 1935, 255, 30, QStringLiteral("Com Port wählen:"));
    Label21 = place<QLabel>("Label21", this, 6000, 1560, 2055, 255, 29, QStringLiteral("hr:min:sec , day,month,year"));
    Label20 = place<QLabel>("Label20", this, 5400, 1560, 3255, 375, 28, QStringLiteral(" GPS UTC Time = "));
    Label18 = place<QLabel>(
        "Label18", this, 5760, 1560, 3015, 375, 25,
        QString::fromStdString(trk7700::form::text(trk7700::form::TextId::firmwareFilePlace,
                                                   {places_.firmwareFolder + trk7700::form::kFirmwareImageName})));
    Label17 = place<QLabel>("Label17", this, 5400, 2040, 2895, 255, 24, QStringLiteral("Bin File FW Version = ? "));
    Label16 = place<QLabel>("Label16", this, 5040, 2640, 2295, 255, 23, QStringLiteral("Seriennummer = "));
    Label15 = place<QLabel>("Label15", this, 7320, 2640, 1575, 255, 22, QStringLiteral("FW Ver = "));

    // Initial states
    makeGreyChecked(Check5);
    makeGreyChecked(Check6);
    for (QPushButton *button : {Command5, Command4, Command8, Command13}) button->setEnabled(false);
    for (QWidget *hidden :
         std::initializer_list<QWidget *>{Picture3, Picture4, Command14, Command10, Command2, Label29})
        hidden->hide();
    Picture1->setPixmap(QPixmap(QStringLiteral(":/images/device_photo.jpg")));
    Picture3->setPixmap(pressedFace_);
    Picture4->setPixmap(releasedFace_);
    for (QLabel *picture : {Picture1, Picture3, Picture4}) {
        picture->setFocusPolicy(Qt::NoFocus);
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        picture->setWordWrap(false);
    }
    Command1->setIcon(QIcon(pressedFace_));
    Text1->setFont(folderFieldFont());
    useWindowBackground(Label15);
    useWindowBackground(Label16);
    for (PictureButton *picture : pictureButtons_) picture->caption()->setWordWrap(false);
    setOffered(Label33, false);
    setOffered(Label36, false);
    setOffered(Label31, false);

    // The status line takes the free strip at the foot of the window, below
    // the frames and left of "Einst. Speichern".
    statusLine_ = new StatusLine(this);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setGeometry(8, 346, 440, 36);
    // "Karte" at the status line's end opens the map page of the last readout.
    mapButton_ = new QPushButton(QStringLiteral("Karte"), this);
    mapButton_->setObjectName(QStringLiteral("mapButton"));
    mapButton_->setGeometry(452, 350, 52, 24);
    mapButton_->setEnabled(false);

    stackAndOrderControls();
}

void Form1::stackAndOrderControls()
{
    for (auto it = tableOrder_.rbegin(); it != tableOrder_.rend(); ++it) it->first->raise();

    std::vector<std::pair<QWidget *, int>> byTabIndex = tableOrder_;
    std::stable_sort(byTabIndex.begin(), byTabIndex.end(),
                     [](const auto &a, const auto &b) { return a.second < b.second; });
    QWidget *previous = nullptr;
    for (const auto &[control, tabIndex] : byTabIndex) {
        if (control->focusPolicy() == Qt::NoFocus) continue;
        if (previous != nullptr) setTabOrder(previous, control);
        previous = control;
    }
}

}  // namespace wayfolk
