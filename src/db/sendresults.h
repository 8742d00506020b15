#pragma once

#include "db/database.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>


struct sqlite3;
struct sqlite3_stmt;

namespace lumivox {

// What happened to one recipient row of a sending run (T_送信結果.状態).
enum class SendState {
    NotSent, // 未送信: not tried, or left out before the run (the reason is kept)
    Unknown, // 不明: was on the wire when the run was cut off
    Sent,    // 送信済: the server accepted it
    Refused, // 拒否: the server refused this mail (its reply is kept)
};
QString stateText(SendState state);
SendState stateFromText(const QString &text);

// The local time now (as an offset from UTC), worked out once a second at most:
// a run records and makes thousands of mails a minute, and each local time is
// a look at the time zone's file. The time of a run's records and of its
// mails' Date.
QDateTime localTimeNow();

// The key by which two rows are the same address (blanks around and letter
// case do not count).
QString addressKey(const QString &address);

// One row of the send list as a run records it.
struct RunRecipient {
    QVariant groupId = {}; // Null for a link to a group that no longer exists
    QString groupName = {};
    QVariant memberId = {}; // Null for a link to a member that no longer exists
    QString name = {};
    QString honorific = {};
    QString address = {};
    // Why the row is left out of this run (an address that cannot be sent to,
    // or an earlier 不明 the user chose not to send again); empty for a row to send.
    QString skipReason = {};
    SendState skipState = SendState::NotSent; // what a left-out row is recorded as
};

// What a run starts with.
struct RunStart {
    int newsId = 0;
    bool onlyNotReached = false; // 「未送信の宛先に送信」 rather than to everyone
    QString subject = {};
    int listSize = 0;       // rows of the send list
    int alreadyReached = 0; // of those, left out because they were reached before
    bool addGroup = false;  // the send options
    bool addName = false;
    bool limitWidth = false;
    int width = 0;
    QString server = {};
    int port = 0;
    QString senderAddress = {};
};

// Writes one run as it goes, through a connection of its own (opened in the
// thread that uses the recorder: the sending run's worker), on SQLite or on a
// PostgreSQL server. Every outcome is
// committed in order, one commit a mail:
// - a row becomes 不明 before its mail goes to the server (mailGoing);
// - it is settled once the server has answered (mailSettled), in the commit of
//   the run's next step, which follows at once; or put back to 未送信 when its
//   data never ended (mailNotSent).
// Whatever cuts the run off (a kill, a crash), the rows before the mail on the
// wire are settled and that mail is 不明: nothing delivered is ever recorded as
// unsent. (A power loss: see the flush rule in sendresults.cpp.)
class SendRunRecorder
{
public:
    // Writes through a copy of the connection `connectionName`.
    explicit SendRunRecorder(const QString &connectionName);
    ~SendRunRecorder(); // writes a settlement still waiting
    SendRunRecorder(const SendRunRecorder &) = delete;
    SendRunRecorder &operator=(const SendRunRecorder &) = delete;

    // The run's row and one row per recipient (left-out rows with their
    // reason), in one transaction. False when that could not be written: then
    // nothing may be sent.
    bool begin(const RunStart &start, const QList<RunRecipient> &rows);
    qint64 runId() const { return m_runId; }

    // Row `position` (1-based, the order of `rows`) is about to go: marked 不明
    // (with the last settlement). False when that could not be written: the
    // mail must not go.
    bool mailGoing(int position);
    // The server's answer for that row: Sent or Refused, with its reply line
    // (Unknown when the connection ended after the data). The first Sent of
    // the run also writes the run's start as the notice's 送信日時.
    void mailSettled(int position, SendState state, const QString &reply);
    // Writes the last settlement now rather than with the next mark: before
    // the run waits (its pace), so that a run cut off while waiting has it.
    bool settle();
    // The row's data never ended (the connection failed or was cancelled
    // first): nothing was delivered.
    bool mailNotSent(int position, const QString &why);
    // The end of the run: its time, and why it stopped early (empty when every
    // row was tried). False when it, or any write of the run, failed.
    bool finish(const QString &endReason);

    int accepted() const { return m_accepted; }
    QString error() const { return m_error; }
    // begin() refused because another program is sending the same notice now
    // (on a shared server; a run holds the notice for as long as it lasts).
    bool sendingElsewhere() const { return m_sendingElsewhere; }

private:
    // Commits the settlement waiting and these statements in one
    // transaction; a mark, or `flush`, may be flushed to the disk.
    bool commit(const QList<SqlStatement> &statements, bool mark = false, bool flush = false);
    sqlite3_stmt *statement(const QString &sql);
    bool run(const QString &sql, const QVariantList &binds = {});
    QVariant scalarOf(const QString &sql, const QVariantList &binds = {});
    bool runOnServer(const QString &sql, const QVariantList &binds, QVariant *value);
    bool writeRun(qint64 runId, const RunStart &start, const QList<RunRecipient> &rows);

    QString m_name;
    sqlite3 *m_sqlite = nullptr; // the connection's own, opened through Qt
    bool m_server = false;       // a PostgreSQL server: statements through Qt
    QHash<QString, QSqlQuery> m_serverStatements;
    bool m_sendingElsewhere = false;
    bool m_lastKeyTaken = false; // the last failed write took a key another program holds
    bool m_writeAhead = false;
    QHash<QString, sqlite3_stmt *> m_prepared; // each statement prepared once for the run
    QElapsedTimer m_sinceFlush;
    qint64 m_flushNs = 0;
    qint64 m_runId = 0;
    int m_newsId = 0;
    QString m_started;
    int m_accepted = 0;
    bool m_failed = false;
    QString m_error;
    QList<SqlStatement> m_settlement; // the last mail's, until the next step
};

// The counts of one run's rows by state.
struct RunCounts {
    int sent = 0;
    int refused = 0;
    int notSent = 0;
    int unknown = 0;
    int total() const { return sent + refused + notSent + unknown; }
};

// One run as the history lists it.
struct RunRecord {
    qint64 id = 0;
    int newsId = 0;
    bool onlyNotReached = false;
    QString subject;
    QString started;
    QString ended;     // empty when the run was cut short
    QString endReason; // empty when every row was tried
    int listSize = 0;
    int alreadyReached = 0;
    RunCounts counts;
};

// One recipient row of a run.
struct ResultRow {
    int position = 0;
    QVariant groupId;
    QString groupName;
    QVariant memberId;
    QString name;
    QString honorific;
    QString address;
    SendState state = SendState::NotSent;
    QString time;
    QString reply;
};

// Where a notice stands, from the recorded results of its latest run: how many
// rows of that run's send list have been reached (by this run or an earlier
// one), of how many.
struct NoticeSendState {
    bool hasRun = false;
    int reached = 0;
    int total = 0;
    bool complete() const { return hasRun && reached >= total; }
    bool partial() const { return hasRun && reached > 0 && reached < total; }
    // Whether 「未送信の宛先に送信」 has anyone to send to.
    bool hasNotReached() const { return hasRun && reached < total; }
    // 未送信, 一部送信 n/N or 送信済.
    QString text() const;
};

// A send list split by what earlier runs of the notice recorded. Indexes into
// the list given.
struct ResumeSplit {
    bool ok = false;      // false when the results could not be read: send nothing
    QList<int> reached;   // an address that already accepted this notice: never again
    QList<int> unknown;   // was on the wire when a run was cut off: ask the user
    QList<int> toSend;    // everyone else
};

// Reads what the runs recorded. Reads that fail give empty results (and *ok
// false where the caller must not go on without them).
class SendResultStore
{
public:
    explicit SendResultStore(const QSqlDatabase &db) : m_db(db) {}

    // The runs of a notice, the latest first.
    QList<RunRecord> runs(int newsId, bool *ok = nullptr) const;
    RunRecord run(qint64 runId, bool *ok = nullptr) const;
    // The rows of a run in the order of its send list.
    QList<ResultRow> results(qint64 runId, bool *ok = nullptr) const;

    NoticeSendState noticeState(int newsId) const;
    // Every notice that has a run (the notice list).
    QHash<int, NoticeSendState> noticeStates() const;

    // The current send list of a notice (its addresses, in order), split for
    // 「未送信の宛先に送信」 and for the question before sending to everyone again.
    ResumeSplit split(int newsId, const QStringList &addresses) const;

    // How many mails servers accepted since `since`, over every notice.
    int acceptedSince(const QDateTime &since, bool *ok = nullptr) const;

    // Parts the runs from a notice that is deleted or pasted over (its key may
    // be given to another notice); the runs stay for acceptedSince.
    bool detachRuns(int newsId, QString *error = nullptr) const;

private:
    QHash<int, NoticeSendState> states(const QVariant &newsId) const;

    QSqlDatabase m_db;
};

} // namespace lumivox
