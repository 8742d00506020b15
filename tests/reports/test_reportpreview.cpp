// The report preview window: modal, captioned per report, set up for A4, saving
// the document as PDF from its toolbar, and telling the user what went wrong.
#include "app/japaneselocale.h"
#include "app/startup.h"
#include "reports/reportpreview.h"
#include "support/testapp.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <memory>
#include <QToolBar>

using namespace lumivox;
using lumivox::test::TestApp;

namespace {

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

void addMembers(TestApp &app, int count)
{
    QVERIFY(app.db().transaction());
    for (int i = 1; i <= count; ++i)
        app.addMember(i, QStringLiteral("会員%1").arg(i));
    QVERIFY(app.db().commit());
}

// The group list of the test's folder in its preview window, not yet shown.
struct GroupListPreview {
    explicit GroupListPreview(TestApp &app)
        : loaded(loadReportRows(app.db(), reportDefinition(ReportKind::arpGroup), &rows)),
          document(reportDefinition(ReportKind::arpGroup), rows, QDateTime::currentDateTime()),
          preview(document, nullptr, app.iniPath())
    {
    }
    QList<ReportRow> rows;
    bool loaded;
    const ReportDocument document;
    ReportPreview preview;
};

struct PreviewSeen {
    QString objectName;
    QString title;
    int pages = -1;
    QString docName;
    bool a4Portrait = false;
    bool hasSaveAction = false;
};

// Opens a report through showReport and records what its modal preview showed.
PreviewSeen openAndClose(TestApp &app, ReportKind kind, bool *opened)
{
    PreviewSeen seen;
    test::answerNextModal([&seen](QWidget *modal) {
        auto *preview = qobject_cast<ReportPreview *>(modal);
        if (preview) {
            seen.objectName = preview->objectName();
            seen.title = preview->windowTitle();
            if (auto *pages = preview->findChild<QPrintPreviewWidget *>())
                seen.pages = pages->pageCount();
            seen.docName = preview->printer()->docName();
            const QPageLayout layout = preview->printer()->pageLayout();
            seen.a4Portrait = layout.pageSize().id() == QPageSize::A4
                              && layout.orientation() == QPageLayout::Portrait;
            auto *save = preview->findChild<QAction *>(QStringLiteral("ID_SavePDF"));
            auto *toolBar = preview->findChild<QToolBar *>();
            seen.hasSaveAction = save && toolBar && toolBar->actions().contains(save);
        }
        modal->close();
    });
    *opened = showReport(app.context(), kind, nullptr);
    return seen;
}

} // namespace

class TestReportPreview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachReportOpensItsModalPreview_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("pages");
        QTest::newRow("groups") << int(ReportKind::arpGroup) << QStringLiteral("arpGroup")
                                << QStringLiteral("グループ一覧") << 1;
        QTest::newRow("members") << int(ReportKind::arpMember) << QStringLiteral("arpMember")
                                 << QStringLiteral("メンバー一覧") << 2;
        QTest::newRow("by group") << int(ReportKind::arpMember2) << QStringLiteral("arpMember2")
                                  << QStringLiteral("メンバー一覧（グループ別）") << 2;
        QTest::newRow("check list") << int(ReportKind::arpCheckList) << QStringLiteral("arpCheckList")
                                    << QStringLiteral("送信チェックリスト") << 1;
    }

    void eachReportOpensItsModalPreview()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(int, pages);
        TestApp app;
        app.addGroup(1, QStringLiteral("役員会"));
        addMembers(app, 50); // 44 rows fit on the first page
        bool opened = false;
        const PreviewSeen seen = openAndClose(app, ReportKind(kind), &opened);
        QVERIFY(opened);
        QCOMPARE(seen.objectName, name);
        QCOMPARE(seen.title, caption);
        QCOMPARE(seen.pages, pages);
        QCOMPARE(seen.docName, QStringLiteral("Lumivox"));
        QVERIFY(seen.a4Portrait);
        QVERIFY(seen.hasSaveAction);
    }

    void unreadableSourceIsReportedAndNothingOpens()
    {
        TestApp app;
        QVERIFY(app.exec(QStringLiteral("drop table T_グループ")));
        QString shown;
        bool sawPreview = false;
        test::answerNextModal([&](QWidget *modal) {
            sawPreview = qobject_cast<ReportPreview *>(modal) != nullptr;
            shown = test::messageText(modal);
            if (sawPreview)
                modal->close();
            else
                test::acceptMessage(modal);
        });
        QVERIFY(!showReport(app.context(), ReportKind::arpGroup, nullptr));
        QVERIFY(!sawPreview);
        QVERIFY2(shown.startsWith(QStringLiteral("「グループ一覧」のデータを読み込めませんでした。")),
                 qPrintable(shown));
    }

    void savePdfFromThePreviewToolbar()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("子ども会"), QStringLiteral("コドモカイ"));
        const QString home = app.dir() + QStringLiteral("/home");
        const QString chosenFolder = home + QStringLiteral("/Documents/配布物");
        QVERIFY(QDir().mkpath(chosenFolder));
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.toUtf8()); // the documents folder: HOME/Documents
        const auto restoreHome = qScopeGuard([&] { qputenv("HOME", oldHome); });
        GroupListPreview groups(app);
        QVERIFY(groups.loaded);
        ReportPreview &preview = groups.preview;
        QVERIFY(test::showAndWait(&preview));

        // The save dialog, in Japanese dates included, starts in the documents
        // folder; ".pdf" is added when the user leaves it out; the saved file's
        // path is shown.
        test::Answers answers;
        QString startedIn, listing;
        const auto saveAs = [&](const QString &typed) {
            answers.nextDialog([&, typed](QDialog &d) {
                auto *dialog = qobject_cast<QFileDialog *>(&d);
                QVERIFY(dialog && dialog->acceptMode() == QFileDialog::AcceptSave);
                startedIn = dialog->directory().absolutePath();
                auto *files = dialog->findChild<QFileSystemModel *>();
                const QModelIndex folder = files->index(chosenFolder);
                QTRY_VERIFY(!files->data(folder.siblingAtColumn(2)).toString().isEmpty()); // read in the background
                listing = files->headerData(3, Qt::Horizontal).toString() + u'|'
                          + files->data(folder.siblingAtColumn(2)).toString() + u'|'
                          + files->data(folder.siblingAtColumn(3)).toString();
                if (typed.isEmpty())
                    return; // closed as by its close box
                dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(typed);
                QMetaObject::invokeMethod(dialog, "accept");
            });
            preview.findChild<QAction *>(QStringLiteral("ID_SavePDF"))->trigger();
        };
        saveAs(chosenFolder + QStringLiteral("/名簿"));
        QCOMPARE(startedIn, home + QStringLiteral("/Documents"));
        QVERIFY2(QRegularExpression(QStringLiteral("^更新日\\|フォルダ\\|\\d{4}/\\d\\d/\\d\\d \\d+:\\d\\d$"))
                     .match(listing).hasMatch(), qPrintable(listing));
        const QString written = chosenFolder + QStringLiteral("/名簿.pdf");
        QCOMPARE(answers.lastText(), QStringLiteral("PDFファイルを保存しました。\n\n") + written);
        const QString text = pdfText(written);
        QVERIFY(text.contains(QStringLiteral("グループ一覧表")));
        QVERIFY(text.contains(QStringLiteral("子ども会")));
        // The next save starts where the last one went, in this and later runs.
        saveAs({});
        QCOMPARE(startedIn, chosenFolder);
        QCOMPARE(ReportPreview(groups.document, nullptr, app.iniPath()).pdfFolder(), chosenFolder);
        QVERIFY(QDir(chosenFolder).removeRecursively()); // gone: the documents folder again
        QCOMPARE(preview.pdfFolder(), home + QStringLiteral("/Documents"));

        // A file that cannot be written is reported, never pretended.
        QVERIFY(!preview.savePdf(app.dir() + QStringLiteral("/missing/folder/a.pdf")));
        QVERIFY2(answers.lastText().startsWith(QStringLiteral("PDFファイルを保存できませんでした。")),
                 qPrintable(answers.lastText()));
    }

    void savePdfAsksBeforeReplacingTheFinalName()
    {
        // "名簿" typed while "名簿.pdf" exists: the question about replacing it
        // comes before anything is written, and No keeps the file.
        TestApp app;
        app.addGroup(1, QStringLiteral("子ども会"));
        GroupListPreview groups(app);
        QVERIFY(groups.loaded);
        ReportPreview &preview = groups.preview;
        QVERIFY(test::showAndWait(&preview));
        const QString existing = app.dir() + QStringLiteral("/名簿.pdf");
        {
            QFile old(existing);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("earlier list");
        }

        test::Answers answers; // the file dialog and the program's messages
        const auto saveAs = [&](QMessageBox::StandardButton answer) {
            QString asked;
            answers.nextDialog([&](QDialog &d) {
                auto *dialog = qobject_cast<QFileDialog *>(&d);
                QVERIFY(dialog);
                dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                    ->setText(app.dir() + QStringLiteral("/名簿"));
                // Qt's own question, from inside the file dialog.
                test::answerNextModal([&, answer](QWidget *question) {
                    auto *box = qobject_cast<QMessageBox *>(question);
                    asked = box ? box->text() : QString();
                    if (box)
                        box->button(answer)->click();
                    else
                        question->close();
                });
                QMetaObject::invokeMethod(dialog, "accept"); // after No it stays open, and is closed
            });
            preview.findChild<QAction *>(QStringLiteral("ID_SavePDF"))->trigger();
            return asked;
        };
        const auto contents = [&] {
            QFile f(existing);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };

        QString asked = saveAs(QMessageBox::No);
        QVERIFY2(asked.contains(QStringLiteral("名簿.pdf")), qPrintable(asked));
        QCOMPARE(contents(), QByteArray("earlier list"));
        QVERIFY(!QFile::exists(app.dir() + QStringLiteral("/名簿")));

        asked = saveAs(QMessageBox::Yes);
        QVERIFY2(asked.contains(QStringLiteral("名簿.pdf")), qPrintable(asked));
        QVERIFY(contents().startsWith("%PDF"));
        QVERIFY(pdfText(existing).contains(QStringLiteral("子ども会")));
    }

    void printThatFailsIsReported()
    {
        // A printer that refuses the job (here: its output file cannot be
        // made) is reported, never passed over.
        TestApp app;
        app.addGroup(1, QStringLiteral("子ども会"));
        GroupListPreview groups(app);
        QVERIFY(groups.loaded);
        ReportPreview &preview = groups.preview;
        QPrinter refusing(QPrinter::HighResolution);
        refusing.setOutputFormat(QPrinter::PdfFormat);
        refusing.setOutputFileName(app.dir() + QStringLiteral("/missing/folder/print.pdf"));
        QString shown;
        test::acceptNextMessage(&shown, nullptr, 3000);
        Q_EMIT preview.paintRequested(&refusing);
        QVERIFY2(shown.startsWith(QStringLiteral("印刷できませんでした。")), qPrintable(shown));

        // A printer that takes it says nothing.
        QPrinter working(QPrinter::HighResolution);
        working.setOutputFormat(QPrinter::PdfFormat);
        working.setOutputFileName(app.dir() + QStringLiteral("/print.pdf"));
        QVERIFY(preview.printTo(&working));
        QFile printed(app.dir() + QStringLiteral("/print.pdf"));
        QVERIFY(printed.open(QIODevice::ReadOnly));
        QVERIFY(printed.readAll().startsWith("%PDF"));
    }
};

// Made as the program makes its application: Qt's own dialogs in Japanese,
// whatever the environment's locale.
int main(int argc, char **argv)
{
    auto japanese = std::make_unique<JapaneseSystemLocale>();
    QApplication app(argc, argv);
    japanese.reset();
    prepareApplication(app);
    TestReportPreview test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_reportpreview.moc"
