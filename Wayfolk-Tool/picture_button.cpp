#include "picture_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionFocusRect>

namespace wayfolk {

CaptionLabel::CaptionLabel(const QString &word, PictureButton *button) : QLabel(word, button), button_(button)
{
    button->caption_ = this;
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void CaptionLabel::mousePressEvent(QMouseEvent *event)
{
    if (heldButton_ == Qt::NoButton) {
        heldButton_ = event->button();
        button_->showPressedFace(true);
    }
    event->accept();
}

void CaptionLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != heldButton_) return;
    heldButton_ = Qt::NoButton;
    // The face is released before the command starts and stays so while it runs.
    button_->showPressedFace(false);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit button_->clicked();
    event->accept();
}

// The covered command button takes the keyboard focus; its picture shows it.
void CaptionLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (button_->covered() == nullptr || !button_->covered()->hasFocus()) return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = QRect(-pos(), button_->size()).adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

PictureButton::PictureButton(const QPixmap &released, const QPixmap &pressed, QWidget *parent)
    : QLabel(parent), released_(released), pressed_(pressed)
{
    setFrameShape(QFrame::NoFrame);
    setPixmap(released_);
}

void PictureButton::showPressedFace(bool pressed)
{
    showsPressed_ = pressed;
    setPixmap(pressed ? pressed_ : released_);
}

}  // namespace wayfolk
