// The spooler over IPP to the local CUPS scheduler.
//
// Protocol notes:
// - One connection per call: the scheduler may be restarted between calls
//   and a stale connection would only add a failure mode. Connecting to a
//   Unix socket is cheap.
// - CUPS-Get-Printers lists queues with printer-type; classes and queues
//   shared from another host carry the CLASS and REMOTE bits and are skipped.
// - CUPS-Get-Printers answers client-error-not-found when there are no
//   queues at all: that is an empty list, not a failure.
// - Pause-Printer takes the new state message as printer-state-message in
//   the operation group; Resume-Printer clears it.
// - The library would ask for a password on the terminal when the scheduler
//   answers 401; the password callback refuses instead, so a call never
//   blocks on a person and reports "not permitted".
// - httpConnect2 bounds the connect, httpSetTimeout each wait for data: the
//   callback returns 0, which makes the library give up at the first lapse.
#include "platform/spooler/spooler.h"

#include <cups/cups.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform::spooler {

const char* queueStateName(QueueState state)
{
    switch (state) {
    case QueueState::Idle:
        return "idle";
    case QueueState::Printing:
        return "printing";
    case QueueState::Stopped:
        return "stopped";
    }
    return "idle";
}

std::string Result::describe(const std::string& operation) const
{
    std::string text = operation;
    if (ok())
        return text + ": ok";
    text += ": ";
    if (ippStatus != 0) {
        text += ippErrorString(static_cast<ipp_status_t>(ippStatus));
        if (!reason.empty())
            text += " (" + reason + ")";
    } else {
        text += reason.empty() ? "failed" : reason;
    }
    return text;
}

namespace {

const char* refusePassword(const char*, http_t*, const char*, const char*, void*)
{
    return nullptr;
}

int giveUpOnTimeout(http_t*, void*)
{
    return 0;
}

class HttpConnection {
public:
    explicit HttpConnection(http_t* http) : http_(http) {}
    ~HttpConnection()
    {
        if (http_ != nullptr)
            httpClose(http_);
    }
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;
    http_t* get() const { return http_; }

private:
    http_t* http_;
};

class IppAnswer {
public:
    explicit IppAnswer(ipp_t* ipp) : ipp_(ipp) {}
    ~IppAnswer()
    {
        if (ipp_ != nullptr)
            ippDelete(ipp_);
    }
    IppAnswer(const IppAnswer&) = delete;
    IppAnswer& operator=(const IppAnswer&) = delete;
    ipp_t* get() const { return ipp_; }

private:
    ipp_t* ipp_;
};

Status statusOf(ipp_status_t status)
{
    switch (status) {
    case IPP_STATUS_OK:
    case IPP_STATUS_OK_IGNORED_OR_SUBSTITUTED:
    case IPP_STATUS_OK_CONFLICTING:
        return Status::Ok;
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED:
        return Status::NotPermitted;
    case IPP_STATUS_ERROR_NOT_FOUND:
        return Status::NotFound;
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
        return Status::NoServer;
    default:
        return Status::Failed;
    }
}

bool boundedText(const char* text)
{
    return text != nullptr && std::strlen(text) <= kMaxTextLength;
}

class CupsSpooler final : public Spooler {
public:
    explicit CupsSpooler(const CupsOptions& options) : options_(options) {}

    Result listQueues(std::vector<QueueInfo>& queues) override
    {
        queues.clear();
        static const char* const kAttributes[] = {"printer-name", "device-uri", "printer-state",
                                                  "printer-state-message", "printer-type"};
        ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      static_cast<int>(sizeof kAttributes / sizeof kAttributes[0]), nullptr, kAttributes);
        Result result;
        IppAnswer answer(send(request, "/", result));
        // A scheduler without queues answers "not found" to the listing.
        if (result.status == Status::NotFound)
            return Result{};
        if (!result.ok())
            return result;
        // The answer is one printer group per queue; a group ends at the
        // next separator (an attribute without a name) or at the end.
        QueueInfo current;
        int type = 0;
        bool inPrinter = false;
        auto finish = [&]() -> bool {
            if (inPrinter && !current.name.empty() && (type & (CUPS_PRINTER_CLASS | CUPS_PRINTER_REMOTE)) == 0) {
                if (queues.size() >= kMaxQueues)
                    return false;
                queues.push_back(current);
            }
            current = QueueInfo{};
            type = 0;
            inPrinter = false;
            return true;
        };
        for (ipp_attribute_t* attr = ippFirstAttribute(answer.get()); attr != nullptr;
             attr = ippNextAttribute(answer.get())) {
            const char* name = ippGetName(attr);
            if (name == nullptr || ippGetGroupTag(attr) != IPP_TAG_PRINTER) {
                if (!finish())
                    return tooLarge();
                continue;
            }
            inPrinter = true;
            const char* text = ippGetCount(attr) > 0 ? ippGetString(attr, 0, nullptr) : nullptr;
            if (std::strcmp(name, "printer-name") == 0 && boundedText(text)) {
                current.name = text;
            } else if (std::strcmp(name, "device-uri") == 0 && boundedText(text)) {
                current.deviceUri = text;
            } else if (std::strcmp(name, "printer-state-message") == 0 && boundedText(text)) {
                current.stateMessage = text;
            } else if (std::strcmp(name, "printer-state") == 0 && ippGetValueTag(attr) == IPP_TAG_ENUM) {
                const int state = ippGetInteger(attr, 0);
                current.state = state == IPP_PSTATE_PROCESSING ? QueueState::Printing
                                : state == IPP_PSTATE_STOPPED  ? QueueState::Stopped
                                                               : QueueState::Idle;
            } else if (std::strcmp(name, "printer-type") == 0 && ippGetValueTag(attr) == IPP_TAG_ENUM) {
                type = ippGetInteger(attr, 0);
            }
        }
        if (!finish())
            return tooLarge();
        return result;
    }

    Result pauseQueue(const std::string& name, const std::string& message) override
    {
        ipp_t* request = printerRequest(IPP_OP_PAUSE_PRINTER, name);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_TEXT, "printer-state-message", nullptr, message.c_str());
        Result result;
        IppAnswer answer(send(request, "/admin/", result));
        return result;
    }

    Result resumeQueue(const std::string& name) override
    {
        Result result;
        IppAnswer answer(send(printerRequest(IPP_OP_RESUME_PRINTER, name), "/admin/", result));
        return result;
    }

    Result stateMessage(const std::string& name, std::string& message) override
    {
        message.clear();
        static const char* const kAttributes[] = {"printer-state-message"};
        ipp_t* request = printerRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, name);
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr, kAttributes);
        Result result;
        IppAnswer answer(send(request, "/", result));
        if (!result.ok())
            return result;
        ipp_attribute_t* attr = ippFindAttribute(answer.get(), "printer-state-message", IPP_TAG_TEXT);
        const char* text = attr != nullptr && ippGetCount(attr) > 0 ? ippGetString(attr, 0, nullptr) : nullptr;
        if (text != nullptr && !boundedText(text))
            return tooLarge();
        if (text != nullptr)
            message = text;
        return result;
    }

private:
    std::string server() const
    {
        if (!options_.server.empty())
            return options_.server;
        const char* fromEnvironment = std::getenv("CUPS_SERVER");
        if (fromEnvironment != nullptr && *fromEnvironment != '\0')
            return fromEnvironment;
        const char* configured = cupsServer();
        return configured != nullptr ? configured : "localhost";
    }

    static Result tooLarge()
    {
        Result result;
        result.status = Status::Failed;
        result.reason = "the scheduler's answer is larger than this program accepts";
        return result;
    }

    static ipp_t* printerRequest(ipp_op_t operation, const std::string& name)
    {
        char uri[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                         name.c_str());
        ipp_t* request = ippNewRequest(operation);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        return request;
    }

    // Sends `request` (always consumed) and returns the answer, or nullptr
    // with `result` saying why.
    ipp_t* send(ipp_t* request, const char* resource, Result& result)
    {
        const std::string host = server();
        // A "host:port" form keeps its port; a socket path has none.
        std::string name = host;
        int port = ippPort();
        if (!host.empty() && host[0] != '/') {
            const std::size_t colon = host.rfind(':');
            if (colon != std::string::npos && host.find(']') == std::string::npos && colon + 1 < host.size()) {
                const int parsed = std::atoi(host.c_str() + colon + 1);
                if (parsed > 0 && parsed < 65536) {
                    name = host.substr(0, colon);
                    port = parsed;
                }
            }
        }
        cupsSetPasswordCB2(refusePassword, nullptr);
        errno = 0;
        HttpConnection http(httpConnect2(name.c_str(), port, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1,
                                         options_.timeoutMs, nullptr));
        if (http.get() == nullptr) {
            ippDelete(request);
            result.status = Status::NoServer;
            result.ippStatus = 0;
            const int error = errno;
            result.reason = "no scheduler at " + host + (error != 0 ? std::string(": ") + std::strerror(error) : "");
            return nullptr;
        }
        httpSetTimeout(http.get(), options_.timeoutMs / 1000.0, giveUpOnTimeout, nullptr);
        ipp_t* answer = cupsDoRequest(http.get(), request, resource);
        const ipp_status_t status = cupsLastError();
        result.ippStatus = static_cast<int>(status);
        result.status = statusOf(status);
        if (answer == nullptr && result.ok()) {
            result.status = Status::Failed;
            result.ippStatus = 0;
        }
        if (!result.ok()) {
            const char* text = cupsLastErrorString();
            result.reason = text != nullptr ? text : "";
            if (answer != nullptr) {
                ippDelete(answer);
                answer = nullptr;
            }
        }
        return answer;
    }

    CupsOptions options_;
};

} // namespace

std::unique_ptr<Spooler> makeCupsSpooler(const CupsOptions& options)
{
    return std::make_unique<CupsSpooler>(options);
}

} // namespace platform::spooler
