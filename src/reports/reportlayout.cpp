#include "reports/reportlayout.h"

namespace lumivox {

using namespace reportmm;

namespace {

bool blankName(const QVariant &name)
{
    return name.isNull() || name.toString().isEmpty();
}

// Rows without a group name all belong together, however they are blank.
bool sameGroup(const QVariant &a, const QVariant &b)
{
    if (blankName(a) || blankName(b))
        return blankName(a) && blankName(b);
    return a.toString() == b.toString();
}

} // namespace

QString groupHeaderText(const QVariant &groupName)
{
    return blankName(groupName) ? ungroupedHeader() : groupName.toString();
}

QList<ReportPage> layoutReport(const ReportDefinition &definition, const QList<ReportRow> &rows,
                               double pageHeightMm)
{
    const double bottom = pageHeightMm - 2 * kMargin - kPageFooter; // where the footer starts
    QList<ReportPage> pages;
    double y = 0;
    bool pageHasRows = false;

    auto place = [&](PlacedSection::Kind kind, double height, int row = -1, const QString &text = {}) {
        PlacedSection section;
        section.kind = kind;
        section.top = y;
        section.row = row;
        section.number = row + 1; // the running number: never restarts
        section.text = text;
        pages.last().sections.append(section);
        y += height;
    };
    auto startPage = [&] {
        pages.append(ReportPage());
        y = 0;
        pageHasRows = false;
        if (pages.size() == 1)
            place(PlacedSection::ReportHeader, kReportHeader);
        place(PlacedSection::PageHeader, kPageHeader);
    };
    // A page always takes at least one row, however small the paper, so that the
    // layout ends.
    auto makeRoom = [&](double height) {
        if (y + height > bottom && pageHasRows)
            startPage();
    };

    startPage();
    for (int i = 0; i < rows.size(); ++i) {
        const ReportRow &row = rows[i];
        if (definition.grouped && (i == 0 || !sameGroup(rows[i - 1].groupName, row.groupName))) {
            makeRoom(kGroupHeader + kRow); // never a header alone at the bottom
            place(PlacedSection::GroupHeader, kGroupHeader, -1, groupHeaderText(row.groupName));
        } else {
            makeRoom(kRow);
        }
        place(PlacedSection::Detail, kRow, i);
        pageHasRows = true;
    }
    return pages;
}

} // namespace lumivox
