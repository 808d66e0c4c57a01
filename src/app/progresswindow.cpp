#include "app/progresswindow.h"

#include <QFrame>
#include <QProgressBar>
#include <QVBoxLayout>

namespace velmora {

LBar::LBar(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("LBar"));
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    ProgressBar1 = new QProgressBar(panel);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedSize(265, 16);
    auto* inner = new QVBoxLayout(panel);
    inner->setContentsMargins(8, 8, 8, 8);
    inner->addWidget(ProgressBar1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
    setModal(true);
    adjustSize();
    setFixedSize(sizeHint());
}

void LBar::ShowBusy()
{
    ProgressBar1->setRange(0, 0);
}

void LBar::SetPosition(int percent)
{
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(qBound(0, percent, 100));
}

}  // namespace velmora
