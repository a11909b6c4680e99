// Slots come from anonymous mappings, zero pages the kernel hands out only
// as they are touched, so a small problem costs little however large the
// table is. When memory for a larger table cannot be had, the table stays as
// it is: a full table forgets older results, it never gives a wrong one.
#include "solve/shared_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr std::size_t desktop_bound = std::size_t(1) << 30;
constexpr std::size_t smallest_bytes = std::size_t(1) << 16;

// Bytes of "MemAvailable:" in /proc/meminfo, 0 when it cannot be read.
std::size_t available_memory()
{
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    if (!file)
        return 0;
    char line[256];
    unsigned long long kib = 0;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1)
            break;
    std::fclose(file);
    return std::size_t(kib) * 1024;
}

std::size_t power_of_two_at_most(std::size_t n)
{
    std::size_t p = 1;
    while (p <= n / 2)
        p *= 2;
    return p;
}

void* map_zeroed(std::size_t bytes)
{
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    // Entries are touched at random: large pages save most of the faults and
    // of the address translation misses, where the kernel has them.
    madvise(memory, bytes, MADV_HUGEPAGE);
    return memory;
}

}  // namespace

std::size_t table_memory_bound()
{
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    std::size_t bound = desktop_bound;
    if (pages > 0 && page > 0)
        bound = std::min(bound, std::size_t(pages) * std::size_t(page) / 4);
    if (const std::size_t free = available_memory())
        bound = std::min(bound, free / 2);
    return power_of_two_at_most(std::max(bound, smallest_bytes));
}

shared_table::shared_table(std::size_t first_bytes, std::size_t most_bytes)
{
    most_entries_ = power_of_two_at_most(std::max(most_bytes, smallest_bytes) / sizeof(entry));
    std::size_t entries = std::min(most_entries_, power_of_two_at_most(std::max(first_bytes, smallest_bytes) / sizeof(entry)));
    // Less than asked for is still a table; a page of one cannot fail to map.
    while (!(slots_ = static_cast<entry*>(map_zeroed(entries * sizeof(entry)))) && entries > smallest_bytes / sizeof(entry))
        entries /= 2;
    if (!slots_) {
        std::fputs("chess-diagram-solve: не хватает памяти для таблицы поиска\n", stderr);
        std::abort();
    }
    entries_ = entries;
}

shared_table::~shared_table()
{
    munmap(slots_, bytes());
}

bool shared_table::find(std::uint64_t key, std::uint64_t* data) const
{
    const entry& e = slots_[key & (entries_ - 1)];
    const std::uint64_t d = e.data.load(std::memory_order_relaxed);
    const std::uint64_t c = e.check.load(std::memory_order_relaxed);
    if ((c ^ d) != key || (c == 0 && d == 0))
        return false;
    *data = d;
    return true;
}

void shared_table::store(std::uint64_t key, std::uint64_t data)
{
    entry& e = slots_[key & (entries_ - 1)];
    if (e.check.load(std::memory_order_relaxed) == 0 && e.data.load(std::memory_order_relaxed) == 0)
        filled_.fetch_add(1, std::memory_order_relaxed);
    e.data.store(data, std::memory_order_relaxed);
    e.check.store(key ^ data, std::memory_order_relaxed);
}

void shared_table::grow_if_filling()
{
    // A quarter full: the next search, a move longer, visits many times more.
    if (filled_.load() < entries_ / 4 || entries_ >= most_entries_)
        return;
    const std::size_t entries = std::min(most_entries_, entries_ * 8);
    auto* slots = static_cast<entry*>(map_zeroed(entries * sizeof(entry)));
    if (!slots)
        return;
    std::size_t filled = 0;
    for (std::size_t i = 0; i < entries_; i++) {
        const std::uint64_t d = slots_[i].data.load(), c = slots_[i].check.load();
        if (c == 0 && d == 0)
            continue;
        entry& e = slots[(c ^ d) & (entries - 1)];
        filled += e.check.load() == 0 && e.data.load() == 0;
        e.data.store(d);
        e.check.store(c);
    }
    munmap(slots_, bytes());
    slots_ = slots;
    entries_ = entries;
    filled_.store(filled);
}
