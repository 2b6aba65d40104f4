#include "foundation/mainappstyle.h"

#include "foundation/appsettings.h"
#include "foundation/constants.h"
#include "foundation/pixmaputilities.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QRegularExpression>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

// The font-size bar, the fitting of the tool bars to the chosen size and the recolouring of grey
// icons.

namespace {

const QString barStyleSheet = QStringLiteral(
    "QFrame {border-radius: 0px; border: 1px solid palette(midlight); max-height: 25px;}"
    "QFrame:disabled {border-color: #003D91;}"
    "QToolButton {border-style: none; max-width: 15px; min-width: 15px; max-height: 15px; "
    "min-height: 15px;}");

const QString toolBarBaseStyleSheet = QStringLiteral(
    "QToolButton:checked {border-color: #c7d441;}"
    "QToolButton:pressed {border: 2px solid #001C42; background-color: rgba(255,255,255, "
    "115);}"
    "QToolButton:disabled {border-color: #003D91;}"
    "QToolButton:hover:!pressed {border-color: palette(text);}"
    "QToolButton#qt_toolbar_ext_button {border-width: 2px; max-height: 17px; max-width: "
    "17px; min-height: 17px; min-width: 17px;}");

// The size rule the last button run put at the end of the target's style sheet.
QString &lastSizeRule()
{
    static QString rule;
    return rule;
}

// The icon size of the first tool bar fitted with a size rule; every tool bar's icon size is
// this plus the font size, so repeated choices do not add up.
QSize &baseIconSize()
{
    static QSize size;
    return size;
}

QStringList iconTexts(const QToolBar *toolBar)
{
    QStringList texts;
    const QList<QAction *> actions = toolBar->actions();
    for (const QAction *action : actions)
        texts += action->iconText().split(QLatin1Char('\n'));
    return texts;
}

void nameToolBarButtons(QToolBar *toolBar)
{
    const QList<QAbstractButton *> buttons = toolBar->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        const bool hasIcon = !button->icon().isNull();
        if (button->objectName().isEmpty() && !hasIcon)
            button->setObjectName(QStringLiteral("noIconBtn"));
        else if (hasIcon && !button->objectName().contains(QLatin1String("qt_")))
            button->setObjectName(QStringLiteral("iconBtn"));
    }
}

QString toolBarSizeRules(const QToolBar *toolBar, const QFontMetrics &metrics,
                         const QStringList &texts)
{
    int widest = 0;
    for (const QString &text : texts)
        widest = qMax(widest, metrics.horizontalAdvance(text));
    const QSize icon = toolBar->iconSize();
    if (!toolBar->isMovable() && !toolBar->isFloatable()) {
        return QStringLiteral("QToolButton{min-height: %1px;min-width: %2px}")
            .arg(3 * metrics.height())
            .arg(widest + 9);
    }
    if (toolBar->orientation() == Qt::Vertical) {
        return QStringLiteral("QToolButton#noIconBtn{min-height: %1px;}").arg(metrics.height() + 8)
            + QStringLiteral("QToolButton{min-height: %1px; min-width: %2px}")
                  .arg(icon.height() + 5)
                  .arg(qMax(icon.width() + 5, widest) + 10);
    }
    return QStringLiteral("QToolButton{min-height: %1px}").arg(icon.height() + 5)
        + QStringLiteral("QToolButton#iconBtn{min-height: %1px; min-width: %2px}")
              .arg(icon.height() + 5)
              .arg(icon.height() + 5);
}

// Tints a grey icon, and its disabled form in `disabledColour`; a coloured one is left as it
// was, with all its modes and sizes. Left to the style, the disabled form of a black icon was a
// dark grey that looked as live as the black one.
bool tintedIcon(const QIcon &icon, int size, const QColor &colour, const QColor &disabledColour,
                QIcon &result)
{
    if (icon.isNull())
        return false;
    QPixmap pixmap = icon.pixmap(QSize(size, size), QIcon::Normal, QIcon::On);
    const qint64 before = pixmap.cacheKey();
    tintPixmap(pixmap, colour, true);
    if (pixmap.cacheKey() == before)
        return false;
    result = QIcon(pixmap);
    tintPixmap(pixmap, disabledColour, false);
    result.addPixmap(pixmap, QIcon::Disabled, QIcon::Off);
    result.addPixmap(pixmap, QIcon::Disabled, QIcon::On);
    return true;
}

// The chevron of a tool bar whose buttons do not all fit is drawn by the style in a dark grey
// that is not quite grey, so the tint for grey icons passes it by; on the application look's dark
// blue it could not be seen, and it is the only way back to the buttons it hides. The style sets
// it again whenever the tool bar's look changes, and every such change ends in updateIconColor.
void tintToolBarChevron(QAbstractButton *button, const QColor &colour)
{
    const auto *toolBar = qobject_cast<const QToolBar *>(button->parentWidget());
    if (!toolBar || button->objectName() != QLatin1String("qt_toolbar_ext_button"))
        return;
    const QStyle::StandardPixmap chevron = toolBar->orientation() == Qt::Horizontal
        ? QStyle::SP_ToolBarHorizontalExtensionButton
        : QStyle::SP_ToolBarVerticalExtensionButton;
    const QIcon standard = toolBar->style()->standardIcon(chevron, nullptr, toolBar);
    if (standard.isNull())
        return;
    QPixmap pixmap = standard.pixmap(button->iconSize().expandedTo(QSize(16, 16)));
    tintPixmap(pixmap, colour, false);
    button->setIcon(QIcon(pixmap));
}

// A size chosen from the part of a tool bar that did not fit (the chevron unfolds it): the choice
// is made, so the tool bar folds back before it is fitted to the new size. Left unfolded, it
// folds only when the mouse leaves it; if everything fits at the new size its place does not
// change then, so it does not lay itself out again, and the chevron stays over the bar's first
// button. It folds without the window's animation: while it moves a tool bar does not lay itself
// out, and when the move ends it lays out only an unfolded bar.
void foldBack(QToolBar *toolBar)
{
    auto *chevron = toolBar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"),
                                                      Qt::FindDirectChildrenOnly);
    if (!chevron || !chevron->isChecked())
        return;
    auto *window = qobject_cast<QMainWindow *>(toolBar->parentWidget());
    const bool animated = window && window->isAnimated();
    if (animated)
        window->setAnimated(false);
    chevron->click();
    if (animated)
        window->setAnimated(true);
    if (QLayout *layout = toolBar->layout())
        layout->invalidate();
}

} // namespace

const QStringList MainAppStyle::sizeRules = {
    QStringLiteral("QWidget {font-size: 8px}"),
    QStringLiteral("QWidget {font-size: 12px}"),
    QStringLiteral("QWidget {font-size: 16px}"),
    QStringLiteral("QWidget {font-size: 20px}"),
};

const QString MainAppStyle::sizeButtonKey = QStringLiteral("SizeButtonNr");

QFrame *MainAppStyle::createFontSizeBar(QWidget *parent)
{
    auto *frame = new QFrame(parent);
    frame->setStyleSheet(barStyleSheet);
    auto *layout = new QHBoxLayout;
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    // Owned here rather than left without a parent: nothing may click into a style object that
    // is gone.
    delete sizeButtons;
    sizeButtons = new QButtonGroup(this);
    sizeButtons->setExclusive(true);
    for (int id = 0; id < sizeRules.size(); ++id) {
        auto *button = new QToolButton(frame);
        button->setStyleSheet(sizeRules.at(id));
        button->setText(QStringLiteral("A"));
        button->setCheckable(true);
        button->setObjectName(QStringLiteral("sizeBtn"));
        connect(button, &QToolButton::clicked, this, &MainAppStyle::setFontSizeStyle);
        sizeButtons->addButton(button, id);
        layout->addWidget(button, 0);
    }
    frame->setLayout(layout);

    const int stored
        = AppSettings()
              .value(mainWindowGroupKey + QLatin1Char('/') + sizeButtonKey, defaultSizeButton)
              .toInt();
    sizeButtons->button(qBound(0, stored, int(sizeRules.size()) - 1))->click();
    setObjectName(QStringLiteral("setFontSize"));
    return frame;
}

void MainAppStyle::setFontSizeStyle()
{
    if (!target)
        target = this;
    QString sizeRule;
    if (const auto *button = qobject_cast<const QWidget *>(sender())) {
        sizeRule = button->styleSheet();
        QString &last = lastSizeRule();
        if (last.isNull())
            last = sizeRule;
        QString sheet = target->styleSheet();
        if (!last.isEmpty())
            sheet.remove(last, Qt::CaseSensitive);
        target->setStyleSheet(sheet + sizeRule);
        last = sizeRule;
    }

    static const QRegularExpression firstNumber(QStringLiteral("(\\d+)"));
    const QRegularExpressionMatch sizeMatch = firstNumber.match(sizeRule);
    const int fontSize = sizeMatch.hasMatch() ? sizeMatch.captured(0).toInt() : 0;
    // The style object sits below the target, so its font follows the size just chosen.
    ensurePolished();
    const QFontMetrics metrics = fontMetrics();

    const QList<QToolBar *> toolBars = target->findChildren<QToolBar *>();
    for (QToolBar *toolBar : toolBars) {
        if (!sizeRule.isEmpty())
            foldBack(toolBar);
        toolBar->setStyleSheet(toolBarBaseStyleSheet);
        const QStringList texts = iconTexts(toolBar);
        if (!sizeRule.isEmpty()) {
            QSize &base = baseIconSize();
            if (!base.isValid())
                base = toolBar->iconSize();
            toolBar->setIconSize(base + QSize(fontSize, fontSize));
        }
        nameToolBarButtons(toolBar);
        toolBar->setStyleSheet(toolBar->styleSheet() + toolBarSizeRules(toolBar, metrics, texts));
    }

    if (sizeButtons) {
        AppSettings().setValue(mainWindowGroupKey + QLatin1Char('/') + sizeButtonKey,
                               sizeButtons->checkedId());
    }
    updateIconColor(target);
    if (!sizeRule.isEmpty())
        Q_EMIT fontSizeChanged(sizeRule);
}

void MainAppStyle::updateIconColor(QWidget *w)
{
    const QColor colour = QApplication::palette().color(QPalette::Text);
    const QColor disabled = disabledIconInk().isValid()
        ? disabledIconInk()
        : QApplication::palette().color(QPalette::Disabled, QPalette::ButtonText);
    QIcon icon;
    const QList<QAbstractButton *> buttons = w->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        tintToolBarChevron(button, colour);
        if (tintedIcon(button->icon(), 200, colour, disabled, icon))
            button->setIcon(icon);
    }
    const QList<QAction *> actions = w->findChildren<QAction *>();
    for (QAction *action : actions) {
        if (tintedIcon(action->icon(), 200, colour, disabled, icon))
            action->setIcon(icon);
    }
    const QList<QLabel *> labels = w->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        QPixmap pixmap = label->pixmap();
        if (pixmap.isNull())
            continue;
        const qint64 before = pixmap.cacheKey();
        tintPixmap(pixmap, colour, true);
        if (pixmap.cacheKey() != before)
            label->setPixmap(pixmap);
    }
    // Only the top-level entries of a tree carry status icons; their children keep theirs.
    const QList<QTreeWidget *> trees = w->findChildren<QTreeWidget *>();
    for (QTreeWidget *tree : trees) {
        for (int row = 0; row < tree->topLevelItemCount(); ++row) {
            QTreeWidgetItem *item = tree->topLevelItem(row);
            if (tintedIcon(item->icon(0), 20, colour, disabled, icon))
                item->setIcon(0, icon);
        }
    }
    const QList<QTabWidget *> tabWidgets = w->findChildren<QTabWidget *>();
    for (QTabWidget *tabs : tabWidgets) {
        for (int index = 0; index < tabs->count(); ++index) {
            if (tintedIcon(tabs->tabIcon(index), 20, colour, disabled, icon))
                tabs->setTabIcon(index, icon);
        }
    }
}
