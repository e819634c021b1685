#include "wrapped_check_box.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace wayfolk {

QRect WrappedCheckBox::captionRect() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect indicator = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    const int spacing = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
    return QRect(indicator.right() + 1 + spacing, 0, width() - indicator.right() - 1 - spacing, height());
}

void WrappedCheckBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_CheckBox, option);

    const QRect caption = captionRect();
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = painter.boundingRect(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text())
                         .adjusted(-1, 0, 1, 0);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool WrappedCheckBox::hitButton(const QPoint &position) const { return rect().contains(position); }

}  // namespace wayfolk
