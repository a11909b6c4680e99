// A PDF whose every page is one image stretched over an A4 page: all the
// print sheets need, so that the workers can compress the sheets in parallel
// and the writer only copies their bytes in list order. Images are 8-bit
// grey or RGB, deflated (the PDF's FlateDecode).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <gdk-pixbuf/gdk-pixbuf.h>

// A page's image as a worker hands it to the writer: grey when every pixel
// is, which a sheet drawn with a black-and-white set is. Empty when there is
// no memory for it.
std::string pdf_page_encode(GdkPixbuf* image);

struct pdf_document {
    std::FILE* stream;
    std::uint64_t written = 0;
    std::vector<std::uint64_t> object_offsets;  // of objects 1, 2, ...; 0 until written
    int pages = 0;
    int error = 0;  // errno of the first write that failed
};

void pdf_begin(pdf_document* pdf, std::FILE* stream);
// Adds a page showing an image pdf_page_encode made; false for bytes it did not make.
bool pdf_add_page(pdf_document* pdf, std::string_view encoded);
// Writes the page tree and the cross-reference table; false when a write failed.
bool pdf_end(pdf_document* pdf);
