// How this process's pyramid builds are scheduled. The viewer builds in idle time: a build's
// threads get a core only when no other thread wants it, and the window thread, woken by a
// timer or input, takes one from them at once instead of waiting for the scheduler's next
// turn (several milliseconds on a 2-core machine with both cores building). A program whose
// builds are the work it was asked for (the command-line tool) leaves them at normal priority,
// so that other busy programs do not hold them up.
#pragma once

namespace tiles {

enum class BuildPriority { Normal, Idle };

// For the builds started from now on; Normal until set. Any thread.
void SetBuildPriority(BuildPriority priority);
// Called by a build thread as it starts: puts the calling thread (only it, and the threads it
// starts afterwards) at the build priority. Where the system refuses, it goes on as it is.
void EnterBuildPriority();

} // namespace tiles
