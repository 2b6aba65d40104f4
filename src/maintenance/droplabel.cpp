#include "maintenance/droplabel.h"

#include "foundation/utilities.h"
#include "link/comshell.h"

#include <QApplication>
#include <QDebug>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPalette>
#include <QUrl>
#include <QWhatsThis>

DropLabel::DropLabel(ComShell *link, QWidget *parent)
    : QWidget(parent)
    , m_link(link)
    , m_iconLabel(new QLabel(this))
    , m_textLabel(new QLabel(this))
{
    setToolTip(tr("Firmware Version\ndrop a firmeware file (.hex) here"));
    setAcceptDrops(true);

    m_iconLabel->setScaledContents(true);
    m_iconLabel->setMinimumSize(30, 20);
    m_iconLabel->setMaximumSize(30, 20);
    setMinimumHeight(24);
    m_iconLabel->setObjectName(QStringLiteral("MsgIcon"));
    m_iconLabel->setPixmap(QPixmap(QStringLiteral(":/ComPort/usbLogo")));

    m_textLabel->setObjectName(QStringLiteral("MsgText"));
    m_textLabel->setMinimumWidth(150);
    m_textLabel->setText(QStringLiteral("init..."));

    if (m_link)
        connect(m_link, &ComShell::status, this, &DropLabel::updateLabel);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(7, 2, 0, 2);
    layout->addWidget(m_iconLabel);
    layout->addWidget(m_textLabel);
}

DropLabel::~DropLabel() = default;

QString DropLabel::text() const
{
    return m_textLabel->text();
}

void DropLabel::setCOMport(const QString &port)
{
    qDebug() << "DropLabel::setCOMport()" << port;
    m_comPort = port;
}

void DropLabel::updateLabel(const QString &icon, const QString &text)
{
    QPixmap pixmap(icon);
    const QColor textColor = QApplication::palette().color(QPalette::Current, QPalette::Text);
    if (!pixmap.isNull())
        tintPixmap(pixmap, textColor, true);
    m_iconLabel->setPixmap(pixmap);
    m_textLabel->setText(text);
}

QString DropLabel::firmwareFileOf(const QMimeData *mime)
{
    // A uri list without any URL is refused rather than read past its end.
    if (!mime || !mime->hasFormat(QStringLiteral("text/uri-list")) || mime->urls().isEmpty())
        return QString();
    const QString path = mime->urls().first().toLocalFile();
    return path.contains(QLatin1String(".hex")) ? path : QString();
}

void DropLabel::dragEnterEvent(QDragEnterEvent *event)
{
    qDebug() << "dragEnterEvent" << int(event->type())
             << (event->mimeData() ? event->mimeData()->urls() : QList<QUrl>());
    const QString path = firmwareFileOf(event->mimeData());
    if (path.isEmpty())
        return;
    QWhatsThis::showText(mapToGlobal(event->position().toPoint() + QPoint(20, 60)),
                         tr("Update %1 with\n").arg(m_textLabel->text()) + path, this);
    event->acceptProposedAction();
}

void DropLabel::dragMoveEvent(QDragMoveEvent *)
{
    // The decision taken when the drag entered holds.
}

void DropLabel::dropEvent(QDropEvent *event)
{
    const QString path = firmwareFileOf(event->mimeData());
    qWarning() << "dropEvent" << path;
    QWhatsThis::hideText();
    // The firmware update itself is started here once the updater exists; until then a
    // dropped file is only reported, and drops stay open.
}

void DropLabel::sendFirmwareReady(bool ok, const QString &text)
{
    qDebug() << "DropLabel::sendFirmwareReady(bool ok)" << ok << text;
    setAcceptDrops(true);
    if (m_link)
        m_link->setAutoStart(false);
    Q_EMIT firmwareDone();
}
