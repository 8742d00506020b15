// The settings file: reading rules, atomic writes, and the placement rule that
// every dialog shares.
#include "app/placement.h"
#include "app/settingsfile.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
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

private Q_SLOTS:
    void init() { QFile::remove(ini()); }

    void integerReadingRules()
    {
        writeFile("[MenuMain]\r\nC2=12.75\r\nTop=-300\r\nLeft=abc\r\nWidth= 42 \r\nHeight=7px\r\n"
                  "Big=99999999999\r\n");
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "C2"), 12);
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Top"), -300);
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Left"), 0);
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Width"), 42);
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Height"), 7);
        QVERIFY(m_profile.GetValueLong(ini(), "MenuMain", "Big") > 0);
    }

    void missingFileSectionOrKeyReadAsZero()
    {
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Top"), 0);
        QCOMPARE(m_profile.GetValueString(ini(), "MenuMain", "Top"), QString());
        writeFile("[MenuMain]\nTop=5\n");
        QCOMPARE(m_profile.GetValueLong(ini(), "InpNews", "Top"), 0);
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Left"), 0);
    }

    void namesMatchWithoutRegardToCase()
    {
        writeFile("[InpDBmember]\nSpreadW=3000\n[Other]\nspreadw=1\n");
        QCOMPARE(m_profile.GetValueLong(ini(), "INPDBMEMBER", "spreadW"), 3000);
        m_profile.SetValueString(ini(), "inpdbMember", "SPREADW", "4000");
        QCOMPARE(m_profile.GetValueLong(ini(), "InpDBmember", "SpreadW"), 4000);
        QCOMPARE(m_profile.GetValueLong(ini(), "Other", "SpreadW"), 1);
        // The key was replaced in place, not added a second time.
        QFile f(ini());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).count(QStringLiteral("=4000")), 1);
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

    void firstWriteCreatesTheFileAndKeepsOtherSections()
    {
        QVERIFY(!QFile::exists(ini()));
        QVERIFY(m_profile.SetValueString(ini(), "MenuMain", "Top", "150") != 0);
        QVERIFY(QFile::exists(ini()));
        m_profile.SetValueString(ini(), "InpNews", "Top", "30");
        m_profile.SetValueString(ini(), "MenuMain", "Left", "60");
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Top"), 150);
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "Left"), 60);
        QCOMPARE(m_profile.GetValueLong(ini(), "InpNews", "Top"), 30);
        // A value with a fraction is stored as written and read as its whole part.
        m_profile.SetValueString(ini(), "MenuMain", "C3", "8.5");
        QCOMPARE(m_profile.GetValueString(ini(), "MenuMain", "C3"), QStringLiteral("8.5"));
        QCOMPARE(m_profile.GetValueLong(ini(), "MenuMain", "C3"), 8);
    }

    void aWriteIntoAnUnwritableFolderChangesNothing()
    {
        const QString missing = m_dir.filePath(QStringLiteral("no/such/folder/lumivox.INI"));
        QCOMPARE(m_profile.SetValueString(missing, "S", "K", "1"), std::int16_t(0));
        QCOMPARE(m_profile.GetValueLong(missing, "S", "K"), 0);
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

    void writesLeaveNoTemporaryFilesBehind()
    {
        for (int i = 0; i < 20; ++i)
            m_profile.SetValueString(ini(), "S", QStringLiteral("K%1").arg(i), QString::number(i));
        const QStringList files = QDir(m_dir.path()).entryList(QDir::Files);
        QCOMPARE(files, QStringList{QStringLiteral("lumivox.INI")});
        QCOMPARE(m_profile.GetValueLong(ini(), "S", "K19"), 19);
    }

    void writingTheStoredValueAgainLeavesTheFileAlone()
    {
        writeFile("[S]\nK=1\n"); // LF lines: a rewrite would give CR LF
        QVERIFY(m_profile.SetValueString(ini(), "S", "K", "1") != 0);
        QFile f(ini());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[S]\nK=1\n"));
        f.close();
        QVERIFY(m_profile.SetValueString(ini(), "S", "K", "2") != 0);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[S]\r\nK=2\r\n"));
    }

    void dialogEdgeRule()
    {
        QCOMPARE(dialogEdge(500, 10000, 3000), 500);   // a saved edge of 1 or more is kept
        QCOMPARE(dialogEdge(0, 10000, 3000), 3500);    // otherwise centred
        QCOMPARE(dialogEdge(-300, 10001, 3000), 3500); // whole twips
        QCOMPARE(dialogEdge(0, 3000, 5000), 0);        // never negative
    }

    void dialogTopZeroLeft500IsCentredVertically()
    {
        SettingsFile().SetValueString(ini(), "InpNews", "Top", "0");
        SettingsFile().SetValueString(ini(), "InpNews", "Left", "500");
        QDialog dialog;
        dialog.resize(300, 200);
        placeDialog(&dialog, ini(), "InpNews");
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(dialog.pos().x() - screen.left(), twipsToPxX(500, &dialog));
        const int expectedTop = twipsToPxY(
            dialogEdge(0, pxToTwipsY(screen.height(), &dialog), pxToTwipsY(200, &dialog)), &dialog);
        QCOMPARE(dialog.pos().y() - screen.top(), expectedTop);

        dialog.move(screen.left() + 90, screen.top() + 45);
        saveDialogPosition(&dialog, ini(), "InpNews");
        QCOMPARE(SettingsFile().GetValueLong(ini(), "InpNews", "Left"), pxToTwipsX(90, &dialog));
        QCOMPARE(SettingsFile().GetValueLong(ini(), "InpNews", "Top"), pxToTwipsY(45, &dialog));
    }

    // The settings keep a resizable window's frame position and its own size.
    // A window restored before it is shown has no frame yet; had the frame gone
    // into Width and Height, every start would add the title bar once more.
    void windowGeometryLeavesTheFrameOut_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::newRow("96") << 96;
        QTest::newRow("120") << 120;
        QTest::newRow("110") << 110;
        QTest::newRow("144") << 144;
    }

    void windowGeometryLeavesTheFrameOut()
    {
        QFETCH(int, dpi);
        const QPoint screen(1280, 0); // a second screen right of the first
        const QRect inner(1280 + 204, 131, 777, 513);
        const QRect frame = inner.adjusted(-4, -30, 4, 4); // borders and a title bar
        const SavedGeometry saved = geometryToSave(frame, inner, screen, dpi, dpi);
        QCOMPARE(saved.top, 101 * 1440 / dpi);
        QCOMPARE(saved.left, 200 * 1440 / dpi);
        QCOMPARE(saved.width, 777 * 1440 / dpi);
        QCOMPARE(saved.height, 513 * 1440 / dpi);

        // Restored, then saved again with the same frame, several starts over:
        // nothing grows and nothing moves.
        RestoredGeometry r = geometryToRestore(saved, screen, dpi, dpi);
        for (int start = 0; start < 5; ++start) {
            QCOMPARE(r.frameTopLeft, frame.topLeft());
            QCOMPARE(r.size, inner.size());
            const QRect shownInner(r.frameTopLeft + QPoint(4, 30), r.size);
            r = geometryToRestore(geometryToSave(shownInner.adjusted(-4, -30, 4, 4), shownInner,
                                                 screen, dpi, dpi),
                                  screen, dpi, dpi);
        }

        // A window partly left of its screen comes back where it was.
        const QRect offLeft(1280 - 37, 40, 300, 200);
        r = geometryToRestore(geometryToSave(offLeft, offLeft, screen, dpi, dpi), screen, dpi, dpi);
        QCOMPARE(r.frameTopLeft, offLeft.topLeft());
        // No saved size: the window keeps its own.
        QVERIFY(geometryToRestore({300, 300, 0, 0}, screen, dpi, dpi).size.isEmpty());
    }

    void savedWindowComesBackAtTheSameSizeAndPlace()
    {
        QWidget first;
        first.resize(640, 410);
        first.move(first.screen()->geometry().topLeft() + QPoint(120, 75));
        first.show();
        QVERIFY(QTest::qWaitForWindowExposed(&first));
        saveWindowGeometry(&first, ini(), "MenuMain");
        QCOMPARE(SettingsFile().GetValueLong(ini(), "MenuMain", "Width"), pxToTwipsX(640, &first));

        // The next start restores before the window is shown, then shows it.
        QWidget next;
        next.resize(300, 200); // its design size
        QVERIFY(restoreWindowGeometry(&next, ini(), "MenuMain"));
        next.show();
        QVERIFY(QTest::qWaitForWindowExposed(&next));
        QCOMPARE(next.size(), first.size());
        QCOMPARE(next.frameGeometry().topLeft(), first.frameGeometry().topLeft());

        // A saved Top below 1 leaves the window where it is.
        SettingsFile().SetValueString(ini(), "MenuMain", "Top", "0");
        QWidget untouched;
        untouched.resize(300, 200);
        QVERIFY(!restoreWindowGeometry(&untouched, ini(), "MenuMain"));
        QCOMPARE(untouched.size(), QSize(300, 200));
    }

    void twipsAt96Dpi()
    {
        QWidget w;
        if (w.logicalDpiX() != 96)
            QSKIP("the screen is not at 96 DPI");
        QCOMPARE(pxToTwipsX(100, &w), 1500);
        QCOMPARE(twipsToPxX(1500, &w), 100);
    }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
