// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz target over stored inputs without libFuzzer: every file named
// on the command line, or every file in a folder named there. Used by the
// normal test run to replay the corpus of inputs that once found faults.
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int Replay(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    int failures = 0;
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            std::fprintf(stderr, "missing %s\n", path.c_str());
            ++failures;
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            failures += Replay(path);
            ++count;
            continue;
        }
        std::vector<std::string> files;
        if (DIR* d = ::opendir(path.c_str())) {
            while (dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                if (name[0] != '.')
                    files.push_back(path + "/" + name);
            }
            ::closedir(d);
        }
        for (const auto& file : files) {
            failures += Replay(file);
            ++count;
        }
    }
    std::printf("%d inputs replayed\n", count);
    return failures == 0 ? 0 : 1;
}
