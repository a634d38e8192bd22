#include "app/core/presenters/ProjectRows.h"

#include "kit/Money.h"
#include "kit/Summary.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vesko {

QString hexColor(const QString &text)
{
    if (text.size() != 7 || text.front() != u'#')
        return {};
    const bool hex = std::all_of(text.begin() + 1, text.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
    return hex ? text : QString();
}

ProjectRows projectRows(const Summary &summary)
{
    QList<ProjectAmount> paying;
    std::copy_if(summary.byProject().begin(), summary.byProject().end(), std::back_inserter(paying),
                 [](const ProjectAmount &project) { return project.mrr() > 0; });
    ProjectRows card{.title = u"By project"_s};
    if (paying.size() < 2)
        return card;
    qint64 largest = 1;
    for (const ProjectAmount &project : paying)
        largest = std::max(largest, project.mrr());

    card.rows.reserve(paying.size());
    for (const ProjectAmount &project : paying) {
        const QString amount = Money::price(project.mrr(), summary.currency());
        card.rows.append({
            .id = project.id(),
            .name = project.name(),
            .color = hexColor(project.color()),
            .amount = amount,
            .fraction = double(project.mrr()) / double(largest),
            .spoken = project.name() + u", "_s + Money::spokenAmount(amount),
        });
    }
    return card;
}

} // namespace vesko
