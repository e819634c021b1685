#pragma once
// How the window speaks to the user besides its controls: message boxes and
// the folder dialog. The tests put a recorder in their place.
#include <QString>

class QWidget;

namespace wayfolk {

// The title of every message box.
inline constexpr char kApplicationTitle[] = "Wayfolk-Tool";

class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    // A message box with the text and one OK button; returns once it is closed.
    virtual void message(QWidget *owner, const QString &text) = 0;
    // The folder the user chose, or empty when cancelled.
    virtual QString chooseFolder(QWidget *owner) = 0;
};

class StandardDialogs : public UserDialogs {
public:
    void message(QWidget *owner, const QString &text) override;
    QString chooseFolder(QWidget *owner) override;
};

}  // namespace wayfolk
