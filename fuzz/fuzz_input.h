// Hands a fuzz input to the registry as a file: the bytes go into one
// memory-backed file, opened again by path for every load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

class fuzz_input_file {
public:
    fuzz_input_file() : descriptor_(memfd_create("fuzz-input", MFD_CLOEXEC))
    {
        path_ = "/proc/self/fd/" + std::to_string(descriptor_);
    }
    ~fuzz_input_file() { close(descriptor_); }

    // The file's path after it was made to hold exactly data.
    const std::string& hold(const std::uint8_t* data, std::size_t size)
    {
        if (ftruncate(descriptor_, 0) != 0)
            std::abort();
        for (std::size_t done = 0; done < size;) {
            ssize_t put = pwrite(descriptor_, data + done, size - done, off_t(done));
            if (put <= 0)
                std::abort();
            done += std::size_t(put);
        }
        return path_;
    }

private:
    int descriptor_;
    std::string path_;
};
