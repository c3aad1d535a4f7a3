#pragma once

// The codes a run of VOLTA ends with, one per row of the README's table.
// Some codes serve two rows.
constexpr int kExitSuccess = 0;
constexpr int kExitCommandLine = 1;  // command-line errors and help pages
constexpr int kExitAspiFailure = 2;
constexpr int kExitNoDiscNames = 3;  // CDDB or MusicBrainz failed and no alternate basename
constexpr int kExitInquiryFailed = 3;
constexpr int kExitDriveNotReady = 4;  // also a drive command set that cannot be made
constexpr int kExitReadTocFailed = 5;
constexpr int kExitCddaModeFailed = 6;
constexpr int kExitQueueFailed = 7;  // the queue stopped on a failed job
constexpr int kExitAcmCancelled = 8;
constexpr int kExitNotAccurate = 9;  // /verify: the database knows the disc, a track differs
constexpr int kExitQueueHosed = 10;
constexpr int kExitNoCommandLine = 19;
constexpr int kExitFilterParameters = 20;
constexpr int kExitNoCddbAddress = 24;
constexpr int kExitBadBasename = 31;
constexpr int kExitMissingName = 32;  // server address or cache file name
constexpr int kExitNoFileSpec = 33;
constexpr int kExitSocketFailed = 99;
constexpr int kExitRemoteInquiryFailed = 100;
constexpr int kExitSocketStartupFailed = 101;
constexpr int kExitBindFailed = 102;  // the distributed server cannot listen on its port
