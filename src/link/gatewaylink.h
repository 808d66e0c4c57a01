#pragma once
// The one connection to the gateway. The core reaches the gateway only through this
// interface: SendPacket, ReadAnswer and CloseGateway. The serial port adapter is one
// implementation, the simulator another, a recording fake in the tests a third.

#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>

namespace velmora {

class OperationLog;

// What SendPacket sends (at most 9 bytes) and what ReadAnswer returns (count 0: no answer).
struct GatewayPacket {
    std::array<std::uint8_t, 32> data{};
    std::int32_t count = 0;

    GatewayPacket() = default;
    GatewayPacket(std::initializer_list<std::uint8_t> bytes);
};

// Traffic counters, so benchmarks can compare the measured time with the line's limit.
struct LinkCounters {
    std::uint64_t packets = 0;
    std::uint64_t bytesOut = 0;
    std::uint64_t bytesIn = 0;
    std::uint64_t answers = 0;
};

enum class OpenStatus {
    Ok,
    Unavailable,     // the device cannot be opened
    GetParamsError,  // its line parameters cannot be read
    SetParamsError,  // its line parameters cannot be written
};

struct OpenResult {
    OpenStatus status = OpenStatus::Ok;
    QString reason;  // the system's own words for a failure, for the status bar
};

class GatewayLink {
public:
    // How long ReadAnswer waits for a silent gateway before giving up.
    static constexpr int AnswerTimeoutMs = 1000;
    static constexpr int MaxPacketBytes = 9;

    virtual ~GatewayLink() = default;

    // Opens and configures the device; no handshake (OpenGateway does that).
    virtual OpenResult Open(const QString& devicePath) = 0;
    // True while the port is open ("GatewayPort is valid").
    virtual bool IsOpen() const = 0;
    // Closes the port whatever its state; closing a closed link is harmless.
    virtual void CloseGateway() = 0;

    // Writes the first count bytes as one write and returns once it is complete. Before a
    // packet that expects an answer, whatever is still waiting in the input is discarded: the
    // answer can only come after the packet, and a byte left over from an earlier answer
    // would otherwise shift this answer and every one after it. While answers sent ahead are
    // still to come, nothing is discarded: the waiting bytes are theirs.
    bool SendPacket(const GatewayPacket& packet);
    // Waits until at least expected bytes arrived or about AnswerTimeoutMs passed.
    // Surplus bytes of the same arrival stay in the answer (up to its 32 bytes); bytes
    // arriving later are the start of the next answer.
    GatewayPacket ReadAnswer(int expected);

    // Every packet written and every answer read, as they pass (velmora-cli -v shows them in
    // hex); out is true for a packet sent. Empty: nothing is traced.
    using Trace = std::function<void(bool out, const std::uint8_t* data, int count)>;
    void SetTrace(Trace trace) { trace_ = std::move(trace); }

    // Returns once every byte written so far has left the PC and had its time on the line: a
    // timed wait that starts after this starts when the gateway has the bytes. write()
    // returning says only that the system has taken them; a whole page can still be queued in
    // the driver, the USB adapter or the UART. A link whose peer takes the bytes at once (in
    // process, a scripted fake) has nothing to wait for.
    virtual void WaitUntilSent() {}
    // The caller has an answer to the last packet written: the gateway has run everything
    // before it, so nothing is left on the line for WaitUntilSent to wait for.
    virtual void NoteAllExecuted() {}
    // Reads sent ahead of their answers. The gateway runs commands in order and answers each
    // read in order, so a packet holding a read may go out before the answers of earlier ones
    // are collected; the answers are then taken in sending order, each framed by its length.
    // SendAhead is SendPacket for such a packet and counts one answer to come.
    bool SendAhead(const GatewayPacket& packet);
    // Exactly length bytes of the oldest answer still to come (fewer only when about
    // AnswerTimeoutMs passed without them); bytes beyond it are kept for the next answer.
    GatewayPacket ReadFramed(int length);
    int AnswersAhead() const { return answersAhead_; }
    // Bytes received beyond every answer framed so far: with no answer to come, a gateway that
    // answered more than its framing said.
    int SurplusHeld() const { return int(held_.size()); }
    // Collects bytes that still arrive until none has come for quietMs; what the first fetch
    // of a connection uses to see how long the gateway's fetch answers are.
    GatewayPacket ReadLate(int quietMs);

    // The length of the gateway's SpiFetch answers belongs to the gateway (4 bytes on some, 8
    // on others), so it is learned once per connection.
    struct SpiFetchFraming {
        int length = 0;         // bytes per answer; 0 while not learned
        bool unframed = false;  // the answers do not keep one length: fetches stay synchronous
        bool told = false;      // the log has said so once
    };
    SpiFetchFraming& FetchFraming() { return fetchFraming_; }
    // A new connection: nothing learned, nothing held, no answer to come.
    void ResetConnectionState();

    const LinkCounters& Counters() const { return counters_; }
    void ResetCounters() { counters_ = {}; }

    // While a command may have the socket's supplies on (+12 V on RESET, +5 V), the packet that
    // switches them off is armed. A step that fails sends it once before the link is closed,
    // and Disconnect does the same, so a chip is never left powered for the next user to pull
    // out of the socket. Errors of that send are ignored; it is not logged.
    void ArmSafePacket(const GatewayPacket& packet) { safePacket_ = packet; }
    void DisarmSafePacket() { safePacket_.count = 0; }
    bool SafePacketArmed() const { return safePacket_.count > 0; }
    // Sends the armed packet once, if the link is open, and disarms it.
    void SendSafePacket();

protected:
    virtual bool WriteBytes(const std::uint8_t* data, int count) = 0;
    virtual GatewayPacket ReadBytes(int expected, int timeoutMs) = 0;
    // Drops every received byte not yet read. A link without a receive queue of its own (a
    // scripted fake) has nothing to drop.
    virtual void DiscardInput() {}
    // Bytes that come after a complete answer within quietMs; the default waits with ReadBytes.
    virtual GatewayPacket ReadQuiet(int quietMs) { return ReadBytes(1, quietMs); }

private:
    // Takes up to want held bytes into answer.
    void TakeHeld(GatewayPacket& answer, int want);
    void CountAnswer(const GatewayPacket& answer);

    LinkCounters counters_;
    Trace trace_;
    std::deque<std::uint8_t> held_;  // received beyond the answers framed so far
    int answersAhead_ = 0;
    SpiFetchFraming fetchFraming_;
    GatewayPacket safePacket_;  // count 0: nothing armed
};

// Opens the port at devicePath, checks the line and runs the three-send handshake.
// Every failure writes its own log line and leaves the link closed; success writes nothing.
// On failure *reason, when given, gets a short explanation for the status bar.
bool OpenGateway(GatewayLink& link, const QString& devicePath, OperationLog& log,
                 QString* reason = nullptr);

// Connect: OpenGateway and, on success, the "The COM-port is open: " line naming devicePath.
bool ConnectGateway(GatewayLink& link, const QString& devicePath, OperationLog& log,
                    QString* reason = nullptr);
// Disconnect: the armed safe packet, CloseGateway (also when already closed) and the
// "The COM-port is closed" line.
void DisconnectGateway(GatewayLink& link, OperationLog& log);

}  // namespace velmora
