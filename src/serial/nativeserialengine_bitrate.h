#pragma once

// Bit rates as numbers through the kernel's termios2 interface, which takes any rate (BOTHER)
// and reports the rate a port really runs at. Kept apart because its kernel header cannot share
// a file with <termios.h>.
namespace NativeBitRate {
// Sets both directions to rate bits per second; false when the driver refuses.
bool setBoth(int descriptor, int rate);
// The port's input and output rates in bits per second; false when they cannot be read.
bool read(int descriptor, int *input, int *output);
} // namespace NativeBitRate
