#include "db/sendresults.h"

#include "db/database.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace lumivox {

namespace {

const QString kStates[] = {QStringLiteral("未送信"), QStringLiteral("不明"), QStringLiteral("送信済"),
                           QStringLiteral("拒否")};

// The form of every time the program stores.
QString timeOf(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString now()
{
    return timeOf(QDateTime::currentDateTime());
}

QVariant nullIfEmpty(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}

bool prepared(QSqlQuery &q, const QString &sql, const QVariantList &binds)
{
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return false;
    for (const QVariant &value : binds)
        q.addBindValue(value);
    return q.exec();
}

// A disk flush costs this many times less than the time between two flushed
// commits at most (see SendRunRecorder::commit).
constexpr qint64 kFlushShare = 4;

const QString kRunColumns = QStringLiteral(
    "select k.送信ID, k.NewsID, k.種別, k.見出し, k.開始日時, k.終了日時, k.終了理由, k.宛先数, k.既送信数, "
    "total(r.状態 = '送信済'), total(r.状態 = '拒否'), total(r.状態 = '未送信'), total(r.状態 = '不明') "
    "from T_送信記録 k left join T_送信結果 r on r.送信ID = k.送信ID ");

RunRecord runOf(const QSqlQuery &q)
{
    RunRecord run;
    run.id = q.value(0).toLongLong();
    run.newsId = q.value(1).toInt();
    run.onlyNotReached = q.value(2).toString() != QStringLiteral("全員");
    run.subject = q.value(3).toString();
    run.started = q.value(4).toString();
    run.ended = q.value(5).toString();
    run.endReason = q.value(6).toString();
    run.listSize = q.value(7).toInt();
    run.alreadyReached = q.value(8).toInt();
    run.counts.sent = q.value(9).toInt();
    run.counts.refused = q.value(10).toInt();
    run.counts.notSent = q.value(11).toInt();
    run.counts.unknown = q.value(12).toInt();
    return run;
}

} // namespace

QString stateText(SendState state)
{
    return kStates[static_cast<int>(state)];
}

SendState stateFromText(const QString &text)
{
    for (int i = 0; i < 4; ++i) {
        if (kStates[i] == text)
            return static_cast<SendState>(i);
    }
    return SendState::NotSent;
}

QString addressKey(const QString &address)
{
    return address.trimmed().toLower();
}

// --- SendRunRecorder ----------------------------------------------------------

SendRunRecorder::SendRunRecorder(const QSqlDatabase &db) : m_db(db)
{
    QSqlQuery q(m_db);
    m_writeAhead = q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next()
                   && q.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) == 0;
    q.finish();
    // In write-ahead mode a commit that is not flushed is still in the log the
    // moment it returns: a killed program loses nothing, only a power loss can.
    if (m_writeAhead)
        q.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
}

bool SendRunRecorder::begin(const RunStart &start, const QList<RunRecipient> &rows)
{
    QSqlDatabase db = m_db;
    if (m_writeAhead)
        QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = FULL"));
    QElapsedTimer flush;
    flush.start();
    bool ok = db.transaction();
    QSqlQuery q(db);
    const QString time = now();
    m_started = time;
    m_newsId = start.newsId;
    m_accepted = 0;
    ok = ok
         && prepared(q,
                     QStringLiteral("insert into T_送信記録 (NewsID, 種別, 見出し, 開始日時, 宛先数, 既送信数, "
                                    "グループ名称付加, 名前付加, 文字数制限, 文字数, サーバー名, ポート番号, "
                                    "\"送信元E-Mail\") values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                     {start.newsId,
                      start.onlyNotReached ? QStringLiteral("未送信のみ") : QStringLiteral("全員"),
                      start.subject, time, start.listSize, start.alreadyReached, int(start.addGroup),
                      int(start.addName), int(start.limitWidth), start.width, start.server, start.port,
                      start.senderAddress});
    m_runId = ok ? q.lastInsertId().toLongLong() : 0;
    ok = ok && m_runId > 0
         && q.prepare(QStringLiteral("insert into T_送信結果 (送信ID, 順番, GroupID, グループ名称, MemberID, 名前, "
                                     "敬称, \"E-Mail\", 状態, 日時, 応答) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (qsizetype i = 0; ok && i < rows.size(); ++i) {
        const RunRecipient &row = rows.at(i);
        const bool skipped = !row.skipReason.isEmpty();
        for (const QVariant &value :
             {QVariant(m_runId), QVariant(int(i + 1)), row.groupId, QVariant(row.groupName), row.memberId,
              QVariant(row.name), QVariant(row.honorific), QVariant(row.address),
              QVariant(stateText(skipped ? row.skipState : SendState::NotSent)),
              skipped ? QVariant(time) : QVariant(QMetaType(QMetaType::QString)), nullIfEmpty(row.skipReason)})
            q.addBindValue(value);
        ok = q.exec();
    }
    if (!ok)
        m_error = q.lastError().isValid() ? q.lastError().text() : db.lastError().text();
    q.finish();
    ok = ok && db.commit();
    if (!ok) {
        if (m_error.isEmpty())
            m_error = db.lastError().text();
        db.rollback();
        m_runId = 0;
    }
    m_flushNs = flush.nsecsElapsed();
    m_sinceFlush.start();
    if (m_writeAhead)
        QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    return ok;
}

// Marking a row 不明 must reach the disk before its mail goes: after a power
// loss a row still 未送信 would be sent again. In write-ahead mode a flushed
// commit also flushes every commit before it, so one flush now and then keeps
// everything before it: a mail is flushed before it goes whenever at least
// kFlushShare flush times have passed since the last flush, which against any
// real server is every mail. Only a server answering faster than that (a local
// test server) lets a few mails share one flush; a killed program loses none
// of them either way. Settling a row never waits for a flush: a lost
// settlement leaves the row 不明, which the user is asked about.
bool SendRunRecorder::commit(const QList<SqlStatement> &statements, bool beforeWire)
{
    const bool flushNow = m_writeAhead && beforeWire && m_sinceFlush.nsecsElapsed() >= kFlushShare * m_flushNs;
    QSqlQuery q(m_db);
    if (flushNow)
        q.exec(QStringLiteral("PRAGMA synchronous = FULL"));
    QElapsedTimer flush;
    flush.start();
    QString error;
    const bool ok = statements.size() == 1 ? execute(m_db, statements.constFirst(), &error)
                                           : executeAll(m_db, statements, &error);
    if (flushNow) {
        m_flushNs = flush.nsecsElapsed();
        m_sinceFlush.restart();
        q.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    }
    if (!ok)
        m_error = error;
    return ok;
}

bool SendRunRecorder::mailGoing(int position)
{
    return commit({{QStringLiteral("update T_送信結果 set 状態 = '不明', 日時 = ? where 送信ID = ? and 順番 = ?"),
                    {now(), m_runId, position}}},
                  true);
}

// The first mail a server accepts makes the run's start the notice's time of
// sending, in the same commit; a run that delivered nothing leaves it as it was.
bool SendRunRecorder::mailSettled(int position, SendState state, const QString &reply)
{
    QList<SqlStatement> statements{
        {QStringLiteral("update T_送信結果 set 状態 = ?, 日時 = ?, 応答 = ? where 送信ID = ? and 順番 = ?"),
         {stateText(state), now(), nullIfEmpty(reply), m_runId, position}}};
    const bool first = state == SendState::Sent && m_accepted == 0;
    if (first)
        statements << SqlStatement{QStringLiteral("update T_お知らせ set 送信日時 = ? where NewsID = ?"),
                                   {m_started, m_newsId}};
    if (!commit(statements, false))
        return false;
    if (state == SendState::Sent)
        ++m_accepted;
    return true;
}

bool SendRunRecorder::finish(const QString &endReason)
{
    // The last settlements reach the disk with the end of the run.
    if (m_writeAhead)
        QSqlQuery(m_db).exec(QStringLiteral("PRAGMA synchronous = FULL"));
    return commit({{QStringLiteral("update T_送信記録 set 終了日時 = ?, 終了理由 = ? where 送信ID = ?"),
                    {now(), nullIfEmpty(endReason), m_runId}}},
                  false);
}

// --- SendResultStore ------------------------------------------------------------

QString NoticeSendState::text() const
{
    if (!hasRun || reached <= 0)
        return QStringLiteral("未送信");
    if (reached >= total)
        return QStringLiteral("送信済");
    return QStringLiteral("一部送信 %1/%2").arg(reached).arg(total);
}

QList<RunRecord> SendResultStore::runs(int newsId, bool *ok) const
{
    QList<RunRecord> out;
    QSqlQuery q(m_db);
    const bool read = prepared(q, kRunColumns + QStringLiteral("where k.NewsID = ? group by k.送信ID order by k.送信ID desc"),
                               {newsId});
    while (read && q.next())
        out << runOf(q);
    if (ok)
        *ok = read;
    return out;
}

RunRecord SendResultStore::run(qint64 runId, bool *ok) const
{
    QSqlQuery q(m_db);
    const bool read = prepared(q, kRunColumns + QStringLiteral("where k.送信ID = ? group by k.送信ID"), {runId})
                      && q.next();
    if (ok)
        *ok = read;
    return read ? runOf(q) : RunRecord{};
}

QList<ResultRow> SendResultStore::results(qint64 runId, bool *ok) const
{
    QList<ResultRow> out;
    QSqlQuery q(m_db);
    const bool read = prepared(q,
                               QStringLiteral("select 順番, GroupID, グループ名称, MemberID, 名前, 敬称, \"E-Mail\", 状態, "
                                              "日時, 応答 from T_送信結果 where 送信ID = ? order by 順番"),
                               {runId});
    while (read && q.next()) {
        out << ResultRow{q.value(0).toInt(),      q.value(1),           q.value(2).toString(),
                         q.value(3),              q.value(4).toString(), q.value(5).toString(),
                         q.value(6).toString(),   stateFromText(q.value(7).toString()),
                         q.value(8).toString(),   q.value(9).toString()};
    }
    if (ok)
        *ok = read;
    return out;
}

// A notice's latest run decides: its send list had 宛先数 rows, of which
// 既送信数 had been reached before it began; a row of the run counts as
// reached when its address accepted this notice in any run.
QHash<int, NoticeSendState> SendResultStore::states(const QVariant &newsId) const
{
    const bool one = newsId.isValid();
    const QString notice = one ? QStringLiteral(" = ?") : QStringLiteral(" is not null");
    const QVariantList binds = one ? QVariantList{newsId} : QVariantList{};
    QHash<int, NoticeSendState> out;
    QHash<qint64, int> noticeOfRun;
    QSqlQuery q(m_db);
    if (!prepared(q,
                  QStringLiteral("select k.送信ID, k.NewsID, k.宛先数, k.既送信数 from T_送信記録 k where k.送信ID = "
                                 "(select max(送信ID) from T_送信記録 where NewsID = k.NewsID) and k.NewsID")
                      + notice,
                  binds))
        return out;
    while (q.next()) {
        const int id = q.value(1).toInt();
        noticeOfRun.insert(q.value(0).toLongLong(), id);
        out.insert(id, {true, q.value(3).toInt(), q.value(2).toInt()});
    }
    QHash<int, QSet<QString>> accepted;
    if (!prepared(q,
                  QStringLiteral("select k.NewsID, r.\"E-Mail\" from T_送信結果 r join T_送信記録 k on k.送信ID = r.送信ID "
                                 "where r.状態 = '送信済' and k.NewsID")
                      + notice,
                  binds))
        return {};
    while (q.next())
        accepted[q.value(0).toInt()].insert(addressKey(q.value(1).toString()));
    if (!prepared(q,
                  QStringLiteral("select r.送信ID, r.\"E-Mail\" from T_送信結果 r where r.送信ID in "
                                 "(select max(送信ID) from T_送信記録 where NewsID")
                      + notice + QStringLiteral(" group by NewsID)"),
                  binds))
        return {};
    while (q.next()) {
        const int id = noticeOfRun.value(q.value(0).toLongLong());
        if (accepted.value(id).contains(addressKey(q.value(1).toString())))
            ++out[id].reached;
    }
    return out;
}

NoticeSendState SendResultStore::noticeState(int newsId) const
{
    return states(newsId).value(newsId);
}

QHash<int, NoticeSendState> SendResultStore::noticeStates() const
{
    return states({});
}

ResumeSplit SendResultStore::split(int newsId, const QStringList &addresses) const
{
    ResumeSplit out;
    QSet<QString> accepted;
    QSet<QString> unknown;
    QSqlQuery q(m_db);
    out.ok = prepared(q,
                      QStringLiteral("select r.\"E-Mail\", r.状態 from T_送信結果 r join T_送信記録 k on k.送信ID = r.送信ID "
                                     "where k.NewsID = ? and r.状態 in ('送信済', '不明')"),
                      {newsId});
    while (out.ok && q.next())
        (q.value(1).toString() == QStringLiteral("送信済") ? accepted : unknown).insert(addressKey(q.value(0).toString()));
    if (!out.ok)
        return out;
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        const QString key = addressKey(addresses.at(i));
        if (accepted.contains(key))
            out.reached << int(i);
        else if (unknown.contains(key))
            out.unknown << int(i);
        else
            out.toSend << int(i);
    }
    return out;
}

int SendResultStore::acceptedSince(const QDateTime &since, bool *ok) const
{
    QSqlQuery q(m_db);
    const bool read = prepared(q, QStringLiteral("select count(*) from T_送信結果 where 状態 = '送信済' and 日時 >= ?"),
                               {timeOf(since)})
                      && q.next();
    if (ok)
        *ok = read;
    return read ? q.value(0).toInt() : 0;
}

bool SendResultStore::detachRuns(int newsId, QString *error) const
{
    return execute(m_db, {QStringLiteral("update T_送信記録 set NewsID = null where NewsID = ?"), {newsId}}, error);
}

} // namespace lumivox
