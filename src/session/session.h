#pragma once
// One run's work with the gateway, behind both the window and the command line: the port text
// made into a link, Connect and Disconnect, chip commands run on a copy of the current chip
// where the link lives and their results taken back, Autosearch, and what a read or write of
// the lock and fuse bytes leaves in the current chip. It shows nothing and asks nothing: the
// front ends ask their questions first and show what it leaves.
//
// Where a job runs is the front end's choice (the Executor): the window runs it on its worker
// thread behind the progress window, the command line on its own thread with a bar on the
// terminal. Everything else is called on the front end's thread.

#include "chips/chip.h"
#include "chips/selection.h"
#include "fuses/fusecommands.h"
#include "ops/chipjob.h"
#include "session/portlinks.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace velmora {

class OperationLog;

// Runs a chip command on a copy of the current chip and takes the copy back; the front ends
// and the Lock & Fuses dialog reach the chip through one of these.
using ChipJobRunner = std::function<bool(const ChipCommand& command)>;

// The dialog's Read: the bytes into FuseDefaults, and after a complete read also into
// FusesReadFromChip. Nothing when the command did not run.
std::optional<FuseOutcome> ReadFusesInto(ChipState& chips, const ChipJobRunner& run);
// The dialog's Write of FuseDefaults; when the chip's values were read back, both
// FuseDefaults and FusesReadFromChip hold them: what the chip holds is what it will do.
FuseWriteReport WriteFusesFrom(ChipState& chips, const ChipJobRunner& run);

class Session {
public:
    // A piece of work where the link lives, with the progress callback of the front end.
    using WorkerJob = std::function<void(const ProgressFn& progress)>;
    // Runs job and returns when it has ended; false (nothing run) when it cannot run it now.
    using Executor = std::function<bool(const WorkerJob& job)>;

    Session(ChipState& chips, OperationLog& log);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The serial link alone unless set.
    void SetLinkFactory(PortLinkFactory factory) { linkFactory_ = std::move(factory); }
    // On the calling thread, with no progress, unless set.
    void SetExecutor(Executor executor) { executor_ = std::move(executor); }
    // DelaysValue, 0 to 5 ms; 1 at start, like the window's track bar.
    void SetDelaysValue(int value) { delaysValue_ = value; }
    int DelaysValue() const { return delaysValue_; }

    ChipState& Chips() { return chips_; }
    OperationLog& Log() { return log_; }

    // Connect: a link still there is let go (its supplies off, no line), the port text made
    // into a link, then opened with its handshake and "The COM-port is open: " line. On
    // failure *reason says why for a status line; *devicePath names what was to be opened.
    bool Connect(const QString& portText, QString* devicePath = nullptr, QString* reason = nullptr);
    // Disconnect, with its line; "The COM-port is closed" also when never connected.
    void Disconnect();
    // The way out of the program: the supplies off and the port closed, with no line.
    void Release();
    // Whether a link was ever made (Autosearch needs one), and whether it is open now.
    bool HasLink() const { return link_ != nullptr; }
    bool IsConnected() const { return link_ && link_->IsOpen(); }

    // Runs command on a copy of the current chip where the link lives, then takes the copy's
    // images, lock and fuse slots and calibration bytes back. Never connected: the command
    // still runs, and its first gateway step fails. False when it did not end with success.
    bool RunChipJob(const ChipCommand& command);
    ChipJobRunner JobRunner() { return [this](const ChipCommand& command) { return RunChipJob(command); }; }

    // Work of the front end's own on the link, where the link lives, with the context a chip
    // job gets; false (nothing run) without a link.
    bool RunOnLink(const std::function<void(const ProgContext& ctx)>& work);

    // Identification alone: the signature read of Autosearch, leaving the current chip and
    // NiietMode as they are.
    std::optional<SignatureCode> ReadSignature();
    // Autosearch: the signature read, NiietMode as it leaves it, then the selection of the code
    // read (shown through showChip). Nothing without a link.
    struct AutosearchResult {
        std::optional<SignatureCode> code;  // none when the gateway steps failed
        const ChipEntry* entry = nullptr;   // the chip selected; null for a code no chip has
    };
    AutosearchResult Autosearch(const ShowChipFn& showChip);

    // Lock and fuse bytes of the current chip: ReadFusesInto and WriteFusesFrom on this session.
    std::optional<FuseOutcome> ReadFuses() { return ReadFusesInto(chips_, JobRunner()); }
    FuseWriteReport WriteFuses() { return WriteFusesFrom(chips_, JobRunner()); }

private:
    bool Run(const WorkerJob& job);
    // Only where the link lives, while a job runs.
    ProgContext Context() const;
    std::optional<SignatureCode> ReadCode(int& niietMode);

    ChipState& chips_;
    OperationLog& log_;
    PortLinkFactory linkFactory_;
    Executor executor_;
    int delaysValue_ = 1;
    std::unique_ptr<GatewayLink> link_;  // "GatewayPort": used only where the jobs run
    MillisecondSleeper sleeper_ = SleepMilliseconds;
};

}  // namespace velmora
