// The member register on 999 members and 99 groups: the time from opening the
// window to its painted list, and the time of a keyword filter until the list is
// painted again, repeated, the first (cold) run shown apart. The same register
// is then measured on a PostgreSQL server of the benchmark's own over the
// loopback (started by the tests' tests/support/pgserver.sh), and the medians
// compared.
// Usage: bench_registers [runs]
#include "app/appcontext.h"
#include "app/spreadgrid.h"
#include "app/startup.h"
#include "db/database.h"
#include "db/makedatabase.h"
#include "app/keywordhistory.h"
#include "registers/memberregister.h"
#include "paintwatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace lumivox;
using namespace lumivox::bench;

namespace {

bool fill(const AppContext &context, QString *error)
{
    const QStringList family{QStringLiteral("山田"), QStringLiteral("佐藤"), QStringLiteral("鈴木"),
                             QStringLiteral("高橋"), QStringLiteral("田中"), QStringLiteral("渡辺"),
                             QStringLiteral("山本"), QStringLiteral("中村")};
    const QStringList familyReading{QStringLiteral("ヤマダ"), QStringLiteral("サトウ"), QStringLiteral("スズキ"),
                                    QStringLiteral("タカハシ"), QStringLiteral("タナカ"), QStringLiteral("ワタナベ"),
                                    QStringLiteral("ヤマモト"), QStringLiteral("ナカムラ")};
    const QStringList given{QStringLiteral("太郎"), QStringLiteral("花子"), QStringLiteral("一郎"),
                            QStringLiteral("美咲"), QStringLiteral("健"), QStringLiteral("さくら")};
    const QStringList givenReading{QStringLiteral("タロウ"), QStringLiteral("ハナコ"), QStringLiteral("イチロウ"),
                                   QStringLiteral("ミサキ"), QStringLiteral("ケン"), QStringLiteral("サクラ")};
    QList<SqlStatement> inserts;
    for (int g = 1; g <= 99; ++g) {
        inserts.append({QStringLiteral("insert into T_グループ values (?, ?, ?)"),
                        {g, QStringLiteral("%1班").arg(g), QStringLiteral("%1ハン").arg(g)}});
    }
    for (int i = 1; i <= 999; ++i) {
        const int f = i % 8;
        const int n = (i / 8) % 6;
        inserts.append({QStringLiteral("insert into T_メンバー values (?, ?, ?, ?, ?)"),
                        {i, family[f] + u' ' + given[n], familyReading[f] + u' ' + givenReading[n],
                         QStringLiteral("様"), QStringLiteral("member%1@example.jp").arg(i)}});
        for (int k = 0; k <= i % 3; ++k) {
            inserts.append({QStringLiteral("insert into T_メンバーの登録グループ情報 values (?, ?)"),
                            {i, (i * 7 + k * 31) % 99 + 1}});
        }
    }
    return executeAll(context.db(), inserts, error);
}

struct Measured {
    Times open;
    Times filter;
};

// Opens the register and filters it `runs` times on the register `settings`
// names, filled first. False (with the reason) when something did not work.
bool measure(const DatabaseSettings &settings, int runs, Measured *m, QString *error)
{
    QTemporaryDir dir;
    KeywordHistory history;
    AppContext context;
    context.appDir = dir.path();
    context.connectionName = QStringLiteral("bench");
    context.filterKeys = &history;
    DatabaseSettings where = settings;
    if (where.engine == Engine::SQLite) {
        where.file = context.databasePath();
        if (!makeDatabase(where.file, error))
            return false;
    }
    if (!openSharedConnection(context.connectionName, where, error) || !fill(context, error))
        return false;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        auto *window = new MemberRegister(context);
        PaintWatch watch;
        window->list()->viewport()->installEventFilter(&watch);
        window->show();
        waitForPaint(watch);
        const double opened = timer.nsecsElapsed() / 1e6;
        if (window->list()->maxRows() != 999) {
            *error = QStringLiteral("the list holds %1 rows").arg(window->list()->maxRows());
            return false;
        }

        // Two keywords by turns, so that each filter changes the list.
        watch.painted = false;
        timer.restart();
        window->filterByKeyword(QStringLiteral("[フリガナ]"), r % 2 ? QStringLiteral("ヤマ") : QStringLiteral("タ"));
        waitForPaint(watch);
        const double filtered = timer.nsecsElapsed() / 1e6;
        if (window->list()->maxRows() == 0 || window->list()->maxRows() == 999) {
            *error = QStringLiteral("the filter gave %1 rows").arg(window->list()->maxRows());
            return false;
        }
        window->list()->viewport()->removeEventFilter(&watch);
        window->close();
        delete window;
        m->open.add(r, opened);
        m->filter.add(r, filtered);
    }
    closeSharedConnection(context.connectionName);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    prepareApplication(app);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 21;

    Measured sqlite;
    QString error;
    if (!measure(DatabaseSettings(), runs, &sqlite, &error)) {
        std::fprintf(stderr, "SQLite: %s\n", qPrintable(error));
        return 1;
    }
    sqlite.open.print("member register, 999 members and 99 groups, opened until the list is painted");
    sqlite.filter.print("keyword filter in [フリガナ] over 999 members, until the list is painted");
    // The server: the tests' script in a folder of its own, also on 127.0.0.1.
    const QString script = QStringLiteral(LUMIVOX_SOURCE_DIR "/tests/support/pgserver.sh");
    QTemporaryDir serverDir;
    QString said;
    const auto run = [&](const QStringList &args) {
        QProcess p;
        p.start(script, args);
        const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        said = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
        return ok;
    };
    DatabaseSettings settings;
    settings.engine = Engine::PostgreSQL;
    settings.host = QStringLiteral("127.0.0.1");
    if (run({QStringLiteral("start"), serverDir.path(), QStringLiteral(LUMIVOX_SOURCE_DIR "/src/db/schema_postgres.sql"),
             QStringLiteral("tcp")}))
        settings.port = said.toInt();
    settings.user = QStringLiteral("lumivox");
    settings.databaseName = QStringLiteral("bench");
    Measured postgres;
    const bool measured = settings.port > 0 && run({QStringLiteral("createdb"), serverDir.path(), settings.databaseName})
                          && measure(settings, runs, &postgres, &error);
    if (settings.port > 0)
        run({QStringLiteral("stop"), serverDir.path()});
    if (!measured) {
        std::fprintf(stderr, "PostgreSQL: no server, or %s\n", qPrintable(error));
        return 1;
    }
    postgres.open.print("the same register on PostgreSQL over the loopback, opened until the list is painted");
    postgres.filter.print("the same keyword filter on PostgreSQL over the loopback");
    std::printf("PostgreSQL against SQLite (medians): opening %.2f×, keyword filter %.2f×\n",
                postgres.open.median() / sqlite.open.median(), postgres.filter.median() / sqlite.filter.median());
    return 0;
}
