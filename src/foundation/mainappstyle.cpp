#include "foundation/mainappstyle.h"

#include "foundation/methodname.h"
#include "foundation/pixmaputilities.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDebug>
#include <QFontDatabase>
#include <QStyle>
#include <QTimer>

namespace {

// The look found at the first applyStyle: switching the application look off returns to it.
struct FirstLook
{
    bool taken = false;
    QPalette palette;
    QString styleName;
};

FirstLook &firstLook()
{
    static FirstLook look;
    return look;
}

// The application font at the first installKorvaneFont, kept as its description: a QFont held
// until after the application object is gone would release font engines too late.
QString &defaultFontDescription()
{
    static QString description;
    return description;
}

const QString platformFontRule
    = QStringLiteral("QWidget{font: normal normal 12px 'RizidiRidavaz'}");

const QString baseFontRules = QStringLiteral(
    " QWidget{border-width: 2px; border-radius: 9px} \n QToolBar, QMenuBar, QStatusBar "
    "{border-width: 1px; border-radius:0px} \n QWidget{font: bold normal 12px 'VezizoDirado'} ");

// The platform's style draws a drop-down list's value in the colour of a button's caption, which
// a disabled list greys as far as a caption may be greyed. Yet the value is the one the chip
// held, and it stays on the screen while the board is gone: it is read at the floor of the other
// stale values. Setting the application palette again drops this class palette, so the
// application look never sees it.
QPalette dropDownListPalette(QPalette palette)
{
    const auto disabled
        = [&palette](QPalette::ColorRole role) { return palette.color(QPalette::Disabled, role); };
    palette.setColor(QPalette::Disabled, QPalette::ButtonText,
                     dimmedTextColour(disabled(QPalette::ButtonText),
                                      {disabled(QPalette::Window), disabled(QPalette::Base),
                                       disabled(QPalette::Button)}));
    return palette;
}

} // namespace

QString MainAppStyle::currentStyleName()
{
    const QStyle *style = QApplication::style();
    // Under an application style sheet the style in force is wrapped in a nameless sheet style
    // that owns it as its child.
    if (style->objectName().isEmpty()) {
        if (const auto *wrapped = style->findChild<QStyle *>(QString(), Qt::FindDirectChildrenOnly))
            return wrapped->objectName();
    }
    return style->objectName();
}

const QColor MainAppStyle::defaultWindowColor(0x00, 0x4D, 0xB9);
const QString MainAppStyle::regularFamily = QStringLiteral("RizidiRidavaz");
const QString MainAppStyle::boldFamily = QStringLiteral("VezizoDirado");
const QStringList MainAppStyle::fontResources = {
    QStringLiteral(":/Fonts/KorvaneFont"),
    QStringLiteral(":/Fonts/KorvaneFontItalic"),
    QStringLiteral(":/Fonts/KorvaneFontBold"),
    QStringLiteral(":/Fonts/KorvaneFontItalicBold"),
};

MainAppStyle::MainAppStyle(QWidget *parent)
    : QWidget(parent)
    , target(parent)
    , savedStyleSheet(qApp->styleSheet())
    , savedStyleName(currentStyleName())
    , savedPalette(QApplication::palette())
    , savedFont(QApplication::font())
{
    // A child of the window it styles that draws nothing: it must neither lie over the menu bar
    // and swallow the clicks meant for it, nor take room anywhere. Hidden, it still takes the
    // target's style sheet, and so its font tells the chosen size.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setVisible(false);
}

MainAppStyle::~MainAppStyle()
{
    qDebug() << "MainAppStyle::~MainAppStyle()";
    // Deleted together with its owner's children, the owner is already half destroyed: its
    // style sheet and its slots are off limits then, only the application's look is put back.
    const bool ownerGone = ownerIsGoingAway();
    if (ownerGone) {
        target = this;
        blockSignals(true);
    }
    // Nothing is left to put a size rule back onto once this object is gone.
    sizeButtons = nullptr;
    applyStyle(false, QString(), defaultWindowColor);
    QApplication::setStyle(savedStyleName);
    QFontDatabase::removeAllApplicationFonts();
    qApp->setStyleSheet(savedStyleSheet);
    QApplication::setPalette(savedPalette);
    QApplication::setFont(savedFont);
    Q_EMIT fontSizeChanged(QStringLiteral("Style end"));
}

// While a widget deletes its children, the slot of the child being deleted is already empty;
// a parent that no longer lists us is in its destructor.
bool MainAppStyle::ownerIsGoingAway() const
{
    const QObject *owner = parent();
    return owner && !owner->children().contains(const_cast<MainAppStyle *>(this));
}

void MainAppStyle::applyStyle(bool on, const QString &extraStyleSheet, const QColor &windowColor)
{
    FirstLook &first = firstLook();
    if (!first.taken) {
        first.taken = true;
        first.palette = QApplication::palette();
        first.styleName = currentStyleName();
    }
    const QColor oldTextColor = QApplication::palette().color(QPalette::Text);
    if (!target)
        target = this;
    setAppFont(target);
    if (on) {
        mainStyleSheet(extraStyleSheet, windowColor);
        // The look's disabled buttons are grey-blue pills with base-coloured captions.
        disabledIconInk() = QApplication::palette().color(QPalette::Base);
    } else {
        disabledIconInk() = first.palette.color(QPalette::Disabled, QPalette::ButtonText);
        qApp->setStyleSheet(extraStyleSheet);
        QApplication::setPalette(first.palette);
        QApplication::setStyle(first.styleName);
        QApplication::setPalette(dropDownListPalette(first.palette), "QComboBox");
        target->setStyleSheet(platformFontRule);
    }
    // The target's sheet was just replaced, size rule and all: the checked size button puts the
    // rule back once the new look has settled.
    if (sizeButtons) {
        if (QAbstractButton *checked = sizeButtons->checkedButton())
            QTimer::singleShot(1, checked, &QAbstractButton::click);
    }
    const QColor newTextColor = QApplication::palette().color(QPalette::Text);
    if (newTextColor != oldTextColor)
        Q_EMIT textColorChanged(newTextColor, oldTextColor);
    qDebug() << "MainAppStyle"
             << "qml/" << currentStyleName() << "\n"
             << newTextColor << oldTextColor;
}

QColor &MainAppStyle::disabledIconInk()
{
    static QColor ink;
    return ink;
}

void MainAppStyle::setAppFont(QWidget *w)
{
    w->setStyleSheet(baseFontRules);
    installKorvaneFont(true, true);
    qDebug() << "path Font:" << QStringLiteral(":") + QStringLiteral("/fonts/")
             << QApplication::font();
}

void MainAppStyle::installKorvaneFont(bool useEmbedded, bool italic)
{
    QString &defaultFont = defaultFontDescription();
    if (defaultFont.isEmpty())
        defaultFont = QApplication::font().toString();
    QFontDatabase::removeAllApplicationFonts();
    static const char *const labels[]
        = {"Font orifice", "Font italic", "Font bold", "Font italic bold"};
    for (int face = 0; face < fontResources.size(); ++face) {
        const int id = QFontDatabase::addApplicationFont(fontResources.at(face));
        qDebug() << KVN_METHOD << labels[face] << id;
    }
    if (useEmbedded) {
        QFont font(regularFamily);
        font.setPointSizeF(9.0);
        font.setStyle(italic ? QFont::StyleItalic : QFont::StyleNormal);
        font.setStyleStrategy(QFont::PreferAntialias);
        QApplication::setFont(font);
    } else {
        QFont font;
        font.fromString(defaultFont);
        font.setPointSizeF(8.0);
        QApplication::setFont(font);
    }
}
