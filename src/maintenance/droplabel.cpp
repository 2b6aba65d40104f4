#include "maintenance/droplabel.h"

#include "foundation/pixmaputilities.h"
#include "link/comshell.h"
#include "maintenance/firmwareimage.h"
#include "maintenance/sendfirmware.h"

#include <QApplication>
#include <QDebug>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
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
    // The text comes from the board: shown as it is, never as markup.
    m_textLabel->setTextFormat(Qt::PlainText);
    m_textLabel->setMinimumWidth(150);
    m_textLabel->setText(QStringLiteral("init..."));
    m_textLabel->installEventFilter(this);

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
    fitTextWidth();
}

bool DropLabel::eventFilter(QObject *watched, QEvent *event)
{
    // The label measures its text at the new font only once it has handled the change itself.
    if (watched == m_textLabel
        && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
        QTimer::singleShot(0, this, &DropLabel::fitTextWidth);
    return QWidget::eventFilter(watched, event);
}

void DropLabel::fitTextWidth()
{
    // The state of the board is read here: the status bar must never cut it, whatever else it
    // has to show, so the label is never narrower than its icon and whole text at the present
    // font. Held by the label as a whole: a text label's least width would stay in its size hint
    // when a later text is shorter.
    setMinimumWidth(layout()->sizeHint().width());
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
    showDropHint(this, event->position(), tr("Update %1 with\n").arg(m_textLabel->text()) + path);
    event->acceptProposedAction();
}

void DropLabel::showDropHint(QWidget *target, const QPointF &position, const QString &text)
{
    // The board's version text and the file's name are shown as they are, never as markup.
    QWhatsThis::showText(target->mapToGlobal(position.toPoint() + QPoint(20, 60)),
                         Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal), target);
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
    if (path.isEmpty())
        return;
    // Off until the job has reported: a second drop cannot reach a running job.
    setAcceptDrops(false);
    // Started once the drop has been handled: the update window, and the link letting go of
    // the port (which processes events), have no place inside the drag's own event handling.
    QMetaObject::invokeMethod(
        this, [this, path] { sendFirmware(path); }, Qt::QueuedConnection);
}

QWidget *DropLabel::updateWindow()
{
    auto *window = findChild<QWidget *>(QStringLiteral("sendFirmwareOutput"));
    if (window || m_output)
        return window;
    window = new QWidget(this, Qt::Tool);
    window->setObjectName(QStringLiteral("sendFirmwareOutput"));
    window->setWindowTitle(tr("Firmware Updater"));
    window->setWindowIcon(QIcon(QStringLiteral(":/ComPort/fwUpdate")));
    auto *layout = new QVBoxLayout(window);
    m_output = new QPlainTextEdit(window);
    m_output->setReadOnly(true);
    layout->addWidget(m_output);
    window->setMinimumSize(400, 400);
    return window;
}

void DropLabel::makeUpdater(QWidget *window)
{
    // The status bar's, when the label sits in a main window; else one of the window's own.
    m_progressBar
        = this->window()->findChild<QProgressBar *>(QStringLiteral("statusBarProgressBar"));
    if (!m_progressBar) {
        m_progressBar = new QProgressBar(window);
        m_progressBar->setFormat(QStringLiteral("%p%     "));
        window->layout()->addWidget(m_progressBar);
    }
    m_updater = new SendFirmware(this);
    connect(m_updater, &SendFirmware::progress, m_progressBar, &QProgressBar::setValue);
    connect(m_updater, qOverload<int>(&SendFirmware::startProgress), m_progressBar,
            &QProgressBar::setMaximum);
    connect(m_updater, qOverload<bool>(&SendFirmware::startProgress), m_progressBar,
            &QWidget::setVisible);
    connect(m_updater, &SendFirmware::msgInsert, this, &DropLabel::continueLogLine);
    connect(m_updater, &SendFirmware::msg, m_output, &QPlainTextEdit::appendPlainText);
    connect(m_updater, &SendFirmware::done, this, &DropLabel::sendFirmwareReady);
}

void DropLabel::continueLogLine(const QString &text)
{
    // New lines are appended behind the cursor's back; the continuation belongs to the last one.
    m_output->moveCursor(QTextCursor::End);
    m_output->insertPlainText(text);
}

void DropLabel::sendFirmware(const QString &fwFile)
{
    qDebug() << "sendfirmeWare" << this;
    if (fwFile.isEmpty() || !m_link) {
        setAcceptDrops(true);
        return;
    }
    if (QWidget *window = updateWindow())
        window->show();
    if (m_comPort.isEmpty()) {
        // No board has been reported ready: the user learns why nothing is updated, and no job
        // runs against a port nobody named. The link ends as a job would leave it: connecting.
        m_output->appendPlainText(QStringLiteral("missing COM-port"));
        m_link->setAutoStart(false);
        sendFirmwareReady(false, QString());
        m_link->setAutoStart(true);
        return;
    }
    if (!m_updater)
        makeUpdater(m_output->parentWidget());
    // Read and checked before the board is touched: a file that will not be sent leaves the
    // link connected and the board polled.
    std::shared_ptr<const FirmwareImage> image = m_updater->readFirmware(fwFile);
    if (!image) {
        closeLog(false, m_comPort);
        setAcceptDrops(true);
        Q_EMIT firmwareDone();
        return;
    }
    m_link->setAutoStart(false);
    m_link->setAutoStart(m_comPort);
    qDebug().noquote() << "DropLabel::sendFirmware(QString com, QString fwFile)"
                       << QStringLiteral("\"%1\"").arg(m_comPort)
                       << QStringLiteral("\"%1\"").arg(fwFile);
    m_updater->startUpdate(m_link, std::move(image), m_comPort);
}

void DropLabel::sendFirmwareReady(bool ok, const QString &text)
{
    qDebug() << "DropLabel::sendFirmwareReady(bool ok)" << (ok ? "true" : "false");
    setAcceptDrops(true);
    closeLog(ok, text);
    // However the job ended, its progress is no longer shown.
    if (m_progressBar)
        m_progressBar->hide();
    if (m_link)
        m_link->setAutoStart(false);
    Q_EMIT firmwareDone();
}

void DropLabel::closeLog(bool ok, const QString &text)
{
    if (m_output) {
        QTextCursor cursor = m_output->textCursor();
        cursor.movePosition(QTextCursor::End);
        const QTextCharFormat format = cursor.charFormat();
        if (!ok) {
            QTextCharFormat failed = format;
            failed.setBackground(QBrush(QColor(QStringLiteral("red"))));
            cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(failed);
            cursor.movePosition(QTextCursor::EndOfBlock);
        }
        cursor.insertText(QStringLiteral("\nUpdate finished ") + text, format);
        m_output->moveCursor(QTextCursor::End);
    }
}
