#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ambleguard::test {

struct ProgramResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

inline std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// Runs the built `ambleguard` (its path comes from AMBLEGUARD_BINARY, which CTest sets) with
// `args`, its settings under `configHome`, optional standard input, and captures both outputs.
inline ProgramResult runAmbleguard(const std::vector<std::string>& args,
                                   const std::filesystem::path& configHome,
                                   const std::string& input = "") {
    const char* binary = std::getenv("AMBLEGUARD_BINARY");
    if (binary == nullptr || *binary == '\0') {
        // Never whatever `ambleguard` happens to be installed: that would test another build.
        return {-1, "", "AMBLEGUARD_BINARY is not set (CTest sets it to the built program)"};
    }
    std::string command =
        "XDG_CONFIG_HOME=" + shellQuote(configHome.string()) + " " + shellQuote(binary);
    for (const auto& arg : args) {
        command += " " + shellQuote(arg);
    }
    const auto out = configHome / "stdout.txt";
    const auto err = configHome / "stderr.txt";
    const auto in = configHome / "stdin.txt";
    std::ofstream(in) << input;
    command += " <" + shellQuote(in.string()) + " >" + shellQuote(out.string()) + " 2>" +
               shellQuote(err.string());
    const int raw = std::system(command.c_str());
    ProgramResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = slurp(out);
    result.err = slurp(err);
    return result;
}

}  // namespace ambleguard::test
