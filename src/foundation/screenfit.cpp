#include "foundation/screenfit.h"

#include <QApplication>
#include <QBoxLayout>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace {

bool hasFrame(const QWidget *window)
{
    const Qt::WindowType type = window->windowType();
    return !(window->windowFlags() & Qt::FramelessWindowHint) && type != Qt::Popup
        && type != Qt::ToolTip && type != Qt::SplashScreen && type != Qt::Desktop;
}

// The frame the window system reported for a shown window; null while none is known.
QMargins reportedMargins(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                    frame.right() - client.right(), frame.bottom() - client.bottom());
}

bool isCreated(const QWidget *window)
{
    return window->testAttribute(Qt::WA_WState_Created);
}

// Where the window's frame lies with these margins. Windows are placed by their client area
// (their stored geometry is the client area's): a position that includes the frame reads as the
// client area's until the window manager has framed the window, and a window fitted in between
// would be moved by the frame's size.
QRect currentFrame(const QWidget *window, const QMargins &margins)
{
    return window->geometry().marginsAdded(margins);
}

// Puts the window's frame, now at `frame`, onto `target`, by its client area.
void applyFrame(QWidget *window, const QRect &frame, const QRect &target, const QMargins &margins)
{
    if (target != frame)
        window->setGeometry(target.marginsRemoved(margins));
}

bool isPlaceable(const QWidget *window)
{
    return window && window->isWindow() && !window->isMaximized() && !window->isFullScreen()
        && !window->isMinimized();
}

// Brings the window's layout up to date after its contents changed. Layouts keep what each widget
// asked for; a widget that measures its children itself (a splitter) does not always tell them
// that its needs changed, and a window would keep the size a larger text gave it.
void refreshLayout(QWidget *window)
{
    QLayout *layout = window->layout();
    if (!layout)
        return;
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!widget->isWindow())
            widget->updateGeometry();
    }
    layout->activate();
}

// What a window's contents need at least, with its layout brought up to date first: a font
// change only marks the layout as out of date.
QSize neededSize(QWidget *window)
{
    refreshLayout(window);
    return window->minimumSizeHint();
}

// Fits a window whenever it is shown or its contents make it grow, and again when its frame turns
// out to differ from the one it was fitted with (the window system frames a window only after it
// was asked to show it).
class ShownWatcher : public QObject
{
public:
    static constexpr const char *name = "screenFitWatcher";

    explicit ShownWatcher(QWidget *window)
        : QObject(window)
        , m_window(window)
    {
        setObjectName(QLatin1String(name));
        window->installEventFilter(this);
        m_frameWait.setInterval(frameCheckInterval);
        connect(&m_frameWait, &QTimer::timeout, this, &ShownWatcher::checkFrame);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            // Once shown: a window's layout and size settle only then.
            QTimer::singleShot(0, this, [this] { fit(); });
            m_frameSettled = false;
            m_frameChecks = 0;
            m_frameWait.start();
            break;
        case QEvent::Hide:
            m_frameWait.stop();
            break;
        case QEvent::Move:
            // The frame of a maximised window is another than its normal one; the normal one
            // comes back with the normal geometry, which is the user's and stays as it was.
            if (!m_window->isMaximized() && !m_window->isFullScreen())
                fitToNewFrame();
            else if (!reportedMargins(m_window).isNull())
                m_frameSettled = true;
            break;
        case QEvent::Resize:
            // A window its contents made larger once it was shown stays on the screen; a size
            // the user or the program chose is theirs.
            if (m_window->isVisible() && grewToItsLeastSize(static_cast<QResizeEvent *>(event)))
                fit();
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool grewToItsLeastSize(const QResizeEvent *event) const
    {
        const QSize now = event->size();
        const QSize before = event->oldSize();
        const QSize least = m_window->minimumSize();
        return (now.width() > before.width() && now.width() == least.width())
            || (now.height() > before.height() && now.height() == least.height());
    }

    void fit()
    {
        // Set first: the fit moves the window, and the move comes back here.
        m_fittedWith = ScreenFit::frameMargins(m_window);
        m_frameSettled = !reportedMargins(m_window).isNull();
        ScreenFit::keepOnScreen(m_window);
    }

    // Fitted once more when the frame the window system put around the window turns out to
    // differ from the one the window was fitted with, until it was fitted with its real frame.
    void fitToNewFrame()
    {
        if (m_window->isVisible() && !m_frameSettled
            && ScreenFit::frameMargins(m_window) != m_fittedWith)
            fit();
    }

    // The window system may put its frame around the window without moving the client area,
    // and then no move event tells that the frame is known: a frame of another size than the
    // estimated one the window was fitted with could reach past the screen's edge.
    void checkFrame()
    {
        const bool known = !reportedMargins(m_window).isNull();
        if (known && !m_window->isMaximized() && !m_window->isFullScreen())
            fitToNewFrame();
        if (known || ++m_frameChecks >= frameChecks)
            m_frameWait.stop();
    }

    // How often, and how long at most, the frame of a window just shown is looked for.
    static constexpr int frameCheckInterval = 50;
    static constexpr int frameChecks = 40;

    QWidget *m_window;
    QMargins m_fittedWith;
    // Fitted with the frame the window system reported, not an estimated one.
    bool m_frameSettled = false;
    QTimer m_frameWait;
    int m_frameChecks = 0;
};

// Follows a font change that reached a window while it was hidden: its contents can be measured
// at the new font only once it is shown again, and then the window takes the size the open
// windows took when the font changed.
class HiddenRefit : public QObject
{
public:
    static constexpr const char *name = "screenFitHiddenRefit";

    HiddenRefit(QWidget *window, const QSize &neededBefore, const QSize &size)
        : QObject(window)
        , m_window(window)
        , m_neededBefore(neededBefore)
        , m_size(size)
    {
        setObjectName(QLatin1String(name));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Show) {
            m_window->removeEventFilter(this);
            ScreenFit::refitToNewNeeds(m_window, m_size, m_neededBefore);
            deleteLater();
        }
        return false;
    }

private:
    QWidget *m_window;
    // What the contents needed, and the window's size, when it was last shown.
    QSize m_neededBefore;
    QSize m_size;
};

// A shown window's size, and what its contents needed, before a change of the application's look
// that reaches the window's own style sheet only a moment later: in between, the window may have
// grown to what its contents needed half-way.
class HeldFit : public QObject
{
public:
    static constexpr const char *name = "screenFitHeldFit";

    explicit HeldFit(QWidget *window)
        : QObject(window)
        , neededBefore(neededSize(window))
        , size(window->size())
    {
        setObjectName(QLatin1String(name));
    }

    const QSize neededBefore;
    const QSize size;
};

template<typename T> T *helperOf(const QWidget *window)
{
    return window->findChild<T *>(QLatin1String(T::name), Qt::FindDirectChildrenOnly);
}

bool wasShown(const QWidget *window)
{
    return isCreated(window) || window->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

// Holds a window's contents: as large as they ask to be, but where the screen is too small for
// them no larger than the screen leaves room for, with scroll bars for the rest.
class ScreenScrollArea : public QScrollArea
{
public:
    static constexpr const char *name = "screenScrollArea";

    explicit ScreenScrollArea(QWidget *window)
        : QScrollArea(window)
        , m_window(window)
    {
        setObjectName(QLatin1String(name));
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        // The window's own background shows through, in either look.
        setStyleSheet(QStringLiteral("QScrollArea#%1 {border-style: none; padding: 0px; "
                                     "background-color: transparent;}")
                          .arg(QLatin1String(name)));
        viewport()->setAutoFillBackground(false);
    }

    QSize sizeHint() const override { return capped(widget() ? widget()->sizeHint() : QSize()); }
    QSize minimumSizeHint() const override
    {
        return capped(widget() ? widget()->minimumSizeHint() : QSize());
    }

private:
    QSize capped(QSize contents) const
    {
        if (!contents.isValid())
            return QScrollArea::minimumSizeHint();
        const QRect area = ScreenFit::areaFor(ScreenFit::frameRect(m_window));
        const QSize room = area.size().shrunkBy(ScreenFit::frameMargins(m_window));
        // A scroll bar takes its room from the other direction.
        QSize needed = contents;
        if (contents.height() > room.height())
            needed.rwidth() += verticalScrollBar()->sizeHint().width();
        if (contents.width() > room.width())
            needed.rheight() += horizontalScrollBar()->sizeHint().height();
        return needed.boundedTo(room);
    }

    QWidget *m_window;
};

} // namespace

namespace ScreenFit {

QRect areaFor(const QRect &frame)
{
    QScreen *best = nullptr;
    qint64 bestOverlap = 0;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens) {
        const QRect overlap = screen->geometry().intersected(frame);
        const qint64 pixels = overlap.isEmpty() ? 0 : qint64(overlap.width()) * overlap.height();
        if (pixels > bestOverlap) {
            best = screen;
            bestOverlap = pixels;
        }
    }
    if (!best)
        best = QGuiApplication::primaryScreen();
    return best ? best->availableGeometry() : QRect();
}

QRect fitted(const QRect &frame, const QRect &area, const QSize &smallest)
{
    if (area.isEmpty())
        return frame;
    // Shrunk where it must, never grown.
    const QSize size
        = frame.size().boundedTo(area.size()).expandedTo(smallest.boundedTo(frame.size()));
    // The lower limit wins when the size exceeds the area: the top left stays inside.
    const int x = qMax(area.left(), qMin(frame.left(), area.right() + 1 - size.width()));
    const int y = qMax(area.top(), qMin(frame.top(), area.bottom() + 1 - size.height()));
    return QRect(QPoint(x, y), size);
}

QMargins frameMargins(const QWidget *window)
{
    if (!hasFrame(window))
        return {};
    const QMargins own = reportedMargins(window);
    if (!own.isNull())
        return own;
    // The frames the window system draws are alike: a shown window's tells the size of the
    // frame this one will get.
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (const QWidget *other : windows) {
        if (other == window || !other->isVisible() || !hasFrame(other))
            continue;
        const QMargins margins = reportedMargins(other);
        if (!margins.isNull())
            return margins;
    }
    // With no frame to learn from (the first window of the program, or no window manager), none
    // is assumed: a guessed title bar taller than the real one moved a window that touched the
    // top of the screen down at every start. The window is fitted again once it is framed.
    return {};
}

QRect frameRect(const QWidget *window)
{
    return currentFrame(window, frameMargins(window));
}

void keepOnScreen(QWidget *window, LayoutState layoutState)
{
    if (!isPlaceable(window))
        return;
    // The contents of a window that scrolls are no larger than the screen it is on now.
    auto *scrolled = window->findChild<ScreenScrollArea *>(QLatin1String(ScreenScrollArea::name),
                                                           Qt::FindDirectChildrenOnly);
    if (scrolled) {
        scrolled->updateGeometry();
        layoutState = LayoutOutOfDate;
    }
    // The layout sets the window's least size when it is brought up to date.
    if (layoutState == LayoutOutOfDate)
        refreshLayout(window);
    const QMargins margins = frameMargins(window);
    const QRect frame = currentFrame(window, margins);
    const QRect area = areaFor(frame);
    applyFrame(window, frame, fitted(frame, area, window->minimumSize().grownBy(margins)), margins);
}

void keepOnScreenWhenShown(QWidget *window)
{
    if (!window->findChild<ShownWatcher *>(QLatin1String(ShownWatcher::name),
                                           Qt::FindDirectChildrenOnly))
        new ShownWatcher(window);
}

QSize sizeForNewNeeds(const QSize &size, const QSize &neededBefore, const QSize &neededAfter)
{
    if (!neededBefore.isValid() || !neededAfter.isValid())
        return size;
    const QSize room = (size - neededBefore).expandedTo(QSize(0, 0));
    return neededAfter + room;
}

void setStyleSheetKeepingFit(QWidget *window, const QString &styleSheet)
{
    // A window never shown has no size of its own yet: its contents give it one when it is shown.
    // One that was shown and is closed now may have given its native window back.
    if (!wasShown(window)) {
        window->setStyleSheet(styleSheet);
        return;
    }
    // A change of look that began before this style sheet: measured against what the window was
    // then.
    std::unique_ptr<HeldFit> held(helperOf<HeldFit>(window));
    if (!window->isVisible()) {
        // Measured when it is shown again, against what its contents needed when it was last
        // open: a second change before then changes nothing of that.
        if (!helperOf<HiddenRefit>(window)) {
            if (held)
                new HiddenRefit(window, held->neededBefore, held->size);
            else
                new HiddenRefit(window, neededSize(window), window->size());
        }
        window->setStyleSheet(styleSheet);
        return;
    }
    const QSize before = held ? held->neededBefore : neededSize(window);
    const QSize size = held ? held->size : window->size();
    window->setStyleSheet(styleSheet);
    refitToNewNeeds(window, size, before);
}

void holdFitAcrossLookChange(QWidget *window)
{
    if (!wasShown(window))
        return;
    if (!window->isVisible()) {
        if (!helperOf<HiddenRefit>(window))
            new HiddenRefit(window, neededSize(window), window->size());
        return;
    }
    // A second change of look before the first has reached the window: the window is still
    // measured against what it was before the first.
    if (!helperOf<HeldFit>(window))
        new HeldFit(window);
}

void refitAfterLookChange(QWidget *window)
{
    const std::unique_ptr<HeldFit> held(helperOf<HeldFit>(window));
    if (held && window->isVisible())
        refitToNewNeeds(window, held->size, held->neededBefore);
}

void refitToNewNeeds(QWidget *window, const QSize &size, const QSize &neededBefore)
{
    const auto fit = [window, size, neededBefore] {
        const QSize wanted = sizeForNewNeeds(size, neededBefore, neededSize(window));
        if (isPlaceable(window) && wanted != window->size())
            window->resize(wanted);
        keepOnScreen(window, LayoutUpToDate);
    };
    fit();
    // Some contents take the new text size only when the event loop runs (a text measured in a
    // layout request of its own): measured once more then, with the same room as before.
    QTimer::singleShot(0, window, fit);
}

void placeBeside(QWidget *window, const QWidget *other, const QSize &smallest)
{
    if (!isPlaceable(window))
        return;
    const QMargins margins = frameMargins(window);
    const QRect frame = currentFrame(window, margins);
    const QRect otherFrame
        = other->isMaximized() || other->isFullScreen() ? other->frameGeometry() : frameRect(other);
    if (!frame.intersects(otherFrame)) {
        keepOnScreen(window);
        return;
    }
    const QRect area = areaFor(otherFrame);
    // Right, left, below, above: the first that takes the window as it is, else the largest
    // that takes it at its smallest.
    const QRect rooms[] = {
        QRect(QPoint(otherFrame.right() + 1, area.top()), area.bottomRight()),
        QRect(area.topLeft(), QPoint(otherFrame.left() - 1, area.bottom())),
        QRect(QPoint(area.left(), otherFrame.bottom() + 1), area.bottomRight()),
        QRect(area.topLeft(), QPoint(area.right(), otherFrame.top() - 1)),
    };
    const QSize least = smallest.expandedTo(window->minimumSize()).grownBy(margins);
    const QRect *chosen = nullptr;
    for (const QRect &room : rooms) {
        if (room.width() >= frame.width() && room.height() >= frame.height()) {
            chosen = &room;
            break;
        }
    }
    if (!chosen) {
        qint64 largest = 0;
        for (const QRect &room : rooms) {
            const qint64 pixels = qint64(room.width()) * room.height();
            if (room.width() >= least.width() && room.height() >= least.height()
                && pixels > largest) {
                chosen = &room;
                largest = pixels;
            }
        }
    }
    if (!chosen) {
        keepOnScreen(window);
        return;
    }
    applyFrame(window, frame, fitted(frame, *chosen, least), margins);
}

void scrollWhenLargerThanScreen(QWidget *window)
{
    auto *top = qobject_cast<QBoxLayout *>(window->layout());
    if (!top)
        return;
    auto *contents = new QWidget;
    contents->setObjectName(QStringLiteral("screenScrollContents"));
    auto *moved = new QBoxLayout(top->direction());
    moved->setContentsMargins(top->contentsMargins());
    moved->setSpacing(top->spacing());
    while (top->count() > 0) {
        const int stretch = top->stretch(0);
        QLayoutItem *item = top->takeAt(0);
        if (QWidget *widget = item->widget()) {
            moved->addWidget(widget, stretch, item->alignment());
            delete item;
        } else if (QLayout *layout = item->layout()) {
            moved->addLayout(layout, stretch);
        } else {
            moved->addItem(item);
            moved->setStretch(moved->count() - 1, stretch);
        }
    }
    // Installing the layout moves the widgets into the contents.
    contents->setLayout(moved);
    auto *area = new ScreenScrollArea(window);
    area->setWidget(contents);
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(area);
}

} // namespace ScreenFit
