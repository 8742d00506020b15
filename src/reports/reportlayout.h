#pragma once

#include "reports/reportdefinition.h"

#include <QList>
#include <QStringList>
#include <QVariant>

namespace lumivox {

// The page design, in millimetres. The body is the part of the page inside the
// 20 mm margins; every section is placed from its top edge.
namespace reportmm {
inline constexpr double kMargin = 20;
inline constexpr double kBodyWidth = 170;
inline constexpr double kRow = 5;
inline constexpr double kReportHeader = 15; // date line, title, a blank row
inline constexpr double kTitleTop = 5;
inline constexpr double kDateLeft = 110;
inline constexpr double kDateWidth = 60;
inline constexpr double kPageHeader = 7.5;  // captions, then the rule
inline constexpr double kPageHeaderRule = 6;
inline constexpr double kGroupHeader = 7.5; // a little air above the group's name
inline constexpr double kGroupTextTop = 2.5;
inline constexpr double kGroupTextLeft = 2.5;
inline constexpr double kGroupTextWidth = 165;
inline constexpr double kPageFooter = 10;   // rule at 2.5, "n／N" 5 mm down
inline constexpr double kFooterRule = 2.5;
inline constexpr double kFooterText = 5;
inline constexpr double kNoWidth = 12.5;
} // namespace reportmm

// One row of a report's source: the texts of its bound columns, in column order,
// and for grouped reports its group's name (Null for none).
struct ReportRow {
    QStringList cells;
    QVariant groupName;
};

// A section placed on a page.
struct PlacedSection {
    enum Kind { ReportHeader, PageHeader, GroupHeader, Detail };
    Kind kind = Detail;
    double top = 0;   // mm from the top of the body
    int row = -1;     // Detail: index into the rows
    int number = 0;   // Detail: the running number, 1 upwards through the report
    QString text;     // GroupHeader: the group's name or the fixed header
};

struct ReportPage {
    QList<PlacedSection> sections; // the page footer is on every page, not listed
};

// The group header text for a row's group name: the name, or the fixed header
// when it is Null or empty.
QString groupHeaderText(const QVariant &groupName);

// Lays the rows out on pages of the given height (mm). Rows are never cut; a group
// header always has the first row of its group under it on the same page. There
// is always at least one page.
QList<ReportPage> layoutReport(const ReportDefinition &definition, const QList<ReportRow> &rows,
                               double pageHeightMm);

} // namespace lumivox
