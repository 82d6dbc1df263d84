#include "platform/spooler/testing/PrivateCupsd.h"

#include <cups/cups.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform::spooler::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kStartTimeoutMs = 15000;
constexpr int kStopTimeoutMs = 10000;
constexpr int kRequestTimeoutMs = 5000;

bool writeText(const fs::path& path, const std::string& text, fs::perms mode, std::string& error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    std::error_code ec;
    fs::permissions(path, mode, ec);
    return true;
}

std::string groupName(gid_t gid)
{
    const group* entry = getgrgid(gid);
    return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

// Who the scheduler runs its children as. As root it refuses to keep root,
// so it gets the spooler's usual account; otherwise it stays who it is.
struct Accounts {
    std::string user, group, systemGroup;
};

Accounts accounts()
{
    if (geteuid() == 0) {
        const bool lp = getpwnam("lp") != nullptr;
        const bool lpGroup = getgrnam("lp") != nullptr;
        return {lp ? "lp" : "nobody", lpGroup ? "lp" : (getgrnam("nogroup") != nullptr ? "nogroup" : "nobody"),
                "root"};
    }
    const passwd* self = getpwuid(geteuid());
    const std::string name = self != nullptr ? self->pw_name : std::to_string(geteuid());
    const std::string group = groupName(getegid());
    return {name, group, group};
}

std::string readTail(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    constexpr std::size_t kTail = 2000;
    return text.size() > kTail ? text.substr(text.size() - kTail) : text;
}

int giveUp(http_t*, void*)
{
    return 0;
}

struct HttpCloser {
    void operator()(http_t* http) const { httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpCloser>;

Http connectTo(const std::string& socket)
{
    Http http(httpConnect2(socket.c_str(), ippPort(), nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1,
                           kRequestTimeoutMs, nullptr));
    if (http)
        httpSetTimeout(http.get(), kRequestTimeoutMs / 1000.0, giveUp, nullptr);
    return http;
}

ipp_t* printerRequest(ipp_op_t operation, const std::string& name)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     name.c_str());
    ipp_t* request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

bool finish(ipp_t* answer, const std::string& what, std::string& error)
{
    const bool ok = answer != nullptr && cupsLastError() <= IPP_STATUS_OK_CONFLICTING;
    if (!ok)
        error = what + ": " + ippErrorString(cupsLastError()) + " (" + cupsLastErrorString() + ")";
    if (answer != nullptr)
        ippDelete(answer);
    return ok;
}

} // namespace

bool PrivateCupsd::available()
{
    return ::access(kDaemon, X_OK) == 0;
}

PrivateCupsd::~PrivateCupsd()
{
    stop();
}

CupsOptions PrivateCupsd::options() const
{
    CupsOptions options;
    options.server = socket_;
    options.timeoutMs = kRequestTimeoutMs;
    return options;
}

bool PrivateCupsd::writeFiles(std::string& error, int holdSeconds)
{
    const fs::path root(dir_);
    std::error_code ec;
    for (const char* sub : {"conf", "spool", "spool/tmp", "cache", "state", "log", "bin", "bin/backend"}) {
        fs::create_directories(root / sub, ec);
        if (ec) {
            error = "cannot create " + (root / sub).string() + ": " + ec.message();
            return false;
        }
    }
    // The installed helpers (cups-exec, the notifiers) beside our backends.
    for (const char* sub : {"daemon", "filter", "notifier", "cgi-bin", "driver", "monitor"}) {
        const fs::path installed = fs::path("/usr/lib/cups") / sub;
        if (fs::exists(installed, ec))
            fs::create_directory_symlink(installed, root / "bin" / sub, ec);
    }
    std::ostringstream backend;
    backend << "#!/bin/sh\n"
            << "# Device discovery: nothing to report.\n"
            << "[ $# -eq 0 ] && exit 0\n"
            << "if [ $# -ge 6 ]; then cat \"$6\" >/dev/null; else cat >/dev/null; fi\n"
            << "exec sleep " << holdSeconds << "\n";
    // Owner-only: the scheduler runs such a backend as the owner, so it needs
    // no access to this directory through another account.
    for (const char* scheme : {"serial", "parallel", "usb", "socket"}) {
        if (!writeText(root / "bin/backend" / scheme, backend.str(), fs::perms::owner_all, error))
            return false;
    }

    socket_ = (root / "cups.sock").string();
    const Accounts who = accounts();
    std::ostringstream daemonConf;
    daemonConf << "# Only a socket in this directory: no network, no sharing.\n"
               << "Listen " << socket_ << "\n"
               << "Browsing No\n"
               << "WebInterface No\n"
               << "LogLevel info\n"
               << "DefaultAuthType None\n"
               << "MaxJobs 100\n"
               << "<Policy default>\n"
               << "  <Limit All>\n"
               << "    Order deny,allow\n"
               << "  </Limit>\n"
               << "</Policy>\n";
    std::ostringstream filesConf;
    filesConf << "ServerRoot " << (root / "conf").string() << "\n"
              << "RequestRoot " << (root / "spool").string() << "\n"
              << "TempDir " << (root / "spool/tmp").string() << "\n"
              << "CacheDir " << (root / "cache").string() << "\n"
              << "StateDir " << (root / "state").string() << "\n"
              << "ServerBin " << (root / "bin").string() << "\n"
              << "AccessLog " << (root / "log/access_log").string() << "\n"
              << "ErrorLog " << (root / "log/error_log").string() << "\n"
              << "PageLog " << (root / "log/page_log").string() << "\n"
              << "Printcap " << (root / "state/printcap").string() << "\n"
              << "User " << who.user << "\n"
              << "Group " << who.group << "\n"
              << "SystemGroup " << who.systemGroup << "\n"
              << "Sandboxing relaxed\n";
    return writeText(root / "cupsd.conf", daemonConf.str(), fs::perms::owner_read | fs::perms::owner_write |
                                                              fs::perms::group_read | fs::perms::others_read,
                     error) &&
           writeText(root / "cups-files.conf", filesConf.str(),
                     fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                         fs::perms::others_read,
                     error);
}

bool PrivateCupsd::start(std::string& error, int holdSeconds)
{
    stop();
    char pattern[] = "/tmp/quellix-cupsd-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        error = "mkdtemp failed";
        return false;
    }
    dir_ = pattern;
    // The scheduler's own account must reach its spool through this directory.
    ::chmod(dir_.c_str(), 0755);
    if (!writeFiles(error, holdSeconds))
        return false;

    const std::string conf = dir_ + "/cupsd.conf";
    const std::string files = dir_ + "/cups-files.conf";
    const std::string out = dir_ + "/log/daemon.out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args = {kDaemon, "-f", "-c", conf, "-s", files};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, kDaemon, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        error = std::string("cannot start ") + kDaemon;
        return false;
    }

    auto spooler = makeCupsSpooler(options());
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (Clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error = "the scheduler ended at start: " + readTail(out) + readTail(dir_ + "/log/error_log");
            return false;
        }
        std::vector<QueueInfo> queues;
        if (::access(socket_.c_str(), F_OK) == 0 && spooler->listQueues(queues).ok())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    error = "the scheduler did not answer within 15 s: " + readTail(dir_ + "/log/error_log");
    stop();
    return false;
}

void PrivateCupsd::stop()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::milliseconds(kStopTimeoutMs);
        int status = 0;
        bool ended = false;
        while (Clock::now() < deadline) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                ended = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!ended) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }
    if (!dir_.empty()) {
        std::error_code ec;
        fs::remove_all(dir_, ec);
        dir_.clear();
    }
}

bool PrivateCupsd::addQueue(const std::string& name, const std::string& deviceUri, std::string& error)
{
    Http http = connectTo(socket_);
    if (!http) {
        error = "cannot connect to " + socket_;
        return false;
    }
    ipp_t* request = printerRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, name);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, deviceUri.c_str());
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    if (!finish(cupsDoRequest(http.get(), request, "/admin/"), "add " + name, error))
        return false;
    return simpleRequest(IPP_OP_RESUME_PRINTER, name, error);
}

bool PrivateCupsd::deleteQueue(const std::string& name, std::string& error)
{
    return simpleRequest(IPP_OP_CUPS_DELETE_PRINTER, name, error);
}

bool PrivateCupsd::cancelJobs(const std::string& name, std::string& error)
{
    return simpleRequest(IPP_OP_PURGE_JOBS, name, error);
}

bool PrivateCupsd::simpleRequest(int operation, const std::string& name, std::string& error)
{
    Http http = connectTo(socket_);
    if (!http) {
        error = "cannot connect to " + socket_;
        return false;
    }
    return finish(cupsDoRequest(http.get(), printerRequest(static_cast<ipp_op_t>(operation), name), "/admin/"),
                  std::string(ippOpString(static_cast<ipp_op_t>(operation))) + " " + name, error);
}

bool PrivateCupsd::submitJob(const std::string& name, std::string& error)
{
    const std::string document = dir_ + "/job.txt";
    if (!writeText(document, "test page\n", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                                 fs::perms::others_read,
                   error))
        return false;
    Http http = connectTo(socket_);
    if (!http) {
        error = "cannot connect to " + socket_;
        return false;
    }
    ipp_t* request = printerRequest(IPP_OP_PRINT_JOB, name);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, "test");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                 "application/vnd.cups-raw");
    return finish(cupsDoFileRequest(http.get(), request, ("/printers/" + name).c_str(), document.c_str()),
                  "print to " + name, error);
}

bool PrivateCupsd::waitForState(const std::string& name, QueueState state, int timeoutMs)
{
    auto spooler = makeCupsSpooler(options());
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        std::vector<QueueInfo> queues;
        if (spooler->listQueues(queues).ok()) {
            for (const QueueInfo& queue : queues) {
                if (queue.name == name && queue.state == state)
                    return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (Clock::now() < deadline);
    return false;
}

} // namespace platform::spooler::testing
