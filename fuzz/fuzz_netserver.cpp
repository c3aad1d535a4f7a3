// A client's bytes against the distributed server's command handling, on a
// small virtual disc: commands, extraction ranges and block answers.

#include "engine/drive/aspi.h"
#include "engine/drive/image/virtualdisc.h"
#include "engine/drive/image/virtualdrive.h"
#include "engine/drive/scsidrive.h"
#include "engine/net/distributedserver.h"
#include "fuzz/scriptedpeer.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kTrackSectors = 30;

AspiLibrary* library = nullptr;
CdDrive* drive = nullptr;

// Three short tracks; the files go as soon as the disc holds them open.
int makeDrive() {
    char folder[] = "/tmp/fuzz-netserver-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    std::string cue = std::string(folder) + "/disc.cue";
    std::string bin = std::string(folder) + "/disc.bin";
    std::FILE* sheet = std::fopen(cue.c_str(), "w");
    std::FILE* samples = std::fopen(bin.c_str(), "wb");
    if (!sheet || !samples) return 1;
    std::fprintf(sheet, "FILE \"disc.bin\" BINARY\n");
    for (int track = 1; track <= 3; ++track)
        std::fprintf(sheet, "  TRACK %02d AUDIO\n    INDEX 01 00:%02d:%02d\n", track,
                     (track - 1) * kTrackSectors / 75, (track - 1) * kTrackSectors % 75);
    std::vector<uint8_t> sector(2352);
    for (int s = 0; s < 3 * kTrackSectors; ++s) {
        for (size_t i = 0; i < sector.size(); ++i) sector[i] = static_cast<uint8_t>(s * 31 + i);
        std::fwrite(sector.data(), 1, sector.size(), samples);
    }
    std::fclose(sheet);
    std::fclose(samples);

    auto disc = std::make_unique<VirtualDisc>();
    std::string failure;
    int loaded = disc->load(cue, failure);
    std::remove(cue.c_str());
    std::remove(bin.c_str());
    rmdir(folder);
    if (loaded != 0) return 1;

    std::vector<HostAdapter> hosts(1);
    HostAdapter::Device device;
    device.unit = std::make_unique<VirtualDrive>(std::move(disc), VirtualDriveSettings{});
    hosts[0].devices.push_back(std::move(device));
    library = new AspiLibrary(std::move(hosts), "");
    drive = new MmcDrive(library, 0, 0, 0);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The console and the ESC key are of no interest here.
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "r", stdin)) return 1;
    if (makeDrive() != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScriptedPeer client(data, size);
    if (client.socket() < 0) return 0;
    serveConnection(client.socket(), *drive, *library);
    return 0;
}
