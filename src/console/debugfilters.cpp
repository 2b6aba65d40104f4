#include "console/debugfilters.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QEvent>
#include <QMutexLocker>
#include <QRecursiveMutex>

namespace {

struct FilterState
{
    QList<int> blockedTypes;
    QPointer<QComboBox> passFilter;
    // The same box for comparisons only: the guard above is still set while a box destroys its
    // children, and reading it then would treat a half-destroyed widget as a combo box.
    const QObject *passFilterObject = nullptr;
    QList<QByteArray> passItems;
    bool passVisible = false;
};

FilterState &state()
{
    static FilterState filterState;
    return filterState;
}

// Lives as a child of the pass-list box and keeps the handler's copy of it up to date.
class PassFilterWatcher : public QObject
{
public:
    explicit PassFilterWatcher(QComboBox *box)
        : QObject(box)
        , m_box(box)
    {
        box->installEventFilter(this);
        QAbstractItemModel *model = box->model();
        connect(model, &QAbstractItemModel::rowsInserted, this, &PassFilterWatcher::update);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &PassFilterWatcher::update);
        connect(model, &QAbstractItemModel::dataChanged, this, &PassFilterWatcher::update);
        connect(model, &QAbstractItemModel::modelReset, this, &PassFilterWatcher::update);
        update();
    }
    ~PassFilterWatcher() override
    {
        QMutexLocker locker(&debugLock());
        if (state().passFilterObject == m_box) {
            state().passItems.clear();
            state().passVisible = false;
            state().passFilterObject = nullptr;
        }
    }

    void update()
    {
        // A box that is being destroyed is no combo box any more: leave it alone.
        const auto *box = qobject_cast<const QComboBox *>(m_box);
        if (!box)
            return;
        QList<QByteArray> items;
        for (int i = 0; i < box->count(); ++i)
            items.append(box->itemText(i).toLocal8Bit());
        const bool visible = box->isVisible();
        QMutexLocker locker(&debugLock());
        if (state().passFilterObject != m_box)
            return;
        state().passItems = items;
        state().passVisible = visible;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A box becomes visible or hidden with its window too; it gets these events either way.
        if (watched == m_box && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
            update();
        return false;
    }

private:
    QObject *m_box;
};

} // namespace

QRecursiveMutex &debugLock()
{
    static QRecursiveMutex lock;
    return lock;
}

QList<int> DebugFilters::blockedTypes()
{
    QMutexLocker locker(&debugLock());
    return state().blockedTypes;
}

void DebugFilters::setBlockedTypes(const QList<int> &types)
{
    QMutexLocker locker(&debugLock());
    state().blockedTypes = types;
}

bool DebugFilters::isBlocked(int type)
{
    QMutexLocker locker(&debugLock());
    return state().blockedTypes.contains(type);
}

void DebugFilters::toggleBlocked(int type)
{
    QMutexLocker locker(&debugLock());
    QList<int> &types = state().blockedTypes;
    if (types.contains(type))
        types.removeAll(type);
    else
        types.append(type);
}

QComboBox *DebugFilters::passFilter()
{
    QMutexLocker locker(&debugLock());
    return state().passFilter.data();
}

void DebugFilters::setPassFilter(QComboBox *box)
{
    {
        QMutexLocker locker(&debugLock());
        state().passFilter = box;
        state().passFilterObject = box;
        state().passItems.clear();
        state().passVisible = false;
    }
    if (box)
        new PassFilterWatcher(box);
}

QList<QByteArray> DebugFilters::activePassItems()
{
    QMutexLocker locker(&debugLock());
    // The copy alone: the box's guard may be cleared by the GUI thread meanwhile.
    if (!state().passVisible)
        return {};
    return state().passItems;
}
