// Error routing shared by the JPEG decoder and encoder. A stock library
// prints its first warning on stderr whatever the trace level, so the message
// hooks are replaced as well as the exit; the output hook prints nothing.

#include "codec/jpeg_errors.h"

namespace {

void silent_output(j_common_ptr) {}

// Warnings are counted and reach the output only at trace level 3 or more,
// the first one included; trace lines only up to the trace level.
void counted_emit(j_common_ptr library, int level)
{
    jpeg_error_mgr* manager = library->err;
    if (level < 0) {
        if (manager->trace_level >= 3)
            manager->output_message(library);
        manager->num_warnings++;
    } else if (manager->trace_level >= level) {
        manager->output_message(library);
    }
}

}  // namespace

jpeg_error_mgr* jpeg_error_block_setup(jpeg_error_block* block)
{
    jpeg_error_mgr* manager = jpeg_std_error(&block->manager);
    manager->error_exit = jpeg_error_jump;
    manager->emit_message = counted_emit;
    manager->output_message = silent_output;
    return manager;
}

void jpeg_error_jump(j_common_ptr library)
{
    auto* block = reinterpret_cast<jpeg_error_block*>(library->err);
    std::longjmp(block->jump, 1);
}
