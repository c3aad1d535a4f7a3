#pragma once

// libavformat, libavcodec and what they bring take more memory than the
// rest of the program together, so the codecs over them (the WMA writer
// and the ACM layer's compressed formats) live in a module of their own
// beside the program, which only a run that writes such a format maps.
constexpr const char* kCodecModule = "volta_codecs.so";

// The function `name` of the codec module, which is loaded on first use
// and then stays; null when either cannot be found.
void* codecModuleFunction(const char* name);
