// SPDX-License-Identifier: GPL-3.0-or-later
#include "line_store_model.h"

#include <climits>

#include "cp1252.h"

namespace tavrilo {

int LineStoreModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(std::min<std::size_t>(store_.Count(), INT_MAX));
}

QVariant LineStoreModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return FromCp1252(store_.Item(static_cast<std::size_t>(index.row())));
}

void LineStoreModel::Reload() {
    beginResetModel();
    endResetModel();
}

}  // namespace tavrilo
