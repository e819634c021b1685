#include "status_line.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace wayfolk {

StatusLine::StatusLine(QWidget *parent) : QWidget(parent), label_(new QLabel(this)), bar_(new QProgressBar(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label_, 1);
    layout->addWidget(bar_, 1);
    label_->setObjectName(QStringLiteral("statusText"));
    bar_->setObjectName(QStringLiteral("statusProgress"));
    bar_->setRange(0, 100);
    bar_->setTextVisible(true);
    bar_->hide();
}

QString StatusLine::text() const { return label_->text(); }

void StatusLine::setText(const QString &text) { label_->setText(text); }

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
