#include "app/startup.h"

#include "db/database.h"
#include "db/schemaupgrade.h"
#include "app/enterkey.h"
#include "app/japaneselocale.h"
#include "app/keywordhistory.h"
#include "app/messages.h"
#include "app/runninginstance.h"
#include "app/terminationsignal.h"
#include "app/toolset.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QStandardPaths>
#include <QEventLoop>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>
#include <QThreadPool>
#include <QTranslator>
#include <QWidget>

#include <exception>

namespace lumivox {

namespace {

QString firstInstalled(const QStringList &families)
{
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : families) {
        if (installed.contains(family, Qt::CaseInsensitive))
            return family;
    }
    return {};
}

// Start-up messages: critical icon, the product name as title.
void showCritical(const QString &text, const QString &details = {})
{
    Message message;
    message.icon = QMessageBox::Critical;
    message.title = QLatin1String(kProductName);
    message.text = text;
    message.detailedText = details;
    showMessage(nullptr, message);
}

void showAlreadyRunning()
{
    showCritical(QStringLiteral("『Lumivox』は既に起動しています。本ソフトウェアは，特定の作業領域を使用するため多重起動に未対応です。"
                                "\r\n\r\n"
                                "プログラムの起動を中止します。"));
}

// The details are behind the message box's own button, named as Qt captions it.
// With advice, it replaces the words about the database file (a server's).
void showStartFailure(const QString &dataDir, const QString &reason, const QString &advice = {})
{
    const QString detailsButton = QCoreApplication::translate("QMessageBox", "Show Details...");
    showCritical(QStringLiteral("予期しない実行時ｴﾗｰが発生し，起動に失敗しました。"
                                "\r\n\r\n")
                     + (advice.isEmpty()
                            ? QStringLiteral("データの保存場所（%1）にデータベースファイル Pennora.db があり，読み書きできるかご確認のうえ，"
                                             "解決しない場合は［%2］の内容を添えてサポート窓口までお問い合わせください。")
                                  .arg(QDir::toNativeSeparators(dataDir), detailsButton)
                            : advice),
                 reason);
}

// Another program (a database browser, a backup in progress, …) holds the file.
void showDatabaseLocked(const QString &reason)
{
    showCritical(QStringLiteral("データベースファイル（Pennora.db）をほかのプログラムが使用中のため，"
                                "起動できませんでした。"
                                "\r\n\r\n"
                                "Pennora.db を開いているプログラムを終了してから，もう一度起動してください。"),
                 reason);
}

// The register on a server that could not be opened: what the server said, and
// where the choice of database is kept.
QString serverAdvice(const DatabaseSettings &settings, const QString &reason)
{
    return QStringLiteral("PostgreSQL サーバー（%1）のデータベース「%2」を開けませんでした。\r\n%3\r\n\r\n"
                          "サーバーとネットワークをご確認ください。このコンピューターの Pennora.db に戻すには，"
                          "lumivox.INI の [Database] を Engine=SQLite にします。")
        .arg(settings.host.isEmpty() ? QStringLiteral("このコンピューター") : settings.host,
             settings.databaseName.isEmpty() ? settings.service : settings.databaseName,
             reason.trimmed());
}

// The window the running program shows on top: a modal dialog if one is open.
void bringToFront(QWidget *mainWindow)
{
    QWidget *top = QApplication::activeModalWidget();
    if (!top)
        top = mainWindow;
    if (top->isMinimized())
        top->showNormal();
    top->raise();
    top->activateWindow();
}

void closeModalDialogs()
{
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (!modal->close())
            break;
    }
}

} // namespace

void prepareApplication(QApplication &app)
{
    // The desktop's session bus (accessibility and input methods speak over it)
    // is reached on a worker thread while the settings are read, the database
    // opens and the window is built, instead of the first window waiting for
    // it. Where no bus is running yet, reaching one means starting one.
    QThreadPool::globalInstance()->start([] { QDBusConnection::sessionBus(); });
    QApplication::setApplicationName(QLatin1String(kProductName));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(LUMIVOX_VERSION_MAJOR)
                                            .arg(LUMIVOX_VERSION_MINOR)
                                            .arg(LUMIVOX_VERSION_REVISION));
    QApplication::setWindowIcon(programWindowIcon());
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    // The menus stay in their windows, as the program's windows are designed;
    // no desktop-wide menu bar is looked for (over D-Bus) on the way to the
    // first window.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    QApplication::setStyle(programStyle());

    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
        QApplication::installTranslator(new QtCatalogueSupplement(*translator, &app));
    }
    installEnterPressesButton(app);

    // Without a Japanese family first, Han characters may be drawn in their
    // Chinese forms.
    const QString sans = firstInstalled({QStringLiteral("Noto Sans CJK JP"),
                                         QStringLiteral("IPAexGothic"), QStringLiteral("IPAGothic"),
                                         QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic")});
    if (!sans.isEmpty()) {
        QFont f = QApplication::font();
        f.setFamily(sans);
        if (f.pointSize() < 9)
            f.setPointSize(9);
        QApplication::setFont(f);
    }
}

QFont minchoFont(int points)
{
    QFont f;
    const QString mincho = firstInstalled({QStringLiteral("ＭＳ 明朝"), QStringLiteral("MS Mincho"),
                                           QStringLiteral("Noto Serif CJK JP"),
                                           QStringLiteral("IPAexMincho"), QStringLiteral("IPAMincho"),
                                           QStringLiteral("TakaoMincho")});
    f.setFamily(mincho.isEmpty() ? QStringLiteral("serif") : mincho);
    f.setStyleHint(QFont::Serif);
    f.setPointSize(points);
    return f;
}

QString instanceLockPath(const AppContext &context, const DatabaseSettings &settings)
{
    if (settings.engine != Engine::PostgreSQL)
        return context.lockPath();
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir().mkpath(folder);
    return folder + QStringLiteral("/lumivox-server.lock");
}

int runLumivox(const QString &appDir,
               const std::function<QWidget *(AppContext &)> &createMainWindow)
{
    AppContext context;
    context.appDir = appDir;
    context.dataDir = dataFolderFor(
        appDir, QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QString why;
    if (context.dataDir != appDir
        && !prepareDataFolder(context.dataDir, startingDatabaseFor(appDir), &why)) {
        showStartFailure(context.dataDir, why);
        return kExitStartFailed;
    }
    const DatabaseSettings database = context.databaseSettings();

    // One program at a time: on the file, per data folder (two programs would
    // write one settings file and one database file); on a server, per user of
    // this machine.
    const QString lockPath = instanceLockPath(context, database);
    QLockFile lock(lockPath);
    lock.setStaleLockTime(0); // only a dead owner makes a lock stale, never its age
    RunningInstance door(database.engine == Engine::PostgreSQL ? lockPath : context.dataDir);
    if (!lock.tryLock(0)) {
        if (lock.error() == QLockFile::LockFailedError) {
            door.knock(); // the running program comes to the front
            showAlreadyRunning();
            return kExitAlreadyRunning;
        }
        showStartFailure(context.dataDir, QStringLiteral("%1 を作成できません。").arg(lockPath));
        return kExitStartFailed;
    }

    door.listen();
    TerminationSignal termination;

    context.connectionName = QLatin1String(kSharedConnection);
    KeywordHistory gcolFilterKey;
    context.filterKeys = &gcolFilterKey;

    int exitCode = 0;
    try {
        QString error;
        bool locked = false;
        if (!openSharedConnection(context.connectionName, database, &error, &locked)) {
            if (locked)
                showDatabaseLocked(error);
            else
                showStartFailure(context.dataDir, error,
                                 database.engine == Engine::PostgreSQL ? serverAdvice(database, error) : QString());
            exitCode = kExitStartFailed;
        } else if (const SchemaUpgrade upgrade = upgradeDatabase(context.db(), context.databasePath());
                   !upgrade.ok()) {
            // A database this program cannot use as it is: the reason is the message.
            showCritical(upgrade.message, upgrade.detail);
            exitCode = kExitStartFailed;
        } else {
            QPointer<QWidget> mainWindow = createMainWindow(context);
            if (!mainWindow) {
                showStartFailure(context.dataDir, QStringLiteral("メインウィンドウを作成できません。"));
                exitCode = kExitStartFailed;
            } else {
                mainWindow->setAttribute(Qt::WA_DeleteOnClose);
                QEventLoop loop;
                QObject::connect(mainWindow, &QObject::destroyed, &loop, &QEventLoop::quit);
                QObject::connect(&door, &RunningInstance::activationRequested, mainWindow, [mainWindow] {
                    bringToFront(mainWindow);
                });
                // A signal to end closes the window as its close box does; a
                // modal dialog open at that moment is closed first.
                QObject::connect(&termination, &TerminationSignal::received, mainWindow, [mainWindow] {
                    closeModalDialogs();
                    mainWindow->close();
                });
                mainWindow->show();
                loop.exec();
                // The loop also ends when the application is told to quit (the
                // end of the desktop session): close as by the close box.
                if (mainWindow)
                    mainWindow->close();
                delete mainWindow;
            }
        }
    } catch (const std::exception &e) {
        showStartFailure(context.dataDir, QString::fromLocal8Bit(e.what()));
        exitCode = kExitStartFailed;
    }
    closeSharedConnection(context.connectionName);
    return exitCode;
}

} // namespace lumivox
