#include "StringsModel.h"

#include "NumberText.h"
#include "UtcTime.h"

namespace quorvel {

void StringsModel::SetRows(std::vector<StringRow> rows, const ShownUnits& units)
{
    beginResetModel();
    rows_ = std::move(rows);
    units_ = units;
    endResetModel();
}

int StringsModel::Find(std::int64_t id) const
{
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].info.id == id) return static_cast<int>(i);
    }
    return -1;
}

int StringsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int StringsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Columns; }

QVariant StringsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const StringRow& r = rows_[static_cast<std::size_t>(index.row())];
    const Summary& s = r.summary;
    const bool any = s.count > 0;
    // Stored metric; shown as the main window shows. SD and ES are
    // differences, so they scale the same way.
    const double speed = units_.Speed(1);
    const auto number = [&](double value, double shown) -> QVariant {
        if (role == kSortRole) return any ? value : -1.0;
        return any ? QString::fromStdString(FormatPattern(shown, "0.00")) : QString();
    };
    if (role == Qt::TextAlignmentRole && index.column() >= Shots) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != kSortRole) return {};
    switch (index.column()) {
    case Date: return QString::fromStdString(LocalTimeText(r.info.startedUtc));
    case Name: return QString::fromStdString(r.info.name);
    case Gun: return QString::fromStdString(r.info.gun);
    case Pellet: return QString::fromStdString(r.info.pellet);
    case Shots:
        if (role == kSortRole) return s.count;
        return r.excluded > 0 ? QString("%1 (+%2)").arg(s.count).arg(r.excluded) : QString::number(s.count);
    case Average: return number(s.mean, s.mean * speed);
    case Sd: return number(s.sd, s.sd * speed);
    case Es: return number(s.Es(), s.Es() * speed);
    case Min: return number(s.min, s.min * speed);
    case Max: return number(s.max, s.max * speed);
    case Energy: return number(r.averageEnergy, units_.EnergyFromJoules(r.averageEnergy));
    default: return {};
    }
}

QVariant StringsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    const QString v = QString::fromStdString(units_.SpeedUnit());
    switch (section) {
    case Date: return "Started";
    case Name: return "Name";
    case Gun: return "Gun";
    case Pellet: return "Pellet";
    case Shots: return "Shots";
    case Average: return "Average " + v;
    case Sd: return "SD " + v;
    case Es: return "ES " + v;
    case Min: return "Min " + v;
    case Max: return "Max " + v;
    case Energy: return "Energy " + QString::fromStdString(units_.EnergyUnit());
    default: return {};
    }
}

}  // namespace quorvel
