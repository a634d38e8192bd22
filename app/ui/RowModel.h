#pragma once

#include <QAbstractListModel>
#include <QColor>
#include <QList>
#include <QVariant>
#include <QtQmlIntegration>

#include <functional>

namespace vesko {

// The rows of one list in the panel, for a Repeater: each row is a
// presenter's gadget whose properties are the roles, with `color`, the
// colour the row is drawn in, beside them when the owner gives one.
class RowModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ANONYMOUS

public:
    explicit RowModel(const QMetaObject &row, QObject *parent = nullptr);

    template <typename Row>
    void setRows(const QList<Row> &rows, const std::function<QColor(const Row &)> &colorOf = {})
    {
        Q_ASSERT(&Row::staticMetaObject == &m_row);
        QVariantList values;
        QList<QColor> colors;
        values.reserve(rows.size());
        for (const Row &row : rows) {
            values.append(QVariant::fromValue(row));
            if (colorOf)
                colors.append(colorOf(row));
        }
        replace(std::move(values), std::move(colors));
    }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    void replace(QVariantList rows, QList<QColor> colors);

    const QMetaObject &m_row;
    QVariantList m_rows;
    QList<QColor> m_colors; // empty, or one per row
};

} // namespace vesko
