#pragma once

#include "core/Screenshot.h"
#include "core/SmartCollection.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class Workers;

// Keeps the main view's smart collections in step with the monitor's library
// without ever building on the GUI thread.
//
// The gate: until a first build has been applied, and again while one is
// under way, a list starts a build only when at least half of its screenshots
// carry an embedding (analysis would otherwise reshuffle the collections many
// times over); any other list starts one.
//
// Builds run one at a time on the collections pool (one thread, so a large
// library never takes more than one core away from the screens). A list that
// arrives while one is under way waits as the single pending list; a newer
// list replaces it, so only the latest is ever built next. A finished build
// is applied after a short settling delay, timed on the GUI thread, and only
// when no newer build has been applied: a late result never overwrites a
// fresher one. Lives on the GUI thread.
class CollectionRebuilder : public QObject
{
    Q_OBJECT

public:
    // Pure and re-entrant: runs on the pool thread.
    using BuildFunction = std::function<QList<SmartCollection>(const QList<Screenshot>&, const QString&)>;

    static constexpr int defaultApplyDelayMs = 300;

    CollectionRebuilder(Workers& workers, BuildFunction build, QObject* parent = nullptr);
    ~CollectionRebuilder() override;

    void setBuildFunction(BuildFunction build);
    void setApplyDelayMs(int delayMs);

    // A newly published list. Returns whether it passed the gate (a build
    // started, or it became the pending list).
    bool screenshotsChanged(const QList<Screenshot>& screenshots, const QString& monitoredPath);
    // Where each build's result comes back, on the GUI thread.
    void buildFinished(quint64 generation, QList<SmartCollection> collections);

    // True until the first result is applied, from every accepted list until
    // the next result is applied, and while any build runs.
    bool isAnalyzing() const { return m_isAnalyzing; }
    // A build on the pool or waiting out its delay.
    bool isBuilding() const { return m_building != 0; }
    bool hasPending() const { return m_pending.has_value(); }
    int buildsInFlight() const { return (isBuilding() ? 1 : 0) + (hasPending() ? 1 : 0); }

    // Whether `screenshots` would start a build in that state.
    static bool passesGate(bool isAnalyzing, const QList<Screenshot>& screenshots);

signals:
    void buildStarted(quint64 generation);
    void collectionsReady(const QList<SmartCollection>& collections);

private:
    struct Request
    {
        quint64 generation = 0;
        QList<Screenshot> screenshots;
        QString monitoredPath;
    };

    void start(Request request);
    void apply(quint64 generation, const QList<SmartCollection>& collections);

    Workers& m_workers;
    BuildFunction m_build;
    int m_applyDelayMs = defaultApplyDelayMs;
    bool m_isAnalyzing = true;
    quint64 m_lastGeneration = 0;
    quint64 m_appliedGeneration = 0;
    quint64 m_building = 0; // generation of the build under way; 0 for none
    std::optional<Request> m_pending;
};
