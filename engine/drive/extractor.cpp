#include "engine/drive/extractor.h"

#include "engine/control/progressmeter.h"
#include "engine/pipeline/audiostage.h"

#include <cstdio>

ReadRequest::ReadRequest(CdDrive& drive, AspiLibrary& library) : drive(drive), request(library) {}

ReadRequest::~ReadRequest() { finish(); }

void ReadRequest::start(uint8_t* into, int firstSector, int sectorCount) {
    target = into;
    lba = firstSector;
    count = sectorCount;
    startResult = drive.startRead(request, into, firstSector, sectorCount);
    pending = startResult == 0;
    if (startResult != 0) drive.readTally.noteFailure(lba, count);
}

int ReadRequest::finish() {
    if (!pending) return startResult != 0 ? 1 : 0;
    pending = false;
    if (drive.waitRead(request) == 0) return 0;
    drive.readTally.noteFailure(lba, count);
    return 1;
}

const char* ReadRequest::failure() const { return startResult != 0 ? "" : request.failure(); }

int ReadSlot::read(int lba, int sectorCount) {
    start(lba, sectorCount);
    return finish();
}

Extractor::Extractor(CdDrive& drive, std::unique_ptr<AudioStage>& output, AspiLibrary& library)
    : library(&library), drive(&drive), output(output) {}

Extractor::Extractor(std::unique_ptr<AudioStage>& output) : library(nullptr), drive(nullptr), output(output) {}

int Extractor::run(int, int, ProgressMeter&) { return 0; }

Extractor::~Extractor() = default;

// A reversed range holds nothing rather than wrapping round to billions.
int Extractor::sectorsBetween(int startLba, int endLba) {
    return endLba > startLba ? endLba - startLba : 0;
}

int Extractor::percentOf(long long done, long long total) {
    return total > 0 ? static_cast<int>(done * 100 / total) : 100;
}

void Extractor::beginProgress(ProgressMeter& progress, const char* title) {
    progress.setTitle(title);
    progress.setPercent(0);
    progress.begin();
}

int Extractor::finishRun(ProgressMeter& progress, int stop) {
    progress.setPercent(100);
    progress.update();
    progress.finish();
    return output->close() != 0 ? 1 : stop;
}

int Extractor::failRead(ProgressMeter& progress, const char* why) {
    progress.leaveBar();
    if (*why) std::printf("%s\n", why);
    output->close();
    return 1;
}

// A failing range can take many slow retries: ESC ends them as it ends a run.
int Extractor::readWithRetries(ReadSlot& slot, int lba, int count, int& retries, ProgressMeter& progress) {
    while (slot.read(lba, count) != 0) {
        if (retries <= 0 || progress.update() != 0) return 1;
        --retries;
        slot.noteRetry();
    }
    return 0;
}
