// velmora-sim: one simulated gateway with a chip, served on a pseudo-terminal.
//
//   velmora-sim [--chip NAME] [--pace] [--answer-latency MS] [--json FILE] [fault options]
//
// Prints the device path on the first line of standard output, then serves until it is
// interrupted (SIGINT, SIGTERM) or the "unplugged" fault ends it; on the way out it writes
// the chip's memories and fuses as JSON when --json is given.

#include "sim/ptyserver.h"
#include "sim/simchips.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

std::atomic<bool> stopRequested{false};

void OnSignal(int) { stopRequested.store(true); }

// The usage text: on standard output when asked for with --help, else with the problem on
// standard error.
int Usage(const char* problem)
{
    if (problem)
        std::fprintf(stderr, "velmora-sim: %s\n", problem);
    std::fprintf(problem ? stderr : stdout,
                 "usage: velmora-sim [--chip NAME] [--pace] [--answer-latency MS] [--timing-slack US]\n"
                 "                   [--json FILE]\n"
                 "                   [--silent-after N] [--unplug-after N] [--no-handshake]\n"
                 "                   [--busy-forever] [--wrong-echo] [--empty-socket]\n"
                 "                   [--fetch-bytes N] | --list\n"
                 "  --chip NAME        the chip in the socket (default ATmega8)\n"
                 "  --pace             model the line: each byte arrives at its time at 250000\n"
                 "                     baud, 11 bits, both ways; the chip's busy times count\n"
                 "                     from the arrival of its instruction\n"
                 "  --answer-latency MS  (with the line model) hand answers over only MS after\n"
                 "                     the first waiting byte, or when 62 bytes wait, as USB\n"
                 "                     serial adapters do\n"
                 "  --timing-slack US  (with the line model) accept the chip's next instruction\n"
                 "                     up to US microseconds early (for loaded machines)\n"
                 "  --json FILE        write the chip's memories and fuses as JSON on exit\n"
                 "  --silent-after N   stop executing and answering after N received bytes\n"
                 "  --unplug-after N   the device disappears after N received bytes\n"
                 "  --no-handshake     never answer the connection handshake\n"
                 "  --busy-forever     the chip's RDY/BSY never reports ready\n"
                 "  --wrong-echo       the chip answers Programming Enable with a wrong echo\n"
                 "  --empty-socket     no chip in the socket: nothing drives the bus or MISO\n"
                 "  --fetch-bytes N    answer SpiFetch with N bytes (4 to 32; default 4)\n"
                 "  --list             print the simulated chips and exit\n"
                 "  --version          print the version and exit\n");
    return problem ? 2 : 0;
}

bool ParseCount(const char* text, long& value)
{
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end && *end == '\0' && end != text && value >= 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    using namespace velmora::sim;
    std::string chipName = "ATmega8";
    std::string jsonPath;
    bool pace = false;
    AnswerLatency latency;
    long timingSlackUs = 0;
    SimFaults faults;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "velmora-sim: %s needs %s\n", arg.c_str(), what);
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--chip") {
            const char* v = value("a chip name");
            if (!v)
                return Usage("--chip needs a value");
            chipName = v;
        } else if (arg == "--json") {
            const char* v = value("a file name");
            if (!v)
                return Usage("--json needs a value");
            jsonPath = v;
        } else if (arg == "--pace") {
            pace = true;
        } else if (arg == "--timing-slack") {
            const char* v = value("microseconds");
            if (!v || !ParseCount(v, timingSlackUs) || timingSlackUs > 5000)
                return Usage("--timing-slack takes microseconds from 0 to 5000");
        } else if (arg == "--answer-latency") {
            const char* v = value("milliseconds");
            long n = 0;
            if (!v || !ParseCount(v, n) || n > 1000)
                return Usage("--answer-latency takes milliseconds from 0 to 1000");
            latency.latencyMs = int(n);
            pace = true;
        } else if (arg == "--silent-after" || arg == "--unplug-after") {
            const char* v = value("a byte count");
            long n = 0;
            if (!v || !ParseCount(v, n))
                return Usage("a byte count is a number of 0 or more");
            (arg == "--silent-after" ? faults.silentAfterBytes : faults.unplugAfterBytes) = n;
        } else if (arg == "--no-handshake") {
            faults.noHandshakeAnswer = true;
        } else if (arg == "--busy-forever") {
            faults.chipBusyForever = true;
        } else if (arg == "--wrong-echo") {
            faults.wrongEnableEcho = true;
        } else if (arg == "--empty-socket") {
            faults.emptySocket = true;
        } else if (arg == "--fetch-bytes") {
            const char* v = value("a byte count");
            long n = 0;
            if (!v || !ParseCount(v, n) || n < 4 || n > 32)
                return Usage("--fetch-bytes takes a number from 4 to 32");
            faults.fetchAnswerBytes = int(n);
        } else if (arg == "--list") {
            for (const SimChipModel& m : SimChipModels())
                std::printf("%s\n", std::string(m.name).c_str());
            return 0;
        } else if (arg == "--help" || arg == "-h") {
            return Usage(nullptr);
        } else if (arg == "--version") {
            std::printf("velmora-sim %s\n", VELMORA_VERSION);
            return 0;
        } else {
            return Usage(("unknown argument: " + arg).c_str());
        }
    }
    const SimChipModel* model = FindSimChip(chipName);
    if (!model)
        return Usage(("unknown chip: " + chipName + " (see --list)").c_str());

    auto gateway = std::make_shared<SimGateway>(*model);
    gateway->SetFaults(faults);
    gateway->Chip().timingSlackUs = timingSlackUs;
    PtyServer server(gateway, pace, latency);
    std::string error;
    if (!server.Open(&error)) {
        std::fprintf(stderr, "velmora-sim: cannot open a pseudo-terminal: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("%s\n", server.DevicePath().c_str());
    std::fflush(stdout);
    server.Serve(stopRequested);

    if (!jsonPath.empty()) {
        FILE* f = std::fopen(jsonPath.c_str(), "w");
        if (!f) {
            std::fprintf(stderr, "velmora-sim: cannot write %s\n", jsonPath.c_str());
            return 1;
        }
        const std::string json = ChipStateJson(gateway->Chip());
        std::fwrite(json.data(), 1, json.size(), f);
        std::fclose(f);
    }
    return 0;
}
