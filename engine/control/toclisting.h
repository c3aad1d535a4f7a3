#pragma once

// The /l listing of the current drive's table of contents and names.
void printToc();
