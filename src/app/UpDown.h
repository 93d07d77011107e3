// Up and down arrows tied to a text field: a click steps the number in the field by one within
// the arrows' range and writes the new position back into the field.
#pragma once

#include <QWidget>

class QLineEdit;

namespace orvanel {

class TUpDown : public QWidget {
    Q_OBJECT

public:
    // Arrows for `associate`, which must outlive them, with the range 0..maximum.
    TUpDown(QLineEdit& associate, int maximum, QWidget* parent = nullptr);

    // The number in the field when it holds an integer (as the arrows read it), otherwise the
    // last position set.
    int Position() const;
    // Moves to `position` (kept within the range) and writes it into the field.
    void SetPosition(int position);
    int Maximum() const { return maximum_; }
    // The position is not moved; a later step comes back into the range.
    void SetMaximum(int maximum) { maximum_ = maximum; }

    // One step up (+1) or down (-1) from the number in the field, or from the position when
    // the field holds no integer; as a click on an arrow does.
    void Step(int direction);

signals:
    // An arrow moved the position.
    void Clicked();

private:
    QLineEdit& associate_;
    int minimum_ = 0;
    int maximum_;
    int position_ = 0;
};

} // namespace orvanel
