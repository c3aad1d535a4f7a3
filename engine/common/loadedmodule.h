#pragma once

#include <string>

// Libraries that would more than double the program's memory if every run
// mapped them live in modules beside the program (in the library folder
// once installed), which only a run that needs them loads.
//
// The function `name` of the module file `module`, which is loaded on
// first use and then stays; null when either cannot be found, with
// `reason` (when given) saying why.
void* loadedModuleFunction(const char* module, const char* name, std::string* reason = nullptr);
