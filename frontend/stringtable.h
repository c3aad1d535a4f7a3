#pragma once

#include <QString>

// The window's texts: French ids from 1000, English ids from 2000. A text is
// looked up as base id (1000 + k) plus the language offset (0 or 1000).
namespace StringTable {

constexpr int french = 0;
constexpr int english = 1000;

// Empty for an id the table does not define.
QString text(int id);

// The text of base id `baseId` (1000 + k) in the language `offset`.
QString text(int baseId, int offset);

bool defined(int id);

}  // namespace StringTable

// Texts this platform adds; they have no id in the table.
enum class PlatformText {
    VoltaNotFound,
    AspiHelp,
};

QString platformText(PlatformText which, int offset);
