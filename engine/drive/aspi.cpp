#include "engine/drive/aspi.h"

#include <cstdlib>
#include <cstring>

#include "engine/drive/commandqueue.h"
#include "engine/drive/sgtransport.h"
#include "engine/drive/image/virtualdrive.h"

// Notified under the lock: the waiter may destroy the event as soon as it
// sees the signal.
void CompletionEvent::signal() {
    std::lock_guard lock(mutex_);
    signalled_ = true;
    changed_.notify_one();
}

void CompletionEvent::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
}

void RequestBlock::complete(uint8_t result) {
    status.store(result);
    event->signal();
}

ScsiTarget::~ScsiTarget() = default;

HostAdapter::Device::Device() = default;
HostAdapter::Device::Device(Device&&) noexcept = default;
HostAdapter::Device& HostAdapter::Device::operator=(Device&&) noexcept = default;
HostAdapter::Device::~Device() = default;

AspiLibrary::AspiLibrary(std::vector<HostAdapter> hosts, std::string failure)
    : hosts_(std::move(hosts)), failure_(std::move(failure)) {}

// The queues go first: their workers may still be running commands on the
// units they point to.
AspiLibrary::~AspiLibrary() {
    for (auto& host : hosts_)
        for (auto& device : host.devices) device.queue.reset();
}

void AspiLibrary::send(RequestBlock& block) {
    if (block.host < 0 || block.host >= hostAdapterCount()) {
        block.complete(kStatusInvalidHost);
        return;
    }
    for (auto& device : hosts_[block.host].devices) {
        if (device.target != block.target || device.lun != block.lun) continue;
        if (device.unit->answersAtOnce()) {
            block.complete(device.unit->execute(block));
            return;
        }
        if (!device.queue) device.queue = std::make_unique<CommandQueue>(*device.unit);
        device.queue->submit(block);
        return;
    }
    block.complete(kStatusNoDevice);
}

namespace {

AspiLibrary openLibrary() {
    std::vector<HostAdapter> hosts = findSgHosts();
    std::string failure;
    HostAdapter virtualHost;
    if (loadVirtualDrives(std::getenv("VOLTA_IMAGES"), virtualHost, failure) == 0 &&
        !virtualHost.devices.empty())
        hosts.push_back(std::move(virtualHost));
    return AspiLibrary(std::move(hosts), std::move(failure));
}

}  // namespace

AspiLibrary& aspiLibrary() {
    static AspiLibrary library = openLibrary();
    return library;
}

ScsiRequest::ScsiRequest(AspiLibrary& library) : library_(library) { block_.event = &event_; }

// A command still running writes into the caller's buffer; it has to end
// before the caller may let that buffer go.
ScsiRequest::~ScsiRequest() { wait(); }

void ScsiRequest::prepare(int host, int target, int lun, uint8_t* buffer, int length,
                          int cdbLength) {
    wait();
    block_.host = host;
    block_.target = target;
    block_.lun = lun;
    block_.buffer = length > 0 ? buffer : nullptr;
    block_.length = length > 0 ? length : 0;
    block_.cdbLength = cdbLength;
    std::memset(block_.cdb, 0, sizeof block_.cdb);
    std::memset(block_.sense, 0, sizeof block_.sense);
    block_.status.store(kStatusPending);
}

uint8_t* ScsiRequest::cdb() { return block_.cdb; }

void ScsiRequest::execute() {
    wait();
    block_.status.store(kStatusPending);
    block_.reason[0] = '\0';
    outstanding_ = true;
    library_.send(block_);
}

void ScsiRequest::wait() {
    if (!outstanding_) return;
    event_.wait();
    outstanding_ = false;
}

uint8_t ScsiRequest::status() const { return block_.status.load(); }

uint8_t* ScsiRequest::buffer() const { return block_.buffer; }

int ScsiRequest::length() const { return block_.length; }
