#include "reports/reportdefinition.h"

namespace lumivox {

namespace {

const QString kGroupName = QStringLiteral("グループ名称");

QList<ReportDefinition> makeDefinitions()
{
    const ReportColumn name{QStringLiteral("名前"), 52.5, 32.5};
    const ReportColumn honorific{QStringLiteral("敬称"), 85, 12.5};
    const ReportColumn mail{QStringLiteral("E-Mail"), 97.5, 70};
    return {
        {ReportKind::arpGroup, QStringLiteral("arpGroup"), QStringLiteral("　グループ一覧表"),
         QStringLiteral("グループ一覧"), QStringLiteral("T_グループ"), false, false,
         {{kGroupName, 15, 75}, {QStringLiteral("フリガナ"), 92.5, 75}}},
        {ReportKind::arpMember, QStringLiteral("arpMember"), QStringLiteral("　メンバー一覧表"),
         QStringLiteral("メンバー一覧"), QStringLiteral("T_メンバー"), false, false,
         {{QStringLiteral("名前"), 15, 32.5},
          {QStringLiteral("フリガナ"), 50, 32.5},
          honorific,
          mail}},
        {ReportKind::arpMember2, QStringLiteral("arpMember2"),
         QStringLiteral("　メンバー一覧表（グループ別）"), QStringLiteral("メンバー一覧（グループ別）"),
         QStringLiteral("T_temp_送信リスト"), true, true, {name, honorific, mail}},
        {ReportKind::arpCheckList, QStringLiteral("arpCheckList"), QStringLiteral("　送信チェックリスト"),
         QStringLiteral("送信チェックリスト"), QStringLiteral("T_temp_送信リスト"), true, false,
         {{QString(), 45, 5, true}, name, honorific, mail}},
        // Each run a group (its time and counts), its recipients the rows.
        {ReportKind::arpSendHistory, QStringLiteral("arpSendHistory"), QStringLiteral("　送信履歴"),
         QStringLiteral("送信履歴"), QString(), true, false,
         {{QStringLiteral("名前"), 15, 32.5},
          {QStringLiteral("E-Mail"), 50, 55},
          {QStringLiteral("状態"), 107.5, 15},
          {QStringLiteral("応答"), 125, 45}}},
    };
}

} // namespace

QStringList ReportDefinition::boundColumns() const
{
    QStringList names;
    for (const ReportColumn &column : columns) {
        if (!column.checkBox)
            names << column.caption;
    }
    return names;
}

const ReportDefinition &reportDefinition(ReportKind kind)
{
    static const QList<ReportDefinition> definitions = makeDefinitions();
    return definitions.at(static_cast<int>(kind));
}

QString ungroupedHeader()
{
    return QStringLiteral("グループ未登録または登録グループに誤りがあるメンバー");
}

} // namespace lumivox
