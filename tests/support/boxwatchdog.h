#pragma once

// Fails the running test when a message box stays open that nobody answers: without it a test
// that meets a box it did not expect sits in the box's event loop until CTest's time-out ends
// the whole program. A box left open longer than graceMs is recorded as a failure of the
// current test function, naming its title and text, and closed, so that the test runs on to
// its end and the rest of the suite still runs. Tests answer the boxes they expect themselves
// (ModalCloser or an answer of their own), well within the grace.
namespace BoxWatchdog {
constexpr int graceMs = 3000;
// Starts the process's one watchdog; more calls change nothing. Needs the QApplication.
void install();
} // namespace BoxWatchdog
