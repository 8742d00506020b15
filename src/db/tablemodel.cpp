#include "db/tablemodel.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace lumivox {

const QString TableModel::kChangedElsewhere =
    QStringLiteral("ほかの担当者がこの記録を変更していたため，保存しませんでした。"
                   "いまの内容を表示します。");
const QString TableModel::kDeletedElsewhere =
    QStringLiteral("ほかの担当者がこの記録を削除していたため，保存できませんでした。");

namespace {

constexpr auto kRowidAlias = "lumivox_rowid";

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    bool okA = false;
    bool okB = false;
    const double da = a.toDouble(&okA);
    const double db = b.toDouble(&okB);
    if (okA && okB)
        return da == db;
    return a.toString() == b.toString();
}

} // namespace

TableModel::TableModel(const QSqlDatabase &db, QObject *parent)
    : QAbstractTableModel(parent), m_db(db)
{
}

bool TableModel::open(const QString &table, const QString &where, const QVariantList &binds)
{
    beginResetModel();
    m_table = table;
    m_fields.clear();
    m_rowids.clear();
    m_rows.clear();
    m_headings.clear();
    m_lastError.clear();
    m_types.clear();
    m_key.clear();
    m_lazyColumns.clear();
    m_lazyLoaded.clear();

    // Long texts (a notice's body) are left out of the first read and fetched per
    // row when first needed: a list shows a few rows, not the 2 MB of them all.
    QStringList columns;
    // The columns are looked up once per table: on a server that is a trip to
    // its catalogue, and a list is reopened at every filter.
    if (table != m_declaredTable || m_declared.isEmpty()) {
        m_declared = tableColumns(m_db, table);
        m_declaredTable = table;
    }
    const QList<ColumnInfo> declared = m_declared;
    for (const ColumnInfo &c : declared) {
        columns << (c.type == QLatin1String("TEXT")
                        ? QStringLiteral("null as %1").arg(quoted(c.name))
                        : quoted(c.name));
    }
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    QString sql = QStringLiteral("select rowid as %1, %2 from %3")
                      .arg(QLatin1String(kRowidAlias),
                           columns.isEmpty() ? QStringLiteral("*") : columns.join(u','),
                           quoted(table));
    if (!where.isEmpty())
        sql += QStringLiteral(" where ") + where;
    // The table's own order: a server keeps no order of its own.
    sql += QStringLiteral(" order by rowid");
    const bool ok = prepareAndRun(q, {sql, binds});
    if (ok) {
        const QSqlRecord rec = q.record();
        for (int i = 1; i < rec.count(); ++i)
            m_fields << rec.fieldName(i);
        const int n = static_cast<int>(m_fields.size());
        m_types = QStringList(n);
        m_key = QVector<bool>(n, false);
        for (const ColumnInfo &c : declared) {
            const int i = fieldIndex(c.name);
            if (i < 0)
                continue;
            m_types[i] = c.type;
            m_key[i] = c.key;
            if (c.type == QLatin1String("TEXT"))
                m_lazyColumns << i;
        }
        while (q.next()) {
            m_rowids << q.value(0).toLongLong();
            QVector<QVariant> row(n);
            for (int i = 0; i < n; ++i)
                row[i] = q.value(i + 1);
            m_rows << row;
        }
        m_lazyLoaded = QVector<bool>(m_rows.size(), m_lazyColumns.isEmpty());
    } else {
        m_lastError = q.lastError().text();
        m_table.clear();
    }
    endResetModel();
    return ok;
}

void TableModel::close()
{
    beginResetModel();
    m_table.clear();
    m_fields.clear();
    m_types.clear();
    m_key.clear();
    m_lazyColumns.clear();
    m_lazyLoaded.clear();
    m_rowids.clear();
    m_rows.clear();
    m_headings.clear();
    endResetModel();
}

int TableModel::fieldIndex(const QString &field) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// The row's long texts, read together with those of the rows below it that
// still lack theirs: a list asks for a screenful of rows, one after another.
void TableModel::ensureLongTexts(int row) const
{
    if (row < 0 || row >= m_lazyLoaded.size() || m_lazyLoaded[row])
        return;
    constexpr int kBlock = 32;
    QHash<qint64, int> rowOf;
    QStringList marks;
    QVariantList binds;
    for (int r = row; r < m_lazyLoaded.size() && rowOf.size() < kBlock; ++r) {
        if (m_lazyLoaded[r])
            continue;
        rowOf.insert(m_rowids[r], r);
        marks << QStringLiteral("?");
        binds << m_rowids[r];
    }
    QStringList columns;
    for (int c : m_lazyColumns)
        columns << quoted(m_fields[c]);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("select rowid, %1 from %2 where rowid in (%3)")
                  .arg(columns.join(u','), quoted(m_table), marks.join(u',')));
    for (const QVariant &id : std::as_const(binds))
        q.addBindValue(id);
    if (!q.exec())
        return; // shown as empty; a later look tries again
    while (q.next()) {
        const int r = rowOf.value(q.value(0).toLongLong(), -1);
        if (r < 0)
            continue;
        for (qsizetype i = 0; i < m_lazyColumns.size(); ++i)
            m_rows[r][m_lazyColumns[i]] = q.value(static_cast<int>(i + 1));
        m_lazyLoaded[r] = true;
    }
}

int TableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_fields.size()) + (m_computed ? 1 : 0);
}

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= columnCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        const QVariant v = value(index.row(), index.column());
        return v.isNull() ? QVariant() : v;
    }
    return {};
}

bool TableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() >= m_fields.size())
        return false;
    return setValues(index.row(), {{m_fields[index.column()], value}});
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Vertical)
        return section + 1;
    if (m_headings.contains(section))
        return m_headings.value(section);
    if (m_computed && section == m_fields.size())
        return m_computedHeading;
    return section < m_fields.size() ? QVariant(m_fields[section]) : QVariant();
}

bool TableModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                               int role)
{
    if (orientation != Qt::Horizontal || (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    m_headings.insert(section, value.toString());
    Q_EMIT headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags TableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && !isKeyColumn(index.column()) && index.column() < m_fields.size())
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant TableModel::value(int row, int column) const
{
    if (m_computed && column == m_fields.size() && row >= 0 && row < m_rows.size())
        return m_computed(row);
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_fields.size())
        return {};
    if (m_lazyColumns.contains(column))
        ensureLongTexts(row);
    return m_rows[row][column];
}

QVariant TableModel::value(int row, const QString &field) const
{
    return value(row, fieldIndex(field));
}

bool TableModel::fail(const QString &message)
{
    m_lastError = message;
    Q_EMIT writeFailed(message);
    return false;
}

QVariant TableModel::adjusted(const QString &field, QVariant value, QStringList *notes) const
{
    if (m_adjust) {
        if (const QString note = m_adjust(field, value); !note.isEmpty())
            *notes << note;
    }
    return value;
}

bool TableModel::setValues(int row, const QVariantMap &fieldValues)
{
    if (row < 0 || row >= m_rows.size() || fieldValues.isEmpty())
        return false;
    QStringList sets;
    QStringList unchanged;
    QVariantList binds;
    QVariantList shown;
    QVector<int> columns;
    QStringList notes;
    for (auto it = fieldValues.cbegin(); it != fieldValues.cend(); ++it) {
        const int c = fieldIndex(it.key());
        if (c < 0)
            return fail(QStringLiteral("no column %1").arg(it.key()));
        sets << quoted(it.key()) + QStringLiteral(" = ?");
        unchanged << quoted(it.key()) + QStringLiteral(" is not distinct from ?");
        binds << adjusted(it.key(), it.value(), &notes);
        shown << value(row, c);
        columns << c;
    }
    binds << m_rowids[row];
    binds += shown;
    QSqlQuery q(m_db);
    bool ok = q.prepare(QStringLiteral("update %1 set %2 where rowid = ? and %3")
                            .arg(quoted(m_table), sets.join(QStringLiteral(", ")),
                                 unchanged.join(QStringLiteral(" and "))));
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!ok || !q.exec())
        return fail(q.lastError().text());
    if (q.numRowsAffected() == 0)
        return fail(showStored(row) ? kChangedElsewhere : kDeletedElsewhere);
    QVector<QVariant> stored;
    if (readRow(m_rowids[row], &stored)) {
        m_rows[row] = stored;
        m_lazyLoaded[row] = true;
    }
    const int first = *std::min_element(columns.cbegin(), columns.cend());
    const int last = *std::max_element(columns.cbegin(), columns.cend());
    Q_EMIT dataChanged(index(row, first), index(row, last));
    if (!notes.isEmpty())
        Q_EMIT writeNoted(notes.join(u'\n'));
    return true;
}

bool TableModel::writeCells(const QList<CellWrite> &cells)
{
    QList<CellWrite> writes; // with the values as written
    QStringList notes;
    for (const CellWrite &cell : cells) {
        if (cell.row >= 0 && cell.row < m_rows.size() && cell.column >= 0 && cell.column < m_fields.size())
            writes << CellWrite{cell.row, cell.column, adjusted(m_fields[cell.column], cell.value, &notes)};
    }
    if (writes.isEmpty())
        return true;
    QSqlDatabase conn = m_db;
    if (!conn.transaction())
        return fail(conn.lastError().text());
    for (const CellWrite &cell : std::as_const(writes)) {
        const QString column = quoted(m_fields[cell.column]);
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("update %1 set %2 = ? where rowid = ? and %2 is not distinct from ?")
                      .arg(quoted(m_table), column));
        q.addBindValue(cell.value);
        q.addBindValue(m_rowids[cell.row]);
        q.addBindValue(value(cell.row, cell.column));
        const bool ok = q.exec();
        if (!ok || q.numRowsAffected() == 0) {
            const QString error = q.lastError().text();
            conn.rollback(); // while the query lives: a server frees it only then
            if (ok)
                return fail(showStored(cell.row) ? kChangedElsewhere : kDeletedElsewhere);
            return fail(error);
        }
    }
    if (!conn.commit()) {
        const QString error = conn.lastError().text();
        conn.rollback();
        return fail(error);
    }
    int firstRow = INT_MAX;
    int lastRow = -1;
    for (const CellWrite &cell : cells) {
        if (cell.row < 0 || cell.row >= m_rows.size())
            continue;
        firstRow = std::min(firstRow, cell.row);
        lastRow = std::max(lastRow, cell.row);
    }
    for (int r = firstRow; r <= lastRow; ++r) {
        QVector<QVariant> stored;
        if (readRow(m_rowids[r], &stored)) {
            m_rows[r] = stored;
            m_lazyLoaded[r] = true;
        }
    }
    Q_EMIT dataChanged(index(firstRow, 0), index(lastRow, columnCount() - 1));
    if (!notes.isEmpty())
        Q_EMIT writeNoted(notes.join(u'\n'));
    return true;
}

bool TableModel::readRow(qint64 rowid, QVector<QVariant> *values)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("select * from %1 where rowid = ?").arg(quoted(m_table)));
    q.addBindValue(rowid);
    if (!q.exec() || !q.next())
        return false;
    values->resize(m_fields.size());
    for (int i = 0; i < m_fields.size(); ++i)
        (*values)[i] = q.value(i);
    return true;
}

int TableModel::findRow(const QString &field, const QVariant &wanted) const
{
    const int c = fieldIndex(field);
    if (c < 0)
        return -1;
    for (int r = 0; r < m_rows.size(); ++r) {
        if (sameValue(value(r, c), wanted))
            return r;
    }
    return -1;
}

int TableModel::appendRecord(const QVariantMap &fieldValues)
{
    if (m_table.isEmpty())
        return -1;
    QStringList columns;
    QStringList marks;
    QVariantList binds;
    for (auto it = fieldValues.cbegin(); it != fieldValues.cend(); ++it) {
        columns << quoted(it.key());
        marks << QStringLiteral("?");
        binds << it.value();
    }
    QSqlQuery q(m_db);
    QString sql = columns.isEmpty()
                      ? QStringLiteral("insert into %1 default values").arg(quoted(m_table))
                      : QStringLiteral("insert into %1 (%2) values (%3)")
                            .arg(quoted(m_table), columns.join(u','), marks.join(u','));
    // A server names the new row through its rowid column; SQLite through its
    // last insert id.
    const bool server = engineOf(m_db) == Engine::PostgreSQL;
    if (server)
        sql += QStringLiteral(" returning rowid");
    bool ok = q.prepare(sql);
    if (ok) {
        for (const QVariant &v : binds)
            q.addBindValue(v);
        ok = q.exec();
    }
    if (!ok) {
        fail(q.lastError().text());
        return -1;
    }
    const qint64 rowid = server ? (q.next() ? q.value(0).toLongLong() : 0) : q.lastInsertId().toLongLong();
    QVector<QVariant> stored;
    if (!readRow(rowid, &stored)) {
        fail(QStringLiteral("inserted row not found"));
        return -1;
    }
    const int row = static_cast<int>(m_rows.size());
    beginInsertRows({}, row, row);
    m_rowids << rowid;
    m_rows << stored;
    m_lazyLoaded << true;
    endInsertRows();
    return row;
}

bool TableModel::removeRecord(int row, const QList<SqlStatement> &alsoRun)
{
    if (row < 0 || row >= m_rows.size())
        return false;
    QList<SqlStatement> statements{
        {QStringLiteral("delete from %1 where rowid = ?").arg(quoted(m_table)), {m_rowids[row]}}};
    statements += alsoRun;
    QString error;
    if (!executeAll(m_db, statements, &error))
        return fail(error);
    beginRemoveRows({}, row, row);
    m_rowids.removeAt(row);
    m_rows.removeAt(row);
    m_lazyLoaded.removeAt(row);
    endRemoveRows();
    return true;
}

bool TableModel::showStored(int row)
{
    QVector<QVariant> stored;
    if (!readRow(m_rowids[row], &stored))
        return false; // deleted by the other program: the list shows it until reloaded
    m_rows[row] = stored;
    m_lazyLoaded[row] = true;
    Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    return true;
}

void TableModel::setComputedColumn(const QString &heading, std::function<QString(int row)> text)
{
    beginResetModel();
    m_computedHeading = heading;
    m_computed = std::move(text);
    endResetModel();
}

void TableModel::computedColumnChanged()
{
    if (m_computed && !m_rows.isEmpty())
        Q_EMIT dataChanged(index(0, int(m_fields.size())), index(int(m_rows.size()) - 1, int(m_fields.size())));
}

int TableModel::maxTextLength(int column) const
{
    static const QRegularExpression sized(QStringLiteral(R"(^\w*CHAR\s*\(\s*(\d+)\s*\))"));
    const auto m = sized.match(declaredType(column));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

QString TableModel::declaredType(int column) const
{
    return column >= 0 && column < m_types.size() ? m_types[column] : QString();
}

bool TableModel::isKeyColumn(int column) const
{
    return column >= 0 && column < m_key.size() && m_key[column];
}

} // namespace lumivox
