#pragma once
// A stop asked for from outside the program: SIGINT (Ctrl+C), SIGTERM, SIGHUP. A command
// must not end with +5 V and +12 V on the socket and the chip in programming mode, so the
// handler only notes the stop; from then on the link takes no packet but the one that switches
// the supplies off (GatewayLink::SendSafePacket), the running command fails at its next step
// (which sends that packet and closes the port), and the front end ends once it has. A second
// signal changes nothing: the packet already on its way is still sent.

namespace velmora {

// Installs the handlers for SIGINT, SIGTERM and SIGHUP (once per process).
void InstallStopSignals();
// True once a stop was asked for.
bool StopRequested();
// The signal that asked for it, or 0.
int StopSignal();
// The same as a signal does, from the program itself (tests).
void RequestStop(int signal);
void ClearStopRequest();

}  // namespace velmora
