#pragma once

#include <QList>
#include <QString>

namespace lumivox {

// The printed lists. Each is the same page design filled from a different
// source; what differs between them is data, described by a ReportDefinition.
// The send history has no table of its own: its window gives the rows.
enum class ReportKind { arpGroup, arpMember, arpMember2, arpCheckList, arpSendHistory };

// One column after "No": its caption is also the name of the column it shows.
// Positions and widths are millimetres from the left edge of the 170 mm body.
struct ReportColumn {
    QString caption;
    double left = 0;
    double width = 0;
    bool checkBox = false; // an empty box to tick by hand; shows no column
};

struct ReportDefinition {
    ReportKind kind;
    QString name;           // arpGroup, …: the report's object name
    QString title;          // the title line of the first page
    QString previewCaption; // the preview window's caption
    QString source;         // the table the rows come from, in its own order
    bool grouped = false;   // a group header whenever グループ名称 changes
    bool rebuildsMembersByGroup = false; // refills the work tables from every member first
    QList<ReportColumn> columns;

    // The bound columns (check boxes have none), in column order.
    QStringList boundColumns() const;
};

const ReportDefinition &reportDefinition(ReportKind kind);

// The header under which rows without a (valid) group are listed.
QString ungroupedHeader();

} // namespace lumivox
