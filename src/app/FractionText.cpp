#include "app/FractionText.h"

#include <QMimeData>
#include <QTextDocument>
#include <cmath>
#include <memory>

namespace orvanel {

namespace {

// A break opportunity that shows nothing; it is dropped again from copied text.
constexpr QChar ZeroWidthSpace(0x200B);
constexpr QChar Minus(0x2212);
constexpr int MinimumWidth = 80;

// The search writes a negative term as "+-0.56·z^1"; it is shown "−0.56·z^1", as a first
// negative coefficient is. An exponent's sign is left alone.
QString Written(const QString& text) {
    QString written = text;
    written.replace(QStringLiteral("+-"), QString(Minus));
    if (written.startsWith(u'-')) {
        written[0] = Minus;
    }
    return written;
}

QString WithBreaks(const QString& text) {
    QString broken = text;
    broken.replace(u'+', QStringLiteral("+") + ZeroWidthSpace);
    return broken.replace(Minus, QString(Minus) + ZeroWidthSpace);
}

QString WithoutBreaks(QString text) {
    return text.remove(ZeroWidthSpace);
}

} // namespace

FractionText::FractionText(const QString& name, const QColor& background, QWidget* parent)
    : QTextEdit(parent) {
    setObjectName(name);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WordWrap);
    document()->setDefaultTextOption(option);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, background);
    setPalette(palette);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void FractionText::SetText(const QString& text) {
    given_ = text;
    const QString written = Written(text);
    setPlainText(WithBreaks(written));
    setToolTip(written);
    updateGeometry();
}

QString FractionText::Text() const {
    return given_;
}

int FractionText::heightForWidth(int width) const {
    const std::unique_ptr<QTextDocument> laidOut(document()->clone());
    laidOut->setTextWidth(std::max(width - 2 * frameWidth(), 1));
    return static_cast<int>(std::ceil(laidOut->size().height())) + 2 * frameWidth();
}

QSize FractionText::sizeHint() const {
    const int width = std::max(this->width(), MinimumWidth);
    return {width, heightForWidth(width)};
}

QSize FractionText::minimumSizeHint() const {
    return {MinimumWidth, heightForWidth(width())};
}

QMimeData* FractionText::createMimeDataFromSelection() const {
    auto* data = new QMimeData;
    data->setText(WithoutBreaks(textCursor().selectedText()));
    return data;
}

} // namespace orvanel
