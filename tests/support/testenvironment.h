#pragma once

// Points the settings store, the temporary files and every system root at private places, so
// that no test touches the user's settings or the real /sys, /dev or udev rules; and watches for
// message boxes nobody answers (BoxWatchdog).
void isolateTestEnvironment();
