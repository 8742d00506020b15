// Where every window of the program appears, under a real window manager
// (run by with-window-manager.sh: Xvfb and openbox). A window the user moved
// comes back exactly there at each opening, its stored Top, Left, Width and
// Height do not drift, and a position saved on a monitor that is gone brings
// the window back on the screen.
#include "mainwindow/mainwindow.h"
#include "mail/sendoptionsdialog.h"
#include "mail/smtpsettingsdialog.h"
#include "notices/groupchooser.h"
#include "notices/noticeeditor.h"
#include "registers/groupfilterdialog.h"
#include "registers/groupregister.h"
#include "registers/keywordfilterdialog.h"
#include "registers/memberregister.h"
#include "reports/reportpreview.h"
#include "support/testapp.h"
#include "util/aboutdialog.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

using namespace lumivox;
using lumivox::test::TestApp;

namespace {

enum class Keeps { Geometry, Position, Nothing }; // Nothing: centred at every opening

struct Window {
    QString section;
    Keeps keeps;
    std::function<QWidget *(AppContext &)> make;
};

const QMap<QString, Window> &allWindows()
{
    static const ReportDocument groups(reportDefinition(ReportKind::arpGroup), {}, QDateTime::currentDateTime());
    static const QMap<QString, Window> all{
        {"MainWindow", {"MenuMain", Keeps::Geometry, [](AppContext &c) { return new MainWindow(c); }}},
        {"MemberRegister", {"InpDBmember", Keeps::Geometry, [](AppContext &c) { return new MemberRegister(c); }}},
        {"GroupRegister", {"InpDBGroup", Keeps::Geometry, [](AppContext &c) { return new GroupRegister(c); }}},
        {"NoticeEditor", {"InpNews", Keeps::Position, [](AppContext &c) { return new NoticeEditor(c); }}},
        {"NoticeGroupChooser",
         {"SelGroupforNews", Keeps::Position, [](AppContext &c) { return new NoticeGroupChooser(c); }}},
        {"MemberGroupChooser",
         {"SelGroupforMember", Keeps::Position, [](AppContext &c) { return new MemberGroupChooser(c); }}},
        {"KeywordFilterDialog",
         {"InpFilterKey", Keeps::Position, [](AppContext &c) { return new KeywordFilterDialog(c); }}},
        {"GroupFilterDialog",
         {"InpFilterGrp", Keeps::Position, [](AppContext &c) { return new GroupFilterDialog(c); }}},
        {"SmtpSettingsDialog", {"InpSMTP", Keeps::Position, [](AppContext &c) { return new SmtpSettingsDialog(c); }}},
        {"SendOptionsDialog", {"InpSubmit", Keeps::Position, [](AppContext &c) { return new SendOptionsDialog(c); }}},
        {"AboutDialog", {{}, Keeps::Nothing, [](AppContext &) { return new AboutDialog; }}},
        {"ReportPreview", {{}, Keeps::Nothing, [](AppContext &) { return new ReportPreview(groups); }}},
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
    if (!QTest::qWaitForWindowExposed(w))
        return false;
    if (!QTest::qWaitFor([w] { return w->frameGeometry() != w->geometry(); }, 5000))
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

struct Stored {
    QList<int> values; // Top, Left, Width, Height
    bool operator==(const Stored &) const = default;
};
Stored stored(const TestApp &app, const QString &section)
{
    Stored s;
    for (const char *key : {"Top", "Left", "Width", "Height"})
        s.values << app.settingLong(section, QLatin1String(key));
    return s;
}

} // namespace

class TestPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"), "needs an X server and window manager");
    }

    void comesBackWhereItWasLeft_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString &name : allWindows().keys())
            QTest::newRow(qPrintable(name)) << name;
    }

    // Moved (and sized) once, then opened and closed five times: the frame
    // comes back exactly where it was left, and what is stored stays the same.
    void comesBackWhereItWasLeft()
    {
        QFETCH(QString, name);
        const Window &window = allWindows()[name];
        TestApp app;
        QVERIFY(app.isValid());
        test::Answers answers; // messages a window may show are answered
        const QPoint target = screenArea().topLeft() + QPoint(137, 211);
        QPoint where;
        QSize size;
        Stored first;
        for (int opening = 0; opening < 6; ++opening) {
            std::unique_ptr<QWidget> w(window.make(app.context()));
            QVERIFY(showFramed(w.get()));
            const QRect frame = w->frameGeometry();
            QVERIFY2(screenArea().contains(frame.topLeft()), qPrintable(name));
            if (opening == 0 && window.keeps != Keeps::Nothing) {
                w->move(target);
                if (window.keeps == Keeps::Geometry)
                    w->resize(w->size() + QSize(40, 30));
                QTRY_COMPARE(w->frameGeometry().topLeft(), target);
                size = w->size();
                where = target;
            } else if (opening == 0) {
                where = frame.topLeft();
                size = w->size();
            } else {
                QCOMPARE(frame.topLeft(), where);
                QCOMPARE(w->size(), size);
            }
            w->close();
            w.reset();
            if (window.keeps == Keeps::Nothing)
                continue;
            if (opening == 0) {
                first = stored(app, window.section);
                const QPoint origin = QGuiApplication::primaryScreen()->geometry().topLeft();
                QCOMPARE(first.values[0], (target.y() - origin.y()) * 15); // twips at 96 DPI
                QCOMPARE(first.values[1], (target.x() - origin.x()) * 15);
            }
            QCOMPARE(stored(app, window.section), first);
        }
    }

    void offScreenComesBack_data() { comesBackWhereItWasLeft_data(); }

    // Saved on a monitor that is no longer there: back on the screen.
    void offScreenComesBack()
    {
        QFETCH(QString, name);
        const Window &window = allWindows()[name];
        if (window.keeps == Keeps::Nothing)
            QSKIP("keeps no position");
        TestApp app;
        test::Answers answers;
        app.setSetting(window.section, "Top", "300000");
        app.setSetting(window.section, "Left", "300000");
        std::unique_ptr<QWidget> w(window.make(app.context()));
        QVERIFY(showFramed(w.get()));
        const QRect frame = w->frameGeometry();
        QVERIFY2(screenArea().contains(frame.topLeft() + QPoint(10, 10)), qPrintable(name));
        QVERIFY2(screenArea().intersected(frame).width() >= std::min(frame.width(), 100), qPrintable(name));
    }
};

QTEST_MAIN(TestPlacement)
#include "test_placement.moc"
