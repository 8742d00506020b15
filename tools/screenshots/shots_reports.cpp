#include "shots.h"

#include "reports/reportpreview.h"

namespace {

// The preview of one report on the sample data, as the user first sees it.
void savePreview(lumivox::shots::ShotContext &ctx, lumivox::ReportKind kind, const QString &name)
{
    using namespace lumivox;
    QList<ReportRow> rows;
    if (!loadReportRows(ctx.app.db(), reportDefinition(kind), &rows))
        return;
    const ReportDocument document(reportDefinition(kind), rows, QDateTime::currentDateTime());
    ReportPreview preview(document);
    ctx.save(&preview, name);
}

} // namespace

LUMIVOX_SCREENSHOT(report_group)
{
    savePreview(ctx, lumivox::ReportKind::arpGroup, QStringLiteral("report_group"));
}

LUMIVOX_SCREENSHOT(report_member)
{
    savePreview(ctx, lumivox::ReportKind::arpMember, QStringLiteral("report_member"));
}

LUMIVOX_SCREENSHOT(report_member2)
{
    savePreview(ctx, lumivox::ReportKind::arpMember2, QStringLiteral("report_member2"));
}

LUMIVOX_SCREENSHOT(report_checklist)
{
    // The send list of the first sample notice (groups 1 to 3), as the main
    // window prepares it before opening the check list.
    lumivox::fillSendList(ctx.app.db(), {1, 2, 3});
    savePreview(ctx, lumivox::ReportKind::arpCheckList, QStringLiteral("report_checklist"));
}
