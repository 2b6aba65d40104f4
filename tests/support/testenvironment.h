#pragma once

// Points the settings store, the temporary files and every system root at private places, so
// that no test touches the user's settings or the real /sys, /dev or udev rules; and watches for
// message boxes nobody answers (BoxWatchdog).
// It also gives every link of the process at least replyWaitUnderLoadMs for a reply.
void isolateTestEnvironment();

// A reply the simulated board's thread sends at once can still come this late on two busy cores in
// a sanitizer build; a USB port's own budget is 33 ms.
constexpr int replyWaitUnderLoadMs = 500;

// For the tests of the reply budget itself: while it lives, links wait their own budget only.
class OwnReplyBudget
{
public:
    OwnReplyBudget();
    ~OwnReplyBudget();
    OwnReplyBudget(const OwnReplyBudget &) = delete;
    OwnReplyBudget &operator=(const OwnReplyBudget &) = delete;

private:
    int kept;
};
