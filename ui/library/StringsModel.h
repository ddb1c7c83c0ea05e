// The library's strings as a table: date, name, gun, pellet, shots counted
// (and excluded), average, SD, ES, minimum, maximum and average energy, in
// the units the main window shows. Sorting goes by the numbers, not by
// their text.
#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "ShotLibrary.h"
#include "StringFigures.h"

namespace quorvel {

class StringsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Date, Name, Gun, Pellet, Shots, Average, Sd, Es, Min, Max, Energy, Columns };
    static constexpr int kSortRole = Qt::UserRole;

    void SetRows(std::vector<StringRow> rows, const ShownUnits& units);
    const StringRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    int Find(std::int64_t id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<StringRow> rows_;
    ShownUnits units_;
};

}  // namespace quorvel
