// The converter's side of the office suite service (converter_service.py):
// one long-lived process per user that keeps an office suite running and
// exports documents with it, one at a time, for every DerazoZoraveMain.
//
// The service lives in a private directory (settings.serviceDir: mode 0700,
// owned by this user, checked before every use) and listens on its Unix
// stream socket "socket". When nothing answers there (no socket, or a stale
// one), the client starts a service (service_launcher.h) and connects again
// for up to sServiceStartSeconds (less when that service ends: it could not
// run, or another one serves). A peer of another user, or one that does
// not greet like the service within sGreetingSeconds, is not used.
//
// One request per connection. Service to client, lines ending in "\n":
//   "rrz-converter-service 1"   the greeting, as soon as it accepts
//   "queued <n>"                waiting, n conversions ahead (repeated)
//   "started"                   the suite is exporting this document
//   "ok <kind>" | "error <reason>"   the export's status line, the same the
//                               one-shot macro writes to RRZ_RESULT (final)
//   "lost <reason>"             the service could not convert it (the suite
//                               could not start or died meanwhile) (final)
//   "busy"                      too many waiting (final)
//   "status service=<pid> suite=<pid> rss=<KiB> waiting=<n> converting=<0|1>"
//                               the suite's figures as of its last conversion
//   "stopping"                  the service ends (final)
// Client to service: NUL-terminated fields and one empty field at the end:
//   "convert" <time limit in whole seconds> <"RRZ_NAME=value">...
//   "status"  |  "stop"
// A client that goes away (or closes its socket) during its conversion makes
// the service kill the suite and start a fresh one; so does a conversion
// past its time limit.
//
// REQUIRES: single-threaded process, SIGPIPE ignored (see conversion.h).
#pragma once

#include <string>
#include <vector>

#include "converter_program/converter_settings.h"

enum eServiceOutcome {
    eServiceExported,     // status holds the export's status line
    eServiceTooLarge,     // the staging directory passed the output cap
    eServiceTimedOut,     // no final answer within the time limit
    eServiceUnavailable,  // status holds why; convert without the service
};

struct tServiceResult {
    eServiceOutcome outcome = eServiceUnavailable;
    std::string status;
    unsigned long long outputSize = 0;
    bool started = false;  // this call started the service
};

extern const int sServiceStartSeconds;
extern const int sGreetingSeconds;

// Exports one document through the service. environment: the "RRZ_*"
// entries the export macro would get (the rest is ignored); stagingDir is
// measured against settings.outputLimit while the suite writes.
tServiceResult exportWithService(const tConverterSettings& settings, const std::vector<std::string>& environment,
                                 const std::string& stagingDir);

// Asks a running service for "status" or "stop" and returns its answer
// line without the "\n", or "" when no service answers. For tools and tests.
std::string askService(const std::string& serviceDir, const std::string& request);
