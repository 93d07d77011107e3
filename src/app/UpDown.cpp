#include "app/UpDown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace orvanel {

namespace {

// Positions are 16-bit values.
constexpr int PositionLimit = std::numeric_limits<qint16>::max();

} // namespace

TUpDown::TUpDown(QLineEdit& associate, int maximum, QWidget* parent)
    : QWidget(parent), associate_(associate), maximum_(maximum) {
    auto* up = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    auto* down = new QToolButton(this);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up, down}) {
        button->setFixedSize(17, 11);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up);
    layout->addWidget(down);
    connect(up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::SetPosition(int position) {
    position_ =
        std::clamp(position, minimum_, std::min(std::max(maximum_, minimum_), PositionLimit));
    associate_.setText(QString::number(position_));
}

int TUpDown::Position() const {
    bool ok = false;
    const int typed = associate_.text().toInt(&ok);
    return ok ? typed : position_;
}

void TUpDown::Step(int direction) {
    SetPosition(Position() + direction);
    emit Clicked();
}

} // namespace orvanel
