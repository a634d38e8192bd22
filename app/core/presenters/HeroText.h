#pragma once

#include <QObject>
#include <QString>

namespace vesko {

class Summary;

// The headline card's texts. An empty optional line is not shown.
struct HeroText
{
    Q_GADGET
    Q_PROPERTY(QString caption MEMBER caption CONSTANT)
    Q_PROPERTY(QString figure MEMBER figure CONSTANT)
    Q_PROPERTY(QString growth MEMBER growth CONSTANT)
    Q_PROPERTY(QString exactLine MEMBER exactLine CONSTANT)
    Q_PROPERTY(QString exchangeNote MEMBER exchangeNote CONSTANT)
    Q_PROPERTY(QString spoken MEMBER spoken CONSTANT)

public:
    QString caption;
    QString figure;
    QString growth;       // the pill; empty when the service sent no growth
    QString exactLine;    // empty unless the MRR is at least one cent
    QString exchangeNote; // empty unless some amounts wait for an exchange rate
    QString spoken;       // the card read as one sentence: a screen reader's name for it
};

// `countEnding`: whether the MRR includes subscriptions that are set to end.
HeroText heroText(const Summary &summary, bool countEnding);

} // namespace vesko
