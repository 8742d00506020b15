#include "reports/printdate.h"

#include <unicode/gregocal.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <memory>

namespace lumivox {

namespace {

icu::UnicodeString toIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

QString fromIcu(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

// The era date and the time of the wall-clock fields of `when`, or an empty text
// when ICU cannot format them.
QString eraDateTime(const QDateTime &when)
{
    // Both calendars work in GMT on the wall-clock fields, so that the local time
    // zone (and its rules on this machine) cannot shift the day.
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar gregorian(icu::TimeZone::getGMT()->clone(), status);
    if (U_FAILURE(status))
        return {};
    const QDate date = when.date();
    const QTime time = when.time();
    gregorian.clear();
    gregorian.set(date.year(), date.month() - 1, date.day(), time.hour(), time.minute(),
                  time.second());
    const UDate instant = gregorian.getTime(status);
    if (U_FAILURE(status))
        return {};

    // G era, y year within the era, MM and dd two digits, HH 24-hour.
    const icu::Locale japanese("ja_JP@calendar=japanese");
    icu::SimpleDateFormat format(toIcu(QStringLiteral("Gy'年'MM'月'dd'日 'HH'：'mm")), japanese,
                                 status);
    if (U_FAILURE(status))
        return {};
    format.setTimeZone(*icu::TimeZone::getGMT());
    icu::UnicodeString text;
    format.format(instant, text);
    return fromIcu(text);
}

} // namespace

QString printDateLine(const QDateTime &when)
{
    QString stamp = eraDateTime(when);
    if (stamp.isEmpty()) // no ICU data: the Western year rather than no date at all
        stamp = when.toString(QStringLiteral("yyyy年MM月dd日 HH：mm"));
    return QStringLiteral("印刷日時 ： ") + stamp;
}

} // namespace lumivox
