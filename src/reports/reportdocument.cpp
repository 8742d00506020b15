#include "reports/reportdocument.h"

#include "app/appcontext.h"
#include "db/database.h"
#include "db/worktables.h"
#include "reports/pdftextmap.h"
#include "reports/printdate.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

namespace lumivox {

using namespace reportmm;

namespace {

const QString kGroupColumn = QStringLiteral("グループ名称");

QFont reportFont(double points, bool bold)
{
    QFont font;
    // Japanese Gothic faces first, so that Han characters take their Japanese forms.
    font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAexGothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("Source Han Sans JP"),
                      QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic"),
                      QStringLiteral("Sans Serif")});
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting); // the preview looks like the paper
    // Glyphs straight from the character map: a shaped variant (a digit inside a
    // Latin word) has no character behind it in the PDF, and copying would lose it.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

// The three faces of every report.
struct ReportFonts {
    QFont plain = reportFont(9, false);
    QFont bold = reportFont(9, true);
    QFont title = reportFont(12, true);
    QList<QFont> all() const { return {plain, bold, title}; }
};

} // namespace

// Draws in millimetres from the top left corner of a section of the body.
class ReportDocument::Canvas
{
public:
    Canvas(QPainter &painter, double pxPerMm, QPointF bodyOrigin)
        : m_painter(painter), m_pxPerMm(pxPerMm), m_body(bodyOrigin)
    {}

    void setSectionTop(double top) { m_top = top; }

    QRectF rect(double left, double top, double width, double height) const
    {
        return {m_body.x() + left * m_pxPerMm, m_body.y() + (m_top + top) * m_pxPerMm,
                width * m_pxPerMm, height * m_pxPerMm};
    }

    // One line of text in a box; what does not fit is cut off at the box's edges,
    // never drawn over the next column.
    void text(const QRectF &box, const QString &text, Qt::Alignment align = Qt::AlignLeft)
    {
        if (text.isEmpty())
            return;
        const int flags = int(Qt::AlignVCenter | Qt::TextSingleLine);
        if (m_painter.fontMetrics().horizontalAdvance(text) <= box.width()) {
            m_painter.drawText(box, flags | int(align), text);
            return;
        }
        // Too long: its beginning is shown, up to the box's right edge.
        m_painter.save();
        m_painter.setClipRect(box, Qt::IntersectClip);
        m_painter.drawText(box, flags | Qt::AlignLeft, text);
        m_painter.restore();
    }

    void rule(double top, double lineMm = 0.3)
    {
        m_painter.setPen(QPen(Qt::black, lineMm * m_pxPerMm));
        const QRectF line = rect(0, top, kBodyWidth, 0);
        m_painter.drawLine(line.topLeft(), line.topRight());
    }

    void box(const QRectF &cell, double sideMm)
    {
        m_painter.setPen(QPen(Qt::black, 0.2 * m_pxPerMm));
        const double side = sideMm * m_pxPerMm;
        m_painter.drawRect(QRectF(cell.center().x() - side / 2, cell.center().y() - side / 2, side, side));
    }

    void setFont(const QFont &font) { m_painter.setFont(font); }

private:
    QPainter &m_painter;
    double m_pxPerMm;
    QPointF m_body;
    double m_top = 0;
};

ReportDocument::ReportDocument(const ReportDefinition &definition, QList<ReportRow> rows,
                               const QDateTime &printedAt, const QString &subject)
    : m_definition(definition),
      m_rows(std::move(rows)),
      m_dateLine(printDateLine(printedAt)),
      m_subject(subject)
{}

void ReportDocument::applyPageSettings(QPagedPaintDevice *device)
{
    device->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(kMargin, kMargin, kMargin, kMargin),
                                      QPageLayout::Millimeter));
}

int ReportDocument::print(QPagedPaintDevice *device) const
{
    const QPageLayout layout = device->pageLayout();
    const double pageHeight = layout.fullRect(QPageLayout::Millimeter).height();
    const QList<ReportPage> pages = layoutReport(m_definition, m_rows, pageHeight);

    QPainter painter;
    if (!painter.begin(device))
        return 0;
    // The painter's origin is the corner of the device's printable area; the body
    // starts 20 mm from the paper's edges whatever margins the device keeps.
    const double pxPerMm = device->logicalDpiX() / 25.4;
    const QRectF printable = layout.paintRect(QPageLayout::Millimeter);
    Canvas canvas(painter, pxPerMm,
                  QPointF((kMargin - printable.left()) * pxPerMm, (kMargin - printable.top()) * pxPerMm));
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !device->newPage()) {
            painter.end();
            return 0;
        }
        paintPage(canvas, pages[i], i + 1, int(pages.size()), pageHeight);
    }
    return painter.end() ? int(pages.size()) : 0;
}

void ReportDocument::paintPage(Canvas &canvas, const ReportPage &page, int pageNumber,
                               int pageCount, double pageHeightMm) const
{
    const ReportFonts fonts;

    for (const PlacedSection &section : page.sections) {
        canvas.setSectionTop(section.top);
        switch (section.kind) {
        case PlacedSection::ReportHeader:
            canvas.setFont(fonts.plain);
            canvas.text(canvas.rect(kDateLeft, 0, kDateWidth, kRow), m_dateLine, Qt::AlignRight);
            canvas.setFont(fonts.title);
            canvas.text(canvas.rect(0, kTitleTop, kBodyWidth, kRow), m_definition.title);
            canvas.setFont(fonts.plain);
            canvas.text(canvas.rect(0, kTitleTop + kRow, kBodyWidth, kRow), m_subject); // in the blank row
            break;
        case PlacedSection::PageHeader:
            canvas.setFont(fonts.bold);
            canvas.text(canvas.rect(0, 0, kNoWidth, kRow), QStringLiteral("No"), Qt::AlignHCenter);
            for (const ReportColumn &column : m_definition.columns)
                canvas.text(canvas.rect(column.left, 0, column.width, kRow), column.caption);
            canvas.rule(kPageHeaderRule);
            break;
        case PlacedSection::GroupHeader:
            canvas.setFont(fonts.bold);
            canvas.text(canvas.rect(kGroupTextLeft, kGroupTextTop, kGroupTextWidth, kRow), section.text);
            break;
        case PlacedSection::Detail: {
            canvas.setFont(fonts.plain);
            canvas.text(canvas.rect(0, 0, kNoWidth, kRow), QString::number(section.number),
                        Qt::AlignHCenter);
            const QStringList &cells = m_rows[section.row].cells;
            int bound = 0;
            for (const ReportColumn &column : m_definition.columns) {
                const QRectF cell = canvas.rect(column.left, 0, column.width, kRow);
                if (column.checkBox)
                    canvas.box(cell, 3.2);
                else
                    canvas.text(cell, cells.value(bound++));
            }
            break;
        }
        }
    }

    // The page footer: a rule, then "n／N" centred on the body.
    canvas.setSectionTop(pageHeightMm - 2 * kMargin - kPageFooter);
    canvas.rule(kFooterRule);
    canvas.setFont(fonts.plain);
    canvas.text(canvas.rect(67.5, kFooterText, 15, kRow), QString::number(pageNumber), Qt::AlignRight);
    canvas.text(canvas.rect(82.5, kFooterText, 5, kRow), QStringLiteral("／"), Qt::AlignHCenter);
    canvas.text(canvas.rect(87.5, kFooterText, 12.5, kRow), QString::number(pageCount));
}

QString ReportDocument::drawnText() const
{
    QString text = m_dateLine + m_definition.title + m_subject + QStringLiteral("No／0123456789") + ungroupedHeader();
    for (const ReportColumn &column : m_definition.columns)
        text += column.caption;
    for (const ReportRow &row : m_rows)
        text += row.cells.join(QString()) + row.groupName.toString();
    return text;
}

bool ReportDocument::writePdf(const QString &path, QString *error) const
{
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        applyPageSettings(&writer);
        writer.setTitle(QLatin1String(kProductName));
        writer.setCreator(QLatin1String(kProductName));
        if (print(&writer) == 0) {
            if (error)
                *error = QStringLiteral("PDF を作成できませんでした。");
            return false;
        }
    }
    pdf = repairTextMaps(pdf, drawnText(), ReportFonts().all());

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool loadReportRows(const QSqlDatabase &db, const ReportDefinition &definition,
                    QList<ReportRow> *rows, QString *error)
{
    rows->clear();
    if (definition.rebuildsMembersByGroup && !fillMembersByGroup(db, error))
        return false;

    QStringList columns;
    for (const QString &name : definition.boundColumns())
        columns << quoted(name);
    if (definition.grouped)
        columns << quoted(kGroupColumn);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select %1 from %2 order by rowid")
                        .arg(columns.join(QStringLiteral(", ")), quoted(definition.source)))) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    const int cellCount = int(definition.boundColumns().size());
    while (query.next()) {
        ReportRow row;
        row.cells.reserve(cellCount);
        for (int c = 0; c < cellCount; ++c)
            row.cells << query.value(c).toString();
        if (definition.grouped)
            row.groupName = query.value(cellCount);
        rows->append(row);
    }
    return true;
}

} // namespace lumivox
