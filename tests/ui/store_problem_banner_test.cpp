#include "core/StoreHealth.h"
#include "support/Wait.h"
#include "ui/StoreProblemBanner.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// The banner says a damaged file was set aside as soon as it was, and then,
// once its tags and notes are read, how many screenshots gained them and
// what the program's limits left out.
TEST(StoreProblemBanner, TellsOfAFileSetAsideThenOfWhatWasCarriedAndLeftOut)
{
    StoreHealth health;
    StoreProblemBanner banner(health);
    const QString setAside = u"The library file was damaged. It was moved to /data/Brindlework.sqlite.damaged-1 "
                             u"and a new library was started."_s;
    const QString limits = u"a screenshot keeps at most 500 tags of up to 32,767 characters each, and a note of "
                           u"up to 100,000 characters."_s;
    const auto shows = [&](const QString& text) {
        return waitUntil([&] { return banner.text() == text; }) ? QString() : banner.text();
    };

    health.recordSetAside(u"/data/Brindlework.sqlite.damaged-1"_s);
    EXPECT_EQ(shows(setAside + u" Its tags and notes are being read and carried over."_s), QString());

    health.recordUserDataCarried(3, 19'502, false);
    EXPECT_EQ(shows(setAside +
                    u" The tags and notes of 3 screenshots were read from it and carried over. 19,502 tags "
                    u"or notes were left out: "_s +
                    limits),
              QString());

    health.recordUserDataCarried(1, 1, true);
    EXPECT_EQ(shows(setAside +
                    u" The tags and notes of 1 screenshot were read from it and carried over. 1 tag or "
                    u"note was left out: "_s +
                    limits + u" Reading it stopped at its limit of time or size, so some may be missing."_s),
              QString());

    health.recordUserDataCarried(0, 0, false);
    EXPECT_EQ(shows(setAside + u" No tags or notes could be read from it."_s), QString());
}
