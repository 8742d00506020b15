// The member register on 999 members and 99 groups: the time from opening the
// window to its painted list, and the time of a keyword filter until the list is
// painted again, repeated, the first (cold) run shown apart.
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

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    prepareApplication(app);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 21;

    QTemporaryDir dir;
    KeywordHistory history;
    AppContext context;
    context.appDir = dir.path();
    context.connectionName = QStringLiteral("bench");
    context.filterKeys = &history;
    QString error;
    if (!makeDatabase(context.databasePath(), &error)
        || !openSharedConnection(context.connectionName, context.databasePath(), &error)
        || !fill(context, &error)) {
        std::fprintf(stderr, "no database: %s\n", qPrintable(error));
        return 1;
    }

    Times open;
    Times filter;
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
            std::fprintf(stderr, "the list holds %d rows\n", window->list()->maxRows());
            return 1;
        }

        // Two keywords by turns, so that each filter changes the list.
        watch.painted = false;
        timer.restart();
        window->filterByKeyword(QStringLiteral("[フリガナ]"), r % 2 ? QStringLiteral("ヤマ") : QStringLiteral("タ"));
        waitForPaint(watch);
        const double filtered = timer.nsecsElapsed() / 1e6;
        if (window->list()->maxRows() == 0 || window->list()->maxRows() == 999) {
            std::fprintf(stderr, "the filter gave %d rows\n", window->list()->maxRows());
            return 1;
        }
        window->list()->viewport()->removeEventFilter(&watch);
        window->close();
        delete window;
        if (r == 0) {
            open.cold = opened;
            filter.cold = filtered;
        } else {
            open.warm << opened;
            filter.warm << filtered;
        }
    }
    open.print("member register, 999 members and 99 groups, opened until the list is painted");
    filter.print("keyword filter in [フリガナ] over 999 members, until the list is painted");
    closeSharedConnection(context.connectionName);
    return 0;
}
