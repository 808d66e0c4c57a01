#include "app/aboutbox.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace velmora {

namespace {
QLabel* LinkLabel(const QString& text, const QString& url, bool underline, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setText(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff;%2\">%3</a>")
                       .arg(url, underline ? QString() : QStringLiteral("text-decoration:none"), text.toHtmlEscaped()));
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    label->setCursor(Qt::PointingHandCursor);
    label->setAlignment(Qt::AlignHCenter);
    QObject::connect(label, &QLabel::linkActivated, label,
                     [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    return label;
}
}  // namespace

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About Velmora"));
    setModal(false);

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    auto* lines = new QVBoxLayout(panel);
    auto plain = [panel](const QString& text) {
        auto* label = new QLabel(text, panel);
        label->setAlignment(Qt::AlignHCenter);
        return label;
    };
    lines->addWidget(plain(QStringLiteral("A freeware program that was created")));
    lines->addWidget(plain(QStringLiteral("to demonstrate the ability to program")));
    lines->addWidget(plain(QStringLiteral("AVR microcontrollers via parallel interface with")));
    lines->addWidget(LinkLabel(QStringLiteral("UART to I2C/SPI/1W gateway KV-4417"),
                               QStringLiteral("https://velmora.example/kv-4417"), true, panel));
    lines->addWidget(plain(QStringLiteral("Written by the Velmora developers")));
    lines->addWidget(LinkLabel(QStringLiteral("velmora.example"), QStringLiteral("https://velmora.example/"), true, panel));
    lines->addSpacing(6);
    lines->addWidget(plain(QStringLiteral("Get online help on using the program")));
    lines->addWidget(plain(QStringLiteral("from our messenger help bot:")));
    lines->addWidget(LinkLabel(QStringLiteral("@VelmoraHelpBot"), QStringLiteral("https://velmora.example/help-bot"),
                               false, panel));
    lines->addStretch(1);
    auto* version = new QLabel(QStringLiteral("Version " VELMORA_VERSION), panel);
    lines->addWidget(version, 0, Qt::AlignLeft);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    resize(258, 272);
}

}  // namespace velmora
