#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace vesko::devservice {

using namespace Qt::StringLiterals;

// A small subscription business made up from a seed: three projects selling on
// five channels, whose figures drift a little every minute and which gains a
// subscription event every few minutes. Everything is a pure function of the
// seed and the time asked about, so two calls for the same minute agree, and
// every summary adds up exactly.
class DemoBusiness
{
public:
    struct Settings
    {
        QString currency = u"USD"_s;
        bool hasSources = true;
        bool incomplete = false;
        QStringList closedProjects; // ids of projects the account no longer has
    };

    // One event in each slot of this length, at a point of its own.
    static constexpr qint64 eventSpacingSeconds = qint64{9} * 60;

    DemoBusiness(quint64 seed, Settings settings);

    static bool isCurrencyCode(const QString &code);

    Settings &settings() { return m_settings; }
    const Settings &settings() const { return m_settings; }
    void restoreSettings() { m_settings = m_initial; }

    // "all" or the id of one project.
    bool knowsProject(const QString &project) const;

    QJsonObject summary(const QDateTime &now, const QString &project) const;
    // Newest first, at most `limit`.
    QJsonArray events(const QDateTime &now, const QString &project, int limit) const;
    QJsonObject me() const;

private:
    quint64 hash(quint64 tag, quint64 value) const;
    qint64 cellMrr(int project, int channel, qint64 minute) const;
    qint64 projectCount(int project, quint64 tag, qint64 day, int least, int spread) const;
    qint64 eventTime(qint64 bucket) const;
    QJsonObject eventIn(qint64 bucket) const;

    quint64 m_seed;
    Settings m_initial;
    Settings m_settings;
};

} // namespace vesko::devservice
