#include "engine/output/tags/tagwriter.h"

#include "engine/common/loadedmodule.h"

int writeRichTags(const char* path, RichTags kind, const TrackTags& tags, std::string& reason) {
    if (kind == RichTags::None) return 0;
    auto write = reinterpret_cast<WriteTagsFunction>(loadedModuleFunction(kTagModule, kWriteTagsSymbol, &reason));
    if (!write) return 1;
    if (write(path, kind, tags) == 0) return 0;
    reason = "not a file TagLib can tag";
    return 1;
}
