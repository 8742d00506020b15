// Names and readings typed through a real input method (IBus or fcitx5, with
// Mozc) into the name boxes of the registers, also when the focus moves while a
// conversion is still open. Runs inside imesession.sh, which starts the desktop
// and the input method; keys and clicks reach the window through xdotool.
#include "app/toolset.h"
#include "registers/groupregister.h"
#include "registers/memberregister.h"
#include "support/testapp.h"

#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

using namespace lumivox;

namespace {

// Runs xdotool with these arguments, the window working on meanwhile as it
// does while a user types.
bool xdo(const QString &args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args.split(u' '));
    if (!p.waitForStarted(5000))
        return false;
    for (int waited = 0; p.state() != QProcess::NotRunning && waited < 20000; waited += 10)
        QTest::qWait(10);
    return p.state() == QProcess::NotRunning && p.exitCode() == 0;
}

bool clickOn(QWidget *w)
{
    const QPoint at = w->mapToGlobal(w->rect().center());
    return xdo(QStringLiteral("mousemove %1 %2 click 1").arg(at.x()).arg(at.y()));
}

// Romaji typed and converted with Space; the conversion stays open.
bool typeAndConvert(const QString &romaji)
{
    return xdo(QStringLiteral("type --delay 40 ") + romaji) && xdo(QStringLiteral("key space"));
}

// What the input method shows in a box before it is confirmed.
class PreeditSpy : public QObject
{
public:
    QString preedit;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::InputMethod)
            preedit = static_cast<QInputMethodEvent *>(event)->preeditString();
        return false;
    }
};

// An input method takes the keys of a window only once it has heard of the
// window: until then an "a" typed stays an "a" instead of showing as あ.
bool waitForInputMethod(QLineEdit *box, const PreeditSpy &spy)
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        box->clear();
        if (!xdo(QStringLiteral("type a")))
            return false;
        if (QTest::qWaitFor([&] { return spy.preedit == QStringLiteral("あ"); }, 1000)) {
            return xdo(QStringLiteral("key BackSpace"))
                   && QTest::qWaitFor([&] { return spy.preedit.isEmpty(); }, 5000)
                   && box->text().isEmpty();
        }
    }
    return false;
}

} // namespace

class TestIme : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY2(!qEnvironmentVariableIsEmpty("QT_IM_MODULE"), "run through imesession.sh");
    }

    void focusMovesDuringConversion_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("action");
        for (const char *which : {"member", "group"}) {
            for (const char *action : {"Enter", "reading box", "new button", "new tool", "Alt+N",
                                       "Alt+N at once", "close"})
                QTest::addRow("%s, %s", which, action) << which << action;
        }
    }

    // Record 1 gets 山田 and its reading; then, with the conversion of 田中 still
    // open, the focus moves. Nothing may arrive twice, and a new record starts
    // with its own defaults. Typing on afterwards shows where the keyboard is,
    // and comes after anything the input method still had to send.
    void focusMovesDuringConversion()
    {
        QFETCH(QString, which);
        QFETCH(QString, action);
        test::TestApp app;
        const bool member = which == QLatin1String("member");
        member ? app.addMember(1, QString()) : app.addGroup(1, QString(), QString());
        std::unique_ptr<RegisterWindow> window(member ? static_cast<RegisterWindow *>(new MemberRegister(app.context()))
                                                      : new GroupRegister(app.context()));
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const auto counter = [&] { return test::child<QLabel>(window.get(), "lblRecord")->text(); };
        auto *name = test::child<QLineEdit>(window.get(), "txtName");
        auto *reading = test::child<QLineEdit>(window.get(), "txtFurigana");
        PreeditSpy spy;
        name->installEventFilter(&spy);

        QVERIFY(clickOn(name));
        QTRY_VERIFY(name->hasFocus());
        QVERIFY2(waitForInputMethod(name, spy), "typing does not reach the input method");
        QVERIFY(typeAndConvert(QStringLiteral("yamada")));
        QTRY_COMPARE(spy.preedit, QStringLiteral("山田"));
        QVERIFY(xdo(QStringLiteral("key Return")));
        QTRY_COMPARE(name->text(), QStringLiteral("山田"));
        QCOMPARE(reading->text(), QStringLiteral("ヤマダ"));
        QVERIFY(typeAndConvert(QStringLiteral("tanaka")));
        QTRY_COMPARE(spy.preedit, QStringLiteral("田中"));

        bool added = action.startsWith(QLatin1String("new ")) || action == QLatin1String("Alt+N");
        QLineEdit *typedOn = name;
        if (action == QLatin1String("Enter")) {
            QVERIFY(xdo(QStringLiteral("key Return")));
        } else if (action == QLatin1String("reading box")) {
            QVERIFY(clickOn(reading));
            typedOn = reading;
        } else if (action == QLatin1String("new button")) {
            QVERIFY(clickOn(test::child<QPushButton>(window.get(), "cmdAdd")));
        } else if (action == QLatin1String("new tool")) {
            auto *bar = window->findChild<QToolBar *>();
            QVERIFY(clickOn(bar->widgetForAction(window->tools()->tool(QStringLiteral("ID_EditAdd")))));
        } else if (action == QLatin1String("Alt+N")) {
            // Alt held down as a hand does it, then N.
            QVERIFY(xdo(QStringLiteral("keydown alt")));
            QTest::qWait(150);
            QVERIFY(xdo(QStringLiteral("key n")) && xdo(QStringLiteral("keyup alt")));
        } else if (action == QLatin1String("Alt+N at once")) {
            // Alt and N reach the input method together: either the window gets
            // Alt+N, or the input method has taken the N and the keyboard stays.
            QVERIFY(xdo(QStringLiteral("key alt+n")));
            QTest::qWait(500);
            added = counter() == QLatin1String("(2/2)");
        } else {
            window->close();
        }

        QString name1 = QStringLiteral("山田田中"), reading1 = QStringLiteral("ヤマダタナカ");
        if (action != QLatin1String("close")) {
            QTRY_COMPARE(counter(), QStringLiteral("(%1/%1)").arg(added ? 2 : 1));
            QTRY_VERIFY(typedOn->hasFocus());
            QVERIFY(typeAndConvert(QStringLiteral("tarou")));
            QVERIFY(xdo(QStringLiteral("key Return")));
            if (typedOn == reading) {
                reading1 += QStringLiteral("太郎");
            } else if (!added) {
                name1 += QStringLiteral("太郎");
                reading1 += QStringLiteral("タロウ");
            }
            QTRY_COMPARE(typedOn->text(), added ? QStringLiteral("太郎")
                                                : typedOn == reading ? reading1 : name1);
            window->close();
        }

        const QString select = member ? QStringLiteral("select 名前 || '/' || フリガナ from T_メンバー where MemberID = ?")
                                      : QStringLiteral("select グループ名称 || '/' || フリガナ from T_グループ where GroupID = ?");
        const auto stored = [&](int id) { return app.scalar(select, {id}).toString(); };
        QCOMPARE(app.count(member ? QStringLiteral("T_メンバー") : QStringLiteral("T_グループ")), added ? 2 : 1);
        QCOMPARE(stored(1), name1 + u'/' + reading1);
        if (added)
            QCOMPARE(stored(2), QStringLiteral("太郎/タロウ")); // typing replaced the offered name
    }
};

QTEST_MAIN(TestIme)
#include "test_ime.moc"
