// Any bytes as the answers to the dialogue, run in a scratch folder that
// holds a few motif files. Answers with '/' are skipped so that no file is
// made outside the folder, and so are those naming the link to /dev/full as
// a motif: the program refuses it as an over-long line only after 4 MiB of
// zeros, which slowed the fuzzer tenfold. Everything else goes
// through the program's own entry, compiled here under another name.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

int motif_matrix_main();

namespace {

const char* const full_matrix = "full.matrix";

struct scratch_folder {
    std::string path;
    std::set<std::string> present;  // what a run must leave behind

    scratch_folder() {
        path = (std::filesystem::temp_directory_path() / "fuzz_dialogue.XXXXXX").string();
        if (::mkdtemp(path.data()) == nullptr) std::abort();
        const std::filesystem::path at(path);
        const char* const motifs[][2] = {
            {"a", "ACGT\nacga\nACTT\n"},
            {"full", "ACGT\n"},
            {"b", ">site 1\r\nACGTN\r\n>site 2\r\nacg-t\r\n"},
            {"e", ""},
            {"h", ">only a header"},
        };
        for (const auto& motif : motifs) std::ofstream(at / motif[0], std::ios::binary) << motif[1];
        std::filesystem::create_directory(at / "d");
        std::filesystem::create_symlink("/dev/null", at / "n");
        std::filesystem::create_symlink("/dev/full", at / full_matrix);  // matrix writes fail
        for (const auto& entry : std::filesystem::directory_iterator(path)) present.insert(entry.path().filename());
    }
    ~scratch_folder() { std::filesystem::remove_all(path); }

    // Removes every matrix file a run made.
    void clean_up() const {
        for (const auto& entry : std::filesystem::directory_iterator(path))
            if (present.count(entry.path().filename()) == 0) std::filesystem::remove_all(entry.path());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string answers(reinterpret_cast<const char*>(data), size);
    if (answers.find('/') != std::string::npos || answers.find(full_matrix) != std::string::npos) return 0;
    static const scratch_folder folder;

    // The program takes names relative to its working folder, while the
    // fuzzer's own paths are relative to the folder it was started in.
    const int started_in = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (started_in < 0 || ::chdir(folder.path.c_str()) != 0) std::abort();
    std::istringstream in(answers);
    std::ostringstream out, errors;
    auto* cin_buffer = std::cin.rdbuf(in.rdbuf());
    auto* cout_buffer = std::cout.rdbuf(out.rdbuf());
    auto* cerr_buffer = std::cerr.rdbuf(errors.rdbuf());
    std::cin.clear();
    motif_matrix_main();
    std::cin.rdbuf(cin_buffer);
    std::cout.rdbuf(cout_buffer);
    std::cerr.rdbuf(cerr_buffer);
    if (::fchdir(started_in) != 0) std::abort();
    ::close(started_in);

    folder.clean_up();
    return 0;
}
