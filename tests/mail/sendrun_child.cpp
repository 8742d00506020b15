// A sending run in a process of its own, for the test that kills it: makes
// notice 1's send list (work tables belong to one connection) and sends it,
// recording every result, as the sending window's worker does.
//   sendrun_child PATH/Pennora.db
#include "db/database.h"
#include "mail/sendrun.h"
#include "notices/sendlist.h"

#include <QCoreApplication>

using namespace lumivox;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString name = QStringLiteral("child");
    if (app.arguments().size() != 2 || !openSharedConnection(name, app.arguments().at(1))
        || !makeSendList(QSqlDatabase::database(name), 1))
        return 2;
    const SendPlan plan = readSendPlan(QSqlDatabase::database(name), 1);
    RunStart start{.newsId = 1, .subject = plan.subject, .listSize = int(plan.rows.size())};
    SendRunRecorder recorder(name);
    if (!recorder.begin(start, plan.rows))
        return 3;
    SmtpTransport transport(plan.smtp);
    return runMailing(plan, transport, {}, &recorder).end == RunOutcome::Completed ? 0 : 1;
}
