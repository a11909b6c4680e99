// chess-diagram-render on long lists, the way a problem column or a
// collection is drawn: diagrams per second and peak memory.
//
// --list of 10,000 positions at s = 60, each with a task text, writing
// 10,000 JPEG files:
//   ours:  the real program; wall time per diagram, and the peak resident
//          memory of all its processes together.
//   peer:  ImageMagick's convert, which a user would otherwise script: one
//          run per diagram composing the same 68 images and the text, as many
//          runs at a time as there are processors; wall time per diagram.
//   limit: what no renderer can beat: the 68 square copies and one TurboJPEG
//          encode at the same quality and subsampling per diagram, on every
//          processor at once (the time of one divided by the processors).
// --sheets of 1,000 positions (250 A4 pages), on one processor and on all:
//   ours:  the real program; wall time per diagram.
//   peer:  convert composing four of our diagrams on a sheet and writing it
//          deflated (PNG, as Debian's ImageMagick may not write PDF), as many
//          at a time as processors; per diagram.
//
// Run by make bench, under xvfb-run, so the program draws its text as the
// editor does. An argument names another chess-diagram-render to measure
// (an older build, say) in place of this build's.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <turbojpeg.h>

namespace {

namespace fs = std::filesystem;
using clock_type = std::chrono::steady_clock;

constexpr int positions = 10000;
constexpr int sheet_positions = 1000;
constexpr int peer_positions = 40;
constexpr int peer_sheets = 10;
constexpr int repetitions = 3;
constexpr int s = 60;
constexpr int width = 9 * s, height = 9 * s + s / 2;
const char* const task_texts[] = {"Мат в 2 хода", "Мат в 3 хода", "Выигрыш", "Ничья", "Кооперативный мат в 2 хода"};

double ms_since(clock_type::time_point start)
{
    return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long resident_kb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// The resident memory of a process and its children, in kB.
long tree_resident_kb(pid_t pid)
{
    long total = resident_kb(pid);
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    for (pid_t child; children >> child;)
        total += resident_kb(child);
    return total;
}

// Runs a command, on the first processor only when asked; its exit status.
// Samples the memory of its processes every 20 ms into *peak_kb when given.
int run(const std::vector<std::string>& command, bool one_processor = false, long* peak_kb = nullptr)
{
    std::vector<char*> argv;
    for (const std::string& part : command)
        argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (one_processor) {
            cpu_set_t first;
            CPU_ZERO(&first);
            CPU_SET(0, &first);
            sched_setaffinity(0, sizeof first, &first);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (peak_kb)
            *peak_kb = std::max(*peak_kb, tree_resident_kb(pid));
        usleep(20000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A position with both kings and 4 to 20 other men, from a fixed seed so
// every run draws the same list.
struct position {
    char square[8][8];  // [rank from 8][file from a], 0 for empty
    std::string fen() const
    {
        std::string text;
        for (int r = 0; r < 8; r++) {
            int gap = 0;
            for (int f = 0; f < 8; f++) {
                if (!square[r][f]) {
                    gap++;
                    continue;
                }
                if (gap)
                    text += char('0' + gap);
                gap = 0;
                text += square[r][f];
            }
            if (gap)
                text += char('0' + gap);
            if (r < 7)
                text += '/';
        }
        return text;
    }
};

std::vector<position> make_positions(int count)
{
    std::vector<position> list;
    unsigned seed = 7;
    auto next = [&seed](unsigned bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % bound;
    };
    const char men[] = "QRRBBNNPPPPPqrrbbnnppppp";
    for (int i = 0; i < count; i++) {
        position p{};
        std::string placed = "Kk";
        for (unsigned m = 4 + next(17); m > 0; m--)
            placed += men[next(sizeof men - 1)];
        for (char man : placed) {
            unsigned r, f;
            do {
                r = next(8);
                f = next(8);
            } while (p.square[r][f]);
            p.square[r][f] = man;
        }
        list.push_back(p);
    }
    return list;
}

// The square image a square (rank index, file index) shows.
int square_image(const position& p, int r, int f)
{
    const char* order = "KQRBNPkqrbnp";
    const char man = p.square[r][f];
    const int odd = man ? 2 * int(std::strchr(order, man) - order) + 1 : 25;
    const bool light = (r + f) % 2 == 0;
    return light ? odd : odd + 1;
}

void render_or_stop(const std::vector<std::string>& command, bool one_processor, long* peak_kb)
{
    if (run(command, one_processor, peak_kb) != 0) {
        std::fprintf(stderr, "render_list_bench: the renderer failed\n");
        std::exit(1);
    }
}

// Per diagram; keeps the first diagrams of the last run in work/diagrams for the sheet peer.
double ours_list_ms(const fs::path& work, const std::string& renderer, long* peak_kb)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; i++) {
        fs::path out = work / ("ours" + std::to_string(i));
        fs::create_directory(out);
        auto start = clock_type::now();
        render_or_stop({renderer, "--list", (work / "list.txt").string(), "--data", (work / "DATA").string(), "-o",
                        (out / "d.jpg").string()},
                       false, peak_kb);
        times.push_back(ms_since(start) / positions);
        if (i + 1 == repetitions) {
            fs::create_directory(work / "diagrams");
            for (int n = 1; n <= 4 * peer_sheets; n++) {
                char name[32];
                std::snprintf(name, sizeof name, "d-%05d.jpg", n);
                fs::copy_file(out / name, work / "diagrams" / name);
            }
        }
        fs::remove_all(out);
    }
    return median(times);
}

double ours_sheets_ms(const fs::path& work, const std::string& renderer, bool one_processor)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; i++) {
        auto start = clock_type::now();
        render_or_stop({renderer, "--list", (work / "sheets.txt").string(), "--data", (work / "DATA").string(),
                        "--sheets", (work / "sheets.pdf").string()},
                       one_processor, nullptr);
        times.push_back(ms_since(start) / sheet_positions);
        fs::remove(work / "sheets.pdf");
    }
    return median(times);
}

// Runs the commands, at most `processors` at a time; a peer that fails
// measures nothing, so the benchmark stops.
void run_all(std::vector<std::vector<std::string>> commands, int processors)
{
    std::vector<pid_t> running;
    bool failed = false;
    auto wait_for = [&failed](pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        failed = failed || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    };
    for (std::vector<std::string>& command : commands) {
        if (int(running.size()) == processors) {
            wait_for(running.front());
            running.erase(running.begin());
        }
        std::vector<char*> argv;
        for (std::string& part : command)
            argv.push_back(part.data());
        argv.push_back(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            execvp(argv[0], argv.data());
            _exit(127);
        }
        running.push_back(pid);
    }
    for (pid_t pid : running)
        wait_for(pid);
    if (failed) {
        std::fprintf(stderr, "render_list_bench: the peer (%s) failed\n", commands.front().front().c_str());
        std::exit(1);
    }
}

// convert composing four of our diagrams on a sheet and compressing it with
// zlib at our level (3); per diagram. Debian's ImageMagick policy forbids
// writing PDF, so the page is a PNG: the same pixels and the same deflate,
// without the few hundred bytes of PDF around them.
double peer_sheets_ms(const fs::path& work, int processors)
{
    std::vector<std::vector<std::string>> commands;
    for (int k = 0; k < peer_sheets; k++) {
        std::vector<std::string> command = {"convert", "-size", "1180x1628", "xc:white"};
        for (int cell = 0; cell < 4; cell++) {
            char name[32];
            std::snprintf(name, sizeof name, "d-%05d.jpg", 4 * k + cell + 1);
            const int x = 40 + (cell % 2) * (width + 20), y = 40 + (cell / 2) * (height + 20);
            command.insert(command.end(), {(work / "diagrams" / name).string(), "-geometry",
                                           "+" + std::to_string(x) + "+" + std::to_string(y), "-composite"});
        }
        command.insert(command.end(), {"-quality", "30", (work / ("peer-sheet" + std::to_string(k) + ".png")).string()});
        commands.push_back(command);
    }
    std::vector<double> times;
    for (int repetition = 0; repetition < 3; repetition++) {
        auto start = clock_type::now();
        run_all(commands, processors);
        times.push_back(ms_since(start) / (4 * peer_sheets));
    }
    return median(times);
}

double peer_ms(const fs::path& work, const std::vector<position>& list, int processors)
{
    const fs::path data = work / "DATA";
    auto image = [&data](int n) { return (data / (std::to_string(n) + ".jpg")).string(); };
    std::vector<std::vector<std::string>> commands;
    for (int i = 0; i < peer_positions; i++) {
        std::vector<std::string> command = {"convert", "-size", std::to_string(width) + "x" + std::to_string(height),
                                            "xc:white"};
        auto place = [&command](const std::string& file, int x, int y) {
            command.insert(command.end(), {file, "-geometry", "+" + std::to_string(x) + "+" + std::to_string(y),
                                           "-composite"});
        };
        place(image(27), 0, 0);
        place(image(27), 0, 8 * s + s / 2);
        place(image(28), 0, s / 2);
        place(image(28), 8 * s + s / 2, s / 2);
        for (int f = 0; f < 8; f++)
            for (int r = 0; r < 8; r++)
                place(image(square_image(list[std::size_t(i)], r, f)), (f + 1) * s - s / 2, (r + 1) * s - s / 2);
        command.insert(command.end(), {"-font", "DejaVu-Sans", "-pointsize", "12", "-fill", "black", "-gravity",
                                       "North", "-annotate", "+0+" + std::to_string(9 * s + 2), task_texts[i % 5],
                                       "-quality", "70", "-sampling-factor", "2x2",
                                       (work / ("peer" + std::to_string(i) + ".jpg")).string()});
        commands.push_back(command);
    }
    std::vector<double> times;
    for (int repetition = 0; repetition < 3; repetition++) {
        auto start = clock_type::now();
        run_all(commands, processors);
        times.push_back(ms_since(start) / peer_positions);
    }
    return median(times);
}

// 68 square copies into one diagram buffer and one TurboJPEG encode, per
// diagram on one processor.
double limit_ms(const fs::path& work, const std::vector<position>& list)
{
    tjhandle decoder = tjInitDecompress();
    std::vector<std::vector<unsigned char>> squares(33);
    std::vector<int> widths(33), heights(33);
    for (int n = 1; n <= 32; n++) {
        std::ifstream in(work / "DATA" / (std::to_string(n) + ".jpg"), std::ios::binary);
        std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), {});
        int subsampling = 0, colourspace = 0;
        tjDecompressHeader3(decoder, file.data(), file.size(), &widths[n], &heights[n], &subsampling, &colourspace);
        squares[n].resize(std::size_t(widths[n]) * heights[n] * 3);
        tjDecompress2(decoder, file.data(), file.size(), squares[n].data(), widths[n], 0, heights[n], TJPF_RGB, 0);
    }
    tjDestroy(decoder);
    tjhandle encoder = tjInitCompress();
    std::vector<unsigned char> diagram(std::size_t(width) * height * 3, 255);
    unsigned char* jpeg = tjAlloc(int(tjBufSize(width, height, TJSAMP_420)));
    auto copy = [&](int n, int x, int y) {
        for (int row = 0; row < heights[n] && y + row < height; row++)
            std::memcpy(&diagram[(std::size_t(y + row) * width + x) * 3], &squares[n][std::size_t(row) * widths[n] * 3],
                        std::size_t(std::min(widths[n], width - x)) * 3);
    };
    std::vector<double> times;
    for (int repetition = 0; repetition < repetitions; repetition++) {
        auto start = clock_type::now();
        for (const position& p : list) {
            copy(27, 0, 0);
            copy(27, 0, 8 * s + s / 2);
            copy(28, 0, s / 2);
            copy(28, 8 * s + s / 2, s / 2);
            for (int f = 0; f < 8; f++)
                for (int r = 0; r < 8; r++)
                    copy(square_image(p, r, f), (f + 1) * s - s / 2, (r + 1) * s - s / 2);
            unsigned long size = tjBufSize(width, height, TJSAMP_420);
            tjCompress2(encoder, diagram.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, 70,
                        TJFLAG_NOREALLOC | TJFLAG_ACCURATEDCT);
        }
        times.push_back(ms_since(start) / double(list.size()));
    }
    tjFree(jpeg);
    tjDestroy(encoder);
    return median(times);
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path build = fs::canonical("/proc/self/exe").parent_path().parent_path();
    const std::string renderer = argc > 1 ? argv[1] : (build / "chess-diagram-render").string();
    char pattern[] = "/tmp/chess-render-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const fs::path work = pattern;
    fs::create_directory(work / "DATA");
    if (run({(build / "tools" / "make-squares").string(), (work / "DATA").string(), std::to_string(s)}) != 0)
        return 1;
    const std::vector<position> list = make_positions(positions);
    {
        std::ofstream out(work / "list.txt"), sheets(work / "sheets.txt");
        for (int i = 0; i < positions; i++) {
            const std::string line = list[std::size_t(i)].fen() + " w - - 0 1\t" + task_texts[i % 5] + "\n";
            out << line;
            if (i < sheet_positions)
                sheets << line;
        }
    }
    const int processors = int(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
    long peak_kb = 0;
    const double ours = ours_list_ms(work, renderer, &peak_kb);
    const double limit = limit_ms(work, list) / processors;
    const double peer = peer_ms(work, list, processors);
    const double sheets_one = ours_sheets_ms(work, renderer, true);
    const double sheets_all = ours_sheets_ms(work, renderer, false);
    const double peer_sheets_one = peer_sheets_ms(work, 1);
    const double peer_sheets_all = peer_sheets_ms(work, processors);
    fs::remove_all(work);

    std::printf("render --list of %d positions on %d processors, diagrams per second:\n", positions, processors);
    std::printf("  ours %.0f (target 1000), peer %.0f, limit %.0f; peak resident memory %.1f MB\n", 1000 / ours,
                1000 / peer, 1000 / limit, double(peak_kb) / 1024);
    std::printf("  ours/peer %.3f, ours/limit %.2f (times per diagram)\n", ours / peer, ours / limit);
    std::printf("render --sheets of %d positions, diagrams per second:\n", sheet_positions);
    std::printf("  1 processor: ours %.0f, peer %.0f; %d processors: ours %.0f, peer %.0f\n", 1000 / sheets_one,
                1000 / peer_sheets_one, processors, 1000 / sheets_all, 1000 / peer_sheets_all);
    std::printf("table|render --list, per diagram|%.4f|%.4f|%.4f\n", ours, peer, limit);
    std::printf("table|render --sheets, 1 processor|%.4f|%.4f|0\n", sheets_one, peer_sheets_one);
    std::printf("table|render --sheets, %d processors|%.4f|%.4f|0\n", processors, sheets_all, peer_sheets_all);
    return 0;
}
