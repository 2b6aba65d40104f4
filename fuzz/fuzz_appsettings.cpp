#include "fuzzsupport.h"

#include "foundation/appsettings.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>

// The settings store's value decoding: the input is the settings file as the user's disk holds
// it; the program then restores its window, its option actions, a combo box text, the
// notification histories and its maps of maps from it.
namespace {

const QString historyKey = QStringLiteral("history");
const QString paraMapName = QStringLiteral("registers");

struct Window
{
    QMainWindow main;
    QMenu options {QStringLiteral("Options")};
    QComboBox box {&main};

    Window()
    {
        main.setObjectName(QStringLiteral("MainWindow"));
        auto *toolBar = main.addToolBar(QStringLiteral("Tools"));
        toolBar->setObjectName(QStringLiteral("ToolBar"));
        auto *dock = new QDockWidget(QStringLiteral("Console"), &main);
        dock->setObjectName(QStringLiteral("Dock"));
        main.addDockWidget(Qt::BottomDockWidgetArea, dock);
        options.setObjectName(QStringLiteral("menuOptions"));
        for (const char *name : {"actionExtra_Style", "actionAutostart", "actionShowTrace"}) {
            QAction *action = options.addAction(QString::fromLatin1(name));
            action->setObjectName(QString::fromLatin1(name));
            action->setCheckable(true);
        }
        box.setObjectName(QStringLiteral("CbPort"));
    }
};

QString settingsFile()
{
    return AppSettings().fileName();
}

QList<QByteArray> seeds()
{
    QList<QByteArray> made;
    const auto take = [&made] {
        QFile file(settingsFile());
        made.append(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
        QFile::remove(file.fileName());
    };
    {
        Window window;
        window.main.resize(640, 400);
        window.main.move(30, 40);
        window.options.actions().at(1)->setChecked(true);
        window.box.addItem(QStringLiteral("ttyACM0"));
        AppSettings settings;
        settings.saveWindow(&window.main);
        settings.saveWindow(&window.main, QStringLiteral("DebManager"));
        settings.saveActionStates(&window.options);
        settings.saveComboText(&window.box);
    }
    take();
    {
        AppSettings settings;
        MessageHistory history;
        for (const char *text : {"Connected", "Connected", "No board", "Firmware update"})
            settings.saveMessageMap(historyKey, history, QString::fromLatin1(text));
        settings.setValueMap({{QStringLiteral("actionExtra_Style"), true}},
                             QStringLiteral("style"));
        settings.setParaMapVariant(
            paraMapName,
            {{QStringLiteral("GCONF"),
              {{QStringLiteral("value"), 5}, {QStringLiteral("on"), true}}},
             {QStringLiteral("IHOLD"), {{QStringLiteral("value"), QStringLiteral("0x1f")}}}});
    }
    take();
    made.append("[Mainwindow]\nSize=@Size(100000 -5)\nPosition=@Point(-2147483648 2147483647)\n"
                "Maximized=maybe\nWindowState=@ByteArray(\\0\\0\\0\\xff\\0\\0\\0\\x4)\n");
    made.append("[MessageMap]\nhistory\\size=3\nhistory\\1\\time=notanumber\n"
                "history\\2\\time=-9223372036854775808\nhistory\\2\\text=@Variant(\\0\\0\\0\\x7f)\n"
                "history\\3\\time=253402300800000\nhistory\\3\\text=late\n");
    made.append("[VariantMap/registers]\nA=@Variant(\\0\\0\\0\\b\\0\\0\\0\\x1)\nB=text\n");
    made.append("not an ini file at all\n[unterminated\n=\n");
    return made;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::initialize(FuzzSupport::WidgetApplication, seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The settings store caches a file it has read and reads it again only when its size or
    // time stamp changed: two inputs of one size written within a millisecond would look
    // unchanged to it. So every input gets a time stamp of its own.
    static qint64 run = 0;
    const QString path = settingsFile();
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
        file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000 + ++run),
                         QFileDevice::FileModificationTime);
    }
    {
        Window window;
        AppSettings settings;
        // The program does this once per process; every input is such a first start.
        settings.setAsideDamagedFile();
        settings.restoreWindow(&window.main);
        settings.restoreWindow(&window.main, QStringLiteral("DebManager"));
        settings.restoreActionStates(&window.options);
        settings.restoreComboText(&window.box);
        settings.loadMessageMap(historyKey);
        settings.getParaMapVariant(paraMapName);
        settings.valueMap(QStringLiteral("style"));
        if (!settings.group().isEmpty())
            __builtin_trap(); // every restore ends the groups it began
    }
    QDir(QFileInfo(path).path()).removeRecursively();
    return 0;
}
