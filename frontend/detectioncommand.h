#pragma once

#include <QString>
#include <QStringList>

// The engine's arguments for a disc detection: list the table of contents
// with the basename "Piste" and the invalid track 0 (which copies nothing).
QStringList detectionArguments(bool atapi, bool autoDetection, int host, int target, int lun);

// An address box's text after an edit: one digit, anything else becomes "0"
// (the engine reads one digit per field).
QString sanitisedAddress(const QString& text);
