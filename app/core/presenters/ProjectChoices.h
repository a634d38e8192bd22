#pragma once

#include "kit/ProjectAmount.h"

#include <QList>
#include <QObject>
#include <QString>

namespace vesko {

// One entry of the project choice in the menus.
struct ProjectChoice
{
    Q_GADGET
    Q_PROPERTY(QString projectId MEMBER id CONSTANT) // `id` is QML's own
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(bool chosen MEMBER chosen CONSTANT)

public:
    QString id; // what AppModel::setProjectScope takes
    QString title;
    bool chosen = false;

    friend bool operator==(const ProjectChoice &, const ProjectChoice &) = default;
};

// "All projects", then each project in service order. None for an account of
// one project, unless that one is chosen (the way back to all of them).
QList<ProjectChoice> projectChoices(const QList<ProjectAmount> &projects, const QString &scope);

// What the figures are of: "All projects", or the chosen project's name;
// empty while a chosen project is not known yet.
QString scopeTitle(const QList<ProjectAmount> &projects, const QString &scope);

} // namespace vesko
