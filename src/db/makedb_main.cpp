// lumivox_makedb PATH: makes the database PATH from the built-in schema unless a
// file of that name already exists (then it does nothing and succeeds).
#include "db/makedatabase.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: lumivox_makedb PATH/Pennora.db\n");
        return 2;
    }
    if (QFileInfo::exists(args[1]))
        return 0;
    QString error;
    if (!lumivox::makeDatabase(args[1], &error)) {
        std::fprintf(stderr, "lumivox_makedb: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("Created %s\n", qPrintable(args[1]));
    return 0;
}
