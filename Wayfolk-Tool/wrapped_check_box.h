#pragma once
// A check box whose caption breaks into lines within the box's width, as the
// narrow export options of the window need ("Datum an Dateinamen anhängen").
#include <QCheckBox>

namespace wayfolk {

class WrappedCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

    // Where the caption goes: right of the box, over the full height.
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &position) const override;
};

}  // namespace wayfolk
