// SPDX-License-Identifier: GPL-3.0-or-later
// List1's rows: the data lines of the last assembly compile, read in place.
#pragma once

#include <QAbstractListModel>

#include "tavrilo/convert/line_store.h"

namespace tavrilo {

class LineStoreModel : public QAbstractListModel {
public:
    explicit LineStoreModel(const LineStore& store, QObject* parent = nullptr)
        : QAbstractListModel(parent), store_(store) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // Call after the store has changed.
    void Reload();

private:
    const LineStore& store_;
};

}  // namespace tavrilo
