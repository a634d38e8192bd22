#include "kit/KeyConversion.h"

#include <QStringList>

namespace vesko {

namespace {

// First letter upper-cased, the rest lower-cased.
QString capitalized(QStringView word)
{
    const qsizetype firstLength = word.front().isHighSurrogate() && word.size() > 1 ? 2 : 1;
    return word.first(firstLength).toString().toUpper() + word.sliced(firstLength).toString().toLower();
}

} // namespace

QString convertFromSnakeCase(const QString &key)
{
    const qsizetype first = [&] {
        qsizetype i = 0;
        while (i < key.size() && key[i] == u'_')
            ++i;
        return i;
    }();
    if (first == key.size())
        return key; // empty, or nothing but underscores

    qsizetype last = key.size() - 1;
    while (last > first && key[last] == u'_')
        --last;

    const QStringView core = QStringView(key).sliced(first, last - first + 1);
    const QList<QStringView> words = core.split(u'_', Qt::SkipEmptyParts);
    if (words.size() == 1)
        return key;

    QString result = key.first(first);
    result += words.front().toString().toLower();
    for (qsizetype i = 1; i < words.size(); ++i)
        result += capitalized(words[i]);
    result += QStringView(key).sliced(last + 1);
    return result;
}

} // namespace vesko
