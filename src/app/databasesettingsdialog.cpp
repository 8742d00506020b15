#include "app/databasesettingsdialog.h"

#include "app/dialogparts.h"
#include "app/messages.h"
#include "db/registercopy.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QUuid>
#include <QVBoxLayout>

namespace lumivox {

namespace {

// What each sslmode does, in the order of sslModes().
const QStringList &sslModeCaptions()
{
    static const QStringList captions{
        QStringLiteral("disable（暗号化しない）"),
        QStringLiteral("allow（サーバーが求めれば暗号化）"),
        QStringLiteral("prefer（できれば暗号化）"),
        QStringLiteral("require（必ず暗号化）"),
        QStringLiteral("verify-ca（暗号化し，証明書を確かめる）"),
        QStringLiteral("verify-full（暗号化し，証明書とサーバー名を確かめる）")};
    return captions;
}

// A connection of the dialog's own, for as long as it lives; the wait cursor
// shows while the server is being reached.
class TrialConnection
{
public:
    explicit TrialConnection(const DatabaseSettings &settings)
        : m_name(QStringLiteral("lumivox-trial-") + QUuid::createUuid().toString())
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_open = openSharedConnection(m_name, settings, &m_error);
        QApplication::restoreOverrideCursor();
    }
    ~TrialConnection() { closeSharedConnection(m_name); }
    TrialConnection(const TrialConnection &) = delete;
    TrialConnection &operator=(const TrialConnection &) = delete;

    bool isOpen() const { return m_open; }
    QString error() const { return m_error; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    QString m_error;
    bool m_open = false;
};

bool sameServer(const DatabaseSettings &a, const DatabaseSettings &b)
{
    return a.host == b.host && a.port == b.port && a.databaseName == b.databaseName && a.user == b.user
           && a.sslMode == b.sslMode && a.service == b.service;
}

} // namespace

DatabaseSettingsDialog::DatabaseSettingsDialog(AppContext &context, QWidget *parent)
    : QDialog(parent), m_context(context), m_saved(context.databaseSettings())
{
    setObjectName(QStringLiteral("frmInpDatabase"));
    setWindowTitle(QStringLiteral("データベース設定"));

    optFile = new QRadioButton(QStringLiteral("このコンピューターの Pennora.db（ひとりで使う）(&F)"), this);
    optFile->setObjectName(QStringLiteral("optFile"));
    optServer = new QRadioButton(QStringLiteral("PostgreSQL サーバー（複数の担当者で共有する）(&S)"), this);
    optServer->setObjectName(QStringLiteral("optServer"));
    txtHost = new QLineEdit(this);
    txtHost->setObjectName(QStringLiteral("txtHost"));
    txtHost->setPlaceholderText(QStringLiteral("db.example.jp など（空欄: このコンピューター）"));
    numPort = new QSpinBox(this);
    numPort->setObjectName(QStringLiteral("numPort"));
    numPort->setRange(1, 65535);
    numPort->setAlignment(Qt::AlignRight);
    txtDatabase = new QLineEdit(this);
    txtDatabase->setObjectName(QStringLiteral("txtDatabase"));
    txtUser = new QLineEdit(this);
    txtUser->setObjectName(QStringLiteral("txtUser"));
    cboSslMode = new QComboBox(this);
    cboSslMode->setObjectName(QStringLiteral("cboSslMode"));
    for (qsizetype i = 0; i < sslModes().size(); ++i)
        cboSslMode->addItem(sslModeCaptions()[i], sslModes()[i]);
    txtService = new QLineEdit(this);
    txtService->setObjectName(QStringLiteral("txtService"));
    txtService->setPlaceholderText(QStringLiteral("サービスファイルを使うときだけ"));

    auto *form = new QFormLayout;
    form->setContentsMargins(24, 0, 0, 0);
    form->addRow(QStringLiteral("サーバー(&H)"), txtHost);
    form->addRow(QStringLiteral("ポート番号(&P)"), numPort);
    form->addRow(QStringLiteral("データベース名(&D)"), txtDatabase);
    form->addRow(QStringLiteral("ユーザー名(&U)"), txtUser);
    form->addRow(QStringLiteral("接続の保護(&L)"), cboSslMode);
    form->addRow(QStringLiteral("サービス名(&V)"), txtService);

    cmdTest = new QPushButton(QStringLiteral("接続テスト(&T)"), this);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    cmdTest->setAutoDefault(false);
    cmdCopy = new QPushButton(QStringLiteral("Pennora.db をサーバーへコピー(&Y)..."), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdCopy->setAutoDefault(false);
    auto *serverButtons = new QHBoxLayout;
    serverButtons->addSpacing(24);
    serverButtons->addWidget(cmdTest);
    serverButtons->addWidget(cmdCopy);
    serverButtons->addStretch(1);

    QFrame *fraCaption = explanationFrame(
        this, QStringLiteral("パスワードは Lumivox には保存しません。サーバーのパスワードは，ホームフォルダの "
                             ".pgpass（1 行に「サーバー:ポート番号:データベース名:ユーザー名:パスワード」，"
                             "ファイルの権限は 600）またはサービスファイル（.pg_service.conf）に書いてください。\n"
                             "データベースの切り替えは，次に Lumivox を起動したときから有効になります。"));

    const DialogButtons buttons = okCancelButtons(this);
    cmdOk = buttons.ok;
    cmdCancel = buttons.cancel;

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(optFile);
    layout->addWidget(optServer);
    layout->addLayout(form);
    layout->addLayout(serverButtons);
    layout->addSpacing(6);
    layout->addWidget(fraCaption);
    layout->addLayout(buttons.row);
    setMinimumWidth(520);

    connect(optServer, &QRadioButton::toggled, this, &DatabaseSettingsDialog::updateEnabled);
    connect(cmdTest, &QPushButton::clicked, this, &DatabaseSettingsDialog::testConnection);
    connect(cmdCopy, &QPushButton::clicked, this, &DatabaseSettingsDialog::copyToServer);
    connect(cmdOk, &QPushButton::clicked, this, &DatabaseSettingsDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &DatabaseSettingsDialog::reject);
    showSettings(m_saved);
}

void DatabaseSettingsDialog::showSettings(const DatabaseSettings &settings)
{
    (settings.engine == Engine::PostgreSQL ? optServer : optFile)->setChecked(true);
    txtHost->setText(settings.host);
    numPort->setValue(settings.port);
    txtDatabase->setText(settings.databaseName);
    txtUser->setText(settings.user);
    const int mode = cboSslMode->findData(settings.sslMode);
    cboSslMode->setCurrentIndex(mode >= 0 ? mode : cboSslMode->findData(QStringLiteral("prefer")));
    txtService->setText(settings.service);
    updateEnabled();
}

DatabaseSettings DatabaseSettingsDialog::settings() const
{
    DatabaseSettings settings;
    settings.engine = optServer->isChecked() ? Engine::PostgreSQL : Engine::SQLite;
    settings.file = m_context.databasePath();
    settings.host = txtHost->text().trimmed();
    settings.port = numPort->value();
    settings.databaseName = txtDatabase->text().trimmed();
    settings.user = txtUser->text().trimmed();
    settings.sslMode = cboSslMode->currentData().toString();
    settings.service = txtService->text().trimmed();
    return settings;
}

void DatabaseSettingsDialog::updateEnabled()
{
    const bool server = optServer->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{txtHost, numPort, txtDatabase, txtUser, cboSslMode,
                                                       txtService, cmdTest})
        w->setEnabled(server);
    cmdCopy->setEnabled(server && QFileInfo(m_context.databasePath()).isFile());
}

void DatabaseSettingsDialog::testConnection()
{
    const TrialConnection trial(settings());
    informUser(this, trial.isOpen() ? QStringLiteral("サーバーに接続できました。")
                                    : QStringLiteral("サーバーに接続できませんでした。\n\n") + trial.error());
}

void DatabaseSettingsDialog::copyToServer()
{
    const DatabaseSettings server = settings();
    if (!askYesNo(this, QStringLiteral("このコンピューターの Pennora.db（メンバー，グループ，お知らせ，送信の設定）を，"
                                       "サーバーのデータベース「%1」へコピーします。よろしいですか？")
                            .arg(server.databaseName)))
        return;
    const TrialConnection trial(server);
    if (!trial.isOpen()) {
        informUser(this, QStringLiteral("サーバーに接続できませんでした。\n\n") + trial.error());
        return;
    }
    CopySummary summary;
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool copied = copyRegister(m_context.databasePath(), trial.db(), &summary, &error);
    QApplication::restoreOverrideCursor();
    informUser(this, copied ? QStringLiteral("コピーしました（%1 個の表，%2 行）。").arg(summary.tables).arg(summary.rows)
                            : QStringLiteral("コピーできませんでした。サーバーのデータベースは元のままです。\n\n")
                                  + error);
}

void DatabaseSettingsDialog::accept()
{
    const DatabaseSettings chosen = settings();
    if (chosen.engine == Engine::PostgreSQL && chosen.databaseName.isEmpty() && chosen.service.isEmpty()) {
        informUser(this, QStringLiteral("データベース名を入力してください。"));
        txtDatabase->setFocus();
        return;
    }
    saveDatabaseSettings(m_context.iniPath(), chosen);
    const bool switched = chosen.engine != m_saved.engine
                          || (chosen.engine == Engine::PostgreSQL && !sameServer(chosen, m_saved));
    if (switched)
        informUser(this, QStringLiteral("データベースの切り替えは，次に Lumivox を起動したときから有効になります。"));
    QDialog::accept();
}

} // namespace lumivox
