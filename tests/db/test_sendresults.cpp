// The send results: a run written row by row as it goes, the notice's state
// and the split for 「未送信の宛先に送信」 read back from them.
#include "db/sendresults.h"
#include "support/testapp.h"

#include <QSqlQuery>
#include <QTest>

using namespace lumivox;
using lumivox::test::TestApp;

namespace {

QList<RunRecipient> recipients(const QStringList &addresses)
{
    QList<RunRecipient> rows;
    for (const QString &address : addresses)
        rows << RunRecipient{1, QStringLiteral("全員"), int(rows.size() + 1), address.section(u'@', 0, 0),
                             QStringLiteral("様"), address};
    return rows;
}

RunStart startOf(int newsId, int listSize, bool onlyNotReached = false, int alreadyReached = 0)
{
    RunStart start;
    start.newsId = newsId;
    start.subject = QStringLiteral("遠足");
    start.listSize = listSize;
    start.onlyNotReached = onlyNotReached;
    start.alreadyReached = alreadyReached;
    return start;
}

// What another connection sees of a row: committed, not merely written.
QString committedState(TestApp &app, qint64 run, int position)
{
    const QString name = QStringLiteral("reader");
    QString state;
    {
        QSqlDatabase reader = QSqlDatabase::cloneDatabase(app.db(), name);
        reader.open();
        QSqlQuery q(reader);
        q.prepare(QStringLiteral("select 状態 from T_送信結果 where 送信ID = ? and 順番 = ?"));
        q.addBindValue(run);
        q.addBindValue(position);
        if (q.exec() && q.next())
            state = q.value(0).toString();
    }
    QSqlDatabase::removeDatabase(name);
    return state;
}

} // namespace

class TestSendResults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aRunIsCommittedAsItGoes()
    {
        TestApp app;
        QVERIFY(app.isValid());
        app.addNotice(1, QStringLiteral("遠足"));
        QList<RunRecipient> rows = recipients({"a@example.jp", "b@example.jp", "c@example.jp", "d@example.jp"});
        rows[3].skipReason = QStringLiteral("E-Mail が空です");
        SendRunRecorder recorder(app.context().connectionName);
        QVERIFY(recorder.begin(startOf(1, 4), rows));
        const qint64 run = recorder.runId();
        QCOMPARE(committedState(app, run, 4), QStringLiteral("未送信"));

        QVERIFY(recorder.mailGoing(1));
        QCOMPARE(committedState(app, run, 1), QStringLiteral("不明"));
        recorder.mailSettled(1, SendState::Sent, QStringLiteral("250 OK"));
        QVERIFY(recorder.mailGoing(2)); // with the settlement before it
        QCOMPARE(committedState(app, run, 1), QStringLiteral("送信済"));
        // The first acceptance gives the notice its time of sending: the run's start.
        const RunRecord started = SendResultStore(app.db()).run(run);
        QCOMPARE(app.scalar(QStringLiteral("select 送信日時 from T_お知らせ where NewsID = 1")).toString(), started.started);
        recorder.mailSettled(2, SendState::Refused, QStringLiteral("550 5.1.1 User unknown"));
        recorder.mailGoing(3); // and then the connection is lost
        QVERIFY(recorder.finish(QStringLiteral("SMTPサーバーとの通信が途中で切れました。")));

        bool ok = false;
        const RunRecord record = SendResultStore(app.db()).run(run, &ok);
        QVERIFY(ok);
        QCOMPARE(record.newsId, 1);
        QVERIFY(!record.ended.isEmpty());
        QCOMPARE(record.endReason, QStringLiteral("SMTPサーバーとの通信が途中で切れました。"));
        QCOMPARE(record.counts.sent, 1);
        QCOMPARE(record.counts.refused, 1);
        QCOMPARE(record.counts.unknown, 1);
        QCOMPARE(record.counts.notSent, 1);
        const QList<ResultRow> results = SendResultStore(app.db()).results(run);
        QCOMPARE(results.size(), 4);
        QCOMPARE(results[1].reply, QStringLiteral("550 5.1.1 User unknown"));
        QCOMPARE(results[3].reply, QStringLiteral("E-Mail が空です"));
        QCOMPARE(results[3].state, SendState::NotSent);
        QCOMPARE(results[2].memberId.toInt(), 3);
    }

    void aRunThatDeliveredNothingKeepsTheTimeOfSending()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("遠足"), {}, QStringLiteral("2026/12/01 09:00:00"),
                      QStringLiteral("2026/11/30 08:00:00"));
        SendRunRecorder recorder(app.context().connectionName);
        QVERIFY(recorder.begin(startOf(1, 2), recipients({"a@example.jp", "b@example.jp"})));
        recorder.mailGoing(1);
        recorder.mailSettled(1, SendState::Refused, QStringLiteral("550 no"));
        QVERIFY(recorder.finish(QStringLiteral("SMTPサーバー「x」のポート 25 に接続できません。")));
        QCOMPARE(app.scalar(QStringLiteral("select 送信日時 from T_お知らせ where NewsID = 1")).toString(),
                 QStringLiteral("2026/11/30 08:00:00"));
        QCOMPARE(SendResultStore(app.db()).noticeState(1).text(), QStringLiteral("未送信"));
        QVERIFY(SendResultStore(app.db()).noticeState(1).hasNotReached());
    }

    // a accepted, b refused, c cut off on the wire, d and e never tried; then
    // the list gains f and, typed again in capitals, A.
    void resumingLeavesOutWhoAlreadyAccepted()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("遠足"));
        app.addNotice(2, QStringLiteral("総会"));
        SendResultStore store(app.db());
        QCOMPARE(store.noticeState(1).text(), QStringLiteral("未送信"));
        QVERIFY(!store.noticeState(1).hasNotReached());
        {
            SendRunRecorder recorder(app.context().connectionName);
            QVERIFY(recorder.begin(startOf(1, 5), recipients({"a@x.jp", "b@x.jp", "c@x.jp", "d@x.jp", "e@x.jp"})));
            recorder.mailGoing(1);
            recorder.mailSettled(1, SendState::Sent, {});
            recorder.mailGoing(2);
            recorder.mailSettled(2, SendState::Refused, QStringLiteral("550"));
            recorder.mailGoing(3);
        } // killed here: no finish
        QCOMPARE(store.noticeState(1).text(), QStringLiteral("一部送信 1/5"));
        QVERIFY(store.noticeState(1).partial());
        QVERIFY(store.runs(1).value(0).ended.isEmpty());

        const QStringList now = {"a@x.jp", "b@x.jp", "c@x.jp", "d@x.jp", "e@x.jp", "f@x.jp", " A@X.jp"};
        const ResumeSplit split = store.split(1, now);
        QVERIFY(split.ok);
        QCOMPARE(split.reached, QList<int>({0, 6}));
        QCOMPARE(split.unknown, QList<int>({2}));
        QCOMPARE(split.toSend, QList<int>({1, 3, 4, 5}));
        // Another notice has nothing recorded.
        QCOMPARE(store.split(2, now).toSend.size(), now.size());

        SendRunRecorder resume(app.context().connectionName);
        QVERIFY(resume.begin(startOf(1, 7, true, 2), recipients({"b@x.jp", "c@x.jp", "d@x.jp", "e@x.jp", "f@x.jp"})));
        for (int i = 1; i <= 5; ++i) {
            resume.mailGoing(i);
            resume.mailSettled(i, SendState::Sent, {});
        }
        QVERIFY(resume.finish({}));
        QCOMPARE(store.noticeState(1).text(), QStringLiteral("送信済"));
        QVERIFY(!store.noticeState(1).hasNotReached());
        const QHash<int, NoticeSendState> all = store.noticeStates();
        QCOMPARE(all.size(), 1);
        QCOMPARE(all.value(1).total, 7);
        const QList<RunRecord> runs = store.runs(1);
        QCOMPARE(runs.size(), 2);
        QVERIFY(runs[0].onlyNotReached && !runs[1].onlyNotReached);
        QCOMPARE(runs[0].counts.sent, 5);

        // Six mails were accepted in all, just now.
        QCOMPARE(store.acceptedSince(QDateTime::currentDateTime().addDays(-1)), 6);
        app.exec(QStringLiteral("update T_送信結果 set 日時 = '2020/01/01 00:00:00' where 送信ID = ?"), {runs[1].id});
        QCOMPARE(store.acceptedSince(QDateTime::currentDateTime().addDays(-1)), 5);

        // Deleted (or pasted over): the notice's key may be reused, its runs
        // still count towards the day's total.
        QVERIFY(store.detachRuns(1));
        QCOMPARE(store.noticeState(1).text(), QStringLiteral("未送信"));
        QVERIFY(store.runs(1).isEmpty());
        QCOMPARE(store.split(1, now).toSend.size(), now.size());
        QCOMPARE(store.acceptedSince(QDateTime::currentDateTime().addDays(-1)), 5);
    }
};

QTEST_GUILESS_MAIN(TestSendResults)
#include "test_sendresults.moc"
