#include "window/TextPrinter.h"

#include "window/UserDialogs.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

namespace orvanel {

namespace {

QFont PrintFont() {
    QFont font(QStringLiteral("Courier New"), 12);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

QString WithPdfExtension(const QString& path) {
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".pdf") : path;
}

// Tab stops every this many characters, as on a line printer.
constexpr int TabWidth = 8;

QString ExpandTabs(const QString& line) {
    QString expanded;
    expanded.reserve(line.size());
    for (const QChar character : line) {
        if (character == u'\t') {
            expanded.append(QString(TabWidth - expanded.size() % TabWidth, u' '));
        } else {
            expanded.append(character);
        }
    }
    return expanded;
}

// `line` cut into pieces no wider than `width`, at a space where one fits.
QStringList FitToWidth(const QString& line, const QFontMetrics& metrics, int width) {
    QStringList pieces;
    QString rest = line;
    while (metrics.horizontalAdvance(rest) > width) {
        // The longest start of the rest that fits, found by halving.
        qsizetype fits = 1;
        qsizetype tooLong = rest.size();
        while (tooLong - fits > 1) {
            const qsizetype middle = (fits + tooLong) / 2;
            if (metrics.horizontalAdvance(rest.left(middle)) <= width) {
                fits = middle;
            } else {
                tooLong = middle;
            }
        }
        // A cell is cut only when it is wider than the page on its own.
        const qsizetype space = rest.lastIndexOf(u' ', fits);
        const qsizetype cut = space > 0 ? space : fits;
        pieces.append(rest.left(cut));
        rest = rest.mid(cut).trimmed();
    }
    if (!rest.isEmpty() || pieces.isEmpty()) {
        pieces.append(rest);
    }
    return pieces;
}

} // namespace

bool TextPrinter::PrintOn(const QStringList& lines, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    painter.setFont(PrintFont());
    const QFontMetrics metrics(painter.font(), &printer);
    const int lineHeight = metrics.lineSpacing();
    const QRect page = painter.viewport();
    const int linesPerPage = std::max(1, page.height() / lineHeight);
    // Tabs are expanded here rather than by the painter, whose tab stops on a high-resolution
    // printer fell beyond the page's edge and took every cell after the first with them.
    int printed = 0;
    for (const QString& line : lines) {
        for (const QString& piece : FitToWidth(ExpandTabs(line), metrics, page.width())) {
            const int onPage = printed % linesPerPage;
            if (onPage == 0 && printed > 0) {
                printer.newPage();
            }
            painter.drawText(QRect(0, onPage * lineHeight, page.width(), lineHeight),
                             Qt::AlignLeft | Qt::AlignTop, piece);
            ++printed;
        }
    }
    return painter.end();
}

void TextPrinter::Print(const QStringList& lines, UserDialogs& dialogs, QWidget* parent) {
    const QPrinterInfo installed = QPrinterInfo::defaultPrinter();
    QPrinter printer(QPrinter::HighResolution);
    if (installed.isNull()) {
        const QString pdf = dialogs.PdfFileName(parent);
        if (pdf.isEmpty()) {
            return;
        }
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(WithPdfExtension(pdf));
    } else {
        printer.setPrinterName(installed.printerName());
    }
    if (!PrintOn(lines, printer)) {
        dialogs.ShowError(parent, QStringLiteral("The printer could not print the document."));
    }
}

} // namespace orvanel
