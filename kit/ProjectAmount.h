#pragma once

#include <QString>

namespace vesko {

namespace json {
class Value;
}

// MRR of one project.
class ProjectAmount
{
public:
    ProjectAmount(QString id, QString name, QString color, qint64 mrr)
        : m_id(std::move(id)),
          m_name(std::move(name)),
          m_color(std::move(color)),
          m_mrr(mrr)
    {}

    const QString &id() const { return m_id; }
    const QString &name() const { return m_name; }
    const QString &color() const { return m_color; }
    qint64 mrr() const { return m_mrr; }

    friend bool operator==(const ProjectAmount &, const ProjectAmount &) = default;

    static ProjectAmount decode(const json::Value &value);

private:
    QString m_id;
    QString m_name;
    QString m_color;
    qint64 m_mrr;
};

} // namespace vesko
