// The start routine: one instance per folder, the start-up error path, and the
// main window's settings written when it closes.
#include "app/startup.h"
#include "mainwindow/mainwindow.h"
#include "support/testapp.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace lumivox;

namespace {

// A factory that records whether the start routine asked for a main window and
// closes the window it makes as soon as it is shown.
struct MainWindowProbe {
    bool created = false;
    std::function<QWidget *(AppContext &)> factory()
    {
        return [this](AppContext &) -> QWidget * {
            created = true;
            auto *w = new QWidget;
            QTimer::singleShot(50, w, &QWidget::close);
            return w;
        };
    }
};

// Runs the start routine, answering the message box it shows (if any).
int startAndAnswer(const QString &dir, MainWindowProbe &probe, QString *shown,
                   QMessageBox::Icon *icon = nullptr)
{
    test::answerNextModal([=](QWidget *box) {
        if (auto *mb = qobject_cast<QMessageBox *>(box)) {
            *shown = mb->windowTitle() + u'|' + mb->text();
            if (icon)
                *icon = mb->icon();
        }
        test::acceptMessage(box);
    }, 3000);
    return runLumivox(dir, probe.factory());
}

QString programPath()
{
    return qEnvironmentVariable("LUMIVOX_BIN_DIR") + QStringLiteral("/lumivox");
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Qt's own captions in Japanese, as the program has them.
        prepareApplication(*qobject_cast<QApplication *>(qApp));
    }

    void missingDatabaseTakesTheErrorPath()
    {
        QTemporaryDir dir;
        MainWindowProbe probe;
        QString shown;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QCOMPARE(startAndAnswer(dir.path(), probe, &shown, &icon), kExitStartFailed);
        QVERIFY(!probe.created);
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY(shown.startsWith(QStringLiteral("Lumivox|予期しない実行時ｴﾗｰが発生し，起動に失敗しました。\r\n\r\n")));
        // The support line names the button of the details as Qt captions it.
        QVERIFY2(shown.contains(QStringLiteral("［詳細を表示...］の内容を添えて")), qPrintable(shown));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Pennora.db"))));
    }

    void aFileThatIsNotADatabaseTakesTheErrorPath()
    {
        QTemporaryDir dir;
        QFile junk(dir.filePath(QStringLiteral("Pennora.db")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("This is a text file, not a database.\n");
        junk.close();
        MainWindowProbe probe;
        QString shown;
        QCOMPARE(startAndAnswer(dir.path(), probe, &shown), kExitStartFailed);
        QVERIFY(!probe.created);
        QVERIFY(shown.contains(QStringLiteral("起動に失敗しました")));
    }

    // Another program in a write transaction: the start says so, and does not
    // send the user looking for a file that is there.
    void aDatabaseLockedByAnotherProgramSaysSo()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Pennora.db"));
        QVERIFY(test::makeTestDatabase(path));
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QVERIFY(QSqlQuery(other).exec(QStringLiteral("begin exclusive")));
            test::Answers answers;
            MainWindowProbe probe;
            QCOMPARE(runLumivox(dir.path(), probe.factory()), kExitStartFailed);
            QVERIFY(!probe.created);
            QCOMPARE(answers.messages.size(), 1);
            QVERIFY2(answers.lastText().startsWith(QStringLiteral("データベースファイル（Pennora.db）をほかのプログラムが使用中")),
                     qPrintable(answers.lastText()));
            QVERIFY(!answers.lastText().contains(QStringLiteral("同じフォルダにあるか")));
            QVERIFY(answers.messages.first().detailedText.contains(QStringLiteral("locked")));
            QVERIFY(QSqlQuery(other).exec(QStringLiteral("rollback")));
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        MainWindowProbe probe; // released: the start goes ahead
        QCOMPARE(runLumivox(dir.path(), probe.factory()), 0);
        QVERIFY(probe.created);
    }

    void aGoodStartShowsTheMainWindowAndEndsWithZero()
    {
        QTemporaryDir dir;
        QVERIFY(test::makeTestDatabase(dir.filePath(QStringLiteral("Pennora.db"))));
        MainWindowProbe probe;
        QCOMPARE(runLumivox(dir.path(), probe.factory()), 0);
        QVERIFY(probe.created);
        // The lock is released at the end: a second start in the same folder runs.
        MainWindowProbe again;
        QCOMPARE(runLumivox(dir.path(), again.factory()), 0);
        QVERIFY(again.created);
    }

    void aSecondInstanceIsRefusedAndAStaleLockIsNot()
    {
        if (!QFile::exists(programPath()))
            QSKIP("the program has not been built");
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("lumivox"));
        QVERIFY(QFile::copy(programPath(), copy));
        QVERIFY(test::makeTestDatabase(dir.filePath(QStringLiteral("Pennora.db"))));

        QProcess first;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        first.setProcessEnvironment(env);
        first.start(copy, {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("lumivox.lock"))), 20000);

        MainWindowProbe probe;
        QString shown;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QCOMPARE(startAndAnswer(dir.path(), probe, &shown, &icon), kExitAlreadyRunning);
        QVERIFY(!probe.created);
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(shown, QStringLiteral("Lumivox|『Lumivox』は既に起動しています。本ソフトウェアは，特定の作業領域を使用するため多重起動に未対応です。"
                                       "\r\n\r\nプログラムの起動を中止します。"));
        QCOMPARE(first.state(), QProcess::Running); // the first instance is undisturbed

        // Killed without a chance to clean up, it leaves its lock file behind.
        first.kill();
        QVERIFY(first.waitForFinished());
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("lumivox.lock"))));
        MainWindowProbe next;
        QCOMPARE(runLumivox(dir.path(), next.factory()), 0);
        QVERIFY(next.created);
    }

    void closingTheMainWindowWritesItsSettings()
    {
        test::TestApp app;
        QVERIFY(app.isValid());
        {
            MainWindow window(app.context());
            QVERIFY(test::showAndWait(&window));
            window.close();
        }
        for (const char *key : {"Top", "Left", "Width", "Height", "SpreadW", "SpreadFontSize"})
            QVERIFY2(!app.setting("MenuMain", key).isEmpty(), key);
        QVERIFY(app.settingLong("MenuMain", "Width") > 0);
        QCOMPARE(app.settingLong("MenuMain", "SpreadFontSize"), 3);
    }

    void theMainWindowCarriesEveryTool()
    {
        test::TestApp app;
        MainWindow window(app.context());
        QCOMPARE(window.windowTitle(), QStringLiteral("Lumivox"));
        const char *ids[] = {"ID_mnuEditNew", "ID_mnuEditEdit", "ID_mnuEditDel", "ID_mnuEditCopy",
                             "ID_mnuEditPaste", "ID_mnuEditSubmit", "ID_mnuClose", "ID_mnuFontSize1",
                             "ID_mnuFontSize5", "ID_mnuDBGroup", "ID_mnuDBMember", "ID_mnuPrintGroup",
                             "ID_mnuPrintMember", "ID_mnuPrintMember2", "ID_mnuPrintCheckList",
                             "ID_mnuSetupSMTP", "ID_mnuSetupSubmit", "ID_mnuHelpHelp", "ID_mnuHelpWeb",
                             "ID_mnuHelpAbout", "ID_EditNew", "ID_EditEdit", "ID_EditDel", "ID_EditCopy",
                             "ID_EditPaste", "ID_EditSubmit", "ID_Close"};
        for (const char *id : ids)
            QVERIFY2(window.findChild<QAction *>(QLatin1String(id)), id);
        QCOMPARE(window.findChild<QAction *>(QStringLiteral("ID_EditNew"))->toolTip(),
                 QStringLiteral("お知らせを新規に作成する"));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("StatusBar1Panel2"))->text(), QStringLiteral("MAX:999"));
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
