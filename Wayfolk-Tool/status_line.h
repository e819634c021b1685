#pragma once
// The line at the foot of the window that says what a running command does,
// with a progress bar for long calls, and what the last one came to. It shows
// two lines of text; a longer text is cut with "…" and shown whole as its tool tip.
#include <QWidget>

class QProgressBar;

namespace wayfolk {

class StatusText;

class StatusLine : public QWidget {
    Q_OBJECT
public:
    explicit StatusLine(QWidget *parent = nullptr);

    // What the line shows: the text, then the note when there is one.
    QString text() const;
    // percent 0..100 shows the bar, anything else hides it. The bar's text is
    // barText with %p standing for the percentage, "%p%" when empty.
    void setProgress(int percent, const QString &barText = QString());
    int progress() const;  // -1 while hidden or busy
    // A bar without a measure, for a wait of unknown length.
    void setBusy();
    bool busy() const;

    // A note that stays after every text until it is changed, for what holds
    // while commands come and go (the window closes after the running one).
    void setNote(const QString &note);

public slots:
    void setText(const QString &text);

private:
    void refresh();

    StatusText *label_;
    QString text_;
    QString note_;
    QProgressBar *bar_;
};

}  // namespace wayfolk
