#include "generators/FindabilitySet.h"

#include <algorithm>
#include <numeric>
#include <random>

using namespace Qt::StringLiterals;

namespace {
using Kind = FindabilitySet::QueryKind;
using ScreenTypes::Screen;

struct AskedFor
{
    const char16_t* text;
    Kind kind;
};

struct Sought
{
    Screen screen;
    QList<AskedFor> queries;
};

QStringList rows(std::initializer_list<const char16_t*> lines)
{
    QStringList list;
    for (const char16_t* line : lines)
        list.append(QString::fromUtf16(line));
    return list;
}

Screen screen(const char16_t* kind, const char16_t* title, const char16_t* subtitle,
              std::initializer_list<const char16_t*> lines)
{
    return {QString::fromUtf16(kind), QString::fromUtf16(title), QString::fromUtf16(subtitle), rows(lines)};
}

// The screens users come back for, with what they type to find them.
QList<Sought> sought()
{
    return {
        // Terminals
        {screen(u"terminal", u"bash — ~/projects/atlas", u"",
                {u"$ kubectl get pods -n payments", u"NAME\tREADY\tSTATUS\tRESTARTS",
                 u"checkout-api-7d9f8b6c5-x2klm\t1/1\tRunning\t0",
                 u"ledger-worker-5c4b7f9d8-qp7rt\t0/1\tCrashLoopBackOff\t14", u"redis-cache-0\t1/1\tRunning\t0",
                 u"$ kubectl logs ledger-worker-5c4b7f9d8-qp7rt",
                 u"panic: dial tcp 10.0.4.17:5432: connect: connection refused"}),
         {{u"kubctl", Kind::misspelt},
          {u"crashloopbackoff", Kind::mixedCase},
          {u"10.0.4.17", Kind::number},
          {u"crashing container", Kind::paraphrase}}},
        {screen(u"terminal", u"zsh — deploy", u"",
                {u"$ terraform apply -auto-approve", u"aws_s3_bucket.assets: Creating...",
                 u"aws_cloudfront_distribution.cdn: Still creating... [2m10s elapsed]",
                 u"Error: creating CloudFront Distribution: InvalidViewerCertificate",
                 u"Apply complete! Resources: 7 added, 0 changed, 1 destroyed."}),
         {{u"teraform", Kind::misspelt},
          {u"cloudfro", Kind::prefix},
          {u"viewer certificate", Kind::paraphrase},
          {u"website deployment error", Kind::paraphrase}}},
        {screen(u"terminal", u"Terminal — harbor", u"",
                {u"$ cargo build --release", u"   Compiling serde_json v1.0.114", u"   Compiling tokio v1.36.0",
                 u"error[E0382]: borrow of moved value: `config`", u"  --> src/main.rs:48:22",
                 u"error: could not compile `harbor` due to previous error"}),
         {{u"E0382", Kind::number}, {u"tokio", Kind::word}, {u"rust compiler failure", Kind::paraphrase}}},

        // Code
        {screen(u"code", u"parser.py — Editor", u"src parser.py lexer.py tests README.md",
                {u"import re", u"from dataclasses import dataclass", u"", u"@dataclass", u"class Token:",
                 u"    kind: str", u"    value: str", u"", u"def tokenize_invoice(text: str) -> list[Token]:",
                 u"    pattern = re.compile(r\"(?P<amount>\\d+\\.\\d{2})\")",
                 u"    return [Token('amount', m.group('amount')) for m in pattern.finditer(text)]"}),
         {{u"dataclass", Kind::word},
          {u"tokenize_inv", Kind::prefix},
          {u"DataClasses", Kind::mixedCase},
          {u"python tokenizer code", Kind::paraphrase}}},
        {screen(u"code", u"useCheckout.ts — Editor", u"hooks useCheckout.ts useCart.ts api.ts",
                {u"import { useState, useEffect } from 'react';", u"", u"export function useCheckout(cartId: string) {",
                 u"  const [total, setTotal] = useState<number>(0);", u"  useEffect(() => {",
                 u"    fetch(`/api/carts/${cartId}/total`)", u"      .then((r) => r.json())", u"      .then(setTotal);",
                 u"  }, [cartId]);", u"  return total;", u"}"}),
         {{u"usecheckout", Kind::mixedCase},
          {u"useEfect", Kind::misspelt},
          {u"shopping basket sum", Kind::paraphrase}}},
        {screen(u"code", u"main.go — Editor", u"cmd main.go handlers.go go.mod",
                {u"package main", u"", u"import (", u"    \"log\"", u"    \"net/http\"", u"",
                 u"    \"github.com/gorilla/mux\"", u")", u"", u"func main() {", u"    r := mux.NewRouter()",
                 u"    r.HandleFunc(\"/healthz\", healthHandler).Methods(\"GET\")",
                 u"    log.Fatal(http.ListenAndServe(\":8080\", r))", u"}"}),
         {{u"github.com/gorilla", Kind::domain},
          {u"8080", Kind::number},
          {u"healthz", Kind::word},
          {u"golang web server", Kind::paraphrase}}},

        // Chats
        {screen(u"chat", u"Priya Raman", u"online",
                {u"Priya\tdid you get the keys for the cabin in Hallstatt?",
                 u"Me\tyes, picked them up from Mrs Oberhuber this morning",
                 u"Priya\tamazing. the code for the garage is 7731", u"Me\tnoted! leaving Salzburg at 3",
                 u"Priya\tdrive safe, the pass road is icy"}),
         {{u"Halstatt", Kind::misspelt},
          {u"7731", Kind::number},
          {u"holiday cottage", Kind::paraphrase},
          {u"Oberhuper", Kind::misspelt},
          {u"chalet in austria", Kind::paraphrase}}},
        {screen(u"chat", u"#frontend", u"5 members",
                {u"Marek Nowak\tthe staging build is broken again",
                 u"Ines Carvalho\tlooks like the webpack config lost the alias for the ui folder",
                 u"Marek Nowak\tcan you revert 3f9c2e1?", u"Ines Carvalho\tdone, redeploying now",
                 u"Tomasz Lis\tthanks both"}),
         {{u"webpak", Kind::misspelt},
          {u"3f9c2e1", Kind::number},
          {u"Carvahlo", Kind::misspelt},
          {u"staging build", Kind::phrase},
          {u"test environment down", Kind::paraphrase}}},
        {screen(u"chat", u"Mum", u"last seen today",
                {u"Mum\tDon't forget grandma's birthday on Sunday", u"Me\tI ordered the orchid already",
                 u"Mum\tlovely. Lunch at 1pm at the Lindenhof", u"Me\tshould I bring dessert?",
                 u"Mum\ta cheesecake would be perfect"}),
         {{u"cheesecake", Kind::word},
          {u"Lindenhoff", Kind::misspelt},
          {u"flowers for granny", Kind::paraphrase},
          {u"granny's birthday meal", Kind::paraphrase}}},

        // Mail
        {screen(u"email", u"Your Dropbox storage is almost full", u"Dropbox <no-reply@dropbox.com>",
                {u"Hi Sam,", u"you are using 1.94 GB of the 2 GB of your Basic plan.",
                 u"New photos and files will stop syncing when it is full. Upgrade to Plus for 2 TB.", u"Upgrade now"}),
         {{u"dropbox.com", Kind::domain},
          {u"1.94", Kind::number},
          {u"disk quota warning", Kind::paraphrase},
          {u"cloud storage running out", Kind::paraphrase}}},
        {screen(u"email", u"Re: Contract renewal — Vandermeer Logistics",
                u"Joost Vandermeer <j.vandermeer@vml-freight.nl>",
                {u"Hello Alex,",
                 u"attached is the signed renewal for 2025 to 2027. The rate per pallet stays at 14.80 EUR.",
                 u"Please countersign by 28 February.", u"Kind regards, Joost"}),
         {{u"Vandermer", Kind::misspelt},
          {u"vml-freight.nl", Kind::domain},
          {u"14.80", Kind::number},
          {u"countersign", Kind::word},
          {u"shipping agreement", Kind::paraphrase}}},
        {screen(u"email", u"Interview schedule — Backend Engineer", u"Recruiting <talent@northwind.io>",
                {u"Dear Chidi Okonkwo,", u"thank you for applying. Your interviews are on Thursday 6 March:",
                 u"10:00 System design with Lena", u"11:30 Pairing session with Rafael", u"13:00 Lunch with the team"}),
         {{u"Okonkow", Kind::misspelt},
          {u"system design", Kind::phrase},
          {u"northwind.io", Kind::domain},
          {u"recruitment appointments", Kind::paraphrase}}},

        // Receipts
        {screen(u"receipt", u"TRATTORIA DA LUIGI", u"Via Roma 12, Bologna",
                {u"2 x Tagliatelle al ragu\t28.00", u"1 x Tiramisu\t7.50", u"1 x Lambrusco 0.75l\t24.00",
                 u"Coperto\t6.00", u"TOTAL EUR\t65.50", u"VISA **** 8812", u"Grazie e arrivederci"}),
         {{u"65.50", Kind::number},
          {u"Tagliatele", Kind::misspelt},
          {u"italian restaurant bill", Kind::paraphrase},
          {u"pasta and wine", Kind::paraphrase}}},
        {screen(u"receipt", u"HARDWARE DEPOT #0442", u"1200 Mill Road, Columbus OH",
                {u"Cordless drill 18V\t89.99", u"Wood screws 4x40\t7.49", u"Masking tape\t3.29", u"Subtotal\t100.77",
                 u"Sales tax 8.25%\t8.31", u"TOTAL\t109.08", u"Paid: Mastercard", u"Returns within 30 days"}),
         {{u"cordless drill", Kind::phrase},
          {u"109.08", Kind::number},
          {u"power tool purchase", Kind::paraphrase},
          {u"diy store receipt", Kind::paraphrase}}},
        {screen(u"receipt", u"Deliveroo", u"Order DLV-58213 · delivered 19:42",
                {u"Pepperoni pizza 12 in\t13.50", u"Garlic bread\t4.25", u"Delivery fee\t2.99", u"Rider tip\t2.00",
                 u"TOTAL\t22.74", u"Paid with Apple Pay"}),
         {{u"Deliveru", Kind::misspelt},
          {u"pepper", Kind::prefix},
          {u"58213", Kind::number},
          {u"takeaway dinner", Kind::paraphrase}}},

        // Invoices
        {screen(u"invoice", u"Invoice", u"Brightline Studio GmbH",
                {u"Invoice no. 2025-0147", u"Date: 3 March 2025 · Due date: 2 April 2025",
                 u"Bill to: Kestrel Analytics Ltd", u"Brand identity workshop\t1\t2,400.00\t2,400.00",
                 u"Logo design\t1\t1,800.00\t1,800.00", u"Total due\t4,200.00"}),
         {{u"2025-0147", Kind::number},
          {u"kestrel", Kind::word},
          {u"unpaid branding fee", Kind::paraphrase},
          {u"Brightlin", Kind::prefix},
          {u"design agency bill", Kind::paraphrase}}},
        {screen(u"invoice", u"Invoice", u"Cloudnest Hosting",
                {u"Invoice R-88213", u"Billing period: March 2025", u"Customer K-20931",
                 u"Dedicated server AX41\t1\t39.00\t39.00", u"Additional IPv4 address\t2\t1.70\t3.40", u"VAT 19%\t8.06",
                 u"Total\t50.46"}),
         {{u"cloudnes", Kind::prefix},
          {u"88213", Kind::number},
          {u"ipv4", Kind::mixedCase},
          {u"server rental costs", Kind::paraphrase}}},
        {screen(u"invoice", u"Invoice", u"Studio Kowalczyk",
                {u"Invoice 0031 · 14 February 2025", u"Client: Fjord Outdoor AS",
                 u"Translation of user manual EN to PL\t12,400\t0.08\t992.00", u"Proofreading\t4\t31.00\t124.00",
                 u"Total\t1,116.00 PLN"}),
         {{u"Kowalcyk", Kind::misspelt},
          {u"proofreading", Kind::word},
          {u"translator payment", Kind::paraphrase},
          {u"polish translation job", Kind::paraphrase}}},

        // Calendars
        {screen(u"calendar", u"March 2025", u"",
                {u"4\tDentist Dr Albrecht 08:30", u"11\tQuarterly review", u"14\tBake sale", u"19\tFlight to Reykjavik",
                 u"27\tTraining run 18 km"}),
         {{u"Reykavik", Kind::misspelt},
          {u"dentist", Kind::word},
          {u"quarter", Kind::prefix},
          {u"teeth checkup", Kind::paraphrase}}},
        {screen(u"calendar", u"June 2025", u"",
                {u"2\tStandup moved", u"10\tPiano lesson 16:00", u"12\tLunch with investors", u"20\tTheatre Hamlet",
                 u"25\tSofia 1:1"}),
         {{u"piano", Kind::word},
          {u"HAMLET", Kind::mixedCase},
          {u"music class", Kind::paraphrase},
          {u"shakespeare play", Kind::paraphrase}}},
        {screen(u"calendar", u"April 2025", u"",
                {u"2\tPassport renewal appointment", u"9\tVet Biscuit vaccination", u"16\tTax return deadline",
                 u"23\tConcert Mitski"}),
         {{u"tax return", Kind::phrase},
          {u"vacination", Kind::misspelt},
          {u"Mitsky", Kind::misspelt},
          {u"pet jab", Kind::paraphrase}}},

        // Maps
        {screen(u"map", u"Walk to Castelo de Sao Jorge", u"Alfama, Baixa, Rossio, Tagus River, Chiado, Graca",
                {u"From Hotel Avenida Palace", u"23 min (1.6 km)", u"Head east on Rua do Ouro",
                 u"Turn left at Rossio Square", u"Climb the stairs to the gate"}),
         {{u"rossio", Kind::word},
          {u"Alfamma", Kind::misspelt},
          {u"walking to the castle", Kind::paraphrase},
          {u"directions to the fortress", Kind::paraphrase}}},
        {screen(u"map", u"Drive to Heathrow Terminal 5", u"Hammersmith, Chiswick, Brentford, Hounslow",
                {u"via M4", u"42 min (27 mi)", u"Heavy traffic near Hammersmith", u"Take exit 4 for the airport"}),
         {{u"Heahtrow", Kind::misspelt},
          {u"hammersmith", Kind::word},
          {u"27 mi", Kind::number},
          {u"driving to my flight", Kind::paraphrase}}},
        {screen(u"map", u"Bus to Kiyomizu-dera", u"Gion, Kiyomizu-dera, Nishiki Market, Kawaramachi, Higashiyama",
                {u"Bus 206 from Kyoto Station", u"18 min, every 8 min", u"Get off at Gojozaka", u"Walk 10 min uphill"}),
         {{u"Kiyomisu", Kind::misspelt},
          {u"nishiki", Kind::word},
          {u"206", Kind::number},
          {u"temple in japan", Kind::paraphrase}}},

        // Spreadsheets
        {screen(u"spreadsheet", u"Budget 2025.xlsx", u"=SUM(B2:B6)",
                {u"Category\tJan\tFeb\tMar", u"Rent\t1450\t1450\t1450", u"Groceries\t412.30\t388.75\t405.10",
                 u"Utilities\t96.40\t101.20\t88.90", u"Childcare\t620\t620\t620", u"Savings\t300\t300\t350"}),
         {{u"childcare", Kind::word},
          {u"412.30", Kind::number},
          {u"household expenses", Kind::paraphrase},
          {u"monthly family spending", Kind::paraphrase}}},
        {screen(u"spreadsheet", u"Inventory Warehouse B.ods", u"=COUNTIF(D2:D40;\"Aisle 7\")",
                {u"SKU\tItem\tQty\tLocation", u"WX-1042\tHex bolts M8\t2,400\tAisle 7",
                 u"WX-1043\tWashers M8\t5,150\tAisle 7", u"WX-2210\tPallet wrap\t38\tDock 2",
                 u"WX-3307\tCable ties\t900\tAisle 3"}),
         {{u"WX-2210", Kind::number},
          {u"washers", Kind::word},
          {u"pallet wr", Kind::prefix},
          {u"hardware stock count", Kind::paraphrase}}},
        {screen(u"spreadsheet", u"Marathon splits.csv", u"=AVERAGE(C2:C9)",
                {u"Km\tSplit\tPace\tHR", u"5\t24:12\t4:50\t148", u"10\t24:40\t4:56\t155", u"15\t25:02\t5:00\t159",
                 u"21.1\t30:41\t5:01\t162"}),
         {{u"24:12", Kind::number},
          {u"marathon", Kind::word},
          {u"running times", Kind::paraphrase},
          {u"jogging speed", Kind::paraphrase}}},

        // Documents
        {screen(u"document", u"Lease Agreement", u"lease-larkspur.docx",
                {u"This Lease Agreement is made between Harriet Pemberton (Landlord) and Diego Alvarez (Tenant) for "
                 u"the premises at 14 Larkspur Lane, Bristol.",
                 u"The monthly rent is 1,275 pounds, payable on the first day of each month.",
                 u"The security deposit of 1,470 pounds is held in a tenancy deposit scheme."}),
         {{u"Pemberten", Kind::misspelt},
          {u"security deposit", Kind::phrase},
          {u"apartment rental contract", Kind::paraphrase},
          {u"house renting terms", Kind::paraphrase}}},
        {screen(u"document", u"3.2 Photosynthetic efficiency under intermittent light", u"thesis-chapter3.odt",
                {u"We grew Chlamydomonas reinhardtii in a photobioreactor at 25 degrees and measured oxygen evolution "
                 u"with a Clark-type electrode.",
                 u"Flashing light at 10 Hz raised the efficiency by 18 percent compared with continuous light."}),
         {{u"Chlamidomonas", Kind::misspelt},
          {u"photosynthetic", Kind::word},
          {u"reinhard", Kind::prefix},
          {u"algae experiment", Kind::paraphrase}}},
        {screen(u"document", u"Minutes of the board meeting, 12 February", u"board-minutes-feb.docx",
                {u"Present: A. Lindqvist (chair), M. Osei, R. Tanaka.",
                 u"1. The budget was approved with an amendment to the travel line.",
                 u"2. The new office lease is postponed until the audit is done.",
                 u"Action: R. Tanaka to circulate the revised forecast by 20 February."}),
         {{u"Lindquist", Kind::misspelt},
          {u"revised forecast", Kind::phrase},
          {u"TANAKA", Kind::mixedCase},
          {u"company meeting notes", Kind::paraphrase}}},

        // Web pages
        {screen(u"web page", u"2 bedroom flat for sale", u"www.homefinder.co.uk/property/148823",
                {u"Canal Street, Manchester M1", u"Offers over 245,000 pounds",
                 u"Key features: balcony, allocated parking, energy rating C, close to Piccadilly station."}),
         {{u"homefinder.co.uk", Kind::domain},
          {u"245,000", Kind::number},
          {u"apartment to buy", Kind::paraphrase},
          {u"buying a house", Kind::paraphrase}}},
        {screen(u"web page", u"Coroutines and Tasks", u"docs.python.org/3/library/asyncio-task.html",
                {u"asyncio.gather(*aws, return_exceptions=False)",
                 u"Run awaitable objects in the aws sequence concurrently. If any awaitable in aws is a coroutine, "
                 u"it is automatically scheduled as a Task."}),
         {{u"docs.python.org", Kind::domain},
          {u"asyncio", Kind::word},
          {u"awaita", Kind::prefix},
          {u"corutines", Kind::misspelt},
          {u"python concurrency docs", Kind::paraphrase}}},
        {screen(u"web page", u"Okavango Delta", u"en.wikipedia.org/wiki/Okavango_Delta",
                {u"The Okavango Delta in Botswana is a vast inland delta formed where the Okavango River reaches a "
                 u"tectonic trough in the central part of the endorheic basin of the Kalahari.",
                 u"It has been a World Heritage Site since 2014."}),
         {{u"Okavongo", Kind::misspelt},
          {u"botswana", Kind::word},
          {u"wikipedia.org/wiki/okavango", Kind::domain},
          {u"african wetlands", Kind::paraphrase}}},

        // Error dialogs
        {screen(u"error dialog", u"The file Q3-forecast.xlsx is locked", u"",
                {u"It is locked for editing by another user (m.osei). Open a read-only copy or get notified when it "
                 u"is available.",
                 u"Read-Only\tNotify\tCancel"}),
         {{u"locked for editing", Kind::phrase},
          {u"q3-forecast", Kind::mixedCase},
          {u"someone else has the spreadsheet open", Kind::paraphrase},
          {u"file in use by a colleague", Kind::paraphrase}}},
        {screen(u"error dialog", u"Docker Desktop stopped", u"",
                {u"WSL 2 installation is incomplete. Run wsl --update to install the latest kernel.",
                 u"Error code 0x80370102", u"Quit\tRestart"}),
         {{u"0x80370102", Kind::number},
          {u"Dokcer", Kind::misspelt},
          {u"kernel", Kind::word},
          {u"linux subsystem update needed", Kind::paraphrase}}},
        {screen(u"error dialog", u"Firmware update failed", u"",
                {u"The update for your Aurora X2 headset failed (error 43). Keep the headset connected and try again.",
                 u"Details\tRetry"}),
         {{u"firmware", Kind::word},
          {u"AURORA X2", Kind::mixedCase},
          {u"headphones wont upgrade", Kind::paraphrase},
          {u"headset software problem", Kind::paraphrase}}},

        // Settings
        {screen(u"settings", u"Wi-Fi", u"Wi-Fi, Bluetooth, Network, Notifications, Sound, Displays",
                {u"Wi-Fi\tOn", u"Network\tFernweh-5G", u"Ask to join networks\tOff", u"Private address\tOn",
                 u"IP address\t192.168.178.42", u"Router\t192.168.178.1"}),
         {{u"fernweh", Kind::word},
          {u"192.168.178.42", Kind::number},
          {u"wireless internet", Kind::paraphrase},
          {u"wlan connection", Kind::paraphrase}}},
        {screen(u"settings", u"Notifications", u"Wi-Fi, Bluetooth, Notifications, Focus, Sound, Privacy",
                {u"Do Not Disturb\tOff", u"Show previews\tWhen unlocked", u"Slack\tBanners", u"Calendar\tAlerts",
                 u"Signal\tOff", u"Scheduled summary\t08:00 and 18:00"}),
         {{u"scheduled summary", Kind::phrase},
          {u"do not disturb", Kind::mixedCase},
          {u"quiet hours", Kind::paraphrase},
          {u"silence my phone", Kind::paraphrase}}},
        {screen(u"settings", u"Privacy", u"General, Appearance, Privacy, Security, Storage, Updates",
                {u"Location services\tOn", u"Camera access\tZoom, Firefox", u"Microphone access\tZoom",
                 u"Disk encryption\tTurned on", u"Lockdown Mode\tOff"}),
         {{u"lockdown", Kind::word},
          {u"encrypt", Kind::prefix},
          {u"webcam permissions", Kind::paraphrase},
          {u"data protection options", Kind::paraphrase}}},

        // Sign-in forms
        {screen(u"login", u"Sign in to Nordbank", u"nordbank.se · Secure login",
                {u"Customer number\t19840312-4455", u"PIN\t••••", u"[Sign in]", u"Forgot your PIN?",
                 u"Log in with BankID"}),
         {{u"nordbank.se", Kind::domain},
          {u"Nordbnak", Kind::misspelt},
          {u"BANKID", Kind::mixedCase},
          {u"bank website password", Kind::paraphrase}}},
        {screen(u"login", u"Sign in to Quillstack", u"quillstack.dev",
                {u"Username or email\tines.carvalho", u"Password\t••••••••••", u"[Sign in]", u"Sign in with SSO",
                 u"Forgot password?"}),
         {{u"quillstack.dev", Kind::domain},
          {u"sso", Kind::mixedCase},
          {u"quill", Kind::prefix},
          {u"developer site sign-on", Kind::paraphrase}}},
        {screen(u"login", u"Welcome to Cafe Strand guest Wi-Fi", u"portal.cafestrand.net",
                {u"Room number\t214", u"Last name\tHaugen", u"I accept the terms of use", u"[Connect]"}),
         {{u"room number", Kind::phrase},
          {u"cafestrand.net", Kind::domain},
          {u"hotel internet", Kind::paraphrase},
          {u"coffee shop hotspot", Kind::paraphrase}}},

        // Travel bookings
        {screen(u"travel booking", u"Frankfurt (FRA) to Lisbon (LIS)", u"Lufthansa",
                {u"Flight\tLH 1172", u"Date\tTue 18 March, 07:25 to 09:40", u"Passenger\tMS ANNA KELLER",
                 u"Seat\t23A, Economy Light", u"Booking code\tQX7PZ2", u"Boarding\t06:50, Gate B44"}),
         {{u"plane ticket to portugal", Kind::paraphrase},
          {u"Lufthanza", Kind::misspelt},
          {u"QX7PZ2", Kind::number},
          {u"lisbon", Kind::word},
          {u"airline seat reservation", Kind::paraphrase}}},
        {screen(u"travel booking", u"Hotel Zum Hirschen, Innsbruck", u"Booking confirmed",
                {u"Check-in\tFri 11 April from 15:00", u"Check-out\tSun 13 April by 11:00",
                 u"Room\tSuperior double, breakfast included", u"Confirmation\t4471 992 015",
                 u"Free cancellation until 9 April"}),
         {{u"Innsbruk", Kind::misspelt},
          {u"weekend stay in austria", Kind::paraphrase},
          {u"4471 992", Kind::number},
          {u"hirsch", Kind::prefix},
          {u"lodging in the alps", Kind::paraphrase}}},
        {screen(u"travel booking", u"London St Pancras to Paris Gare du Nord", u"Eurostar",
                {u"Train\t9014", u"Departs\t08:01, arrives 11:20", u"Coach and seat\tCoach 12, Seat 61",
                 u"Booking reference\tKWB4TR", u"Class\tStandard Premier"}),
         {{u"eurostar", Kind::word},
          {u"Pancrass", Kind::misspelt},
          {u"train to france", Kind::paraphrase},
          {u"channel tunnel rail trip", Kind::paraphrase}}},

        // Screens sought only by what they are about
        {screen(u"email", u"Your appointment on 22 May", u"Praxis Dr. Voss <termine@praxis-voss.de>",
                {u"Dear Ms Keller,",
                 u"your dermatology appointment with Dr. Helena Voss is confirmed for Thursday 22 May at 09:15.",
                 u"Please bring your insurance card and a list of your medication.",
                 u"To cancel, call 030 5512 890 at least 24 hours ahead."}),
         {{u"skin doctor", Kind::paraphrase}, {u"skin clinic booking", Kind::paraphrase}}},
        {screen(u"web page", u"Transfer sent", u"online.nordbank.se/payments/confirmation",
                {u"You sent 1,250.00 EUR to Marta Jensen", u"IBAN DK50 0040 0440 1162 43 · Reference: May rent",
                 u"Executed on 2 May 2025, arrives within one business day", u"Download receipt (PDF)"}),
         {{u"wire confirmation", Kind::paraphrase}, {u"international money transfer", Kind::paraphrase}}},
        {screen(u"settings", u"Software & Updates",
                u"Ubuntu Software, Other Software, Updates, Authentication, Additional Drivers",
                {u"Canonical-supported free and open-source software (main)\tOn",
                 u"Community-maintained free and open-source software (universe)\tOn",
                 u"Proprietary drivers for devices (restricted)\tOn", u"Download from\tMain server",
                 u"Source code\tOff"}),
         {{u"software update sources", Kind::paraphrase}, {u"package repositories", Kind::paraphrase}}},
        {screen(u"terminal", u"bash — ~", u"",
                {u"$ ip addr show", u"1: lo: <LOOPBACK,UP,LOWER_UP> mtu 65536 qdisc noqueue state UNKNOWN",
                 u"    inet 127.0.0.1/8 scope host lo",
                 u"2: enp3s0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 state UP",
                 u"    link/ether 3c:7c:3f:1a:9e:04 brd ff:ff:ff:ff:ff:ff",
                 u"    inet 192.168.1.23/24 brd 192.168.1.255 scope global dynamic enp3s0",
                 u"3: wlp2s0: <BROADCAST,MULTICAST> mtu 1500 state DOWN"}),
         {{u"network interfaces", Kind::paraphrase}, {u"my ethernet ip", Kind::paraphrase}}},
        {screen(u"travel booking", u"Casa do Bairro, Lisbon", u"Booking confirmed",
                {u"Check-in\tTue 18 March from 14:00", u"Check-out\tFri 21 March by 11:00",
                 u"Room\tDouble room with city view", u"Guests\t2 adults", u"Total\t387.00 EUR, paid"}),
         {{u"lodging in lisbon", Kind::paraphrase}, {u"where we sleep in portugal", Kind::paraphrase}}},
        {screen(u"chat", u"Dad", u"last seen 5 minutes ago",
                {u"Dad\tthe garage called, the brakes are done", u"Me\thow much was it?",
                 u"Dad\t340 for pads and discs", u"Me\tcan you pick it up before 6?", u"Dad\tsure, see you later"}),
         {{u"car repair cost", Kind::paraphrase}, {u"mechanic bill", Kind::paraphrase}}},
    };
}

// Files without text that look like answers: a related word in the name or a
// custom tag ("cabin" for a holiday cottage, "pizza" for a takeaway dinner,
// "deploy" for a failed deployment), the recordings named as the desktop
// names them.
QList<FindabilitySet::TextlessFile> textlessFiles()
{
    using File = FindabilitySet::TextlessFile;
    QList<File> files;
    const QStringList recordingTags[] = {{}, {u"dessert"_s}, {u"cabin"_s}, {}, {u"earbuds"_s}, {}};
    for (int i = 0; i < int(std::size(recordingTags)); ++i)
        files.append({File::Kind::recording,
                      u"Screen Recording 2025-03-%1 at 1%2.0%3.1%4.mov"_s.arg(11 + i).arg(i).arg(i + 2).arg(i + 3),
                      recordingTags[i]});
    for (const QString& name : {u"licorice-allsorts.jpg"_s, u"pizza-margherita.jpg"_s, u"mountain-cabin.jpg"_s,
                                u"tagus-river-dusk.jpg"_s, u"tanker-in-dock.jpg"_s, u"garage-workbench.jpg"_s})
        files.append({File::Kind::wallpaper, name, {}});
    files.append({File::Kind::unreadable, u"deploy-log.png"_s, {u"logs"_s}});
    return files;
}

// Everyday screens of each kind: what a library holds besides the sought ones.
struct Pools
{
    std::mt19937 random;

    template <typename List>
    auto pick(const List& list) -> decltype(list[0])
    {
        return list[std::uniform_int_distribution<size_t>(0, std::size(list) - 1)(random)];
    }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    QString price() { return u"%1.%2"_s.arg(between(1, 120)).arg(between(0, 99), 2, 10, QChar(u'0')); }

    QStringList several(std::initializer_list<const char16_t*> options, int count)
    {
        QStringList all = rows(options);
        std::shuffle(all.begin(), all.end(), random);
        return all.mid(0, std::min<qsizetype>(count, all.size()));
    }

    Screen terminal()
    {
        const char16_t* sessions[][5] = {
            {u"$ git status", u"On branch main", u"Your branch is up to date with 'origin/main'.",
             u"Changes not staged for commit:", u"\tmodified:   src/app.c"},
            {u"$ ls -la", u"drwxr-xr-x  5 sam staff  160 Mar  3 10:12 .", u"-rw-r--r--  1 sam staff 2048 notes.txt",
             u"-rw-r--r--  1 sam staff  912 todo.md", u"drwxr-xr-x  3 sam staff   96 scripts"},
            {u"$ npm test", u"> web@1.4.0 test", u"PASS  src/cart.test.js", u"Tests: 42 passed, 42 total",
             u"Time: 3.81 s"},
            {u"$ docker ps", u"CONTAINER ID   IMAGE          STATUS", u"a1b2c3d4e5f6   postgres:16    Up 3 hours",
             u"f6e5d4c3b2a1   nginx:1.25     Up 3 hours", u"$"},
            {u"$ ping -c 3 example.org", u"64 bytes from 93.184.216.34: icmp_seq=0 ttl=56 time=11.2 ms",
             u"64 bytes from 93.184.216.34: icmp_seq=1 ttl=56 time=10.9 ms", u"3 packets transmitted, 3 received",
             u"round-trip min/avg/max = 10.9/11.0/11.2 ms"},
            {u"$ python3 manage.py migrate", u"Operations to perform:", u"  Apply all migrations: auth, shop",
             u"Running migrations:", u"  Applying shop.0007_order_status... OK"},
        };
        const auto& session = pick(sessions);
        return {
            u"terminal"_s, u"bash — ~/work"_s, {}, rows({session[0], session[1], session[2], session[3], session[4]})};
    }

    Screen code()
    {
        const char16_t* files[][6] = {
            {u"for (int i = 0; i < count; ++i) {", u"    total += values[i];", u"}", u"return total / count;",
             u"// average of the window", u"static int count = 0;"},
            {u"def load_config(path):", u"    with open(path) as handle:", u"        return yaml.safe_load(handle)",
             u"", u"def main():", u"    config = load_config('settings.yaml')"},
            {u"fn parse(input: &str) -> Result<Vec<Item>, Error> {", u"    let mut items = Vec::new();",
             u"    for line in input.lines() {", u"        items.push(Item::from(line)?);", u"    }", u"    Ok(items)"},
            {u"SELECT customer_id, SUM(amount)", u"FROM orders", u"WHERE created_at > now() - interval '30 days'",
             u"GROUP BY customer_id", u"ORDER BY 2 DESC", u"LIMIT 20;"},
            {u"const router = express.Router();", u"router.get('/users/:id', async (req, res) => {",
             u"  const user = await db.users.find(req.params.id);", u"  res.json(user);", u"});",
             u"module.exports = router;"},
        };
        const auto& file = pick(files);
        return {u"code"_s, u"module.js — Editor"_s, u"src index.js module.js utils.js"_s,
                rows({file[0], file[1], file[2], file[3], file[4], file[5]})};
    }

    Screen chat()
    {
        const char16_t* names[] = {u"Jonas", u"Amira", u"Leo", u"Hannah", u"Yuki", u"Carlos"};
        const QString name = QString::fromUtf16(pick(names));
        QStringList lines;
        for (const QString& message :
             several({u"are you coming tonight?", u"running 10 minutes late, sorry", u"sounds good to me",
                      u"did you see the game yesterday?", u"can you send me the slides", u"haha yes exactly",
                      u"let's do Thursday instead", u"I'll call you after work", u"where did we park?",
                      u"the meeting got moved to 3"},
                     5))
            lines.append((lines.size() % 2 ? u"Me"_s : name) + u'\t' + message);
        return {u"chat"_s, name, u"online"_s, lines};
    }

    Screen email()
    {
        const char16_t* mails[][4] = {
            {u"Your weekly summary", u"Fitness App <hello@fitapp.example>",
             u"You walked 52,310 steps this week, 8% more than last week.", u"Keep it up and set a new goal."},
            {u"Spring sale: 30% off everything", u"Outdoor Store <news@outdoor.example>",
             u"Jackets, tents and boots are on sale until Sunday.", u"Shop now and get free shipping."},
            {u"Security alert", u"Account Team <security@mail.example>",
             u"A new sign-in to your account was detected on a Windows device.",
             u"If this was you, you can ignore this email."},
            {u"Minutes from today", u"Paula Becker <paula@company.example>",
             u"Here are the notes from the planning meeting.", u"Next steps are listed at the bottom."},
            {u"Your order has shipped", u"Bookshop <orders@books.example>",
             u"Your parcel is on its way and should arrive on Friday.", u"Track your parcel in your account."},
        };
        const auto& mail = pick(mails);
        return {u"email"_s, QString::fromUtf16(mail[0]), QString::fromUtf16(mail[1]),
                rows({u"Hello,", mail[2], mail[3]})};
    }

    Screen receipt()
    {
        const char16_t* stores[][2] = {{u"CORNER GROCERY", u"45 Market St"},
                                       {u"CITY PHARMACY", u"8 High Street"},
                                       {u"BEAN THERE CAFE", u"2 Station Rd"},
                                       {u"FUEL STOP 24", u"Route 9 exit 14"},
                                       {u"BOOK NOOK", u"17 Church Lane"}};
        const auto& store = pick(stores);
        QStringList lines;
        for (const QString& item :
             several({u"Milk 1L", u"Bread", u"Bananas", u"Coffee beans", u"Shampoo", u"Pain relief tablets", u"Latte",
                      u"Croissant", u"Unleaded 32.5 L", u"Paperback novel", u"Notebook", u"Apples 1kg"},
                     4))
            lines.append(item + u'\t' + price());
        lines.append(u"TOTAL\t"_s + price());
        lines.append(u"Card payment approved"_s);
        return {u"receipt"_s, QString::fromUtf16(store[0]), QString::fromUtf16(store[1]), lines};
    }

    Screen invoice()
    {
        const char16_t* firms[] = {u"Northfield Consulting", u"Pixel & Pine Design", u"Harbor IT Services",
                                   u"Greenleaf Gardening"};
        QStringList lines{u"Invoice no. %1"_s.arg(between(1000, 9999)), u"Date: %1 May 2025"_s.arg(between(1, 28)),
                          u"Bill to: Your Company"_s};
        for (const QString& item : several({u"Consulting hours", u"Website maintenance", u"Monthly retainer",
                                            u"Hedge trimming", u"Software licence", u"Travel expenses"},
                                           2))
            lines.append(item + u"\t1\t"_s + price() + u'\t' + price());
        lines.append(u"Total due\t"_s + price());
        return {u"invoice"_s, u"Invoice"_s, QString::fromUtf16(pick(firms)), lines};
    }

    Screen calendar()
    {
        const char16_t* months[] = {u"January 2025", u"May 2025", u"July 2025", u"September 2025", u"October 2025"};
        QStringList lines;
        for (const QString& event :
             several({u"Team meeting", u"Gym", u"Call with parents", u"Haircut", u"Project deadline", u"Book club",
                      u"Car service", u"Yoga class", u"Dinner with Sam"},
                     4))
            lines.append(QString::number(between(1, 30)) + u'\t' + event);
        return {u"calendar"_s, QString::fromUtf16(pick(months)), {}, lines};
    }

    Screen map()
    {
        const char16_t* trips[][3] = {
            {u"Route to Central Station", u"Old Town, Riverside, Market Square, North Park", u"12 min by bike"},
            {u"Drive to the airport", u"Ringway, Westend, Harbour, Industrial Park", u"35 min via A1"},
            {u"Walk to the museum", u"Cathedral, Town Hall, Botanical Garden, Canal", u"9 min walk"},
            {u"Transit to the stadium", u"East Gate, University, Main Square, Lakeside", u"Tram 4, 21 min"},
        };
        const auto& trip = pick(trips);
        return {u"map"_s, QString::fromUtf16(trip[0]), QString::fromUtf16(trip[1]),
                rows({trip[2], u"Fastest route now", u"Continue straight for 400 m"})};
    }

    Screen spreadsheet()
    {
        const char16_t* sheets[][2] = {{u"Sales Q2.xlsx", u"Region\tApril\tMay\tJune"},
                                       {u"Timesheet.ods", u"Day\tStart\tEnd\tHours"},
                                       {u"Grades.xlsx", u"Student\tTest 1\tTest 2\tFinal"}};
        const auto& sheet = pick(sheets);
        QStringList lines{QString::fromUtf16(sheet[1])};
        const char16_t* labels[] = {u"North", u"South", u"Monday", u"Tuesday", u"Alex", u"Sam", u"East", u"West"};
        for (int row = 0; row < 5; ++row)
            lines.append(QString::fromUtf16(pick(labels)) +
                         u"\t%1\t%2\t%3"_s.arg(between(10, 999)).arg(between(10, 999)).arg(between(10, 999)));
        return {u"spreadsheet"_s, QString::fromUtf16(sheet[0]), u"=SUM(B2:B6)"_s, lines};
    }

    Screen document()
    {
        const char16_t* titles[] = {u"Project proposal", u"Quarterly report", u"Team handbook", u"Research notes"};
        return {u"document"_s, QString::fromUtf16(pick(titles)), u"draft.docx"_s,
                several({u"The goal of this project is to reduce waiting times for customers by improving the order "
                         u"process.",
                         u"In the second quarter revenue grew by four percent while costs stayed flat.",
                         u"New employees receive a laptop and an access card on their first day.",
                         u"Samples were stored at four degrees and analysed within two days.",
                         u"We recommend a pilot in one region before a wider rollout.",
                         u"Further details are given in the appendix."},
                        3)};
    }

    Screen webPage()
    {
        const char16_t* pages[][3] = {
            {u"Ten easy weeknight dinners", u"www.kitchenstories.example/recipes/weeknight",
             u"Quick meals that take less than thirty minutes and use what is already in your fridge."},
            {u"Local elections: what you need to know", u"news.example.com/politics/elections",
             u"Polling stations open at seven in the morning and close at ten at night."},
            {u"How to repot a houseplant", u"www.greenthumb.example/guides/repotting",
             u"Choose a pot one size larger and water the plant a day before."},
            {u"Release notes 4.2", u"docs.example.dev/changelog",
             u"This release improves start-up time and fixes several crashes."},
        };
        const auto& page = pick(pages);
        return {u"web page"_s, QString::fromUtf16(page[0]), QString::fromUtf16(page[1]), rows({page[2]})};
    }

    Screen errorDialog()
    {
        const char16_t* dialogs[][3] = {
            {u"Connection lost", u"The server stopped responding. Check your network and try again.", u"Cancel\tRetry"},
            {u"Disk almost full", u"There is not enough space to save this file.", u"Manage\tOK"},
            {u"Application not responding", u"You can wait for it or close it now.", u"Wait\tForce Quit"},
            {u"Permission denied", u"You do not have access to this folder.", u"OK"},
        };
        const auto& dialog = pick(dialogs);
        return {u"error dialog"_s, QString::fromUtf16(dialog[0]), {}, rows({dialog[1], dialog[2]})};
    }

    Screen settings()
    {
        const char16_t* pages[][2] = {{u"Displays", u"Resolution\t2560 x 1440"},
                                      {u"Sound", u"Output volume\t60%"},
                                      {u"Keyboard", u"Key repeat rate\tFast"},
                                      {u"Battery", u"Low power mode\tOff"}};
        const auto& page = pick(pages);
        return {u"settings"_s, QString::fromUtf16(page[0]), u"General, Displays, Sound, Keyboard, Battery, Network"_s,
                rows({page[1], u"Automatic updates\tOn", u"Show in menu\tOn", u"Night mode\tOff"})};
    }

    Screen login()
    {
        const char16_t* services[][2] = {{u"Sign in to your account", u"accounts.example.com"},
                                         {u"Log in to Photobox", u"photobox.example"},
                                         {u"Welcome back", u"members.gym.example"}};
        const auto& service = pick(services);
        return {u"login"_s, QString::fromUtf16(service[0]), QString::fromUtf16(service[1]),
                rows({u"Email\tyou@example.com", u"Password\t••••••••", u"[Sign in]", u"Forgot password?"})};
    }

    Screen travelBooking()
    {
        const char16_t* trips[][4] = {
            {u"Berlin (BER) to Rome (FCO)", u"Eurowings", u"Flight\tEW 8012", u"Seat\t14C"},
            {u"Madrid to Barcelona", u"Renfe", u"Train\tAVE 3113", u"Seat\tCoach 5, Seat 8D"},
            {u"Hotel Seaview, Split", u"Booking confirmed", u"Check-in\tSat 7 June", u"Room\tDouble with balcony"},
            {u"Oslo (OSL) to Bergen (BGO)", u"Norwegian", u"Flight\tDY 612", u"Seat\t9F"},
        };
        const auto& trip = pick(trips);
        return {u"travel booking"_s, QString::fromUtf16(trip[0]), QString::fromUtf16(trip[1]),
                rows({trip[2], trip[3], u"Date\tin three weeks", u"Reference\tLK3M9A"})};
    }
};
} // namespace

FindabilitySet FindabilitySet::make(quint32 seed, int distractorsPerKind)
{
    Pools pools{std::mt19937(seed)};
    QList<Screen> everyday;
    for (int i = 0; i < distractorsPerKind; ++i) {
        everyday << pools.terminal() << pools.code() << pools.chat() << pools.email() << pools.receipt()
                 << pools.invoice() << pools.calendar() << pools.map() << pools.spreadsheet() << pools.document()
                 << pools.webPage() << pools.errorDialog() << pools.settings() << pools.login()
                 << pools.travelBooking();
    }
    const QList<Sought> wanted = sought();

    // Every screen gets a place at random; the queries follow their screen.
    const qsizetype total = everyday.size() + wanted.size();
    std::vector<int> places(static_cast<size_t>(total));
    std::iota(places.begin(), places.end(), 0);
    std::shuffle(places.begin(), places.end(), pools.random);
    FindabilitySet set;
    set.screens.resize(total);
    int paraphrases = 0;
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        const int at = places[size_t(i)];
        set.screens[at] = wanted[i].screen;
        for (const AskedFor& query : wanted[i].queries) {
            const bool heldOut = query.kind == Kind::paraphrase && paraphrases++ % 2 == 1;
            set.queries.append({QString::fromUtf16(query.text), query.kind, at, heldOut});
        }
    }
    for (qsizetype i = 0; i < everyday.size(); ++i)
        set.screens[places[size_t(wanted.size() + i)]] = everyday[i];
    set.textless = textlessFiles();
    const QStringList tags{u"dessert"_s, u"guitar"_s,  u"dental"_s, u"locomotive"_s,
                           u"namibia"_s, u"nursery"_s, u"porto"_s};
    for (qsizetype i = 0; i < tags.size(); ++i)
        set.customTags.insert(places[size_t(wanted.size() + i)], {tags[i]});
    return set;
}

QString FindabilitySet::kindName(QueryKind kind)
{
    static const QString names[] = {u"word"_s,   u"phrase"_s,     u"prefix"_s,   u"domain"_s,
                                    u"number"_s, u"mixed_case"_s, u"misspelt"_s, u"paraphrase"_s};
    return kind < QueryKind::count ? names[int(kind)] : QString();
}
