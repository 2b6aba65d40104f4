#include "foundation/windowstatecheck.h"

#include <QDataStream>
#include <QRect>
#include <QSize>
#include <QString>

namespace {

// The markers of the main window's state, as its layout writes them.
enum Marker : uchar {
    versionMarker = 0xff, // an int, before the version
    toolBarMarker = 0xfe,
    toolBarMarkerEx = 0xfc, // tool-bar section with a second geometry word per tool bar
    dockMarker = 0xfd,
    floatingTabsMarker = 0xf9,
    sequenceMarker = 0xfc, // inside a dock section
    tabMarker = 0xfa,
    widgetMarker = 0xfb,
};

constexpr int dockAreaCount = 4; // left, right, top, bottom
constexpr int deepestNesting = 16;
constexpr int mostItems = 1000;
constexpr uchar floatingFlag = 0x02;

class StateWalker
{
public:
    explicit StateWalker(QDataStream &stream)
        : m_stream(stream)
    { }

    bool walk()
    {
        while (!m_stream.atEnd()) {
            uchar marker = 0;
            m_stream >> marker;
            bool sound = false;
            switch (marker) {
            case toolBarMarker:
            case toolBarMarkerEx:
                sound = walkToolBars(marker == toolBarMarkerEx);
                break;
            case dockMarker:
                sound = walkDocks();
                break;
            case floatingTabsMarker: {
                QRect geometry;
                m_stream >> geometry;
                sound = ok() && walkDockInfo(0);
                break;
            }
            default:
                return false;
            }
            if (!sound)
                return false;
        }
        return ok();
    }

private:
    bool ok() const { return m_stream.status() == QDataStream::Ok; }

    bool readCount(int *count, int largest)
    {
        m_stream >> *count;
        return ok() && *count >= 0 && *count <= largest;
    }

    bool walkToolBars(bool extended)
    {
        int lines = 0;
        if (!readCount(&lines, mostItems))
            return false;
        for (int line = 0; line < lines; ++line) {
            int area = -1;
            int count = 0;
            m_stream >> area;
            if (!ok() || area < 0 || area >= dockAreaCount || !readCount(&count, mostItems))
                return false;
            for (int item = 0; item < count; ++item) {
                QString name;
                uchar shown = 0;
                int position = 0;
                int size = 0;
                quint32 geometry = 0;
                m_stream >> name >> shown >> position >> size >> geometry;
                if (extended)
                    m_stream >> geometry;
                if (!ok())
                    return false;
            }
        }
        return true;
    }

    bool walkDocks()
    {
        int areas = 0;
        if (!readCount(&areas, dockAreaCount))
            return false;
        for (int i = 0; i < areas; ++i) {
            int area = -1;
            QSize size;
            m_stream >> area >> size;
            if (!ok() || area < 0 || area >= dockAreaCount || !walkDockInfo(0))
                return false;
        }
        QSize central;
        m_stream >> central;
        for (int corner = 0; corner < 4; ++corner) {
            int dockArea = 0;
            m_stream >> dockArea;
            if (dockArea != Qt::LeftDockWidgetArea && dockArea != Qt::RightDockWidgetArea
                && dockArea != Qt::TopDockWidgetArea && dockArea != Qt::BottomDockWidgetArea)
                return false;
        }
        return ok();
    }

    // One area's sequence or tab group of dock widgets, nested as the window nests them.
    bool walkDockInfo(int depth)
    {
        if (depth > deepestNesting)
            return false;
        uchar kind = 0;
        m_stream >> kind;
        int currentTab = -1;
        if (kind == tabMarker)
            m_stream >> currentTab;
        else if (kind != sequenceMarker)
            return false;
        uchar orientation = 0;
        int count = 0;
        m_stream >> orientation;
        if (!ok() || orientation > Qt::Vertical || !readCount(&count, mostItems))
            return false;
        if (kind == tabMarker && (currentTab < -1 || currentTab >= count))
            return false;
        for (int item = 0; item < count; ++item) {
            uchar marker = 0;
            m_stream >> marker;
            int position = 0;
            int size = 0;
            int minimumWidth = 0;
            int minimumHeight = 0;
            if (marker == widgetMarker) {
                QString name;
                uchar flags = 0;
                m_stream >> name >> flags;
                if (flags & floatingFlag) {
                    QRect geometry;
                    m_stream >> geometry;
                } else {
                    m_stream >> position >> size >> minimumWidth >> minimumHeight;
                }
                if (!ok())
                    return false;
            } else if (marker == sequenceMarker) {
                m_stream >> position >> size >> minimumWidth >> minimumHeight;
                if (!ok() || !walkDockInfo(depth + 1))
                    return false;
            } else {
                return false;
            }
        }
        return ok();
    }

    QDataStream &m_stream;
};

} // namespace

namespace WindowStateCheck {

bool isSafe(const QByteArray &state, int version)
{
    QDataStream stream(state);
    int marker = 0;
    int storedVersion = 0;
    stream >> marker >> storedVersion;
    if (stream.status() != QDataStream::Ok || marker != versionMarker || storedVersion != version)
        return false;
    return StateWalker(stream).walk();
}

} // namespace WindowStateCheck
