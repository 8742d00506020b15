#include "app/spreadgrid.h"

#include "app/windowlayout.h"
#include "app/settingsfile.h"
#include "db/tablemodel.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>

namespace lumivox {

namespace {

// Draws 0/1 cells as the two check-box pictures and toggles them on a click or
// Space, writing the new value through the model.
class CheckBoxDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        const QPixmap pic = SpreadGrid::checkBoxPicture(index.data().toInt() != 0);
        const QRect r = option.rect;
        painter->drawPixmap(r.left() + (r.width() - pic.width()) / 2,
                            r.top() + (r.height() - pic.height()) / 2, pic);
    }

    QWidget *createEditor(QWidget *, const QStyleOptionViewItem &,
                          const QModelIndex &) const override
    {
        return nullptr;
    }

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &,
                     const QModelIndex &index) override
    {
        const bool click = event->type() == QEvent::MouseButtonRelease
                           && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        const bool key = event->type() == QEvent::KeyPress
                         && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space;
        if (!click && !key)
            return event->type() == QEvent::MouseButtonDblClick;
        if (!(index.flags() & Qt::ItemIsEditable))
            return false;
        model->setData(index, index.data().toInt() != 0 ? 0 : 1);
        return true;
    }
};

// The editor of a text cell takes no more characters than the cell's field
// holds. A value already longer (written by another program) is shown whole
// and written back only when the user has changed it, then cut to the field's
// size, so merely entering and leaving the cell does not cut it.
class TextCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            if (const int limit = fieldSize(index); limit > 0)
                line->setMaxLength(limit);
        }
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *line = qobject_cast<QLineEdit *>(editor);
        const int limit = fieldSize(index);
        if (line && limit > 0) {
            const QString text = index.data(Qt::EditRole).toString();
            // A shorter limit would cut the text as it is put in the box.
            line->setMaxLength(std::max(limit, static_cast<int>(text.size())));
            line->setText(text);
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        auto *line = qobject_cast<QLineEdit *>(editor);
        const int limit = fieldSize(index);
        if (line && limit > 0) {
            if (line->isModified())
                model->setData(index, line->text().left(limit));
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    static int fieldSize(const QModelIndex &index)
    {
        const auto *model = qobject_cast<const TableModel *>(index.model());
        return model ? model->maxTextLength(index.column()) : 0;
    }
};

// The row-header column: as wide as the widest row number. Qt's own header
// measures the contents of every section to find that out, a pass over all
// rows on every binding.
class RowNumberHeader : public QHeaderView
{
public:
    explicit RowNumberHeader(QWidget *parent) : QHeaderView(Qt::Vertical, parent) {}

    QSize sizeHint() const override
    {
        const int rows = model() ? model()->rowCount() : 0;
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.text = QString(QString::number(std::max(rows, 9)).size(), u'9');
        const QSize text(fontMetrics().horizontalAdvance(opt.text), fontMetrics().height());
        QSize size = style()->sizeFromContents(QStyle::CT_HeaderSection, &opt, text, this);
        size.setHeight(std::max(size.height(), defaultSectionSize()));
        return size;
    }
};

} // namespace

SpreadGrid::SpreadGrid(QWidget *parent) : QTableView(parent)
{
    setVerticalHeader(new RowNumberHeader(this));
    setItemDelegate(new TextCellDelegate(this));
    applyPresentation();
    // Only the user's resizing is a change of the column widths; the window's
    // own restoring and fitting is not.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (!m_settingWidths)
            Q_EMIT columnWidthsChanged();
    });
    connect(this, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        Q_EMIT cellDoubleClicked(index.column() + 1, index.row() + 1);
    });
}

void SpreadGrid::applyPresentation()
{
    setAlternatingRowColors(true);
    QPalette pal = palette();
    // The alternate rows take the system's tooltip background, a pale colour on
    // every common theme.
    pal.setColor(QPalette::AlternateBase, pal.color(QPalette::ToolTipBase));
    setPalette(pal);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    setSheetFontPoints(font().pointSize() > 0 ? font().pointSize() : 9);
}

void SpreadGrid::bind(TableModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    const RefillGuard::Scope settingWidths(m_settingWidths);
    setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                for (int r = topLeft.row(); r <= bottomRight.row(); ++r) {
                    for (int c = topLeft.column(); c <= bottomRight.column(); ++c)
                        Q_EMIT cellChanged(c + 1, r + 1);
                }
            });
    for (int c : std::as_const(m_checkColumns))
        setItemDelegateForColumn(c - 1, new CheckBoxDelegate(this));
}

int SpreadGrid::maxRows() const
{
    return m_model ? m_model->rowCount() : 0;
}

int SpreadGrid::maxCols() const
{
    return m_model ? m_model->columnCount() : 0;
}

int SpreadGrid::activeRow() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

int SpreadGrid::activeCol() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() + 1 : 0;
}

void SpreadGrid::setActiveCell(int col, int row)
{
    if (!m_model || row < 1 || row > maxRows() || col < 1 || col > maxCols())
        return;
    const QModelIndex i = m_model->index(row - 1, col - 1);
    setCurrentIndex(i);
    scrollTo(i);
}

QString SpreadGrid::text(int col, int row) const
{
    if (!m_model)
        return {};
    return m_model->value(row - 1, col - 1).toString();
}

bool SpreadGrid::setText(int col, int row, const QString &text)
{
    if (!m_model || row < 1 || row > maxRows() || col < 1 || col > maxCols())
        return false;
    return m_model->setData(m_model->index(row - 1, col - 1), text);
}

void SpreadGrid::setHeading(int col, const QString &text)
{
    if (m_model)
        m_model->setHeaderData(col - 1, Qt::Horizontal, text);
}

int SpreadGrid::colWidthTwips(int col) const
{
    if (col < 1 || col > maxCols() || isColumnHidden(col - 1))
        return 0;
    return pxToTwipsX(columnWidth(col - 1), this);
}

void SpreadGrid::setColWidthTwips(int col, int twips)
{
    if (col < 1 || col > maxCols())
        return;
    const RefillGuard::Scope settingWidths(m_settingWidths);
    if (twips <= 0) {
        setColumnHidden(col - 1, true);
    } else {
        setColumnHidden(col - 1, false);
        setColumnWidth(col - 1, std::max(1, twipsToPxX(twips, this)));
    }
}

int SpreadGrid::rowHeaderWidthTwips() const
{
    return verticalHeader()->isVisible() ? pxToTwipsX(verticalHeader()->width(), this) : 0;
}

int SpreadGrid::widthTwips() const
{
    return pxToTwipsX(viewport()->width() + (verticalHeader()->isVisible() ? verticalHeader()->width() : 0), this);
}

void SpreadGrid::fitColumn(int col, int lessTwips)
{
    const int twips = widthTwips() - rowHeaderWidthTwips() - lessTwips;
    setColWidthTwips(col, std::max(twips, 15));
}

void SpreadGrid::restoreColumnWidths(const QString &iniPath, const QString &section)
{
    const SettingsFile profile;
    for (int c = 1; c <= maxCols(); ++c) {
        const int twips = profile.GetValueLong(iniPath, section, QStringLiteral("C") + QString::number(c));
        if (twips > 0)
            setColWidthTwips(c, twips);
    }
    setColWidthTwips(1, 0);
}

void SpreadGrid::saveColumnWidths(const QString &iniPath, const QString &section) const
{
    const SettingsFile profile;
    for (int c = 1; c <= maxCols(); ++c) {
        profile.SetValueString(iniPath, section, QStringLiteral("C") + QString::number(c),
                               QString::number(colWidthTwips(c)));
    }
}

void SpreadGrid::setSheetFontPoints(int points)
{
    QFont f = font();
    f.setPointSize(points);
    setFont(f);
    const QFontMetrics fm(f);
    verticalHeader()->setDefaultSectionSize(fm.height() + 6);
    verticalHeader()->setMinimumSectionSize(fm.height() + 2);
}

void SpreadGrid::setCheckBoxColumn(int col)
{
    if (!m_checkColumns.contains(col))
        m_checkColumns << col;
    setItemDelegateForColumn(col - 1, new CheckBoxDelegate(this));
}

QPixmap SpreadGrid::checkBoxPicture(bool ticked)
{
    QPixmap pic(16, 16);
    pic.fill(Qt::transparent);
    QPainter p(&pic);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(2, 2, 11, 11); // a 12 × 12 outline
    if (ticked) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(220, 0, 0), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF tick[] = {{4.5, 8.0}, {7.0, 10.5}, {11.5, 4.5}};
        p.drawPolyline(tick, 3);
    }
    return pic;
}

bool SpreadGrid::hasBlockSelection() const
{
    return selectionModel() && !selectionModel()->selectedIndexes().isEmpty();
}

SpreadGrid::Block SpreadGrid::selectedBlock() const
{
    Block b;
    if (!hasBlockSelection())
        return b;
    const QModelIndexList cells = selectionModel()->selectedIndexes();
    b.firstCol = b.firstRow = INT_MAX;
    for (const QModelIndex &i : cells) {
        b.firstCol = std::min(b.firstCol, i.column() + 1);
        b.firstRow = std::min(b.firstRow, i.row() + 1);
        b.lastCol = std::max(b.lastCol, i.column() + 1);
        b.lastRow = std::max(b.lastRow, i.row() + 1);
    }
    return b;
}

void SpreadGrid::selectBlock(int firstCol, int firstRow, int lastCol, int lastRow)
{
    if (!m_model || maxRows() == 0)
        return;
    firstCol = std::clamp(firstCol, 1, maxCols());
    lastCol = std::clamp(lastCol, firstCol, maxCols());
    firstRow = std::clamp(firstRow, 1, maxRows());
    lastRow = std::clamp(lastRow, firstRow, maxRows());
    const QItemSelection sel(m_model->index(firstRow - 1, firstCol - 1),
                             m_model->index(lastRow - 1, lastCol - 1));
    selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
}

void SpreadGrid::copyBlock() const
{
    if (!hasBlockSelection())
        return;
    const Block b = selectedBlock();
    QStringList lines;
    for (int r = b.firstRow; r <= b.lastRow; ++r) {
        QStringList cells;
        for (int c = b.firstCol; c <= b.lastCol; ++c)
            cells << text(c, r);
        lines << cells.join(u'\t');
    }
    QApplication::clipboard()->setText(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

int SpreadGrid::pasteBlock()
{
    if (!m_model || !hasBlockSelection())
        return 0;
    const Block b = selectedBlock();
    QString clip = QApplication::clipboard()->text();
    clip.remove(u'\r');
    if (clip.endsWith(u'\n'))
        clip.chop(1);
    if (clip.isEmpty())
        return 0;
    QList<TableModel::CellWrite> writes;
    const QStringList lines = clip.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int row = b.firstRow + static_cast<int>(i);
        if (row > maxRows())
            break;
        const QStringList cells = lines[i].split(u'\t');
        for (qsizetype j = 0; j < cells.size(); ++j) {
            const int col = b.firstCol + static_cast<int>(j);
            if (col > maxCols())
                break;
            if (m_model->isKeyColumn(col - 1))
                continue;
            QString value = cells[j];
            if (const int limit = m_model->maxTextLength(col - 1); limit > 0)
                value.truncate(limit);
            writes << TableModel::CellWrite{row - 1, col - 1, value};
        }
    }
    return m_model->writeCells(writes) ? static_cast<int>(writes.size()) : 0;
}

QString SpreadGrid::inputHint(int col, int /*row*/) const
{
    if (!m_model || col < 1 || col > maxCols() || m_checkColumns.contains(col))
        return {};
    if (const int size = m_model->maxTextLength(col - 1); size > 0)
        return QStringLiteral("入力範囲：%1ﾊﾞｲﾄ以内の文字列").arg(size);
    if (m_model->declaredType(col - 1).contains(QStringLiteral("INT")))
        return QStringLiteral("入力範囲：-2147483648～2147483647");
    return {};
}

void SpreadGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    Q_EMIT focusLost();
}

void SpreadGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (current.isValid())
        Q_EMIT activeCellChanged(current.column() + 1, current.row() + 1);
}

} // namespace lumivox
