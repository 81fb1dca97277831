#include "FontSystemWarmUp.h"

#ifdef ZELVOR_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>

#include <clocale>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace FontSystemWarmUp {
namespace {

// Joined at exit at the latest, so that the process never ends with the thread running.
struct WarmUpThread {
    std::thread thread;
    bool started = false;
    ~WarmUpThread() { join(); }
    void start() {
        if (started) {
            return;
        }
        started = true;
        try {
            thread = std::thread(Run);
        } catch (const std::system_error&) {
            // No thread to spare: the font system starts on first use, as without a warm-up.
        }
    }
    static void Run() {
        // A locale of the thread's own: QApplication sets the process's locale meanwhile, and
        // the C library does not allow that beside locale-dependent parsing.
        locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
        if (c != nullptr) {
            uselocale(c);
        }
        FcInit();
        if (c != nullptr) {
            uselocale(LC_GLOBAL_LOCALE);
            freelocale(c);
        }
    }
    void join() {
        if (thread.joinable()) {
            thread.join();
        }
    }
};

WarmUpThread& Worker() {
    static WarmUpThread worker;
    return worker;
}

} // namespace

void Start() {
    // Fontconfig reads environment variables as it starts. Qt's X11 connection (and GTK's)
    // removes DESKTOP_STARTUP_ID from the environment while the QApplication is made, and the
    // C library's getenv is not safe beside that; with the variable there, the warm-up waits
    // for ApplicationReady.
    if (std::getenv("DESKTOP_STARTUP_ID") == nullptr) {
        Worker().start();
    }
}

void ApplicationReady() {
    Worker().start();
}

void Finish() {
    Worker().join();
}

} // namespace FontSystemWarmUp

#else

namespace FontSystemWarmUp {

void Start() {}
void ApplicationReady() {}
void Finish() {}

} // namespace FontSystemWarmUp

#endif
