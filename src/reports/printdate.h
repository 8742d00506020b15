#pragma once

#include <QDateTime>
#include <QString>

namespace lumivox {

// "印刷日時 ： " + the date in the Japanese era ("令和8年12月06日 ") + the time
// with a full-width colon ("10：30"). The era comes from ICU's Japanese calendar,
// so a new era needs no change here.
QString printDateLine(const QDateTime &when);

} // namespace lumivox
