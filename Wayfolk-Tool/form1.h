#pragma once
// The tool's one window, Form1 "Wayfolk - Tool V1.12": every control under its
// numbered name, drawn from the form model and forwarding what the user does
// to it. The window decides nothing: which command runs, what it calls, what
// each control shows and which message comes next is the model's
// (client/form).
#include "form_model.h"

#include <QHash>
#include <QPixmap>
#include <QWidget>

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

namespace wayfolk {

class CaptionLabel;
class PictureButton;
class QtExecutor;
class StatusLine;
class UserDialogs;

class Form1 : public QWidget, public trk7700::form::FormHost {
    Q_OBJECT
public:
    // Builds the window and loads the port list and the options file.
    Form1(trk7700::form::FormLibrary &library, UserDialogs &dialogs, QWidget *parent = nullptr);
    ~Form1() override;

    // What a click on the button (or on the picture button over it) runs;
    // the model's command by default.
    void setCommandAction(QPushButton *button, std::function<void()> action);
    // Runs the button's action as a click on it would.
    void runCommand(QPushButton *button);
    // What starts GPSBabel after a readout; a detached start by default.
    void setProgramLauncher(trk7700::client::ProgramLauncher &launcher) { model_->setProgramLauncher(launcher); }

    // What ends the program when the user stops a download on closing; _Exit by default.
    void setProgramEnd(std::function<void()> end) { programEnd_ = std::move(end); }

    trk7700::form::FormModel &model() { return *model_; }
    bool commandRunning() const { return model_->commandRunning(); }
    StatusLine *statusLine() const { return statusLine_; }
    QPushButton *mapButton() const { return mapButton_; }
    int comPort() const { return model_->comPort(); }
    const std::vector<PictureButton *> &pictureButtons() const { return pictureButtons_; }
    bool connected() const { return model_->connected(); }

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
    // Building (form1_layout.cpp)
    void buildControls();
    template <typename Control, typename... Args>
    Control *place(const char *name, QWidget *container, int left, int top, int width, int height, int tabIndex,
                   Args &&...args);
    void makePictureButton(PictureButton *&picture, const char *pictureName, CaptionLabel *&label,
                           const char *labelName, const char *word, int left, int top, int tabIndex,
                           int labelLeft = -60, int labelWidth = 1410);
    void stackAndOrderControls();

    // Forwarding (form1.cpp)
    void bindCommands();
    void connectPictureButtons();
    void forwardEdits();
    QPushButton *buttonOf(trk7700::form::Command command) const;
    // Drawing
    void draw();
    static void setOffered(QLabel *label, bool offered);

    // FormHost
    void viewChanged() override;
    void message(const trk7700::form::Message &message) override;
    trk7700::form::Answer ask(const trk7700::form::Message &question, trk7700::form::Answer defaultAnswer) override;
    std::optional<std::string> chooseFolder(const std::string &startFolder) override;
    bool openUrl(const std::string &path) override;
    void closeWindow() override;
    void endProgram() override;

    UserDialogs &dialogs_;
    trk7700::form::FormPlaces places_;
    QtExecutor *executor_;
    std::unique_ptr<trk7700::form::FormModel> model_;
    StatusLine *statusLine_ = nullptr;
    QPushButton *mapButton_ = nullptr;
    QPixmap releasedFace_, pressedFace_;
    std::vector<PictureButton *> pictureButtons_;
    QHash<QPushButton *, std::function<void()>> commandActions_;
    // The controls in the order of the window's control table, with their place in the focus order.
    std::vector<std::pair<QWidget *, int>> tableOrder_;
    std::function<void()> programEnd_;
    QMetaObject::Connection focusConnection_;
    bool drawing_ = false;
    bool mayClose_ = false;
};

}  // namespace wayfolk
