#pragma once

#include "app/dialoglifecycle.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace lumivox {

// "Version 1.1.000(2010/03/17)": the revision always has at least three digits.
QString aboutVersionLine(int major, int minor, int revision);
// The line of this build, from the program's version numbers.
QString programVersionLine();

// The first system-information program installed on PATH (hardinfo,
// gnome-system-monitor, …), or an empty text.
QString findSystemInfoTool();

// The about box: product name, version, rights line, the data folder (when
// given), legal notice, and a button that starts the system's information tool.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr, const QString &dataDir = {});

    // Starts the system-information tool, or says that there is none.
    void StartSysInfo();

private:
    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblDataFolder = nullptr;
    QLabel *lblDisclaimer = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;
    DialogLifecycle m_lifecycle{this}; // centred on the screen as it first shows
};

} // namespace lumivox
