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
    // the server read them.
    int readToc() override;

    const int socket;

private:
    // 0 when the next line arrived and is a number.
    int receiveNumber(int& value);
    int receiveTocLines(int first, int last);
    int receiveNames(int first, int last);
};
