#pragma once

#include <QIcon>

// PLUMA's emblem, a disc and a quill, drawn here so that the window needs no
// image plugin; the installed icon is the same drawing as an SVG file.
QIcon plumaIcon();
