#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <QWidget>

class QButtonGroup;
class QFrame;

// The look of the whole application. It switches between the application look (style
// "Fusion", a dark blue palette, one application style sheet and the embedded font faces) and
// the platform look found at the first switch, carries the font-size bar and recolours grey
// icons to the palette's text colour. Its destructor puts back the look it found at
// construction; its owner deletes it (or disconnects from it) before the owner's own members go.
class MainAppStyle : public QWidget
{
    Q_OBJECT

public:
    // The window colour the main window passes to applyStyle.
    static const QColor defaultWindowColor;
    // The families of the embedded faces: regular, italic and bold italic under the first, the
    // bold upright face alone under the second.
    static const QString regularFamily;
    static const QString boldFamily;
    // Resource paths of the faces in registration order: regular, italic, bold, bold italic.
    static const QStringList fontResources;
    // The size rules of the font-size bar's buttons, by button id; id 1 is the default.
    static const QStringList sizeRules;
    static constexpr int defaultSizeButton = 1;
    static const QString sizeButtonKey;

    explicit MainAppStyle(QWidget *parent);
    ~MainAppStyle() override;

    // on = true: the application look; false: the platform look of the first call.
    // extraStyleSheet stands in front of the application style sheet in both cases.
    void applyStyle(bool on, const QString &extraStyleSheet,
                    const QColor &windowColor = defaultWindowColor);
    // Base font rules on w (bold embedded face for everything below it) and the embedded faces
    // as the application font.
    void setAppFont(QWidget *w);
    // Registers the four faces anew; with useEmbedded the application font becomes the regular
    // (or italic) face at 9 points, otherwise the font found at the first call, at 8 points.
    static void installKorvaneFont(bool useEmbedded, bool italic);
    // Style, palette and application style sheet of the application look; sheet goes in front.
    void mainStyleSheet(const QString &sheet, const QColor &windowColor);
    // The palette of the application look, built on base.
    static QPalette applicationPalette(const QPalette &base, const QColor &windowColor);
    // The scroll-bar rules in the colours of palette (groove Base, handle WindowText).
    static QString scrollBarStyleSheet(const QPalette &palette, bool hideVerticalArrows);
    // Status tips from tool tips (unless "<table>" ones) and right-aligned spin boxes.
    static void setWidgetDefaults(const QList<QWidget *> &widgets);
    // The object name of the application style ("fusion", "windows"), also while an
    // application style sheet wraps it.
    static QString currentStyleName();

    // The row of four "A" buttons that choose the text size; the caller places the frame.
    QFrame *createFontSizeBar(QWidget *parent);
    QButtonGroup *fontSizeButtons() const { return sizeButtons; }
    // Recolours the grey icons below w to the palette's Text colour, and their disabled form to
    // the colour of a disabled button's caption.
    static void updateIconColor(QWidget *w);

Q_SIGNALS:
    void textColorChanged(QColor newColor, QColor oldColor);
    void fontSizeChanged(QString sizeRule);

public Q_SLOTS:
    // Run by a size button: puts its size rule at the end of the target's style sheet and
    // refits the tool bars. Run directly: refits only. Stores the choice either way.
    void setFontSizeStyle();

private:
    bool ownerIsGoingAway() const;
    // The colour grey icons take on disabled buttons: the colour of a disabled button's caption
    // in the look applied last.
    static QColor &disabledIconInk();

    QPointer<QWidget> target;
    QButtonGroup *sizeButtons = nullptr;
    QString savedStyleSheet;
    QString savedStyleName;
    QPalette savedPalette;
    QFont savedFont;
};
