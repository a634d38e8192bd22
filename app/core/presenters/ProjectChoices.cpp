#include "app/core/presenters/ProjectChoices.h"

#include "kit/APIClient.h"

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

const QString allTitle = u"All projects"_s;

} // namespace

QList<ProjectChoice> projectChoices(const QList<ProjectAmount> &projects, const QString &scope)
{
    const bool scoped = scope != allProjects;
    if (projects.size() < 2 && !scoped)
        return {};
    QList<ProjectChoice> choices{{QString(allProjects), allTitle, !scoped}};
    for (const ProjectAmount &project : projects)
        choices.append({project.id(), project.name(), project.id() == scope});
    return choices;
}

QString scopeTitle(const QList<ProjectAmount> &projects, const QString &scope)
{
    if (scope == allProjects)
        return allTitle;
    for (const ProjectAmount &project : projects) {
        if (project.id() == scope)
            return project.name();
    }
    return {};
}

} // namespace vesko
