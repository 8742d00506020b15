// The start of the program, timed from outside by bench_startup.sh:
//   bench_startup prepare DIR   makes DIR/Pennora.db with 999 notices (2 KB bodies),
//                               99 groups and 999 members with their links
//   bench_startup lumivox DIR   starts Lumivox on DIR as the program does and quits
//                               once the main window has painted its notice list
//   bench_startup bare          a bare Qt program that quits once its empty main
//                               window has painted: the yardstick
//   bench_startup bare-text     the same window showing a table of Japanese text
//                               (999 rows of four columns, made on the fly): what
//                               any program listing Japanese text pays (font set-up,
//                               CJK glyphs, a table view), the goal's yardstick
#include "app/japaneselocale.h"
#include "app/startup.h"
#include "db/database.h"
#include "db/makedatabase.h"
#include "mainwindow/mainwindow.h"

#include <QAbstractScrollArea>
#include <QAbstractTableModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QMainWindow>
#include <QSqlDatabase>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <memory>

using namespace lumivox;

namespace {

// With BENCH_TRACE set, the stages of the start are printed to stderr.
QElapsedTimer g_clock;
void stage(const char *name)
{
    static const bool trace = qEnvironmentVariableIsSet("BENCH_TRACE");
    if (trace) {
        timespec cpu{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
        std::fprintf(stderr, "%7.1f ms  (cpu %5.1f ms)  %s\n", g_clock.nsecsElapsed() / 1e6,
                     cpu.tv_sec * 1e3 + cpu.tv_nsec / 1e6, name);
    }
}

// Notes the main window's stages when tracing.
class StageWatch : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            stage("show");
        else if (event->type() == QEvent::Close)
            stage("close requested");
        return false;
    }
};

// Closes a window just after the first paint of the watched widget.
class CloseAfterFirstPaint : public QObject
{
public:
    explicit CloseAfterFirstPaint(QWidget *window) : QObject(window), m_window(window) {}

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            stage("first paint");
            QTimer::singleShot(0, m_window, [w = m_window] { w->close(); });
        }
        return false;
    }

private:
    QWidget *m_window;
    bool m_done = false;
};

// 999 rows of Japanese text in four columns, made as they are asked for.
class JapaneseTable : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 999; }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case 0:
            return QStringLiteral("お知らせ第%1号").arg(index.row() + 1);
        case 1:
            return QStringLiteral("保護者の皆様 来週の行事について，集合時間と持ち物をご確認ください。");
        case 2:
            return QStringLiteral("2026/04/01 09:00:00");
        default:
            return QStringLiteral("(未送信)");
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return QAbstractTableModel::headerData(section, orientation, role);
        return QStringList{QStringLiteral("見出し"), QStringLiteral("本文"), QStringLiteral("作成日時"),
                           QStringLiteral("送信日時")}
            .value(section);
    }
};

// About 2 KB of Japanese text in lines, different for every notice.
QString noticeBody(int id)
{
    QString body = QStringLiteral("保護者の皆様\r\n\r\nお知らせ第%1号です。\r\n").arg(id);
    const QString line = QStringLiteral("来週の行事について，集合時間と持ち物をご確認ください。");
    while (body.toUtf8().size() < 2048)
        body += line + QStringLiteral("（%1）\r\n").arg(body.size());
    return body;
}

int prepare(const QString &dir)
{
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/Pennora.db");
    QFile::remove(path);
    QString error;
    if (!makeDatabase(path, &error) || !openSharedConnection(QStringLiteral("prepare"), path, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QList<SqlStatement> rows;
    for (int g = 1; g <= 99; ++g)
        rows << SqlStatement{QStringLiteral("insert into T_グループ values (?, ?, ?)"),
                             {g, QStringLiteral("グループ%1").arg(g), QStringLiteral("グループ%1").arg(g)}};
    for (int m = 1; m <= 999; ++m) {
        rows << SqlStatement{QStringLiteral("insert into T_メンバー values (?, ?, ?, ?, ?)"),
                             {m, QStringLiteral("会員%1").arg(m), QStringLiteral("カイイン%1").arg(m),
                              QStringLiteral("様"), QStringLiteral("member%1@example.jp").arg(m)}};
        rows << SqlStatement{QStringLiteral("insert into T_メンバーの登録グループ情報 values (?, ?)"),
                             {m, m % 99 + 1}};
    }
    for (int n = 1; n <= 999; ++n) {
        rows << SqlStatement{QStringLiteral("insert into T_お知らせ values (?, ?, ?, ?, ?)"),
                             {n, QStringLiteral("お知らせ第%1号").arg(n), noticeBody(n),
                              QStringLiteral("2026/04/01 09:00:00"), QStringLiteral("(未送信)")}};
        for (int g = 0; g < 3; ++g)
            rows << SqlStatement{QStringLiteral("insert into T_お知らせに対する宛先情報 values (?, ?)"),
                                 {n, (n + g * 17) % 99 + 1}};
    }
    const bool ok = executeAll(QSqlDatabase::database(QStringLiteral("prepare")), rows, &error);
    closeSharedConnection(QStringLiteral("prepare"));
    if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    g_clock.start();
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("prepare") && argc > 2) {
        QCoreApplication core(argc, argv);
        return prepare(QString::fromLocal8Bit(argv[2]));
    }
    if (mode == QLatin1String("bare") || mode == QLatin1String("bare-text")) {
        QApplication app(argc, argv);
        stage("QApplication");
        QMainWindow window;
        window.resize(712, 464);
        if (mode == QLatin1String("bare-text")) {
            auto *table = new QTableView(&window);
            table->setModel(new JapaneseTable(table));
            window.setCentralWidget(table);
            table->viewport()->installEventFilter(new CloseAfterFirstPaint(&window));
        } else {
            window.installEventFilter(new CloseAfterFirstPaint(&window));
        }
        window.show();
        const int code = app.exec();
        stage("closed");
        return code;
    }
    if (mode == QLatin1String("lumivox") && argc > 2) {
        auto japanese = std::make_unique<JapaneseSystemLocale>(); // as main() does
        QApplication app(argc, argv);
        japanese.reset();
        stage("QApplication");
        prepareApplication(app);
        stage("prepareApplication");
        const int code = runLumivox(QString::fromLocal8Bit(argv[2]), [](AppContext &context) -> QWidget * {
            stage("connection open");
            auto *window = new MainWindow(context);
            stage("main window built");
            window->installEventFilter(new StageWatch(window));
            QObject::connect(window, &QObject::destroyed, [] { stage("main window destroyed"); });
            if (auto *list = window->findChild<QAbstractScrollArea *>(QStringLiteral("fpSpread1")))
                list->viewport()->installEventFilter(new CloseAfterFirstPaint(window));
            return window;
        });
        stage("closed");
        return code;
    }
    std::fprintf(stderr, "usage: bench_startup prepare DIR | lumivox DIR | bare | bare-text\n");
    return 2;
}
