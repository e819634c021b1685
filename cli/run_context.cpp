#include "run_context.h"

#include "advice.h"
#include "binding/port_diagnosis.h"
#include "binding/result_text.h"
#include "interrupt.h"
#include "platform.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace trk7700::cli {

using client::LinkCall;

int RunContext::fail(const std::string &message) const
{
    std::fprintf(stderr, "trk7700: %s\n", message.c_str());
    return kExitFailed;
}

void RunContext::note(const std::string &message) const
{
    if (!quiet) std::fprintf(stderr, "%s\n", message.c_str());
}

bool RunContext::callMade(const LinkCall &call) const
{
    if (call.made()) return true;
    fail(call.failure + " Build the project or reinstall it so that the library lies beside trk7700 or under lib/.");
    return false;
}

std::unique_ptr<ProgressReport> RunContext::progress() const
{
    std::FILE *nowhere = discardedOutput();
    if (quiet && nowhere != nullptr) return std::make_unique<ProgressReport>(nowhere, false);
    return std::make_unique<ProgressReport>(stderr, standardErrorIsTerminal());
}

LinkCall RunContext::runOnWorker(const std::function<LinkCall()> &call, const std::function<void()> &tick,
                                 const std::string &afterwards)
{
    LinkCall outcome;
    runWork([&] { outcome = call(); }, tick, afterwards);
    return outcome;
}

void RunContext::runWork(const std::function<void()> &work, const std::function<void()> &tick,
                         const std::string &afterwards)
{
    // A signal that came before the work begins ends the run before it.
    if (interruptSignal() != 0) endInterruptedRun(afterwards);
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread worker = startWorker([&] {
        work();
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_one();
    });
    auto nextTick = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex);
    while (!done) {
        // Short waits: a signal is noticed within 50 ms.
        finished.wait_for(lock, std::chrono::milliseconds(50));
        if (done) break;
        if (interruptSignal() != 0) {
            lock.unlock();
            endInterruptedRun(afterwards);
        }
        if (std::chrono::steady_clock::now() >= nextTick) {
            lock.unlock();
            tick();
            lock.lock();
            nextTick = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        }
    }
    lock.unlock();
    worker.join();
}

bool RunContext::someoneCanAnswer() { return standardInputIsTerminal(); }

bool RunContext::ask(const std::string &question) const
{
    if (!someoneCanAnswer()) return false;
    std::fprintf(stderr, "%s [y/N] ", question.c_str());
    std::fflush(stderr);
    std::string answer;
    char c = 0;
    for (;;) {
        const InputRead got = readInputCharacter(c);
        if (interruptSignal() != 0) endInterruptedRun();
        if (got == InputRead::broken) continue;
        if (got == InputRead::end || c == '\n') break;
        answer += c;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

Connection::~Connection()
{
    if (open_) context_.library.exitDumpMode();
}

bool Connection::open()
{
    LinkCall call;
    int32_t found = 0;
    if (context_.port == "auto") {
        context_.note("Searching the ports for a logger...");
        call = context_.runOnWorker([&] { return context_.library.autoIntoDumpMode(found); }, [] {});
    } else {
        found = std::atoi(context_.port.c_str());
        call = context_.runOnWorker([&] { return context_.library.intoDumpMode(found); }, [] {});
    }
    if (!context_.callMade(call)) return false;
    if (call.result != return_into_dump_mode_successful) {
        if (context_.port == "auto" && call.result == return_can_not_open_com_port)
            context_.fail("no logger found on any port (" + client::resultText(call.result) +
                          "). Check that it is switched on and connected; 'trk7700 ports' lists the ports.");
        else if (call.result == return_can_not_open_com_port)
            context_.fail("cannot connect on COM" + context_.port + ": " + client::resultText(call.result) + ". " +
                          client::explainPortFailure(found));
        else
            context_.fail("cannot connect on COM" + context_.port + ": " + explainFailure(call.result));
        return false;
    }
    comPort_ = found;
    open_ = true;
    const std::string device = portDevicePath(found);
    setLoggerDevice(device);
    context_.note("Connected to the logger on COM" + std::to_string(found) +
                  (device.empty() ? "" : " (" + device + ")") + ".");
    return true;
}

}  // namespace trk7700::cli
