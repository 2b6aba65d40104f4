#include "foundation/mainappstyle.h"

#include "foundation/pixmaputilities.h"

#include <QAbstractSpinBox>
#include <QApplication>

// The application look's palette, the style sheet rules and the scroll-bar rules.

namespace {

// Four rules share it: the look of a disabled combo box, tool button, push button, frame or
// label. The text is the base colour, not the window colour: on the grey-blue pill the window
// colour reads at 3.2 to 1, too little for the values a label keeps showing while the board is
// gone; the base colour reads at 5.4 to 1 and still looks disabled beside white text.
#define KVN_DISABLED_BLOCK                                                                         \
    "{background: palette(highlighted-text); border-color: palette(shadow); "                      \
    "color: palette(base)}"

// Rules before the scroll bars, in the order they must appear: a later rule wins where two set
// the same property.
const char rulesBeforeScrollBars[] = R"(
QAbstractSpinBox:enabled {padding-left: 4px; border: 2px solid palette(window-text); background: palette(window);}
QAbstractSpinBox:disabled {background: palette(highlighted-text); border: 2px solid palette(shadow); color: palette(base);}
QAbstractSpinBox::up-button:disabled, QAbstractSpinBox::down-button:disabled {border-color: palette(shadow);}
QAbstractSpinBox::up-button {background: rgba( 70, 70, 70, 115); border-top-right-radius: 9px; subcontrol-origin: border; subcontrol-position: top right; width: 20px; border-style: solid; border-color: white; border-width: 2px 2px 1px 2px;}
QAbstractSpinBox::up-button:hover {background-color: rgba(255,255,255, 115);}
QAbstractSpinBox::up-button:pressed {background: rgba(255,255,255, 115); border-color: #000F24;}
QAbstractSpinBox::up-arrow {image: url(:/MainButtons1/Table Up); width: 8px; height: 8px;}
QAbstractSpinBox::up-arrow:disabled, QAbstractSpinBox::up-arrow:off {image: url(:);}
QAbstractSpinBox::down-button {background: rgba( 70, 70, 70, 115); border-bottom-right-radius: 9px; subcontrol-origin: border; subcontrol-position: bottom right; width: 20px; border-style: solid; border-color: white; border-width: 1px 2px 2px 2px;}
QAbstractSpinBox::down-button:pressed {background: rgba(255,255,255, 115); border-color: #000F24;}
QAbstractSpinBox::down-button:hover {background-color: rgba(255,255,255, 115);}
QAbstractSpinBox::down-arrow {image: url(:/MainButtons1/Table Down); width: 8px; height: 8px;}
QAbstractSpinBox::down-arrow:disabled, QAbstractSpinBox::down-arrow:off {image: url(:);}
QLineEdit {lineedit-password-character: 8226; border: 2px solid white; background: palette(base); padding: 1px 18px 1px 3px;}
/* The palette's highlight is the base colour the fields are filled with: a selection would not show. */
QLineEdit, QAbstractSpinBox {selection-background-color: #9AA9B6; selection-color: #002E6E;}
QComboBox {border: 2px solid white; background: transparent; padding: 1px 18px 1px 3px;}
QComboBox:editable {background: palette(base);}
QComboBox:!editable, QComboBox::drop-down:editable {background: rgba( 70, 70, 70, 115);}
QComboBox:!editable:on, QComboBox::drop-down:editable:on {background: rgba( 70, 70, 70, 115);}
QComboBox:on {padding-top: 3px; padding-left: 4px;}
QComboBox::drop-down {subcontrol-origin: border; subcontrol-position: bottom right; width: 20px; border-width: 2px;}
QComboBox::down-arrow {image: url(:/MainButtons1/Table Down); width: 8px; height: 8px;}
QComboBox::down-button:hover {background-color: rgba(255,255,255, 115);}
QComboBox::down-button:pressed {background-color: rgba(255,255,255, 115); border-color: #000F24;}
QComboBox::down-arrow:on {top: 1px; left: 1px;}
QComboBox::disabled )" KVN_DISABLED_BLOCK R"(
QComboBox::down-arrow:disabled {image: url(:);}
QComboBox QAbstractItemView {border: 2px solid white; selection-background-color: transparent;}
)";

const char rulesAfterScrollBars[] = R"(
QFrame {border: palette(window-text);}
QFrame:disabled {border-color: #003D91;}
QToolButton {margin: 0px; border: 2px solid transparent; border-radius: 9px;}
QToolButton:hover, QMenuBar::item:selected {border: 2px solid palette(window-text); background-color: rgba(255,255,255, 115);}
QToolButton:disabled )" KVN_DISABLED_BLOCK R"(
QToolButton:pressed {border: 2px solid #001C42; background-color: rgba(255,255,255, 115);}
QToolButton:checked {color: #c7d441;}
QPushButton {border: 2px solid; border-radius: 9px; font-style: normal; padding: 4px 6px 4px 6px;}
QPushButton:hover {background-color: rgba(255,255,255, 115);}
QPushButton:enabled {border-color: palette(window-text);}
QPushButton:disabled )" KVN_DISABLED_BLOCK R"(
QPushButton:checked {border-color: #c7d441; color: #c7d441;}
QPushButton:pressed {border-color: #001C42; background-color: rgba(255,255,255, 115);}
)";

// The disabled check box's caption stands between these: its colour is worked out from the palette.
const char rulesFromCheckBoxIndicators[] = R"(
QCheckBox:indicator {background: rgba(55,55,55,115); border-radius: 7px; padding: 1px; border: 2px solid palette(window-text); width: 14px; height: 14px;}
QCheckBox::indicator:disabled {border-color: #003D91;}
QCheckBox::indicator:checked {image: url(:/MainButtons1/Haekchen_normal);}
QCheckBox::indicator:checked:disabled {image: url(:/MainButtons1/Haekchen_disabled);}
QCheckBox::indicator:pressed {border: 2px solid #001C42; background-color: rgba(255,255,255, 115);}
QCheckBox::indicator:hover {background-color: rgba(255,255,255, 115);}
QCheckBox::indicator:indeterminate {image: url(:/MainButtons1/Haekchen_normal);}
QCheckBox::indicator:indeterminate:disabled {image: url(:/MainButtons1/Haekchen_disabled);}
QDialogButtonBox {dialogbuttonbox-buttons-have-icons: 1;}
QGroupBox {background-color: transparent; border: 2px solid palette(window-text); border-radius: 11px; margin-top: 6ex;}
QGroupBox::title {subcontrol-origin: margin; subcontrol-position: top left; padding: 0 7px;}
QGroupBox::indicator {width: 13px; height: 13px;}
QTabWidget::pane {border-top: 2px solid #9AA9B6;}
QTabWidget::tab-bar {left: 5px;}
QTabBar::tab {background: #003D91; border: 2px solid #AFB2B5; border-bottom-color: #9AA9B6; border-top-left-radius: 4px; border-top-right-radius: 4px; min-width: 8ex; padding: 2px 12px;}
QTabBar::tab:selected, QTabBar::tab:hover {padding-top: 4px; background-color: #001C42;}
QTabBar::tab:!selected {margin-top: 2px;}
QTabBar::tab:selected {border-color: palette(window-text); border-bottom-color: #9AA9B6; margin-left: -4px; margin-right: -4px;}
QTabBar::tab:selected {margin-left: -4px; margin-right: -4px;}
QTabBar::tab:first:selected {margin-left: 4px;}
QTabBar::tab:last:selected {margin-right: 0;}
QTabBar::tab:only-one {margin: 0;}
QToolBox::tab {background: red; border-radius: 5px; color: darkgray;}
QToolBox::tab:selected {font: italic;}
QToolBox::handle {image: url(qml/KVN-Logo);}
QProgressBar {border-radius: 4px; border: none; color: tomato; text-decoration: overline; font-size: 16px; text-align: right; padding-top: 1px; margin: 2px; padding-right: 5px; padding-bottom: 1px; padding-left: 5px;}
QProgressBar::chunk {border-radius: 5px; margin: 0px; background: qlineargradient(x1: 0.1, y1: 0.5, x2: 1, y2: 0.8, stop: 0.02 transparent, stop: 0.8 #9AA9B6);}
QSlider::handle:horizontal {background: #001C42; border-radius: 5px; image: url(:/Misc/KorvaneCur);}
QSlider::handle:horizontal:hover {padding: -4px;}
QSlider::handle:horizontal:pressed {padding: -2px;}
QSlider::add-page:horizontal {background: #001C42; margin: 5px;}
QSlider::sub-page:horizontal {background: #003D91; margin: 5px;}
QAbstractScrollArea {border-style: solid; padding: 4px; background-color: transparent;}
QTreeView {alternate-background-color: cornflowerblue;}
QTreeView::branch:has-siblings:adjoins-item {border-image: url(:);}
QTreeView::branch:has-siblings:!adjoins-item {border-image: url(:);}
QTreeView::branch:!has-children:!has-siblings:adjoins-item {border-image: url(:);}
QTreeView::branch:has-children:!has-siblings:closed, QTreeView::branch:closed:has-children:has-siblings {border-image: none; image: url(:/Misc/BranchClose);}
QTreeView::branch:open:has-children:!has-siblings, QTreeView::branch:open:has-children:has-siblings {border-image: none; image: url(:/Misc/BranchOpen);}
QHeaderView {border-style: none; padding: 0px; background: palette(base);}
QTableView {alternate-background-color: #3A5B78;}
QTableView QTableCornerButton::section {background: #3A5B78; border: 2px outset #15252F;}
QTableView {selection-background-color: transparent;}
QAbstractItemView::item:disabled {color: #C8D2DC; background: transparent;}
QLabel:enabled {color: palette(window-text);}
QLabel#WindowsTitle:active {color: palette(window-text);}
QLabel#WindowsTitle:!active {color: #9AA9B6;}
QFrame:disabled, QLabel:disabled )" KVN_DISABLED_BLOCK R"(
QLabel#Led {border-style: none; border-radius: 9px; min-width: 18px; min-height: 18px; max-width: 18px; max-height: 18px;}
QLabel#Led:enabled {background-color: qradialgradient(spread:pad, cx:0.5, cy:0.5, radius:0.5, fx:0.229, fy:0.204136, stop:0 rgba(255, 255, 255, 255), stop:0.152542 rgba(255, 255, 255, 255), stop:0.20904 rgba(255, 255, 255, 255), stop:1 rgba(255, 0, 0, 255));}
QLabel#Led:disabled {background-color: qradialgradient(spread:pad, cx:0.5, cy:0.5, radius:0.5, fx:0.229, fy:0.204136, stop:0 rgba(255, 255, 255, 255), stop:0.152542 rgba(255, 255, 255, 255), stop:0.20904 rgba(255, 255, 255, 255), stop:1 rgba(25, 20, 30, 255));}
QListView::item:alternate {background-color: palette(base);}
QListView::item:selected:!active {background-color: #001C42;}
QListView::item:selected:active {background-color: #9AA9B6; color: gold;}
QListView::item:hover {background-color: #9AA9B6;}
QDockWidget {border: 2px solid lime;}
QDockWidget::title {border: 1px solid palette(window); text-align: left; background: palette(base); padding-left: 5px; border-radius: 0px;}
QMainWindow::separator {background: palette(base); width: 4px; height: 4px;}
QMainWindow::separator:hover {background: #9AA9B6;}
QSplitter::handle {height: 9px; width: 9px; image: url(:/Misc/KorvaneCur);}
QSplitter::handle:hover {background: rgba(255,255,255, 115);}
QSplitter::handle:pressed {height: 1px; image: url(:/Misc/KorvaneCur); background: #9AA9B6;}
QSizeGrip {image: url(:/Misc/SizeGrip); width: 16px; height: 16px;}
QToolTip {border: 1px solid palette(window-text); padding: 5px; background: palette(base); color: palette(window-text);}
/* The palette's highlighted text, grey-blue on the base colour, made the entry under the mouse look greyed. */
QMenu {selection-color: palette(window-text);}
QMenuBar::item {border-radius: 7px; padding: 5px;}
QMenuBar::item:pressed {background: #888888;}
QToolBar, QStatusBar, QMenuBar {border-radius: 0px; background: palette(base); spacing: 14px; padding: 4px;}
QToolBar:bottom {border-bottom: 1px solid palette(window);}
QToolBar:top {border-top: 1px solid palette(window);}
QToolBar::handle {image: url(:/Misc/KorvaneCur);}
QTextEdit#MemoWavetable1, QTextEdit#MemoWavetable2 {border: 2px solid palette(window-text); border-radius: 9px; padding: 2px; background: palette(base);}
QAbstractScrollArea {border-style: none; padding: 0px;}
)";

#undef KVN_DISABLED_BLOCK

} // namespace

QPalette MainAppStyle::applicationPalette(const QPalette &base, const QColor &windowColor)
{
    struct RoleColor
    {
        QPalette::ColorRole role;
        QColor colour;
    };
    const RoleColor roles[] = {
        {QPalette::Window, windowColor},
        {QPalette::Mid, windowColor},
        {QPalette::WindowText, Qt::white},
        {QPalette::Text, Qt::white},
        {QPalette::ButtonText, Qt::white},
        {QPalette::ToolTipText, Qt::white},
        {QPalette::Base, QColor(0x00, 0x2E, 0x6E)},
        {QPalette::Highlight, QColor(0x00, 0x2E, 0x6E)},
        {QPalette::ToolTipBase, QColor(0x00, 0x2E, 0x6E)},
        {QPalette::Light, QColor(0x3A, 0x5B, 0x78)},
        {QPalette::Dark, QColor(0x9A, 0xA9, 0xB6)},
        {QPalette::HighlightedText, QColor(0x9A, 0xA9, 0xB6)},
        {QPalette::LinkVisited, QColor(0x9A, 0xA9, 0xB6)},
        {QPalette::Shadow, QColor(0x15, 0x25, 0x2F)},
        {QPalette::Link, Qt::cyan},
    };
    QPalette palette = base;
    for (const RoleColor &entry : roles)
        palette.setBrush(QPalette::All, entry.role, QBrush(entry.colour));
    // White in every group, a disabled menu entry or field looked like an enabled one. Greyed
    // texts take shades of the look's grey, no dimmer than a stale value (window text on the
    // window or the base colour, text on the base colour of fields) or a caption can still be
    // read. On a menu, which lies on the window colour, the grey of the text reads as a caption.
    const QColor grey(0x9A, 0xA9, 0xB6);
    const QColor field(0x00, 0x2E, 0x6E);
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     dimmedTextColour(grey, {windowColor, field}));
    palette.setColor(QPalette::Disabled, QPalette::Text, dimmedTextColour(grey, {field}));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText,
                     dimmedTextColour(grey, {windowColor, field}, disabledCaptionContrast));
    return palette;
}

void MainAppStyle::mainStyleSheet(const QString &sheet, const QColor &windowColor)
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QPalette palette = applicationPalette(QApplication::palette(), windowColor);
    QApplication::setPalette(palette);
    // A check box's caption tells what its tick, which stays on the screen while the board is
    // gone, stands for: greyed, it is read at the floor of the other stale texts, on the window
    // and on the base colour of the bars alike.
    const QString disabledCheckBox
        = QStringLiteral("QCheckBox::disabled {color: %1;}")
              .arg(palette.color(QPalette::Disabled, QPalette::WindowText).name());
    const QString rules = sheet + QLatin1String(rulesBeforeScrollBars)
        + scrollBarStyleSheet(palette, false) + QLatin1String(rulesAfterScrollBars)
        + disabledCheckBox + QLatin1String(rulesFromCheckBoxIndicators);
    qApp->setStyleSheet(rules);
}

QString MainAppStyle::scrollBarStyleSheet(const QPalette &palette, bool hideVerticalArrows)
{
    const QString groove = palette.color(QPalette::Base).name();
    const QString handle = palette.color(QPalette::WindowText).name();
    QString rules;
    rules += QLatin1String("QScrollBar:horizontal { background: ") + groove
        + QLatin1String("; border-radius: 9px; height: 18px; margin: 0px 15px 0 15px;}");
    rules += QLatin1String("QScrollBar::handle:horizontal {background: ") + handle
        + QLatin1String("; border-radius: 9px; min-width: 25px;}");
    rules += QLatin1String("QScrollBar::add-line:horizontal {background: none; width: 15px; "
                           "subcontrol-position: right; subcontrol-origin: margin;}");
    rules += QLatin1String("QScrollBar::sub-line:horizontal {background: none; width: 15px; "
                           "subcontrol-position: left; subcontrol-origin: margin;}");
    rules += QLatin1String("QScrollBar:left-arrow:horizontal{image: url(:/MainButtons1/Left); "
                           "width: 10px; height: 10px;}");
    rules += QLatin1String("QScrollBar:right-arrow:horizontal{background: none; image: "
                           "url(:/MainButtons1/Right); width: 10px; height: 10px;}");
    rules += QLatin1String("QScrollBar:vertical { background: ") + groove
        + QLatin1String("; border-radius: 9px; width: 18px; margin: 15px 0 15px 0px ;}");
    rules += QLatin1String("QScrollBar::handle:vertical { background: ") + handle
        + QLatin1String("; border-radius: 9px; min-height: 25px; }");
    rules += QLatin1String("QScrollBar::add-line:vertical {background: none; height: 15px; "
                           "subcontrol-position: bottom; subcontrol-origin: margin;}");
    rules += QLatin1String("QScrollBar::sub-line:vertical {background: none; height: 15px; "
                           "subcontrol-position: top; subcontrol-origin: margin;}");
    if (hideVerticalArrows) {
        rules += QLatin1String("QScrollBar:up-arrow:vertical  {width: 0px; height: 0px;}");
        rules += QLatin1String("QScrollBar:down-arrow:vertical  {width: 0px; height: 0px;}");
    } else {
        rules += QLatin1String("QScrollBar:up-arrow:vertical  {background: none; image: "
                               "url(:/MainButtons1/Up);   width: 10px; height: 10px;}");
        rules += QLatin1String("QScrollBar:down-arrow:vertical  {background: none; image: "
                               "url(:/MainButtons1/Down);   width: 10px; height: 10px;}");
    }
    rules += QLatin1String("QScrollBar::add-page, QScrollBar::sub-page {background: none;}");
    rules += QLatin1String("QScrollBar::handle:hover {border: none}");
    rules += QLatin1String("QScrollBar::handle, QScrollBar::handle:pressed {border: 2px solid")
        + groove + QLatin1String(";}");
    return rules;
}

void MainAppStyle::setWidgetDefaults(const QList<QWidget *> &widgets)
{
    for (QWidget *widget : widgets) {
        if (widget->statusTip().isEmpty()
            && !widget->toolTip().startsWith(QLatin1String("<table>"))) {
            widget->setStatusTip(widget->toolTip());
        }
        if (auto *spinBox = qobject_cast<QAbstractSpinBox *>(widget))
            spinBox->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
}
