#include "listview/addressrows.h"

namespace qos {

int AddressRows::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : size();
}

int AddressRows::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant AddressRows::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= size())
        return {};
    const Row &row = m_rows.at(index.row());
    if (role == Qt::ToolTipRole)
        return row.tip.isEmpty() ? QVariant() : QVariant(row.tip);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case AddressColumn:
        return row.row.address;
    case StatusColumn:
        return row.row.status;
    case RoleColumn:
        return row.row.role;
    }
    return {};
}

int AddressRows::find(const QString &address) const
{
    for (int r = 0; r < size(); ++r)
        if (m_rows.at(r).row.address == address)
            return r;
    return -1;
}

bool AddressRows::anyRole(const QString &role) const
{
    for (const Row &row : m_rows)
        if (row.row.role == role)
            return true;
    return false;
}

void AddressRows::append(const AddressRow &row)
{
    beginInsertRows({}, size(), size());
    m_rows.append(Row{row, {}});
    endInsertRows();
}

void AddressRows::remove(int r)
{
    if (r < 0 || r >= size())
        return;
    beginRemoveRows({}, r, r);
    m_rows.removeAt(r);
    endRemoveRows();
}

void AddressRows::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void AddressRows::changedRow(int r)
{
    Q_EMIT dataChanged(index(r, 0), index(r, 2));
}

void AddressRows::setStatus(int r, const QString &status)
{
    if (r < 0 || r >= size())
        return;
    m_rows[r].row.status = status;
    changedRow(r);
}

void AddressRows::setRole(int r, const QString &role)
{
    if (r < 0 || r >= size())
        return;
    m_rows[r].row.role = role;
    changedRow(r);
}

void AddressRows::setTip(int r, const QString &tip)
{
    if (r < 0 || r >= size() || m_rows.at(r).tip == tip)
        return;
    m_rows[r].tip = tip;
    changedRow(r);
}

} // namespace qos
