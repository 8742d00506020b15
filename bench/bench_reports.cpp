// The member list of 999 members to a PDF file: from the command (the click on
// "PDFとして保存" once the name is given) to the finished file, repeated, with
// the first, cold run shown apart. Usage: bench_reports [runs]
#include "app/appcontext.h"
#include "db/database.h"
#include "db/makedatabase.h"
#include "reports/reportdocument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace lumivox;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 21;

    QTemporaryDir dir;
    AppContext context;
    context.appDir = dir.path();
    context.connectionName = QStringLiteral("bench");
    QString error;
    if (!makeDatabase(context.databasePath(), &error)
        || !openSharedConnection(context.connectionName, context.databasePath(), &error)) {
        std::fprintf(stderr, "no database: %s\n", qPrintable(error));
        return 1;
    }
    const QStringList family{QStringLiteral("山田"), QStringLiteral("佐藤"), QStringLiteral("鈴木"),
                             QStringLiteral("高橋"), QStringLiteral("田中"), QStringLiteral("渡辺")};
    const QStringList given{QStringLiteral("太郎"), QStringLiteral("花子"), QStringLiteral("一郎"),
                            QStringLiteral("美咲"), QStringLiteral("健"), QStringLiteral("さくら")};
    QList<SqlStatement> inserts;
    for (int i = 1; i <= 999; ++i) {
        inserts.append({QStringLiteral("insert into T_メンバー values (?, ?, ?, ?, ?)"),
                        {i, family[i % 6] + u' ' + given[(i / 6) % 6], QStringLiteral("カイイン"),
                         QStringLiteral("様"), QStringLiteral("member%1@example.jp").arg(i)}});
    }
    if (!executeAll(context.db(), inserts, &error)) {
        std::fprintf(stderr, "no members: %s\n", qPrintable(error));
        return 1;
    }

    const QString path = dir.filePath(QStringLiteral("members.pdf"));
    QList<double> times;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        // What the preview's save runs: the rows read, laid out and written.
        const ReportDefinition &definition = reportDefinition(ReportKind::arpMember);
        QList<ReportRow> rows;
        if (!loadReportRows(context.db(), definition, &rows, &error)
            || !ReportDocument(definition, rows, QDateTime::currentDateTime()).writePdf(path, &error)) {
            std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
            return 1;
        }
        times << timer.nsecsElapsed() / 1e6;
    }
    const double cold = times.takeFirst();
    std::sort(times.begin(), times.end());
    std::printf("member list, 999 members, %lld bytes\n", QFileInfo(path).size());
    std::printf("  first run (fonts cold): %.1f ms\n", cold);
    std::printf("  median of %lld more runs: %.1f ms (min %.1f, max %.1f)\n", times.size(),
                times[times.size() / 2], times.first(), times.last());
    closeSharedConnection(context.connectionName);
    return 0;
}
