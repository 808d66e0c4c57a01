#include "link/serialport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSerialPort>
#include <QDir>
#include <QSerialPortInfo>

#include <termios.h>

#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

#include <algorithm>
#include <chrono>
#include <thread>

// Debug output only when asked for: QT_LOGGING_RULES="velmora.link.serial.debug=true".
Q_LOGGING_CATEGORY(lcSerial, "velmora.link.serial", QtWarningMsg)

namespace velmora {

namespace {
// Many USB serial adapters hold received bytes for several milliseconds before passing them
// on, which would add that much to every one of the many answers a memory read waits for.
// The driver's low-latency mode passes them on at once. Drivers without it (pseudo-terminals,
// some adapters) refuse the request; that costs time only, so nothing is said.
void AskForLowLatency([[maybe_unused]] int fd, [[maybe_unused]] const QString& devicePath)
{
#ifdef __linux__
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) {
        qCDebug(lcSerial) << "no low-latency mode on" << devicePath << strerror(errno);
        return;
    }
    constexpr int LowLatency = ASYNC_LOW_LATENCY;
    if ((serial.flags & LowLatency) != 0)
        return;
    serial.flags |= LowLatency;
    if (::ioctl(fd, TIOCSSERIAL, &serial) != 0)
        qCDebug(lcSerial) << "low-latency mode refused on" << devicePath << strerror(errno);
#endif
}
}  // namespace

QString DevicePathForPort(const QString& portText)
{
    if (portText.isEmpty() || portText.size() > MaxPortTextLength)
        return {};
    if (portText.startsWith(QLatin1Char('/')))
        return portText;
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,4})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch com = comName.match(portText);
    if (com.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(com.captured(1).toInt() - 1);
    // The names the port box lists (ttyS0, ttyUSB0, ttyACM0) are devices; any other path is
    // taken as a shell takes it, from the working folder.
    static const QRegularExpression ttyName(QStringLiteral("^tty[A-Za-z0-9_.]+$"));
    if (ttyName.match(portText).hasMatch())
        return QStringLiteral("/dev/") + portText;
    return QDir::cleanPath(QDir::current().absoluteFilePath(portText));
}

QStringList ComPortItems()
{
    QStringList items;
    for (int n = 1; n <= 10; ++n)
        items << QStringLiteral("COM%1").arg(n);
    return items;
}

QList<PresentPort> PresentPorts()
{
    QList<PresentPort> ports;
    QList<QSerialPortInfo> present = QSerialPortInfo::availablePorts();
    // USB serial adapters are what a gateway is plugged into nearly always: list them first.
    std::stable_sort(present.begin(), present.end(), [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
        return a.hasVendorIdentifier() && !b.hasVendorIdentifier();
    });
    for (const QSerialPortInfo& info : present) {
        const QString path = info.systemLocation();
        if (std::any_of(ports.begin(), ports.end(), [&](const PresentPort& p) { return p.path == path; }))
            continue;
        PresentPort port{path, {}};
        if (info.hasVendorIdentifier()) {
            QStringList parts;
            for (const QString& part : {info.manufacturer(), info.description()})
                if (!part.isEmpty() && !parts.contains(part))
                    parts << part;
            if (!info.serialNumber().isEmpty())
                parts << QStringLiteral("serial ") + info.serialNumber();
            parts << QStringLiteral("USB %1:%2")
                         .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                         .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
            port.description = parts.join(QStringLiteral(", "));
        }
        ports << port;
    }
    return ports;
}

QStringList PresentPortItems()
{
    QStringList items;
    for (const PresentPort& port : PresentPorts())
        items << port.path;
    return items;
}

QStringList OrderedPortItems(const QStringList& present)
{
#ifdef Q_OS_WIN
    return ComPortItems() + present;
#else
    // Here a COM name only stands for /dev/ttyS<n-1>, seldom where a gateway is plugged in.
    return present + ComPortItems();
#endif
}

QStringList PortBoxItems()
{
    return OrderedPortItems(PresentPortItems());
}

SerialLink::SerialLink() = default;
SerialLink::~SerialLink() = default;

OpenResult SerialLink::Open(const QString& devicePath)
{
    CloseGateway();
    if (devicePath.isEmpty())
        return {OpenStatus::Unavailable, QStringLiteral("the port name is empty or too long")};

    port_ = std::make_unique<QSerialPort>();
    // The port's lock file is named after the device: opened through a symlink (as
    // /dev/serial/by-id/... are) it must lock the device itself, or two programs could drive
    // one gateway at once.
    const QString device = QFileInfo(devicePath).canonicalFilePath();
    port_->setPortName(device.isEmpty() ? devicePath : device);
    // QSerialPort opens exclusively (lock file and TIOCEXCL) and in raw mode.
    if (!port_->open(QIODevice::ReadWrite)) {
        OpenResult result{OpenStatus::Unavailable, port_->errorString()};
        port_.reset();
        return result;
    }

    termios current{};
    if (::tcgetattr(int(port_->handle()), &current) != 0)
        return {OpenStatus::GetParamsError, QString::fromLocal8Bit(strerror(errno))};

    // 250000 baud, 8N2 and no flow control of any kind: command bytes include 0x11 and 0x13,
    // which software flow control would swallow.
    const bool lineSet = port_->setBaudRate(250000) && port_->setDataBits(QSerialPort::Data8) &&
                         port_->setParity(QSerialPort::NoParity) && port_->setStopBits(QSerialPort::TwoStop) &&
                         port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!lineSet)
        return {OpenStatus::SetParamsError, port_->errorString()};

    // DTR and RTS held inactive. A device without modem lines (a pseudo-terminal) refuses
    // the request; the gateway does not use them, so that is no reason to fail.
    if (!port_->setDataTerminalReady(false) || !port_->setRequestToSend(false)) {
        qCDebug(lcSerial) << "modem lines not settable on" << devicePath << port_->errorString();
        port_->clearError();
    }
    AskForLowLatency(int(port_->handle()), devicePath);
    port_->setReadBufferSize(0);
    port_->clear(QSerialPort::AllDirections);
    return {};
}

bool SerialLink::IsOpen() const
{
    return port_ && port_->isOpen();
}

void SerialLink::CloseGateway()
{
    if (port_) {
        port_->close();
        port_.reset();
    }
}

namespace {

std::int64_t SteadyUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// 250000 baud, 11 bits a byte (start, 8 data, 2 stop).
constexpr std::int64_t LineUsPerByte = 44;
// What the line clock cannot see: a USB adapter starts sending a little after the driver
// hands it the bytes (its 1 ms frames), and a drained driver may still have bytes in the
// adapter's FIFO that the clock already counts as gone when they were written late.
constexpr std::int64_t AdapterMarginUs = 1000;

}  // namespace

void SerialLink::WaitUntilSent()
{
    if (!IsOpen())
        return;
    // The driver's queue first (a real UART's transmit buffer drains here), then whatever the
    // line clock says is still on its way.
    ::tcdrain(int(port_->handle()));
    if (lineFreeUs_ == 0)
        return;
    const std::int64_t until = lineFreeUs_ + AdapterMarginUs;
    const std::int64_t left = until - SteadyUs();
    if (left > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(left));
}

bool SerialLink::WriteBytes(const std::uint8_t* data, int count)
{
    port_->clearError();  // a time-out of an earlier answer must not fail this send
    lineFreeUs_ = std::max(lineFreeUs_, SteadyUs()) + LineUsPerByte * count;
    if (port_->write(reinterpret_cast<const char*>(data), count) != count)
        return false;
    // A send returns only once the write is complete, as the gateway expects packets in order.
    QElapsedTimer elapsed;
    elapsed.start();
    constexpr int WriteTimeoutMs = 20000;
    while (port_->bytesToWrite() > 0) {
        const qint64 left = WriteTimeoutMs - elapsed.elapsed();
        if (left <= 0 || !port_->waitForBytesWritten(int(left)))
            return port_->bytesToWrite() == 0;
    }
    return true;
}

void SerialLink::DiscardInput()
{
    // Both the driver's queue and what the port object has buffered already.
    port_->clear(QSerialPort::Input);
}

GatewayPacket SerialLink::ReadBytes(int expected, int timeoutMs)
{
    GatewayPacket answer;
    const int capacity = int(answer.data.size());
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        // Take what has arrived, but never more than the answer record holds: the rest stays
        // queued and becomes the start of the next answer.
        const qint64 waiting = port_->bytesAvailable();
        if (waiting > 0) {
            const qint64 take = std::min<qint64>(waiting, capacity - answer.count);
            const qint64 got = port_->read(reinterpret_cast<char*>(answer.data.data()) + answer.count, take);
            if (got > 0)
                answer.count += std::int32_t(got);
        }
        if (answer.count >= expected || answer.count >= capacity)
            break;
        const qint64 left = timeoutMs - elapsed.elapsed();
        if (left <= 0)
            break;
        if (!port_->waitForReadyRead(int(left)) && port_->error() != QSerialPort::TimeoutError &&
            port_->error() != QSerialPort::NoError)
            break;  // the device went away; what came so far is the answer
    }
    return answer;
}

}  // namespace velmora
