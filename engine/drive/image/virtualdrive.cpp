#include "engine/drive/image/virtualdrive.h"

#include "engine/common/byteorder.h"
#include "engine/common/msf.h"
#include "engine/common/owned.h"
#include "engine/drive/drivefamily.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

constexpr int kSector = 2352;
constexpr int kUserData = 2048;
constexpr int kQBytes = 16;
constexpr int kMaxDrives = 8;  // targets a bus scan reaches
constexpr const char* kDefaultIdentity = "VOLTA   VIRTUAL CD-ROM  ";

// Sense keys.
constexpr int kNotReady = 0x02;
constexpr int kMediumError = 0x03;
constexpr int kIllegalRequest = 0x05;

// Additional sense codes.
constexpr int kMediumNotPresent = 0x3A;
constexpr int kUnrecoveredReadError = 0x11;
constexpr int kInvalidOpcode = 0x20;
constexpr int kLbaOutOfRange = 0x21;
constexpr int kInvalidCdbField = 0x24;
constexpr int kInvalidParameterField = 0x26;
constexpr int kSequenceError = 0x2C;
constexpr int kIllegalModeForTrack = 0x64;

// A four-byte address field: 0, M, S, F.
void putMsfField(uint8_t* p, Msf msf) {
    p[0] = 0;
    putMsf(p + 1, msf);
}

void putAddress(uint8_t* p, int lba, bool msf) {
    if (msf)
        putMsfField(p, msfOfLba(lba));
    else
        putBigEndian32(p, lba);
}

void swapBytePairs(uint8_t* data, size_t bytes) {
    for (size_t i = 0; i + 1 < bytes; i += 2) std::swap(data[i], data[i + 1]);
}

int parseInt(const std::string& text, long low, long high, int& value) {
    if (text.empty()) return 1;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return 1;
    value = static_cast<int>(parsed);
    return 0;
}

// "A-B" or "A-B:K".
int parseFailRange(const std::string& text, VirtualDriveSettings::FailRange& range) {
    size_t dash = text.find('-');
    size_t colon = text.find(':');
    if (dash == std::string::npos) return 1;
    std::string last = text.substr(dash + 1, colon == std::string::npos ? colon : colon - dash - 1);
    if (parseInt(text.substr(0, dash), 0, 1 << 30, range.first) != 0 ||
        parseInt(last, range.first, 1 << 30, range.last) != 0)
        return 1;
    if (colon == std::string::npos) return 0;
    return parseInt(text.substr(colon + 1), 0, 1 << 30, range.remaining);
}

int parseSetting(const std::string& setting, VirtualDriveSettings& settings) {
    size_t equals = setting.find('=');
    std::string key = setting.substr(0, equals);
    std::string value = equals == std::string::npos ? "" : setting.substr(equals + 1);
    bool hasValue = equals != std::string::npos;
    if (key == "notready" && !hasValue) {
        settings.notReady = true;
    } else if (key == "nocdtext" && !hasValue) {
        settings.noCdText = true;
    } else if (key == "notoc" && !hasValue) {
        settings.noToc = true;
    } else if (key == "identity" && hasValue) {
        settings.identity = value.substr(0, 24);
        settings.identity.resize(24, ' ');
    } else if (key == "shift" && hasValue) {
        if (parseInt(value, -1000000, 1000000, settings.shift) != 0) return 1;
    } else if (key == "offset" && hasValue) {
        if (parseInt(value, -1000000, 1000000, settings.readOffset) != 0) return 1;
    } else if (key == "jitter" && hasValue) {
        if (parseInt(value, 0, 1000000, settings.jitter) != 0) return 1;
    } else if (key == "seed" && hasValue) {
        char* end = nullptr;
        errno = 0;
        settings.seed = std::strtoull(value.c_str(), &end, 10);
        if (value.empty() || errno != 0 || *end != '\0') return 1;
    } else if (key == "fail" && hasValue) {
        VirtualDriveSettings::FailRange range;
        if (parseFailRange(value, range) != 0) return 1;
        settings.failures.push_back(range);
    } else if (key == "speed" && hasValue) {
        char* end = nullptr;
        settings.speed = std::strtod(value.c_str(), &end);
        // Slower than a hundredth of a drive, a read's duration overflows the clock.
        if (value.empty() || *end != '\0' || !(settings.speed >= 0.01 && settings.speed <= 1000.0))
            return 1;
    } else {
        return 1;
    }
    return 0;
}

// Separators inside double quotes belong to the text, so that a path can
// hold commas and semicolons. Non-zero for a quote that is never closed.
int split(const std::string& text, char separator, std::vector<std::string>& parts) {
    parts.assign(1, "");
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == separator && !quoted)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return quoted ? 1 : 0;
}

// An entry's path, without the quotes that may surround it.
std::string unquoted(const std::string& path) {
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        return path.substr(1, path.size() - 2);
    return path;
}

}  // namespace

VirtualDrive::VirtualDrive(std::unique_ptr<VirtualDisc> disc, VirtualDriveSettings settings)
    : disc_(std::move(disc)),
      settings_(std::move(settings)),
      d8Reads_(driveFamilyForIdentity(settings_.identity.c_str()) == DriveFamily::D8),
      philipsReads_(driveFamilyForIdentity(settings_.identity.c_str()) == DriveFamily::Nr),
      random_(settings_.seed),
      scratch_(32 * kSector) {}

uint8_t VirtualDrive::execute(RequestBlock& block) {
    switch (block.cdb[0]) {
        case 0x00:
            return testUnitReady(block);
        case 0x12:
            return inquiry(block);
        case 0x43:
            return readToc(block);
        case 0xBE:
            return readCd(block);
        case 0xD8:
            return d8Reads_ ? readD8(block)
                            : checkCondition(block, kIllegalRequest, kInvalidOpcode);
        case 0x28:
            return read10(block);
        case 0x15:
            return philipsReads_ ? modeSelect(block)
                                 : checkCondition(block, kIllegalRequest, kInvalidOpcode);
        case 0x1B:
            return startStopUnit(block);
        case 0x47:
            return playAudioMsf(block);
        case 0x4B:
            return pauseResume(block);
        case 0x42:
            return readSubChannel(block);
        default:
            return checkCondition(block, kIllegalRequest, kInvalidOpcode);
    }
}

uint8_t VirtualDrive::checkCondition(RequestBlock& block, int key, int asc, int ascq) {
    std::memset(block.sense, 0, sizeof block.sense);
    block.sense[0] = 0x70;  // current error, fixed format
    block.sense[2] = static_cast<uint8_t>(key);
    block.sense[7] = 6;  // what fits of the additional bytes
    block.sense[12] = static_cast<uint8_t>(asc);
    block.sense[13] = static_cast<uint8_t>(ascq);
    return kStatusError;
}

// Data-in: as much as the allocation length and the buffer both allow.
uint8_t VirtualDrive::reply(RequestBlock& block, const uint8_t* data, int size, int allocation) {
    int count = std::min({size, allocation, block.length});
    if (count > 0) std::memcpy(block.buffer, data, static_cast<size_t>(count));
    return kStatusComplete;
}

uint8_t VirtualDrive::testUnitReady(RequestBlock& block) {
    if (settings_.notReady || !hasMedium())
        return checkCondition(block, kNotReady, kMediumNotPresent);
    return kStatusComplete;
}

uint8_t VirtualDrive::inquiry(RequestBlock& block) {
    if (block.cdb[1] & 0x01) return checkCondition(block, kIllegalRequest, kInvalidCdbField);
    uint8_t data[36] = {};
    data[0] = 0x05;  // CD-ROM
    data[1] = 0x80;  // removable medium
    data[2] = 0x05;
    data[3] = 0x02;
    data[4] = sizeof data - 5;
    std::memcpy(data + 8, settings_.identity.data(), 24);
    std::memcpy(data + 32, "1.00", 4);
    return reply(block, data, sizeof data, block.cdb[4]);
}

uint8_t VirtualDrive::readToc(RequestBlock& block) {
    if (!hasMedium()) return checkCondition(block, kNotReady, kMediumNotPresent);
    const uint8_t* cdb = block.cdb;
    int format = cdb[2] & 0x0F;
    int allocation = readBigEndian16(cdb + 7);
    if (format == 5) {
        const std::vector<uint8_t>& packs = disc_->cdTextPacks();
        if (settings_.noCdText || packs.empty())
            return checkCondition(block, kIllegalRequest, kInvalidCdbField);
        std::vector<uint8_t> data(4 + packs.size());
        putBigEndian16(data.data(), static_cast<int>(data.size()) - 2);
        std::memcpy(data.data() + 4, packs.data(), packs.size());
        return reply(block, data.data(), static_cast<int>(data.size()), allocation);
    }
    if (format != 0 || settings_.noToc)
        return checkCondition(block, kIllegalRequest, kInvalidCdbField);
    const auto& tracks = disc_->layout().tracks;
    bool msf = cdb[1] & 0x02;
    int from = cdb[6];
    if (from > tracks.back().number && from != 0xAA)
        return checkCondition(block, kIllegalRequest, kInvalidCdbField);
    uint8_t data[4 + 8 * 100] = {};
    data[2] = static_cast<uint8_t>(tracks.front().number);
    data[3] = static_cast<uint8_t>(tracks.back().number);
    int size = 4;
    auto descriptor = [&](int control, int number, int lba) {
        data[size + 1] = static_cast<uint8_t>(0x10 | control);  // ADR 1: Q position
        data[size + 2] = static_cast<uint8_t>(number);
        putAddress(data + size + 4, lba, msf);
        size += 8;
    };
    for (const DiscTrack& track : tracks)
        if (track.number >= from && from != 0xAA)
            descriptor(track.control, track.number, track.start);
    descriptor(tracks.back().control & 0x04, 0xAA, disc_->leadOut());
    putBigEndian16(data, size - 2);
    return reply(block, data, size, allocation);
}

bool VirtualDrive::failRead(int lba, int count) {
    bool failed = false;
    for (auto& range : settings_.failures) {
        if (lba > range.last || lba + count - 1 < range.first || range.remaining == 0) continue;
        if (range.remaining > 0) --range.remaining;
        failed = true;
    }
    return failed;
}

int VirtualDrive::nextJitter() {
    if (settings_.jitter == 0) return 0;
    unsigned long long z = (random_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    unsigned long long span = 2ULL * static_cast<unsigned>(settings_.jitter) + 1;
    return static_cast<int>(z % span) - settings_.jitter;
}

void VirtualDrive::takeTime(int sectors) {
    if (settings_.speed <= 0.0) return;
    auto duration = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(sectors / (settings_.speed * 75.0)));
    busyUntil_ = std::max(Clock::now(), busyUntil_) + duration;
    std::this_thread::sleep_until(busyUntil_);
}

uint8_t VirtualDrive::readAudio(RequestBlock& block, int lba, int count, bool bigEndian) {
    if (!hasMedium()) return checkCondition(block, kNotReady, kMediumNotPresent);
    if (lba < 0 || count < 0 || lba > disc_->leadOut() - count)
        return checkCondition(block, kIllegalRequest, kLbaOutOfRange);
    if (block.length / kSector < count)
        return checkCondition(block, kIllegalRequest, kInvalidCdbField);
    if (count == 0) return kStatusComplete;
    takeTime(count);
    if (failRead(lba, count)) return checkCondition(block, kMediumError, kUnrecoveredReadError);
    int from = lba + settings_.shift + nextJitter();
    if (readOffsetSectors(from, count, block.buffer) != 0)
        return checkCondition(block, kMediumError, kUnrecoveredReadError);
    if (bigEndian) {
        for (int k = 0; k < count; ++k)
            if (!disc_->isData(from + k)) swapBytePairs(block.buffer + k * kSector, kSector);
    }
    return kStatusComplete;
}

int VirtualDrive::readOffsetSectors(int lba, int count, uint8_t* out) {
    constexpr int kFrames = kSector / 4;
    if (settings_.readOffset == 0) return disc_->readSectors(lba, count, out);
    long long first = static_cast<long long>(lba) * kFrames - settings_.readOffset;
    long long sector = first >= 0 ? first / kFrames : -((-first + kFrames - 1) / kFrames);
    size_t skip = static_cast<size_t>(first - sector * kFrames) * 4;
    size_t bytes = static_cast<size_t>(count + 1) * kSector;
    if (scratch_.size() < bytes) scratch_.resize(bytes);
    if (disc_->readSectors(static_cast<int>(sector), count + 1, scratch_.data()) != 0) return 1;
    std::memcpy(out, scratch_.data() + skip, static_cast<size_t>(count) * kSector);
    return 0;
}

uint8_t VirtualDrive::readUserData(RequestBlock& block, int lba, int count) {
    if (!hasMedium()) return checkCondition(block, kNotReady, kMediumNotPresent);
    if (lba < 0 || count < 0 || lba > disc_->leadOut() - count)
        return checkCondition(block, kIllegalRequest, kLbaOutOfRange);
    if (block.length / kUserData < count)
        return checkCondition(block, kIllegalRequest, kInvalidCdbField);
    takeTime(count);
    int chunk = static_cast<int>(scratch_.size()) / kSector;
    for (int done = 0; done < count; done += chunk) {
        int n = std::min(chunk, count - done);
        if (disc_->readSectors(lba + done, n, scratch_.data()) != 0)
            return checkCondition(block, kMediumError, kUnrecoveredReadError);
        for (int k = 0; k < n; ++k)
            std::memcpy(block.buffer + static_cast<size_t>(done + k) * kUserData,
                        scratch_.data() + k * kSector + 16, kUserData);
    }
    return kStatusComplete;
}

uint8_t VirtualDrive::readCd(RequestBlock& block) {
    const uint8_t* cdb = block.cdb;
    int expected = (cdb[1] >> 2) & 0x07;
    int lba = readBigEndian32(cdb + 2);
    int count = readBigEndian24(cdb + 6);
    int fields = cdb[9] & 0xF8;
    if (cdb[10] == 0x02 && fields == 0) return readSubchannelQ(block, lba, count);
    if (cdb[10] != 0 || (fields != 0x10 && fields != 0xF8))
        return checkCondition(block, kIllegalRequest, kInvalidCdbField);
    if (lba < 0 || lba > disc_->leadOut() - count)
        return checkCondition(block, kIllegalRequest, kLbaOutOfRange);
    if (block.length / kUserData < count)
        return checkCondition(block, kIllegalRequest, kInvalidCdbField);
    int dataSectors = 0;
    for (int k = 0; k < count; ++k) dataSectors += disc_->isData(lba + k);
    bool allAudio = dataSectors == 0, allData = dataSectors == count;
    // CD-DA sectors have no header: every field selection gives all 2352 bytes.
    if ((expected == 0 || expected == 1) && allAudio) return readAudio(block, lba, count, false);
    if ((expected == 0 || expected == 2) && allData) {
        if (fields == 0x10) return readUserData(block, lba, count);
        if (block.length / kSector < count)
            return checkCondition(block, kIllegalRequest, kInvalidCdbField);
        takeTime(count);
        return disc_->readSectors(lba, count, block.buffer) == 0
                   ? kStatusComplete
                   : checkCondition(block, kMediumError, kUnrecoveredReadError);
    }
    return checkCondition(block, kIllegalRequest, kIllegalModeForTrack);
}

uint8_t VirtualDrive::readSubchannelQ(RequestBlock& block, int lba, int count) {
    if (!hasMedium()) return checkCondition(block, kNotReady, kMediumNotPresent);
    if (lba < 0 || count < 0 || lba > disc_->leadOut() - count)
        return checkCondition(block, kIllegalRequest, kLbaOutOfRange);
    if (block.length / kQBytes < count) return checkCondition(block, kIllegalRequest, kInvalidCdbField);
    if (failRead(lba, count)) return checkCondition(block, kMediumError, kUnrecoveredReadError);
    auto bcd = [](int value) { return static_cast<uint8_t>((value / 10) << 4 | value % 10); };
    auto putBcdMsf = [&](uint8_t* p, Msf msf) {
        p[0] = bcd(msf.minutes);
        p[1] = bcd(msf.seconds);
        p[2] = bcd(msf.frames);
    };
    for (int k = 0; k < count; ++k) {
        const DiscTrack& track = disc_->trackAt(lba + k);
        uint8_t* q = block.buffer + k * kQBytes;
        std::memset(q, 0, kQBytes);
        q[0] = static_cast<uint8_t>(track.control << 4 | 0x01);
        q[1] = bcd(track.number);
        q[2] = lba + k < track.start ? 0 : 1;
        // A gap counts down to its track; nothing reads the CRC.
        putBcdMsf(q + 3, msfOfSectors(std::abs(lba + k - track.start)));
        putBcdMsf(q + 7, msfOfLba(lba + k));
    }
    return kStatusComplete;
}

uint8_t VirtualDrive::readD8(RequestBlock& block) {
    if (block.cdb[10] != 0) return checkCondition(block, kIllegalRequest, kInvalidCdbField);
    return readAudio(block, readBigEndian32(block.cdb + 2), readBigEndian32(block.cdb + 6), false);
}

uint8_t VirtualDrive::read10(RequestBlock& block) {
    int lba = readBigEndian32(block.cdb + 2);
    int count = readBigEndian16(block.cdb + 7);
    // Drives of this kind deliver audio in the disc's own byte order.
    if (blockLength_ == kSector) return readAudio(block, lba, count, true);
    for (int k = 0; k < count; ++k) {
        if (!disc_->isData(lba + k))
            return checkCondition(block, kIllegalRequest, kIllegalModeForTrack);
    }
    return readUserData(block, lba, count);
}

uint8_t VirtualDrive::modeSelect(RequestBlock& block) {
    int length = block.cdb[4];
    if (length > block.length) return checkCondition(block, kIllegalRequest, kInvalidCdbField);
    const uint8_t* list = block.buffer;
    if (length == 0) return kStatusComplete;
    if (length < 12 || list[3] != 8)
        return checkCondition(block, kIllegalRequest, kInvalidParameterField);
    int blockLength = readBigEndian24(list + 9);
    if (blockLength != kSector && blockLength != kUserData)
        return checkCondition(block, kIllegalRequest, kInvalidParameterField);
    blockLength_ = blockLength;
    return kStatusComplete;
}

uint8_t VirtualDrive::startStopUnit(RequestBlock& block) {
    bool start = block.cdb[4] & 0x01;
    bool loadEject = block.cdb[4] & 0x02;
    if (!start || loadEject) play_ = Play::Idle;
    if (loadEject) ejected_ = !start;
    return kStatusComplete;
}

int VirtualDrive::playPosition() {
    if (play_ != Play::Playing) return playFrom_;
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - playClock_);
    long long position = playFrom_ + elapsed.count() * 75 / 1000;
    if (position < playEnd_) return static_cast<int>(position);
    play_ = Play::Completed;
    playFrom_ = playEnd_;
    return playEnd_;
}

uint8_t VirtualDrive::playAudioMsf(RequestBlock& block) {
    if (!hasMedium()) return checkCondition(block, kNotReady, kMediumNotPresent);
    const uint8_t* cdb = block.cdb;
    int start = lbaOfMsf(cdb[3], cdb[4], cdb[5]);
    int end = lbaOfMsf(cdb[6], cdb[7], cdb[8]);
    if (start == end) return kStatusComplete;
    if (start < 0 || start > end || end > disc_->leadOut())
        return checkCondition(block, kIllegalRequest, kLbaOutOfRange);
    if (disc_->isData(start)) return checkCondition(block, kIllegalRequest, kIllegalModeForTrack);
    play_ = Play::Playing;
    playFrom_ = start;
    playEnd_ = end;
    playClock_ = Clock::now();
    return kStatusComplete;
}

uint8_t VirtualDrive::pauseResume(RequestBlock& block) {
    bool resume = block.cdb[8] & 0x01;
    int position = playPosition();
    if (play_ != Play::Playing && play_ != Play::Paused)
        return checkCondition(block, kIllegalRequest, kSequenceError);
    playFrom_ = position;
    playClock_ = Clock::now();
    play_ = resume ? Play::Playing : Play::Paused;
    return kStatusComplete;
}

uint8_t VirtualDrive::readSubChannel(RequestBlock& block) {
    if (!hasMedium()) return checkCondition(block, kNotReady, kMediumNotPresent);
    const uint8_t* cdb = block.cdb;
    bool msf = cdb[1] & 0x02;
    bool subQ = cdb[2] & 0x40;
    if (subQ && cdb[3] != 0x01) return checkCondition(block, kIllegalRequest, kInvalidCdbField);
    int position = std::min(playPosition(), disc_->leadOut() - 1);
    uint8_t data[16] = {};
    switch (play_) {
        case Play::Playing:
            data[1] = 0x11;
            break;
        case Play::Paused:
            data[1] = 0x12;
            break;
        case Play::Completed:
            data[1] = 0x13;
            play_ = Play::Idle;  // reported once
            break;
        case Play::Idle:
            data[1] = 0x15;
            break;
    }
    if (!subQ) return reply(block, data, 4, readBigEndian16(cdb + 7));
    const DiscTrack& track = disc_->trackAt(position);
    data[3] = 12;
    data[4] = 0x01;
    data[5] = static_cast<uint8_t>(0x10 | track.control);
    data[6] = static_cast<uint8_t>(track.number);
    data[7] = position < track.start ? 0 : 1;
    putAddress(data + 8, position, msf);
    int relative = position - track.start;
    if (msf)
        putMsfField(data + 12, msfOfSectors(std::abs(relative)));  // a gap counts down to the track
    else
        putBigEndian32(data + 12, relative);
    return reply(block, data, sizeof data, readBigEndian16(cdb + 7));
}

int loadVirtualDrives(const char* list, HostAdapter& host, std::string& failure) {
    if (!list) return 0;
    int target = 0;
    std::vector<std::string> entries, parts;
    if (split(list, ';', entries) != 0) {
        failure = std::string("VOLTA_IMAGES: a quoted path is not closed");
        return 1;
    }
    for (const std::string& entry : entries) {
        if (entry.empty()) continue;
        split(entry, ',', parts);
        const std::string cuePath = unquoted(parts[0]);
        if (target == kMaxDrives) {
            failure = cuePath + ": VOLTA_IMAGES names more than " + std::to_string(kMaxDrives) +
                      " drives";
            return 1;
        }
        VirtualDriveSettings settings;
        settings.identity = kDefaultIdentity;
        for (size_t k = 1; k < parts.size(); ++k) {
            if (parseSetting(parts[k], settings) != 0) {
                failure = cuePath + ": bad drive setting \"" + parts[k] + "\"";
                return 1;
            }
        }
        auto disc = makeOwned<VirtualDisc>();
        if (!disc) {
            failure = cuePath + ": not enough memory";
            return 1;
        }
        if (disc->load(cuePath, failure) != 0) {
            failure = escapeControls(failure);
            return 1;
        }
        HostAdapter::Device device;
        device.target = target++;
        device.lun = 0;
        device.unit = makeOwned<VirtualDrive>(std::move(disc), std::move(settings));
        if (!device.unit) {
            failure = cuePath + ": not enough memory";
            return 1;
        }
        host.devices.push_back(std::move(device));
    }
    return 0;
}
