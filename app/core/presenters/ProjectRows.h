#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace vesko {

class Summary;

// One project with revenue.
struct ProjectRow
{
    Q_GADGET
    // `id` is a reserved word in QML.
    Q_PROPERTY(QString projectId MEMBER id CONSTANT)
    Q_PROPERTY(QString name MEMBER name CONSTANT)
    Q_PROPERTY(QString amount MEMBER amount CONSTANT)
    Q_PROPERTY(double fraction MEMBER fraction CONSTANT)
    Q_PROPERTY(QString spoken MEMBER spoken CONSTANT)

public:
    QString id;
    QString name;
    QString color; // "#RRGGBB" as the service sent it, or empty when that was no such colour
    QString amount;
    double fraction = 0; // of the largest project's MRR; the largest is 1
    QString spoken;      // "Snoutly, $250"
};

// The "By project" card. It is left out when `rows` is empty, as it is for
// fewer than two paying projects: one project's row would repeat the hero.
struct ProjectRows
{
    Q_GADGET
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(bool shown READ shown CONSTANT)

public:
    QString title;
    QList<ProjectRow> rows;

    bool shown() const { return !rows.isEmpty(); }
};

// Projects with an MRR above zero, in the order the service sent them.
ProjectRows projectRows(const Summary &summary);

// `text` when it is a colour "#RRGGBB" (hex digits in either case), else
// empty: the service's string never reaches the views unchecked.
QString hexColor(const QString &text);

} // namespace vesko
