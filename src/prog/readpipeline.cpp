#include "prog/readpipeline.h"

#include "log/text.h"

#include <string>

namespace velmora {

ReadPipeline::ReadPipeline(const ProgContext& ctx, AnsweredFn answered) : ctx_(ctx), answered_(std::move(answered))
{
    ctx_.pipeline = nullptr;
}

bool ReadPipeline::Take(const AnswerTarget& target, std::uint8_t byte)
{
    if (target.verify) {
        if (*target.cell != byte) {
            difference_ = target.pos;
            return false;
        }
    } else {
        *target.cell = byte;
    }
    if (target.completes && answered_)
        answered_(target.pos);
    return true;
}

bool ReadPipeline::Fail(LogKind kind, std::string_view text)
{
    ctx_.log.WriteLog(kind, Text(text));
    ctx_.link.SendSafePacket();
    ctx_.link.CloseGateway();
    pending_.clear();
    pendingBytes_ = 0;
    failed_ = true;
    return false;
}

void ReadPipeline::TellUnframed()
{
    GatewayLink::SpiFetchFraming& framing = ctx_.link.FetchFraming();
    framing.unframed = true;
    if (framing.told)
        return;
    framing.told = true;
    ctx_.log.WriteLog(LogPlain, QStringLiteral("The gateway's SPI answers differ in length: serial reads wait for each answer"));
}

bool ReadPipeline::MustCollect(int length) const
{
    if (pending_.empty())
        return false;
    const ReadAhead& depth = ctx_.readAhead;
    const std::uint64_t lineAhead = ctx_.link.Counters().bytesOut - pending_.front().sentAt;
    return int(pending_.size()) >= depth.answers || pendingBytes_ + length > depth.answerBytes ||
           lineAhead >= std::uint64_t(depth.lineBytes);
}

bool ReadPipeline::CollectOldest()
{
    if (!ctx_.link.IsOpen()) {
        // A send of the pass failed and wrote its line: these answers will never come.
        pending_.clear();
        pendingBytes_ = 0;
        failed_ = true;
        return false;
    }
    const Pending oldest = pending_.front();
    pending_.pop_front();
    pendingBytes_ -= oldest.length;
    const GatewayPacket answer = ctx_.link.ReadFramed(oldest.length);
    if (answer.count == 0)
        return Fail(LogAnswerError, oldest.answerText);
    if (answer.count < oldest.length) {
        // A fetch answer shorter than the connection's first: the framing no longer holds,
        // and what was taken behind it cannot be trusted.
        TellUnframed();
        return Fail(LogAnswerError, oldest.answerText);
    }
    if (!difference_)
        Take(oldest.target, answer.data[0]);
    return true;
}

bool ReadPipeline::Collect()
{
    if (failed_)
        return false;
    std::string_view lastText;
    while (!pending_.empty()) {
        lastText = pending_.front().answerText;
        if (!CollectOldest())
            return false;
    }
    // Bytes beyond the last framed answer: the answers taken were out of step with their
    // packets. Fetches: a gateway whose answers grew longer than the first one. Pin reads,
    // answered with one byte each: a byte that came from somewhere else (noise, a leftover),
    // which cannot be told from the right one, so nothing read in this window can be trusted.
    if (sentAhead_ && (ctx_.link.SurplusHeld() > 0 || ctx_.link.ReadLate(0).count > 0)) {
        if (fetchedAhead_) {
            TellUnframed();
            return Fail(LogAnswerError, lastText);
        }
        return Fail(LogAnswerError, std::string(lastText) + ": more bytes came than were asked for");
    }
    sentAhead_ = fetchedAhead_ = false;
    return true;
}

bool ReadPipeline::ReadAtOnce(const PacketBuilder& packet, std::string_view failText, std::string_view answerText,
                              const AnswerTarget& target)
{
    GatewayPacket answer;
    if (!Collect() || !ctx_.Exchange(packet, failText, answerText, answer)) {
        failed_ = failed_ || !ctx_.link.IsOpen();
        return false;
    }
    return Take(target, answer.data[0]);
}

bool ReadPipeline::Read(const PacketBuilder& packet, std::string_view failText, std::string_view answerText,
                        const AnswerTarget& target)
{
    if (failed_ || difference_)
        return false;
    int length = packet.ExpectedAnswer();
    if (packet.Fetches()) {
        const GatewayLink::SpiFetchFraming& framing = ctx_.link.FetchFraming();
        if (framing.unframed)
            TellUnframed();
        // Until the first fetch has shown the gateway's answer length, and without one, each
        // fetch is answered before the next packet.
        if (framing.unframed || framing.length == 0)
            return ReadAtOnce(packet, failText, answerText, target);
        length = framing.length;
    }
    if (ctx_.readAhead.Synchronous())
        return ReadAtOnce(packet, failText, answerText, target);

    while (MustCollect(length)) {
        if (!CollectOldest())
            return false;
    }
    if (difference_)
        return false;
    const std::uint64_t sentAt = ctx_.link.Counters().bytesOut;
    if (!ctx_.link.SendAhead(packet))
        return Fail(LogCommandError, failText);
    pending_.push_back({target, length, answerText, sentAt});
    pendingBytes_ += length;
    fetchedAhead_ = fetchedAhead_ || packet.Fetches();
    sentAhead_ = true;
    return true;
}

bool ReadMemoryByte(const ProgContext& ctx, const PacketBuilder& packet, std::string_view failText,
                    std::string_view answerText, const AnswerTarget& target)
{
    if (ctx.pipeline)
        return ctx.pipeline->Read(packet, failText, answerText, target);
    ProgContext synchronous = ctx;  // the cancel request and the rest as they are
    synchronous.readAhead = SynchronousReads;
    ReadPipeline once(synchronous);
    return once.Read(packet, failText, answerText, target);
}

}  // namespace velmora
