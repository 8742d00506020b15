// The report previews: the four 印刷 entries of the main window each open their
// report's modal preview (A4, captioned, with its PDF button), the check list
// only once the send list of the selected notice is made; saving the document
// as PDF from the preview's toolbar; telling the user what went wrong.
#include "app/spreadgrid.h"
#include "mainwindow/mainwindow.h"
#include "reports/reportpreview.h"
#include "support/testapp.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPageLayout>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QTest>
#include <QToolBar>

using namespace lumivox;
using lumivox::test::Answers;
using lumivox::test::TestApp;

namespace {

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The group list of the test's folder in its preview window, not yet shown.
struct GroupListPreview {
    explicit GroupListPreview(TestApp &app)
        : loaded(loadReportRows(app.db(), reportDefinition(ReportKind::arpGroup), &rows)),
          document(reportDefinition(ReportKind::arpGroup), rows, QDateTime::currentDateTime()),
          preview(document)
    {
    }
    QList<ReportRow> rows;
    bool loaded;
    const ReportDocument document;
    ReportPreview preview;
};

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

class TestReportPreview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachPrintEntryOpensItsPreview_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<int>("notice"); // the selected row
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("sendList"); // rows of T_temp_送信リスト afterwards (1 before)
        QTest::newRow("groups") << "ID_mnuPrintGroup" << 3 << "arpGroup" << "グループ一覧" << 1 << 1;
        QTest::newRow("members") << "ID_mnuPrintMember" << 3 << "arpMember" << "メンバー一覧" << 2 << 1;
        QTest::newRow("by group") << "ID_mnuPrintMember2" << 3 << "arpMember2"
                                  << "メンバー一覧（グループ別）" << 2 << 50;
        QTest::newRow("check list") << "ID_mnuPrintCheckList" << 3 << "arpCheckList"
                                    << "送信チェックリスト" << 2 << 50;
        QTest::newRow("check list, no members") << "ID_mnuPrintCheckList" << 2 << "arpCheckList"
                                                << "送信チェックリスト" << 1 << 0;
        // No destination group: the send sequence's message, and no preview.
        QTest::newRow("check list, no destination") << "ID_mnuPrintCheckList" << 1 << QString() << QString()
                                                    << 0 << 1;
    }

    void eachPrintEntryOpensItsPreview()
    {
        QFETCH(QString, tool);
        QFETCH(int, notice);
        QFETCH(QString, report);
        QFETCH(QString, caption);
        QFETCH(int, pages);
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
            QCOMPARE(preview->windowTitle(), caption);
            QCOMPARE(preview->findChild<QPrintPreviewWidget *>()->pageCount(), pages);
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
    void savePdfAddsTheSuffixAndAsksBeforeReplacing()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("子ども会"), QStringLiteral("コドモカイ"));
        GroupListPreview groups(app);
        QVERIFY(groups.loaded);
        QAction *save = groups.preview.findChild<QAction *>(QStringLiteral("ID_SavePDF"));
        const QString typed = app.dir() + QStringLiteral("/名簿");
        const QString written = typed + QStringLiteral(".pdf");
        Answers answers;
        typeFileName(answers, typed);
        save->trigger();
        QCOMPARE(answers.lastText(), QStringLiteral("PDFファイルを保存しました。\n\n") + written);
        const QString text = pdfText(written);
        QVERIFY(text.contains(QStringLiteral("グループ一覧表")));
        QVERIFY(text.contains(QStringLiteral("子ども会")));

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
        QCOMPARE(contents(written), QByteArray("earlier list"));
        QVERIFY(!QFile::exists(typed));

        typeFileName(answers, typed);
        answers.nextButton(QMessageBox::Yes);
        save->trigger();
        QVERIFY(contents(written).startsWith("%PDF"));
        QCOMPARE(answers.unplannedDialogs, 0);

        // A file that cannot be written is reported, never pretended.
        QVERIFY(!groups.preview.savePdf(app.dir() + QStringLiteral("/missing/folder/a.pdf")));
        QVERIFY2(answers.lastText().startsWith(QStringLiteral("PDFファイルを保存できませんでした。")),
                 qPrintable(answers.lastText()));
    }

    void printThatFailsIsReported()
    {
        // A printer that refuses the job (here: its output file cannot be
        // made) is reported, never passed over; one that takes it says nothing.
        TestApp app;
        app.addGroup(1, QStringLiteral("子ども会"));
        GroupListPreview groups(app);
        QVERIFY(groups.loaded);
        Answers answers;
        QPrinter refusing(QPrinter::HighResolution);
        refusing.setOutputFormat(QPrinter::PdfFormat);
        refusing.setOutputFileName(app.dir() + QStringLiteral("/missing/folder/print.pdf"));
        Q_EMIT groups.preview.paintRequested(&refusing);
        QVERIFY2(answers.lastText().startsWith(QStringLiteral("印刷できませんでした。")),
                 qPrintable(answers.lastText()));

        QPrinter working(QPrinter::HighResolution);
        working.setOutputFormat(QPrinter::PdfFormat);
        working.setOutputFileName(app.dir() + QStringLiteral("/print.pdf"));
        QVERIFY(groups.preview.printTo(&working));
        QCOMPARE(answers.messages.size(), 1);
        QVERIFY(contents(app.dir() + QStringLiteral("/print.pdf")).startsWith("%PDF"));
    }
};

QTEST_MAIN(TestReportPreview)
#include "test_reportpreview.moc"
