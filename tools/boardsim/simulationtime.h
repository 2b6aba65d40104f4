#pragma once

// The simulated chip runs on a 16 MHz clock. A velocity register value v means
// v * 16e6 / 2^24 microsteps per second, an acceleration value a means a * 16e6^2 / 2^41
// microsteps per second squared.
namespace boardsim {

constexpr double clockHz = 16e6;
constexpr double velocityUnit = clockHz / 16777216.0;
constexpr double accelerationUnit = clockHz * clockHz / 2199023255552.0;

// The motion is integrated in steps of this much simulated time (2^14 clock cycles).
constexpr double integrationStep = 16384.0 / clockHz;

} // namespace boardsim
