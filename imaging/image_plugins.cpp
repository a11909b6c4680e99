// The image plugin registry: the ordered decoder list with the one shared
// load context, and the encoder list chosen by four-letter code. Saving goes
// through a temporary file beside the target that replaces it only once the
// writer has finished, so a failed save never damages what was there.
#include "imaging/image_plugins.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int plugin_list_size = 32;

const image_decoder* decoders[plugin_list_size];
int decoder_count;
const image_encoder* encoders[plugin_list_size];
int encoder_count;

image_load_context load_context;
image_load_context* context;  // null until image_plugins_init
std::string context_path;     // what load_context.path points into

int last_encode_errno;

// Symbolic links are followed by hand so that the file they point at is the
// one replaced, and the link itself survives the save.
constexpr int symlink_hop_limit = 40;

std::string parent_folder(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string base_name(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows the links to the file a save replaces; says whether it exists and,
// when it does, what it is.
bool resolve_symlinks(const std::string& path, std::string& resolved, struct stat& info, bool& exists)
{
    std::string current = path;
    for (int hop = 0; hop < symlink_hop_limit; ++hop) {
        if (lstat(current.c_str(), &info) != 0) {
            if (errno != ENOENT)
                return false;
            resolved = current;
            exists = false;
            return true;
        }
        if (!S_ISLNK(info.st_mode)) {
            resolved = current;
            exists = true;
            return true;
        }
        char target[4096];
        ssize_t length = readlink(current.c_str(), target, sizeof target);
        if (length < 0)
            return false;
        if (std::size_t(length) >= sizeof target) {
            errno = ENAMETOOLONG;
            return false;
        }
        std::string next(target, std::size_t(length));
        if (next.empty()) {
            errno = ENOENT;
            return false;
        }
        current = next[0] == '/' ? next : parent_folder(current) + "/" + next;
    }
    errno = ELOOP;
    return false;
}

// A fresh name in folder; it starts with a dot so that a file left behind by
// a crash stays out of the way.
std::string temporary_name(const std::string& folder, const std::string& stem)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    // Keep the name within the usual 255-byte limit of one path component.
    std::string path = folder + "/." + stem.substr(0, 200) + ".";
    for (int i = 0; i < 6; ++i)
        path += letters[g_random_int_range(0, sizeof letters - 1)];
    return path;
}

struct pixel_rows {
    const std::uint8_t* pixels;
    std::int32_t width, height, pitch, flags, quality, save_depth;
};

// Runs the writer on a new file in folder that the writer creates itself, so
// it never opens a file it did not make; a name found taken is drawn again.
bool write_temporary(image_writer writer, const std::string& folder, const std::string& stem,
                     const pixel_rows& rows, std::string& temporary)
{
    constexpr int attempts = 100;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        temporary = temporary_name(folder, stem);
        errno = 0;
        if (writer(temporary.c_str(), rows.pixels, rows.width, rows.height, rows.pitch,
                   rows.flags | create_new_file, rows.quality, rows.save_depth))
            return true;
        if (errno != EEXIST) {
            last_encode_errno = errno;
            unlink(temporary.c_str());  // the name was free, so anything there is the writer's
            return false;
        }
    }
    last_encode_errno = EEXIST;
    return false;
}

// Copies a finished temporary file into a target that must not be replaced
// (a device or a pipe): it is opened and written as it is.
bool copy_into(const std::string& from, const std::string& to)
{
    int source = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return false;
    int target = open(to.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (target < 0) {
        int saved = errno;
        close(source);
        errno = saved;
        return false;
    }
    bool ok = true;
    char block[65536];
    for (;;) {
        ssize_t got = read(source, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < got;) {
            ssize_t put = write(target, block + done, std::size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                if (put == 0)
                    errno = EIO;
                ok = false;
            } else {
                done += put;
            }
        }
        if (!ok)
            break;
    }
    int saved = errno;
    if (close(target) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    close(source);
    errno = saved;
    return ok;
}

// Runs the writer so that the target changes only when the file is complete.
int write_safely(image_writer writer, const std::string& path, const pixel_rows& rows)
{
    if (path.empty() || path.back() == '/') {
        last_encode_errno = path.empty() ? ENOENT : EISDIR;
        return 0;
    }
    std::string target;
    struct stat info;
    bool exists = false;
    if (!resolve_symlinks(path, target, info, exists)) {
        last_encode_errno = errno;
        return 0;
    }
    if (exists && S_ISDIR(info.st_mode)) {
        last_encode_errno = EISDIR;
        return 0;
    }

    std::string temporary;
    if (exists && !S_ISREG(info.st_mode)) {
        // Never rename over or unlink a device or a pipe: write the file
        // elsewhere first and pour it in once it is complete.
        if (!write_temporary(writer, g_get_tmp_dir(), "image-save", rows, temporary))
            return 0;
        bool poured = copy_into(temporary, target);
        if (!poured)
            last_encode_errno = errno;
        unlink(temporary.c_str());
        return poured ? 1 : 0;
    }

    if (!write_temporary(writer, parent_folder(target), base_name(target), rows, temporary))
        return 0;
    if (exists)
        chmod(temporary.c_str(), info.st_mode & 07777);  // the replaced file's permissions stay
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        last_encode_errno = errno;
        unlink(temporary.c_str());
        return 0;
    }
    return 1;
}

// Pitch of a 3-byte row, rounded up to a multiple of 4.
std::int64_t rgb_pitch(std::int32_t width)
{
    return (std::int64_t(width) * 3 + 3) / 4 * 4;
}

}  // namespace

void image_plugins_init()
{
    decoder_count = 0;
    encoder_count = 0;
    load_context = {};
    context_path.clear();
    context = &load_context;
}

int image_decoder_register(const image_decoder* decoder)
{
    // The lists are fixed arrays; a registration past their end is refused.
    if (!decoder || decoder_count >= plugin_list_size)
        return 0;
    decoders[decoder_count++] = decoder;
    return decoder_count;
}

int image_encoder_register(const image_encoder* encoder)
{
    if (!encoder || !encoder->encode24 || encoder_count >= plugin_list_size)
        return 0;
    encoders[encoder_count++] = encoder;
    return encoder_count;
}

image_load_context* image_load_context_current()
{
    return context;
}

int image_probe_file(const char* path)
{
    if (!context)
        return 0;
    // A load that was probed but never decoded still holds its file.
    if (context->file)
        image_decode_close();
    *context = {};
    context_path = path ? path : "";
    context->path = context_path.c_str();
    context->file = std::fopen(context->path, "rb");
    if (!context->file)
        return 0;
    // A folder opens for reading on Linux, but no decoder can size it.
    struct stat info;
    if (fstat(fileno(context->file), &info) != 0 || S_ISDIR(info.st_mode)) {
        std::fclose(context->file);
        context->file = nullptr;
        return 0;
    }
    for (int i = 0; i < decoder_count; ++i) {
        if (std::fseek(context->file, 0, SEEK_SET) != 0)
            break;
        if (decoders[i]->probe(context)) {
            context->decoder = decoders[i];
            return 1;
        }
    }
    std::fclose(context->file);
    context->file = nullptr;
    return 0;
}

int image_decode_rows(std::uint8_t* buffer, std::int32_t pitch, std::int32_t flags)
{
    if (!context || !context->decoder)
        return 0;
    int result = context->decoder->decode(context, buffer, pitch, flags);
    image_decode_close();
    return result;
}

void image_decode_close()
{
    if (!context)
        return;
    if (context->decoder)
        context->decoder->close(context);
    context->decoder = nullptr;
    if (context->file)
        std::fclose(context->file);
    context->file = nullptr;
}

int image_encode(const text& path, const std::uint8_t* pixels, std::uint32_t code, std::int32_t width,
                 std::int32_t height, std::int32_t pitch, std::int32_t depth, std::int32_t flags,
                 std::int32_t quality, std::int32_t save_depth)
{
    last_encode_errno = 0;
    std::string utf8 = text_to_utf8(path);
    const image_encoder* encoder = nullptr;
    for (int i = 0; i < encoder_count && !encoder; ++i)
        if (encoders[i]->code == code)
            encoder = encoders[i];
    if (!encoder || !pixels || width <= 0 || height <= 0)
        return 0;

    if (depth == 24)
        return write_safely(encoder->encode24, utf8, {pixels, width, height, pitch, flags, quality, save_depth});
    if (depth != 32)
        return 0;
    if (encoder->encode32)
        return write_safely(encoder->encode32, utf8, {pixels, width, height, pitch, flags, quality, save_depth});

    // No RGBA writer: flatten over white, as the pixels would look on paper.
    std::int64_t flat_pitch = rgb_pitch(width);
    if (flat_pitch > INT32_MAX)
        return 0;
    std::uint8_t* flat = static_cast<std::uint8_t*>(std::calloc(std::size_t(height), std::size_t(flat_pitch)));
    if (!flat) {
        last_encode_errno = ENOMEM;
        return 0;
    }
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* from = pixels + std::int64_t(y) * pitch;
        std::uint8_t* to = flat + std::int64_t(y) * flat_pitch;
        for (std::int32_t x = 0; x < width; ++x, from += 4, to += 3) {
            unsigned alpha = from[3];
            for (int channel = 0; channel < 3; ++channel)
                to[channel] = std::uint8_t((from[channel] * alpha + 255 * (255 - alpha)) / 255);
        }
    }
    int result = write_safely(encoder->encode24, utf8,
                              {flat, width, height, std::int32_t(flat_pitch), flags, quality, save_depth});
    std::free(flat);
    return result;
}

int image_encode_last_errno()
{
    return last_encode_errno;
}
