#pragma once
// Draws one connection picture from a row of the pin table.

#include "app/pictures/wiringpins.h"

#include <QImage>

#include <string>
#include <vector>

namespace velmora {

// The package outline with every pin numbered (pin 1 marked), each pin's signal and the
// gateway line it goes to, +12 V in red, the unconnected pins, and the chips' names.
QImage DrawWiringPicture(const ChipWiring& row, const std::vector<std::string>& chips);

}  // namespace velmora
