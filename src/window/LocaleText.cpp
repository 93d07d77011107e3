#include "window/LocaleText.h"

#include <QLocale>
#include <QString>

namespace orvanel {

namespace {

// The first character of a date or time format that is not a field letter: "M/d/yy" gives "/".
std::string SeparatorOf(const QString& format, const char* fallback) {
    for (const QChar c : format) {
        if (!c.isLetter() && !c.isSpace() && c != u'\'') {
            return QString(c).toStdString();
        }
    }
    return fallback;
}

} // namespace

char LocaleDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode())
                                                          : '.';
}

ReportSeparators LocaleReportSeparators() {
    const QLocale locale;
    ReportSeparators separators;
    separators.Date = SeparatorOf(locale.dateFormat(QLocale::ShortFormat), "/");
    separators.Time = SeparatorOf(locale.timeFormat(QLocale::ShortFormat), ":");
    separators.Decimal = LocaleDecimalSeparator();
    return separators;
}

} // namespace orvanel
