#pragma once

#include "ScreenFixture.h"

#include "app/MainAppView.h"
#include "core/Screenshot.h"
#include "core/SmartCollection.h"
#include "support/Wait.h"

#include <QDateTime>
#include <QUrl>

#include <memory>

// The main view over a real monitor that never starts: tests publish its
// lists themselves with setScreenshots().
class MainViewFixture : public ScreenFixture
{
protected:
    std::unique_ptr<MainAppView> makeView()
    {
        auto view = std::make_unique<MainAppView>(services());
        view->rebuilder().setApplyDelayMs(0);
        view->resize(1200, 800);
        return view;
    }

    // `count` screenshots, the first `withEmbedding` of them analysed.
    QList<Screenshot> library(int count, int withEmbedding = 0) const
    {
        QList<Screenshot> screenshots;
        for (int i = 0; i < count; ++i) {
            Screenshot s;
            s.id = QUuid::createUuid();
            s.filename = QStringLiteral("Shot %1.png").arg(i);
            s.filePath = m_folder + u'/' + s.filename;
            s.dateCreated = QDateTime::currentDateTime().addSecs(-i);
            if (i < withEmbedding)
                s.embedding = QList<double>{0.1, 0.2};
            screenshots.append(s);
        }
        return screenshots;
    }

    static SmartCollection collection(const QString& name, CollectionType type)
    {
        SmartCollection c;
        c.id = QUuid::createUuid();
        c.name = name;
        c.type = type;
        c.icon = QStringLiteral("folder");
        c.predicate = [](const Screenshot&) { return true; };
        return c;
    }

    static bool waitForRebuild(MainAppView& view)
    {
        return waitUntil([&view] { return !view.isAnalyzing() && !view.rebuilder().isBuilding(); });
    }
};
