#pragma once

#include "app/appcontext.h"
#include "reports/reportdocument.h"

#include <QPrintPreviewDialog>

class QAction;

namespace lumivox {

// The preview window of a report: its pages as they will print, the preview's
// own print button (the system's print dialog), and "PDFとして保存" which writes
// the document to a PDF file the user names (".pdf" added before the question
// about replacing an existing file; いいえ goes back to the choice) and then shows
// where it went. The file dialog opens in the user's documents folder the first
// time and in the folder of the last PDF saved after that (kept in the settings
// file at iniPath, when one is given). Shown modally.
class ReportPreview : public QPrintPreviewDialog
{
    Q_OBJECT
public:
    ReportPreview(const ReportDocument &document, QWidget *parent = nullptr,
                  const QString &iniPath = {});

    const ReportDocument &document() const { return m_document; }
    // The folder the PDF file dialog opens in.
    QString pdfFolder() const;

    // Writes the document to `path`; a failure is shown to the user. Returns
    // whether the file was written.
    bool savePdf(const QString &path);

    // Draws the document on `target`: the preview's pages, or the printer the
    // user chose in the print dialog. A print that cannot be made (the printer
    // or its file refused) is shown to the user. Returns whether it was made.
    bool printTo(QPrinter *target);

private:
    void onSavePdf();

    const ReportDocument &m_document;
    QString m_iniPath;
    QAction *m_savePdf = nullptr;
};

// Opens a report: reads its data (refilling the work tables where the report
// does) and shows its preview modally, with `subject` under its title. False,
// after a message, when the data could not be read; the preview is then not shown.
bool showReport(AppContext &context, ReportKind kind, QWidget *parent, const QString &subject = {});

} // namespace lumivox
