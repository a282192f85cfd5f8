#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QGridLayout;

// The body of a full-window overlay: a centre-aligned depth stack whose
// layers come from a content builder. It belongs to a screen (`anchor`) but
// covers the whole of the window the screen is in, sidebar included, and
// keeps the keyboard to itself while shown; it is shown only while its
// screen is. The builder runs again whenever the view model it shows
// publishes (once per event-loop turn however often it publishes; while the
// overlay is hidden, once when it is shown again).
class CenteredOverlay : public QWidget
{
    Q_OBJECT

public:
    using Builder = std::function<void(CenteredOverlay&)>;

    CenteredOverlay(QWidget& anchor, Builder build);

    // Whether the overlay is wanted up; it shows while its screen does.
    void setVisible(bool visible) override;

    // Layers stack in the order added, the first at the back. A layer that
    // expands both ways (a backdrop) covers the overlay; any other keeps its
    // size hint, within the overlay's size, and is centred.
    void addLayer(QWidget* layer);
    QList<QWidget*> layers() const;

    template <typename Sender, typename Signal>
    void rebuildOn(const Sender* sender, Signal signal)
    {
        connect(sender, signal, this, &CenteredOverlay::scheduleRebuild);
    }
    void scheduleRebuild();
    // Replaces the layers by freshly built ones now.
    void rebuild();
    int buildCount() const { return m_buildCount; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void rebuildIfPending();
    // Shows the overlay over its screen's window, or hides it.
    void follow();
    void coverWindow(QWidget& window);

    QWidget& m_anchor;
    QPointer<QWidget> m_window;
    bool m_wanted = true;
    bool m_following = false;
    Builder m_build;
    QGridLayout* m_stack;
    QList<QPointer<QWidget>> m_layers;
    bool m_rebuildPending = false;
    bool m_rebuildQueued = false;
    int m_buildCount = 0;
};

// An overlay of the screen `window` showing `viewModel`: `content(overlay, viewModel)`
// adds its layers, again after every `published` signal of the view model.
template <typename ViewModel, typename Signal, typename Content>
CenteredOverlay* centeredOverlayContent(QWidget& window, ViewModel& viewModel, Signal published, Content content)
{
    auto* overlay =
        new CenteredOverlay(window, [&viewModel, content](CenteredOverlay& stack) { content(stack, viewModel); });
    overlay->rebuildOn(&viewModel, published);
    return overlay;
}
