// The printed lists: the date line, pagination, and each report rendered to a real
// PDF file and read back with pdftotext (and, for clipping, pdftoppm). The
// previews: the four 印刷 entries of the main window each open their report's
// modal preview, the check list only once the send list of the selected notice
// is made; saving as PDF from the preview's toolbar; telling what went wrong.
#include "app/spreadgrid.h"
#include "mainwindow/mainwindow.h"
#include "reports/printdate.h"
#include "reports/reportdocument.h"
#include "reports/reportlayout.h"
#include "reports/reportpreview.h"
#include "support/testapp.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QPageLayout>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QToolBar>

using namespace lumivox;
using lumivox::test::Answers;
using lumivox::test::TestApp;

namespace {

const QDateTime kPrinted(QDate(2026, 12, 6), QTime(10, 30));

// Runs a poppler tool; its standard output.
QByteArray runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return process.readAllStandardOutput();
}

// The report read from its source in `app`, dated kPrinted, written to a PDF.
QString writeReport(TestApp &app, ReportKind kind, const QString &fileName, const QString &subject = {})
{
    QList<ReportRow> rows;
    const QString path = app.dir() + u'/' + fileName;
    const bool written = loadReportRows(app.db(), reportDefinition(kind), &rows)
                         && ReportDocument(reportDefinition(kind), rows, kPrinted, subject).writePdf(path);
    return written ? path : QString();
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
    QStringList lines = page.split(u'\n');
    lines.removeIf([](const QString &line) { return line.trimmed().isEmpty(); });
    return lines;
}

// Detail lines start with their running number; each is returned as "n text…"
// with the blanks between columns reduced to one.
QStringList detailLines(const QStringList &pages)
{
    static const QRegularExpression detail(QStringLiteral("^\\s*(\\d+)\\s+(\\S.*)$"));
    QStringList details;
    for (const QString &page : pages) {
        for (const QString &line : nonEmptyLines(page)) {
            if (const auto m = detail.match(line); m.hasMatch())
                details << m.captured(1) + u' ' + m.captured(2).simplified();
        }
    }
    return details;
}

// Plans the answer of the next file dialog: `name` typed in its name box, then
// 保存 (or ｷｬﾝｾﾙ when name is empty).
void typeFileName(Answers &answers, const QString &name)
{
    answers.nextDialog([name](QDialog &dialog) {
        auto *files = qobject_cast<QFileDialog *>(&dialog);
        QVERIFY(files && files->acceptMode() == QFileDialog::AcceptSave);
        if (name.isEmpty())
            return files->reject();
        files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
        QMetaObject::invokeMethod(files, "accept");
    });
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
            QList<ReportRow> rows;
            for (int i = 0; i < 100; ++i)
                rows.append({{QStringLiteral("名前"), {}, {}}, i < first ? QStringLiteral("一") : QStringLiteral("二")});
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

    // Each report of one register, read back from its PDF: date line, title,
    // captions, the rows under their group headers, numbered through the whole
    // report, and the page footer.
    void eachReportReadsBackAsPrinted_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QList<int>>("sendTo"); // the check list's destination groups
        QTest::addColumn<QStringList>("lines");
        const QString none = QStringLiteral("グループ未登録または登録グループに誤りがあるメンバー");
        // In the table's order (by key), not by insertion or by name.
        QTest::newRow("groups") << int(ReportKind::arpGroup) << QList<int>()
                                << QStringList{"グループ一覧表", "No グループ名称 フリガナ",
                                               "1 役員会 ヤクインカイ", "2 子ども会 コドモカイ",
                                               "3 防災委員 ボウサイイイン", "1／1"};
        // 山 and 田 read back as drawn, not as look-alike radicals.
        QTest::newRow("members") << int(ReportKind::arpMember) << QList<int>()
                                 << QStringList{"メンバー一覧表", "No 名前 フリガナ 敬称 E-Mail",
                                                "1 あ ア 様 a@example.jp", "2 い イ 様 i@example.jp",
                                                "3 う ウ 君 u@example.jp", "4 え エ 様 e@example.jp",
                                                "5 山田 太郎 ヤマダ タロウ 先生 yamada@example.jp", "1／1"};
        // No group first; a member of two groups twice; a deleted group's
        // members under the same header as no group.
        QTest::newRow("by group") << int(ReportKind::arpMember2) << QList<int>()
                                  << QStringList{"メンバー一覧表（グループ別）", "No 名前 敬称 E-Mail",
                                                 none, "1 え 様 e@example.jp",
                                                 "役員会", "2 あ 様 a@example.jp", "3 い 様 i@example.jp",
                                                 "4 う 君 u@example.jp",
                                                 "子ども会", "5 う 君 u@example.jp",
                                                 none, "6 山田 太郎 先生 yamada@example.jp", "1／1"};
        QTest::newRow("check list") << int(ReportKind::arpCheckList) << QList<int>{2, 1}
                                    << QStringList{"送信チェックリスト", "お知らせ：「総会」", "No 名前 敬称 E-Mail",
                                                   "役員会", "1 あ 様 a@example.jp", "2 い 様 i@example.jp",
                                                   "3 う 君 u@example.jp",
                                                   "子ども会", "4 う 君 u@example.jp", "1／1"};
        QTest::newRow("empty check list") << int(ReportKind::arpCheckList) << QList<int>{3}
                                          << QStringList{"送信チェックリスト", "No 名前 敬称 E-Mail", "1／1"};
    }

    void eachReportReadsBackAsPrinted()
    {
        QFETCH(int, kind);
        QFETCH(QList<int>, sendTo);
        QFETCH(QStringList, lines);
        TestApp app;
        app.addGroup(2, QStringLiteral("子ども会"), QStringLiteral("コドモカイ"));
        app.addGroup(1, QStringLiteral("役員会"), QStringLiteral("ヤクインカイ"));
        app.addGroup(3, QStringLiteral("防災委員"), QStringLiteral("ボウサイイイン"));
        const QStringList members{"あ/ア/様/a", "い/イ/様/i", "う/ウ/君/u", "え/エ/様/e", "山田 太郎/ヤマダ タロウ/先生/yamada"};
        for (int i = 0; i < members.size(); ++i) {
            const QStringList m = members[i].split(u'/');
            app.addMember(i + 1, m[0], m[1], m[2], m[3] + QStringLiteral("@example.jp"));
        }
        app.link(memberGroups(), 1, 1);
        app.link(memberGroups(), 2, 1);
        app.link(memberGroups(), 3, {1, 2});
        app.link(memberGroups(), 5, 9); // group 9 was deleted
        // The work tables hold the last send: the member list by group rebuilds them.
        app.exec(QStringLiteral("insert into T_temp_送信リスト values (5, '古い', 1, '古い行', '様', '')"));
        if (!sendTo.isEmpty())
            QVERIFY(fillSendList(app.db(), sendTo));

        // The check list names its notice under the title.
        const QString subject = lines.value(1).startsWith(u"お知らせ：") ? lines.value(1) : QString();
        const QStringList pages = pdfPages(writeReport(app, ReportKind(kind), QStringLiteral("r.pdf"), subject));
        QCOMPARE(pages.size(), 1);
        QStringList read;
        for (const QString &line : nonEmptyLines(pages[0]))
            read << line.simplified();
        QCOMPARE(read.value(0), QStringLiteral("印刷日時 ： 令和8年12月06日 10：30"));
        QCOMPARE(read.mid(1), lines);
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
        const int rowsOnPage[] = {44, 47, 39}; // as many as fit under the headers
        for (int p = 0; p < pages.size(); ++p) {
            QCOMPARE(detailLines({pages[p]}).size(), rowsOnPage[p]);
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

    void eachPrintEntryOpensItsPreview_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<int>("notice"); // the selected row
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("sendList"); // rows of T_temp_送信リスト afterwards (1 before)
        QTest::newRow("groups") << "ID_mnuPrintGroup" << 3 << "arpGroup" << 1;
        QTest::newRow("members") << "ID_mnuPrintMember" << 3 << "arpMember" << 1;
        QTest::newRow("by group") << "ID_mnuPrintMember2" << 3 << "arpMember2" << 50;
        QTest::newRow("check list") << "ID_mnuPrintCheckList" << 3 << "arpCheckList" << 50;
        QTest::newRow("check list, no members") << "ID_mnuPrintCheckList" << 2 << "arpCheckList" << 0;
        // No destination group: the send sequence's message, and no preview.
        QTest::newRow("check list, no destination") << "ID_mnuPrintCheckList" << 1 << QString() << 1;
    }

    void eachPrintEntryOpensItsPreview()
    {
        QFETCH(QString, tool);
        QFETCH(int, notice);
        QFETCH(QString, report);
        QFETCH(int, sendList);
        TestApp app;
        app.addGroups({"役員会", "子ども会"});
        QVERIFY(app.db().transaction());
        for (int i = 1; i <= 50; ++i) { // 44 rows fit on the first page
            app.addMember(i, QStringLiteral("会員%1").arg(i));
            app.link(memberGroups(), i, 1);
        }
        QVERIFY(app.db().commit());
        app.addNotice(1, QStringLiteral("宛先なし"));
        app.addNotice(2, QStringLiteral("会員のいない宛先"));
        app.addNotice(3, QStringLiteral("役員会あて"));
        app.link(noticeDestinations(), 2, 2);
        app.link(noticeDestinations(), 3, 1);
        app.exec(QStringLiteral("insert into T_temp_送信リスト values (5, '古い', 1, '古い行', '様', '')"));
        MainWindow window(app.context());
        window.show();
        window.findChild<SpreadGrid *>(QStringLiteral("fpSpread1"))->setActiveCell(2, notice);

        test::Answers answers;
        answers.nextDialog([&](QDialog &dialog) {
            auto *preview = qobject_cast<ReportPreview *>(&dialog);
            QVERIFY(preview && preview->isModal());
            QCOMPARE(preview->objectName(), report);
            QVERIFY(preview->findChild<QPrintPreviewWidget *>()->pageCount() > 0);
            QCOMPARE(preview->printer()->docName(), QStringLiteral("Lumivox"));
            // The check list names its notice under the title.
            const QString titles[] = {{}, {}, QStringLiteral("会員のいない宛先"), QStringLiteral("役員会あて")};
            QCOMPARE(preview->document().subject(),
                     report == QLatin1String("arpCheckList")
                         ? QStringLiteral("お知らせ：「%1」　作成日時：2026/12/01 09:00:00").arg(titles[notice])
                         : QString());
            const QPageLayout layout = preview->printer()->pageLayout();
            QCOMPARE(layout.pageSize().id(), QPageSize::A4);
            QCOMPARE(layout.orientation(), QPageLayout::Portrait);
            auto *save = preview->findChild<QAction *>(QStringLiteral("ID_SavePDF"));
            QVERIFY(save && preview->findChild<QToolBar *>()->actions().contains(save));
            dialog.close();
        });
        test::clickTool(window, qPrintable(tool));
        QCOMPARE(answers.dialogsRun, report.isEmpty() ? 0 : 1);
        if (report.isEmpty())
            QCOMPARE(answers.lastText(),
                     QStringLiteral("お知らせの宛先が選択されていません。宛先ｸﾞﾙｰﾌﾟを必ず選択してください。"));
        else
            QVERIFY(answers.messages.isEmpty());
        QCOMPARE(app.count(QStringLiteral("T_temp_送信リスト")), sendList);
    }
    void unreadableSourceIsReportedAndNothingOpens()
    {
        TestApp app;
        QVERIFY(app.exec(QStringLiteral("drop table T_グループ")));
        Answers answers;
        QVERIFY(!showReport(app.context(), ReportKind::arpGroup, nullptr));
        QCOMPARE(answers.dialogsRun, 0);
        QVERIFY2(answers.lastText().startsWith(QStringLiteral("「グループ一覧」のデータを読み込めませんでした。")),
                 qPrintable(answers.lastText()));
    }

    // "名簿" typed: "名簿.pdf" is written; typed again while it exists, the
    // question about replacing it comes before anything is written, and いいえ
    // keeps the file and goes back to the choice.
    void savePdfAndPrintFromThePreview()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("子ども会"), QStringLiteral("コドモカイ"));
        QList<ReportRow> rows;
        QVERIFY(loadReportRows(app.db(), reportDefinition(ReportKind::arpGroup), &rows));
        const ReportDocument document(reportDefinition(ReportKind::arpGroup), rows, QDateTime::currentDateTime());
        ReportPreview preview(document);
        QAction *save = preview.findChild<QAction *>(QStringLiteral("ID_SavePDF"));
        const QString typed = app.dir() + QStringLiteral("/名簿");
        const QString written = typed + QStringLiteral(".pdf");
        Answers answers;
        typeFileName(answers, typed);
        save->trigger();
        QCOMPARE(answers.lastText(), QStringLiteral("PDFファイルを保存しました。\n\n") + written);
        const QString text = pdfPages(written).join(QString());
        QVERIFY(text.contains(QStringLiteral("グループ一覧表")) && text.contains(QStringLiteral("子ども会")));

        QVERIFY(QFile::remove(written));
        QFile earlier(written);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier list") > 0);
        earlier.close();
        typeFileName(answers, typed);
        answers.nextButton(QMessageBox::No);
        typeFileName(answers, QString()); // back at the choice: ｷｬﾝｾﾙ
        answers.messages.clear();
        save->trigger();
        QCOMPARE(answers.messages.size(), 1);
        QCOMPARE(answers.messages[0].defaultButton, QMessageBox::No);
        QVERIFY2(answers.lastText().contains(QStringLiteral("名簿.pdf")), qPrintable(answers.lastText()));
        QCOMPARE(test::fileContents(written), QByteArray("earlier list"));
        QVERIFY(!QFile::exists(typed));

        typeFileName(answers, typed);
        answers.nextButton(QMessageBox::Yes);
        save->trigger();
        QVERIFY(test::fileContents(written).startsWith("%PDF"));
        QCOMPARE(answers.unplannedDialogs, 0);

        // A file that cannot be written is reported, never pretended; so is a
        // printer that refuses the job (its output file cannot be made), while
        // one that takes it says nothing.
        QVERIFY(!preview.savePdf(app.dir() + QStringLiteral("/missing/folder/a.pdf")));
        QVERIFY2(answers.lastText().startsWith(QStringLiteral("PDFファイルを保存できませんでした。")),
                 qPrintable(answers.lastText()));
        answers.messages.clear();
        QPrinter refusing(QPrinter::HighResolution);
        refusing.setOutputFormat(QPrinter::PdfFormat);
        refusing.setOutputFileName(app.dir() + QStringLiteral("/missing/folder/print.pdf"));
        Q_EMIT preview.paintRequested(&refusing);
        QVERIFY2(answers.lastText().startsWith(QStringLiteral("印刷できませんでした。")),
                 qPrintable(answers.lastText()));

        QPrinter working(QPrinter::HighResolution);
        working.setOutputFormat(QPrinter::PdfFormat);
        working.setOutputFileName(app.dir() + QStringLiteral("/print.pdf"));
        QVERIFY(preview.printTo(&working));
        QCOMPARE(answers.messages.size(), 1);
        QVERIFY(test::fileContents(app.dir() + QStringLiteral("/print.pdf")).startsWith("%PDF"));
    }
};

QTEST_MAIN(TestReports)
#include "test_reports.moc"
