#include "registers/rosterimport.h"

#include "app/kana.h"
#include "db/database.h"
#include "db/keys.h"
#include "mail/mailaddress.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>

namespace lumivox {

namespace {

const QString kMembers = QStringLiteral("T_メンバー");
const QString kGroups = QStringLiteral("T_グループ");
const QString kMemberGroups = QStringLiteral("T_メンバーの登録グループ情報");

// The separators of several groups in one cell.
const QRegularExpression &groupSeparators()
{
    static const QRegularExpression re(QStringLiteral("[、,，;；／]"));
    return re;
}

// A heading as it is compared: full-width forms folded (ＥーＭａｉｌ, ﾌﾘｶﾞﾅ), lower
// case, without blanks, punctuation, brackets and a trailing number (グループ2).
QString headingKey(const QString &cell)
{
    static const QRegularExpression noise(QStringLiteral("[\\s\\-_・:()\\[\\]「」『』【】※*]"));
    static const QRegularExpression number(QStringLiteral("\\d+$"));
    QString key = cell.normalized(QString::NormalizationForm_KC).toLower();
    key.remove(noise);
    key.remove(number);
    return key;
}

bool containsAny(const QString &key, std::initializer_list<const char16_t *> words)
{
    for (const char16_t *w : words) {
        if (key.contains(QStringView(w)))
            return true;
    }
    return false;
}

RosterField headingField(const QString &cell, RosterKind kind)
{
    const QString key = headingKey(cell);
    if (key.isEmpty())
        return RosterField::Ignore;
    // A reading first: お名前（カナ） is the reading of the name, not the name.
    if (containsAny(key, {u"フリガナ", u"ふりがな", u"よみ", u"読み", u"ヨミ", u"カナ", u"かな", u"reading",
                          u"furigana", u"kana"}))
        return RosterField::Reading;
    if (kind == RosterKind::Groups) {
        return containsAny(key, {u"名", u"グループ", u"group", u"name"}) ? RosterField::Name
                                                                      : RosterField::Ignore;
    }
    if (containsAny(key, {u"mail", u"メール", u"アドレス"}))
        return RosterField::Mail;
    if (key.contains(u"敬称"))
        return RosterField::Honorific;
    if (containsAny(key, {u"グループ", u"所属", u"クラス", u"group"}))
        return RosterField::Group;
    if (containsAny(key, {u"名", u"なまえ", u"name"}))
        return RosterField::Name;
    return RosterField::Ignore;
}

bool isBlankRow(const QStringList &cells)
{
    for (const QString &c : cells) {
        if (!c.trimmed().isEmpty())
            return false;
    }
    return true;
}

// The share of a column's non-blank values that pass a test; -1 without any.
double columnShare(const QList<CsvRecord> &rows, int col, const std::function<bool(const QString &)> &test)
{
    int values = 0;
    int passing = 0;
    for (const CsvRecord &r : rows) {
        const QString v = r.fields.value(col).trimmed();
        if (v.isEmpty())
            continue;
        ++values;
        passing += test(v) ? 1 : 0;
    }
    return values ? double(passing) / values : -1;
}

bool isKanaText(const QString &text)
{
    for (const QChar c : text) {
        if (!isKana(c.unicode()) && !c.isSpace())
            return false;
    }
    return true;
}

// One row's values by the mapping, normalised: blanks around them trimmed, a
// formula guard removed, readings as full-width katakana, an address typed in
// full width made plain, the groups of one cell split.
RosterEntry readEntry(const CsvRecord &row, const QList<RosterField> &mapping, bool oneGroupCell)
{
    RosterEntry e;
    e.line = row.line;
    for (qsizetype c = 0; c < row.fields.size(); ++c) {
        const QString value = withoutFormulaGuard(row.fields[c].trimmed()).trimmed();
        switch (mapping.value(c, RosterField::Ignore)) {
        case RosterField::Name:
            e.name = value;
            break;
        case RosterField::Reading:
            e.reading = toReadingKatakana(value);
            break;
        case RosterField::Honorific:
            e.honorific = value;
            break;
        case RosterField::Mail:
            e.mail = normaliseTypedAddress(value);
            break;
        case RosterField::Group:
            for (const QString &part : oneGroupCell ? value.split(groupSeparators()) : QStringList{value}) {
                const QString g = part.trimmed();
                if (!g.isEmpty() && !e.groups.contains(g))
                    e.groups << g;
            }
            break;
        case RosterField::Ignore:
            break;
        }
    }
    return e;
}

// What is wrong with one row by itself: no name, a value longer than its
// column, an address that is not plain.
QStringList entryProblems(const RosterEntry &e, RosterKind kind)
{
    QStringList problems;
    if (e.name.isEmpty())
        problems << rosterFieldName(RosterField::Name, kind) + QStringLiteral("がありません");
    const std::pair<RosterField, const QString *> values[] = {{RosterField::Name, &e.name},
                                                               {RosterField::Reading, &e.reading},
                                                               {RosterField::Honorific, &e.honorific},
                                                               {RosterField::Mail, &e.mail}};
    for (const auto &[field, value] : values) {
        const int limit = rosterFieldLength(field, kind);
        if (value->size() > limit)
            problems << QStringLiteral("%1「%2」が%3文字を超えています（%4文字）")
                            .arg(rosterFieldName(field, kind), *value)
                            .arg(limit)
                            .arg(value->size());
    }
    if (!e.mail.isEmpty()) {
        if (const QString why = mailAddressProblem(e.mail); !why.isEmpty())
            problems << QStringLiteral("E-Mail「%1」：%2").arg(e.mail, why);
    }
    const int groupLimit = rosterFieldLength(RosterField::Group, kind);
    for (const QString &g : e.groups) {
        if (g.size() > groupLimit)
            problems << QStringLiteral("グループ名称「%1」が%2文字を超えています（%3文字）")
                            .arg(g)
                            .arg(groupLimit)
                            .arg(g.size());
    }
    return problems;
}

// Keys of a table and its row count, for allocating one key after another by
// the program's key rule.
struct KeySpace {
    QSet<int> taken;
    int rows = 0;
    int capacity = 0;
    bool read(const QSqlDatabase &db, const QString &table, const QString &keyColumn, QString *error)
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("select %1 from %2").arg(quoted(keyColumn), quoted(table)))) {
            *error = q.lastError().text();
            return false;
        }
        while (q.next()) {
            taken.insert(q.value(0).toInt());
            ++rows;
        }
        return true;
    }
    int allocate()
    {
        if (rows >= capacity)
            return 0;
        const int key = nextFreeKey(rows, capacity, [this](int k) { return taken.contains(k); });
        if (key > 0) {
            taken.insert(key);
            ++rows;
        }
        return key;
    }
};

bool run(QSqlQuery &q, const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    return q.exec();
}

} // namespace

QList<RosterField> rosterFields(RosterKind kind)
{
    if (kind == RosterKind::Groups)
        return {RosterField::Ignore, RosterField::Name, RosterField::Reading};
    return {RosterField::Ignore, RosterField::Name, RosterField::Reading, RosterField::Honorific,
            RosterField::Mail, RosterField::Group};
}

QString rosterFieldName(RosterField field, RosterKind kind)
{
    switch (field) {
    case RosterField::Name:
        return kind == RosterKind::Groups ? QStringLiteral("グループ名称") : QStringLiteral("名前");
    case RosterField::Reading:
        return QStringLiteral("フリガナ");
    case RosterField::Honorific:
        return QStringLiteral("敬称");
    case RosterField::Mail:
        return QStringLiteral("E-Mail");
    case RosterField::Group:
        return QStringLiteral("グループ");
    case RosterField::Ignore:
        break;
    }
    return QStringLiteral("（取り込まない）");
}

int rosterFieldLength(RosterField field, RosterKind kind)
{
    if (kind == RosterKind::Groups || field == RosterField::Group)
        return 50;
    switch (field) {
    case RosterField::Name:
    case RosterField::Honorific:
        return 10;
    case RosterField::Reading:
        return 20;
    case RosterField::Mail:
        return 64;
    default:
        return 0;
    }
}

QList<RosterField> recogniseHeading(const QStringList &cells, RosterKind kind)
{
    QList<RosterField> mapping;
    for (const QString &cell : cells) {
        if (cell.contains(u'@') || cell.contains(u'＠'))
            return {};
        RosterField f = headingField(cell, kind);
        if (f != RosterField::Group && mapping.contains(f))
            f = RosterField::Ignore; // the first column of a field is the one taken
        mapping << f;
    }
    return mapping.contains(RosterField::Name) ? mapping : QList<RosterField>{};
}

QList<RosterField> guessMapping(const QList<CsvRecord> &rows, RosterKind kind)
{
    int columns = 0;
    for (const CsvRecord &r : rows)
        columns = std::max(columns, static_cast<int>(r.fields.size()));
    QList<RosterField> mapping(columns, RosterField::Ignore);
    auto take = [&](RosterField field, double least, const std::function<bool(const QString &)> &test) {
        for (int c = 0; c < columns; ++c) {
            if (mapping[c] == RosterField::Ignore && columnShare(rows, c, test) >= least) {
                mapping[c] = field;
                return;
            }
        }
    };
    if (kind == RosterKind::Members) {
        take(RosterField::Mail, 0.5, [](const QString &v) { return v.contains(u'@') || v.contains(u'＠'); });
        static const QStringList honorifics{QStringLiteral("様"), QStringLiteral("さん"), QStringLiteral("殿"),
                                            QStringLiteral("先生"), QStringLiteral("君"), QStringLiteral("くん"),
                                            QStringLiteral("ちゃん"), QStringLiteral("御中"), QStringLiteral("氏")};
        take(RosterField::Honorific, 0.8, [](const QString &v) { return honorifics.contains(v); });
    }
    take(RosterField::Name, 0.0, [](const QString &) { return true; });
    const auto name = mapping.indexOf(RosterField::Name);
    for (qsizetype c = name + 1; name >= 0 && c < columns; ++c) {
        if (mapping[c] == RosterField::Ignore && columnShare(rows, static_cast<int>(c), isKanaText) >= 0.8) {
            mapping[c] = RosterField::Reading;
            break;
        }
    }
    return mapping;
}

QList<RosterField> listOrderMapping(RosterKind kind, int columns)
{
    QList<RosterField> order = rosterFields(kind).mid(1);
    QList<RosterField> mapping;
    for (int c = 0; c < columns; ++c) {
        // Columns past the last field are further groups (or nothing, for groups).
        mapping << (c < order.size() ? order[c]
                                     : kind == RosterKind::Members ? RosterField::Group : RosterField::Ignore);
    }
    return mapping;
}

RosterText readRosterText(const QByteArray &bytes, RosterKind kind, std::optional<TextEncoding> encoding)
{
    RosterText t;
    t.encoding = encoding.value_or(detectEncoding(bytes));
    const QString text = decodeText(bytes, t.encoding, &t.undecodable);
    t.separator = detectSeparator(text);
    t.table = parseCsv(text, t.separator);
    if (!t.table.records.isEmpty())
        t.heading = recogniseHeading(t.table.records.first().fields, kind);
    return t;
}

QList<RosterProblem> RosterText::problems() const
{
    if (table.error.isEmpty())
        return {};
    return {{table.errorLine, table.error}};
}

RosterPlan planRoster(const QSqlDatabase &db, RosterKind kind, const QList<CsvRecord> &rows,
                      const QList<RosterField> &mapping, DuplicateChoice duplicates,
                      const QList<RosterProblem> &readProblems)
{
    const bool members = kind == RosterKind::Members;
    RosterPlan plan;
    plan.kind = kind;
    plan.hasReading = mapping.contains(RosterField::Reading);
    plan.hasHonorific = mapping.contains(RosterField::Honorific);
    plan.hasMail = mapping.contains(RosterField::Mail);
    const bool oneGroupCell = mapping.count(RosterField::Group) == 1;

    // The register as it stands: the duplicates' keys (the first record of each)
    // and the room left under the capacities.
    QHash<QString, qint64> registered;
    QSet<QString> groupNames;
    int groupCount = 0;
    int memberCount = 0;
    QSqlQuery q(db);
    // Without the register the duplicates and the room are unknown: nothing is planned.
    auto unreadable = [&] {
        plan.errors << RosterProblem{0, QStringLiteral("登録済みの内容を読み込めませんでした（%1）")
                                            .arg(q.lastError().text())};
        ++plan.errorRows;
        return plan;
    };
    if (!q.exec(QStringLiteral("select GroupID, %1 from %2 order by GroupID")
                    .arg(quoted(QStringLiteral("グループ名称")), quoted(kGroups))))
        return unreadable();
    while (q.next()) {
        const QString name = q.value(1).toString();
        groupNames.insert(name);
        if (!members && !registered.contains(name))
            registered.insert(name, q.value(0).toLongLong());
        ++groupCount;
    }
    if (members) {
        if (!q.exec(QStringLiteral("select MemberID, %1 from %2 order by MemberID")
                        .arg(quoted(QStringLiteral("E-Mail")), quoted(kMembers))))
            return unreadable();
        while (q.next()) {
            const QString mail = q.value(1).toString().trimmed().toLower();
            if (!mail.isEmpty() && !registered.contains(mail))
                registered.insert(mail, q.value(0).toLongLong());
            ++memberCount;
        }
    }
    const int recordCount = members ? memberCount : groupCount;
    const int capacity = members ? kMaxMembers : kMaxGroups;
    const QString what = members ? QStringLiteral("メンバー") : QStringLiteral("グループ");

    for (const RosterProblem &p : readProblems) {
        plan.errors << p;
        ++plan.errorRows;
    }

    QHash<QString, qsizetype> seen; // duplicate key → its entry
    for (const CsvRecord &row : rows) {
        if (isBlankRow(row.fields))
            continue;
        RosterEntry e = readEntry(row, mapping, oneGroupCell);
        QStringList problems = entryProblems(e, kind);
        QStringList newHere;
        for (const QString &g : std::as_const(e.groups)) {
            if (!groupNames.contains(g) && !plan.newGroups.contains(g))
                newHere << g;
        }
        if (groupCount + plan.newGroups.size() + newHere.size() > kMaxGroups)
            problems << QStringLiteral("グループが上限の%1件に達するため、「%2」を作れません")
                            .arg(kMaxGroups)
                            .arg(newHere.join(u'、'));

        const QString dupKey = members ? e.mail.toLower() : e.name;
        qsizetype mergeInto = -1;
        if (problems.isEmpty() && !dupKey.isEmpty()) {
            const QString shown = members ? QStringLiteral("E-Mail「%1」").arg(e.mail) : QStringLiteral("「%1」").arg(e.name);
            const auto earlier = seen.constFind(dupKey);
            const bool inFile = earlier != seen.constEnd();
            if (inFile || registered.contains(dupKey)) {
                ++plan.duplicates;
                if (duplicates == DuplicateChoice::Skip) {
                    plan.skipped << RosterProblem{
                        e.line, inFile ? shown + QStringLiteral("は%1行目と重複しています").arg(plan.entries[*earlier].line)
                                       : shown + QStringLiteral("は登録済みの%1と重複しています").arg(what)};
                    continue;
                }
                if (duplicates == DuplicateChoice::Update) {
                    if (inFile)
                        mergeInto = *earlier;
                    else
                        e.key = registered.value(dupKey);
                }
            }
        }
        if (problems.isEmpty() && mergeInto < 0 && e.key == 0 && recordCount + plan.added >= capacity)
            problems << QStringLiteral("%1が上限の%2件に達するため追加できません").arg(what).arg(capacity);
        if (!problems.isEmpty()) {
            for (const QString &p : std::as_const(problems))
                plan.errors << RosterProblem{e.line, p};
            ++plan.errorRows;
            continue;
        }

        plan.newGroups << newHere;
        if (mergeInto >= 0) {
            // A later row for the same record: its values win, its groups are added.
            RosterEntry &first = plan.entries[mergeInto];
            first.name = e.name;
            if (plan.hasReading)
                first.reading = e.reading;
            if (plan.hasHonorific)
                first.honorific = e.honorific;
            if (plan.hasMail)
                first.mail = e.mail;
            for (const QString &g : std::as_const(e.groups)) {
                if (!first.groups.contains(g))
                    first.groups << g;
            }
            ++plan.updated;
            continue;
        }
        ++(e.key ? plan.updated : plan.added);
        if (!dupKey.isEmpty() && !seen.contains(dupKey))
            seen.insert(dupKey, plan.entries.size());
        plan.entries << e;
    }
    return plan;
}

RosterWriteResult writeRoster(const QSqlDatabase &db, const RosterPlan &plan)
{
    RosterWriteResult result;
    QSqlDatabase conn = db;
    if (!conn.transaction()) {
        result.error = conn.lastError().text();
        return result;
    }
    auto fail = [&](const QString &why) {
        conn.rollback();
        RosterWriteResult failed;
        failed.error = why;
        return failed;
    };
    const bool members = plan.kind == RosterKind::Members;
    const QString groupName = quoted(QStringLiteral("グループ名称"));
    const QString reading = quoted(QStringLiteral("フリガナ"));

    QString error;
    KeySpace groupKeys{{}, 0, kMaxGroups};
    if (!groupKeys.read(conn, kGroups, QStringLiteral("GroupID"), &error))
        return fail(error);
    QSqlQuery insertGroup(conn);
    insertGroup.prepare(QStringLiteral("insert into %1 (GroupID, %2, %3) values (?, ?, ?)")
                            .arg(quoted(kGroups), groupName, reading));

    if (!members) {
        QSqlQuery update(conn);
        update.prepare(plan.hasReading ? QStringLiteral("update %1 set %2 = ?, %3 = ? where GroupID = ?")
                                             .arg(quoted(kGroups), groupName, reading)
                                       : QStringLiteral("update %1 set %2 = ? where GroupID = ?")
                                             .arg(quoted(kGroups), groupName));
        for (const RosterEntry &e : plan.entries) {
            if (e.key) {
                if (!run(update, plan.hasReading ? QVariantList{e.name, e.reading, e.key}
                                                 : QVariantList{e.name, e.key}))
                    return fail(update.lastError().text());
                ++result.updated;
                continue;
            }
            const int key = groupKeys.allocate();
            if (key < 1)
                return fail(QStringLiteral("グループが上限の%1件に達しています。").arg(kMaxGroups));
            if (!run(insertGroup, {key, e.name, plan.hasReading ? e.reading : toReadingKatakana(e.name)}))
                return fail(insertGroup.lastError().text());
            ++result.added;
        }
    } else {
        // The groups the rows name, by name (the first group of a name), the
        // missing ones created in the order the rows name them.
        QHash<QString, qint64> groupIds;
        QSqlQuery q(conn);
        if (!q.exec(QStringLiteral("select GroupID, %1 from %2 order by GroupID").arg(groupName, quoted(kGroups))))
            return fail(q.lastError().text());
        while (q.next()) {
            if (!groupIds.contains(q.value(1).toString()))
                groupIds.insert(q.value(1).toString(), q.value(0).toLongLong());
        }
        for (const RosterEntry &e : plan.entries) {
            for (const QString &g : e.groups) {
                if (groupIds.contains(g))
                    continue;
                const int key = groupKeys.allocate();
                if (key < 1)
                    return fail(QStringLiteral("グループが上限の%1件に達しています。").arg(kMaxGroups));
                // A new group's reading is its name as a reading, full width, as the
                // group register starts one.
                if (!run(insertGroup, {key, g, toReadingKatakana(g)}))
                    return fail(insertGroup.lastError().text());
                groupIds.insert(g, key);
                ++result.groupsCreated;
            }
        }

        QSet<QPair<qint64, qint64>> links;
        if (!q.exec(QStringLiteral("select MemberID, GroupID from %1").arg(quoted(kMemberGroups))))
            return fail(q.lastError().text());
        while (q.next())
            links.insert({q.value(0).toLongLong(), q.value(1).toLongLong()});

        KeySpace memberKeys{{}, 0, kMaxMembers};
        if (!memberKeys.read(conn, kMembers, QStringLiteral("MemberID"), &error))
            return fail(error);
        QSqlQuery insert(conn);
        insert.prepare(QStringLiteral("insert into %1 (MemberID, %2, %3, %4, %5) values (?, ?, ?, ?, ?)")
                           .arg(quoted(kMembers), quoted(QStringLiteral("名前")), reading,
                                quoted(QStringLiteral("敬称")), quoted(QStringLiteral("E-Mail"))));
        QStringList assignments{quoted(QStringLiteral("名前")) + QStringLiteral(" = ?")};
        if (plan.hasReading)
            assignments << reading + QStringLiteral(" = ?");
        if (plan.hasHonorific)
            assignments << quoted(QStringLiteral("敬称")) + QStringLiteral(" = ?");
        if (plan.hasMail)
            assignments << quoted(QStringLiteral("E-Mail")) + QStringLiteral(" = ?");
        QSqlQuery update(conn);
        update.prepare(QStringLiteral("update %1 set %2 where MemberID = ?")
                           .arg(quoted(kMembers), assignments.join(QStringLiteral(", "))));
        QSqlQuery link(conn);
        link.prepare(QStringLiteral("insert into %1 (MemberID, GroupID) values (?, ?)").arg(quoted(kMemberGroups)));

        for (const RosterEntry &e : plan.entries) {
            qint64 key = e.key;
            if (key) {
                QVariantList values{e.name};
                if (plan.hasReading)
                    values << e.reading;
                if (plan.hasHonorific)
                    values << e.honorific;
                if (plan.hasMail)
                    values << e.mail;
                if (!run(update, values << key))
                    return fail(update.lastError().text());
                ++result.updated;
            } else {
                key = memberKeys.allocate();
                if (key < 1)
                    return fail(QStringLiteral("メンバーが上限の%1件に達しています。").arg(kMaxMembers));
                const QString honorific = plan.hasHonorific ? e.honorific : QStringLiteral("様");
                if (!run(insert, {key, e.name, e.reading, honorific, e.mail}))
                    return fail(insert.lastError().text());
                ++result.added;
            }
            for (const QString &g : e.groups) {
                const QPair<qint64, qint64> pair{key, groupIds.value(g)};
                if (links.contains(pair))
                    continue;
                if (!run(link, {pair.first, pair.second}))
                    return fail(link.lastError().text());
                links.insert(pair);
            }
        }
    }
    if (!conn.commit())
        return fail(conn.lastError().text());
    result.ok = true;
    return result;
}

} // namespace lumivox
