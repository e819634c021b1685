#pragma once
// How the window speaks to the user besides its controls: message boxes,
// questions and the folder dialog. The tests put a recorder in their place.
#include "form_host.h"

#include <QString>

class QMessageBox;
class QWidget;

namespace wayfolk {

// The title of every message box.
inline constexpr char kApplicationTitle[] = "Wayfolk-Tool";

// The two buttons of a question box.
using Answer = trk7700::form::Answer;

class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    // A message box with the text and one OK button; returns once it is closed.
    virtual void message(QWidget *owner, const QString &text) = 0;
    // A message box that does not wait: it closes with its owner, so that it
    // never holds up closing the window.
    virtual void notice(QWidget *owner, const QString &text) { message(owner, text); }
    // A question box with "Ja" and "Nein"; Enter gives defaultAnswer, Escape
    // and closing the box give no.
    virtual Answer ask(QWidget *owner, const QString &question, Answer defaultAnswer) = 0;
    // The folder the user chose, or empty when cancelled; the dialog opens in startFolder.
    virtual QString chooseFolder(QWidget *owner, const QString &startFolder) = 0;
};

// The question box that ask() shows, not yet shown.
QMessageBox *makeQuestionBox(QWidget *owner, const QString &question, Answer defaultAnswer);
// What a question box that was closed answered.
Answer answerOf(const QMessageBox &box);

class StandardDialogs : public UserDialogs {
public:
    void message(QWidget *owner, const QString &text) override;
    void notice(QWidget *owner, const QString &text) override;
    Answer ask(QWidget *owner, const QString &question, Answer defaultAnswer) override;
    QString chooseFolder(QWidget *owner, const QString &startFolder) override;
};

}  // namespace wayfolk
