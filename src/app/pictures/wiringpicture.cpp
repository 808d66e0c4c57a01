#include "app/pictures/wiringpicture.h"

#include "log/text.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

#include <algorithm>

namespace velmora {

namespace {
constexpr int W = WiringPictureWidth;
constexpr int H = WiringPictureHeight;

// Horizontal layout of the left half; the right half mirrors it.
constexpr int BoxLeft = 24;      // gateway line box
constexpr int BoxWidth = 176;
constexpr int StubLength = 22;
constexpr int BodyWidth = 210;
constexpr int BodyLeft = (W - BodyWidth) / 2;
constexpr int LabelRight = BodyLeft - StubLength - 8;  // signal names end here, before the stub
constexpr int Header = 112;      // title and subtitle
constexpr int Footer = 132;      // legend

const QColor Ink(0x20, 0x20, 0x20);
const QColor SignalColour(0x10, 0x40, 0xA0);
const QColor HighVoltageColour(0xD0, 0x00, 0x00);
const QColor SupplyColour(0xB0, 0x60, 0x00);
const QColor GroundColour(0x30, 0x30, 0x30);
const QColor ClockColour(0x70, 0x30, 0x90);
const QColor UnconnectedColour(0x90, 0x90, 0x90);

QColor ColourOf(PinRole role)
{
    switch (role) {
    case PinRole::HighVoltage:
        return HighVoltageColour;
    case PinRole::Supply:
        return SupplyColour;
    case PinRole::Ground:
        return GroundColour;
    case PinRole::Clock:
        return ClockColour;
    case PinRole::Unconnected:
        return UnconnectedColour;
    case PinRole::Signal:
        break;
    }
    return SignalColour;
}

QFont Font(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The largest font up to pixels whose rendering of text fits width.
QFont FittingFont(const QString& text, int pixels, int width, bool bold)
{
    QFont font = Font(pixels, bold);
    while (pixels > 10 && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPixelSize(--pixels);
    return font;
}

// Vertically centred text flush to the left or the right of its box.
int Centred(bool flushLeft)
{
    return int(Qt::AlignVCenter) | int(flushLeft ? Qt::AlignLeft : Qt::AlignRight);
}

// Pin 1 to n/2 run down the left side, n/2 + 1 to n up the right side.
struct PinPlace {
    bool left;
    int y;
};

PinPlace PlaceOf(int pin, int pinCount, int top, int pitch)
{
    const int perSide = pinCount / 2;
    const int row = pin <= perSide ? pin - 1 : pinCount - pin;
    return {pin <= perSide, top + row * pitch + pitch / 2};
}

void DrawPin(QPainter& p, const PackagePin& pin, PinPlace place, int pitch)
{
    const QColor colour = ColourOf(pin.role);
    const int textSize = std::min(26, pitch * 3 / 4);
    const int stubHalf = std::max(4, pitch / 5);
    const int bodyEdge = place.left ? BodyLeft : BodyLeft + BodyWidth;
    const int dir = place.left ? -1 : 1;  // outwards
    const int stubEnd = bodyEdge + dir * StubLength;

    // The leg of the package.
    p.setPen(QPen(Ink, 1.5));
    p.setBrush(QColor(0xC8, 0xC8, 0xC8));
    p.drawRect(QRect(std::min(bodyEdge, stubEnd), place.y - stubHalf, StubLength, 2 * stubHalf));

    // The pin number, inside the body beside its leg.
    p.setPen(Ink);
    p.setFont(Font(textSize, pin.pin == 1));
    const QRect numberBox(place.left ? BodyLeft + 8 : BodyLeft + BodyWidth - 58, place.y - pitch / 2, 50, pitch);
    p.drawText(numberBox, Centred(place.left), QString::number(pin.pin));

    const int labelRight = place.left ? LabelRight : W - LabelRight;
    const int labelWidth = LabelRight - (BoxLeft + BoxWidth) - 34;
    const QRect labelBox(place.left ? labelRight - labelWidth : labelRight, place.y - pitch / 2, labelWidth, pitch);
    const bool wired = pin.role != PinRole::Unconnected && pin.role != PinRole::Clock;
    const QString label = pin.role == PinRole::Unconnected ? QStringLiteral("n.c.") : QString::fromStdString(pin.label);
    p.setPen(colour);
    p.setFont(FittingFont(label, textSize, labelWidth, wired));
    p.drawText(labelBox, Centred(!place.left), label);
    if (!wired)
        return;  // nothing goes to the gateway

    // The wire from the signal name to the gateway line.
    const int boxInner = place.left ? BoxLeft + BoxWidth : W - BoxLeft - BoxWidth;
    const int labelAdvance = QFontMetrics(p.font()).horizontalAdvance(label);
    const int labelOuter = labelRight + dir * (labelAdvance + 8);
    p.setPen(QPen(colour, pin.role == PinRole::HighVoltage ? 4 : 2));
    p.drawLine(boxInner, place.y, labelOuter, place.y);

    const QRect box(place.left ? BoxLeft : W - BoxLeft - BoxWidth, place.y - pitch / 2 + 2, BoxWidth, pitch - 4);
    const QString line = Text(pin.line);
    p.setPen(QPen(colour, pin.role == PinRole::HighVoltage ? 3 : 1.5));
    p.setBrush(pin.role == PinRole::HighVoltage ? QColor(0xFF, 0xE0, 0xE0) : QColor(0xF4, 0xF6, 0xFA));
    p.drawRoundedRect(box, 6, 6);
    p.setFont(FittingFont(line, textSize, BoxWidth - 12, true));
    p.drawText(box, Qt::AlignCenter, line);
}

QString JoinNames(const std::vector<std::string>& chips, const char* separator)
{
    QStringList names;
    for (const std::string& name : chips)
        names << QString::fromStdString(name);
    return names.join(QLatin1String(separator));
}

QStringList Legend(const ChipWiring& row)
{
    QStringList lines;
    if (row.mode == WiringMode::Parallel) {
        lines << QStringLiteral("RESET (red) takes the gateway's +12 V output, and no other pin does.")
              << QStringLiteral("+5 V: the gateway's switched +5 V output.  n.c.: leave the pin unconnected.");
        if (row.sharedPins)
            lines << QStringLiteral("Shared pins: leave the gateway's BS2 line (D7) and PAGEL pulse line unconnected.");
    } else {
        lines << QStringLiteral("MOSI, MISO, SCK, RESET: the gateway's SPI lines of the same names; RESET at")
              << QStringLiteral("logic level, never +12 V.  +5 V: the switched +5 V output.  n.c.: unconnected.");
    }
    if (!row.note.empty())
        lines << (row.clock[0] != 0 ? QStringLiteral("* ") : QString()) + Text(row.note);
    return lines;
}
}  // namespace

QImage DrawWiringPicture(const ChipWiring& row, const std::vector<std::string>& chips)
{
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Title: every chip the picture serves, and how it is programmed.
    const QString title = JoinNames(chips, ", ");
    p.setPen(Ink);
    p.setFont(FittingFont(title, 44, W - 40, true));
    p.drawText(QRect(20, 10, W - 40, 56), Qt::AlignCenter, title);
    const QString mode = row.mode == WiringMode::Parallel ? QStringLiteral("high-voltage parallel programming")
                                                          : QStringLiteral("serial (SPI) programming");
    p.setFont(Font(22));
    p.drawText(QRect(20, 62, W - 40, 30), Qt::AlignCenter,
               QStringLiteral("%1 to the gateway KV-4417, %2").arg(Text(row.package), mode));

    // The package: rows of pins at one pitch, the body a little taller than the rows.
    const int perSide = row.pinCount / 2;
    const int pitch = std::min(84, (H - Header - Footer - 24) / perSide);
    const int top = Header + 12 + ((H - Header - Footer - 24) - perSide * pitch) / 2;
    const QRect body(BodyLeft, top - 10, BodyWidth, perSide * pitch + 20);
    p.setPen(QPen(Ink, 3));
    p.setBrush(QColor(0x3A, 0x3A, 0x3A).lighter(330));
    p.drawRoundedRect(body, 6, 6);
    // The notch at the pin 1 end and the dot beside pin 1.
    p.setBrush(Qt::white);
    p.drawChord(QRect(body.center().x() - 22, body.top() - 22, 44, 44), 180 * 16, 180 * 16);
    p.setBrush(Ink);
    p.drawEllipse(QPoint(BodyLeft + 64, top + pitch / 2), std::max(4, pitch / 6), std::max(4, pitch / 6));

    // The chips' names along the body.
    const QString bodyName = JoinNames(chips, " / ");
    p.save();
    p.translate(body.center());
    p.rotate(90);
    p.setPen(Ink);
    p.setFont(FittingFont(bodyName, 30, body.height() - 60, true));
    p.drawText(QRect(-body.height() / 2 + 30, -20, body.height() - 60, 40), Qt::AlignCenter, bodyName);
    p.restore();

    for (const PackagePin& pin : PackagePins(row))
        DrawPin(p, pin, PlaceOf(pin.pin, row.pinCount, top, pitch), pitch);

    // Column heads over the gateway side.
    p.setPen(Ink);
    p.setFont(Font(18, true));
    p.drawText(QRect(BoxLeft, top - 34, BoxWidth, 24), Qt::AlignCenter, QStringLiteral("gateway"));
    p.drawText(QRect(W - BoxLeft - BoxWidth, top - 34, BoxWidth, 24), Qt::AlignCenter, QStringLiteral("gateway"));

    const QStringList legend = Legend(row);
    p.setFont(Font(21));
    int y = H - Footer + 12;
    for (const QString& line : legend) {
        p.setPen(line.startsWith(QStringLiteral("RESET (red)")) ? HighVoltageColour : Ink);
        p.drawText(QRect(24, y, W - 48, 30), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += 30;
    }
    return image;
}

}  // namespace velmora
