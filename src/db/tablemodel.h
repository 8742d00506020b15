#pragma once

#include "db/database.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSqlDatabase>
#include <QStringList>
#include <QVector>

#include <functional>

namespace lumivox {

// The rows of one table (or of the part of it that a condition selects), in the
// table's own order, for a list grid to show and edit. Every edit is written to
// the table at once, row by row through the row's rowid; a refused write leaves
// the row as stored and raises writeFailed with the database's reason.
//
// Several programs may share the table (on a server): an edit is written only
// while the fields it changes still hold what the list shows. When another
// program changed them meanwhile, nothing is written, the row shows the stored
// values, and the write fails with kChangedElsewhere (kDeletedElsewhere when the
// record is gone).
//
// Columns are the table's columns in stored order and the headings are the field
// names, as the lists of the program show them. Field names match without regard
// to case (a server gives them in lower case).
class TableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TableModel(const QSqlDatabase &db, QObject *parent = nullptr);

    // Loads the whole table, or the rows matching `where` (an SQL condition whose
    // values are bound through `binds`). False, with lastError(), when it fails;
    // the model is then empty.
    bool open(const QString &table, const QString &where = {}, const QVariantList &binds = {});
    void close();
    QString table() const { return m_table; }
    QString lastError() const { return m_lastError; }
    // The last write was refused because another program had changed or
    // deleted the record meanwhile (lastError() then says so to the user).
    bool lastWriteWasStale() const
    {
        return m_lastError == kChangedElsewhere || m_lastError == kDeletedElsewhere;
    }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Field access by 0-based row.
    const QStringList &fieldNames() const { return m_fields; }
    int fieldIndex(const QString &field) const;
    QVariant value(int row, int column) const;
    QVariant value(int row, const QString &field) const;
    // Writes several fields of one row in one statement.
    bool setValues(int row, const QVariantMap &fieldValues);
    // One cell written as part of a block.
    struct CellWrite {
        int row;
        int column;
        QVariant value;
    };
    // Writes a block of cells in one transaction: all of them or none.
    bool writeCells(const QList<CellWrite> &cells);
    // First row whose field equals value (compared as numbers when both are), or -1.
    int findRow(const QString &field, const QVariant &value) const;
    // Inserts a record (fields not named take their defaults) and appends it as
    // the last row. Returns the new row, or -1.
    int appendRecord(const QVariantMap &fieldValues);
    // Deletes a row's record and runs `alsoRun` in the same transaction.
    bool removeRecord(int row, const QList<SqlStatement> &alsoRun = {});

    // Adjusts each value before it is written, whichever way it comes (a cell
    // edited, a block pasted, fields set): the register of members makes a
    // typed mail address plain here. A text it returns is a note for the user
    // about the value, raised as writeNoted once the write is done.
    using WriteAdjust = std::function<QString(const QString &field, QVariant &value)>;
    void setWriteAdjust(WriteAdjust adjust) { m_adjust = std::move(adjust); }

    // One more column after the table's, read-only, whose text the caller
    // computes per row (the notice list's 状態); computedColumnChanged() says
    // that its texts have changed.
    void setComputedColumn(const QString &heading, std::function<QString(int row)> text);
    void computedColumnChanged();

    // The declared size of a text column (VARCHAR(n)), 0 when it has none.
    int maxTextLength(int column) const;
    // SQLite's declared type of a column, upper-case ("INTEGER", "VARCHAR(10)", …).
    QString declaredType(int column) const;
    bool isKeyColumn(int column) const;

    QSqlDatabase database() const { return m_db; }

    // Why a write was refused when another program had changed the record, or
    // had deleted it.
    static const QString kChangedElsewhere;
    static const QString kDeletedElsewhere;

Q_SIGNALS:
    void writeFailed(const QString &message);
    void writeNoted(const QString &note);

private:
    bool fail(const QString &message);
    // The row as stored now, shown in place of what the list held; false when
    // it is no longer stored.
    bool showStored(int row);
    // The value as the adjustment makes it, its note added to `notes`.
    QVariant adjusted(const QString &field, QVariant value, QStringList *notes) const;
    bool readRow(qint64 rowid, QVector<QVariant> *values);
    // Reads the row's long texts (columns declared TEXT) when not read yet.
    void ensureLongTexts(int row) const;

    QSqlDatabase m_db;
    QString m_table;
    QString m_lastError;
    QStringList m_fields;
    QStringList m_types;
    QVector<bool> m_key;
    QHash<int, QString> m_headings;
    QVector<int> m_lazyColumns;          // long texts, read per row on first use
    mutable QVector<bool> m_lazyLoaded;  // per row: its long texts are read
    QVector<qint64> m_rowids;
    QString m_declaredTable;       // the table m_declared describes
    QList<ColumnInfo> m_declared;
    mutable QVector<QVector<QVariant>> m_rows;
    WriteAdjust m_adjust;
    QString m_computedHeading;
    std::function<QString(int row)> m_computed;
};

} // namespace lumivox
