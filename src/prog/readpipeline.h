#pragma once
// Memory reads at line speed. The gateway runs its commands in the order they arrive and
// answers each pin read and fetch in that order, and no read packet of a memory pass depends
// on the value of an earlier answer. So the packets of a pass go out exactly as they always
// did, in the same order, but their answers are collected behind the packets that follow
// them, matched to them in order: a USB serial adapter that hands answers over only when its
// latency timer runs out then costs one timer per window instead of one per byte.
//
// How far ahead the reads run is bounded (ProgContext::readAhead): answers still to come,
// their bytes, and the bytes sent since the oldest of them's packet. Everything else stays
// synchronous: ready polls, timed waits (they collect first), mode entry, and any read whose
// next packet depends on its answer.

#include "log/operationlog.h"
#include "prog/progcontext.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string_view>

namespace velmora {

// Where the byte of one answer goes.
struct AnswerTarget {
    std::uint8_t* cell = nullptr;  // stored into, or with verify compared with
    bool verify = false;
    std::uint32_t pos = 0;         // the address of the pass's step this answer belongs to
    bool completes = true;         // the step's last answer: progress counts the step done
};

class ReadPipeline {
public:
    // Called with the step's address when its last answer has been taken.
    using AnsweredFn = std::function<void(std::uint32_t pos)>;

    explicit ReadPipeline(const ProgContext& ctx, AnsweredFn answered = {});
    ReadPipeline(const ReadPipeline&) = delete;
    ReadPipeline& operator=(const ReadPipeline&) = delete;

    // Sends packet, which holds one pin read or one fetch, and takes byte 0 of its answer into
    // target once it comes. False when a step failed (its line written, the link closed) or a
    // verify has found a difference (no line, link kept; see Difference()); nothing is sent then.
    bool Read(const PacketBuilder& packet, std::string_view failText, std::string_view answerText,
              const AnswerTarget& target);
    // Collects every answer still to come. After a difference they are drained and dropped.
    // False when one is missing: the line names the step whose answer it is.
    bool Collect();

    // The address of the first difference a verify found.
    std::optional<std::uint32_t> Difference() const { return difference_; }
    // A step failed: its line is written and the link closed.
    bool Failed() const { return failed_; }
    // No answer is still to come.
    bool Idle() const { return pending_.empty(); }

private:
    struct Pending {
        AnswerTarget target;
        int length;
        std::string_view answerText;
        std::uint64_t sentAt;  // the link's bytes out before the packet
    };

    bool MustCollect(int length) const;
    bool CollectOldest();
    bool ReadAtOnce(const PacketBuilder& packet, std::string_view failText, std::string_view answerText,
                    const AnswerTarget& target);
    // Stores or compares one answer byte; false at a difference.
    bool Take(const AnswerTarget& target, std::uint8_t byte);
    bool Fail(LogKind kind, std::string_view text);
    void TellUnframed();

    ProgContext ctx_;  // without a pipeline: its own reads are the synchronous ones
    AnsweredFn answered_;
    std::deque<Pending> pending_;
    int pendingBytes_ = 0;
    std::optional<std::uint32_t> difference_;
    bool failed_ = false;
    bool fetchedAhead_ = false;
    bool sentAhead_ = false;  // answers were collected behind later packets since the last check
};

// A memory byte read of a unit's read loop: through ctx.pipeline when the pass has one,
// otherwise its answer is read right after its packet.
bool ReadMemoryByte(const ProgContext& ctx, const PacketBuilder& packet, std::string_view failText,
                    std::string_view answerText, const AnswerTarget& target);

}  // namespace velmora
