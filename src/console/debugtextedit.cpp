#include "console/debugtextedit.h"

#include "console/debugfilters.h"
#include "console/debugmessage.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

namespace {

struct TypeLabel
{
    int type;
    const char *label;
};

// The labels of the window title; they differ from the handler's line labels.
constexpr TypeLabel titleLabels[] = {
    {DebugMessageDebug, "   Debug "},    {DebugMessageWarning, " Warning "},
    {DebugMessageCritical, "Critical "}, {DebugMessageFatal, "   Fatal "},
    {DebugMessageMessage, " Message "},  {DebugMessageLowPriority, " low Msg "},
};

} // namespace

DebugTextEdit::DebugTextEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setMaximumBlockCount(maximumLines);
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
}

QString DebugTextEdit::blockedTypesTitle()
{
    QString title = QStringLiteral("Filter: ");
    for (int type : DebugFilters::blockedTypes()) {
        for (const TypeLabel &entry : titleLabels) {
            if (entry.type == type)
                title += QLatin1String(entry.label);
        }
    }
    return title;
}

void DebugTextEdit::filterDialog(bool remove)
{
    QComboBox *box = DebugFilters::passFilter();
    if (!box)
        return;
    if (remove)
        box->removeItem(box->currentIndex());
    box->setVisible(remove || box->isHidden());
}

void DebugTextEdit::searchDialog(const QString &text, bool backward)
{
    if (!text.isEmpty()) {
        find(rememberedSearch, QTextDocument::FindBackward);
        // A forward search starts behind the selection: start it where the last match began,
        // so that the growing text is matched at the same place.
        QTextCursor cursor = textCursor();
        cursor.setPosition(cursor.selectionStart());
        setTextCursor(cursor);
    }
    const QString wanted = searchEdit ? searchEdit->text() : QString();
    const bool found
        = find(wanted, backward ? QTextDocument::FindBackward : QTextDocument::FindFlags());
    if (!text.isEmpty()) {
        if (found)
            rememberedSearch = text;
        else
            find(rememberedSearch);
    }
}

void DebugTextEdit::keyPressEvent(QKeyEvent *event)
{
    // Without Ctrl nothing happens at all: the console has no keyboard navigation of its own.
    if (!(event->modifiers() & Qt::ControlModifier))
        return;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_0:
        DebugFilters::toggleBlocked(DebugMessageDebug);
        break;
    case Qt::Key_9:
        DebugFilters::toggleBlocked(DebugMessageMessage);
        break;
    case Qt::Key_8:
        DebugFilters::toggleBlocked(DebugMessageLowPriority);
        break;
    case Qt::Key_A:
    case Qt::Key_P:
        paused = !paused;
        break;
    case Qt::Key_E:
        clear();
        break;
    case Qt::Key_F:
        filterDialog(shift);
        break;
    case Qt::Key_S:
        searchDialog(QString(), shift);
        break;
    default:
        break;
    }
    window()->setWindowTitle(blockedTypesTitle());
    QPlainTextEdit::keyPressEvent(event);
}

void DebugTextEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    const QFont font = QApplication::font();
    menu->setStyleSheet(QStringLiteral("background-color: palette(base); color: palette(text); "
                                       "font-family: %1;font-size: %2pt;")
                            .arg(font.family())
                            .arg(font.pointSize()));
    menu->addSeparator();
    connect(menu->addAction(tr("&Search\tCtrl+S")), &QAction::triggered, this,
            qOverload<>(&DebugTextEdit::searchDialog));
    connect(menu->addAction(tr("&Erase\tCtrl+E")), &QAction::triggered, this,
            &DebugTextEdit::clear);
    menu->addAction(tr("&Pause\tCtrl+P"));
    menu->addSeparator();
    // Kept as it has always read, typos included.
    menu->addAction(QStringLiteral("Filtering: Ctrl+F -> toggle list; SHIFT remove item | "
                                   "Crtl+0: toggle qDebug | Crtl+9/8 toggle Message"));
    const QAction *chosen = menu->exec(event->globalPos());
    if (chosen && chosen->text().contains(QLatin1String("Pause")))
        paused = !paused;
    delete menu;
}
