#include "app/progresswindow.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

QString ProgressStatusText(int percent, qint64 elapsedMs)
{
    const int p = qBound(0, percent, 100);
    QString text = QStringLiteral("%1%").arg(p);
    if (p < 1 || p >= 100 || elapsedMs < 1000)
        return text;
    const qint64 leftSeconds = (elapsedMs * (100 - p) / p + 999) / 1000;
    return text + QStringLiteral(", about %1:%2 left").arg(leftSeconds / 60).arg(leftSeconds % 60, 2, 10, QLatin1Char('0'));
}

LBar::LBar(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("LBar"));
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    CommandLabel = new QLabel(panel);
    CommandLabel->setObjectName(QStringLiteral("CommandLabel"));
    ProgressBar1 = new QProgressBar(panel);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedSize(265, 16);
    StatusLabel = new QLabel(panel);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"), panel);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    connect(CancelButton, &QPushButton::clicked, this, &LBar::reject);
    auto* status = new QHBoxLayout;
    status->addWidget(StatusLabel, 1);
    status->addWidget(CancelButton);
    auto* inner = new QVBoxLayout(panel);
    inner->setContentsMargins(8, 8, 8, 8);
    inner->addWidget(CommandLabel);
    inner->addWidget(ProgressBar1);
    inner->addLayout(status);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
    setModal(true);
    adjustSize();
    setFixedSize(sizeHint());
    clock_.start();
    if (parent)
        parent->installEventFilter(this);
}

void LBar::SetCommand(const QString& text)
{
    CommandLabel->setText(text);
}

void LBar::ShowBusy()
{
    ProgressBar1->setRange(0, 0);
}

void LBar::SetPosition(int percent)
{
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(qBound(0, percent, 100));
    if (!cancelling_)
        StatusLabel->setText(ProgressStatusText(percent, clock_.elapsed()));
}

void LBar::reject()
{
    if (cancelling_)
        return;
    cancelling_ = true;
    CancelButton->setEnabled(false);
    StatusLabel->setText(QStringLiteral("Cancelling..."));
    emit CancelRequested();
}

bool LBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        FollowOwner();
    return QDialog::eventFilter(watched, event);
}

void LBar::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FollowOwner();
}

void LBar::FollowOwner()
{
    const QWidget* owner = parentWidget();
    if (!owner)
        return;
    const QRect frame = owner->window()->frameGeometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
}

}  // namespace velmora
