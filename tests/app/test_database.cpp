// What the program stores, below the windows: the settings file (reading rules
// and atomic writes); the database layer's table model that every list is
// bound to, the group-list refills the windows share, and Japanese order and
// matching in SQL.
// (Opening is tested by the start routine's tests, keys and refused writes by
// the stores', the send-list refills through the reports.)
#include "app/settingsfile.h"
#include "db/database.h"
#include "db/japanesetext.h"
#include "db/tablemodel.h"
#include "db/worktables.h"
#include "support/testapp.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace lumivox;
using lumivox::test::TestApp;

class TestDatabase : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    SettingsFile m_profile;
    QString ini() const { return m_dir.filePath(QStringLiteral("lumivox.INI")); }

    void writeFile(const QByteArray &content)
    {
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    QByteArray content() const
    {
        QFile f(ini());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void init() { QFile::remove(ini()); }

    void integerReadingRules_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("value");
        QTest::newRow("fraction") << "C2" << 12;
        QTest::newRow("negative") << "Top" << -300;
        QTest::newRow("letters") << "Left" << 0;
        QTest::newRow("blanks") << "Width" << 42;
        QTest::newRow("trailing letters") << "Height" << 7;
        QTest::newRow("missing key") << "SpreadW" << 0;
    }

    void integerReadingRules()
    {
        QFETCH(QString, key);
        QFETCH(int, value);
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", key), 0); // no file yet
        writeFile("[MenuMain]\r\nC2=12.75\r\nTop=-300\r\nLeft=abc\r\nWidth= 42 \r\nHeight=7px\r\n");
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", key), value);
        QCOMPARE(m_profile.GetValueLong(ini(), "InpNews", key), 0); // no such section
    }

    void namesMatchWithoutRegardToCase()
    {
        writeFile("[InpDBmember]\nSpreadW=3000\n[Other]\nspreadw=1\n");
        QCOMPARE(m_profile.GetValueLong(ini(), "INPDBMEMBER", "spreadW"), 3000);
        m_profile.SetValueString(ini(), "inpdbMember", "SPREADW", "4000");
        QCOMPARE(m_profile.GetValueLong(ini(), "InpDBmember", "SpreadW"), 4000);
        QCOMPARE(m_profile.GetValueLong(ini(), "Other", "SpreadW"), 1);
        QCOMPARE(content().count("=4000"), 1); // replaced in place, not added a second time
    }

    void longStringsAreCutTo127Bytes()
    {
        const QByteArray value(200, 'x');
        writeFile("[S]\nK=" + value + "\n");
        QCOMPARE(m_profile.GetValueString(ini(), "S", "K"), QString(127, u'x'));
        // A multi-byte character that does not fit whole is dropped, not split.
        writeFile("[S]\nK=" + QByteArray(126, 'a') + QString(QStringLiteral("漢")).toUtf8() + "\n");
        QCOMPARE(m_profile.GetValueString(ini(), "S", "K"), QString(126, u'a'));
    }

    // The first write creates the file; later ones keep the other keys and
    // sections and leave no temporary file behind, and writing the stored value
    // again leaves the file as it was. A fraction is stored as written and read
    // as its whole part.
    void writes()
    {
        QVERIFY(m_profile.SetValueString(ini(), "MenuMain", "Top", "150") != 0);
        for (int i = 0; i < 20; ++i)
            m_profile.SetValueString(ini(), "S", QStringLiteral("K%1").arg(i), QString::number(i));
        m_profile.SetValueString(ini(), "MenuMain", "C3", "8.5");
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("lumivox.INI")});
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Top"), 150);
        QCOMPARE(m_profile.GetValueLong(ini(), "S", "K19"), 19);
        QCOMPARE(m_profile.GetValueString(ini(), "MenuMain", "C3"), QStringLiteral("8.5"));
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "C3"), 8);
        writeFile("[S]\nK=1\n"); // LF lines: a rewrite would give CR LF
        QVERIFY(m_profile.SetValueString(ini(), "S", "K", "1") != 0);
        QCOMPARE(content(), QByteArray("[S]\nK=1\n"));
        QVERIFY(m_profile.SetValueString(ini(), "S", "K", "2") != 0);
        QCOMPARE(content(), QByteArray("[S]\r\nK=2\r\n"));
        // Changed by another program at once, to the same size: read anew.
        QCOMPARE(m_profile.GetValueLong(ini(), "S", "K"), 2);
        writeFile("[S]\r\nK=3\r\n");
        QCOMPARE(m_profile.GetValueLong(ini(), "S", "K"), 3);
        {
            QFile old(ini()); // last changed an hour ago: its lines are kept
            QVERIFY(old.open(QIODevice::ReadWrite));
            QVERIFY(old.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        }
        QCOMPARE(m_profile.GetValueLong(ini(), "S", "K"), 3);
        writeFile("[S]\r\nK=4\r\n");
        QCOMPARE(m_profile.GetValueLong(ini(), "S", "K"), 4);
        // Into a folder that is not there: refused, nothing written.
        const QString missing = m_dir.filePath(QStringLiteral("no/such/folder/lumivox.INI"));
        QCOMPARE(m_profile.SetValueString(missing, "S", "K", "1"), std::int16_t(0));
        QVERIFY(!QFile::exists(missing));
    }

    // A settings file that is there but cannot be read is never replaced by a
    // file holding only the key being written.
    void anUnreadableFileIsNotOverwritten()
    {
        writeFile("[MenuMain]\r\nTop=150\r\nC2=3000\r\n[InpNews]\r\nTop=30\r\n");
        QFile f(ini());
        QVERIFY(f.setPermissions(QFileDevice::WriteOwner));
        if (f.open(QIODevice::ReadOnly)) {
            f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            QSKIP("this user can read a file whatever its permissions (root)");
        }
        QCOMPARE(m_profile.SetValueString(ini(), "MenuMain", "Left", "60"), std::int16_t(0));
        QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Top"), 150);
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "C2"), 3000);
        QCOMPARE(m_profile.GetValueLong(ini(), "InpNews", "Top"), 30);
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Left"), 0);
        // Readable again, it is written as usual.
        QVERIFY(m_profile.SetValueString(ini(), "MenuMain", "Left", "60") != 0);
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Left"), 60);
        QCOMPARE(m_profile.GetValueLong(ini(), "InpNews", "Top"), 30);
    }

    // Every list: the table's columns and rows, the key column
    // read-only, a cell written through at once. (Adding and removing rows with
    // their links are the stores' tests.)
    void tableModelReadsInTableOrderAndWritesThrough()
    {
        TestApp app;
        app.addMember(3, QStringLiteral("佐藤"), QStringLiteral("サトウ"), QStringLiteral("様"), QStringLiteral("sato@example.jp"));
        app.addMember(1, QStringLiteral("鈴木"), QStringLiteral("スズキ"));
        TableModel model(app.db());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.open(QStringLiteral("T_メンバー")));
        QStringList headings;
        for (int c = 0; c < model.columnCount(); ++c)
            headings << model.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headings, (QStringList{"MemberID", "名前", "フリガナ", "敬称", "E-Mail"}));
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(model.isKeyColumn(0) && !(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(model.setData(model.index(model.findRow(QStringLiteral("MemberID"), 3), 1), QStringLiteral("O'Brien")));
        QCOMPARE(app.scalar(QStringLiteral("select 名前 from T_メンバー where MemberID = 3")).toString(),
                 QStringLiteral("O'Brien"));
    }

    void longTextsReadBackWholeInEveryRow()
    {
        TestApp app;
        const QString longBody = QString(3000, u'あ') + QStringLiteral("\r\n終わり");
        app.addNotice(1, QStringLiteral("一"), longBody);
        app.addNotice(2, QStringLiteral("二"), QStringLiteral("短い本文"));
        app.exec(QStringLiteral("insert into T_お知らせ (NewsID, 見出し) values (3, '本文なし')"));
        TableModel model(app.db());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.open(QStringLiteral("T_お知らせ")));
        QCOMPARE(model.value(0, "本文").toString(), longBody);
        QCOMPARE(model.data(model.index(1, 2)).toString(), QStringLiteral("短い本文"));
        QVERIFY(model.value(2, "本文").isNull());
        QCOMPARE(model.findRow(QStringLiteral("本文"), QStringLiteral("短い本文")), 1);
        // Writing another field, or adding a row, keeps every body as stored.
        QVERIFY(model.setValues(1, {{"見出し", QStringLiteral("二の二")}}));
        QCOMPARE(model.value(1, "本文").toString(), QStringLiteral("短い本文"));
        const int added = model.appendRecord({{"NewsID", 4}, {"本文", QStringLiteral("新しい本文")}});
        QCOMPARE(model.value(added, "本文").toString(), QStringLiteral("新しい本文"));
        QVERIFY(model.removeRecord(0));
        QCOMPARE(model.value(0, "本文").toString(), QStringLiteral("短い本文"));
    }

    // The groups of a record for its list (a deleted group left out), and every
    // group for a chooser with the record's own ticked.
    void groupListsOfARecord()
    {
        TestApp app;
        app.addGroups({"一組", "二組", "三組", "四組"});
        app.link(noticeDestinations(), 5, {2, 9}); // group 9 was deleted
        app.link(noticeDestinations(), 6, 1);
        QVERIFY(fillGroupNames(app.db(), noticeDestinations(), 5));
        QCOMPARE(app.scalar(QStringLiteral("select group_concat(グループ名称) from T_temp_グループ名称")).toString(),
                 QStringLiteral("二組"));
        QVERIFY(fillGroupNames(app.db(), noticeDestinations(), 7));
        QCOMPARE(app.count(QStringLiteral("T_temp_グループ名称")), 0);
        app.link(memberGroups(), 3, {2, 4});
        app.link(memberGroups(), 8, 1);
        QVERIFY(fillGroupSelection(app.db(), memberGroups(), 3));
        QCOMPARE(app.scalar(QStringLiteral("select count(*) || ':' || group_concat(case when 選択 = 1 then GroupID end) "
                                           "from T_temp_グループ選択")).toString(), QStringLiteral("4:2,4"));
        QVERIFY(fillGroupSelection(app.db()));
        QCOMPARE(app.count(QStringLiteral("T_temp_グループ選択"), QStringLiteral("選択 = 1")), 0);
    }

    // Code-point order would give いとう, サトウ, 佐藤, 鈴木, 阿部, ｶﾄｳ.
    void namesInJapaneseOrder()
    {
        TestApp app;
        app.addMembers({"鈴木", "ｶﾄｳ", "阿部", "サトウ", "佐藤", "いとう", "Brown", "adams"});
        QCOMPARE(app.scalar(QStringLiteral("select group_concat(名前) from (select 名前 from T_メンバー "
                                           "order by 名前 collate JAPANESE)")).toString(),
                 QStringLiteral("adams,Brown,いとう,ｶﾄｳ,サトウ,阿部,佐藤,鈴木"));
        QVERIFY(compareJapanese(QStringLiteral("かとう"), QStringLiteral("さとう")) < 0);
    }

    void matching_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("found");
        QTest::newRow("voiced mark matters") << "スズキ" << "%ススキ%" << false;
        QTest::newRow("full-width ％ found as itself") << "100％" << "%％" << true;
        QTest::newRow("Null never matches") << QString() << "%" << false;
    }

    void matching()
    {
        QFETCH(QString, stored);
        QFETCH(QString, pattern);
        QFETCH(bool, found);
        TestApp app;
        app.addMember(1, QStringLiteral("名前"), stored.isNull() ? QString() : stored);
        if (stored.isNull())
            QVERIFY(app.exec(QStringLiteral("update T_メンバー set フリガナ = null")));
        QCOMPARE(app.count(QStringLiteral("T_メンバー"),
                           QStringLiteral("JMATCH(フリガナ) like JMATCH('%1')").arg(pattern)),
                 found ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"
