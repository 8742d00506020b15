// The window lifecycle (first showing, unloading), the refill guard, what a
// window layout keeps, and where a saved position may put a window. Placement
// under a real window manager is checked by test_placement.
#include "app/dialoglifecycle.h"
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "app/windowlayout.h"
#include "db/tablemodel.h"
#include "support/testapp.h"

#include <QMenuBar>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtTest>

using namespace lumivox;

namespace {

// A dialog that counts its load and save steps in counters that outlive it.
class CountingDialog : public QDialog
{
public:
    CountingDialog(int &loads, int &saves)
    {
        m_lifecycle.onFirstShow([&loads] { ++loads; });
        m_lifecycle.onUnload([&saves] { ++saves; });
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
        for (const char *how : {"accept", "reject", "closeBox", "escape", "destroy", "showAgain"})
            QTest::newRow(how) << QString::fromLatin1(how) << 1;
        QTest::newRow("never shown") << QString() << 0;
    }

    void loadAndSaveRunOnceHoweverTheWindowCloses()
    {
        QFETCH(QString, how);
        QFETCH(int, saves);
        int loads = 0;
        int saved = 0;
        auto dialog = std::make_unique<CountingDialog>(loads, saved);
        if (!how.isEmpty()) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        }
        if (how == QLatin1String("accept"))
            dialog->accept();
        else if (how == QLatin1String("reject"))
            dialog->reject();
        else if (how == QLatin1String("closeBox"))
            dialog->close();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else if (how == QLatin1String("showAgain")) {
            dialog->hide();
            dialog->show(); // not loaded again, and not unloaded again below
        }
        QCOMPARE(saved, how == QLatin1String("destroy") ? 0 : saves); // saved on closing …
        dialog.reset();                                                // … or on destruction
        QCOMPARE(loads, saves);
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
        // A primary screen of 1280 × 1024 and a second one right of it.
        QTest::newRow("on primary") << QPoint(100, 80) << s << QPoint(100, 80) << s;
        QTest::newRow("on second") << QPoint(1500, 200) << s << QPoint(1500, 200) << s;
        QTest::newRow("partly left") << QPoint(-250, 80) << s << QPoint(-250, 80) << s;
        QTest::newRow("title bar above") << QPoint(100, -40) << s << QPoint(440, 362) << s;
        QTest::newRow("monitor gone") << QPoint(20000, 20000) << s << QPoint(440, 362) << s;
        QTest::newRow("below second") << QPoint(1500, 1100) << s << QPoint(440, 362) << s;
        QTest::newRow("too big") << QPoint(10, 10) << QSize(3000, 2000) << QPoint(10, 10) << QSize(1280, 1024);
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

    // Everything a window keeps goes to its section when it unloads and comes
    // back the next time, before it is shown (geometry) or when its contents
    // are ready (pane, columns, font size).
    void aLayoutKeepsEveryPartOfTheWindow()
    {
        test::TestApp app;
        QVERIFY(app.isValid());
        app.addMember(1, QStringLiteral("山田"));
        app.setSetting("Test", "Top", "1500");
        app.setSetting("Test", "Left", "3000");
        app.setSetting("Test", "Width", "9000");
        app.setSetting("Test", "Height", "6000");
        app.setSetting("Test", "SpreadW", "2250");
        app.setSetting("Test", "C1", "900");     // the key column stays hidden
        app.setSetting("Test", "C2", "1500.75"); // read as 1500
        app.setSetting("Test", "C3", "0");       // 0 and below keep the design width
        app.setSetting("Test", "C4", "-30");
        app.setSetting("Test", "SpreadFontSize", "2");
        const QPoint origin = QGuiApplication::primaryScreen()->geometry().topLeft();
        for (int opening = 0; opening < 2; ++opening) {
            QDialog window;
            auto *splitter = new QSplitter(&window);
            (new QVBoxLayout(&window))->addWidget(splitter);
            TableModel members(app.db());
            QVERIFY(members.open(QStringLiteral("T_メンバー")));
            auto *grid = new SpreadGrid(splitter);
            splitter->addWidget(new QWidget(splitter));
            QMenuBar bar;
            QToolBar toolBar;
            ToolSet tools(&bar, &toolBar);
            tools.addMenu(QStringLiteral("ID_mnuDisp"), QStringLiteral("表示"));
            addFontSizeMenu(tools, QStringLiteral("ID_mnuDisp"), QStringLiteral("文字の大きさ"));

            WindowLayout layout(&window, app.context(), QStringLiteral("Test"), WindowLayout::Kind::Resizable);
            layout.keepPane(splitter);
            layout.keepColumns(grid);
            layout.keepFontSize(&tools);
            DialogLifecycle lifecycle(&window, &layout);
            QPoint atShow;
            lifecycle.onFirstShow([&] {
                atShow = window.pos();
                grid->bind(&members);
                grid->setColWidthTwips(3, 1800);
                grid->setColWidthTwips(4, 1200);
                layout.restorePane(splitter);
                layout.restoreColumns(grid);
                layout.restoreFontSize(tools);
            });
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            if (opening == 0) {
                QCOMPARE(atShow - origin, QPoint(200, 100));
                QCOMPARE(window.size(), QSize(600, 400));
                QCOMPARE(WindowLayout::paneTwips(splitter), 2250);
                QCOMPARE(grid->colWidthTwips(1), 0);
                QCOMPARE(grid->colWidthTwips(2), 1500);
                QCOMPARE(grid->colWidthTwips(3), 1800);
                QCOMPARE(grid->colWidthTwips(4), 1200);
                QCOMPARE(tools.checkedNumber(QStringLiteral("ID_mnuFontSize"), 5), 2);
                // The user moves and sizes things; all of it is kept.
                window.move(origin + QPoint(30, 40));
                window.resize(500, 350);
                WindowLayout::setPaneTwips(splitter, 3000);
                grid->setColWidthTwips(3, 2400);
                tools.tool(QStringLiteral("ID_mnuFontSize5"))->trigger();
            } else {
                QCOMPARE(window.frameGeometry().topLeft() - origin, QPoint(30, 40));
                QCOMPARE(window.size(), QSize(500, 350));
                QCOMPARE(WindowLayout::paneTwips(splitter), 3000);
                QCOMPARE(grid->colWidthTwips(3), 2400);
                QCOMPARE(tools.checkedNumber(QStringLiteral("ID_mnuFontSize"), 5), 5);
            }
            window.reject();
            QCOMPARE(app.settingLong("Test", "C1"), 0); // hidden is kept as 0
            QCOMPARE(app.setting("Test", "C6"), QString());
        }
        QCOMPARE(app.settingLong("Test", "Top"), 600);
        QCOMPARE(app.settingLong("Test", "Width"), 7500);
    }
};

QTEST_MAIN(TestWindowLayout)
#include "test_windowlayout.moc"
