// Error routing shared by the JPEG decoder and encoder: the library's fatal
// errors long-jump back to the caller's jump point, and no message, warning
// or trace line is ever printed.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

// The error manager must come first: jpeg_error_jump finds the jump buffer
// from the library's err pointer, so both live in one block.
struct jpeg_error_block {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// Fills the block's manager like jpeg_std_error, then routes error exits to
// the jump buffer and silences every message. Returns the manager for err.
jpeg_error_mgr* jpeg_error_block_setup(jpeg_error_block* block);

// The library's error_exit: jumps to the block's jump buffer with value 1.
[[noreturn]] void jpeg_error_jump(j_common_ptr library);
