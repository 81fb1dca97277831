// libjpeg's errors turned into a jump back to the caller's setjmp (libjpeg's own handler ends
// the process) and its warnings counted, never printed. Only trivially destructible objects
// may live between the setjmp and the libjpeg calls that may jump back to it.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace tiles {

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    int warnings = 0; // corrupt-data warnings so far

    // The error manager for a decompress or compress struct's `err`.
    jpeg_error_mgr* install() {
        jpeg_std_error(&manager);
        manager.error_exit = Abort;
        manager.emit_message = Count;
        return &manager;
    }

private:
    [[noreturn]] static void Abort(j_common_ptr info) {
        std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
    }
    static void Count(j_common_ptr info, int level) {
        if (level < 0) {
            ++reinterpret_cast<JpegErrors*>(info->err)->warnings;
        }
    }
};

} // namespace tiles
