#include "window/CountSpinEdit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <algorithm>

namespace orvanel {

namespace {

bool IsFieldEditingKey(const QKeyEvent& key) {
    for (const QKeySequence::StandardKey standard :
         {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo,
          QKeySequence::Redo, QKeySequence::SelectAll}) {
        if (key.matches(standard)) {
            return true;
        }
    }
    return false;
}

} // namespace

TCountSpinEdit::TCountSpinEdit(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
    announced_ = lineEdit()->text();
    connect(lineEdit(), &QLineEdit::textChanged, this, &TCountSpinEdit::AnnounceText);
    connect(this, &QSpinBox::textChanged, this, &TCountSpinEdit::AnnounceText);
}

void TCountSpinEdit::AnnounceText() {
    const QString text = lineEdit()->text();
    if (text != announced_) {
        announced_ = text;
        emit TextEdited(text);
    }
}

bool TCountSpinEdit::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if ((key.modifiers() & Qt::ControlModifier) && !IsFieldEditingKey(key)) {
            event->ignore();
            return true;
        }
    }
    return QSpinBox::event(event);
}

void TCountSpinEdit::focusOutEvent(QFocusEvent* event) {
    QSpinBox::focusOutEvent(event);
    AnnounceText();
}

void TCountSpinEdit::SetText(const QString& text) {
    if (lineEdit()->text() != text) {
        lineEdit()->setText(text);
    }
}

void TCountSpinEdit::BringIntoRange() {
    QString text = lineEdit()->text();
    fixup(text);
    SetText(text);
}

QValidator::State TCountSpinEdit::validate(QString& input, int&) const {
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]{0,9}$"));
    if (!integer.match(input).hasMatch()) {
        return QValidator::Invalid;
    }
    bool ok = false;
    const int value = input.toInt(&ok);
    return ok && value >= minimum() && value <= maximum() ? QValidator::Acceptable
                                                          : QValidator::Intermediate;
}

void TCountSpinEdit::fixup(QString& input) const {
    bool ok = false;
    const qlonglong value = input.toLongLong(&ok);
    if (ok) {
        input = QString::number(std::clamp<qlonglong>(value, minimum(), maximum()));
    }
}

} // namespace orvanel
