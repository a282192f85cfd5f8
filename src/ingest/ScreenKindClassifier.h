#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

// What kind of screen a screenshot shows (a terminal, a chat, a receipt...),
// told from its recognised text and a glance at its pixels. The object
// classifier finds nothing on most screenshots; these labels are what a
// screen is, to search by and to group by.
//
// Each kind collects evidence from cues that its screens show and others
// rarely do (a shell prompt, "From:" and "Reply", a total under a column of
// prices). The confidences are a softmax of that evidence over the kinds and
// "none of them", so a screen that looks like two kinds at once gets neither
// above the label threshold. Stateless and thread-safe.
class ScreenKindClassifier
{
public:
    struct Observation
    {
        QString kind;
        float confidence = 0;
    };

    // What the pixels say: from a small copy of the screenshot, and from
    // where its lines of text lie.
    struct Look
    {
        double darkShare = 0; // of pixels darker than a dark theme's window
        bool known = false;
        // How often the lines of text go from one side of the page to the
        // other and back, as the bubbles of a chat do; 0 when the page's
        // lines stand in columns or rows instead.
        int bubbleTurns = 0;
    };

    ScreenKindClassifier() = delete;

    static Look lookAt(const QImage& image);
    // Adds what the boxes of the page's lines of text tell (bubbleTurns).
    static void addLineLayout(Look& look, const std::vector<QRect>& lines, QSize page);

    // Every kind with its confidence, most likely first.
    static std::vector<Observation> classify(const QString& text, const Look& look);

    // The kinds above `threshold`, most likely first.
    static QStringList labels(const QString& text, const Look& look, float threshold);

    // Every kind a screen can be labelled as.
    static const QStringList& kinds();

    // Evidence of "none of the kinds": what a kind must clearly exceed.
    static constexpr double noneEvidence = 2.5;
};
