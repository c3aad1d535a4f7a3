#pragma once

// The media commands before a detection, on the system's default CD device
// (/dev/cdrom, else /dev/sr0). Errors are ignored; with no device nothing
// happens.
namespace CdromControl {

void stopAudio();
void closeTray();

}  // namespace CdromControl
