// The start routine: one instance per folder (a second start knocks on the
// first's door), the start-up error path, and a signal to end closing the
// program as its close box does.
#include "app/runninginstance.h"
#include "app/startup.h"
#include "app/toolset.h"
#include "support/testapp.h"
#include "db/database.h"
#include "db/makedatabase.h"
#include "db/schemaupgrade.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace lumivox;
using namespace Qt::StringLiterals;

namespace {

// Runs the start routine with a main window that closes as soon as it is
// shown. The exit code (-1 when there was a main window and yet no success, or
// success without one) and the first message shown, answered.
std::pair<int, Message> start(const QString &dir)
{
    test::Answers answers;
    bool created = false;
    const int code = runLumivox(dir, [&](AppContext &) -> QWidget * {
        created = true;
        auto *w = new QWidget;
        QTimer::singleShot(50, w, &QWidget::close);
        return w;
    });
    return {(code == 0) == created ? code : -1, answers.messages.value(0)};
}

// The built program copied into `dir` with a fresh Pennora.db and started there;
// true once it holds its lock.
bool startCopy(QProcess &program, const QTemporaryDir &dir)
{
    const QString copy = dir.filePath(QStringLiteral("lumivox"));
    if (!QFile::copy(qEnvironmentVariable("LUMIVOX_BIN_DIR") + QStringLiteral("/lumivox"), copy)
        || !makeDatabase(dir.filePath(QStringLiteral("Pennora.db"))))
        return false;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(copy, {});
    return program.waitForStarted()
           && QTest::qWaitFor([&] { return QFile::exists(dir.filePath(QStringLiteral("lumivox.lock"))); }, 20000);
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

    // Every picture of the program's set, and its window icon, is there at the
    // sizes drawn at build time (not the style's stand-in), and not blank.
    void picturesAreDrawnAtTheirSizes()
    {
        const QStringList set{"document-new", "document-edit", "document-save", "document-import",
                              "document-export", "edit-copy", "edit-delete", "edit-paste",
                              "mail-send", "window-close", "toolbar-more"};
        const QList<QSize> toolSizes{{24, 24}, {48, 48}};
        QList<std::tuple<QString, QIcon, QList<QSize>>> icons{
            {QStringLiteral("window"), QApplication::windowIcon(), {{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}}}};
        for (const QString &name : set)
            icons.append({name, programIcon(name), toolSizes});
        for (const auto &[name, icon, sizes] : icons) {
            QCOMPARE(icon.availableSizes(), sizes);
            const QImage image = icon.pixmap(sizes.first()).toImage();
            bool drawn = false;
            for (int y = 0; y < image.height() && !drawn; ++y)
                for (int x = 0; x < image.width() && !drawn; ++x)
                    drawn = qAlpha(image.pixel(x, y)) == 255;
            QVERIFY2(drawn, qPrintable(name));
        }
    }

    void aDatabaseThatCannotBeOpenedTakesTheErrorPath_data()
    {
        QTest::addColumn<QByteArray>("file"); // Pennora.db's contents (none when empty; "db", "newer": a database)
        QTest::addColumn<QString>("message");  // how it begins
        const QString unexpected = QStringLiteral("予期しない実行時ｴﾗｰが発生し，起動に失敗しました。\r\n\r\n");
        QTest::newRow("missing") << QByteArray() << unexpected;
        QTest::newRow("not a database") << QByteArray("This is a text file, not a database.\n") << unexpected;
        // Another program in a write transaction: the start says so, and does
        // not send the user looking for a file that is there.
        QTest::newRow("locked by another program") << QByteArray("db")
                                                   << QStringLiteral("データベースファイル（Pennora.db）をほかのプログラムが使用中");
        // Made by a newer version: refused and left as it is, with no copy made.
        QTest::newRow("newer") << QByteArray("newer")
                               << QStringLiteral("データベースファイル（Pennora.db）は，この Lumivox より新しい版");
    }

    void aDatabaseThatCannotBeOpenedTakesTheErrorPath()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Pennora.db"));
        QFile junk(path);
        const bool database = file == "db" || file == "newer";
        QVERIFY(file.isEmpty() || (database ? makeDatabase(path) : junk.open(QIODevice::WriteOnly) && junk.write(file) > 0));
        junk.close();
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(path);
        QVERIFY(!database || other.open());
        QVERIFY(file != "newer" || QSqlQuery(other).exec(u"pragma user_version = %1"_s.arg(currentSchemaVersion() + 1)));
        QVERIFY(file != "db" || QSqlQuery(other).exec(QStringLiteral("begin exclusive")));
        if (file == "newer")
            other.close();
        const QByteArray before = test::fileContents(path);
        const auto [code, shown] = start(dir.path());
        QCOMPARE(code, kExitStartFailed);
        QCOMPARE(shown.icon, QMessageBox::Critical);
        QCOMPARE(shown.title, QStringLiteral("Lumivox"));
        QVERIFY2(shown.text.startsWith(message), qPrintable(shown.text));
        // The support line names the button of the details as Qt captions it.
        QVERIFY2(database || shown.text.contains(QStringLiteral("［詳細を表示...］の内容を添えて")), qPrintable(shown.text));
        QVERIFY(file == "db" ? shown.detailedText.contains(QStringLiteral("locked")) : database || !shown.detailedText.isEmpty());
        // Never created, never changed, no copy made.
        QVERIFY(QFile::exists(path) == !file.isEmpty() && test::fileContents(path) == before && !QFile::exists(backupPathOf(path)));
        other.close();
        other = {};
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        if (file == "db")
            QCOMPARE(start(dir.path()).first, 0); // released: the start goes ahead
    }

    void aSecondInstanceIsRefusedAndAStaleLockIsNot()
    {
        QTemporaryDir dir;
        QProcess first;
        QVERIFY(startCopy(first, dir));
        const auto [code, shown] = start(dir.path());
        QCOMPARE(code, kExitAlreadyRunning);
        QCOMPARE(shown.icon, QMessageBox::Critical);
        QCOMPARE(shown.title, QStringLiteral("Lumivox"));
        QCOMPARE(shown.text, QStringLiteral("『Lumivox』は既に起動しています。本ソフトウェアは，特定の作業領域を使用するため多重起動に未対応です。"
                                            "\r\n\r\nプログラムの起動を中止します。"));
        QCOMPARE(first.state(), QProcess::Running); // the first instance is undisturbed

        // Killed without a chance to clean up, it leaves its lock file behind.
        first.kill();
        QVERIFY(first.waitForFinished());
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("lumivox.lock"))));
        QCOMPARE(start(dir.path()).first, 0);
    }

    void dataFolderFollowsTheProgramsPlace_data()
    {
        QTest::addColumn<QString>("program"); // the program's folder, and what else there is
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<bool>("dataBeside");
        QTest::addColumn<QString>("files"); // where its help is
        QTest::newRow("built tree, portable copy") << "bin" << QStringList{"bin/Help"} << true << "bin";
        QTest::newRow("installed") << "bin" << QStringList{"bin", "share/lumivox/Help"} << false
                                   << "share/lumivox";
        QTest::newRow("folder nobody may write") << "file/bin" << QStringList{} << false << "file/bin";
    }

    void dataFolderFollowsTheProgramsPlace()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, folders);
        QFETCH(bool, dataBeside);
        QFETCH(QString, files);
        QTemporaryDir root;
        for (const QString &folder : folders)
            QVERIFY(QDir(root.path()).mkpath(folder));
        QFile file(root.filePath(QStringLiteral("file"))); // a file, not a folder
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString appDir = root.filePath(program);
        const QString user = QStringLiteral("/home/pta/.local/share");
        QCOMPARE(dataFolderFor(appDir, user), dataBeside ? appDir : user + QStringLiteral("/lumivox"));
        QCOMPARE(programFilesDir(appDir), root.filePath(files));
    }

    void anInstalledProgramKeepsItsDataInTheUsersFolder()
    {
        QTemporaryDir prefix, home;
        const QString bin = prefix.filePath(QStringLiteral("bin"));
        const QString shipped = prefix.filePath(QStringLiteral("share/lumivox/empty/Pennora.db"));
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(prefix.filePath(QStringLiteral("share/lumivox/empty"))));
        QVERIFY(makeDatabase(shipped));
        qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
        const QString data = home.filePath(QStringLiteral("lumivox"));
        bool lockedThere = false;
        const auto factory = [&](AppContext &context) -> QWidget * {
            lockedThere = QFile::exists(data + QStringLiteral("/lumivox.lock"))
                          && context.databasePath() == data + QStringLiteral("/Pennora.db");
            auto *w = new QWidget;
            QTimer::singleShot(50, w, &QWidget::close);
            return w;
        };
        QCOMPARE(runLumivox(bin, factory), 0);
        QVERIFY(lockedThere);
        QVERIFY(QDir(bin).isEmpty());

        // What the user stored stays: the empty database is copied only once.
        QVERIFY(openSharedConnection(QStringLiteral("check"), data + QStringLiteral("/Pennora.db")));
        QVERIFY(execute(QSqlDatabase::database(QStringLiteral("check")),
                        {QStringLiteral("insert into T_メンバー values (1, '山田', 'ヤマダ', '様', '')")}));
        closeSharedConnection(QStringLiteral("check"));
        QCOMPARE(runLumivox(bin, factory), 0);
        QVERIFY(openSharedConnection(QStringLiteral("check"), data + QStringLiteral("/Pennora.db")));
        QCOMPARE(scalar(QSqlDatabase::database(QStringLiteral("check")), {QStringLiteral("select 名前 from T_メンバー")}),
                 QVariant(QStringLiteral("山田")));
        closeSharedConnection(QStringLiteral("check"));

        // Without either database the start fails and says where the data belongs.
        QVERIFY(QFile::remove(data + QStringLiteral("/Pennora.db")) && QFile::remove(shipped));
        const auto [code, shown] = start(bin);
        QCOMPARE(code, kExitStartFailed);
        QVERIFY2(shown.text.contains(QDir::toNativeSeparators(data)), qPrintable(shown.text));
        qunsetenv("XDG_DATA_HOME");
    }

    void aSecondStartReachesTheFirst()
    {
        QTemporaryDir dir;
        QThread thread; // the first program's event loop
        auto *first = new RunningInstance(dir.path());
        first->moveToThread(&thread);
        connect(&thread, &QThread::finished, first, &QObject::deleteLater);
        thread.start();
        bool listening = false;
        QMetaObject::invokeMethod(first, &RunningInstance::listen, Qt::BlockingQueuedConnection,
                                  &listening);
        QVERIFY(listening);
        QSignalSpy knocked(first, &RunningInstance::activationRequested);
        QVERIFY(RunningInstance(dir.path()).knock());
        QTRY_COMPARE(knocked.count(), 1);
        // Another data folder has another door.
        QTemporaryDir other;
        QVERIFY(!RunningInstance(other.path()).knock(200));
        thread.quit();
        thread.wait();
    }

    void sigtermClosesAsTheCloseBoxDoes()
    {
        QTemporaryDir dir;
        QProcess running;
        QVERIFY(startCopy(running, dir));
        QTest::qWait(500); // the main window is shown by then
        running.terminate(); // SIGTERM
        QVERIFY(running.waitForFinished(20000));
        QCOMPARE(running.exitStatus(), QProcess::NormalExit);
        QCOMPARE(running.exitCode(), 0);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumivox.lock"))));
        QFile settings(dir.filePath(QStringLiteral("lumivox.INI")));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        const QByteArray written = settings.readAll();
        QVERIFY(written.contains("[MenuMain]"));
        QVERIFY(written.contains("SpreadFontSize="));
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
