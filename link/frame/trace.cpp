#include "frame/trace.h"

#include "TRK7700_DLL.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace trk7700::trace {
namespace {

struct Transcript {
    std::mutex lock;
    FILE *file = nullptr;
    bool decided = false;
};

Transcript &transcript()
{
    static Transcript t;
    return t;
}

FILE *openTranscript(const char *path)
{
    // Appended to, never truncated: one file can collect several sessions.
    return path != nullptr && path[0] != '\0' ? std::fopen(path, "ab") : nullptr;
}

FILE *file()
{
    Transcript &t = transcript();
    if (!t.decided) {
        t.decided = true;
        t.file = openTranscript(std::getenv("TRK7700_TRACE"));
    }
    return t.file;
}

void stamp(FILE *out)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::fprintf(out, "%s.%03dZ ", text, static_cast<int>(millis));
}

void bytesLine(char direction, const uint8_t *bytes, int count)
{
    std::lock_guard<std::mutex> guard(transcript().lock);
    FILE *out = file();
    if (out == nullptr || count <= 0) return;
    // 32 bytes a line keeps a 4 MB log stream readable and greppable.
    for (int start = 0; start < count; start += 32) {
        stamp(out);
        std::fputc(direction, out);
        for (int i = start; i < count && i < start + 32; ++i) std::fprintf(out, " %02X", bytes[i]);
        std::fputc('\n', out);
    }
    std::fflush(out);
}

}  // namespace

bool enabled()
{
    std::lock_guard<std::mutex> guard(transcript().lock);
    return file() != nullptr;
}

void sent(const uint8_t *bytes, int count) { bytesLine('>', bytes, count); }
void received(const uint8_t *bytes, int count) { bytesLine('<', bytes, count); }

void note(const std::string &text)
{
    std::lock_guard<std::mutex> guard(transcript().lock);
    FILE *out = file();
    if (out == nullptr) return;
    stamp(out);
    std::fprintf(out, "# %s\n", text.c_str());
    std::fflush(out);
}

void result(const char *entryPoint, int32_t value)
{
    std::lock_guard<std::mutex> guard(transcript().lock);
    FILE *out = file();
    if (out == nullptr) return;
    stamp(out);
    std::fprintf(out, "= %s %d %s\n", entryPoint, value, trk7700_result_name(value));
    std::fflush(out);
}

void setFileForTesting(const std::string &path)
{
    std::lock_guard<std::mutex> guard(transcript().lock);
    Transcript &t = transcript();
    if (t.file != nullptr) std::fclose(t.file);
    t.file = openTranscript(path.c_str());
    t.decided = true;
}

}  // namespace trk7700::trace
