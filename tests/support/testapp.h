#pragma once

#include "app/appcontext.h"
#include "app/messages.h"
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "db/database.h"
#include "db/worktables.h"
#include "app/keywordhistory.h"

#include <QAction>
#include <QDialog>
#include <QQueue>
#include <QSqlDatabase>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

namespace lumivox::test {

// The engine the tests' registers are on: SQLite, or PostgreSQL when the
// environment says LUMIVOX_TEST_ENGINE=postgresql (CTest runs the store tests
// both ways).
Engine testEngine();

// A new database holding the program's tables on a PostgreSQL server of the
// test program's own (pgserver.sh: initdb and pg_ctl in a temporary folder,
// started on first use, stopped and removed when the program ends). Its name is
// empty when there is no server (*error says why).
DatabaseSettings newServerDatabase(QString *error = nullptr);

// An application folder of the test's own: a temporary directory with a fresh
// Pennora.db made from schema.sql (or, on PostgreSQL, a fresh database of the
// test's own server), its own lumivox.INI path, the shared connection open on
// it and an empty keyword history. Nothing outside the temporary directory and
// that server is touched.
class TestApp
{
public:
    TestApp();
    ~TestApp();
    TestApp(const TestApp &) = delete;
    TestApp &operator=(const TestApp &) = delete;

    bool isValid() const { return m_valid; }
    AppContext &context() { return m_context; }
    QSqlDatabase db() const { return m_context.db(); }
    QString dir() const { return m_dir.path(); }
    QString iniPath() const { return m_context.iniPath(); }

    // This folder's settings file, read and written as the program does it.
    void setSetting(const QString &section, const QString &key, const QString &value) const;
    QString setting(const QString &section, const QString &key) const;
    std::int32_t settingLong(const QString &section, const QString &key) const;

    // Runs a statement (any statement when nothing is bound); fails the test
    // (QFAIL-style, returns false) when it does not run.
    bool exec(const QString &sql, const QVariantList &binds = {});
    QVariant scalar(const QString &sql, const QVariantList &binds = {});
    int count(const QString &table, const QString &where = {});
    // Takes a work table away from this connection, its own copy and the shared
    // one, so that what refills or reads it next fails.
    bool dropWorkTable(const QString &table);
    // Makes the database refuse every insert, update or delete (`operation`) on
    // a table with the reason "database is locked", as a locked file does.
    bool refuse(const QString &operation, const QString &table);

    // Sample data.
    void addGroup(int id, const QString &name, const QString &reading = {});
    void addMember(int id, const QString &name, const QString &reading = {},
                   const QString &honorific = QStringLiteral("様"), const QString &mail = {});
    void addNotice(int id, const QString &title, const QString &body = {},
                   const QString &created = QStringLiteral("2026/12/01 09:00:00"),
                   const QString &sent = QStringLiteral("(未送信)"));
    void link(const LinkTable &links, int key, int groupId);
    // Groups (or members) 1…N with these names, in that order; members as addMember makes them.
    void addGroups(const QStringList &names);
    void addMembers(const QStringList &names);
    // `key` (a member or a notice) linked to each of the groups, in that order.
    void link(const LinkTable &links, int key, std::initializer_list<int> groupIds);

private:
    QTemporaryDir m_dir;
    KeywordHistory m_filterKeys;
    AppContext m_context;
    bool m_valid = false;
};

// While it lives, the program's messages and modal dialogs are answered without
// being shown (through the hooks of app/messages.h), and every message is kept.
// A message with no planned answer gets its default button (OK when it has no
// other); a dialog with no planned work is closed as by its close box.
class Answers
{
public:
    Answers();
    ~Answers();
    Answers(const Answers &) = delete;
    Answers &operator=(const Answers &) = delete;

    // The answer of the next message: a standard button, or a custom button's index.
    void nextButton(QMessageBox::StandardButton button);
    void nextCustom(int index);
    // The work done on the next modal dialog (fill it, click cmdOk, …).
    void nextDialog(std::function<void(QDialog &)> work);

    QList<Message> messages; // every message shown, in order
    QString lastText() const { return messages.isEmpty() ? QString() : messages.last().text; }
    int dialogsRun = 0;      // modal dialogs opened
    int unplannedDialogs = 0; // of those, closed because no work was planned

private:
    QQueue<MessageAnswer> m_answers;
    QQueue<std::function<void(QDialog &)>> m_dialogs;
};

// A control of a window by its objectName; a missing one is reported (and null).
template <class T = QWidget>
T *child(QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

// The rows a query gives, each as its values joined by `separator`, Null as
// `null` (or the database's error as the only row).
QStringList queryRows(const QSqlDatabase &db, const QString &sql, QChar separator = u'|',
                      const QString &null = QStringLiteral("null"));

// A file's bytes (none when it cannot be read).
QByteArray fileContents(const QString &path);

// Shows a window and waits until it is on the screen; false if it never got there.
bool showAndWait(QWidget *window);

// Clicks a menu entry or toolbar button of a window's tool set by its ID.
template <class Window>
void clickTool(Window &window, const char *id)
{
    window.tools()->tool(QLatin1String(id))->trigger();
}
// Whether a tool (menu entry or toolbar button) of a window can be clicked.
template <class Window>
bool toolEnabled(Window *window, const char *id)
{
    return window->tools()->tool(QLatin1String(id))->isEnabled();
}

// Clicks a cell of a grid (1-based, as the grid counts) the way the user does:
// on a check box column this ticks or unticks the row.
void clickCell(SpreadGrid *grid, int col, int row);

} // namespace lumivox::test
