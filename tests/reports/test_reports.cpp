// The printed lists: the date line, pagination, and each report rendered to a real
// PDF file and read back with pdftotext (and, for clipping, pdftoppm).
#include "reports/printdate.h"
#include "reports/reportdocument.h"
#include "reports/reportlayout.h"
#include "support/testapp.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace lumivox;
using lumivox::test::TestApp;

namespace {

const QDateTime kPrinted(QDate(2026, 12, 6), QTime(10, 30));

// Runs a poppler tool; its standard output, or a failed test.
QByteArray runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return {};
    }
    return process.readAllStandardOutput();
}

// The report read from its source in `app`, dated kPrinted, written to a PDF.
QString writeReport(TestApp &app, ReportKind kind, const QString &fileName, const QString &subject = {})
{
    QList<ReportRow> rows;
    QString error;
    if (!loadReportRows(app.db(), reportDefinition(kind), &rows, &error)) {
        qWarning("loading failed: %s", qPrintable(error));
        return {};
    }
    const ReportDocument document(reportDefinition(kind), rows, kPrinted, subject);
    const QString path = app.dir() + u'/' + fileName;
    if (!document.writePdf(path, &error)) {
        qWarning("writing failed: %s", qPrintable(error));
        return {};
    }
    // LUMIVOX_REPORTS_OUT=folder keeps a copy of every PDF, to look at the pages.
    const QString keep = qEnvironmentVariable("LUMIVOX_REPORTS_OUT");
    if (!keep.isEmpty()) {
        QFile::remove(keep + u'/' + fileName);
        QFile::copy(path, keep + u'/' + fileName);
    }
    return path;
}

// The text of each page of a PDF, as pdftotext -layout lays it out.
QStringList pdfPages(const QString &path)
{
    const QString text =
        QString::fromUtf8(runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")}));
    QStringList pages = text.split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

QStringList nonEmptyLines(const QString &page)
{
    QStringList lines;
    for (const QString &line : page.split(u'\n')) {
        if (!line.trimmed().isEmpty())
            lines << line;
    }
    return lines;
}

// Detail lines start with their running number; each is returned as "n text…"
// with the blanks between columns reduced to one.
QStringList detailLines(const QStringList &pages)
{
    static const QRegularExpression detail(QStringLiteral("^\\s*(\\d+)\\s+(\\S.*)$"));
    static const QRegularExpression footer(QStringLiteral("^\\s*\\d+\\s*／\\s*\\d+\\s*$"));
    QStringList details;
    for (const QString &page : pages) {
        for (const QString &line : nonEmptyLines(page)) {
            if (footer.match(line).hasMatch())
                continue;
            const auto m = detail.match(line);
            if (m.hasMatch())
                details << m.captured(1) + u' ' + m.captured(2).simplified();
        }
    }
    return details;
}

// Rows of a report for the layout checks: `sizes` groups of the given sizes.
QList<ReportRow> groupedRows(const QList<int> &sizes)
{
    QList<ReportRow> rows;
    for (int g = 0; g < sizes.size(); ++g) {
        for (int i = 0; i < sizes[g]; ++i)
            rows.append({{QStringLiteral("名前"), QStringLiteral("様"), QStringLiteral("a@example.jp")},
                         QStringLiteral("グループ%1").arg(g)});
    }
    return rows;
}

} // namespace

class TestReports : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dateLineUsesTheJapaneseEra_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("line");
        QTest::newRow("reiwa") << kPrinted << QStringLiteral("印刷日時 ： 令和8年12月06日 10：30");
        QTest::newRow("heisei") << QDateTime(QDate(2018, 4, 1), QTime(9, 5))
                                << QStringLiteral("印刷日時 ： 平成30年04月01日 09：05");
        QTest::newRow("last day of heisei") << QDateTime(QDate(2019, 4, 30), QTime(23, 59))
                                            << QStringLiteral("印刷日時 ： 平成31年04月30日 23：59");
        QTest::newRow("first day of reiwa") << QDateTime(QDate(2019, 5, 1), QTime(0, 0))
                                            << QStringLiteral("印刷日時 ： 令和元年05月01日 00：00");
        QTest::newRow("showa") << QDateTime(QDate(1989, 1, 7), QTime(18, 0))
                               << QStringLiteral("印刷日時 ： 昭和64年01月07日 18：00");
    }

    void dateLineUsesTheJapaneseEra()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, line);
        QCOMPARE(printDateLine(when), line);
    }

    void pagesNeverCutARowNorStrandAGroupHeader()
    {
        const double a4 = 297;
        const double bottom = a4 - 2 * reportmm::kMargin - reportmm::kPageFooter;
        // Every split of 100 rows into a first group of n and a second of the rest
        // moves the second header to where it can be followed by its first row.
        for (int first = 1; first < 100; ++first) {
            const QList<ReportRow> rows = groupedRows({first, 100 - first});
            const QList<ReportPage> pages = layoutReport(reportDefinition(ReportKind::arpMember2), rows, a4);
            int expected = 1;
            for (const ReportPage &page : pages) {
                const QList<PlacedSection> &s = page.sections;
                for (int i = 0; i < s.size(); ++i) {
                    const double height = s[i].kind == PlacedSection::Detail ? reportmm::kRow
                                          : s[i].kind == PlacedSection::GroupHeader ? reportmm::kGroupHeader
                                          : s[i].kind == PlacedSection::PageHeader ? reportmm::kPageHeader
                                                                                    : reportmm::kReportHeader;
                    QVERIFY2(s[i].top + height <= bottom, qPrintable(QString::number(first)));
                    if (s[i].kind == PlacedSection::GroupHeader) {
                        QVERIFY(i + 1 < s.size());
                        QCOMPARE(s[i + 1].kind, PlacedSection::Detail);
                    }
                    if (s[i].kind == PlacedSection::Detail)
                        QCOMPARE(s[i].number, expected++);
                }
            }
            QCOMPARE(expected, 101);
        }
    }

    void fullPagesHoldAsManyRowsAsFit()
    {
        // 44 rows under the report header on the first page, 47 on the next.
        const QList<ReportRow> rows(92, ReportRow{{QStringLiteral("a"), {}, {}, {}}, {}});
        const QList<ReportPage> pages = layoutReport(reportDefinition(ReportKind::arpMember), rows, 297);
        QCOMPARE(pages.size(), 3);
        QCOMPARE(pages[0].sections.size(), 2 + 44);
        QCOMPARE(pages[1].sections.size(), 1 + 47);
        QCOMPARE(pages[2].sections.size(), 1 + 1);
        QCOMPARE(pages[2].sections.last().number, 92);
        // An empty report is still one page with its headers.
        const QList<ReportPage> empty = layoutReport(reportDefinition(ReportKind::arpCheckList), {}, 297);
        QCOMPARE(empty.size(), 1);
        QCOMPARE(empty[0].sections.size(), 2);
    }

    void groupListHasTitleCaptionsAndDateLine()
    {
        TestApp app;
        app.addGroup(2, QStringLiteral("役員会"), QStringLiteral("ヤクインカイ"));
        app.addGroup(1, QStringLiteral("子ども会"), QStringLiteral("コドモカイ"));
        const QStringList pages = pdfPages(writeReport(app, ReportKind::arpGroup, QStringLiteral("g.pdf")));
        QCOMPARE(pages.size(), 1);
        const QStringList lines = nonEmptyLines(pages[0]);
        QVERIFY(lines.size() >= 5);
        QCOMPARE(lines[0].trimmed(), QStringLiteral("印刷日時 ： 令和8年12月06日 10：30"));
        QCOMPARE(lines[1].trimmed(), QStringLiteral("グループ一覧表"));
        QCOMPARE(lines[2].simplified(), QStringLiteral("No グループ名称 フリガナ"));
        // In the table's order: by key, not by the order of insertion or by name.
        QCOMPARE(detailLines(pages), QStringList({QStringLiteral("1 子ども会 コドモカイ"),
                                                  QStringLiteral("2 役員会 ヤクインカイ")}));
        QCOMPARE(lines.last().simplified(), QStringLiteral("1／1"));
    }

    void memberListKeepsTheTableOrder()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("渡辺 翔太"), QStringLiteral("ワタナベ ショウタ"), QStringLiteral("君"),
                      QStringLiteral("shota@example.jp"));
        app.addMember(2, QStringLiteral("伊藤 由美"), QStringLiteral("イトウ ユミ"), QStringLiteral("様"),
                      QStringLiteral("yumi@example.jp"));
        app.addMember(3, QStringLiteral("山田 太郎"), QStringLiteral("ヤマダ タロウ"), QStringLiteral("先生"),
                      QStringLiteral("yamada@example.jp"));
        const QStringList pages = pdfPages(writeReport(app, ReportKind::arpMember, QStringLiteral("m.pdf")));
        QCOMPARE(pages.size(), 1);
        const QStringList lines = nonEmptyLines(pages[0]);
        QCOMPARE(lines[1].trimmed(), QStringLiteral("メンバー一覧表"));
        QCOMPARE(lines[2].simplified(), QStringLiteral("No 名前 フリガナ 敬称 E-Mail"));
        // The text reads back as drawn: 山 and 田 are not their look-alike
        // radicals, and the space is a space.
        QVERIFY(pages[0].contains(QStringLiteral("山田 太郎")));
        QCOMPARE(detailLines(pages),
                 QStringList({QStringLiteral("1 渡辺 翔太 ワタナベ ショウタ 君 shota@example.jp"),
                              QStringLiteral("2 伊藤 由美 イトウ ユミ 様 yumi@example.jp"),
                              QStringLiteral("3 山田 太郎 ヤマダ タロウ 先生 yamada@example.jp")}));
    }

    void membersByGroupNumberThroughGroups()
    {
        TestApp app;
        app.addGroups({"役員会", "子ども会"});
        const char *names[] = {"あ", "い", "う", "え", "お", "か", "き", "く"};
        for (int i = 0; i < 8; ++i)
            app.addMember(i + 1, QString::fromUtf8(names[i]));
        // 役員会: あ い う; 子ども会: う え お か; く in a group that no longer
        // exists; き in none.
        for (int m : {1, 2, 3})
            app.link(memberGroups(), m, 1);
        for (int m : {3, 4, 5, 6})
            app.link(memberGroups(), m, 2);
        app.link(memberGroups(), 8, 9);
        // The work tables held the last send: the report rebuilds them.
        app.exec(QStringLiteral("insert into T_temp_送信リスト values (5, '古い', 1, '古い行', '様', '')"));

        const QStringList pages = pdfPages(writeReport(app, ReportKind::arpMember2, QStringLiteral("m2.pdf")));
        QCOMPARE(pages.size(), 1);
        const QStringList lines = nonEmptyLines(pages[0]);
        QCOMPARE(lines[1].trimmed(), QStringLiteral("メンバー一覧表（グループ別）"));
        QCOMPARE(lines[2].simplified(), QStringLiteral("No 名前 敬称 E-Mail"));
        QStringList body;
        for (const QString &line : lines.mid(3, lines.size() - 4))
            body << line.simplified();
        QCOMPARE(body, QStringList({
                           QStringLiteral("グループ未登録または登録グループに誤りがあるメンバー"),
                           QStringLiteral("1 き 様"),
                           QStringLiteral("役員会"),
                           QStringLiteral("2 あ 様"),
                           QStringLiteral("3 い 様"),
                           QStringLiteral("4 う 様"),
                           QStringLiteral("子ども会"),
                           QStringLiteral("5 う 様"),
                           QStringLiteral("6 え 様"),
                           QStringLiteral("7 お 様"),
                           QStringLiteral("8 か 様"),
                           QStringLiteral("グループ未登録または登録グループに誤りがあるメンバー"),
                           QStringLiteral("9 く 様"),
                       }));
    }

    void checkListShowsThePreparedSendList()
    {
        TestApp app;
        app.addGroups({"役員会", "子ども会", "防災委員"});
        for (int i = 1; i <= 7; ++i)
            app.addMember(i, QStringLiteral("会員%1").arg(i), {}, QStringLiteral("様"),
                          QStringLiteral("m%1@example.jp").arg(i));
        for (int m : {3, 1, 2})
            app.link(memberGroups(), m, 1);
        for (int m : {4, 5, 6, 7})
            app.link(memberGroups(), m, 2);
        QVERIFY(fillSendList(app.db(), {1, 2}));
        const QString path = writeReport(app, ReportKind::arpCheckList, QStringLiteral("c.pdf"),
                                         QStringLiteral("お知らせ：「総会」"));
        const QStringList pages = pdfPages(path);
        QCOMPARE(pages.size(), 1);
        const QStringList lines = nonEmptyLines(pages[0]);
        QCOMPARE(lines[1].trimmed(), QStringLiteral("送信チェックリスト"));
        QCOMPARE(lines[2].trimmed(), QStringLiteral("お知らせ：「総会」")); // which notice it is for
        QCOMPARE(lines[3].simplified(), QStringLiteral("No 名前 敬称 E-Mail"));
        QVERIFY(pages[0].contains(QStringLiteral("役員会")));
        QVERIFY(pages[0].indexOf(QStringLiteral("役員会")) < pages[0].indexOf(QStringLiteral("子ども会")));
        QCOMPARE(detailLines(pages), QStringList({QStringLiteral("1 会員1 様 m1@example.jp"),
                                                  QStringLiteral("2 会員2 様 m2@example.jp"),
                                                  QStringLiteral("3 会員3 様 m3@example.jp"),
                                                  QStringLiteral("4 会員4 様 m4@example.jp"),
                                                  QStringLiteral("5 会員5 様 m5@example.jp"),
                                                  QStringLiteral("6 会員6 様 m6@example.jp"),
                                                  QStringLiteral("7 会員7 様 m7@example.jp")}));

        // Groups without members: an empty report, headers and footer only.
        QVERIFY(fillSendList(app.db(), {3}));
        const QStringList empty = pdfPages(writeReport(app, ReportKind::arpCheckList, QStringLiteral("e.pdf")));
        QCOMPARE(empty.size(), 1);
        const QStringList emptyLines = nonEmptyLines(empty[0]);
        QCOMPARE(emptyLines.size(), 4);
        QCOMPARE(emptyLines[1].trimmed(), QStringLiteral("送信チェックリスト"));
        QCOMPARE(emptyLines[3].simplified(), QStringLiteral("1／1"));
    }

    void longMemberListFootsEveryPageWithTheTrueCount()
    {
        TestApp app;
        QVERIFY(app.db().transaction());
        for (int i = 1; i <= 130; ++i)
            app.addMember(i, QStringLiteral("会員%1").arg(i), QStringLiteral("カイイン"), QStringLiteral("様"),
                          QStringLiteral("member%1@example.jp").arg(i));
        QVERIFY(app.db().commit());
        const QStringList pages = pdfPages(writeReport(app, ReportKind::arpMember, QStringLiteral("130.pdf")));
        QCOMPARE(pages.size(), 3);
        static const QRegularExpression footer(QStringLiteral("^\\s*(\\d+)／(\\d+)\\s*$"));
        for (int p = 0; p < pages.size(); ++p) {
            const QStringList lines = nonEmptyLines(pages[p]);
            const auto m = footer.match(lines.last());
            QVERIFY2(m.hasMatch(), qPrintable(lines.last()));
            QCOMPARE(m.captured(1).toInt(), p + 1);
            QCOMPARE(m.captured(2).toInt(), 3);
            // Each page repeats the column captions.
            QVERIFY(pages[p].contains(QStringLiteral("E-Mail")));
        }
        QVERIFY(pages[0].contains(QStringLiteral("メンバー一覧表")));
        QVERIFY(!pages[1].contains(QStringLiteral("メンバー一覧表")));
        const QStringList details = detailLines(pages);
        QCOMPARE(details.size(), 130);
        for (int i = 0; i < details.size(); ++i)
            QVERIFY(details[i].startsWith(QStringLiteral("%1 会員%1 ").arg(i + 1)));
    }

    void longTextsStayInsideTheirColumns()
    {
        TestApp app;
        const QString longName(20, QChar(0x9577));   // 長 × 20: twice the column
        const QString longMail = QStringLiteral("a.very.long.mail.address.for.testing.clipping@subdomain.example.co.jp");
        app.addMember(1, longName, QString(20, QChar(0x30ab)), QStringLiteral("様様様様様様"), longMail);
        const QString pdf = writeReport(app, ReportKind::arpMember, QStringLiteral("long.pdf"));
        QVERIFY(!pdf.isEmpty());
        const int dpi = 150;
        runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                                             QStringLiteral("-singlefile"), pdf, app.dir() + QStringLiteral("/long")});
        QImage page(app.dir() + QStringLiteral("/long.png"));
        QVERIFY(!page.isNull());
        auto px = [dpi](double mm) { return int(mm * dpi / 25.4); };
        // The first detail row, on the paper: margin + report header + page header.
        const double rowTop = reportmm::kMargin + reportmm::kReportHeader + reportmm::kPageHeader;
        auto inkIn = [&](double leftMm, double rightMm) {
            int dark = 0;
            for (int y = px(rowTop); y < px(rowTop + reportmm::kRow); ++y)
                for (int x = px(leftMm); x < px(rightMm); ++x)
                    dark += qGray(page.pixel(x, y)) < 160;
            return dark;
        };
        const double body = reportmm::kMargin;
        // Each overlong text reaches the end of its column and stops there: the
        // gaps before the next column and the margin after the last stay blank.
        QVERIFY(inkIn(body + 44, body + 47.4) > 0);         // 名前 up to its edge
        QCOMPARE(inkIn(body + 47.9, body + 49.8), 0);       // gap before フリガナ
        QVERIFY(inkIn(body + 79, body + 82.4) > 0);         // フリガナ
        QCOMPARE(inkIn(body + 82.9, body + 84.8), 0);       // gap before 敬称
        QVERIFY(inkIn(body + 160, body + 167.4) > 0);       // E-Mail
        QCOMPARE(inkIn(body + 167.9, 210 - 1), 0);          // right margin
    }

    void unwritableFileIsReportedNotPretended()
    {
        TestApp app;
        const ReportDocument document(reportDefinition(ReportKind::arpGroup), {}, kPrinted);
        QString error;
        QVERIFY(!document.writePdf(app.dir() + QStringLiteral("/no such folder/x.pdf"), &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestReports)
#include "test_reports.moc"
