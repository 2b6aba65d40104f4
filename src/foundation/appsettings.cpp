#include "foundation/appsettings.h"

#include "foundation/constants.h"
#include "foundation/getfullobjectnamehash.h"
#include "foundation/methodname.h"
#include "foundation/regularfile.h"
#include "foundation/screenfit.h"
#include "foundation/settingsfilecheck.h"
#include "foundation/windowstatecheck.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWidget>

#include <algorithm>

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

// Widgets keep their geometry as corner coordinates in int: a stored position near the end of
// the int range (a damaged or hand-edited file) would overflow them. No screen is that far off,
// so such a value is treated as missing.
constexpr int farthestCoordinate = QWIDGETSIZE_MAX;

QPoint storedPosition(const QVariant &stored, const QPoint &fallback)
{
    const QPoint position = stored.toPoint();
    const auto isNear = [](int coordinate) {
        return coordinate >= -farthestCoordinate && coordinate <= farthestCoordinate;
    };
    return isNear(position.x()) && isNear(position.y()) ? position : fallback;
}

QSize storedSize(const QVariant &stored)
{
    const QSize size = stored.toSize();
    return size.isValid() && size.width() <= QWIDGETSIZE_MAX && size.height() <= QWIDGETSIZE_MAX
        ? size
        : defaultWindowSize;
}

} // namespace

const QString AppSettings::organisationName = QStringLiteral("Korvane");

namespace {

// A settings file is a few kilobytes; even a long notification history keeps it far below this.
constexpr qint64 largestSettingsFile = 4 * 1024 * 1024;

// Moves a settings file the store cannot take aside as "<name>.corrupt-<yyyyMMdd-HHmmss>";
// the path of the kept file, or empty when it could not be moved.
QString moveAside(const QString &path, const QString &damage)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = path + QLatin1String(".corrupt-") + stamp;
    QString aside = base;
    for (int another = 1; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++another)
        aside = base + QLatin1Char('-') + QString::number(another);
    // Moved rather than copied: the store must not read what it read so far again, and an
    // unreadable file could not be copied anyway. A link is moved as the link it is.
    const bool kept = QFile::rename(path, aside);
    qWarning().noquote() << "AppSettings: the settings file" << path << damage
                         << (kept
                                 ? QStringLiteral("; kept as %1, starting from defaults").arg(aside)
                                 : QStringLiteral("; it could not be moved aside"));
    return kept ? aside : QString();
}

// Why the file at `path` is not one the store may open, judged without reading it: something
// other than a regular file (a link to /dev/zero, a named pipe, a folder, a link loop) or one
// too large. Empty when it is absent or may be opened.
QString unopenableReason(const QString &path)
{
    const QString kind = RegularFile::nonFileKind(path);
    if (!kind.isEmpty())
        return QStringLiteral("cannot be read: %1").arg(kind);
    const QFileInfo info(path);
    if (info.exists() && info.size() > largestSettingsFile)
        return QStringLiteral("cannot be read: it is %1, far more than a settings file holds")
            .arg(RegularFile::sizeText(info.size()));
    return {};
}

// The store's own files, the application's and the organisation's, as the settings reader
// names them, found without opening them: a store made for a name of no organisation reads
// nothing and tells the folder. The reader fixes the folder at its first use, and so does this.
QStringList userSettingsFiles()
{
    static const QString folder = [] {
        const QSettings probe(QSettings::IniFormat, QSettings::UserScope,
                              QStringLiteral(".kvn31xx-eval-settings-folder"));
        return QFileInfo(probe.fileName()).path() + QLatin1Char('/');
    }();
    return {folder + AppSettings::organisationName + QLatin1Char('/')
                + QCoreApplication::applicationName() + QLatin1String(".ini"),
            folder + AppSettings::organisationName + QLatin1String(".ini")};
}

// Runs before the settings reader opens the files: it opens whatever it finds there and reads a
// regular file whole, so a named pipe would block it for ever and a link to a device or a huge
// file would be read before anything could look at it. Only a look at each, no reading.
QSettings::Format checkedIniFormat()
{
    for (const QString &path : userSettingsFiles()) {
        const QString reason = unopenableReason(path);
        if (!reason.isEmpty())
            moveAside(path, reason);
    }
    return QSettings::IniFormat;
}

} // namespace

AppSettings::AppSettings()
    : QSettings(checkedIniFormat(), QSettings::UserScope, organisationName,
                QCoreApplication::applicationName())
{
    // Once per process: the first store decides, every later one sees what it left.
    static const bool checked = [this] {
        setAsideDamagedFile();
        return true;
    }();
    Q_UNUSED(checked);
}

QString AppSettings::setAsideDamagedFile()
{
    const QString path = fileName();
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return {};
    QString damage = unopenableReason(path);
    if (damage.isEmpty()) {
        const RegularFile::Content content = RegularFile::read(path, largestSettingsFile);
        if (!content.isRead() && content.missing)
            return {};
        if (!content.isRead()) {
            damage = QStringLiteral("cannot be read: %1").arg(content.problem);
        } else if (!SettingsFileCheck::isSafe(content.bytes)) {
            damage = QStringLiteral("holds values the program never writes");
        } else {
            // The store parses a group only when it is first used, so a format error deep in
            // the file shows only once every key was read.
            allKeys();
            if (status() == FormatError)
                damage = QStringLiteral("is damaged");
            else if (status() == AccessError)
                damage = QStringLiteral("cannot be read");
            else
                return {};
        }
    }
    const QString aside = moveAside(path, damage);
    // Forgets the file's content: it is no longer there.
    sync();
    return aside;
}

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
    beginGroup(mainWindowGroupKey);
    // Centred at the size the window opens with, not at the size it had before: a window centred
    // for one size and then given another would open off the middle. The origin of the screen is
    // deliberately not added: the centred position is the same on every screen layout.
    // A window cannot open smaller than its layout allows. A stored width or height below that
    // (0 x 0 from a damaged file) tells nothing of the user's choice: the default one is taken.
    const QSize least = window->minimumSizeHint();
    QSize size = storedSize(value(sizeKey + suffix, defaultWindowSize));
    if (size.width() < least.width())
        size.setWidth(defaultWindowSize.width());
    if (size.height() < least.height())
        size.setHeight(defaultWindowSize.height());
    size = size.expandedTo(least);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect();
    const QPoint centred((screenRect.width() - size.width()) / 2,
                         (screenRect.height() - size.height()) / 2);
    window->move(centred);

    bool stateRestored = false;
    if (QMainWindow *mainWindow = asMainWindow(window)) {
        // A state the window's reader could crash on is passed over like a missing one.
        const QByteArray state = value(windowStateKey).toByteArray();
        stateRestored = WindowStateCheck::isSafe(state, mainWindowStateVersion)
            && mainWindow->restoreState(state, mainWindowStateVersion);
    }
    // Placed by its client area, as it was saved: see saveWindow.
    window->setGeometry(QRect(storedPosition(value(positionKey + suffix, centred), centred), size));
    // A geometry stored on another screen layout, or one that counted no title bar, is pulled
    // onto the screen here and again when the window is shown and framed.
    ScreenFit::keepOnScreen(window);
    ScreenFit::keepOnScreenWhenShown(window);
    // A hidden window is not shown here: it opens maximised when its owner shows it. The debug
    // console reads "shown" as "switched on".
    if (value(maximizedKey + suffix, false).toBool()) {
        if (window->isVisible())
            window->showMaximized();
        else
            window->setWindowState(window->windowState() | Qt::WindowMaximized);
    }
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
        // The client area's position, as the dialogs' rectangles are. A window placed by its
        // frame is put there by the window manager, which tells the frame only after the window
        // is shown; until then the frame's position reads as the client area's, and fitting the
        // window onto the screen in between moved it by the frame's border at every start. A
        // window placed by its client area opens exactly there under any window manager.
        setValue(positionKey + suffix, window->geometry().topLeft());
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
    // The entries the file holds, not the count it states: a damaged "size" of two thousand
    // million would otherwise keep the start-up reading empty entries for minutes.
    const int count = beginReadArray(key);
    endArray();
    beginGroup(key);
    QList<int> indexes;
    const QStringList entries = childGroups();
    for (const QString &entry : entries) {
        bool isNumber = false;
        const int index = entry.toInt(&isNumber);
        if (isNumber && index >= 1 && index <= count)
            indexes.append(index);
    }
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (const int index : std::as_const(indexes)) {
        const QString entry = QString::number(index) + QLatin1Char('/');
        bool isNumber = false;
        const qint64 msecs = value(entry + messageTimeKey).toLongLong(&isNumber);
        if (!isNumber)
            continue;
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(msecs);
        history.insert(history.upperBound(time), time, value(entry + messageTextKey).toString());
    }
    endGroup();
    endGroup();
    while (history.size() > messageHistoryLimit)
        history.erase(history.begin());
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
