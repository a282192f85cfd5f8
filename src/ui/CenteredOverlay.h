#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QGridLayout;

// The body of a full-window overlay: a centre-aligned depth stack covering
// the whole of the window it is put over, whose layers come from a content
// builder. The builder runs again whenever the view model it shows publishes
// (once per event-loop turn however often it publishes; while the overlay is
// hidden, once when it is shown again).
class CenteredOverlay : public QWidget
{
    Q_OBJECT

public:
    using Builder = std::function<void(CenteredOverlay&)>;

    CenteredOverlay(QWidget& window, Builder build);

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

private:
    void rebuildIfPending();

    QWidget& m_window;
    Builder m_build;
    QGridLayout* m_stack;
    QList<QPointer<QWidget>> m_layers;
    bool m_rebuildPending = false;
    bool m_rebuildQueued = false;
    int m_buildCount = 0;
};

// An overlay over `window` showing `viewModel`: `content(overlay, viewModel)`
// adds its layers, again after every `published` signal of the view model.
template <typename ViewModel, typename Signal, typename Content>
CenteredOverlay* centeredOverlayContent(QWidget& window, ViewModel& viewModel, Signal published, Content content)
{
    auto* overlay =
        new CenteredOverlay(window, [&viewModel, content](CenteredOverlay& stack) { content(stack, viewModel); });
    overlay->rebuildOn(&viewModel, published);
    return overlay;
}
