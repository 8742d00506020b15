#include "reports/reportpreview.h"

#include "app/messages.h"
#include "app/settingsfile.h"
#include "app/toolset.h"
#include "app/windowlayout.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>

namespace lumivox {

namespace {

// Where the folder of the last PDF saved is kept.
const QString kPreviewSection = QStringLiteral("Preview");
const QString kPdfFolderKey = QStringLiteral("PdfFolder");
// The settings file keeps at most this many bytes of a text.
constexpr int kMaxSettingBytes = 127;

} // namespace

ReportPreview::ReportPreview(const ReportDocument &document, QWidget *parent, const QString &iniPath)
    : QPrintPreviewDialog(parent), m_document(document), m_iniPath(iniPath)
{
    const ReportDefinition &definition = document.definition();
    setObjectName(definition.name);
    setWindowTitle(definition.previewCaption);

    QPrinter *paper = printer();
    paper->setResolution(1200); // the preview's own printer would draw at screen resolution
    ReportDocument::applyPageSettings(paper);
    paper->setDocName(QLatin1String(kProductName));
    paper->setCreator(QLatin1String(kProductName));
    connect(this, &QPrintPreviewDialog::paintRequested, this, &ReportPreview::printTo);

    m_savePdf = new QAction(programIcon(QStringLiteral("document-save")), QStringLiteral("PDFとして保存(&S)..."), this);
    m_savePdf->setObjectName(QStringLiteral("ID_SavePDF"));
    m_savePdf->setToolTip(QStringLiteral("PDFとして保存"));
    m_savePdf->setShortcut(QKeySequence::Save);
    connect(m_savePdf, &QAction::triggered, this, &ReportPreview::onSavePdf);
    if (auto *toolBar = findChild<QToolBar *>()) {
        toolBar->addSeparator();
        toolBar->addAction(m_savePdf);
    } else {
        addAction(m_savePdf);
    }

    // Most of the screen, so that a page can be read at once.
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(qMin(available.width(), 960), available.height() * 9 / 10);
    }
    WindowLayout::centre(this);
}

QString ReportPreview::pdfFolder() const
{
    if (!m_iniPath.isEmpty()) {
        const QString kept = SettingsFile().GetValueString(m_iniPath, kPreviewSection, kPdfFolderKey);
        if (!kept.isEmpty() && QFileInfo(kept).isDir())
            return kept;
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void ReportPreview::onSavePdf()
{
    QString chosen = QDir(pdfFolder()).filePath(m_document.definition().previewCaption + QStringLiteral(".pdf"));
    for (;;) {
        QFileDialog dialog(this, QStringLiteral("PDFとして保存"), chosen,
                           QStringLiteral("PDF ファイル (*.pdf)"));
        dialog.setObjectName(QStringLiteral("dlgSavePdf"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // ".pdf" is added to a name typed without it, and the question about
        // replacing a file is asked here, about the file that is written.
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return;
        chosen = dialog.selectedFiles().first();
        if (!QFileInfo::exists(chosen))
            break;
        Message replace;
        replace.icon = QMessageBox::Warning;
        replace.title = dialog.windowTitle();
        replace.text = QStringLiteral("%1 は既に存在します。\n置き換えますか?").arg(QFileInfo(chosen).fileName());
        replace.buttons = QMessageBox::Yes | QMessageBox::No;
        replace.defaultButton = QMessageBox::No; // nothing is replaced by a hurried Enter
        replace.escapeButton = QMessageBox::No;
        if (showMessage(this, replace).button == QMessageBox::Yes)
            break;
        // いいえ: the file stays as it is and the user chooses again.
    }
    if (!savePdf(chosen))
        return;
    // A folder too long for the settings file would come back cut: the next
    // save then starts in the documents folder rather than in a wrong one.
    const QString folder = QFileInfo(chosen).absolutePath();
    if (!m_iniPath.isEmpty())
        SettingsFile().SetValueString(m_iniPath, kPreviewSection, kPdfFolderKey,
                                      folder.toUtf8().size() <= kMaxSettingBytes ? folder : QString());
    informUser(this, QStringLiteral("PDFファイルを保存しました。\n\n") + QDir::toNativeSeparators(chosen));
}

bool ReportPreview::printTo(QPrinter *target)
{
    if (m_document.print(target) > 0 && target->printerState() != QPrinter::Error)
        return true;
    const QString where = target->outputFileName().isEmpty()
                              ? target->printerName()
                              : QDir::toNativeSeparators(target->outputFileName());
    informUser(this, QStringLiteral("印刷できませんでした。プリンターの設定と接続をご確認下さい。")
                         + (where.isEmpty() ? QString() : QStringLiteral("\n\n印刷先：") + where));
    return false;
}

bool ReportPreview::savePdf(const QString &path)
{
    QString error;
    if (m_document.writePdf(path, &error))
        return true;
    informUser(this, QStringLiteral("PDFファイルを保存できませんでした。\n\n%1\n\n詳細：%2")
                         .arg(QDir::toNativeSeparators(path), error));
    return false;
}

bool showReport(AppContext &context, ReportKind kind, QWidget *parent, const QString &subject)
{
    const ReportDefinition &definition = reportDefinition(kind);
    QList<ReportRow> rows;
    QString error;
    if (!loadReportRows(context.db(), definition, &rows, &error)) {
        informUser(parent, QStringLiteral("「%1」のデータを読み込めませんでした。\n\n詳細：%2")
                               .arg(definition.previewCaption, error));
        return false;
    }
    const ReportDocument document(definition, std::move(rows), QDateTime::currentDateTime(), subject);
    ReportPreview preview(document, parent, context.iniPath());
    runModal(preview);
    return true;
}

} // namespace lumivox
