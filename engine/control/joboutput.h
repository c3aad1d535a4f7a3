#pragma once

#include <string>

// What becomes of the file of one job (or of one re-processed file) around
// its extraction: the output is written under its partial name, and once
// the chain is closed it takes its final name, goes through the external
// encoder, or stays partial.

enum class JobEnd {
    Complete,
    Stopped,  // by the user, with ESC: what was written is kept, as ever
    Failed,   // a read, the output or an encoder failed
};

// Before the chain of the job named `name` (no extension) is made: 0 when
// its output may be written; otherwise one line says why not.
int prepareJobOutput(const std::string& name);

// Once the job's chain is closed and destroyed. A complete job's file
// takes its final name (through the external encoder, for those), and so
// does a stopped job's; a failed job's stays partial, said in one line,
// and the current output name is cleared so that nothing tags or presents
// an older file of that name as this run's. 0 when the job's file is
// complete under its final name (or the job writes none).
int settleJobOutput(const std::string& name, JobEnd end);
