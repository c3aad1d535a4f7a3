#pragma once

// Prints the one line of a condition that ends the run (a newline is
// added) and returns `code`, the exit code that the step hands back up to
// runMain.
int reportFatal(int code, const char* message);
