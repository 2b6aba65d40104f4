#include "foundation/appsettings.h"

#include "foundation/constants.h"
#include "foundation/getfullobjectnamehash.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWidget>

namespace {

const QString windowStateKey = QStringLiteral("WindowState");
const QString sizeKey = QStringLiteral("Size");
const QString positionKey = QStringLiteral("Position");
const QString maximizedKey = QStringLiteral("Maximized");
const QString comboGroup = QStringLiteral("ComboBoxCurrentText");
const QString messageGroup = QStringLiteral("MessageMap");
const QString messageTimeKey = QStringLiteral("time");
const QString messageTextKey = QStringLiteral("text");
const QString variantMapGroup = QStringLiteral("VariantMap/");

// Version number of the tool-bar and dock state; a state of another version is ignored.
constexpr int mainWindowStateVersion = 4;

const QSize defaultWindowSize(800, 480);

QMainWindow *asMainWindow(QWidget *window)
{
    return static_cast<QMainWindow *>(window->qt_metacast("QMainWindow"));
}

QRect availableGeometryAround(const QRect &rect)
{
    QScreen *screen = QGuiApplication::screenAt(rect.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// A window restored from another monitor layout could land where no screen is: keep it on the
// screen it overlaps, or on the primary one, and no larger than that screen's free area.
void keepOnScreen(QWidget *window)
{
    const QRect area = availableGeometryAround(window->geometry());
    if (area.isEmpty())
        return;
    QSize size = window->size().boundedTo(area.size());
    if (size != window->size())
        window->resize(size);
    QPoint position = window->pos();
    position.setX(qBound(area.left(), position.x(), area.right() + 1 - size.width()));
    position.setY(qBound(area.top(), position.y(), area.bottom() + 1 - size.height()));
    if (position != window->pos())
        window->move(position);
}

} // namespace

const QString AppSettings::organisationName = QStringLiteral("Korvane");

AppSettings::AppSettings()
    : QSettings(QSettings::IniFormat, QSettings::UserScope, organisationName,
                QCoreApplication::applicationName())
{ }

QVariantMap AppSettings::valueMap(const QString &key) const
{
    return value(key).toMap();
}

void AppSettings::setValueMap(const QVariantMap &map, const QString &key)
{
    setValue(key, map);
}

void AppSettings::restoreActionStates(QWidget *widget)
{
    beginGroup(widget->objectName());
    const QList<QAction *> actions = widget->actions();
    for (QAction *action : actions) {
        if (!action->isCheckable() || !action->isEnabled() || action->objectName().isEmpty())
            continue;
        const bool stored = value(action->objectName(), action->isChecked()).toBool();
        // Trigger toggles, so start from the opposite state: the slots then see the stored one.
        action->setChecked(!stored);
        action->activate(QAction::Trigger);
    }
    endGroup();
}

void AppSettings::saveActionStates(QWidget *widget)
{
    beginGroup(widget->objectName());
    const QList<QAction *> actions = widget->actions();
    for (QAction *action : actions) {
        if (action->isCheckable() && !action->objectName().isEmpty())
            setValue(action->objectName(), action->isChecked());
    }
    endGroup();
}

bool AppSettings::restoreWindow(QWidget *window, const QString &suffix)
{
    // The origin of the screen is deliberately not added: the centred position is the same on
    // every screen layout.
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect();
    const QPoint centred((screenRect.width() - window->width()) / 2,
                         (screenRect.height() - window->height()) / 2);
    window->move(centred);

    beginGroup(mainWindowGroupKey);
    bool stateRestored = false;
    if (QMainWindow *mainWindow = asMainWindow(window)) {
        stateRestored
            = mainWindow->restoreState(value(windowStateKey).toByteArray(), mainWindowStateVersion);
    }
    window->resize(value(sizeKey + suffix, defaultWindowSize).toSize());
    window->move(value(positionKey + suffix, centred).toPoint());
    keepOnScreen(window);
    if (value(maximizedKey + suffix, false).toBool())
        window->showMaximized();
    endGroup();
    return stateRestored;
}

void AppSettings::saveWindow(QWidget *window, const QString &suffix)
{
    beginGroup(mainWindowGroupKey);
    if (QMainWindow *mainWindow = asMainWindow(window))
        setValue(windowStateKey, mainWindow->saveState(mainWindowStateVersion));
    // A maximised or minimised window keeps its last normal geometry for the next start.
    if (!window->isMaximized() && !window->isMinimized()) {
        setValue(sizeKey + suffix, window->size());
        setValue(positionKey + suffix, window->pos());
    }
    setValue(maximizedKey + suffix, window->isMaximized());
    endGroup();
    sync();
}

void AppSettings::saveComboText(QComboBox *box)
{
    beginGroup(comboGroup);
    setValue(getFullObjectNameHash::key(box), box->currentText());
    endGroup();
}

QString AppSettings::restoreComboText(QComboBox *box)
{
    beginGroup(comboGroup);
    const QString text = value(getFullObjectNameHash::key(box), placeholderText).toString();
    endGroup();
    return text;
}

void AppSettings::saveMessageMap(const QString &key, MessageHistory &history, const QString &text)
{
    const QDateTime now = QDateTime::currentDateTime();
    // Behind any entry of the same millisecond, so that ties keep the order they came in.
    history.insert(history.upperBound(now), now, text);
    while (history.size() > messageHistoryLimit)
        history.erase(history.begin());
    storeMessageMap(key, history);
}

// Stored as an array of (milliseconds since the epoch, text) in time order: unlike a hash keyed
// by text, it keeps repeated texts and entries of the same millisecond, and the times do not
// depend on the time zone the file is read in.
void AppSettings::storeMessageMap(const QString &key, const MessageHistory &history)
{
    beginGroup(messageGroup);
    remove(key);
    beginWriteArray(key, int(history.size()));
    int index = 0;
    for (auto entry = history.cbegin(); entry != history.cend(); ++entry, ++index) {
        setArrayIndex(index);
        setValue(messageTimeKey, entry.key().toMSecsSinceEpoch());
        setValue(messageTextKey, entry.value());
    }
    endArray();
    endGroup();
}

MessageHistory AppSettings::loadMessageMap(const QString &key)
{
    MessageHistory history;
    beginGroup(messageGroup);
    const int count = beginReadArray(key);
    for (int index = 0; index < count; ++index) {
        setArrayIndex(index);
        bool isNumber = false;
        const qint64 msecs = value(messageTimeKey).toLongLong(&isNumber);
        if (!isNumber)
            continue;
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(msecs);
        history.insert(history.upperBound(time), time, value(messageTextKey).toString());
    }
    endArray();
    endGroup();
    return history;
}

QMap<QString, QVariantMap> AppSettings::getParaMapVariant(const QString &name)
{
    QMap<QString, QVariantMap> maps;
    beginGroup(variantMapGroup + name);
    const QStringList keys = childKeys();
    for (const QString &key : keys)
        maps.insert(key, value(key).toMap());
    endGroup();
    return maps;
}

void AppSettings::setParaMapVariant(const QString &name, const QMap<QString, QVariantMap> &maps)
{
    beginGroup(variantMapGroup + name);
    for (auto entry = maps.cbegin(); entry != maps.cend(); ++entry)
        setValue(entry.key(), entry.value());
    endGroup();
}
