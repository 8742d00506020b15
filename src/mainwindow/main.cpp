#include "app/startup.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    lumivox::prepareApplication(app);
    return lumivox::runLumivox(QCoreApplication::applicationDirPath(),
                               [](lumivox::AppContext &context) -> QWidget * {
                                   return new lumivox::MainWindow(context);
                               });
}
