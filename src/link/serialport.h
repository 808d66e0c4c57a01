#pragma once
// The gateway link over a real serial port (QSerialPort), and the port box's names.

#include "link/gatewaylink.h"

#include <QStringList>

#include <memory>

class QSerialPort;

namespace velmora {

// The longest port text the path buffer holds: 99 characters less the 4 of the prefix.
inline constexpr int MaxPortTextLength = 95;

// Maps the port box text to the device path actually opened on this platform:
//  - a text starting with '/' is a device path and is used as it is;
//  - "COMn" (any case, n >= 1) is the n-th serial device, /dev/ttyS<n-1>;
//  - a bare tty name ("ttyUSB0", "ttyACM0", "ttyS0") is a device under /dev;
//  - any other text ("rel/pty", "COM0") is a path relative to the working folder.
// An empty text, or one longer than MaxPortTextLength, gives an empty path (refused).
QString DevicePathForPort(const QString& portText);

// The port box items: the serial ports present on this machine, USB serial adapters first, by
// their device paths (PresentPortItems, which asks the system and takes a while: the window
// calls it away from its own thread), then "COM1" to "COM10" (ComPortItems). Where COM names
// are the system's own (Windows) they come first.
QStringList ComPortItems();
QStringList PresentPortItems();
// The same ports with what the system says of them: for a USB adapter its maker, product,
// serial number and USB ids ("FTDI, FT232R USB UART, serial A50285BI, USB 0403:6001"); empty
// for other ports.
struct PresentPort {
    QString path;
    QString description;
};
QList<PresentPort> PresentPorts();
// The port box's order of the present ports and the COM names.
QStringList OrderedPortItems(const QStringList& present);
QStringList PortBoxItems();

class SerialLink final : public GatewayLink {
public:
    SerialLink();
    ~SerialLink() override;

    OpenResult Open(const QString& devicePath) override;
    bool IsOpen() const override;
    void CloseGateway() override;
    void WaitUntilSent() override;
    void NoteAllExecuted() override { lineFreeUs_ = 0; }

protected:
    bool WriteBytes(const std::uint8_t* data, int count) override;
    GatewayPacket ReadBytes(int expected, int timeoutMs) override;
    void DiscardInput() override;

private:
    std::unique_ptr<QSerialPort> port_;
    // The line clock: when the last byte written will have left the UART, on the steady
    // clock in µs, if the line carried every byte from when it was written or when the line
    // was free, whichever is later.
    std::int64_t lineFreeUs_ = 0;
};

}  // namespace velmora
