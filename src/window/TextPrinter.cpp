#include "window/TextPrinter.h"

#include "window/UserDialogs.h"

#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStringView>
#include <algorithm>
#include <vector>

namespace orvanel {

namespace {

QFont PrintFont() {
    QFont font(QStringLiteral("Courier New"), 12);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    // The columns line up only when every character is as wide as the others.
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(12);
    }
    return font;
}

QString WithPdfExtension(const QString& path) {
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".pdf") : path;
}

// Spaces between two columns.
constexpr int ColumnGap = 2;

// Where the columns of TAB-separated lines go: the widest cell of each column over the lines
// that hold more than one cell, and the first column of each band of columns that fits on a
// line (a column wider than the line has a band of its own).
struct Columns {
    std::vector<qsizetype> Widths;
    std::vector<std::size_t> BandStarts{0};
};

Columns MeasureColumns(const QStringList& lines, int lineLength) {
    Columns columns;
    std::vector<qsizetype>& widths = columns.Widths;
    for (const QString& line : lines) {
        const QList<QStringView> cells = QStringView(line).split(u'\t');
        if (cells.size() < 2) {
            continue;
        }
        widths.resize(std::max(widths.size(), static_cast<std::size_t>(cells.size())), 0);
        for (qsizetype c = 0; c < cells.size(); ++c) {
            qsizetype& width = widths[static_cast<std::size_t>(c)];
            width = std::max(width, cells[c].size());
        }
    }
    qsizetype used = 0;
    for (std::size_t c = 0; c < widths.size(); ++c) {
        if (used > 0 && used + widths[c] > lineLength) {
            columns.BandStarts.push_back(c);
            used = 0;
        }
        used += widths[c] + ColumnGap;
    }
    return columns;
}

// The printed lines of one line: a band of its cells on each, every cell padded to its
// column's width; a line without a TAB as it is.
QStringList LayOutLine(const QString& line, const Columns& columns) {
    const QList<QStringView> cells = QStringView(line).split(u'\t');
    if (cells.size() < 2) {
        return {line};
    }
    const std::vector<std::size_t>& starts = columns.BandStarts;
    QStringList pieces;
    for (std::size_t band = 0; band < starts.size(); ++band) {
        const std::size_t end =
            std::min(band + 1 < starts.size() ? starts[band + 1] : columns.Widths.size(),
                     static_cast<std::size_t>(cells.size()));
        QString piece;
        for (std::size_t c = starts[band]; c < end; ++c) {
            piece += cells[static_cast<qsizetype>(c)].toString().leftJustified(columns.Widths[c] +
                                                                               ColumnGap);
        }
        while (piece.endsWith(u' ')) {
            piece.chop(1);
        }
        // A row without cells in a later band prints no empty line for it.
        if (band == 0 || !piece.isEmpty()) {
            pieces.append(piece);
        }
    }
    return pieces;
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

QStringList TextPrinter::Layout(const QStringList& lines, int lineLength) {
    const Columns columns = MeasureColumns(lines, lineLength);
    QStringList laidOut;
    for (const QString& line : lines) {
        laidOut += LayOutLine(line, columns);
    }
    return laidOut;
}

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
    // The columns are laid out here in characters rather than by the painter's tab stops, which
    // on a high-resolution printer fell beyond the page's edge and took every cell after the
    // first with them.
    const Columns columns =
        MeasureColumns(lines, std::max(1, page.width() / metrics.horizontalAdvance(u'0')));
    int printed = 0;
    for (const QString& line : lines) {
        for (const QString& band : LayOutLine(line, columns)) {
            for (const QString& piece : FitToWidth(band, metrics, page.width())) {
                const int onPage = printed % linesPerPage;
                if (onPage == 0 && printed > 0) {
                    printer.newPage();
                }
                painter.drawText(QRect(0, onPage * lineHeight, page.width(), lineHeight),
                                 Qt::AlignLeft | Qt::AlignTop, piece);
                ++printed;
            }
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
