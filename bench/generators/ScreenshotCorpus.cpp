#include "generators/ScreenshotCorpus.h"

#include <random>

using namespace Qt::StringLiterals;

namespace {
struct Sought
{
    const char16_t* query;
    const char16_t* text;
};

// Worded the way the screen shows it, not the way the user will ask for it.
const Sought sought[] = {
    {u"payment receipt",
     u"Thank you for your order! Order #A-48213 Amount charged $42.99 Visa ending 4421 Paid on March 3, 2025 "
     u"Transaction ID 9F3K2LQ Billing address 12 Elm Street Questions? Contact support"},
    {u"error in terminal",
     u"user@laptop:~/project$ make\ng++ -O2 -c main.cpp\nmain.cpp:42:10: fatal error: config.h: No such file or "
     u"directory\ncompilation terminated.\nmake: *** [Makefile:12: all] Error 1\nuser@laptop:~/project$"},
    {u"flight boarding pass",
     u"BOARDING PASS Passenger SMITH/JOHN MR Flight LH 1234 From Frankfurt FRA To Lisbon LIS Date 14 JUN "
     u"Gate B42 Seat 14C Boarding time 09:35 Zone 3 Sequence 087"},
    {u"wifi password",
     u"Network details Name HomeNetwork-5G Security WPA2 Personal Key sunflower-garden-2024 Show characters "
     u"Connect automatically IP address 192.168.1.23 Router 192.168.1.1"},
    {u"pasta recipe for dinner",
     u"Creamy garlic spaghetti Ingredients 200 g spaghetti 3 cloves garlic 1 cup cream 50 g parmesan salt "
     u"pepper Method boil the noodles, fry the garlic in butter, stir in the cream and cheese, serve hot"},
    {u"weather forecast",
     u"Today Partly cloudy 18° High 21° Low 12° Chance of rain 30% Wind 14 km/h NW Humidity 64% Tomorrow "
     u"showers Thursday sunny Friday thunderstorms"},
    {u"bank account balance",
     u"Checking account 6612 Available balance €2,431.08 Recent transactions Grocery store -54.20 Salary "
     u"+3,100.00 Rent -950.00 Transfer to savings -200.00"},
    {u"meeting invite",
     u"Invitation: Weekly sync with the design team Tuesday 14:00 to 15:00 Location Room 4B and video call "
     u"Organizer Anna Keller Guests 6 Accept Decline Maybe Add note"},
    {u"package delivery tracking",
     u"Your parcel is on its way Tracking number 1Z999AA10123456784 Out for delivery Expected today by 8 pm "
     u"Carrier UPS Last scan local depot 06:12 Signature not required"},
    {u"python exception",
     u"Traceback (most recent call last):\n  File \"app.py\", line 17, in <module>\n    result = parse(data)\n  "
     u"File \"parser.py\", line 8, in parse\n    return record['name']\nKeyError: 'name'"},
    {u"movie tickets",
     u"Cinema booking confirmed Dune Part Two Saturday 20:15 Screen 5 Seats G7 G8 2 adults Total 24.00 "
     u"Show this code at the entrance Popcorn voucher included"},
    {u"doctor appointment",
     u"Appointment reminder Dr. Weber General practice Monday 9:30 am Please arrive 10 minutes early and "
     u"bring your insurance card Reschedule Cancel Directions to the clinic"},
    {u"login verification code",
     u"Your security code is 482 913. It expires in 10 minutes. Do not share this code with anyone. Sign-in "
     u"attempt from Chrome on Linux near Berlin. Not you? Secure your account"},
    {u"hotel booking",
     u"Reservation confirmed Seaside Inn Check-in Fri 12 July from 15:00 Check-out Sun 14 July until 11:00 "
     u"Double room breakfast included 2 nights Guests 2 Free cancellation until 10 July"},
    {u"stock price chart",
     u"NASDAQ AAPL 189.42 +1.27 (0.68%) Open 187.90 High 190.10 Low 187.55 Volume 52.3M Market cap 2.9T "
     u"P/E 29.4 Dividend yield 0.5% 1D 5D 1M 6M 1Y"},
    {u"job offer letter",
     u"Subject: Offer of employment Dear Maria, we are delighted to offer you the position of Senior Engineer "
     u"starting 1 September with an annual salary of 78,000. Please sign and return the enclosed contract."},
    {u"workout plan",
     u"Week 3 Monday squats 5x5 bench press 5x5 barbell rows Wednesday deadlift 3x5 overhead press pull-ups "
     u"Friday easy run 5 km stretching 15 min Rest days Tuesday Thursday"},
    {u"git merge conflict",
     u"Auto-merging src/main.c\nCONFLICT (content): Merge conflict in src/main.c\nAutomatic merge failed; fix "
     u"conflicts and then commit the result.\n<<<<<<< HEAD\n=======\n>>>>>>> feature/login"},
    {u"electricity bill",
     u"Energy statement Account 55123 Billing period Feb 1 to Feb 28 Consumption 312 kWh Amount due €87.40 "
     u"Due date 15 March Paid by direct debit Tariff Green Home"},
    {u"weekend plans with friends",
     u"Messages Sam: are we still on for the hike on saturday? Me: yes! meet at the station at 8 Sam: I'll "
     u"bring sandwiches Lea: can I join? Me: of course, the more the merrier"},
};

// Everyday screenshots that nobody is looking for right now.
struct Family
{
    QStringList heads;
    QStringList bodies;
};

const QList<Family>& families()
{
    static const QList<Family> all{
        {{u"main.cpp - Editor"_s, u"widget.h - Code"_s, u"server.rs"_s},
         {u"for (int i = 0; i < count; ++i) { total += values[i]; }"_s, u"return std::make_unique<Parser>(input);"_s,
          u"fn handle(request: Request) -> Response {"_s, u"#include <vector> namespace app {"_s,
          u"if (status != OK) { log(status); }"_s}},
        {{u"World News"_s, u"Local Paper"_s, u"Daily Herald"_s},
         {u"Parliament votes on the new budget after a long debate"_s,
          u"Elections next month: candidates meet in a televised debate"_s,
          u"Storm damage closes coastal roads for the weekend"_s, u"City council approves new tram line"_s,
          u"Scientists report progress on battery research"_s}},
        {{u"Sheet1 - Spreadsheet"_s, u"Q3 figures.xlsx"_s, u"Inventory"_s},
         {u"A1 Region B1 Units C1 Revenue North 1200 34,500"_s, u"SUM(C2:C40) AVERAGE(B2:B40)"_s,
          u"Row 14 South 870 21,300 Row 15 West 640 18,950"_s, u"Filter Sort ascending Freeze panes"_s}},
        {{u"Photos"_s, u"Social feed"_s, u"Timeline"_s},
         {u"Liked by 214 people Beautiful sunset at the lake tonight"_s, u"Follow Share Comment 12 comments"_s,
          u"Happy birthday to my little brother!"_s, u"New profile picture 58 reactions"_s}},
        {{u"Now Playing"_s, u"Music"_s, u"Podcast"_s},
         {u"Track 4 of 12 Album Blue Hours 3:12 / 4:05 Shuffle Repeat"_s, u"Episode 88 Interview with the author"_s,
          u"Playlist Evening Jazz 32 songs 2 hr 10 min"_s, u"Up next Radio Mix Volume"_s}},
        {{u"Maps"_s, u"Directions"_s, u"Route"_s},
         {u"Turn left onto Main Street in 300 m"_s, u"Fastest route 24 min via A7 light traffic"_s,
          u"Arrive at Central Station 10:42"_s, u"Walking 1.2 km Bus line 5 every 10 min"_s}},
        {{u"System Settings"_s, u"Display"_s, u"Preferences"_s},
         {u"Resolution 2560 x 1440 Scale 125% Night light on"_s, u"Keyboard shortcuts Switch windows Alt+Tab"_s,
          u"Sound output speakers volume 60% input microphone"_s, u"Power saving turn off screen after 10 minutes"_s}},
        {{u"Online Shop"_s, u"Product page"_s, u"Store"_s},
         {u"Wireless headphones noise cancelling 4.5 stars 2,310 reviews"_s, u"Add to cart In stock Free returns"_s,
          u"Customers also viewed running shoes water bottle"_s, u"Choose colour black white size M L XL"_s}},
        {{u"Documentation"_s, u"API reference"_s, u"Manual"_s},
         {u"Parameters: path (string) the file to open. Returns a handle."_s,
          u"Installation: download the archive and run the installer"_s,
          u"Configuration options timeout retries verbose"_s, u"See also: examples, changelog, FAQ"_s}},
        {{u"Newsletter"_s, u"Inbox"_s, u"Promotions"_s},
         {u"This week: ten tips for better sleep and a healthy morning routine"_s,
          u"Unsubscribe View in browser Follow us"_s, u"Spring sale up to 40% off garden furniture"_s,
          u"Webinar invitation productivity for small teams"_s}},
        {{u"Video call"_s, u"Conference"_s, u"Screen share"_s},
         {u"Mute Stop video Participants 8 Chat Leave"_s, u"Recording in progress Raise hand Reactions"_s,
          u"You are presenting Stop sharing"_s, u"Waiting for the host to start this meeting"_s}},
        {{u"Files"_s, u"Downloads"_s, u"Documents"_s},
         {u"Name Size Modified report_final.pdf 2.4 MB yesterday"_s, u"holiday_photos.zip 340 MB 12 items"_s,
          u"Trash Empty Restore New folder"_s, u"notes.txt 4 KB Today 09:14 Open with"_s}},
    };
    return all;
}
} // namespace

ScreenshotCorpus ScreenshotCorpus::generate(quint32 seed, int size)
{
    std::mt19937 random(seed);
    const auto pick = [&random](const QStringList& list) {
        return list.at(std::uniform_int_distribution<qsizetype>(0, list.size() - 1)(random));
    };

    ScreenshotCorpus corpus;
    const int soughtCount = int(std::size(sought));
    for (int i = 0; corpus.texts.size() < size - soughtCount; ++i) {
        const Family& family = families().at(i % families().size());
        QStringList lines{pick(family.heads)};
        const int bodyLines = std::uniform_int_distribution<int>(2, 5)(random);
        for (int line = 0; line < bodyLines; ++line)
            lines.append(pick(family.bodies));
        corpus.texts.append(lines.join(u'\n'));
    }
    // The sought screenshots land at random places among the others.
    for (const Sought& entry : sought) {
        const auto at = std::uniform_int_distribution<qsizetype>(0, corpus.texts.size())(random);
        corpus.texts.insert(at, QString::fromUtf16(entry.text));
        for (Query& query : corpus.queries) {
            if (query.target >= at)
                ++query.target;
        }
        corpus.queries.append({QString::fromUtf16(entry.query), int(at)});
    }
    return corpus;
}
