#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace vesko {

class Summary;

// One figure under the hero: a value over its short label.
struct Figure
{
    Q_GADGET
    Q_PROPERTY(QString value MEMBER value CONSTANT)
    Q_PROPERTY(QString label MEMBER label CONSTANT)
    Q_PROPERTY(QString spoken MEMBER spoken CONSTANT)

public:
    QString value;
    QString label;
    QString spoken; // "ARR, $148.1K"
};

// The figures behind the MRR, or, for an account with no revenue source yet,
// a sentence and the way to connect one in place of the empty cards.
struct FigureRow
{
    Q_GADGET
    Q_PROPERTY(bool hasSources MEMBER hasSources CONSTANT)
    Q_PROPERTY(int columns READ columns CONSTANT)
    Q_PROPERTY(QString noSourceTitle MEMBER noSourceTitle CONSTANT)
    Q_PROPERTY(QString noSourceNote MEMBER noSourceNote CONSTANT)
    Q_PROPERTY(QString noSourceAction MEMBER noSourceAction CONSTANT)

public:
    bool hasSources = true;
    QList<Figure> figures; // empty without sources
    QString noSourceTitle; // empty with sources, as are the two below
    QString noSourceNote;
    QString noSourceAction; // the dashboard button's title, beside the note

    int columns() const { return int(figures.size()); }
};

FigureRow figureRow(const Summary &summary);

} // namespace vesko
