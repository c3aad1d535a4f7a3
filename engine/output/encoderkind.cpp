#include "engine/output/encoderkind.h"

namespace {

constexpr EncoderInfo kEncoders[] = {
    {EncoderKind::NoOutput, 'n', nullptr, nullptr, EncoderStage::NullSink},
    {EncoderKind::Wave, 0, nullptr, nullptr, EncoderStage::WaveFile},
    {EncoderKind::BladeEnc, 'b', ".mp3", nullptr, EncoderStage::Mp3Library},
    {EncoderKind::X3encCbr, 'x', ".mp3", "x3enc.exe", EncoderStage::ProgramInput},
    {EncoderKind::L3enc, 'l', ".mp3", "l3enc.exe", EncoderStage::ProgramInput},
    {EncoderKind::X3encVbr, 'v', ".mp3", "x3enc.exe", EncoderStage::ProgramInput},
    {EncoderKind::WindowsMedia, 'w', ".wma", nullptr, EncoderStage::WindowsMediaWriter},
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
