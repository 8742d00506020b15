// The send results read back: a notice's state, the split for
// 「未送信の宛先に送信」, the mails accepted in a day, and runs parted from a
// deleted notice. (How a run writes them is tested with the run itself.)
#include "db/sendresults.h"
#include "support/testapp.h"

#include <QTest>

using namespace lumivox;

namespace {

QList<RunRecipient> recipients(const QStringList &addresses)
{
    QList<RunRecipient> rows;
    for (const QString &address : addresses)
        rows << RunRecipient{.groupId = 1, .memberId = int(rows.size() + 1), .address = address};
    return rows;
}

} // namespace

class TestSendResults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // a accepted, b refused, c cut off on the wire, d and e never tried; then
    // the list gains f and, typed again in capitals, A.
    void resumingLeavesOutWhoAlreadyAccepted()
    {
        test::TestApp app;
        app.addNotice(1, QStringLiteral("遠足"));
        SendResultStore store(app.db());
        QCOMPARE(store.noticeState(1).text(), QStringLiteral("未送信"));
        QVERIFY(!store.noticeState(1).hasNotReached());
        {
            SendRunRecorder recorder(app.context().connectionName);
            QVERIFY(recorder.begin({.newsId = 1, .listSize = 5},
                                   recipients({"a@x.jp", "b@x.jp", "c@x.jp", "d@x.jp", "e@x.jp"})));
            recorder.mailGoing(1);
            recorder.mailSettled(1, SendState::Sent, {});
            recorder.mailGoing(2);
            recorder.mailSettled(2, SendState::Refused, QStringLiteral("550"));
            recorder.mailGoing(3);
        } // cut off here: no end
        QCOMPARE(store.noticeState(1).text(), QStringLiteral("一部送信 1/5"));
        QVERIFY(store.runs(1).value(0).ended.isEmpty());

        const QStringList now = {"a@x.jp", "b@x.jp", "c@x.jp", "d@x.jp", "e@x.jp", "f@x.jp", " A@X.jp"};
        const ResumeSplit split = store.split(1, now);
        QVERIFY(split.ok);
        QCOMPARE(split.reached, QList<int>({0, 6}));
        QCOMPARE(split.unknown, QList<int>({2}));
        QCOMPARE(split.toSend, QList<int>({1, 3, 4, 5}));
        QCOMPARE(store.split(2, now).toSend.size(), now.size()); // another notice: nothing recorded

        SendRunRecorder resume(app.context().connectionName);
        QVERIFY(resume.begin({.newsId = 1, .onlyNotReached = true, .listSize = 7, .alreadyReached = 2},
                             recipients({"b@x.jp", "c@x.jp", "d@x.jp", "e@x.jp", "f@x.jp"})));
        if (test::testEngine() == Engine::PostgreSQL) { // another officer meanwhile
            SendRunRecorder other(app.context().connectionName);
            QVERIFY(!other.begin({.newsId = 1}, recipients({"g@x.jp"})));
            QVERIFY(other.sendingElsewhere());
        }
        for (int i = 1; i <= 5; ++i) {
            resume.mailGoing(i);
            resume.mailSettled(i, SendState::Sent, {});
        }
        QVERIFY(resume.finish({}));
        QCOMPARE(store.noticeStates().value(1).text(), QStringLiteral("送信済"));
        QCOMPARE(store.noticeStates().value(1).total, 7);
        const QList<RunRecord> runs = store.runs(1);
        QCOMPARE(runs.size(), 2);
        QVERIFY(runs[0].onlyNotReached && !runs[1].onlyNotReached);
        QCOMPARE(runs[0].counts.sent, 5);

        // Six mails accepted in all, just now; older ones do not count.
        const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
        QCOMPARE(store.acceptedSince(dayAgo), 6);
        app.exec(QStringLiteral("update T_送信結果 set 日時 = '2020/01/01 00:00:00' where 送信ID = ?"), {runs[1].id});
        QCOMPARE(store.acceptedSince(dayAgo), 5);

        // Deleted (or pasted over): the notice's key may come back, its runs
        // still count towards the day's total.
        QVERIFY(store.detachRuns(1));
        QCOMPARE(store.noticeState(1).text(), QStringLiteral("未送信"));
        QCOMPARE(store.split(1, now).toSend.size(), now.size());
        QCOMPARE(store.acceptedSince(dayAgo), 5);
    }
};

QTEST_GUILESS_MAIN(TestSendResults)
#include "test_sendresults.moc"
