#include "telvara/link/QueueTakeover.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

#include <signal.h>
#include <unistd.h>

namespace telvara::link {
namespace {

using platform::spooler::QueueInfo;
using platform::spooler::QueueState;
using platform::spooler::Result;
using platform::spooler::Status;

constexpr const char* kMarkerPrefix = "Port in use by Telvara (pid ";
constexpr std::size_t kMaxHostLength = 255;

std::mutex& registryLock()
{
    static std::mutex lock;
    return lock;
}

std::vector<std::string>& registry()
{
    static std::vector<std::string> queues;
    return queues;
}

void registerQueue(const std::string& name)
{
    std::lock_guard<std::mutex> guard(registryLock());
    auto& queues = registry();
    if (std::find(queues.begin(), queues.end(), name) == queues.end())
        queues.push_back(name);
}

void unregisterQueue(const std::string& name)
{
    std::lock_guard<std::mutex> guard(registryLock());
    auto& queues = registry();
    queues.erase(std::remove(queues.begin(), queues.end(), name), queues.end());
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool startsWithNoCase(const std::string& text, const char* prefix)
{
    std::size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (i >= text.size())
            return false;
        const char a = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (a != prefix[i])
            return false;
    }
    return true;
}

std::string permissionHint(const Result& result)
{
    return result.status == Status::NotPermitted
               ? " (stopping a queue needs the printer administrator's rights: add your user to the 'lpadmin' group)"
               : "";
}

// Resumes `name`; a queue deleted meanwhile needs nothing more.
bool resume(platform::spooler::Spooler& spooler, const std::string& name, RestoreResult& out)
{
    const Result result = spooler.resumeQueue(name);
    if (result.ok() || result.status == Status::NotFound) {
        if (result.ok())
            out.resumed.push_back(name);
        return true;
    }
    out.failed.push_back(name);
    if (out.detail.empty())
        out.detail = result.describe("resume printer queue " + name) + permissionHint(result);
    return false;
}

} // namespace

ProcessIdentity currentProcess()
{
    ProcessIdentity self;
    self.pid = static_cast<long>(::getpid());
    char host[kMaxHostLength + 1] = {};
    if (::gethostname(host, kMaxHostLength) == 0)
        self.host = host;
    else
        self.host = "localhost";
    self.alive = [](long pid) {
        if (pid <= 0 || pid > INT_MAX)
            return false;
        return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
    };
    self.resolve = [](const std::string& path) {
        char resolved[PATH_MAX];
        if (!path.empty() && ::realpath(path.c_str(), resolved) != nullptr)
            return std::string(resolved);
        return path;
    };
    return self;
}

std::string takeoverMarker(long pid, const std::string& host)
{
    return kMarkerPrefix + std::to_string(pid) + " on " + host + ")";
}

bool parseTakeoverMarker(const std::string& message, long& pid, std::string& host)
{
    const std::string prefix = kMarkerPrefix;
    if (message.size() <= prefix.size() || message.compare(0, prefix.size(), prefix) != 0 || message.back() != ')')
        return false;
    std::size_t i = prefix.size();
    long value = 0;
    std::size_t digits = 0;
    while (i < message.size() && message[i] >= '0' && message[i] <= '9') {
        if (++digits > 9)
            return false;
        value = value * 10 + (message[i] - '0');
        ++i;
    }
    const std::string on = " on ";
    // One spelling per pid: no leading zeros, no pid 0.
    if (digits == 0 || message[prefix.size()] == '0' || message.compare(i, on.size(), on) != 0)
        return false;
    i += on.size();
    const std::size_t hostLength = message.size() - 1 - i;
    if (hostLength == 0 || hostLength > kMaxHostLength)
        return false;
    pid = value;
    host = message.substr(i, hostLength);
    return true;
}

std::string portDeviceOfUri(const std::string& deviceUri)
{
    std::size_t start = 0;
    if (startsWithNoCase(deviceUri, "serial:"))
        start = 7;
    else if (startsWithNoCase(deviceUri, "parallel:"))
        start = 9;
    else
        return {};
    const std::size_t end = std::min(deviceUri.find('?', start), deviceUri.size());
    std::string path;
    for (std::size_t i = start; i < end; ++i) {
        if (deviceUri[i] == '%' && i + 2 < end) {
            const int high = hexDigit(deviceUri[i + 1]);
            const int low = hexDigit(deviceUri[i + 2]);
            if (high >= 0 && low >= 0) {
                path.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        path.push_back(deviceUri[i]);
    }
    return path;
}

QueueTakeover::QueueTakeover(platform::spooler::Spooler& spooler, ProcessIdentity self)
    : spooler_(spooler), self_(std::move(self))
{
    if (!self_.resolve)
        self_.resolve = [](const std::string& path) { return path; };
    if (!self_.alive)
        self_.alive = [](long) { return true; };
}

QueueTakeover::~QueueTakeover()
{
    restore();
}

TakeoverResult QueueTakeover::takeOver(const std::string& devicePath)
{
    TakeoverResult out;
    std::vector<QueueInfo> queues;
    const Result listed = spooler_.listQueues(queues);
    if (!listed.ok()) {
        out.status = TakeoverStatus::Warning;
        out.detail = listed.describe("list printer queues") + permissionHint(listed);
        return out;
    }
    const std::string chosen = self_.resolve(devicePath);
    std::vector<const QueueInfo*> matching;
    for (const QueueInfo& queue : queues) {
        const std::string device = portDeviceOfUri(queue.deviceUri);
        if (!device.empty() && self_.resolve(device) == chosen)
            matching.push_back(&queue);
    }
    // A printing queue holds the port now: refuse before stopping anything,
    // so a refused check leaves the spooler as it found it.
    for (const QueueInfo* queue : matching) {
        if (queue->state == QueueState::Printing) {
            out.status = TakeoverStatus::QueueBusy;
            out.busyQueue = queue->name;
            out.detail = "printer queue " + queue->name + " is printing on " + devicePath;
            return out;
        }
    }
    const std::string marker = takeoverMarker(self_.pid, self_.host);
    for (const QueueInfo* queue : matching) {
        if (queue->state != QueueState::Idle)
            continue;
        if (std::find(stopped_.begin(), stopped_.end(), queue->name) != stopped_.end())
            continue;
        const Result paused = spooler_.pauseQueue(queue->name, marker);
        if (!paused.ok()) {
            out.status = TakeoverStatus::Warning;
            if (out.detail.empty())
                out.detail = paused.describe("stop printer queue " + queue->name) + permissionHint(paused);
            continue;
        }
        stopped_.push_back(queue->name);
        registerQueue(queue->name);
        out.stopped.push_back(queue->name);
    }
    return out;
}

RestoreResult QueueTakeover::restore()
{
    RestoreResult out;
    std::vector<std::string> keep;
    for (const std::string& name : stopped_) {
        if (resume(spooler_, name, out))
            unregisterQueue(name);
        else
            keep.push_back(name);
    }
    stopped_ = std::move(keep);
    return out;
}

RestoreResult QueueTakeover::restoreStale()
{
    RestoreResult out;
    std::vector<QueueInfo> queues;
    const Result listed = spooler_.listQueues(queues);
    if (!listed.ok()) {
        out.detail = listed.describe("list printer queues") + permissionHint(listed);
        return out;
    }
    for (const QueueInfo& queue : queues) {
        long pid = 0;
        std::string host;
        if (queue.state != QueueState::Stopped || !parseTakeoverMarker(queue.stateMessage, pid, host))
            continue;
        // Another host's pid means nothing here; our own pid is this process.
        if (host != self_.host || pid == self_.pid || self_.alive(pid))
            continue;
        resume(spooler_, queue.name, out);
    }
    return out;
}

std::vector<std::string> registeredQueues()
{
    std::lock_guard<std::mutex> guard(registryLock());
    return registry();
}

RestoreResult restoreRegisteredQueues(platform::spooler::Spooler& spooler)
{
    RestoreResult out;
    for (const std::string& name : registeredQueues()) {
        if (resume(spooler, name, out))
            unregisterQueue(name);
    }
    return out;
}

} // namespace telvara::link
