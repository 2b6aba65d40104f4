#include "dialogs/registermap.h"
#include "dialogs/registers.h"
#include "foundation/appsettings.h"
#include "foundation/constants.h"
#include "foundation/mainappstyle.h"
#include "foundation/pixmaputilities.h"
#include "views/loadadapt.h"

#include "support/testenvironment.h"
#include "support/textcontrast.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Qt::gray (#a0a0a4) is not grey in the sense of QImage::allGray.
const QColor midGrey(150, 150, 150);

const QString offExtraSheet = QStringLiteral("QToolBar::handle {image: url(:/Misc/KorvaneInv)}");

// A ring drawn in the given colour on transparency: its alpha carries the shape.
QPixmap ringPixmap(const QColor &colour, int size = 32)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 4));
    painter.drawEllipse(QRectF(4, 4, size - 8, size - 8));
    return pixmap;
}

// Every visible pixel has the colour, whatever its alpha.
bool onlyColour(const QImage &image, const QColor &colour)
{
    const QImage plain = image.convertToFormat(QImage::Format_ARGB32);
    int visible = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            const QColor pixel = plain.pixelColor(x, y);
            if (pixel.alpha() < 64)
                continue;
            ++visible;
            if (qAbs(pixel.red() - colour.red()) > 3 || qAbs(pixel.green() - colour.green()) > 3
                || qAbs(pixel.blue() - colour.blue()) > 3)
                return false;
        }
    }
    return visible > 0;
}

QImage iconImage(const QIcon &icon, int size)
{
    return icon.pixmap(size, size).toImage();
}

// An owner that counts the style object's signals while it is alive: after its destructor has
// run it must hear nothing more.
class Owner : public QMainWindow
{
public:
    static int signalsAfterDestruction;
    bool alive = true;
    ~Owner() override { alive = false; }
    void heard()
    {
        if (!alive)
            ++signalsAfterDestruction;
    }
};
int Owner::signalsAfterDestruction = 0;

} // namespace

class TestMainAppStyle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void firstCallOffKeepsThePlatformLook();
    void fontsRegisterUnderTheirFamiliesAndStyles_data();
    void fontsRegisterUnderTheirFamiliesAndStyles();
    void embeddedFontBecomesTheApplicationFont();
    void lookOnAndOffRestoresPaletteStyleAndSheet();
    void textColorChangedOnlyOnChange();
    void destructorRestoresTheLookFoundAtConstruction();
    void ownerDestroyedFirstHearsNothing();
    void scrollBarRulesFollowThePalette();
    void widgetDefaultsCopyTipsAndAlignSpinBoxes();

    void fontSizeBarFirstStart();
    void fontSizeRuleStandsOnceAtTheEnd();
    void storedChoiceIsClamped_data();
    void storedChoiceIsClamped();
    void directCallRefitsWithoutChangingSize();
    void fixedToolBarWithoutTextsGetsMinimumWidth();
    void applyStyleClicksTheSizeButtonAgain();
    void onlyGreyIconsAreRecoloured();
    void contrastIsMeasuredAsTheGuidelinesDo_data();
    void contrastIsMeasuredAsTheGuidelinesDo();
    void everyLookCanBeRead_data();
    void everyLookCanBeRead();

private:
    QPalette platformPalette;
};

void TestMainAppStyle::initTestCase()
{
    isolateTestEnvironment();
    // A platform look whose text is black, under another style than the application look's.
    QApplication::setStyle(QStringLiteral("Windows"));
    platformPalette = QApplication::style()->standardPalette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        platformPalette.setColor(group, QPalette::Text, Qt::black);
    // Greyed as the program greys the platform's palette at its start.
    QApplication::setPalette(withReadableDisabledTexts(platformPalette));
    platformPalette = QApplication::palette();
}

void TestMainAppStyle::init()
{
    AppSettings settings;
    settings.clear();
    settings.sync();
}

// Must stay the first test: the first applyStyle takes the look it finds as the platform look.
void TestMainAppStyle::firstCallOffKeepsThePlatformLook()
{
    QWidget window;
    MainAppStyle style(&window);
    QSignalSpy colours(&style, &MainAppStyle::textColorChanged);
    style.applyStyle(false, offExtraSheet);
    QCOMPARE(MainAppStyle::currentStyleName(), QStringLiteral("windows"));
    QCOMPARE(QApplication::palette(), platformPalette);
    QCOMPARE(qApp->styleSheet(), offExtraSheet);
    QCOMPARE(window.styleSheet(),
             QStringLiteral("QWidget{font: normal normal 12px 'RizidiRidavaz'}"));
    QCOMPARE(colours.size(), 0);
}

void TestMainAppStyle::fontsRegisterUnderTheirFamiliesAndStyles_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<int>("weight");
    QTest::newRow("regular") << QStringLiteral(":/Fonts/KorvaneFont")
                             << QStringLiteral("RizidiRidavaz") << false << 400;
    QTest::newRow("italic") << QStringLiteral(":/Fonts/KorvaneFontItalic")
                            << QStringLiteral("RizidiRidavaz") << true << 400;
    QTest::newRow("bold") << QStringLiteral(":/Fonts/KorvaneFontBold")
                          << QStringLiteral("VezizoDirado") << false << 700;
    QTest::newRow("bold italic") << QStringLiteral(":/Fonts/KorvaneFontItalicBold")
                                 << QStringLiteral("RizidiRidavaz") << true << 700;
}

void TestMainAppStyle::fontsRegisterUnderTheirFamiliesAndStyles()
{
    QFETCH(QString, resource);
    QFETCH(QString, family);
    QFETCH(bool, italic);
    QFETCH(int, weight);
    QFontDatabase::removeAllApplicationFonts();
    const int id = QFontDatabase::addApplicationFont(resource);
    QVERIFY2(id >= 0, qPrintable(resource));
    QCOMPARE(QFontDatabase::applicationFontFamilies(id), QStringList {family});

    QFont font(family);
    font.setItalic(italic);
    font.setWeight(QFont::Weight(weight));
    const QFontInfo info(font);
    QCOMPARE(info.family(), family);
    QCOMPARE(info.italic(), italic);
    QCOMPARE(int(info.weight()), weight);
    QCOMPARE(info.style() == QFont::StyleItalic, italic);
    QFontDatabase::removeAllApplicationFonts();
}

void TestMainAppStyle::embeddedFontBecomesTheApplicationFont()
{
    const QFont before = QApplication::font();
    MainAppStyle::installKorvaneFont(true, true);
    QFont font = QApplication::font();
    QCOMPARE(font.family(), QStringLiteral("RizidiRidavaz"));
    QCOMPARE(font.pointSizeF(), 9.0);
    QVERIFY(font.italic());
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("RizidiRidavaz"));
    QVERIFY(QFontDatabase::families().contains(QStringLiteral("VezizoDirado")));

    MainAppStyle::installKorvaneFont(false, false);
    font = QApplication::font();
    QCOMPARE(font.pointSizeF(), 8.0);
    QCOMPARE(font.family(), before.family());
    QApplication::setFont(before);
}

void TestMainAppStyle::lookOnAndOffRestoresPaletteStyleAndSheet()
{
    QWidget window;
    MainAppStyle style(&window);
    style.applyStyle(true, QStringLiteral("QLabel#extra {color: red}"));
    QCOMPARE(MainAppStyle::currentStyleName(), QStringLiteral("fusion"));
    const QPalette look = QApplication::palette();
    QCOMPARE(look.color(QPalette::Window), QColor(QStringLiteral("#004DB9")));
    QCOMPARE(look.color(QPalette::Disabled, QPalette::Mid), QColor(QStringLiteral("#004DB9")));
    QCOMPARE(look.color(QPalette::Inactive, QPalette::Base), QColor(QStringLiteral("#002E6E")));
    QCOMPARE(look.color(QPalette::Text), QColor(Qt::white));
    QCOMPARE(look.color(QPalette::Shadow), QColor(QStringLiteral("#15252F")));
    QCOMPARE(look.color(QPalette::Link), QColor(Qt::cyan));
    QVERIFY(qApp->styleSheet().startsWith(QStringLiteral("QLabel#extra {color: red}")));
    QVERIFY(qApp->styleSheet().contains(
        QStringLiteral("QScrollBar:horizontal { background: #002e6e;")));
    QVERIFY(qApp->styleSheet().trimmed().endsWith(
        QStringLiteral("QAbstractScrollArea {border-style: none; padding: 0px;}")));
    QVERIFY(window.styleSheet().contains(QStringLiteral("'VezizoDirado'")));

    style.applyStyle(false, offExtraSheet);
    QCOMPARE(MainAppStyle::currentStyleName(), QStringLiteral("windows"));
    QCOMPARE(QApplication::palette(), platformPalette);
    QCOMPARE(qApp->styleSheet(), offExtraSheet);
}

void TestMainAppStyle::textColorChangedOnlyOnChange()
{
    QWidget window;
    MainAppStyle style(&window);
    QSignalSpy colours(&style, &MainAppStyle::textColorChanged);
    style.applyStyle(true, QString());
    QCOMPARE(colours.size(), 1);
    QCOMPARE(colours.at(0).at(0).value<QColor>(), QColor(Qt::white));
    QCOMPARE(colours.at(0).at(1).value<QColor>(), QColor(Qt::black));
    style.applyStyle(true, QString());
    QCOMPARE(colours.size(), 1);
    style.applyStyle(false, offExtraSheet);
    QCOMPARE(colours.size(), 2);
    QCOMPARE(colours.at(1).at(0).value<QColor>(), QColor(Qt::black));
    QCOMPARE(colours.at(1).at(1).value<QColor>(), QColor(Qt::white));
    style.applyStyle(false, offExtraSheet);
    QCOMPARE(colours.size(), 2);
}

void TestMainAppStyle::destructorRestoresTheLookFoundAtConstruction()
{
    qApp->setStyleSheet(QStringLiteral("QLabel {margin: 1px}"));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(11);
    QApplication::setFont(font);
    const QFont savedFont = QApplication::font();

    QWidget window;
    auto *style = new MainAppStyle(&window);
    style->applyStyle(true, QString());
    QStringList seenAtEnd;
    connect(style, &MainAppStyle::fontSizeChanged, &window, [&seenAtEnd](const QString &rule) {
        // Emitted after the look is back.
        seenAtEnd << rule << qApp->styleSheet() << MainAppStyle::currentStyleName();
    });
    delete style;
    QCOMPARE(seenAtEnd,
             (QStringList {QStringLiteral("Style end"), QStringLiteral("QLabel {margin: 1px}"),
                           QStringLiteral("windows")}));
    QCOMPARE(QApplication::palette(), platformPalette);
    QCOMPARE(QApplication::font(), savedFont);
    QVERIFY(!QFontDatabase::families().contains(QStringLiteral("VezizoDirado")));
    qApp->setStyleSheet(QString());
}

void TestMainAppStyle::ownerDestroyedFirstHearsNothing()
{
    Owner::signalsAfterDestruction = 0;
    qApp->setStyleSheet(QString());
    auto *owner = new Owner;
    auto *style = new MainAppStyle(owner);
    connect(style, &MainAppStyle::fontSizeChanged, owner, [owner] { owner->heard(); });
    connect(style, &MainAppStyle::textColorChanged, owner, [owner] { owner->heard(); });
    style->applyStyle(true, QString());
    QVERIFY(QApplication::palette() != platformPalette);
    delete owner;
    QCOMPARE(Owner::signalsAfterDestruction, 0);
    // The application's look is still put back.
    QCOMPARE(QApplication::palette(), platformPalette);
    QCOMPARE(qApp->styleSheet(), QString());
}

void TestMainAppStyle::scrollBarRulesFollowThePalette()
{
    const QPalette look = MainAppStyle::applicationPalette(platformPalette, QColor("#004DB9"));
    const QString shown = MainAppStyle::scrollBarStyleSheet(look, false);
    QVERIFY(shown.contains(QStringLiteral("url(:/MainButtons1/Up)")));
    QVERIFY(shown.contains(QStringLiteral("QScrollBar::handle:vertical { background: #ffffff;")));
    QVERIFY(
        shown.endsWith(QStringLiteral("QScrollBar::handle, QScrollBar::handle:pressed {border: 2px "
                                      "solid#002e6e;}")));

    const QString hidden = MainAppStyle::scrollBarStyleSheet(look, true);
    QVERIFY(hidden.contains(
        QStringLiteral("QScrollBar:up-arrow:vertical  {width: 0px; height: 0px;}")));
    QVERIFY(hidden.contains(
        QStringLiteral("QScrollBar:down-arrow:vertical  {width: 0px; height: 0px;}")));
    QVERIFY(!hidden.contains(QStringLiteral("MainButtons1/Up")));
    QVERIFY(hidden.contains(QStringLiteral("url(:/MainButtons1/Left)")));
    QVERIFY(hidden.contains(QStringLiteral("url(:/MainButtons1/Right)")));
}

void TestMainAppStyle::widgetDefaultsCopyTipsAndAlignSpinBoxes()
{
    QLabel tipped, kept, table;
    tipped.setToolTip(QStringLiteral("tip"));
    kept.setToolTip(QStringLiteral("tip"));
    kept.setStatusTip(QStringLiteral("own"));
    table.setToolTip(QStringLiteral("<table><tr><td>x</td></tr></table>"));
    QSpinBox spin;
    spin.setStatusTip(QStringLiteral("set"));
    MainAppStyle::setWidgetDefaults({&tipped, &kept, &table, &spin});
    QCOMPARE(tipped.statusTip(), QStringLiteral("tip"));
    QCOMPARE(kept.statusTip(), QStringLiteral("own"));
    QCOMPARE(table.statusTip(), QString());
    QCOMPARE(spin.alignment(), Qt::AlignRight | Qt::AlignVCenter);
}

namespace {

struct StyledWindow
{
    QMainWindow window;
    QToolBar *first;
    QToolBar *second;
    MainAppStyle *style;
    QSize firstIconSize;

    StyledWindow()
    {
        first = window.addToolBar(QStringLiteral("main"));
        first->setObjectName(QStringLiteral("mainToolBar"));
        first->addAction(QIcon(ringPixmap(midGrey)), QStringLiteral("Connect"));
        first->addAction(QStringLiteral("Registers"));
        second = window.addToolBar(QStringLiteral("motion"));
        second->setObjectName(QStringLiteral("motionToolBar"));
        second->setIconSize(QSize(40, 40));
        second->addAction(QIcon(ringPixmap(midGrey)), QStringLiteral("Stop"));
        firstIconSize = first->iconSize();
        style = new MainAppStyle(&window);
    }
};

QSize expectedIconSize(const QSize &base, int fontSize)
{
    return base + QSize(fontSize, fontSize);
}

} // namespace

// The tool bars' base icon size is taken once per process, from the first tool bar of the
// first run: this test runs before the other bar tests.
void TestMainAppStyle::fontSizeBarFirstStart()
{
    StyledWindow styled;
    QSignalSpy sizes(styled.style, &MainAppStyle::fontSizeChanged);
    QFrame *bar = styled.style->createFontSizeBar(styled.first);
    QCOMPARE(bar->parentWidget(), styled.first);
    QCOMPARE(styled.style->objectName(), QStringLiteral("setFontSize"));
    QCOMPARE(styled.style->fontSizeButtons()->checkedId(), 1);
    QCOMPARE(bar->findChildren<QToolButton *>(QStringLiteral("sizeBtn")).size(), 4);
    QVERIFY(styled.window.styleSheet().endsWith(QStringLiteral("QWidget {font-size: 12px}")));
    QCOMPARE(styled.first->iconSize(), expectedIconSize(styled.firstIconSize, 12));
    QCOMPARE(styled.second->iconSize(), expectedIconSize(styled.firstIconSize, 12));
    QCOMPARE(AppSettings().value(QStringLiteral("Mainwindow/SizeButtonNr")).toInt(), 1);
    QCOMPARE(sizes.size(), 1);
    QCOMPARE(sizes.at(0).at(0).toString(), QStringLiteral("QWidget {font-size: 12px}"));
    QVERIFY(styled.first->styleSheet().contains(QStringLiteral("QToolButton#iconBtn{min-height")));
}

void TestMainAppStyle::fontSizeRuleStandsOnceAtTheEnd()
{
    StyledWindow styled;
    styled.window.setStyleSheet(QStringLiteral("QLabel {color: red}"));
    styled.style->createFontSizeBar(styled.first);
    const QSize base = styled.first->iconSize() - QSize(12, 12);
    styled.style->fontSizeButtons()->button(3)->click();
    styled.style->fontSizeButtons()->button(0)->click();
    const QString sheet = styled.window.styleSheet();
    QCOMPARE(sheet, QStringLiteral("QLabel {color: red}QWidget {font-size: 8px}"));
    QCOMPARE(styled.first->iconSize(), expectedIconSize(base, 8));
    QCOMPARE(styled.second->iconSize(), expectedIconSize(base, 8));
    QCOMPARE(AppSettings().value(QStringLiteral("Mainwindow/SizeButtonNr")).toInt(), 0);
    // The tool bars' own rules do not pile up either.
    QCOMPARE(styled.first->styleSheet().count(QStringLiteral("QToolButton{min-height")), 1);
}

void TestMainAppStyle::storedChoiceIsClamped_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("checked");
    QTest::newRow("7 gives the 20 px button") << QVariant(7) << 3;
    QTest::newRow("-3 gives the 8 px button") << QVariant(-3) << 0;
    QTest::newRow("text reads as 0") << QVariant(QStringLiteral("large")) << 0;
    QTest::newRow("2 stays 2") << QVariant(2) << 2;
}

void TestMainAppStyle::storedChoiceIsClamped()
{
    QFETCH(QVariant, stored);
    QFETCH(int, checked);
    AppSettings().setValue(QStringLiteral("Mainwindow/SizeButtonNr"), stored);
    StyledWindow styled;
    styled.style->createFontSizeBar(styled.first);
    QCOMPARE(styled.style->fontSizeButtons()->checkedId(), checked);
    QVERIFY(styled.window.styleSheet().endsWith(MainAppStyle::sizeRules.at(checked)));
}

void TestMainAppStyle::directCallRefitsWithoutChangingSize()
{
    StyledWindow styled;
    styled.style->createFontSizeBar(styled.first);
    styled.style->fontSizeButtons()->button(2)->click();
    const QString windowSheet = styled.window.styleSheet();
    const QSize iconSize = styled.second->iconSize();
    const QString toolBarSheet = styled.second->styleSheet();
    styled.second->setStyleSheet(QStringLiteral("QToolButton {color: red}"));
    AppSettings().setValue(QStringLiteral("Mainwindow/SizeButtonNr"), 0);

    QSignalSpy sizes(styled.style, &MainAppStyle::fontSizeChanged);
    styled.style->setFontSizeStyle();
    QCOMPARE(sizes.size(), 0);
    QCOMPARE(styled.window.styleSheet(), windowSheet);
    QCOMPARE(styled.second->iconSize(), iconSize);
    QCOMPARE(styled.second->styleSheet(), toolBarSheet);
    QCOMPARE(AppSettings().value(QStringLiteral("Mainwindow/SizeButtonNr")).toInt(), 2);
}

void TestMainAppStyle::fixedToolBarWithoutTextsGetsMinimumWidth()
{
    StyledWindow styled;
    QToolBar *fixed = styled.window.addToolBar(QStringLiteral("fixed"));
    fixed->setMovable(false);
    fixed->setFloatable(false);
    styled.style->createFontSizeBar(styled.first);
    QVERIFY2(fixed->styleSheet().endsWith(QStringLiteral("min-width: 9px}")),
             qPrintable(fixed->styleSheet()));
    QVERIFY(fixed->styleSheet().contains(QStringLiteral("QToolButton{min-height: ")));
}

void TestMainAppStyle::applyStyleClicksTheSizeButtonAgain()
{
    StyledWindow styled;
    styled.style->createFontSizeBar(styled.first);
    styled.style->fontSizeButtons()->button(2)->click();
    QSignalSpy sizes(styled.style, &MainAppStyle::fontSizeChanged);
    styled.style->applyStyle(true, QString());
    QVERIFY(!styled.window.styleSheet().contains(QStringLiteral("font-size: 16px")));
    QCOMPARE(sizes.size(), 0);
    QTRY_COMPARE(sizes.size(), 1);
    QCOMPARE(sizes.at(0).at(0).toString(), QStringLiteral("QWidget {font-size: 16px}"));
    QVERIFY(styled.window.styleSheet().endsWith(QStringLiteral("QWidget {font-size: 16px}")));
    QCOMPARE(styled.window.styleSheet().count(QStringLiteral("font-size")), 1);
    QTest::qWait(20);
    QCOMPARE(sizes.size(), 1);
    styled.style->applyStyle(false, offExtraSheet);
    QTRY_COMPARE(sizes.size(), 2);
}

void TestMainAppStyle::onlyGreyIconsAreRecoloured()
{
    QApplication::setPalette(MainAppStyle::applicationPalette(platformPalette, QColor("#004DB9")));
    const QColor white(Qt::white);
    const QColor orange(QStringLiteral("#ff8c00"));

    QWidget window;
    auto *greyButton = new QToolButton(&window);
    greyButton->setIcon(QIcon(ringPixmap(QColor(128, 128, 128))));
    auto *colouredButton = new QToolButton(&window);
    colouredButton->setIcon(QIcon(ringPixmap(orange)));
    auto *plainButton = new QToolButton(&window);
    auto *action = new QAction(QIcon(ringPixmap(QColor(90, 90, 90))), QStringLiteral("a"), &window);
    auto *label = new QLabel(&window);
    label->setPixmap(ringPixmap(QColor(200, 200, 200)));
    auto *textLabel = new QLabel(QStringLiteral("text"), &window);
    auto *tree = new QTreeWidget(&window);
    auto *top = new QTreeWidgetItem(tree, {QStringLiteral("board")});
    top->setIcon(0, QIcon(ringPixmap(midGrey)));
    auto *child = new QTreeWidgetItem(top, {QStringLiteral("firmware")});
    child->setIcon(0, QIcon(ringPixmap(midGrey)));
    auto *tabs = new QTabWidget(&window);
    tabs->addTab(new QWidget, QIcon(ringPixmap(midGrey)), QStringLiteral("one"));
    tabs->addTab(new QWidget, QStringLiteral("two"));

    MainAppStyle::updateIconColor(&window);

    QVERIFY(onlyColour(iconImage(greyButton->icon(), 32), white));
    QVERIFY(onlyColour(iconImage(colouredButton->icon(), 32), orange));
    QVERIFY(plainButton->icon().isNull());
    QVERIFY(onlyColour(iconImage(action->icon(), 32), white));
    QVERIFY(onlyColour(label->pixmap().toImage(), white));
    QVERIFY(textLabel->pixmap().isNull());
    QVERIFY(onlyColour(iconImage(top->icon(0), 20), white));
    QVERIFY(onlyColour(iconImage(child->icon(0), 20), midGrey));
    QVERIFY(onlyColour(iconImage(tabs->tabIcon(0), 20), white));
    QVERIFY(tabs->tabIcon(1).isNull());

    // The shape survives in the alpha channel.
    const QImage before = ringPixmap(QColor(200, 200, 200)).toImage();
    const QImage after = label->pixmap().toImage();
    QCOMPARE(qAlpha(after.pixel(16, 4)), qAlpha(before.pixel(16, 4)));
    QCOMPARE(qAlpha(after.pixel(16, 16)), 0);
    QApplication::setPalette(platformPalette);
}

void TestMainAppStyle::contrastIsMeasuredAsTheGuidelinesDo_data()
{
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<double>("ratio");
    QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
    QTest::newRow("alike") << QColor("#004DB9") << QColor("#004DB9") << 1.0;
    QTest::newRow("old chevron") << QColor("#343536") << QColor("#002E6E") << 1.06;
    QTest::newRow("navy on navy tip") << QColor("navy") << QColor("#002E6E") << 1.23;
    QTest::newRow("white on window") << QColor(Qt::white) << QColor("#004DB9") << 7.6;
}

void TestMainAppStyle::contrastIsMeasuredAsTheGuidelinesDo()
{
    QFETCH(QColor, text);
    QFETCH(QColor, background);
    QFETCH(double, ratio);
    QVERIFY2(qAbs(contrastRatio(text, background) - ratio) < 0.06,
             qPrintable(QString::number(contrastRatio(text, background))));
    QCOMPARE(contrastRatio(background, text), contrastRatio(text, background));
    // A colour that can be read stays as it is; one that cannot takes the nearest shade that can.
    const QColor readable = readableColour(text, background);
    QVERIFY(contrastRatio(readable, background) >= 4.5);
    if (ratio >= 4.5)
        QCOMPARE(readable, text);
}

namespace {

// The colour in the area that stands out most from the background: the core of a glyph.
double strongestContrast(const QImage &image, const QRect &area, const QColor &background)
{
    double strongest = 1.0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            strongest = qMax(strongest, contrastRatio(image.pixelColor(x, y), background));
    }
    return strongest;
}

QWidget *shownToolTip()
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->inherits("QTipLabel") && window->isVisible())
            return window;
    }
    return nullptr;
}

// How a text or icon inside `area` of `widget` stands out as drawn with the widget's window.
TextContrast drawnIn(QWidget *widget, const QRect &area)
{
    QWidget *window = widget->window();
    return textContrast(window->grab().toImage(),
                        area.translated(widget->mapTo(window, QPoint(0, 0))));
}

} // namespace

void TestMainAppStyle::everyLookCanBeRead_data()
{
    QTest::addColumn<bool>("applicationLook");
    QTest::newRow("platform look") << false;
    QTest::newRow("application look") << true;
}

// Every text the user reads, and the chevron that leads to the tool-bar buttons that do not fit,
// stands out from its background by at least 4.5 to 1, in both looks.
void TestMainAppStyle::everyLookCanBeRead()
{
    QFETCH(bool, applicationLook);
    StyledWindow styled;
    for (int k = 0; k < 30; ++k)
        styled.first->addAction(QStringLiteral("Action %1").arg(k));
    // Pairs of one enabled and one disabled: a value, a caption, an icon, a check box's caption.
    auto *panel = new QWidget;
    auto *column = new QVBoxLayout(panel);
    QWidget *shownPairs[4][2] = {};
    for (int disabled = 0; disabled < 2; ++disabled) {
        shownPairs[0][disabled] = new QLabel(QStringLiteral("-1234567"));
        shownPairs[1][disabled] = new QPushButton(QStringLiteral("Move to XTARGET"));
        auto *iconButton = new QPushButton(QIcon(ringPixmap(midGrey, 48)), QString());
        iconButton->setIconSize(QSize(32, 32));
        shownPairs[2][disabled] = iconButton;
        shownPairs[3][disabled] = new QCheckBox(QStringLiteral("N event on negative edge"));
        for (QWidget **pair : shownPairs) {
            pair[disabled]->setEnabled(!disabled);
            column->addWidget(pair[disabled]);
        }
    }
    styled.window.setCentralWidget(panel);
    styled.style->createFontSizeBar(styled.first);
    styled.window.resize(320, 240);
    styled.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&styled.window));
    QSignalSpy sizes(styled.style, &MainAppStyle::fontSizeChanged);
    styled.style->applyStyle(applicationLook, applicationLook ? QString() : offExtraSheet);
    QTRY_COMPARE(sizes.size(), 1);

    const QPalette palette = QApplication::palette();
    struct Pair
    {
        const char *name;
        QPalette::ColorRole text;
        QPalette::ColorRole background;
    };
    // The application look's tool tips are drawn in window text on the base colour.
    const Pair pairs[] = {
        {"window text", QPalette::WindowText, QPalette::Window},
        {"text", QPalette::Text, QPalette::Base},
        {"tool tip", QPalette::ToolTipText, QPalette::ToolTipBase},
        {"link", QPalette::Link, QPalette::Base},
        {"styled tool tip", QPalette::WindowText, QPalette::Base},
    };
    for (const Pair &pair : pairs) {
        const double ratio
            = contrastRatio(palette.color(pair.text), palette.color(pair.background));
        QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1: %2").arg(pair.name).arg(ratio)));
    }
    // The platform's own selection colours are its business; the application look's are ours.
    if (applicationLook) {
        QVERIFY(contrastRatio(palette.color(QPalette::HighlightedText),
                              palette.color(QPalette::Highlight))
                >= 4.5);
    }

    QToolButton *chevron = styled.first->findChild<QToolButton *>("qt_toolbar_ext_button");
    QVERIFY(chevron);
    QTRY_VERIFY(chevron->isVisible());
    const QImage bar = styled.first->grab().toImage();
    const QRect chevronArea = chevron->geometry().adjusted(3, 3, -3, -3);
    const QColor barBackground = bar.pixelColor(chevron->geometry().topLeft() + QPoint(1, 1));
    const double chevronRatio = strongestContrast(bar, chevronArea, barBackground);
    QVERIFY2(chevronRatio >= 4.5, qPrintable(QString::number(chevronRatio)));

    // Disabled stands out less than enabled, yet a stale value or a check box's caption still
    // reads at 4.5 to 1, a caption or an icon at 3 to 1, as drawn; in the platform look greyed
    // no darker than that asks (the application look greys on a pill of its own).
    const double floors[] = {4.5, 3.0, 3.0, 4.5};
    for (int kind = 0; kind < 4; ++kind) {
        double cores[2];
        for (int disabled = 0; disabled < 2; ++disabled) {
            QWidget *shown = shownPairs[kind][disabled];
            const QRect area = kind != 2
                ? shown->rect().adjusted(kind == 3 ? 28 : 6, 4, -6, -4) // past a check box
                : QRect(shown->rect().center() - QPoint(13, 13), QSize(28, 28));
            cores[disabled] = drawnIn(shown, area).cores;
        }
        const QByteArray seen = QByteArray::number(kind) + ": " + QByteArray::number(cores[0])
            + " enabled, " + QByteArray::number(cores[1]) + " disabled";
        QVERIFY2(cores[1] >= floors[kind] && cores[1] * 1.2 < cores[0], seen);
        QVERIFY2(applicationLook || cores[1] < floors[kind] * 1.3, seen);
    }

    // A menu greys its disabled entries, and the entry under the keyboard's cursor does not look
    // greyed: on a band of its own, it stands out from it at least as much as an enabled entry
    // from the menu. The platform's own highlight is its business.
    QMenu menu(&styled.window);
    menu.addAction(QStringLiteral("Load settings"))->setEnabled(false);
    menu.addAction(QStringLiteral("Save settings"));
    QAction *current = menu.addAction(QStringLiteral("Export settings"));
    menu.popup(styled.window.mapToGlobal(QPoint(20, 20)));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTest::keyClick(&menu, Qt::Key_Up);
    QTRY_COMPARE(menu.activeAction(), current);
    const QImage menuImage = menu.grab().toImage();
    TextContrast entries[3];
    for (int row = 0; row < 3; ++row)
        entries[row] = textContrast(
            menuImage, menu.actionGeometry(menu.actions().at(row)).adjusted(2, 1, -2, -1));
    const QByteArray seen = QByteArray::number(entries[0].cores) + " disabled, "
        + QByteArray::number(entries[1].cores) + " enabled, " + QByteArray::number(entries[2].cores)
        + " highlighted";
    QVERIFY2(entries[0].cores >= 3.0 && entries[0].cores * 1.2 < entries[1].cores, seen);
    QVERIFY2(!applicationLook
                 || (entries[2].cores >= entries[1].cores
                     && entries[2].background != entries[1].background),
             seen);
    menu.close();

    // The small line below the chip's name in the logos, as the window shows them: in the
    // application font's slant, which the logos' text takes over.
    for (const char *logo : {":/Logos/logoxxxx", ":/Logos/logo3141", ":/Logos/logo3162"}) {
        const TextContrast subtitle
            = textContrast(QPixmap(QLatin1String(logo)).toImage(), QRect(64, 41, 160, 13));
        QVERIFY2(subtitle.inkPixels > 100 && subtitle.cores >= 4.5, logo);
    }

    LoadAdapt dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *help = dialog.findChild<QFrame *>(QStringLiteral("frameHelp"));
    QVERIFY(help);
    QToolTip::showText(help->mapToGlobal(help->rect().center()), help->toolTip(), help);
    QWidget *tip = nullptr;
    QTRY_VERIFY((tip = shownToolTip()));
    const QColor tipBackground = tip->grab().toImage().pixelColor(3, 3);
    static const QRegularExpression textColour(QStringLiteral("[^-]color:\\s*([#\\w]+)"));
    QRegularExpressionMatchIterator colours = textColour.globalMatch(help->toolTip());
    int checked = 0;
    while (colours.hasNext()) {
        const QString name = colours.next().captured(1);
        const double ratio = contrastRatio(QColor::fromString(name), tipBackground);
        QVERIFY2(
            ratio >= 4.5,
            qPrintable(QStringLiteral("%1 on %2: %3").arg(name, tipBackground.name()).arg(ratio)));
        ++checked;
    }
    QVERIFY(checked >= 9);
    // Below the heading only the help sentences are drawn: small text, smoothed at its edges,
    // whose strokes must still stand out.
    const QImage tipImage = tip->grab().toImage();
    const TextContrast sentences = textContrast(
        tipImage, QRect(0, tipImage.height() / 2, tipImage.width(), tipImage.height() / 2 - 4));
    QVERIFY(sentences.inkPixels > 0);
    QVERIFY2(sentences.cores >= 4.5, qPrintable(QString::number(sentences.cores)));
    QToolTip::hideText();

    // A read-only register's value in the table is told apart from the ones that can be
    // edited, and read as well.
    const RegisterMapEntry *const active = currentRegisterMap;
    currentRegisterMap = registerMap3162;
    Registers registers;
    registers.OnEnableAll(true);
    registers.show();
    QVERIFY(QTest::qWaitForWindowExposed(&registers));
    auto *table = registers.findChild<QTableWidget *>(QStringLiteral("TableRegisters"));
    QVERIFY(table);
    const QList<QTableWidgetItem *> names
        = table->findItems(QStringLiteral("IFCNT"), Qt::MatchExactly);
    QCOMPARE(names.size(), 1);
    QTableWidgetItem *readOnly = table->item(names.first()->row(), Registers::NewColumn);
    QCOMPARE(readOnly->flags(), Qt::NoItemFlags);
    table->scrollToItem(readOnly);
    // Grabbed with the dialog: the table may let the window's background show through.
    const QRect cell = table->visualItemRect(readOnly).translated(
        table->viewport()->mapTo(&registers, QPoint(0, 0)));
    const TextContrast value = textContrast(registers.grab().toImage(), cell);
    QVERIFY(value.inkPixels > 0);
    QVERIFY2(value.cores >= 4.5,
             qPrintable(QStringLiteral("%1 on %2").arg(value.cores).arg(value.background.name())));
    currentRegisterMap = active;
    if (applicationLook)
        styled.style->applyStyle(false, offExtraSheet);
}

QTEST_MAIN(TestMainAppStyle)
#include "tst_mainappstyle.moc"
