#pragma once
// The picture buttons: a borderless picture box exactly the size of its
// button face, over a command button that it hides, with one caption label
// inside. The label is larger than the box and so takes every mouse event:
// any mouse button pressed on it shows the pressed face until it is released;
// a click (left button pressed and released on it) is told through clicked().
// The covered command button carries the enabled state and the action; the
// window decides what a click runs.
#include <QLabel>
#include <QPixmap>

class QPushButton;

namespace wayfolk {

class PictureButton;

// The caption: its word centred over the face, no background of its own.
class CaptionLabel : public QLabel {
    Q_OBJECT
public:
    CaptionLabel(const QString &word, PictureButton *button);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    PictureButton *button_;
    Qt::MouseButton heldButton_ = Qt::NoButton;
};

class PictureButton : public QLabel {
    Q_OBJECT
public:
    PictureButton(const QPixmap &released, const QPixmap &pressed, QWidget *parent);

    // The command button that the picture button lies over.
    void cover(QPushButton *covered) { covered_ = covered; }
    QPushButton *covered() const { return covered_; }
    CaptionLabel *caption() const { return caption_; }

    bool showsPressedFace() const { return showsPressed_; }
    void showPressedFace(bool pressed);

signals:
    void clicked();

private:
    friend class CaptionLabel;
    QPushButton *covered_ = nullptr;
    QPixmap released_;
    QPixmap pressed_;
    CaptionLabel *caption_ = nullptr;
    bool showsPressed_ = false;
};

}  // namespace wayfolk
