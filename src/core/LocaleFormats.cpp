#include "core/LocaleFormats.h"

#include <QRegularExpression>

namespace quindra {

namespace {

// Qt's long time formats end in a time-zone field ("t", "tttt"); the log and
// the history carry local wall-clock time only.
QString withoutTimeZone(QString format) {
    static const QRegularExpression zone(
        QStringLiteral("\\s*\\(?(?<![A-Za-z'])t+(?![A-Za-z'])\\)?\\s*"));
    format.replace(zone, QStringLiteral(" "));
    return format.trimmed();
}

}  // namespace

LocaleFormats::LocaleFormats(const QLocale& locale)
    : locale_(locale),
      dateFormat_(locale.dateFormat(QLocale::ShortFormat)),
      timeFormat_(withoutTimeZone(locale.timeFormat(QLocale::LongFormat))) {
    const QString dp = locale.decimalPoint();
    decimal_ = dp.isEmpty() ? QChar('.') : dp.front();
}

QString LocaleFormats::shortDate(const QDate& d) const {
    return locale_.toString(d, dateFormat_);
}

QString LocaleFormats::longTime(const QTime& t) const {
    return locale_.toString(t, timeFormat_);
}

}  // namespace quindra
