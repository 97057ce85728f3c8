// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "HostListModel.h"

#include "modLibrary.h"

#include <algorithm>

namespace {

std::size_t blockCount(qsizetype rows) {
    return static_cast<std::size_t>((rows + HostListModel::ROWS_FILLED_AT_ONCE - 1) /
                                    HostListModel::ROWS_FILLED_AT_ONCE);
}

} // namespace

HostListModel::HostListModel(QList<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)) {}

void HostListModel::setNames(const QStringList& names) {
    beginResetModel();
    names_ = names;
    fields_.assign(static_cast<std::size_t>(names_.size()) * (columns_.size() - 1), QString());
    filled_.assign(blockCount(names_.size()), false);
    endResetModel();
}

void HostListModel::appendName(const QString& name) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    names_.append(name);
    fields_.resize(fields_.size() + static_cast<std::size_t>(columns_.size() - 1));
    filled_.resize(blockCount(names_.size()));
    // The block the row joins was filled before it came: fill it again with the new row.
    filled_.back() = false;
    endInsertRows();
}

void HostListModel::forgetFields() {
    std::fill(filled_.begin(), filled_.end(), false);
    if (!names_.isEmpty()) {
        emit dataChanged(index(0, 1), index(rowCount() - 1, columnCount() - 1));
    }
}

bool HostListModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count < 1 || row + count > rowCount()) {
        return false;
    }
    beginRemoveRows(parent, row, row + count - 1);
    names_.remove(row, count);
    const auto width = static_cast<std::ptrdiff_t>(columns_.size() - 1);
    fields_.erase(fields_.begin() + row * width, fields_.begin() + (row + count) * width);
    // The rows after them moved into other blocks: those are filled again when next read.
    filled_.resize(blockCount(names_.size()));
    std::fill(filled_.begin() + row / ROWS_FILLED_AT_ONCE, filled_.end(), false);
    endRemoveRows();
    return true;
}

int HostListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

int HostListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QString& HostListModel::field(int row, int column) const {
    return fields_[static_cast<std::size_t>(row) * (columns_.size() - 1) + (column - 1)];
}

void HostListModel::fillBlockOf(int row) const {
    const auto block = static_cast<std::size_t>(row / ROWS_FILLED_AT_ONCE);
    if (filled_[block] || !fillRows) {
        return;
    }
    filled_[block] = true;
    const int first = static_cast<int>(block) * ROWS_FILLED_AT_ONCE;
    filling_ = true;
    fillRows(first, std::min(first + ROWS_FILLED_AT_ONCE, rowCount()) - 1);
    filling_ = false;
}

QVariant HostListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.model() != this ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    if (index.column() == 0) {
        return names_.at(index.row());
    }
    fillBlockOf(index.row());
    return field(index.row(), index.column());
}

bool HostListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.model() != this ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return false;
    }
    (index.column() == 0 ? names_[index.row()] : field(index.row(), index.column())) =
        value.toString();
    if (!filling_) {
        emit dataChanged(index, index);
    }
    return true;
}

QVariant HostListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return columns_.at(section).header;
    }
    return role == zeb::ui::COLUMN_KEY_ROLE ? QVariant(columns_.at(section).key) : QVariant();
}

// A list view's rows as Qt's tree widget makes them, so that screen readers describe them alike;
// the view itself edits nothing.
Qt::ItemFlags HostListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    return Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled |
           Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}
