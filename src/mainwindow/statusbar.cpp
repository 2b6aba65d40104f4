#include "mainwindow/statusbar.h"

#include "foundation/spacerwidget.h"
#include "link/comshell.h"
#include "maintenance/droplabel.h"
#include "platform/systeminfo.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QResizeEvent>

namespace {

// The least size of the bar at the default text size.
const QSize leastSize(222, 26);

} // namespace

StatusBar::StatusBar(QWidget *parent)
    : QStatusBar(parent)
    , m_messageLabel(new ElidingLabel(this))
    , m_spacer(new SpacerWidget(nullptr))
    , m_progressBar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("mStatusBar"));
    setMinimumSize(leastSize);
    setStyleSheet(QStringLiteral("QStatusBar::item {border: none}"));

    // Messages carry texts from the board ("wrong module [...]"): shown as they are. A message
    // longer than the room the firmware label and the connection box leave it is cut short.
    m_messageLabel->setTextFormat(Qt::PlainText);
    addPermanentWidget(m_messageLabel);
    addPermanentWidget(m_spacer, 1);
    m_spacer->hide();

    // Not an item of the bar: it lies under the other children and fills the whole bar.
    m_progressBar->setObjectName(QStringLiteral("statusBarProgressBar"));
    m_progressBar->setMinimumSize(222, 24);
    m_progressBar->setRange(0, 0);
    m_progressBar->setValue(-1);
    m_progressBar->setFormat(QStringLiteral("%p%     "));
    m_progressBar->lower();

    m_clearTimer.setSingleShot(true);
    connect(&m_clearTimer, &QTimer::timeout, this, &StatusBar::clearMessage);
}

QWidget *StatusBar::spacer() const
{
    return m_spacer;
}

void StatusBar::showMessage(const QString &text, int timeout)
{
    m_messageLabel->setText(text);
    m_spacer->setVisible(true);
    if (timeout != 0)
        m_clearTimer.start(timeout);
    else
        m_clearTimer.stop();
}

void StatusBar::showMessage(const QString &text)
{
    showMessage(text, 0);
}

void StatusBar::withdrawMessage(const QString &text, const QString &rest, int timeout)
{
    if (text.isEmpty() || m_messageLabel->text() != text)
        return;
    if (!rest.isEmpty()) {
        showMessage(rest, timeout);
        return;
    }
    m_clearTimer.stop();
    clearMessage();
}

void StatusBar::clearMessage()
{
    m_messageLabel->clear();
    m_spacer->hide();
}

void StatusBar::resizeEvent(QResizeEvent *event)
{
    m_progressBar->resize(event->size());
}

void StatusBar::changeEvent(QEvent *event)
{
    QStatusBar::changeEvent(event);
    // The bar measures the height of its row only when items come or go, and the main window
    // gives it no more than its least height: a larger text would be cut off at the bottom.
    // Measured again once every item has taken the new font.
    if ((event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        && !m_reformatPending) {
        m_reformatPending = true;
        QTimer::singleShot(0, this, [this] {
            m_reformatPending = false;
            // The firmware label's own least height holds its text at the default size only.
            if (m_firmwareLabel && m_firmwareLabel->layout())
                m_firmwareLabel->setMinimumHeight(qMax(
                    m_firmwareLeastHeight, m_firmwareLabel->layout()->totalMinimumSize().height()));
            reformat();
            setMinimumHeight(qMax(leastSize.height(), layout()->totalMinimumSize().height()));
        });
    }
}

void StatusBar::addConnectionControls(ComShell *shell, QWidget *owner)
{
    if (m_firmwareLabel)
        return;
    m_firmwareLabel = new DropLabel(shell, owner);
    m_firmwareLeastHeight = m_firmwareLabel->minimumHeight();

    m_connectionCheckBox = new QCheckBox(tr("Connection"), this);
    m_connectionCheckBox->setObjectName(QStringLiteral("Autoconnection"));
    m_connectionCheckBox->setMinimumWidth(200);
    m_connectionCheckBox->setToolTip(QStringLiteral("Try to connect the Device\n")
                                     + getSystemInfo());
    connect(m_connectionCheckBox, &QCheckBox::clicked, shell,
            qOverload<bool>(&ComShell::setAutoStart), Qt::DirectConnection);

    insertPermanentWidget(0, m_firmwareLabel, 0);
    insertPermanentWidget(3, m_connectionCheckBox, 0);
}
