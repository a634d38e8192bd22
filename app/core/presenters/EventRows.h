#pragma once

#include "kit/VeskoEvent.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

namespace vesko {

// One subscription event in the "Latest veskos" card.
struct EventRow
{
    Q_GADGET
    Q_PROPERTY(QString badge MEMBER badge CONSTANT)
    Q_PROPERTY(QString headline MEMBER headline CONSTANT)
    Q_PROPERTY(QString detail MEMBER detail CONSTANT)
    Q_PROPERTY(QString age MEMBER age CONSTANT)
    Q_PROPERTY(QString spoken MEMBER spoken CONSTANT)

public:
    QString id;
    VeskoEvent::Kind kind = VeskoEvent::Kind::new_; // picks the badge colour
    QString badge;
    QString headline;
    QString detail;
    QString age; // as of the `now` it was built with
    // "New, €9.99 per month, Play Store, Snoutly, 5 minutes ago"
    QString spoken;
};

// The "Latest veskos" card: its rows in the model's order, or the empty-state
// sentence when there are none.
struct EventRows
{
    Q_GADGET
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(QString emptyText MEMBER emptyText CONSTANT)

public:
    QString title;
    QString emptyText; // empty unless `rows` is
    QList<EventRow> rows;
};

QString badgeText(VeskoEvent::Kind kind);
EventRow eventRow(const VeskoEvent &event, const QDateTime &now);
EventRows eventRows(const QList<VeskoEvent> &events, const QDateTime &now);

} // namespace vesko
