#include "status_line.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTextLayout>

#include <algorithm>

namespace wayfolk {

namespace {

constexpr int kShownLines = 2;

// The text as far as it fits into `lines` lines of the width, wrapped at
// words, with "…" where it is cut.
QString fitted(const QString &text, const QFont &font, int width, int lines)
{
    QTextLayout layout(text, font);
    QString shown;
    layout.beginLayout();
    for (int i = 0; i < lines; ++i) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        if (i == lines - 1)
            shown += QFontMetrics(font).elidedText(text.mid(line.textStart()), Qt::ElideRight, width);
        else
            shown += text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return shown;
}

}  // namespace

// Shows as much of its text as two lines hold; the whole text is its tool tip.
class StatusText : public QLabel {
public:
    explicit StatusText(QWidget *parent) : QLabel(parent)
    {
        setWordWrap(true);
        setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }

    const QString &fullText() const { return full_; }
    void setFullText(const QString &text)
    {
        full_ = text;
        fit();
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        fit();
    }

private:
    void fit()
    {
        // A little narrower than the label, so that its own wrapping breaks alike.
        const QString shown = fitted(full_, font(), std::max(1, contentsRect().width() - 6), kShownLines);
        setText(shown);
        setToolTip(shown == full_ ? QString() : full_);
    }

    QString full_;
};

StatusLine::StatusLine(QWidget *parent) : QWidget(parent), label_(new StatusText(this)), bar_(new QProgressBar(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label_, 1);
    layout->addWidget(bar_, 1);
    label_->setObjectName(QStringLiteral("statusText"));
    bar_->setMaximumHeight(22);
    bar_->setObjectName(QStringLiteral("statusProgress"));
    bar_->setRange(0, 100);
    bar_->setTextVisible(true);
    bar_->hide();
}

QString StatusLine::text() const { return label_->fullText(); }

void StatusLine::setText(const QString &text)
{
    text_ = text;
    refresh();
}

void StatusLine::setNote(const QString &note)
{
    note_ = note;
    refresh();
}

void StatusLine::refresh()
{
    label_->setFullText(note_.isEmpty() || text_.isEmpty() ? text_ + note_ : text_ + QStringLiteral(" · ") + note_);
}

void StatusLine::setProgress(int percent, const QString &barText)
{
    if (percent < 0 || percent > 100) {
        bar_->hide();
        return;
    }
    bar_->setRange(0, 100);
    bar_->setValue(percent);
    bar_->setFormat(barText.isEmpty() ? QStringLiteral("%p%") : barText);
    bar_->show();
}

int StatusLine::progress() const { return bar_->isHidden() || busy() ? -1 : bar_->value(); }

void StatusLine::setBusy()
{
    bar_->setRange(0, 0);
    bar_->show();
}

bool StatusLine::busy() const { return !bar_->isHidden() && bar_->maximum() == 0; }

}  // namespace wayfolk
