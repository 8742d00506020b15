#include "util/aboutdialog.h"

#include "app/appcontext.h"
#include "app/messages.h"
#include "app/windowlayout.h"
#include "util/shelllauncher.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace lumivox {

namespace {

// The build date of version 1.1 that the version line has always carried.
constexpr auto kVersionDate = "(2010/03/17)";
constexpr auto kRightsLine = "Copyright (C) 2010 Velmoria. All rights reserved.";

} // namespace

QString aboutVersionLine(int major, int minor, int revision)
{
    return QStringLiteral("Version %1.%2.%3")
               .arg(major)
               .arg(minor)
               .arg(revision, 3, 10, QLatin1Char('0'))
           + QLatin1String(kVersionDate);
}

QString programVersionLine()
{
    return aboutVersionLine(LUMIVOX_VERSION_MAJOR, LUMIVOX_VERSION_MINOR, LUMIVOX_VERSION_REVISION);
}

namespace {

// System-information programs, in the order they are looked for on PATH.
QStringList systemInfoToolNames()
{
    return {QStringLiteral("hardinfo"),          QStringLiteral("hardinfo2"),
            QStringLiteral("gnome-system-monitor"), QStringLiteral("kinfocenter"),
            QStringLiteral("mate-system-monitor"), QStringLiteral("xfce4-taskmanager"),
            QStringLiteral("lxtask")};
}

} // namespace

QString findSystemInfoTool()
{
    for (const QString &name : systemInfoToolNames()) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

AboutDialog::AboutDialog(QWidget *parent, const QString &dataDir) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(QApplication::windowIcon().pixmap(48, 48));
    picIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    picIcon->setFixedWidth(64);

    lblTitle = new QLabel(QLatin1String(kProductName), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setPointSize(big.pointSize() + 8);
    big.setBold(true);
    lblTitle->setFont(big);

    lblVersion = new QLabel(programVersionLine(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription = new QLabel(QLatin1String(kRightsLine), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    // Where to find Pennora.db and lumivox.INI for a backup.
    lblDataFolder = new QLabel(this);
    lblDataFolder->setObjectName(QStringLiteral("lblDataFolder"));
    lblDataFolder->setText(QStringLiteral("データの保存場所：") + QDir::toNativeSeparators(dataDir));
    lblDataFolder->setToolTip(QDir::toNativeSeparators(dataDir));
    lblDataFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblDataFolder->setWordWrap(true);
    lblDataFolder->setVisible(!dataDir.isEmpty());

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    lblDisclaimer = new QLabel(
        QStringLiteral("警告：このソフトウェアは著作権法および国際条約により保護されています。"
                       "このソフトウェアの全部または一部を無断で複製したり、無断で複製物を頒布したりすると、"
                       "著作権の侵害となりますのでご注意ください。"),
        this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    cmdSysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setAutoDefault(false);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutDialog::StartSysInfo);

    auto *texts = new QVBoxLayout;
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addWidget(lblDescription);
    texts->addWidget(lblDataFolder);
    texts->addStretch();

    auto *top = new QHBoxLayout;
    top->addWidget(picIcon);
    top->addLayout(texts, 1);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblDisclaimer, 1);
    bottom->addLayout(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addLayout(bottom);

    setFixedSize(twipsToPxX(6600, this), twipsToPxY(4000, this));
    m_lifecycle.onFirstShow([this] { WindowLayout::centre(this); });
}

void AboutDialog::StartSysInfo()
{
    const QString tool = findSystemInfoTool();
    ShellLauncher shell;
    if (!tool.isEmpty()
        && shell.LaunchProgram(this, tool, {}, {}, ShellLauncher::kShowNormal) == ShellLauncher::kSuccess)
        return;
    Message message;
    message.icon = QMessageBox::NoIcon;
    message.title = QLatin1String(kProductName);
    message.text = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");
    showMessage(this, message);
}

} // namespace lumivox
