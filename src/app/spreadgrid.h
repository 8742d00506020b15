#pragma once

#include "app/dialoglifecycle.h"

#include <QPixmap>
#include <QTableView>

namespace lumivox {

class TableModel;

// The list grid of every window: a table view over a TableModel, addressed as the
// windows speak of it, by column and row from 1 (row 0 is the heading row,
// column 0 the row-header column). Widths are read and set in twips, as the
// settings file keeps them; width 0 hides a column.
class SpreadGrid : public QTableView
{
    Q_OBJECT
public:
    explicit SpreadGrid(QWidget *parent = nullptr);

    // The display set-up every window gives its grids.
    void applyPresentation();

    void bind(TableModel *model); // nullptr unbinds
    TableModel *boundModel() const { return m_model; }

    int maxRows() const;
    int maxCols() const;
    int activeRow() const; // 0 when there is no active cell
    int activeCol() const;
    void setActiveCell(int col, int row);

    QString text(int col, int row) const;
    // Writes through to the table; false when the write was refused.
    bool setText(int col, int row, const QString &text);
    // Heading of a column (row 0).
    void setHeading(int col, const QString &text);

    int colWidthTwips(int col) const;
    void setColWidthTwips(int col, int twips);
    int rowHeaderWidthTwips() const;
    int widthTwips() const;
    // Fits a column to the space right of the row-header column, less `lessTwips`.
    void fitColumn(int col, int lessTwips);

    // The column widths a window keeps in its section of the settings file,
    // "C1" … "Cn" in twips. Restoring applies each stored width above 0 (the
    // others keep their current width) and then hides column 1, the key,
    // whatever is stored. Saving writes every column, a hidden one as 0.
    void restoreColumnWidths(const QString &iniPath, const QString &section);
    void saveColumnWidths(const QString &iniPath, const QString &section) const;

    // Font size of every cell of the sheet, in points.
    void setSheetFontPoints(int points);

    // Shows a column's 0/1 values as check boxes drawn with the two pictures
    // (empty square, square with a red tick); a click or Space toggles them.
    void setCheckBoxColumn(int col);
    static QPixmap checkBoxPicture(bool ticked);

    // Block selection, 1-based and inclusive.
    struct Block {
        int firstCol = 0;
        int firstRow = 0;
        int lastCol = 0;
        int lastRow = 0;
    };
    bool hasBlockSelection() const;
    Block selectedBlock() const;
    void selectBlock(int firstCol, int firstRow, int lastCol, int lastRow);
    // The selected block as tab-separated text on the clipboard, one line a row.
    void copyBlock() const;
    // Writes the clipboard's tab-separated text into the grid from the top-left
    // cell of the selected block, in one transaction; never adds a row. Returns
    // the number of cells written (0 when refused).
    int pasteBlock();

    // The input range of a cell, for a status bar: "入力範囲：64ﾊﾞｲﾄ以内の文字列"
    // for a text column, "入力範囲：min～max" for a number, empty otherwise.
    QString inputHint(int col, int row) const;

Q_SIGNALS:
    void activeCellChanged(int col, int row);
    void cellChanged(int col, int row);
    void columnWidthsChanged();
    void focusLost();
    void cellDoubleClicked(int col, int row);

protected:
    void focusOutEvent(QFocusEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    TableModel *m_model = nullptr;
    QList<int> m_checkColumns;
    RefillGuard m_settingWidths; // while the program itself sets widths
};

} // namespace lumivox
