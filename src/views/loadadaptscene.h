#pragma once

#include "views/graphxyitem.h"

#include <QGraphicsScene>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class BarItem;
class GraphItem;
class ProxyWidget;
class QGraphicsView;
class QMenu;
class QUrl;

// The load graph of one motor: on a fixed canvas (0, -16, 2048, 256) a grid, the scale columns of
// current (red) and load value (blue), the current and hysteresis bands, the time graphs of
// current and load and the graph of load against velocity, with a live value label in the view's
// top-left corner. The recorded samples live in the scene, so they outlive every rebuild.
class LoadAdaptScene : public QGraphicsScene
{
    Q_OBJECT

public:
    static constexpr int canvasWidth = 2048;
    static constexpr int canvasHeight = 256;
    // The longest a sample waits before the label and the graphs show it.
    static constexpr int repaintIntervalMs = 100;

    LoadAdaptScene(QGraphicsView *view, int currentScale);
    ~LoadAdaptScene() override;

    void addSample(int load, int current, int velocity);
    void setChipName(const QString &number);

    // How an export is handed to the desktop; tests put a stand-in here.
    void setFileOpener(std::function<bool(const QUrl &)> opener);

    GraphItem *currentGraph = nullptr;
    GraphItem *loadGraph = nullptr;
    Graph_XY_Item *velocityItem = nullptr;
    BarItem *currentBand = nullptr;
    BarItem *hysteresisBand = nullptr;
    ProxyWidget *valueWidget = nullptr;

    int zoomFactor() const { return 1 << qMax(0, scopeIndex); }
    bool velocityInFront() const { return velocityForeground; }
    const QString &motorName() const { return motorDigits; }
    const QString &chip() const { return chipName; }
    const VelocityMap &velocities() const { return velocityMap; }
    const TimeMap &times() const { return timeMap; }
    // The width the scale columns take at the canvas's right edge.
    int scaleWidth() const { return scaleMargin; }

public Q_SLOTS:
    void adjustScene();
    void setupGraphicsView();
    void exportXYmap();
    void exportSDTmap();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void contextMenuEvent(QGraphicsSceneContextMenuEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;

private Q_SLOTS:
    void btn_clicked(bool state);
    void finishContextMenu(int unused = 0);

private:
    void addScaleLabels(double zoom, int labelWidth, int currentWidth, int fontHeight);
    void addGrid(int right, const QList<int> &tickRows);
    void showExport(const QString &fileName, bool written, const QString &error);
    void rebuild();
    void showSamples();
    // Takes the pixel size of the view's text for the scene font.
    void followTextSize();
    // Lays the canvas out anew for the view's text size, keeping the graphs' samples.
    void relayoutForTextSize();

    int currentScale;
    int scopeIndex = -1;
    bool velocityForeground = false;
    QPointer<QMenu> contextPanel;
    QPoint lastMenuPos;
    QGraphicsView *view;
    QString motorDigits;
    QString chipName;
    VelocityMap velocityMap;
    TimeMap timeMap;
    int scaleMargin = 0;
    std::function<bool(const QUrl &)> openFile;
    QMetaObject::Connection historyConnection;
    QTimer repaintPacing;
    QString pendingLabel;
    // The length of the longest label text since the label last took its size.
    qsizetype longestLabel = 0;
};
