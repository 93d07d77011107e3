// One side of a transfer function in the plot window: read-only text that wraps to the panel's
// width and grows to show every term.
#pragma once

#include <QTextEdit>

namespace orvanel {

// A negative term shows with a minus sign, "1·z^2−0.56·z^1" for the search's
// "1·z^2+-0.56·z^1". Lines break only after a '+' or a minus, never inside a number, so that a
// wrapped polynomial cannot be misread as a shorter one. The text selects and copies as it is
// shown; the tooltip holds it whole.
class FractionText : public QTextEdit {
    Q_OBJECT

public:
    FractionText(const QString& name, const QColor& background, QWidget* parent);

    void SetText(const QString& text);
    // The text as it was given.
    QString Text() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    QMimeData* createMimeDataFromSelection() const override;

private:
    QString given_;
};

} // namespace orvanel
