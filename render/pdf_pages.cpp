// Objects 1 and 2 are the catalogue and the page tree, written last since
// the tree lists every page; each page takes three objects after them: the
// page, its content stream and its image. The page keeps the image's pixels
// and is A4 in points, so a sheet prints on A4 whatever its pixel size,
// scaled alike across and down and centred.
#include "render/pdf_pages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cinttypes>
#include <cstring>

#include <zlib.h>

namespace {

// Measured on sheets of the default set: level 3 compresses a sheet in about
// half the time of zlib's default level, into a quarter more bytes; the
// compression is most of the time a sheet takes.
constexpr int compression_level = 3;

constexpr double a4_width = 595.275591, a4_height = 841.889764;
constexpr char a4_box[] = "0 0 595.275591 841.889764";

// What a worker's page holds before the deflated rows: width and height (4
// bytes each, this machine's order, since only a forked worker writes them)
// and 1 for grey.
constexpr std::size_t header_size = 9;

// Where the sheet goes on the page: one scale for both sides, the largest
// that fits, centred, as printing places it, so its squares stay square.
std::string a4_placement(std::int32_t width, std::int32_t height)
{
    const double scale = std::min(a4_width / width, a4_height / height);
    const double w = width * scale, h = height * scale;
    char matrix[128];
    std::snprintf(matrix, sizeof matrix, "%.6f 0 0 %.6f %.6f %.6f", w, h, (a4_width - w) / 2, (a4_height - h) / 2);
    return matrix;
}

bool all_grey(GdkPixbuf* image)
{
    const int width = gdk_pixbuf_get_width(image), height = gdk_pixbuf_get_height(image);
    const int stride = gdk_pixbuf_get_rowstride(image), channels = gdk_pixbuf_get_n_channels(image);
    const std::uint8_t* pixels = gdk_pixbuf_get_pixels(image);
    for (int y = 0; y < height; y++)
        for (const std::uint8_t* p = pixels + std::ptrdiff_t(y) * stride; p < pixels + std::ptrdiff_t(y) * stride + width * channels; p += channels)
            if (p[0] != p[1] || p[1] != p[2])
                return false;
    return true;
}

void put(pdf_document* pdf, std::string_view bytes)
{
    if (pdf->error)
        return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), pdf->stream) != bytes.size()) {
        pdf->error = errno ? errno : EIO;
        return;
    }
    pdf->written += bytes.size();
}

void begin_object(pdf_document* pdf, std::size_t number)
{
    if (pdf->object_offsets.size() < number)
        pdf->object_offsets.resize(number, 0);
    pdf->object_offsets[number - 1] = pdf->written;
    put(pdf, std::to_string(number) + " 0 obj\n");
}

void put_stream(pdf_document* pdf, const std::string& dictionary, std::string_view bytes)
{
    put(pdf, "<< " + dictionary + (dictionary.empty() ? "" : " ") + "/Length " + std::to_string(bytes.size()) +
                 " >>\nstream\n");
    put(pdf, bytes);
    put(pdf, "\nendstream\nendobj\n");
}

}  // namespace

std::string pdf_page_encode(GdkPixbuf* image)
{
    const std::int32_t width = gdk_pixbuf_get_width(image), height = gdk_pixbuf_get_height(image);
    const int stride = gdk_pixbuf_get_rowstride(image), channels = gdk_pixbuf_get_n_channels(image);
    const std::uint8_t* pixels = gdk_pixbuf_get_pixels(image);
    const bool grey = all_grey(image);
    std::string encoded(header_size, '\0');
    std::memcpy(encoded.data(), &width, 4);
    std::memcpy(encoded.data() + 4, &height, 4);
    encoded[8] = char(grey);

    // Row by row, so no second copy of the whole sheet is made.
    z_stream stream{};
    if (deflateInit(&stream, compression_level) != Z_OK)
        return {};
    std::vector<Bytef> row(std::size_t(width) * (grey ? 1 : 3));
    Bytef out[65536];
    int status = Z_OK;
    for (int y = 0; y < height && status != Z_STREAM_ERROR; y++) {
        const std::uint8_t* p = pixels + std::ptrdiff_t(y) * stride;
        for (std::size_t x = 0, i = 0; x < std::size_t(width); x++, p += channels) {
            row[i++] = p[0];
            if (!grey) {
                row[i++] = p[1];
                row[i++] = p[2];
            }
        }
        stream.next_in = row.data();
        stream.avail_in = uInt(row.size());
        do {
            stream.next_out = out;
            stream.avail_out = sizeof out;
            status = deflate(&stream, y + 1 == height ? Z_FINISH : Z_NO_FLUSH);
            encoded.append(reinterpret_cast<const char*>(out), sizeof out - stream.avail_out);
        } while (stream.avail_out == 0 && status != Z_STREAM_ERROR);
    }
    deflateEnd(&stream);
    return status == Z_STREAM_END ? encoded : std::string();
}

void pdf_begin(pdf_document* pdf, std::FILE* stream)
{
    *pdf = {};
    pdf->stream = stream;
    // The second line's high bytes tell transfer programs the file is binary.
    put(pdf, "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

bool pdf_add_page(pdf_document* pdf, std::string_view encoded)
{
    if (encoded.size() <= header_size)
        return false;
    std::int32_t width, height;
    std::memcpy(&width, encoded.data(), 4);
    std::memcpy(&height, encoded.data() + 4, 4);
    const bool grey = encoded[8] != 0;
    if (width <= 0 || height <= 0)
        return false;
    const std::size_t page = 3 + 3 * std::size_t(pdf->pages);
    begin_object(pdf, page);
    put(pdf, "<< /Type /Page /Parent 2 0 R /MediaBox [" + std::string(a4_box) + "] /Contents " +
                 std::to_string(page + 1) + " 0 R /Resources << /XObject << /Sheet " + std::to_string(page + 2) +
                 " 0 R >> >> >>\nendobj\n");
    begin_object(pdf, page + 1);
    put_stream(pdf, "", "q " + a4_placement(width, height) + " cm /Sheet Do Q");
    begin_object(pdf, page + 2);
    put_stream(pdf,
               "/Type /XObject /Subtype /Image /Width " + std::to_string(width) + " /Height " +
                   std::to_string(height) + " /ColorSpace " + (grey ? "/DeviceGray" : "/DeviceRGB") +
                   " /BitsPerComponent 8 /Interpolate true /Filter /FlateDecode",
               encoded.substr(header_size));
    pdf->pages++;
    return true;
}

bool pdf_end(pdf_document* pdf)
{
    begin_object(pdf, 1);
    put(pdf, "<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    begin_object(pdf, 2);
    std::string kids;
    for (int k = 0; k < pdf->pages; k++)
        kids += (k ? " " : "") + std::to_string(3 + 3 * k) + " 0 R";
    put(pdf, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pdf->pages) + " >>\nendobj\n");
    const std::uint64_t table = pdf->written;
    put(pdf, "xref\n0 " + std::to_string(pdf->object_offsets.size() + 1) + "\n0000000000 65535 f \n");
    for (std::uint64_t offset : pdf->object_offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010" PRIu64 " 00000 n \n", offset);
        put(pdf, entry);
    }
    put(pdf, "trailer\n<< /Size " + std::to_string(pdf->object_offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
                 std::to_string(table) + "\n%%EOF\n");
    return pdf->error == 0;
}
