// The about box: its version line, and ｼｽﾃﾑ情報 started through the shell
// launcher. (Help pages and the web page opened through the desktop are the
// main window's tests.)
#include "support/testapp.h"
#include "util/aboutdialog.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace lumivox;

namespace {

// Writes an executable shell script.
bool writeScript(const QString &path, const QByteArray &body)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("#!/bin/sh\n" + body);
    f.close();
    return f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}

} // namespace

class TestUtil : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionLine_data()
    {
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("line");
        QTest::newRow("0") << 0 << "Version 1.1.000(2010/03/17)";
        QTest::newRow("7") << 7 << "Version 1.1.007(2010/03/17)";
        QTest::newRow("123") << 123 << "Version 1.1.123(2010/03/17)";
        QTest::newRow("1234") << 1234 << "Version 1.1.1234(2010/03/17)";
    }

    void versionLine()
    {
        QFETCH(int, revision);
        QFETCH(QString, line);
        QCOMPARE(aboutVersionLine(1, 1, revision), line);
    }

    // ｼｽﾃﾑ情報 starts the first tool found on PATH, or says there is none.
    void systemInformation_data()
    {
        QTest::addColumn<bool>("tools");
        QTest::newRow("no tool") << false;
        QTest::newRow("two tools") << true;
    }

    void systemInformation()
    {
        QFETCH(bool, tools);
        QTemporaryDir bin;
        const QString marker = bin.filePath(QStringLiteral("started"));
        for (const char *tool : {"gnome-system-monitor", "hardinfo"})
            QVERIFY(!tools || writeScript(bin.filePath(QLatin1String(tool)), "echo " + QByteArray(tool) + " > '" + marker.toLocal8Bit() + "'\n"));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit()); // only this folder
        QCOMPARE(findSystemInfoTool(), tools ? bin.filePath(QStringLiteral("hardinfo")) : QString());
        AboutDialog about;
        QVERIFY(test::showAndWait(&about));
        test::Answers answers;
        about.findChild<QPushButton *>(QStringLiteral("cmdSysInfo"))->click();
        if (tools)
            QTRY_COMPARE(readAll(marker), QByteArray("hardinfo"));
        QCOMPARE(answers.messages.size(), tools ? 0 : 1);
        QCOMPARE(answers.lastText(), tools ? QString() : QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
        QVERIFY(about.isVisible());
        qputenv("PATH", path);
    }
};

QTEST_MAIN(TestUtil)
#include "test_util.moc"
