#include "converter_program/conversion.h"

#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "converter_program/html_sanitizer.h"
#include "converter_program/service_client.h"
#include "converter_program/staging.h"
#include "converter_program/suite_environment.h"
#include "converter_program/suite_profile.h"
#include "converter_program/suite_runner.h"
#include "converter_program/type_detection.h"

extern char** environ;

namespace {

double secondsSince(const struct timespec& start) {
    struct timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) + static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
}

std::string absolutePath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) {
        return std::string();
    }
    return resolved;
}

std::string readSmallFile(const std::string& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();
    return text.size() > limit ? text.substr(text.size() - limit) : text;
}

std::string trimmed(const std::string& text) {
    std::string::size_type begin = text.find_first_not_of(" \t\r\n");
    std::string::size_type end = text.find_last_not_of(" \t\r\n");
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

bool checkDocument(const std::string& path, CPipeReporter& reporter) {
    eDocumentContainer container = detectContainer(path);
    switch (container) {
        case eContainerUnreadable:
            reporter.reportf(CPipeReporter::ERROR, "Error: can't read %s: %s", path.c_str(), std::strerror(errno));
            return false;
        case eContainerEmpty:
            reporter.reportf(CPipeReporter::ERROR, "Error: %s is empty", path.c_str());
            return false;
        case eContainerUnknown:
            reporter.reportf(CPipeReporter::ERROR, "Error: %s is not a Word, Excel or PowerPoint document",
                             path.c_str());
            return false;
        case eContainerCompound:
        case eContainerZip:
            break;
    }
    reporter.reportf(CPipeReporter::MESSAGE, "Document container: %s", containerName(container));
    return true;
}

bool makeDir(const std::string& dir, CPipeReporter& reporter) {
    if (::mkdir(dir.c_str(), 0700) != 0) {
        reporter.reportf(CPipeReporter::ERROR, "Error: can't create %s: %s", dir.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

enum eExport {
    eExportDone,      // result holds the export macro's status line
    eExportFailed,    // already reported
    eExportTooLarge,  // the pages passed the output cap; not reported yet
    eExportNotTried,  // the office suite service can't; the conversion's own suite must
};

// The export by a suite of this conversion's own, with a new profile.
eExport exportWithOwnSuite(const tSuiteEnvironmentInput& input, const std::string& stagingDir,
                           const std::string& profileDir, const tConverterSettings& settings,
                           CPipeReporter& reporter, std::string& result, unsigned long long& outputSize) {
    if (!makeDir(profileDir, reporter)) {
        return eExportFailed;
    }
    if (!NSuiteProfile::create(profileDir, NSuiteProfile::productVersion(settings.suiteProgram))) {
        reporter.reportf(CPipeReporter::ERROR, "Error: can't create the office profile: %s", std::strerror(errno));
        return eExportFailed;
    }
    tSuiteRun run;
    run.program = settings.suiteProgram;
    run.profileDir = profileDir;
    run.stagingDir = stagingDir;
    run.resultPath = input.resultPath;
    run.logPath = input.workDir + "suite.log";
    run.environment = buildSuiteEnvironment(environ, input);
    run.outputLimit = settings.outputLimit;

    reporter.report(CPipeReporter::MESSAGE, "Starting the office suite");
    tSuiteReport report = runSuite(run);
    if (report.outcome == eSuiteStartFailed) {
        reporter.reportf(CPipeReporter::ERROR, "Error: can't start %s: %s", settings.suiteProgram.c_str(),
                         std::strerror(report.startError));
        return eExportFailed;
    }
    if (report.outcome == eSuiteOutputTooLarge) {
        return eExportTooLarge;
    }
    result = trimmed(readSmallFile(run.resultPath, 1000));
    outputSize = report.outputSize;
    reporter.reportf(CPipeReporter::MESSAGE, "Office suite ended with status %d after %d start(s): %s",
                     report.exitStatus, report.starts, result.empty() ? "no result" : result.c_str());
    struct stat status;
    if (result.compare(0, 3, "ok ") != 0 || ::stat(input.targetPath.c_str(), &status) != 0) {
        std::string log = trimmed(readSmallFile(run.logPath, 600));
        if (!log.empty()) {
            reporter.report(CPipeReporter::WARNING, "Warning: office suite output: " + log);
        }
    }
    return eExportDone;
}

// The export by the office suite service (service_client.h).
eExport exportWithSharedSuite(const tSuiteEnvironmentInput& input, const std::string& stagingDir,
                              const tConverterSettings& settings, CPipeReporter& reporter, std::string& result,
                              unsigned long long& outputSize) {
    tServiceResult service = exportWithService(settings, buildSuiteEnvironment(environ, input), stagingDir);
    if (service.started) {
        reporter.reportf(CPipeReporter::MESSAGE, "Started the office suite service in %s",
                         settings.serviceDir.c_str());
    }
    switch (service.outcome) {
        case eServiceExported:
            result = service.status;
            outputSize = service.outputSize;
            reporter.reportf(CPipeReporter::MESSAGE, "Office suite service: %s", result.c_str());
            return eExportDone;
        case eServiceTooLarge:
            return eExportTooLarge;
        case eServiceTimedOut:
            reporter.reportf(CPipeReporter::ERROR, "Error: the office suite service did not finish within %u s",
                             settings.timeLimit);
            return eExportFailed;
        case eServiceUnavailable:
            break;
    }
    reporter.report(CPipeReporter::WARNING, "Warning: office suite service: " + service.status);
    return eExportNotTried;
}

// The part of a conversion that runs inside the work directory. True when
// the cleaned result is in the destination.
bool convertIn(const std::string& workDir, const std::string& sourcePath, const tConverterArgs& args,
               const tConverterSettings& settings, CPipeReporter& reporter) {
    tSuiteEnvironmentInput input;
    input.workDir = workDir;
    input.tempDir = workDir + "tmp";
    input.sourcePath = sourcePath;
    input.resultPath = workDir + "result";
    if (!makeDir(input.tempDir, reporter)) {
        return false;
    }
    // The service exports into a directory of its own: a suite it is
    // killing may still write there while this conversion's own suite runs.
    std::string stagingDir;
    std::string result;
    unsigned long long outputSize = 0;
    auto exportInto = [&](const std::string& name, const std::string& round, bool shared) {
        stagingDir = workDir + name + round;
        input.targetPath = stagingDir + args.entryPageName;
        if (!makeDir(stagingDir, reporter)) {
            return eExportFailed;
        }
        return shared ? exportWithSharedSuite(input, stagingDir, settings, reporter, result, outputSize)
                      : exportWithOwnSuite(input, stagingDir, workDir + "profile" + round, settings, reporter,
                                           result, outputSize);
    };
    auto exportOnce = [&](const std::string& round) {
        eExport exported = settings.serviceIdle > 0 ? exportInto("shared", round, true) : eExportNotTried;
        return exported == eExportNotTried ? exportInto("staging", round, false) : exported;
    };
    // Large sheets are cut to fit a budget by an estimate of their size; when
    // the estimate was too low and the pages pass the cap, the export is
    // repeated once with a quarter of it, so that the document is shown cut
    // rather than not at all.
    input.outputBudget = settings.outputLimit / 5 * 4;
    eExport exported = exportOnce("/");
    if (exported == eExportTooLarge) {
        input.outputBudget = settings.outputLimit / 4;
        reporter.reportf(CPipeReporter::WARNING,
                         "Warning: the converted document exceeds %llu bytes; exporting it again within %llu bytes",
                         settings.outputLimit, input.outputBudget);
        exported = exportOnce("-again/");
    }
    if (exported == eExportTooLarge) {
        reporter.reportf(CPipeReporter::ERROR, "Error: the converted document exceeds %llu bytes",
                         settings.outputLimit);
        return false;
    }
    if (exported == eExportFailed) {
        return false;
    }
    struct stat status;
    bool haveEntryPage = ::stat(input.targetPath.c_str(), &status) == 0 && S_ISREG(status.st_mode);
    if (result.compare(0, 3, "ok ") != 0 || !haveEntryPage) {
        std::string reason = result.compare(0, 6, "error ") == 0 ? result.substr(6) : "no HTML was produced";
        reporter.report(CPipeReporter::ERROR, "Error: the document could not be converted: " + reason);
        return false;
    }

    unsigned removed = 0;
    std::string failedPath;
    if (!NHtmlSanitizer::sanitizeTree(stagingDir, removed, failedPath)) {
        reporter.reportf(CPipeReporter::ERROR, "Error: can't clean %s: %s", failedPath.c_str(), std::strerror(errno));
        return false;
    }
    if (removed > 0) {
        reporter.reportf(CPipeReporter::WARNING, "Warning: removed %u active content item(s) from the HTML", removed);
    }

    std::string failedEntry;
    if (!NStaging::moveContents(stagingDir, args.destinationDir, failedEntry)) {
        int error = errno;
        ::unlink(args.entryPagePath.c_str());
        reporter.reportf(CPipeReporter::ERROR, "Error: can't move %s into %s: %s", failedEntry.c_str(),
                         args.destinationDir.c_str(), std::strerror(error));
        return false;
    }
    reporter.reportf(CPipeReporter::MESSAGE, "Exported %s, %llu bytes", result.substr(3).c_str(), outputSize);
    return true;
}

}  // namespace

int runConversion(const tConverterArgs& args, const tConverterSettings& settings, CPipeReporter& reporter) {
    struct timespec start;
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    reporter.reportf(CPipeReporter::MESSAGE, "Converting %s to %s", args.sourcePath.c_str(),
                     args.entryPagePath.c_str());
    if (!checkDocument(args.sourcePath, reporter)) {
        return 1;
    }
    if (::access(settings.suiteProgram.c_str(), X_OK) != 0) {
        reporter.reportf(CPipeReporter::ERROR, "Error: office suite %s: %s", settings.suiteProgram.c_str(),
                         std::strerror(errno));
        return 1;
    }
    if (::mkdir(args.destinationDir.c_str(), 0777) != 0 && errno != EEXIST) {
        reporter.reportf(CPipeReporter::ERROR, "Error: can't create %s: %s", args.destinationDir.c_str(),
                         std::strerror(errno));
        return 1;
    }
    const std::string sourcePath = absolutePath(args.sourcePath);
    const std::string destination = absolutePath(args.destinationDir);
    if (sourcePath.empty() || destination.empty()) {
        reporter.reportf(CPipeReporter::ERROR, "Error: can't resolve the paths: %s", std::strerror(errno));
        return 1;
    }
    std::string workDir;
    if (!NStaging::makeWorkDir(destination + "/", workDir)) {
        reporter.reportf(CPipeReporter::ERROR, "Error: can't create a work directory in %s: %s",
                         destination.c_str(), std::strerror(errno));
        return 1;
    }
    bool converted = convertIn(workDir, sourcePath, args, settings, reporter);
    if (!NStaging::removeTree(workDir)) {
        reporter.reportf(CPipeReporter::WARNING, "Warning: can't remove %s: %s", workDir.c_str(),
                         std::strerror(errno));
    }
    if (!converted) {
        return 1;
    }
    reporter.reportf(CPipeReporter::MESSAGE, "Converted in %.2f s", secondsSince(start));
    return 0;
}
