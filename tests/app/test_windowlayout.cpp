// The window lifecycle (first showing, unloading), the refill guard, and where
// a saved position may put a window. Placement under a real window manager is
// checked by test_placement.
#include "app/dialoglifecycle.h"
#include "app/windowlayout.h"
#include "support/testapp.h"

#include <QDialog>
#include <QKeyEvent>
#include <QtTest>

using namespace lumivox;

namespace {

// A dialog that counts its load and save steps.
class CountingDialog : public QDialog
{
public:
    int loads = 0;
    int saves = 0;
    int *savesAfterDeath = nullptr;

    CountingDialog()
    {
        m_lifecycle.onFirstShow([this] { ++loads; });
        m_lifecycle.onUnload([this] {
            ++saves;
            if (savesAfterDeath)
                ++*savesAfterDeath;
        });
    }

private:
    DialogLifecycle m_lifecycle{this};
};

} // namespace

class TestWindowLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loadAndSaveRunOnceHoweverTheWindowCloses_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("saves");
        for (const char *how : {"accept", "reject", "closeBox", "escape", "destroy"})
            QTest::newRow(how) << QString::fromLatin1(how) << 1;
        QTest::newRow("neverShown") << QStringLiteral("neverShown") << 0;
    }

    void loadAndSaveRunOnceHoweverTheWindowCloses()
    {
        QFETCH(QString, how);
        QFETCH(int, saves);
        int saved = 0;
        auto *dialog = new CountingDialog;
        dialog->savesAfterDeath = &saved;
        if (how != QLatin1String("neverShown")) {
            dialog->show();
            dialog->hide();
            dialog->show(); // a window shown again is not loaded again
            QCOMPARE(dialog->loads, 1);
            QCOMPARE(saved, 1); // … but it was unloaded when it first went
            saved = 0;
            delete dialog;
            dialog = new CountingDialog;
            dialog->savesAfterDeath = &saved;
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
        }
        if (how == QLatin1String("accept"))
            dialog->accept();
        else if (how == QLatin1String("reject"))
            dialog->reject();
        else if (how == QLatin1String("closeBox"))
            dialog->close();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(dialog, Qt::Key_Escape);
        delete dialog;
        QCOMPARE(saved, saves);
    }

    void refillGuardNestsAndClearsOnTheWayOut()
    {
        RefillGuard refilling;
        QVERIFY(!refilling);
        {
            const RefillGuard::Scope outer(refilling);
            {
                const RefillGuard::Scope inner(refilling);
                QVERIFY(refilling);
            }
            QVERIFY(refilling);
        }
        QVERIFY(!refilling);
        try {
            const RefillGuard::Scope failing(refilling);
            throw 1;
        } catch (int) {
        }
        QVERIFY(!refilling.isActive());
    }

    void aWindowStaysWhereItsTitleBarCanBeTaken_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("placed");
        QTest::addColumn<QSize>("placedSize");
        const QSize s(400, 300);
        // Screens: a primary of 1280 × 1024 and a second one right of it.
        QTest::newRow("on primary") << QPoint(100, 80) << s << QPoint(100, 80) << s;
        QTest::newRow("on second") << QPoint(1500, 200) << s << QPoint(1500, 200) << s;
        QTest::newRow("partly left") << QPoint(-250, 80) << s << QPoint(-250, 80) << s;
        QTest::newRow("title bar above") << QPoint(100, -40) << s << QPoint(440, 362) << s;
        QTest::newRow("monitor gone") << QPoint(20000, 20000) << s << QPoint(440, 362) << s;
        QTest::newRow("below second") << QPoint(1500, 1100) << s << QPoint(440, 362) << s;
        QTest::newRow("too big") << QPoint(10, 10) << QSize(3000, 2000) << QPoint(10, 10)
                                 << QSize(1280, 1024);
        QTest::newRow("too big, gone") << QPoint(9000, 10) << QSize(3000, 2000) << QPoint(0, 0)
                                       << QSize(1280, 1024);
    }

    void aWindowStaysWhereItsTitleBarCanBeTaken()
    {
        QFETCH(QPoint, at);
        QFETCH(QSize, size);
        QFETCH(QPoint, placed);
        QFETCH(QSize, placedSize);
        const auto p = WindowLayout::keepOnScreen(at, size, {QRect(0, 0, 1280, 1024), QRect(1280, 0, 1024, 768)});
        QCOMPARE(p.frameTopLeft, placed);
        QCOMPARE(p.size, placedSize);
    }

    // The lifecycle given a layout restores before the window appears and
    // writes every part the window keeps when it goes.
    void aLayoutIsRestoredBeforeShowingAndSavedOnUnload()
    {
        test::TestApp app;
        QVERIFY(app.isValid());
        app.setSetting("InpTest", "Top", "1500");
        app.setSetting("InpTest", "Left", "3000");
        app.setSetting("InpTest", "Width", "6000");
        app.setSetting("InpTest", "Height", "4500");
        {
            QDialog window;
            WindowLayout layout(&window, app.context(), "InpTest", WindowLayout::Kind::Resizable);
            DialogLifecycle lifecycle(&window, &layout);
            QPoint seenAtShow;
            lifecycle.onFirstShow([&] { seenAtShow = window.pos(); });
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            const QPoint origin = QGuiApplication::primaryScreen()->geometry().topLeft();
            QCOMPARE(seenAtShow - origin, QPoint(twipsToPxX(3000, &window), twipsToPxY(1500, &window)));
            QCOMPARE(window.size(), QSize(twipsToPxX(6000, &window), twipsToPxY(4500, &window)));
            window.move(origin + QPoint(30, 40));
            window.resize(500, 350);
            window.reject();
        }
        QCOMPARE(app.settingLong("InpTest", "Top"), 600);
        QCOMPARE(app.settingLong("InpTest", "Left"), 450);
        QCOMPARE(app.settingLong("InpTest", "Width"), 7500);
        QCOMPARE(app.settingLong("InpTest", "Height"), 5250);
    }
};

QTEST_MAIN(TestWindowLayout)
#include "test_windowlayout.moc"
