// Sheet k goes to worker k mod n, and the writer takes each worker's reports
// only when its next sheet is the one due, so sheets arrive in list order and
// a worker running ahead waits on its full pipe: memory stays flat whatever
// the list's length. Drawing, composing and compressing a sheet all happen in
// the workers; the writer copies bytes.
#include "render/sheets_pdf.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "layout/quoted_file_name.h"
#include "imaging/image_store.h"
#include "layout/image_numbers.h"
#include "layout/sheet_composition.h"
#include "layout/console.h"
#include "render/diagram_files.h"
#include "layout/list_outcome.h"
#include "render/pdf_pages.h"
#include "layout/workers.h"
#include "toolkit/safe_write.h"

namespace {

struct sheet_job {
    const position_list* list;
    const output_target* output;  // null: no diagram files
    int sheets;
    int workers;
    int next_sheet = 0;             // the sheet the writer takes next
    std::vector<char> worker_gone;  // its remaining sheets will never come
    pdf_document pdf;
    list_outcome outcome;
};

std::string on_line(const listed_position& entry, const std::string& what)
{
    return "строка " + std::to_string(entry.line) + ": " + what;
}

// Draws the diagram of position index (writing its file when asked for); a
// copy of it for the sheet, or null when it could not be drawn.
GdkPixbuf* draw_for_sheet(const sheet_job& job, int index, int fd)
{
    const listed_position& entry = job.list->positions[std::size_t(index)];
    std::string error, warning;
    if (!draw_position(board_from_fen(entry.position), entry.task_text, &error, &warning)) {
        report_send(fd, report_kind::failed, index, on_line(entry, error));
        return nullptr;
    }
    if (!warning.empty())
        report_send(fd, report_kind::warning, index, on_line(entry, warning));
    if (job.output &&
        !save_rendered_diagram(output_file_name(*job.output, entry.number, job.list->position_lines),
                               job.output->format, &error))
        report_send(fd, report_kind::failed, index, on_line(entry, error));
    return gdk_pixbuf_copy(image_handle(rendered_diagram));
}

// Draws and composes sheet k and hands it to the writer; an empty page when
// the sheet could not be composed.
void make_sheet(const sheet_job& job, int k, int fd)
{
    const int first = k * sheet_cells;
    const int count = std::min(sheet_cells, int(job.list->positions.size()) - first);
    GdkPixbuf* cells[sheet_cells] = {};
    for (int i = 0; i < count; i++)
        cells[i] = draw_for_sheet(job, first + i, fd);
    const bool composed = sheet_compose(sheet_image, cells, count);
    for (GdkPixbuf* cell : cells)
        if (cell)
            g_object_unref(cell);
    const std::string page = composed ? pdf_page_encode(image_handle(sheet_image)) : std::string();
    if (page.empty())
        report_send(fd, report_kind::failed, first,
                    on_line(job.list->positions[std::size_t(first)], "не удалось составить лист: не хватает памяти"));
    report_send(fd, report_kind::sheet, k, page);
}

void share(void* data, int worker, int workers, int fd)
{
    const auto& job = *static_cast<const sheet_job*>(data);
    open_display_if_any();  // a display cannot be shared with the parent
    for (int k = worker; k < job.sheets; k += workers)
        make_sheet(job, k, fd);
}

void skip_sheets_of_gone_workers(sheet_job* job)
{
    while (job->next_sheet < job->sheets && job->worker_gone[std::size_t(job->next_sheet % job->workers)])
        job->next_sheet++;
}

int worker_of_next_sheet(void* data)
{
    const auto& job = *static_cast<const sheet_job*>(data);
    return job.next_sheet < job.sheets ? job.next_sheet % job.workers : -1;
}

void take_page(sheet_job* job, const worker_report& report)
{
    if (report.index != job->next_sheet)
        return;  // never, as sheets come in order; its lines are then reported unwritten
    job->next_sheet++;
    if (report.payload.empty() || !pdf_add_page(&job->pdf, report.payload))
        return;
    const int first = report.index * sheet_cells;
    for (int i = first; i < std::min(first + sheet_cells, int(job->list->positions.size())); i++)
        outcome_settle(&job->outcome, i, true);
}

void take(void* data, int, const worker_report& report)
{
    auto& job = *static_cast<sheet_job*>(data);
    switch (report.kind) {
    case report_kind::failed:
        report_problem(std::string(report.payload));
        outcome_settle(&job.outcome, report.index, false);
        break;
    case report_kind::warning: report_problem(std::string(report.payload)); break;
    case report_kind::sheet: take_page(&job, report); break;
    case report_kind::done:
    case report_kind::finished: break;
    }
    skip_sheets_of_gone_workers(&job);
}

void gone(void* data, int worker)
{
    auto& job = *static_cast<sheet_job*>(data);
    job.worker_gone[std::size_t(worker)] = 1;
    skip_sheets_of_gone_workers(&job);
}

std::string write_failure(const std::string& path, int reason)
{
    return "не удалось записать " + quoted_file_name(path) + ": " + std::strerror(reason ? reason : EIO);
}

}  // namespace

bool write_sheets_pdf(const position_list& list, const std::string& pdf_path, const output_target* output)
{
    safe_write file;
    if (!safe_write_open(&file, pdf_path, link_rule::follow)) {
        report_problem(write_failure(pdf_path, file.error));
        return false;
    }
    sheet_job job{&list, output, (int(list.positions.size()) + sheet_cells - 1) / sheet_cells, 0};
    job.workers = worker_count(int(list.positions.size()));
    job.worker_gone.assign(std::size_t(job.workers), 0);
    pdf_begin(&job.pdf, file.stream);
    outcome_start(&job.outcome, list);
    std::string abnormal;
    const bool workers_well = workers_run({&job, job.workers, share, worker_of_next_sheet, take, gone}, &abnormal);
    const bool all_written = outcome_finish(job.outcome, list, workers_well, abnormal);
    if (job.pdf.pages == 0 || !pdf_end(&job.pdf)) {
        file.error = job.pdf.error;
        safe_write_abandon(&file);
        if (job.pdf.error)
            report_problem(write_failure(pdf_path, job.pdf.error));
        return false;
    }
    if (!safe_write_commit(&file)) {
        report_problem(write_failure(pdf_path, file.error));
        return false;
    }
    return all_written;
}
