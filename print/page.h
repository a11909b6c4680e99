// The page layer: a print job over GTK+ 2's printing and cairo. Drawing
// happens in the print system's page space (origin at the bottom-left, y
// upward, one unit per point) and is recorded until the printer is known;
// closing the job plays the pages to the printer the dialog chose.
#pragma once

#include <cstdint>
#include <string>

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <pango/pango.h>

struct page_job;
struct page_context;

// On the printer, paper and orientation last chosen in the run, or the print
// system's defaults before any dialog has been answered with Print or Preview.
page_job* page_job_new();
page_context* page_job_context(page_job* job);  // owned by the job
void page_job_free(page_job* job);  // null is allowed
// Jobs alive in the process, so tests can see that none is leaked or doubled.
std::int32_t page_job_live_count();
// Back to the print system's defaults, as at the start of a run.
void page_forget_choices();

// Modal dialog titled "Print": 1 Print, 2 Print Preview, 0 anything else
// (also when no dialog can be made, as without a display). The dialog offers
// paper size and orientation beside the printer. On 1 and 2 the chosen
// printer, settings and page setup are stored in the job and kept for the
// next job of the run.
int page_job_run_dialog(page_job* job);

// The paper size in points, in the chosen orientation (A4 landscape is
// about 841.89 x 595.28); false when it cannot be found.
bool page_job_page_size(page_job* job, double* width, double* height);

// A page opened while another is open closes that one first.
void page_begin(page_context* context, const std::string& name);
void page_show(page_context* context);

// Sends the job to the chosen printer and waits, running GTK+, until it has
// been handed over. Each page goes out in the paper's size and orientation
// (a landscape PDF page is wider than high), the recorded page upright on
// it. Returns false, with a reason, when the print system reports failure
// (a print server refusing the job included) or there is no printer to
// send to.
bool page_job_print(page_job* job, std::string* failure);

std::int32_t page_job_page_count(const page_job* job);  // pages begun
std::string page_job_page_name(const page_job* job, std::int32_t index);
// Plays a recorded page onto a cairo context whose user space is the
// paper in points with the origin at the top-left (as printer surfaces are).
void page_job_play_page(const page_job* job, std::int32_t index, cairo_t* cr);

// Drawing outside a begun page is dropped (but still recorded by the call
// recorder below).
void page_set_rgb(page_context* c, double r, double g, double b);
void page_move_to(page_context* c, double x, double y);
void page_line_to(page_context* c, double x, double y);
void page_curve_to(page_context* c, double x1, double y1, double x2, double y2, double x3, double y3);
// Angles in degrees; direction 0 runs counter-clockwise, 1 clockwise. A line
// joins the current point, if any, to the start of the arc.
void page_arc_to(page_context* c, double cx, double cy, double radius, double from_degrees, double to_degrees,
                 int direction);
void page_fill(page_context* c);
void page_stroke(page_context* c);
void page_save(page_context* c);
void page_restore(page_context* c);
void page_translate(page_context* c, double x, double y);
void page_scale(page_context* c, double sx, double sy);
void page_rotate(page_context* c, double degrees);  // counter-clockwise
// Images fill the unit square of the current transformation, first row at
// the top. Samples are 8-bit RGB or RGBA (not premultiplied).
void page_rgb_image(page_context* c, const std::uint8_t* pixels, int width, int height, int rowstride);
void page_rgba_image(page_context* c, const std::uint8_t* pixels, int width, int height, int rowstride);
// A layout measuring in points; the caller owns it (g_object_unref).
PangoLayout* page_create_layout(page_context* c);
// Draws the layout upright with its top-left corner at the current point,
// in the current colour. Without a current point nothing is drawn.
void page_layout(page_context* c, PangoLayout* layout);

// A recorder that tests can attach to see the page calls, one text line
// each: "beginpage 1", "showpage", "setrgbcolor 1 0 0", "moveto 10 821",
// "lineto 110 821", "curveto ...", "arcto cx cy r from to direction",
// "fill", "stroke", "gsave", "grestore", "translate 0 0", "scale 595 841",
// "rotate 90", "rgbimage 595 841", "rgbaimage 2 2", "layout <text>".
// Numbers are written with %g. Null stops recording.
void page_context_record_calls(page_context* c, std::string* log);
