#include "registers/rosterexport.h"

#include "db/database.h"

#include <QHash>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

namespace lumivox {

namespace {

// The characters at which the import splits one cell of groups.
bool holdsGroupSeparator(const QString &name)
{
    for (const QChar c : name) {
        if (QStringView(u"、,，;；／").contains(c))
            return true;
    }
    return false;
}

} // namespace

bool rosterCsv(const QSqlDatabase &db, RosterKind kind, QString *text, int *records, QString *error)
{
    QSqlQuery q(db);
    auto failed = [&] {
        if (error)
            *error = q.lastError().text();
        return false;
    };
    const QString groupName = quoted(QStringLiteral("グループ名称"));
    const QString reading = quoted(QStringLiteral("フリガナ"));
    QString out;
    int count = 0;
    if (kind == RosterKind::Groups) {
        out += csvRecord({QStringLiteral("グループ名称"), QStringLiteral("フリガナ")});
        if (!q.exec(QStringLiteral("select %1, %2 from T_グループ order by GroupID").arg(groupName, reading)))
            return failed();
        while (q.next()) {
            out += csvRecord({q.value(0).toString(), q.value(1).toString()});
            ++count;
        }
    } else {
        // Each member's groups, in GroupID order, each once; links to groups that
        // no longer exist are left out.
        QHash<qint64, QStringList> groupsOf;
        bool separatorInName = false;
        int most = 0;
        if (!q.exec(QStringLiteral("select distinct L.MemberID, G.%1 from T_メンバーの登録グループ情報 as L "
                                   "inner join T_グループ as G on L.GroupID = G.GroupID "
                                   "order by L.MemberID, G.GroupID")
                        .arg(groupName)))
            return failed();
        while (q.next()) {
            QStringList &names = groupsOf[q.value(0).toLongLong()];
            const QString name = q.value(1).toString();
            if (names.contains(name))
                continue;
            names << name;
            most = std::max(most, static_cast<int>(names.size()));
            separatorInName = separatorInName || holdsGroupSeparator(name);
        }
        const int groupColumns = separatorInName ? std::max(2, most) : 1;
        QStringList heading{QStringLiteral("名前"), QStringLiteral("フリガナ"), QStringLiteral("敬称"),
                            QStringLiteral("E-Mail")};
        for (int g = 1; g <= groupColumns; ++g)
            heading << (separatorInName ? QStringLiteral("グループ%1").arg(g) : QStringLiteral("グループ"));
        out += csvRecord(heading);
        if (!q.exec(QStringLiteral("select MemberID, %1, %2, %3, %4 from T_メンバー order by MemberID")
                        .arg(quoted(QStringLiteral("名前")), reading, quoted(QStringLiteral("敬称")),
                             quoted(QStringLiteral("E-Mail")))))
            return failed();
        while (q.next()) {
            QStringList fields{q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                               q.value(4).toString()};
            const QStringList groups = groupsOf.value(q.value(0).toLongLong());
            if (separatorInName) {
                for (int g = 0; g < groupColumns; ++g)
                    fields << groups.value(g);
            } else {
                fields << groups.join(u'、');
            }
            out += csvRecord(fields);
            ++count;
        }
    }
    *text = out;
    if (records)
        *records = count;
    return true;
}

ExportResult exportRoster(const QSqlDatabase &db, RosterKind kind, const QString &path,
                          TextEncoding encoding)
{
    ExportResult result;
    QString text;
    if (!rosterCsv(db, kind, &text, &result.records, &result.error))
        return result;
    const QByteArray bytes = encodeText(text, encoding, &result.unencodable);
    if (!result.unencodable.isEmpty())
        return result;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace lumivox
