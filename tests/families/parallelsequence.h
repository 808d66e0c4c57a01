#pragma once
// Exact-byte runs of the parallel units: a recording link that answers every pin read by
// itself, and a decoder that turns the packets into readable steps ("cmd 02", "ah 01",
// "al 00", "dl 5A", "dh A5", "ae 01") and everything else into hex ("11 08 1D 03").

#include "families/parallelunit.h"
#include "log/operationlog.h"
#include "support/recordinglink.h"
#include "unitbuffers.h"

#include <deque>
#include <ostream>
#include <string>
#include <vector>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace velmora::testing {

// Answers pin B reads from pinB (then with defaultPinB), RDY/BSY polls with "ready" unless
// busyPolls says how many busy answers come first.
class AnsweringLink : public RecordingLink {
public:
    std::deque<std::uint8_t> pinB;
    std::uint8_t defaultPinB = 0xA5;
    int busyPolls = 0;
    // Pin reads from this one on (counted from 0) get no answer.
    int silentFromRead = -1;

protected:
    GatewayPacket ReadBytes(int expected, int) override
    {
        readsExpected.push_back(expected);
        GatewayPacket answer;
        if (silentFromRead >= 0 && int(readsExpected.size()) > silentFromRead)
            return answer;
        const Bytes& last = sent.back();
        answer.count = 1;
        if (last == Bytes{0x18}) {
            answer.data[0] = busyPolls > 0 ? 0x00 : 0x01;
            if (busyPolls > 0)
                --busyPolls;
        } else if (!pinB.empty()) {
            answer.data[0] = pinB.front();
            pinB.pop_front();
        } else {
            answer.data[0] = defaultPinB;
        }
        return answer;
    }
};

inline std::string Hex(const Bytes& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::uint8_t b : bytes) {
        if (!s.empty())
            s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

// The packets as steps: each byte load (its three packets) becomes one word and its byte.
inline std::vector<std::string> Steps(const std::vector<Bytes>& sent)
{
    struct Load {
        std::uint8_t c, d;
        const char* name;
    };
    static const Load loads[] = {{0x18, 0x14, "cmd"}, {0x08, 0x14, "al"}, {0x0A, 0x14, "ah"},
                                 {0x08, 0x54, "dl"},  {0x0A, 0x54, "dh"}, {0x08, 0x94, "ae"}};
    std::vector<std::string> steps;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const Bytes& p = sent[i];
        const Load* load = nullptr;
        if (p.size() == 4 && p[0] == 0x11 && p[2] == 0x15 && i + 2 < sent.size() && sent[i + 1].size() == 4 &&
            sent[i + 1][0] == 0x0B && sent[i + 1][1] == 0xFF && sent[i + 1][2] == 0x0D &&
            sent[i + 2] == Bytes{0x1D, 0x02}) {
            for (const Load& l : loads) {
                if (l.c == p[1] && l.d == p[3])
                    load = &l;
            }
        }
        if (load) {
            steps.push_back(std::string(load->name) + " " + Hex({sent[i + 1][3]}));
            i += 2;
        } else {
            steps.push_back(Hex(p));
        }
    }
    return steps;
}

// A unit, a chip and a recording link, for one run at a time.
struct SequenceRun {
    explicit SequenceRun(const ChipEntry& e, int delays = 3) : buffers(e), delaysValue(delays)
    {
        link.Open(QStringLiteral("rec"));
        log.SetClock([] { return QTime(12, 0, 0); });
    }
    ProgContext Context()
    {
        return ProgContext{link, log, delaysValue, [this](int ms) { sleeps.push_back(ms); }};
    }
    ChipTarget Target() { return buffers.Target(); }
    std::vector<std::string> TakeSteps()
    {
        std::vector<std::string> s = Steps(link.sent);
        link.sent.clear();
        return s;
    }

    AnsweringLink link;
    OperationLog log;
    UnitBuffers buffers;
    int delaysValue;
    std::vector<int> sleeps;
};

inline QStringList Lines(std::initializer_list<const char*> lines)
{
    QStringList out;
    for (const char* l : lines)
        out << QString::fromUtf8(l);
    return out;
}

}  // namespace velmora::testing
