#include "app/ui/RowModel.h"

#include <QMetaProperty>

namespace vesko {

namespace {

// The colour takes the first role; the gadget's properties follow in order.
constexpr int colorRole = Qt::UserRole;
constexpr int firstPropertyRole = Qt::UserRole + 1;

} // namespace

RowModel::RowModel(const QMetaObject &row, QObject *parent)
    : QAbstractListModel(parent),
      m_row(row)
{}

int RowModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant RowModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == colorRole)
        return index.row() < m_colors.size() ? QVariant(m_colors.at(index.row())) : QVariant();
    const QMetaProperty property = m_row.property(role - firstPropertyRole);
    return property.isValid() ? property.readOnGadget(m_rows.at(index.row()).constData()) : QVariant();
}

QHash<int, QByteArray> RowModel::roleNames() const
{
    QHash<int, QByteArray> names{{colorRole, QByteArrayLiteral("color")}};
    for (int i = 0; i < m_row.propertyCount(); ++i)
        names.insert(firstPropertyRole + i, m_row.property(i).name());
    return names;
}

void RowModel::replace(QVariantList rows, QList<QColor> colors)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_colors = std::move(colors);
    endResetModel();
}

} // namespace vesko
