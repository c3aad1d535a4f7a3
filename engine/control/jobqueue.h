#pragma once

#include <string>

class RipVerification;

// The queue worker: every job of the command line, then every file of the
// /* patterns. Returns the run's exit code: 0 when it went through, that of
// a failed job when the queue stopped there. With /verify, `verification`
// checksums every job.
int runQueue(RipVerification* verification = nullptr);

// runQueue on a thread of its own whose priority follows the Windows
// thread priority `priority` (/+n). When the thread cannot be started the
// queue runs on the calling thread. Returns what runQueue returned.
int runQueueOnThread(int priority, RipVerification* verification = nullptr);

// Extracts [firstSector, endSector) of the current drive into the output
// `name` (no extension). 0 on success; otherwise the failure is printed.
int processJob(const std::string& name, int firstSector, int endSector, RipVerification* verification = nullptr);
