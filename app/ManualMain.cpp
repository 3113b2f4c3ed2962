// tarnwick-manual: writes both programs' man pages and bash completions into a folder, at build time.
#include "app/CommandLine.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

bool Write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file)
        std::cerr << "tarnwick-manual: cannot write " << path.string() << "\n";
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: tarnwick-manual FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder / "completions", error);
    bool written = !error;
    for (const command_line::Program* program : {&command_line::kTarnwick, &command_line::kTarnwickDecode}) {
        const std::string name(program->name);
        written = Write(folder / (name + ".1"), command_line::ManPage(*program)) && written;
        written = Write(folder / "completions" / name, command_line::BashCompletion(*program)) && written;
    }
    return written ? 0 : 1;
}
