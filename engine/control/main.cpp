#include "engine/control/mainflow.h"

int main(int argc, char** argv) { return runMain(argc, argv); }
