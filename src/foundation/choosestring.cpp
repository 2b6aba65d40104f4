#include "foundation/choosestring.h"
#include "ui_choosestring.h"

#include "foundation/pixmaputilities.h"

#include <QFontInfo>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>

ChooseString::ChooseString(const QString &title, const QStringList &items, QObject *rememberTarget,
                           QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , ui(new Ui::ChooseString)
{
    ui->setupUi(this);
    setWindowOpacity(0.98);
    if (parent)
        setFont(parent->font());

    // A font given in pixels has no point size of its own; the effective one stands in.
    const qreal pointSize = QFontInfo(font()).pointSizeF();
    ui->LblTitle->setStyleSheet(QStringLiteral("border-radius: 10px; font-size: %1pt; "
                                               "background: palette(base); padding:5px;")
                                    .arg(QString::number(2 * pointSize)));
    ui->LblTitle->setText(title);

    QPixmap closeIcon = style()->standardPixmap(QStyle::SP_TitleBarCloseButton, nullptr, this);
    tintPixmap(closeIcon, QColor(QStringLiteral("tomato")), false);
    ui->BtnClose->setIcon(QIcon(closeIcon));
    connect(ui->BtnClose, &QPushButton::clicked, this, &ChooseString::close);

    ui->listWidget->addItems(items);
    connect(ui->listWidget, &QListWidget::clicked, this, &ChooseString::listValueChanged);

    if (rememberTarget) {
        connect(ui->CheckRemember, SIGNAL(clicked(bool)), rememberTarget, SLOT(setChecked(bool)));
    } else {
        delete ui->CheckRemember;
        ui->CheckRemember = nullptr;
    }

    fitToItems();
    ui->Confirm->adjustSize();
    adjustSize();
}

ChooseString::~ChooseString()
{
    delete ui;
}

void ChooseString::fitToItems()
{
    QListWidget *list = ui->listWidget;
    const QFontMetrics metrics = list->fontMetrics();
    const int rowHeight = metrics.height() + metrics.height() / 2;
    int widest = ui->LblTitle->sizeHint().width();
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem *item = list->item(row);
        const int width = metrics.horizontalAdvance(item->text());
        item->setSizeHint(QSize(width, rowHeight));
        widest = qMax(widest, width);
    }
    ui->Confirm->setMinimumHeight(qMin(list->count(), maximumGrowRows) * rowHeight);
    list->setMinimumWidth(widest + list->verticalScrollBar()->sizeHint().width()
                          + 2 * list->frameWidth());
    if (list->count() > 0) {
        list->setMaximumHeight((list->count() + 1) * rowHeight);
        list->setCurrentRow(0);
    }
}

void ChooseString::finish(int result)
{
    done(result);
    deleteLater();
}

void ChooseString::close()
{
    finish(closedResult);
}

// Escape and the window manager's close both come here: they end the dialog as the close button
// does, so the caller gets -1 and the dialog does not linger.
void ChooseString::reject()
{
    finish(closedResult);
}

void ChooseString::listValueChanged(const QModelIndex &index)
{
    finish(index.row() + 1);
}

void ChooseString::mousePressEvent(QMouseEvent *event)
{
    pressPos = event->position().toPoint();
    dragging = event->button() == Qt::LeftButton;
    QDialog::mousePressEvent(event);
}

void ChooseString::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging)
        move(pos() + event->position().toPoint() - pressPos);
    QDialog::mouseMoveEvent(event);
}

void ChooseString::mouseReleaseEvent(QMouseEvent *event)
{
    dragging = false;
    QDialog::mouseReleaseEvent(event);
}
