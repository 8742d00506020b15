#include "registers/importdialog.h"

#include "app/dialogparts.h"
#include "app/messages.h"
#include "mail/jistext.h"
#include "registers/rosterexport.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace lumivox {

namespace {

constexpr int kPreviewRows = 5;
// Files larger than this are no roster of at most 999 members.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

const TextEncoding kEncodings[] = {TextEncoding::Utf8, TextEncoding::Utf8Bom, TextEncoding::Cp932};

QString whatOf(RosterKind kind)
{
    return kind == RosterKind::Members ? QStringLiteral("メンバー") : QStringLiteral("グループ");
}

QString lineText(int line)
{
    return line > 0 ? QStringLiteral("%1行目：").arg(line) : QString();
}

} // namespace

ImportDialog::ImportDialog(const QSqlDatabase &db, RosterKind kind, QWidget *parent)
    : QDialog(parent), m_db(db), m_kind(kind)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(whatOf(kind) + QStringLiteral("の取り込み"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_pages = new QStackedWidget(this);

    // The file: encoding, heading and mapping over the first rows.
    auto *filePage = new QWidget(m_pages);
    auto *f = new QVBoxLayout(filePage);
    f->setContentsMargins(0, 0, 0, 0);
    lblFile = new QLabel(filePage);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setTextFormat(Qt::PlainText);
    f->addWidget(lblFile);
    auto *encodingRow = new QHBoxLayout;
    auto *encodingCaption = new QLabel(QStringLiteral("文字コード(&E)："), filePage);
    cboEncoding = new QComboBox(filePage);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    for (TextEncoding e : kEncodings)
        cboEncoding->addItem(encodingName(e));
    encodingCaption->setBuddy(cboEncoding);
    lblEncodingNote = new QLabel(filePage);
    lblEncodingNote->setObjectName(QStringLiteral("lblEncodingNote"));
    encodingRow->addWidget(encodingCaption);
    encodingRow->addWidget(cboEncoding);
    encodingRow->addWidget(lblEncodingNote, 1);
    f->addLayout(encodingRow);
    chkHeading = new QCheckBox(QStringLiteral("1行目は項目名（見出し）(&H)"), filePage);
    chkHeading->setObjectName(QStringLiteral("chkHeading"));
    f->addWidget(chkHeading);
    auto *mappingCaption = new QLabel(
        QStringLiteral("各列をどの項目として取り込むか選んでください（先頭の%1行を表示しています）。")
            .arg(kPreviewRows),
        filePage);
    mappingCaption->setWordWrap(true);
    f->addWidget(mappingCaption);
    tblMapping = new QTableWidget(filePage);
    tblMapping->setObjectName(QStringLiteral("tblMapping"));
    tblMapping->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblMapping->setSelectionMode(QAbstractItemView::NoSelection);
    tblMapping->horizontalHeader()->setDefaultSectionSize(120);
    f->addWidget(tblMapping, 1);
    m_pages->addWidget(filePage);

    // The summary: counts, duplicates, problems.
    auto *summaryPage = new QWidget(m_pages);
    auto *s = new QVBoxLayout(summaryPage);
    s->setContentsMargins(0, 0, 0, 0);
    auto *intro = new QLabel(QStringLiteral("次の内容で取り込みます。よろしければ［取り込む］を押してください。"),
                             summaryPage);
    intro->setWordWrap(true);
    s->addWidget(intro);
    lblCounts = new QLabel(summaryPage);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));
    lblCounts->setTextFormat(Qt::PlainText);
    lblCounts->setWordWrap(true);
    QFont big = lblCounts->font();
    big.setPointSizeF(big.pointSizeF() * 1.15);
    big.setBold(true);
    lblCounts->setFont(big);
    s->addWidget(lblCounts);
    auto *fraDuplicates = new QGroupBox(
        kind == RosterKind::Members ? QStringLiteral("E-Mailが同じメンバーがいるとき")
                                    : QStringLiteral("名称が同じグループがあるとき"),
        summaryPage);
    fraDuplicates->setObjectName(QStringLiteral("fraDuplicates"));
    auto *d = new QVBoxLayout(fraDuplicates);
    lblDuplicates = new QLabel(fraDuplicates);
    lblDuplicates->setObjectName(QStringLiteral("lblDuplicates"));
    d->addWidget(lblDuplicates);
    m_duplicates = new QButtonGroup(this);
    const QString what = whatOf(kind);
    const std::pair<const char *, QString> options[] = {
        {"optUpdate", QStringLiteral("登録済みの%1を更新する(&U)").arg(what)},
        {"optSkip", QStringLiteral("取り込まない（スキップする）(&S)")},
        {"optAddNew", QStringLiteral("別の%1として追加する(&A)").arg(what)}};
    for (int i = 0; i < 3; ++i) {
        auto *option = new QRadioButton(options[i].second, fraDuplicates);
        option->setObjectName(QLatin1String(options[i].first));
        m_duplicates->addButton(option, i);
        d->addWidget(option);
    }
    m_duplicates->button(0)->setChecked(true);
    connect(m_duplicates, &QButtonGroup::idClicked, this, [this] { replan(); });
    s->addWidget(fraDuplicates);
    s->addWidget(new QLabel(QStringLiteral("取り込まれない行："), summaryPage));
    txtProblems = new QPlainTextEdit(summaryPage);
    txtProblems->setObjectName(QStringLiteral("txtProblems"));
    txtProblems->setReadOnly(true);
    txtProblems->setLineWrapMode(QPlainTextEdit::NoWrap);
    s->addWidget(txtProblems, 1);
    m_pages->addWidget(summaryPage);

    const DialogButtons buttons = okCancelButtons(this);
    cmdOk = buttons.ok;
    cmdOk->setText(QStringLiteral("取り込む(&O)"));
    cmdBack = new QPushButton(QStringLiteral("< 戻る(&B)"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    cmdBack->setAutoDefault(false);
    cmdNext = new QPushButton(QStringLiteral("次へ(&N) >"), this);
    cmdNext->setObjectName(QStringLiteral("cmdNext"));
    buttons.row->insertWidget(1, cmdBack);
    buttons.row->insertWidget(2, cmdNext);
    connect(cmdBack, &QPushButton::clicked, this, [this] { setPage(0); });
    connect(cmdNext, &QPushButton::clicked, this, &ImportDialog::showSummary);
    connect(cmdOk, &QPushButton::clicked, this, [this] {
        if (!m_plan.isEmpty())
            accept();
    });
    connect(buttons.cancel, &QPushButton::clicked, this, &ImportDialog::reject);

    connect(cboEncoding, &QComboBox::activated, this, [this] { readText(); });
    connect(chkHeading, &QCheckBox::toggled, this, [this](bool heading) {
        m_mapping = heading && !m_text.heading.isEmpty() ? m_text.heading
                                                         : guessMapping(m_text.rows(heading), m_kind);
        fillMapping();
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons.row);
    resize(820, 500);
    setPage(0);
}

bool ImportDialog::openFile(const QString &path, QString *error)
{
    QFile file(path);
    if (file.size() > kMaxFileBytes) {
        if (error)
            *error = QStringLiteral("ファイルが大きすぎます（%1バイト）。").arg(file.size());
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    m_bytes = file.readAll();
    lblFile->setText(QStringLiteral("ファイル：") + QFileInfo(path).fileName());
    lblFile->setToolTip(QFileInfo(path).absoluteFilePath());
    cboEncoding->setCurrentIndex(static_cast<int>(detectEncoding(m_bytes)));
    readText();
    return true;
}

TextEncoding ImportDialog::encoding() const
{
    return kEncodings[std::max(0, cboEncoding->currentIndex())];
}

void ImportDialog::readText()
{
    m_text = readRosterText(m_bytes, m_kind, encoding());
    lblEncodingNote->setText(
        m_text.undecodable > 0
            ? QStringLiteral("読み取れない文字が%1個あります。文字コードを確かめてください。").arg(m_text.undecodable)
        : m_text.table.records.isEmpty() ? QStringLiteral("（データがありません）")
        : m_text.separator == u'\t'     ? QStringLiteral("（タブ区切り）")
                                          : QStringLiteral("（カンマ区切り）"));
    lblEncodingNote->setStyleSheet(m_text.undecodable > 0 ? QStringLiteral("color: #b00020;") : QString());
    const QSignalBlocker block(chkHeading);
    chkHeading->setChecked(!m_text.heading.isEmpty());
    m_mapping = !m_text.heading.isEmpty() ? m_text.heading : guessMapping(m_text.rows(false), m_kind);
    fillMapping();
}

void ImportDialog::fillMapping()
{
    const bool heading = chkHeading->isChecked() && !m_text.table.records.isEmpty();
    const QList<CsvRecord> rows = m_text.rows(heading).mid(0, kPreviewRows);
    int columns = static_cast<int>(m_mapping.size());
    for (const CsvRecord &r : m_text.table.records)
        columns = std::max(columns, static_cast<int>(r.fields.size()));
    while (m_mapping.size() < columns)
        m_mapping << RosterField::Ignore;

    tblMapping->clear();
    tblMapping->setColumnCount(columns);
    tblMapping->setRowCount(static_cast<int>(rows.size()) + 1);
    QStringList rowNames{QStringLiteral("取り込み先")};
    for (const CsvRecord &r : rows)
        rowNames << QStringLiteral("%1行目").arg(r.line);
    tblMapping->setVerticalHeaderLabels(rowNames);
    const QList<RosterField> fields = rosterFields(m_kind);
    for (int c = 0; c < columns; ++c) {
        const QString title = heading ? m_text.table.records.first().fields.value(c) : QString();
        tblMapping->setHorizontalHeaderItem(
            c, new QTableWidgetItem(title.isEmpty() ? QStringLiteral("%1列目").arg(c + 1) : title));
        auto *combo = new QComboBox(tblMapping);
        combo->setObjectName(QStringLiteral("cboField%1").arg(c + 1));
        for (RosterField field : fields)
            combo->addItem(rosterFieldName(field, m_kind));
        combo->setCurrentIndex(static_cast<int>(fields.indexOf(m_mapping[c])));
        connect(combo, &QComboBox::activated, this, [this, c, fields](int index) {
            // One column per field; only groups may come from several.
            const RosterField chosen = fields[index];
            if (chosen != RosterField::Group && chosen != RosterField::Ignore)
                std::replace(m_mapping.begin(), m_mapping.end(), chosen, RosterField::Ignore);
            m_mapping[c] = chosen;
            // The table is filled again once this combo box has finished its signal.
            QMetaObject::invokeMethod(this, &ImportDialog::fillMapping, Qt::QueuedConnection);
        });
        tblMapping->setCellWidget(0, c, combo);
        for (int r = 0; r < rows.size(); ++r) {
            QString cell = rows[r].fields.value(c);
            cell.replace(u'\n', u' ');
            tblMapping->setItem(r + 1, c, new QTableWidgetItem(cell));
        }
    }
    cmdNext->setEnabled(m_mapping.contains(RosterField::Name));
}

void ImportDialog::setPastedRows(const CsvTable &rows)
{
    m_pasted = true;
    m_text.table = rows;
    int columns = 0;
    for (const CsvRecord &r : rows.records)
        columns = std::max(columns, static_cast<int>(r.fields.size()));
    m_mapping = listOrderMapping(m_kind, columns);
    setWindowTitle(whatOf(m_kind) + QStringLiteral("の貼り付け"));
    showSummary();
}

void ImportDialog::showSummary()
{
    replan();
    setPage(1);
}

void ImportDialog::replan()
{
    const bool heading = !m_pasted && chkHeading->isChecked();
    m_plan = planRoster(m_db, m_kind, m_text.rows(heading), m_mapping,
                        static_cast<DuplicateChoice>(m_duplicates->checkedId()), m_text.problems());

    QString counts = QStringLiteral("追加 %1件　更新 %2件　スキップ %3件　エラー %4件")
                         .arg(m_plan.added)
                         .arg(m_plan.updated)
                         .arg(m_plan.skipped.size())
                         .arg(m_plan.errorRows);
    if (!m_plan.newGroups.isEmpty())
        counts += QStringLiteral("\n新しく作るグループ %1件：%2")
                      .arg(m_plan.newGroups.size())
                      .arg(m_plan.newGroups.join(u'、'));
    lblCounts->setText(counts);
    lblDuplicates->setText(m_plan.duplicates > 0 ? QStringLiteral("該当する行：%1行").arg(m_plan.duplicates)
                                                 : QStringLiteral("該当する行はありません。"));
    QStringList lines;
    // Every problem and every skipped row, in the order of the lines.
    QList<std::pair<RosterProblem, bool>> all;
    for (const RosterProblem &p : std::as_const(m_plan.errors))
        all.append({p, true});
    for (const RosterProblem &p : std::as_const(m_plan.skipped))
        all.append({p, false});
    std::stable_sort(all.begin(), all.end(), [](const auto &a, const auto &b) { return a.first.line < b.first.line; });
    for (const auto &[p, error] : std::as_const(all))
        lines << lineText(p.line) + (error ? QStringLiteral("【エラー】") : QStringLiteral("【スキップ】")) + p.message;
    txtProblems->setPlainText(lines.isEmpty() ? QStringLiteral("（ありません）") : lines.join(u'\n'));
    cmdOk->setEnabled(!m_plan.isEmpty());
}

void ImportDialog::setPage(int page)
{
    m_pages->setCurrentIndex(page);
    cmdBack->setVisible(page == 1 && !m_pasted);
    cmdNext->setVisible(page == 0);
    cmdOk->setVisible(page == 1);
    cmdOk->setDefault(page == 1);
    cmdNext->setDefault(page == 0);
}

// --- the commands ---------------------------------------------------------------

RosterKind rosterKindOf(const QString &table)
{
    return table == QStringLiteral("T_グループ") ? RosterKind::Groups : RosterKind::Members;
}

namespace {

// Writes a confirmed plan; a failure is shown and nothing is written.
bool writeConfirmed(QWidget *parent, const QSqlDatabase &db, const RosterPlan &plan)
{
    const RosterWriteResult result = writeRoster(db, plan);
    if (!result.ok)
        reportWriteFailure(parent, QStringLiteral("取り込んだ%1").arg(whatOf(plan.kind)), result.error);
    return result.ok;
}

} // namespace

bool importRosterFile(QWidget *parent, const QSqlDatabase &db, RosterKind kind)
{
    const QString path = QFileDialog::getOpenFileName(
        parent, QStringLiteral("取り込むファイルを選択"), QString(),
        QStringLiteral("CSV・テキストファイル (*.csv *.txt *.tsv);;すべてのファイル (*)"));
    if (path.isEmpty())
        return false;
    ImportDialog dialog(db, kind, parent);
    QString error;
    if (!dialog.openFile(path, &error)) {
        informUser(parent, QStringLiteral("ファイルを読み込めませんでした。\n\n詳細：") + error);
        return false;
    }
    return runModal(dialog) == QDialog::Accepted && writeConfirmed(parent, db, dialog.plan());
}

void exportRosterFile(QWidget *parent, const QSqlDatabase &db, RosterKind kind)
{
    const QString utf8 = QStringLiteral("CSV UTF-8・BOM付き（Excel で開けます） (*.csv)");
    const QString sjis = QStringLiteral("CSV Shift_JIS（CP932） (*.csv)");
    QString chosen = utf8;
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("書き出すファイル"),
                                                whatOf(kind) + QStringLiteral(".csv"),
                                                utf8 + QStringLiteral(";;") + sjis, &chosen);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    const ExportResult result = exportRoster(db, kind, path, chosen == sjis ? TextEncoding::Cp932
                                                                           : TextEncoding::Utf8Bom);
    if (!result.unencodable.isEmpty()) {
        QStringList names;
        for (char32_t c : result.unencodable.mid(0, 10))
            names << QString::fromUcs4(&c, 1) + QStringLiteral("（") + codePointName(c) + QStringLiteral("）");
        informUser(parent, QStringLiteral("Shift_JIS（CP932）では書き出せない文字があるため、書き出しませんでした。\n\n%1\n\n"
                                          "「CSV UTF-8」を選んで書き出してください。")
                               .arg(names.join(QStringLiteral("、"))));
    } else if (!result.ok) {
        informUser(parent, QStringLiteral("ファイルに書き出せませんでした。\n\n詳細：") + result.error);
    } else {
        informUser(parent, QStringLiteral("%1 %2件を書き出しました。\n\n%3")
                               .arg(whatOf(kind))
                               .arg(result.records)
                               .arg(QDir::toNativeSeparators(path)));
    }
}

bool pasteRosterRows(QWidget *parent, const QSqlDatabase &db, RosterKind kind, const QString &clipboard,
                     int room)
{
    // The clipboard's lines as the list pastes them: those past `room` are new.
    QString clip = clipboard;
    clip.remove(u'\r');
    if (clip.endsWith(u'\n'))
        clip.chop(1);
    const QStringList lines = clip.split(u'\n');
    if (clip.isEmpty() || lines.size() <= room)
        return false;
    CsvTable beyond = parseCsv(lines.mid(room).join(u'\n'), u'\t');
    for (CsvRecord &r : beyond.records)
        r.line += room; // numbered as rows of the paste
    if (beyond.errorLine > 0)
        beyond.errorLine += room;
    ImportDialog dialog(db, kind, parent);
    dialog.setPastedRows(beyond);
    return runModal(dialog) == QDialog::Accepted && writeConfirmed(parent, db, dialog.plan());
}

} // namespace lumivox
