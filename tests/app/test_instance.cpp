// One running program per data folder: a second start knocks on the first's
// door, and a signal to end closes the program as its close box does.
#include "app/runninginstance.h"
#include "support/testapp.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace lumivox;

class TestInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        const QString program = qEnvironmentVariable("LUMIVOX_BIN_DIR") + QStringLiteral("/lumivox");
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("lumivox"));
        QVERIFY(QFile::copy(program, copy));
        QVERIFY(test::makeTestDatabase(dir.filePath(QStringLiteral("Pennora.db"))));
        QProcess running;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        running.setProcessEnvironment(env);
        running.start(copy, {});
        QVERIFY(running.waitForStarted());
        const QString ini = dir.filePath(QStringLiteral("lumivox.INI"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("lumivox.lock"))), 20000);
        QTest::qWait(500); // the main window is shown by then
        running.terminate(); // SIGTERM
        QVERIFY(running.waitForFinished(20000));
        QCOMPARE(running.exitStatus(), QProcess::NormalExit);
        QCOMPARE(running.exitCode(), 0);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumivox.lock"))));
        QFile settings(ini);
        QVERIFY(settings.open(QIODevice::ReadOnly));
        const QByteArray written = settings.readAll();
        QVERIFY(written.contains("[MenuMain]"));
        QVERIFY(written.contains("SpreadFontSize="));
    }
};

QTEST_MAIN(TestInstance)
#include "test_instance.moc"
