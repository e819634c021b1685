#include "frame/trace.h"

#include "TRK7700_DLL.h"
#include "frame/file_system.h"
#include "frame/link_state.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace trk7700::trace {
namespace {

LinkState::Transcript &transcript() { return linkState().transcript; }
std::mutex &transcriptLock() { return linkState().transcriptLock; }

// A transcript stops growing here: a full readout adds about 15 MB.
constexpr long long kMaxTranscriptBytes = 128ll * 1024 * 1024;

void openTranscript(LinkState::Transcript &t, const char *path)
{
    // Appended to, never truncated: one file can collect several sessions.
    t.file = path != nullptr && path[0] != '\0' ? frame::openPrivateForAppending(path) : nullptr;
    t.size = 0;
    if (t.file != nullptr && std::fseek(t.file, 0, SEEK_END) == 0) t.size = std::ftell(t.file);
}

FILE *file()
{
    LinkState::Transcript &t = transcript();
    if (!t.decided) {
        t.decided = true;
        openTranscript(t, std::getenv("TRK7700_TRACE"));
    }
    if (t.file != nullptr && t.size >= kMaxTranscriptBytes) {
        // Said once in the file itself; nothing more is written.
        std::fprintf(t.file, "# transcript ends here: it reached its bound of %lld bytes\n", kMaxTranscriptBytes);
        std::fclose(t.file);
        t.file = nullptr;
    }
    return t.file;
}

// Counts what a line added to the file.
void counted(FILE *out, long before)
{
    const long after = std::ftell(out);
    if (after > before) transcript().size += after - before;
}

void stamp(FILE *out)
{
    // UTC from the calendar types alone: the same on every system.
    using namespace std::chrono;
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> time{now - day};
    std::fprintf(out, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ ", static_cast<int>(date.year()),
                 static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                 static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                 static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
}

void bytesLine(char direction, const uint8_t *bytes, int count)
{
    std::lock_guard<std::mutex> guard(transcriptLock());
    FILE *out = file();
    if (out == nullptr || count <= 0) return;
    const long before = std::ftell(out);
    // 32 bytes a line keeps a 4 MB log stream readable and greppable.
    for (int start = 0; start < count; start += 32) {
        stamp(out);
        std::fputc(direction, out);
        for (int i = start; i < count && i < start + 32; ++i) std::fprintf(out, " %02X", bytes[i]);
        std::fputc('\n', out);
    }
    std::fflush(out);
    counted(out, before);
}

}  // namespace

bool enabled()
{
    std::lock_guard<std::mutex> guard(transcriptLock());
    return file() != nullptr;
}

void sent(const uint8_t *bytes, int count) { bytesLine('>', bytes, count); }
void received(const uint8_t *bytes, int count) { bytesLine('<', bytes, count); }

void note(const std::string &text)
{
    std::lock_guard<std::mutex> guard(transcriptLock());
    FILE *out = file();
    if (out == nullptr) return;
    const long before = std::ftell(out);
    stamp(out);
    std::fprintf(out, "# %s\n", text.c_str());
    std::fflush(out);
    counted(out, before);
}

void result(const char *entryPoint, int32_t value)
{
    std::lock_guard<std::mutex> guard(transcriptLock());
    FILE *out = file();
    if (out == nullptr) return;
    const long before = std::ftell(out);
    stamp(out);
    std::fprintf(out, "= %s %d %s\n", entryPoint, value, trk7700_result_name(value));
    std::fflush(out);
    counted(out, before);
}

void setFileForTesting(const std::string &path)
{
    std::lock_guard<std::mutex> guard(transcriptLock());
    LinkState::Transcript &t = transcript();
    if (t.file != nullptr) std::fclose(t.file);
    openTranscript(t, path.c_str());
    t.decided = true;
}

}  // namespace trk7700::trace
