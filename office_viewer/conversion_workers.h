// The library's conversion workers: one thread per CConversionJob, which
// keeps its job alive for as long as it runs. Nobody waits for a running
// worker on the browser's plug-in thread: an instance that goes away
// cancels its job and leaves the thread here. Finished workers are joined
// whenever a worker starts or an instance goes, and when the library is
// unloaded or the process ends; then the remaining jobs are cancelled and
// waited for, at most sShutdownWaitMs, so that no worker runs code of an
// unloaded library.
//
// Plug-in thread only.
#pragma once

#include "office_viewer/conversion_job.h"
#include "platform/qv_shared_ptr.h"

namespace ConversionWorkers {

const int sShutdownWaitMs = 5000;

// Starts job->run() on a new thread; false (errno set) when none could be
// started.
bool start(const TQVSharedPtr<CConversionJob>& job);
// Joins the workers that have finished; never waits for a running one.
void joinFinished();

}  // namespace ConversionWorkers
