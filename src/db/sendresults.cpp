#include "db/sendresults.h"

#include "db/database.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <sqlite3.h>

namespace lumivox {

namespace {

const QString kStates[] = {QStringLiteral("未送信"), QStringLiteral("不明"), QStringLiteral("送信済"),
                           QStringLiteral("拒否")};

// The form of every time the program stores.
QString timeOf(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

// The time now, as the records keep it.
QString now()
{
    return timeOf(localTimeNow());
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

// Between two flushed commits at least this many flush times pass, so that
// flushing takes at most a tenth of a run (see SendRunRecorder below).
constexpr qint64 kFlushShare = 10;

// The advisory lock class under which a run holds its notice on a server.
constexpr int kSendingLock = 0x4c58; // "LX"

// A unique key taken by another program between reading the next key and writing it.
bool keyTaken(const QSqlError &error)
{
    return error.nativeErrorCode() == QLatin1String("23505");
}

const QString kRunColumns = QStringLiteral(
    "select k.送信ID, k.NewsID, k.種別, k.見出し, k.開始日時, k.終了日時, k.終了理由, k.宛先数, k.既送信数, "
    "sum(case when r.状態 = '送信済' then 1 else 0 end), sum(case when r.状態 = '拒否' then 1 else 0 end), "
    "sum(case when r.状態 = '未送信' then 1 else 0 end), sum(case when r.状態 = '不明' then 1 else 0 end) "
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

QDateTime localTimeNow()
{
    thread_local qint64 second = -1;
    thread_local QDateTime local;
    const qint64 current = QDateTime::currentSecsSinceEpoch();
    if (current != second) {
        second = current;
        // Held as an offset from UTC: asked for its offset or its UTC time, a
        // local time would look the zone up again each time.
        const QDateTime here = QDateTime::fromSecsSinceEpoch(current);
        local = here.toOffsetFromUtc(here.offsetFromUtc());
    }
    return local;
}

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

// Flushing. Marking a row 不明 must reach the disk before its mail goes: after a
// power loss a row still 未送信 would be sent again. The database is in
// write-ahead mode (upgradeDatabase), where a commit is safe from a killed
// program the moment it returns, and a flushed commit also flushes every
// commit before it. So a mark is flushed whenever at least kFlushShare flush
// times have passed since the last flush: against any real server, whose
// answers take longer than that, every mark. Only a server answering faster
// (one on the same machine) lets a few mails share a flush, which keeps the
// cost of flushing under a tenth of the run. A database in another journal
// mode flushes every commit. The log is not folded back into the database
// during the run (no checkpoint between two mails): the program's own
// connection does that at its next write.

SendRunRecorder::SendRunRecorder(const QString &connectionName)
    : m_name(QStringLiteral("lumivox-results-") + QUuid::createUuid().toString())
{
    QSqlDatabase db = QSqlDatabase::cloneDatabase(connectionName, m_name);
    const bool opened = db.open();
    m_server = opened && engineOf(db) == Engine::PostgreSQL;
    if (m_server) {
        // A server flushes every commit itself.
        m_sinceFlush.start();
        return;
    }
    const QVariant handle = opened && db.driver() ? db.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_sqlite = *static_cast<sqlite3 *const *>(handle.constData());
    if (!m_sqlite) {
        m_failed = true;
        m_error = db.lastError().isValid() ? db.lastError().text() : QStringLiteral("SQLite database expected");
        return;
    }
    sqlite3_stmt *mode = statement(QStringLiteral("PRAGMA journal_mode"));
    m_writeAhead = mode && sqlite3_step(mode) == SQLITE_ROW
                   && qstricmp(reinterpret_cast<const char *>(sqlite3_column_text(mode, 0)), "wal") == 0;
    if (mode)
        sqlite3_reset(mode);
    if (m_writeAhead) {
        run(QStringLiteral("PRAGMA synchronous = NORMAL"));
        run(QStringLiteral("PRAGMA wal_autocheckpoint = 0"));
    }
    m_sinceFlush.start();
}

SendRunRecorder::~SendRunRecorder()
{
    if (!m_settlement.isEmpty())
        commit({});
    for (sqlite3_stmt *s : std::as_const(m_prepared))
        sqlite3_finalize(s);
    m_prepared.clear();
    m_serverStatements.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

// Each statement is prepared once for the run, straight on SQLite: a mail's
// results cost one short commit.
sqlite3_stmt *SendRunRecorder::statement(const QString &sql)
{
    if (sqlite3_stmt *prepared = m_prepared.value(sql))
        return prepared;
    sqlite3_stmt *prepared = nullptr;
    if (sqlite3_prepare16_v2(m_sqlite, sql.utf16(), int(sql.size() * 2), &prepared, nullptr) != SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_sqlite));
        return nullptr;
    }
    m_prepared.insert(sql, prepared);
    return prepared;
}

bool SendRunRecorder::run(const QString &sql, const QVariantList &binds)
{
    if (m_server)
        return runOnServer(sql, binds, nullptr);
    sqlite3_stmt *s = statement(sql);
    if (!s)
        return false;
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant &value = binds.at(i);
        if (value.isNull())
            sqlite3_bind_null(s, i + 1);
        else if (value.typeId() == QMetaType::QString) {
            const QString text = value.toString();
            sqlite3_bind_text16(s, i + 1, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
        } else
            sqlite3_bind_int64(s, i + 1, value.toLongLong());
    }
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    if (rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    m_error = QString::fromUtf8(sqlite3_errmsg(m_sqlite));
    return false;
}

bool SendRunRecorder::commit(const QList<SqlStatement> &statements, bool mark, bool flush)
{
    const QList<SqlStatement> all = m_settlement + statements;
    m_settlement.clear();
    if (m_failed)
        return false;
    const bool flushNow = flush || (mark && m_sinceFlush.nsecsElapsed() >= kFlushShare * m_flushNs);
    if (m_writeAhead && flushNow)
        run(QStringLiteral("PRAGMA synchronous = FULL"));
    QElapsedTimer timer;
    timer.start();
    bool ok = run(QStringLiteral("BEGIN"));
    for (qsizetype i = 0; ok && i < all.size(); ++i)
        ok = run(all[i].sql, all[i].binds);
    ok = ok && run(QStringLiteral("COMMIT"));
    if (!ok) {
        const QString why = m_error;
        run(QStringLiteral("ROLLBACK"));
        m_error = why;
        m_failed = true;
    }
    if (m_writeAhead && flushNow) {
        m_flushNs = timer.nsecsElapsed();
        m_sinceFlush.restart();
        run(QStringLiteral("PRAGMA synchronous = NORMAL"));
    }
    return ok;
}

bool SendRunRecorder::begin(const RunStart &start, const QList<RunRecipient> &rows)
{
    m_started = now();
    m_newsId = start.newsId;
    m_accepted = 0;
    m_runId = 0;
    m_sendingElsewhere = false;
    // On a server the run holds its notice until the recorder's connection
    // ends, so that no other officer sends the same notice meanwhile (a
    // program that dies lets go with its connection).
    if (m_server) {
        const QVariant free = scalarOf(QStringLiteral("select case when pg_try_advisory_lock(?, ?) then 1 else 0 end"),
                                       {kSendingLock, start.newsId});
        if (m_failed)
            return false;
        if (free.toInt() == 0) {
            m_sendingElsewhere = true;
            m_error = QStringLiteral("ほかの担当者がこのお知らせを送信しています。");
            return false;
        }
    }
    // The run's key is taken in the commit that writes it with its rows (the
    // first mark flushes them to the disk); when another program took the same
    // key at that moment, the next one is taken.
    for (int attempt = 0;; ++attempt) {
        const QVariant key = scalarOf(QStringLiteral("select coalesce(max(送信ID), 0) + 1 from T_送信記録"));
        if (m_failed || !key.isValid())
            return false;
        if (writeRun(key.toLongLong(), start, rows))
            return true;
        if (!m_server || !m_lastKeyTaken || attempt == 20)
            return false;
        m_failed = false;
    }
}

bool SendRunRecorder::writeRun(qint64 runId, const RunStart &start, const QList<RunRecipient> &rows)
{
    QList<SqlStatement> statements{
        {QStringLiteral("insert into T_送信記録 (送信ID, NewsID, 種別, 見出し, 開始日時, 宛先数, 既送信数, グループ名称付加, "
                        "名前付加, 文字数制限, 文字数, サーバー名, ポート番号, \"送信元E-Mail\") "
                        "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
         {runId, start.newsId, start.onlyNotReached ? QStringLiteral("未送信のみ") : QStringLiteral("全員"),
          start.subject, m_started, start.listSize, start.alreadyReached, int(start.addGroup), int(start.addName),
          int(start.limitWidth), start.width, start.server, start.port, start.senderAddress}}};
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const RunRecipient &row = rows.at(i);
        const bool skipped = !row.skipReason.isEmpty();
        statements << SqlStatement{
            QStringLiteral("insert into T_送信結果 (送信ID, 順番, GroupID, グループ名称, MemberID, 名前, 敬称, \"E-Mail\", "
                           "状態, 日時, 応答) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {runId, int(i + 1), row.groupId, row.groupName, row.memberId, row.name, row.honorific, row.address,
             stateText(skipped ? row.skipState : SendState::NotSent), skipped ? QVariant(m_started) : QVariant(),
             nullIfEmpty(row.skipReason)}};
    }
    if (!commit(statements))
        return false;
    m_runId = runId;
    return true;
}

// On a server each statement is prepared once for the run through Qt; the
// transaction statements go to the driver, which keeps track of them.
bool SendRunRecorder::runOnServer(const QString &sql, const QVariantList &binds, QVariant *value)
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    bool ok = true;
    QSqlError error;
    if (sql == QLatin1String("BEGIN")) {
        ok = db.transaction();
        error = db.lastError();
    } else if (sql == QLatin1String("COMMIT")) {
        ok = db.commit();
        error = db.lastError();
    } else if (sql == QLatin1String("ROLLBACK")) {
        ok = db.rollback();
    } else {
        auto it = m_serverStatements.find(sql);
        if (it == m_serverStatements.end()) {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (!q.prepare(sql)) {
                m_error = q.lastError().text();
                m_lastKeyTaken = false;
                return false;
            }
            it = m_serverStatements.insert(sql, q);
        }
        QSqlQuery &q = *it;
        for (qsizetype i = 0; i < binds.size(); ++i)
            q.bindValue(int(i), binds.at(i));
        ok = q.exec() && (!value || q.next());
        error = q.lastError();
        if (ok && value)
            *value = q.value(0);
        q.finish();
    }
    if (!ok) {
        m_error = error.text();
        m_lastKeyTaken = keyTaken(error);
    }
    return ok;
}

QVariant SendRunRecorder::scalarOf(const QString &sql, const QVariantList &binds)
{
    if (m_server) {
        QVariant value;
        if (!runOnServer(sql, binds, &value)) {
            m_failed = true;
            return {};
        }
        return value.toLongLong();
    }
    sqlite3_stmt *s = statement(sql);
    if (!s || sqlite3_step(s) != SQLITE_ROW) {
        if (s)
            sqlite3_reset(s);
        m_failed = true;
        m_error = QString::fromUtf8(sqlite3_errmsg(m_sqlite));
        return {};
    }
    const QVariant value = sqlite3_column_int64(s, 0);
    sqlite3_reset(s);
    return value;
}

bool SendRunRecorder::mailGoing(int position)
{
    return commit({{QStringLiteral("update T_送信結果 set 状態 = '不明', 日時 = ? where 送信ID = ? and 順番 = ?"),
                    {now(), m_runId, position}}},
                  true);
}

void SendRunRecorder::mailSettled(int position, SendState state, const QString &reply)
{
    m_settlement << SqlStatement{QStringLiteral("update T_送信結果 set 状態 = ?, 日時 = ?, 応答 = ? "
                                                "where 送信ID = ? and 順番 = ?"),
                                 {stateText(state), now(), nullIfEmpty(reply), m_runId, position}};
    if (state == SendState::Sent && m_accepted++ == 0)
        m_settlement << SqlStatement{QStringLiteral("update T_お知らせ set 送信日時 = ? where NewsID = ?"),
                                     {m_started, m_newsId}};
}

bool SendRunRecorder::settle()
{
    return m_settlement.isEmpty() || commit({});
}

bool SendRunRecorder::mailNotSent(int position, const QString &why)
{
    return commit({{QStringLiteral("update T_送信結果 set 状態 = '未送信', 日時 = ?, 応答 = ? "
                                   "where 送信ID = ? and 順番 = ?"),
                    {now(), nullIfEmpty(why), m_runId, position}}});
}

bool SendRunRecorder::finish(const QString &endReason)
{
    const bool ok = commit({{QStringLiteral("update T_送信記録 set 終了日時 = ?, 終了理由 = ? where 送信ID = ?"),
                             {now(), nullIfEmpty(endReason), m_runId}}},
                           false, true);
    return ok;
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
