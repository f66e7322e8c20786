#pragma once
// The rows of one group of the List View, as a model its three lists show (one column each: the
// address, the status word, the role word). The lists hold no rows of their own: a change here is
// seen by all three at once.
//
// Invariants:
//  - Every row has all three columns; rows are appended at the end and removed whole.
//  - A row's tooltip (its address's latency line) is shown in all three columns.
#include "listview/rows.h"

#include <QAbstractTableModel>
#include <QList>

namespace qos {

class AddressRows : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { AddressColumn, StatusColumn, RoleColumn };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    int size() const { return int(m_rows.size()); }
    const AddressRow &at(int r) const { return m_rows.at(r).row; }
    // The first row showing address; -1 when none does.
    int find(const QString &address) const;
    bool anyRole(const QString &role) const;

    void append(const AddressRow &row);
    void remove(int r);
    void clear();
    void setStatus(int r, const QString &status);
    void setRole(int r, const QString &role);
    void setTip(int r, const QString &tip);

private:
    struct Row {
        AddressRow row;
        QString tip;
    };
    void changedRow(int r);

    QList<Row> m_rows;
};

} // namespace qos
