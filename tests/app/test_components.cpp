// The window components: the list grid, the tool set and the Enter key. (The
// keyword history is tested through the keyword filter of the member list.)
#include "app/enterkey.h"
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "db/tablemodel.h"
#include "support/testapp.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <utility>

using namespace lumivox;
using lumivox::test::TestApp;

namespace {

// The cell editor the grid shows (a closed one is hidden until it goes).
QLineEdit *openEditor(const SpreadGrid &grid)
{
    for (QLineEdit *e : grid.findChildren<QLineEdit *>()) {
        if (e->isVisible())
            return e;
    }
    return nullptr;
}

// Types text key by key, as a keyboard (or an input method committing one
// character at a time) does; QTest's own keyClicks knows only ASCII.
void type(QWidget *w, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// A grid bound to a table of the test's folder, as the windows bind their lists.
// (The table model is a base so that it outlives the grid.)
struct TableOf {
    explicit TableOf(TestApp &app) : table(app.db()) {}
    TableModel table;
};
struct BoundGrid : TableOf, SpreadGrid {
    BoundGrid(TestApp &app, const QString &name) : TableOf(app), opened(table.open(name)) { bind(&table); }
    bool opened;
};

} // namespace

class TestComponents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Widths in twips (15 a pixel at 96 DPI), 0 hiding; those kept in the
    // settings come back when above 0, and the key column stays hidden.
    void columnWidths()
    {
        TestApp app;
        BoundGrid grid(app, QStringLiteral("T_メンバー"));
        QVERIFY(grid.opened);
        QCOMPARE(grid.logicalDpiX(), 96);
        QSignalSpy userResized(&grid, &SpreadGrid::columnWidthsChanged);
        grid.setColWidthTwips(2, 1500);
        QCOMPARE(grid.columnWidth(1), 100);
        grid.setColWidthTwips(3, 1800);
        for (const char *kept : {"C1=900", "C2=1200.75", "C3=0", "C4=-30"})
            app.setSetting("S", QString::fromLatin1(kept).section(u'=', 0, 0), QString::fromLatin1(kept).section(u'=', 1));
        grid.restoreColumnWidths(app.iniPath(), QStringLiteral("S"));
        QVERIFY(grid.isColumnHidden(0));
        QCOMPARE(grid.colWidthTwips(1), 0);
        QCOMPARE(grid.colWidthTwips(2), 1200);
        QCOMPARE(grid.colWidthTwips(3), 1800);
        QVERIFY(grid.colWidthTwips(4) > 0);
        QCOMPARE(userResized.count(), 0); // the program's own widths are no change by the user
        grid.horizontalHeader()->resizeSection(2, 77); // as a drag on the header does
        QCOMPARE(userResized.count(), 1);
        grid.saveColumnWidths(app.iniPath(), QStringLiteral("T"));
        QCOMPARE(app.setting("T", "C1"), QStringLiteral("0"));
        QCOMPARE(app.settingLong("T", "C3"), 77 * 15);
        QVERIFY(app.settingLong("T", "C5") > 0);
        QCOMPARE(app.setting("T", "C6"), QString());
    }

    void blockCopyAndPasteThroughTheClipboard()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"), QStringLiteral("様"), QStringLiteral("y@example.jp"));
        app.addMember(2, QStringLiteral("伊藤"), QStringLiteral("イトウ"), QStringLiteral("さん"), QStringLiteral("i@example.jp"));
        app.addMember(3, QStringLiteral("上田"), QStringLiteral("ウエダ"), QStringLiteral("君"), QStringLiteral("u@example.jp"));
        BoundGrid grid(app, QStringLiteral("T_メンバー"));
        QVERIFY(grid.opened);
        QVERIFY(!grid.hasBlockSelection());
        grid.selectBlock(2, 1, 3, 2);
        QVERIFY(grid.hasBlockSelection());
        const SpreadGrid::Block b = grid.selectedBlock();
        QCOMPARE(b.firstRow, 1);
        QCOMPARE(b.lastRow, 2);
        QCOMPARE(b.lastCol, 3);
        grid.copyBlock();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("山田\tヤマダ\r\n伊藤\tイトウ\r\n"));

        // Pasting two rows at row 3 writes row 3 only: no row is added.
        grid.selectBlock(2, 3, 3, 3);
        QCOMPARE(grid.pasteBlock(), 2);
        QCOMPARE(grid.maxRows(), 3);
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 3);
        QCOMPARE(app.scalar(QStringLiteral("select 名前 || フリガナ from T_メンバー where MemberID = 3")).toString(),
                 QStringLiteral("山田ヤマダ"));
        // The key column is never written by a paste.
        QApplication::clipboard()->setText(QStringLiteral("77\tX"));
        grid.selectBlock(1, 1, 2, 1);
        grid.pasteBlock();
        QCOMPARE(app.scalar(QStringLiteral("select 名前 from T_メンバー where MemberID = 1")).toString(), QStringLiteral("X"));
        QCOMPARE(app.count(QStringLiteral("T_メンバー"), QStringLiteral("MemberID = 77")), 0);
        // A block is written whole or not at all: a refused second row keeps the first.
        QVERIFY(app.exec(QStringLiteral("create trigger refuse before update on T_メンバー when new.MemberID = 2 "
                                        "begin select raise(abort, 'refused'); end")));
        QApplication::clipboard()->setText(QStringLiteral("甲\r\n乙"));
        grid.selectBlock(2, 1, 2, 2);
        QCOMPARE(grid.pasteBlock(), 0);
        QCOMPARE(app.scalar(QStringLiteral("select 名前 from T_メンバー where MemberID = 1")).toString(), QStringLiteral("X"));
        QCOMPARE(grid.text(2, 1), QStringLiteral("X"));
    }

    // A list cell takes no more than its field holds, as the card's boxes do.
    void cellEditorTakesAtMostTheFieldSize()
    {
        TestApp app;
        app.addMembers({"山田", "長い名前をほかのプログラムで入れた"});
        BoundGrid grid(app, QStringLiteral("T_メンバー"));
        QVERIFY(grid.opened);
        grid.resize(600, 200);
        QVERIFY(test::showAndWait(&grid));
        // Cells are addressed from 1 (column, row); the status bar's hint follows
        // the field's declared size.
        QCOMPARE(QSize(grid.maxCols(), grid.maxRows()), QSize(5, 2));
        QCOMPARE(grid.inputHint(2, 1), QStringLiteral("入力範囲：10ﾊﾞｲﾄ以内の文字列"));
        QCOMPARE(grid.inputHint(5, 1), QStringLiteral("入力範囲：64ﾊﾞｲﾄ以内の文字列"));

        // Typing into 名前 (10 characters) starts the editor and fills it.
        const QString typed = QString(QStringLiteral("あいうえおかきくけこ")).repeated(5);
        grid.setActiveCell(2, 1);
        QCOMPARE(QPoint(grid.activeCol(), grid.activeRow()), QPoint(2, 1));
        grid.setFocus();
        type(&grid, typed.left(1));
        QLineEdit *editor = openEditor(grid);
        QVERIFY(editor);
        type(editor, typed.mid(1));
        QCOMPARE(editor->text().size(), 10);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(app.scalar(QStringLiteral("select 名前 from T_メンバー where MemberID = 1")).toString(),
                 typed.left(10));

        // E-Mail takes its 64.
        grid.setActiveCell(5, 1);
        QTest::keyClick(&grid, Qt::Key_A);
        QVERIFY(openEditor(grid));
        QTest::keyClicks(openEditor(grid), QString(79, u'a'));
        QTest::keyClick(openEditor(grid), Qt::Key_Return);
        QTRY_COMPARE(app.scalar(QStringLiteral("select [E-Mail] from T_メンバー where MemberID = 1")).toString(),
                 QString(64, u'a'));

        // A longer value stored by another program is not cut by merely
        // opening and leaving the cell.
        grid.setActiveCell(2, 2);
        grid.edit(grid.currentIndex());
        QVERIFY(openEditor(grid));
        QCOMPARE(openEditor(grid)->text(), QStringLiteral("長い名前をほかのプログラムで入れた"));
        QTest::keyClick(openEditor(grid), Qt::Key_Return);
        QTRY_VERIFY(!openEditor(grid));
        QCOMPARE(app.scalar(QStringLiteral("select 名前 from T_メンバー where MemberID = 2")).toString(),
                 QStringLiteral("長い名前をほかのプログラムで入れた"));
    }

    void fontSizeToolsAreExclusiveAndFollowTheStoredNumber_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("checked");
        QTest::addColumn<int>("points");
        QTest::newRow("最大") << 1 << 1 << 14;
        QTest::newRow("大") << 2 << 2 << 12;
        QTest::newRow("none stored") << 0 << 3 << 9;
        QTest::newRow("out of range") << 6 << 3 << 9;
        QTest::newRow("negative") << -1 << 3 << 9;
        QTest::newRow("小") << 4 << 4 << 8;
        QTest::newRow("最小") << 5 << 5 << 6;
    }

    void fontSizeToolsAreExclusiveAndFollowTheStoredNumber()
    {
        QFETCH(int, stored);
        QFETCH(int, checked);
        QFETCH(int, points);
        QMenuBar bar;
        QToolBar toolBar;
        ToolSet tools(&bar, &toolBar);
        tools.addMenu(QStringLiteral("ID_mnuDisp"), QStringLiteral("表示(&D)"));
        addFontSizeMenu(tools, QStringLiteral("ID_mnuDisp"), QStringLiteral("文字の大きさ"));
        checkFontSizeTool(tools, stored);
        QCOMPARE(tools.checkedNumber(QStringLiteral("ID_mnuFontSize"), 5), checked);
        for (int n = 1; n <= 5; ++n)
            QCOMPARE(tools.tool(QStringLiteral("ID_mnuFontSize%1").arg(n))->isChecked(), n == checked);
        QCOMPARE(fontPointsForSize(stored), points);
    }

    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("autoRepeat");
        QTest::addColumn<QString>("pressed");
        QTest::newRow("push button") << "push" << int(Qt::Key_Return) << false << "push";
        QTest::newRow("tool button, keypad Enter") << "tool" << int(Qt::Key_Enter) << false << "tool";
        QTest::newRow("held down: pressed once only") << "push" << int(Qt::Key_Return) << true << "";
        QTest::newRow("check box: not ticked, the default button") << "check" << int(Qt::Key_Return) << false << "ok";
    }
    void enterPressesTheFocusedButton()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, autoRepeat);
        QFETCH(QString, pressed);
        static bool installed = false; // as the start routine does, once
        if (!std::exchange(installed, true))
            installEnterPressesButton(*qobject_cast<QApplication *>(qApp));
        QDialog dialog;
        auto *layout = new QHBoxLayout(&dialog);
        QString seen;
        auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
        ok->setDefault(true);
        auto *push = new QPushButton(QStringLiteral("編集"), &dialog);
        push->setAutoDefault(false);
        auto *tool = new QToolButton(&dialog);
        tool->setFocusPolicy(Qt::StrongFocus);
        auto *check = new QCheckBox(&dialog);
        const QList<QAbstractButton *> buttons{ok, push, tool, check};
        for (QAbstractButton *b : buttons) {
            b->setObjectName(QStringList{"ok", "push", "tool", "check"}.at(buttons.indexOf(b)));
            layout->addWidget(b);
            connect(b, &QAbstractButton::clicked, &dialog, [&seen, b] { seen += b->objectName(); });
        }
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QWidget *target = dialog.findChild<QWidget *>(focus);
        target->setFocus();
        QKeyEvent press(QEvent::KeyPress, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier,
                        QStringLiteral("\r"), autoRepeat);
        QApplication::sendEvent(target, &press);
        QCOMPARE(seen, pressed);
        QVERIFY(!check->isChecked());
    }
};

QTEST_MAIN(TestComponents)
#include "test_components.moc"
