// The register in and out of CSV text: encodings, RFC 4180, headings, the checks
// with their lines, duplicates, the one-transaction write, export and round trip,
// and rows pasted beyond the end of a register's list.
#include "mail/mailaddress.h"
#include "registers/importdialog.h"
#include "registers/memberregister.h"
#include "registers/rosterexport.h"
#include "registers/rosterimport.h"
#include "support/testapp.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

using namespace lumivox;
using namespace lumivox::test;

namespace {

using Fields = QList<RosterField>;

// The same roster in every encoding: a heading by other names, a quoted comma,
// a line break inside quotes, ①, 髙, half-width kana, hiragana, blanks around.
const QString kRoster = QStringLiteral(
    "氏名,ふりがな,メールアドレス,所属,備考\n"
    "\"髙橋,①\",ﾀｶﾊｼ,taka@example.jp,1組、2組,\"複数\n行\"\n"
    " 山田 太郎 ,やまだたろう,yamada@example.jp,2組,\n");
// kRoster as Python's cp932 codec writes it, 髙 as Windows writes it (FB FC).
const QByteArray kRosterCp932 = QByteArray::fromHex(
    "8e8196bc2c82d382e882aa82c82c8381815b838b83418368838c83582c8f8a91ae2c94f58d6c0a22fbfc8bb42c874022"
    "2cc0b6cabc2c74616b61406578616d706c652e6a702c31916781413291672c2295a190940a8d73220a208e5293632091"
    "be9859202c82e282dc82be82bd82eb82a42c79616d616461406578616d706c652e6a702c3291672c0a");

// The register without keys: members with their groups, then groups, sorted.
QStringList registerRows(TestApp &app)
{
    QStringList rows;
    QSqlQuery q(app.db());
    q.exec(QStringLiteral("select M.名前, M.フリガナ, M.敬称, M.\"E-Mail\", (select group_concat(G.グループ名称, '|') "
                          "from (select distinct G.グループ名称 from T_メンバーの登録グループ情報 L join T_グループ G "
                          "on L.GroupID = G.GroupID where L.MemberID = M.MemberID order by 1) G) from T_メンバー M"));
    while (q.next())
        rows << QStringLiteral("M:%1/%2/%3/%4/%5").arg(q.value(0).toString(), q.value(1).toString(),
                                                      q.value(2).toString(), q.value(3).toString(),
                                                      q.value(4).toString());
    q.exec(QStringLiteral("select グループ名称, フリガナ from T_グループ"));
    while (q.next())
        rows << QStringLiteral("G:%1/%2").arg(q.value(0).toString(), q.value(1).toString());
    rows.sort();
    return rows;
}

RosterPlan planText(TestApp &app, const QByteArray &bytes, RosterKind kind = RosterKind::Members,
                    DuplicateChoice choice = DuplicateChoice::Update)
{
    const RosterText t = readRosterText(bytes, kind);
    return planRoster(app.db(), kind, t.rows(!t.heading.isEmpty()), t.heading, choice, t.problems());
}

bool importText(TestApp &app, const QByteArray &bytes, RosterKind kind = RosterKind::Members)
{
    return writeRoster(app.db(), planText(app, bytes, kind)).ok;
}

QStringList problemLines(const RosterPlan &plan)
{
    QStringList out;
    for (const RosterProblem &p : plan.errors)
        out << QStringLiteral("%1:%2").arg(p.line).arg(p.message);
    return out;
}

} // namespace

class TestRoster : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void importsEveryEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<TextEncoding>("encoding");
        const QByteArray bom("\xEF\xBB\xBF");
        QByteArray crlf = kRoster.toUtf8();
        crlf.replace("\n", "\r\n");
        QTest::newRow("UTF-8 with BOM, CR LF") << bom + crlf << TextEncoding::Utf8Bom;
        QTest::newRow("UTF-8, LF, empty last line") << kRoster.toUtf8() + "\n" << TextEncoding::Utf8;
        QTest::newRow("CP932, LF") << kRosterCp932 << TextEncoding::Cp932;
        QTest::newRow("CP932, CR LF") << QByteArray(kRosterCp932).replace("\n", "\r\n") << TextEncoding::Cp932;
    }
    void importsEveryEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(TextEncoding, encoding);
        TestApp app;
        QCOMPARE(readRosterText(bytes, RosterKind::Members).encoding, encoding);
        QCOMPARE(readRosterText(bytes, RosterKind::Members).heading,
                 (Fields{RosterField::Name, RosterField::Reading, RosterField::Mail, RosterField::Group,
                         RosterField::Ignore}));
        const RosterPlan plan = planText(app, bytes);
        QVERIFY2(plan.errors.isEmpty(), qPrintable(problemLines(plan).join(u'\n')));
        QCOMPARE(plan.added, 2);
        QCOMPARE(plan.newGroups, (QStringList{QStringLiteral("1組"), QStringLiteral("2組")}));
        QVERIFY(writeRoster(app.db(), plan).ok);
        QCOMPARE(registerRows(app),
                 (QStringList{QStringLiteral("G:1組/１組"), QStringLiteral("G:2組/２組"),
                              QStringLiteral("M:山田 太郎/ヤマダタロウ/様/yamada@example.jp/2組"),
                              QStringLiteral("M:髙橋,①/タカハシ/様/taka@example.jp/1組|2組")}));
        QCOMPARE(app.scalar(QStringLiteral("select group_concat(MemberID) from T_メンバー")).toString(),
                 QStringLiteral("1,2"));
    }

    void headings_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<RosterKind>("kind");
        QTest::addColumn<Fields>("fields");
        using F = RosterField;
        QTest::newRow("register's names") << QStringList{"名前", "フリガナ", "敬称", "E-Mail", "グループ"}
                                          << RosterKind::Members
                                          << Fields{F::Name, F::Reading, F::Honorific, F::Mail, F::Group};
        QTest::newRow("other names, two group columns")
            << QStringList{"お名前", "よみ", "Ｅメール", "所属", "クラス２", "お名前"} << RosterKind::Members
            << Fields{F::Name, F::Reading, F::Mail, F::Group, F::Group, F::Ignore};
        QTest::newRow("half-width reading, mail") << QStringList{"ﾌﾘｶﾞﾅ", "氏名", "mail"} << RosterKind::Members
                                                  << Fields{F::Reading, F::Name, F::Mail};
        QTest::newRow("a data row") << QStringList{"山田", "yamada@example.jp"} << RosterKind::Members << Fields{};
        QTest::newRow("groups") << QStringList{"グループ名称", "読み"} << RosterKind::Groups
                                << Fields{F::Name, F::Reading};
    }
    void headings()
    {
        QFETCH(QStringList, cells);
        QFETCH(RosterKind, kind);
        QFETCH(Fields, fields);
        QCOMPARE(recogniseHeading(cells, kind), fields);
    }

    void problemsByLine_data()
    {
        QTest::addColumn<int>("members");
        QTest::addColumn<int>("groups");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<QStringList>("problems"); // line:start of the message
        QTest::addColumn<int>("added");
        const QString head = QStringLiteral("名前,フリガナ,敬称,E-Mail,グループ\n");
        QTest::newRow("missing name after a quoted line break")
            << 0 << 0 << head + "\"山田\n花子\",,,,\n,ヤマダ,,a@example.jp,\n" << QStringList{"4:名前がありません"} << 1;
        QTest::newRow("addresses")
            << 0 << 0
            << head + "甲,,,a@example,\n乙,,,a b@example.jp,\n丙,,,a@@example.jp,\n丁,,,山@example.jp,\n"
                      "戊,,,@example.jp,\n己,,,ａ＠ｅｘａｍｐｌｅ．ｊｐ,\n"
            << QStringList{"2:E-Mail「a@example」：@の後（ドメイン）に", "3:E-Mail「a b@example.jp」：空白",
                           "4:E-Mail「a@@example.jp」：@が二つ", "5:E-Mail「山@example.jp」：全角",
                           "6:E-Mail「@example.jp」：@の前"}
            << 1;
        QTest::newRow("lengths") << 0 << 0
                                 << head + "一二三四五六七八九十一,,,,\n名," + QString(21, u'ア') + ",,,\n名,,"
                                        + QString(11, u'様') + ",,\n名,,," + QString(54, u'a') + "@example.jp,\n名,,,,"
                                        + QString(51, u'班') + "\n"
                                 << QStringList{"2:名前「", "3:フリガナ「", "4:敬称「", "5:E-Mail「", "6:グループ名称「"} << 0;
        QTest::newRow("999 members") << 998 << 0 << head + "甲,,,,\n乙,,,,\n" << QStringList{"3:メンバーが上限"} << 1;
        QTest::newRow("99 groups") << 0 << 98 << head + "甲,,,,新1\n乙,,,,新2\n丙,,,,新1\n"
                                   << QStringList{"3:グループが上限"} << 2;
        QTest::newRow("quote left open") << 0 << 0 << head + "甲,,,,\n\"乙,,,,\n" << QStringList{"3:引用符"} << 1;
    }
    void problemsByLine()
    {
        QFETCH(int, members);
        QFETCH(int, groups);
        QFETCH(QString, csv);
        QFETCH(QStringList, problems);
        QFETCH(int, added);
        TestApp app;
        app.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                                "insert into T_メンバー (MemberID, 名前) select i, '会員' from n where i <= ?; "),
                 {std::max(members, 1), members});
        app.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                                "insert into T_グループ select i, '班' || i, 'ハン' from n where i <= ?"),
                 {std::max(groups, 1), groups});
        const RosterPlan plan = planText(app, csv.toUtf8());
        const QStringList got = problemLines(plan);
        QCOMPARE(got.size(), problems.size());
        for (int i = 0; i < got.size(); ++i)
            QVERIFY2(got[i].startsWith(problems[i]), qPrintable(got[i]));
        QCOMPARE(plan.added, added);
        QVERIFY(writeRoster(app.db(), plan).ok);
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), members + added);
    }

    void duplicates_data()
    {
        QTest::addColumn<DuplicateChoice>("choice");
        QTest::addColumn<QList<int>>("counts"); // added, updated, skipped
        QTest::addColumn<QStringList>("after");
        const QString kept = QStringLiteral("M:山田/ヤマダ/様/yamada@example.jp/A");
        QTest::newRow("update") << DuplicateChoice::Update << QList<int>{1, 2, 0}
                                << QStringList{"G:A/A", "G:B/Ｂ", "M:山田二/ヤマダ/様/YAMADA@example.jp/A|B",
                                               "M:新人二//様/new@example.jp/B"};
        QTest::newRow("skip") << DuplicateChoice::Skip << QList<int>{1, 0, 2}
                              << QStringList{"G:A/A", kept, "M:新人//様/new@example.jp/"};
        QTest::newRow("add as new") << DuplicateChoice::AddNew << QList<int>{3, 0, 0}
                                    << QStringList{"G:A/A", "G:B/Ｂ", kept, "M:山田二//様/YAMADA@example.jp/B",
                                                   "M:新人//様/new@example.jp/", "M:新人二//様/new@example.jp/B"};
    }
    void duplicates()
    {
        QFETCH(DuplicateChoice, choice);
        QFETCH(QList<int>, counts);
        QFETCH(QStringList, after);
        TestApp app;
        app.addGroup(1, QStringLiteral("A"));
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"), QStringLiteral("様"),
                      QStringLiteral("yamada@example.jp"));
        app.link(memberGroups(), 1, 1);
        const QByteArray csv = "名前,E-Mail,グループ\n山田二,YAMADA@example.jp,B\n新人,new@example.jp,\n"
                               "新人二,new@example.jp,B\n";
        const RosterPlan plan = planText(app, csv, RosterKind::Members, choice);
        QCOMPARE((QList<int>{plan.added, plan.updated, static_cast<int>(plan.skipped.size())}), counts);
        QVERIFY(writeRoster(app.db(), plan).ok);
        QCOMPARE(registerRows(app), after);
    }

    void failedWriteLeavesRegister()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("A"));
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"), QStringLiteral("様"),
                      QStringLiteral("yamada@example.jp"));
        app.link(memberGroups(), 1, 1);
        const QStringList before = registerRows(app);
        // The third new member fails, after groups, an update, links and two members.
        app.exec(QStringLiteral("create trigger refuse before insert on T_メンバー when new.名前 = '丙' "
                                "begin select raise(abort, 'refused by the test'); end"));
        const RosterPlan plan = planText(
            app, "名前,E-Mail,グループ\n山田二,yamada@example.jp,B\n甲,,A、C\n乙,,C\n丙,,D\n丁,,\n");
        QCOMPARE(plan.added, 4);
        const RosterWriteResult result = writeRoster(app.db(), plan);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(QStringLiteral("refused by the test")), qPrintable(result.error));
        QCOMPARE(registerRows(app), before);
    }

    void roundTrip_data()
    {
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<QString>("groupName");
        QTest::newRow("UTF-8 with BOM, a separator in a group's name") << TextEncoding::Utf8Bom << QStringLiteral("1年／2年");
        QTest::newRow("CP932, ① and 髙") << TextEncoding::Cp932 << QStringLiteral("①髙組");
    }
    void roundTrip()
    {
        QFETCH(TextEncoding, encoding);
        QFETCH(QString, groupName);
        TestApp app;
        app.addGroup(1, QStringLiteral("A"), QStringLiteral("エー"));
        app.addGroup(2, groupName, QStringLiteral("ガクネン"));
        app.addGroup(3, QStringLiteral("空き"), QStringLiteral("アキ"));
        app.addMember(1, QStringLiteral("=SUM(A1)"), QStringLiteral("イコール"), QString(),
                      QStringLiteral("-x@example.jp"));
        app.addMember(2, QStringLiteral("髙橋 \"①\""), QStringLiteral("タカハシ"), QStringLiteral("先生"),
                      QStringLiteral("taka@example.jp"));
        app.addMember(3, QStringLiteral("'@所属なし"), QString(), QStringLiteral("様"), QString());
        app.link(memberGroups(), 1, {1, 2});
        app.link(memberGroups(), 2, {2});
        const QString members = app.dir() + QStringLiteral("/members.csv");
        const QString groups = app.dir() + QStringLiteral("/groups.csv");
        QVERIFY(exportRoster(app.db(), RosterKind::Members, members, encoding).ok);
        QVERIFY(exportRoster(app.db(), RosterKind::Groups, groups, encoding).ok);

        QFile file(members);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), encoding == TextEncoding::Utf8Bom);
        const QString text = decodeText(bytes, encoding);
        QVERIFY2(text.contains(QStringLiteral("\r\n'=SUM(A1),")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral(",'-x@example.jp,")));
        QVERIFY(text.contains(QStringLiteral("\r\n''@所属なし,")));

        TestApp empty;
        QFile groupFile(groups);
        QVERIFY(groupFile.open(QIODevice::ReadOnly));
        QVERIFY(importText(empty, groupFile.readAll(), RosterKind::Groups));
        QVERIFY(importText(empty, bytes));
        QCOMPARE(registerRows(empty), registerRows(app));
    }

    void exportRefusesWhatCp932Lacks()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("𠮷田"), QString(), QStringLiteral("様"), QString());
        const QString path = app.dir() + QStringLiteral("/out.csv");
        const ExportResult result = exportRoster(app.db(), RosterKind::Members, path, TextEncoding::Cp932);
        QVERIFY(!result.ok);
        QCOMPARE(result.unencodable, QList<char32_t>{U'𠮷'});
        QVERIFY(!QFile::exists(path));
    }

    void addressRule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("normalised");
        QTest::addColumn<bool>("plain");
        QTest::newRow("plain") << "taro.y@mail.example.jp" << "taro.y@mail.example.jp" << true;
        QTest::newRow("full width") << "　ｔａｒｏ＠ｅｘａｍｐｌｅ．ｊｐ " << "taro@example.jp" << true;
        QTest::newRow("empty") << "" << "" << false;
        QTest::newRow("control") << "ta\x01ro@example.jp" << "ta\x01ro@example.jp" << false;
        QTest::newRow("header character") << "<taro@example.jp>" << "<taro@example.jp>" << false;
        QTest::newRow("domain dot at the end") << "taro@example." << "taro@example." << false;
    }
    void addressRule()
    {
        QFETCH(QString, typed);
        QFETCH(QString, normalised);
        QFETCH(bool, plain);
        QCOMPARE(normaliseTypedAddress(typed), normalised);
        QCOMPARE(isPlainMailAddress(normalised), plain);
        QCOMPARE(mailAddressProblem(normalised).isEmpty(), plain);
    }

    void pasteBeyondLastRowAddsRecords()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"));
        auto w = std::make_unique<MemberRegister>(app.context());
        QVERIFY(showAndWait(w.get()));
        w->list()->selectBlock(2, 1, 2, 1);
        QApplication::clipboard()->setText(QStringLiteral("山田一\r\n新人\tしんじん\t\tnew@example.jp\tA\r\n"
                                                          "\tナナシ\r\n"));
        QString summary;
        Answers answers;
        answers.nextDialog([&summary](QDialog &dialog) {
            summary = child<QLabel>(&dialog, "lblCounts")->text();
            child<QPushButton>(&dialog, "cmdOk")->click();
        });
        clickTool(*w, "ID_EditPaste");
        QVERIFY2(summary.startsWith(QStringLiteral("追加 1件　更新 0件　スキップ 0件　エラー 1件")), qPrintable(summary));
        QCOMPARE(registerRows(app), (QStringList{"G:A/Ａ", "M:山田一/ヤマダ/様//", "M:新人/シンジン//new@example.jp/A"}));
        QCOMPARE(w->list()->maxRows(), 2);
        QCOMPARE(child<QLabel>(w.get(), "lblRecord")->text(), QStringLiteral("(2/2)"));
    }
};

QTEST_MAIN(TestRoster)
#include "test_roster.moc"
