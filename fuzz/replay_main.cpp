// A fuzz target without libFuzzer: runs the target over every file named on
// the command line and every file in the folders named there, in name order.
// CI runs each seed corpus this way, so that every input that once broke
// something stays a regression test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {

std::vector<std::filesystem::path> inputsOf(const std::filesystem::path &named)
{
    if (!std::filesystem::is_directory(named)) return {named};
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(named))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char **argv)
{
    // Named before the target runs: it may change the current directory.
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i)
        for (const auto &file : inputsOf(argv[i])) files.push_back(std::filesystem::absolute(file));
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    size_t replayed = 0;
    for (const auto &file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", file.c_str());
            return 1;
        }
        // Exactly the input's size on the heap, so that reading past it is caught.
        const std::vector<uint8_t> input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(input.data(), input.size());
        ++replayed;
    }
    std::printf("replayed %zu inputs\n", replayed);
    // An empty corpus would let the regression test pass without testing anything.
    return replayed > 0 ? 0 : 1;
}
