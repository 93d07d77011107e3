#include "window/TextPrinter.h"

#include "window/UserDialogs.h"

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
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int onPage = static_cast<int>(i % linesPerPage);
        if (onPage == 0 && i > 0) {
            printer.newPage();
        }
        const QRect line(0, onPage * lineHeight, page.width(), lineHeight);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, lines[i]);
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
        printer.setOutputFileName(pdf);
    } else {
        printer.setPrinterName(installed.printerName());
    }
    if (!PrintOn(lines, printer)) {
        dialogs.ShowError(parent, QStringLiteral("The printer could not print the document."));
    }
}

} // namespace orvanel
