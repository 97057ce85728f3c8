// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The rows of the Hosts tab's list view: each row is a host record's name (its own text, column 0)
// with a text field for each further column, the columns carrying their keys (COLUMN_KEY_ROLE) as
// SetListItemColumn looks them up.
//
// The names are all there from the start; the other fields are filled as rows are first read (by
// the view drawing them, a screen reader, a test), a block of rows at a time, through fillRows.
// Reading three values of every record of a large store would cost more than the whole dialog,
// while a view shows a few dozen rows.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class HostListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString header;
        QString key;
    };
    // Rows are filled in blocks of this many, one call of fillRows each.
    static constexpr int ROWS_FILLED_AT_ONCE = 64;

    HostListModel(QList<Column> columns, QObject* parent);

    // Fills the fields of rows first..last (setData); called when one of them is read unfilled.
    // Fields written meanwhile announce no change: whoever asked is about to read them.
    std::function<void(int first, int last)> fillRows;

    // Every row anew, one for each name, no field filled.
    void setNames(const QStringList& names);
    void appendName(const QString& name);
    // Every field unfilled again, so that the rows read next are filled afresh from the store.
    void forgetFields();
    QString nameAt(int row) const { return names_.value(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

private:
    QString& field(int row, int column) const;
    void fillBlockOf(int row) const;

    QList<Column> columns_;
    QStringList names_;
    // Row-major, columns 1 and up; filled_ holds one flag for each block of rows.
    mutable std::vector<QString> fields_;
    mutable std::vector<bool> filled_;
    mutable bool filling_ = false;
};
