// Reads saved service answers (summary, events or account) and prints them
// with the library's decoding and money text. Handy for checking what a
// given answer will look like, and for seeing why one does not decode.
#include "kit/DataEnvelope.h"
#include "kit/Me.h"
#include "kit/Money.h"
#include "kit/Summary.h"
#include "kit/TimeAgo.h"
#include "kit/VeskoEvent.h"

#include <QFile>
#include <QTextStream>

using namespace Qt::StringLiterals;

using namespace vesko;

namespace {

QTextStream out(stdout);

void printSummary(const Summary &s)
{
    out << "MRR      " << Money::whole(s.mrr(), s.currency()) << "  (menu bar "
        << Money::compact(s.mrr(), s.currency());
    if (s.growth())
        out << ", growth " << Money::growth(*s.growth());
    out << ")\n";
    out << "exact    " << Money::price(s.mrr(), s.currency()) << "\n";
    out << "ending   " << Money::price(s.ending(), s.currency()) << "\n";
    for (const ChannelAmount &c : s.byChannel())
        out << "  " << c.channel().label() << " (" << c.channel().source() << ")  "
            << Money::price(c.mrr(), s.currency()) << "\n";
}

void printEvents(const QList<VeskoEvent> &events)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const VeskoEvent &e : events) {
        out << e.kind().rawValue() << "  ";
        if (e.amount())
            out << Money::price(*e.amount(), e.currency()) << (e.interval() ? u" / "_s + *e.interval() : QString());
        out << "  " << e.channel().label() << " · " << e.project().name() << "  " << timeAgo(e.occurredAt(), now)
            << "\n";
    }
}

} // namespace

int main(int argc, char **argv)
{
    QTextStream err(stderr);
    if (argc != 3) {
        err << "usage: vesko-peek summary|events|me FILE\n";
        return 2;
    }
    const QString kind = QString::fromLocal8Bit(argv[1]);
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::ReadOnly)) {
        err << "vesko-peek: cannot read " << file.fileName() << ": " << file.errorString() << "\n";
        return 1;
    }
    const QByteArray body = file.readAll();
    try {
        if (kind == u"summary")
            printSummary(decodeData<Summary>(body));
        else if (kind == u"events")
            printEvents(decodeData<QList<VeskoEvent>>(body));
        else if (kind == u"me")
            out << decodeData<Me>(body).name() << "\n";
        else {
            err << "vesko-peek: unknown answer kind " << kind << "\n";
            return 2;
        }
    } catch (const DecodingError &error) {
        err << "vesko-peek: does not decode: " << error.message() << "\n";
        return 1;
    }
    return 0;
}
