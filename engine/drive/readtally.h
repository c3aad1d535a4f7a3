#pragma once

#include <cstddef>
#include <vector>

// The reads of a drive that did not deliver their sectors, in order: what a
// rip log reports as retried and failed reads.
class ReadTally {
public:
    struct Failure {
        int lba = 0;
        int count = 0;
        bool retried = false;  // read again afterwards
    };

    // A drive that fails every read under a huge retry count would fill the
    // memory; past this many, failures are no longer kept.
    static constexpr std::size_t kMaxKept = 100000;

    void noteFailure(int lba, int count);
    void noteRetry();
    void clear();

    const std::vector<Failure>& failures() const { return failures_; }

private:
    std::vector<Failure> failures_;
};
