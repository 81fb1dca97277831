// The font system's own start-up (fontconfig reading its configuration files and its font
// caches: several milliseconds, the largest single cost of showing the first window) run on a
// thread of its own, so that it overlaps the rest of the application's start-up instead of
// holding up the first text the main window measures.
//
// Correct in any order: should text be measured before Finish, fontconfig sets itself up on
// that thread as well and keeps one of the two results. Finish only makes it happen once, off
// the main thread. Where fontconfig is not used, the calls do nothing.
#pragma once

namespace FontSystemWarmUp {

// Called first thing in main(), before the QApplication: starts the warm-up, unless making the
// QApplication will change the environment the warm-up reads (see the source).
void Start();
// Called once the QApplication is made: starts the warm-up if Start did not.
void ApplicationReady();
// Waits for the warm-up to end; called before the first text is measured. Any number of
// calls; returns at once when nothing was started. Exit waits for a warm-up still running.
void Finish();

} // namespace FontSystemWarmUp
