#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace quindra {

// The user's regional settings as the program uses them: short date, long
// time without a time zone, and the decimal separator.
class LocaleFormats {
public:
    explicit LocaleFormats(const QLocale& locale = QLocale::system());

    QString shortDate(const QDate& d) const;
    QString longTime(const QTime& t) const;
    QChar decimalSeparator() const { return decimal_; }
    const QLocale& locale() const { return locale_; }

    const QString& shortDateFormat() const { return dateFormat_; }
    const QString& longTimeFormat() const { return timeFormat_; }

private:
    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
    QChar decimal_;
};

}  // namespace quindra
