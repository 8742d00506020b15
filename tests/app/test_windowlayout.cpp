// Window layout and lifecycle, under a real window manager (run by
// with-window-manager.sh: Xvfb and openbox; an offscreen platform has no frames
// and hides placement faults). Every window of the program, moved, sized and
// rearranged once, comes back exactly so at each of five openings, however it
// was closed, with nothing stored drifting; a position saved on a monitor that is
// gone brings the window back on the screen.
#include "app/windowlayout.h"
#include "mail/sendoptionsdialog.h"
#include "mail/smtpsettingsdialog.h"
#include "mainwindow/mainwindow.h"
#include "notices/groupchooser.h"
#include "notices/noticeeditor.h"
#include "registers/groupfilterdialog.h"
#include "registers/groupregister.h"
#include "registers/keywordfilterdialog.h"
#include "registers/memberregister.h"
#include "reports/reportpreview.h"
#include "support/testapp.h"
#include "util/aboutdialog.h"

#include <QHeaderView>
#include <QScreen>
#include <QSplitter>
#include <QtTest>

using namespace lumivox;
using lumivox::test::TestApp;

namespace {

enum Keeps { Nothing = 0, Position = 1, Size = 2, Pane = 4, Columns = 8, FontSize = 16 };

struct Window {
    QString section;
    int keeps;
    std::function<QWidget *(AppContext &)> make;
};

template <class W>
std::function<QWidget *(AppContext &)> make()
{
    return [](AppContext &context) { return new W(context); };
}

const QMap<QString, Window> &allWindows()
{
    static const ReportDocument groups(reportDefinition(ReportKind::arpGroup), {}, QDateTime::currentDateTime());
    const int resizable = Position | Size | Pane | Columns | FontSize;
    static const QMap<QString, Window> all{
        {"MainWindow", {"MenuMain", resizable, make<MainWindow>()}},
        {"MemberRegister", {"InpDBmember", resizable, make<MemberRegister>()}},
        {"GroupRegister", {"InpDBGroup", resizable, make<GroupRegister>()}},
        {"NoticeEditor", {"InpNews", Position | Size, [](AppContext &c) { return new NoticeEditor(c, Notice{}, {}); }}},
        {"NoticeGroupChooser", {"SelGroupforNews", Position | Columns,
                                [](AppContext &c) { return new NoticeGroupChooser(c, 1, QStringLiteral("総会")); }}},
        {"MemberGroupChooser", {"SelGroupforMember", Position | Columns, [](AppContext &c) {
                                    return new MemberGroupChooser(c, 1, QStringLiteral("山田"), QStringLiteral("様"));
                                }}},
        {"KeywordFilterDialog", {"InpFilterKey", Position, make<KeywordFilterDialog>()}},
        {"GroupFilterDialog", {"InpFilterGrp", Position | Columns, make<GroupFilterDialog>()}},
        {"SmtpSettingsDialog", {"InpSMTP", Position, make<SmtpSettingsDialog>()}},
        {"SendOptionsDialog", {"InpSubmit", Position, make<SendOptionsDialog>()}},
        // Centred at every opening.
        {"AboutDialog", {{}, Nothing, [](AppContext &) { return new AboutDialog; }}},
        {"ReportPreview", {{}, Nothing, [](AppContext &) { return new ReportPreview(groups); }}},
    };
    return all;
}

QRect screenArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Shows a window and waits until the window manager has framed and placed it
// and the frame has stood still for a moment.
bool showFramed(QWidget *w)
{
    w->show();
    if (!QTest::qWaitForWindowExposed(w)
        || !QTest::qWaitFor([w] { return w->frameGeometry() != w->geometry(); }, 5000))
        return false;
    QRect last;
    return QTest::qWaitFor(
        [&] {
            const bool still = w->frameGeometry() == last;
            last = w->frameGeometry();
            QTest::qWait(100);
            return still;
        },
        5000);
}

// What a window shows of its layout, and what its section stores.
struct Seen {
    QPoint frame;
    QSize size;
    int pane = 0;
    int column = 0;
    bool smallest = false;
    bool operator==(const Seen &) const = default;
};
QDebug operator<<(QDebug d, const Seen &s)
{
    return d << s.frame << s.size << s.pane << s.column << s.smallest;
}

Seen seen(QWidget *w)
{
    Seen s{w->frameGeometry().topLeft(), w->size()};
    if (auto *splitter = w->findChild<QSplitter *>(QStringLiteral("SSSplitter1")))
        s.pane = WindowLayout::paneTwips(splitter);
    if (auto *grid = w->findChild<SpreadGrid *>(QStringLiteral("fpSpread1")))
        s.column = grid->colWidthTwips(3);
    if (auto *tool = w->findChild<QAction *>(QStringLiteral("ID_mnuFontSize5")))
        s.smallest = tool->isChecked();
    return s;
}

QStringList stored(const TestApp &app, const QString &section)
{
    QStringList s;
    for (const char *key : {"Top", "Left", "Width", "Height", "SpreadW", "C3", "SpreadFontSize"})
        s << app.setting(section, QLatin1String(key));
    return s;
}

} // namespace

class TestWindowLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"), "needs an X server and window manager");
        QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInch(), 96.0); // 15 twips a pixel
    }

    void comesBackAsItWasLeft_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString &name : allWindows().keys())
            QTest::newRow(qPrintable(name)) << name;
    }

    void comesBackAsItWasLeft()
    {
        QFETCH(QString, name);
        const Window &window = allWindows()[name];
        TestApp app;
        QVERIFY(app.isValid());
        test::Answers answers; // messages a window may show are answered
        const QPoint target = screenArea().topLeft() + QPoint(137, 211);
        Seen left;
        QStringList first;
        for (int opening = 0; opening < 6; ++opening) {
            std::unique_ptr<QWidget> w(window.make(app.context()));
            QVERIFY(showFramed(w.get()));
            QVERIFY(screenArea().contains(w->frameGeometry()));
            if (opening == 0) {
                // The user moves and sizes the window, widens the list pane and a
                // column, and picks the smallest font.
                const Seen before = seen(w.get());
                if (window.keeps & Position) {
                    w->move(target);
                    QTRY_COMPARE(w->frameGeometry().topLeft(), target);
                }
                if (window.keeps & Size) {
                    const QSize size = w->size() + QSize(40, 30);
                    w->resize(size);
                    QTRY_COMPARE(w->size(), size);
                }
                if (window.keeps & Pane) {
                    auto *splitter = w->findChild<QSplitter *>(QStringLiteral("SSSplitter1"));
                    splitter->setSizes({splitter->sizes()[0] + 20, splitter->sizes()[1] - 20});
                }
                if (window.keeps & Columns) {
                    QHeaderView *header = w->findChild<SpreadGrid *>(QStringLiteral("fpSpread1"))->horizontalHeader();
                    header->resizeSection(2, header->sectionSize(2) + 20);
                }
                if (window.keeps & FontSize)
                    w->findChild<QAction *>(QStringLiteral("ID_mnuFontSize5"))->trigger();
                left = seen(w.get());
                QCOMPARE(left.pane != before.pane, bool(window.keeps & Pane));
                QCOMPARE(left.column != before.column, bool(window.keeps & Columns));
                QCOMPARE(left.smallest, bool(window.keeps & FontSize));
            } else {
                QCOMPARE(seen(w.get()), left);
            }
            // Closed another way each time: the close box, Esc, OK, or destroyed while shown.
            if (opening % 4 == 1)
                QTest::keyClick(w.get(), Qt::Key_Escape);
            else if (auto *dialog = qobject_cast<QDialog *>(w.get()); dialog && opening % 4 == 2)
                dialog->accept();
            if (opening % 4 != 3 && w->isVisible())
                w->close();
            w.reset();
            if (window.keeps == Nothing)
                continue;
            if (opening == 0) {
                first = stored(app, window.section);
                const QPoint origin = QGuiApplication::primaryScreen()->geometry().topLeft();
                QCOMPARE(first[0].toInt(), (target.y() - origin.y()) * 15);
                QCOMPARE(first[1].toInt(), (target.x() - origin.x()) * 15);
            }
            QCOMPARE(stored(app, window.section), first);
        }
        if (window.keeps != Nothing) {
            delete window.make(app.context()); // never shown: nothing of its own to keep
            QCOMPARE(stored(app, window.section), first);
        }
    }

    void offScreenComesBack_data() { comesBackAsItWasLeft_data(); }

    void offScreenComesBack()
    {
        QFETCH(QString, name);
        const Window &window = allWindows()[name];
        if (window.keeps == Nothing)
            QSKIP("keeps no position");
        TestApp app;
        test::Answers answers;
        app.setSetting(window.section, "Top", "300000");
        app.setSetting(window.section, "Left", "300000");
        std::unique_ptr<QWidget> w(window.make(app.context()));
        QVERIFY(showFramed(w.get()));
        const QRect frame = w->frameGeometry();
        QVERIFY(screenArea().contains(frame.topLeft() + QPoint(10, 10)));
        QVERIFY(screenArea().intersected(frame).width() >= std::min(frame.width(), 100));
    }

    // Where a saved frame may stand when there are several screens.
    void aWindowStaysWhereItsTitleBarCanBeTaken_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("placed");
        QTest::addColumn<QSize>("placedSize");
        const QSize s(400, 300);
        // A primary screen of 1280 × 1024 and a second one right of it.
        QTest::newRow("on second") << QPoint(1500, 200) << s << QPoint(1500, 200) << s;
        QTest::newRow("partly left") << QPoint(-250, 80) << s << QPoint(-250, 80) << s;
        QTest::newRow("title bar above") << QPoint(100, -40) << s << QPoint(440, 362) << s;
        QTest::newRow("below second") << QPoint(1500, 1100) << s << QPoint(440, 362) << s;
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
};

QTEST_MAIN(TestWindowLayout)
#include "test_windowlayout.moc"
