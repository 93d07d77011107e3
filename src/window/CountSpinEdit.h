// A count field with up and down arrows. Unlike a plain spin box it lets any integer be typed,
// so a table can follow the typed value at once; the value is brought into range when the
// field loses the focus.
#pragma once

#include <QSpinBox>

namespace orvanel {

class TCountSpinEdit : public QSpinBox {
    Q_OBJECT

public:
    TCountSpinEdit(int minimum, int maximum, QWidget* parent = nullptr);

    // Replaces the field's text as typing would (no change when it is the same text).
    void SetText(const QString& text);
    // Corrects a typed value as leaving the field does, so the table never keeps a count beyond
    // the field's range when it is saved or run while the field still has the focus.
    void BringIntoRange();

signals:
    // Every change of the field's text: typed, stepped, corrected or set.
    void TextEdited(const QString& text);

protected:
    // Gives the program's Ctrl shortcuts (Ctrl+E, Execute, above all) precedence over the
    // editing keys a text field binds to them on some desktops; the field keeps the clipboard,
    // undo and select-all keys.
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QValidator::State validate(QString& input, int& pos) const override;
    // Brings a typed integer into range; other texts are left for the previous value.
    void fixup(QString& input) const override;

private:
    // Emits TextEdited when the text differs from the one last announced. The spin box rewrites
    // its text with the editor's signals blocked, so every path that may do so calls this.
    void AnnounceText();

    QString announced_;
};

} // namespace orvanel
