#include "db/sendresults.h"

#include "db/database.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace lumivox {

namespace {

const QString kStates[] = {QStringLiteral("未送信"), QStringLiteral("不明"), QStringLiteral("送信済"),
                           QStringLiteral("拒否")};

// The form of every time the program stores.
QString timeOf(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

// The time now, formatted once a second at most (a run asks for it twice a mail).
QString now()
{
    thread_local qint64 second = -1;
    thread_local QString text;
    const qint64 current = QDateTime::currentSecsSinceEpoch();
    if (current != second) {
        second = current;
        text = timeOf(QDateTime::fromSecsSinceEpoch(current));
    }
    return text;
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
// flushing takes at most a tenth of a run (see SendRunRecorder::Writer).
constexpr qint64 kFlushShare = 10;

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

// The writing thread: takes whatever is queued and commits it in one
// transaction, in order.
//
// Flushing. Marking a row 不明 must reach the disk before its mail's data ends:
// after a power loss a row still 未送信 would be sent again. The database is in
// write-ahead mode (upgradeDatabase), where a commit is safe from a killed
// program the moment it returns, and a flushed commit also flushes every commit
// before it. So a commit holding a mark is flushed whenever at least
// kFlushShare flush times have passed since the last flush: against any real
// server, whose answers take longer than that, every mark. Only a server
// answering faster (one on the same machine) lets a few mails share a flush,
// which keeps the cost of flushing under a tenth of the run; settling a
// row never waits for a flush (a lost settlement leaves the row 不明, which the
// user is asked about). A database in another journal mode flushes every commit.
struct SendRunRecorder::Writer {
    struct Queued {
        Step step;
        qint64 ticket = 0;
        bool mark = false;
        bool flush = false;
    };

    QString source;
    QString name = QStringLiteral("lumivox-results-") + QUuid::createUuid().toString();
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable written;
    std::deque<Queued> queue;
    qint64 lastTicket = 0;
    qint64 lastWritten = 0;
    bool failed = false;
    bool stop = false;
    QString error;
    QThread *thread = nullptr;

    // The writing thread's own: its connection, and each statement prepared
    // once for the whole run.
    QSqlDatabase db;
    QHash<QString, QSqlQuery> prepared;

    void run();
    bool exec(const SqlStatement &statement, QString *why);
};

bool SendRunRecorder::Writer::exec(const SqlStatement &statement, QString *why)
{
    auto it = prepared.find(statement.sql);
    if (it == prepared.end()) {
        QSqlQuery q(db);
        if (!q.prepare(statement.sql)) {
            *why = q.lastError().text();
            return false;
        }
        it = prepared.insert(statement.sql, q);
    }
    for (qsizetype i = 0; i < statement.binds.size(); ++i)
        it->bindValue(int(i), statement.binds.at(i));
    if (it->exec())
        return true;
    *why = it->lastError().text();
    return false;
}

void SendRunRecorder::Writer::run()
{
    {
        db = QSqlDatabase::cloneDatabase(source, name);
        const bool open = db.open();
        QSqlQuery pragma(db);
        const bool writeAhead = open && pragma.exec(QStringLiteral("PRAGMA journal_mode")) && pragma.next()
                                && pragma.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) == 0;
        pragma.finish();
        if (writeAhead)
            pragma.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        QElapsedTimer sinceFlush;
        sinceFlush.start();
        qint64 flushNs = 0;

        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stop || !queue.empty(); });
            if (queue.empty())
                break;
            std::deque<Queued> batch;
            batch.swap(queue);
            const bool skip = failed;
            lock.unlock();

            QString why = open ? QString() : db.lastError().text();
            bool ok = open && !skip;
            if (ok) {
                bool flushNow = false;
                for (const Queued &q : batch)
                    flushNow = flushNow || q.flush || (q.mark && sinceFlush.nsecsElapsed() >= kFlushShare * flushNs);
                if (writeAhead && flushNow)
                    pragma.exec(QStringLiteral("PRAGMA synchronous = FULL"));
                QElapsedTimer timer;
                timer.start();
                ok = db.transaction();
                for (const Queued &q : batch)
                    ok = ok && q.step(*this, &why);
                ok = ok && db.commit();
                if (!ok) {
                    if (why.isEmpty())
                        why = db.lastError().text();
                    db.rollback();
                }
                if (writeAhead && flushNow) {
                    flushNs = timer.nsecsElapsed();
                    sinceFlush.restart();
                    pragma.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
                }
            }

            lock.lock();
            if (!ok && !failed) {
                failed = true;
                error = why;
            }
            lastWritten = batch.back().ticket;
            written.notify_all();
        }
        lock.unlock();
        pragma.finish();
        prepared.clear();
        db.close();
        db = {};
    }
    QSqlDatabase::removeDatabase(name);
}

SendRunRecorder::SendRunRecorder(const QString &connectionName) : m_writer(std::make_unique<Writer>())
{
    m_writer->source = connectionName;
    m_writer->thread = QThread::create([writer = m_writer.get()] { writer->run(); });
    m_writer->thread->start();
}

SendRunRecorder::~SendRunRecorder()
{
    {
        std::lock_guard lock(m_writer->mutex);
        m_writer->stop = true;
    }
    m_writer->wake.notify_one();
    m_writer->thread->wait();
    delete m_writer->thread;
}

qint64 SendRunRecorder::enqueue(Step step, bool markBeforeData, bool flush)
{
    qint64 ticket = 0;
    {
        std::lock_guard lock(m_writer->mutex);
        ticket = ++m_writer->lastTicket;
        m_writer->queue.push_back({std::move(step), ticket, markBeforeData, flush});
    }
    m_writer->wake.notify_one();
    return ticket;
}

bool SendRunRecorder::waitFor(qint64 ticket)
{
    std::unique_lock lock(m_writer->mutex);
    m_writer->written.wait(lock, [&] { return m_writer->lastWritten >= ticket; });
    return !m_writer->failed;
}

QString SendRunRecorder::error() const
{
    std::lock_guard lock(m_writer->mutex);
    return m_writer->error;
}

bool SendRunRecorder::begin(const RunStart &start, const QList<RunRecipient> &rows)
{
    m_started = now();
    m_newsId = start.newsId;
    m_accepted = 0;
    m_runId = 0;
    const QString time = m_started;
    const qint64 ticket = enqueue(
        [this, start, rows, time](Writer &writer, QString *error) {
            QSqlQuery q(writer.db);
            bool ok = prepared(q,
                               QStringLiteral("insert into T_送信記録 (NewsID, 種別, 見出し, 開始日時, 宛先数, 既送信数, "
                                              "グループ名称付加, 名前付加, 文字数制限, 文字数, サーバー名, ポート番号, "
                                              "\"送信元E-Mail\") values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                               {start.newsId,
                                start.onlyNotReached ? QStringLiteral("未送信のみ") : QStringLiteral("全員"),
                                start.subject, time, start.listSize, start.alreadyReached, int(start.addGroup),
                                int(start.addName), int(start.limitWidth), start.width, start.server, start.port,
                                start.senderAddress});
            const qint64 run = ok ? q.lastInsertId().toLongLong() : 0;
            ok = ok && run > 0
                 && q.prepare(QStringLiteral("insert into T_送信結果 (送信ID, 順番, GroupID, グループ名称, MemberID, "
                                             "名前, 敬称, \"E-Mail\", 状態, 日時, 応答) "
                                             "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            for (qsizetype i = 0; ok && i < rows.size(); ++i) {
                const RunRecipient &row = rows.at(i);
                const bool skipped = !row.skipReason.isEmpty();
                for (const QVariant &value :
                     {QVariant(run), QVariant(int(i + 1)), row.groupId, QVariant(row.groupName), row.memberId,
                      QVariant(row.name), QVariant(row.honorific), QVariant(row.address),
                      QVariant(stateText(skipped ? row.skipState : SendState::NotSent)),
                      skipped ? QVariant(time) : QVariant(QMetaType(QMetaType::QString)),
                      nullIfEmpty(row.skipReason)})
                    q.addBindValue(value);
                ok = q.exec();
            }
            if (!ok)
                *error = q.lastError().text();
            m_runId = ok ? run : 0;
            return ok;
        },
        false, true);
    return waitFor(ticket) && m_runId > 0;
}

SendRunRecorder::Step SendRunRecorder::statements(QList<SqlStatement> list)
{
    return [list = std::move(list)](Writer &writer, QString *error) {
        for (const SqlStatement &statement : list) {
            if (!writer.exec(statement, error))
                return false;
        }
        return true;
    };
}

void SendRunRecorder::mailGoing(int position)
{
    m_marks.insert(position,
                   enqueue(statements({{QStringLiteral("update T_送信結果 set 状態 = '不明', 日時 = ? "
                                                       "where 送信ID = ? and 順番 = ?"),
                                        {now(), m_runId, position}}}),
                           true));
}

bool SendRunRecorder::confirmGoing(int position)
{
    return m_marks.contains(position) && waitFor(m_marks.value(position));
}

void SendRunRecorder::mailSettled(int position, SendState state, const QString &reply)
{
    QList<SqlStatement> list{{QStringLiteral("update T_送信結果 set 状態 = ?, 日時 = ?, 応答 = ? "
                                             "where 送信ID = ? and 順番 = ?"),
                              {stateText(state), now(), nullIfEmpty(reply), m_runId, position}}};
    if (state == SendState::Sent && m_accepted++ == 0)
        list << SqlStatement{QStringLiteral("update T_お知らせ set 送信日時 = ? where NewsID = ?"), {m_started, m_newsId}};
    enqueue(statements(std::move(list)));
}

void SendRunRecorder::mailNotSent(int position, const QString &why)
{
    enqueue(statements({{QStringLiteral("update T_送信結果 set 状態 = '未送信', 日時 = ?, 応答 = ? "
                                        "where 送信ID = ? and 順番 = ?"),
                         {now(), nullIfEmpty(why), m_runId, position}}}));
}

bool SendRunRecorder::finish(const QString &endReason)
{
    return waitFor(enqueue(statements({{QStringLiteral("update T_送信記録 set 終了日時 = ?, 終了理由 = ? "
                                                       "where 送信ID = ?"),
                                        {now(), nullIfEmpty(endReason), m_runId}}}),
                           false, true));
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
