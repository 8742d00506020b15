#pragma once

#include "reports/reportdefinition.h"
#include "reports/reportlayout.h"

#include <QDateTime>
#include <QSqlDatabase>

class QPagedPaintDevice;

namespace lumivox {

// One report as the user prints it: its definition, the rows read from its source,
// the moment it was made (the date line) and, for a report about one thing (the
// check list of a notice), a line under the title naming it. Lays itself out for
// the paper it is drawn on, then paints every page with the true page count in
// the footers.
class ReportDocument
{
public:
    ReportDocument(const ReportDefinition &definition, QList<ReportRow> rows,
                   const QDateTime &printedAt, const QString &subject = {});

    const ReportDefinition &definition() const { return m_definition; }
    QString subject() const { return m_subject; }

    // The page set-up of every report: A4 portrait, 20 mm margins.
    static void applyPageSettings(QPagedPaintDevice *device);

    // Draws the whole report on a device whose page layout is set (a printer, the
    // preview's printer, a PDF writer). Returns the number of pages, 0 when the
    // device could not be painted on.
    int print(QPagedPaintDevice *device) const;

    // Writes the report as a PDF file; the file is replaced only when the whole
    // document has been written. False with a reason when it could not be.
    bool writePdf(const QString &path, QString *error = nullptr) const;

    // Every text the pages can show, for the PDF's text maps.
    QString drawnText() const;

private:
    class Canvas;
    void paintPage(Canvas &canvas, const ReportPage &page, int pageNumber, int pageCount,
                   double pageHeightMm) const;

    ReportDefinition m_definition;
    QList<ReportRow> m_rows;
    QString m_dateLine;
    QString m_subject;
};

// Reads a report's rows from its source, in the table's own order. For the member
// list by group the work tables are first refilled from every member.
bool loadReportRows(const QSqlDatabase &db, const ReportDefinition &definition,
                    QList<ReportRow> *rows, QString *error = nullptr);

} // namespace lumivox
