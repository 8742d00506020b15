// Importing a roster of 999 members in 20 groups from a CP932 file into an empty
// register: from the chosen file to the painted summary (read, decode, parse,
// heading, checks), and from the confirmation to the member list painted with
// them (the one-transaction write and the list read again). Repeated on an
// emptied register, the first (cold) run shown apart.
// Usage: bench_roster [runs]
#include "app/appcontext.h"
#include "app/keywordhistory.h"
#include "app/spreadgrid.h"
#include "app/startup.h"
#include "db/database.h"
#include "db/makedatabase.h"
#include "registers/importdialog.h"
#include "registers/memberregister.h"
#include "paintwatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace lumivox;
using namespace lumivox::bench;

namespace {

// 999 members as a Japanese Excel saves them: heading, reading in hiragana,
// one or two groups in one cell.
QByteArray rosterFile()
{
    const QStringList family{"山田", "佐藤", "鈴木", "髙橋", "田中", "渡辺", "山本", "中村"};
    const QStringList reading{"やまだ", "さとう", "すずき", "たかはし", "たなか", "わたなべ", "やまもと", "なかむら"};
    QString text = QStringLiteral("氏名,ふりがな,敬称,メールアドレス,所属\r\n");
    for (int i = 1; i <= 999; ++i) {
        const QString groups = i % 3 ? QStringLiteral("%1班").arg(i % 20 + 1)
                                     : QStringLiteral("\"%1班、%2班\"").arg(i % 20 + 1).arg((i + 7) % 20 + 1);
        text += QStringLiteral("%1 %2,%3 いち,様,member%2@example.jp,%4\r\n")
                    .arg(family[i % 8]).arg(i).arg(reading[i % 8], groups);
    }
    return encodeText(text, TextEncoding::Cp932);
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
        || !openSharedConnection(context.connectionName, context.databasePath(), &error)) {
        std::fprintf(stderr, "no database: %s\n", qPrintable(error));
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("roster.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(rosterFile()) <= 0) {
        std::fprintf(stderr, "no roster file\n");
        return 1;
    }
    file.close();

    auto *window = new MemberRegister(context);
    window->show();
    Times summary;
    Times written;
    for (int r = 0; r < runs; ++r) {
        executeAll(context.db(), {{QStringLiteral("delete from T_メンバーの登録グループ情報")},
                                  {QStringLiteral("delete from T_メンバー")},
                                  {QStringLiteral("delete from T_グループ")}});
        window->applyMemberFilter();

        QElapsedTimer timer;
        timer.start();
        ImportDialog dialog(context.db(), RosterKind::Members, window);
        dialog.show();
        dialog.openFile(path);
        PaintWatch summaryWatch;
        dialog.findChild<QLabel *>(QStringLiteral("lblCounts"))->installEventFilter(&summaryWatch);
        dialog.showSummary();
        waitForPaint(summaryWatch);
        summary.add(r, timer.nsecsElapsed() / 1e6);
        if (dialog.plan().added != 999 || dialog.plan().newGroups.size() != 20) {
            std::fprintf(stderr, "the plan adds %d members and %lld groups\n", dialog.plan().added,
                         dialog.plan().newGroups.size());
            return 1;
        }

        // Confirmed: what the register does once the dialog is accepted.
        PaintWatch listWatch;
        window->list()->viewport()->installEventFilter(&listWatch);
        timer.restart();
        dialog.accept();
        if (!writeRoster(context.db(), dialog.plan()).ok) {
            std::fprintf(stderr, "the write failed\n");
            return 1;
        }
        window->applyMemberFilter();
        window->list()->setActiveCell(2, window->list()->maxRows());
        waitForPaint(listWatch);
        written.add(r, timer.nsecsElapsed() / 1e6);
        window->list()->viewport()->removeEventFilter(&listWatch);
        if (window->list()->maxRows() != 999) {
            std::fprintf(stderr, "the list holds %d rows\n", window->list()->maxRows());
            return 1;
        }
    }
    summary.print("999 members in 20 groups from a CP932 file: chosen file until the summary is painted");
    written.print("the same, confirmed: written in one transaction until the member list is painted");
    delete window;
    closeSharedConnection(context.connectionName);
    return 0;
}
