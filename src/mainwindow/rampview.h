#pragma once

#include <QColor>
#include <QGraphicsView>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSize>
#include <QString>

class QGraphicsLineItem;
class QGraphicsSimpleTextItem;

// One phase of a motor's ramp, keyed in RampView::rampPhases by the scene x at which it begins.
struct RampPhase
{
    qint32 acceleration = 0; // of the phase that begins at the key
    qint32 velocity = 0; // at the key
    double distance = 0.0; // covered by the phase that ends at the key
    QString name;
};

// Curve colours of motor 1 and motor 2 (half transparent; the view's texts use them opaque).
inline const QList<QColor> motorColors {QColor(0, 0, 255, 128), QColor(255, 0, 0, 128)};
// The size the scene set-up gives the view, and the first reference width of its rescaling.
inline const QSize rampSceneSize(1050, 630);

// The ramp generator tab's velocity-over-time graph. The ramp calculator draws both motors'
// profiles into its scene and fills rampPhases and timeScales; over the plot a cursor line follows
// the pointer with a read-out of the selected motor's position at that time. A click selects the
// next motor and asks for a redraw.
class RampView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit RampView(QWidget *parent = nullptr);
    ~RampView() override;

    void initScene();
    void clearScene();

    // The read-out text for a scene x on the given motor's phases: an arrow for accelerating,
    // decelerating or cruising, a blank, then the position reached.
    QString readoutAt(int motor, double sceneX) const;

    // Puts the caption, centred on centreX, just above bottomY (scene units), and the note on the
    // line above it; both stay there when the view rescales.
    void placeCaption(double centreX, double bottomY);
    // The size a text item takes in scene units at the view's present scaling (the texts keep
    // their size on screen).
    QSizeF sceneSizeOf(const QGraphicsSimpleTextItem *text) const;

    QGraphicsSimpleTextItem *noteItem = nullptr;
    QGraphicsSimpleTextItem *captionItem = nullptr;
    QHash<int, QMap<double, RampPhase>> rampPhases;
    QGraphicsItem *pressedItem = nullptr;
    QList<double> timeScales;
    int currentMotor = 0;
    QGraphicsScene *rampScene;
    QGraphicsSimpleTextItem *readoutItem = nullptr;
    QGraphicsLineItem *cursorLine = nullptr;

Q_SIGNALS:
    void newRampScene();

protected Q_SLOTS:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void adjustRampScene(int x = 0, int y = 0);
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *obj, QEvent *event) override;

private:
    double viewScale() const;
    void layoutCaption();
    // The "VMAX" mark scales with the plot, but never below the size of the form's text.
    void layoutVmaxMark();

    double captionCentreX = 0.0;
    double captionBottomY = 0.0;
    // How far the "VMAX" caption sits above the plot, from the view font's pixel size at the
    // first clearScene(), and kept from then on.
    double fontFactor = 0.0;
    bool fontFactorKnown = false;
    QGraphicsSimpleTextItem *vmaxMark = nullptr;
    double vmaxMarkY = 0.0;
    // The viewport width the current scaling was made for.
    double scaledForWidth = rampSceneSize.width();
};
