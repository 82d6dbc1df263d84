// An in-memory spooler: queues with states and messages, the calls made,
// and failures to inject.
#pragma once

#include "platform/spooler/spooler.h"

#include <map>
#include <string>
#include <vector>

namespace telvara::link::testing {

class FakeSpooler : public platform::spooler::Spooler {
public:
    using Result = platform::spooler::Result;
    using Status = platform::spooler::Status;
    using QueueInfo = platform::spooler::QueueInfo;
    using QueueState = platform::spooler::QueueState;

    void add(const std::string& name, const std::string& uri, QueueState state = QueueState::Idle,
             const std::string& message = {})
    {
        queues.push_back({name, uri, state, message});
    }
    QueueInfo* find(const std::string& name)
    {
        for (QueueInfo& queue : queues) {
            if (queue.name == name)
                return &queue;
        }
        return nullptr;
    }

    Result listQueues(std::vector<QueueInfo>& out) override
    {
        calls.push_back("list");
        out.clear();
        if (listStatus != Status::Ok)
            return failure(listStatus);
        out = queues;
        return {};
    }
    Result pauseQueue(const std::string& name, const std::string& message) override
    {
        calls.push_back("pause " + name);
        if (auto it = pauseFailures.find(name); it != pauseFailures.end())
            return failure(it->second);
        QueueInfo* queue = find(name);
        if (queue == nullptr)
            return failure(Status::NotFound);
        queue->state = QueueState::Stopped;
        queue->stateMessage = message;
        return {};
    }
    Result resumeQueue(const std::string& name) override
    {
        calls.push_back("resume " + name);
        if (resumeStatus != Status::Ok)
            return failure(resumeStatus);
        QueueInfo* queue = find(name);
        if (queue == nullptr)
            return failure(Status::NotFound);
        queue->state = QueueState::Idle;
        queue->stateMessage.clear();
        return {};
    }
    Result stateMessage(const std::string& name, std::string& message) override
    {
        QueueInfo* queue = find(name);
        if (queue == nullptr)
            return failure(Status::NotFound);
        message = queue->stateMessage;
        return {};
    }

    std::vector<QueueInfo> queues;
    std::vector<std::string> calls;
    Status listStatus = Status::Ok;
    Status resumeStatus = Status::Ok;
    std::map<std::string, Status> pauseFailures;

private:
    static Result failure(Status status)
    {
        Result result;
        result.status = status;
        result.reason = "injected";
        return result;
    }
};

// For code that owns its spooler: forwards to a FakeSpooler the test keeps.
class ForwardingSpooler : public platform::spooler::Spooler {
public:
    explicit ForwardingSpooler(FakeSpooler& fake) : fake_(fake) {}
    platform::spooler::Result listQueues(std::vector<platform::spooler::QueueInfo>& q) override
    {
        return fake_.listQueues(q);
    }
    platform::spooler::Result pauseQueue(const std::string& n, const std::string& m) override
    {
        return fake_.pauseQueue(n, m);
    }
    platform::spooler::Result resumeQueue(const std::string& n) override { return fake_.resumeQueue(n); }
    platform::spooler::Result stateMessage(const std::string& n, std::string& m) override
    {
        return fake_.stateMessage(n, m);
    }

private:
    FakeSpooler& fake_;
};

} // namespace telvara::link::testing
