#include "app/japaneselocale.h"
#include "app/startup.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>

#include <memory>

int main(int argc, char **argv)
{
    auto japanese = std::make_unique<lumivox::JapaneseSystemLocale>();
    QApplication app(argc, argv);
    japanese.reset(); // Qt has read its locale: the environment is the user's again
    lumivox::prepareApplication(app);
    return lumivox::runLumivox(QCoreApplication::applicationDirPath(),
                               [](lumivox::AppContext &context) -> QWidget * {
                                   return new lumivox::MainWindow(context);
                               });
}
