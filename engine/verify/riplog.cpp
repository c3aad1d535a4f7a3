#include "engine/verify/riprecord.h"

#include "engine/common/msf.h"
#include "engine/verify/sha256.h"

#include <cstdarg>
#include <cstdio>

namespace {

void append(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));
void append(std::string& text, const char* format, ...) {
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length > 0) text.append(line, static_cast<size_t>(length) < sizeof line ? static_cast<size_t>(length) : sizeof line - 1);
}

std::string timeOf(int sectors) {
    Msf msf = msfOfSectors(sectors);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d.%02d", msf.minutes, msf.seconds, msf.frames);
    return text;
}

void appendToc(std::string& text, const RipRecord& record) {
    text += "Table of contents\n";
    text += "  Track     Start   Length              Pre-gap\n";
    for (const RipTocEntry& entry : record.toc) {
        append(text, "  %5d  %8d  %7d (%s)  %5d (%s)%s\n", entry.number, entry.start, entry.length,
               timeOf(entry.length).c_str(), entry.pregap, timeOf(entry.pregap).c_str(),
               entry.control & 0x04 ? "  data" : "");
    }
    append(text, "  Lead-out %6d\n", record.leadOut);
}

void appendTrack(std::string& text, const RipRecord& record, const RippedTrack& track) {
    append(text, "Track %02d\n", track.number);
    const RippedFile& file = record.files[static_cast<size_t>(track.file)];
    text += "  File: " + (file.type == RippedFile::None ? std::string("none written") : file.name) + "\n";
    if (track.complete) {
        append(text, "  Peak level: %.1f %%\n", track.peak * 100.0 / 32768.0);
        append(text, "  CRC32: %08X\n", track.crc32);
        append(text, "  AccurateRip v1: %08X\n", track.accurateRipV1);
        append(text, "  AccurateRip v2: %08X\n", track.accurateRipV2);
        text += "  Result: " + verdictText(track.verdict) + "\n";
        if (track.verdict.kind != TrackVerdict::NotInDatabase)
            append(text, "  Database best: %08X (confidence %d)\n", track.verdict.bestChecksum,
                   track.verdict.bestConfidence);
    } else {
        append(text, "  Result: copy failed, sectors from %d on not copied\n", track.missingFrom);
    }
    append(text, "  Retried reads: %d\n", track.retriedReads);
    append(text, "  Failed reads: %d\n", track.failedReads);
    for (const auto& [first, last] : track.failedSectors) {
        if (first == last)
            append(text, "    sector %d failed\n", first);
        else
            append(text, "    sectors %d-%d failed\n", first, last);
    }
}

}  // namespace

std::string RipRecord::titleOf(int track) const {
    if (track < 1 || static_cast<size_t>(track) > trackTitles.size()) return std::string();
    return trackTitles[static_cast<size_t>(track - 1)];
}

std::string composeRipLog(const RipRecord& record) {
    std::string text;
    text += record.program + "\n";
    text += "Date: " + record.date + "\n";
    text += "Drive: " + record.drive + "\n";
    append(text, "Read offset correction: %+d samples\n", record.readOffset);
    append(text, "Extraction mode: %s, read retries: %d\n", record.mode.c_str(), record.readRetries);
    if (record.named) text += "Disc: " + record.discArtist + " - " + record.discTitle + "\n";
    text += "\n";
    appendToc(text, record);
    text += "\n";
    text += "AccurateRip ID: " + record.accurateRipId + "\n";
    text += record.databaseLine + "\n";
    for (const RippedTrack& track : record.tracks) {
        text += "\n";
        appendTrack(text, record, track);
    }
    text += "\nSummary\n";
    for (const std::string& line : record.summary) text += line + "\n";
    text += "\n";
    text += kLogChecksumPrefix + sha256Hex(text) + "\n";
    return text;
}
