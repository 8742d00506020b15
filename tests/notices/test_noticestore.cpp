// The notice store, the link rewrite of the group choosers and the send results
// read back (a notice's state, the split for 「未送信の宛先に送信」, the mails
// accepted in a day, runs parted from a deleted notice), without windows. (How
// a run writes its results is tested with the run itself.)
#include "db/grouplinks.h"
#include "db/noticestore.h"
#include "db/sendresults.h"
#include "db/tablemodel.h"
#include "support/testapp.h"

#include <QTest>

using namespace lumivox;
using lumivox::test::TestApp;

namespace {

// A table's rows as text, "a,b|c,d", in the table's order, Null written as "null".
QString rowsOf(TestApp &app, const QString &table)
{
    QStringList columns;
    for (const ColumnInfo &column : tableColumns(app.db(), table))
        columns << quoted(column.name);
    return test::queryRows(app.db(), QStringLiteral("select %1 from %2 order by rowid").arg(columns.join(u','), quoted(table)), u',')
        .join(u'|');
}

// Notices 1 … n in one statement.
void addNotices(TestApp &app, int n)
{
    QVERIFY(app.exec(QStringLiteral("with recursive k(i) as (select 1 union all select i + 1 from k where i < ?) "
                                    "insert into T_お知らせ select i, 'お知らせ' || i, '', "
                                    "'2026/01/01 00:00:00', '(未送信)' from k"), {n}));
}

using Change = std::function<StoreResult(NoticeStore &)>;

QList<RunRecipient> recipients(const QStringList &addresses)
{
    QList<RunRecipient> rows;
    for (const QString &address : addresses)
        rows << RunRecipient{.groupId = 1, .memberId = int(rows.size() + 1), .address = address};
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestNoticeStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Up to the cap of 999: the next free key (998 notices without 4: 999 is
    // taken, the search wraps to 1 and stops at 4) and the starting texts.
    void createTakesTheNextFreeKeyUpToTheCap()
    {
        TestApp app;
        addNotices(app, 999);
        QVERIFY(app.exec(QStringLiteral("delete from T_お知らせ where NewsID = 4")));
        NoticeStore store(app.db());
        QVERIFY(store.open());
        const QString before = currentTimeText();
        const StoreResult created = store.create();
        QVERIFY(created);
        QCOMPARE(created.key, 4);
        QCOMPARE(created.row, 998);
        const Notice made = store.notice(created.row);
        QVERIFY(made.created >= before && made.created <= currentTimeText());
        QCOMPARE(rowsOf(app, QStringLiteral("T_お知らせ")).section(u'|', 3, 3),
                 QStringLiteral("4,(無題),(未入力),%1,(未送信)").arg(made.created));
        QVERIFY(store.isFull());
        QVERIFY(store.create().refused);
        QVERIFY(store.remove(500));
        QVERIFY(!store.isFull());
    }

    void updateStoresTheBodyWithCrLf()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("一"), QStringLiteral("元\r\n本文"));
        app.addNotice(2, QStringLiteral("二"));
        NoticeStore store(app.db());
        QVERIFY(store.open());
        QCOMPARE(store.notice(0).body, QStringLiteral("元\n本文"));
        QVERIFY(store.update({1, QStringLiteral("新"), QStringLiteral("一行\n二行"), QStringLiteral("c"), QStringLiteral("s")}));
        QCOMPARE(rowsOf(app, QStringLiteral("T_お知らせ")).section(u'|', 0, 0),
                 QStringLiteral("1,新,一行\r\n二行,c,s"));
        QCOMPARE(store.model()->value(0, QStringLiteral("見出し")).toString(), QStringLiteral("新"));
        QVERIFY(store.setSentTime(2, QStringLiteral("2026/12/06 10:11:12")));
        QCOMPARE(store.notice(1).sent, QStringLiteral("2026/12/06 10:11:12"));
        QVERIFY(store.update({7, QStringLiteral("無い"), {}, {}, {}}).refused);
    }

    // Copy keeps the texts, not NewsID nor destinations, and outlives the copied
    // notice; Paste before any copy writes empty texts, not Null. A pasted
    // notice starts unsent, and the send runs of a deleted or pasted-over
    // notice are parted from it (its key may come back).
    void copyRemoveAndPaste()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("一"), QStringLiteral("本文一"), QStringLiteral("2026/01/01 10:00:00"),
                      QStringLiteral("2026/01/02 10:00:00"));
        app.addNotice(2, QStringLiteral("二"));
        app.addNotice(3, QStringLiteral("三"));
        app.link(noticeDestinations(), 1, {1, 5});
        app.link(noticeDestinations(), 2, 1);
        app.link(memberGroups(), 1, 1); // member 1, not notice 1
        app.exec(QStringLiteral("insert into T_送信記録 (送信ID, NewsID, 宛先数, 既送信数) values (1, 1, 1, 1), (2, 2, 1, 1)"));
        NoticeStore store(app.db());
        QVERIFY(store.open());
        QCOMPARE(store.model()->value(1, 5).toString(), QStringLiteral("送信済"));
        QVERIFY(store.paste(3));
        QCOMPARE(rowsOf(app, QStringLiteral("T_お知らせ")).section(u'|', 2), QStringLiteral("3,,,,(未送信)"));
        store.copy(1);
        QVERIFY(store.remove(1)); // with its destinations, and nothing else
        QCOMPARE(store.rowOf(2), 0);
        QCOMPARE(rowsOf(app, memberGroups().table), QStringLiteral("1,1"));
        QVERIFY(store.paste(2));
        QCOMPARE(rowsOf(app, QStringLiteral("T_お知らせ")),
                 QStringLiteral("2,一,本文一,2026/01/01 10:00:00,(未送信)|3,,,,(未送信)"));
        QCOMPARE(store.model()->value(0, 5).toString(), QStringLiteral("未送信"));
        QCOMPARE(app.count(QStringLiteral("T_送信記録"), QStringLiteral("NewsID is not null")), 0);
        QCOMPARE(store.notice(0).title, QStringLiteral("一"));
        QCOMPARE(rowsOf(app, noticeDestinations().table), QStringLiteral("2,1"));
    }

    // A write the database refuses (a full disk, a locked file) is a failure with
    // the database's reason, and nothing stored or listed changes.
    void aRefusedWriteChangesNothing_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("table");
        QTest::addColumn<Change>("change");
        const QString notices = QStringLiteral("T_お知らせ");
        const QString links = noticeDestinations().table;
        QTest::newRow("create") << "insert" << notices << Change([](NoticeStore &s) { return s.create(); });
        QTest::newRow("update") << "update" << notices
                                << Change([](NoticeStore &s) { return s.update({1, QStringLiteral("新"), {}, {}, {}}); });
        QTest::newRow("paste") << "update" << notices << Change([](NoticeStore &s) { return s.paste(1); });
        QTest::newRow("sent time") << "update" << notices
                                   << Change([](NoticeStore &s) { return s.setSentTime(1, QStringLiteral("t")); });
        QTest::newRow("remove") << "delete" << links << Change([](NoticeStore &s) { return s.remove(1); });
    }

    void aRefusedWriteChangesNothing()
    {
        QFETCH(QString, operation);
        QFETCH(QString, table);
        QFETCH(Change, change);
        TestApp app;
        app.addNotice(1, QStringLiteral("一"), QStringLiteral("本文"));
        app.link(noticeDestinations(), 1, 3);
        QVERIFY(app.refuse(operation, table));
        NoticeStore store(app.db());
        QVERIFY(store.open());
        const QString notices = rowsOf(app, QStringLiteral("T_お知らせ"));
        const StoreResult result = change(store);
        QVERIFY(!result.ok && !result.refused);
        QVERIFY2(result.error.contains(QStringLiteral("database is locked")), qPrintable(result.error));
        QCOMPARE(rowsOf(app, QStringLiteral("T_お知らせ")), notices);
        QCOMPARE(rowsOf(app, noticeDestinations().table), QStringLiteral("1,3"));
        QCOMPARE(store.count(), 1);
        QCOMPARE(store.notice(0).title, QStringLiteral("一"));
    }

    // The links of one record are replaced as a whole, in one transaction: the
    // other records' links and the other link table stay.
    void linksAreReplacedAsAWhole_data()
    {
        QTest::addColumn<bool>("members");
        QTest::addColumn<QList<QVariant>>("ticked");
        QTest::addColumn<QString>("expected");
        for (bool members : {false, true}) {
            const char *side = members ? "member" : "notice";
            QTest::addRow("%s: some", side) << members << QList<QVariant>{3, 4} << "8,2|7,3|7,4";
            QTest::addRow("%s: none", side) << members << QList<QVariant>{} << "8,2";
        }
    }

    void linksAreReplacedAsAWhole()
    {
        QFETCH(bool, members);
        QFETCH(QList<QVariant>, ticked);
        QFETCH(QString, expected);
        TestApp app;
        const LinkTable &links = members ? memberGroups() : noticeDestinations();
        const LinkTable &other = members ? noticeDestinations() : memberGroups();
        app.link(links, 7, {1, 3, 9}); // 9: a group that no longer exists goes too
        app.link(links, 8, 2);
        app.link(other, 7, 5);
        QVERIFY(replaceGroupLinks(app.db(), links, 7, ticked));
        QCOMPARE(rowsOf(app, links.table), expected);
        QCOMPARE(rowsOf(app, other.table), QStringLiteral("7,5"));

        QVERIFY(app.refuse(QStringLiteral("insert"), links.table));
        const StoreResult refused = replaceGroupLinks(app.db(), links, 8, {1});
        QVERIFY(!refused.ok && !refused.refused);
        QVERIFY(refused.error.contains(QStringLiteral("database is locked")));
        QCOMPARE(rowsOf(app, links.table), expected);
    }

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

QTEST_GUILESS_MAIN(TestNoticeStore)
#include "test_noticestore.moc"
