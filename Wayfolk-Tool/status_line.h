#pragma once
// The line at the foot of the window that says what a running command does,
// with a progress bar for long calls.
#include <QWidget>

class QLabel;
class QProgressBar;

namespace wayfolk {

class StatusLine : public QWidget {
    Q_OBJECT
public:
    explicit StatusLine(QWidget *parent = nullptr);

    QString text() const;
    // percent 0..100 shows the bar, anything else hides it. The bar's text is
    // barText with %p standing for the percentage, "%p%" when empty.
    void setProgress(int percent, const QString &barText = QString());
    int progress() const;  // -1 while hidden or busy
    // A bar without a measure, for a wait of unknown length.
    void setBusy();
    bool busy() const;

public slots:
    void setText(const QString &text);

private:
    QLabel *label_;
    QProgressBar *bar_;
};

}  // namespace wayfolk
