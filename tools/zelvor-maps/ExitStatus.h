// The tool's exit statuses.
#pragma once

inline constexpr int kExitOk = 0;     // everything asked for was done
inline constexpr int kExitFailed = 1; // some input could not be read or some output not written
inline constexpr int kExitUsage = 2;  // the command line itself was wrong; nothing was done
