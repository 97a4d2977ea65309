#include "office_viewer/conversion_workers.h"

#include <cerrno>
#include <chrono>
#include <list>
#include <system_error>
#include <thread>

namespace ConversionWorkers {

namespace {

struct Worker {
    TQVSharedPtr<CConversionJob> job;
    std::thread thread;
};

class Registry {
public:
    ~Registry() {
        for (Worker& worker : mWorkers) {
            worker.job->cancel();
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(sShutdownWaitMs);
        while (!allDone() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        for (Worker& worker : mWorkers) {
            // One stuck past the wait (a dead disk) is left to itself.
            if (worker.job->isDone()) {
                worker.thread.join();
            } else {
                worker.thread.detach();
            }
        }
    }

    // A done job's thread has at most its last destructors to run.
    void joinDone() {
        for (auto it = mWorkers.begin(); it != mWorkers.end();) {
            if (it->job->isDone()) {
                it->thread.join();
                it = mWorkers.erase(it);
            } else {
                ++it;
            }
        }
    }

    bool start(const TQVSharedPtr<CConversionJob>& job) {
        joinDone();
        try {
            mWorkers.push_back(Worker{job, std::thread([job] { job->run(); })});
        } catch (const std::system_error& error) {
            errno = error.code().value();
            return false;
        }
        return true;
    }

private:
    bool allDone() const {
        for (const Worker& worker : mWorkers) {
            if (!worker.job->isDone()) return false;
        }
        return true;
    }

    std::list<Worker> mWorkers;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

}  // namespace

bool start(const TQVSharedPtr<CConversionJob>& job) { return registry().start(job); }

void joinFinished() { registry().joinDone(); }

}  // namespace ConversionWorkers
