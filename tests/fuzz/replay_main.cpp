// Runs the fuzz target once on every file named on the command line, and on
// every file inside a named directory, without libFuzzer's engine: the
// committed corpus then serves as a quick regression test under ASan and UBSan.
// A broken invariant or a sanitizer report aborts the run; the name printed
// last is the input that did it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);

    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path named(argv[i]);
        if (fs::is_directory(named)) {
            std::vector<fs::path> files;
            for (const fs::directory_entry &entry : fs::directory_iterator(named)) {
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            }
            // Sorted, so two runs replay in the same order.
            std::sort(files.begin(), files.end());
            inputs.insert(inputs.end(), files.begin(), files.end());
        } else if (fs::is_regular_file(named)) {
            inputs.push_back(named);
        } else {
            std::fprintf(stderr, "replay: no such file or directory: %s\n", argv[i]);
            return 2;
        }
    }
    // An empty or misplaced corpus must not pass as a clean one.
    if (inputs.empty()) {
        std::fprintf(stderr, "replay: no inputs given\n");
        return 2;
    }

    for (const fs::path &input : inputs) {
        std::ifstream file(input, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "replay: cannot read %s\n", input.c_str());
            return 2;
        }
        // An exact-size heap copy, so ASan sees a read past the last byte.
        const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                      std::istreambuf_iterator<char>());
        std::printf("replay: %s (%zu bytes)\n", input.filename().c_str(), bytes.size());
        std::fflush(stdout);
        std::vector<uint8_t> data(bytes.begin(), bytes.end());
        data.shrink_to_fit();
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::printf("%zu passed, 0 failed\n", inputs.size());
    return 0;
}
