// The settings file: reading rules and atomic writes.
#include "app/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace lumivox;

class TestSettings : public QObject
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
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
