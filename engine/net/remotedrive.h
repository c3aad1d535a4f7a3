#pragma once

#include "engine/drive/scsidrive.h"

// The drive of a distributed server, reached over the client's connection.
// Only readiness, identity and the table of contents travel; reading goes
// through a RemoteExtractor, and nothing else is offered remotely.
class RemoteDrive : public ScsiDrive {
public:
    // The socket stays with the caller.
    explicit RemoteDrive(int socket);
    int testUnitReady() override;
    int inquiry() override;
    ~RemoteDrive() override;
    int spinUp() override;
    int readPosition() override;
    int eject() override;
    int stop() override;
    int waitRead(ScsiRequest& request) override;
    int resume() override;
    int pause() override;
    int playToEnd(int track) override;
    int playTrack(int track) override;
    int startRead(ScsiRequest& request, uint8_t* buffer, int lba, int count) override;
    int leaveCddaMode() override;
    int enterCddaMode() override;
    int playAudio(int lba, int length) override;
    // The table of contents and, when the disc has CD-TEXT, the names, as
    // the server read them. A table no disc can have is refused (1, and the
    // table is left empty); names have their control characters blanked,
    // as the disc's own would.
    int readToc() override;

    const int socket;

private:
    // The table as the server's lines give it; slot k: track k + 1.
    struct ServerToc {
        int first = 0;
        int last = 0;
        int starts[kMaxTracks] = {};
        int controls[kMaxTracks] = {};
        int leadOut = 0;
    };

    // 0 when the next line arrived and is a number.
    int receiveNumber(int& value);
    int receiveNames(int first, int last);
    // Starts from 0 on, each after the one before, the lead-out after the
    // last and no later than the last address of a disc.
    static bool isPossible(const ServerToc& toc);
    void storeToc(const ServerToc& toc);
};
