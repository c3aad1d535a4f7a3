#include "engine/output/encoderkind.h"

namespace {

// The design's kinds keep their appended ID3v1 tag; the newer formats
// hold their names only in their own tags.
constexpr EncoderInfo kEncoders[] = {
    {EncoderKind::NoOutput, 'n', nullptr, nullptr, EncoderStage::NullSink, EncoderSetting::Bitrate, 0, 0,
     RichTags::None, false},
    {EncoderKind::Wave, 0, nullptr, nullptr, EncoderStage::WaveFile, EncoderSetting::Bitrate, 0, 0, RichTags::None,
     true},
    {EncoderKind::BladeEnc, 'b', ".mp3", nullptr, EncoderStage::Mp3Library, EncoderSetting::Bitrate, 0, 0,
     RichTags::Id3v2, true},
    {EncoderKind::X3encCbr, 'x', ".mp3", "x3enc.exe", EncoderStage::ProgramInput, EncoderSetting::Bitrate, 0, 0,
     RichTags::Id3v2, true},
    {EncoderKind::L3enc, 'l', ".mp3", "l3enc.exe", EncoderStage::ProgramInput, EncoderSetting::Bitrate, 0, 0,
     RichTags::Id3v2, true},
    {EncoderKind::X3encVbr, 'v', ".mp3", "x3enc.exe", EncoderStage::ProgramInput, EncoderSetting::Bitrate, 0, 0,
     RichTags::Id3v2, true},
    {EncoderKind::WindowsMedia, 'w', ".wma", nullptr, EncoderStage::WindowsMediaWriter, EncoderSetting::Bitrate, 0,
     0, RichTags::Asf, true},
    {EncoderKind::Flac, 'c', ".flac", nullptr, EncoderStage::FlacLibrary, EncoderSetting::FlacLevel, 0, 8,
     RichTags::FlacComments, false},
    {EncoderKind::Opus, 'o', ".opus", nullptr, EncoderStage::OpusLibrary, EncoderSetting::OpusBitrate, 6, 510,
     RichTags::OpusComments, false},
};

}  // namespace

const EncoderInfo& encoderInfo(EncoderKind kind) {
    for (const EncoderInfo& info : kEncoders)
        if (info.kind == kind) return info;
    return kEncoders[1];  // the default, for a value outside the enum
}

const EncoderInfo* encoderForLetter(char letter) {
    if (letter == 0) return nullptr;
    for (const EncoderInfo& info : kEncoders)
        if (info.letter == letter) return &info;
    return nullptr;
}

bool isExternalEncoder(EncoderKind kind) { return encoderInfo(kind).program != nullptr; }
