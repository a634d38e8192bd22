// The project choice against the real demo service: the figures, the feed and
// the account's projects follow the choice, and a project the account closes
// falls back to all of them.
#include "app/core/AppModel.h"
#include "tests/support/ModelRig.h"
#include "tests/support/ServiceFixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace vesko;

class ProjectsTest : public QObject, private ServiceFixture
{
    Q_OBJECT

    RigFakes m_rig;
    std::unique_ptr<AppModel> m_model;

    AppModel &launch()
    {
        m_model = std::make_unique<AppModel>(m_rig.environment(m_service->url(QString())));
        return *m_model;
    }
    // Refreshes until the model shows the scope's figures again.
    bool refreshed(AppModel &model)
    {
        model.refresh();
        return QTest::qWaitFor(
            [&] { return model.phase().kind() == Phase::Case::ready && !model.findChildren<Refresh *>().size(); },
            10000);
    }

private slots:
    void initTestCase()
    {
        restart();
        // The figures drift every minute: one minute for the whole test.
        QCOMPARE(control(jsonText("{'clock':'2026-03-01T10:00:00Z'}")).status(), 200);
        m_rig.secrets.stored = QString::fromLatin1(bearer().mid(7));
    }

    void eachProjectInTurn()
    {
        AppModel &model = launch();
        QVERIFY(QTest::qWaitFor([&] { return model.phase().kind() == Phase::Case::ready; }, 10000));
        const QList<ProjectAmount> projects = model.projects();
        QCOMPARE(projects.size(), 3);
        const qint64 whole = model.summary()->mrr();
        qint64 sum = 0;
        for (const ProjectAmount &project : projects) {
            model.setProjectScope(project.id());
            QVERIFY(refreshed(model));
            QCOMPARE(model.summary()->mrr(), project.mrr());
            QCOMPARE(model.summary()->byProject(), QList<ProjectAmount>{project});
            QCOMPARE(model.projects(), projects);
            for (const VeskoEvent &event : model.events())
                QCOMPARE(event.project().id(), project.id());
            QVERIFY(model.trayLabel()->size() > 0);
            sum += model.summary()->mrr();
        }
        QCOMPARE(sum, whole);
        QCOMPARE(m_rig.settings.value(u"VeskoProject"_s).toString(), projects.last().id());
    }

    void closedProjectFallsBack()
    {
        m_rig.settings.setValue(u"VeskoProject"_s, u"prj_3"_s);
        QCOMPARE(control(jsonText("{'closed_projects':['prj_3']}")).status(), 200);
        AppModel &model = launch();
        QVERIFY(QTest::qWaitFor([&] { return model.projectScope() == u"all"; }, 10000));
        QVERIFY(refreshed(model));
        QCOMPARE(model.projects().size(), 2);
        QCOMPARE(model.summary()->byProject().size(), 2);
        QVERIFY(!m_rig.settings.contains(u"VeskoProject"_s));
    }

    void cleanupTestCase() { m_model.reset(); }
};

QTEST_GUILESS_MAIN(ProjectsTest)
#include "tst_projects.moc"
