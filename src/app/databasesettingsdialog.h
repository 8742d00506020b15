#pragma once

#include "app/appcontext.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace lumivox {

// Where the register lives: Pennora.db beside the program, or a PostgreSQL
// server that several officers share. OK keeps the choice in the settings file;
// the program uses it from its next start. 接続テスト tries the server with the
// values shown; the copy button puts this computer's Pennora.db onto an empty
// server database. No password is typed here: libpq reads it from ~/.pgpass or
// from a service file.
class DatabaseSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    DatabaseSettingsDialog(AppContext &context, QWidget *parent = nullptr);

    // The settings the controls show.
    DatabaseSettings settings() const;

    QRadioButton *optFile;
    QRadioButton *optServer;
    QLineEdit *txtHost;
    QSpinBox *numPort;
    QLineEdit *txtDatabase;
    QLineEdit *txtUser;
    QComboBox *cboSslMode;
    QLineEdit *txtService;
    QPushButton *cmdTest;
    QPushButton *cmdCopy;
    QPushButton *cmdOk;
    QPushButton *cmdCancel;

private:
    void showSettings(const DatabaseSettings &settings);
    void updateEnabled();
    void testConnection();
    void copyToServer();
    void accept() override;

    AppContext &m_context;
    DatabaseSettings m_saved;
};

} // namespace lumivox
